// MSI: four bits per digit and a modulo-10 check digit.

#include "report/barcode/barcode_pattern.h"

namespace barcode {

namespace {

void AppendDigit(std::string& pattern, int digit) {
    for (int bit = 3; bit >= 0; --bit) pattern += (digit >> bit) & 1 ? "60" : "51";
}

// Luhn: from the rightmost digit every other digit is doubled and the digits of the
// products added. Counting from the right keeps odd-length texts on the check digit that
// readers verify.
int CheckDigit(std::string_view digits) {
    int total = 0;
    bool doubled = true;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        int d = *it - '0';
        if (doubled) {
            d *= 2;
            d = d / 10 + d % 10;
        }
        total += d;
        doubled = !doubled;
    }
    return (10 - total % 10) % 10;
}

} // namespace

void EncodeMSI(EncodeJob& job) {
    std::string& p = job.pattern;
    p += "60";
    for (char c : job.text) AppendDigit(p, c - '0');
    AppendDigit(p, CheckDigit(job.text));
    p += "515";
}

} // namespace barcode
