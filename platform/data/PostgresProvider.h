#pragma once

#include "DatabaseProvider.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

struct pg_conn;
struct pg_result;

// A PostgreSQL server through libpq, opened from a data link file: a small text file holding a
// connection text (Provider=PostgreSQL;Server=...;Port=...;Database=...;User ID=...;Password=...).
// Tables and views of the current schema; writes through prepared statements, rows located by
// the primary key; "select TOP n ..." runs as "... LIMIT n". The password never appears in a message.
// Inside a transaction (a batch scope) updates are pipelined: sent without waiting for the
// server, behind one savepoint per group, and their results collected at the next read, re-read
// or commit. Consecutive posts of one shape to a plain table go out as one statement over a list
// of rows, which spares the server most of its work per statement. A row found missing raises
// "The row cannot be located for updating", naming it; it and the posts sent after it are undone,
// the posts before it kept (sent again one by one after the group is rolled back, which spares a
// savepoint per post and finds the post a refused list of rows failed on).
class PostgresProvider : public DatabaseProvider
{
public:
    static bool recognizes(const QByteArray &firstBytes);
    static std::unique_ptr<DatabaseProvider> open(const QString &fileName, const QByteArray &firstBytes);
    static std::unique_ptr<DatabaseProvider> connect(const QString &connectionText, const QString &fileName);
    ~PostgresProvider() override;

    QStringList tableNames() const override;
    QString quotedName(const QString &name) const override;
    bool isReadOnly() const override { return false; }
    QString identity() const override;
    std::unique_ptr<QueryCursor> query(const QString &sql) override;
    int update(const QString &table, const ColumnValues &set, const ColumnValues &where) override;   // 1 when pipelined
    ReadBackOutcome updateAndRead(const ReadBackUpdate &update, std::function<void(const QueryCursor &)> onRow) override;
    ColumnValues insert(const QString &table, const ColumnValues &values,
                        const QStringList &keyColumns) override;
    int remove(const QString &table, const ColumnValues &where) override;
    std::unique_ptr<QueryCursor> select(const QString &table, const QStringList &columns,
                                        const ColumnValues &where) override;
    void beginTransaction() override;
    void commitTransaction() override;
    bool inTransaction() const override;

private:
    // A statement sent in pipeline mode whose result is still to be read.
    struct Pending
    {
        enum class Kind { Control, Post, PostReturning } kind = Kind::Control;
        QString table;
        ColumnValues where;
        QByteArray statement;   // prepared statement and parameters, to send a post again
        QList<QVariant> params;
        std::function<void(const QueryCursor &)> onRow;   // of a PostReturning
        qsizetype posts = 1;   // of the statement this post opens; 0 when an earlier one carries it
    };

    // The last update's text, found again by what it writes, compares and returns: a run posts
    // the same shape over and over, and building the text cost more than sending it.
    struct UpdateShape
    {
        QString table;
        QStringList set;
        QStringList where;
        std::vector<bool> isNull;   // per where column: compared with IS NULL
        bool returns = false;
        QStringList returning;
        QString sql;
    };

    PostgresProvider(pg_conn *conn, const QString &where, const QString &password);
    [[noreturn]] void fail(const QString &what, const char *serverMessage) const;
    QString clean(const char *message) const;
    QByteArray lastWords() const;   // why the connection failed, the server's reason where it gave one
    void readWaitingInput();
    const QByteArray &prepared(const QString &sql);
    int execute(const QString &sql, const QList<QVariant> &params, std::unique_ptr<QueryCursor> *rows = nullptr);
    QStringList primaryKey(quint32 tableOid, QString *tableName);
    void command(const char *sql);
    // 'returning' null for none; empty for a row count only.
    const UpdateShape &updateText(const QString &table, const ColumnValues &set, const ColumnValues &where,
                              const QStringList *returning, QList<QVariant> &params);
    void send(const UpdateShape &shape, const QList<QVariant> &params, Pending post);
    void sendPrepared(const QByteArray &name, const QList<QVariant> &params);
    void prepareRows(const UpdateShape &shape, const QByteArray &single);
    bool isPlainTable(const QString &table);
    void sendRows();
    void collect();   // reads every pending result; hands re-read rows on once all succeeded
    QString describe(const Pending &post) const;
    [[noreturn]] void undo(const QList<Pending> &pending, qsizetype culprit, const QString &serverMessage);

    UpdateShape m_lastUpdate;

    // The statement that posts a list of rows of one shape, found by the single post's text.
    struct RowsStatement
    {
        QByteArray name;   // empty where a table or shape cannot take lists of rows
        int rows = 0;
    };
    QHash<QString, RowsStatement> m_rowsStatements;
    QHash<QString, bool> m_plainTables;   // tables with no triggers or rules, by name
    // Posts waiting to go out as one list of rows: their shape and the rows they locate.
    QString m_rowsShape;
    qsizetype m_rowsFirst = 0;
    QSet<QByteArray> m_rowsLocated;

    pg_conn *m_conn;
    QString m_where;      // "database 'crm' on localhost:5432" for messages
    QString m_password;   // only to keep it out of messages
    QHash<QString, QByteArray> m_statements;
    QList<Pending> m_pending;
    QByteArray m_group;         // savepoint before the posts being collected
    QByteArray m_farewell;      // the server's FATAL message outside a result
    void (*m_noticeReceiver)(void *, const pg_result *) = nullptr;   // libpq's own
    QByteArray m_releaseNext;   // savepoint of the last collected group, released with the next one
    int m_savepoints = 0;
};
