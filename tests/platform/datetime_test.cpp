#include <gtest/gtest.h>

#include "platform/datetime.h"

using namespace velkaro;

TEST(DateTime, DaysSince1899AndBack) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2024, 2, 29), 45351.0);
    EXPECT_EQ(EncodeDate(1753, 1, 1), -53688.0);
    DateTimeParts p = DecodeDateTime(45351.75);
    EXPECT_EQ(p.year, 2024); EXPECT_EQ(p.month, 2); EXPECT_EQ(p.day, 29); EXPECT_EQ(p.hour, 18);
    EXPECT_EQ(FormatSortableDateTime(EncodeDateTime({2026, 12, 10, 5, 7, 9, 0})), "2026-12-10 05:07:09");
    EXPECT_FALSE(IsValidDate(2023, 2, 29));
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 10)), 5);  // a Thursday
}

TEST(DateTime, DisplayForms) {
    const TDateTime t = EncodeDateTime({2025, 3, 4, 9, 5, 59, 600});
    EXPECT_EQ(FormatDisplayDateTime(t), "04.03.2025 09:05");  // seconds cut, not rounded
    EXPECT_EQ(FormatDisplayDate(t), "04.03.2025");
    EXPECT_EQ(FormatDisplayDate(EncodeDate(1753, 1, 1)), "01.01.1753");
    EXPECT_EQ(FormatDisplayDate(EncodeDateTime({2024, 12, 31, 23, 59, 59, 999})), "31.12.2024");  // never the next day
    EXPECT_EQ(FormatClockTime(t), "09:05:59");
    EXPECT_EQ(FormatClockTime(EncodeDateTime({2025, 3, 4, 23, 59, 59, 0})), "23:59:59");
    EXPECT_EQ(DateOf(t), EncodeDate(2025, 3, 4));
}

TEST(DateTime, IncMonthKeepsTheDayWhereTheMonthHasIt) {
    struct Case { int y, m, d, months, ey, em, ed; };
    const Case cases[] = {
        {2025, 3, 15, -3, 2024, 12, 15},  // across the year
        {2025, 5, 31, -3, 2025, 2, 28},   // cut to the end of February
        {2024, 5, 31, -3, 2024, 2, 29},   // leap year
        {2024, 1, 31, 1, 2024, 2, 29},
        {2024, 10, 31, 2, 2024, 12, 31},
        {2024, 11, 30, 3, 2025, 2, 28},
        {2024, 12, 1, 1, 2025, 1, 1},
        {2024, 6, 30, 0, 2024, 6, 30},
        {2024, 3, 10, -27, 2021, 12, 10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IncMonth(EncodeDate(c.y, c.m, c.d), c.months), EncodeDate(c.ey, c.em, c.ed))
            << c.y << "-" << c.m << "-" << c.d << " " << c.months;
    const TDateTime withTime = EncodeDateTime({2025, 5, 31, 14, 30, 0, 0});
    EXPECT_EQ(FormatSortableDateTime(IncMonth(withTime, -3)), "2025-02-28 14:30:00");
}

TEST(DateTime, ReadSecondFractionRoundsToMillisecondsBelowTheNextSecond) {
    struct Case { const char* text; bool ok; int millisecond; size_t end; };
    const Case cases[] = {
        {"5", true, 500, 1},        {"123", true, 123, 3},    {"1234", true, 123, 4},
        {"1235", true, 124, 4},     {"9996", true, 999, 4},  // never 1000
        {"0000001Z", true, 0, 7},   {"25+01:00", true, 250, 2},
        {"", false, -1, 0},         {"Z", false, -1, 0},     {"-5", false, -1, 0},
    };
    for (const Case& c : cases) {
        size_t pos = 0;
        int millisecond = -1;
        EXPECT_EQ(ReadSecondFraction(c.text, pos, millisecond), c.ok) << c.text;
        EXPECT_EQ(millisecond, c.millisecond) << c.text;
        EXPECT_EQ(pos, c.end) << c.text;
    }
}
