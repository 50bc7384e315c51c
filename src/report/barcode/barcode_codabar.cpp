// Codabar, always started with A and stopped with B.

#include "report/barcode/barcode_pattern.h"

namespace barcode {

namespace {

struct CodabarRow {
    char c;
    const char* pattern; // seven elements written like Code 39
};

const CodabarRow CodabarTable[20] = {
    {'1', "5050615"}, {'2', "5051506"}, {'3', "6150505"}, {'4', "5060515"}, {'5', "6050515"},
    {'6', "5150506"}, {'7', "5150605"}, {'8', "5160505"}, {'9', "6051505"}, {'0', "5050516"},
    {'-', "5051605"}, {'$', "5061505"}, {':', "6050606"}, {'/', "6060506"}, {'.', "6060605"},
    {'+', "5060606"}, {'A', "5061515"}, {'B', "5151506"}, {'C', "5051516"}, {'D', "5051615"},
};

constexpr int RowA = 16;
constexpr int RowB = 17;
constexpr int DataRows = 16; // A-D are start and stop characters only

int FindData(char c) {
    for (int i = 0; i < DataRows; ++i)
        if (CodabarTable[i].c == c) return i;
    return -1;
}

} // namespace

void EncodeCodabar(EncodeJob& job) {
    // Only digits and - $ : / . + are data; A-D inside the text would end the symbol early.
    for (char c : job.text)
        if (FindData(c) < 0) FailBadData(job.options.typ, job.text);
    std::string& p = job.pattern;
    p += CodabarTable[RowA].pattern;
    p += '0';
    for (char c : job.text) {
        p += CodabarTable[FindData(c)].pattern;
        p += '0';
    }
    p += CodabarTable[RowB].pattern;
}

} // namespace barcode
