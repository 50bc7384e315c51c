#include "platform/gdi/text_service.h"

#include "gui_app.h"
#include "platform/gdi/qpainter_canvas.h"
#include "platform/gdi/recording_canvas.h"
#include "platform/text/cp936.h"

#include <QDir>
#include <QFile>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace gdi;
using text::L;

namespace {

class TextServiceTest : public gdi_test::GuiTest {};

TFont Face(const char* utf8Name, int height, int size = 10) {
    TFont f;
    f.Name = L(utf8Name);
    f.Height = height;
    f.Size = size;
    return f;
}

// Ink: anything clearly darker than the white page.
bool Inked(const QImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return false;
    return qGray(image.pixel(x, y)) < 160;
}

int InkIn(const QImage& image, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += Inked(image, x, y) ? 1 : 0;
    return n;
}

QRect InkBox(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Inked(image, x, y)) box |= QRect(x, y, 1, 1);
    return box;
}

std::string Describe(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
           "x" + std::to_string(r.height());
}

QString RunTool(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool ToolAvailable(const QString& tool) {
    return !QStandardPaths::findExecutable(tool).isEmpty();
}

} // namespace

// Advances and cell heights on the 96-dpi surface. The Arial figures are
// Arial's own advance widths (units of 2048) at 16 pixels, rounded; Liberation
// Sans, which stands in for it, shares them.
TEST_F(TextServiceTest, AdvancesAndCellHeightsOnTheMeasuringSurface) {
    struct Case {
        const char* face;
        int em;
        const char* text;
        int width;
        int cellHeight;
    };
    const Case cases[] = {
        // Fixed-pitch Chinese faces: half an em for a single byte, an em for a double byte.
        {"宋体", 16, "A", 8, 16},
        {"宋体", 16, "W", 8, 16},
        {"宋体", 16, "中", 16, 16},
        {"宋体", 16, "Ab中文1", 56, 16},
        {"宋体", 16, "，·", 32, 16}, // full-width punctuation is double-byte too
        {"SimSun", 12, "条码12345", 54, 12},
        {"新宋体", 16, "iW中", 32, 16},
        {"NSimSun", 16, "iW中", 32, 16},
        {"黑体", 13, "A中", 20, 13}, // an odd em: (13 + 1) / 2 for the half
        // Unknown Chinese faces take the Song pitch too.
        {"楷体_GB2312", 16, "A中", 24, 16},
        {"KaiTi_GB2312", 16, "A中", 24, 16},
        // A proportional face: its own advances; Chinese from the fallback face, an em wide.
        {"Arial", 16, "A", 11, 17},     // 1366
        {"Arial", 16, "i", 4, 17},      // 455
        {"Arial", 16, "W", 15, 17},     // 1933
        {"Arial", 16, " ", 4, 17},      // 569
        {"Arial", 16, "12345", 45, 17}, // 1139 each
        {"Arial", 16, "Label", 40, 17},
        {"Arial", 16, "中文", 32, 17},
        {"Arial", 32, "i", 7, 36},
        {"Times New Roman", 16, "A", 12, 17}, // 1479
    };
    TextService& service = TextService::Instance();
    for (const Case& c : cases) {
        const FontHandle font = service.Font(L(c.face), c.em, false, false);
        EXPECT_EQ(font->Width(L(c.text)), c.width) << c.face << " " << c.em << " " << c.text;
        EXPECT_EQ(font->Metrics().Height, c.cellHeight) << c.face << " " << c.em;
        EXPECT_EQ(font->Metrics().Height, font->Metrics().Ascent + font->Metrics().Descent);
    }
    // The Song face keeps the vertical metrics of the Windows face: 220/256 above the baseline.
    const FontHandle song = service.Font(L("宋体"), 16, false, false);
    EXPECT_EQ(song->Metrics(), (TTextMetric{16, 14, 2, 0, 0, 8, 16}));
    EXPECT_TRUE(song->FixedPitch());
    EXPECT_FALSE(service.Font("Arial", 16, false, false)->FixedPitch());
    EXPECT_FALSE(service.Font("No Such Face", 16, false, false)->FixedPitch());
    // Fonts are kept and shared.
    EXPECT_EQ(song.get(), service.Font(L("宋体"), 16, false, false).get());
    // A lone lead byte at the end is one single-byte character.
    EXPECT_EQ(song->Width(std::string("A\xD6")), 16);
}

