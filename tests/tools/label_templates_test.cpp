// The label templates in data/: their sheets measured in millimetres against
// the label stock they are made for, their objects as the main window needs
// them, a barcode of the template's size read back by a scanner, and the
// files being exactly what the generator writes.

#include "tools/label_templates.h"

#include "platform/gdi/recording_canvas.h"
#include "platform/gdi/units.h"
#include "platform/rtl/sysutils.h"
#include "report/barcode/barcode_images.h"
#include "report/barcode/barcode_view.h"
#include "report/model/band_view.h"
#include "report/model/memo_view.h"
#include "report/model/template_test_support.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPainter>
#include <cmath>
#include <fstream>
#include <sstream>

namespace {

using model_test::Gbk;

double ToMm(int units) {
    return units * 25.4 / gdi::kUnitsPerInch;
}

std::string DataPath(const std::string& relative) {
    return std::string(SOURCE_DATA_DIR) + "/" + relative;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The stock a template is made for; lengths in millimetres.
struct Stock {
    const char* file;
    int paperSize;
    int paperWidth, paperHeight; // tenths of a millimetre
    int columns, rows;           // labels on one page
    double labelWidth, labelHeight;
    double firstLeft, firstTop; // the first label's corner on the page
    double pitchX;              // from one column's left edge to the next
    bool newPageAfterEach;
};

const Stock kStocks[] = {
    {"Print.frf", 9, 2100, 2970, 3, 9, 63.5, 29.6, 7.25, 15.3, 66.0, false},
    {"templates/thermal-60x40.frf", 256, 600, 400, 1, 1, 56.0, 36.0, 2.0, 2.0, 0.0, true},
};

class LabelTemplateTest : public model_test::TemplateTest,
                          public ::testing::WithParamInterface<Stock> {
protected:
    void SetUp() override {
        TemplateTest::SetUp();
        frRegisterBarCodeView();
        ASSERT_TRUE(report.LoadTemplateFile(DataPath(GetParam().file)));
        ASSERT_TRUE(messages.empty()) << messages.front();
        ASSERT_EQ(report.Pages->Count(), 1);
    }

    TfrPage& Page() { return report.Pages->Items(0); }
    template <class T> T& Only(const char* name) {
        TfrView* view = Page().FindObject(name);
        EXPECT_NE(view, nullptr) << name;
        if (!view) throw std::runtime_error(name);
        return dynamic_cast<T&>(*view);
    }

    TfrReport report;
};

TEST_P(LabelTemplateTest, PageBandAndObjectsAreThoseTheMainWindowFills) {
    const Stock& s = GetParam();
    TfrPage& page = Page();
    EXPECT_EQ(page.PaperSize, s.paperSize);
    EXPECT_EQ(page.PaperWidth, s.paperWidth);
    EXPECT_EQ(page.PaperHeight, s.paperHeight);
    EXPECT_EQ(page.Orientation, 0);
    EXPECT_TRUE(page.UseMargins);
    EXPECT_EQ(page.Columns, 1);
    ASSERT_EQ(page.ObjectCount(), 3);

    auto& band = dynamic_cast<TfrBandView&>(*page.ObjectAt(0));
    EXPECT_EQ(band.BandType(), btMasterData);
    EXPECT_EQ(band.FormatText, "frDBDataSet1");
    EXPECT_EQ(band.Columns, s.columns);
    EXPECT_EQ(band.NewColumnAfter, 1);
    EXPECT_FALSE(band.Flags & flStretched);
    EXPECT_FALSE(band.Flags & flBandBreaked);
    EXPECT_EQ((band.Flags & flBandNewPageAfter) != 0, s.newPageAfterEach);

    auto& name = Only<TfrMemoView>("LabelName");
    ASSERT_EQ(name.Memo.Count(), 1);
    EXPECT_EQ(name.Memo[0], "[frDBDataSet1.\"Title\"]");
    EXPECT_EQ(name.Font.Name, Gbk("宋体"));
    EXPECT_EQ(name.Font.Size, 9);
    EXPECT_FALSE(name.Flags & flStretched) << "a long name must not grow the label";

    // The main window matches the name exactly, and puts each record's value
    // into B; its own text is the field, so a record without a value prints
    // no bars instead of a code of the template's.
    auto& bar = Only<TfrBarCodeView>("B");
    EXPECT_EQ(bar.Name, "B");
    EXPECT_EQ(bar.BarType, bcCode128B);
    EXPECT_TRUE(bar.ShowText);
    EXPECT_EQ(bar.Zoom, 1.0);
    EXPECT_EQ(bar.Rotation, 0.0);
    ASSERT_EQ(bar.Memo.Count(), 1);
    EXPECT_EQ(bar.Memo[0], "[frDBDataSet1.\"NUM\"]");
}

TEST_P(LabelTemplateTest, EveryLabelLandsOnItsStockWithinAFractionOfAMillimetre) {
    const Stock& s = GetParam();
    TfrPage& page = Page();
    auto& band = dynamic_cast<TfrBandView&>(*page.ObjectAt(0));
    const double tolerance = 0.4;

    if (s.columns > 1) {
        EXPECT_NEAR(ToMm(band.ColumnWidth), s.labelWidth, 0.2);
        EXPECT_NEAR(ToMm(band.ColumnWidth + band.ColumnGap), s.pitchX, 0.2);
    }
    EXPECT_NEAR(ToMm(band.Height), s.labelHeight, 0.2);
    // Band objects' positions count from the page's corner; the engine puts
    // band column k at the left limit plus k pitches and row r r heights down.
    for (int r = 0; r < s.rows; ++r) {
        for (int c = 0; c < s.columns; ++c) {
            const int left = page.LeftLimit() + c * (band.ColumnWidth + band.ColumnGap);
            const int top = band.Top + r * band.Height;
            EXPECT_NEAR(ToMm(left), s.firstLeft + c * s.pitchX, tolerance) << r << "," << c;
            EXPECT_NEAR(ToMm(top), s.firstTop + r * s.labelHeight, tolerance) << r << "," << c;
        }
    }
    // The page's rows all fit between the margins, and one more does not.
    EXPECT_EQ(band.Top, page.TopLimit());
    EXPECT_LE(band.Top + s.rows * band.Height, page.BottomLimit());
    EXPECT_GT(band.Top + (s.rows + 1) * band.Height, page.BottomLimit());

    // Name above the barcode, both inside the first label with room round them.
    const int labelLeft = page.LeftLimit();
    const int labelRight = s.columns > 1 ? labelLeft + band.ColumnWidth : page.RightLimit();
    auto& name = Only<TfrMemoView>("LabelName");
    auto& bar = Only<TfrBarCodeView>("B");
    for (TfrView* v : {static_cast<TfrView*>(&name), static_cast<TfrView*>(&bar)}) {
        EXPECT_GE(v->Left, labelLeft) << v->Name;
        EXPECT_LE(v->Left + v->Width, labelRight) << v->Name;
        EXPECT_GE(v->Top, band.Top) << v->Name;
        EXPECT_LE(v->Top + v->Height, band.Top + band.Height) << v->Name;
    }
    EXPECT_LE(name.Top + name.Height, bar.Top);
    EXPECT_GE(ToMm(bar.Height - 14), 10.0) << "bars too short to scan comfortably";
}

// The barcode at the template's size, painted for a thermal printer's 203
// dpi and a laser's 600 dpi with a sample value, as the main window fills
// it: a scanner reads it, and it keeps a quiet zone inside the label.
TEST_P(LabelTemplateTest, BarcodeOfATypicalValueScansAndStaysInsideTheLabel) {
    ASSERT_TRUE(barcode_test::ToolAvailable("zbarimg")) << "run scripts/setup";
    const Stock& s = GetParam();
    auto& bar = Only<TfrBarCodeView>("B");
    TfrPage& page = Page();
    auto& band = dynamic_cast<TfrBandView&>(*page.ObjectAt(0));
    const int labelRight = s.columns > 1 ? page.LeftLimit() + band.ColumnWidth : page.RightLimit();

    bar.Memo.Clear();
    bar.Memo.Add("6949428595757");
    gdi_test::EnsureGuiApplication();
    frEngine().OutputMode = true;
    {
        gdi::RecordingCanvas settle; // the first paint sets the length along the bars
        bar.Paint(settle);
    }
    const double quietMm = 10 * 25.4 / gdi::kUnitsPerInch; // ten modules of one unit
    EXPECT_GE(ToMm(bar.Left - page.LeftLimit()), quietMm);
    EXPECT_GE(ToMm(labelRight - bar.Left - bar.Width), quietMm);

    for (int dpi : {203, 600}) {
        const double k = dpi / gdi::kUnitsPerInch;
        const int margin = dpi / 4; // the white of the label round the code
        bar.ZoomX = bar.ZoomY = k;
        bar.ShiftX = static_cast<int>(std::lround(-bar.Left * k)) + margin;
        bar.ShiftY = static_cast<int>(std::lround(-bar.Top * k)) + margin;
        QImage image(static_cast<int>(bar.Width * k) + 2 * margin,
                     static_cast<int>(bar.Height * k) + 2 * margin, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            gdi::QPainterCanvas canvas(&painter, dpi, dpi);
            bar.Paint(canvas);
        }
        const QString file =
            barcode_test::OutputPath(QStringLiteral("template-%1-%2dpi.png")
                                         .arg(QString::fromLatin1(s.file).replace('/', '-'))
                                         .arg(dpi));
        ASSERT_TRUE(image.save(file));
        EXPECT_EQ(barcode_test::RunTool("zbarimg", {"-q", file}),
                  std::vector<std::string>{"CODE-128:6949428595757"})
            << dpi << " dpi";
    }
}

// The files are what the generator writes now: a change to one goes with a
// change to the other, and the diff of the generator is the one to review.
TEST_P(LabelTemplateTest, FileIsWhatTheGeneratorWrites) {
    const Stock& s = GetParam();
    for (const auto& file : label_templates::TemplateFiles()) {
        if (file.Path != s.file) continue;
        const std::string fresh = label_templates::TemplateBytes(file.Build);
        EXPECT_TRUE(fresh == ReadFile(DataPath(s.file)))
            << s.file << " differs from what build/bin/make_templates writes now";
        return;
    }
    FAIL() << s.file << " has no generator";
}

INSTANTIATE_TEST_SUITE_P(Data, LabelTemplateTest, ::testing::ValuesIn(kStocks),
                         [](const ::testing::TestParamInfo<Stock>& param) {
                             return param.index == 0 ? std::string("A4Sheet")
                                                     : std::string("Thermal60x40");
                         });

} // namespace
