#pragma once
// The report password dialog: asked when a protected template is opened
// from a file, and twice when protection is switched on.

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

class TfrPasswForm : public QDialog {
    Q_OBJECT
public:
    explicit TfrPasswForm(QWidget* parent = nullptr);

    // The typed password in the engine's code page.
    std::string Password() const;

    QLabel* L1 = nullptr; // "Enter password for opening report"
    QLabel* L2 = nullptr; // hidden; its text replaces L1's for the second entry
    QLineEdit* E1 = nullptr;
    QPushButton* OK = nullptr;
    QPushButton* Cancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

// Asks for the password of a template being opened; true when confirmed,
// with the typed text (compared by the caller, letter case significant).
bool ShowPasswordForm(std::string& password);
// Asks for a new password and for it again; true with it when both entries
// were confirmed and are equal. False when the first entry is cancelled, or
// the second is cancelled or differs.
bool AskNewPassword(std::string& password);
// Installs ShowPasswordForm as the report's AskPassword hook.
void InstallPasswordForm();
