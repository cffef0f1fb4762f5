#pragma once

#include <RunJournal.h>

#include <QString>

class Connection;

// What an undo did with the records of a run.
struct TUndoCounts {
    int Restored = 0;
    int Changed = 0;    // left alone: the record no longer holds what the run wrote
    int Deleted = 0;    // left alone: the record is gone
    int AsBefore = 0;   // left alone: the record holds its values from before the run already
    int LeftAlone() const { return Changed + Deleted + AsBefore; }
};

// The runs recorded for the database of a connection: their list, and the undo of one, which
// puts back what the run overwrote in every record that still holds what the run wrote. An
// undo is recorded like a run, so it can be undone too.
class TRunHistory {
public:
    // Throws DataError when the database is never written, so has nothing to undo.
    explicit TRunHistory(Connection &connection);

    QList<RunJournal::Run> Runs() const;   // newest first
    // 'number' as in the list; 0: the last run. Throws DataError when there is no such run.
    RunJournal::Run Find(qint64 number) const;
    QString RunsText() const;
    // Throws DataError as Find, or when writing fails (the records restored before it keep
    // their values and are recorded).
    TUndoCounts Undo(qint64 number);

    static QString Describe(const RunJournal::Run &run);
    static QString SummaryText(const TUndoCounts &counts);

private:
    Connection &m_connection;
    RunJournal m_journal;
};
