#include "platform/print/paper_sizes.h"
#include "platform/print/system_printer.h"
#include "platform/print/test_cups.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QPainter>
#include <QRawFont>
#include <QThread>

#include <cmath>
#include <map>
#include <utility>

using namespace print;
using testcups::Ppd;

namespace {

TEST(PaperCodeForSize, MatchesTheWindowsTableBySize) {
    struct Case {
        int width, height, code;
    } cases[] = {
        {2100, 2970, 9},   // A4, before A4 small and A4 transverse
        {2099, 2970, 9},   // A4 given in whole points (595 x 842)
        {2159, 2794, 1},   // Letter
        {2794, 4318, 3},   // Tabloid comes before "11 x 17"
        {4318, 2794, 4},   // Ledger: the same sheet turned is another paper
        {1100, 2200, 27},  // DL envelope
        {1047, 2413, 20},  // #10 envelope in points (297 x 684)
        {2103, 2970, 256}, // 0.3 mm off is another size
        {600, 400, 256},   // a label
        {0, 0, 256},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PaperCodeForSize(c.width, c.height), c.code) << c.width << " x " << c.height;
    EXPECT_EQ(FindWindowsPaper(kCustomPaper), nullptr);
    ASSERT_NE(FindWindowsPaper(68), nullptr);
    EXPECT_EQ(FindWindowsPaper(68)->height, 4450);
    EXPECT_EQ(FindWindowsPaper(48), nullptr); // codes 48 and 49 do not exist
}

class SystemPrinterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testcups::TestPrintersReady()); }

    // Makes the queue current and returns its description from the server.
    Ppd Use(SystemPrinter& sp, const char* queue) {
        const int index = static_cast<int>(sp.Printers().indexOf(QString::fromLatin1(queue)));
        EXPECT_GE(index, 0) << queue;
        if (index >= 0) sp.SetPrinterIndex(index);
        const std::string text = testcups::FetchPpd(queue);
        EXPECT_FALSE(text.empty()) << "no printer description for " << queue;
        return testcups::ParsePpd(text);
    }
};

void ExpectCaps(const DeviceCaps& got, const DeviceCaps& want, const std::string& what) {
    EXPECT_EQ(got.physicalWidth, want.physicalWidth) << what;
    EXPECT_EQ(got.physicalHeight, want.physicalHeight) << what;
    EXPECT_EQ(got.physicalOffsetX, want.physicalOffsetX) << what;
    EXPECT_EQ(got.physicalOffsetY, want.physicalOffsetY) << what;
    EXPECT_EQ(got.horzRes, want.horzRes) << what;
    EXPECT_EQ(got.vertRes, want.vertRes) << what;
    EXPECT_EQ(got.logPixelsX, want.logPixelsX) << what;
    EXPECT_EQ(got.logPixelsY, want.logPixelsY) << what;
}

DeviceMode Paper(int code, bool landscape = false) {
    DeviceMode m;
    m.fields = DM_PAPERSIZE | DM_ORIENTATION;
    m.paperSize = static_cast<int16_t>(code);
    m.orientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    return m;
}

DeviceMode Custom(int width, int height, bool landscape = false) {
    DeviceMode m = Paper(kCustomPaper, landscape);
    m.fields |= DM_PAPERWIDTH | DM_PAPERLENGTH;
    m.paperWidth = static_cast<int16_t>(width);
    m.paperLength = static_cast<int16_t>(height);
    return m;
}

TEST_F(SystemPrinterTest, ListsEveryCupsQueueWithItsDriverDefaults) {
    SystemPrinter sp;
    EXPECT_TRUE(sp.Printers().contains("VelkorPDF"));
    EXPECT_TRUE(sp.Printers().contains("VelkorLabel"));
    ASSERT_GE(sp.PrinterIndex(), 0);
    EXPECT_EQ(sp.Printers()[sp.PrinterIndex()], "VelkorPDF"); // the CUPS default

    const Ppd ppd = Use(sp, testcups::kLabelQueue);
    QString device, driver, port;
    DeviceMode mode;
    ASSERT_TRUE(sp.GetPrinter(device, driver, port, mode));
    EXPECT_EQ(device, "VelkorLabel");
    EXPECT_EQ(driver, "Velkor Test Label Printer");
    EXPECT_EQ(mode.paperSize, kCustomPaper); // a 60 x 40 mm label has no Windows code
    EXPECT_EQ(mode.paperWidth, 600);
    EXPECT_EQ(mode.paperLength, 399);
    EXPECT_EQ(mode.orientation, DMORIENT_PORTRAIT);
    EXPECT_EQ(mode.printQuality, ppd.dpi);
    EXPECT_EQ(mode.defaultSource, 8); // the label roll is the tractor feed
    EXPECT_EQ(ppd.defaultPage, "w170h113");
}

