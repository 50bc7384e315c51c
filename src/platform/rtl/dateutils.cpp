#include "platform/rtl/dateutils.h"

#include "platform/rtl/locale.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"

#include <QDate>

#include <cmath>
#include <cstdio>

namespace rtl {
namespace {

// A cursor over the text being parsed; blanks are skipped before each field.
struct Scanner {
    std::string_view s;
    size_t pos = 0;

    void SkipBlanks() {
        while (pos < s.size() && s[pos] == ' ') ++pos;
    }
    bool AtEnd() {
        SkipBlanks();
        return pos >= s.size();
    }
    bool Number(int& value, int& digits) {
        SkipBlanks();
        value = digits = 0;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
            if (digits == 9) return false; // no field is that long
            value = value * 10 + (s[pos++] - '0');
            ++digits;
        }
        return digits > 0;
    }
    bool Char(char c) {
        SkipBlanks();
        if (pos < s.size() && s[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool Word(std::string_view w) {
        SkipBlanks();
        if (w.empty() || s.size() - pos < w.size() || !SameText(s.substr(pos, w.size()), w))
            return false;
        pos += w.size();
        return true;
    }
};

enum class DateOrder { YMD, MDY, DMY };

DateOrder ShortDateOrder() {
    for (char c : FormatSettings().ShortDateFormat) {
        if (c == 'y' || c == 'Y') return DateOrder::YMD;
        if (c == 'm' || c == 'M') return DateOrder::MDY;
        if (c == 'd' || c == 'D') return DateOrder::DMY;
    }
    return DateOrder::YMD;
}

bool TryEncodeDate(int y, int m, int d, double& value) {
    try {
        value = EncodeDate(y, m, d);
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

bool ScanDate(Scanner& sc, double& value) {
    int n[3], len[3], count = 0;
    if (!sc.Number(n[0], len[0]) || !sc.Char(FormatSettings().DateSeparator) ||
        !sc.Number(n[1], len[1]))
        return false;
    count = 2;
    if (sc.Char(FormatSettings().DateSeparator)) {
        if (!sc.Number(n[2], len[2])) return false;
        count = 3;
    }
    int y, m, d, yearDigits = 4;
    const DateOrder order = ShortDateOrder();
    if (count == 2) {
        y = QDate::currentDate().year();
        if (order == DateOrder::DMY)
            d = n[0], m = n[1];
        else
            m = n[0], d = n[1];
    } else if (order == DateOrder::YMD) {
        y = n[0], m = n[1], d = n[2], yearDigits = len[0];
    } else if (order == DateOrder::MDY) {
        m = n[0], d = n[1], y = n[2], yearDigits = len[2];
    } else {
        d = n[0], m = n[1], y = n[2], yearDigits = len[2];
    }
    if (yearDigits <= 2) y += y < 50 ? 2000 : 1900;
    return TryEncodeDate(y, m, d, value);
}

bool ScanAmPm(Scanner& sc, int& baseHour) {
    const TFormatSettings& f = FormatSettings();
    if (sc.Word(f.TimeAMString) || sc.Word("AM")) {
        baseHour = 0;
        return true;
    }
    if (sc.Word(f.TimePMString) || sc.Word("PM")) {
        baseHour = 12;
        return true;
    }
    return false;
}

bool ScanTime(Scanner& sc, double& value) {
    const TFormatSettings& f = FormatSettings();
    int baseHour = -1;
    ScanAmPm(sc, baseHour);
    int hour, minute = 0, second = 0, msec = 0, digits;
    if (!sc.Number(hour, digits)) return false;
    if (sc.Char(f.TimeSeparator)) {
        if (!sc.Number(minute, digits)) return false;
        if (sc.Char(f.TimeSeparator)) {
            if (!sc.Number(second, digits)) return false;
            if (sc.Char(f.DecimalSeparator) && !sc.Number(msec, digits)) return false;
        }
    }
    if (baseHour < 0) ScanAmPm(sc, baseHour);
    if (baseHour >= 0) {
        if (hour == 0 || hour > 12) return false;
        hour = hour % 12 + baseHour;
    }
    if (hour > 23 || minute > 59 || second > 59 || msec > 999) return false;
    value = EncodeTime(hour, minute, second, msec);
    return true;
}

std::string Quoted(std::string_view s) {
    return "'" + std::string(s) + "'";
}

// ---- formatting ----

class DateFormatter {
public:
    explicit DateFormatter(double dt) : dt_(dt) {
        DecodeDate(dt, year_, month_, day_);
        DecodeTime(dt, hour_, minute_, second_, msec_);
    }

    void Append(std::string_view pattern, int depth) {
        if (depth > 2) return; // locale formats nest at most once
        const TFormatSettings& f = FormatSettings();
        char lastToken = ' ';
        size_t i = 0;
        const size_t n = pattern.size();
        auto count = [&](char upper) {
            size_t k = i;
            while (k < n && (pattern[k] & ~0x20) == upper) ++k;
            const int c = static_cast<int>(k - i);
            i = k;
            return c;
        };
        while (i < n) {
            const unsigned char c = static_cast<unsigned char>(pattern[i]);
            if (text::IsLeadByte(c)) {
                out_.append(pattern.substr(i, std::min<size_t>(2, n - i)));
                i += 2;
                continue;
            }
            char token = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
            if (token >= 'A' && token <= 'Z') {
                if (token == 'M' && lastToken == 'H') token = 'N';
                lastToken = token;
            }
            switch (token) {
            case 'Y': {
                const int k = count('Y');
                AppendNumber(k <= 2 ? year_ % 100 : year_, k <= 2 ? 2 : 4);
                break;
            }
            case 'M': {
                const int k = count('M');
                if (k <= 2)
                    AppendNumber(month_, k);
                else if (month_ >= 1)
                    out_ += k == 3 ? f.ShortMonthNames[month_ - 1] : f.LongMonthNames[month_ - 1];
                break;
            }
            case 'D': {
                const int k = count('D');
                const int dow = DayOfWeek(dt_) - 1;
                if (k <= 2)
                    AppendNumber(day_, k);
                else if (k == 3)
                    out_ += f.ShortDayNames[dow];
                else if (k == 4)
                    out_ += f.LongDayNames[dow];
                else
                    Append(k == 5 ? f.ShortDateFormat : f.LongDateFormat, depth + 1);
                break;
            }
            case 'H': {
                const int k = count('H');
                int h = hour_;
                if (TwelveHourClock(pattern, i)) {
                    h %= 12;
                    if (h == 0) h = 12;
                }
                AppendNumber(h, std::min(k, 2));
                break;
            }
            case 'N': {
                // 'm' right after 'h' is counted as minutes too.
                const int k = count(static_cast<char>(pattern[i] & ~0x20));
                AppendNumber(minute_, std::min(k, 2));
                break;
            }
            case 'S':
                AppendNumber(second_, std::min(count('S'), 2));
                break;
            case 'Z':
                AppendNumber(msec_, count('Z') == 1 ? 1 : 3);
                break;
            case 'T':
                Append(count('T') == 1 ? f.ShortTimeFormat : f.LongTimeFormat, depth + 1);
                break;
            case 'C':
                count('C');
                Append(f.ShortDateFormat, depth + 1);
                if (hour_ || minute_ || second_) {
                    out_ += ' ';
                    Append(f.LongTimeFormat, depth + 1);
                }
                break;
            case 'A':
                AppendAmPm(pattern, i);
                break;
            case '/':
                out_ += f.DateSeparator;
                ++i;
                break;
            case ':':
                out_ += f.TimeSeparator;
                ++i;
                break;
            case '\'':
            case '"': {
                const char quote = pattern[i++];
                const size_t start = i;
                while (i < n && pattern[i] != quote)
                    i += text::IsLeadByte(static_cast<unsigned char>(pattern[i])) ? 2 : 1;
                i = std::min(i, n);
                out_.append(pattern.substr(start, i - start));
                if (i < n) ++i;
                break;
            }
            default:
                out_ += pattern[i++];
                break;
            }
        }
    }

    std::string Result() { return std::move(out_); }

private:
    void AppendNumber(int v, int digits) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*d", digits, v);
        out_ += buf;
    }

    // An hour is on the 12-hour clock when an AM/PM marker follows it before
    // the next hour field or 'a'.
    static bool TwelveHourClock(std::string_view p, size_t i) {
        bool quoted = false;
        for (; i < p.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(p[i]);
            if (text::IsLeadByte(c)) {
                ++i;
                continue;
            }
            if (c == '\'' || c == '"') quoted = !quoted;
            if (quoted) continue;
            if (c == 'h' || c == 'H') return false;
            if (c == 'a' || c == 'A')
                return StartsWithText(p.substr(i), "AM/PM") || StartsWithText(p.substr(i), "A/P") ||
                       StartsWithText(p.substr(i), "AMPM");
        }
        return false;
    }

    static bool StartsWithText(std::string_view s, std::string_view prefix) {
        return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
    }

    void AppendAmPm(std::string_view p, size_t& i) {
        const std::string_view rest = p.substr(i);
        const bool pm = hour_ >= 12;
        if (StartsWithText(rest, "AM/PM")) {
            out_.append(rest.substr(pm ? 3 : 0, 2)); // keeps the pattern's letter case
            i += 5;
        } else if (StartsWithText(rest, "A/P")) {
            out_ += rest[pm ? 2 : 0];
            i += 3;
        } else if (StartsWithText(rest, "AMPM")) {
            out_ += pm ? FormatSettings().TimePMString : FormatSettings().TimeAMString;
            i += 4;
        } else {
            out_ += p[i++];
        }
    }

    double dt_;
    int year_, month_, day_, hour_, minute_, second_, msec_;
    std::string out_;
};

} // namespace

bool TryStrToDate(std::string_view s, double& value) {
    Scanner sc{s};
    double v;
    if (!ScanDate(sc, v) || !sc.AtEnd()) return false;
    value = v;
    return true;
}

bool TryStrToTime(std::string_view s, double& value) {
    Scanner sc{s};
    double v;
    if (!ScanTime(sc, v) || !sc.AtEnd()) return false;
    value = v;
    return true;
}

bool TryStrToDateTime(std::string_view s, double& value) {
    Scanner sc{s};
    double date, time = 0;
    if (ScanDate(sc, date) && (sc.AtEnd() || (ScanTime(sc, time) && sc.AtEnd()))) {
        // Before 1899-12-30 the fraction still counts forward in the day.
        value = date >= 0 ? date + time : date - time;
        return true;
    }
    return TryStrToTime(s, value);
}

double StrToDate(std::string_view s) {
    double v;
    if (!TryStrToDate(s, v)) throw EConvertError(Quoted(s) + " is not a valid date");
    return v;
}

double StrToTime(std::string_view s) {
    double v;
    if (!TryStrToTime(s, v)) throw EConvertError(Quoted(s) + " is not a valid time");
    return v;
}

double StrToDateTime(std::string_view s) {
    double v;
    if (!TryStrToDateTime(s, v)) throw EConvertError(Quoted(s) + " is not a valid date");
    return v;
}

int DayOfWeek(double dt) {
    // Day 0 (1899-12-30) was a Saturday; the day is the truncated value, as
    // in DecodeDate.
    // The remainder first: a date far outside the calendar fits no integer.
    const double week = std::fmod(std::trunc(dt), 7.0);
    if (!std::isfinite(week)) return 1;
    const long long days = static_cast<long long>(week);
    return static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
}

std::string FormatDateTime(std::string_view pattern, double dt) {
    DateFormatter f(dt);
    f.Append(pattern.empty() ? std::string_view("c") : pattern, 0);
    return f.Result();
}

} // namespace rtl
