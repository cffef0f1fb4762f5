#pragma once
// Small reference data files written by the tests: GeoNames rows and OSM XML.

#include <QFile>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace TestFiles {

// One row of the GeoNames places format (19 columns).
inline QString placeRow(int id, const QString &name, const QString &alternates, double lat, double lon,
                        const QString &country, const QString &admin1, qint64 population)
{
    return QStringList{QString::number(id), name, name, alternates, QString::number(lat, 'f', 5),
                       QString::number(lon, 'f', 5), QStringLiteral("P"), QStringLiteral("PPL"), country,
                       QString(), admin1, QString(), QString(), QString(), QString::number(population),
                       QString(), QString(), QString(), QString()}
        .join(u'\t');
}

// One row of the GeoNames postal-code format (12 columns).
// accuracy "4": the coordinates are those of the place the postcode serves.
inline QString postalRow(const QString &country, const QString &code, const QString &place, const QString &admin1,
                         double lat, double lon, const QString &accuracy = {})
{
    return QStringList{country, code, place, admin1, admin1, QString(), QString(), QString(), QString(),
                       QString::number(lat, 'f', 4), QString::number(lon, 'f', 4), accuracy}
        .join(u'\t');
}

inline void write(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

inline void writeLines(const QString &file, const QStringList &lines)
{
    write(file, (lines.join(u'\n') + u'\n').toUtf8());
}

// OSM XML built node by node.
class OsmXml {
public:
    qint64 node(double lat, double lon, const QList<QPair<QString, QString>> &tags = {})
    {
        const qint64 id = ++m_lastNode;
        m_nodes += QStringLiteral("  <node id=\"%1\" version=\"1\" lat=\"%2\" lon=\"%3\"%4\n")
                       .arg(id).arg(lat, 0, 'f', 7).arg(lon, 0, 'f', 7).arg(tagText(tags, QStringLiteral("node")));
        return id;
    }
    qint64 way(const QList<qint64> &nodes, const QList<QPair<QString, QString>> &tags)
    {
        const qint64 id = ++m_lastWay;
        QString text = QStringLiteral("  <way id=\"%1\" version=\"1\">\n").arg(id);
        for (qint64 n : nodes)
            text += QStringLiteral("    <nd ref=\"%1\"/>\n").arg(n);
        for (const auto &[k, v] : tags)
            text += QStringLiteral("    <tag k=\"%1\" v=\"%2\"/>\n").arg(k, v);
        m_ways += text + QStringLiteral("  </way>\n");
        return id;
    }
    // A straight street of three nodes from (lat, lon) going east.
    qint64 street(double lat, double lon, const QString &name)
    {
        return way({node(lat, lon), node(lat, lon + 0.001), node(lat, lon + 0.002)},
                   {{QStringLiteral("highway"), QStringLiteral("residential")}, {QStringLiteral("name"), name}});
    }
    qint64 address(double lat, double lon, const QString &street, const QString &number, const QString &postcode,
                   const QString &city, const QString &country = QStringLiteral("DE"))
    {
        return node(lat, lon, {{QStringLiteral("addr:street"), street}, {QStringLiteral("addr:housenumber"), number},
                               {QStringLiteral("addr:postcode"), postcode}, {QStringLiteral("addr:city"), city},
                               {QStringLiteral("addr:country"), country}});
    }
    QByteArray text() const
    {
        return (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\">\n") + m_nodes + m_ways
                + QStringLiteral("</osm>\n"))
            .toUtf8();
    }

private:
    static QString tagText(const QList<QPair<QString, QString>> &tags, const QString &element)
    {
        if (tags.isEmpty())
            return QStringLiteral("/>");
        QString text = QStringLiteral(">\n");
        for (const auto &[k, v] : tags)
            text += QStringLiteral("    <tag k=\"%1\" v=\"%2\"/>\n").arg(k, v);
        return text + QStringLiteral("  </%1>").arg(element);
    }
    qint64 m_lastNode = 0, m_lastWay = 0;
    QString m_nodes, m_ways;
};

} // namespace TestFiles
