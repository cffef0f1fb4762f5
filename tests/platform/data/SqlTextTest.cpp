#include "SqlText.h"

#include <gtest/gtest.h>

// The text both SQL providers send: a wrong part here locates the wrong row or none.
TEST(SqlText, ConditionsQuoteNamesAndLeaveNullsWithoutAParameter)
{
    const ColumnValues where{{QStringLiteral("Kolm\"Nr"), QStringLiteral("7")},
                             {QStringLiteral("Ort"), QVariant()},
                             {QStringLiteral("PLZ"), QStringLiteral("10115")}};
    EXPECT_EQ(SqlText::where(where, QLatin1Char('$'), 3),
              QStringLiteral("\"Kolm\"\"Nr\" = $3 AND \"Ort\" IS NULL AND \"PLZ\" = $4"));
    EXPECT_TRUE(SqlText::where({}, QLatin1Char('?'), 1).isEmpty());
}

TEST(SqlText, TopBecomesLimitAndOtherTextStaysAsItIs)
{
    EXPECT_EQ(SqlText::rewriteTop(QStringLiteral("select distinct TOP 5 Name1 from kunden order by Name1;\n")),
              QStringLiteral("select distinct Name1 from kunden order by Name1\nLIMIT 5"));
    const QString column = QStringLiteral("select top from kunden");
    EXPECT_EQ(SqlText::rewriteTop(column), column);
    EXPECT_TRUE(SqlText::isPlainWord(QStringLiteral("Straße_2")));
    EXPECT_FALSE(SqlText::isPlainWord(QStringLiteral("2Straße")));
    EXPECT_FALSE(SqlText::isPlainWord(QStringLiteral("Asset Items")));
}
