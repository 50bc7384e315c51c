// EAN-8, EAN-13, UPC-A, UPC-E and the 2- and 5-digit add-ons.

#include "report/barcode/barcode_pattern.h"

namespace barcode {

namespace {

// Each digit as four elements at ratio 2. L: space, bar, space, bar.
const char* const CodeL[10] = {"2605", "1615", "1516", "0805", "0526",
                               "0625", "0508", "0706", "0607", "2506"};
// R: bar, space, bar, space (the L widths with bars and spaces swapped).
const char* const CodeR[10] = {"7150", "6160", "6061", "5350", "5071",
                               "5170", "5053", "5251", "5152", "7051"};

// Parity of digits 2-7 of an EAN-13 by its first digit: A = L code, B = G code.
const char* const EAN13Parity[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                     "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};

// UPC-E number system 0 parity by check digit: E = even (G code), o = odd (L code).
// The last five letters of a row are the 5-digit add-on parity of that check digit.
const char* const UPCEParity[10] = {"EEEooo", "EEoEoo", "EEooEo", "EEoooE", "EoEEoo",
                                    "EooEEo", "EoooEE", "EoEoEo", "EoEooE", "EooEoE"};

// Guard patterns: bar, space, bar at the edges; space, bar, space, bar, space in the
// centre; UPC-E ends with the centre guard and one more bar; add-ons start with a wide
// bar, and a space and a bar separate their digits.
const char* const EdgeGuard = "505";
const char* const CentreGuard = "05050";
const char* const UPCEEndGuard = "050505";
const char* const AddOnStartGuard = "506";
const char* const AddOnSeparator = "05";

void AppendL(std::string& p, char digit) {
    p += CodeL[digit - '0'];
}
void AppendR(std::string& p, char digit) {
    p += CodeR[digit - '0'];
}
void AppendG(std::string& p, char digit) {
    const char* r = CodeR[digit - '0'];
    p += r[3];
    p += r[2];
    p += r[1];
    p += r[0];
}

// Full data for a fixed-length symbol: `n` digits with the check digit last.
// Shorter texts are zero-filled on the left. A longer text, or (with `checksum`) a full
// one whose last digit is not its check digit, is refused instead of cut or corrected:
// either would print a different number than the one asked for.
std::string FixedLengthData(const EncodeJob& job, std::size_t n) {
    const std::string& text = job.text;
    const TfrBarcodeType typ = job.options.typ;
    if (text.size() > n) FailTextLength(typ);
    if (!job.options.checksum) return PadText(text, n);
    const std::string data = AddCheckDigit(PadText(text, n - 1), job.options.method);
    if (data.size() != n) FailTextLength(typ);
    if (text.size() == n && data != text) FailCheckDigit(typ);
    return data;
}

// EAN-8, EAN-13 and UPC-A: guards around two halves, the left in L (or, by the parity
// row, G) codes, the right in R codes. d: 8, 12 or 13 digits; with a parity row the
// first digit only selects that row.
void AppendEANBody(std::string& p, const std::string& d, const char* parity) {
    const std::size_t first = parity ? 1 : 0;
    const std::size_t half = (d.size() - first) / 2;
    p += EdgeGuard;
    for (std::size_t i = 0; i < half; ++i) {
        if (parity && parity[i] == 'B')
            AppendG(p, d[first + i]);
        else
            AppendL(p, d[first + i]);
    }
    p += CentreGuard;
    for (std::size_t i = first + half; i < d.size(); ++i) AppendR(p, d[i]);
    p += EdgeGuard;
}

// The UPC-A number a UPC-E symbol stands for (11 digits, no check digit).
std::string ExpandUPCE(char numberSystem, std::string_view s) {
    std::string a(1, numberSystem);
    switch (s[5]) {
    case '0':
    case '1':
    case '2':
        a.append(s.substr(0, 2)).append(1, s[5]).append("0000").append(s.substr(2, 3));
        break;
    case '3':
        a.append(s.substr(0, 3)).append("00000").append(s.substr(3, 2));
        break;
    case '4':
        a.append(s.substr(0, 4)).append("00000").append(1, s[4]);
        break;
    default:
        a.append(s.substr(0, 5)).append("0000").append(1, s[5]);
        break;
    }
    return a;
}

} // namespace

void EncodeEAN8(EncodeJob& job) {
    const std::string d = FixedLengthData(job, 8);
    AppendEANBody(job.pattern, d, nullptr); // Text keeps the trimmed input
}

void EncodeEAN13(EncodeJob& job) {
    job.text = FixedLengthData(job, 13);
    AppendEANBody(job.pattern, job.text, EAN13Parity[job.text[0] - '0']);
}

void EncodeUPC_A(EncodeJob& job) {
    job.text = FixedLengthData(job, 12);
    AppendEANBody(job.pattern, job.text, nullptr);
}

void EncodeUPC_E(EncodeJob& job) {
    const TfrBarcodeType typ = job.options.typ;
    const bool e1 = typ == bcCodeUPC_E1;
    const bool checksum = job.options.checksum;
    std::string& text = job.text;
    if (text.size() > 7) FailTextLength(typ);
    if (checksum && job.options.method == csmNone) FailTextLength(typ); // one digit short

    // Six digits and the check digit. The check digit is that of the UPC-A number the
    // symbol stands for (what readers verify), and the bars carry it in their parity only:
    // a text whose last digit is another check digit is refused, never printed otherwise.
    std::string d = checksum && text.size() < 7 ? PadText(text, 6) + '0' : PadText(text, 7);
    const char check = Modulo10Digit(ExpandUPCE(e1 ? '1' : '0', std::string_view(d).substr(0, 6)));
    if (checksum && text.size() < 7)
        d[6] = check;
    else if (d[6] != check)
        FailCheckDigit(typ);
    text = d;

    const char* parity = UPCEParity[check - '0'];
    std::string& p = job.pattern;
    p += EdgeGuard;
    for (int i = 0; i < 6; ++i) {
        if ((parity[i] == 'E') != e1)
            AppendG(p, d[i]);
        else
            AppendL(p, d[i]);
    }
    p += UPCEEndGuard;
}

namespace {

// Add-ons: the text zero-filled to `n` digits; with Checksum one more digit, the add-on
// check digit, is accepted when it is the right one (it is what Checksum shows).
void PadAddOn(EncodeJob& job, std::size_t n) {
    std::string& text = job.text;
    const bool withCheck = job.options.checksum && text.size() == n + 1;
    if (text.size() > n && !withCheck) FailTextLength(job.options.typ);
    if (withCheck && text[n] != AddOnDigit(std::string_view(text).substr(0, n)))
        FailCheckDigit(job.options.typ);
    text = PadText(text, n);
}

void AppendAddOnDigits(std::string& p, std::string_view digits, const char* parity) {
    p += AddOnStartGuard;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0) p += AddOnSeparator;
        if (parity[i] == 'E')
            AppendG(p, digits[i]);
        else
            AppendL(p, digits[i]);
    }
}

} // namespace

void EncodeUPC_Supp2(EncodeJob& job) {
    PadAddOn(job, 2);
    std::string& text = job.text;
    static const char* const parity[4] = {"oo", "oE", "Eo", "EE"};
    const char* row = parity[((text[0] - '0') * 10 + (text[1] - '0')) % 4];
    if (job.options.checksum) text += AddOnDigit(text);
    AppendAddOnDigits(job.pattern, std::string_view(text).substr(0, 2), row);
}

void EncodeUPC_Supp5(EncodeJob& job) {
    PadAddOn(job, 5);
    std::string& text = job.text;
    const char check = AddOnDigit(text);
    if (job.options.checksum) text += check;
    AppendAddOnDigits(job.pattern, std::string_view(text).substr(0, 5),
                      UPCEParity[check - '0'] + 1);
}

} // namespace barcode
