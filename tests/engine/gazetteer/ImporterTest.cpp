#include "Gazetteer.h"
#include "GazetteerImporter.h"
#include "GazetteerStore.h"
#include <TestFiles.h>
#include "TextKey.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <zlib.h>

#include <atomic>
#include <csignal>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Engine;
using TestFiles::placeRow;
using TestFiles::postalRow;

namespace {

const char *const WestOakland = "/usr/share/doc/python-osmnx-doc/examples/tests/input_data/West-Oakland.osm.bz2";

class ImporterTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return dir.filePath(name); }
    QString gazetteer() const { return path(QStringLiteral("g.bin")); }
    std::shared_ptr<const Gazetteer> load() const { return Gazetteer::open({gazetteer()}); }
    QByteArray digest() const
    {
        QFile f(gazetteer());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    }
    void importPlaces()
    {
        TestFiles::writeLines(path(QStringLiteral("DE.txt")),
                              {placeRow(1, QStringLiteral("Munich"), QStringLiteral("München,Мюнхен,MUC,mi wnik"),
                                        48.137, 11.575, QStringLiteral("DE"), QStringLiteral("02"), 1260391),
                               placeRow(2, QStringLiteral("Berg"), {}, 47.97, 11.35, QStringLiteral("DE"), {}, 8000)});
        GazetteerImporter(gazetteer()).import({path(QStringLiteral("DE.txt"))});
    }
    // Enough places for an import to write well past 64 kB.
    static QStringList manyPlaces()
    {
        QStringList rows;
        for (int i = 0; i < 5000; ++i)
            rows << placeRow(100 + i, QStringLiteral("Ort %1").arg(i), {}, 50, 10, QStringLiteral("DE"), {}, 600);
        return rows;
    }
    QTemporaryDir dir;
};

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const GazetteerError &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

std::string nameKey(const char *text)
{
    return TextKey::name(QString::fromUtf8(text));
}

std::string addressKey(const char *country, const char *street, const char *number)
{
    return std::string(country) + ':' + TextKey::name(QString::fromUtf8(street)) + '#'
        + TextKey::houseNumber(QString::fromUtf8(number));
}

} // namespace

TEST_F(ImporterTest, GeoNamesPlacesKeepLatinAlternatesAndOnlyPopulatedPlaces)
{
    QStringList rows{placeRow(1, QStringLiteral("Munich"), QStringLiteral("München,Мюнхен,MUC,mi wnik,Monaco di Baviera"),
                              48.137, 11.575, QStringLiteral("DE"), QStringLiteral("02"), 1260391)};
    QString mountain = placeRow(3, QStringLiteral("Zugspitze"), {}, 47.42, 10.98, QStringLiteral("DE"), {}, 0);
    mountain.replace(QStringLiteral("\tP\tPPL\t"), QStringLiteral("\tT\tMT\t"));
    rows << mountain;
    TestFiles::writeLines(path(QStringLiteral("DE.txt")), rows);
    GazetteerImporter(gazetteer()).import({path(QStringLiteral("DE.txt"))});
    const auto g = load();
    ASSERT_EQ(g->places().size(), 1u);
    EXPECT_EQ(g->places()[0].population, 1260391);
    const auto hits = g->placesNamed(nameKey("Muenchen"));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(g->placeName(hits[0]), QStringLiteral("München"));
    EXPECT_TRUE(g->placesNamed(nameKey("Мюнхен")).empty());
    EXPECT_TRUE(g->placesNamed(nameKey("MUC")).empty());
    EXPECT_EQ(g->placesNamed(nameKey("Monaco di Baviera")).size(), 1u);
}

