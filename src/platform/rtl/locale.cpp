#include "platform/rtl/locale.h"

#include "platform/text/cp936.h"

namespace rtl {

TFormatSettings TFormatSettings::ChineseDefaults() {
    using text::L;
    TFormatSettings s;
    s.ShortDateFormat = "yyyy-M-d";
    s.LongDateFormat = L("yyyy'年'M'月'd'日'");
    s.ShortTimeFormat = "H:mm";
    s.LongTimeFormat = "H:mm:ss";
    s.TimeAMString = L("上午");
    s.TimePMString = L("下午");
    s.CurrencyString = L("￥"); // the full-width sign: CP936 has no other
    static const char* const months[12] = {"一月", "二月", "三月", "四月", "五月",   "六月",
                                           "七月", "八月", "九月", "十月", "十一月", "十二月"};
    static const char* const days[7] = {"星期日", "星期一", "星期二", "星期三",
                                        "星期四", "星期五", "星期六"};
    for (int i = 0; i < 12; ++i) s.ShortMonthNames[i] = s.LongMonthNames[i] = L(months[i]);
    for (int i = 0; i < 7; ++i) s.ShortDayNames[i] = s.LongDayNames[i] = L(days[i]);
    return s;
}

TFormatSettings& FormatSettings() {
    static TFormatSettings settings = TFormatSettings::ChineseDefaults();
    return settings;
}

} // namespace rtl
