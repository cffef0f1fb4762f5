#include "PostgresProvider.h"

#include "ConnectionText.h"
#include "DataError.h"
#include "PgResult.h"
#include "SqlText.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <charconv>

namespace {

constexpr qint64 LargestDataLinkFile = 64 * 1024;
// Results waiting in a pipeline are collected at this many statements, so that neither side's
// socket buffer fills while the other waits.
constexpr qsizetype DeepestPipeline = 512;
// Posts of one shape sent as one statement; the protocol carries at most 65535 parameters.
constexpr int RowsPerStatement = 64;
constexpr int MostParameters = 65535;
constexpr Oid BoolOid = 16, TextOid = 25, BpcharOid = 1042, VarcharOid = 1043, Float4Oid = 700, Float8Oid = 701;

ColumnKind kindOf(Oid type)
{
    switch (type) {
    case TextOid:
    case VarcharOid:
    case BpcharOid: return ColumnKind::Text;
    case BoolOid: return ColumnKind::YesNo;
    case Float4Oid:
    case Float8Oid: return ColumnKind::Float;
    default: return ColumnKind::Other;
    }
}

// The text of a data link file: UTF-16 with a byte order mark, or UTF-8.
QString decode(const QByteArray &bytes)
{
    if (bytes.startsWith("\xff\xfe"))
        return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    return QString::fromUtf8(bytes.startsWith("\xef\xbb\xbf") ? bytes.mid(3) : bytes);
}

// The connection text of a data link file: the first line that is neither a comment nor a section.
QString connectionLine(const QString &text)
{
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString l = line.trimmed();
        if (!l.isEmpty() && !l.startsWith(QLatin1Char(';')) && !l.startsWith(QLatin1Char('[')))
            return l;
    }
    return {};
}

QByteArray parameter(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? "true" : "false";
    case QMetaType::Double: return QByteArray::number(v.toDouble(), 'g', 17);
    case QMetaType::QByteArray: return v.toByteArray();   // a record's text as UTF-8
    default: return v.toString().toUtf8();
    }
}

// Parameter texts for libpq: null pointers for NULL.
struct Params
{
    std::vector<QByteArray> texts;
    std::vector<const char *> values;
    explicit Params(const QList<QVariant> &params)
    {
        texts.reserve(size_t(params.size()));
        for (const QVariant &v : params) {
            texts.push_back(v.isNull() ? QByteArray() : parameter(v));
            values.push_back(v.isNull() ? nullptr : texts.back().constData());
        }
    }
};

double floatOf(const PGresult *r, int row, int c)
{
    return QByteArray(PQgetvalue(r, row, c)).toDouble();
}

qint64 integerOf(const PGresult *r, int row, int c)
{
    const char *v = PQgetvalue(r, row, c);
    if (v[0] == 't' || v[0] == 'f')
        return v[0] == 't';
    qint64 n = 0;
    std::from_chars(v, v + PQgetlength(r, row, c), n);
    return n;
}

std::string_view utf8Of(const PGresult *r, int row, int c)
{
    return std::string_view(PQgetvalue(r, row, c), size_t(PQgetlength(r, row, c)));
}

// Reads and drops the results of the statement being answered.
void drain(PGconn *conn)
{
    while (PgResult r{PQgetResult(conn)}) {
    }
}

class PostgresCursor : public QueryCursor
{
public:
    // Streams rows in single-row mode when 'result' is null, else walks a complete result.
    PostgresCursor(PGconn *conn, PgResult result, QList<QueryColumn> columns, QList<TableKey> keys,
                   std::function<void(const char *)> onError)
        : m_conn(conn), m_result(std::move(result)), m_streaming(!m_result), m_columns(std::move(columns)),
          m_keys(std::move(keys)), m_onError(std::move(onError))
    {
    }
    ~PostgresCursor() override
    {
        m_result.reset();
        if (m_streaming)
            drain(m_conn);
    }
    const QList<QueryColumn> &columns() const override { return m_columns; }
    const QList<TableKey> &keys() const override { return m_keys; }
    bool next() override
    {
        if (!m_streaming)
            return m_result && ++m_row < PQntuples(m_result.get());
        m_result.reset(PQgetResult(m_conn));
        m_row = 0;
        if (m_result && PQresultStatus(m_result.get()) == PGRES_SINGLE_TUPLE)
            return true;
        if (m_result && PQresultStatus(m_result.get()) != PGRES_TUPLES_OK) {
            const QByteArray message = PQresultErrorMessage(m_result.get());
            m_result.reset();
            drain(m_conn);
            m_streaming = false;
            m_onError(message.constData());
        }
        m_result.reset();
        drain(m_conn);
        m_streaming = false;
        return false;
    }
    bool isNull(int c) const override { return PQgetisnull(m_result.get(), m_row, c); }
    double floatAt(int c) const override { return floatOf(m_result.get(), m_row, c); }
    qint64 integerAt(int c) const override { return integerOf(m_result.get(), m_row, c); }
    std::string_view utf8At(int c) const override { return utf8Of(m_result.get(), m_row, c); }

private:
    PGconn *m_conn;
    PgResult m_result;
    bool m_streaming;
    int m_row = -1;
    QList<QueryColumn> m_columns;
    QList<TableKey> m_keys;
    std::function<void(const char *)> m_onError;
};

