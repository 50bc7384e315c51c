// Bands split across sheets, sub-reports and cross-tab cells: templates and
// rows in, built pages out as "object@Left,Top:text" per sheet (see
// build_fixture.h). Pages are 360 by 360 report units unless a case says
// otherwise.

#include "build_fixture.h"

#include "report/engine/report_build.h"
#include "report/model/sub_report_view.h"

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

// "L01\rL02\r...": `count` numbered lines.
std::string Lines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += (i > 1 ? "\r" : "") + std::string(i < 10 ? "L0" : "L") + std::to_string(i);
    return text;
}

TfrSubReportView& AddSubReport(TfrPage& page, const std::string& name, int left, int top,
                               int subPage) {
    auto& sub = static_cast<TfrSubReportView&>(page.AddObject(CreateObject(gtSubReport, "")));
    sub.Name = name;
    sub.SetBounds(left, top, 100, 20);
    sub.SubPage = subPage;
    return sub;
}

// A row band "Row" over `rows` records with one cell in a cross-tab data
// strip at `left`, `width` wide, over `columns` records; a cross-tab header
// strip with repeat-header in front of it.
void MakeCrossTab(BuildFixture& f, int rows, int columns, int left, int width) {
    std::vector<Record> r, c;
    for (int i = 1; i <= rows; ++i) r.push_back(BuildFixture::R("Name", "r" + std::to_string(i)));
    for (int i = 1; i <= columns; ++i)
        c.push_back(BuildFixture::R("Name", "c" + std::to_string(i)));
    f.AddRows("Rows", r);
    f.AddRows("Cols", c);
    TfrPage& p = f.AddPage();
    f.AddBand(p, btPageHeader, "PageHeader", 0, 20);
    f.AddMemo(p, "PH", 0, 0, 40, 20, "P[PAGE#]");
    f.AddBand(p, btMasterData, "Row", 30, 20, "Rows");
    TfrBandView& header = f.AddBand(p, btCrossHeader, "CrossHead", 0, 0, "", flBandRepeatHeader);
    header.SetBounds(0, 0, 40, 360);
    TfrBandView& data = f.AddBand(p, btCrossData, "CrossData", 0, 0, "Cols");
    data.SetBounds(left, 0, width, 360);
    f.AddMemo(p, "RN", 0, 30, 40, 20, "[Rows.Name]");
    f.AddMemo(p, "Cell", left, 30, width, 20, "[Rows.Name][Cols.Name]");
}