TEST_F(ImporterTest, PostalCodesPlainAndGzipped)
{
    const QByteArray text = (QStringList{postalRow(QStringLiteral("DE"), QStringLiteral("80331"), QStringLiteral("München"),
                                                   QStringLiteral("Bayern"), 48.1372, 11.5755),
                                         postalRow(QStringLiteral("CA"), QStringLiteral("K1A"), QStringLiteral("Ottawa"),
                                                   QStringLiteral("ON"), 45.42, -75.70)}
                                 .join(u'\n') + u'\n').toUtf8();
    gzFile gz = gzopen(QFile::encodeName(path(QStringLiteral("postal.txt.gz"))).constData(), "wb");
    gzwrite(gz, text.constData(), unsigned(text.size()));
    gzclose(gz);
    GazetteerImporter(gazetteer()).import({path(QStringLiteral("postal.txt.gz"))});
    const auto g = load();
    ASSERT_EQ(g->postcodes().size(), 2u);
    ASSERT_EQ(g->postcodesCoded("DE:80331").size(), 1u);
    const PostcodeRecord &ottawa = g->postcodes()[g->postcodesCoded("CA:K1A")[0]];
    EXPECT_EQ(ottawa.kind, LocationKind::PostcodeDistrict);   // an FSA is a postcode district
    EXPECT_EQ(g->postcodes()[g->postcodesCoded("DE:80331")[0]].kind, LocationKind::PostcodeArea);
}

TEST_F(ImporterTest, ImportingAgainAddsNoDuplicates)
{
    importPlaces();
    importPlaces();
    EXPECT_EQ(load()->places().size(), 2u);
}

TEST_F(ImporterTest, BadFilesStopWithTheLineAndLeaveTheGazetteerAsItWas)
{
    importPlaces();
    const QByteArray before = digest();

    QStringList rows;
    for (int i = 0; i < 50; ++i)
        rows << placeRow(100 + i, QStringLiteral("Ort %1").arg(i), {}, 50, 10, QStringLiteral("DE"), {}, 600);
    QString cut = placeRow(200, QStringLiteral("Abgeschnitten"), {}, 50, 10, QStringLiteral("DE"), {}, 600);
    rows << cut.left(cut.size() / 2);   // the file ends in the middle of row 51
    TestFiles::writeLines(path(QStringLiteral("cut.txt")), rows);
    QString error = errorOf([&] { GazetteerImporter(gazetteer()).import({path(QStringLiteral("cut.txt"))}); });
    EXPECT_TRUE(error.contains(QStringLiteral("line 51"))) << error.toStdString();
    EXPECT_EQ(digest(), before);
    EXPECT_EQ(load()->places().size(), 2u);

    // A good file before the bad one is not kept either: one transaction for the whole import.
    TestFiles::writeLines(path(QStringLiteral("good.txt")), rows.mid(0, 10));
    error = errorOf([&] {
        GazetteerImporter(gazetteer()).import({path(QStringLiteral("good.txt")), path(QStringLiteral("cut.txt"))});
    });
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(digest(), before);

    TestFiles::writeLines(path(QStringLiteral("coords.txt")),
                          {placeRow(300, QStringLiteral("Nirgendwo"), {}, 95, 10, QStringLiteral("DE"), {}, 600)});
    error = errorOf([&] { GazetteerImporter(gazetteer()).import({path(QStringLiteral("coords.txt"))}); });
    EXPECT_TRUE(error.contains(QStringLiteral("line 1")) && error.contains(QStringLiteral("latitude"))) << error.toStdString();

    TestFiles::writeLines(path(QStringLiteral("other.csv")), {QStringLiteral("a;b;c")});
    error = errorOf([&] { GazetteerImporter(gazetteer()).import({path(QStringLiteral("other.csv"))}); });
    EXPECT_TRUE(error.contains(QStringLiteral("columns"))) << error.toStdString();

    error = errorOf([&] { GazetteerImporter(gazetteer()).import({path(QStringLiteral("missing.txt"))}); });
    EXPECT_TRUE(error.contains(QStringLiteral("missing.txt"))) << error.toStdString();
    EXPECT_EQ(digest(), before);
}