// One row read back by a post, its columns from 'firstColumn' on: a list of rows returns the
// number of the post's row first.
class ReadBackRow : public QueryCursor
{
public:
    ReadBackRow(const PGresult *result, int row, int firstColumn) : m_result(result), m_row(row), m_first(firstColumn) {}
    const QList<QueryColumn> &columns() const override { return m_none; }
    const QList<TableKey> &keys() const override { return m_noKeys; }
    bool next() override { return !std::exchange(m_read, true); }
    bool isNull(int c) const override { return PQgetisnull(m_result, m_row, c + m_first); }
    double floatAt(int c) const override { return floatOf(m_result, m_row, c + m_first); }
    qint64 integerAt(int c) const override { return integerOf(m_result, m_row, c + m_first); }
    std::string_view utf8At(int c) const override { return utf8Of(m_result, m_row, c + m_first); }

private:
    const PGresult *m_result;
    int m_row;
    int m_first;
    bool m_read = false;
    QList<QueryColumn> m_none;
    QList<TableKey> m_noKeys;
};

// The text that tells apart the rows posts locate, to keep one row out of a list twice.
QByteArray locatedBy(const ColumnValues &where)
{
    QByteArray text;
    for (const auto &[col, value] : where)
        text += value.isNull() ? QByteArray("\x01") : parameter(value) + '\0';
    return text;
}

// A result of a statement that waits for nothing else: read, then cleared with its scope.
class Result
{
public:
    explicit Result(PGresult *r) : m_r(r) {}
    bool ok() const { return succeeded(m_r.get()); }
    PGresult *get() const { return m_r.get(); }

    static bool succeeded(const PGresult *r)
    {
        return PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    }

private:
    PgResult m_r;
};

} // namespace

bool PostgresProvider::recognizes(const QByteArray &head)
{
    QString text = decode(head).simplified().toLower();
    text.remove(QLatin1Char(' '));
    return text.startsWith(QLatin1String("[oledb]")) || text.contains(QLatin1String("provider="));
}

std::unique_ptr<DatabaseProvider> PostgresProvider::open(const QString &fileName, const QByteArray &)
{
    QFile file(fileName);
    if (file.size() > LargestDataLinkFile || !file.open(QIODevice::ReadOnly))
        throw DataError(QStringLiteral("The data link file '%1' cannot be read.").arg(fileName));
    const QString text = connectionLine(decode(file.readAll()));
    QString provider;
    try {
        provider = ConnectionText::parse(text).value(QStringLiteral("Provider"));
    } catch (const DataError &) {
        // The parser quotes the broken part, which may be a piece of the password.
        throw DataError(QStringLiteral("The data link file '%1' holds no valid connection text: each part must be "
                                       "key=value, separated by ';', values with ';' in double quotes.").arg(fileName));
    }
    if (provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) != 0)
        throw DataError(QStringLiteral("The data link file '%1' names the provider \"%2\"; only PostgreSQL servers "
                                       "can be opened (Provider=PostgreSQL).").arg(fileName, provider));
    // As libpq does for its password file: a password others can read is no secret any more.
    const QFileDevice::Permissions othersMay = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                             | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (!ConnectionText::parse(text).value(QStringLiteral("Password")).isEmpty() && (file.permissions() & othersMay))
        throw DataError(QStringLiteral("The data link file '%1' holds a password and other users of this computer can "
                                       "read it, so it is not used. Make it readable by you alone: chmod 600 '%1'")
                            .arg(fileName));
    return connect(text, fileName);
}

std::unique_ptr<DatabaseProvider> PostgresProvider::connect(const QString &connectionText, const QString &fileName)
{
    const ConnectionText text = ConnectionText::parse(connectionText);
    const QList<QPair<const char *, QString>> given{
        {"host", text.value(QStringLiteral("Server"))},   {"port", text.value(QStringLiteral("Port"))},
        {"dbname", text.value(QStringLiteral("Database"))}, {"user", text.value(QStringLiteral("User ID"))},
        {"password", text.value(QStringLiteral("Password"))}};
    std::vector<QByteArray> values;
    std::vector<const char *> keys, vals;
    for (const auto &[key, value] : given)
        if (!value.isEmpty()) {
            keys.push_back(key);
            values.push_back(value.toUtf8());
        }
    for (const auto &[key, value] : {std::pair{"connect_timeout", "10"}, {"client_encoding", "UTF8"},
                                     {"application_name", "Orvane"}}) {
        keys.push_back(key);
        values.push_back(value);
    }
    for (const QByteArray &v : values)
        vals.push_back(v.constData());
    keys.push_back(nullptr);
    vals.push_back(nullptr);

    const QString host = given[0].second.isEmpty() ? QStringLiteral("localhost") : given[0].second;
    const QString where = QStringLiteral("the PostgreSQL database '%1' on %2:%3 (data link file '%4')")
                              .arg(given[2].second, host, given[1].second.isEmpty() ? QStringLiteral("5432") : given[1].second,
                                   fileName);
    PGconn *conn = PQconnectdbParams(keys.data(), vals.data(), 0);
    std::unique_ptr<PostgresProvider> p(new PostgresProvider(conn, where, given[4].second));
    if (PQstatus(conn) != CONNECTION_OK)
        throw DataError(QStringLiteral("Connecting to %1 failed: %2").arg(where, p->clean(PQerrorMessage(conn))));
    return p;
}