TEST_F(TextServiceTest, RunsCarryCharacterOffsetsAndRunningPositions) {
    const FontHandle song = TextService::Instance().Font(L("宋体"), 16, false, false);
    const std::string text = L("A条码B");
    const TextRun run = song->Layout(text);
    EXPECT_EQ(run.Offsets, (std::vector<std::uint32_t>{0, 1, 3, 5}));
    EXPECT_EQ(run.Positions, (std::vector<int>{0, 8, 24, 40}));
    EXPECT_EQ(run.Width, 48);
    EXPECT_EQ(run.Advance(1), 16);
    EXPECT_EQ(run.Advance(3), 8);
    // Laid out for a 300-dpi device: the 96-dpi sums scaled, never re-measured.
    const TextRun printer = song->Layout(text, {}, 300);
    EXPECT_EQ(printer.Positions, (std::vector<int>{0, 25, 75, 125}));
    EXPECT_EQ(printer.Width, 150);
}

// Character extra after every character (a double-byte one counts once) and
// the justification rule, on a real canvas.
TEST_F(TextServiceTest, CharacterSpacingAndJustification) {
    QImage image(300, 60, QImage::Format_RGB32);
    QPainterCanvas c(&image);
    c.SetFont(Face("Arial", -16));
    struct Case {
        int extra;
        int justifyExtra;
        int justifyBreaks;
        const char* text;
        std::vector<int> positions;
        int width;
    };
    const Case cases[] = {
        {0, 0, 0, "a b c", {0, 9, 13, 22, 26}, 34}, // a, b 1139; c 1024; blank 569
        {2, 0, 0, "a b", {0, 11, 17}, 28},
        // 7 over 2 blanks: 4 and 3.
        {0, 7, 2, "a b c", {0, 9, 17, 26, 33}, 41},
        // -5 over 2 blanks: -3 and -2.
        {0, -5, 2, "a b c", {0, 9, 10, 19, 21}, 29},
        // Blanks after the counted ones get nothing: the line grows by exactly 6.
        {0, 6, 2, "a b c d", {0, 9, 16, 25, 32, 40, 44}, 53},
        // No blank: nothing to spread.
        {0, 9, 1, "abc", {0, 9, 18}, 26},
        {1, 4, 1, "a b", {0, 10, 19}, 29},
    };
    for (const Case& k : cases) {
        c.SetTextCharacterExtra(k.extra);
        c.SetTextJustification(k.justifyExtra, k.justifyBreaks);
        const TextRun run = c.TextLayout(k.text);
        EXPECT_EQ(run.Positions, k.positions) << k.text << " extra " << k.extra << " justify "
                                              << k.justifyExtra << "/" << k.justifyBreaks;
        EXPECT_EQ(run.Width, k.width) << k.text;
        EXPECT_EQ(c.TextWidth(k.text), k.width) << k.text;
    }
    c.SetTextJustification(0, 0);
    c.SetTextCharacterExtra(3);
    c.SetFont(Face("宋体", -16));
    EXPECT_EQ(c.TextWidth(L("条A")), 16 + 3 + 8 + 3);
}