const Scenario kScenarios[] = {
    // 60 lines of about 15 units: the memo runs over three sheets below the
    // page header, its lines in order; the memo beside it prints on the
    // first, the footer follows the last line.
    {"MemoSplitOverThreeSheetsKeepsItsTextInOrder",
     [](BuildFixture& f) {
         f.AddRows("Cust", {BuildFixture::R("Text", Lines(60))});
         TfrPage& p = f.AddPage(360, 360);
         f.AddBand(p, btPageHeader, "PageHeader", 0, 20);
         f.AddMemo(p, "PH", 0, 0, 100, 20, "Page [PAGE#]");
         f.AddBand(p, btMasterData, "Data", 30, 30, "Cust", flStretched | flBandBreaked);
         f.AddMemo(p, "N", 0, 30, 100, 20, "[Cust.Text]").Flags = flStretched;
         f.AddMemo(p, "Side", 200, 30, 100, 20, "side");
         f.AddBand(p, btMasterFooter, "Footer", 70, 20);
         f.AddMemo(p, "F", 0, 70, 100, 20, "end");
     },
     {{"PH@0,0:Page 1",
       "N@0,20:L01|L02|L03|L04|L05|L06|L07|L08|L09|L10|L11|L12|L13|L14|L15|L16|L17|L18|L19|L20|L21|"
       "L22",
       "Side@200,20:side"},
      {"PH@0,0:Page 2", "N@0,20:L23|L24|L25|L26|L27|L28|L29|L30|L31|L32|L33|L34|L35|L36|L37|L38|"
                        "L39|L40|L41|L42|L43|L44"},
      {"PH@0,0:Page 3", "N@0,20:L45|L46|L47|L48|L49|L50|L51|L52|L53|L54|L55|L56|L57|L58|L59|L60",
       "F@0,263:end"}}},

    // Sheets of 360 with a 110-unit page header leave 250: a 300-unit band
    // that comes to the top of a sheet splits even without may-split; the
    // picture that does not fit moves whole to the next sheet, the memo
    // across the sheet's end continues there with its remaining lines and
    // the picture below it moves down by the room left under its last line.
    {"BandTallerThanTheRoomSplitsWithoutItsFlagAndMovesWholeObjects",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A"}));
         TfrPage& p = f.AddPage();
         f.AddBand(p, btPageHeader, "PageHeader", 0, 110);
         f.AddMemo(p, "PH", 0, 0, 100, 20, "Page [PAGE#]");
         f.AddBand(p, btMasterData, "Data", 120, 300, "Cust");
         f.AddMemo(p, "Top", 0, 120, 100, 20, "[Cust.Name] top");
         TfrView& low = p.AddObject(CreateObject(gtPicture, ""));
         low.Name = "Low";
         low.SetBounds(0, 350, 100, 40);
         f.AddMemo(p, "Bottom", 120, 380, 60, 20, "bottom").BandAlign = baBottom;
         f.AddMemo(p, "Text", 200, 270, 100, 120, Lines(12));
         TfrView& under = p.AddObject(CreateObject(gtPicture, ""));
         under.Name = "Under";
         under.SetBounds(200, 395, 100, 20);
     },
     {{"PH@0,0:Page 1", "Top@0,110:A top", "Text@200,260:L01|L02|L03|L04|L05|L06"},
      {"PH@0,0:Page 2", "Low@0,110:", "Bottom@120,141:bottom", "Text@200,110:L07|L08",
       "Under@200,146:"}}},

    {"SubReportWithItsOwnDetailLoopPrintsBesideTheBand",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A", "B"}));
         f.AddRows("Items", Names({"i1", "i2", "i3"}));
         TfrPage& p = f.AddPage();
         f.AddBand(p, btMasterData, "Data", 0, 30, "Cust");
         f.AddMemo(p, "N", 0, 0, 100, 20, "[Cust.Name]");
         AddSubReport(p, "Sub", 150, 5, 1);
         TfrPage& sub = f.AddPage();
         f.AddBand(sub, btMasterHeader, "ItemHead", 0, 20);
         f.AddMemo(sub, "IH", 0, 0, 100, 20, "items of [Cust.Name]");
         f.AddBand(sub, btMasterData, "Item", 30, 20, "Items");
         f.AddMemo(sub, "I", 10, 30, 100, 20, "[Items.Name] [LINE#]");
     },
     {{"N@0,0:A", "IH@150,5:items of A", "I@160,25:i1 1", "I@160,45:i2 2", "I@160,65:i3 3",
       "N@0,85:B", "IH@150,90:items of B", "I@160,110:i1 1", "I@160,130:i2 2", "I@160,150:i3 3"}}},

    {"SubReportPastTheSheetContinuesBelowThePageHeader",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A"}));
         std::vector<Record> items;
         for (int i = 1; i <= 20; ++i) items.push_back(BuildFixture::R("Name", std::to_string(i)));
         f.AddRows("Items", items);
         TfrPage& p = f.AddPage();
         f.AddBand(p, btPageHeader, "PageHeader", 0, 40);
         f.AddMemo(p, "PH", 0, 0, 100, 20, "Page [PAGE#]");
         f.AddBand(p, btMasterData, "Data", 50, 30, "Cust");
         f.AddMemo(p, "N", 0, 50, 100, 20, "[Cust.Name]");
         AddSubReport(p, "Sub", 150, 50, 1);
         f.AddBand(p, btMasterFooter, "Footer", 100, 20);
         f.AddMemo(p, "F", 0, 100, 100, 20, "end");
         TfrPage& sub = f.AddPage();
         f.AddBand(sub, btMasterData, "Item", 0, 20, "Items");
         f.AddMemo(sub, "I", 0, 0, 100, 20, "[Items.Name]");
     },
     {{"PH@0,0:Page 1", "N@0,40:A", "I@150,40:1", "I@150,60:2", "I@150,80:3", "I@150,100:4",
       "I@150,120:5", "I@150,140:6", "I@150,160:7", "I@150,180:8", "I@150,200:9", "I@150,220:10",
       "I@150,240:11", "I@150,260:12", "I@150,280:13", "I@150,300:14", "I@150,320:15",
       "I@150,340:16"},
      {"PH@0,0:Page 2", "I@150,40:17", "I@150,60:18", "I@150,80:19", "I@150,100:20",
       "F@0,120:end"}}},

    // Columns at 40, 130, 220 fit across 360; the fourth (310..400) goes on
    // the next sheet, at the row's height, after the repeated header.
    {"CrossTabOfThreeRowsAndFourColumnsSpillsOntoASecondSheet",
     [](BuildFixture& f) { MakeCrossTab(f, 3, 4, 40, 90); },
     {{"PH@0,0:P1", "RN@0,20:r1", "Cell@40,20:r1c1", "Cell@130,20:r1c2", "Cell@220,20:r1c3",
       "RN@0,40:r2", "Cell@40,40:r2c1", "Cell@130,40:r2c2", "Cell@220,40:r2c3", "RN@0,60:r3",
       "Cell@40,60:r3c1", "Cell@130,60:r3c2", "Cell@220,60:r3c3"},
      {"PH@0,0:P2", "RN@0,20:r1", "Cell@40,20:r1c4", "RN@0,40:r2", "Cell@40,40:r2c4", "RN@0,60:r3",
       "Cell@40,60:r3c4"}}},

    // Item-2 mends.
    {"SubReportBandTallerThanTheRoomBelowThePageHeaderPrintsClipped",
     [](BuildFixture& f) {
         f.AddRows("Cust", Names({"A"}));
         f.AddRows("Items", Names({"i1", "i2"}));
         TfrPage& p = f.AddPage();
         f.AddBand(p, btPageHeader, "PageHeader", 0, 200);
         f.AddMemo(p, "PH", 0, 0, 100, 20, "Page [PAGE#]");
         f.AddBand(p, btMasterData, "Data", 210, 30, "Cust");
         f.AddMemo(p, "N", 0, 210, 100, 20, "[Cust.Name]");
         AddSubReport(p, "Sub", 150, 210, 1);
         TfrPage& sub = f.AddPage();
         f.AddBand(sub, btMasterData, "Item", 0, 250, "Items");
         f.AddMemo(sub, "I", 0, 0, 100, 20, "[Items.Name]");
     },
     {{"PH@0,0:Page 1", "N@0,200:A"},
      {"PH@0,0:Page 2", "I@150,200:i1"},
      {"PH@0,0:Page 3", "I@150,200:i2"}}},

    {"CrossTabColumnWiderThanASheetPrintsClippedOneToASheet",
     [](BuildFixture& f) { MakeCrossTab(f, 1, 3, 40, 400); },
     {{"PH@0,0:P1", "RN@0,20:r1", "Cell@40,20:r1c1"},
      {"PH@0,0:P2", "RN@0,20:r1", "Cell@40,20:r1c2"},
      {"PH@0,0:P3", "RN@0,20:r1", "Cell@40,20:r1c3"}}},
};

