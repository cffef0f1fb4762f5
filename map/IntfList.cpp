#include "IntfList.h"

void IIntfList::Add(std::shared_ptr<IInterface> item)
{
    m_items.push_back(std::move(item));
}

std::shared_ptr<IInterface> IIntfList::Items(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return m_items[static_cast<size_t>(index)];
}

int IIntfList::Count() const
{
    return static_cast<int>(m_items.size());
}

void IIntfList::Clear()
{
    m_items.clear();
}
