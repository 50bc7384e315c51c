#include "platform/rtl/float_format.h"

#include "platform/rtl/locale.h"
#include "platform/text/cp936.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace rtl {
namespace {

// A finite double as decimal digits: value = 0.d1d2d3... x 10^exponent.
struct Decimal {
    std::string digits; // no leading or trailing zeros; empty for zero
    int exponent = 0;
    bool negative = false;

    bool IsZero() const { return digits.empty(); }
    // The digit at 0-based index i of the digit string, zero outside it.
    char DigitAt(long long i) const {
        return i >= 0 && i < static_cast<long long>(digits.size()) ? digits[static_cast<size_t>(i)]
                                                                   : '0';
    }
    // The integer part without leading zeros ("" below 1).
    std::string IntegerDigits() const {
        std::string r;
        for (int i = 0; i < exponent; ++i) r.push_back(DigitAt(i));
        return r;
    }
    // Decimal j (1-based) after the point.
    char FractionDigit(int j) const { return DigitAt(static_cast<long long>(exponent) + j - 1); }
    // Number of decimals up to the last non-zero one.
    int SignificantDecimals() const {
        return std::max(0, static_cast<int>(digits.size()) - exponent);
    }
};

void StripTrailingZeros(Decimal& d) {
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) d.exponent = 0;
}

// The shortest digits that read back as the same double.
Decimal ShortestDecimal(double v) {
    Decimal d;
    if (v == 0) return d; // -0 too: zero has no sign
    d.negative = v < 0;
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific);
    const std::string_view s(buf, static_cast<size_t>(res.ptr - buf));
    const size_t e = s.find('e');
    for (char c : s.substr(0, e))
        if (c != '.') d.digits.push_back(c);
    d.exponent = std::atoi(std::string(s.substr(e + 1)).c_str()) + 1;
    StripTrailingZeros(d);
    return d;
}

// Keeps `keep` significant digits, rounding half away from zero.
void RoundTo(Decimal& d, long long keep) {
    if (d.IsZero() || keep >= static_cast<long long>(d.digits.size())) return;
    if (keep < 0) {
        d.digits.clear();
        d.exponent = 0;
        return;
    }
    const bool up = d.digits[static_cast<size_t>(keep)] >= '5';
    d.digits.resize(static_cast<size_t>(keep));
    if (up) {
        size_t i = d.digits.size();
        while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
        if (i == 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exponent;
        } else {
            ++d.digits[i - 1];
        }
    }
    StripTrailingZeros(d);
}

std::string NonFinite(double v) {
    if (std::isnan(v)) return "NAN";
    return v > 0 ? "INF" : "-INF";
}

// Inserts the thousands separator into a run of integer digits.
std::string Grouped(const std::string& digits) {
    const char sep = FormatSettings().ThousandSeparator;
    std::string r;
    for (size_t k = 0; k < digits.size(); ++k) {
        r.push_back(digits[k]);
        const size_t rest = digits.size() - k - 1;
        if (rest > 0 && rest % 3 == 0) r.push_back(sep);
    }
    return r;
}

std::string ExponentDigits(int exponent, int minDigits) {
    std::string r = std::to_string(std::abs(exponent));
    if (static_cast<int>(r.size()) < minDigits)
        r.insert(0, static_cast<size_t>(minDigits) - r.size(), '0');
    return r;
}

std::string General(Decimal d, int precision, int expDigits) {
    RoundTo(d, precision);
    if (d.IsZero()) return "0";
    const char point = FormatSettings().DecimalSeparator;
    std::string r = d.negative ? "-" : "";
    if (d.exponent > precision || d.exponent < -3) {
        r.push_back(d.digits[0]);
        if (d.digits.size() > 1) {
            r.push_back(point);
            r.append(d.digits, 1);
        }
        const int e = d.exponent - 1;
        r.push_back('E');
        if (e < 0) r.push_back('-');
        return r + ExponentDigits(e, expDigits);
    }
    const std::string whole = d.IntegerDigits();
    r += whole.empty() ? "0" : whole;
    const int decimals = d.SignificantDecimals();
    if (decimals > 0) {
        r.push_back(point);
        for (int j = 1; j <= decimals; ++j) r.push_back(d.FractionDigit(j));
    }
    return r;
}

std::string Exponent(Decimal d, int precision, int expDigits) {
    RoundTo(d, precision);
    const int e = d.IsZero() ? 0 : d.exponent - 1;
    std::string r = d.negative && !d.IsZero() ? "-" : "";
    r.push_back(d.DigitAt(0));
    if (precision > 1) {
        r.push_back(FormatSettings().DecimalSeparator);
        for (int i = 1; i < precision; ++i) r.push_back(d.DigitAt(i));
    }
    r.push_back('E');
    r.push_back(e < 0 ? '-' : '+');
    return r + ExponentDigits(e, expDigits);
}

