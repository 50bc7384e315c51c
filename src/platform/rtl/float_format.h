#pragma once
// Number to text with the classic runtime's formats and pattern language,
// using the process locale (FormatSettings) for separators and currency.
//
// Digits are taken from the shortest decimal form that reads back as the same
// double, and rounding is half away from zero on those digits: 2.675 shown
// with two decimals is 2.68, as a user reading "2.675" expects. A value that
// rounds to zero never shows a minus sign. NaN and infinities give "NAN",
// "INF" and "-INF" in every format.

#include <string>
#include <string_view>

namespace rtl {

enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// precision: significant digits, 1..18 (clamped).
// ffGeneral: the shorter of fixed and scientific: scientific when the decimal
//   exponent is >= precision or < -4; no trailing zeros; digits (0..4) is the
//   minimum number of exponent digits ("1E15", "1.5E-5").
// ffExponent: "d.dddE+xx" with precision digits in all; digits (0..4) is the
//   minimum number of exponent digits; the exponent sign is always shown.
// ffFixed: digits (0..18) decimals, always shown; ffNumber adds thousands
//   grouping; ffCurrency places the result with the locale's currency sign
//   and layouts. These three switch to ffGeneral (with the same precision)
//   when the value has more integer digits than precision.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);

// Pattern formatting: up to three sections "positive;negative;zero".
//   0      a digit, always shown (leading or trailing zero if needed)
//   #      a digit, shown only when significant
//   .      the first one places the locale's decimal separator; it is left out
//          when no decimal digit is shown ("0." gives "12")
//   ,      in the integer part: group thousands with the locale's separator
//   E+0 E-0 e+0 e-0   scientific; the zeros give the minimum exponent digits,
//          "+" always shows the exponent sign, "-" only a negative one
//   '..' ".."  copied as they are; any other character is copied too
// A negative value uses the second section without a sign when that section
// is not empty, else the first with a leading "-". A value that rounds to zero
// uses the third section when it is not empty. An empty pattern gives
// FloatToStr. Pattern characters are fixed: when the locale's decimal and
// thousands separators are the same character, "," still means grouping and
// "." the decimal point. Double-byte characters are copied whole.
std::string FormatFloat(std::string_view pattern, double value);

} // namespace rtl
