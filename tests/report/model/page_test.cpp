// Pages: paper through the printer layer, limits, properties in report
// units, object lookup, and the report's page-wide operations.

#include "template_test_support.h"

#include "report/model/band_view.h"

using namespace model_test;

class Pages : public TemplateTest {};

TEST_F(Pages, NewPageHasTheDocumentedDefaults) {
    TfrReport report;
    report.Pages->Add();
    report.Pages->Add();
    const TfrPage& p = report.Pages->Items(1);
    EXPECT_EQ(p.Name, "Page2");
    EXPECT_EQ(p.PageType, ptReport);
    EXPECT_TRUE(p.UseMargins);
    EXPECT_FALSE(p.PrintToPrevPage);
    EXPECT_EQ(p.PaperBin, frDefaultPaperBin);
    EXPECT_EQ(p.Caption, "Form");
    EXPECT_EQ(p.Left, 220);
    EXPECT_EQ(p.Width, 380);
    EXPECT_EQ(p.Position, frpoScreenCenter);
    EXPECT_EQ(p.BorderStyle, frbsDialog);
    EXPECT_EQ(p.Color, gdi::clBtnFace);
    EXPECT_TRUE(p.Visible);
    EXPECT_GT(p.PrinterInfo.PageWidth, 0);
}

TEST_F(Pages, PaperSizeReadsAndWritesInReportUnits) {
    TfrPage page(9, 2100, 2970, -1, 0);
    EXPECT_EQ(page.PaperWidth, 2100);
    EXPECT_EQ(page.ReadProperty("width").AsInteger(), 756);
    EXPECT_EQ(page.ReadProperty("HEIGHT").AsInteger(), 1069);
    page.WriteProperty("Width", rtl::TVariant(756));
    EXPECT_EQ(page.PaperWidth, 2100);
    page.WriteProperty("StretchToPrintable", rtl::TVariant(true));
    EXPECT_FALSE(page.UseMargins);
    EXPECT_TRUE(page.ReadProperty("StretchToPrintable").AsBoolean());
    EXPECT_TRUE(page.ReadProperty("ColumnWidth").IsNull());

    // A dialog page's size is its window's, in pixels.
    page.WriteProperty("Type", rtl::TVariant(1));
    page.WriteProperty("Width", rtl::TVariant(500));
    EXPECT_EQ(page.Width, 500);
    EXPECT_EQ(page.PaperWidth, 2100);
    EXPECT_NE(page.FindProperty("OnActivate"), nullptr);
    EXPECT_EQ(page.FindProperty("Size"), nullptr);
}

TEST_F(Pages, LimitsFollowMarginsPrinterOffsetsAndTheFooter) {
    TfrPage page(9, 2100, 2970, -1, 0);
    const PrinterPageInfo& info = page.PrinterInfo;
    page.Margins = {36, 0, 40, 0};
    EXPECT_EQ(page.LeftLimit(), 36);
    EXPECT_EQ(page.TopLimit(), info.OffsetY);
    EXPECT_EQ(page.RightLimit(), info.PageWidth - 40);
    EXPECT_EQ(page.BottomLimit(), info.OffsetY + info.PrintableHeight);
    page.UseMargins = false;
    EXPECT_EQ(page.LeftLimit(), 0);
    EXPECT_EQ(page.RightLimit(), info.PageWidth);
    page.UseMargins = true;

    auto& footer = page.AddObject(CreateObject(gtBand, ""));
    footer.FrameTyp = btPageFooter;
    footer.Height = 50;
    EXPECT_EQ(page.ReadProperty("RightMargin").AsInteger(), 40);
    frEngine().OutputMode = true;
    // While building, margins read as the limits they make.
    EXPECT_EQ(page.ReadProperty("RightMargin").AsInteger(), info.PageWidth - 40);
    EXPECT_EQ(page.BottomLimit(), info.OffsetY + info.PrintableHeight - 50);
}

TEST_F(Pages, FindObjectIgnoresCaseAndPrefersEarlierPages) {
    TfrReport report;
    report.Pages->Add();
    report.Pages->Add();
    TfrView& second = report.Pages->Items(1).AddObject(CreateObject(gtMemo, ""));
    second.Name = "Memo1";
    TfrView& first = report.Pages->Items(0).AddObject(CreateObject(gtMemo, ""));
    first.Name = "MEMO1";
    EXPECT_EQ(report.FindObject("memo1"), &first);
    EXPECT_EQ(report.Pages->Items(1).FindObjectById(second.ObjectId), 0);
    EXPECT_EQ(report.Pages->Items(1).FindObjectById(first.ObjectId), -1);

    // Objects reach the current report through the services.
    SetCurReport(&report);
    EXPECT_EQ(frReportLookups().FindObject("Memo1"), &first);
    EXPECT_EQ(frReportLookups().FindPage(2), &report.Pages->Items(1));
    EXPECT_EQ(frReportLookups().FindPage(3), nullptr);
}

