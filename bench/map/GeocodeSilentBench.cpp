// Batch geocoding speed: GeocodeSilent calls per second over the example records repeated to
// a given count, and the share of that time spent deriving coordinates. Also prints how the
// example records come out, one line per status kind.

#include "HeadlessMapSite.h"
#include "KarteUnit.h"
#include "OleClassRegistry.h"
#include "StartupEnvironment.h"

#include "EngineMap.h"
#include "Gazetteer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>

#include <sqlite3.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

struct Record {
    QString id, country, postcode, city, street;
};

std::vector<Record> readRecords(const QString &file)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw std::runtime_error("Cannot open the example database " + file.toStdString()
                                 + "; build the target orvane_examples first.");
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, "select KolmNummer, LandKennz, Plz, Ort, Strasse from kunden order by Nr",
                           -1, &s, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    const auto text = [s](int c) {
        const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
        return t ? QString::fromUtf8(t) : QString();
    };
    std::vector<Record> out;
    while (sqlite3_step(s) == SQLITE_ROW)
        out.push_back({text(0), text(1), text(2), text(3), text(4)});
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

class BenchKartenModul : public TKartenModul {
public:
    BenchKartenModul() = default;
};

// The real engine with its LocationAt calls counted: four of them make one derivation.
class CountingMap : public OleObject, public MapPoint::Map {
public:
    explicit CountingMap(std::shared_ptr<EngineMap> engine) : m_engine(std::move(engine)) {}
    QWidget *createView(QWidget *parent) override { return m_engine->createView(parent); }
    void ApplyStartSetting(int setting) override { m_engine->ApplyStartSetting(setting); }
    std::shared_ptr<MapPoint::ToolbarOwner> ToolbarOwner() const override { return m_engine->ToolbarOwner(); }
    std::shared_ptr<MapPoint::FindResults> LookupAddress(const QString &street, const QString &city,
                                                         const QString &other1, const QString &other2,
                                                         const QString &postcode, const QVariant &country) override
    {
        return m_engine->LookupAddress(street, city, other1, other2, postcode, country);
    }
    std::shared_ptr<MapPoint::Location> LocationAt(double latitude, double longitude, double altitude) override
    {
        ++locationAtCalls;
        return m_engine->LocationAt(latitude, longitude, altitude);
    }
    double DistanceBetween(const MapPoint::Location &from, const MapPoint::Location &to) const override
    {
        return m_engine->DistanceBetween(from, to);
    }
    std::shared_ptr<MapPoint::Pushpin> PlacePushpin(const MapPoint::Location &at, const QString &name) override
    {
        return m_engine->PlacePushpin(at, name);
    }
    std::shared_ptr<MapPoint::Pushpin> PinByName(const QString &name) const override { return m_engine->PinByName(name); }
    double ViewAltitude() const override { return m_engine->ViewAltitude(); }
    void SetViewAltitude(double altitude) override { m_engine->SetViewAltitude(altitude); }
    void Advise(MapPoint::MapEvents *sink) override { m_engine->Advise(sink); }
    void Unadvise(MapPoint::MapEvents *sink) override { m_engine->Unadvise(sink); }

    long long locationAtCalls = 0;

private:
    std::shared_ptr<EngineMap> m_engine;
};

void printOutcome(TKartenModul &module, const std::vector<Record> &records, const char *edition)
{
    QMap<QString, int> outcome, notFoundByCountry;
    int needsControl = 0;
    for (const Record &r : records) {
        RAddressSearchResult result;
        module.GeocodeSilent(r.country, r.postcode, r.city, r.street, r.id, result);
        outcome[result.Found ? TKartenModul::GetStatusText(result.StatusKind) : QStringLiteral("not found")] += 1;
        if (!result.Found)
            notFoundByCountry[r.country.isEmpty() ? QStringLiteral("(empty)") : r.country] += 1;
        needsControl += result.NeedsControl ? 1 : 0;
    }
    std::printf("%zu example records, %s edition (%d found need control):\n", records.size(), edition,
                needsControl);
    for (auto it = outcome.cbegin(); it != outcome.cend(); ++it)
        std::printf("  %-10s %d\n", qPrintable(it.key()), it.value());
    QStringList byCountry;
    for (auto it = notFoundByCountry.cbegin(); it != notFoundByCountry.cend(); ++it)
        byCountry << it.key() + " " + QString::number(it.value());
    std::printf("  not found by country: %s\n", qPrintable(byCountry.join(", ")));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString gazetteerFile = args.value(1, GazetteerFilesFromEnvironment().shipped);
    const QString dbFile = args.value(2, QStringLiteral(ORVANE_EXAMPLE_DB));
    const int total = args.value(3, QStringLiteral("100000")).toInt();

    try {
        const auto gazetteer = Engine::Gazetteer::open({gazetteerFile});
        const std::vector<Record> records = readRecords(dbFile);
        std::shared_ptr<CountingMap> counting;
        OleClassRegistry::instance().registerClass("Orvane.Bench.EU", [gazetteer, &counting] {
            counting = std::make_shared<CountingMap>(
                std::make_shared<EngineMap>(Engine::Edition::Europe, gazetteer, QString()));
            return std::shared_ptr<OleObject>(counting);
        });
        OleClassRegistry::instance().registerClass("Orvane.Bench.NA", [gazetteer] {
            return std::make_shared<EngineMap>(Engine::Edition::NorthAmerica, gazetteer, QString());
        });
        // As orvane-batch makes its map: no container, no view.
        THeadlessMapSite site;
        BenchKartenModul module, northAmerica;
        module.CreateMap(site, QStringLiteral("Orvane.Bench.EU"));
        northAmerica.CreateMap(site, QStringLiteral("Orvane.Bench.NA"));
        printOutcome(module, records, "European");
        printOutcome(northAmerica, records, "North American");

        counting->locationAtCalls = 0;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < total; ++i) {
            const Record &r = records[static_cast<size_t>(i) % records.size()];
            RAddressSearchResult result;
            module.GeocodeSilent(r.country, r.postcode, r.city, r.street, r.id, result);
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        const long long derivations = counting->locationAtCalls / 4;

        // The derivation alone, on one location, as many times as the run converted.
        const auto location = module.Map()->LocationAt(48.137, 11.575, 0.0);
        timer.restart();
        double longitude = 0.0, latitude = 0.0;
        [[maybe_unused]] volatile double keep = 0.0;  // the results must look used
        for (long long i = 0; i < derivations; ++i) {
            module.LocationToLatLong(*location, longitude, latitude);
            keep = longitude + latitude;
        }
        const double derivationSeconds = timer.nsecsElapsed() / 1e9;

        std::printf("%d GeocodeSilent calls in %.3f s: %.0f calls/s\n", total, seconds, total / seconds);
        std::printf("%lld coordinate derivations in %.3f s: %.1f %% of the run\n", derivations,
                    derivationSeconds, 100.0 * derivationSeconds / seconds);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_map_geocode: %s\n", e.what());
        return 1;
    }
    return 0;
}
