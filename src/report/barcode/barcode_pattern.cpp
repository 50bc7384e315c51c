#include "report/barcode/barcode_pattern.h"

#include "platform/rtl/sysutils.h"

#include <array>
#include <climits>
#include <cmath>

const TBCdata BarcodeTypeTable[BarcodeTypeCount] = {
    {"2_5_interleaved", true},
    {"2_5_industrial", true},
    {"2_5_matrix", true},
    {"Code39", false},
    {"Code39 Extended", false},
    {"Code128A", false},
    {"Code128B", false},
    {"Code128C", true},
    {"Code93", false},
    {"Code93 Extended", false},
    {"MSI", true},
    {"PostNet", true},
    {"Codebar", false},
    {"EAN8", true},
    {"EAN13", true},
    {"UPC_A", true},
    {"UPC_E0", true},
    {"UPC_E1", true},
    {"UPC Supp2", true},
    {"UPC Supp5", true},
    {"EAN128A", false},
    {"EAN128B", false},
    {"EAN128C", true},
};

namespace barcode {

const char* const ClassName = "TfrBarcode";

namespace {

// Wider than any printer needs, small enough that no sum of widths can overflow.
constexpr int MaxElementWidth = 32767;

// Check digits are computed over digits only; anything else is the
// encoder's own failure, as for any numeric-only text.
int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    Fail("Barcode must be numeric");
}

} // namespace

void Fail(const std::string& message) {
    throw EBarcodeError(message);
}

void FailBadData(TfrBarcodeType typ, const std::string& text) {
    Fail(std::string(ClassName) + ":" + BarcodeTypeTable[typ].Name + " bad Data <" + text + ">");
}

void FailTextLength(TfrBarcodeType typ) {
    Fail(std::string("Invalid Text len (") + BarcodeTypeTable[typ].Name + ")");
}

void FailCheckDigit(TfrBarcodeType typ) {
    Fail(std::string("Invalid check digit (") + BarcodeTypeTable[typ].Name + ")");
}

ElementWidths ComputeElementWidths(int modul, double ratio) {
    // Held in full integers: a narrow element of 49 units at ratio 3 is still drawn right.
    const double product = modul * ratio;
    if (!(product >= 0.5 && product <= MaxElementWidth))
        Fail(std::string(ClassName) + ": element width out of range");
    const double wide = static_cast<double>(rtl::Round(product));
    if (!(wide >= 1.0) || wide * 2 > MaxElementWidth || modul < 1 || modul > MaxElementWidth)
        Fail(std::string(ClassName) + ": element width out of range");
    const int w1 = static_cast<int>(wide);
    return ElementWidths{{modul, w1, (w1 * 3) / 2, w1 * 2}};
}

bool RatioRange(TfrBarcodeType typ, double& low, double& high) {
    switch (typ) {
    case bcCode_2_5_interleaved:
    case bcCode_2_5_industrial:
    case bcCode39:
    case bcCode39Extended:
    case bcCodeCodabar:
    case bcCodeEAN8:
    case bcCodeEAN13:
    case bcCodeUPC_A:
    case bcCodeUPC_E0:
    case bcCodeUPC_E1:
    case bcCodeUPC_Supp2:
    case bcCodeUPC_Supp5:
        low = 2.0;
        high = 3.0;
        return true;
    case bcCode_2_5_matrix:
        low = 2.25;
        high = 3.0;
        return true;
    default:
        return false;
    }
}

namespace {

// Pattern character -> element width index (0-3) and line kind; -1 outside the alphabet.
struct AlphabetEntry {
    signed char index;
    LineKind kind;
};

constexpr std::array<AlphabetEntry, 256> MakeAlphabet() {
    std::array<AlphabetEntry, 256> a{};
    for (auto& e : a) e = {-1, lkSpace};
    for (int i = 0; i < 4; ++i) {
        a['0' + i] = {static_cast<signed char>(i), lkSpace};
        a['5' + i] = {static_cast<signed char>(i), lkBar};
        a['A' + i] = {static_cast<signed char>(i), lkShortBar};
    }
    return a;
}

constexpr std::array<AlphabetEntry, 256> Alphabet = MakeAlphabet();

[[noreturn]] void FailInternal() {
    Fail(std::string(ClassName) + ": internal Error");
}

} // namespace