QByteArray PostgresProvider::lastWords() const
{
    // A server that ends a connection says why first; behind a send that failed, its message
    // may still wait unread among the results.
    QByteArray why;
    if (PQstatus(m_conn) == CONNECTION_BAD || PQconsumeInput(m_conn)) {
        for (int i = 0; i < DeepestPipeline && why.isEmpty(); ++i) {
            const PgResult r{PQgetResult(m_conn)};
            if (!r) {
                if (PQstatus(m_conn) == CONNECTION_BAD)
                    break;
                continue;
            }
            if (PQresultStatus(r.get()) == PGRES_FATAL_ERROR)
                why = PQresultErrorMessage(r.get());
        }
    }
    if (why.isEmpty())
        why = m_farewell;
    return why.isEmpty() ? QByteArray(PQerrorMessage(m_conn)) : why;
}

// A server that ends the connection sends its reason and closes; data sent into the closed
// connection makes it reset, and a reset can throw the reason away unread. So whatever has
// arrived is taken in before each send, where the reason then waits among the results.
void PostgresProvider::readWaitingInput()
{
    if (!PQconsumeInput(m_conn))
        fail(QStringLiteral("Sending posts"), lastWords().constData());
}

QString PostgresProvider::identity() const
{
    return QStringLiteral("postgresql://%1:%2/%3")
        .arg(QString::fromUtf8(PQhost(m_conn)), QString::fromUtf8(PQport(m_conn)), QString::fromUtf8(PQdb(m_conn)));
}

PostgresProvider::PostgresProvider(PGconn *conn, const QString &where, const QString &password)
    : m_conn(conn), m_where(where), m_password(password)
{
    // A server that ends the connection while nothing waits for a result says why in a message
    // libpq hands to the notice receiver, not to a result.
    // libpq's own receiver (which prints the notices) still gets every message.
    m_noticeReceiver = PQsetNoticeReceiver(
        m_conn,
        [](void *arg, const PGresult *r) {
            auto *provider = static_cast<PostgresProvider *>(arg);
            const char *severity = PQresultErrorField(r, PG_DIAG_SEVERITY_NONLOCALIZED);
            if (severity && (qstrcmp(severity, "FATAL") == 0 || qstrcmp(severity, "PANIC") == 0))
                provider->m_farewell = PQresultErrorMessage(r);
            if (provider->m_noticeReceiver)
                provider->m_noticeReceiver(nullptr, r);
        },
        this);
}

PostgresProvider::~PostgresProvider()
{
    try {
        collect();
    } catch (const DataError &e) {
        qWarning("%s", e.what());
    }
    if (inTransaction())
        PQclear(PQexec(m_conn, "COMMIT"));
    PQfinish(m_conn);
}

QString PostgresProvider::clean(const char *message) const
{
    QString m = QString::fromUtf8(message).trimmed();
    if (!m_password.isEmpty())
        m.replace(m_password, QStringLiteral("***"));
    return m;
}

void PostgresProvider::fail(const QString &what, const char *serverMessage) const
{
    throw DataError(QStringLiteral("%1 failed in %2: %3").arg(what, m_where, clean(serverMessage)));
}

void PostgresProvider::command(const char *sql)
{
    collect();
    Result r{PQexec(m_conn, sql)};
    if (!r.ok())
        fail(QString::fromLatin1(sql), PQerrorMessage(m_conn));
}

QString PostgresProvider::quotedName(const QString &name) const
{
    // Bare names are folded to lower case, and the server alone knows its keywords.
    const bool folds = std::any_of(name.begin(), name.end(), [](QChar c) { return c.isUpper(); });
    if (!SqlText::isPlainWord(name) || folds)
        return SqlText::quoted(name);
    const_cast<PostgresProvider *>(this)->collect();
    const QByteArray utf8 = name.toUtf8();
    const char *params[] = {utf8.constData()};
    Result r{PQexecParams(m_conn, "SELECT quote_ident($1)", 1, nullptr, params, nullptr, nullptr, 0)};
    return r.ok() && PQntuples(r.get()) == 1 ? QString::fromUtf8(PQgetvalue(r.get(), 0, 0)) : SqlText::quoted(name);
}

QStringList PostgresProvider::tableNames() const
{
    const_cast<PostgresProvider *>(this)->collect();
    Result r{PQexec(m_conn, "SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                            "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'v', 'm', 'p', 'f') "
                            "ORDER BY c.oid")};
    if (!r.ok())
        fail(QStringLiteral("Listing the tables"), PQerrorMessage(m_conn));
    QStringList names;
    for (int i = 0; i < PQntuples(r.get()); ++i)
        names << QString::fromUtf8(PQgetvalue(r.get(), i, 0));
    return names;
}

