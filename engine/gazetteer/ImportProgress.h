#pragma once
// Progress of an import on a terminal: one line rewritten a few times a second with the phase,
// the share of the file read, the objects read and their rate; nothing when standard error is
// not a terminal (logs and tests stay clean). It also ends an import asked to stop.

#include <QElapsedTimer>
#include <QString>

#include <atomic>

namespace Engine {

class ImportProgress {
public:
    // stop, when given, is set (from a signal handler, say) to end the import at its next step.
    ImportProgress(const QString &label, qint64 total, const std::atomic<bool> *stop);
    // Throws GazetteerError when the import was asked to stop.
    void phase(const char *name);
    void update(qint64 done, qint64 objects);
    void finish(qint64 objects);

private:
    void checkStop() const;
    void print(bool last);
    QString m_label;
    const char *m_phase = "reading";
    qint64 m_total, m_done = 0, m_objects = 0;
    const std::atomic<bool> *m_stop;
    bool m_shown;
    QElapsedTimer m_clock, m_sincePrint;
};

} // namespace Engine
