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
void encode(QByteArray &out, const ColumnValues &values)
{
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
}

// Reads what encode() wrote, from 'at' on; 'at' ends after it.
class Decoder
{
public:
    Decoder(const void *data, int size) : m_at(static_cast<const char *>(data)), m_end(m_at + size) {}
    bool atEnd() const { return m_at == m_end; }

    void take(void *into, size_t bytes)
    {
        if (size_t(m_end - m_at) < bytes)
            throw DataError(QStringLiteral("The run journal holds a damaged post."));
        std::memcpy(into, m_at, bytes);
        m_at += bytes;
    }

    ColumnValues values(const QStringList &columns)
    {
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

private:
    const char *m_at;
    const char *const m_end;
};

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
             // The posts made durable together, in posting order: each its shape's id, its key,
             // the values before and after; 'shape' is the first post's.
             "CREATE TABLE IF NOT EXISTS posts (seq INTEGER PRIMARY KEY, run INTEGER NOT NULL,"
             " shape INTEGER NOT NULL, count INTEGER NOT NULL, body BLOB NOT NULL);"
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
        sqlite3_stmt *insert = nullptr;
        const int rc = sqlite3_prepare_v2(m_db, "INSERT INTO posts (run, shape, count, body) VALUES (?, ?, ?, ?)",
                                          -1, &insert, nullptr);
        m_insert.reset(insert);
        if (rc != SQLITE_OK)
            fail(QStringLiteral("Preparing"));
    } catch (...) {
        m_insert.reset();
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
    m_insert.reset();
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
    // Kept in memory until the database is about to commit: one row of the journal per commit
    // of the database costs a fraction of a row per post.
    const qint64 shape = shapeOf(table, key, after);
    if (m_pending.count == 0)
        m_pending.firstShape = shape;
    m_pending.body.append(reinterpret_cast<const char *>(&shape), sizeof shape);
    encode(m_pending.body, key);
    encode(m_pending.body, before);
    encode(m_pending.body, after);
    ++m_pending.count;
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
    if (!m_db || m_pending.count == 0)
        return;
    sqlite3_bind_int64(m_insert.get(), 1, m_run);
    sqlite3_bind_int64(m_insert.get(), 2, m_pending.firstShape);
    sqlite3_bind_int(m_insert.get(), 3, m_pending.count);
    sqlite3_bind_blob(m_insert.get(), 4, m_pending.body.constData(), int(m_pending.body.size()), SQLITE_STATIC);
    const int rc = sqlite3_step(m_insert.get());
    sqlite3_reset(m_insert.get());
    sqlite3_clear_bindings(m_insert.get());
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("Writing"));
    m_pending.body.clear();
    m_pending.count = 0;
}

QList<RunJournal::Run> RunJournal::runs() const
{
    Query list(m_db, "SELECT r.number, r.started, r.finished IS NOT NULL, r.what,"
                     " (SELECT coalesce(sum(p.count), 0) FROM posts p WHERE p.run = r.number), s.tablename, s.columns"
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
    struct Shape
    {
        QString table;
        QStringList keyColumns, columns;
    };
    QHash<qint64, Shape> shapes;
    Query shapeList(m_db, "SELECT id, tablename, keycolumns, columns FROM shapes");
    Query list(m_db, "SELECT body FROM posts WHERE run = ? ORDER BY seq");
    if (!shapeList.ok() || !list.ok())
        fail(QStringLiteral("Reading"));
    int rc;
    while ((rc = sqlite3_step(shapeList.get())) == SQLITE_ROW) {
        sqlite3_stmt *s = shapeList.get();
        shapes.insert(sqlite3_column_int64(s, 0), {textAt(s, 1), namesFrom(textAt(s, 2)), namesFrom(textAt(s, 3))});
    }
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("Reading"));
    sqlite3_bind_int64(list.get(), 1, run);
    QList<Post> result;
    while ((rc = sqlite3_step(list.get())) == SQLITE_ROW) {
        Decoder body(sqlite3_column_blob(list.get(), 0), sqlite3_column_bytes(list.get(), 0));
        while (!body.atEnd()) {
            qint64 id = 0;
            body.take(&id, sizeof id);
            const auto shape = shapes.constFind(id);
            if (shape == shapes.constEnd())
                throw DataError(QStringLiteral("The run journal holds a damaged post."));
            Post post{shape->table, body.values(shape->keyColumns), {}, {}};
            post.before = body.values(shape->columns);
            post.after = body.values(shape->columns);
            result << post;
        }
    }
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("Reading"));
    return result;
}
