#include "MapPoint_TLB.h"

#include <HandlerGuard.h>

TMap::TMap(QObject *owner) : QObject(owner) {}

TMap::~TMap()
{
    // The engine keeps a raw pointer to the sink; it must not outlive this wrapper.
    try {
        Disconnect();
    } catch (...) {
    }
}

void TMap::SetConnectKind(TConnectKind kind)
{
    m_connectKind = kind;
}

TConnectKind TMap::ConnectKind() const
{
    return m_connectKind;
}

void TMap::ConnectTo(std::shared_ptr<MapPoint::Map> map)
{
    Disconnect();
    if (!map)
        return;
    map->Advise(&m_sink);
    m_map = std::move(map);
}

std::shared_ptr<MapPoint::Map> TMap::DefaultInterface() const
{
    return m_map;
}

void TMap::Fire(const TNotifyEvent &handler)
{
    // The engine raises its events from its own painting and input handling.
    if (handler)
        Guarded(handler)(this);
}

void TMap::Disconnect()
{
    if (!m_map)
        return;
    auto map = std::move(m_map);
    m_map.reset();
    map->Unadvise(&m_sink);
}
