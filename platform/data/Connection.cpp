#include "Connection.h"

#include "ConnectionText.h"
#include "DataError.h"
#include "DatabaseProvider.h"
#include "PostJournal.h"
#include "ProviderRegistry.h"
#include "SqliteProvider.h"

#include <QCoreApplication>

#include <utility>

namespace {
constexpr int CommitIntervalMs = 200;
}

Connection::Connection(QObject *parent) : QObject(parent)
{
    // Commits a batch's pending posts when the event loop runs between them.
    m_commitTimer.setSingleShot(true);
    m_commitTimer.setInterval(CommitIntervalMs);
    // A failure there has no caller to reach: it is raised by the batch's next post or commit,
    // so a run never reports records as written that a failed save lost.
    connect(&m_commitTimer, &QTimer::timeout, this, [this] {
        try {
            commitBatch();
        } catch (const DataError &e) {
            m_failedSave = e.message();
        }
    });
}

Connection::~Connection()
{
    close();
}

void Connection::setConnectionText(const QString &text)
{
    m_text = text;
}

QString Connection::connectionText() const
{
    return m_text;
}

void Connection::open()
{
    if (m_provider)
        return;
    const ConnectionText text = ConnectionText::parse(m_text);
    const QString provider = text.value(QStringLiteral("Provider"));
    if (provider.compare(QLatin1String("Microsoft.Jet.OLEDB.4.0"), Qt::CaseInsensitive) != 0)
        throw DataError(provider.isEmpty()
                            ? QStringLiteral("The connection text names no provider.")
                            : QStringLiteral("Provider \"%1\" cannot be found.").arg(provider));
    const QString file = text.value(QStringLiteral("Data Source"));
    std::unique_ptr<DatabaseProvider> opened = ProviderRegistry::openFile(file);
    {
        const std::lock_guard lock(m_providerChange);
        m_provider = std::move(opened);
    }
    if (auto *sqlite = dynamic_cast<SqliteProvider *>(m_provider.get()))
        sqlite->setWhileReading(m_whileReading);
    m_fileName = file;
    emit connectedChanged(true);
}

void Connection::close()
{
    if (!m_provider)
        return;
    if (m_provider->inTransaction()) {
        try {
            commitProvider();
        } catch (const DataError &e) {
            qWarning("%s", e.what());
        }
    }
    m_commitTimer.stop();
    {
        const std::lock_guard lock(m_providerChange);
        m_provider.reset();
    }
    m_fileName.clear();
    emit connectedChanged(false);
}

bool Connection::isConnected() const
{
    return m_provider != nullptr;
}

QStringList Connection::tableNames() const
{
    return provider().tableNames();
}

bool Connection::isReadOnly() const
{
    return provider().isReadOnly();
}

QString Connection::fileName() const
{
    return m_fileName;
}

DatabaseProvider &Connection::provider() const
{
    if (!m_provider)
        throw DataError(QStringLiteral("Operation is not allowed when the connection is closed."));
    return *m_provider;
}

void Connection::interrupt()
{
    const std::lock_guard lock(m_providerChange);
    if (auto *sqlite = dynamic_cast<SqliteProvider *>(m_provider.get()))
        sqlite->interrupt();
}

void Connection::setWhileReading(std::function<void()> callback)
{
    m_whileReading = std::move(callback);
    if (auto *sqlite = dynamic_cast<SqliteProvider *>(m_provider.get()))
        sqlite->setWhileReading(m_whileReading);
}

void Connection::beginBatch()
{
    ++m_batchDepth;
}

void Connection::endBatch() noexcept
{
    if (--m_batchDepth > 0)
        return;
    m_batchDepth = 0;
    try {
        commitBatch();
    } catch (const DataError &e) {
        qWarning("%s", e.what());
    }
    m_failedSave.clear();
}

void Connection::raiseFailedSave()
{
    if (!m_failedSave.isEmpty())
        throw DataError(std::exchange(m_failedSave, QString()));
}

void Connection::commitBatch()
{
    m_commitTimer.stop();
    raiseFailedSave();
    if (m_provider && m_provider->inTransaction())
        commitProvider();
}

void Connection::commitProvider()
{
    // Write-ahead: no post reaches the database before the journal holds it.
    if (m_journal)
        m_journal->makeDurable();
    m_provider->commitTransaction();
}

void Connection::beforeWrite()
{
    raiseFailedSave();
    if (m_batchDepth > 0 && !provider().inTransaction()) {
        provider().beginTransaction();
        m_sinceCommit.start();
        if (QCoreApplication::instance())
            m_commitTimer.start();
    }
    // Outside a transaction the write commits itself.
    if (m_journal && !provider().inTransaction())
        m_journal->makeDurable();
}

void Connection::afterWrite()
{
    if (m_batchDepth > 0 && m_sinceCommit.isValid() && m_sinceCommit.elapsed() >= CommitIntervalMs)
        commitBatch();
}
