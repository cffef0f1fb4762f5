#include "SqliteProvider.h"

#include "DataError.h"
#include "SqlText.h"
#include "SqliteStatement.h"

#include <QFileInfo>
#include <functional>
#include <QRegularExpression>
#include <cstring>
#include <utility>

namespace {

// Quoted, but the rowid a table without a key is located by stays SQLite's own.
QString quoted(const QString &identifier)
{
    if (identifier.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0)
        return identifier;
    return SqlText::quoted(identifier);
}

// Column kinds from the declared type: the Access text types are text, Memo and fixed-length
// narrow CHAR are not.
ColumnKind kindOf(const QString &declared)
{
    const QString t = declared.trimmed().toUpper();
    if (t.isEmpty())
        return ColumnKind::Other;
    const QString base = t.section(QLatin1Char('('), 0, 0).trimmed();
    static const QStringList text{"TEXT", "VARCHAR", "NVARCHAR", "NCHAR", "NATIONAL CHARACTER",
                                  "CHARACTER VARYING", "NATIONAL VARCHAR", "NATIVE CHARACTER",
                                  "VARYING CHARACTER", "NATIONAL CHARACTER VARYING", "WCHAR",
                                  "WVARCHAR", "STRING"};
    static const QStringList yesNo{"BOOLEAN", "BOOL", "BIT", "YESNO", "LOGICAL"};
    static const QStringList floats{"REAL", "FLOAT", "DOUBLE", "DOUBLE PRECISION", "SINGLE",
                                    "FLOAT4", "FLOAT8"};
    if (text.contains(base))
        return ColumnKind::Text;
    if (yesNo.contains(base))
        return ColumnKind::YesNo;
    if (floats.contains(base))
        return ColumnKind::Float;
    return ColumnKind::Other;
}

QString text16(const char *utf8)
{
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

// The cause of the last failure in words a user can act on; the library's own text otherwise.
QString cause(sqlite3 *db)
{
    switch (sqlite3_extended_errcode(db) & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("the disk is full");
    case SQLITE_IOERR: {
        const int code = sqlite3_extended_errcode(db);
        const int error = sqlite3_system_errno(db);
        const bool write = code == SQLITE_IOERR_WRITE || code == SQLITE_IOERR_FSYNC || code == SQLITE_IOERR_TRUNCATE;
        return (write ? QStringLiteral("the disk refused to write (it may be full)")
                      : QStringLiteral("the disk could not be read or written"))
               + (error != 0 ? QStringLiteral(" (%1)").arg(text16(std::strerror(error))) : QString());
    }
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("another program holds the database locked (waited %1 s)")
            .arg(SqliteProvider::BusyTimeoutMs / 1000.0);
    case SQLITE_READONLY:
        return QStringLiteral("the file cannot be written");
    case SQLITE_INTERRUPT:
        return QStringLiteral("the query was stopped before it ended");
    }
    return text16(sqlite3_errmsg(db));
}

// A query text short enough for a message.
QString shown(const QString &sql)
{
    constexpr qsizetype MaxShown = 200;
    const QString s = sql.simplified();
    return s.size() <= MaxShown ? s : s.left(MaxShown) + QStringLiteral("...");
}

// Prepares the first statement of 'sql' into 'stmt'; 'tail' receives where the rest begins.
int prepare(sqlite3 *db, const char *sql, int bytes, SqliteStatement &stmt, const char **tail = nullptr)
{
    sqlite3_stmt *s = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql, bytes, &s, tail);
    stmt.reset(s);
    return rc;
}

// Each database of a connection is one file the user chose; a query must not reach others.
int denyAttach(void *, int action, const char *, const char *, const char *, const char *)
{
    return action == SQLITE_ATTACH || action == SQLITE_DETACH ? SQLITE_DENY : SQLITE_OK;
}

class SqliteCursor : public QueryCursor
{
public:
    // 'hiddenFirst' marks a provider-added rowid in result column 0. A statement the cursor owns
    // goes with it; one of the provider's is reset for its next use.
    SqliteCursor(sqlite3_stmt *stmt, SqliteStatement owned, bool hiddenFirst, QList<TableKey> keys,
                 std::function<void(const char *)> onError, std::function<void()> onEnd = {})
        : m_stmt(stmt), m_owned(std::move(owned)), m_onError(std::move(onError)), m_onEnd(std::move(onEnd))
    {
        const int n = sqlite3_column_count(stmt);
        for (int c = hiddenFirst ? 1 : 0; c < n; ++c)
            m_map.push_back(c);
        if (hiddenFirst)
            m_map.push_back(0);
        m_hiddenFirst = hiddenFirst;
        m_keys = std::move(keys);
    }
    ~SqliteCursor() override
    {
        if (!m_owned)
            sqlite3_reset(m_stmt);
        m_owned.reset();
        if (m_onEnd)
            m_onEnd();
    }
    // Described on first use: re-reading a row after a post never asks, and describing costs
    // more than the read.
    const QList<QueryColumn> &columns() const override
    {
        if (m_columns.isEmpty())
            for (int c : m_map) {
                QueryColumn col;
                col.name = text16(sqlite3_column_name(m_stmt, c));
                col.declaredType = text16(sqlite3_column_decltype(m_stmt, c));
                col.kind = kindOf(col.declaredType);
                col.baseTable = text16(sqlite3_column_table_name(m_stmt, c));
                col.baseColumn = text16(sqlite3_column_origin_name(m_stmt, c));
                col.hidden = m_hiddenFirst && c == 0;
                m_columns.append(col);
            }
        return m_columns;
    }
    const QList<TableKey> &keys() const override { return m_keys; }
    bool next() override
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            m_onError("Reading the query result");
        return false;
    }
    bool isNull(int c) const override { return sqlite3_column_type(m_stmt, m_map[c]) == SQLITE_NULL; }
    double floatAt(int c) const override { return sqlite3_column_double(m_stmt, m_map[c]); }
    qint64 integerAt(int c) const override
    {
        const int sc = m_map[c];
        if (sqlite3_column_type(m_stmt, sc) == SQLITE_TEXT) {
            const QByteArray t = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, sc))).trimmed().toLower();
            return t == "true" || t == "yes" || t == "-1" || t == "1";
        }
        return sqlite3_column_int64(m_stmt, sc);
    }
    std::string_view utf8At(int c) const override
    {
        const int sc = m_map[c];
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, sc));
        return p ? std::string_view(p, size_t(sqlite3_column_bytes(m_stmt, sc))) : std::string_view();
    }

