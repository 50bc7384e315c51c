// No scanner here reads 2 of 5 industrial or matrix, MSI or PostNet, so their modules are
// read back from the painted image, at every rotation, and compared with what
// `zint --dump` encodes for the same data.
//
// Intended differences: zint draws 2 of 5 wide elements 3 modules wide, so those compare
// at Ratio 3; zint spaces PostNet bars 1:1, so PostNet compares at Ratio 1; zint always
// appends the PostNet check digit, which this encoder leaves to the text, so our text is
// zint's data with that digit appended.

#include "report/barcode/barcode_images.h"

#include <gtest/gtest.h>

namespace {

using barcode_test::OutputPath;
using barcode_test::RenderRow;
using barcode_test::RunTool;
using barcode_test::ToolAvailable;

struct ZintCase {
    TfrBarcodeType typ;
    double ratio;
    const char* text;
    const char* zintSymbology;
    const char* zintData;
    const char* zintOption; // nullptr for none
};

const ZintCase Cases[] = {
    {bcCode_2_5_industrial, 3.0, "1234567890", "C25IND", "1234567890", nullptr},
    {bcCode_2_5_industrial, 3.0, "0", "C25IND", "0", nullptr},
    {bcCode_2_5_matrix, 3.0, "1234567890", "C25STANDARD", "1234567890", nullptr},
    {bcCode_2_5_matrix, 3.0, "5", "C25STANDARD", "5", nullptr},
    {bcCodeMSI, 2.0, "1234567", "MSI_PLESSEY", "1234567", "--vers=1"}, // check digit 4
    {bcCodeMSI, 2.0, "123456", "MSI_PLESSEY", "123456", "--vers=1"},
    {bcCodeMSI, 2.0, "9876543210", "MSI_PLESSEY", "9876543210", "--vers=1"},
    {bcCodeMSI, 2.0, "0", "MSI_PLESSEY", "0", "--vers=1"},
    {bcCodePostNet, 1.0, "123455", "POSTNET", "12345", nullptr},
    {bcCodePostNet, 1.0, "1234567895", "POSTNET", "123456789", nullptr},
    {bcCodePostNet, 1.0, "123456789014", "POSTNET", "12345678901", nullptr},
};

// zint's rows of hex digits as strings of "1" (bar) and "0", trailing spaces dropped.
std::vector<std::string> ZintRows(const ZintCase& c) {
    QStringList args{"-b", c.zintSymbology, "-d", c.zintData, "--dump"};
    if (c.zintOption) args << c.zintOption;
    std::vector<std::string> rows;
    for (const std::string& line : RunTool("zint", args)) {
        std::string bits;
        for (const QString& byte : QString::fromStdString(line).split(' ', Qt::SkipEmptyParts)) {
            bool ok = false;
            const int value = byte.toInt(&ok, 16);
            if (!ok) return {}; // a message, not a dump
            // two hex digits a byte; a last lone digit holds four modules
            for (int bit = static_cast<int>(byte.size()) * 4 - 1; bit >= 0; --bit)
                bits += (value >> bit) & 1 ? '1' : '0';
        }
        rows.push_back(bits.substr(0, bits.find_last_of('1') + 1));
    }
    return rows;
}

constexpr int Height = 20;
constexpr int Margin = 5;

// The modules along the line `py` units below the top edge of the unrotated barcode.
std::string ReadModules(const QImage& image, int angle, int width, int py) {
    std::string bits;
    for (int px = 0; px < width; ++px) {
        const int L = Margin;
        const int T = Margin;
        QPoint p;
        switch (angle) {
        case 0:
            p = QPoint(L + px, T + py);
            break;
        case 90:
            p = QPoint(L + py, T + width - px);
            break;
        case 180:
            p = QPoint(L + width - px, T + Height - py);
            break;
        default:
            p = QPoint(L + Height - py, T + px);
            break;
        }
        bits += qGray(image.pixel(p)) < 128 ? '1' : '0';
    }
    return bits.substr(0, bits.find_last_of('1') + 1);
}

TEST(BarcodeZint, ModulesMatchAtEveryRotation) {
    if (!ToolAvailable("zint")) FAIL() << "zint missing: run scripts/setup to install it";
    int index = 0;
    for (const ZintCase& c : Cases) {
        ++index;
        const std::vector<std::string> expected = ZintRows(c);
        const bool postnet = c.typ == bcCodePostNet;
        ASSERT_EQ(expected.size(), postnet ? 2u : 1u) << c.zintData;
        for (int angle : {0, 90, 180, 270}) {
            SCOPED_TRACE(std::string(BarcodeTypeTable[c.typ].Name) + " <" + c.text + "> at " +
                         std::to_string(angle));
            TfrBarcode barcode;
            barcode.SetTyp(c.typ);
            barcode.SetRatio(c.ratio);
            barcode.SetText(c.text);
            barcode.SetHeight(Height);
            const int width = barcode.Width();
            const QImage image = RenderRow({&barcode}, angle, 0, Margin);
            image.save(OutputPath(QString("zint_%1_%2.png").arg(index).arg(angle)));
            if (postnet) {
                // Short bars hang from the top edge: near it every bar shows, further
                // down only the tall ones, as in zint's two rows.
                EXPECT_EQ(ReadModules(image, angle, width, Height - 3), expected[0]);
                EXPECT_EQ(ReadModules(image, angle, width, 3), expected[1]);
            } else {
                EXPECT_EQ(ReadModules(image, angle, width, Height / 2), expected[0]);
            }
        }
    }
}

} // namespace
