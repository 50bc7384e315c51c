#include "platform/rtl/float_format.h"
#include "platform/rtl/locale.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"

#include <gtest/gtest.h>

#include <limits>

using namespace rtl;
using text::L;

TEST(FloatToStrF, FormatsPrecisionAndDigits) {
    using F = TFloatFormat;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct {
        double value;
        F format;
        int precision, digits;
        std::string text;
    } cases[] = {
        {1234.5678, F::ffGeneral, 15, 0, "1234.5678"},
        {1e15, F::ffGeneral, 15, 0, "1E15"},
        {123456, F::ffGeneral, 4, 0, "1.235E5"},
        {-1234.5, F::ffGeneral, 2, 0, "-1.2E3"},
        {0.00012345, F::ffGeneral, 3, 0, "0.000123"},
        {0.000012345, F::ffGeneral, 3, 0, "1.23E-5"},
        {1.5e-5, F::ffGeneral, 15, 2, "1.5E-05"}, // digits: least exponent digits
        {9.9999, F::ffGeneral, 4, 0, "10"},       // the carry adds a digit
        {12.345678, F::ffGeneral, 4, 0, "12.35"},
        {0.1 + 0.2, F::ffGeneral, 15, 0, "0.3"},
        {0.1, F::ffGeneral, 18, 0, "0.1"}, // no digits beyond the shortest form
        {-0.0, F::ffGeneral, 15, 0, "0"},
        {2.675, F::ffGeneral, 3, 0, "2.68"},

        {1234.5, F::ffExponent, 4, 2, "1.235E+03"},
        {-0.000123, F::ffExponent, 3, 0, "-1.23E-4"},
        {0, F::ffExponent, 3, 2, "0.00E+00"},
        {5, F::ffExponent, 1, 0, "5E+0"},
        {999.96, F::ffExponent, 4, 1, "1.000E+3"},

        {1234.5, F::ffFixed, 15, 2, "1234.50"},
        {2.675, F::ffFixed, 15, 2, "2.68"}, // half away from zero on "2.675"
        {-2.675, F::ffFixed, 15, 2, "-2.68"},
        {1.005, F::ffFixed, 15, 2, "1.01"},
        {2.5, F::ffFixed, 15, 0, "3"},
        {-0.004, F::ffFixed, 15, 2, "0.00"}, // no minus on a rounded zero
        {0.000001, F::ffFixed, 15, 2, "0.00"},
        {123456789.123456789, F::ffFixed, 15, 10, "123456789.1234570000"},
        {0.1 + 0.2, F::ffFixed, 15, 17, "0.30000000000000000"},
        {1e20, F::ffFixed, 15, 2, "1E20"}, // more integer digits than precision
        {123456, F::ffFixed, 4, 2, "1.235E5"},
        {999.999, F::ffFixed, 3, 2, "1E3"},
        {12.5, F::ffFixed, 15, 30, "12.500000000000000000"}, // digits clamp at 18

        {1234567.891, F::ffNumber, 15, 2, "1,234,567.89"},
        {-1234.5, F::ffNumber, 15, 0, "-1,235"},
        {999, F::ffNumber, 15, 2, "999.00"},
        {123456, F::ffNumber, 15, 0, "123,456"},
        {1e16, F::ffNumber, 15, 2, "1E16"},

        {1234.5, F::ffCurrency, 15, 2, L("￥1,234.50")},
        {-1234.5, F::ffCurrency, 15, 2, L("￥-1,234.50")},
        {-0.001, F::ffCurrency, 15, 2, L("￥0.00")},

        {nan, F::ffFixed, 15, 2, "NAN"},
        {inf, F::ffNumber, 15, 2, "INF"},
        {-inf, F::ffGeneral, 15, 0, "-INF"},
    };
    for (auto& c : cases)
        EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits), c.text)
            << c.value << " format " << static_cast<int>(c.format) << " " << c.precision << ","
            << c.digits;
}

