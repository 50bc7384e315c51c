// The report build: small templates and rows in, built pages out, read back
// from the page streams as "object@Left,Top:text" per sheet. Pages are 360
// by 360 report units on the whole sheet (no margins).

#include "build_fixture.h"

#include "report/barcode/barcode_view.h"
#include "report/engine/report_build.h"

#include <functional>

namespace {

using buildtest::BuildFixture;
using buildtest::Record;
using Sheets = std::vector<std::vector<std::string>>;

struct Scenario {
    const char* name;
    std::function<void(BuildFixture&)> make;
    Sheets expected;
};

std::vector<Record> Names(std::initializer_list<const char*> names) {
    std::vector<Record> rows;
    for (const char* n : names) rows.push_back(BuildFixture::R("Name", n));
    return rows;
}

const Scenario kScenarios[] = {
    {"TitleHeadersListFootersSummary",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A", "B", "C"}));
         TfrPage& p = f.AddPage();
         f.AddBand(p, btReportTitle, "Title", 0, 30);
         f.AddMemo(p, "T", 10, 0, 100, 20, "Title");
         f.AddBand(p, btPageHeader, "PageHeader", 40, 20);
         f.AddMemo(p, "PH", 10, 40, 100, 20, "Head");
         f.AddBand(p, btMasterHeader, "MasterHeader", 70, 20);
         f.AddMemo(p, "MH", 10, 70, 100, 20, "Names");
         f.AddBand(p, btMasterData, "Data", 100, 20, "Cust");
         f.AddMemo(p, "N", 10, 100, 100, 20, "[Cust.Name] [LINE#]");
         f.AddBand(p, btMasterFooter, "MasterFooter", 130, 20);
         f.AddMemo(p, "MF", 10, 130, 100, 20, "End");
         f.AddBand(p, btReportSummary, "Summary", 160, 25);
         f.AddMemo(p, "S", 10, 160, 100, 20, "Sum [CURRENT#]");
         f.AddBand(p, btPageFooter, "PageFooter", 300, 20);
         f.AddMemo(p, "PF", 10, 300, 100, 20, "Foot [PAGE#]");
     },
     {{"T@10,0:Title", "PH@10,30:Head", "MH@10,50:Names", "N@10,70:A 1", "N@10,90:B 2",
       "N@10,110:C 3", "MF@10,130:End", "S@10,150:Sum 4", "PF@10,341:Foot 1"}}},

