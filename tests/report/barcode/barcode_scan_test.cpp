// Every symbology a scanner can read is painted at 0, 90, 180 and 270 degrees and must
// come back from zbarimg and ZXingReader as the expected value, check characters
// included. The samples between them use every character of every table.

#include "report/barcode/barcode_images.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using barcode_test::OutputPath;
using barcode_test::RenderRow;
using barcode_test::RunTool;
using barcode_test::ToolAvailable;

struct Sample {
    const char* text;
    bool checksum;
    const char* zbar;  // zbarimg's "TYPE:data" line; nullptr where zbar cannot read it
    const char* zxing; // ZXingReader's "Format \"data\""; nullptr where it cannot
};

struct Symbology {
    TfrBarcodeType typ;
    std::vector<Sample> samples;
    const char* mainSymbol = nullptr; // EAN-13 printed before an add-on
};

// Expected values are written out by hand from the standards, not computed here.
const std::vector<Symbology>& Symbologies() {
    static const std::vector<Symbology> all = {
        {bcCode_2_5_interleaved,
         {
             {"12345678", false, "I2/5:12345678", "ITF \"12345678\""},
             {"9876543210", false, "I2/5:9876543210", "ITF \"9876543210\""},
             {"12345", false, "I2/5:012345", "ITF \"012345\""}, // leading "0", not a lost 5
         }},
        {bcCode39,
         {
             {"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ", false,
              "CODE-39:0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ",
              "Code39 \"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\""},
             {"-. $/+%", true, "CODE-39:-. $/+%F", "Code39 \"-. $/+%F\""},
             {"CODE39", true, "CODE-39:CODE39W", "Code39 \"CODE39W\""},
             {"-1", true, "CODE-39:-1.", "Code39 \"-1.\""},
         }},
        // Neither reader turns full-ASCII pairs back into characters: they return the
        // Code 39 characters printed.
        {bcCode39Extended,
         {
             {"ab-1.2*~", false, "CODE-39:+A+B/M1/N2/J%S", "Code39 \"+A+B/M1/N2/J%S\""},
             {"Hello", true, "CODE-39:H+E+L+L+O3", "Code39 \"H+E+L+L+O3\""},
             {"\x01\x1f{}!:;@[`", false, "CODE-39:$A%E%P%R/A/Z%F%V%K%W",
              "Code39 \"$A%E%P%R/A/Z%F%V%K%W\""},
         }},
        {bcCode128A,
         {
             {" !\"#$%&'()*+,-./0123456789:;<=>?", false,
              "CODE-128: !\"#$%&'()*+,-./0123456789:;<=>?",
              "Code128 \" !\"#$%&'()*+,-./0123456789:;<=>?\""},
             {"@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_", false,
              "CODE-128:@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_",
              "Code128 \"@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_\""},
         }},
        {bcCode128B,
         {
             {"`abcdefghijklmnopqrstuvwxyz{|}~", false, "CODE-128:`abcdefghijklmnopqrstuvwxyz{|}~",
              "Code128 \"`abcdefghijklmnopqrstuvwxyz{|}~\""},
             {"a,b", false, "CODE-128:a,b", "Code128 \"a,b\""},
         }},
        {bcCode128C,
         {
             {"00112233445566778899", false, "CODE-128:00112233445566778899",
              "Code128 \"00112233445566778899\""},
             {"10203040506070809", false, "CODE-128:010203040506070809",
              "Code128 \"010203040506070809\""},
             {"123", false, "CODE-128:0123", "Code128 \"0123\""},
         }},
        {bcCode93,
         {
             {"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%", false,
              "CODE-93:0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%",
              "Code93 \"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%\""},
             {"TEST93", false, "CODE-93:TEST93", "Code93 \"TEST93\""},
             // 25 characters: both check weights wrap around
             {"ABCDEFGHIJKLMNOPQRSTUVWXY", false, "CODE-93:ABCDEFGHIJKLMNOPQRSTUVWXY",
              "Code93 \"ABCDEFGHIJKLMNOPQRSTUVWXY\""},
         }},
        {bcCode93Extended,
         {
             {"ab-1.2*~@", false, "CODE-93:ab-1.2*~@", "Code93 \"ab-1.2*~@\""},
             {"Label no. 42 {x}", false, "CODE-93:Label no. 42 {x}", "Code93 \"Label no. 42 {x}\""},
         }},
        {bcCodeCodabar,
         {
             {"0123456789-$:/.+", false, "Codabar:A0123456789-$:/.+B",
              "Codabar \"0123456789-$:/.+\""},
             {"40156", false, "Codabar:A40156B", "Codabar \"40156\""},
         }},
        {bcCodeEAN8,
         {
             {"1234567", true, "EAN-8:12345670", "EAN-8 \"12345670\""},
             {"96385074", false, "EAN-8:96385074", "EAN-8 \"96385074\""},
             {"5512345", true, "EAN-8:55123457", "EAN-8 \"55123457\""},
         }},
        // ZXing reports an EAN-13 with a leading 0 as the UPC-A it is.
        {bcCodeEAN13,
         {
             {"590123412345", true, "EAN-13:5901234123457", "EAN-13 \"5901234123457\""},
             {"690123456789", true, "EAN-13:6901234567892", "EAN-13 \"6901234567892\""},
             {"", true, "EAN-13:0000000000000", "UPC-A \"000000000000\""},
             {"023456789012", true, "EAN-13:0234567890129", "UPC-A \"234567890129\""},
             {"123456789012", true, "EAN-13:1234567890128", "EAN-13 \"1234567890128\""},
             {"223456789012", true, "EAN-13:2234567890127", "EAN-13 \"2234567890127\""},
             {"323456789012", true, "EAN-13:3234567890126", "EAN-13 \"3234567890126\""},
             {"4234567890125", false, "EAN-13:4234567890125", "EAN-13 \"4234567890125\""},
             {"5234567890124", true, "EAN-13:5234567890124", "EAN-13 \"5234567890124\""},
             {"623456789012", true, "EAN-13:6234567890123", "EAN-13 \"6234567890123\""},
             {"723456789012", true, "EAN-13:7234567890122", "EAN-13 \"7234567890122\""},
             {"823456789012", true, "EAN-13:8234567890121", "EAN-13 \"8234567890121\""},
             {"923456789012", true, "EAN-13:9234567890120", "EAN-13 \"9234567890120\""},
         }},
        // zbar reports UPC-A in its EAN-13 form, with a leading 0.
        {bcCodeUPC_A,
         {
             {"01234567890", true, "EAN-13:0012345678905", "UPC-A \"012345678905\""},
             {"12345", true, "EAN-13:0000000123457", "UPC-A \"000000123457\""},
             {"036000291452", false, "EAN-13:0036000291452", "UPC-A \"036000291452\""},
         }},
        // zbar reports UPC-E expanded to the UPC-A number, in EAN-13 form; ZXing as number
        // system + six digits + check digit. Between them the samples use all ten parity
        // rows and every expansion rule.
        {bcCodeUPC_E0,
         {
             {"123456", true, "EAN-13:0012345000065", "UPC-E \"01234565\""},
             {"654321", true, "EAN-13:0065100004327", "UPC-E \"06543217\""},
             {"120003", true, "EAN-13:0012000000003", "UPC-E \"01200033\""},
             {"432104", true, "EAN-13:0043210000002", "UPC-E \"04321042\""},
             {"555555", true, "EAN-13:0055555000050", "UPC-E \"05555550\""},
             {"987650", true, "EAN-13:0098000007655", "UPC-E \"09876505\""},
             {"2468028", false, "EAN-13:0024200006808", "UPC-E \"02468028\""},
             {"001234", true, "EAN-13:0000120000034", "UPC-E \"00012344\""},
             {"100000", true, "EAN-13:0010000000009", "UPC-E \"01000009\""},
             {"131676", true, "EAN-13:0013167000066", "UPC-E \"01316766\""},
             {"171271", true, "EAN-13:0017100001271", "UPC-E \"01712711\""},
         }},
        // zbar reads no number system 1.
        {bcCodeUPC_E1,
         {
             {"123456", true, nullptr, "UPC-E \"11234562\""},
             {"654321", true, nullptr, "UPC-E \"16543214\""},
         }},
        // Add-ons follow an EAN-13; ZXing reports both together.
        {bcCodeUPC_Supp2,
         {
             {"12", false, "EAN-2:12", "EAN-13 \"5901234123457 12\""},
             {"13", true, "EAN-2:13", "EAN-13 \"5901234123457 13\""},
             {"14", false, "EAN-2:14", "EAN-13 \"5901234123457 14\""},
             {"7", false, "EAN-2:07", "EAN-13 \"5901234123457 07\""},
         },
         "5901234123457"},
        {bcCodeUPC_Supp5,
         {
             {"12345", false, "EAN-5:12345", "EAN-13 \"5901234123457 12345\""},
             {"52495", true, "EAN-5:52495", "EAN-13 \"5901234123457 52495\""},
             {"0", false, "EAN-5:00000", "EAN-13 \"5901234123457 00000\""},
             {"90000", false, "EAN-5:90000", "EAN-13 \"5901234123457 90000\""},
             {"24680", false, "EAN-5:24680", "EAN-13 \"5901234123457 24680\""},
             {"13579", false, "EAN-5:13579", "EAN-13 \"5901234123457 13579\""},
             {"11111", false, "EAN-5:11111", "EAN-13 \"5901234123457 11111\""},
             {"98765", false, "EAN-5:98765", "EAN-13 \"5901234123457 98765\""},
             {"31415", false, "EAN-5:31415", "EAN-13 \"5901234123457 31415\""},
             {"10000", false, "EAN-5:10000", "EAN-13 \"5901234123457 10000\""},
             {"10777", false, "EAN-5:10777", "EAN-13 \"5901234123457 10777\""},
             {"23209", false, "EAN-5:23209", "EAN-13 \"5901234123457 23209\""},
         },
         "5901234123457"},
        // FNC1 after the start marks GS1 data; readers drop it.
        {bcCodeEAN128A,
         {
             {"ABC123", false, "CODE-128:ABC123", "Code128 \"ABC123\""},
             {"123", true, "CODE-128:1236", "Code128 \"1236\""},
         }},
        {bcCodeEAN128B,
         {
             {"abc-123", false, "CODE-128:abc-123", "Code128 \"abc-123\""},
         }},
        {bcCodeEAN128C,
         {
             {"0195012345678903", false, "CODE-128:0195012345678903",
              "Code128 \"0195012345678903\""},
             {"123", true, "CODE-128:1236", "Code128 \"1236\""},
             {"12", true, "CODE-128:0123", "Code128 \"0123\""},
         }},
    };
    return all;
}