private:
    sqlite3_stmt *m_stmt;
    SqliteStatement m_owned;
    std::function<void(const char *)> m_onError;
    std::function<void()> m_onEnd;
    std::vector<int> m_map;   // cursor column -> statement column
    bool m_hiddenFirst = false;
    mutable QList<QueryColumn> m_columns;
    QList<TableKey> m_keys;
};

} // namespace

bool SqliteProvider::recognizes(const QByteArray &firstBytes)
{
    return firstBytes.startsWith(QByteArrayLiteral("SQLite format 3\0"));
}

std::unique_ptr<DatabaseProvider> SqliteProvider::open(const QString &fileName, const QByteArray &head)
{
    const qint64 size = QFileInfo(fileName).size();
    if (head.size() < 100)
        throw DataError(QStringLiteral("The database file '%1' is truncated (%2 bytes).").arg(fileName).arg(size));
    const auto byte = [&](int i) { return quint32(quint8(head[i])); };
    const auto be32 = [&](int i) { return byte(i) << 24 | byte(i + 1) << 16 | byte(i + 2) << 8 | byte(i + 3); };
    quint32 pageSize = byte(16) << 8 | byte(17);
    if (pageSize == 1)
        pageSize = 65536;
    const quint32 pages = be32(28);
    const bool pagesValid = pages != 0 && be32(92) == be32(24);
    const bool walPresent = QFileInfo::exists(fileName + QStringLiteral("-wal"));
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0 || size % pageSize != 0
        || (pagesValid && !walPresent && size < qint64(pages) * pageSize))
        throw DataError(QStringLiteral("The database file '%1' is truncated or damaged (%2 bytes).")
                            .arg(fileName).arg(size));

    // SQLite's allocation statistics take a process-wide lock around every allocation; nothing
    // here reads them. Only possible before the library's first use, and harmless to refuse.
    static const int noStatistics = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    Q_UNUSED(noStatistics);
    sqlite3 *db = nullptr;
    // Read/write but never create: a missing file must stay missing. A connection belongs to the
    // thread that opened it, so SQLite's own locking per call is pure overhead on a fetch.
    const int rc = sqlite3_open_v2(fileName.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = text16(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        throw DataError(QStringLiteral("The database file '%1' cannot be opened: %2.").arg(fileName, msg));
    }
    std::unique_ptr<SqliteProvider> p(new SqliteProvider(db, fileName));
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    sqlite3_set_authorizer(db, denyAttach, nullptr);

    // Reading the schema checks the file and waits for a lock held by another program.
    SqliteStatement probe;
    int step = prepare(db, "PRAGMA journal_mode", -1, probe);
    if (step == SQLITE_OK)
        step = sqlite3_step(probe.get());
    if (step == SQLITE_ROW)
        p->m_journalMode = text16(reinterpret_cast<const char *>(sqlite3_column_text(probe.get(), 0))).toLower();
    if (step == SQLITE_ROW) {
        step = prepare(db, "SELECT count(*) FROM sqlite_master", -1, probe);
        if (step == SQLITE_OK)
            step = sqlite3_step(probe.get());
    }
    probe.reset();
    if (step != SQLITE_ROW) {
        const int primary = step & 0xff;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
            throw DataError(QStringLiteral("The database file '%1' is locked by another program; try again when it is released.").arg(fileName));
        throw DataError(QStringLiteral("The database file '%1' cannot be read: %2.")
                            .arg(fileName, text16(sqlite3_errmsg(db))));
    }
    // WAL with NORMAL never corrupts and keeps commits cheap; with a rollback journal only FULL
    // is safe against power loss. The journal mode itself is the file owner's choice.
    p->exec(p->m_journalMode == QLatin1String("wal") ? "PRAGMA synchronous=NORMAL" : "PRAGMA synchronous=FULL");
    return p;
}

