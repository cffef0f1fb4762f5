// Lookups per second and core on the shipped gazetteer, its load time and memory. One thread: the
// per-core figure is lookups over the thread's own CPU time, so a busy machine does not lower it;
// the wall-clock rate is printed beside it. Prints table rows; run by scripts/bench.

#include "Geocoder.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <ctime>
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

double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void row(const QString &what, const QString &figure)
{
    std::printf("| %-58s | %24s |\n", qPrintable(what), qPrintable(figure));
}

void rates(const QString &what, double lookups, double cpuSeconds, double wallSeconds)
{
    row(QStringLiteral("geocoder lookups per core, %1").arg(what),
        QStringLiteral("%1 /s (wall %2 /s)").arg(qint64(lookups / cpuSeconds)).arg(qint64(lookups / wallSeconds)));
}

} // namespace

int main()
{
    const QString file = QStringLiteral(ORVANE_BINARY_DIR "/share/orvane/gazetteer.bin");
    const long before = residentKb();
    QElapsedTimer clock;
    clock.start();
    const auto gazetteer = Engine::Gazetteer::open({file});
    row(QStringLiteral("geocoder: shipped gazetteer load (%1 MB file)").arg(double(QFileInfo(file).size()) / 1e6, 0, 'f', 1),
        QStringLiteral("%1 s, %2 MB resident").arg(double(clock.elapsed()) / 1000, 0, 'f', 2).arg((residentKb() - before) / 1024));

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
    double cpu = threadSeconds();
    for (int r = 0; r < rounds; ++r)
        for (const Input &in : inputs)
            results += (in.edition == Engine::Edition::Europe ? eu : na).lookup(in.street, in.city, in.postcode, in.country).matches.size();
    rates(QStringLiteral("%1 mixed inputs repeated (one thread)").arg(inputs.size()), double(rounds) * double(inputs.size()),
          threadSeconds() - cpu, double(clock.nsecsElapsed()) / 1e9);

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
    cpu = threadSeconds();
    for (int r = 0; r < recordRounds; ++r)
        for (const Input &in : records)
            results += (in.edition == Engine::Edition::Europe ? eu : na).lookup(in.street, in.city, in.postcode, in.country).matches.size();
    rates(QStringLiteral("%1 gazetteer records (one thread)").arg(records.size()), double(recordRounds) * double(records.size()),
          threadSeconds() - cpu, double(clock.nsecsElapsed()) / 1e9);
    std::fprintf(stderr, "bench_geocoder: %zu results\n", results);
    return 0;
}
