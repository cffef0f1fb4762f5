#pragma once

#include "PostJournal.h"
#include "SqliteStatement.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

struct sqlite3;

// The program's own record of what its runs wrote into one database and what that overwrote:
// per run, every updated row's key with the values before and after. An SQLite file of its own
// in the folder it is given (one file per database identity), never inside the user's
// database. The last KeptRuns runs are kept.
class RunJournal : public PostJournal
{
public:
    static constexpr int KeptRuns = 10;

    struct Run
    {
        qint64 number = 0;
        QDateTime started;   // UTC
        bool finished = false;   // false: the run was stopped or killed before its end
        QString what;        // e.g. "Geocode all", "Undo of run 3"
        QString table;       // of its first post; empty when it wrote nothing
        QStringList columns;
        int records = 0;
    };
    struct Post
    {
        QString table;
        ColumnValues key, before, after;
    };

    // Opens or creates the journal of 'database' (a provider's identity) in 'folder'; throws
    // DataError naming the file.
    RunJournal(const QString &folder, const QString &database);
    ~RunJournal() override;
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;

    QString fileName() const { return m_fileName; }

    // Starts a run that the updates recorded from now on belong to; drops the runs beyond the
    // kept ones. Returns its number.
    qint64 beginRun(const QString &what);
    // Ends the current run with everything recorded on disk: marked complete, or left as
    // stopped before its end. A run that recorded nothing is dropped.
    void endRun(bool complete);

    QList<Run> runs() const;   // newest first
    QList<Post> posts(qint64 run) const;   // in posting order

    void recordUpdate(const QString &table, const ColumnValues &key, const ColumnValues &before,
                      const ColumnValues &after) override;
    void makeDurable() override;

private:
    [[noreturn]] void fail(const QString &what) const;
    void exec(const char *sql);
    qint64 shapeOf(const QString &table, const ColumnValues &key, const ColumnValues &values);

    QString m_fileName;
    sqlite3 *m_db = nullptr;
    qint64 m_run = 0;
    SqliteStatement m_insert;
    struct
    {
        QByteArray body;
        int count = 0;
        qint64 firstShape = 0;
    } m_pending;   // posts recorded since the last makeDurable()
    QHash<QString, qint64> m_shapes;   // table, key and value columns of a post -> its shape's id
    struct
    {
        QString table;
        QStringList key, values;
        qint64 id = 0;
    } m_lastShape;
};