    {"PageHeaderAndFooterKeepTheirFirstAndLastPageFlags",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A", "B", "C", "D", "E"}));
         TfrPage& p = f.AddPage();
         f.AddBand(p, btPageHeader, "PageHeader", 0, 20).Flags = flBandOnLastPage;
         f.AddMemo(p, "PH", 0, 0, 100, 20, "Head [PAGE#]");
         f.AddBand(p, btMasterData, "Data", 40, 100, "Cust");
         f.AddMemo(p, "N", 0, 40, 100, 20, "[Cust.Name]");
         f.AddBand(p, btPageFooter, "PageFooter", 300, 20).Flags = flBandOnFirstPage;
         f.AddMemo(p, "PF", 0, 300, 100, 20, "Foot [PAGE#]");
     },
     {{"N@0,0:A", "N@0,100:B", "N@0,200:C", "PF@0,341:Foot 1"},
      {"PH@0,0:Head 2", "N@0,20:D", "N@0,120:E"}}},

    {"MasterDetailSubDetailSkipRecordsWithoutDetails",
     [](BuildFixture& f) {
         auto& m = f.AddRows("M", Names({"m1", "m2", "m3"}));
         auto& d = f.AddDetailRows("D", m, {Names({"d1", "d2"}), {}, Names({"d3"})});
         f.AddDetailRows("S", d, {Names({"s1"}), {}});
         TfrPage& p = f.AddPage();
         f.AddBand(p, btMasterHeader, "MasterHeader", 0, 20);
         f.AddMemo(p, "MH", 0, 0, 100, 20, "Masters");
         f.AddBand(p, btMasterData, "Master", 30, 20, "M");
         f.AddMemo(p, "MN", 0, 30, 100, 20, "[M.Name] [CURRENT#]");
         f.AddBand(p, btDetailData, "Detail", 60, 20, "D");
         f.AddMemo(p, "DN", 20, 60, 100, 20, "[D.Name]");
         f.AddBand(p, btSubDetailData, "SubDetail", 90, 20, "S");
         f.AddMemo(p, "SN", 40, 90, 100, 20, "[S.Name]");
         f.AddBand(p, btMasterFooter, "MasterFooter", 120, 20);
         f.AddMemo(p, "MF", 0, 120, 100, 20, "Done [CURRENT#]");
     },
     {{"MH@0,0:Masters", "MN@0,20:m1 1", "DN@20,40:d1", "SN@40,60:s1", "MN@0,80:m3 4",
       "DN@20,100:d3", "SN@40,120:s1", "MF@0,140:Done 7"}}},

    {"GroupFootersShowTheLastRecordOfTheirGroup",
     [](BuildFixture& f) {
         f.AddRows("G", {BuildFixture::R2("Cat", "A", "Name", "a1"),
                         BuildFixture::R2("Cat", "A", "Name", "a2"),
                         BuildFixture::R2("Cat", "B", "Name", "b1")});
         TfrPage& p = f.AddPage();
         f.AddBand(p, btGroupHeader, "Group", 0, 20, "[G.Cat]");
         f.AddMemo(p, "GH", 0, 0, 100, 20, "Cat [G.Cat]");
         f.AddBand(p, btMasterData, "Data", 30, 20, "G");
         f.AddMemo(p, "N", 20, 30, 100, 20, "[G.Name] [LINE#]");
         f.AddBand(p, btGroupFooter, "GroupFooter", 60, 20);
         f.AddMemo(p, "GF", 0, 60, 100, 20, "End [G.Cat] [G.Name]");
         f.AddBand(p, btMasterFooter, "MasterFooter", 90, 20);
         f.AddMemo(p, "MF", 0, 90, 100, 20, "Total");
     },
     {{"GH@0,0:Cat A", "N@20,20:a1 1", "N@20,40:a2 2", "GF@0,60:End A a2", "GH@0,80:Cat B",
       "N@20,100:b1 1", "GF@0,120:End B b1", "MF@0,140:Total"}}},

    {"NestedGroupsCloseInnermostFirst",
     [](BuildFixture& f) {
         f.AddRows("G", {BuildFixture::R2("Cat", "A", "Sub", "x"),
                         BuildFixture::R2("Cat", "A", "Sub", "y"),
                         BuildFixture::R2("Cat", "B", "Sub", "y")});
         TfrPage& p = f.AddPage();
         f.AddBand(p, btGroupHeader, "Outer", 0, 10, "[G.Cat]");
         f.AddMemo(p, "OH", 0, 0, 100, 10, "[G.Cat]");
         f.AddBand(p, btGroupHeader, "Inner", 20, 10, "[G.Sub]");
         f.AddMemo(p, "IH", 10, 20, 100, 10, "[G.Sub]");
         f.AddBand(p, btMasterData, "Data", 40, 10, "G");
         f.AddBand(p, btGroupFooter, "InnerFooter", 60, 10);
         f.AddMemo(p, "IF", 10, 60, 100, 10, "/[G.Sub]");
         f.AddBand(p, btGroupFooter, "OuterFooter", 80, 10);
         f.AddMemo(p, "OF", 0, 80, 100, 10, "/[G.Cat]");
     },
     {{"OH@0,0:A", "IH@10,10:x", "IF@10,30:/x", "IH@10,40:y", "IF@10,60:/y", "OF@0,70:/A",
       "OH@0,80:B", "IH@10,90:y", "IF@10,110:/y", "OF@0,120:/B"}}},

    {"TotalsRestartPerGroupAndRunOverTheList",
     [](BuildFixture& f) {
         f.AddRows("G", {BuildFixture::R2("Cat", "A", "Qty", "2"),
                         BuildFixture::R2("Cat", "A", "Qty", "3"),
                         BuildFixture::R2("Cat", "B", "Qty", "5")});
         TfrPage& p = f.AddPage();
         f.AddBand(p, btGroupHeader, "Group", 0, 20, "[G.Cat]");
         f.AddBand(p, btMasterData, "Data", 30, 20, "G");
         f.AddBand(p, btGroupFooter, "GroupFooter", 60, 20);
         f.AddMemo(p, "GF", 0, 60, 100, 20, "[G.Cat] [SUM([G.Qty])] [COUNT(Data)]");
         f.AddBand(p, btMasterFooter, "MasterFooter", 90, 20);
         f.AddMemo(p, "MF", 0, 90, 100, 20, "[SUM([G.Qty])] [MAX([G.Qty])]");
     },
     {{"GF@0,60:A 5 2", "GF@0,120:B 5 1", "MF@0,140:10 5"}}},

    {"BandColumnsFillARowThenTheNext",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"1", "2", "3", "4", "5"}));
         TfrPage& p = f.AddPage();
         TfrBandView& data = f.AddBand(p, btMasterData, "Data", 0, 30, "Cust");
         data.Columns = 3;
         data.ColumnWidth = 50;
         data.ColumnGap = 10;
         data.NewColumnAfter = 1;
         f.AddMemo(p, "N", 5, 0, 40, 20, "[Cust.Name]");
         f.AddBand(p, btMasterFooter, "MasterFooter", 40, 20);
         f.AddMemo(p, "MF", 0, 40, 100, 20, "Below");
     },
     {{"N@5,0:1", "N@65,0:2", "N@125,0:3", "N@5,30:4", "N@65,30:5", "MF@0,60:Below"}}},

    {"BandColumnsOtherThanAfterOneRecordPrintInOneColumn",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"1", "2"}));
         TfrPage& p = f.AddPage();
         TfrBandView& data = f.AddBand(p, btMasterData, "Data", 0, 30, "Cust");
         data.Columns = 3;
         data.NewColumnAfter = 2;
         f.AddMemo(p, "N", 5, 0, 40, 20, "[Cust.Name]");
     },
     {{"N@5,0:1", "N@5,30:2"}}},

    {"PageColumnsFlowDownThenAcrossThenOntoTheNextSheet",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"1", "2", "3", "4", "5", "6", "7"}));
         TfrPage& p = f.AddPage();
         p.Columns = 2;
         p.ColumnGap = 20;
         f.AddBand(p, btColumnHeader, "ColumnHeader", 0, 20);
         f.AddMemo(p, "CH", 0, 0, 100, 20, "Col");
         f.AddBand(p, btMasterData, "Data", 30, 100, "Cust");
         f.AddMemo(p, "N", 0, 30, 100, 20, "[Cust.Name]");
         f.AddBand(p, btColumnFooter, "ColumnFooter", 200, 20);
         f.AddMemo(p, "CF", 0, 200, 100, 20, "CF");
     },
     {{"CH@0,0:Col", "N@0,20:1", "N@0,120:2", "N@0,220:3", "CF@0,320:CF", "CH@190,0:Col",
       "N@190,20:4", "N@190,120:5", "N@190,220:6", "CF@190,320:CF"},
      {"CH@0,0:Col", "N@0,20:7", "CF@0,120:CF"}}},

    {"FormNewPageOnAGroupStartsEachGroupOnASheet",
     [](BuildFixture& f) {
         f.AddRows("G", {BuildFixture::R2("Cat", "A", "Name", "a1"),
                         BuildFixture::R2("Cat", "A", "Name", "a2"),
                         BuildFixture::R2("Cat", "B", "Name", "b1")});
         TfrPage& p = f.AddPage();
         f.AddBand(p, btGroupHeader, "Group", 0, 20, "[G.Cat]", flBandNewPageAfter);
         f.AddMemo(p, "GH", 0, 0, 100, 20, "[G.Cat]");
         f.AddBand(p, btMasterData, "Data", 30, 20, "G");
         f.AddMemo(p, "N", 0, 30, 100, 20, "[G.Name]");
         f.AddBand(p, btGroupFooter, "GroupFooter", 60, 20);
         f.AddMemo(p, "GF", 0, 60, 100, 20, "/[G.Cat]");
         f.AddBand(p, btPageHeader, "PageHeader", 100, 20).Flags = 0;
         f.AddMemo(p, "PH", 0, 100, 100, 20, "Page [PAGE#]");
     },
     {{"GH@0,0:A", "N@0,20:a1", "N@0,40:a2", "GF@0,60:/A"},
      {"PH@0,0:Page 2", "GH@0,20:B", "N@0,40:b1", "GF@0,60:/B"}}},

    {"TwoNewPageCallsGiveTwoSheetsBeforeTheBand",
     [](BuildFixture& f) {
         TfrPage& p = f.AddPage();
         TfrBandView& title = f.AddBand(p, btReportTitle, "Title", 0, 20);
         title.BeforePrintScript.SetText("begin NewPage; NewPage end");
         f.AddMemo(p, "T", 0, 0, 100, 20, "Title [PAGE#]");
     },
     {{}, {}, {"T@0,0:Title 3"}}},

    {"NewColumnFromAScriptMovesToTheNextPageColumn",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"1", "2"}));
         TfrPage& p = f.AddPage();
         p.Columns = 2;
         p.ColumnGap = 20;
         f.AddBand(p, btMasterData, "Data", 0, 20, "Cust");
         f.AddMemo(p, "N", 0, 0, 100, 20, "[Cust.Name]");
         TfrBandView& summary = f.AddBand(p, btReportSummary, "Summary", 40, 20);
         summary.BeforePrintScript.SetText("begin NewColumn end");
         f.AddMemo(p, "S", 0, 40, 100, 20, "Sum");
     },
     {{"N@0,0:1", "N@0,20:2", "S@190,0:Sum"}}},

    {"TwoPassBuildKnowsTheTotalPages",
     [](BuildFixture& f) {
         f.report.DoublePass = true;
         f.AddRows("Cust", Names({"A", "B", "C", "D"}));
         TfrPage& p = f.AddPage();
         f.AddBand(p, btMasterData, "Data", 0, 100, "Cust");
         f.AddMemo(p, "N", 0, 0, 100, 20, "[Cust.Name]");
         f.AddBand(p, btPageFooter, "PageFooter", 300, 20);
         f.AddMemo(p, "PF", 0, 300, 100, 20, "[PAGE#]/[TOTALPAGES]");
     },
     {{"N@0,0:A", "N@0,100:B", "N@0,200:C", "PF@0,341:1/2"}, {"N@0,0:D", "PF@0,341:2/2"}}},

    {"OnePassBuildHasNoTotalPages",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A", "B", "C", "D"}));
         TfrPage& p = f.AddPage();
         f.AddBand(p, btMasterData, "Data", 0, 100, "Cust");
         f.AddMemo(p, "N", 0, 0, 100, 20, "[Cust.Name]");
         f.AddBand(p, btPageFooter, "PageFooter", 300, 20);
         f.AddMemo(p, "PF", 0, 300, 100, 20, "[PAGE#]/[TOTALPAGES]");
     },
     {{"N@0,0:A", "N@0,100:B", "N@0,200:C", "PF@0,341:1/0"}, {"N@0,0:D", "PF@0,341:2/0"}}},

    {"StretchedBandGrowsWithItsText",
     [](BuildFixture& f) {
         f.AddRows("Cust", {BuildFixture::R("Text", "a\rb\rc"), BuildFixture::R("Text", "d")});
         TfrPage& p = f.AddPage();
         f.AddBand(p, btMasterData, "Data", 0, 20, "Cust", flStretched);
         f.AddMemo(p, "N", 0, 0, 100, 20, "[Cust.Text]").Flags = flStretched;
         f.AddMemo(p, "Side", 200, 0, 100, 10, "side");
         f.AddBand(p, btMasterFooter, "MasterFooter", 40, 20);
         f.AddMemo(p, "MF", 0, 40, 100, 20, "End");
     },
     {{"N@0,0:a|b|c", "Side@200,0:side", "N@0,47:d", "Side@200,47:side", "MF@0,67:End"}}},

    {"EmptyDataPrintsNothingWithoutPrintIfEmpty",
     [](BuildFixture& f) {
         f.report.PrintIfEmpty = false;
         f.AddRows("Cust", {});
         TfrPage& p = f.AddPage();
         f.AddBand(p, btReportTitle, "Title", 0, 20);
         f.AddMemo(p, "T", 0, 0, 100, 20, "Title");
         f.AddBand(p, btMasterData, "Data", 30, 20, "Cust");
     },
     {}},

    {"EmptyDataStillPrintsTitleAndSummaryWithPrintIfEmpty",
     [](BuildFixture& f) {
         f.AddRows("Cust", {});
         TfrPage& p = f.AddPage();
         f.AddBand(p, btReportTitle, "Title", 0, 20);
         f.AddMemo(p, "T", 0, 0, 100, 20, "Title");
         f.AddBand(p, btMasterHeader, "MasterHeader", 30, 20);
         f.AddMemo(p, "MH", 0, 30, 100, 20, "Names");
         f.AddBand(p, btMasterData, "Data", 60, 20, "Cust");
         f.AddMemo(p, "N", 0, 60, 100, 20, "[Cust.Name]");
         f.AddBand(p, btReportSummary, "Summary", 90, 20);
         f.AddMemo(p, "S", 0, 90, 100, 20, "Sum");
     },
     {{"T@0,0:Title", "S@0,20:Sum"}}},

    {"PrintToPrevPageContinuesBelowTheLastBand",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A", "B"}));
         TfrPage& first = f.AddPage();
         f.AddBand(first, btMasterData, "Data", 0, 20, "Cust");
         f.AddMemo(first, "N", 0, 0, 100, 20, "[Cust.Name]");
         TfrPage& second = f.AddPage();
         second.PrintToPrevPage = true;
         f.AddBand(second, btReportTitle, "Title2", 0, 30);
         f.AddMemo(second, "T2", 0, 0, 100, 20, "Second [PAGE#]");
     },
     {{"N@0,0:A", "N@0,20:B", "T2@0,40:Second 1"}}},

    {"OverlayOnEverySheetObjectsOutsideBandsOnTheFirst",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A", "B", "C", "D"}));
         TfrPage& p = f.AddPage();
         f.AddMemo(p, "Loose", 250, 330, 100, 20, "Mark [PAGE#]");
         f.AddBand(p, btOverlay, "Overlay", 0, 20);
         f.AddMemo(p, "O", 300, 5, 50, 10, "Draft");
         f.AddBand(p, btMasterData, "Data", 40, 100, "Cust");
         f.AddMemo(p, "N", 0, 40, 100, 20, "[Cust.Name]");
     },
     {{"O@300,5:Draft", "Loose@250,330:Mark 1", "N@0,0:A", "N@0,100:B", "N@0,200:C"},
      {"O@300,5:Draft", "N@0,0:D"}}},

    {"BandTallerThanTheSheetSplitsWhereItComes",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A", "B", "C"}));
         TfrPage& p = f.AddPage();
         f.AddBand(p, btMasterData, "Data", 0, 500, "Cust");
         f.AddMemo(p, "N", 0, 0, 100, 20, "[Cust.Name]");
         f.AddBand(p, btMasterFooter, "MasterFooter", 510, 20);
         f.AddMemo(p, "MF", 0, 510, 100, 20, "End");
     },
     {{"N@0,0:A", "N@0,20:B", "N@0,40:C", "MF@0,60:End"}}},

    {"RepeatedHeaderThatLeavesNoRoomDoesNotStartSheetAfterSheet",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A", "B"}));
         TfrPage& p = f.AddPage();
         f.AddBand(p, btMasterHeader, "MasterHeader", 0, 300, "", flBandRepeatHeader);
         f.AddMemo(p, "MH", 0, 0, 100, 20, "Head [PAGE#]");
         f.AddBand(p, btMasterData, "Data", 310, 100, "Cust");
         f.AddMemo(p, "N", 0, 310, 100, 20, "[Cust.Name]");
     },
     {{"MH@0,0:Head 1"}, {"MH@0,0:Head 2", "N@0,300:A"}, {"MH@0,0:Head 3", "N@0,300:B"}}},

    {"PageHeaderAskingForANewPageIsNotAskedAgain",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A"}));
         TfrPage& p = f.AddPage();
         TfrBandView& header = f.AddBand(p, btPageHeader, "PageHeader", 0, 20);
         header.BeforePrintScript.SetText("begin NewPage end");
         f.AddMemo(p, "PH", 0, 0, 100, 20, "Head [PAGE#]");
         f.AddBand(p, btMasterData, "Data", 30, 20, "Cust");
         f.AddMemo(p, "N", 0, 30, 100, 20, "[Cust.Name]");
     },
     {{}, {"PH@0,0:Head 2", "N@0,20:A"}}},

    {"ChildBandFollowsItsParentAndAChildLoopEnds",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A"}));
         TfrPage& p = f.AddPage();
         f.AddBand(p, btMasterData, "Data", 0, 20, "Cust").ChildBand = "Child";
         f.AddMemo(p, "N", 0, 0, 100, 20, "[Cust.Name]");
         f.AddBand(p, btChild, "Child", 30, 10).ChildBand = "Child";
         f.AddMemo(p, "C", 0, 30, 100, 10, "child");
     },
     {{"N@0,0:A", "C@0,20:child"}}},
};