SqliteProvider::SqliteProvider(sqlite3 *db, const QString &fileName) : m_db(db), m_fileName(fileName) {}

SqliteProvider::~SqliteProvider()
{
    m_statements.clear();
    if (sqlite3_get_autocommit(m_db) == 0)
        sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close_v2(m_db);
}

void SqliteProvider::fail(const QString &what) const
{
    throw DataError(QStringLiteral("%1 failed in '%2': %3.").arg(what, m_fileName, cause(m_db)));
}

void SqliteProvider::exec(const char *sql, const QString &what)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(what.isEmpty() ? QString::fromUtf8(sql) : what);
}

QString SqliteProvider::quotedName(const QString &name) const
{
    const QByteArray utf8 = name.toUtf8();
    const bool keyword = sqlite3_keyword_check(utf8.constData(), int(utf8.size())) != 0;
    return SqlText::isPlainWord(name) && !keyword ? name : quoted(name);
}

QStringList SqliteProvider::tableNames() const
{
    SqliteStatement s;
    if (prepare(m_db,
                "SELECT name FROM sqlite_master WHERE type IN ('table','view') "
                "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
                -1, s) != SQLITE_OK)
        fail(QStringLiteral("Listing the tables"));
    QStringList names;
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW)
        names << text16(reinterpret_cast<const char *>(sqlite3_column_text(s.get(), 0)));
    s.reset();
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("Listing the tables"));
    return names;
}

