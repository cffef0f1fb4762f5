#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <mutex>

class DatabaseProvider;
class PostJournal;

// A database connection opened from a connection text. The file named by "Data Source" is opened
// by the provider that recognises its first bytes.
class Connection : public QObject
{
    Q_OBJECT
public:
    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    void setConnectionText(const QString &text);
    QString connectionText() const;

    void open();    // throws DataError naming the file; on failure nothing is created or changed
    void close();
    bool isConnected() const;

    QStringList tableNames() const;   // tables and views, no system tables, database order
    bool isReadOnly() const;
    QString fileName() const;         // the Data Source of the open connection

    DatabaseProvider &provider() const;   // throws DataError when closed

    // Stops the query being read (a runaway SQL selection), or else the next one, with a
    // DataError; writes are never stopped. Safe from any thread; SQLite files only.
    void interrupt();
    // Called about every 100 ms while a query is being read (SQLite files only), e.g. to keep a
    // window with a Stop button alive; it may process events and call interrupt(). Kept across
    // opens; an empty function ends it.
    void setWhileReading(std::function<void()> callback);

    // Told of every update a record set posts, and made durable before each commit; nullptr:
    // none. The journal must outlive its use here.
    void setPostJournal(PostJournal *journal) { m_journal = journal; }
    PostJournal *postJournal() const { return m_journal; }

signals:
    void connectedChanged(bool connected);

private:
    friend class BatchScope;
    friend class RecordSet;

    // Posts are committed one by one, or inside a batch scope together at least every 200 ms.
    void beginBatch();
    void endBatch() noexcept;
    void commitBatch();
    void beforeWrite();   // opens the batch transaction when one is due
    void afterWrite();
    void raiseFailedSave();   // once, what the timer's commit could not save
    void commitProvider();    // the journal first, then the provider's transaction

    QString m_text;
    QString m_fileName;
    std::unique_ptr<DatabaseProvider> m_provider;
    std::mutex m_providerChange;   // interrupt() against open() and close()
    std::function<void()> m_whileReading;
    int m_batchDepth = 0;
    QElapsedTimer m_sinceCommit;
    QTimer m_commitTimer;
    QString m_failedSave;
    PostJournal *m_journal = nullptr;
};
