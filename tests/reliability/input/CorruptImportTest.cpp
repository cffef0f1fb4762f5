// Damaged and malformed reference data files through the importers: each is refused with the file
// (and for text files the line) named, and the gazetteer keeps every byte it had.
#include "GazetteerError.h"
#include "GazetteerImporter.h"
#include <TestFiles.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <osmium/builder/osm_object_builder.hpp>
#include <osmium/io/any_output.hpp>
#include <osmium/memory/buffer.hpp>

#include <gtest/gtest.h>

#include <zlib.h>

using namespace Engine;

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The gazetteer as it lies on disk: its bytes and any journal beside it.
QByteArray fingerprint(const QString &gazetteer)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(contents(gazetteer));
    for (const char *extra : {"-journal", "-wal"})
        if (QFile::exists(gazetteer + QLatin1String(extra)))
            h.addData(QByteArray(extra) + contents(gazetteer + QLatin1String(extra)));
    return h.result().toHex();
}

QString placeRow(int id, const QString &name, const QString &lat, const QString &lon)
{
    QStringList c = TestFiles::placeRow(id, name, QString(), 0, 0, QStringLiteral("DE"), QStringLiteral("02"), 1000).split(u'\t');
    c[4] = lat;
    c[5] = lon;
    return c.join(u'\t');
}

// A small valid extract written as PBF by the OSM library itself.
QByteArray validPbf(const QString &dir)
{
    const QString file = dir + QStringLiteral("/valid.osm.pbf");
    osmium::memory::Buffer buffer{1024 * 64, osmium::memory::Buffer::auto_grow::yes};
    for (int i = 1; i <= 40; ++i) {
        {
            osmium::builder::NodeBuilder b{buffer};
            b.set_id(i).set_version(1).set_location(osmium::Location{11.5 + i * 0.0001, 48.1});
            b.set_user("");
            osmium::builder::TagListBuilder tags{b};
            tags.add_tag("addr:street", "Hauptstraße");
            tags.add_tag("addr:housenumber", std::to_string(i).c_str());
            tags.add_tag("addr:postcode", "80331");
            tags.add_tag("addr:city", "München");
            tags.add_tag("addr:country", "DE");
        }
        buffer.commit();
    }
    {
        osmium::builder::WayBuilder w{buffer};
        w.set_id(1).set_version(1);
        w.set_user("");
        {
            osmium::builder::WayNodeListBuilder nodes{w};
            for (int i = 1; i <= 40; ++i)
                nodes.add_node_ref(i);
        }
        osmium::builder::TagListBuilder tags{w};
        tags.add_tag("highway", "residential");
        tags.add_tag("name", "Hauptstraße");
    }
    buffer.commit();
    osmium::io::Writer writer{QFile::encodeName(file).toStdString(), osmium::io::overwrite::allow};
    writer(std::move(buffer));
    writer.close();
    return contents(file);
}

class CorruptImport : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_gazetteer = m_dir.filePath(QStringLiteral("gazetteer.bin"));
        const QString good = file(QStringLiteral("good.txt"),
                                  (placeRow(1, QStringLiteral("Aachen"), QStringLiteral("50.77"), QStringLiteral("6.08"))
                                   + u'\n').toUtf8());
        GazetteerImporter(m_gazetteer).import({good});
        m_before = fingerprint(m_gazetteer);
    }
    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        TestFiles::write(path, bytes);
        return path;
    }
    // The import of a good file followed by the bad one fails, names what it should and leaves the
    // gazetteer as it was. Returns the message.
    QString refused(const QString &bad, const QString &mustName)
    {
        const QString good = file(QStringLiteral("more.txt"),
                                  (placeRow(2, QStringLiteral("Bonn"), QStringLiteral("50.73"), QStringLiteral("7.1")) + u'\n').toUtf8());
        QString message;
        try {
            GazetteerImporter(m_gazetteer).import({good, bad});
            ADD_FAILURE() << bad.toStdString() << " was imported";
        } catch (const GazetteerError &e) {
            message = QString::fromUtf8(e.what());
        }
        EXPECT_TRUE(message.contains(bad)) << message.toStdString();
        EXPECT_TRUE(message.contains(mustName)) << "wanted \"" << mustName.toStdString() << "\" in: " << message.toStdString();
        EXPECT_EQ(fingerprint(m_gazetteer), m_before) << "the gazetteer changed after " << bad.toStdString();
        ++m_refused;
        return message;
    }
    QTemporaryDir m_dir;
    QString m_gazetteer;
    QByteArray m_before;
    int m_refused = 0;
};

