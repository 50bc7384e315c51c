// Encoder rules that need no scanner: text rewriting, check digits, widths, property
// changes and refusals. That the bars themselves are right is shown by the scanner and
// zint comparisons beside this file.

#include "report/barcode/barcode.h"
#include "report/barcode/barcode_pattern.h"

#include "platform/rtl/sysutils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

struct Built {
    std::string text;
    int width;
};

Built Build(TfrBarcodeType typ, const std::string& text, bool checksum = false,
            TfrCheckSumMethod method = csmModulo10) {
    TfrBarcode b;
    b.SetTyp(typ);
    b.SetCheckSum(checksum);
    b.SetCheckSumMethod(method);
    b.SetText(text);
    const int width = b.Width();
    return {b.Text(), width};
}

std::string FailureOf(TfrBarcodeType typ, const std::string& text, bool checksum = false,
                      TfrCheckSumMethod method = csmModulo10) {
    TfrBarcode b;
    b.SetTyp(typ);
    b.SetCheckSum(checksum);
    b.SetCheckSumMethod(method);
    b.SetText(text);
    try {
        b.BuildPattern();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no failure)";
}

} // namespace

TEST(BarcodeCheckDigits, SharedRoutines) {
    struct Case {
        const char* digits;
        char modulo10;
        char addOn;
    };
    const Case cases[] = {
        {"", '0', '0'},
        {"590123412345", '7', '9'},
        {"690123456789", '2', '6'},
        {"01234567890", '5', '5'},
        {"9638507", '4', '8'},
        {"12345", '7', '1'},
        {"52495", '7', '1'},
        {"07", '9', '1'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.digits);
        EXPECT_EQ(barcode::Modulo10Digit(c.digits), c.modulo10);
        EXPECT_EQ(barcode::AddOnDigit(c.digits), c.addOn);
    }
    EXPECT_EQ(barcode::AddCheckDigit("123", csmNone), "123");
    EXPECT_EQ(barcode::AddCheckDigit("123", csmModulo10), "1236");
    EXPECT_THROW(barcode::Modulo10Digit("12A"), EBarcodeError);
}

// Symbologies whose check digit ends up in Text, and the zero fill and leading "0" rules.
TEST(BarcodeCheckDigits, TextAfterBuild) {
    struct Case {
        TfrBarcodeType typ;
        const char* text;
        bool checksum;
        const char* after;
        int width; // at Modul 1, Ratio 2
    };
    const Case cases[] = {
        {bcCodeEAN13, "", false, "0000000000000", 95},
        {bcCodeEAN13, "", true, "0000000000000", 95},
        {bcCodeEAN13, "590123412345", true, "5901234123457", 95},
        {bcCodeEAN13, "5901234123457", true, "5901234123457", 95}, // right digit kept
        {bcCodeEAN13, "5901234123457", false, "5901234123457", 95},
        {bcCodeEAN13, "  690123456789\t", true, "6901234567892", 95},
        {bcCodeEAN13, "12", false, "0000000000012", 95},
        {bcCodeEAN8, "1234567", true, "1234567", 67}, // EAN-8 keeps the text as given
        {bcCodeEAN8, "96385074", false, "96385074", 67},
        {bcCodeUPC_A, "01234567890", true, "012345678905", 95},
        {bcCodeUPC_A, "12345", true, "000000123457", 95},
        {bcCodeUPC_A, "12345", false, "000000012345", 95},
        {bcCodeUPC_E0, "123456", true, "1234565", 51},
        {bcCodeUPC_E1, "123456", true, "1234562", 51},
        {bcCodeUPC_E0, "1234565", false, "1234565", 51},
        {bcCodeUPC_E0, "654321", true, "6543217", 51},
        {bcCodeUPC_Supp2, "7", false, "07", 20},
        {bcCodeUPC_Supp2, "7", true, "071", 20},
        {bcCodeUPC_Supp5, "12345", false, "12345", 47},
        {bcCodeUPC_Supp5, "12345", true, "123451", 47},
        {bcCodeUPC_Supp5, "123451", true, "123451", 47},
        {bcCode_2_5_interleaved, "12345", false, "012345", 4 + 3 * 14 + 4},
        {bcCode128C, "123", false, "0123", 11 + 2 * 11 + 11 + 13},
        {bcCodeEAN128C, "123", true, "1236", 11 + 11 + 2 * 11 + 11 + 13},
        {bcCodeEAN128C, "12", true, "0123", 11 + 11 + 2 * 11 + 11 + 13},
        {bcCodeEAN128B, "AB", false, "AB", 11 + 11 + 2 * 11 + 11 + 13},
        {bcCode39Extended, "ab", false, "ab", 6 * 12 + 5},
        {bcCodeMSI, " 1234567 ", false, "1234567", 3 + 8 * 12 + 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(BarcodeTypeTable[c.typ].Name) + " <" + c.text + ">");
        const Built b = Build(c.typ, c.text, c.checksum);
        EXPECT_EQ(b.text, c.after);
        EXPECT_EQ(b.width, c.width);
    }
}

