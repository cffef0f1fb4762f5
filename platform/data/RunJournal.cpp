#include "RunJournal.h"

#include "DataError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <cstring>

namespace {

// A post's values without their column names, which the journal keeps once per shape of post:
// a tag byte each, then the value (numbers in the machine's own order: the file stays here).
QByteArray encoded(const ColumnValues &values)
{
    QByteArray out;
    for (const auto &[column, v] : values) {
        if (v.isNull()) {
            out += 'n';
            continue;
        }
        if (v.typeId() == QMetaType::Double) {
            const double d = v.toDouble();
            out += 'f';
            out.append(reinterpret_cast<const char *>(&d), sizeof d);
        } else if (v.typeId() == QMetaType::Bool) {
            out += v.toBool() ? 'T' : 'F';
        } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
            const qint64 n = v.toLongLong();
            out += 'i';
            out.append(reinterpret_cast<const char *>(&n), sizeof n);
        } else {
            const QByteArray text = v.typeId() == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8();
            const quint32 size = quint32(text.size());
            out += 't';
            out.append(reinterpret_cast<const char *>(&size), sizeof size);
            out += text;
        }
    }
    return out;
}

ColumnValues decoded(const QStringList &columns, const void *data, int size)
{
    const char *at = static_cast<const char *>(data);
    const char *const end = at + size;
    const auto take = [&](void *into, size_t bytes) {
        if (size_t(end - at) < bytes)
            throw DataError(QStringLiteral("The run journal holds a damaged post."));
        std::memcpy(into, at, bytes);
        at += bytes;
    };
    ColumnValues values;
    for (const QString &column : columns) {
        char tag = 0;
        take(&tag, 1);
        QVariant v;
        if (tag == 'f') {
            double d;
            take(&d, sizeof d);
            v = d;
        } else if (tag == 'T' || tag == 'F') {
            v = tag == 'T';
        } else if (tag == 'i') {
            qint64 n;
            take(&n, sizeof n);
            v = n;
        } else if (tag == 't') {
            quint32 length;
            take(&length, sizeof length);
            QByteArray text(qsizetype(length), Qt::Uninitialized);
            take(text.data(), length);
            v = text;
        } else if (tag != 'n') {
            throw DataError(QStringLiteral("The run journal holds a damaged post."));
        }
        values.append({column, v});
    }
    return values;
}

QString namesOf(const ColumnValues &values)
{
    QStringList names;
    for (const auto &[column, value] : values)
        names << column;
    return names.join(QLatin1Char('\x1f'));
}

QStringList namesFrom(const QString &joined)
{
    return joined.isEmpty() ? QStringList() : joined.split(QLatin1Char('\x1f'));
}

QString textAt(sqlite3_stmt *s, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, column)));
}

