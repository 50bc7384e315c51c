// Code 93 and its full-ASCII form.

#include "report/barcode/barcode_pattern.h"

#include <array>

namespace barcode {

namespace {

struct Code93Row {
    char c;
    const char* widths; // bar, space, bar, space, bar, space in modules
};

// Values 0-46; the shift characters ($) (%) (/) (+) are written "[", "]", "{", "}".
const Code93Row Code93Table[47] = {
    {'0', "131112"}, {'1', "111213"}, {'2', "111312"}, {'3', "111411"}, {'4', "121113"},
    {'5', "121212"}, {'6', "121311"}, {'7', "111114"}, {'8', "131211"}, {'9', "141111"},
    {'A', "211113"}, {'B', "211212"}, {'C', "211311"}, {'D', "221112"}, {'E', "221211"},
    {'F', "231111"}, {'G', "112113"}, {'H', "112212"}, {'I', "112311"}, {'J', "122112"},
    {'K', "132111"}, {'L', "111123"}, {'M', "111222"}, {'N', "111321"}, {'O', "121122"},
    {'P', "131121"}, {'Q', "212112"}, {'R', "212211"}, {'S', "211122"}, {'T', "211221"},
    {'U', "221121"}, {'V', "222111"}, {'W', "112122"}, {'X', "112221"}, {'Y', "122121"},
    {'Z', "123111"}, {'-', "121131"}, {'.', "311112"}, {' ', "311211"}, {'$', "321111"},
    {'/', "112131"}, {'+', "113121"}, {'%', "211131"}, {'[', "121221"}, {']', "312111"},
    {'{', "311121"}, {'}', "122211"},
};

const std::array<signed char, 256>& Code93Index() {
    static const std::array<signed char, 256> index = IndexByCharacter(Code93Table);
    return index;
}

void AppendCode93(std::string_view data, std::string& pattern, TfrBarcodeType typ,
                  const std::string& shown) {
    const auto& index = Code93Index();
    for (char c : data)
        if (index[static_cast<unsigned char>(c)] < 0) FailBadData(typ, shown);

    std::string widths;
    widths.reserve(data.size() * 6 + 25);
    widths += "111141";
    for (char c : data) widths += Code93Table[index[static_cast<unsigned char>(c)]].widths;

    int csum = 0;
    int ksum = 0;
    int cweight = 1;
    int kweight = 2;
    for (auto it = data.rbegin(); it != data.rend(); ++it) {
        const int value = index[static_cast<unsigned char>(*it)];
        csum += value * cweight;
        ksum += value * kweight;
        cweight = cweight == 20 ? 1 : cweight + 1;
        kweight = kweight == 15 ? 1 : kweight + 1;
    }
    const int c = csum % 47;
    const int k = (ksum + csum) % 47; // C itself at K weight 1
    widths += Code93Table[c].widths;
    widths += Code93Table[k].widths;
    widths += "1111411";
    AppendWidthString(pattern, widths);
}

} // namespace

void EncodeCode93(EncodeJob& job) {
    // "[", "]", "{" and "}" stand for the shift characters: a reader would turn them and
    // the next character into something else, so they are not accepted as data.
    for (char c : job.text)
        if (c == '[' || c == ']' || c == '{' || c == '}') FailBadData(job.options.typ, job.text);
    AppendCode93(job.text, job.pattern, job.options.typ, job.text);
}

void EncodeCode93Extended(EncodeJob& job) {
    std::string replaced;
    replaced.reserve(job.text.size() * 2);
    for (char c : job.text) {
        if (static_cast<unsigned char>(c) >= 128) FailBadData(job.options.typ, job.text);
        for (char r : Code39FullAscii(static_cast<unsigned char>(c))) {
            // Code 39's shift characters become Code 93's own shifts.
            switch (r) {
            case '$':
                r = '[';
                break;
            case '%':
                r = ']';
                break;
            case '/':
                r = '{';
                break;
            case '+':
                r = '}';
                break;
            default:
                break;
            }
            replaced += r;
        }
    }
    AppendCode93(replaced, job.pattern, job.options.typ, job.text);
}

} // namespace barcode
