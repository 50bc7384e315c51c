#pragma once
// Parsing and formatting of date-times with the process locale
// (FormatSettings). A date-time is a double: whole days since 1899-12-30,
// the fraction is the time of day.

#include <string>
#include <string_view>

namespace rtl {

// Fields in the order of the short date format, split by the date separator;
// with two fields the year is the current one; a year of one or two digits
// yy means 20yy when yy < 50, else 19yy. Blanks around fields are allowed.
bool TryStrToDate(std::string_view s, double& value);
// Hours [: minutes [: seconds [. milliseconds]]], with an optional AM/PM
// marker (the locale's or "AM"/"PM") before or after.
bool TryStrToTime(std::string_view s, double& value);
// A date optionally followed by a time, or a time alone.
bool TryStrToDateTime(std::string_view s, double& value);

// As above; EConvertError "'%s' is not a valid date" / "... valid time".
double StrToDate(std::string_view s);
double StrToTime(std::string_view s);
double StrToDateTime(std::string_view s);

// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(double dt);

// Formats with the classic pattern letters (matched without regard to case):
// c, d..dddddd, m..mmmm (minutes right after h), yy, yyyy, h, hh, n, nn, s,
// ss, z, zzz, t, tt, am/pm, a/p, ampm, "/" and ":" for the locale's
// separators, and quoted text copied as it is. Double-byte characters are
// copied whole, never read as pattern letters. An empty pattern means "c".
std::string FormatDateTime(std::string_view pattern, double dt);

} // namespace rtl
