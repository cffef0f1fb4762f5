#include "AnswerLookahead.h"

#include <QStringBuilder>

namespace Engine {

AnswerLookahead::AnswerLookahead(const Geocoder &geocoder) : m_geocoder(geocoder) {}

AnswerLookahead::~AnswerLookahead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

// Made twice for every record of a run: written in one allocation.
QString AnswerLookahead::keyOf(const AddressQuery &query)
{
    return QString::number(query.countryNumber) % QChar(0x1f) % query.postcode % QChar(0x1f) % query.city % QChar(0x1f)
        % query.street;
}

void AnswerLookahead::expect(const std::vector<AddressQuery> &queries)
{
    {
        const std::lock_guard lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if ((*it)->stretch < m_stretch) {
                (*it)->dropped = true;
                it = m_entries.erase(it);
            } else {
                ++it;
            }
        }
        ++m_stretch;
        for (const AddressQuery &query : queries) {
            std::shared_ptr<Entry> &entry = m_entries[keyOf(query)];
            if (!entry) {
                entry = std::make_shared<Entry>();
                entry->query = query;
                m_queue.push_back(entry);
            }
            entry->stretch = m_stretch;
        }
        if (!m_worker.joinable())
            m_worker = std::thread(&AnswerLookahead::work, this);
    }
    m_changed.notify_all();
}

void AnswerLookahead::forget()
{
    const std::lock_guard lock(m_mutex);
    for (const std::shared_ptr<Entry> &entry : std::as_const(m_entries))
        entry->dropped = true;
    m_entries.clear();
    m_queue.clear();
}

Answer AnswerLookahead::lookup(const AddressQuery &query)
{
    std::unique_lock lock(m_mutex);
    const auto found = m_entries.constFind(keyOf(query));
    if (found == m_entries.cend()) {
        lock.unlock();
        return m_geocoder.lookup(query.street, query.city, query.postcode, query.countryNumber);
    }
    const std::shared_ptr<Entry> entry = *found;
    if (!entry->started)
        // The thread ahead has not come to it yet: quicker to work it out here than to wait.
        workOut(*entry, lock);
    // While the thread ahead works on it, this one takes the next queued ones: the lookups of a
    // run are slower than the rest of it, most of all while the gazetteer's pages are read in.
    while (!entry->done) {
        if (const std::shared_ptr<Entry> next = nextQueued())
            workOut(*next, lock);
        else
            m_changed.wait(lock, [&] { return entry->done || !m_queue.empty(); });
    }
    if (entry->failure)
        std::rethrow_exception(entry->failure);
    return entry->answer;
}

std::shared_ptr<AnswerLookahead::Entry> AnswerLookahead::nextQueued()
{
    while (!m_queue.empty()) {
        std::shared_ptr<Entry> entry = std::move(m_queue.front());
        m_queue.pop_front();
        if (!entry->dropped && !entry->started)
            return entry;
    }
    return nullptr;
}

void AnswerLookahead::workOut(Entry &entry, std::unique_lock<std::mutex> &lock)
{
    entry.started = true;
    lock.unlock();
    Answer answer;
    std::exception_ptr failure;
    try {
        answer = m_geocoder.lookup(entry.query.street, entry.query.city, entry.query.postcode, entry.query.countryNumber);
    } catch (...) {
        failure = std::current_exception();
    }
    lock.lock();
    entry.answer = std::move(answer);
    entry.failure = failure;
    entry.done = true;
    m_changed.notify_all();
}

void AnswerLookahead::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            return;
        if (const std::shared_ptr<Entry> entry = nextQueued())
            workOut(*entry, lock);
    }
}

} // namespace Engine