class ReportBuildScenario : public BuildFixture, public ::testing::WithParamInterface<Scenario> {};

TEST_P(ReportBuildScenario, BuildsTheExpectedSheets) {
    const Scenario& s = GetParam();
    s.make(*this);
    const bool built = report.BuildPreparedReport();
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_TRUE(built);
    EXPECT_EQ(Pages(), s.expected);
}

INSTANTIATE_TEST_SUITE_P(Templates, ReportBuildScenario, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& p) {
                             return std::string(p.param.name);
                         });

} // namespace

namespace {

// A list of `count` records, one 100-unit band each: three to a sheet.
void MakeList(BuildFixture& f, int count) {
    std::vector<Record> rows;
    for (int i = 1; i <= count; ++i) rows.push_back(BuildFixture::R("Name", std::to_string(i)));
    f.AddRows("Cust", rows);
    TfrPage& p = f.AddPage();
    f.AddBand(p, btMasterData, "Data", 0, 100, "Cust");
    f.AddMemo(p, "N", 0, 0, 100, 20, "[Cust.Name] [LINE#] [CURRENT#]");
    f.AddBand(p, btPageFooter, "PageFooter", 300, 20);
    f.AddMemo(p, "PF", 0, 300, 100, 20, "[PAGE#]");
}

std::string BandName(TfrBand* band) {
    return band ? band->Name : std::string("?");
}

using ReportBuild = BuildFixture;

// A fixture of its own for each case of a table.
struct Fresh : BuildFixture {
    void TestBody() override {}
};

TEST_F(ReportBuild, EventsComeInTheOrderOfTheSheetsAndBands) {
    AddRows("Cust", Names({"A", "B", "C", "D"}));
    TfrPage& p = AddPage();
    AddBand(p, btReportTitle, "Title", 0, 20);
    AddBand(p, btPageHeader, "PageHeader", 30, 20);
    AddBand(p, btMasterHeader, "MasterHeader", 60, 20, "", flBandRepeatHeader);
    AddBand(p, btMasterData, "Data", 90, 100, "Cust");
    AddMemo(p, "N", 0, 90, 100, 20, "[Cust.Name]");
    AddBand(p, btMasterFooter, "MasterFooter", 200, 20);
    AddBand(p, btReportSummary, "Summary", 230, 20);
    AddBand(p, btPageFooter, "PageFooter", 300, 20);
    AddBand(p, btOverlay, "Overlay", 330, 10);

    std::vector<std::string> trace;
    report.OnBeginDoc = [&] { trace.push_back("BeginDoc"); };
    report.OnEndDoc = [&] { trace.push_back("EndDoc"); };
    report.OnBeginPage = [&](int n) { trace.push_back("BeginPage " + std::to_string(n)); };
    report.OnEndPage = [&](int n) { trace.push_back("EndPage " + std::to_string(n)); };
    report.OnBeginBand = [&](TfrBand* b) { trace.push_back("<" + BandName(b)); };
    report.OnEndBand = [&](TfrBand* b) { trace.push_back(BandName(b) + ">"); };
    report.OnBeforePrint = [&](rtl::TStringList&, TfrView& v) {
        trace.push_back("print " + v.Name);
    };
    ASSERT_TRUE(report.BuildPreparedReport());

    // Title 20 + header 20 + master header 20 leave 281 - 60 for two records
    // on the first sheet (the page footer takes 20 of 361).
    // Bands without a band object (the column header and footer, the band of
    // loose objects) still raise their events.
    const std::vector<std::string> expected = {
        "BeginDoc", "BeginPage 0", "<Overlay", "Overlay>", "<", ">", "<Title", "Title>",
        "<PageHeader", "PageHeader>", "<", ">", "<MasterHeader", "MasterHeader>", "<Data",
        "print N", "Data>", "<Data", "print N", "Data>",
        // The third record does not fit: column footer, the finished sheet's
        // end and footer, the next sheet's start, overlay, headers, the
        // repeated master header, then the record.
        "<Data", "<", ">", "EndPage 0", "<PageFooter", "PageFooter>", "BeginPage 1", "<Overlay",
        "Overlay>", "<PageHeader", "PageHeader>", "<", ">", "<MasterHeader", "MasterHeader>",
        "print N", "Data>", "<Data", "print N", "Data>", "<MasterFooter", "MasterFooter>", "<", ">",
        "<Summary", "Summary>",
        // The last sheet ends once (never for a sheet after it).
        "EndPage 1", "<PageFooter", "PageFooter>", "EndDoc"};
    std::string joined;
    for (const std::string& t : trace) joined += "\"" + t + "\", ";
    EXPECT_EQ(trace, expected) << joined;
}

// STOPREPORT keeps the sheets built so far, in one pass and in two; the
// operator's Cancel (the progress window's button) keeps none; a build error
// keeps none and shows one message.
TEST_F(ReportBuild, StopReportKeepsTheSheetsCancelAndErrorsKeepNone) {
    struct Case {
        const char* name;
        bool twoPass;
        std::function<void(BuildFixture&)> arm;
        bool built;
        int sheets;
        size_t messages;
    };
    const Case cases[] = {
        {"STOPREPORT", false,
         [](BuildFixture& f) {
             f.report.OnBeginBand = [&f](TfrBand* b) {
                 if (b->Name == "Data" && b->LineNo == 5) f.report.StopReport();
             };
         },
         true, 2, 0},
        {"STOPREPORT two passes", true,
         [](BuildFixture& f) {
             f.report.OnBeginBand = [&f](TfrBand* b) {
                 if (b->Name == "Data" && b->LineNo == 5) f.report.StopReport();
             };
         },
         true, 2, 0},
        {"Cancel", false,
         [](BuildFixture& f) {
             f.report.OnProgress = [&f](int n) {
                 if (n == 2) f.report.CancelRequested = true;
             };
         },
         false, 0, 0},
        {"Cancel in the first of two passes", true,
         [](BuildFixture& f) {
             f.report.OnProgress = [&f](int n) {
                 if (n == 2) f.report.CancelRequested = true;
             };
         },
         false, 0, 0},
        {"error", false,
         [](BuildFixture& f) {
             f.report.Pages->Items(0).ObjectAt(1)->Memo.SetText("[Cust.Name] [BAD]");
         },
         false, 0, 1},
    };
    std::vector<std::string> shown;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh f;
        f.SetUp();
        MakeList(f, 9);
        f.report.DoublePass = c.twoPass;
        c.arm(f);
        EXPECT_EQ(f.report.BuildPreparedReport(), c.built);
        EXPECT_EQ(f.report.PreparedPages->Count(), c.sheets);
        EXPECT_EQ(f.errors.size(), c.messages);
        shown.insert(shown.end(), f.errors.begin(), f.errors.end());
        f.TearDown();
    }
    ASSERT_EQ(shown.size(), 1u);
    // The message names the report component and the object, then the reason.
    EXPECT_NE(shown[0].find("计算时发生错误\r[Cust.Name] [BAD]\r\r报表: frReport1\r对象: N\r\r"),
              std::string::npos)
        << shown[0];
    EXPECT_NE(shown[0].find("no value for BAD"), std::string::npos);
}

