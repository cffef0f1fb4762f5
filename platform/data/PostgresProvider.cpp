#include "PostgresProvider.h"

#include "ConnectionText.h"
#include "DataError.h"
#include "SqliteProvider.h"

#include <QFile>
#include <QStringDecoder>
#include <charconv>
#include <libpq-fe.h>

namespace {

constexpr qint64 LargestDataLinkFile = 64 * 1024;
// Results waiting in a pipeline are collected at this many statements, so that neither side's
// socket buffer fills while the other waits.
constexpr qsizetype DeepestPipeline = 512;
constexpr Oid BoolOid = 16, TextOid = 25, BpcharOid = 1042, VarcharOid = 1043, Float4Oid = 700, Float8Oid = 701;

QString quoted(const QString &identifier)
{
    QString s = identifier;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

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

class PostgresCursor : public QueryCursor
{
public:
    // Streams rows in single-row mode when 'result' is null, else walks a complete result.
    PostgresCursor(PGconn *conn, PGresult *result, QList<QueryColumn> columns, QList<TableKey> keys,
                   std::function<void(const char *)> onError)
        : m_conn(conn), m_result(result), m_streaming(result == nullptr), m_columns(std::move(columns)),
          m_keys(std::move(keys)), m_onError(std::move(onError))
    {
    }
    ~PostgresCursor() override
    {
        PQclear(m_result);
        if (m_streaming)
            while (PGresult *r = PQgetResult(m_conn))
                PQclear(r);
    }
    const QList<QueryColumn> &columns() const override { return m_columns; }
    const QList<TableKey> &keys() const override { return m_keys; }
    bool next() override
    {
        if (!m_streaming)
            return m_result && ++m_row < PQntuples(m_result);
        PQclear(m_result);
        m_result = PQgetResult(m_conn);
        m_row = 0;
        if (m_result && PQresultStatus(m_result) == PGRES_SINGLE_TUPLE)
            return true;
        if (m_result && PQresultStatus(m_result) != PGRES_TUPLES_OK) {
            const QByteArray message = PQresultErrorMessage(m_result);
            PQclear(m_result);
            m_result = nullptr;
            while (PGresult *r = PQgetResult(m_conn))
                PQclear(r);
            m_streaming = false;
            m_onError(message.constData());
        }
        PQclear(m_result);
        m_result = nullptr;
        while (PGresult *r = PQgetResult(m_conn))
            PQclear(r);
        m_streaming = false;
        return false;
    }
    bool isNull(int c) const override { return PQgetisnull(m_result, m_row, c); }
    double floatAt(int c) const override { return QByteArray(PQgetvalue(m_result, m_row, c)).toDouble(); }
    qint64 integerAt(int c) const override
    {
        const char *v = PQgetvalue(m_result, m_row, c);
        if (v[0] == 't' || v[0] == 'f')
            return v[0] == 't';
        qint64 n = 0;
        std::from_chars(v, v + PQgetlength(m_result, m_row, c), n);
        return n;
    }
    std::string_view utf8At(int c) const override
    {
        return std::string_view(PQgetvalue(m_result, m_row, c), size_t(PQgetlength(m_result, m_row, c)));
    }

private:
    PGconn *m_conn;
    PGresult *m_result;
    bool m_streaming;
    int m_row = -1;
    QList<QueryColumn> m_columns;
    QList<TableKey> m_keys;
    std::function<void(const char *)> m_onError;
};

struct Result
{
    PGresult *r;
    ~Result() { PQclear(r); }
    bool ok() const { return PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK; }
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

PostgresProvider::PostgresProvider(PGconn *conn, const QString &where, const QString &password)
    : m_conn(conn), m_where(where), m_password(password)
{
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

QStringList PostgresProvider::tableNames() const
{
    const_cast<PostgresProvider *>(this)->collect();
    Result r{PQexec(m_conn, "SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                            "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'v', 'm', 'p', 'f') "
                            "ORDER BY c.oid")};
    if (!r.ok())
        fail(QStringLiteral("Listing the tables"), PQerrorMessage(m_conn));
    QStringList names;
    for (int i = 0; i < PQntuples(r.r); ++i)
        names << QString::fromUtf8(PQgetvalue(r.r, i, 0));
    return names;
}

QStringList PostgresProvider::primaryKey(quint32 tableOid, QString *tableName)
{
    const QByteArray oid = QByteArray::number(tableOid);
    const char *params[] = {oid.constData()};
    Result name{PQexecParams(m_conn, "SELECT relname FROM pg_class WHERE oid = $1::oid", 1, nullptr, params, nullptr, nullptr, 0)};
    if (!name.ok() || PQntuples(name.r) != 1)
        fail(QStringLiteral("Reading the tables of a query"), PQerrorMessage(m_conn));
    *tableName = QString::fromUtf8(PQgetvalue(name.r, 0, 0));
    Result key{PQexecParams(m_conn,
                            "SELECT a.attnum FROM pg_index i JOIN pg_attribute a ON a.attrelid = i.indrelid "
                            "AND a.attnum = ANY(i.indkey) WHERE i.indrelid = $1::oid AND i.indisprimary "
                            "ORDER BY array_position(i.indkey::int2[], a.attnum)",
                            1, nullptr, params, nullptr, nullptr, 0)};
    if (!key.ok())
        fail(QStringLiteral("Reading the key of table '%1'").arg(*tableName), PQerrorMessage(m_conn));
    QStringList columns;
    for (int i = 0; i < PQntuples(key.r); ++i)
        columns << QString::fromUtf8(PQgetvalue(key.r, i, 0));
    return columns;   // attribute numbers, matched against PQftablecol
}

std::unique_ptr<QueryCursor> PostgresProvider::query(const QString &sqlText)
{
    collect();
    const QByteArray sql = SqliteProvider::rewriteTop(sqlText).toUtf8();
    {
        Result prep{PQprepare(m_conn, "", sql.constData(), 0, nullptr)};
        if (!prep.ok())
            fail(QStringLiteral("The query \"%1\"").arg(sqlText.simplified()), PQerrorMessage(m_conn));
    }
    Result desc{PQdescribePrepared(m_conn, "")};
    if (!desc.ok())
        fail(QStringLiteral("The query \"%1\"").arg(sqlText.simplified()), PQerrorMessage(m_conn));
    const int n = PQnfields(desc.r);
    QList<QueryColumn> columns;
    QHash<Oid, QString> tables;
    QList<TableKey> keys;
    for (int c = 0; c < n; ++c) {
        const Oid table = PQftable(desc.r, c);
        if (table != InvalidOid && !tables.contains(table)) {
            QString name;
            const QStringList keyNumbers = primaryKey(table, &name);
            tables.insert(table, name);
            TableKey key{name, {}, {}};
            for (const QString &k : keyNumbers)
                for (int d = 0; d < n; ++d)
                    if (PQftable(desc.r, d) == table && PQftablecol(desc.r, d) == k.toInt()) {
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
        col.name = QString::fromUtf8(PQfname(desc.r, c));
        col.kind = kindOf(PQftype(desc.r, c));
        const Oid table = PQftable(desc.r, c);
        if (table != InvalidOid) {
            const QByteArray oid = QByteArray::number(table), num = QByteArray::number(PQftablecol(desc.r, c));
            const char *params[] = {oid.constData(), num.constData()};
            Result a{PQexecParams(m_conn, "SELECT attname, format_type(atttypid, atttypmod) FROM pg_attribute "
                                          "WHERE attrelid = $1::oid AND attnum = $2::int2",
                                  2, nullptr, params, nullptr, nullptr, 0)};
            if (a.ok() && PQntuples(a.r) == 1) {
                col.baseTable = tables.value(table);
                col.baseColumn = QString::fromUtf8(PQgetvalue(a.r, 0, 0));
                col.declaredType = QString::fromUtf8(PQgetvalue(a.r, 0, 1));
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
    return std::make_unique<PostgresCursor>(m_conn, nullptr, columns, keys, [this](const char *message) {
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
    PGresult *r = PQexecPrepared(m_conn, name.constData(), int(values.size()), values.data(), nullptr, nullptr, 0);
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK) {
        const QString message = clean(PQresultErrorMessage(r));
        PQclear(r);
        if (guarded)
            command("ROLLBACK TO SAVEPOINT orvane_post");
        throw DataError(QStringLiteral("Writing to %1 failed: %2").arg(m_where, message));
    }
    if (guarded)
        command("RELEASE SAVEPOINT orvane_post");
    const int changed = QByteArray(PQcmdTuples(r)).toInt();
    if (rows)
        *rows = std::make_unique<PostgresCursor>(m_conn, r, QList<QueryColumn>{}, QList<TableKey>{}, [](const char *) {});
    else
        PQclear(r);
    return changed;
}

namespace {
QString whereClause(const ColumnValues &where, int firstIndex, QList<QVariant> &params)
{
    QStringList parts;
    for (const auto &[col, value] : where) {
        if (value.isNull()) {
            parts << quoted(col) + QStringLiteral(" IS NULL");
        } else {
            parts << quoted(col) + QStringLiteral(" = $") + QString::number(firstIndex++);
            params << value;
        }
    }
    return parts.join(QStringLiteral(" AND "));
}
} // namespace

const QString &PostgresProvider::updateText(const QString &table, const ColumnValues &set, const ColumnValues &where,
                                            const QStringList *returning, QList<QVariant> &params)
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
        return last.sql;

    last = UpdateShape{table, {}, {}, {}, returning != nullptr, returning ? *returning : QStringList(), {}};
    QStringList assignments;
    for (const auto &[col, value] : set) {
        last.set << col;
        assignments << quoted(col) + QStringLiteral(" = $") + QString::number(assignments.size() + 1);
    }
    QStringList conditions;
    int index = int(set.size());
    for (const auto &[col, value] : where) {
        last.where << col;
        last.isNull.push_back(value.isNull());
        conditions << (value.isNull() ? quoted(col) + QStringLiteral(" IS NULL")
                                      : quoted(col) + QStringLiteral(" = $") + QString::number(++index));
    }
    QStringList returned;
    for (const QString &c : last.returning)
        returned << quoted(c);
    last.sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                   .arg(quoted(table), assignments.join(QStringLiteral(", ")), conditions.join(QStringLiteral(" AND ")));
    if (last.returns)
        last.sql += QStringLiteral(" RETURNING ") + (returned.isEmpty() ? QStringLiteral("1") : returned.join(QStringLiteral(", ")));
    return last.sql;
}

int PostgresProvider::update(const QString &table, const ColumnValues &set, const ColumnValues &where)
{
    QList<QVariant> params;
    const QString sql = updateText(table, set, where, nullptr, params);
    if (!inTransaction())
        return execute(sql, params);
    send(sql, params, {Pending::Kind::Post, table, where, {}, {}});
    return 1;   // confirmed when the results are collected
}

bool PostgresProvider::updateAndRead(const QString &table, const ColumnValues &set, const ColumnValues &where,
                                     const ColumnValues &, const QStringList &columns,
                                     std::function<void(const QueryCursor &)> onRow)
{
    QList<QVariant> params;
    const QString sql = updateText(table, set, where, &columns, params);
    if (!inTransaction()) {
        std::unique_ptr<QueryCursor> rows;
        if (execute(sql, params, &rows) == 0)
            return false;
        if (rows->next())
            onRow(*rows);
        return true;
    }
    // The update and its re-read travel in the pipeline like any post: waiting for each row
    // would cost a round trip per post.
    send(sql, params, {Pending::Kind::PostReturning, table, where, {}, {}, std::move(onRow)});
    return true;   // confirmed when the results are collected
}

void PostgresProvider::send(const QString &sql, const QList<QVariant> &params, Pending post)
{
    if (m_pending.size() >= DeepestPipeline || (!m_pending.isEmpty() && !m_statements.contains(sql)))
        collect();   // statements are prepared outside the pipeline
    const QByteArray name = prepared(sql);
    if (m_pending.isEmpty() && PQpipelineStatus(m_conn) == PQ_PIPELINE_OFF && !PQenterPipelineMode(m_conn))
        fail(QStringLiteral("Sending posts"), PQerrorMessage(m_conn));
    const auto control = [&](const QByteArray &text) {
        if (!PQsendQueryParams(m_conn, text.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0))
            fail(QStringLiteral("Sending posts"), PQerrorMessage(m_conn));
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
    const Params p(params);
    if (!PQsendQueryPrepared(m_conn, name.constData(), int(p.values.size()), p.values.data(), nullptr, nullptr, 0))
        fail(QStringLiteral("Sending posts"), PQerrorMessage(m_conn));
    m_pending.append(post);
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
    if (m_pending.isEmpty())
        return;
    const QList<Pending> pending = std::exchange(m_pending, {});
    if (!PQpipelineSync(m_conn))
        fail(QStringLiteral("Sending posts"), PQerrorMessage(m_conn));
    qsizetype failed = -1, next = 0;
    QString serverMessage;
    std::vector<std::pair<PGresult *, qsizetype>> rows;   // re-read rows and their post
    const auto clearRows = [&rows] {
        for (const auto &[r, i] : rows)
            PQclear(r);
        rows.clear();
    };
    for (;;) {
        PGresult *r = PQgetResult(m_conn);
        if (!r) {   // the end of one statement's results
            if (PQstatus(m_conn) == CONNECTION_BAD) {
                clearRows();
                fail(QStringLiteral("Reading the results of the posts"), PQerrorMessage(m_conn));
            }
            continue;
        }
        const ExecStatusType status = PQresultStatus(r);
        if (status == PGRES_PIPELINE_SYNC) {
            PQclear(r);
            break;
        }
        const qsizetype i = next++;
        const Pending::Kind kind = i < pending.size() ? pending[i].kind : Pending::Kind::Control;
        if (failed < 0 && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            failed = i;
            serverMessage = clean(PQresultErrorMessage(r));
        } else if (failed < 0 && kind != Pending::Kind::Control && QByteArray(PQcmdTuples(r)).toInt() == 0) {
            failed = i;
        }
        if (kind == Pending::Kind::PostReturning && failed < 0)
            rows.emplace_back(r, i);
        else
            PQclear(r);
    }
    if (!PQexitPipelineMode(m_conn)) {
        clearRows();
        fail(QStringLiteral("Reading the results of the posts"), PQerrorMessage(m_conn));
    }

    if (failed < 0) {
        m_releaseNext = m_group;
        try {
            for (auto &[r, i] : rows) {
                PostgresCursor cursor(m_conn, std::exchange(r, nullptr), {}, {}, [](const char *) {});
                if (cursor.next())
                    pending[i].onRow(cursor);
            }
        } catch (...) {
            clearRows();
            throw;
        }
        return;
    }
    clearRows();
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
                message = clean(PQresultErrorMessage(r.r));
                break;
            }
            if (QByteArray(PQcmdTuples(r.r)).toInt() == 0) {
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
        cols << quoted(col);
        params << value;
        marks << QStringLiteral("$") + QString::number(params.size());
    }
    for (const QString &k : keyColumns)
        returning << quoted(k);
    QString sql = values.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(table))
                                   : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                         .arg(quoted(table), cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
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
    return execute(QStringLiteral("DELETE FROM %1 WHERE %2").arg(quoted(table), w), params);
}

std::unique_ptr<QueryCursor> PostgresProvider::select(const QString &table, const QStringList &columns,
                                                      const ColumnValues &where)
{
    QStringList cols;
    for (const QString &c : columns)
        cols << quoted(c);
    QList<QVariant> params;
    const QString w = whereClause(where, 1, params);
    std::unique_ptr<QueryCursor> rows;
    execute(QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(cols.join(QStringLiteral(", ")), quoted(table), w), params, &rows);
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
    return PQtransactionStatus(m_conn) != PQTRANS_IDLE;
}
