#include "DisplayFormat.h"

#include <QLocale>
#include <gtest/gtest.h>

TEST(DisplayFormat, FiveDecimalsWithoutLeadingZero)
{
    const QString f = QStringLiteral("#.00000");
    EXPECT_EQ(DisplayFormat::formatFloat(0.5, f), ".50000");
    EXPECT_EQ(DisplayFormat::formatFloat(0.0, f), ".00000");
    EXPECT_EQ(DisplayFormat::formatFloat(-0.5, f), "-.50000");
    EXPECT_EQ(DisplayFormat::formatFloat(48.137, f), "48.13700");
    EXPECT_EQ(DisplayFormat::formatFloat(-122.419416, f), "-122.41942");
    EXPECT_EQ(DisplayFormat::formatFloat(0.999996, f), "1.00000");
    EXPECT_EQ(DisplayFormat::formatFloat(-0.000001, f), ".00000");
    EXPECT_EQ(DisplayFormat::formatFloat(7.25, QStringLiteral("0.0#")), "7.25");
    EXPECT_EQ(DisplayFormat::formatFloat(7.5, QStringLiteral("0.0#")), "7.5");
    EXPECT_EQ(DisplayFormat::formatFloat(0.5, QStringLiteral("00.00")), "00.50");
    EXPECT_EQ(DisplayFormat::formatFloat(2.5, {}), "2.5");
}

TEST(DisplayFormat, IgnoresTheUserLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DisplayFormat::formatFloat(48.137, QStringLiteral("#.00000")), "48.13700");
    EXPECT_EQ(DisplayFormat::formatFloat(1234567.5, QStringLiteral("#.00000")), "1234567.50000");
    QLocale::setDefault(saved);
}

TEST(DisplayFormat, BooleanShowsYesOrNothing)
{
    EXPECT_EQ(DisplayFormat::formatBoolean(true, {}), "Yes");
    EXPECT_EQ(DisplayFormat::formatBoolean(false, {}), "");
    EXPECT_EQ(DisplayFormat::formatBoolean(true, QStringLiteral("Yes;")), "Yes");
    EXPECT_EQ(DisplayFormat::formatBoolean(false, QStringLiteral("Yes;")), "");
    EXPECT_EQ(DisplayFormat::formatBoolean(false, QStringLiteral("Ja;Nein")), "Nein");
}