bool SqliteProvider::isReadOnly() const
{
    return sqlite3_db_readonly(m_db, "main") == 1;
}

QString SqliteProvider::identity() const
{
    if (isReadOnly())
        return {};
    return QStringLiteral("sqlite:") + QFileInfo(m_fileName).canonicalFilePath();
}

QStringList SqliteProvider::primaryKey(const QString &table) const
{
    SqliteStatement s;
    QStringList key;
    if (prepare(m_db, "SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk", -1, s) != SQLITE_OK)
        fail(QStringLiteral("Reading the key of table '%1'").arg(table));
    const QByteArray name = table.toUtf8();
    sqlite3_bind_text(s.get(), 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(s.get()) == SQLITE_ROW)
        key << text16(reinterpret_cast<const char *>(sqlite3_column_text(s.get(), 0)));
    return key;
}

std::unique_ptr<QueryCursor> SqliteProvider::query(const QString &sqlText)
{
    const QString sql = SqlText::rewriteTop(sqlText);
    const QByteArray utf8 = sql.toUtf8();
    SqliteStatement stmt;
    const char *tail = nullptr;
    if (prepare(m_db, utf8.constData(), int(utf8.size()), stmt, &tail) != SQLITE_OK) {
        if (sqlite3_errcode(m_db) == SQLITE_AUTH)
            throw DataError(QStringLiteral("The query \"%1\" cannot be run: a query cannot attach or detach "
                                           "other databases.").arg(shown(sqlText)));
        fail(QStringLiteral("The query \"%1\"").arg(shown(sqlText)));
    }
    if (!stmt)
        throw DataError(QStringLiteral("The query text is empty."));
    // After the statement only blanks, comments and semicolons: nothing else is ever run.
    const char *end = utf8.constData() + utf8.size();
    for (const char *rest = tail; rest && rest < end && *rest;) {
        SqliteStatement more;
        const char *next = nullptr;
        const int rc = prepare(m_db, rest, int(end - rest), more, &next);
        if (rc != SQLITE_OK || more || next == rest) {
            throw DataError(QStringLiteral("The query \"%1\" holds more than one statement; only one statement "
                                           "can be run.").arg(shown(sqlText)));
        }
        rest = next;
    }

    // Key of each base table: its primary key when the result holds all of it, else its rowid.
    QList<TableKey> keys;
    QStringList needRowid;
    QStringList tables;
    const int n = sqlite3_column_count(stmt.get());
    for (int c = 0; c < n; ++c) {
        const QString t = text16(sqlite3_column_table_name(stmt.get(), c));
        if (!t.isEmpty() && !tables.contains(t))
            tables << t;
    }
    for (const QString &t : std::as_const(tables)) {
        TableKey key{t, primaryKey(t), {}};
        for (const QString &k : std::as_const(key.keyColumns))
            for (int c = 0; c < n; ++c)
                if (text16(sqlite3_column_table_name(stmt.get(), c)) == t
                    && text16(sqlite3_column_origin_name(stmt.get(), c)).compare(k, Qt::CaseInsensitive) == 0) {
                    key.cursorColumns << c;
                    break;
                }
        if (!key.keyColumns.isEmpty() && key.cursorColumns.size() == key.keyColumns.size())
            keys << key;
        else
            needRowid << t;
    }

    bool hidden = false;
    static const QRegularExpression plainSelect(QStringLiteral("^\\s*select\\s+(?!distinct\\b|all\\b)"),
                                                QRegularExpression::CaseInsensitiveOption);
    const auto m = plainSelect.match(sql);
    if (needRowid.size() == 1 && m.hasMatch()) {
        const QByteArray withRowid = (sql.left(m.capturedEnd()) + QStringLiteral("rowid, ")
                                      + sql.mid(m.capturedEnd())).toUtf8();
        SqliteStatement s2;
        if (prepare(m_db, withRowid.constData(), int(withRowid.size()), s2) == SQLITE_OK
            && sqlite3_column_count(s2.get()) == n + 1
            && text16(sqlite3_column_table_name(s2.get(), 0)) == needRowid.first()) {
            stmt = std::move(s2);
            hidden = true;
            keys << TableKey{needRowid.first(), {QStringLiteral("rowid")}, {n}};
        }
    }
    // A statement that writes may add a trigger or change a table.
    if (!sqlite3_stmt_readonly(stmt.get()))
        m_plainTables.clear();
    // Only a query being read can be stopped: a write stopped halfway would undo the whole
    // transaction of a batch.
    sqlite3_progress_handler(m_db, StopCheckInstructions, stopRequested, this);
    m_readingClock.start();
    return std::make_unique<SqliteCursor>(stmt.get(), std::move(stmt), hidden, keys, [this](const char *what) {
        fail(QString::fromUtf8(what));
    }, [this] {
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        m_stop = false;
    });
}

