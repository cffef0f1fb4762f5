#pragma once

#include "DatabaseProvider.h"

#include <QByteArray>
#include <QHash>

struct sqlite3;
struct sqlite3_stmt;

// SQLite database files through the C library. Opens read/write without ever creating a file,
// keeps the file's journal mode, and accepts "select TOP n ..." as "select ... LIMIT n".
class SqliteProvider : public DatabaseProvider
{
public:
    static constexpr int BusyTimeoutMs = 2000;

    static bool recognizes(const QByteArray &firstBytes);
    static std::unique_ptr<DatabaseProvider> open(const QString &fileName, const QByteArray &firstBytes);
    ~SqliteProvider() override;

    QStringList tableNames() const override;
    bool isReadOnly() const override;
    std::unique_ptr<QueryCursor> query(const QString &sql) override;
    int update(const QString &table, const ColumnValues &set, const ColumnValues &where) override;
    ColumnValues insert(const QString &table, const ColumnValues &values,
                        const QStringList &keyColumns) override;
    int remove(const QString &table, const ColumnValues &where) override;
    std::unique_ptr<QueryCursor> select(const QString &table, const QStringList &columns,
                                        const ColumnValues &where) override;
    void beginTransaction() override;
    void commitTransaction() override;
    bool inTransaction() const override;

    QString journalMode() const { return m_journalMode; }
    static QString rewriteTop(const QString &sql);

private:
    SqliteProvider(sqlite3 *db, const QString &fileName);
    [[noreturn]] void fail(const QString &what) const;
    sqlite3_stmt *cached(const QString &sql);
    void bind(sqlite3_stmt *stmt, int index, const QVariant &value);
    int execute(sqlite3_stmt *stmt);
    QStringList primaryKey(const QString &table) const;
    void exec(const char *sql);

    sqlite3 *m_db;
    QString m_fileName;
    QString m_journalMode;
    QHash<QString, sqlite3_stmt *> m_statements;
};
