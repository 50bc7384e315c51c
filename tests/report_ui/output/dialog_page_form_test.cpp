// A template's dialog page as a window before the build: its look comes from
// the page, the operator's answer decides whether the report is built, and a
// script that sets MODALRESULT decides without the window.

#include "report/output/dialog_page_form.h"
#include "report_ui/ui_app.h"

#include "platform/gdi/colors.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/engine/expression_evaluator.h"
#include "report/engine/memo_layout.h"
#include "report/engine/prepared_pages.h"
#include "report/model/band_view.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"
#include "report/model/page.h"
#include "report/model/report.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <functional>

namespace {

class DialogPageForm : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        frResetProcessState();
        InstallExpressionEvaluator();
        InstallMemoLayout();
        InstallDialogPageForm();
        report.ShowProgress = false;
        // The dialog page, asked first.
        TfrPage& dialog = report.Pages->Items(report.Pages->Add());
        dialog.PageType = ptDialog;
        dialog.Caption = text::L("选择批次");
        dialog.Color = gdi::clYellow;
        dialog.Width = 300;
        dialog.Height = 200;
        auto& ask = static_cast<TfrMemoView&>(dialog.AddObject(CreateObject(gtMemo, "")));
        ask.Name = "Ask";
        ask.SetBounds(100, 100, 120, 20);
        ask.Memo.SetText(text::L("批次"));
        // The report page: a title.
        TfrPage& page = report.Pages->Items(report.Pages->Add());
        auto& title = static_cast<TfrBandView&>(page.AddObject(CreateObject(gtBand, "")));
        title.FrameTyp = btReportTitle;
        title.Name = "Title";
        title.SetBounds(0, 10, 300, 30);
        auto& memo = static_cast<TfrMemoView&>(page.AddObject(CreateObject(gtMemo, "")));
        memo.Name = "T";
        memo.SetBounds(10, 12, 100, 20);
        memo.Memo.SetText("Labels");
    }
    void TearDown() override {
        SetCurReport(nullptr);
        frResetProcessState();
    }

    // Builds while `answer` handles the window once it is up; whether it was.
    bool BuildAnswering(const std::function<void(TfrDialogPageForm&)>& answer, bool& built) {
        bool shown = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* form = qobject_cast<TfrDialogPageForm*>(QApplication::activeModalWidget());
            if (!form || shown) return;
            shown = true;
            answer(*form);
        });
        poll.start();
        built = report.BuildPreparedReport();
        poll.stop();
        return shown;
    }

    TfrReport report;
};

TEST_F(DialogPageForm, TheWindowLooksLikeThePageAndTheAnswerDecides) {
    bool built = false;
    const bool shown = BuildAnswering(
        [](TfrDialogPageForm& form) {
            EXPECT_EQ(form.windowTitle(), QString::fromUtf8("选择批次"));
            EXPECT_EQ(form.size(), QSize(300, 200));
            const QImage image = form.grab().toImage();
            EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::yellow)); // the page's colour
            form.reject();                                         // closed: the build is given up
        },
        built);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(built);
    EXPECT_EQ(report.PreparedPages->Count(), 0);

    EXPECT_TRUE(BuildAnswering([](TfrDialogPageForm& form) { form.accept(); }, built));
    EXPECT_TRUE(built);
    EXPECT_EQ(report.PreparedPages->Count(), 1);
}

TEST_F(DialogPageForm, AScriptThatSetsTheResultDecidesWithoutTheWindow) {
    struct Case {
        const char* script;
        bool built;
    };
    for (const Case c : {Case{"ModalResult := 2", false}, Case{"ModalResult := 1", true}}) {
        SCOPED_TRACE(c.script);
        report.Pages->Items(0).PageScript.SetText(c.script);
        bool built = !c.built;
        EXPECT_FALSE(BuildAnswering([](TfrDialogPageForm& form) { form.reject(); }, built));
        EXPECT_EQ(built, c.built);
    }
}

} // namespace
