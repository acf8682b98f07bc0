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
    EXPECT_EQ(FormatLogTimestamp(EncodeDateTime({2026, 12, 10, 5, 7, 9, 0})), "2026-12-10 05:07:09");
    EXPECT_FALSE(IsValidDate(2023, 2, 29));
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 10)), 5);  // a Thursday
}
