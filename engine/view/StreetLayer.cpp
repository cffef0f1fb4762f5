#include "StreetLayer.h"

#include "HaloText.h"
#include "MapStyle.h"
#include "MapViewport.h"

#include "Gazetteer.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>
#include <QPolygonF>

namespace {
constexpr int MaxStreets = 3000;
}

StreetLayer::StreetLayer(std::shared_ptr<const Engine::Gazetteer> gazetteer) : m_gazetteer(std::move(gazetteer)) {}

void StreetLayer::render(QPainter &painter, const MapViewport &viewport)
{
    if (!m_gazetteer || viewport.altitudeKm() > ShownBelowKm)
        return;
    const GeoRect box = viewport.visibleBox();
    const auto streets = m_gazetteer->streetsIn({box.south, box.west, box.north, box.east}, MaxStreets);
    // About twelve metres wide, at least a hairline when a whole town is in view.
    const double width = std::clamp(0.012 / viewport.kmPerPixel(), 1.0, 9.0);
    std::vector<QPolygonF> lines;
    lines.reserve(streets.size());
    for (const Engine::StreetLine &street : streets) {
        QPolygonF line;
        for (const auto &[lat, lon] : street.latLon)
            line << viewport.toScreen(lat, lon);
        lines.push_back(std::move(line));
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(MapStyle::StreetCasing, width + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const QPolygonF &line : lines)
        painter.drawPolyline(line);
    painter.setPen(QPen(MapStyle::Street, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const QPolygonF &line : lines)
        painter.drawPolyline(line);

    if (width >= 4.0) {
        QFont font = painter.font();
        font.setPointSizeF(7.5);
        painter.setFont(font);
        const QFontMetricsF metrics(font);
        for (size_t i = 0; i < streets.size(); ++i) {
            const QPolygonF &line = lines[i];
            QLineF longest;
            for (qsizetype k = 0; k + 1 < line.size(); ++k)
                if (QLineF(line[k], line[k + 1]).length() > longest.length())
                    longest = QLineF(line[k], line[k + 1]);
            const double textWidth = metrics.horizontalAdvance(streets[i].name);
            if (longest.length() < textWidth + 12)
                continue;
            if (longest.dx() < 0)
                longest = QLineF(longest.p2(), longest.p1());
            painter.save();
            painter.translate(longest.center());
            painter.rotate(-longest.angle());
            drawHaloText(painter, QPointF(-textWidth / 2, metrics.ascent() / 2 - 1), streets[i].name, MapStyle::PlaceText);
            painter.restore();
        }
    }
    painter.restore();
}