TEST_F(SystemPrinterTest, PapersCarryWindowsCodesBySizeAndACustomEntryLast) {
    SystemPrinter sp;
    const Ppd ppd = Use(sp, testcups::kPdfQueue);
    const std::vector<PaperEntry> papers = sp.Papers();
    ASSERT_EQ(static_cast<int>(papers.size()), ppd.pageCount + 1);
    EXPECT_TRUE(papers.back().custom);
    EXPECT_EQ(papers.back().code, kCustomPaper);

    std::map<QString, const PaperEntry*> byName;
    for (const PaperEntry& p : papers) byName[p.name] = &p;
    struct Case {
        const char* name;
        int code, width, height;
    } cases[] = {
        {"A4", 9, 2099, 2970},           {"US Letter", 1, 2159, 2794},
        {"Ledger", 4, 4318, 2794},       {"Envelope #10", 20, 1048, 2413},
        {"Envelope DL", 27, 1101, 2201}, {"8x10", 256, 2032, 2540},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(byName.count(c.name)) << c.name;
        const PaperEntry& p = *byName[c.name];
        EXPECT_EQ(p.code, c.code) << c.name;
        EXPECT_EQ(p.width, c.width) << c.name;
        EXPECT_EQ(p.height, c.height) << c.name;
    }
}

TEST_F(SystemPrinterTest, PaperSourcesGetWindowsBinCodes) {
    SystemPrinter sp;
    Use(sp, testcups::kLabelQueue);
    const std::vector<BinEntry> bins = sp.Bins();
    ASSERT_EQ(bins.size(), 3u);
    EXPECT_EQ(bins[0].code, 8);
    EXPECT_EQ(bins[0].name, "Label Roll");
    EXPECT_EQ(bins[1].code, 4);
    EXPECT_EQ(bins[1].name, "Manual Feed");
    EXPECT_EQ(bins[2].code, 256); // a source of the driver's own
    EXPECT_EQ(bins[2].key, "Fanfold");

    DeviceMode m;
    m.fields = DM_DEFAULTSOURCE;
    m.defaultSource = 256;
    ASSERT_TRUE(sp.SetDeviceMode(m));
    EXPECT_EQ(sp.CurrentInputSlot(), "Fanfold");
    m.defaultSource = 99; // unknown: the driver keeps its source
    sp.SetDeviceMode(m);
    EXPECT_EQ(sp.CurrentInputSlot(), "Fanfold");
}

TEST_F(SystemPrinterTest, GeometryFollowsThePrinterDescription) {
    struct Case {
        const char* queue;
        DeviceMode mode;
        const char* ppdPage; // nullptr: a custom size, as asked
        double customWidthMm, customHeightMm;
    } cases[] = {
        {"VelkorPDF", Paper(9), "A4", 0, 0},
        {"VelkorPDF", Paper(1, true), "Letter", 0, 0},
        {"VelkorPDF", Custom(600, 400), nullptr, 60, 40},
        {"VelkorPDF", Custom(600, 400, true), nullptr, 60, 40},
        {"VelkorLabel", Custom(600, 400), "w170h113", 0, 0}, // the listed label
        {"VelkorLabel", Paper(27, true), "EnvDL", 0, 0},
        {"VelkorLabel", Custom(500, 300), nullptr, 50, 30},
        {"VelkorLabel", Custom(500, 300, true), nullptr, 50, 30},
    };
    for (const Case& c : cases) {
        SystemPrinter sp;
        const Ppd ppd = Use(sp, c.queue);
        ASSERT_TRUE(sp.SetDeviceMode(c.mode));
        DeviceCaps caps;
        ASSERT_TRUE(sp.Caps(caps));
        const bool landscape = c.mode.orientation == DMORIENT_LANDSCAPE;
        const std::string what = std::string(c.queue) + " " + (c.ppdPage ? c.ppdPage : "custom") +
                                 (landscape ? " landscape" : "");
        if (c.ppdPage) {
            ASSERT_TRUE(ppd.pages.count(c.ppdPage)) << what;
            ExpectCaps(caps, testcups::Expected(ppd.pages.at(c.ppdPage), ppd.dpi, landscape), what);
        } else {
            const double w = c.customWidthMm * 72 / 25.4, h = c.customHeightMm * 72 / 25.4;
            ExpectCaps(caps,
                       testcups::Expected(w, h, ppd.hwLeft, ppd.hwBottom, ppd.hwRight, ppd.hwTop,
                                          ppd.dpi, landscape),
                       what);
        }
    }
}

