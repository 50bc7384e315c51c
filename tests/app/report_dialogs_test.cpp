// The application puts the report's dialogs behind its hooks at start-up:
// a protected label template asks for its password when printing, and long
// operations run inside the progress window.

#include "app/frm_print.h"
#include "app_test_support.h"
#include "platform/text/cp936.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/model/report.h"
#include "report/output/passw_form.h"
#include "report/output/progress_form.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
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

TEST_F(ReportDialogs, PrintingAProtectedTemplateAsksForItsPassword) {
    TfrmPrint w;
    w.Edit1->setText(QString::fromUtf8(SAMPLE_DB_PATH));
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    const int table = w.ComboBox1->findText(QStringLiteral("商品"));
    ASSERT_GE(table, 0);
    w.ComboBox1->setCurrentIndex(table);
    emit w.ComboBox1->activated(table);
    w.ComboBox2->setCurrentIndex(w.ComboBox2->findText(QStringLiteral("条码")));
    w.ComboBox3->setCurrentIndex(w.ComboBox3->findText(QStringLiteral("名称")));
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    messages.clear();

    const std::string path = text::QStringToCp936(TfrmPrint::TemplatePath());
    {
        TfrReport made;
        made.Pages->Add();
        made.Pages->Items(0).AddObject(CreateObject(gtMemo, "")).Name = "B";
        made.InfoPassword = "label";
        made.InfoProtected = 1;
        made.SaveTemplateFile(path);
    }
    AnswerPassword(QStringLiteral("label"));
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(w.frReport1().FileName, path);
    EXPECT_NE(w.frReport1().FindObject("B"), nullptr);

    AnswerPassword(QStringLiteral("LABEL"));
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(w.frReport1().FileName, "Untitled");
    EXPECT_EQ(w.frReport1().FindObject("B"), nullptr);
    EXPECT_TRUE(messages.empty());
    QFile::remove(TfrmPrint::TemplatePath());
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
