#pragma once
#include "MapEngine.h"

#include <memory>
#include <optional>

class MapScene;

// A place on the globe. Coordinates stay inside the engine; callers measure with DistanceBetween.
class EngineLocation : public MapPoint::Location {
public:
    // Kind of a location made by LocationAt: a bare point, none of the lookup's kinds.
    static constexpr int PointKind = 0;

    struct Postal {
        QString postcode, city, street;
    };

    // altitudeKm: the view altitude MoveViewTo applies; 0 keeps the current one.
    EngineLocation(std::weak_ptr<MapScene> scene, double latitude, double longitude, double altitudeKm,
                   int kind, QString displayName, std::optional<Postal> postal);

    std::shared_ptr<MapPoint::PostalAddress> PostalAddress() const override;
    QString DisplayName() const override { return m_displayName; }
    int LocationKind() const override { return m_kind; }
    // Centres the view; throws MapPoint::EngineError when the map is gone.
    void MoveViewTo() override;

    double latitude() const { return m_latitude; }
    double longitude() const { return m_longitude; }

    // The view altitude that suits a found location of this kind.
    static double altitudeForKind(::LocationKind kind);

private:
    std::weak_ptr<MapScene> m_scene;
    double m_latitude, m_longitude, m_altitude;
    int m_kind;
    QString m_displayName;
    std::optional<Postal> m_postal;
};