TEST(BarcodeCheckDigits, RebuildingDoesNotAddAnotherDigit) {
    TfrBarcode b;
    b.SetTyp(bcCodeEAN128C);
    b.SetCheckSum(true);
    b.SetText("123");
    const int first = b.Width();
    EXPECT_EQ(b.Width(), first);
    b.BuildPattern();
    EXPECT_EQ(b.Text(), "1236");
    // Setting the shown text makes it the data: its own check digit is added.
    b.SetText(b.Text());
    b.BuildPattern();
    EXPECT_EQ(b.Text(), "012362");
}

TEST(BarcodeRefusals, Messages) {
    struct Case {
        TfrBarcodeType typ;
        const char* text;
        bool checksum;
        TfrCheckSumMethod method;
        const char* message;
    };
    const Case cases[] = {
        {bcCodeEAN13, "12a", false, csmModulo10, "Barcode must be numeric"},
        {bcCodePostNet, "1234A", false, csmModulo10, "Barcode must be numeric"},
        {bcCodeMSI, "12 34", false, csmModulo10, "Barcode must be numeric"},
        {bcCode128C, "1.5", false, csmModulo10, "Barcode must be numeric"},
        {bcCode93, "abc", false, csmModulo10, "TfrBarcode:Code93 bad Data <abc>"},
        {bcCode93, "A[B", false, csmModulo10, "TfrBarcode:Code93 bad Data <A[B>"},
        {bcCodeEAN8, "123", true, csmNone, "Invalid Text len (EAN8)"},
        {bcCodeEAN13, "123", true, csmNone, "Invalid Text len (EAN13)"},
        {bcCodeEAN128A, "AB", true, csmModulo10, "Barcode must be numeric"},
        {bcCodeEAN128B, "1-2", true, csmModulo10, "Barcode must be numeric"},
        // Text that would otherwise be printed as something else:
        {bcCode39, "ab-1", false, csmModulo10, "TfrBarcode:Code39 bad Data <ab-1>"},
        {bcCode39, "A*B", false, csmModulo10, "TfrBarcode:Code39 bad Data <A*B>"},
        {bcCode39Extended, "A\xB0\xA1", false, csmModulo10,
         "TfrBarcode:Code39 Extended bad Data <A\xB0\xA1>"},
        {bcCode93Extended, "\xB0\xA1", false, csmModulo10,
         "TfrBarcode:Code93 Extended bad Data <\xB0\xA1>"},
        {bcCode128A, "Ab", false, csmModulo10, "TfrBarcode:Code128A bad Data <Ab>"},
        {bcCode128B, "A\tB", false, csmModulo10, "TfrBarcode:Code128B bad Data <A\tB>"},
        {bcCode128B, "\x80", false, csmModulo10, "TfrBarcode:Code128B bad Data <\x80>"},
        {bcCodeEAN128A, "a", false, csmModulo10, "TfrBarcode:EAN128A bad Data <a>"},
        {bcCodeCodabar, "12x3", false, csmModulo10, "TfrBarcode:Codebar bad Data <12x3>"},
        {bcCodeCodabar, "A123B", false, csmModulo10, "TfrBarcode:Codebar bad Data <A123B>"},
        {bcCodeEAN13, "59012341234570", false, csmModulo10, "Invalid Text len (EAN13)"},
        {bcCodeEAN13, "5901234123450", true, csmModulo10, "Invalid check digit (EAN13)"},
        {bcCodeEAN8, "123456789", false, csmModulo10, "Invalid Text len (EAN8)"},
        {bcCodeEAN8, "12345678", true, csmModulo10, "Invalid check digit (EAN8)"},
        {bcCodeUPC_A, "0123456789012", false, csmModulo10, "Invalid Text len (UPC_A)"},
        {bcCodeUPC_A, "012345678901", true, csmModulo10, "Invalid check digit (UPC_A)"},
        {bcCodeUPC_A, "01234567890", true, csmNone, "Invalid Text len (UPC_A)"},
        {bcCodeUPC_E0, "12345656", false, csmModulo10, "Invalid Text len (UPC_E0)"},
        {bcCodeUPC_E0, "1234560", true, csmModulo10, "Invalid check digit (UPC_E0)"},
        {bcCodeUPC_E0, "1234560", false, csmModulo10, "Invalid check digit (UPC_E0)"},
        {bcCodeUPC_E1, "1234565", false, csmModulo10, "Invalid check digit (UPC_E1)"},
        {bcCodeUPC_E0, "123456", true, csmNone, "Invalid Text len (UPC_E0)"},
        {bcCodeUPC_Supp2, "123", false, csmModulo10, "Invalid Text len (UPC Supp2)"},
        {bcCodeUPC_Supp2, "123", true, csmModulo10, "Invalid check digit (UPC Supp2)"},
        {bcCodeUPC_Supp5, "123456", false, csmModulo10, "Invalid Text len (UPC Supp5)"},
        {bcCodeUPC_Supp5, "1234567", true, csmModulo10, "Invalid Text len (UPC Supp5)"},
        {static_cast<TfrBarcodeType>(23), "1", false, csmModulo10, "TfrBarcode: wrong BarcodeType"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("<") + c.text + ">");
        EXPECT_EQ(FailureOf(c.typ, c.text, c.checksum, c.method), c.message);
    }
}