// The same text measured on a screen image, a 300-dpi image, a 300-dpi printer
// and a PDF writer: the 96-dpi measurement, scaled to each device.
TEST_F(TextServiceTest, EveryDeviceMeasuresTheSameText) {
    const QString dir = QString(TEST_OUTPUT_DIR);
    QImage screen(200, 50, QImage::Format_RGB32);
    QImage fine(200, 50, QImage::Format_RGB32);
    fine.setDotsPerMeterX(11811);
    fine.setDotsPerMeterY(11811);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QDir(dir).filePath("text_measure_printer.pdf"));
    printer.setResolution(300);
    QPdfWriter writer(QDir(dir).filePath("text_measure_writer.pdf"));
    writer.setResolution(600);

    struct Device {
        const char* name;
        QPaintDevice* device;
        int dpi;
    };
    const Device devices[] = {
        {"screen image", &screen, 96},
        {"300-dpi image", &fine, 300},
        {"300-dpi printer", &printer, 300},
        {"600-dpi PDF writer", &writer, 600},
    };
    const std::string text = L("条码 Label 12345，标签");
    for (const char* face : {"宋体", "Arial"}) {
        const FontHandle logical = TextService::Instance().Font(L(face), 16, false, false);
        const TextRun expected = logical->Layout(text);
        for (const Device& d : devices) {
            QPainterCanvas c(d.device);
            ASSERT_EQ(c.PixelsPerInchY(), d.dpi) << d.name;
            // 12 points, and the same size given in the device's pixels.
            for (const TFont& font : {Face(face, 0, 12), Face(face, -MulDiv(16, d.dpi, 96))}) {
                c.SetFont(font);
                EXPECT_EQ(c.LogicalCharHeight(font), 16) << d.name;
                const TextRun run = c.TextLayout(text);
                ASSERT_EQ(run.Count(), expected.Count()) << d.name;
                for (std::size_t i = 0; i < run.Count(); ++i)
                    EXPECT_EQ(run.Positions[i], MulDiv(expected.Positions[i], d.dpi, 96))
                        << face << " on " << d.name << " character " << i;
                EXPECT_EQ(c.TextWidth(text), MulDiv(expected.Width, d.dpi, 96)) << d.name;
                EXPECT_EQ(c.TextMetrics().Height, MulDiv(logical->Metrics().Height, d.dpi, 96))
                    << d.name;
            }
        }
    }
    // The recorder with real fonts measures as the painter canvases do.
    RecordingCanvas recorder(TextMetricsSource::Fonts);
    QPainterCanvas c(&screen);
    for (const char* face : {"宋体", "Arial", "Times New Roman", "微软雅黑"}) {
        recorder.SetFont(Face(face, -15));
        c.SetFont(Face(face, -15));
        EXPECT_EQ(recorder.TextLayout(text).Positions, c.TextLayout(text).Positions) << face;
        EXPECT_EQ(recorder.TextMetrics(), c.TextMetrics()) << face;
    }
}

namespace {

// Draws `text` with its cell's top-left at (x, y) and checks the glyphs: each
// character's ink lies in its own cell (give or take `slack` pixels), blanks
// stay empty, and nothing is drawn above or below the cell.
void ExpectGlyphsInTheirCells(const QImage& image, const TextRun& run, const std::string& text,
                              int x, int y, int cellHeight, int slack, const std::string& what) {
    const QRect ink = InkBox(image);
    ASSERT_FALSE(ink.isEmpty()) << what;
    EXPECT_TRUE(
        QRect(x, y, run.Width, cellHeight).adjusted(-slack, -slack, slack, slack).contains(ink))
        << what << ": ink " << Describe(ink) << " cell " << x << "," << y << " " << run.Width << "x"
        << cellHeight;
    for (std::size_t i = 0; i < run.Count(); ++i) {
        const int left = x + run.Positions[i];
        const int right = x + run.Positions[i] + run.Advance(i); // exclusive
        const bool blank = text[run.Offsets[i]] == ' ';
        if (blank) {
            EXPECT_EQ(InkIn(image, QRect(left + slack, y, right - left - 2 * slack, cellHeight)), 0)
                << what << ": ink in blank " << i;
            continue;
        }
        const int inside = InkIn(image, QRect(left, y, right - left, cellHeight));
        EXPECT_GT(inside, 0) << what << ": no ink for character " << i;
        // Columns just outside the cell (beyond the slack) hold none of it:
        // checked through the neighbouring blanks above and the outer box.
    }
}

QImage RasterizePdf(const QString& pdf, int dpi, const QRect& crop) {
    const QString base = pdf + QStringLiteral("-page");
    QFile::remove(base + ".png");
    QProcess p;
    p.start("pdftoppm", {"-r", QString::number(dpi), "-x", QString::number(crop.x()), "-y",
                         QString::number(crop.y()), "-W", QString::number(crop.width()), "-H",
                         QString::number(crop.height()), "-png", "-singlefile", pdf, base});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return QImage();
    return QImage(base + ".png");
}

} // namespace