TEST_F(ImporterTest, TruncatedCompressedFilesAreRejected)
{
    importPlaces();
    const QByteArray before = digest();
    const QStringList rows = manyPlaces();
    const QByteArray text = (rows.join(u'\n') + u'\n').toUtf8();
    const QString gzName = path(QStringLiteral("cut.txt.gz"));
    gzFile gz = gzopen(QFile::encodeName(gzName).constData(), "wb");
    gzwrite(gz, text.constData(), unsigned(text.size()));
    gzclose(gz);
    QFile f(gzName);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.resize(f.size() / 2);
    f.close();
    EXPECT_FALSE(errorOf([&] { GazetteerImporter(gazetteer()).import({gzName}); }).isEmpty());
    EXPECT_EQ(digest(), before);

    // The real OSM extract cut in half.
    if (QFile::exists(QString::fromLatin1(WestOakland))) {
        QFile osm(QString::fromLatin1(WestOakland));
        ASSERT_TRUE(osm.open(QIODevice::ReadOnly));
        TestFiles::write(path(QStringLiteral("cut.osm.bz2")), osm.readAll().left(osm.size() / 2));
        const QString error = errorOf([&] {
            GazetteerImporter importer(gazetteer());
            importer.setCountry(QStringLiteral("US"));
            importer.import({path(QStringLiteral("cut.osm.bz2"))});
        });
        EXPECT_TRUE(error.contains(QStringLiteral("cut.osm.bz2"))) << error.toStdString();
        EXPECT_EQ(digest(), before);
    }
}

TEST_F(ImporterTest, OsmStreetsAddressesPostcodesAndPlaces)
{
    TestFiles::OsmXml osm;
    osm.node(48.135, 10.08, {{QStringLiteral("place"), QStringLiteral("village")},
                             {QStringLiteral("name"), QStringLiteral("Kirchberg an der Iller")}});
    osm.street(48.130, 10.080, QStringLiteral("Haydnstraße"));
    osm.address(48.1302, 10.0811, QStringLiteral("Haydnstraße"), QStringLiteral("5"), QStringLiteral("88486"),
                QStringLiteral("Kirchberg an der Iller"));
    // A building with an address and no street of its own.
    const qint64 a = osm.node(48.1310, 10.0830), b = osm.node(48.1310, 10.0832), c = osm.node(48.1312, 10.0832);
    osm.way({a, b, c, a}, {{QStringLiteral("building"), QStringLiteral("yes")},
                           {QStringLiteral("addr:street"), QStringLiteral("Mozartweg")},
                           {QStringLiteral("addr:housenumber"), QStringLiteral("2a")},
                           {QStringLiteral("addr:postcode"), QStringLiteral("88486")}});
    // A postcode boundary with no address in it.
    const qint64 p = osm.node(48.20, 10.20), q = osm.node(48.20, 10.22), r = osm.node(48.22, 10.22);
    osm.way({p, q, r, p}, {{QStringLiteral("boundary"), QStringLiteral("postal_code")},
                           {QStringLiteral("postal_code"), QStringLiteral("88487")}});
    TestFiles::write(path(QStringLiteral("kirchberg.osm")), osm.text());

    GazetteerImporter(gazetteer()).import({path(QStringLiteral("kirchberg.osm"))});
    GazetteerImporter(gazetteer()).import({path(QStringLiteral("kirchberg.osm"))});   // again: no duplicates
    const auto g = load();
    ASSERT_EQ(g->streets().size(), 1u);
    const StreetRecord &s = g->streets()[0];
    EXPECT_EQ(s.country, QStringLiteral("DE"));
    EXPECT_EQ(s.postcode, QStringLiteral("88486"));
    EXPECT_EQ(s.city, QStringLiteral("Kirchberg an der Iller"));
    EXPECT_EQ(g->streetPieces(0).at(0).size(), 3u);
    ASSERT_EQ(g->addresses().size(), 2u);
    const auto mozart = g->addressesAt(addressKey("DE", "Mozartweg", "2 A"));
    ASSERT_EQ(mozart.size(), 1u);
    EXPECT_EQ(g->addresses()[mozart[0]].city, QStringLiteral("Kirchberg an der Iller"));   // from the place node
    EXPECT_NEAR(g->addresses()[mozart[0]].latitude, 48.1311, 0.0002);
    ASSERT_EQ(g->postcodesCoded("DE:88486").size(), 1u);
    ASSERT_EQ(g->postcodesCoded("DE:88487").size(), 1u);
    EXPECT_NEAR(g->postcodes()[g->postcodesCoded("DE:88487")[0]].latitude, 48.205, 0.01);
    EXPECT_EQ(g->places().size(), 1u);
}

