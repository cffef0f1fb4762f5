#include "MapSite.h"

#include "OleObject.h"

#include <stdexcept>

std::shared_ptr<MapPoint::Map> IMapSite::MapInterface(const std::shared_ptr<OleObject> &Automation)
{
    if (!Automation)
        return nullptr;
    auto map = std::dynamic_pointer_cast<MapPoint::Map>(Automation);
    if (!map)
        throw std::runtime_error("Interface not supported: the embedded object is not a map.");
    return map;
}
