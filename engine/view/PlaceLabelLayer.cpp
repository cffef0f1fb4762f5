#include "PlaceLabelLayer.h"

#include "Basemap.h"
#include "BasemapLayer.h"
#include "HaloText.h"
#include "MapStyle.h"
#include "MapViewport.h"

#include "Gazetteer.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {
constexpr double CountryLabelsFromKm = 1200.0;
constexpr int MaxPlaces = 400;
}

PlaceLabelLayer::PlaceLabelLayer(const BasemapLayer &basemap, std::shared_ptr<const Engine::Gazetteer> gazetteer)
    : m_basemap(basemap), m_gazetteer(std::move(gazetteer))
{
}

qint64 PlaceLabelLayer::minimumPopulation(double altitudeKm)
{
    if (altitudeKm > 12000) return 5'000'000;
    if (altitudeKm > 5000) return 1'000'000;
    if (altitudeKm > 2000) return 300'000;
    if (altitudeKm > 800) return 80'000;
    if (altitudeKm > 250) return 15'000;
    if (altitudeKm > 60) return 2'000;
    return 0;
}

void PlaceLabelLayer::render(QPainter &painter, const MapViewport &viewport)
{
    m_placer.clear();
    painter.save();
    if (viewport.altitudeKm() >= CountryLabelsFromKm)
        renderCountries(painter, viewport);
    if (m_gazetteer)
        renderPlaces(painter, viewport);
    painter.restore();
}

void PlaceLabelLayer::renderCountries(QPainter &painter, const MapViewport &viewport)
{
    QFont font = painter.font();
    font.setPointSizeF(8.5);
    font.setItalic(true);
    font.setLetterSpacing(QFont::PercentageSpacing, 108);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const double scale = viewport.pixelsPerWorldUnit();
    const QRectF screen(QPointF(0, 0), QSizeF(viewport.size()));
    for (int copy = viewport.firstCopy(); copy <= viewport.lastCopy(); ++copy) {
        for (const Basemap::Country &country : m_basemap.basemapFor(viewport).countries()) {
            const double width = metrics.horizontalAdvance(country.name);
            if (country.labelWidth * scale < width * 0.8)
                continue;
            const QPointF at = viewport.worldToScreen(country.labelPoint, copy);
            const QRectF box(at.x() - width / 2, at.y() - metrics.ascent() / 2, width, metrics.height());
            if (!screen.contains(box) || !m_placer.tryPlace(box.adjusted(-4, -2, 4, 2)))
                continue;
            drawHaloText(painter, QPointF(box.left(), box.top() + metrics.ascent()), country.name, MapStyle::CountryText);
        }
    }
}

void PlaceLabelLayer::renderPlaces(QPainter &painter, const MapViewport &viewport)
{
    const GeoRect box = viewport.visibleBox();
    const auto places = m_gazetteer->placesIn({box.south, box.west, box.north, box.east},
                                              minimumPopulation(viewport.altitudeKm()), MaxPlaces);
    const QRectF screen(QPointF(0, 0), QSizeF(viewport.size()));
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const Engine::PlaceLabel &place : places) {
        QFont font = painter.font();
        font.setItalic(false);
        font.setLetterSpacing(QFont::PercentageSpacing, 100);
        font.setPointSizeF(place.population >= 1'000'000 ? 10.5 : place.population >= 100'000 ? 9.0 : 8.0);
        font.setBold(place.population >= 1'000'000);
        painter.setFont(font);
        const QFontMetricsF metrics(font);
        const QPointF at = viewport.toScreen(place.latitude, place.longitude);
        const double width = metrics.horizontalAdvance(place.name);
        const QRectF label(at.x() + 5, at.y() - metrics.ascent() / 2 - 1, width, metrics.height());
        const QRectF dot(at.x() - 3, at.y() - 3, 6, 6);
        if (!screen.contains(label) || !m_placer.tryPlace(label.united(dot)))
            continue;
        painter.setPen(QPen(Qt::white, 1.2));
        painter.setBrush(MapStyle::PlaceText);
        painter.drawEllipse(at, place.population >= 1'000'000 ? 3.5 : 2.5, place.population >= 1'000'000 ? 3.5 : 2.5);
        drawHaloText(painter, QPointF(label.left(), label.top() + metrics.ascent()), place.name, MapStyle::PlaceText);
    }
}