void SqliteProvider::interrupt()
{
    m_stop = true;
}

void SqliteProvider::setWhileReading(std::function<void()> callback)
{
    m_whileReading = std::move(callback);
}

int SqliteProvider::stopRequested(void *provider)
{
    auto *p = static_cast<SqliteProvider *>(provider);
    if (p->m_whileReading && p->m_readingClock.hasExpired(WhileReadingIntervalMs)) {
        p->m_whileReading();
        p->m_readingClock.start();
    }
    return p->m_stop ? 1 : 0;
}

ReadBackOutcome SqliteProvider::updateAndRead(const ReadBackUpdate &u, std::function<void(const QueryCursor &)> onRow)
{
    // Where nobody else has written since the rows were read and the table stores what is
    // written as it is, the row after the update is the record as posted: reading it again would
    // change nothing.
    const bool asWritten = u.rowsReadAt.known() && storesAsGiven(u.table, u.set);
    if (update(u.table, u.set, u.where) == 0)
        return {};
    const ChangeMark after = changeMark();
    const bool onlyThisRow = after.isOneRowAfter(u.rowsReadAt);
    if (!asWritten || !onlyThisRow)
        readAfter(u, onRow);
    return {true, onlyThisRow ? after : ChangeMark{}};
}

ChangeMark SqliteProvider::changeMark()
{
    // Never an error of its own: a mark that cannot be read is unknown, and rows are read again.
    static const QString sql = QStringLiteral("PRAGMA data_version");
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        SqliteStatement version;
        if (prepare(m_db, "PRAGMA data_version", -1, version) != SQLITE_OK)
            return {};
        it = m_statements.emplace(sql, std::move(version)).first;
    }
    sqlite3_stmt *s = it->second.get();
    const bool read = sqlite3_step(s) == SQLITE_ROW;
    const qint64 others = read ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_reset(s);
    if (!read)
        return {};
    if (others != m_plainTablesOthers) {
        m_plainTables.clear();
        m_plainTablesOthers = others;
    }
    return {sqlite3_total_changes64(m_db), others};
}

