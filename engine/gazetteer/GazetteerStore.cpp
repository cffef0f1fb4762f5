#include "GazetteerStore.h"

#include "Gazetteer.h"
#include "GazetteerError.h"

#include <QDir>
#include <QFileInfo>

namespace Engine {

namespace {

const char *const Schema = R"(
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS place(source TEXT NOT NULL, source_id TEXT NOT NULL, country TEXT NOT NULL,
  name TEXT NOT NULL, alternates TEXT NOT NULL, admin1 TEXT NOT NULL, latitude REAL NOT NULL,
  longitude REAL NOT NULL, population INTEGER NOT NULL, PRIMARY KEY(source, source_id));
CREATE TABLE IF NOT EXISTS postcode(country TEXT NOT NULL, code TEXT NOT NULL, place TEXT NOT NULL,
  source TEXT NOT NULL, admin1 TEXT NOT NULL, latitude REAL NOT NULL, longitude REAL NOT NULL,
  kind INTEGER NOT NULL, PRIMARY KEY(country, code, place));
CREATE TABLE IF NOT EXISTS street(source_id TEXT PRIMARY KEY, country TEXT NOT NULL, name TEXT NOT NULL,
  postcode TEXT NOT NULL, city TEXT NOT NULL, geometry BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS address(source_id TEXT PRIMARY KEY, country TEXT NOT NULL, street TEXT NOT NULL,
  housenumber TEXT NOT NULL, postcode TEXT NOT NULL, city TEXT NOT NULL, latitude REAL NOT NULL,
  longitude REAL NOT NULL);
)";

} // namespace

void GazetteerStore::bindText(sqlite3_stmt *s, int i, const QString &text)
{
    // Kept until the next record's binding, so SQLite need not copy it.
    QByteArray &utf8 = m_text[size_t(i - 1)];
    utf8 = text.toUtf8();
    sqlite3_bind_text(s, i, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
}

GazetteerStore::GazetteerStore(const QString &file) : m_file(file)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        const QString why = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
        sqlite3_close(m_db);
        m_db = nullptr;
        throw GazetteerError(QStringLiteral("Cannot open the gazetteer %1 for writing: %2").arg(file, why));
    }
    try {
        begin();
    } catch (...) {
        close();
        throw;
    }
}

void GazetteerStore::begin()
{
    sqlite3_busy_timeout(m_db, 5000);
    exec("BEGIN IMMEDIATE");
    m_open = true;
    exec(Schema);
    sqlite3_stmt *format = prepare("SELECT value FROM meta WHERE key = 'format'");
    const int rc = sqlite3_step(format);
    const QString existing = rc == SQLITE_ROW
        ? QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(format, 0))) : QString();
    sqlite3_finalize(format);
    if (rc == SQLITE_ROW && existing != QLatin1String(Format))
        fail(QStringLiteral("it holds format \"%1\", this program writes \"%2\"").arg(existing, QLatin1String(Format)));
    sqlite3_stmt *put = prepare("INSERT OR REPLACE INTO meta(key, value) VALUES('format', ?1)");
    sqlite3_bind_text(put, 1, Format, -1, SQLITE_STATIC);
    step(put);
    sqlite3_finalize(put);

    m_place = prepare("INSERT OR REPLACE INTO place VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    m_postcode = prepare("INSERT OR REPLACE INTO postcode VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    m_street = prepare("INSERT OR REPLACE INTO street VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    m_address = prepare("INSERT OR REPLACE INTO address VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
}

GazetteerStore::~GazetteerStore()
{
    close();
}

void GazetteerStore::close()
{
    for (sqlite3_stmt *s : {m_place, m_postcode, m_street, m_address})
        sqlite3_finalize(s);
    if (m_open)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_open = false;
    m_place = m_postcode = m_street = m_address = nullptr;
    sqlite3_close(m_db);
    m_db = nullptr;
}

void GazetteerStore::exec(const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const QString why = QString::fromUtf8(error ? error : sqlite3_errmsg(m_db));
        sqlite3_free(error);
        fail(why);
    }
}

void GazetteerStore::fail(const QString &what) const
{
    throw GazetteerError(QStringLiteral("Cannot write the gazetteer %1: %2").arg(m_file, what));
}

sqlite3_stmt *GazetteerStore::prepare(const char *sql)
{
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK)
        fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
    return s;
}

void GazetteerStore::step(sqlite3_stmt *s)
{
    // Every put binds all parameters, so the bindings need no clearing.
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE)
        fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void GazetteerStore::putPlace(const QString &source, const QString &sourceId, const PlaceRecord &p,
                              const QString &alternates)
{
    bindText(m_place, 1, source);
    bindText(m_place, 2, sourceId);
    bindText(m_place, 3, p.country);
    bindText(m_place, 4, p.name);
    bindText(m_place, 5, alternates);
    bindText(m_place, 6, p.admin1);
    sqlite3_bind_double(m_place, 7, p.latitude);
    sqlite3_bind_double(m_place, 8, p.longitude);
    sqlite3_bind_int64(m_place, 9, p.population);
    step(m_place);
}

void GazetteerStore::putPostcode(const QString &source, const PostcodeRecord &p)
{
    bindText(m_postcode, 1, p.country);
    bindText(m_postcode, 2, p.code);
    bindText(m_postcode, 3, p.place);
    bindText(m_postcode, 4, source);
    bindText(m_postcode, 5, p.admin1);
    sqlite3_bind_double(m_postcode, 6, p.latitude);
    sqlite3_bind_double(m_postcode, 7, p.longitude);
    sqlite3_bind_int(m_postcode, 8, p.kind);
    step(m_postcode);
}

void GazetteerStore::putStreet(const QString &sourceId, const QString &country, const QString &name,
                               const QString &postcode, const QString &city,
                               const std::vector<std::pair<double, double>> &latLon)
{
    // Single precision is about a metre: plenty for drawing and locating a street.
    std::vector<float> &blob = m_geometry;
    blob.clear();
    for (const auto &[lat, lon] : latLon) {
        blob.push_back(float(lat));
        blob.push_back(float(lon));
    }
    bindText(m_street, 1, sourceId);
    bindText(m_street, 2, country);
    bindText(m_street, 3, name);
    bindText(m_street, 4, postcode);
    bindText(m_street, 5, city);
    sqlite3_bind_blob(m_street, 6, blob.data(), int(blob.size() * sizeof(float)), SQLITE_STATIC);
    step(m_street);
}

void GazetteerStore::putAddress(const QString &sourceId, const AddressRecord &a)
{
    bindText(m_address, 1, sourceId);
    bindText(m_address, 2, a.country);
    bindText(m_address, 3, a.street);
    bindText(m_address, 4, a.houseNumber);
    bindText(m_address, 5, a.postcode);
    bindText(m_address, 6, a.city);
    sqlite3_bind_double(m_address, 7, a.latitude);
    sqlite3_bind_double(m_address, 8, a.longitude);
    step(m_address);
}

void GazetteerStore::commit()
{
    exec("COMMIT");
    m_open = false;
}

} // namespace Engine