TEST(FloatToStrF, FollowsTheLocaleObject) {
    {
        // A display format with "," as its decimal mark (#N2,2).
        DecimalSeparatorScope comma(',');
        EXPECT_EQ(FloatToStrF(1234.5, TFloatFormat::ffFixed, 15, 2), "1234,50");
        EXPECT_EQ(FloatToStrF(1234.5, TFloatFormat::ffNumber, 15, 2), "1,234,50");
        EXPECT_EQ(FloatToStr(0.25), "0,25");
    }
    TFormatSettings& fs = FormatSettings();
    const TFormatSettings saved = fs;
    fs.NegCurrFormat = 0;
    fs.CurrencyFormat = 3;
    EXPECT_EQ(FloatToStrF(-5, TFloatFormat::ffCurrency, 15, 1), L("(￥5.0)"));
    EXPECT_EQ(FloatToStrF(5, TFloatFormat::ffCurrency, 15, 0), L("5 ￥"));
    fs = saved;
}

TEST(FormatFloat, Patterns) {
    const std::string yuan = L("\"￥\"#,##0.00;(\"￥\"#,##0.00);零");
    struct {
        std::string pattern;
        double value;
        std::string text;
    } cases[] = {
        {"#,##0.00", 1234567.891, "1,234,567.89"},
        {"#,##0.00", 0.5, "0.50"},
        {"#,##0.00", -1234.5, "-1,234.50"},
        {"#,##0", 1e20, "100,000,000,000,000,000,000"},
        {"0.###", 1.5, "1.5"},
        {"0.###", 2, "2"},
        {"0.###", 1.23456, "1.235"},
        {"0.0#", 3, "3.0"},
        {"0.00", 2.675, "2.68"},
        {"0.00", -2.675, "-2.68"},
        {"0.00", 1.005, "1.01"},
        {"0.00", -0.004, "0.00"},
        {"0", 0.5, "1"},
        {"0", 2.5, "3"},
        {"0", -0.4, "0"},
        // Number format index 0: "##0." with one "#" per decimal.
        {"##0.", 12.7, "13"},
        {"##0.##", 0.5, "0.5"},
        {"##0.##", 1234.567, "1234.57"},
        {"#.##", 0.5, ".5"},
        {"#", 0, ""},
        {"00000", 42, "00042"},
        {"0-00", 12345, "123-45"}, // extra digits go before the first placeholder
        {"(###) ###-####", 5551234567.0, "(555) 123-4567"},
        {"0.00E+00", 12345, "1.23E+04"},
        {"0.00E+00", 0.00012345, "1.23E-04"},
        {"0.00E-00", 12345, "1.23E04"},
        {"0.00e-0", 0.00012345, "1.23e-4"},
        {"00.0E+0", 12345, "12.3E+3"},
        {"0.0E+0", 9.96, "1.0E+1"},
        {"0.00E+00", 0, "0.00E+00"},
        {"0.00E+00", -12345, "-1.23E+04"},
        {"0.00;(0.00);zero", 5, "5.00"},
        {"0.00;(0.00);zero", -5, "(5.00)"},
        {"0.00;(0.00);zero", 0, "zero"},
        {"0.00;(0.00);zero", -0.001, "zero"}, // rounds to zero
        {"0.00;(0.00)", -0.001, "(0.00)"},
        {"0.00;(0.00)", 0, "0.00"},
        {"0.00;;zero", -5, "-5.00"}, // empty negative section: the first, signed
        {yuan, 1234.5, L("￥1,234.50")},
        {yuan, -1234.5, L("(￥1,234.50)")},
        {yuan, 0, L("零")},
        {"'Qty: '0", 5, "Qty: 5"},
        {"\"0.00;\"0", 5, "0.00;5"}, // quoted pattern characters are text
        {"0 'kg'", 2.5, "3 kg"},
        {"0 'E+0'", 2, "2 E+0"},
        {"abc", 5, "abc"},
        // A trail byte that reads as 'E' before "+0" is no exponent.
        {"0" + L("丒") + "+0", 12, "1" + L("丒") + "+2"},
        {"", 1.0 / 3, "0.333333333333333"},
        {"", 1e15, "1E15"},
        {"0.00", std::numeric_limits<double>::quiet_NaN(), "NAN"},
    };
    for (auto& c : cases)
        EXPECT_EQ(FormatFloat(c.pattern, c.value), c.text) << c.pattern << " " << c.value;
}

TEST(FormatFloat, DecimalSeparatorEqualToThousandsSeparator) {
    DecimalSeparatorScope comma(',');
    EXPECT_EQ(FormatFloat("#,##0.00", 1234567.5), "1,234,567,50");
    EXPECT_EQ(FormatFloat("0.00", 2.5), "2,50");
    EXPECT_EQ(FormatFloat("", 2.5), "2,5");
}
