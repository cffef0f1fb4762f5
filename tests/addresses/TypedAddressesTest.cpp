// Records as German, French, Swiss and other back offices type them (shortened names, districts in
// the city, postcodes that lost their zeros or stand in the city field, house number ranges), with
// the place each one means. Every record runs as a batch run runs it; a record is right when its
// answer lies within the record's distance of that place, or, where postcode and city disagree,
// when no answer is given as sure. development.tsv is the set the rules were built on, held-out.tsv
// one drawn the same way and not looked at while they were.

#include "CountryDataUnit.h"
#include "HeadlessMapSite.h"
#include "KarteUnit.h"
#include "OleClassRegistry.h"

#include "EngineMap.h"
#include "Gazetteer.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

namespace {

double kilometres(double lat1, double lon1, double lat2, double lon2)
{
    const double d = M_PI / 180.0;
    const double h = std::pow(std::sin((lat2 - lat1) * d / 2), 2)
                     + std::cos(lat1 * d) * std::cos(lat2 * d) * std::pow(std::sin((lon2 - lon1) * d / 2), 2);
    return 2 * 6371.0 * std::asin(std::sqrt(h));
}

class RunModule : public TKartenModul {
public:
    RunModule() = default;
};

struct Outcome {
    int records = 0, right = 0, wrongAndSure = 0;
    QStringList misses;
};

class TypedAddresses : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const QString shipped = QStringLiteral(ORVANE_BINARY_DIR "/share/orvane/gazetteer.bin");
        if (!QFileInfo(shipped).isFile())
            return;
        const auto gazetteer = Engine::Gazetteer::open({shipped});
        OleClassRegistry::instance().registerClass("Orvane.Test.Typed.EU", [gazetteer] {
            return std::make_shared<EngineMap>(Engine::Edition::Europe, gazetteer, QString());
        });
        OleClassRegistry::instance().registerClass("Orvane.Test.Typed.NA", [gazetteer] {
            return std::make_shared<EngineMap>(Engine::Edition::NorthAmerica, gazetteer, QString());
        });
        // As orvane-batch makes its map: no container, no view.
        THeadlessMapSite site;
        europe = new RunModule;
        northAmerica = new RunModule;
        europe->CreateMap(site, "Orvane.Test.Typed.EU");
        northAmerica->CreateMap(site, "Orvane.Test.Typed.NA");
    }
    static void TearDownTestSuite()
    {
        delete europe;
        delete northAmerica;
    }
    void SetUp() override
    {
        if (!europe)
            GTEST_SKIP() << "the shipped gazetteer is not built";
        ASSERT_TRUE(europe->MapReady() && northAmerica->MapReady());
    }

    static Outcome run(const QString &file)
    {
        QFile f(QStringLiteral(ORVANE_SOURCE_DIR "/tests/addresses/") + file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
        f.readLine();   // column titles
        Outcome o;
        while (!f.atEnd()) {
            const QStringList r = QString::fromUtf8(f.readLine()).chopped(1).split(u'\t');
            if (r.size() != 9)
                continue;
            const QString &country = r[1];
            TKartenModul &module = country == u"USA" || country == u"CAN" ? *northAmerica : *europe;
            RAddressSearchResult result;
            module.GeocodeSilent(country, r[2], r[3], r[4], QString::number(o.records), result);
            ++o.records;
            const bool near = result.Found && kilometres(r[5].toDouble(), r[6].toDouble(), result.Latitude, result.Longitude) < r[7].toDouble();
            const bool doubtful = r[8] == u"doubt";
            if (doubtful ? !result.Found || result.NeedsControl : near) {
                ++o.right;
                continue;
            }
            if (result.Found && !result.NeedsControl)
                ++o.wrongAndSure;
            o.misses << QStringLiteral("%1 %2 \"%3\" \"%4\" \"%5\": %6").arg(r[0], country, r[2], r[3], r[4],
                result.Found ? result.MatchedAddress + (result.NeedsControl ? QStringLiteral(" (need control)") : QStringLiteral(" (sure)"))
                             : QStringLiteral("not found"));
        }
        std::cout << file.toStdString() << ": " << o.right << " of " << o.records << " right ("
                  << QString::number(100.0 * o.right / std::max(1, o.records), 'f', 1).toStdString() << " %), "
                  << o.wrongAndSure << " wrong without need control\n";
        for (const QString &m : o.misses)
            std::cout << "  " << m.toStdString() << '\n';
        return o;
    }

    static inline RunModule *europe = nullptr, *northAmerica = nullptr;
};

} // namespace

TEST_F(TypedAddresses, DevelopmentSet)
{
    const Outcome o = run(QStringLiteral("development.tsv"));
    EXPECT_GE(o.records, 200);
    EXPECT_GE(o.right * 100, o.records * 97);
    EXPECT_EQ(o.wrongAndSure, 0);
}

TEST_F(TypedAddresses, HeldOutSet)
{
    const Outcome o = run(QStringLiteral("held-out.tsv"));
    EXPECT_GE(o.records, 200);
    EXPECT_GE(o.right * 100, o.records * 97);
    EXPECT_EQ(o.wrongAndSure, 0);
}