TEST_F(ImporterTest, OsmNodesOutOfIdOrderAreFoundAndTheLaterOfOneIdCounts)
{
    TestFiles::write(path(QStringLiteral("unsorted.osm")), R"(<?xml version="1.0" encoding="UTF-8"?>
<osm version="0.6">
  <node id="30" version="1" lat="48.1300000" lon="10.0820000"/>
  <node id="10" version="1" lat="48.1300000" lon="10.0800000"/>
  <node id="20" version="1" lat="47.0000000" lon="9.0000000"/>
  <node id="20" version="2" lat="48.1300000" lon="10.0810000"/>
  <node id="40" version="1" lat="48.1302000" lon="10.0811000">
    <tag k="addr:street" v="Haydnstraße"/><tag k="addr:housenumber" v="5"/><tag k="addr:country" v="DE"/>
  </node>
  <way id="1" version="1">
    <nd ref="10"/><nd ref="20"/><nd ref="30"/><tag k="highway" v="residential"/><tag k="name" v="Haydnstraße"/>
  </way>
</osm>
)");
    GazetteerImporter(gazetteer()).import({path(QStringLiteral("unsorted.osm"))});
    const auto g = load();
    ASSERT_EQ(g->streets().size(), 1u);
    const auto points = g->streetPieces(0).at(0);
    ASSERT_EQ(points.size(), 3u);
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(points[i].first, 48.13, 1e-5);
        EXPECT_NEAR(points[i].second, 10.08 + 0.001 * double(i), 1e-5);
    }
}

TEST_F(ImporterTest, OsmAddressesWithoutPostcodeTakeTheirStreetsOrTheirBoundarys)
{
    TestFiles::OsmXml osm;
    osm.street(48.130, 10.080, QStringLiteral("Haydnstraße"));
    osm.address(48.1302, 10.0811, QStringLiteral("Haydnstraße"), QStringLiteral("5"), QStringLiteral("88486"),
                QStringLiteral("Kirchberg"));
    const auto building = [&](double lat, double lon, const QString &street, const QString &number) {
        const qint64 a = osm.node(lat, lon), b = osm.node(lat, lon + 0.0002), c = osm.node(lat + 0.0002, lon + 0.0002);
        osm.way({a, b, c, a}, {{QStringLiteral("building"), QStringLiteral("yes")}, {QStringLiteral("addr:street"), street},
                               {QStringLiteral("addr:housenumber"), number}, {QStringLiteral("addr:city"), QStringLiteral("Kirchberg")}});
    };
    building(48.1303, 10.0815, QStringLiteral("Haydnstraße"), QStringLiteral("7"));   // on its street
    building(48.2100, 10.2100, QStringLiteral("Feldweg"), QStringLiteral("1"));       // inside the boundary
    building(48.2500, 10.2500, QStringLiteral("Feldweg"), QStringLiteral("9"));       // neither
    // The boundary as a relation of two ways, the ring closed only by both together.
    const qint64 p = osm.node(48.20, 10.20), q = osm.node(48.20, 10.22), r = osm.node(48.22, 10.22), s = osm.node(48.22, 10.20);
    const qint64 w1 = osm.way({p, q, r}, {}), w2 = osm.way({r, s, p}, {});
    QByteArray text = osm.text();
    text.replace("</osm>", QStringLiteral("  <relation id=\"1\" version=\"1\">\n    <member type=\"way\" ref=\"%1\" role=\"outer\"/>\n"
                                          "    <member type=\"way\" ref=\"%2\" role=\"outer\"/>\n"
                                          "    <tag k=\"boundary\" v=\"postal_code\"/>\n    <tag k=\"postal_code\" v=\"88487\"/>\n"
                                          "  </relation>\n</osm>").arg(w1).arg(w2).toUtf8());
    TestFiles::write(path(QStringLiteral("buildings.osm")), text);

    GazetteerImporter importer(gazetteer());
    importer.import({path(QStringLiteral("buildings.osm"))});
    EXPECT_EQ(importer.notes(), QStringList{QStringLiteral("buildings.osm: 1 addresses without a postcode took their street's, 1 their postcode boundary's")});
    const auto g = load();
    const auto postcodeOf = [&](const char *street, const char *number) {
        const auto found = g->addressesAt(addressKey("DE", street, number));
        return found.size() == 1 ? g->addresses()[found[0]].postcode : QStringLiteral("?");
    };
    EXPECT_EQ(postcodeOf("Haydnstraße", "7"), QStringLiteral("88486"));
    EXPECT_EQ(postcodeOf("Feldweg", "1"), QStringLiteral("88487"));
    EXPECT_EQ(postcodeOf("Feldweg", "9"), QString());
}