QByteArray lines(const QStringList &rows, const char *ending = "\n")
{
    return rows.join(QLatin1String(ending)).toUtf8() + ending;
}

QString row(int id, const char *lat = "50.1", const char *lon = "8.6")
{
    return placeRow(id, QStringLiteral("Ort%1").arg(id), QLatin1String(lat), QLatin1String(lon));
}

QString withColumns(const QString &r, int n)
{
    QStringList c = r.split(u'\t');
    while (c.size() > n)
        c.removeLast();
    while (c.size() < n)
        c << QString();
    return c.join(u'\t');
}

} // namespace

TEST_F(CorruptImport, BadGeoNamesLinesAreReportedByNumber)
{
    refused(file(QStringLiteral("columns.txt"), lines({row(10), row(11), withColumns(row(12), 18)})), QStringLiteral("line 3"));
    refused(file(QStringLiteral("wide.txt"), lines({row(10), withColumns(row(11), 25)})), QStringLiteral("line 2"));
    refused(file(QStringLiteral("first.txt"), lines({withColumns(row(10), 7)})), QStringLiteral("line 1"));
    refused(file(QStringLiteral("lat91.txt"), lines({row(10), row(11, "91"), row(12)})), QStringLiteral("line 2"));
    refused(file(QStringLiteral("lon181.txt"), lines({row(10), row(11, "10", "-181")})), QStringLiteral("line 2"));
    refused(file(QStringLiteral("nan.txt"), lines({row(10), row(11), row(12, "nan")})), QStringLiteral("line 3"));
    refused(file(QStringLiteral("inf.txt"), lines({row(10), row(11, "10", "inf")})), QStringLiteral("line 2"));
    refused(file(QStringLiteral("text.txt"), lines({row(10), row(11, "fifty")})), QStringLiteral("line 2"));
    refused(file(QStringLiteral("crlf-bad.txt"), lines({row(10), row(11), row(12, "95")}, "\r\n")), QStringLiteral("line 3"));
    QStringList postal = {TestFiles::postalRow(QStringLiteral("DE"), QStringLiteral("52062"), QStringLiteral("Aachen"),
                                               QStringLiteral("NW"), 50.77, 6.08)};
    postal << withColumns(postal[0], 11);
    refused(file(QStringLiteral("postal.txt"), lines(postal)), QStringLiteral("line 2"));
    refused(file(QStringLiteral("empty.txt"), QByteArray()), QStringLiteral("empty"));
    refused(file(QStringLiteral("blank.txt"), QByteArray("\n\n  \n")), QStringLiteral("empty"));
}

TEST_F(CorruptImport, ByteOrderMarkAndWindowsLineEndsAreRead)
{
    const QString bom = file(QStringLiteral("bom.txt"), "\xEF\xBB\xBF" + lines({row(20), row(21)}, "\r\n"));
    EXPECT_EQ(GazetteerImporter(m_gazetteer).import({bom}), 2);
    const QString postal = file(QStringLiteral("bom-postal.txt"),
                                "\xEF\xBB\xBF" + lines({TestFiles::postalRow(QStringLiteral("DE"), QStringLiteral("53111"),
                                                                             QStringLiteral("Bonn"), QStringLiteral("NW"), 50.73, 7.1)},
                                                       "\r\n"));
    EXPECT_EQ(GazetteerImporter(m_gazetteer).import({postal}), 1);
}

