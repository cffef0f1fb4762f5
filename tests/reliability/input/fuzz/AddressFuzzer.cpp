// Address parts as users type, paste or import them, through key folding and lookup. The input
// is split into street, city and postcode at 0x1F bytes; the first byte picks the country, the
// edition and whether the parts are UTF-8 or raw UTF-16 (which lets lone surrogates through).
#include "Gazetteer.h"
#include "GazetteerStore.h"
#include "ImportProgress.h"
#include "Geocoder.h"
#include "TextKey.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace Engine;

namespace {

const int countries[] = {0, 94, 244, 39, 14, 1, 2, 86, 59, 50, 28, 108, 158, 999, -1, 40};

struct Engines {
    std::shared_ptr<const Gazetteer> gazetteer;
    std::unique_ptr<Geocoder> europe, northAmerica;
};
Engines *engines = nullptr;

// A few records of every kind, for runs without the shipped gazetteer.
QString smallGazetteer()
{
    const QString file = QDir::temp().filePath(QStringLiteral("orvane-fuzz-gazetteer-%1.bin").arg(getpid()));
    QFile::remove(file);
    GazetteerStore store(file);
    SegmentBuilder &source = store.beginSource(QStringLiteral("fuzz"));
    const struct { const char *country, *name, *postcode; double lat, lon; } places[] = {
        {"DE", "München", "80331", 48.137, 11.575}, {"DE", "Frankfurt am Main", "60311", 50.11, 8.68},
        {"DE", "Sankt Augustin", "53757", 50.77, 7.18}, {"AT", "Wien", "1010", 48.21, 16.37},
        {"CH", "St. Gallen", "9000", 47.42, 9.37}, {"US", "Springfield", "62701", 39.8, -89.65},
        {"CA", "Toronto", "M5V 2T6", 43.65, -79.38}, {"GB", "London", "SW1A 1AA", 51.5, -0.12},
        {"NL", "Den Haag", "2511 AA", 52.08, 4.3}, {"FR", "Saint-Étienne", "42000", 45.43, 4.39}};
    int id = 0;
    for (const auto &p : places) {
        const QString country = QString::fromLatin1(p.country), name = QString::fromUtf8(p.name);
        source.putPlace(QStringLiteral("fuzz"), QString::number(++id), {country, name, {}, p.lat, p.lon, 100000},
                       name.toUpper());
        source.putPostcode({country, QString::fromLatin1(p.postcode), name, {}, p.lat, p.lon, LocationKind::PostcodeArea});
        source.putStreet(country, QStringLiteral("Hauptstraße"), QString::fromLatin1(p.postcode), name,
                        {{p.lat, p.lon}, {p.lat + 0.001, p.lon + 0.001}});
        source.putAddress({country, QStringLiteral("Hauptstraße"), QStringLiteral("12a"),
                                               QString::fromLatin1(p.postcode), name, p.lat, p.lon});
    }
    Engine::ImportProgress progress(QStringLiteral("test"), 0, nullptr);
    store.endSource(std::size(places), progress);
    store.commit();
    return file;
}

QString decode(const uint8_t *data, size_t size, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString s(qsizetype(size / 2), Qt::Uninitialized);
    for (size_t i = 0; i + 1 < size; i += 2)
        s[qsizetype(i / 2)] = QChar(char16_t(data[i] | data[i + 1] << 8));
    return s;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const QByteArray chosen = qgetenv("ORVANE_FUZZ_GAZETTEER");
    const QString file = chosen.isEmpty() ? smallGazetteer() : QString::fromLocal8Bit(chosen);
    std::fprintf(stderr, "gazetteer: %s\n", qPrintable(file));
    engines = new Engines;
    engines->gazetteer = Gazetteer::open({file});
    engines->europe = std::make_unique<Geocoder>(engines->gazetteer, Edition::Europe);
    engines->northAmerica = std::make_unique<Geocoder>(engines->gazetteer, Edition::NorthAmerica);
    if (chosen.isEmpty())
        QFile::remove(file);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    const bool utf16 = mode & 0x10;
    const Geocoder &geocoder = mode & 0x20 ? *engines->northAmerica : *engines->europe;
    const int country = countries[mode & 0x0F];
    QString parts[3];
    size_t start = 1;
    for (int p = 0; p < 3 && start <= size; ++p) {
        size_t end = start;
        while (end < size && data[end] != 0x1F)
            ++end;
        parts[p] = decode(data + start, end - start, utf16);
        start = end + 1;
    }
    const QString iso = isoCodeFor(country);
    for (const QString &p : parts) {
        const QString clean = TextKey::cleaned(p);
        const std::string key = TextKey::name(clean);
        const std::string code = TextKey::postcode(iso, clean);
        (void)TextKey::postcodeDistrict(iso, code);
        (void)TextKey::houseNumber(clean);
        (void)TextKey::editDistance(key, TextKey::name(parts[0]), 2);
        // Folding is idempotent on cleaned text: a second pass must not change the key.
        if (TextKey::name(TextKey::cleaned(clean)) != key)
            std::abort();
    }
    const Answer a = geocoder.lookup(parts[0], parts[1], parts[2], country);
    if (int(a.quality) < 0 || int(a.quality) > 3)
        std::abort();
    for (const Match &m : a.matches)
        if (!(m.latitude >= -90 && m.latitude <= 90 && m.longitude >= -180 && m.longitude <= 180))
            std::abort();
    return 0;
}
