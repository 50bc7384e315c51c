#include "platform/rtl/dateutils.h"
#include "platform/rtl/locale.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"

#include <gtest/gtest.h>

#include <QDate>

using namespace rtl;
using text::L;

TEST(DateUtils, ParsesShortDateAndTime) {
    const int thisYear = QDate::currentDate().year();
    struct {
        const char* in;
        double out;
    } cases[] = {
        {"2024-3-5", EncodeDate(2024, 3, 5)},
        {" 2024 - 03 - 05 ", EncodeDate(2024, 3, 5)},
        {"24-3-5", EncodeDate(2024, 3, 5)}, // two-digit years: < 50 is 20yy
        {"49-1-1", EncodeDate(2049, 1, 1)},
        {"50-1-1", EncodeDate(1950, 1, 1)},
        {"0099-1-1", EncodeDate(99, 1, 1)}, // four digits are taken as written
        {"3-5", EncodeDate(thisYear, 3, 5)},
        {"2024-2-29 13:45", EncodeDate(2024, 2, 29) + EncodeTime(13, 45, 0, 0)},
        {"2024-2-29 1:02:03", EncodeDate(2024, 2, 29) + EncodeTime(1, 2, 3, 0)},
        {"2024-2-29 1:02:03.5", EncodeDate(2024, 2, 29) + EncodeTime(1, 2, 3, 5)},
        {"9:30", EncodeTime(9, 30, 0, 0)}, // a time alone
        {"1899-12-29 6:00", -1.25},        // before day 0 the time still counts forward
    };
    for (auto& c : cases) EXPECT_DOUBLE_EQ(StrToDateTime(c.in), c.out) << c.in;

    EXPECT_DOUBLE_EQ(StrToDate("2000-1-1"), EncodeDate(2000, 1, 1));
    struct {
        std::string in;
        double out;
    } times[] = {{"12:00 AM", 0},
                 {"12:00 pm", 0.5},
                 {"1:30 PM", EncodeTime(13, 30, 0, 0)},
                 {L("下午 3:00"), EncodeTime(15, 0, 0, 0)},
                 {L("上午 11:59:59"), EncodeTime(11, 59, 59, 0)},
                 {"7", EncodeTime(7, 0, 0, 0)},
                 {"23:59:59", EncodeTime(23, 59, 59, 0)}};
    for (auto& c : times) EXPECT_DOUBLE_EQ(StrToTime(c.in), c.out) << c.in;
}

TEST(DateUtils, RejectsWhatIsNotADate) {
    const char* dates[] = {"",          "2024",      "2024-2-30", "2023-2-29", "2024/3/5",
                           "2024-3-5x", "2024-13-1", "a-b-c",     "2024-3-",   "12345678901-1-1"};
    for (const char* s : dates) {
        double v;
        EXPECT_FALSE(TryStrToDate(s, v)) << s;
    }
    const char* times[] = {"", "24:00", "12:60", "13:00 PM", "0:30 AM", "1:2:3:4", "x"};
    for (const char* s : times) {
        double v;
        EXPECT_FALSE(TryStrToTime(s, v)) << s;
    }
    try {
        StrToDate("2024-2-30");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'2024-2-30' is not a valid date");
    }
    try {
        StrToTime("25:00");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'25:00' is not a valid time");
    }
    EXPECT_THROW(StrToDateTime("2024-3-5 25:00"), EConvertError);
}

TEST(DateUtils, FormatDateTimePatterns) {
    // Tuesday 2024-03-05 14:07:09.045
    const double t = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 45);
    const double morning = EncodeDate(2024, 3, 5) + EncodeTime(0, 5, 0, 0);
    struct {
        std::string pattern;
        double value;
        std::string out;
    } cases[] = {
        {"yyyy-mm-dd", t, "2024-03-05"},
        {"yy/m/d", t, "24-3-5"},
        {"YYYY.M.D", t, "2024.3.5"},
        {"hh:nn:ss.zzz", t, "14:07:09.045"},
        {"h:m:s.z", t, "14:7:9.45"},
        {"hh:mm", t, "14:07"}, // m right after h is minutes
        {"mm", t, "03"},
        {"mmm", t, L("三月")},
        {"mmmm", t, L("三月")},
        {"ddd", t, L("星期二")},
        {"dddd", t, L("星期二")},
        {"ddddd", t, "2024-3-5"},
        {"dddddd", t, L("2024年3月5日")},
        {"c", t, "2024-3-5 14:07:09"},
        {"c", EncodeDate(2024, 3, 5), "2024-3-5"},
        {"", t, "2024-3-5 14:07:09"},
        {"t", t, "14:07"},
        {"tt", t, "14:07:09"},
        {"h:nn am/pm", t, "2:07 pm"},
        {"h:nn AM/PM", morning, "12:05 AM"},
        {"h:nn a/p", t, "2:07 p"},
        {"hh ampm", t, "02 " + L("下午")},
        {"'yyyy' yyyy", t, "yyyy 2024"},
        {"\"h\"h", t, "h14"},
        {L("yyyy年m月d日"), t, L("2024年3月5日")},
        // 0x8179 is a double-byte character whose trail byte is 'y'.
        {"\x81yyy", t, "\x81y24"},
    };
    for (auto& c : cases) EXPECT_EQ(FormatDateTime(c.pattern, c.value), c.out) << c.pattern;

    EXPECT_EQ(DayOfWeek(0), 7); // 1899-12-30 was a Saturday
    EXPECT_EQ(DayOfWeek(t), 3);
    EXPECT_EQ(DayOfWeek(-1.25), 6);
}