TEST_F(CorruptImport, DamagedCompressedAndBinaryFilesAreRefused)
{
    QByteArray text = lines({row(30), row(31), row(32), row(33)});
    for (int i = 0; i < 2000; ++i)
        text += lines({row(100 + i)});
    QByteArray gz(int(compressBound(uLong(text.size()))) + 64, '\0');
    {
        z_stream z{};
        deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
        z.next_in = reinterpret_cast<Bytef *>(text.data());
        z.avail_in = uInt(text.size());
        z.next_out = reinterpret_cast<Bytef *>(gz.data());
        z.avail_out = uInt(gz.size());
        deflate(&z, Z_FINISH);
        gz.resize(qsizetype(z.total_out));
        deflateEnd(&z);
    }
    refused(file(QStringLiteral("cut.txt.gz"), gz.left(gz.size() / 2)), QStringLiteral("cut.txt.gz"));
    QByteArray flipped = gz;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x10);
    refused(file(QStringLiteral("flipped.txt.gz"), flipped), QStringLiteral("flipped.txt.gz"));
    QRandomGenerator random(1333);
    QByteArray garbage(64 * 1024, '\0');
    for (char &c : garbage)
        c = char(random.bounded(256));
    refused(file(QStringLiteral("garbage.txt"), garbage), QStringLiteral("line"));
}

TEST_F(CorruptImport, DamagedOsmFilesAreRefused)
{
    TestFiles::OsmXml osm;
    osm.street(48.1, 11.5, QStringLiteral("Hauptstraße"));
    osm.address(48.1, 11.5, QStringLiteral("Hauptstraße"), QStringLiteral("1"), QStringLiteral("80331"), QStringLiteral("München"));
    const QByteArray xml = osm.text();
    refused(file(QStringLiteral("cut.osm"), xml.left(xml.size() * 2 / 3)), QStringLiteral("cannot be read"));
    refused(file(QStringLiteral("garbage.osm"), QByteArray("<osm version=\"0.6\"><node id=\"x\" lat=\"a\"</osm>")),
            QStringLiteral("cannot be read"));
    refused(file(QStringLiteral("noxml.osm"), QByteArray(5000, '\x01')), QStringLiteral("cannot be read"));

    const QByteArray pbf = validPbf(m_dir.path());
    ASSERT_GT(pbf.size(), 100);
    refused(file(QStringLiteral("garbage.osm.pbf"), QByteArray(5000, '\x7f')), QStringLiteral("cannot be read"));
    refused(file(QStringLiteral("text.osm.pbf"), xml), QStringLiteral("cannot be read"));
    refused(file(QStringLiteral("empty.osm.pbf"), QByteArray()), QStringLiteral("empty.osm.pbf"));
    int cut = 0, flippedRead = 0;
    for (qsizetype size = 1; size < pbf.size(); size += qMax<qsizetype>(1, pbf.size() / 40), ++cut)
        refused(file(QStringLiteral("cut%1.osm.pbf").arg(size), pbf.left(size)), QStringLiteral("cannot be read"));
    QRandomGenerator random(1334);
    for (int i = 0; i < 60; ++i) {
        QByteArray b = pbf;
        const qsizetype at = qsizetype(random.bounded(quint32(b.size())));
        b[at] = char(b[at] ^ (1 << random.bounded(8)));
        const QString name = file(QStringLiteral("flip%1.osm.pbf").arg(i), b);
        // A flip inside a string may leave a valid file; anything else must be refused cleanly.
        try {
            GazetteerImporter(m_dir.filePath(QStringLiteral("scratch.bin"))).import({name});
            ++flippedRead;
        } catch (const GazetteerError &e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(name)) << e.what();
        }
    }
    std::printf("damaged PBF: %d cut copies refused, %d of 60 bit-flipped copies still readable, the rest refused\n", cut,
                flippedRead);
    std::printf("files refused with the gazetteer unchanged: %d\n", m_refused);
}
