#include "platform/rtl/sysutils.h"

#include "platform/rtl/float_format.h"
#include "platform/rtl/locale.h"
#include "platform/text/cp936.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace rtl {
namespace {

bool IsBlank(unsigned char c) {
    return c <= 32;
}

template <class Fold> std::string FoldCase(std::string_view s, Fold fold) {
    std::string r(s);
    for (size_t i = 0; i < r.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(r[i]);
        if (text::IsLeadByte(c)) {
            ++i; // the trail byte is never a letter
            continue;
        }
        r[i] = static_cast<char>(fold(c));
    }
    return r;
}

unsigned char ToUpperAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}
unsigned char ToLowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

std::string Quoted(std::string_view s) {
    return "'" + std::string(s) + "'";
}

} // namespace

std::string Copy(std::string_view s, int index, int count) {
    if (index < 1) index = 1;
    if (count <= 0 || static_cast<size_t>(index) > s.size()) return {};
    return std::string(s.substr(index - 1, count));
}

int Pos(std::string_view sub, std::string_view s) {
    if (sub.empty()) return 0;
    size_t p = s.find(sub);
    return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

void Delete(std::string& s, int index, int count) {
    if (index < 1 || count <= 0 || static_cast<size_t>(index) > s.size()) return;
    s.erase(index - 1, count);
}

void Insert(std::string_view source, std::string& s, int index) {
    if (index < 1) index = 1;
    size_t at = std::min(static_cast<size_t>(index - 1), s.size());
    s.insert(at, source);
}

std::string Trim(std::string_view s) {
    return TrimLeft(TrimRight(s));
}

std::string TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1])) --n;
    return std::string(s.substr(0, n));
}

std::string UpperCase(std::string_view s) {
    return FoldCase(s, ToUpperAscii);
}
std::string LowerCase(std::string_view s) {
    return FoldCase(s, ToLowerAscii);
}

int CompareStr(std::string_view a, std::string_view b) {
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareText(std::string_view a, std::string_view b) {
    if (a.size() == b.size() && a == b) return 0;
    return CompareStr(UpperCase(a), UpperCase(b));
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

std::string IntToStr(long long value) {
    return std::to_string(value);
}

bool TryStrToInt(std::string_view s, int& value) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    bool hex = false;
    if (i < s.size() && s[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size()) return false;
    unsigned long long v = 0;
    for (; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * (hex ? 16 : 10) + d;
        if (v > 0xFFFFFFFFull) return false;
    }
    if (hex) {
        // Hex literals name the bit pattern: $FFFFFFFF is -1.
        if (negative) v = 0x100000000ull - v;
        value = static_cast<int>(static_cast<uint32_t>(v));
        return true;
    }
    if (negative ? v > 2147483648ull : v > 2147483647ull) return false;
    value = negative ? static_cast<int>(-static_cast<long long>(v)) : static_cast<int>(v);
    return true;
}

int StrToInt(std::string_view s) {
    int v;
    if (!TryStrToInt(s, v)) throw EConvertError(Quoted(s) + " is not a valid integer value");
    return v;
}

int StrToIntDef(std::string_view s, int defaultValue) {
    int v;
    return TryStrToInt(s, v) ? v : defaultValue;
}

bool TryStrToFloat(std::string_view s, double& value) {
    const char sep = FormatSettings().DecimalSeparator;
    size_t i = 0, n = s.size();
    while (i < n && s[i] == ' ') ++i;
    while (n > i && s[n - 1] == ' ') --n;
    std::string c; // the number rewritten for strtod in the C locale
    if (i < n && (s[i] == '+' || s[i] == '-')) c.push_back(s[i++]);
    int digits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') c.push_back(s[i++]), ++digits;
    if (i < n && s[i] == sep) {
        c.push_back('.');
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9') c.push_back(s[i++]), ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        c.push_back('e');
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-')) c.push_back(s[i++]);
        int expDigits = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9') c.push_back(s[i++]), ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != n) return false;
    double v = std::strtod(c.c_str(), nullptr);
    if (!std::isfinite(v)) return false;
    value = v;
    return true;
}

double StrToFloat(std::string_view s) {
    double v;
    if (!TryStrToFloat(s, v))
        throw EConvertError(Quoted(s) + " is not a valid floating point value");
    return v;
}

std::string FloatToStr(double value) {
    return FloatToStrF(value, TFloatFormat::ffGeneral, 15, 0);
}

long long Round(double value) {
    return static_cast<long long>(std::nearbyint(value));
}
long long Trunc(double value) {
    return static_cast<long long>(std::trunc(value));
}

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

namespace {
constexpr int kDaysTo18991230 = 693594; // days from 0001-01-01 to 1899-12-30
const int kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                               {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};
} // namespace

double EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > kMonthDays[IsLeapYear(year)][month - 1])
        throw EConvertError("Invalid argument to date encode");
    for (int m = 1; m < month; ++m) day += kMonthDays[IsLeapYear(year)][m - 1];
    const int y = year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400 + day - kDaysTo18991230;
}

double EncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        msec < 0 || msec > 999)
        throw EConvertError("Invalid argument to time encode");
    return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / 86400000.0;
}

void DecodeDate(double dt, int& year, int& month, int& day) {
    // Far outside the calendar (or NaN) there is no date; checked before the
    // conversion, which could not hold such a value.
    if (!(std::fabs(dt) < 1e15)) {
        year = month = day = 0;
        return;
    }
    long long t = static_cast<long long>(std::trunc(dt)) + kDaysTo18991230;
    if (t <= 0 || t > 3652059) {
        year = month = day = 0;
        return;
    }
    --t;
    int y = 1;
    y += static_cast<int>(t / 146097) * 400, t %= 146097;
    long long i = t / 36524;
    if (i == 4) i = 3;
    y += static_cast<int>(i) * 100, t -= i * 36524;
    y += static_cast<int>(t / 1461) * 4, t %= 1461;
    i = t / 365;
    if (i == 4) i = 3;
    y += static_cast<int>(i), t -= i * 365;
    int m = 1;
    const int* md = kMonthDays[IsLeapYear(y)];
    while (t >= md[m - 1]) t -= md[m - 1], ++m;
    year = y;
    month = m;
    day = static_cast<int>(t) + 1;
}

void DecodeTime(double dt, int& hour, int& minute, int& second, int& msec) {
    double frac = std::fabs(dt - std::trunc(dt));
    long long ms = static_cast<long long>(std::llround(frac * 86400000.0));
    if (ms >= 86400000) ms = 86399999;
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

std::string DateTimeToStr(double dt) {
    const TFormatSettings& f = FormatSettings();
    int y, m, d, h, n, s, z;
    DecodeDate(dt, y, m, d);
    DecodeTime(dt, h, n, s, z);
    std::string r = std::to_string(y) + f.DateSeparator + std::to_string(m) + f.DateSeparator +
                    std::to_string(d);
    if (h || n || s || z) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " %d%c%02d%c%02d", h, f.TimeSeparator, n, f.TimeSeparator,
                      s);
        r += buf;
    }
    return r;
}

} // namespace rtl