TEST_F(ReportBuild, EveryBuildStartsItsCountersAndPositionsAfresh) {
    MakeList(*this, 4);
    bool stopOnce = true;
    report.OnBeginBand = [this, &stopOnce](TfrBand* b) {
        if (b->Name == "Data" && b->LineNo == 2 && stopOnce) {
            stopOnce = false;
            report.StopReport();
        }
    };
    ASSERT_TRUE(report.BuildPreparedReport()); // stopped after the first record
    const Sheets whole = {{"N@0,0:1 1 1", "N@0,100:2 2 2", "N@0,200:3 3 3", "PF@0,341:1"},
                          {"N@0,0:4 4 4", "PF@0,341:2"}};
    EXPECT_NE(Pages(), whole);
    ASSERT_TRUE(report.BuildPreparedReport());
    EXPECT_EQ(Pages(), whole);
    ASSERT_TRUE(report.BuildPreparedReport());
    EXPECT_EQ(Pages(), whole);
    report.DoublePass = true;
    ASSERT_TRUE(report.BuildPreparedReport());
    EXPECT_EQ(Pages(), whole);
}

TEST_F(ReportBuild, TheTemplateComesBackAfterEveryBuildAlsoWhenAHandlerThrows) {
    MakeList(*this, 4);
    // The page is looked up every time: the reload after a build makes it anew.
    const auto shape = [this] {
        const TfrPage& page = report.Pages->Items(0);
        std::vector<std::string> objects;
        for (int i = 0; i < page.ObjectCount(); ++i) {
            const TfrView* v = page.ObjectAt(i);
            objects.push_back(v->Name + std::to_string(v->Top) + (v->PreparedMode ? "p" : "") +
                              (v->OwnerBand ? "b" : ""));
        }
        return objects;
    };
    const auto before = shape();
    ASSERT_TRUE(report.BuildPreparedReport());
    EXPECT_EQ(shape(), before);

    // An event handler's exception reaches the caller; no pages, the same template.
    report.OnEndBand = [](TfrBand*) { throw std::runtime_error("handler"); };
    EXPECT_THROW(report.BuildPreparedReport(), std::runtime_error);
    EXPECT_EQ(report.PreparedPages->Count(), 0);
    EXPECT_EQ(shape(), before);
    EXPECT_FALSE(report.FinalPass);
}

