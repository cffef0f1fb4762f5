#include "ImportProgress.h"

#include <cstdio>
#include <unistd.h>

namespace Engine {

ImportProgress::ImportProgress(const QString &label, qint64 total)
    : m_label(label), m_total(total), m_shown(isatty(STDERR_FILENO))
{
    m_clock.start();
    m_sincePrint.start();
}

void ImportProgress::update(qint64 done, qint64 objects)
{
    if (m_shown && m_sincePrint.elapsed() >= 200) {
        m_sincePrint.restart();
        print(done, objects, false);
    }
}

void ImportProgress::finish(qint64 objects)
{
    if (m_shown)
        print(m_total, objects, true);
}

void ImportProgress::print(qint64 done, qint64 objects, bool last)
{
    const int percent = m_total > 0 ? int(100 * std::min(done, m_total) / m_total) : 100;
    std::fprintf(stderr, "\r%s: %3d %%, %lld records, %.1f s%s", qPrintable(m_label), percent,
                 static_cast<long long>(objects), double(m_clock.elapsed()) / 1000.0, last ? "\n" : "");
    std::fflush(stderr);
}

} // namespace Engine
