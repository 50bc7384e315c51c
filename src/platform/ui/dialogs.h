#pragma once
// Message boxes, the file-open dialog and the shell's open action. Every
// window goes through here, so tests can answer these without blocking.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace ui {

enum class MsgKind { Error, Information, Warning };

struct MessageRecord {
    MsgKind kind;
    QString caption;
    QString text;
};

// Modal box with one OK button. Without a caption it follows the kind:
// "Error", "Information", "Warning".
void ShowMessage(QWidget* parent, MsgKind kind, const QString& text, const QString& caption = {});
void ShowError(QWidget* parent, const QString& text);
void ShowInformation(QWidget* parent, const QString& text);

// `filter` is in the "description|patterns|description|patterns" form.
// Returns the chosen file's full path, or nothing when cancelled.
std::optional<QString> GetOpenFileName(QWidget* parent, const QString& filter,
                                       const QString& defaultExt, const QString& initialPath = {});

// The save dialog: asks before replacing an existing file. Returns the
// chosen file's full path (with defaultExt added when it has none), or
// nothing when cancelled.
std::optional<QString> GetSaveFileName(QWidget* parent, const QString& filter,
                                       const QString& defaultExt, const QString& initialPath = {});

// Opens a file or program with the desktop's default action; the outcome is
// returned but callers may ignore it.
bool ShellOpen(const QString& path);

// "A|*.a|B|*.b;*.c" -> "A (*.a);;B (*.b *.c)"
QString QtFilterFromWindowsFilter(const QString& filter);

// Test hooks: when set, they replace the real dialogs.
struct Hooks {
    std::function<void(const MessageRecord&)> message;
    std::function<std::optional<QString>(const QString& filter)> openFile;
    std::function<std::optional<QString>(const QString& filter)> saveFile;
    std::function<bool(const QString& path)> shellOpen;
};
Hooks& TestHooks();

} // namespace ui
