#include "ToolbarSet.h"

ToolbarSet::ToolbarSet(const std::vector<QString> &titlesInKindOrder)
{
    for (const QString &title : titlesInKindOrder)
        m_entries.push_back({title, true});
}

void ToolbarSet::setShown(int index, bool shown)
{
    Entry &e = m_entries.at(size_t(index));
    if (e.shown == shown)
        return;
    e.shown = shown;
    emit shownChanged(index, shown);
}
