#pragma once
// String and number routines with the classic runtime's conventions: 1-based
// byte positions, blanks are codes 0..32, case folding touches ASCII letters
// only and never a trail byte of a double-byte character.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rtl {

// Conversion failures ("'x' is not a valid integer value" and the like).
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string Copy(std::string_view s, int index, int count);
int Pos(std::string_view sub, std::string_view s);
void Delete(std::string& s, int index, int count);
void Insert(std::string_view source, std::string& s, int index);

std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// The locale forms behave the same on CP936 text: only ASCII letters change.
inline std::string AnsiUpperCase(std::string_view s) {
    return UpperCase(s);
}
inline std::string AnsiLowerCase(std::string_view s) {
    return LowerCase(s);
}

int CompareStr(std::string_view a, std::string_view b);  // byte-wise, case-sensitive
int CompareText(std::string_view a, std::string_view b); // ASCII case-insensitive
bool SameText(std::string_view a, std::string_view b);

std::string IntToStr(long long value);
int StrToInt(std::string_view s);
int StrToIntDef(std::string_view s, int defaultValue);
bool TryStrToInt(std::string_view s, int& value);
double StrToFloat(std::string_view s);
bool TryStrToFloat(std::string_view s, double& value);
std::string FloatToStr(double value);

// Halves go to the even neighbour.
long long Round(double value);
long long Trunc(double value);

// Date-times are days since 1899-12-30; the fraction is the time of day.
double EncodeDate(int year, int month, int day);
double EncodeTime(int hour, int minute, int second, int msec);
void DecodeDate(double dt, int& year, int& month, int& day);
void DecodeTime(double dt, int& hour, int& minute, int& second, int& msec);
bool IsLeapYear(int year);
// Short date plus long time of the locale; the time is left out at midnight.
std::string DateTimeToStr(double dt);

} // namespace rtl
