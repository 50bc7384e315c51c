// The password dialog behind the report's AskPassword hook: a protected
// template from a file asks for its password (also when it holds an object
// kind this program lacks), one held in memory never asks.

#include "report/output/passw_form.h"
#include "report_ui/ui_app.h"

#include "platform/text/cp936.h"
#include "report/model/gauge_view.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/model/report.h"
#include "report/printer/printer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>
#include <filesystem>

namespace {

struct Answer {
    QString typed;
    bool confirm;
};

class PasswForm : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        frResetProcessState();
        InitReportPrinter(nullptr);
        InstallPasswordForm();
        frGuiHooks().ShowError = [this](const std::string& text, const std::string&) {
            messages.push_back(text);
        };
        std::filesystem::create_directories(TEST_OUTPUT_DIR);
    }
    void TearDown() override { frResetProcessState(); }

    // Answers the password dialogs as they come up, in order; what each
    // showed first is kept.
    void AnswerDialogs(std::vector<Answer> answers) {
        pending.assign(answers.begin(), answers.end());
        QTimer::singleShot(0, &timers, [this] { AnswerNext(); });
    }
    void AnswerNext() {
        if (pending.empty()) return;
        auto* form = qobject_cast<TfrPasswForm*>(QApplication::activeModalWidget());
        if (!form) {
            QTimer::singleShot(5, &timers, [this] { AnswerNext(); });
            return;
        }
        shown.push_back(form->L1->text());
        EXPECT_EQ(form->windowTitle(), "Password");
        EXPECT_EQ(form->E1->echoMode(), QLineEdit::Password);
        EXPECT_TRUE(form->E1->text().isEmpty());
        EXPECT_EQ(form->focusWidget(), form->E1);
        EXPECT_FALSE(form->L2->isVisible());
        const Answer a = pending.front();
        pending.pop_front();
        QTest::keyClicks(form->E1, a.typed);
        QTest::mouseClick(a.confirm ? form->OK : form->Cancel, Qt::LeftButton);
        if (!pending.empty()) QTimer::singleShot(0, &timers, [this] { AnswerNext(); });
    }

    QObject timers; // pending answers go with the test
    std::deque<Answer> pending;
    std::vector<QString> shown;
    std::vector<std::string> messages;
};

// A protected template with a memo named B and a record of a kind that is
// not registered.
std::string ProtectedTemplateFile() {
    TfrReport made;
    made.Pages->Add();
    made.Pages->Items(0).AddObject(CreateObject(gtMemo, "")).Name = "B";
    made.Pages->Items(0).AddObject(std::make_unique<TfrTestGaugeView>()).Name = "G";
    made.InfoPassword = "Ab1";
    made.InfoProtected = 1;
    made.InfoAuthor = "someone";
    rtl::TMemoryStream bytes;
    made.SaveTemplateStream(bytes);
    std::string content = bytes.Bytes();
    // Same length, so every stored end position stays right.
    const std::string registered = "TfrTestGaugeView";
    content.replace(content.find(registered), registered.size(), "TfrMissingView01");
    const std::string path = std::string(TEST_OUTPUT_DIR) + "/passw_form_protected.frf";
    rtl::TMemoryStream file;
    file.WriteBytes(content);
    file.SaveToFile(path);
    return path;
}

TEST_F(PasswForm, AProtectedTemplateAsksBeforeAnythingIsLoadedOrReported) {
    const std::string path = ProtectedTemplateFile();
    struct Case {
        Answer answer;
        bool opens;
    };
    const Case cases[] = {{{"Ab1", true}, true}, {{"ab1", true}, false}, {{"Ab1", false}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.typed.toStdString() + (c.answer.confirm ? " OK" : " Cancel"));
        messages.clear();
        shown.clear();
        AnswerDialogs({c.answer});
        TfrReport report;
        ASSERT_TRUE(report.LoadTemplateFile(path));
        EXPECT_EQ(shown, std::vector<QString>{"Enter password for opening report"});
        if (c.opens) {
            // The missing kind is reported after the password, and what was
            // read stays, protection included.
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_NE(messages[0].find("TfrMissingView01"), std::string::npos);
            EXPECT_NE(report.FindObject("B"), nullptr);
            EXPECT_EQ(report.InfoProtected, 1);
            EXPECT_EQ(report.InfoAuthor, "someone");
        } else {
            EXPECT_TRUE(messages.empty());
            EXPECT_EQ(report.FileName, "Untitled");
            ASSERT_EQ(report.Pages->Count(), 1);
            EXPECT_EQ(report.Pages->Items(0).ObjectCount(), 0);
            EXPECT_EQ(report.InfoProtected, 0);
            EXPECT_EQ(report.InfoAuthor, "");
        }
    }
}

TEST_F(PasswForm, ATemplateHeldInMemoryNeverAsks) {
    const std::string path = ProtectedTemplateFile();
    rtl::TMemoryStream bytes;
    bytes.LoadFromFile(path);
    bool asked = false;
    frGuiHooks().AskPassword = [&](std::string&) {
        asked = true;
        return false;
    };
    TfrReport report;
    EXPECT_EQ(report.LoadTemplateStream(bytes), TfrLoadResult::MissingComponents);
    EXPECT_FALSE(asked);
    EXPECT_NE(report.FindObject("B"), nullptr);
}

TEST_F(PasswForm, ANewPasswordIsTypedTwiceAndMustMatch) {
    struct Case {
        std::vector<Answer> answers;
        bool protects;
    };
    const Case cases[] = {
        {{{"secret", true}, {"secret", true}}, true},
        {{{"secret", true}, {"Secret", true}}, false},
        {{{"secret", true}, {"secret", false}}, false},
        {{{"secret", false}}, false},
    };
    for (const Case& c : cases) {
        shown.clear();
        AnswerDialogs(c.answers);
        std::string password = "unchanged";
        EXPECT_EQ(AskNewPassword(password), c.protects);
        EXPECT_EQ(password, c.protects ? "secret" : "unchanged");
        std::vector<QString> expected{"Enter password for opening report"};
        if (c.answers.size() > 1) expected.push_back("Retype password for validate");
        EXPECT_EQ(shown, expected);
    }
}

} // namespace