class SplitScenario : public BuildFixture, public ::testing::WithParamInterface<Scenario> {};

TEST_P(SplitScenario, BuildsTheExpectedSheets) {
    const Scenario& s = GetParam();
    s.make(*this);
    const bool built = report.BuildPreparedReport();
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_TRUE(built);
    const Sheets sheets = Pages();
    std::string dump;
    for (const auto& sheet : sheets) {
        dump += "{";
        for (const auto& o : sheet) dump += "\"" + o + "\", ";
        dump += "},\n";
    }
    EXPECT_EQ(sheets, s.expected) << dump;
}

INSTANTIATE_TEST_SUITE_P(Templates, SplitScenario, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& p) {
                             return std::string(p.param.name);
                         });

using SplitBuild = BuildFixture;

// A band holding more sub-report objects than the old fixed table had
// entries: every one prints its page, once.
TEST_F(SplitBuild, MoreThanSixtyThreeSubReportsInABandAllPrint) {
    AddRows("Cust", Names({"A"}));
    TfrPage& p = AddPage(2000, 360);
    AddBand(p, btMasterData, "Data", 0, 30, "Cust");
    constexpr int kSubs = 70;
    for (int i = 0; i < kSubs; ++i) AddSubReport(p, "Sub" + std::to_string(i), i * 25, 0, i + 1);
    for (int i = 0; i < kSubs; ++i) {
        TfrPage& sub = AddPage();
        AddBand(sub, btMasterData, "Item" + std::to_string(i), 0, 20, "Cust");
        AddMemo(sub, "I" + std::to_string(i), 0, 0, 20, 20, std::to_string(i));
    }
    ASSERT_TRUE(report.BuildPreparedReport());
    const Sheets sheets = Pages();
    ASSERT_EQ(sheets.size(), 1u);
    ASSERT_EQ(sheets[0].size(), static_cast<size_t>(kSubs));
    for (int i = 0; i < kSubs; ++i)
        EXPECT_EQ(sheets[0][static_cast<size_t>(i)], "I" + std::to_string(i) + "@" +
                                                         std::to_string(i * 25) +
                                                         ",0:" + std::to_string(i));
}

} // namespace

