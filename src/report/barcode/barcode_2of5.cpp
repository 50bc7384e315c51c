// The 2 of 5 family: interleaved, industrial and matrix share one digit table.

#include "report/barcode/barcode_pattern.h"

namespace barcode {

namespace {

// Five elements per digit, two of them wide ('1').
const char* const Table2of5[10] = {
    "00110", // 0
    "10001", // 1
    "01001", // 2
    "11000", // 3
    "00101", // 4
    "10100", // 5
    "01100", // 6
    "00011", // 7
    "10010", // 8
    "01010", // 9
};

bool Wide(char digit, int element) {
    return Table2of5[digit - '0'][element] == '1';
}

} // namespace

void Encode2of5Interleaved(EncodeJob& job) {
    // Digits travel in pairs; an odd count gets a leading zero rather than losing its last
    // digit, which the standard allows and which keeps the value unchanged.
    if (job.text.size() % 2 != 0) job.text.insert(job.text.begin(), '0');
    std::string& p = job.pattern;
    p += "5050";
    for (std::size_t i = 0; i + 1 < job.text.size(); i += 2) {
        for (int k = 0; k < 5; ++k) {
            p += Wide(job.text[i], k) ? '6' : '5';
            p += Wide(job.text[i + 1], k) ? '1' : '0';
        }
    }
    p += "605";
}

void Encode2of5Industrial(EncodeJob& job) {
    std::string& p = job.pattern;
    p += "606050";
    for (char digit : job.text)
        for (int k = 0; k < 5; ++k) p += Wide(digit, k) ? "60" : "50";
    p += "605060";
}

void Encode2of5Matrix(EncodeJob& job) {
    std::string& p = job.pattern;
    p += "705050";
    for (char digit : job.text) {
        for (int k = 0; k < 5; ++k) {
            if (k % 2 == 0)
                p += Wide(digit, k) ? '6' : '5';
            else
                p += Wide(digit, k) ? '1' : '0';
        }
        p += '0';
    }
    p += "70505";
}

} // namespace barcode
