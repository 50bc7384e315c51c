// Barcode objects painted as a label printer gets them (output mode, the
// object's rectangle scaled to the device) and read back by real scanners.

#include "report/barcode/barcode_view.h"

#include "platform/gdi/recording_canvas.h"
#include "platform/gdi/units.h"
#include "platform/rtl/sysutils.h"
#include "report/barcode/barcode_images.h"
#include "report/core/process_state.h"
#include "report/engine/expression_evaluator.h"
#include "report/engine/globals.h"
#include "report/model/report.h"
#include "report/model/stream_versions.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace {

using barcode_test::OutputPath;
using barcode_test::RunTool;
using barcode_test::ToolAvailable;

int RoundToInt(double v) {
    return static_cast<int>(rtl::Round(v));
}

// Paints the object at `dpi` with a quarter inch of white round it, as the
// preview and printing scale a page: ZoomX/ZoomY device pixels per unit.
QImage PaintAt(TfrBarCodeView& v, int dpi) {
    gdi_test::EnsureGuiApplication();
    frEngine().OutputMode = true;
    {
        gdi::RecordingCanvas settle; // the first paint sets the length along the bars
        v.Paint(settle);
    }
    const double k = dpi / gdi::kUnitsPerInch;
    const int margin = dpi / 4;
    v.ZoomX = v.ZoomY = k;
    v.ShiftX = v.ShiftY = margin;
    QImage image(RoundToInt((v.Left + v.Width) * k) + 2 * margin + 2,
                 RoundToInt((v.Top + v.Height) * k) + 2 * margin + 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    gdi::QPainterCanvas canvas(&painter, dpi, dpi);
    v.Paint(canvas);
    return image;
}

std::vector<std::string> ReadZbar(const QString& file) {
    return RunTool("zbarimg", {"-q", file});
}

std::vector<std::string> ReadZxing(const QString& file) {
    std::vector<std::string> out;
    for (const std::string& line : RunTool("ZXingReader", {"-1", file})) {
        const std::size_t space = line.find(' '); // "<file> <format> \"<text>\""
        out.push_back(space == std::string::npos ? line : line.substr(space + 1));
    }
    return out;
}

void RequireReaders() {
    ASSERT_TRUE(ToolAvailable("zbarimg") && ToolAvailable("ZXingReader"))
        << "zbarimg or ZXingReader missing: run scripts/setup to install them";
}

struct Symbol {
    TfrBarcodeType type;
    const char* value;
    bool checkSum;
    const char* zbar;
    const char* zxing;
};

// Written out from the standards, check characters included.
const Symbol kSymbols[] = {
    {bcCodeEAN13, "690123456789", true, "EAN-13:6901234567892", "EAN-13 \"6901234567892\""},
    {bcCode128B, "Velkor-128b", false, "CODE-128:Velkor-128b", "Code128 \"Velkor-128b\""},
    {bcCode39, "CODE39", true, "CODE-39:CODE39W", "Code39 \"CODE39W\""},
    {bcCodeUPC_A, "03600029145", true, "EAN-13:0036000291452", "UPC-A \"036000291452\""},
};

class BarCodeObjectScan : public ::testing::TestWithParam<Symbol> {
protected:
    void SetUp() override { frResetProcessState(); }
    void TearDown() override { frResetProcessState(); }
};

TEST_P(BarCodeObjectScan, ReadersDecodeTheObjectAtEveryRotationAndResolution) {
    RequireReaders();
    const Symbol& s = GetParam();
    for (int dpi : {203, 300}) {
        for (int rotation : {0, 90, 180, 270}) {
            SCOPED_TRACE(std::string(BarcodeTypeTable[s.type].Name) + " at " + std::to_string(dpi) +
                         " dpi, " + std::to_string(rotation));
            TfrBarCodeView v;
            v.BarType = s.type;
            v.CalcCheckSum = s.checkSum;
            v.Memo.SetText(s.value);
            v.Rotation = rotation;
            v.SetBounds(0, 0, 60, 60); // 60 units across the bars; the length is the code's
            const QString file = OutputPath(QString("object_%1_%2dpi_%3.png")
                                                .arg(BarcodeTypeTable[s.type].Name)
                                                .arg(dpi)
                                                .arg(rotation));
            ASSERT_TRUE(PaintAt(v, dpi).save(file));
            EXPECT_EQ(ReadZbar(file), std::vector<std::string>{s.zbar}) << file.toStdString();
            EXPECT_EQ(ReadZxing(file), std::vector<std::string>{s.zxing}) << file.toStdString();
        }
    }
}

std::string SymbolName(const ::testing::TestParamInfo<Symbol>& param) {
    return BarcodeTypeTable[param.param.type].Name;
}

INSTANTIATE_TEST_SUITE_P(LabelSymbologies, BarCodeObjectScan, ::testing::ValuesIn(kSymbols),
                         SymbolName);

class BarCodeObjectPixels : public ::testing::Test {
protected:
    void SetUp() override { frResetProcessState(); }
    void TearDown() override { frResetProcessState(); }
};

TEST_F(BarCodeObjectPixels, EveryModuleIsTheSameWholeNumberOfPixelsAtEveryResolution) {
    // The elements of 6901234567892 in reading order, bar first, in modules.
    TfrBarcode encoder;
    encoder.SetText("690123456789");
    encoder.SetCheckSum(true);
    encoder.SetHeight(10);
    std::vector<int> modules;
    for (const TfrBarCodeElement& e : frBarCodeElements(encoder)) modules.push_back(e.Area.Width());
    ASSERT_EQ(modules.size(), 59u); // 30 bars, 29 spaces

    for (int dpi : {203, 300, 600}) {
        for (int rotation : {0, 90, 180, 270}) {
            SCOPED_TRACE(std::to_string(dpi) + " dpi, " + std::to_string(rotation));
            TfrBarCodeView v;
            v.BarType = bcCodeEAN13;
            v.Memo.SetText("690123456789");
            v.Rotation = rotation;
            v.Zoom = 1.3; // no whole number of pixels per module at any of them
            v.SetBounds(0, 0, 60, 60);
            const QImage image = PaintAt(v, dpi);
            // A line across the bars through their middle: black and white
            // runs from the first bar to the last, in reading order.
            const double k = dpi / gdi::kUnitsPerInch;
            const int margin = dpi / 4;
            const bool upright = rotation == 90 || rotation == 270;
            const int middle = margin + RoundToInt((rotation == 0 || rotation == 90 ? 20 : 40) * k);
            const int size = upright ? image.height() : image.width();
            std::vector<QRgb> line;
            for (int i = 0; i < size; ++i)
                line.push_back(upright ? image.pixel(middle, i) : image.pixel(i, middle));
            for (QRgb p : line) // every edge on a whole pixel: no grey
                ASSERT_TRUE(p == qRgb(0, 0, 0) || p == qRgb(255, 255, 255));
            const auto first = std::find(line.begin(), line.end(), qRgb(0, 0, 0));
            const auto last = std::find(line.rbegin(), line.rend(), qRgb(0, 0, 0)).base();
            ASSERT_LT(first, last);
            std::vector<int> runs{1};
            for (auto it = first + 1; it != last; ++it) {
                if (*it == *(it - 1)) {
                    ++runs.back();
                } else {
                    runs.push_back(1);
                }
            }
            if (rotation == 90 || rotation == 180) std::reverse(runs.begin(), runs.end());
            // One module is the nearest whole pixels to its share of the
            // object's rectangle (124 units and, as every output rectangle,
            // one pixel more); every bar and space is that many per module.
            const int along = RoundToInt(RoundToInt(95 * 1.3) * k) + 1;
            const int module = RoundToInt(along / 95.0);
            ASSERT_EQ(runs.size(), modules.size());
            for (std::size_t i = 0; i < runs.size(); ++i)
                EXPECT_EQ(runs[i], modules[i] * module) << "element " << i;
            // Centred on the rectangle.
            const int room = margin + along - static_cast<int>(last - line.begin());
            const int before = static_cast<int>(first - line.begin()) - margin;
            EXPECT_LE(std::abs(room - before), 1);
        }
    }
}

TEST_F(BarCodeObjectPixels, ValuesThatCannotPrintLeaveNothingToScan) {
    RequireReaders();
    frEngineHooks().Calculate = [](const std::string& e) -> rtl::TVariant {
        throw std::runtime_error("unknown variable " + e);
    };
    struct Case {
        const char* name;
        TfrBarcodeType type;
        bool checkSum;
        const char* memo; // nullptr: no lines at all
    } cases[] = {
        {"ean13_failed_expression", bcCodeEAN13, true, "[NUM]"},
        {"ean13_letters", bcCodeEAN13, true, "ABC"},
        {"ean13_no_value", bcCodeEAN13, true, nullptr},
        {"ean13_wrong_check_digit", bcCodeEAN13, true, "6901234567890"},
        {"code39_blank_with_checksum", bcCode39, true, "  "},
        {"ean128b_empty_with_checksum", bcCodeEAN128B, true, nullptr},
        {"upca_too_long", bcCodeUPC_A, true, "0360002914521"},
        {"supp5_letters", bcCodeUPC_Supp5, false, "ABCDE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Through a build's output and the prepared page, as a label is printed.
        TfrBarCodeView v;
        v.Name = "B";
        v.BarType = c.type;
        v.CalcCheckSum = c.checkSum;
        v.Memo.Clear();
        if (c.memo) v.Memo.Add(c.memo);
        v.PreparedMode = true;
        v.SetBounds(0, 0, 120, 60);
        v.FillColor = gdi::clYellow;
        rtl::TMemoryStream ms;
        v.OutputToPage(ms);
        ms.SetPosition(0);
        ms.ReadByte();
        rtl::frReadString(ms, frStreamVersionCurrent);
        TfrBarCodeView prepared;
        prepared.PreparedMode = true;
        prepared.ReadRecord(ms, frStreamVersionCurrent);

        const QImage image = PaintAt(prepared, 300);
        const QString file = OutputPath(QString("object_unprintable_%1.png").arg(c.name));
        ASSERT_TRUE(image.save(file));
        // The object's area in its fill, nothing else on the label.
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ASSERT_TRUE(image.pixel(x, y) == qRgb(255, 255, 255) ||
                            image.pixel(x, y) == qRgb(255, 255, 0))
                    << x << "," << y;
        EXPECT_EQ(image.pixel(image.width() / 2, image.height() / 2), qRgb(255, 255, 0));
        EXPECT_TRUE(ReadZbar(file).empty());
        EXPECT_EQ(ReadZxing(file), std::vector<std::string>{"None"});
    }
}

TEST_F(BarCodeObjectPixels, TheBuildsValueIsTheOneThatScans) {
    RequireReaders();
    frEngineHooks().Calculate = [](const std::string& e) -> rtl::TVariant {
        if (e == "[NUM]") return std::string("6901234567892");
        throw std::runtime_error("unknown variable " + e);
    };
    TfrBarCodeView v;
    v.BarType = bcCodeEAN13;
    v.Memo.SetText("[NUM]");
    v.PreparedMode = true;
    v.SetBounds(0, 0, 95, 60);
    rtl::TMemoryStream ms;
    v.OutputToPage(ms);
    ms.SetPosition(0);
    ms.ReadByte();
    rtl::frReadString(ms, frStreamVersionCurrent);
    TfrBarCodeView prepared;
    prepared.PreparedMode = true;
    prepared.ReadRecord(ms, frStreamVersionCurrent);
    const QString file = OutputPath("object_from_build.png");
    ASSERT_TRUE(PaintAt(prepared, 203).save(file));
    EXPECT_EQ(ReadZbar(file), std::vector<std::string>{"EAN-13:6901234567892"});
    EXPECT_EQ(ReadZxing(file), std::vector<std::string>{"EAN-13 \"6901234567892\""});
}

// The bracketed value through the engine's own parser and value side: a
// variable's value scans, a malformed expression prints no bars and is
// reported once.
TEST_F(BarCodeObjectPixels, BracketedValuesGoThroughTheEngine) {
    RequireReaders();
    TfrReport report;
    SetCurReport(&report);
    InstallExpressionEvaluator();
    frGlobals().ScriptVariables.SetVariable("NUM", rtl::TVariant(std::string("6901234567892")));
    std::vector<std::string> problems;
    frEngineHooks().ReportOutputProblem = [&](TfrView&, const std::string& message) {
        problems.push_back(message);
    };
    const auto output = [](const std::string& memo, const char* fileName) {
        TfrBarCodeView v;
        v.BarType = bcCodeEAN13;
        v.Memo.SetText(memo);
        v.PreparedMode = true;
        v.SetBounds(0, 0, 95, 60);
        rtl::TMemoryStream ms;
        v.OutputToPage(ms);
        ms.SetPosition(0);
        ms.ReadByte();
        rtl::frReadString(ms, frStreamVersionCurrent);
        TfrBarCodeView prepared;
        prepared.PreparedMode = true;
        prepared.ReadRecord(ms, frStreamVersionCurrent);
        const QString file = OutputPath(fileName);
        EXPECT_TRUE(PaintAt(prepared, 203).save(file));
        return file;
    };
    const QString good = output("[NUM]", "object_engine_value.png");
    EXPECT_EQ(ReadZbar(good), std::vector<std::string>{"EAN-13:6901234567892"});
    EXPECT_TRUE(problems.empty());
    const QString bad = output("[NUM +]", "object_engine_malformed.png");
    EXPECT_TRUE(ReadZbar(bad).empty());
    EXPECT_EQ(ReadZxing(bad), std::vector<std::string>{"None"});
    EXPECT_EQ(problems.size(), 1u);
    SetCurReport(nullptr);
    frResetProcessState();
}

} // namespace