QHash<QString, SqliteProvider::Affinity> SqliteProvider::plainColumns(const QString &table) const
{
    const QByteArray name = table.toUtf8();
    const auto rows = [&](const char *sql, const auto &row) {
        SqliteStatement s;
        if (prepare(m_db, sql, -1, s) != SQLITE_OK)
            return false;
        sqlite3_bind_text(s.get(), 1, name.constData(), int(name.size()), SQLITE_STATIC);
        int rc;
        while ((rc = sqlite3_step(s.get())) == SQLITE_ROW)
            row(s.get());
        return rc == SQLITE_DONE;
    };
    bool plain = true;
    const auto none = [&](sqlite3_stmt *s) { plain = plain && sqlite3_column_int64(s, 0) == 0; };
    // Triggers (temporary ones too) and virtual tables may store other than what was written.
    if (!rows("SELECT count(*) FROM (SELECT type, tbl_name, sql FROM sqlite_schema UNION ALL"
              " SELECT type, tbl_name, sql FROM sqlite_temp_schema) WHERE tbl_name = ?1 COLLATE NOCASE"
              " AND (type = 'trigger' OR (type = 'table' AND sql LIKE 'CREATE VIRTUAL%'))", none)
        || !plain)
        return {};
    QHash<QString, Affinity> columns;
    const auto column = [&](sqlite3_stmt *s) {
        if (sqlite3_column_int64(s, 2) != 0)
            plain = false;   // generated from other columns
        const QString declared = text16(reinterpret_cast<const char *>(sqlite3_column_text(s, 1))).toUpper();
        const auto has = [&](const char *part) { return declared.contains(QLatin1String(part)); };
        // SQLite's own order of rules for a declared type.
        const Affinity a = has("INT")                                     ? Affinity::Integer
                           : has("CHAR") || has("CLOB") || has("TEXT")    ? Affinity::Text
                           : has("BLOB") || declared.isEmpty()            ? Affinity::Blob
                           : has("REAL") || has("FLOA") || has("DOUB")    ? Affinity::Real
                                                                          : Affinity::Numeric;
        columns.insert(text16(reinterpret_cast<const char *>(sqlite3_column_text(s, 0))), a);
    };
    if (!rows("SELECT name, type, hidden FROM pragma_table_xinfo(?1)", column) || !plain)
        return {};
    return columns;
}

bool SqliteProvider::storesAsGiven(const QString &table, const ColumnValues &set)
{
    auto it = m_plainTables.find(table);
    if (it == m_plainTables.end())
        it = m_plainTables.insert(table, plainColumns(table));
    const QHash<QString, Affinity> &columns = *it;
    if (columns.isEmpty())
        return false;
    for (const auto &[name, value] : set) {
        const auto c = columns.constFind(name);
        if (c == columns.cend())
            return false;
        if (value.isNull())
            continue;
        const Affinity a = *c;
        bool asGiven = false;
        switch (value.typeId()) {
        case QMetaType::Double:
            // SQLite stores NaN as NULL.
            asGiven = (a == Affinity::Real || a == Affinity::Blob) && !qIsNaN(value.toDouble());
            break;
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::LongLong:
            asGiven = a == Affinity::Integer || a == Affinity::Numeric || a == Affinity::Blob;
            break;
        case QMetaType::QByteArray:
            asGiven = a == Affinity::Text || a == Affinity::Blob;   // bound as the text's bytes
            break;
        case QMetaType::QString:
            // Text is written as UTF-8: a lone surrogate would come back replaced.
            asGiven = (a == Affinity::Text || a == Affinity::Blob)
                      && QStringView(*static_cast<const QString *>(value.constData())).isValidUtf16();
            break;
        default:
            break;
        }
        if (!asGiven)
            return false;
    }
    return true;
}

sqlite3_stmt *SqliteProvider::cached(const QString &sql)
{
    const auto it = m_statements.find(sql);
    if (it != m_statements.end())
        return it->second.get();
    SqliteStatement s;
    const QByteArray utf8 = sql.toUtf8();
    if (prepare(m_db, utf8.constData(), int(utf8.size()), s) != SQLITE_OK)
        fail(QStringLiteral("Preparing \"%1\"").arg(sql));
    return m_statements.emplace(sql, std::move(s)).first->second.get();
}

