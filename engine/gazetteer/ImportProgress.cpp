#include "ImportProgress.h"

#include "GazetteerError.h"

#include <cstdio>
#include <unistd.h>

namespace Engine {

ImportProgress::ImportProgress(const QString &label, qint64 total, const std::atomic<bool> *stop)
    : m_label(label), m_total(total), m_stop(stop), m_shown(isatty(STDERR_FILENO))
{
    m_clock.start();
    m_sincePrint.start();
}

void ImportProgress::checkStop() const
{
    if (m_stop && m_stop->load(std::memory_order_relaxed))
        throw GazetteerError(QStringLiteral("The import of %1 was stopped; the gazetteer is as it was.").arg(m_label));
}

void ImportProgress::phase(const char *name)
{
    checkStop();
    m_phase = name;
    if (m_shown)
        print(false);
}

void ImportProgress::update(qint64 done, qint64 objects)
{
    checkStop();
    m_done = done;
    m_objects = objects;
    if (m_shown && m_sincePrint.elapsed() >= 200) {
        m_sincePrint.restart();
        print(false);
    }
}

void ImportProgress::finish(qint64 objects)
{
    m_done = m_total;
    m_objects = objects;
    m_phase = "done";
    if (m_shown)
        print(true);
}

void ImportProgress::print(bool last)
{
    const int percent = m_total > 0 ? int(100 * std::min(m_done, m_total) / m_total) : 100;
    const double seconds = double(m_clock.elapsed()) / 1000.0;
    std::fprintf(stderr, "\r%s: %-14s %3d %%, %lld objects, %.0f /s, %.1f s\033[K%s", qPrintable(m_label), m_phase, percent,
                 static_cast<long long>(m_objects), seconds > 0 ? double(m_objects) / seconds : 0.0, seconds, last ? "\n" : "");
    std::fflush(stderr);
}

} // namespace Engine
