// The barcode editor, driven as a user drives it.

#include "report/barcode/barcode_form.h"

#include "platform/text/cp936.h"
#include "platform/ui/dialogs.h"
#include "report/barcode/barcode_view.h"
#include "report/core/process_state.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

namespace {

// The application these tests make, destroyed when the run ends rather than
// among the exit handlers, where the input devices QTest made would outlive
// the window system they belong to.
QApplication* ownApp = nullptr;

class OwnAppEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        delete ownApp;
        ownApp = nullptr;
    }
};

const bool kOwnAppEnvironment = [] {
    ::testing::AddGlobalTestEnvironment(new OwnAppEnvironment);
    return true;
}();

void EnsureApp() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "report_ui_tests";
    static char* argv[] = {name, nullptr};
    ownApp = new QApplication(argc, argv);
}

class BarCodeForm : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        frResetProcessState();
        ui::TestHooks().message = [this](const ui::MessageRecord& m) {
            messages.push_back((m.kind == ui::MsgKind::Error ? "error|" : "other|") + m.caption +
                               "|" + m.text);
        };
        DesignerEditorHooks().RecordEditUndo = [this] { ++undoSteps; };
    }
    void TearDown() override {
        ui::TestHooks() = ui::Hooks{};
        frResetProcessState();
    }

    // Runs the editor on `view`, with `drive` acting on the dialog once it is up.
    bool Edit(TfrBarCodeView& view, std::function<void(TfrBarCodeForm&)> drive) {
        QTimer::singleShot(0, [drive] {
            auto* form = qobject_cast<TfrBarCodeForm*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            drive(*form);
            if (form->isVisible()) form->reject(); // a failed step must not hang the test
        });
        return frEditBarCode(view);
    }

    // Check boxes and radio buttons take clicks on their box and caption only.
    static void Click(QWidget* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }

    static void Type(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    QStringList messages;
    int undoSteps = 0;
};