sqlite3_stmt *SqliteProvider::shaped(char kind, const QString &table, const QStringList &columns,
                                     const ColumnValues &set, const ColumnValues &where,
                                     const std::function<QString()> &sql)
{
    const auto matches = [&](const Shape &s) {
        if (s.kind != kind || s.table != table || s.names.size() != columns.size() + set.size()
            || s.where.size() != where.size())
            return false;
        for (qsizetype i = 0; i < columns.size(); ++i)
            if (s.names[i] != columns[i])
                return false;
        for (qsizetype i = 0; i < set.size(); ++i)
            if (s.names[columns.size() + i] != set[i].first)
                return false;
        for (qsizetype i = 0; i < where.size(); ++i)
            if (s.where[i] != where[i].first || s.isNull[size_t(i)] != where[i].second.isNull())
                return false;
        return true;
    };
    // A run posts the same shape over and over: try the last one of its kind before hashing names.
    const Shape *&last = m_lastShape[size_t(kind) & 127];
    if (last && matches(*last))
        return last->stmt;
    size_t h = qHashMulti(0, kind, table);
    for (const QString &c : columns)
        h = qHashMulti(h, c);
    for (const auto &p : set)
        h = qHashMulti(h, p.first);
    for (const auto &p : where)
        h = qHashMulti(h, p.first, p.second.isNull());
    std::vector<const Shape *> &bucket = m_shapes[h];
    for (const Shape *s : bucket)
        if (matches(*s)) {
            last = s;
            return s->stmt;
        }
    Shape s{kind, table, columns, {}, {}, cached(sql())};
    for (const auto &p : set)
        s.names << p.first;
    for (const auto &p : where) {
        s.where << p.first;
        s.isNull.push_back(p.second.isNull());
    }
    m_shapeStore.push_back(std::move(s));
    last = &m_shapeStore.back();
    bucket.push_back(last);
    return last->stmt;
}

void SqliteProvider::bind(sqlite3_stmt *stmt, int index, const QVariant &v, std::vector<QByteArray> *keep)
{
    int rc;
    if (v.isNull()) {
        rc = sqlite3_bind_null(stmt, index);
    } else if (v.typeId() == QMetaType::Double) {
        rc = sqlite3_bind_double(stmt, index, v.toDouble());
    } else if (v.typeId() == QMetaType::Bool) {
        rc = sqlite3_bind_int(stmt, index, v.toBool() ? 1 : 0);
    } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
        rc = sqlite3_bind_int64(stmt, index, v.toLongLong());
    } else if (v.typeId() == QMetaType::QByteArray) {
        // UTF-8 already; the value outlives an update's run, not a re-read's.
        const QByteArray &t = *static_cast<const QByteArray *>(v.constData());
        rc = sqlite3_bind_text(stmt, index, t.constData(), int(t.size()), keep ? SQLITE_STATIC : SQLITE_TRANSIENT);
    } else {
        QByteArray t = v.toString().toUtf8();
        if (keep) {
            // Kept until the statement has run: SQLite then needs no copy of its own.
            keep->push_back(std::move(t));
            rc = sqlite3_bind_text(stmt, index, keep->back().constData(), int(keep->back().size()), SQLITE_STATIC);
        } else {
            rc = sqlite3_bind_text(stmt, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        }
    }
    if (rc != SQLITE_OK)
        fail(QStringLiteral("Binding a value"));
}

int SqliteProvider::execute(sqlite3_stmt *stmt)
{
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_DONE)
        throw DataError(QStringLiteral("Writing to '%1' failed: %2.").arg(m_fileName, cause(m_db)));
    return sqlite3_changes(m_db);
}

namespace {
QString whereClause(const ColumnValues &where, int firstIndex)
{
    return SqlText::where(where, QLatin1Char('?'), firstIndex, quoted);
}

template<typename Bind> int bindWhere(const ColumnValues &where, int index, Bind &&b)
{
    for (const auto &pair : where)
        if (!pair.second.isNull())
            b(index++, pair.second);
    return index;
}
} // namespace