TEST(BarcodeRefusals, TextKeepsRewritingDoneBeforeTheFailure) {
    TfrBarcode b;
    b.SetTyp(bcCodeUPC_A);
    b.SetText(" 12a ");
    EXPECT_THROW(b.BuildPattern(), EBarcodeError);
    EXPECT_EQ(b.Text(), "12a");
    b.SetTyp(bcCodeCodabar);
    b.SetText("1a");
    EXPECT_THROW(b.Width(), EBarcodeError);
    EXPECT_EQ(b.Text(), "1a");
}

TEST(BarcodePattern, AlphabetAndInternalError) {
    const barcode::ElementWidths w = barcode::ComputeElementWidths(2, 2.5);
    EXPECT_EQ(w.w[0], 2);
    EXPECT_EQ(w.w[1], 5);
    EXPECT_EQ(w.w[2], 7);
    EXPECT_EQ(w.w[3], 10);
    EXPECT_EQ(barcode::PatternWidth("0123", w), 24);
    EXPECT_EQ(barcode::PatternWidth("5678ABCD", w), 48);
    EXPECT_EQ(barcode::GetElementWidth('C', w).kind, barcode::lkShortBar);
    EXPECT_EQ(barcode::GetElementWidth('6', w).kind, barcode::lkBar);
    EXPECT_EQ(barcode::GetElementWidth('2', w).kind, barcode::lkSpace);
    try {
        barcode::GetElementWidth('4', w);
        FAIL() << "no failure";
    } catch (const EBarcodeError& e) {
        EXPECT_STREQ(e.what(), "TfrBarcode: internal Error");
    }
    EXPECT_EQ(barcode::ComputeElementWidths(1, 2.5).w[1], 2); // ties to even
    EXPECT_EQ(barcode::ComputeElementWidths(3, 2.5).w[1], 8);
}

TEST(BarcodePattern, WidthFollowsModulAndRatio) {
    // Code 39 with no text: "*" gap "*", each three wide and six narrow elements.
    TfrBarcode b;
    b.SetTyp(bcCode39);
    EXPECT_EQ(b.Width(), 2 * (3 * 2 + 6) + 1);
    b.SetModul(2);
    b.SetRatio(2.5);
    EXPECT_EQ(b.Width(), 2 * (3 * 5 + 6 * 2) + 2);
    // Wide elements beyond 127 units are drawn at their width, not wrapped around.
    b.SetModul(49);
    b.SetRatio(3.0);
    EXPECT_EQ(b.Width(), 2 * (3 * 147 + 6 * 49) + 49);
}

TEST(BarcodePattern, UnusableRatioIsRefused) {
    for (double ratio : {0.2, -2.0, std::numeric_limits<double>::quiet_NaN(), 1e12}) {
        SCOPED_TRACE(ratio);
        TfrBarcode b;
        b.SetTyp(bcCode128B); // takes any ratio
        b.SetRatio(ratio);
        EXPECT_THROW(b.Width(), EBarcodeError);
    }
}

