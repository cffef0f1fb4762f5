#include "GazetteerCommand.h"

#include "Gazetteer.h"
#include "GazetteerImporter.h"
#include "GazetteerStore.h"
#include "Geocoder.h"

#include <QFileInfo>
#include <QLocale>


QString GazetteerCommand::takeOption(QStringList &arguments, const QString &name)
{
    const qsizetype i = arguments.indexOf(name);
    if (i < 0)
        return {};
    if (i + 1 >= arguments.size())
        throw Engine::GazetteerError(QStringLiteral("%1 needs a value.").arg(name));
    const QString value = arguments.at(i + 1);
    arguments.remove(i, 2);
    return value;
}

int GazetteerCommand::run(const QStringList &arguments)
{
    try {
        if (arguments.size() >= 1 && arguments.front() == u"import")
            return import(arguments.mid(1));
        if (arguments.size() >= 1 && arguments.front() == u"list")
            return list(arguments.mid(1));
        if (arguments.size() >= 1 && arguments.front() == u"remove")
            return remove(arguments.mid(1));
        if (arguments.size() >= 1 && arguments.front() == u"lookup")
            return lookup(arguments.mid(1));
        if (arguments == QStringList{QStringLiteral("--help")}) {
            printUsage(m_out);
            return 0;
        }
        if (arguments == QStringList{QStringLiteral("--version")}) {
            m_out << "orvane-gazetteer " ORVANE_VERSION "\n";
            m_out.flush();
            return 0;
        }
        return usage();
    } catch (const std::exception &e) {
        m_err << "orvane-gazetteer: " << QString::fromUtf8(e.what()) << Qt::endl;
        return 1;
    }
}

int GazetteerCommand::usage()
{
    printUsage(m_err);
    return 2;
}

void GazetteerCommand::printUsage(QTextStream &to) const
{
    to << "usage: orvane-gazetteer import FILE... [--gazetteer FILE] [--country XX]\n"
          "       orvane-gazetteer list [--gazetteer FILE]\n"
          "       orvane-gazetteer remove SOURCE... [--gazetteer FILE]\n"
          "       orvane-gazetteer lookup [--edition EU|NA] [--country NUMBER] STREET CITY POSTCODE\n"
          "       orvane-gazetteer --help | --version\n"
          "Import reads GeoNames places and postal-code dumps (.txt, .txt.gz) and OpenStreetMap\n"
          "extracts (.osm, .osm.bz2, .osm.pbf) into the user's gazetteer ("
       << m_files.user << "),\n"
          "each file as a source of its own: importing a file of the same name again replaces it.\n"
          "List shows the sources with what they hold; remove takes sources out.\n";
    to.flush();
}

int GazetteerCommand::import(QStringList arguments)
{
    QString file = takeOption(arguments, QStringLiteral("--gazetteer"));
    const QString country = takeOption(arguments, QStringLiteral("--country"));
    if (arguments.isEmpty())
        return usage();
    if (file.isEmpty())
        file = m_files.user;
    Engine::GazetteerImporter importer(file);
    importer.setCountry(country);
    importer.setStop(m_stop);
    // The shipped places name the country and city of OSM data that does not; read only if needed.
    std::shared_ptr<const Engine::Gazetteer> shipped;
    importer.setPlaceAt([&shipped, this](double lat, double lon) {
        if (!shipped)
            shipped = Engine::Gazetteer::open({m_files.shipped});
        return shipped->placeServing(lat, lon);
    });
    const qint64 read = importer.import(arguments);
    for (const QString &note : importer.notes())
        m_out << note << '\n';
    m_out << "Imported " << read << " records into " << file << Qt::endl;
    return 0;
}

int GazetteerCommand::list(QStringList arguments)
{
    QString file = takeOption(arguments, QStringLiteral("--gazetteer"));
    if (!arguments.isEmpty())
        return usage();
    if (file.isEmpty())
        file = m_files.user;
    if (!QFileInfo::exists(file)) {
        m_out << "Nothing imported yet (" << file << " does not exist)." << Qt::endl;
        return 0;
    }
    const auto g = Engine::Gazetteer::open({file});
    m_out << file << ", " << QString::number(double(QFileInfo(file).size()) / 1e6, 'f', 1) << " MB\n";
    const QLocale c = QLocale::c();
    for (const Engine::Gazetteer::Source &s : g->sources())
        m_out << "  " << s.name << "  imported " << s.imported.toString(Qt::ISODate) << ", " << c.toString(qulonglong(s.objectsRead))
              << " objects read: " << c.toString(qulonglong(s.places)) << " places, " << c.toString(qulonglong(s.postcodes))
              << " postcodes, " << c.toString(qulonglong(s.streets)) << " streets, " << c.toString(qulonglong(s.addresses))
              << " addresses\n";
    m_out.flush();
    return 0;
}

int GazetteerCommand::remove(QStringList arguments)
{
    QString file = takeOption(arguments, QStringLiteral("--gazetteer"));
    if (arguments.isEmpty())
        return usage();
    if (file.isEmpty())
        file = m_files.user;
    if (!QFileInfo::exists(file))
        throw Engine::GazetteerError(QStringLiteral("The gazetteer %1 does not exist.").arg(file));
    Engine::GazetteerStore store(file);
    for (const QString &source : arguments)
        store.remove(Engine::GazetteerStore::sourceName(source));
    store.commit();
    m_out << "Removed " << arguments.join(QStringLiteral(", ")) << " from " << file << Qt::endl;
    return 0;
}

int GazetteerCommand::lookup(QStringList arguments)
{
    const QString edition = takeOption(arguments, QStringLiteral("--edition"));
    const int country = takeOption(arguments, QStringLiteral("--country")).toInt();
    if (arguments.size() != 3)
        return usage();
    Engine::Geocoder geocoder(Engine::Gazetteer::openDefault(m_files),
                              edition.compare(u"NA", Qt::CaseInsensitive) == 0 ? Engine::Edition::NorthAmerica
                                                                               : Engine::Edition::Europe);
    const Engine::Answer answer = geocoder.lookup(arguments[0], arguments[1], arguments[2], country);
    m_out << "quality " << int(answer.quality) << ", " << answer.matches.size() << " results\n";
    for (const Engine::Match &m : answer.matches) {
        m_out << "  kind " << int(m.kind) << "  " << m.displayName << "  "
              << QString::number(m.latitude, 'f', 5) << ' ' << QString::number(m.longitude, 'f', 5);
        if (m.postal)
            m_out << "  [" << m.postal->postcode << " | " << m.postal->city << " | " << m.postal->street << ']';
        m_out << '\n';
    }
    m_out.flush();
    return 0;
}
