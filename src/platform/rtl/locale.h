#pragma once
// The one locale the engine formats and parses with: the Simplified Chinese
// (PRC) defaults. Texts are CP936.

#include <array>
#include <string>

namespace rtl {

struct TFormatSettings {
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
    char DateSeparator = '-';
    char TimeSeparator = ':';
    std::string ShortDateFormat;
    std::string LongDateFormat;
    std::string ShortTimeFormat;
    std::string LongTimeFormat;
    std::string TimeAMString;
    std::string TimePMString;
    std::array<std::string, 12> ShortMonthNames;
    std::array<std::string, 12> LongMonthNames;
    std::array<std::string, 7> ShortDayNames; // Sunday first
    std::array<std::string, 7> LongDayNames;
    // Currency text: the symbol, where it goes (0 "$1", 1 "1$", 2 "$ 1",
    // 3 "1 $") and the sixteen classic negative layouts (2 is "$-1").
    std::string CurrencyString;
    int CurrencyFormat = 0;
    int NegCurrFormat = 2;
    int CurrencyDecimals = 2;

    static TFormatSettings ChineseDefaults();
};

// The process-wide locale object.
TFormatSettings& FormatSettings();

// Temporarily changes the decimal separator; restores it on scope exit, also
// when an exception passes.
class DecimalSeparatorScope {
public:
    explicit DecimalSeparatorScope(char separator) : saved_(FormatSettings().DecimalSeparator) {
        FormatSettings().DecimalSeparator = separator;
    }
    ~DecimalSeparatorScope() { FormatSettings().DecimalSeparator = saved_; }
    DecimalSeparatorScope(const DecimalSeparatorScope&) = delete;
    DecimalSeparatorScope& operator=(const DecimalSeparatorScope&) = delete;

private:
    char saved_;
};

} // namespace rtl
