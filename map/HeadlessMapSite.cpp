#include "HeadlessMapSite.h"

#include "OleClassRegistry.h"

std::shared_ptr<MapPoint::Map> THeadlessMapSite::CreateMap(const QString &ProgID)
{
    return MapInterface(OleClassRegistry::instance().create(ProgID.toLocal8Bit()));
}

QObject *THeadlessMapSite::ShowMap(const std::shared_ptr<MapPoint::Map> &, TNotifyEvent)
{
    return nullptr;
}
