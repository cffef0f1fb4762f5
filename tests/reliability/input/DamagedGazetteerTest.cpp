// Damaged gazetteer files, read through the store built with AddressSanitizer: a cut file, a file
// of another version or of the former SQLite format is refused at open with its name; a file with
// bits flipped anywhere is refused or read, and every lookup over it answers or throws
// GazetteerError, never reading outside the mapping.
#include "FileBytes.h"
#include "Gazetteer.h"
#include "GazetteerFormat.h"
#include "GazetteerImporter.h"
#include "Geocoder.h"
#include <TestFiles.h>

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include <zlib.h>

using namespace Engine;

namespace {

class DamagedGazetteerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        const QString places = dir->filePath(QStringLiteral("places.txt")), postcodes = dir->filePath(QStringLiteral("postal.txt"));
        QStringList rows;
        for (int i = 0; i < 60; ++i)
            rows << TestFiles::placeRow(i + 1, QStringLiteral("Ort %1").arg(i), QStringLiteral("Village %1,Dorf %1").arg(i),
                                        47 + i * 0.05, 9 + i * 0.07, i % 3 ? QStringLiteral("DE") : QStringLiteral("US"), {},
                                        500 + i * 1000);
        TestFiles::writeLines(places, rows);
        TestFiles::writeLines(postcodes, {TestFiles::postalRow(QStringLiteral("DE"), QStringLiteral("88486"), QStringLiteral("Ort 1"), {}, 47.05, 9.07),
                                          TestFiles::postalRow(QStringLiteral("US"), QStringLiteral("02134"), QStringLiteral("Ort 3"), QStringLiteral("MA"), 47.15, 9.2)});
        TestFiles::OsmXml osm;
        for (int s = 0; s < 12; ++s) {
            osm.street(47.05 + s * 0.001, 9.07, QStringLiteral("Straße %1").arg(s));
            osm.address(47.05 + s * 0.001, 9.071, QStringLiteral("Straße %1").arg(s), QString::number(s + 1), QStringLiteral("88486"),
                        QStringLiteral("Ort 1"));
        }
        const QString streets = dir->filePath(QStringLiteral("streets.osm"));
        TestFiles::write(streets, osm.text());
        good = new QString(dir->filePath(QStringLiteral("good.bin")));
        GazetteerImporter(*good).import({places, postcodes, streets});
        bytes = new QByteArray(contents(*good));
    }
    static void TearDownTestSuite()
    {
        delete bytes;
        delete good;
        delete dir;
    }

    // Every kind of read the engine and the map make.
    static void readEverything(const QString &file)
    {
        const auto g = Gazetteer::open({file});
        const Geocoder eu(g, Edition::Europe), na(g, Edition::NorthAmerica);
        for (const char *city : {"Ort 1", "Ort 14", "Dorf 5", "Ortt 20", "Villag 7"})
            eu.lookup(QStringLiteral("Straße 3 4"), QString::fromUtf8(city), QStringLiteral("88486"), 94);
        na.lookup({}, QStringLiteral("Ort 3"), QStringLiteral("02134"), 0);
        g->placesIn({40, 0, 60, 20}, 0, 100);
        g->placesIn({47, 9, 47.2, 9.2}, 0, 100);
        g->streetsIn({47, 9, 47.2, 9.2}, 100);
        g->placeServing(47.05, 9.07);
        for (uint32_t i = 0; i < g->places().size(); ++i)
            g->place(i);
        for (uint32_t i = 0; i < g->postcodes().size(); ++i)
            g->postcode(i);
        for (uint32_t i = 0; i < g->streets().size(); ++i)
            g->streetPieces(i);
        for (uint32_t i = 0; i < g->addresses().size(); ++i)
            g->address(i);
        g->sources();
    }
    static QTemporaryDir *dir;
    static QString *good;
    static QByteArray *bytes;
};

QTemporaryDir *DamagedGazetteerTest::dir = nullptr;
QString *DamagedGazetteerTest::good = nullptr;
QByteArray *DamagedGazetteerTest::bytes = nullptr;

QString errorOpening(const QString &file)
{
    try {
        Gazetteer::open({file});
    } catch (const GazetteerError &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace

TEST_F(DamagedGazetteerTest, TheGoodFileReadsWhole)
{
    readEverything(*good);
    EXPECT_EQ(Gazetteer::open({*good})->sources().size(), 3u);
}

TEST_F(DamagedGazetteerTest, CutFilesAreRefusedWithTheirName)
{
    const QString file = dir->filePath(QStringLiteral("cut.bin"));
    for (int i = 0; i < 48; ++i) {
        const qsizetype at = i < 8 ? qsizetype(i * 9) : bytes->size() * (i - 8) / 40 + (i % 7);
        store(file, bytes->left(std::min(at, bytes->size() - 1)));
        EXPECT_TRUE(errorOpening(file).contains(file)) << "cut at " << at;
    }
}

TEST_F(DamagedGazetteerTest, OtherVersionsAreRefusedSayingWhatToDo)
{
    const QString file = dir->filePath(QStringLiteral("version.bin"));
    QByteArray other = *bytes;
    GazetteerFormat::FileHeader header;
    std::memcpy(&header, other.constData(), sizeof header);
    ++header.version;
    header.headerCrc = 0;
    header.headerCrc = uint32_t(crc32(0, reinterpret_cast<const Bytef *>(&header), sizeof header));
    std::memcpy(other.data(), &header, sizeof header);
    store(file, other);
    EXPECT_TRUE(errorOpening(file).contains(QStringLiteral("format version"))) << errorOpening(file).toStdString();
    store(file, QByteArray("SQLite format 3") + QByteArray(1, '\0') + QByteArray(4080, 'x'));
    EXPECT_TRUE(errorOpening(file).contains(QStringLiteral("earlier version"))) << errorOpening(file).toStdString();
}

TEST_F(DamagedGazetteerTest, FlippedBitsAnywhereAreRefusedOrReadSafely)
{
    const QString file = dir->filePath(QStringLiteral("flipped.bin"));
    QRandomGenerator random(20261209);
    int refused = 0, read = 0, failedLater = 0;
    for (int round = 0; round < 1500; ++round) {
        QByteArray damaged = *bytes;
        const int flips = 1 + int(random.bounded(8));
        for (int f = 0; f < flips; ++f) {
            // Half the rounds aim at the headers and section tables, where a flip moves everything.
            const qsizetype at = round % 2 ? qsizetype(random.bounded(quint32(damaged.size())))
                                           : qsizetype(random.bounded(quint32(std::min<qsizetype>(damaged.size(), 8192))));
            damaged[at] = char(damaged[at] ^ (1 << random.bounded(8)));
        }
        store(file, damaged);
        if (!errorOpening(file).isEmpty()) {
            ++refused;
            continue;
        }
        try {
            readEverything(file);
            ++read;
        } catch (const GazetteerError &e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(file)) << e.what();
            ++failedLater;
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(read + failedLater, 0);
    std::printf("refused at open %d, read %d, refused while reading %d\n", refused, read, failedLater);
}