// Glyphs land where the measurement says, on every device, and PDF text stays text.
TEST_F(TextServiceTest, GlyphsLandWhereTheMeasurementSays) {
    if (!ToolAvailable("pdftoppm") || !ToolAvailable("pdftotext"))
        FAIL() << "pdftoppm or pdftotext missing: run scripts/setup to install poppler-utils";
    const std::string text = L("H 中 W 国 M");
    const QString dir = QString(TEST_OUTPUT_DIR);
    for (const char* face : {"宋体", "Arial"}) {
        const std::string tag = face == std::string("Arial") ? "arial" : "song";
        // Draws at (20, 10) logical pixels, i.e. scaled to the device.
        auto draw = [&](QPainterCanvas& c, int dpi) {
            c.SetFont(Face(face, 0, 18)); // 24 pixels at 96 dpi
            c.SetBkMode(bkTransparent);
            c.TextOut(MulDiv(20, dpi, 96), MulDiv(10, dpi, 96), text);
            return std::make_pair(c.TextLayout(text), c.TextMetrics().Height);
        };
        for (int dpi : {96, 300}) {
            QImage image(MulDiv(300, dpi, 96), MulDiv(50, dpi, 96), QImage::Format_RGB32);
            image.fill(Qt::white);
            image.setDotsPerMeterX(MulDiv(dpi, 10000, 254));
            image.setDotsPerMeterY(MulDiv(dpi, 10000, 254));
            TextRun run;
            int height = 0;
            {
                QPainterCanvas c(&image);
                ASSERT_EQ(c.PixelsPerInchX(), dpi);
                std::tie(run, height) = draw(c, dpi);
            }
            image.save(QDir(dir).filePath(
                QString::fromStdString("text_glyphs_" + tag + "_" + std::to_string(dpi) + ".png")));
            ExpectGlyphsInTheirCells(image, run, text, MulDiv(20, dpi, 96), MulDiv(10, dpi, 96),
                                     height, dpi == 96 ? 1 : 3,
                                     tag + " image at " + std::to_string(dpi));
        }
        // A 300-dpi printer and a 600-dpi PDF writer, read back through poppler.
        const QString printerPdf =
            QDir(dir).filePath(QString::fromStdString("text_glyphs_" + tag + "_printer.pdf"));
        const QString writerPdf =
            QDir(dir).filePath(QString::fromStdString("text_glyphs_" + tag + "_writer.pdf"));
        TextRun printerRun, writerRun;
        int printerHeight = 0, writerHeight = 0;
        {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(printerPdf);
            printer.setResolution(300);
            printer.setFullPage(true);
            QPainterCanvas c(&printer);
            std::tie(printerRun, printerHeight) = draw(c, 300);
        }
        {
            QPdfWriter writer(writerPdf);
            writer.setResolution(600);
            writer.setPageMargins(QMarginsF(0, 0, 0, 0));
            QPainterCanvas c(&writer);
            std::tie(writerRun, writerHeight) = draw(c, 600);
        }
        const QImage printed =
            RasterizePdf(printerPdf, 300, QRect(0, 0, MulDiv(300, 300, 96), MulDiv(50, 300, 96)));
        ASSERT_FALSE(printed.isNull()) << printerPdf.toStdString();
        ExpectGlyphsInTheirCells(printed, printerRun, text, MulDiv(20, 300, 96),
                                 MulDiv(10, 300, 96), printerHeight, 3, tag + " printer PDF");
        const QImage written =
            RasterizePdf(writerPdf, 600, QRect(0, 0, MulDiv(300, 600, 96), MulDiv(50, 600, 96)));
        ASSERT_FALSE(written.isNull()) << writerPdf.toStdString();
        ExpectGlyphsInTheirCells(written, writerRun, text, MulDiv(20, 600, 96), MulDiv(10, 600, 96),
                                 writerHeight, 6, tag + " writer PDF");
        // Text, not outlines: poppler reads the characters back.
        for (const QString& pdf : {printerPdf, writerPdf}) {
            QString extracted = RunTool("pdftotext", {pdf, "-"}).simplified();
            EXPECT_EQ(extracted.remove(' '), QStringLiteral("H中W国M")) << pdf.toStdString();
        }
    }
}

