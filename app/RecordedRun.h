#pragma once

#include <QString>

#include <memory>

class Connection;
class RunJournal;

// Records the updates a run posts through a connection in the run journal of its database,
// ahead of the database, from construction to destruction, so that the run can be undone.
// A database that is never written records nothing.
class TRecordedRun {
public:
    // 'what' names the run in the list of runs ("Geocode all"). Throws DataError when the
    // journal cannot be opened: nothing is then written.
    TRecordedRun(Connection *connection, const QString &what);
    ~TRecordedRun();
    TRecordedRun(const TRecordedRun &) = delete;
    TRecordedRun &operator=(const TRecordedRun &) = delete;

    void Complete();   // the run reached its end

    // Where the journals of the user's databases lie.
    static QString JournalFolder();

private:
    Connection *m_connection = nullptr;
    std::unique_ptr<RunJournal> m_journal;
    bool m_complete = false;
};
