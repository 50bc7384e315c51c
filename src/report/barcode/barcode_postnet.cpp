// PostNet: five bars per digit, two of them tall.

#include "report/barcode/barcode_pattern.h"

namespace barcode {

namespace {

const char* const PostNetTable[10] = {
    "11000", "00011", "00101", "00110", "01001", "01010", "01100", "10001", "10010", "10100",
};

} // namespace

void EncodePostNet(EncodeJob& job) {
    std::string& p = job.pattern;
    p += "51"; // frame bar
    for (char c : job.text)
        for (const char* bar = PostNetTable[c - '0']; *bar; ++bar) p += *bar == '1' ? "51" : "A1";
    p += '5';
}

} // namespace barcode