int SqliteProvider::update(const QString &table, const ColumnValues &set, const ColumnValues &where)
{
    sqlite3_stmt *s = shaped('U', table, {}, set, where, [&] {
        QStringList assignments;
        for (int i = 0; i < set.size(); ++i)
            assignments << quoted(set[i].first) + QStringLiteral(" = ?") + QString::number(i + 1);
        return QStringLiteral("UPDATE %1 SET %2 WHERE %3")
            .arg(quoted(table), assignments.join(QStringLiteral(", ")), whereClause(where, int(set.size()) + 1));
    });
    m_boundTexts.clear();
    m_boundTexts.reserve(size_t(set.size() + where.size()));
    for (int i = 0; i < set.size(); ++i)
        bind(s, i + 1, set[i].second, &m_boundTexts);
    bindWhere(where, int(set.size()) + 1, [&](int i, const QVariant &v) { bind(s, i, v, &m_boundTexts); });
    return execute(s);
}

ColumnValues SqliteProvider::insert(const QString &table, const ColumnValues &values,
                                    const QStringList &keyColumns)
{
    QStringList cols, params;
    for (int i = 0; i < values.size(); ++i) {
        cols << quoted(values[i].first);
        params << QStringLiteral("?") + QString::number(i + 1);
    }
    sqlite3_stmt *s = cached(values.isEmpty()
                                 ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(table))
                                 : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                       .arg(quoted(table), cols.join(QStringLiteral(", ")),
                                            params.join(QStringLiteral(", "))));
    for (int i = 0; i < values.size(); ++i)
        bind(s, i + 1, values[i].second);
    execute(s);

    // The new row's key as the table holds it (defaults and generated keys included).
    const ColumnValues byRowid{{QStringLiteral("rowid"), QVariant(qint64(sqlite3_last_insert_rowid(m_db)))}};
    ColumnValues key;
    for (const QString &k : keyColumns) {
        const auto given = std::find_if(values.begin(), values.end(), [&](const auto &p) {
            return p.first.compare(k, Qt::CaseInsensitive) == 0;
        });
        key.append({k, given != values.end() ? given->second : QVariant()});
    }
    if (keyColumns == QStringList{QStringLiteral("rowid")})
        return byRowid;
    auto cursor = select(table, keyColumns, byRowid);
    if (cursor->next())
        for (int i = 0; i < keyColumns.size(); ++i)
            key[i].second = cursor->isNull(i) ? QVariant()
                                              : QVariant(QString::fromUtf8(cursor->utf8At(i).data(),
                                                                           qsizetype(cursor->utf8At(i).size())));
    return key;
}

int SqliteProvider::remove(const QString &table, const ColumnValues &where)
{
    sqlite3_stmt *s = cached(QStringLiteral("DELETE FROM %1 WHERE %2").arg(quoted(table), whereClause(where, 1)));
    bindWhere(where, 1, [&](int i, const QVariant &v) { bind(s, i, v); });
    return execute(s);
}

std::unique_ptr<QueryCursor> SqliteProvider::select(const QString &table, const QStringList &columns,
                                                    const ColumnValues &where)
{
    sqlite3_stmt *s = shaped('S', table, columns, {}, where, [&] {
        QStringList cols;
        for (const QString &c : columns)
            cols << quoted(c);
        return QStringLiteral("SELECT %1 FROM %2 WHERE %3")
            .arg(cols.join(QStringLiteral(", ")), quoted(table), whereClause(where, 1));
    });
    bindWhere(where, 1, [&](int i, const QVariant &v) { bind(s, i, v); });
    return std::make_unique<SqliteCursor>(s, SqliteStatement(), false, QList<TableKey>{}, [this](const char *what) {
        fail(QString::fromUtf8(what));
    });
}

void SqliteProvider::beginTransaction()
{
    exec("BEGIN IMMEDIATE", QStringLiteral("Starting to write"));
}

void SqliteProvider::commitTransaction()
{
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
        return;
    // A failed commit either undid the transaction already or left it open (a lock); end it
    // either way, so no later commit can save part of it.
    const QString why = cause(m_db);
    if (inTransaction())
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw DataError(QStringLiteral("Saving to '%1' failed: %2. The records posted since the previous save "
                                   "were not saved.").arg(m_fileName, why));
}

bool SqliteProvider::inTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}
