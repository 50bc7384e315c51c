// The application puts the report's dialogs behind its hooks at start-up:
// a protected label template asks for its password in the password dialog,
// and long operations run inside the progress window.

#include "app/frm_print.h"
#include "app_test_support.h"
#include "platform/text/cp936.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/model/report.h"
#include "report/output/passw_form.h"
#include "report/output/progress_form.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

class ReportDialogs : public WindowTest {
protected:
    // Answers the next password dialog once it is up.
    void AnswerPassword(const QString& typed) {
        QTimer::singleShot(0, &timers, [this, typed] {
            auto* form = qobject_cast<TfrPasswForm*>(QApplication::activeModalWidget());
            if (!form) return AnswerPassword(typed);
            ++asked;
            QTest::keyClicks(form->E1, typed);
            QTest::mouseClick(form->OK, Qt::LeftButton);
        });
    }

    QObject timers;
    int asked = 0;
};

TEST_F(ReportDialogs, AProtectedTemplateAsksForItsPasswordInTheDialog) {
    // Not Print.frf itself: the main window's own tests expect it absent, and
    // the print command reads it through this same call.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = text::QStringToCp936(dir.filePath(QStringLiteral("Print.frf")));
    {
        TfrReport made;
        made.Pages->Add();
        made.Pages->Items(0).AddObject(CreateObject(gtMemo, "")).Name = "B";
        made.InfoPassword = "label";
        made.InfoProtected = 1;
        made.SaveTemplateFile(path);
    }
    TfrmPrint w;
    TfrReport& report = w.frReport1();
    AnswerPassword(QStringLiteral("label"));
    ASSERT_TRUE(report.LoadTemplateFile(path));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(report.FileName, path);
    EXPECT_NE(report.FindObject("B"), nullptr);

    AnswerPassword(QStringLiteral("LABEL"));
    ASSERT_TRUE(report.LoadTemplateFile(path));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(report.FileName, "Untitled");
    EXPECT_EQ(report.FindObject("B"), nullptr);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ReportDialogs, LongOperationsRunInsideTheProgressWindow) {
    TfrReport report;
    bool inside = false;
    const int result = frGuiHooks().RunWithProgress(report, text::L("正在准备报表"), [&] {
        inside = QApplication::activeModalWidget() == &ProgressWindow();
    });
    EXPECT_TRUE(inside);
    EXPECT_EQ(result, mrOk);
}

} // namespace
