// The progress window as the report's hooks use it: the work runs inside its
// own event loop while it is shown, the report's progress step writes its
// line, and Cancel, Esc or closing it ask the work to stop.

#include "report/output/progress_form.h"
#include "report_ui/ui_app.h"

#include "platform/text/cp936.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/report.h"
#include "report/printer/printer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class ProgressForm : public ::testing::Test {
protected:
    ProgressForm() : window((EnsureApp(), ProgressWindow())) {}
    void SetUp() override {
        frResetProcessState();
        InitReportPrinter(nullptr);
        InstallProgressForm();
    }
    void TearDown() override { frResetProcessState(); }

    int Run(const std::string& caption, const std::function<void()>& operation) {
        return frGuiHooks().RunWithProgress(report, caption, operation);
    }
    // Reports pages until the work is asked to stop, or for five seconds;
    // only the report's progress step lets the window's events in.
    void WorkUntilCancelled() {
        QElapsedTimer clock;
        clock.start();
        int page = 0;
        while (!report.CancelRequested && clock.elapsed() < 5000) report.ReportProgress(++page);
    }

    TfrProgressForm& window;
    TfrReport report;
};

TEST_F(ProgressForm, TheWorkRunsInsideTheShownWindowAndWritesItsLine) {
    report.ProgressBaseText = LoadResourceString(frsPrintingPage);
    window.Label2->setText("left over");
    bool ran = false;
    const int result = Run(text::L("正在准备报表 - 标签"), [&] {
        ran = true;
        // Up and modal while the work runs, not ended by hiding.
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), &window);
        EXPECT_TRUE(window.Label2->text().isEmpty());
        EXPECT_EQ(window.windowTitle(), Q("正在准备报表 - 标签"));
        EXPECT_EQ(window.Button1->text(), Q("取消"));
        report.ReportProgress(3);
        EXPECT_EQ(window.Label1->text(), Q("正在打印页: 3"));
        // Once the total is known: " 从 " and the total.
        report.DoublePass = true;
        report.FinalPass = true;
        report.TotalPages = 12;
        report.ReportProgress(4);
        EXPECT_EQ(window.Label1->text(), Q("正在打印页: 4 从 12"));
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(result, mrOk);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(report.CancelRequested);
}

TEST_F(ProgressForm, CancelEscAndClosingAskTheWorkToStop) {
    struct Case {
        const char* what;
        std::function<void(TfrProgressForm&)> press;
    };
    const Case cases[] = {
        {"Cancel", [](TfrProgressForm& w) { QTest::mouseClick(w.Button1, Qt::LeftButton); }},
        {"Esc", [](TfrProgressForm& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"close", [](TfrProgressForm& w) { w.close(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        report.CancelRequested = false;
        bool visibleAfterRequest = false;
        QObject presser; // the press goes with this case, whatever happens
        QTimer::singleShot(20, &presser, [&] { c.press(window); });
        const int result = Run("build", [&] {
            WorkUntilCancelled();
            // The window stays until the work has stopped.
            visibleAfterRequest = window.isVisible();
        });
        EXPECT_EQ(result, mrCancel);
        EXPECT_TRUE(report.CancelRequested);
        EXPECT_TRUE(visibleAfterRequest);
        EXPECT_FALSE(window.isVisible());
    }
}

TEST_F(ProgressForm, AnExceptionInsideTheWorkComesOutAfterTheWindowIsDown) {
    EXPECT_THROW(Run("build", [] { throw std::runtime_error("build failed"); }),
                 std::runtime_error);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.Running());
    // The window serves the next operation as before.
    EXPECT_EQ(Run("again", [] {}), mrOk);
}

TEST_F(ProgressForm, AResultTheWorkSetsWinsAndANestedRunStaysInTheWindow) {
    window.Action = [this](TfrProgressForm& w) {
        int nested = 0;
        w.Action = [&nested](TfrProgressForm&) { ++nested; };
        EXPECT_EQ(w.RunWithProgress(&report), mrOk);
        EXPECT_EQ(nested, 1);
        EXPECT_TRUE(w.isVisible());
        report.CancelRequested = true;
        w.SetModalResult(mrOk); // the work finished all the same
    };
    EXPECT_EQ(window.RunWithProgress(&report), mrOk);
    window.Action = nullptr;
}

} // namespace