QStringList PostgresProvider::primaryKey(quint32 tableOid, QString *tableName)
{
    const QByteArray oid = QByteArray::number(tableOid);
    const char *params[] = {oid.constData()};
    Result name{PQexecParams(m_conn, "SELECT relname FROM pg_class WHERE oid = $1::oid", 1, nullptr, params, nullptr, nullptr, 0)};
    if (!name.ok() || PQntuples(name.get()) != 1)
        fail(QStringLiteral("Reading the tables of a query"), PQerrorMessage(m_conn));
    *tableName = QString::fromUtf8(PQgetvalue(name.get(), 0, 0));
    Result key{PQexecParams(m_conn,
                            "SELECT a.attnum FROM pg_index i JOIN pg_attribute a ON a.attrelid = i.indrelid "
                            "AND a.attnum = ANY(i.indkey) WHERE i.indrelid = $1::oid AND i.indisprimary "
                            "ORDER BY array_position(i.indkey::int2[], a.attnum)",
                            1, nullptr, params, nullptr, nullptr, 0)};
    if (!key.ok())
        fail(QStringLiteral("Reading the key of table '%1'").arg(*tableName), PQerrorMessage(m_conn));
    QStringList columns;
    for (int i = 0; i < PQntuples(key.get()); ++i)
        columns << QString::fromUtf8(PQgetvalue(key.get(), i, 0));
    return columns;   // attribute numbers, matched against PQftablecol
}

std::unique_ptr<QueryCursor> PostgresProvider::query(const QString &sqlText)
{
    collect();
    const QByteArray sql = SqlText::rewriteTop(sqlText).toUtf8();
    {
        Result prep{PQprepare(m_conn, "", sql.constData(), 0, nullptr)};
        if (!prep.ok())
            fail(QStringLiteral("The query \"%1\"").arg(sqlText.simplified()), PQerrorMessage(m_conn));
    }
    Result desc{PQdescribePrepared(m_conn, "")};
    if (!desc.ok())
        fail(QStringLiteral("The query \"%1\"").arg(sqlText.simplified()), PQerrorMessage(m_conn));
    const int n = PQnfields(desc.get());
    QList<QueryColumn> columns;
    QHash<Oid, QString> tables;
    QList<TableKey> keys;
    for (int c = 0; c < n; ++c) {
        const Oid table = PQftable(desc.get(), c);
        if (table != InvalidOid && !tables.contains(table)) {
            QString name;
            const QStringList keyNumbers = primaryKey(table, &name);
            tables.insert(table, name);
            TableKey key{name, {}, {}};
            for (const QString &k : keyNumbers)
                for (int d = 0; d < n; ++d)
                    if (PQftable(desc.get(), d) == table && PQftablecol(desc.get(), d) == k.toInt()) {
                        key.cursorColumns << d;
                        break;
                    }
            if (!keyNumbers.isEmpty() && key.cursorColumns.size() == keyNumbers.size())
                keys << key;
        }
    }
    // Declared types and base names of table columns; expressions keep an empty type.
    for (int c = 0; c < n; ++c) {
        QueryColumn col;
        col.name = QString::fromUtf8(PQfname(desc.get(), c));
        col.kind = kindOf(PQftype(desc.get(), c));
        const Oid table = PQftable(desc.get(), c);
        if (table != InvalidOid) {
            const QByteArray oid = QByteArray::number(table), num = QByteArray::number(PQftablecol(desc.get(), c));
            const char *params[] = {oid.constData(), num.constData()};
            Result a{PQexecParams(m_conn, "SELECT attname, format_type(atttypid, atttypmod) FROM pg_attribute "
                                          "WHERE attrelid = $1::oid AND attnum = $2::int2",
                                  2, nullptr, params, nullptr, nullptr, 0)};
            if (a.ok() && PQntuples(a.get()) == 1) {
                col.baseTable = tables.value(table);
                col.baseColumn = QString::fromUtf8(PQgetvalue(a.get(), 0, 0));
                col.declaredType = QString::fromUtf8(PQgetvalue(a.get(), 0, 1));
            }
        }
        columns.append(col);
    }
    for (TableKey &k : keys)
        for (int c : std::as_const(k.cursorColumns))
            k.keyColumns << columns[c].baseColumn;

    if (!PQsendQueryParams(m_conn, sql.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0))
        fail(QStringLiteral("The query \"%1\"").arg(sqlText.simplified()), PQerrorMessage(m_conn));
    PQsetSingleRowMode(m_conn);
    return std::make_unique<PostgresCursor>(m_conn, PgResult(), columns, keys, [this](const char *message) {
        fail(QStringLiteral("Reading the query result"), message);
    });
}

const QByteArray &PostgresProvider::prepared(const QString &sql)
{
    const auto it = m_statements.constFind(sql);
    if (it != m_statements.constEnd())
        return *it;
    const QByteArray name = "orvane_" + QByteArray::number(m_statements.size() + 1);
    Result r{PQprepare(m_conn, name.constData(), sql.toUtf8().constData(), 0, nullptr)};
    if (!r.ok())
        fail(QStringLiteral("Preparing \"%1\"").arg(sql), PQerrorMessage(m_conn));
    return *m_statements.insert(sql, name);
}