// A street name that many villages share: a lookup reads only the namesakes that can fit what
// it was given, by postcode, by city or within a distance of the places the city may be.
TEST_F(ImporterTest, ManyNamesakesAreNarrowedToThoseALookupCanUse)
{
    // Postcodes in no order of the villages, differing at every digit.
    const auto postcodeOf = [](int k) { return QString::number(10000 + k * 7919 % 90000); };
    TestFiles::OsmXml osm;
    for (int k = 0; k < 60; ++k) {
        // A village every 0.01 degrees east: 0.74 km apart at this latitude.
        const double lon = 10.0 + 0.01 * k;
        const QString village = QStringLiteral("Dorf %1").arg(k);
        osm.node(48.0, lon, {{QStringLiteral("place"), QStringLiteral("village")}, {QStringLiteral("name"), village}});
        osm.street(48.0005, lon, QStringLiteral("Hauptstraße"));
        osm.address(48.0, lon, QStringLiteral("Hauptstraße"), QStringLiteral("1"), postcodeOf(k), village);
    }
    TestFiles::write(path(QStringLiteral("villages.osm")), osm.text());
    GazetteerImporter(gazetteer()).import({path(QStringLiteral("villages.osm"))});
    const auto g = load();
    const auto citiesOf = [&](const std::vector<uint32_t> &ids, bool streets) {
        QStringList cities;
        for (uint32_t id : ids)
            cities << (streets ? g->streets()[id].city : g->addresses()[id].city);
        return cities;
    };
    const auto villages = [](int from, int to) {
        QStringList names;
        for (int k = from; k <= to; ++k)
            names << QStringLiteral("Dorf %1").arg(k);
        return names;
    };

    const std::string prefix = "3", city = TextKey::name(u"Dorf 45");
    Narrowing byPostcode;
    byPostcode.byPostcode = true;
    byPostcode.postcodePrefix = prefix;
    QStringList withPrefix;
    for (int k = 0; k < 60; ++k)
        if (postcodeOf(k).startsWith(u'3'))
            withPrefix << QStringLiteral("Dorf %1").arg(k);
    ASSERT_GT(withPrefix.size(), 3);
    EXPECT_EQ(citiesOf(g->addressesAt(addressKey("DE", "Hauptstraße", "1"), byPostcode), false), withPrefix);

    // Within 20 km of Dorf 0 lie Dorf 0 to Dorf 26; Dorf 27 to Dorf 49 are further, in the same
    // grid cells. Of those only the named city counts.
    Narrowing byCity;
    byCity.byCity = true;
    byCity.cityKey = city;
    byCity.near = {{48.0, 10.0}};
    byCity.nearKm = 20;
    const QStringList expected = villages(0, 26) << QStringLiteral("Dorf 45");
    EXPECT_EQ(citiesOf(g->addressesAt(addressKey("DE", "Hauptstraße", "1"), byCity), false), expected);
    // Streets are kept in another order than their villages; the same villages are handed out.
    QStringList streetCities = citiesOf(g->streetsNamed("DE:" + nameKey("Hauptstraße"), byCity), true), sorted = expected;
    streetCities.sort();
    sorted.sort();
    EXPECT_EQ(streetCities, sorted);
    EXPECT_EQ(g->addressesAt(addressKey("DE", "Hauptstraße", "1")).size(), 60u);
}

