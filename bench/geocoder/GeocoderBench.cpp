// Lookups per second on the shipped gazetteer, its load time and memory, and the OSM import rate.
// Run by hand: bench_geocoder [OSM_FILE]

#include "GazetteerImporter.h"
#include "Geocoder.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString file = QStringLiteral(ORVANE_BINARY_DIR "/share/orvane/gazetteer.sqlite");
    const long before = residentKb();
    QElapsedTimer clock;
    clock.start();
    const auto gazetteer = Engine::Gazetteer::open({file});
    std::printf("gazetteer %s: %.1f MB, loaded in %lld ms, %ld MB resident\n", qPrintable(file),
                double(QFileInfo(file).size()) / 1e6, static_cast<long long>(clock.elapsed()), (residentKb() - before) / 1024);

    struct Input { QString street, city, postcode; int country; Engine::Edition edition; };
    const std::vector<Input> inputs{
        {{}, QStringLiteral("München"), QStringLiteral("80331"), 94, Engine::Edition::Europe},
        {QStringLiteral("Marienplatz 1"), QStringLiteral("Muenchen"), {}, 94, Engine::Edition::Europe},
        {{}, QStringLiteral("Wien"), QStringLiteral("1010"), 14, Engine::Edition::Europe},
        {{}, QStringLiteral("Zürich"), QStringLiteral("8001"), 223, Engine::Edition::Europe},
        {{}, QStringLiteral("Paris"), QStringLiteral("75001"), 84, Engine::Edition::Europe},
        {{}, QStringLiteral("Berg"), {}, 0, Engine::Edition::Europe},
        {{}, QStringLiteral("Kirchberg an der Iller"), QStringLiteral("88486"), 94, Engine::Edition::Europe},
        {{}, QStringLiteral("Boston"), QStringLiteral("02134"), 244, Engine::Edition::NorthAmerica},
        {{}, QStringLiteral("Springfield"), QStringLiteral("62701"), 244, Engine::Edition::NorthAmerica},
        {{}, QStringLiteral("Ottawa"), QStringLiteral("K1A 0B1"), 39, Engine::Edition::NorthAmerica},
    };
    const Engine::Geocoder eu(gazetteer, Engine::Edition::Europe), na(gazetteer, Engine::Edition::NorthAmerica);
    const int rounds = 50000;
    size_t results = 0;
    clock.restart();
    for (int r = 0; r < rounds; ++r)
        for (const Input &in : inputs)
            results += (in.edition == Engine::Edition::Europe ? eu : na).lookup(in.street, in.city, in.postcode, in.country).matches.size();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("lookups: %.0f per second (%zu results)\n", double(rounds) * double(inputs.size()) / seconds, results);

    // The same over many different records: every 40th place by its name and every 20th postcode
    // with its place, each in its own country, so that the figure does not rest on a few warm keys.
    std::vector<Input> records;
    for (size_t i = 0; i < gazetteer->places().size(); i += 40) {
        const Engine::PlaceRecord &p = gazetteer->places()[i];
        records.push_back({{}, p.name, {}, Engine::countryNumberFor(p.country),
                           p.country == u"US" || p.country == u"CA" ? Engine::Edition::NorthAmerica : Engine::Edition::Europe});
    }
    for (size_t i = 0; i < gazetteer->postcodes().size(); i += 20) {
        const Engine::PostcodeRecord &p = gazetteer->postcodes()[i];
        records.push_back({{}, p.place, p.code, Engine::countryNumberFor(p.country),
                           p.country == u"US" || p.country == u"CA" ? Engine::Edition::NorthAmerica : Engine::Edition::Europe});
    }
    const int recordRounds = 50;
    results = 0;
    clock.restart();
    for (int r = 0; r < recordRounds; ++r)
        for (const Input &in : records)
            results += (in.edition == Engine::Edition::Europe ? eu : na).lookup(in.street, in.city, in.postcode, in.country).matches.size();
    std::printf("lookups over %zu gazetteer records: %.0f per second (%zu results)\n", records.size(),
                double(recordRounds) * double(records.size()) / (double(clock.nsecsElapsed()) / 1e9), results);

    if (argc > 1) {
        QTemporaryDir dir;
        Engine::GazetteerImporter importer(dir.filePath(QStringLiteral("bench.sqlite")));
        importer.setPlaceAt([&](double lat, double lon) { return gazetteer->placeServing(lat, lon); });
        clock.restart();
        const qint64 objects = importer.import({QString::fromLocal8Bit(argv[1])});
        std::printf("OSM import: %lld objects in %.2f s, %.0f objects/s\n", static_cast<long long>(objects),
                    double(clock.elapsed()) / 1000, double(objects) / (double(clock.nsecsElapsed()) / 1e9));
    }
    return 0;
}
