#pragma once
// A map engine for tests: lookup answers queued per call, failures on the Nth call of an
// operation, exact great-circle distances in a chosen unit and a log of every call.

#include "MapEngine.h"

#include <QHash>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace Scripted {

struct Postal {
    QString postcode, city, street;
};

struct Result {
    double latitude = 0.0;
    double longitude = 0.0;
    LocationKind kind = LocationKind::PopulatedPlace;
    QString displayName;
    std::optional<Postal> postal;
    bool notALocation = false;
};

struct Answer {
    int quality = 0;
    std::vector<Result> results;
};

struct PlacedPin {
    QString name;
    QString locationName;  // display name of the location it was placed at
    qint16 symbol = -1;
    bool onMap = true;
};

} // namespace Scripted

class ScriptedEngine : public MapPoint::Map {
public:
    static constexpr double EarthRadiusKm = 6371.0;
    static constexpr double EarthRadiusMiles = 3958.8;

    explicit ScriptedEngine(double radius = EarthRadiusKm);
    ~ScriptedEngine() override;

    // Scripting.
    void setRadius(double radius) { m_radius = radius; }
    void addAnswer(Scripted::Answer answer);
    int answersLeft() const { return static_cast<int>(m_answers.size()); }
    void setToolbars(const QStringList &titles);
    bool toolbarShown(int index) const;  // 1-based
    // The nth call (1-based, counted from now) of operation raises MapPoint::EngineError.
    void failOn(const QString &operation, int nth);
    void setAltitude(double altitude) { m_altitude = altitude; }
    // As if the user deleted the pin on the map.
    void removePin(const QString &name);

    // Raising events.
    void redraw();
    void raiseEveryEvent();
    int sinkCount() const { return static_cast<int>(m_sinks.size()); }

    // Observing.
    const QStringList &calls() const { return m_calls; }
    QStringList calls(const QString &operation) const;
    void clearCalls() { m_calls.clear(); }
    const std::vector<std::shared_ptr<Scripted::PlacedPin>> &pins() const { return m_pins; }
    QStringList pinsOnMap() const;
    QString viewCentre() const { return m_viewCentre; }
    double greatCircle(double lat1, double lon1, double lat2, double lon2) const;

    // Logs an operation and raises if it was told to fail now.
    void call(const QString &operation, const QString &arguments = {}) const;

    // MapPoint::Map
    void ApplyStartSetting(int setting) override;
    std::shared_ptr<MapPoint::ToolbarOwner> ToolbarOwner() const override;
    std::shared_ptr<MapPoint::FindResults> LookupAddress(const QString &street, const QString &city,
                                                         const QString &otherCity1,
                                                         const QString &otherCity2,
                                                         const QString &postcode,
                                                         const QVariant &country) override;
    std::shared_ptr<MapPoint::Location> LocationAt(double latitude, double longitude,
                                                   double altitude) override;
    double DistanceBetween(const MapPoint::Location &from, const MapPoint::Location &to) const override;
    std::shared_ptr<MapPoint::Pushpin> PlacePushpin(const MapPoint::Location &at, const QString &name) override;
    std::shared_ptr<MapPoint::Pushpin> PinByName(const QString &name) const override;
    double ViewAltitude() const override;
    void SetViewAltitude(double altitude) override;
    void Advise(MapPoint::MapEvents *sink) override;
    void Unadvise(MapPoint::MapEvents *sink) override;

    // Used by the engine's own objects.
    void moveViewTo(const QString &locationName) { m_viewCentre = locationName; }
    struct Toolbar {
        QString title;
        bool shown = true;
    };
    std::vector<Toolbar> &toolbars() { return m_toolbars; }

private:
    double m_radius;
    std::vector<Scripted::Answer> m_answers;
    std::vector<Toolbar> m_toolbars;
    mutable QHash<QString, int> m_callCounts;
    QHash<QString, int> m_failAt;
    mutable QStringList m_calls;
    std::vector<std::shared_ptr<Scripted::PlacedPin>> m_pins;
    std::vector<MapPoint::MapEvents *> m_sinks;
    double m_altitude = 1000.0;
    QString m_viewCentre;
};
