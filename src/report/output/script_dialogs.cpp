#include "report/output/script_dialogs.h"

#include "platform/text/cp936.h"
#include "report/core/process_state.h"

#include <QApplication>
#include <QInputDialog>

QMessageBox::StandardButtons frMessageBoxButtons(int flags) {
    switch (flags & 0x0F) {
    case 1:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case 2:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case 3:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case 4:
        return QMessageBox::Yes | QMessageBox::No;
    case 5:
        return QMessageBox::Retry | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon frMessageBoxIcon(int flags) {
    switch (flags & 0xF0) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int frMessageBoxResult(QMessageBox::StandardButton pressed) {
    switch (pressed) {
    case QMessageBox::Ok:
        return 1;
    case QMessageBox::Abort:
        return 3;
    case QMessageBox::Retry:
        return 4;
    case QMessageBox::Ignore:
        return 5;
    case QMessageBox::Yes:
        return 6;
    case QMessageBox::No:
        return 7;
    default:
        return 2; // Cancel, and a box closed without a button
    }
}

void InstallScriptDialogs() {
    TfrGuiHooks& hooks = frGuiHooks();
    hooks.InputBox = [](const std::string& caption, const std::string& prompt,
                        const std::string& defaultText) {
        bool ok = false;
        const QString typed =
            QInputDialog::getText(QApplication::activeWindow(), text::Cp936ToQString(caption),
                                  text::Cp936ToQString(prompt), QLineEdit::Normal,
                                  text::Cp936ToQString(defaultText), &ok);
        return ok ? text::QStringToCp936(typed) : defaultText;
    };
    hooks.MessageBox = [](const std::string& message, const std::string& caption, int flags) {
        QMessageBox box(frMessageBoxIcon(flags), text::Cp936ToQString(caption),
                        text::Cp936ToQString(message), frMessageBoxButtons(flags),
                        QApplication::activeWindow());
        box.exec();
        QAbstractButton* clicked = box.clickedButton();
        return frMessageBoxResult(clicked ? box.standardButton(clicked) : QMessageBox::Cancel);
    };
}
