#include "GeoNamesImporter.h"

#include "Gazetteer.h"
#include "GazetteerStore.h"
#include "ImportProgress.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <zlib.h>

#include <memory>

namespace Engine {

namespace {

constexpr int PlaceColumns = 19;
constexpr int PostalColumns = 12;
// The postal dump's accuracy of a row whose coordinates are those of a GeoNames place.
const QString AccuracyOfPlace = QStringLiteral("4");

// Reads lines of a plain or gzip'd file; zlib passes plain files through unchanged.
class LineReader {
public:
    explicit LineReader(const QString &file) : m_file(file)
    {
        m_gz = gzopen(QFile::encodeName(file).constData(), "rb");
        if (!m_gz)
            throw GazetteerError(QStringLiteral("Cannot open %1.").arg(file));
        gzbuffer(m_gz, 1 << 17);
    }
    ~LineReader() { gzclose(m_gz); }

    bool next(QByteArray &line)
    {
        line.clear();
        char buffer[8192];
        while (gzgets(m_gz, buffer, sizeof buffer)) {
            line.append(buffer);
            if (line.endsWith('\n')) {
                line.chop(1);
                if (line.endsWith('\r'))
                    line.chop(1);
                ++m_line;
                return true;
            }
        }
        int code = Z_OK;
        const char *message = gzerror(m_gz, &code);
        if (code != Z_OK && code != Z_STREAM_END)
            throw GazetteerError(QStringLiteral("%1 is damaged or cut off after line %2: %3")
                                     .arg(m_file).arg(m_line).arg(QString::fromUtf8(message)));
        if (!line.isEmpty()) {
            ++m_line;
            return true;
        }
        return false;
    }
    qint64 line() const { return m_line; }
    qint64 offset() const { return gzoffset(m_gz); }

private:
    QString m_file;
    gzFile m_gz = nullptr;
    qint64 m_line = 0;
};

// Alternate names that help matching: Latin script, written as a name (not a code, a link or a
// lower-case transcription).
QString latinAlternates(const QString &name, const QString &ascii, const QString &list)
{
    QStringList kept;
    if (ascii != name && !ascii.isEmpty())
        kept << ascii;
    for (const QString &raw : list.split(u',', Qt::SkipEmptyParts)) {
        const QString a = raw.trimmed();
        if (a.isEmpty() || a == name || kept.contains(a) || a.size() > 60 || a == a.toLower()
            || (a.size() <= 4 && a == a.toUpper()))
            continue;
        bool latin = true;
        for (QChar c : a) {
            if (c.isLetter() && c.script() != QChar::Script_Latin) {
                latin = false;
                break;
            }
            if (c.isDigit() || c == u'/' || c == u':')
                latin = false;
        }
        if (latin)
            kept << a;
    }
    return kept.join(u',');
}

class RowError {
public:
    RowError(const QString &file, qint64 line) : m_file(file), m_line(line) {}
    [[noreturn]] void operator()(const QString &what) const
    {
        throw GazetteerError(QStringLiteral("%1, line %2: %3").arg(m_file).arg(m_line).arg(what));
    }

private:
    QString m_file;
    qint64 m_line;
};

double coordinate(const QString &text, double limit, const RowError &error, const char *what)
{
    bool ok = false;
    const double v = text.toDouble(&ok);   // QString::toDouble ignores the user's locale
    if (!ok || !(v >= -limit && v <= limit))   // also refuses "nan", which compares false
        error(QStringLiteral("the %1 \"%2\" is not a number between %3 and %4")
                  .arg(QLatin1String(what), text.left(30)).arg(-limit).arg(limit));
    return v;
}

LocationKind postcodeKind(const QString &country, const QString &code)
{
    if (country == u"CA" && code.size() == 3)
        return LocationKind::PostcodeDistrict;
    if ((country == u"GB" && !code.contains(u' ') && code.size() <= 4) || (country == u"IE" && code.size() == 3))
        return LocationKind::PostcodeDistrict;
    return LocationKind::PostcodeArea;
}

} // namespace

qint64 GeoNamesImporter::importFile(const QString &file, ImportProgress &progress)
{
    LineReader reader(file);
    QByteArray raw;
    int columns = 0;
    qint64 written = 0;
    while (reader.next(raw)) {
        if (raw.trimmed().isEmpty())
            continue;
        const RowError error(file, reader.line());
        const QString line = QString::fromUtf8(raw);
        const QStringList c = line.split(u'\t');
        if (columns == 0) {
            columns = int(c.size());
            if (columns != PlaceColumns && columns != PostalColumns)
                error(QStringLiteral("%1 columns; a GeoNames places dump has %2, a postal-code dump %3")
                          .arg(columns).arg(PlaceColumns).arg(PostalColumns));
        } else if (c.size() != columns) {
            error(QStringLiteral("%1 columns instead of %2 (is the file cut off?)").arg(c.size()).arg(columns));
        }
        if (columns == PlaceColumns) {
            if (c[6] != u"P")
                continue;   // only populated places; a country dump also has mountains and rivers
            bool ok = false;
            const qint64 population = c[14].isEmpty() ? 0 : c[14].toLongLong(&ok);
            if (!c[14].isEmpty() && !ok)
                error(QStringLiteral("the population \"%1\" is not a number").arg(c[14].left(30)));
            if (c[1].trimmed().isEmpty() || c[8].size() != 2)
                error(QStringLiteral("a place needs a name and a two-letter country code"));
            PlaceRecord p{c[8], c[1].trimmed(), c[10], coordinate(c[4], 90, error, "latitude"),
                          coordinate(c[5], 180, error, "longitude"), population};
            m_store.current().putPlace(QStringLiteral("geonames"), c[0], p, latinAlternates(p.name, c[2], c[3]));
        } else {
            if (c[0].size() != 2 || c[1].trimmed().isEmpty())
                error(QStringLiteral("a postcode row needs a two-letter country code and a postcode"));
            const QString admin1 = c[4].isEmpty() || c[4].front().isDigit() ? c[3] : c[4];
            PostcodeRecord p{c[0], c[1].trimmed(), c[2].trimmed(), admin1,
                             coordinate(c[9], 90, error, "latitude"), coordinate(c[10], 180, error, "longitude"),
                             postcodeKind(c[0], c[1].trimmed()), c[11].trimmed() == AccuracyOfPlace};
            m_store.current().putPostcode(p);
        }
        ++written;
        progress.update(reader.offset(), written);
    }
    if (columns == 0)
        throw GazetteerError(QStringLiteral("%1 is empty.").arg(file));
    return written;
}

} // namespace Engine
