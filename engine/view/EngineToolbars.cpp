#include "EngineToolbars.h"

#include "EngineErrorCode.h"
#include "ToolbarSet.h"

EngineToolbar::EngineToolbar(std::shared_ptr<ToolbarSet> set, int index) : m_set(std::move(set)), m_index(index) {}

QString EngineToolbar::ToolbarTitle() const
{
    return m_set->title(m_index);
}

void EngineToolbar::SetToolbarShown(bool shown)
{
    m_set->setShown(m_index, shown);
}

EngineToolbarList::EngineToolbarList(std::shared_ptr<ToolbarSet> set) : m_set(std::move(set)) {}

int EngineToolbarList::ToolbarCount() const
{
    return m_set->count();
}

std::shared_ptr<MapPoint::Toolbar> EngineToolbarList::ToolbarAt(int index) const
{
    if (index < 1 || index > m_set->count())
        throw MapPoint::EngineError(EngineErrorCode::InvalidArgument,
                                    QStringLiteral("Toolbar %1 does not exist; the map has toolbars 1 to %2")
                                        .arg(index)
                                        .arg(m_set->count()));
    return std::make_shared<EngineToolbar>(m_set, index - 1);
}

EngineToolbarOwner::EngineToolbarOwner(std::shared_ptr<ToolbarSet> set) : m_set(std::move(set)) {}

std::shared_ptr<MapPoint::ToolbarList> EngineToolbarOwner::ToolbarList() const
{
    return std::make_shared<EngineToolbarList>(m_set);
}