TEST_F(SystemPrinterTest, TheDriverKeepsWhatItCannotUse) {
    SystemPrinter sp;
    Use(sp, testcups::kLabelQueue);
    ASSERT_TRUE(sp.SetDeviceMode(Paper(27)));
    const QString envelope = sp.CurrentPageSize().name();
    EXPECT_EQ(envelope, "Envelope DL");

    struct Case {
        const char* what;
        DeviceMode mode;
    } rejected[] = {
        {"unknown paper code", Paper(4000)},
        {"paper code -1", Paper(-1)},
        {"A4, larger than the label printer takes", Paper(9)},
        {"custom size without a size", Custom(0, 0)},
        {"negative custom size", Custom(-600, 400)},
        {"custom size wider than the printer", Custom(1500, 400)},
    };
    for (const Case& c : rejected) {
        sp.SetDeviceMode(c.mode);
        EXPECT_EQ(sp.CurrentPageSize().name(), envelope) << c.what;
    }

    DeviceMode res;
    res.fields = DM_PRINTQUALITY | DM_YRESOLUTION;
    res.printQuality = res.yResolution = 300;
    sp.SetDeviceMode(res);
    DeviceCaps caps;
    sp.Caps(caps);
    EXPECT_EQ(caps.logPixelsX, 300);
    res.printQuality = res.yResolution = 250; // not offered
    sp.SetDeviceMode(res);
    sp.Caps(caps);
    EXPECT_EQ(caps.logPixelsX, 300);
}

TEST_F(SystemPrinterTest, AKnownSheetUnderAnotherCodeIsTheDriversOwn) {
    SystemPrinter sp;
    Use(sp, testcups::kPdfQueue);
    sp.SetDeviceMode(Paper(10)); // "A4 small sheet" is the PDF printer's A4
    QString device, driver, port;
    DeviceMode mode;
    ASSERT_TRUE(sp.GetPrinter(device, driver, port, mode));
    EXPECT_EQ(mode.paperSize, 9);
    EXPECT_EQ(sp.CurrentPageSize().key(), "A4");

    sp.SetDeviceMode(Paper(66)); // A2, not offered by key but by size
    sp.GetPrinter(device, driver, port, mode);
    EXPECT_EQ(mode.paperSize, 66);
    EXPECT_EQ(sp.CurrentPageSize().key(), "A2");

    sp.SetDeviceMode(Custom(2100, 2970)); // a custom size that is A4 stays custom
    sp.GetPrinter(device, driver, port, mode);
    EXPECT_EQ(mode.paperSize, kCustomPaper);
    EXPECT_EQ(sp.CurrentPageSize().key(), "A4");
}

TEST_F(SystemPrinterTest, IndexOutsideTheListIsAnError) {
    SystemPrinter sp;
    EXPECT_THROW(sp.SetPrinterIndex(-1), EPrinter);
    EXPECT_THROW(sp.SetPrinterIndex(static_cast<int>(sp.Printers().size())), EPrinter);
}

