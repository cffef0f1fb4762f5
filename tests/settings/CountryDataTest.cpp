#include "CountryDataUnit.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {
// Records what the country table does to its combo box.
class RecordingItems : public IComboBoxItems {
public:
    QStringList items{QStringLiteral("stale")};
    int current = 0;
    void clear() override { items.clear(); current = -1; }
    void addItem(const QString &text) override
    {
        items.append(text);
        if (current < 0)
            current = 0;   // as a real combo box does for its first item
    }
    int currentIndex() const override { return current; }
    void setCurrentIndex(int index) override { current = index >= 0 && index < items.size() ? index : -1; }
};

struct BoundTable {
    TCountryData countries;
    RecordingItems *items;
    BoundTable()
    {
        auto owned = std::make_unique<RecordingItems>();
        items = owned.get();
        countries.FillComboBox(std::move(owned));
    }
};
}

TEST(CountryData, HoldsTheSixteenRowsExactly)
{
    struct Row { const char16_t *code, *longCode, *iso, *number; qint32 phone, map; const char16_t *english, *german; };
    const Row expected[] = {
        {u"D", u"DEU", u"DE", u"004", 49, 94, u"Germany", u"Deutschland"},
        {u"A", u"AUS", u"AT", u"038", 43, 14, u"Austria", u"Österreich"},
        {u"CH", u"CH", u"CH", u"039", 41, 223, u"Switzerland", u"Schweiz"},
        {u"FL", u"LIE", u"LI", u"37", 41, 145, u"Liechtenstein", u"Liechtenstein"},
        {u"I", u"ITL", u"IT", u"005", 46, 118, u"Italy", u"Italien"},
        {u"F", u"FR", u"FR", u"001", 33, 84, u"France", u"Frankreich"},
        {u"E", u"ESP", u"ES", u"011", 34, 217, u"Spain", u"Spanien"},
        {u"P", u"POR", u"PT", u"010", 351, 193, u"Portugal", u"Portugal"},
        {u"B", u"BEL", u"BE", u"002", 32, 21, u"Belgium", u"Belgien"},
        {u"NL", u"NL", u"NL", u"003", 31, 176, u"Netherlands", u"Niederlande"},
        {u"L", u"LUX", u"LU", u"002", 352, 147, u"Luxembourg", u"Luxemburg"},
        {u"DK", u"DK", u"DK", u"008", 45, 61, u"Denmark", u"Dänemark"},
        {u"GB", u"GB", u"GB", u"006", 44, 242, u"United Kingdom", u"Vereinigtes Königreich"},
        {u"IRL", u"IRL", u"IE", u"007", 353, 68, u"Ireland", u"Irland"},
        {u"USA", u"USA", u"US", u"400", 1, 244, u"United States", u"Vereinigte Staaten (USA)"},
        {u"CAN", u"CAN", u"CA", u"404", 1, 39, u"Canada", u"Kanada"},
    };
    const TCountryData countries;
    ASSERT_EQ(countries.Count(), 16);
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        const RCountryData &r = countries.Row(i);
        const Row &e = expected[i];
        EXPECT_EQ(r.Code, QString::fromUtf16(e.code));
        EXPECT_EQ(r.LongCode, QString::fromUtf16(e.longCode));
        EXPECT_EQ(r.IsoCode, QString::fromUtf16(e.iso));
        EXPECT_EQ(r.CountryNumber, QString::fromUtf16(e.number));
        EXPECT_EQ(r.PhonePrefix, e.phone);
        EXPECT_EQ(r.MapCountry, e.map);
        EXPECT_EQ(r.EnglishName, QString::fromUtf16(e.english));
        EXPECT_EQ(r.GermanName, QString::fromUtf16(e.german));
    }
    EXPECT_THROW(countries.Row(16), std::out_of_range);
    EXPECT_THROW(countries.Row(-1), std::out_of_range);
}

TEST(CountryData, MapCountryMatchesWholeCodesExactly)
{
    const TCountryData countries;
    EXPECT_EQ(countries.GetMapCountry(QStringLiteral("D")), 94);
    EXPECT_EQ(countries.GetMapCountry(QStringLiteral("USA")), 244);
    EXPECT_EQ(countries.GetMapCountry(QStringLiteral("CAN")), 39);
    EXPECT_EQ(countries.GetMapCountry(QStringLiteral("CH")), 223);
    EXPECT_EQ(countries.GetMapCountry(QStringLiteral("GB")), 242);
    for (const char *code : {"DE", "AT", "US", "d", "D ", " D", "usa", "", "Germany"})
        EXPECT_EQ(countries.GetMapCountry(QString::fromLatin1(code)), 0) << code;
}

TEST(CountryData, AddCountryIgnoresRowsOutsideTheTable)
{
    TCountryData countries;
    countries.AddCountry(16, QStringLiteral("X"), {}, {}, {}, 0, 999, QStringLiteral("Nowhere"), {});
    countries.AddCountry(-1, QStringLiteral("X"), {}, {}, {}, 0, 999, QStringLiteral("Nowhere"), {});
    EXPECT_EQ(countries.Count(), 16);
    EXPECT_EQ(countries.GetMapCountry(QStringLiteral("X")), 0);
    // Storing over an existing row replaces it and never counts a seventeenth row.
    countries.AddCountry(0, QStringLiteral("X"), {}, {}, {}, 0, 999, QStringLiteral("Nowhere"), {});
    EXPECT_EQ(countries.Count(), 16);
    EXPECT_EQ(countries.GetMapCountry(QStringLiteral("X")), 999);
    EXPECT_EQ(countries.GetMapCountry(QStringLiteral("D")), 0);
}

TEST(CountryData, WithoutComboBoxNothingIsSelected)
{
    TCountryData countries;
    EXPECT_EQ(countries.GetSelectedCode(), QString());
    countries.SelectCode(QStringLiteral("D"));
    EXPECT_EQ(countries.GetSelectedCode(), QString());
}

TEST(CountryData, FillListsTheEnglishNamesWithNothingSelected)
{
    BoundTable t;
    ASSERT_EQ(t.items->items.size(), 16);
    EXPECT_EQ(t.items->items.first(), QStringLiteral("Germany"));
    EXPECT_EQ(t.items->items.last(), QStringLiteral("Canada"));
    EXPECT_EQ(t.items->items.at(12), QStringLiteral("United Kingdom"));
    EXPECT_EQ(t.items->current, -1);
    EXPECT_EQ(t.countries.GetSelectedCode(), QString());
}

TEST(CountryData, SelectCodeAndSelectedCodeAgreeOnRows)
{
    BoundTable t;
    t.countries.SelectCode(QStringLiteral("CH"));
    EXPECT_EQ(t.items->current, 2);
    EXPECT_EQ(t.countries.GetSelectedCode(), QStringLiteral("CH"));
    t.countries.SelectCode(QStringLiteral("CAN"));
    EXPECT_EQ(t.items->current, 15);
    for (const char *code : {"NL", "DK", "GB"}) {
        t.countries.SelectCode(QString::fromLatin1(code));
        EXPECT_EQ(t.countries.GetSelectedCode(), QString::fromLatin1(code));
    }
    // Codes that match no row leave the selection as it was.
    for (const char *code : {"DE", "gb", "GB ", ""}) {
        t.countries.SelectCode(QString::fromLatin1(code));
        EXPECT_EQ(t.countries.GetSelectedCode(), QStringLiteral("GB")) << code;
    }
}
