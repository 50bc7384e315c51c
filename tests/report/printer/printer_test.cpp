#include "report/printer/printer.h"

#include "platform/print/system_printer.h"
#include "platform/print/test_cups.h"
#include "platform/text/cp936.h"
#include "report/core/resource_strings.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <limits>

using text::L;

std::vector<std::string> Lines(const rtl::TStringList& list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i) lines.push_back(list[i]);
    return lines;
}

namespace {

constexpr int kPortrait = 0;
constexpr int kLandscape = 1;

// The virtual printer alone: no system printer object at all.
struct VirtualOnly : ::testing::Test {
    TfrPrinter p;
    void SetUp() override { p.AttachPrinter(nullptr); }
};

TEST(PaperTable, RowsCarryTheWindowsCodesSizesAndStringTableNames) {
    TfrPrinter p; // loads the names
    struct Case {
        int row, code, width, height;
        const char* name;
    } cases[] = {
        {0, 1, 2159, 2794, "Letter, 8 1/2 x 11\""},
        {8, 9, 2100, 2970, "A4 210 x 297 mm"},
        {19, 20, 1048, 2413, "#10 Envelope, 4 1/8  x 9 1/2\""},
        {34, 35, 1760, 1250, "B6 Envelope,  176 x 125 mm"},
        {46, 47, 2200, 2200, "Envelope Invite 220 x 220 mm"},
        {47, 50, 2355, 3048, "Letter Extra 9/275 x 12\""},
        {65, 68, 3220, 4450, "A3 Extra Transverse 322 x 445 mm"},
        {66, 256, 0, 0, "自定义"},
    };
    for (const Case& c : cases) {
        const TPaperInfo& row = PaperTable[c.row];
        EXPECT_EQ(row.Code, c.code) << c.row;
        EXPECT_EQ(row.Width, c.width) << c.row;
        EXPECT_EQ(row.Height, c.height) << c.row;
        EXPECT_EQ(row.Name, L(c.name)) << c.row;
        EXPECT_EQ(row.Name, LoadResourceString(55008 + c.row)) << c.row;
    }
    for (const TPaperInfo& row : PaperTable) EXPECT_FALSE(row.Name.empty()) << row.Code;
}

TEST(ReportUnits, ConvertWithTheSameFactorEverywhere) {
    EXPECT_EQ(PaperToUnits(50), 18); // the virtual printer's 5 mm margin
    EXPECT_EQ(PaperToUnits(254), 92);
    EXPECT_EQ(PaperToUnits(2100), 758);
    EXPECT_EQ(PaperToUnits(2970), 1071);
    EXPECT_EQ(PixelsToUnits(300, 300), 92);
    EXPECT_EQ(PixelsToUnits(2479, 300), 757);
    EXPECT_EQ(PixelsToUnits(709, 300), 217);
    EXPECT_EQ(PixelsToUnits(11, 203), 5);
    EXPECT_EQ(PixelsToUnits(100, 0), 0); // no resolution, no division by zero
    EXPECT_EQ(PaperToUnits(1e12), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(PaperToUnits(-1e12), std::numeric_limits<int32_t>::min());
}

TEST_F(VirtualOnly, IsTheOnlyPrinterWithThePaperTableAndOneSource) {
    EXPECT_EQ(Lines(p.PrinterNames), std::vector<std::string>{L("虚拟打印机")});
    EXPECT_EQ(p.PrinterIndex, 0);
    EXPECT_EQ(p.VirtualPrinterIndex, 0);
    EXPECT_TRUE(p.IsVirtual());
    ASSERT_EQ(p.PaperCount, 67);
    ASSERT_EQ(p.PaperNames.Count(), 67);
    for (int i = 0; i < 67; ++i) {
        EXPECT_EQ(p.PaperCodes[i], PaperTable[i].Code);
        EXPECT_EQ(p.PaperNames[i], PaperTable[i].Name);
    }
    EXPECT_EQ(Lines(p.BinNames), std::vector<std::string>{L("缺省")});
    EXPECT_EQ(p.BinCount, 1);
    EXPECT_EQ(p.BinCodes[0], -1);
    EXPECT_EQ(p.PaperSize, 9); // A4 after creation
    EXPECT_EQ(p.PaperWidth, 2100);
    EXPECT_EQ(p.PaperHeight, 2970);
}

TEST_F(VirtualOnly, GeometryOfItsPapers) {
    struct Case {
        int code, orientation, width, height; // asked
        int paperWidth, paperHeight, pageWidth, pageHeight, printableWidth, printableHeight;
    } cases[] = {
        {9, kPortrait, 0, 0, 2100, 2970, 758, 1071, 722, 1035},
        {9, kLandscape, 0, 0, 2970, 2100, 1071, 758, 1035, 722},
        {1, kPortrait, 0, 0, 2159, 2794, 779, 1008, 743, 972},
        {4, kPortrait, 0, 0, 4318, 2794, 1558, 1008, 1522, 972},
        {11, kLandscape, 0, 0, 2100, 1480, 758, 534, 722, 498},
        {27, kPortrait, 0, 0, 1100, 2200, 397, 794, 361, 758},
        {66, kPortrait, 0, 0, 4200, 5940, 1515, 2143, 1479, 2107},
        // A custom size is taken as given, also in landscape.
        {256, kPortrait, 600, 400, 600, 400, 216, 144, 180, 108},
        {256, kLandscape, 600, 400, 600, 400, 216, 144, 180, 108},
        // A code the table does not know keeps the size it came with.
        {4000, kPortrait, 1000, 1500, 1000, 1500, 361, 541, 325, 505},
    };
    for (const Case& c : cases) {
        p.SetPaper(c.code, c.width, c.height, c.orientation, -1, true);
        EXPECT_EQ(p.PaperSize, c.code);
        EXPECT_EQ(p.Orientation, c.orientation);
        EXPECT_EQ(p.PaperWidth, c.paperWidth) << c.code;
        EXPECT_EQ(p.PaperHeight, c.paperHeight) << c.code;
        PrinterPageInfo info;
        info.PhysWidthPx = 11; // the virtual printer has no pixels to report
        info.PrintableHeightPx = 12;
        p.FillPageInfo(info);
        EXPECT_EQ(info.PageWidth, c.pageWidth) << c.code;
        EXPECT_EQ(info.PageHeight, c.pageHeight) << c.code;
        EXPECT_EQ(info.OffsetX, 18);
        EXPECT_EQ(info.OffsetY, 18);
        EXPECT_EQ(info.PrintableWidth, c.printableWidth) << c.code;
        EXPECT_EQ(info.PrintableHeight, c.printableHeight) << c.code;
        EXPECT_EQ(info.PhysWidthPx, 11);
        EXPECT_EQ(info.PrintableHeightPx, 12);
    }
}

TEST_F(VirtualOnly, SamePaperRules) {
    p.SetPaper(256, 600, 400, kPortrait, 3, true);
    struct Case {
        int code, width, height, orientation, bin;
        bool same;
    } cases[] = {
        {256, 601, 399, kPortrait, 7, true}, // custom: a tenth of a millimetre either way, any bin
        {256, 602, 400, kPortrait, 3, false},
        {256, 600, 400, kLandscape, 3, false},
        {9, 600, 400, kPortrait, 3, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(p.IsSamePaper(c.code, c.width, c.height, c.orientation, c.bin), c.same)
            << c.code << " " << c.width << "x" << c.height << " bin " << c.bin;

    p.SetPaper(9, 0, 0, kPortrait, 3, true);
    EXPECT_TRUE(p.IsSamePaper(9, 1, 1, kPortrait, -1)); // -1 matches any source
    EXPECT_TRUE(p.IsSamePaper(9, 1, 1, kPortrait, 3));
    EXPECT_FALSE(p.IsSamePaper(9, 0, 0, kPortrait, 4));
    EXPECT_FALSE(p.IsSamePaper(9, 0, 0, kLandscape, 3));
}

TEST_F(VirtualOnly, SetPaperSkipsTheSamePaperUnlessForced) {
    p.SetPaper(256, 600, 400, kPortrait, -1, true);
    p.SetPaper(256, 601, 401, kPortrait, -1, false);
    EXPECT_EQ(p.PaperWidth, 600);
    EXPECT_EQ(p.PaperHeight, 400);
    p.SetPaper(256, 601, 401, kPortrait, -1, true);
    EXPECT_EQ(p.PaperWidth, 601);
    EXPECT_EQ(p.PaperHeight, 401);

    p.SetPaper(9, 0, 0, kPortrait, 5, true);
    p.SetPaper(9, 0, 0, kPortrait, -1, false); // any source will do: nothing changes
    EXPECT_EQ(p.Bin, 5);
    p.SetPaper(9, 0, 0, kPortrait, 6, false);
    EXPECT_EQ(p.Bin, 6);
}

TEST_F(VirtualOnly, IndexLookups) {
    EXPECT_EQ(p.PaperIndex(9), 8);
    EXPECT_EQ(p.PaperIndex(256), 66);
    EXPECT_EQ(p.PaperIndex(48), 66); // not offered: the last entry, the custom size
    EXPECT_EQ(p.PaperIndex(-1), 66);
    EXPECT_EQ(p.BinIndex(-1), 0);
    EXPECT_EQ(p.BinIndex(7), 0); // not offered: the first entry
}

TEST_F(VirtualOnly, SelectingOutsideTheListIsAnErrorAndChangesNothing) {
    EXPECT_NO_THROW(p.SelectPrinter(0)); // already current
    EXPECT_THROW(p.SelectPrinter(1), print::EPrinter);
    EXPECT_THROW(p.SelectPrinter(-1), print::EPrinter);
    EXPECT_EQ(p.PrinterIndex, 0);
    EXPECT_EQ(p.PaperCount, 67);
}

TEST_F(VirtualOnly, HasNoDriverDialog) {
    bool called = false;
    p.OnPrinterProperties = [&](print::SystemPrinter&, print::DeviceMode&) {
        return called = true;
    };
    p.ShowPrinterProperties();
    EXPECT_FALSE(called);
}

// The whole start-up without any printer: CUPS cannot be reached. Runs in a
// child process, which meets CUPS for the first time with a dead server.
bool StartsWithoutPrinters() {
    setenv("CUPS_SERVER", "/nonexistent/velkor-cups.sock", 1);
    DoneReportPrinter();
    TfrPrinter& p = ReportPrinter();
    bool ok = PrinterReady && DefaultPaperSize == -1 && p.IsVirtual() &&
              Lines(p.PrinterNames) == std::vector<std::string>{L("虚拟打印机")} &&
              p.PaperCount == 67;
    // A new template page asks for the default paper; it keeps the table's A4.
    p.SetPaper(DefaultPaperSize, 0, 0, kPortrait, -1, false);
    PrinterPageInfo info;
    p.FillPageInfo(info);
    ok = ok && p.PaperWidth == 2100 && p.PaperHeight == 2970 && info.PageWidth == 758 &&
         info.PageHeight == 1071 && info.PrintableWidth == 722;
    p.SetPaper(9, 0, 0, kLandscape, -1, false);
    p.FillPageInfo(info);
    return ok && info.PageWidth == 1071 && info.PageHeight == 758;
}

TEST(ReportPrinterNoCups, OnlyTheVirtualPrinterAndEverythingWorks) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(StartsWithoutPrinters() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

// ---- with the tests' CUPS queues ----

class CupsPrinter : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testcups::TestPrintersReady());
        p.AttachPrinter(&system);
    }

    int IndexOf(const char* queue) const {
        for (int i = 0; i < p.PrinterNames.Count(); ++i)
            if (p.PrinterNames[i] == queue) return i;
        ADD_FAILURE() << queue << " is not listed";
        return -1;
    }

    testcups::Ppd Select(const char* queue) {
        const int index = IndexOf(queue);
        if (index >= 0) p.SelectPrinter(index);
        return testcups::ParsePpd(testcups::FetchPpd(queue));
    }

    print::SystemPrinter system;
    TfrPrinter p;
};

TEST_F(CupsPrinter, ListsTheQueuesWithTheVirtualPrinterLast) {
    IndexOf("VelkorPDF");
    IndexOf("VelkorLabel");
    EXPECT_EQ(p.PrinterNames[p.PrinterNames.Count() - 1], L("虚拟打印机"));
    EXPECT_EQ(p.VirtualPrinterIndex, p.PrinterNames.Count() - 1);
    EXPECT_EQ(p.PrinterNames[p.PrinterIndex], "VelkorPDF"); // the CUPS default
    EXPECT_FALSE(p.IsVirtual());
    EXPECT_EQ(p.DeviceName, "VelkorPDF");
    EXPECT_EQ(p.DriverName, "Generic CUPS-PDF Printer (w/ options)");
    ASSERT_TRUE(p.DeviceMode.has_value());
    EXPECT_EQ(p.PaperSize, 9);
}

TEST_F(CupsPrinter, ProcessWidePrinterStartsOnTheDefaultQueue) {
    DoneReportPrinter();
    EXPECT_FALSE(PrinterReady);
    TfrPrinter& rp = ReportPrinter();
    EXPECT_TRUE(PrinterReady);
    EXPECT_EQ(rp.PrinterNames[rp.PrinterIndex], "VelkorPDF");
    EXPECT_EQ(DefaultPaperSize, 9);
    EXPECT_EQ(rp.PrinterNames[rp.PrinterNames.Count() - 1], L("虚拟打印机"));
    DoneReportPrinter();
}

TEST_F(CupsPrinter, PaperListAndSourcesComeFromTheDriver) {
    const testcups::Ppd ppd = Select("VelkorLabel");
    const std::vector<std::string> names = {"Label 60 x 40 mm", "Label 4 x 6 in", "Envelope DL",
                                            "A6", L("自定义")};
    EXPECT_EQ(Lines(p.PaperNames), names);
    ASSERT_EQ(p.PaperCount, ppd.pageCount + 1);
    const std::vector<int16_t> codes(p.PaperCodes.begin(), p.PaperCodes.begin() + p.PaperCount);
    EXPECT_EQ(codes, (std::vector<int16_t>{256, 256, 27, 256, 256}));
    EXPECT_EQ(p.PaperCodes[p.PaperCount], 0); // the rest stays zero

    EXPECT_EQ(Lines(p.BinNames),
              (std::vector<std::string>{L("缺省"), "Label Roll", "Manual Feed", "Fanfold Stack"}));
    ASSERT_EQ(p.BinCount, 4);
    EXPECT_EQ(p.BinCodes[0], -1);
    EXPECT_EQ(p.BinCodes[1], 8);
    EXPECT_EQ(p.BinCodes[2], 4);
    EXPECT_EQ(p.BinCodes[3], 256);
    EXPECT_EQ(p.Bin, 8); // the driver's default source
    EXPECT_EQ(p.BinIndex(4), 2);
    EXPECT_EQ(p.BinIndex(5), 0);
    EXPECT_EQ(p.PaperIndex(9), 4); // not offered: the custom entry
    EXPECT_EQ(p.PaperIndex(27), 2);

    p.SetPaper(27, 0, 0, kPortrait, 4, false);
    EXPECT_EQ(p.PaperSize, 27);
    EXPECT_EQ(p.Bin, 4);
    EXPECT_EQ(system.CurrentInputSlot(), "Manual");
    p.SetPaper(27, 0, 0, kPortrait, -1, true); // the default source keeps the one chosen
    EXPECT_EQ(p.Bin, 4);
}

struct GeometryCase {
    const char* queue;
    int code, width, height, orientation;
    const char* ppdPage;                  // nullptr: a custom sheet
    double customWidthMm, customHeightMm; // for a custom sheet
    int paperSize;                        // as the driver took it
};

TEST_F(CupsPrinter, PageGeometryInReportUnitsFollowsThePrinterDescription) {
    const GeometryCase cases[] = {
        {"VelkorPDF", 9, 0, 0, kPortrait, "A4", 0, 0, 9},
        {"VelkorPDF", 1, 0, 0, kPortrait, "Letter", 0, 0, 1},
        {"VelkorPDF", 1, 0, 0, kLandscape, "Letter", 0, 0, 1},
        {"VelkorPDF", 256, 600, 400, kPortrait, nullptr, 60, 40, 256},
        {"VelkorPDF", 256, 2100, 2970, kPortrait, "A4", 0, 0, 256},
        {"VelkorLabel", 256, 600, 400, kPortrait, "w170h113", 0, 0, 256},
        {"VelkorLabel", 256, 600, 400, kLandscape, "w170h113", 0, 0, 256},
        {"VelkorLabel", 27, 0, 0, kPortrait, "EnvDL", 0, 0, 27},
        {"VelkorLabel", 256, 500, 300, kPortrait, nullptr, 50, 30, 256},
    };
    for (const GeometryCase& c : cases) {
        const testcups::Ppd ppd = Select(c.queue);
        const std::string what = std::string(c.queue) + " " + std::to_string(c.code) + " " +
                                 std::to_string(c.width) + "x" + std::to_string(c.height) +
                                 (c.orientation ? " landscape" : "");
        p.SetPaper(c.code, c.width, c.height, c.orientation, -1, true);
        ASSERT_FALSE(p.IsVirtual()) << what;
        EXPECT_EQ(p.PaperSize, c.paperSize) << what;
        EXPECT_EQ(p.Orientation, c.orientation) << what;

        const bool landscape = c.orientation == kLandscape;
        print::DeviceCaps px;
        if (c.ppdPage) {
            ASSERT_TRUE(ppd.pages.count(c.ppdPage)) << what;
            px = testcups::Expected(ppd.pages.at(c.ppdPage), ppd.dpi, landscape);
        } else {
            px = testcups::Expected(c.customWidthMm * 72 / 25.4, c.customHeightMm * 72 / 25.4,
                                    ppd.hwLeft, ppd.hwBottom, ppd.hwRight, ppd.hwTop, ppd.dpi,
                                    landscape);
        }
        const int dpi = ppd.dpi;
        EXPECT_EQ(p.PaperWidth, static_cast<int>(std::nearbyint(px.physicalWidth * 254.0 / dpi)))
            << what;
        EXPECT_EQ(p.PaperHeight, static_cast<int>(std::nearbyint(px.physicalHeight * 254.0 / dpi)))
            << what;

        PrinterPageInfo info;
        p.FillPageInfo(info);
        auto ru = [dpi](int pixels) {
            return static_cast<int>(std::nearbyint(91.6256157635468 / dpi * pixels));
        };
        const PrinterPageInfo want{
            px.physicalWidth,   px.physicalHeight,  ru(px.physicalWidth),   ru(px.physicalHeight),
            px.physicalOffsetX, px.physicalOffsetY, ru(px.physicalOffsetX), ru(px.physicalOffsetY),
            px.horzRes,         px.vertRes,         ru(px.horzRes),         ru(px.vertRes)};
        EXPECT_EQ(info, want) << what << ": page " << info.PageWidth << "x" << info.PageHeight
                              << " offset " << info.OffsetX << "," << info.OffsetY << " printable "
                              << info.PrintableWidth << "x" << info.PrintableHeight << ", expected "
                              << want.PageWidth << "x" << want.PageHeight << " offset "
                              << want.OffsetX << "," << want.OffsetY << " printable "
                              << want.PrintableWidth << "x" << want.PrintableHeight;
    }
}

TEST_F(CupsPrinter, APaperTheDriverCannotTakeLeavesTheCurrentOne) {
    Select("VelkorLabel");
    p.SetPaper(27, 0, 0, kPortrait, -1, true);
    p.SetPaper(9, 0, 0, kPortrait, -1, true); // A4 is wider than the label printer
    EXPECT_EQ(p.PaperSize, 27);
    EXPECT_EQ(p.PaperWidth, 1101);
    p.SetPaper(256, 0, 0, kPortrait, -1, true); // a custom size without a size
    EXPECT_EQ(p.PaperSize, 27);
    p.SetPaper(-1, 0, 0, kPortrait, -1, true);
    EXPECT_EQ(p.PaperSize, 27);
}

TEST_F(CupsPrinter, SwitchingBetweenRealAndVirtualPrinters) {
    Select("VelkorLabel");
    EXPECT_EQ(p.PaperCount, 5);
    p.SelectPrinter(p.VirtualPrinterIndex);
    EXPECT_TRUE(p.IsVirtual());
    EXPECT_FALSE(p.DeviceMode.has_value());
    EXPECT_EQ(p.PaperCount, 67);
    EXPECT_EQ(Lines(p.BinNames), std::vector<std::string>{L("缺省")});
    p.SetPaper(9, 0, 0, kPortrait, -1, true);
    PrinterPageInfo info;
    p.FillPageInfo(info);
    EXPECT_EQ(info.PageWidth, 758);
    p.Refresh(); // stays virtual
    EXPECT_TRUE(p.IsVirtual());

    const testcups::Ppd ppd = Select("VelkorPDF");
    EXPECT_FALSE(p.IsVirtual());
    EXPECT_EQ(p.PaperCount, ppd.pageCount + 1); // its sizes and the custom entry
    EXPECT_EQ(p.PaperNames[p.PaperIndex(9)], "A4");
    EXPECT_EQ(Lines(p.BinNames), (std::vector<std::string>{L("缺省"), "Automatic"}));
}

TEST_F(CupsPrinter, APrinterThatDisappearsFallsBackToTheVirtualPrinter) {
    const std::string queue = "VelkorGone" + std::to_string(QCoreApplication::applicationPid());
    const QString name = QString::fromStdString(queue);
    ASSERT_EQ(QProcess::execute("lpadmin", {"-p", name, "-E", "-v", "file:///dev/null", "-P",
                                            QString(TEST_DATA_DIR) + "/print/label_printer.ppd"}),
              0);
    p.AttachPrinter(&system);
    const int index = IndexOf(queue.c_str());
    p.SelectPrinter(index);
    EXPECT_FALSE(p.IsVirtual());
    EXPECT_EQ(p.DeviceName, queue);

    QProcess::execute("lpadmin", {"-x", name});
    p.SetPaper(27, 0, 0, kPortrait, -1, true);
    EXPECT_TRUE(p.IsVirtual());
    EXPECT_EQ(p.PaperCount, 67);
    EXPECT_EQ(p.PaperSize, 27);
    EXPECT_EQ(p.PaperWidth, 1100);
    PrinterPageInfo info;
    p.FillPageInfo(info);
    EXPECT_EQ(info.PageWidth, 397);

    p.AttachPrinter(&system); // the list is read afresh
    EXPECT_EQ(p.PrinterNames.IndexOf(queue), -1);
}

TEST_F(CupsPrinter, NoPaperChangeWhilePrinting) {
    testcups::EnsureGuiApp();
    Select("VelkorPDF");
    p.SetPaper(9, 0, 0, kPortrait, -1, true);
    ASSERT_TRUE(system.BeginDoc("velkor no paper change"));
    p.SetPaper(1, 0, 0, kLandscape, -1, true);
    EXPECT_EQ(p.PaperSize, 9);
    EXPECT_EQ(p.Orientation, kPortrait);
    system.EndDoc();
    p.SetPaper(1, 0, 0, kLandscape, -1, false);
    EXPECT_EQ(p.PaperSize, 1);
    EXPECT_EQ(p.Orientation, kLandscape);
}

TEST_F(CupsPrinter, DriverDialogChangesApplyOnlyWhenConfirmed) {
    Select("VelkorPDF");
    p.SetPaper(9, 0, 0, kPortrait, -1, true);
    std::string shownFor;
    bool confirm = false;
    p.OnPrinterProperties = [&](print::SystemPrinter& printer, print::DeviceMode& mode) {
        shownFor = printer.Printers()[printer.PrinterIndex()].toStdString();
        mode.paperSize = 1;
        mode.orientation = print::DMORIENT_LANDSCAPE;
        return confirm;
    };
    p.ShowPrinterProperties();
    EXPECT_EQ(shownFor, "VelkorPDF");
    EXPECT_EQ(p.PaperSize, 9);
    EXPECT_EQ(p.Orientation, kPortrait);

    confirm = true;
    p.ShowPrinterProperties();
    EXPECT_EQ(p.PaperSize, 1);
    EXPECT_EQ(p.Orientation, kLandscape);
    EXPECT_EQ(p.PaperWidth, 2794);
    EXPECT_EQ(p.PaperHeight, 2159);
}

} // namespace
