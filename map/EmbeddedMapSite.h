#pragma once
// The map embedded in a container on screen: the container creates and shows the engine's
// object, and a TMap wrapper, child of the container, hands the map's redraws on.

#include "MapSite.h"

#include <QPointer>

class OleContainer;

class TEmbeddedMapSite : public IMapSite {
public:
    explicit TEmbeddedMapSite(OleContainer *Container);

    // Throws OleError as the container does.
    std::shared_ptr<MapPoint::Map> CreateMap(const QString &ProgID) override;
    QObject *ShowMap(const std::shared_ptr<MapPoint::Map> &Map, TNotifyEvent OnAfterRedraw) override;

private:
    QPointer<OleContainer> FContainer;
};
