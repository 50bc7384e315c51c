// Code 39 and its full-ASCII form.

#include "report/barcode/barcode_pattern.h"

#include <array>

namespace barcode {

namespace {

struct Code39Row {
    char c;
    const char* pattern; // nine elements: "5"/"6" narrow/wide bar, "0"/"1" narrow/wide space
    int value;
};

const Code39Row Code39Table[44] = {
    {'0', "505160605", 0},  {'1', "605150506", 1},  {'2', "506150506", 2},  {'3', "606150505", 3},
    {'4', "505160506", 4},  {'5', "605160505", 5},  {'6', "506160505", 6},  {'7', "505150606", 7},
    {'8', "605150605", 8},  {'9', "506150605", 9},  {'A', "605051506", 10}, {'B', "506051506", 11},
    {'C', "606051505", 12}, {'D', "505061506", 13}, {'E', "605061505", 14}, {'F', "506061505", 15},
    {'G', "505051606", 16}, {'H', "605051605", 17}, {'I', "506051605", 18}, {'J', "505061605", 19},
    {'K', "605050516", 20}, {'L', "506050516", 21}, {'M', "606050515", 22}, {'N', "505060516", 23},
    {'O', "605060515", 24}, {'P', "506060515", 25}, {'Q', "505050616", 26}, {'R', "605050615", 27},
    {'S', "506050615", 28}, {'T', "505060615", 29}, {'U', "615050506", 30}, {'V', "516050506", 31},
    {'W', "616050505", 32}, {'X', "515060506", 33}, {'Y', "615060505", 34}, {'Z', "516060505", 35},
    {'-', "515050606", 36}, {'.', "615050605", 37}, {' ', "516050605", 38}, {'*', "515060605", 0},
    {'$', "515151505", 39}, {'/', "515150515", 40}, {'+', "515051515", 41}, {'%', "505151515", 42},
};

constexpr int StartStopRow = 39; // "*"

// Full ASCII: codes 0-127 as one or two Code 39 characters ("-" and "." use their
// shifted forms "/M" and "/N").
const char* const Code39FullAsciiTable[128] = {
    "%U", "$A", "$B", "$C", "$D", "$E", "$F", "$G", "$H", "$I", "$J", "$K", "$L", "$M", "$N", "$O",
    "$P", "$Q", "$R", "$S", "$T", "$U", "$V", "$W", "$X", "$Y", "$Z", "%A", "%B", "%C", "%D", "%E",
    " ",  "/A", "/B", "/C", "/D", "/E", "/F", "/G", "/H", "/I", "/J", "/K", "/L", "/M", "/N", "/O",
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "/Z", "%F", "%G", "%H", "%I", "%J",
    "%V", "A",  "B",  "C",  "D",  "E",  "F",  "G",  "H",  "I",  "J",  "K",  "L",  "M",  "N",  "O",
    "P",  "Q",  "R",  "S",  "T",  "U",  "V",  "W",  "X",  "Y",  "Z",  "%K", "%L", "%M", "%N", "%O",
    "%W", "+A", "+B", "+C", "+D", "+E", "+F", "+G", "+H", "+I", "+J", "+K", "+L", "+M", "+N", "+O",
    "+P", "+Q", "+R", "+S", "+T", "+U", "+V", "+W", "+X", "+Y", "+Z", "%P", "%Q", "%R", "%S", "%T",
};

// Row index per byte, -1 where Code 39 has no character.
const std::array<signed char, 256>& Code39Index() {
    static const std::array<signed char, 256> index = IndexByCharacter(Code39Table);
    return index;
}

void AppendRow(std::string& pattern, int row) {
    pattern += Code39Table[row].pattern;
    pattern += '0'; // inter-character gap
}

// `shown` is the text the user gave, for the message.
void AppendCode39(std::string_view data, bool checksum, std::string& pattern, TfrBarcodeType typ,
                  const std::string& shown) {
    const auto& index = Code39Index();
    // A character without a pattern would vanish from the bars, and "*" would end the symbol
    // early: either way the scan would differ from the text.
    for (char c : data)
        if (index[static_cast<unsigned char>(c)] < 0 || c == '*') FailBadData(typ, shown);

    AppendRow(pattern, StartStopRow);
    int sum = 0;
    for (char c : data) {
        const int row = index[static_cast<unsigned char>(c)];
        AppendRow(pattern, row);
        sum += Code39Table[row].value;
    }
    if (checksum) {
        const int r = sum % 43;
        for (int row = 0; row < 44; ++row) {
            if (Code39Table[row].value == r) {
                AppendRow(pattern, row);
                break;
            }
        }
    }
    pattern += Code39Table[StartStopRow].pattern;
}

} // namespace

std::string_view Code39FullAscii(unsigned char c) {
    return Code39FullAsciiTable[c & 0x7F];
}

void EncodeCode39(EncodeJob& job) {
    AppendCode39(job.text, job.options.checksum, job.pattern, job.options.typ, job.text);
}

void EncodeCode39Extended(EncodeJob& job) {
    // Text itself is left as given; only the replaced form is encoded.
    std::string replaced;
    replaced.reserve(job.text.size() * 2);
    for (char c : job.text) {
        // Bytes 128-255 (CP936 text) have no full-ASCII form.
        if (static_cast<unsigned char>(c) >= 128) FailBadData(job.options.typ, job.text);
        replaced += Code39FullAscii(static_cast<unsigned char>(c));
    }
    AppendCode39(replaced, job.options.checksum, job.pattern, job.options.typ, job.text);
}

} // namespace barcode