Element GetElementWidth(char c, const ElementWidths& widths) {
    const AlphabetEntry e = Alphabet[static_cast<unsigned char>(c)];
    if (e.index < 0) FailInternal();
    return {widths.w[e.index], e.kind};
}

int PatternWidth(std::string_view pattern, const ElementWidths& widths) {
    long long total = 0;
    for (char c : pattern) {
        const AlphabetEntry e = Alphabet[static_cast<unsigned char>(c)];
        if (e.index < 0) FailInternal();
        total += widths.w[e.index];
    }
    if (total > INT_MAX) Fail(std::string(ClassName) + ": barcode too wide");
    return static_cast<int>(total);
}

std::string PadText(const std::string& text, std::size_t n) {
    if (text.size() > n) return text.substr(0, n);
    return std::string(n - text.size(), '0') + text;
}

namespace {

// The digits weighted first, second, first, ... starting with the rightmost.
int WeightedDigitSum(std::string_view digits, int first, int second) {
    int sum = 0;
    int weight = first;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        sum += DigitValue(*it) * weight;
        weight = weight == first ? second : first;
    }
    return sum;
}

} // namespace

char Modulo10Digit(std::string_view digits) {
    return static_cast<char>('0' + (10 - WeightedDigitSum(digits, 3, 1) % 10) % 10);
}

std::string AddCheckDigit(const std::string& s, TfrCheckSumMethod method) {
    if (method != csmModulo10) return s;
    return s + Modulo10Digit(s);
}

char AddOnDigit(std::string_view digits) {
    return static_cast<char>('0' + WeightedDigitSum(digits, 3, 9) % 10);
}

void AppendWidthString(std::string& pattern, std::string_view widths) {
    for (std::size_t i = 0; i < widths.size(); ++i) {
        // bars (1st, 3rd, ...) "1"-"4" -> "5"-"8"; spaces "1"-"4" -> "0"-"3"
        pattern += static_cast<char>(i % 2 == 0 ? widths[i] + 4 : widths[i] - 1);
    }
}

void EncodePattern(const EncodeOptions& options, std::string& text, std::string& pattern) {
    if (options.typ >= BarcodeTypeCount) Fail(std::string(ClassName) + ": wrong BarcodeType");
    if (BarcodeTypeTable[options.typ].NumericOnly) {
        if (!text.empty() && (static_cast<unsigned char>(text.front()) <= 32 ||
                              static_cast<unsigned char>(text.back()) <= 32))
            text = rtl::Trim(text);
        for (char c : text)
            if (c < '0' || c > '9') Fail("Barcode must be numeric");
    }
    EncodeJob job{options, text, pattern};
    switch (options.typ) {
    case bcCode_2_5_interleaved:
        return Encode2of5Interleaved(job);
    case bcCode_2_5_industrial:
        return Encode2of5Industrial(job);
    case bcCode_2_5_matrix:
        return Encode2of5Matrix(job);
    case bcCode39:
        return EncodeCode39(job);
    case bcCode39Extended:
        return EncodeCode39Extended(job);
    case bcCode128A:
    case bcCode128B:
    case bcCode128C:
    case bcCodeEAN128A:
    case bcCodeEAN128B:
    case bcCodeEAN128C:
        return EncodeCode128(job);
    case bcCode93:
        return EncodeCode93(job);
    case bcCode93Extended:
        return EncodeCode93Extended(job);
    case bcCodeMSI:
        return EncodeMSI(job);
    case bcCodePostNet:
        return EncodePostNet(job);
    case bcCodeCodabar:
        return EncodeCodabar(job);
    case bcCodeEAN8:
        return EncodeEAN8(job);
    case bcCodeEAN13:
        return EncodeEAN13(job);
    case bcCodeUPC_A:
        return EncodeUPC_A(job);
    case bcCodeUPC_E0:
    case bcCodeUPC_E1:
        return EncodeUPC_E(job);
    case bcCodeUPC_Supp2:
        return EncodeUPC_Supp2(job);
    case bcCodeUPC_Supp5:
        return EncodeUPC_Supp5(job);
    }
}

} // namespace barcode
