#pragma once
// Answers for addresses a caller says it will look up next, worked out on a thread of their own
// while the caller does its other work (a batch run posts its results meanwhile). An answer is
// the geocoder's own for the same query, so whether it came from ahead or was worked out on the
// spot never shows.

#include "Geocoder.h"

#include <QHash>
#include <QString>

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace Engine {

struct AddressQuery {
    QString street, city, postcode;
    int countryNumber = 0;
};

class AnswerLookahead {
public:
    explicit AnswerLookahead(const Geocoder &geocoder);
    ~AnswerLookahead();
    AnswerLookahead(const AnswerLookahead &) = delete;
    AnswerLookahead &operator=(const AnswerLookahead &) = delete;

    // Queues the next queries. What was expected before the previous call is dropped: callers
    // announce one stretch ahead of the one they are working through.
    void expect(const std::vector<AddressQuery> &queries);
    // Drops every expected query, so that nothing is held once a run ends.
    void forget();
    // The answer from ahead when the query was expected (waiting for it if it is being worked
    // out), else the geocoder's answer now; throws as the geocoder does.
    Answer lookup(const AddressQuery &query);

private:
    struct Entry {
        AddressQuery query;
        unsigned stretch = 0;   // the expect call that last named it
        bool started = false, done = false, dropped = false;
        Answer answer;
        std::exception_ptr failure;
    };
    static QString keyOf(const AddressQuery &query);
    // Both with the lock held.
    std::shared_ptr<Entry> nextQueued();
    void workOut(Entry &entry, std::unique_lock<std::mutex> &lock);
    void work();

    const Geocoder &m_geocoder;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QHash<QString, std::shared_ptr<Entry>> m_entries;
    std::deque<std::shared_ptr<Entry>> m_queue;
    unsigned m_stretch = 0;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace Engine