// The sixteen classic negative currency layouts: '$' the sign, '1' the number.
constexpr const char* kNegativeCurrency[16] = {"($1)", "-$1",  "$-1",   "$1-",  "(1$)", "-1$",
                                               "1-$",  "1$-",  "-1 $",  "-$ 1", "1 $-", "$ 1-",
                                               "$ -1", "1- $", "($ 1)", "(1 $)"};
constexpr const char* kPositiveCurrency[4] = {"$1", "1$", "$ 1", "1 $"};

std::string Currency(const std::string& number, bool negative) {
    const TFormatSettings& fs = FormatSettings();
    const char* layout = negative ? kNegativeCurrency[std::clamp(fs.NegCurrFormat, 0, 15)]
                                  : kPositiveCurrency[std::clamp(fs.CurrencyFormat, 0, 3)];
    std::string r;
    for (const char* p = layout; *p; ++p) {
        if (*p == '$')
            r += fs.CurrencyString;
        else if (*p == '1')
            r += number;
        else
            r.push_back(*p);
    }
    return r;
}

// ---- FormatFloat patterns ------------------------------------------------

struct Token {
    enum Kind { Literal, Zero, Hash, Point, Comma, Exponent } kind;
    std::string text; // Literal: the text; Exponent: the letter and the sign
    int expDigits = 0;
};

struct Section {
    std::vector<Token> tokens;
    bool empty = true;
};

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// Splits the pattern into at most three sections of tokens. Quotes and
// double-byte characters are stepped over whole, so neither a quoted ';' nor
// a trail byte that looks like 'E' is read as a pattern character.
std::vector<Section> ParsePattern(std::string_view p) {
    std::vector<Section> sections(1);
    bool exponentSeen = false;
    size_t i = 0;
    auto literal = [&](std::string_view text) {
        Section& s = sections.back();
        if (!s.tokens.empty() && s.tokens.back().kind == Token::Literal)
            s.tokens.back().text.append(text);
        else
            s.tokens.push_back({Token::Literal, std::string(text)});
    };
    while (i < p.size()) {
        const char c = p[i];
        if (c == ';') {
            if (sections.size() == 3) break;
            sections.emplace_back();
            exponentSeen = false;
            ++i;
            continue;
        }
        sections.back().empty = false;
        if (text::IsLeadByte(static_cast<unsigned char>(c))) {
            const size_t n = std::min<size_t>(2, p.size() - i);
            literal(p.substr(i, n));
            i += n;
        } else if (IsQuote(c)) {
            size_t j = i + 1;
            while (j < p.size() && p[j] != c)
                j += text::IsLeadByte(static_cast<unsigned char>(p[j])) ? 2 : 1;
            j = std::min(j, p.size());
            if (j > i + 1) literal(p.substr(i + 1, j - i - 1));
            i = j + 1;
        } else if (c == '0' || c == '#') {
            sections.back().tokens.push_back({c == '0' ? Token::Zero : Token::Hash, {}});
            ++i;
        } else if (c == '.' || c == ',') {
            sections.back().tokens.push_back({c == '.' ? Token::Point : Token::Comma, {}});
            ++i;
        } else if ((c == 'E' || c == 'e') && !exponentSeen && i + 2 < p.size() &&
                   (p[i + 1] == '+' || p[i + 1] == '-') && p[i + 2] == '0') {
            size_t j = i + 2;
            while (j < p.size() && p[j] == '0') ++j;
            sections.back().tokens.push_back(
                {Token::Exponent, std::string(p.substr(i, 2)), static_cast<int>(j - i - 2)});
            exponentSeen = true;
            i = j;
        } else {
            literal(p.substr(i, 1));
            ++i;
        }
    }
    return sections;
}

// What a section asks for.
struct Layout {
    int intCount = 0;   // digit placeholders before the point
    int forcedInt = 0;  // of them, from the first '0' on
    int fracCount = 0;  // digit placeholders after the point
    int forcedFrac = 0; // up to the last '0' after the point
    bool grouping = false;
    bool scientific = false;
};

Layout Analyse(const Section& s) {
    Layout l;
    bool point = false;
    int firstZero = -1;
    for (const Token& t : s.tokens) {
        switch (t.kind) {
        case Token::Zero:
        case Token::Hash:
            if (point) {
                ++l.fracCount;
                if (t.kind == Token::Zero) l.forcedFrac = l.fracCount;
            } else {
                if (t.kind == Token::Zero && firstZero < 0) firstZero = l.intCount;
                ++l.intCount;
            }
            break;
        case Token::Point:
            point = true;
            break;
        case Token::Comma:
            if (!point) l.grouping = true;
            break;
        case Token::Exponent:
            l.scientific = true;
            break;
        case Token::Literal:
            break;
        }
    }
    if (firstZero >= 0) l.forcedInt = l.intCount - firstZero;
    return l;
}