// Inside a transaction a failed statement would undo every post since the last commit; a
// savepoint keeps them.
int PostgresProvider::execute(const QString &sql, const QList<QVariant> &params, std::unique_ptr<QueryCursor> *rows)
{
    collect();
    const QByteArray &name = prepared(sql);
    const Params p(params);
    const std::vector<const char *> &values = p.values;
    const bool guarded = rows == nullptr && inTransaction();
    if (guarded)
        command("SAVEPOINT orvane_post");
    PgResult r{PQexecPrepared(m_conn, name.constData(), int(values.size()), values.data(), nullptr, nullptr, 0)};
    if (!Result::succeeded(r.get())) {
        const QString message = clean(PQresultErrorMessage(r.get()));
        r.reset();
        if (guarded)
            command("ROLLBACK TO SAVEPOINT orvane_post");
        throw DataError(QStringLiteral("Writing to %1 failed: %2").arg(m_where, message));
    }
    if (guarded)
        command("RELEASE SAVEPOINT orvane_post");
    const int changed = QByteArray(PQcmdTuples(r.get())).toInt();
    if (rows)
        *rows = std::make_unique<PostgresCursor>(m_conn, std::move(r), QList<QueryColumn>{}, QList<TableKey>{}, [](const char *) {});
    return changed;
}

namespace {
QString whereClause(const ColumnValues &where, int firstIndex, QList<QVariant> &params)
{
    for (const auto &[col, value] : where)
        if (!value.isNull())
            params << value;
    return SqlText::where(where, QLatin1Char('$'), firstIndex);
}
} // namespace

const PostgresProvider::UpdateShape &PostgresProvider::updateText(const QString &table, const ColumnValues &set,
                                                                  const ColumnValues &where, const QStringList *returning,
                                                                  QList<QVariant> &params)
{
    params.reserve(set.size() + where.size());
    for (const auto &[col, value] : set)
        params << value;
    for (const auto &[col, value] : where)
        if (!value.isNull())
            params << value;
    UpdateShape &last = m_lastUpdate;
    bool same = last.table == table && last.set.size() == set.size() && last.where.size() == where.size()
                && last.returns == (returning != nullptr) && (!returning || last.returning == *returning);
    for (qsizetype i = 0; same && i < set.size(); ++i)
        same = last.set[i] == set[i].first;
    for (qsizetype i = 0; same && i < where.size(); ++i)
        same = last.where[i] == where[i].first && last.isNull[size_t(i)] == where[i].second.isNull();
    if (same)
        return last;

    last = UpdateShape{table, {}, {}, {}, returning != nullptr, returning ? *returning : QStringList(), {}};
    QStringList assignments;
    for (const auto &[col, value] : set) {
        last.set << col;
        assignments << SqlText::quoted(col) + QStringLiteral(" = $") + QString::number(assignments.size() + 1);
    }
    for (const auto &[col, value] : where) {
        last.where << col;
        last.isNull.push_back(value.isNull());
    }
    QStringList returned;
    for (const QString &c : last.returning)
        returned << SqlText::quoted(c);
    last.sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                   .arg(SqlText::quoted(table), assignments.join(QStringLiteral(", ")),
                        SqlText::where(where, QLatin1Char('$'), int(set.size()) + 1));
    if (last.returns)
        last.sql += QStringLiteral(" RETURNING ") + (returned.isEmpty() ? QStringLiteral("1") : returned.join(QStringLiteral(", ")));
    return last;
}

int PostgresProvider::update(const QString &table, const ColumnValues &set, const ColumnValues &where)
{
    QList<QVariant> params;
    const UpdateShape &shape = updateText(table, set, where, nullptr, params);
    if (!inTransaction())
        return execute(shape.sql, params);
    send(shape, params, {Pending::Kind::Post, table, where, {}, {}, {}});
    return 1;   // confirmed when the results are collected
}

ReadBackOutcome PostgresProvider::updateAndRead(const ReadBackUpdate &u, std::function<void(const QueryCursor &)> onRow)
{
    QList<QVariant> params;
    const UpdateShape &shape = updateText(u.table, u.set, u.where, &u.columns, params);
    if (!inTransaction()) {
        std::unique_ptr<QueryCursor> rows;
        if (execute(shape.sql, params, &rows) == 0)
            return {};
        if (rows->next())
            onRow(*rows);
        return {true, {}};
    }
    // The update and its re-read travel in the pipeline like any post: waiting for each row
    // would cost a round trip per post.
    send(shape, params, {Pending::Kind::PostReturning, u.table, u.where, {}, {}, std::move(onRow)});
    return {true, {}};   // confirmed when the results are collected
}

void PostgresProvider::send(const UpdateShape &shape, const QList<QVariant> &params, Pending post)
{
    const QString &sql = shape.sql;
    // Statements are prepared outside the pipeline; a post outside a batch may have prepared the
    // single one already.
    if (m_pending.size() >= DeepestPipeline || (!m_pending.isEmpty() && !m_rowsStatements.contains(sql)))
        collect();
    if (!m_rowsStatements.contains(sql))
        prepareRows(shape, prepared(sql));
    const QByteArray name = prepared(sql);
    const RowsStatement rows = m_rowsStatements.value(sql);
    const QByteArray located = rows.name.isEmpty() ? QByteArray() : locatedBy(post.where);
    if (!m_rowsShape.isEmpty() && (m_rowsShape != sql || m_rowsLocated.contains(located)))
        sendRows();
    if (m_pending.isEmpty() && PQpipelineStatus(m_conn) == PQ_PIPELINE_OFF && !PQenterPipelineMode(m_conn))
        fail(QStringLiteral("Sending posts"), lastWords().constData());
    const auto control = [&](const QByteArray &text) {
        readWaitingInput();
        if (!PQsendQueryParams(m_conn, text.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0))
            fail(QStringLiteral("Sending posts"), lastWords().constData());
        m_pending.append(Pending{});
    };
    if (m_pending.isEmpty()) {
        if (!m_releaseNext.isEmpty())
            control("RELEASE SAVEPOINT " + std::exchange(m_releaseNext, {}));
        m_group = "orvane_posts_" + QByteArray::number(++m_savepoints);
        control("SAVEPOINT " + m_group);
    }
    post.statement = name;
    post.params = params;
    m_pending.append(post);
    if (rows.name.isEmpty()) {
        sendPrepared(name, params);
        return;
    }
    if (m_rowsShape.isEmpty()) {
        m_rowsShape = sql;
        m_rowsFirst = m_pending.size() - 1;
        m_rowsLocated.clear();
    }
    m_rowsLocated.insert(located);
    if (m_pending.size() - m_rowsFirst == rows.rows)
        sendRows();
}