// A statement run to its end on every way out.
class Query
{
public:
    Query(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Query() { sqlite3_finalize(m_stmt); }
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;
    sqlite3_stmt *get() const { return m_stmt; }
    bool ok() const { return m_stmt != nullptr; }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

} // namespace

RunJournal::RunJournal(const QString &folder, const QString &database)
{
    if (database.isEmpty())
        throw DataError(QStringLiteral("This database is never written, so no run of it is recorded."));
    // The journal holds customer records: the folder is the user's alone.
    if (!QDir().mkpath(folder))
        throw DataError(QStringLiteral("The folder '%1' for the run journals cannot be made.").arg(folder));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray name = QCryptographicHash::hash(database.toUtf8(), QCryptographicHash::Sha1).toHex();
    m_fileName = QDir(folder).filePath(QString::fromLatin1(name) + QStringLiteral(".journal"));
    if (sqlite3_open_v2(m_fileName.toUtf8().constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw DataError(QStringLiteral("The run journal '%1' cannot be opened: %2.").arg(m_fileName, why));
    }
    QFile::setPermissions(m_fileName, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    try {
        // Two programs may record runs of one database at once; a commit of the other waits.
        sqlite3_busy_timeout(m_db, 5000);
        // Every commit reaches the disk before a post it covers is committed in the database.
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=FULL");
        exec("CREATE TABLE IF NOT EXISTS journal (database TEXT NOT NULL);"
             "CREATE TABLE IF NOT EXISTS runs (number INTEGER PRIMARY KEY AUTOINCREMENT, started TEXT NOT NULL,"
             " finished TEXT, what TEXT NOT NULL);"
             "CREATE TABLE IF NOT EXISTS shapes (id INTEGER PRIMARY KEY, tablename TEXT NOT NULL,"
             " keycolumns TEXT NOT NULL, columns TEXT NOT NULL, UNIQUE (tablename, keycolumns, columns));"
             "CREATE TABLE IF NOT EXISTS posts (seq INTEGER PRIMARY KEY, run INTEGER NOT NULL,"
             " shape INTEGER NOT NULL,"
             " key BLOB NOT NULL, before BLOB NOT NULL, after BLOB NOT NULL);"
             "CREATE INDEX IF NOT EXISTS posts_of_run ON posts (run, seq);");
        Query known(m_db, "SELECT database FROM journal");
        if (!known.ok())
            fail(QStringLiteral("Reading"));
        if (sqlite3_step(known.get()) != SQLITE_ROW) {
            Query add(m_db, "INSERT INTO journal (database) VALUES (?)");
            const QByteArray identity = database.toUtf8();
            sqlite3_bind_text(add.get(), 1, identity.constData(), int(identity.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(add.get()) != SQLITE_DONE)
                fail(QStringLiteral("Writing"));
        }
        if (sqlite3_prepare_v2(m_db, "INSERT INTO posts (run, shape, key, before, after) VALUES (?, ?, ?, ?, ?)",
                               -1, &m_insert, nullptr) != SQLITE_OK)
            fail(QStringLiteral("Preparing"));
    } catch (...) {
        sqlite3_finalize(m_insert);
        sqlite3_close(m_db);
        throw;
    }
}

RunJournal::~RunJournal()
{
    try {
        makeDurable();
    } catch (const DataError &e) {
        qWarning("%s", e.what());
    }
    sqlite3_finalize(m_insert);
    sqlite3_close(m_db);
}

void RunJournal::fail(const QString &what) const
{
    throw DataError(QStringLiteral("%1 the run journal '%2' failed: %3.")
                        .arg(what, m_fileName, QString::fromUtf8(sqlite3_errmsg(m_db))));
}

void RunJournal::exec(const char *sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(QStringLiteral("Writing"));
}

qint64 RunJournal::beginRun(const QString &what)
{
    makeDurable();
    exec("BEGIN IMMEDIATE");
    Query add(m_db, "INSERT INTO runs (started, what) VALUES (strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), ?)");
    const QByteArray text = what.toUtf8();
    sqlite3_bind_text(add.get(), 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(add.get()) != SQLITE_DONE) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        fail(QStringLiteral("Writing"));
    }
    m_run = sqlite3_last_insert_rowid(m_db);
    const QByteArray drop = QByteArrayLiteral("DELETE FROM runs WHERE number NOT IN "
                                              "(SELECT number FROM runs ORDER BY number DESC LIMIT ")
                          + QByteArray::number(KeptRuns) + ')';
    exec(drop.constData());
    exec("DELETE FROM posts WHERE run NOT IN (SELECT number FROM runs)");
    exec("COMMIT");
    return m_run;
}

void RunJournal::endRun(bool complete)
{
    if (m_run == 0)
        return;
    makeDurable();
    Query end(m_db, complete ? "UPDATE runs SET finished = strftime('%Y-%m-%dT%H:%M:%fZ', 'now') WHERE number = ?1"
                             : "SELECT ?1");
    Query drop(m_db, "DELETE FROM runs WHERE number = ?1 AND NOT EXISTS (SELECT 1 FROM posts WHERE run = ?1)");
    for (sqlite3_stmt *s : {end.get(), drop.get()}) {
        sqlite3_bind_int64(s, 1, m_run);
        if (sqlite3_step(s) == SQLITE_ERROR)
            fail(QStringLiteral("Writing"));
    }
    m_run = 0;
}

void RunJournal::recordUpdate(const QString &table, const ColumnValues &key, const ColumnValues &before,
                              const ColumnValues &after)
{
    if (m_run == 0)
        throw DataError(QStringLiteral("An update was posted outside a recorded run."));
    if (sqlite3_get_autocommit(m_db))
        exec("BEGIN IMMEDIATE");
    const qint64 shape = shapeOf(table, key, after);
    const QByteArray k = encoded(key), b = encoded(before), a = encoded(after);
    sqlite3_bind_int64(m_insert, 1, m_run);
    sqlite3_bind_int64(m_insert, 2, shape);
    sqlite3_bind_blob(m_insert, 3, k.constData(), int(k.size()), SQLITE_STATIC);
    sqlite3_bind_blob(m_insert, 4, b.constData(), int(b.size()), SQLITE_STATIC);
    sqlite3_bind_blob(m_insert, 5, a.constData(), int(a.size()), SQLITE_STATIC);
    const int rc = sqlite3_step(m_insert);
    sqlite3_reset(m_insert);
    sqlite3_clear_bindings(m_insert);
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("Writing"));
}

qint64 RunJournal::shapeOf(const QString &table, const ColumnValues &key, const ColumnValues &values)
{
    // A run posts one shape over and over: it is known without building its name.
    const auto same = [](const ColumnValues &values, const QStringList &names) {
        if (values.size() != names.size())
            return false;
        for (qsizetype i = 0; i < names.size(); ++i)
            if (values[i].first != names[i])
                return false;
        return true;
    };
    if (m_lastShape.id != 0 && table == m_lastShape.table && same(key, m_lastShape.key) && same(values, m_lastShape.values))
        return m_lastShape.id;
    const QStringList shape{table, namesOf(key), namesOf(values)};
    const QString id = shape.join(QLatin1Char('\x1e'));
    m_lastShape = {table, namesFrom(shape[1]), namesFrom(shape[2]), 0};
    const auto known = m_shapes.constFind(id);
    if (known != m_shapes.constEnd())
        return m_lastShape.id = *known;
    Query add(m_db, "INSERT OR IGNORE INTO shapes (tablename, keycolumns, columns) VALUES (?1, ?2, ?3)");
    Query find(m_db, "SELECT id FROM shapes WHERE tablename = ?1 AND keycolumns = ?2 AND columns = ?3");
    for (sqlite3_stmt *s : {add.get(), find.get()}) {
        for (int i = 0; i < 3; ++i) {
            const QByteArray text = shape[i].toUtf8();
            sqlite3_bind_text(s, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    }
    if (sqlite3_step(add.get()) != SQLITE_DONE || sqlite3_step(find.get()) != SQLITE_ROW)
        fail(QStringLiteral("Writing"));
    return m_lastShape.id = *m_shapes.insert(id, sqlite3_column_int64(find.get(), 0));
}

void RunJournal::makeDurable()
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        exec("COMMIT");
}

QList<RunJournal::Run> RunJournal::runs() const
{
    Query list(m_db, "SELECT r.number, r.started, r.finished IS NOT NULL, r.what,"
                     " (SELECT count(*) FROM posts p WHERE p.run = r.number), s.tablename, s.columns"
                     " FROM runs r LEFT JOIN shapes s ON s.id ="
                     " (SELECT shape FROM posts p WHERE p.run = r.number ORDER BY seq LIMIT 1)"
                     " ORDER BY r.number DESC");
    if (!list.ok())
        fail(QStringLiteral("Reading"));
    QList<Run> result;
    int rc;
    while ((rc = sqlite3_step(list.get())) == SQLITE_ROW) {
        Run run;
        run.number = sqlite3_column_int64(list.get(), 0);
        run.started = QDateTime::fromString(textAt(list.get(), 1), Qt::ISODateWithMs);
        run.finished = sqlite3_column_int(list.get(), 2) != 0;
        run.what = textAt(list.get(), 3);
        run.records = sqlite3_column_int(list.get(), 4);
        run.table = textAt(list.get(), 5);
        run.columns = namesFrom(textAt(list.get(), 6));
        result << run;
    }
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("Reading"));
    return result;
}

QList<RunJournal::Post> RunJournal::posts(qint64 run) const
{
    Query list(m_db, "SELECT s.tablename, s.keycolumns, s.columns, p.key, p.before, p.after FROM posts p"
                     " JOIN shapes s ON s.id = p.shape WHERE p.run = ? ORDER BY p.seq");
    if (!list.ok())
        fail(QStringLiteral("Reading"));
    sqlite3_bind_int64(list.get(), 1, run);
    QList<Post> result;
    int rc;
    sqlite3_stmt *s = list.get();
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        const QStringList keyColumns = namesFrom(textAt(s, 1)), columns = namesFrom(textAt(s, 2));
        result << Post{textAt(s, 0), decoded(keyColumns, sqlite3_column_blob(s, 3), sqlite3_column_bytes(s, 3)),
                       decoded(columns, sqlite3_column_blob(s, 4), sqlite3_column_bytes(s, 4)),
                       decoded(columns, sqlite3_column_blob(s, 5), sqlite3_column_bytes(s, 5))};
    }
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("Reading"));
    return result;
}
