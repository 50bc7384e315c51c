#include "platform/ui/dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace ui {

Hooks& TestHooks() {
    static Hooks hooks;
    return hooks;
}

void ShowMessage(QWidget* parent, MsgKind kind, const QString& text, const QString& givenCaption) {
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case MsgKind::Error:
        caption = QStringLiteral("Error");
        icon = QMessageBox::Critical;
        break;
    case MsgKind::Information:
        caption = QStringLiteral("Information");
        icon = QMessageBox::Information;
        break;
    case MsgKind::Warning:
        caption = QStringLiteral("Warning");
        icon = QMessageBox::Warning;
        break;
    }
    if (!givenCaption.isEmpty()) caption = givenCaption;
    if (TestHooks().message) {
        TestHooks().message(MessageRecord{kind, caption, text});
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void ShowError(QWidget* parent, const QString& text) {
    ShowMessage(parent, MsgKind::Error, text);
}

void ShowInformation(QWidget* parent, const QString& text) {
    ShowMessage(parent, MsgKind::Information, text);
}

QString QtFilterFromWindowsFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << parts[i] + QStringLiteral(" (") + patterns.trimmed() + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

std::optional<QString> GetOpenFileName(QWidget* parent, const QString& filter,
                                       const QString& defaultExt, const QString& initialPath) {
    if (TestHooks().openFile) return TestHooks().openFile(filter);
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QtFilterFromWindowsFilter(filter));
    dialog.setDefaultSuffix(defaultExt);
    if (!initialPath.isEmpty()) {
        QFileInfo info(initialPath);
        dialog.setDirectory(info.isDir() ? info.absoluteFilePath() : info.absolutePath());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
}

std::optional<QString> GetSaveFileName(QWidget* parent, const QString& filter,
                                       const QString& defaultExt, const QString& initialPath) {
    if (TestHooks().saveFile) return TestHooks().saveFile(filter);
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QtFilterFromWindowsFilter(filter));
    dialog.setDefaultSuffix(defaultExt);
    if (!initialPath.isEmpty()) {
        QFileInfo info(initialPath);
        if (info.isDir())
            dialog.setDirectory(info.absoluteFilePath());
        else
            dialog.selectFile(info.absoluteFilePath());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
}

bool ShellOpen(const QString& path) {
    if (TestHooks().shellOpen) return TestHooks().shellOpen(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace ui