TEST_F(ImporterTest, OsmWithoutCountryNeedsOne)
{
    TestFiles::OsmXml osm;
    osm.street(48.13, 10.08, QStringLiteral("Haydnstraße"));
    TestFiles::write(path(QStringLiteral("x.osm")), osm.text());
    const QString error = errorOf([&] { GazetteerImporter(gazetteer()).import({path(QStringLiteral("x.osm"))}); });
    EXPECT_TRUE(error.contains(QStringLiteral("--country"))) << error.toStdString();
    GazetteerImporter importer(gazetteer());
    importer.setPlaceAt([](double, double) {
        return PlaceRecord{QStringLiteral("DE"), QStringLiteral("Kirchberg an der Iller"), {}, 48.13, 10.08, 4800};
    });
    importer.import({path(QStringLiteral("x.osm"))});
    ASSERT_EQ(load()->streets().size(), 1u);
    EXPECT_EQ(load()->streets()[0].city, QStringLiteral("Kirchberg an der Iller"));
}

TEST_F(ImporterTest, RealWestOaklandExtract)
{
    if (!QFile::exists(QString::fromLatin1(WestOakland)))
        GTEST_SKIP() << "python-osmnx-doc is not installed";
    GazetteerImporter importer(gazetteer());
    importer.setCountry(QStringLiteral("US"));
    const qint64 objects = importer.import({QString::fromLatin1(WestOakland)});
    EXPECT_GT(objects, 500);
    const auto g = load();
    EXPECT_GE(g->streets().size(), 10u);
    EXPECT_FALSE(g->streetsNamed("US:" + nameKey("7th Street")).empty());
    EXPECT_FALSE(g->addressesAt(addressKey("US", "7th Street", "1612")).empty());
    ASSERT_FALSE(g->postcodesCoded("US:94607").empty());
    for (const StreetRecord &s : g->streets()) {
        EXPECT_NEAR(s.latitude, 37.81, 0.05);
        EXPECT_NEAR(s.longitude, -122.29, 0.05);
    }
    importer.import({QString::fromLatin1(WestOakland)});
    EXPECT_EQ(load()->addresses().size(), g->addresses().size());
}