// Rotated by 90 degrees the text runs upward from its point, the cell to the
// right of the point; the first character is the lowest.
TEST_F(TextServiceTest, RotatedTextRunsUpwardFromItsPoint) {
    const std::string text = L("中国A");
    for (int dpi : {96, 300}) {
        const int x = MulDiv(40, dpi, 96);
        const int y = MulDiv(90, dpi, 96);
        QImage image(MulDiv(100, dpi, 96), MulDiv(100, dpi, 96), QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setDotsPerMeterX(MulDiv(dpi, 10000, 254));
        image.setDotsPerMeterY(MulDiv(dpi, 10000, 254));
        TextRun run;
        int height = 0;
        {
            QPainterCanvas c(&image);
            TFont f = Face("宋体", 0, 12);
            f.Escapement = 900;
            c.SetFont(f);
            c.SetBkMode(bkTransparent);
            c.TextOut(x, y, text);
            run = c.TextLayout(text);
            height = c.TextMetrics().Height;
        }
        EXPECT_EQ(run.Positions, (std::vector<int>{0, MulDiv(16, dpi, 96), MulDiv(32, dpi, 96)}));
        const int slack = dpi == 96 ? 1 : 3;
        const QRect ink = InkBox(image);
        EXPECT_TRUE(QRect(x, y - run.Width, height, run.Width)
                        .adjusted(-slack, -slack, slack, slack)
                        .contains(ink))
            << dpi << ": " << Describe(ink);
        for (std::size_t i = 0; i < run.Count(); ++i) {
            const QRect cell(x, y - run.Positions[i] - run.Advance(i), height, run.Advance(i));
            EXPECT_GT(InkIn(image, cell), 0) << dpi << " character " << i;
        }
        // The single-byte A is the top half-em cell; the cell below it is the 国.
        EXPECT_GT(ink.top(), y - run.Width - slack);
        EXPECT_LT(ink.top(), y - run.Positions[2] - MulDiv(2, dpi, 96));
    }
    // The recorder puts the same cell there.
    RecordingCanvas recorder(TextMetricsSource::Fonts);
    TFont f = Face("宋体", -16);
    f.Escapement = 900;
    recorder.SetFont(f);
    recorder.TextOut(40, 90, text);
    EXPECT_EQ(recorder.Records().back().Bounds, Rect(40, 50, 56, 90));
}

TEST_F(TextServiceTest, FontsByCellHeightAndPictureTextAtItsRecordedResolution) {
    QImage image(400, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    {
        // A positive height is the cell: the Song cell is its em, Arial's is larger.
        QPainterCanvas screen(&image);
        RecordingCanvas c(TextMetricsSource::Fonts);
        c.SetFont(Face("宋体", 16));
        EXPECT_EQ(c.LogicalCharHeight(c.Font()), 16);
        EXPECT_EQ(c.TextMetrics().Height, 16);
        c.SetFont(Face("Arial", 17));
        EXPECT_EQ(c.LogicalCharHeight(c.Font()), 15);
        EXPECT_EQ(c.TextMetrics().Height, 17);

        // A 96-dpi picture of text played onto the 300-dpi image at the same
        // physical size: its font heights are 96-dpi pixels, scaled with it.
        MetafileCanvas picture(120, 20);
        picture.SetFont(Face("宋体", -17));
        picture.SetBkMode(bkTransparent);
        picture.TextOut(0, 0, L("条码条码条码"));
        screen.StretchDraw(Rect(0, 0, MulDiv(120, 300, 96), MulDiv(20, 300, 96)),
                           picture.GetMetafile());
    }
    // Six 17-pixel characters: 102 x 3.125 = 319 pixels wide.
    const QRect ink = InkBox(image);
    EXPECT_TRUE(QRect(0, 0, 321, 56).contains(ink)) << Describe(ink);
    EXPECT_GE(ink.right(), 305) << Describe(ink);
}

// Right-to-left reading: runs keep their order inside, the line is reversed,
// neutrals between runs and brackets go with the paragraph and are mirrored.
TEST_F(TextServiceTest, RightToLeftVisualOrder) {
    struct Case {
        const char* logical;
        const char* visual;
    };
    const Case cases[] = {
        {"(ABC)!", "!(ABC)"},
        {"(ABC)! 123 abc", "123 abc !(ABC)"},
        {"abc 123", "abc 123"},
        {"123 abc", "abc 123"},
        {"1+2", "1+2"},
        {"ab ", " ab"},
        {"条码123", "条码123"},
        {"条码 (ABC)", "条码 (ABC)"},
        {"[x] y", "y [x]"},
        {"-5", "5-"},
        {"", ""},
    };
    for (const Case& c : cases) {
        const QString logical = QString::fromUtf8(c.logical);
        std::vector<char32_t> chars;
        for (char32_t ch : logical.toUcs4()) chars.push_back(ch);
        const VisualLine line = RightToLeftOrder(chars);
        QString shown;
        for (std::size_t i : line.Order) {
            const char32_t ch = line.Mirrored[i] ? QChar::mirroredChar(chars[i]) : chars[i];
            shown += QString::fromUcs4(&ch, 1);
        }
        EXPECT_EQ(shown.toStdString(), c.visual) << c.logical;
    }
}
