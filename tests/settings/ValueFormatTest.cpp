#include "ValueFormat.h"

#include <gtest/gtest.h>

namespace {
const ValueFormat German{QLocale(QLocale::German, QLocale::Germany)};
const ValueFormat American{QLocale(QLocale::English, QLocale::UnitedStates)};
}

TEST(ValueFormat, IntegersAreDecimalOrHexadecimal)
{
    EXPECT_EQ(ValueFormat::toInteger("42"), 42);
    EXPECT_EQ(ValueFormat::toInteger(" -7 "), -7);
    EXPECT_EQ(ValueFormat::toInteger("0x1F"), 31);
    EXPECT_EQ(ValueFormat::toInteger("0Xff"), 255);
    EXPECT_EQ(ValueFormat::toInteger("0x7FFFFFFF"), 2147483647);
    EXPECT_EQ(ValueFormat::toInteger("0xFFFFFFFF"), -1);
    EXPECT_EQ(ValueFormat::toInteger("2147483647"), 2147483647);
    for (const char *bad : {"", "abc", "12abc", "1.0", "0x", "0x-1", "0xG", "0x100000000", "2147483648", "$10"})
        EXPECT_EQ(ValueFormat::toInteger(bad), std::nullopt) << bad;
}

TEST(ValueFormat, FloatsFollowTheLocalesDecimalSeparator)
{
    EXPECT_EQ(German.toFloat("9,5"), 9.5);
    EXPECT_EQ(German.toFloat("-0,125"), -0.125);
    EXPECT_EQ(German.fromFloat(9.5), "9,5");
    EXPECT_EQ(German.fromFloat(12345.5), "12345,5");   // no group separator
    EXPECT_EQ(American.toFloat("9.5"), 9.5);
    EXPECT_EQ(American.fromFloat(9.5), "9.5");
    EXPECT_EQ(American.fromFloat(0), "0");
    // A point under German, a comma under US English, and group separators do not convert.
    for (const char *bad : {"1.5", "1.500", "", "abc", "nan", "inf"})
        EXPECT_EQ(German.toFloat(bad), std::nullopt) << bad;
    for (const char *bad : {"9,5", "1,500"})
        EXPECT_EQ(American.toFloat(bad), std::nullopt) << bad;
    for (double v : {0.1, 52.520008, 13.404954, -122.419416, 1e-9, 6378137.0})
        EXPECT_EQ(German.toFloat(German.fromFloat(v)), v) << v;
}

TEST(ValueFormat, TimesOfDayInTheLocalesFormat)
{
    EXPECT_EQ(German.toDateTime("6"), 0.25);
    EXPECT_EQ(German.toDateTime("18"), 0.75);
    EXPECT_EQ(German.toDateTime("06:00"), 0.25);
    EXPECT_EQ(German.toDateTime("18:00:00"), 0.75);
    EXPECT_EQ(German.fromDateTime(0.25), "06:00:00");
    EXPECT_EQ(German.fromDateTime(0.75), "18:00:00");
    EXPECT_EQ(German.fromDateTime(0), "00:00:00");
    EXPECT_EQ(American.fromDateTime(0.25), "6:00:00 AM");
    EXPECT_EQ(American.fromDateTime(0.75), "6:00:00 PM");
    EXPECT_EQ(American.toDateTime("6:00:00 PM"), 0.75);
    EXPECT_EQ(American.toDateTime("12:00 AM"), 0.0);
    EXPECT_EQ(American.toDateTime("18"), 0.75);
    for (const char *bad : {"", "24", "6:60", "6:00:61", "6:00:00:00", "six", "6,5", "0,25", "-6"})
        EXPECT_EQ(German.toDateTime(bad), std::nullopt) << bad;
    for (const char *bad : {"13:00 PM", "0:30 AM", "PM"})
        EXPECT_EQ(American.toDateTime(bad), std::nullopt) << bad;
}

TEST(ValueFormat, DatesRoundTripWithFourDigitYears)
{
    // 45000 days after 30 Dec 1899 is 15 Mar 2023.
    EXPECT_EQ(German.fromDateTime(45000), "15.03.2023");
    EXPECT_EQ(German.fromDateTime(45000.5), "15.03.2023 12:00:00");
    EXPECT_EQ(American.fromDateTime(45000.75), "3/15/2023 6:00:00 PM");
    EXPECT_EQ(German.toDateTime("15.03.2023"), 45000.0);
    EXPECT_EQ(German.toDateTime("15.03.2023 12:00:00"), 45000.5);
    EXPECT_EQ(American.toDateTime("3/15/2023 6:00:00 PM"), 45000.75);
    // Before day zero the time still counts forward from midnight.
    EXPECT_EQ(German.fromDateTime(-1.25), "29.12.1899 06:00:00");
    EXPECT_EQ(German.toDateTime("29.12.1899 06:00:00"), -1.25);
    EXPECT_EQ(German.toDateTime("32.03.2023"), std::nullopt);
}