TEST_F(ImporterTest, SourcesLieSideBySideAndAreReplacedOrRemovedWhole)
{
    importPlaces();
    TestFiles::writeLines(path(QStringLiteral("AT.txt")),
                          {placeRow(10, QStringLiteral("Wien"), {}, 48.21, 16.37, QStringLiteral("AT"), {}, 1900000)});
    GazetteerImporter(gazetteer()).import({path(QStringLiteral("AT.txt"))});
    auto names = [&] {
        QStringList out;
        for (const Gazetteer::Source &s : load()->sources())
            out << QStringLiteral("%1:%2").arg(s.name).arg(s.places);
        return out.join(u' ');
    };
    EXPECT_EQ(names(), QStringLiteral("DE.txt:2 AT.txt:1"));

    // DE.txt again, now without Berg: what it brought before goes, Austria stays.
    TestFiles::writeLines(path(QStringLiteral("DE.txt")),
                          {placeRow(1, QStringLiteral("Munich"), {}, 48.137, 11.575, QStringLiteral("DE"), {}, 1500000)});
    GazetteerImporter(gazetteer()).import({path(QStringLiteral("DE.txt"))});
    EXPECT_EQ(names(), QStringLiteral("AT.txt:1 DE.txt:1"));
    auto g = load();
    EXPECT_TRUE(g->placesNamed(nameKey("Berg")).empty());
    ASSERT_EQ(g->placesNamed(nameKey("Munich")).size(), 1u);
    EXPECT_EQ(g->place(g->placesNamed(nameKey("Munich"))[0].place).population, 1500000);

    GazetteerStore store(gazetteer());
    // Nothing else may change the file meanwhile: its rename would drop what this one does.
    EXPECT_TRUE(errorOf([&] { GazetteerImporter(gazetteer()).import({path(QStringLiteral("AT.txt"))}); }).contains(QStringLiteral("another import")));
    store.remove(QStringLiteral("AT.txt"));
    EXPECT_NE(errorOf([&] { store.remove(QStringLiteral("CH.txt")); }).indexOf(QStringLiteral("\"CH.txt\"")), -1);
    store.commit();
    g = load();
    EXPECT_EQ(names(), QStringLiteral("DE.txt:1"));
    EXPECT_TRUE(g->placesNamed(nameKey("Wien")).empty());
}

TEST_F(ImporterTest, AStopOrAFullDiskLeavesTheGazetteerAsItWas)
{
    importPlaces();
    const QByteArray before = digest();
    TestFiles::writeLines(path(QStringLiteral("many.txt")), manyPlaces());

    const std::atomic<bool> stop{true};
    GazetteerImporter stopped(gazetteer());
    stopped.setStop(&stop);
    EXPECT_TRUE(errorOf([&] { stopped.import({path(QStringLiteral("many.txt"))}); }).contains(QStringLiteral("stopped")));
    EXPECT_EQ(digest(), before);

    // A disk that fills up: no file may grow past 64 kB while the import writes.
    rlimit limit{}, small{64 * 1024, 64 * 1024};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const auto signal = std::signal(SIGXFSZ, SIG_IGN);
    small.rlim_max = limit.rlim_max;
    setrlimit(RLIMIT_FSIZE, &small);
    const QString error = errorOf([&] { GazetteerImporter(gazetteer()).import({path(QStringLiteral("many.txt"))}); });
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, signal);
    EXPECT_TRUE(error.contains(QStringLiteral("Cannot write the gazetteer"))) << error.toStdString();
    EXPECT_EQ(digest(), before);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.importing")}), QStringList());
    EXPECT_EQ(load()->places().size(), 2u);
}

TEST_F(ImporterTest, AnImportKilledOutrightLeavesNoHalfWrittenFile)
{
    importPlaces();
    const QByteArray before = digest();
    TestFiles::writeLines(path(QStringLiteral("many.txt")), manyPlaces());

    // The system ends the import as it writes past 64 kB, with no chance to clean up.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit small{64 * 1024, 64 * 1024}, noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        setrlimit(RLIMIT_FSIZE, &small);
        std::signal(SIGXFSZ, SIG_DFL);
        try {
            GazetteerImporter(gazetteer()).import({path(QStringLiteral("many.txt"))});
        } catch (...) {
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    const auto files = [&] { return QDir(dir.path()).entryList(QDir::Files).join(u' ').toStdString(); };
    EXPECT_EQ(files(), "DE.txt g.bin g.bin.lock many.txt");
    EXPECT_EQ(digest(), before);
    // What a kill left in the past goes with the next import.
    TestFiles::writeLines(path(QStringLiteral("g.bin.importing")), {QStringLiteral("half")});
    GazetteerImporter(gazetteer()).import({path(QStringLiteral("many.txt"))});
    EXPECT_EQ(files(), "DE.txt g.bin g.bin.lock many.txt");
    EXPECT_EQ(load()->places().size(), 5002u);
}
