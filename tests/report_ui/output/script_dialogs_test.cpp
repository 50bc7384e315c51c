// INPUT and MESSAGEBOX as windows: the flags a template passes become Qt's
// buttons and icon, the button pressed the identifier scripts compare with.

#include "report/output/script_dialogs.h"
#include "report_ui/ui_app.h"

#include "platform/text/cp936.h"
#include "report/core/process_state.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

TEST(ScriptDialogs, FlagsToButtonsIconAndResult) {
    struct Case {
        int flags;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon;
    };
    const Case cases[] = {
        {0, QMessageBox::Ok, QMessageBox::NoIcon},
        {1 | 48, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Warning},
        {2 | 16, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
         QMessageBox::Critical},
        {3 | 32, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Question},
        {4 | 64, QMessageBox::Yes | QMessageBox::No, QMessageBox::Information},
        {5, QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::NoIcon},
        {15 | 240, QMessageBox::Ok, QMessageBox::NoIcon}, // unknown bits: a plain box
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        EXPECT_EQ(frMessageBoxButtons(c.flags), c.buttons);
        EXPECT_EQ(frMessageBoxIcon(c.flags), c.icon);
    }
    EXPECT_EQ(frMessageBoxResult(QMessageBox::Ok), 1);
    EXPECT_EQ(frMessageBoxResult(QMessageBox::Cancel), 2);
    EXPECT_EQ(frMessageBoxResult(QMessageBox::Abort), 3);
    EXPECT_EQ(frMessageBoxResult(QMessageBox::Retry), 4);
    EXPECT_EQ(frMessageBoxResult(QMessageBox::Ignore), 5);
    EXPECT_EQ(frMessageBoxResult(QMessageBox::Yes), 6);
    EXPECT_EQ(frMessageBoxResult(QMessageBox::No), 7);
}

TEST(ScriptDialogs, TheInstalledBoxesAnswerWhatTheOperatorChose) {
    EnsureApp();
    InstallScriptDialogs();
    // Presses the box's No button once it is up.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(frGuiHooks().MessageBox(text::L("继续?"), "Labels", 4 | 32), 7);

    // Types into the input box and confirms; a cancelled box gives the default.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* input = qobject_cast<QInputDialog*>(w); input && input->isVisible()) {
                input->setTextValue(QString::fromUtf8("二号线"));
                input->accept();
            }
    });
    EXPECT_EQ(frGuiHooks().InputBox("Labels", "Line", "1"), text::L("二号线"));
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* input = qobject_cast<QInputDialog*>(w); input && input->isVisible())
                input->reject();
    });
    EXPECT_EQ(frGuiHooks().InputBox("Labels", "Line", "1"), "1");
    frResetProcessState();
}
