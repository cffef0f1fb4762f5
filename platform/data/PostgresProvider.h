#pragma once

#include "DatabaseProvider.h"

#include <QByteArray>
#include <QHash>

struct pg_conn;
struct pg_result;

// A PostgreSQL server through libpq, opened from a data link file: a small text file holding a
// connection text (Provider=PostgreSQL;Server=...;Port=...;Database=...;User ID=...;Password=...).
// Tables and views of the current schema; writes through prepared statements, rows located by
// the primary key; "select TOP n ..." runs as "... LIMIT n". The password never appears in a message.
// Inside a transaction (a batch scope) updates are pipelined: sent without waiting for the
// server, behind one savepoint per group, and their results collected at the next read, re-read
// or commit. A row found missing there raises "The row cannot be located for updating", naming
// it; it and the posts sent after it are undone, the posts before it kept (sent again after the
// group is rolled back, which spares a savepoint per post).
class PostgresProvider : public DatabaseProvider
{
public:
    static bool recognizes(const QByteArray &firstBytes);
    static std::unique_ptr<DatabaseProvider> open(const QString &fileName, const QByteArray &firstBytes);
    static std::unique_ptr<DatabaseProvider> connect(const QString &connectionText, const QString &fileName);
    ~PostgresProvider() override;

    QStringList tableNames() const override;
    bool isReadOnly() const override { return false; }
    std::unique_ptr<QueryCursor> query(const QString &sql) override;
    int update(const QString &table, const ColumnValues &set, const ColumnValues &where) override;   // 1 when pipelined
    bool updateAndRead(const QString &table, const ColumnValues &set, const ColumnValues &where,
                       const ColumnValues &keyAfter, const QStringList &columns,
                       std::function<void(const QueryCursor &)> onRow) override;
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
    };

    PostgresProvider(pg_conn *conn, const QString &where, const QString &password);
    [[noreturn]] void fail(const QString &what, const char *serverMessage) const;
    QString clean(const char *message) const;
    const QByteArray &prepared(const QString &sql);
    int execute(const QString &sql, const QList<QVariant> &params, std::unique_ptr<QueryCursor> *rows = nullptr);
    QStringList primaryKey(quint32 tableOid, QString *tableName);
    void command(const char *sql);
    // 'returning' null for none; empty for a row count only.
    const QString &updateText(const QString &table, const ColumnValues &set, const ColumnValues &where,
                              const QStringList *returning, QList<QVariant> &params);
    void send(const QString &sql, const QList<QVariant> &params, Pending post);
    void collect();   // reads every pending result; hands re-read rows on once all succeeded
    QString describe(const Pending &post) const;
    [[noreturn]] void undo(const QList<Pending> &pending, qsizetype culprit, const QString &serverMessage);

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
    UpdateShape m_lastUpdate;

    pg_conn *m_conn;
    QString m_where;      // "database 'crm' on localhost:5432" for messages
    QString m_password;   // only to keep it out of messages
    QHash<QString, QByteArray> m_statements;
    QList<Pending> m_pending;
    QByteArray m_group;         // savepoint before the posts being collected
    QByteArray m_releaseNext;   // savepoint of the last collected group, released with the next one
    int m_savepoints = 0;
};