void PostgresProvider::sendPrepared(const QByteArray &name, const QList<QVariant> &params)
{
    const Params p(params);
    readWaitingInput();
    if (!PQsendQueryPrepared(m_conn, name.constData(), int(p.values.size()), p.values.data(), nullptr, nullptr, 0))
        fail(QStringLiteral("Sending posts"), lastWords().constData());
}

// A full list goes out as one statement; a shorter one, cut off by a read, another shape or a row
// posted twice, post by post.
void PostgresProvider::sendRows()
{
    if (m_rowsShape.isEmpty())
        return;
    const RowsStatement rows = m_rowsStatements.value(std::exchange(m_rowsShape, {}));
    const qsizetype count = m_pending.size() - m_rowsFirst;
    if (count < rows.rows) {
        for (qsizetype i = m_rowsFirst; i < m_pending.size(); ++i)
            sendPrepared(m_pending[i].statement, m_pending[i].params);
        return;
    }
    QList<QVariant> params;
    for (qsizetype i = m_rowsFirst; i < m_pending.size(); ++i) {
        params += m_pending[i].params;
        m_pending[i].posts = 0;
    }
    m_pending[m_rowsFirst].posts = count;
    sendPrepared(rows.name, params);
}

// UPDATE ... FROM (VALUES ...) over the posts of one shape, returning each post's row number
// before what the post reads back. Only for tables without triggers or rules, which could act
// differently on one statement than on one per post, and for posts that leave the columns that
// locate their row alone.
void PostgresProvider::prepareRows(const UpdateShape &shape, const QByteArray &single)
{
    RowsStatement rows;
    const bool keepsLocation = std::none_of(shape.set.cbegin(), shape.set.cend(),
                                            [&](const QString &c) { return shape.where.contains(c); });
    if (!keepsLocation || !isPlainTable(shape.table)) {
        m_rowsStatements.insert(shape.sql, rows);
        return;
    }
    Result desc{PQdescribePrepared(m_conn, single.constData())};
    const int perRow = desc.ok() ? PQnparams(desc.get()) : 0;
    rows.rows = perRow > 0 ? std::min(RowsPerStatement, MostParameters / perRow) : 0;
    if (rows.rows < 2) {
        m_rowsStatements.insert(shape.sql, rows);
        return;
    }
    std::vector<Oid> types;
    for (int r = 0; r < rows.rows; ++r)
        for (int i = 0; i < perRow; ++i)
            types.push_back(PQparamtype(desc.get(), i));

    QStringList values, names{QStringLiteral("n")};
    for (int i = 1; i <= perRow; ++i)
        names << QStringLiteral("c%1").arg(i);
    for (int r = 0; r < rows.rows; ++r) {
        QStringList row{QString::number(r + 1)};
        for (int i = 1; i <= perRow; ++i)
            row << QStringLiteral("$%1").arg(r * perRow + i);
        values << QLatin1Char('(') + row.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    QStringList assignments, conditions, returned{QStringLiteral("orvane_v.n")};
    int column = 0;
    for (const QString &c : shape.set)
        assignments << SqlText::quoted(c) + QStringLiteral(" = orvane_v.c") + QString::number(++column);
    for (qsizetype i = 0; i < shape.where.size(); ++i)
        conditions << QStringLiteral("orvane_t.") + SqlText::quoted(shape.where[i])
                          + (shape.isNull[size_t(i)] ? QStringLiteral(" IS NULL") : QStringLiteral(" = orvane_v.c") + QString::number(++column));
    for (const QString &c : shape.returning)
        returned << QStringLiteral("orvane_t.") + SqlText::quoted(c);
    const QByteArray sql = QStringLiteral("UPDATE %1 AS orvane_t SET %2 FROM (VALUES %3) AS orvane_v(%4) WHERE %5 RETURNING %6")
                               .arg(SqlText::quoted(shape.table), assignments.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")),
                                    names.join(QStringLiteral(", ")), conditions.join(QStringLiteral(" AND ")),
                                    returned.join(QStringLiteral(", ")))
                               .toUtf8();
    const QByteArray name = "orvane_rows_" + QByteArray::number(m_rowsStatements.size() + 1);
    // A refused statement would end the transaction; the posts then go one by one.
    command("SAVEPOINT orvane_rows");
    Result prep{PQprepare(m_conn, name.constData(), sql.constData(), int(types.size()), types.data())};
    command(prep.ok() ? "RELEASE SAVEPOINT orvane_rows" : "ROLLBACK TO SAVEPOINT orvane_rows");
    if (prep.ok())
        rows.name = name;
    m_rowsStatements.insert(shape.sql, rows);
}

bool PostgresProvider::isPlainTable(const QString &table)
{
    const auto it = m_plainTables.constFind(table);
    if (it != m_plainTables.constEnd())
        return *it;
    const QByteArray name = SqlText::quoted(table).toUtf8();
    const char *params[] = {name.constData()};
    Result r{PQexecParams(m_conn,
                          "SELECT c.relkind IN ('r', 'p') AND NOT c.relhasrules AND NOT EXISTS "
                          "(SELECT 1 FROM pg_trigger t WHERE t.tgrelid = c.oid AND NOT t.tgisinternal) "
                          "FROM pg_class c WHERE c.oid = to_regclass($1)",
                          1, nullptr, params, nullptr, nullptr, 0)};
    const bool plain = r.ok() && PQntuples(r.get()) == 1 && PQgetvalue(r.get(), 0, 0)[0] == 't';
    m_plainTables.insert(table, plain);
    return plain;
}

QString PostgresProvider::describe(const Pending &post) const
{
    QStringList parts;
    for (const auto &[col, value] : post.where.mid(0, 3))
        parts << QStringLiteral("%1 = %2").arg(col, value.isNull() ? QStringLiteral("Null") : QLatin1Char('\'') + value.toString() + QLatin1Char('\''));
    return QStringLiteral("table \"%1\", %2%3").arg(post.table, parts.join(QStringLiteral(", ")),
                                                   post.where.size() > 3 ? QStringLiteral(", ...") : QString());
}

void PostgresProvider::collect()
{
    sendRows();
    if (m_pending.isEmpty())
        return;
    const QList<Pending> pending = std::exchange(m_pending, {});
    readWaitingInput();
    if (!PQpipelineSync(m_conn))
        fail(QStringLiteral("Sending posts"), lastWords().constData());
    qsizetype failed = -1, next = 0;
    QString serverMessage;
    struct ReadBack
    {
        const PGresult *result = nullptr;
        int row = 0;
        int firstColumn = 0;
    };
    std::vector<ReadBack> readBack(size_t(pending.size()));
    std::vector<PgResult> kept;   // the results holding re-read rows
    for (;;) {
        PgResult r{PQgetResult(m_conn)};
        if (!r) {   // the end of one statement's results
            if (PQstatus(m_conn) == CONNECTION_BAD) {
                // The server's own word on why it ended the connection, where it gave one.
                const QByteArray why = serverMessage.isEmpty() ? QByteArray(PQerrorMessage(m_conn)) : serverMessage.toUtf8();
                fail(QStringLiteral("Reading the results of the posts"), why.constData());
            }
            continue;
        }
        const ExecStatusType status = PQresultStatus(r.get());
        if (status == PGRES_PIPELINE_SYNC)
            break;
        const qsizetype first = next;
        const qsizetype posts = first < pending.size() ? pending[first].posts : 1;
        next += posts;
        const Pending::Kind kind = first < pending.size() ? pending[first].kind : Pending::Kind::Control;
        if (failed >= 0 || kind == Pending::Kind::Control) {
            if (failed < 0 && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
                failed = first;
                serverMessage = clean(PQresultErrorMessage(r.get()));
            }
        } else if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            // Sending again the posts before the last of a refused list finds the one it failed on.
            failed = first + posts - 1;
            serverMessage = clean(PQresultErrorMessage(r.get()));
        } else if (posts == 1) {
            if (QByteArray(PQcmdTuples(r.get())).toInt() == 0)
                failed = first;
            else if (kind == Pending::Kind::PostReturning && PQntuples(r.get()) > 0)
                readBack[size_t(first)] = {r.get(), 0, 0};
        } else {
            std::vector<int> rowOf(size_t(posts), -1);
            for (int row = 0; row < PQntuples(r.get()); ++row) {
                const qsizetype n = QByteArray(PQgetvalue(r.get(), row, 0)).toLongLong() - 1;
                if (n >= 0 && n < posts && rowOf[size_t(n)] < 0)
                    rowOf[size_t(n)] = row;
            }
            const auto missing = std::find(rowOf.cbegin(), rowOf.cend(), -1);
            if (missing != rowOf.cend())
                failed = first + (missing - rowOf.cbegin());
            else if (kind == Pending::Kind::PostReturning)
                for (qsizetype j = 0; j < posts; ++j)
                    readBack[size_t(first + j)] = {r.get(), rowOf[size_t(j)], 1};
        }
        if (first < pending.size() && readBack[size_t(first)].result == r.get())
            kept.push_back(std::move(r));
    }
    if (!PQexitPipelineMode(m_conn))
        fail(QStringLiteral("Reading the results of the posts"), PQerrorMessage(m_conn));

    if (failed < 0) {
        m_releaseNext = m_group;
        for (qsizetype i = 0; i < pending.size(); ++i) {
            const ReadBack &b = readBack[size_t(i)];
            if (!b.result)
                continue;
            ReadBackRow row(b.result, b.row, b.firstColumn);
            row.next();
            pending[i].onRow(row);
        }
        return;
    }
    qsizetype culprit = failed;
    while (culprit < pending.size() && pending[culprit].kind == Pending::Kind::Control)
        ++culprit;
    undo(pending, culprit < pending.size() ? culprit : failed, serverMessage);
}