TEST(BarcodeProperties, DefaultsAndNotifications) {
    TfrBarcode b;
    EXPECT_EQ(b.Typ(), bcCodeEAN13);
    EXPECT_EQ(b.Modul(), 1);
    EXPECT_EQ(b.Ratio(), 2.0);
    EXPECT_EQ(b.CheckSumMethod(), csmModulo10);
    EXPECT_EQ(b.Color(), 0xFFFFFFu);
    EXPECT_EQ(b.ColorBar(), 0u);
    EXPECT_FALSE(b.Checksum());

    int changes = 0;
    TfrBarcode* sender = nullptr;
    b.OnChange = [&](TfrBarcode* s) {
        ++changes;
        sender = s;
    };
    b.SetModul(0);
    b.SetModul(50);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(b.Modul(), 1);
    b.SetModul(1); // accepted values always notify
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(sender, &b);

    b.SetHeight(0);
    b.SetText("");
    b.SetTop(0);
    b.SetLeft(0);
    b.SetRatio(2.0);
    b.SetTyp(bcCodeEAN13);
    b.SetCheckSum(false);
    b.SetAngle(0);
    b.SetCheckSumMethod(csmNone);
    b.SetColor(0x123456);
    b.SetColorBar(0x654321);
    EXPECT_EQ(changes, 1);

    b.SetHeight(5);
    b.SetText("1");
    b.SetTop(1);
    b.SetLeft(1);
    b.SetRatio(2.5);
    b.SetTyp(bcCode39);
    b.SetCheckSum(true);
    b.SetAngle(90);
    EXPECT_EQ(changes, 9);
}

TEST(BarcodeProperties, RatioIsClampedPerTypeWhenBuilding) {
    struct Case {
        TfrBarcodeType typ;
        double ratio;
        double clamped;
    };
    const Case cases[] = {
        {bcCode39, 1.5, 2.0},    {bcCode39, 3.5, 3.0},   {bcCode_2_5_matrix, 2.0, 2.25},
        {bcCodeEAN13, 2.6, 2.6}, {bcCode128B, 1.5, 1.5}, {bcCodePostNet, 1.0, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(BarcodeTypeTable[c.typ].Name);
        TfrBarcode b;
        b.SetTyp(c.typ);
        b.SetText("12");
        b.SetRatio(c.ratio);
        int changes = 0;
        b.OnChange = [&](TfrBarcode*) { ++changes; };
        b.BuildPattern();
        EXPECT_EQ(b.Ratio(), c.clamped);
        EXPECT_EQ(changes, c.ratio == c.clamped ? 0 : 1);
    }
}

TEST(BarcodeProperties, WritingWidthRescalesModul) {
    TfrBarcode b; // EAN-13, 95 modules
    int changes = 0;
    b.OnChange = [&](TfrBarcode*) { ++changes; };
    b.SetWidth(190);
    EXPECT_EQ(b.Modul(), 2);
    b.SetWidth(300); // 2 * 300 div 190
    EXPECT_EQ(b.Modul(), 3);
    b.SetWidth(95 * 60); // would be 60: ignored
    EXPECT_EQ(b.Modul(), 3);
    b.SetWidth(10); // would be 0: ignored
    EXPECT_EQ(b.Modul(), 3);
    EXPECT_EQ(changes, 2);
}

TEST(BarcodeProperties, AssignCopiesWithoutNotifying) {
    TfrBarcode a;
    a.SetTyp(bcCodeEAN128C);
    a.SetCheckSum(true);
    a.SetText("123");
    a.SetHeight(40);
    a.SetTop(3);
    a.SetLeft(4);
    a.SetModul(2);
    a.SetRatio(2.5);
    a.SetAngle(90);
    a.SetColor(1);
    a.SetColorBar(2);
    a.SetCheckSumMethod(csmNone);
    int calls = 0;
    a.OnChange = [&](TfrBarcode*) { ++calls; };

    TfrBarcode b;
    int bCalls = 0;
    b.OnChange = [&](TfrBarcode*) { ++bCalls; };
    b.Assign(&a);
    b.Assign(nullptr);
    EXPECT_EQ(bCalls, 0);
    EXPECT_EQ(b.Typ(), bcCodeEAN128C);
    EXPECT_TRUE(b.Checksum());
    EXPECT_EQ(b.Text(), "123");
    EXPECT_EQ(b.Height(), 40);
    EXPECT_EQ(b.Top(), 3);
    EXPECT_EQ(b.Left(), 4);
    EXPECT_EQ(b.Modul(), 2);
    EXPECT_EQ(b.Ratio(), 2.5);
    EXPECT_EQ(b.Angle(), 90);
    EXPECT_EQ(b.Color(), 1u);
    EXPECT_EQ(b.ColorBar(), 2u);
    EXPECT_EQ(b.CheckSumMethod(), csmNone);
    b.SetHeight(41); // the handler came along
    EXPECT_EQ(calls, 1);
}
