#pragma once
// The map made straight from the class registry, with no container and no view: a run that shows
// nothing (orvane-batch) geocodes without a display or a widget application.

#include "MapSite.h"

class THeadlessMapSite : public IMapSite {
public:
    std::shared_ptr<MapPoint::Map> CreateMap(const QString &ProgID) override;
    // Nothing is shown, so there is no redraw to hand on.
    QObject *ShowMap(const std::shared_ptr<MapPoint::Map> &Map, TNotifyEvent OnAfterRedraw) override;
};