// Rolls the group back and sends the posts before the culprit again; one of them failing now
// (a row deleted meanwhile) becomes the culprit.
void PostgresProvider::undo(const QList<Pending> &pending, qsizetype culprit, const QString &serverMessage)
{
    QString message = serverMessage;
    bool undone = false;
    for (;;) {
        undone = !m_group.isEmpty() && Result{PQexec(m_conn, ("ROLLBACK TO SAVEPOINT " + m_group).constData())}.ok();
        if (!undone)
            break;
        qsizetype again = 0;
        for (; again < culprit; ++again) {
            const Pending &p = pending[again];
            if (p.kind == Pending::Kind::Control)
                continue;
            const Params params(p.params);
            Result r{PQexecPrepared(m_conn, p.statement.constData(), int(params.values.size()), params.values.data(),
                                    nullptr, nullptr, 0)};
            if (!r.ok()) {
                message = clean(PQresultErrorMessage(r.get()));
                break;
            }
            if (QByteArray(PQcmdTuples(r.get())).toInt() == 0) {
                message.clear();
                break;
            }
        }
        if (again == culprit)
            break;
        culprit = again;
    }
    undone = undone && Result{PQexec(m_conn, ("RELEASE SAVEPOINT " + m_group).constData())}.ok();
    if (!undone)
        PQclear(PQexec(m_conn, "ROLLBACK"));
    const Pending &post = pending[culprit];
    qsizetype later = 0;
    for (qsizetype i = culprit + 1; i < pending.size(); ++i)
        later += pending[i].kind != Pending::Kind::Control;
    QString text = message.isEmpty()
        ? QStringLiteral("The row cannot be located for updating: it was deleted or changed since it was read (%1).").arg(describe(post))
        : QStringLiteral("Writing to %1 failed (%2): %3").arg(m_where, describe(post), message);
    if (!undone)
        text += QStringLiteral(" The database undid the posts of this run since its last commit.");
    else if (later == 1)
        text += QStringLiteral(" The post sent after it was undone as well.");
    else if (later > 1)
        text += QStringLiteral(" The %1 posts sent after it were undone as well.").arg(later);
    throw DataError(text);
}