TEST_F(BarCodeForm, ShowsTheObjectAndStoresWhatTheUserChose) {
    TfrBarCodeView v;
    v.Memo.SetText("690123456789\r\nsecond line");
    v.BarType = bcCodeEAN13;
    v.CalcCheckSum = false;
    v.ShowText = false;
    v.Zoom = 2.5;
    v.Rotation = 180;
    const bool ok = Edit(v, [](TfrBarCodeForm& f) {
        EXPECT_EQ(f.windowTitle(), QString::fromUtf8("条码编辑器"));
        EXPECT_EQ(f.size(), QSize(269, 249));
        EXPECT_EQ(f.M1->text(), "690123456789");
        EXPECT_EQ(f.M1Button->toolTip(), QString::fromUtf8("插入表达式"));
        ASSERT_EQ(f.cbType->count(), 23);
        EXPECT_EQ(f.cbType->itemText(0), "2_5_interleaved");
        EXPECT_EQ(f.cbType->itemText(12), "Codebar");
        EXPECT_EQ(f.cbType->currentText(), "EAN13");
        EXPECT_FALSE(f.ckCheckSum->isChecked());
        EXPECT_EQ(f.ckViewText->text(), QString::fromUtf8("目读数字(&H)"));
        EXPECT_FALSE(f.ckViewText->isChecked());
        EXPECT_EQ(f.eZoom->text(), "2.5");
        EXPECT_TRUE(f.RB3->isChecked());
        EXPECT_EQ(f.bOk->text(), QString::fromUtf8("确认"));
        EXPECT_TRUE(f.bOk->isDefault());
        EXPECT_EQ(f.focusWidget(), f.M1);

        Type(f.M1, "Velkor-128b");
        f.cbType->setCurrentIndex(bcCode128B);
        Click(f.ckCheckSum);
        Click(f.ckViewText);
        QTest::mouseClick(f.frSpeedButton1, Qt::LeftButton); // 3.5
        Click(f.RB2);
        QTest::mouseClick(f.bOk, Qt::LeftButton);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(undoSteps, 1);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(v.Memo.Text(), "Velkor-128b\r\n"); // one line
    EXPECT_EQ(v.BarType, bcCode128B);
    EXPECT_TRUE(v.CalcCheckSum);
    EXPECT_TRUE(v.ShowText);
    EXPECT_EQ(v.Zoom, 3.5);
    EXPECT_EQ(v.Rotation, 90.0);
}

TEST_F(BarCodeForm, AnInvalidCodeOrZoomKeepsTheDialogOpen) {
    TfrBarCodeView v;
    v.BarType = bcCodeEAN13;
    const bool ok = Edit(v, [this](TfrBarCodeForm& f) {
        // Letters for EAN-13, a wrong check digit, nothing at all: each refused.
        for (const char* bad : {"ABC", "6901234567890", ""}) {
            Type(f.M1, bad);
            QTest::mouseClick(f.bOk, Qt::LeftButton);
            EXPECT_TRUE(f.isVisible()) << bad;
        }
        EXPECT_EQ(messages, QStringList(3, QString::fromUtf8("error|错误|条码错误")));
        messages.clear();
        // A valid code with an unusable zoom: refused before anything changes.
        Type(f.M1, "6901234567892");
        for (const char* bad : {"abc", "0", "-2", "1e9"}) {
            Type(f.eZoom, bad);
            QTest::mouseClick(f.bOk, Qt::LeftButton);
            EXPECT_TRUE(f.isVisible()) << bad;
        }
        EXPECT_EQ(messages,
                  QStringList(4, QString::fromUtf8("error|错误|放大倍数必须大于0且不超过1000")));
        messages.clear();
        // Expressions are known only when the report is built: not checked.
        Type(f.M1, "[NUM]");
        Type(f.eZoom, "1.5");
        QTest::mouseClick(f.bOk, Qt::LeftButton);
        EXPECT_FALSE(f.isVisible());
    });
    EXPECT_TRUE(ok);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(v.Memo.Text(), "[NUM]\r\n");
    EXPECT_EQ(v.Zoom, 1.5);
}

TEST_F(BarCodeForm, CancelLeavesTheObjectAsItWas) {
    TfrBarCodeView v;
    v.BarType = 40; // as a damaged file may hold: no type is chosen
    const bool ok = Edit(v, [this](TfrBarCodeForm& f) {
        EXPECT_EQ(f.cbType->currentIndex(), -1);
        EXPECT_EQ(f.M1->text(), "12345678");
        QTest::mouseClick(f.bOk, Qt::LeftButton); // a type must be chosen first
        EXPECT_TRUE(f.isVisible());
        EXPECT_EQ(messages.size(), 1);
        Type(f.M1, "999");
        Click(f.RB4);
        QTest::mouseClick(f.bCancel, Qt::LeftButton);
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(undoSteps, 0);
    EXPECT_EQ(v.Memo.Text(), "12345678\r\n");
    EXPECT_EQ(v.BarType, 40);
    EXPECT_EQ(v.Rotation, 0.0);
}

TEST_F(BarCodeForm, ZoomButtonsAndTheExpressionBuilder) {
    TfrBarCodeForm f;
    EXPECT_EQ(f.M1->text(), "0"); // the defaults, before an object fills it
    EXPECT_EQ(f.eZoom->text(), "1");
    EXPECT_TRUE(f.RB1->isChecked());
    QTest::mouseClick(f.frSpeedButton2, Qt::LeftButton);
    EXPECT_EQ(f.eZoom->text(), "1"); // never 0 or less
    f.eZoom->setText("2.25");
    QTest::mouseClick(f.frSpeedButton1, Qt::LeftButton);
    EXPECT_EQ(f.eZoom->text(), "3.25");
    QTest::mouseClick(f.frSpeedButton2, Qt::LeftButton);
    QTest::mouseClick(f.frSpeedButton2, Qt::LeftButton);
    EXPECT_EQ(f.eZoom->text(), "1.25");

    std::string chosen = "[Orders.\"Num\"]";
    DesignerEditorHooks().ChooseExpression = [&] { return chosen; };
    f.M1Button->trigger();
    EXPECT_EQ(f.M1->text(), "[Orders.\"Num\"]");
    chosen.clear(); // cancelled: the text stays
    f.M1Button->trigger();
    EXPECT_EQ(f.M1->text(), "[Orders.\"Num\"]");
}

TEST_F(BarCodeForm, TheObjectOpensItThroughTheDesignerHook) {
    TfrBarCodeView v;
    v.OpenEditor(); // no designer: nothing happens
    InstallBarCodeEditor();
    int shown = 0;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TfrBarCodeForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        ++shown;
        QTest::keyClick(form->M1, Qt::Key_End); // the code comes selected
        QTest::keyClicks(form->M1, "9");
        QTest::keyClick(form->M1, Qt::Key_Return); // the default button
    });
    v.FindProperty("Barcode")->Editor(); // the inspector's button
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(v.Memo.Text(), "123456789\r\n");
}

} // namespace
