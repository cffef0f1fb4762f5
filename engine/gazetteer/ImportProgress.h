#pragma once
// Progress of an import on a terminal: one line rewritten a few times a second, nothing when
// standard error is not a terminal (logs and tests stay clean).

#include <QElapsedTimer>
#include <QString>

namespace Engine {

class ImportProgress {
public:
    ImportProgress(const QString &label, qint64 total);
    void update(qint64 done, qint64 objects);
    void finish(qint64 objects);

private:
    void print(qint64 done, qint64 objects, bool last);
    QString m_label;
    qint64 m_total;
    bool m_shown;
    QElapsedTimer m_clock, m_sincePrint;
};

} // namespace Engine
