#pragma once
// Where the map module's map is made: embedded in a container on screen (TEmbeddedMapSite), or
// without a view for a run that shows nothing (THeadlessMapSite).

#include "MapEngine.h"
#include "NotifyEvent.h"

#include <QString>

#include <memory>

class OleObject;
class QObject;

class IMapSite {
public:
    virtual ~IMapSite() = default;

    // The engine's map made from the program identifier; nullptr when the object offers no
    // automation interface. Throws OleError for an identifier nobody registered and
    // std::runtime_error when the object is not a map.
    virtual std::shared_ptr<MapPoint::Map> CreateMap(const QString &ProgID) = 0;

    // Shows the map once it is set up and hands every redraw to OnAfterRedraw. Returns the wrapper
    // that delivers the map's events, owned by what shows the map; nullptr when nothing is shown.
    virtual QObject *ShowMap(const std::shared_ptr<MapPoint::Map> &Map, TNotifyEvent OnAfterRedraw) = 0;

protected:
    // The object's map interface; nullptr for no object. Throws when the object is not a map.
    static std::shared_ptr<MapPoint::Map> MapInterface(const std::shared_ptr<OleObject> &Automation);
};