TEST_F(ReportBuild, ACancelledDialogPageLeavesNoPages) {
    MakeList(*this, 2);
    const int dialog = report.Pages->Add();
    report.Pages->Items(dialog).PageType = ptDialog;
    AddMemo(report.Pages->Items(dialog), "Ask", 0, 0, 50, 20, "?");
    int shown = 0;
    int answer = mrCancel;
    frGuiHooks().ShowDialogPage = [&](TfrPage&) {
        ++shown;
        return answer;
    };
    EXPECT_FALSE(report.BuildPreparedReport());
    EXPECT_EQ(report.PreparedPages->Count(), 0);
    answer = mrOk;
    report.DoublePass = true; // asked once, before the first pass
    EXPECT_TRUE(report.BuildPreparedReport());
    EXPECT_EQ(report.PreparedPages->Count(), 1);
    EXPECT_EQ(shown, 2);
    frGuiHooks().ShowDialogPage = nullptr;
}

TEST_F(ReportBuild, MoreWaitingHeadersThanTheOldFixedTableHeld) {
    AddRows("G", {R("Name", "x")});
    TfrPage& p = AddPage();
    constexpr int kHeaders = 105;
    for (int i = 0; i < kHeaders; ++i)
        AddBand(p, btGroupHeader, "G" + std::to_string(i), i * 3, 3, "[G.Name]");
    AddBand(p, btMasterData, "Data", kHeaders * 3 + 1, 3, "G");
    AddMemo(p, "N", 0, kHeaders * 3 + 1, 50, 3, "[G.Name]");
    ASSERT_TRUE(report.BuildPreparedReport());
    const Sheets sheets = Pages();
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0], std::vector<std::string>{"N@0," + std::to_string(kHeaders * 3) + ":x"});
}

} // namespace
