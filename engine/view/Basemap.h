#pragma once
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <memory>
#include <vector>

// Country shapes decoded from a TopoJSON topology, in Web-Mercator world units (MapViewport).
// Arcs that only one country uses are coastline, arcs two countries share are borders.
class Basemap {
public:
    struct Ring {
        QPolygonF world;
        QRectF bounds;
    };
    struct Country {
        QString name;
        int colourIndex = 0;      // neighbours never share one
        std::vector<Ring> rings;  // outer rings and holes; filled odd-even
        QRectF bounds;
        QPointF labelPoint;       // inside the largest ring
        double labelWidth = 0;    // world width of the largest ring around the label point
    };
    struct Line {
        QPolygonF world;
        QRectF bounds;
        bool border = false;
    };

    static constexpr int ColourCount = 5;

    // Throws std::runtime_error naming the file when it is missing or not a country topology.
    static std::shared_ptr<const Basemap> load(const QString &fileName);

    const std::vector<Country> &countries() const { return m_countries; }
    const std::vector<Line> &lines() const { return m_lines; }

    // The country at a point, or an empty string over the sea.
    QString countryAt(double latitude, double longitude) const;

private:
    std::vector<Country> m_countries;
    std::vector<Line> m_lines;
};