namespace {

// An empty sub-report page, recorded while a page continues the previous
// one's sheet, leaves the sheet being filled where it is.
TEST_F(SplitBuild, AnEmptySubReportOnAContinuedSheetKeepsTheSheet) {
    report.PrintIfEmpty = false;
    AddRows("Cust", Names({"A"}));
    AddRows("None", {});
    TfrPage& first = AddPage();
    AddBand(first, btMasterData, "Data", 0, 20, "Cust");
    AddMemo(first, "N", 0, 0, 100, 20, "[Cust.Name]");
    TfrPage& second = AddPage();
    second.PrintToPrevPage = true;
    AddBand(second, btMasterData, "Data2", 0, 20, "Cust");
    AddMemo(second, "N2", 0, 0, 100, 20, "[Cust.Name] 2");
    AddSubReport(second, "Sub", 150, 0, 2);
    AddBand(second, btMasterFooter, "Footer", 30, 20);
    AddMemo(second, "F", 0, 30, 100, 20, "end");
    TfrPage& sub = AddPage();
    AddBand(sub, btMasterData, "Item", 0, 20, "None");
    AddMemo(sub, "I", 0, 0, 100, 20, "item");
    ASSERT_TRUE(report.BuildPreparedReport());
    EXPECT_EQ(Pages(), (Sheets{{"N@0,0:A", "N2@0,20:A 2", "F@0,40:end"}}));
}

// A cross-tab footer printed as the child of a column header asks for a new
// page; the new page's column header runs the footer's script again with
// its cells. Only the requests of the print itself are carried out (the
// header, still printing, does not print again on the new sheet).
TEST_F(SplitBuild, BreaksAskedForAgainWhileTheyAreMadeDoNotRunAway) {
    TfrPage& p = AddPage();
    AddBand(p, btColumnHeader, "ColumnHeader", 0, 20).ChildBand = "CrossFoot";
    TfrBandView& foot = AddBand(p, btCrossFooter, "CrossFoot", 0, 0);
    foot.SetBounds(200, 0, 60, 360);
    foot.BeforePrintScript.SetText("begin NewPage end");
    AddMemo(p, "CH", 0, 0, 100, 20, "head [PAGE#]");
    AddMemo(p, "Cell", 200, 0, 60, 20, "cell [PAGE#]");
    ASSERT_TRUE(report.BuildPreparedReport());
    EXPECT_EQ(Pages(), (Sheets{{"CH@0,0:head 1", "Cell@200,0:cell 1"}, {}}));
}

} // namespace