ColumnValues PostgresProvider::insert(const QString &table, const ColumnValues &values, const QStringList &keyColumns)
{
    QStringList cols, marks, returning;
    QList<QVariant> params;
    for (const auto &[col, value] : values) {
        cols << SqlText::quoted(col);
        params << value;
        marks << QStringLiteral("$") + QString::number(params.size());
    }
    for (const QString &k : keyColumns)
        returning << SqlText::quoted(k);
    QString sql = values.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(SqlText::quoted(table))
                                   : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                         .arg(SqlText::quoted(table), cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    if (keyColumns.isEmpty()) {
        execute(sql, params);
        return {};
    }
    sql += QStringLiteral(" RETURNING ") + returning.join(QStringLiteral(", "));
    const bool guarded = inTransaction();
    if (guarded)
        command("SAVEPOINT orvane_post");
    std::unique_ptr<QueryCursor> rows;
    try {
        execute(sql, params, &rows);
    } catch (const DataError &) {
        if (guarded)
            command("ROLLBACK TO SAVEPOINT orvane_post");
        throw;
    }
    if (guarded)
        command("RELEASE SAVEPOINT orvane_post");
    ColumnValues key;
    const bool found = rows->next();
    for (int i = 0; i < keyColumns.size(); ++i)
        key.append({keyColumns[i], !found || rows->isNull(i) ? QVariant()
                                                             : QVariant(QString::fromUtf8(rows->utf8At(i).data(), qsizetype(rows->utf8At(i).size())))});
    return key;
}

int PostgresProvider::remove(const QString &table, const ColumnValues &where)
{
    QList<QVariant> params;
    const QString w = whereClause(where, 1, params);
    return execute(QStringLiteral("DELETE FROM %1 WHERE %2").arg(SqlText::quoted(table), w), params);
}

std::unique_ptr<QueryCursor> PostgresProvider::select(const QString &table, const QStringList &columns,
                                                      const ColumnValues &where)
{
    QStringList cols;
    for (const QString &c : columns)
        cols << SqlText::quoted(c);
    QList<QVariant> params;
    const QString w = whereClause(where, 1, params);
    std::unique_ptr<QueryCursor> rows;
    execute(QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(cols.join(QStringLiteral(", ")), SqlText::quoted(table), w), params, &rows);
    return rows;
}

void PostgresProvider::beginTransaction()
{
    command("BEGIN");
    m_savepoints = 0;
    m_releaseNext.clear();
}

// The posts before a failed one are committed before the failure is reported.
void PostgresProvider::commitTransaction()
{
    try {
        collect();
    } catch (const DataError &) {
        m_releaseNext.clear();
        if (inTransaction())
            command("COMMIT");
        throw;
    }
    m_releaseNext.clear();
    command("COMMIT");
}

bool PostgresProvider::inTransaction() const
{
    // A lost connection has no transaction left to commit.
    const PGTransactionStatusType status = PQtransactionStatus(m_conn);
    return status != PQTRANS_IDLE && status != PQTRANS_UNKNOWN;
}