TEST_F(Pages, PageScriptRunsThroughTheInterpreterWithNoCurrentObject) {
    TfrPage page(9, 2100, 2970, -1, 0);
    int runs = 0;
    frEngineHooks().RunPageScript = [&](TfrPage& p, const rtl::TStringList& script) {
        EXPECT_EQ(&p, &page);
        EXPECT_EQ(frEngine().CurrentObject, nullptr);
        EXPECT_EQ(script[0], "x := 1;");
        ++runs;
    };
    page.RunPageScript(); // empty: nothing runs
    page.PageScript.Add("x := 1;");
    TfrView& v = page.AddObject(CreateObject(gtMemo, ""));
    frEngine().CurrentObject = &v;
    page.RunPageScript();
    EXPECT_EQ(runs, 1);
}

TEST_F(Pages, ScriptEditorCarriesThePageScriptBothWays) {
    TfrPage page(9, 2100, 2970, -1, 0);
    page.PageScript.Add("old");
    DesignerEditorHooks().EditMemoHook = [](TfrView& v) {
        EXPECT_EQ(v.BeforePrintScript[0], "old");
        v.BeforePrintScript.Clear();
        v.BeforePrintScript.Add("new");
    };
    page.FindProperty("OnBeforePrint")->Editor();
    EXPECT_EQ(page.PageScript.Text(), "new\r\n");
}

TEST_F(Pages, MoveAndDeleteKeepTheOrder) {
    TfrReport report;
    for (int i = 0; i < 3; ++i) report.Pages->Add();
    report.Pages->Move(0, 2);
    EXPECT_EQ(report.Pages->Items(0).Name, "Page2");
    EXPECT_EQ(report.Pages->Items(2).Name, "Page1");
    report.Pages->Delete(1);
    EXPECT_EQ(report.Pages->Count(), 2);
    EXPECT_EQ(report.Pages->Add(), 2);
    EXPECT_EQ(report.Pages->Items(2).Name, "Page3");
}

TEST_F(Pages, ChangePrinterReappliesPapersAndRecoversFromABadIndex) {
    TfrReport report;
    report.Pages->Add();
    TfrPrinter& printer = ReportPrinter();
    const int virt = printer.VirtualPrinterIndex;
    EXPECT_TRUE(report.ChangePrinter(virt, virt));
    EXPECT_EQ(report.StoredPrinterName, printer.PrinterNames[virt]);
    EXPECT_FALSE(report.ChangePrinter(virt, virt + 5));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], Gbk("错误") + "|" + Gbk("所选打印机错误"));
    EXPECT_EQ(printer.PrinterIndex, virt);
    EXPECT_GT(report.Pages->Items(0).PrinterInfo.PageWidth, 0);
}

TEST_F(Pages, ProgressGoesToTheHandlerOrTheProgressLabel) {
    TfrReport report;
    std::vector<std::string> labels;
    frGuiHooks().SetProgressText = [&](const std::string& t) { labels.push_back(t); };
    report.ProgressBaseText = "Page";
    report.ReportProgress(3);
    report.DoublePass = true;
    report.FinalPass = true;
    report.TotalPages = 9;
    report.ReportProgress(4);
    int handled = 0;
    report.OnProgress = [&](int n) { handled = n; };
    report.ReportProgress(5);
    EXPECT_EQ(handled, 5);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0], "Page 3");
    EXPECT_EQ(labels[1], "Page 4 " + Gbk("从") + " 9");
}

TEST_F(Pages, BeforePrintLoadsTheBoundBlobThenRaisesTheEvent) {
    TfrReport report;
    report.Pages->Add();
    TfrView& view = report.Pages->Items(0).AddObject(CreateObject(gtPicture, ""));
    std::vector<std::string> order;
    frEngineHooks().ReadBoundBlob = [&](TfrView& v, TfrBlobData& field) {
        EXPECT_EQ(&v, &view);
        order.push_back("blob");
        field.IsNull = true;
        return true;
    };
    report.OnBeforePrint = [&](rtl::TStringList&, TfrView&) { order.push_back("event"); };
    SetCurReport(&report);
    rtl::TStringList memo;
    frReportLookups().FireBeforePrint(memo, view);
    EXPECT_EQ(order, (std::vector<std::string>{"blob", "event"}));
}

TEST_F(Pages, OpenDesignerWithoutADesignerAddsAPageAndCancels) {
    TfrReport report;
    EXPECT_EQ(report.OpenDesigner(), 2);
    EXPECT_EQ(report.Pages->Count(), 1);
    DesignerEditorHooks().ShowDesigner = [](TfrReport& r) { return r.Pages->Count() == 1 ? 1 : 0; };
    EXPECT_EQ(report.OpenDesigner(), 1);
}