TEST_F(SystemPrinterTest, AJobOnThePdfQueueLandsInTheBuildTree) {
    testcups::EnsureGuiApp();
    SystemPrinter sp;
    Use(sp, testcups::kPdfQueue);
    sp.SetDeviceMode(Custom(600, 400));
    const QString title = QStringLiteral("velkorjob%1").arg(QCoreApplication::applicationPid());
    ASSERT_TRUE(sp.BeginDoc(title));
    EXPECT_TRUE(sp.Printing());
    QPainter* painter = sp.Painter();
    ASSERT_NE(painter, nullptr);
    painter->drawRect(10, 10, 300, 200);
    sp.EndDoc();
    EXPECT_FALSE(sp.Printing());

    // cups-pdf names the file after the job title and writes it while converting.
    QDir out(QString::fromStdString(testcups::CupsDir() + "/pdf"));
    auto complete = [&]() -> QString {
        for (const QString& name : out.entryList({title + "*.pdf"}, QDir::Files)) {
            QFile file(out.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) continue;
            const QByteArray pdf = file.readAll();
            if (pdf.startsWith("%PDF-") && pdf.trimmed().endsWith("%%EOF")) return name;
        }
        return {};
    };
    QElapsedTimer timer;
    timer.start();
    QString found;
    while ((found = complete()).isEmpty() && timer.elapsed() < 30000) QThread::msleep(100);
    EXPECT_FALSE(found.isEmpty()) << "no complete PDF for " << title.toStdString() << " in "
                                  << out.absolutePath().toStdString();
}

// Without a reachable CUPS there are no printers, and nothing breaks. Runs in
// a child process, which meets CUPS for the first time with a dead server.
bool NothingWithoutCups() {
    setenv("CUPS_SERVER", "/nonexistent/velkor-cups.sock", 1);
    SystemPrinter sp;
    QString device, driver, port;
    DeviceMode mode;
    DeviceCaps caps;
    return sp.Printers().isEmpty() && sp.PrinterIndex() == -1 &&
           !sp.GetPrinter(device, driver, port, mode) && !sp.Caps(caps) && sp.Papers().empty() &&
           !sp.SetDeviceMode(mode) && !sp.BeginDoc("x") && !sp.Printing();
}

TEST(SystemPrinterNoCups, ListsNothingAndHasNoSettings) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(NothingWithoutCups() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

} // namespace

// The radical table against a real CJK font: each radical is drawn with the
// very glyph of the ideograph it is mapped to, which is why the PDF writer
// confuses them, and each mapped ideograph is a unified one.
TEST(RadicalIdeographs, EachRadicalSharesItsGlyphWithItsIdeograph) {
    testcups::EnsureGuiApp();
    QFont sc(QStringLiteral("Noto Sans CJK SC"));
    sc.setPixelSize(16);
    const QRawFont font = QRawFont::fromFont(sc);
    if (!font.isValid() || font.familyName() != QStringLiteral("Noto Sans CJK SC"))
        GTEST_SKIP() << "no Noto Sans CJK SC here";
    // Which ideograph each glyph draws (the unified block).
    QString ideographs;
    for (char16_t c = 0x4E00; c <= 0x9FFF; ++c) ideographs += QChar(c);
    std::map<quint32, char16_t> ideographOfGlyph;
    const QList<quint32> ideographGlyphs = font.glyphIndexesForString(ideographs);
    for (qsizetype i = 0; i < ideographGlyphs.size(); ++i)
        if (ideographGlyphs[i])
            ideographOfGlyph.emplace(ideographGlyphs[i], ideographs[i].unicode());
    int shared = 0;
    for (char32_t radical = 0x2E80; radical < 0x2FE0; ++radical) {
        const char16_t ideograph = print::UnifiedIdeographOfRadical(static_cast<char16_t>(radical));
        SCOPED_TRACE(static_cast<int>(radical));
        const QList<quint32> glyph =
            font.glyphIndexesForString(QString(QChar(static_cast<char16_t>(radical))));
        ASSERT_EQ(glyph.size(), 1);
        // A radical drawn with an ideograph's glyph must be named by it.
        if (glyph[0] == 0 || !ideographOfGlyph.count(glyph[0])) continue;
        ++shared;
        EXPECT_EQ(font.glyphIndexesForString(QString(QChar(ideograph))).value(0), glyph[0])
            << "mapped to " << static_cast<int>(ideograph) << " shares with "
            << static_cast<int>(ideographOfGlyph[glyph[0]]);
    }
    EXPECT_GT(shared, 200);
    EXPECT_EQ(print::UnifiedIdeographOfRadical(u'水'), 0);
    EXPECT_EQ(print::UnifiedIdeographOfRadical(u'A'), 0);
}
