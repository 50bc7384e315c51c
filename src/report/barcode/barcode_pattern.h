#pragma once

// Stage one of the encoder: text -> pattern text. Pure functions, no drawing, no Qt.
//
// Pattern alphabet: "0"-"3" spaces, "5"-"8" full-height bars, "A"-"D" bars two fifths
// high; the digit (or letter) picks one of four element widths (ElementWidths).

#include "report/barcode/barcode.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace barcode {

// w[0] narrow, w[1] wide = Modul x Ratio, w[2] = 3/2 wide, w[3] = 2 x wide.
struct ElementWidths {
    int w[4];
};

// Throws when Modul and Ratio give a width below one unit or an absurdly wide element.
ElementWidths ComputeElementWidths(int modul, double ratio);

// The wide-to-narrow ratio range a type clamps to; false when it takes any ratio.
bool RatioRange(TfrBarcodeType typ, double& low, double& high);

struct EncodeOptions {
    TfrBarcodeType typ;
    bool checksum;
    TfrCheckSumMethod method;
};

// Validates `text` for the symbology, rewrites it where the symbology demands (trim,
// zero fill, check digit, leading "0") and appends its pattern text to `pattern`.
// `text` keeps any rewriting done before a failure.
void EncodePattern(const EncodeOptions& options, std::string& text, std::string& pattern);

enum LineKind : std::uint8_t { lkSpace = 0, lkBar = 1, lkShortBar = 2 };

struct Element {
    int width;
    LineKind kind;
};

// Throws "TfrBarcode: internal Error" for a character outside the alphabet.
Element GetElementWidth(char c, const ElementWidths& widths);

// Sum of the element widths; throws when it does not fit a 32-bit width.
int PatternWidth(std::string_view pattern, const ElementWidths& widths);

// --- shared routines ---------------------------------------------------------------

[[noreturn]] void Fail(const std::string& message);
// "TfrBarcode:<type name> bad Data <text>"
[[noreturn]] void FailBadData(TfrBarcodeType typ, const std::string& text);
// "Invalid Text len (<type name>)"
[[noreturn]] void FailTextLength(TfrBarcodeType typ);
// "Invalid check digit (<type name>)"
[[noreturn]] void FailCheckDigit(TfrBarcodeType typ);

extern const char* const ClassName; // "TfrBarcode", the prefix of internal messages

// First n characters of a longer text; a shorter one zero-filled on the left.
std::string PadText(const std::string& text, std::size_t n);
// Weights 3, 1, 3, ... from the rightmost digit; a non-digit throws the integer
// conversion error.
char Modulo10Digit(std::string_view digits);
// s unchanged with csmNone, s + its modulo-10 digit with csmModulo10.
std::string AddCheckDigit(const std::string& s, TfrCheckSumMethod method);
// EAN/UPC add-on check: weights 3, 9, 3, ... from the rightmost digit, sum mod 10.
char AddOnDigit(std::string_view digits);

// Row index by character for a table whose rows have a member `c`; -1 where none.
template <class Row, std::size_t N>
std::array<signed char, 256> IndexByCharacter(const Row (&rows)[N]) {
    std::array<signed char, 256> index;
    index.fill(-1);
    for (std::size_t i = 0; i < N; ++i)
        index[static_cast<unsigned char>(rows[i].c)] = static_cast<signed char>(i);
    return index;
}

// Converts width digits "1"-"4" (bar, space, bar, ...) to pattern text and appends it.
void AppendWidthString(std::string& pattern, std::string_view widths);

// --- one encoder per symbology (barcode_*.cpp); they receive validated text -----------

struct EncodeJob {
    const EncodeOptions& options;
    std::string& text;
    std::string& pattern;
};

void Encode2of5Interleaved(EncodeJob& job);
void Encode2of5Industrial(EncodeJob& job);
void Encode2of5Matrix(EncodeJob& job);
void EncodeCode39(EncodeJob& job);
void EncodeCode39Extended(EncodeJob& job);
void EncodeCode128(EncodeJob& job); // also the EAN 128 types
void EncodeCode93(EncodeJob& job);
void EncodeCode93Extended(EncodeJob& job);
void EncodeMSI(EncodeJob& job);
void EncodePostNet(EncodeJob& job);
void EncodeCodabar(EncodeJob& job);
void EncodeEAN8(EncodeJob& job);
void EncodeEAN13(EncodeJob& job);
void EncodeUPC_A(EncodeJob& job);
void EncodeUPC_E(EncodeJob& job); // E0 and E1
void EncodeUPC_Supp2(EncodeJob& job);
void EncodeUPC_Supp5(EncodeJob& job);

// The Code 39 full-ASCII replacement of a character below 128 (one or two characters).
std::string_view Code39FullAscii(unsigned char c);

} // namespace barcode
