// Code 128 (sets A, B, C) and EAN 128 (the same with FNC1 after the start).

#include "report/barcode/barcode_pattern.h"

namespace barcode {

namespace {

// Width strings of values 0-105 (bar, space, ... in modules). Set A has codes 32-95 at
// values 0-63, set B codes 32-126 at 0-94, set C "00"-"99" at 0-99; 102 is FNC1 and
// 103-105 are the start characters of sets A, B and C.
const char* const Code128Table[106] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232",
};

constexpr int ValueFNC1 = 102;
constexpr int ValueStartA = 103;
constexpr const char* Stop = "2331112";

// The table in pattern text, converted once: six characters per value.
struct PatternRows {
    char row[106][6];
};

const PatternRows& Code128Patterns() {
    static const PatternRows rows = [] {
        PatternRows r{};
        std::string converted;
        for (int v = 0; v < 106; ++v) {
            converted.clear();
            AppendWidthString(converted, Code128Table[v]);
            converted.copy(r.row[v], 6);
        }
        return r;
    }();
    return rows;
}

enum class CodeSet { A, B, C };

CodeSet SetOf(TfrBarcodeType typ) {
    switch (typ) {
    case bcCode128A:
    case bcCodeEAN128A:
        return CodeSet::A;
    case bcCode128B:
    case bcCodeEAN128B:
        return CodeSet::B;
    default:
        return CodeSet::C;
    }
}

bool IsEAN128(TfrBarcodeType typ) {
    return typ == bcCodeEAN128A || typ == bcCodeEAN128B || typ == bcCodeEAN128C;
}

// Value of a character in set A or B, or -1 when the set has no such character.
int ValueOf(CodeSet set, char c) {
    const int code = static_cast<unsigned char>(c);
    const int last = set == CodeSet::A ? 95 : 126;
    return code >= 32 && code <= last ? code - 32 : -1;
}

} // namespace

void EncodeCode128(EncodeJob& job) {
    const TfrBarcodeType typ = job.options.typ;
    const CodeSet set = SetOf(typ);
    const int start = ValueStartA + static_cast<int>(set);

    const PatternRows& rows = Code128Patterns();
    std::string& p = job.pattern;
    p.reserve(p.size() + job.text.size() * 6 + 32);
    p.append(rows.row[start], 6);
    long long sum = start;
    long long weight = 1;

    if (IsEAN128(typ)) {
        p.append(rows.row[ValueFNC1], 6);
        sum += ValueFNC1 * weight;
        weight = 2;
        if (job.options.checksum) job.text = AddCheckDigit(job.text, job.options.method);
    }

    auto append = [&](int value) {
        p.append(rows.row[value], 6);
        sum = (sum + value * weight) % 103;
        ++weight;
    };

    if (set == CodeSet::C) {
        if (job.text.size() % 2 != 0) job.text.insert(job.text.begin(), '0');
        for (std::size_t i = 0; i + 1 < job.text.size(); i += 2)
            append((job.text[i] - '0') * 10 + (job.text[i + 1] - '0'));
    } else {
        // Control characters, and lower case in set A, have no value here: encoding them
        // as something else would print a different value than the text.
        for (char c : job.text)
            if (ValueOf(set, c) < 0) FailBadData(typ, job.text);
        for (char c : job.text) append(ValueOf(set, c));
    }

    p.append(rows.row[sum % 103], 6);
    AppendWidthString(p, Stop);
}

} // namespace barcode