constexpr int Modul = 3;
constexpr int BarHeight = 90;
constexpr int Margin = 20 * Modul;
constexpr int AddOnGap = 9 * Modul;

std::string ZxingLine(const std::string& line) {
    // "<file> <format> \"<text>\"" -> "<format> \"<text>\""
    const std::size_t space = line.find(' ');
    return space == std::string::npos ? line : line.substr(space + 1);
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class BarcodeScan : public ::testing::TestWithParam<TfrBarcodeType> {};

TEST_P(BarcodeScan, ReadersReturnTheValueAtEveryRotation) {
    if (!ToolAvailable("zbarimg") || !ToolAvailable("ZXingReader"))
        FAIL() << "zbarimg or ZXingReader missing: run scripts/setup to install them";
    const auto& all = Symbologies();
    const auto it = std::find_if(all.begin(), all.end(),
                                 [](const Symbology& s) { return s.typ == GetParam(); });
    ASSERT_NE(it, all.end());
    const Symbology& symbology = *it;
    const QString name = QString(BarcodeTypeTable[symbology.typ].Name).replace(' ', '_');

    int index = 0;
    for (const Sample& sample : symbology.samples) {
        ++index;
        for (int angle : {0, 90, 180, 270}) {
            SCOPED_TRACE(std::string(BarcodeTypeTable[symbology.typ].Name) + " <" + sample.text +
                         "> at " + std::to_string(angle));
            TfrBarcode main;
            TfrBarcode barcode;
            std::vector<TfrBarcode*> parts;
            if (symbology.mainSymbol) {
                main.SetText(symbology.mainSymbol);
                main.SetModul(Modul);
                main.SetHeight(BarHeight);
                parts.push_back(&main);
            }
            barcode.SetTyp(symbology.typ);
            barcode.SetCheckSum(sample.checksum);
            barcode.SetText(sample.text);
            barcode.SetModul(Modul);
            barcode.SetHeight(symbology.mainSymbol ? BarHeight * 4 / 5 : BarHeight);
            parts.push_back(&barcode);

            const QString file =
                OutputPath(QString("scan_%1_%2_%3.png").arg(name).arg(index).arg(angle));
            ASSERT_TRUE(RenderRow(parts, angle, AddOnGap, Margin).save(file));

            if (sample.zbar) {
                const auto lines =
                    RunTool("zbarimg", {"-q", "-Sean2.enable", "-Sean5.enable", file});
                EXPECT_TRUE(Contains(lines, sample.zbar))
                    << "zbarimg read: " << ::testing::PrintToString(lines) << " from "
                    << file.toStdString();
            }
            if (sample.zxing) {
                std::vector<std::string> results;
                for (const std::string& line : RunTool("ZXingReader", {"-1", file}))
                    results.push_back(ZxingLine(line));
                EXPECT_TRUE(Contains(results, sample.zxing))
                    << "ZXingReader read: " << ::testing::PrintToString(results) << " from "
                    << file.toStdString();
            }
        }
    }
}

std::string TypeName(const ::testing::TestParamInfo<TfrBarcodeType>& info) {
    std::string name = BarcodeTypeTable[info.param].Name;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(AllReadable, BarcodeScan,
                         ::testing::Values(bcCode_2_5_interleaved, bcCode39, bcCode39Extended,
                                           bcCode128A, bcCode128B, bcCode128C, bcCode93,
                                           bcCode93Extended, bcCodeCodabar, bcCodeEAN8, bcCodeEAN13,
                                           bcCodeUPC_A, bcCodeUPC_E0, bcCodeUPC_E1, bcCodeUPC_Supp2,
                                           bcCodeUPC_Supp5, bcCodeEAN128A, bcCodeEAN128B,
                                           bcCodeEAN128C),
                         TypeName);

} // namespace