// Rounds the magnitude for the section; for scientific patterns also returns
// the exponent and shifts the digits so that intCount of them are integral.
Decimal RoundFor(Decimal d, const Layout& l, int& sciExponent) {
    d.negative = false;
    sciExponent = 0;
    if (l.scientific) {
        RoundTo(d, static_cast<long long>(l.intCount) + l.fracCount);
        if (!d.IsZero()) {
            sciExponent = d.exponent - l.intCount;
            d.exponent = l.intCount;
        }
    } else {
        RoundTo(d, static_cast<long long>(d.exponent) + l.fracCount);
    }
    return d;
}

std::string Render(const Section& s, const Layout& l, const Decimal& d, int sciExponent) {
    const TFormatSettings& fs = FormatSettings();
    std::string whole = d.IntegerDigits();
    if (static_cast<int>(whole.size()) < l.forcedInt)
        whole.insert(0, static_cast<size_t>(l.forcedInt) - whole.size(), '0');
    const int shownFrac = std::max(l.forcedFrac, std::min(l.fracCount, d.SignificantDecimals()));
    // Digits beyond the placeholders go before the first one.
    const long long extra = static_cast<long long>(whole.size()) - l.intCount;

    std::string r;
    auto emitWhole = [&](long long k) {
        r.push_back(whole[static_cast<size_t>(k)]);
        const long long rest = static_cast<long long>(whole.size()) - k - 1;
        if (l.grouping && rest > 0 && rest % 3 == 0) r.push_back(fs.ThousandSeparator);
    };
    int intIndex = 0, fracIndex = 0;
    bool point = false;
    for (const Token& t : s.tokens) {
        switch (t.kind) {
        case Token::Literal:
            r += t.text;
            break;
        case Token::Zero:
        case Token::Hash:
            if (point) {
                ++fracIndex;
                if (fracIndex <= shownFrac) r.push_back(d.FractionDigit(fracIndex));
            } else {
                const long long at = extra + intIndex;
                for (long long k = intIndex == 0 ? 0 : at; k <= at; ++k)
                    if (k >= 0) emitWhole(k);
                ++intIndex;
            }
            break;
        case Token::Point:
            if (point) break;
            point = true;
            if (l.intCount == 0)
                for (long long k = 0; k < static_cast<long long>(whole.size()); ++k) emitWhole(k);
            if (shownFrac > 0) r.push_back(fs.DecimalSeparator);
            break;
        case Token::Comma:
            break;
        case Token::Exponent:
            r.push_back(t.text[0]);
            if (sciExponent < 0)
                r.push_back('-');
            else if (t.text[1] == '+')
                r.push_back('+');
            r += ExponentDigits(sciExponent, t.expDigits);
            break;
        }
    }
    return r;
}

} // namespace

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
    if (!std::isfinite(value)) return NonFinite(value);
    precision = std::clamp(precision, 1, 18);
    const Decimal d = ShortestDecimal(value);
    switch (format) {
    case TFloatFormat::ffGeneral:
        return General(d, precision, std::clamp(digits, 0, 4));
    case TFloatFormat::ffExponent:
        return Exponent(d, precision, std::clamp(digits, 0, 4));
    case TFloatFormat::ffFixed:
    case TFloatFormat::ffNumber:
    case TFloatFormat::ffCurrency:
        break;
    }
    digits = std::clamp(digits, 0, 18);
    Decimal r = d;
    RoundTo(r, std::min<long long>(precision, static_cast<long long>(r.exponent) + digits));
    if (r.exponent > precision) return General(d, precision, 0);

    std::string whole = r.IntegerDigits();
    if (whole.empty()) whole = "0";
    std::string number = format == TFloatFormat::ffFixed ? whole : Grouped(whole);
    if (digits > 0) {
        number.push_back(FormatSettings().DecimalSeparator);
        for (int j = 1; j <= digits; ++j) number.push_back(r.FractionDigit(j));
    }
    const bool negative = r.negative && !r.IsZero();
    if (format == TFloatFormat::ffCurrency) return Currency(number, negative);
    return negative ? "-" + number : number;
}

std::string FormatFloat(std::string_view pattern, double value) {
    if (!std::isfinite(value)) return NonFinite(value);
    if (pattern.empty()) return FloatToStrF(value, TFloatFormat::ffGeneral, 15, 0);
    const std::vector<Section> sections = ParsePattern(pattern);
    const Decimal d = ShortestDecimal(value);

    size_t index = d.negative && sections.size() > 1 && !sections[1].empty ? 1 : 0;
    Layout layout = Analyse(sections[index]);
    int sciExponent = 0;
    Decimal r = RoundFor(d, layout, sciExponent);
    if (r.IsZero() && sections.size() > 2 && !sections[2].empty) {
        index = 2;
        layout = Analyse(sections[2]);
        r = Decimal{};
        sciExponent = 0;
    }
    std::string text = Render(sections[index], layout, r, sciExponent);
    if (index == 0 && d.negative && !r.IsZero()) text.insert(0, 1, '-');
    return text;
}

} // namespace rtl
