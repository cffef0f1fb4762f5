#pragma once

#include "DatabaseProvider.h"
#include "SqliteStatement.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <unordered_map>
#include <vector>

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
    QString quotedName(const QString &name) const override;
    bool isReadOnly() const override;
    QString identity() const override;
    std::unique_ptr<QueryCursor> query(const QString &sql) override;
    int update(const QString &table, const ColumnValues &set, const ColumnValues &where) override;
    ColumnValues insert(const QString &table, const ColumnValues &values,
                        const QStringList &keyColumns) override;
    int remove(const QString &table, const ColumnValues &where) override;
    std::unique_ptr<QueryCursor> select(const QString &table, const QStringList &columns,
                                        const ColumnValues &where) override;
    ReadBackOutcome updateAndRead(const ReadBackUpdate &update, std::function<void(const QueryCursor &)> onRow) override;
    ChangeMark changeMark() override;
    void beginTransaction() override;
    void commitTransaction() override;
    bool inTransaction() const override;

    // Stops the query being read now, or else the next one, with a DataError; never a write.
    // Safe from any thread while the provider exists.
    void interrupt();
    // Called about every 100 ms while a query is being read, on the reading thread: the place to
    // let a user stop a long query. It may process events but must not use this connection.
    void setWhileReading(std::function<void()> callback);

    QString journalMode() const { return m_journalMode; }

private:
    SqliteProvider(sqlite3 *db, const QString &fileName);
    [[noreturn]] void fail(const QString &what) const;
    sqlite3_stmt *cached(const QString &sql);
    sqlite3_stmt *shaped(char kind, const QString &table, const QStringList &columns, const ColumnValues &set,
                         const ColumnValues &where, const std::function<QString()> &sql);
    void bind(sqlite3_stmt *stmt, int index, const QVariant &value, std::vector<QByteArray> *keep = nullptr);
    int execute(sqlite3_stmt *stmt);
    QStringList primaryKey(const QString &table) const;
    enum class Affinity : char { Text, Numeric, Integer, Real, Blob };
    QHash<QString, Affinity> plainColumns(const QString &table) const;
    // True when an update of one row of 'table' stores every value of 'set' as given and changes
    // nothing else in the row (no trigger, no computed column).
    bool storesAsGiven(const QString &table, const ColumnValues &set);
    void exec(const char *sql, const QString &what = {});
    static int stopRequested(void *provider);
    static constexpr int StopCheckInstructions = 1000;
    static constexpr int WhileReadingIntervalMs = 100;

    sqlite3 *m_db;
    QString m_fileName;
    QString m_journalMode;
    std::unordered_map<QString, SqliteStatement> m_statements;
    // Column affinities of the tables whose rows hold exactly what an update writes; no entry
    // under a table's name yet, an empty one when a trigger or computed column may add to it.
    // Valid while no other connection has committed (schema changes included).
    QHash<QString, QHash<QString, Affinity>> m_plainTables;
    qint64 m_plainTablesOthers = -1;
    std::vector<QByteArray> m_boundTexts;   // texts of the update being run
    std::atomic<bool> m_stop{false};
    std::function<void()> m_whileReading;
    QElapsedTimer m_readingClock;

    // An update or re-read statement found by what it writes and compares, so that a post
    // builds no SQL text. The statement itself is owned by m_statements.
    struct Shape
    {
        char kind;
        QString table;
        QStringList names;         // selected columns, then assigned columns
        QStringList where;
        std::vector<bool> isNull;  // per where column: compared with IS NULL
        sqlite3_stmt *stmt;
    };
    std::deque<Shape> m_shapeStore;   // stable addresses for the index and the last used
    std::unordered_map<size_t, std::vector<const Shape *>> m_shapes;
    std::array<const Shape *, 128> m_lastShape{};   // per kind
};
