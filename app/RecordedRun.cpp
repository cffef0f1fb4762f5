#include "RecordedRun.h"

#include <Connection.h>
#include <DatabaseProvider.h>
#include <RunJournal.h>

#include <QStandardPaths>

QString TRecordedRun::JournalFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Orvane/runs");
}

TRecordedRun::TRecordedRun(Connection *connection, const QString &what)
{
    if (!connection || !connection->isConnected())
        return;
    const QString identity = connection->provider().identity();
    if (identity.isEmpty())
        return;
    m_journal = std::make_unique<RunJournal>(JournalFolder(), identity);
    m_journal->beginRun(what);
    m_connection = connection;
    m_connection->setPostJournal(m_journal.get());
}

TRecordedRun::~TRecordedRun()
{
    if (!m_journal)
        return;
    m_connection->setPostJournal(nullptr);
    try {
        m_journal->endRun(m_complete);
    } catch (const std::exception &e) {
        qWarning("%s", e.what());
    }
}

void TRecordedRun::Complete()
{
    m_complete = true;
}
