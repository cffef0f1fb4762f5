#pragma once
#include "MapViewport.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

// What the map shows: the view (centre and altitude) and the pushpins. Painting and input live
// elsewhere; they read and change the scene and follow its signals.
class MapScene : public QObject {
    Q_OBJECT
public:
    struct Pin {
        QString name;
        double latitude = 0, longitude = 0;
        qint16 symbol = 0;
    };

    MapScene();

    double centreLatitude() const { return m_latitude; }
    double centreLongitude() const { return m_longitude; }
    double altitudeKm() const { return m_altitude; }
    // Longitude is wrapped into -180..180, latitude and altitude clamped to what the view can show.
    void setView(double latitude, double longitude, double altitudeKm);
    void setCentre(double latitude, double longitude);
    void setAltitude(double altitudeKm);

    MapViewport viewport(QSize size) const;
    // Moves the map content by a screen distance, keeping the scale in pixels (dragging).
    void panBy(QPointF pixels, QSize size);
    // factor > 1 zooms in; the point under anchor stays where it is.
    void zoomBy(double factor, QPointF anchor, QSize size);

    // Pins in placing order; the first of several with one name is the one found by name.
    std::shared_ptr<Pin> addPin(const QString &name, double latitude, double longitude);
    std::shared_ptr<Pin> pinNamed(const QString &name) const;
    bool removePin(const std::shared_ptr<Pin> &pin);
    bool holds(const std::shared_ptr<Pin> &pin) const;
    void setPinSymbol(const std::shared_ptr<Pin> &pin, qint16 symbol);
    const std::vector<std::shared_ptr<Pin>> &pins() const { return m_pins; }

signals:
    void viewChanged();
    void pinsChanged();

private:
    double m_latitude = 50.0, m_longitude = 10.0, m_altitude = 4000.0;
    std::vector<std::shared_ptr<Pin>> m_pins;
};
