#include "PlaceLabelLayer.h"

#include "Basemap.h"
#include "BasemapLayer.h"
#include "CapitalCities.h"
#include "HaloText.h"
#include "MapStyle.h"
#include "MapViewport.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {
constexpr double CountryLabelsFromKm = 1200.0;
constexpr int MaxPlaces = 400;
constexpr qsizetype MaxCachedLabels = 4000;
constexpr qint64 CityOfAMillion = 1'000'000;
// Degrees around a capital's point in which the gazetteer's record of it lies.
constexpr double CapitalReach = 0.01;

bool samePlace(const Engine::PlaceLabel &a, const Engine::PlaceLabel &b)
{
    return a.name == b.name && std::abs(a.latitude - b.latitude) < 1e-6 && std::abs(a.longitude - b.longitude) < 1e-6;
}
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
    m_drawn.clear();
    if (painter.font() != m_labelFont) {
        m_labels.clear();
        m_labelFont = painter.font();
    }
    painter.save();
    const std::vector<Candidate> places = m_gazetteer ? candidates(viewport) : std::vector<Candidate>{};
    // A country's name sits in its middle, where its capital or a large city often lies: those
    // are placed first, and the smaller places only around the names.
    const auto lead = std::find_if(places.begin(), places.end(), [](const Candidate &c) {
        return !c.capital && c.place.population < CityOfAMillion;
    });
    renderPlaces(painter, viewport, {places.begin(), lead});
    if (viewport.altitudeKm() >= CountryLabelsFromKm)
        renderCountries(painter, viewport);
    renderPlaces(painter, viewport, {lead, places.end()});
    painter.restore();
}

std::vector<PlaceLabelLayer::Candidate> PlaceLabelLayer::candidates(const MapViewport &viewport)
{
    const GeoRect box = viewport.visibleBox();
    std::vector<Candidate> places;
    QSet<QString> countriesShown;
    for (Engine::PlaceLabel &place : m_gazetteer->placesIn({box.south, box.west, box.north, box.east},
                                                          minimumPopulation(viewport.altitudeKm()), MaxPlaces)) {
        countriesShown.insert(countryOf(viewport, place.latitude, place.longitude));
        places.push_back({std::move(place)});
    }
    for (const CapitalCity &at : capitalCities()) {
        if (at.latitude < box.south || at.latitude > box.north || at.longitude < box.west || at.longitude > box.east
            || !countriesShown.contains(countryOf(viewport, at.latitude, at.longitude)))
            continue;
        const auto record = m_gazetteer->placesIn({at.latitude - CapitalReach, at.longitude - CapitalReach,
                                                   at.latitude + CapitalReach, at.longitude + CapitalReach},
                                                  0, 1);
        if (record.empty())
            continue;
        const auto listed = std::find_if(places.begin(), places.end(),
                                         [&](const Candidate &c) { return samePlace(c.place, record.front()); });
        if (listed != places.end())
            listed->capital = true;
        else
            places.push_back({record.front(), true});
    }
    std::stable_sort(places.begin(), places.end(), [](const Candidate &a, const Candidate &b) {
        if (a.capital != b.capital)
            return a.capital;
        return a.place.population > b.place.population;
    });
    return places;
}

QString PlaceLabelLayer::countryOf(const MapViewport &viewport, double latitude, double longitude)
{
    const quint64 key = (quint64(quint32(std::lround((latitude + 90.0) * 1e5))) << 32)
                        | quint32(std::lround((longitude + 540.0) * 1e5));
    auto found = m_countryAt.find(key);
    if (found == m_countryAt.end()) {
        if (m_countryAt.size() > MaxCachedLabels)
            m_countryAt.clear();
        found = m_countryAt.insert(key, m_basemap.basemapFor(viewport).countryAt(latitude, longitude));
    }
    return *found;
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
    const QRectF visible = viewport.visibleWorldRect();
    for (int copy = viewport.firstCopy(); copy <= viewport.lastCopy(); ++copy) {
        const QRectF inCopy = visible.translated(-copy, 0);
        for (const Basemap::Country &country : m_basemap.basemapFor(viewport).countries()) {
            if (!inCopy.contains(country.labelPoint))
                continue;
            Label &name = label(font, QLatin1Char('c') + country.name, country.name);
            const double width = name.width;
            if (country.labelWidth * scale < width * 0.8)
                continue;
            const QPointF at = viewport.worldToScreen(country.labelPoint, copy);
            const QRectF box(at.x() - width / 2, at.y() - metrics.ascent() / 2, width, metrics.height());
            if (!screen.contains(box) || !m_placer.tryPlace(box.adjusted(-4, -2, 4, 2)))
                continue;
            drawLabel(painter, name, font, country.name, MapStyle::CountryText, box.topLeft());
            m_drawn.push_back(country.name);
        }
    }
}

void PlaceLabelLayer::renderPlaces(QPainter &painter, const MapViewport &viewport, std::span<const Candidate> places)
{
    const QRectF screen(QPointF(0, 0), QSizeF(viewport.size()));
    painter.setRenderHint(QPainter::Antialiasing, true);
    // Three sizes by population: city of a million, town of 100,000, smaller places.
    QFont fonts[3] = {painter.font(), painter.font(), painter.font()};
    for (QFont &f : fonts) {
        f.setItalic(false);
        f.setLetterSpacing(QFont::PercentageSpacing, 100);
    }
    fonts[0].setPointSizeF(10.5);
    fonts[0].setBold(true);
    fonts[1].setPointSizeF(9.0);
    fonts[2].setPointSizeF(8.0);
    const QFontMetricsF metricsOf[3] = {QFontMetricsF(fonts[0]), QFontMetricsF(fonts[1]), QFontMetricsF(fonts[2])};
    for (const Candidate &candidate : places) {
        const Engine::PlaceLabel &place = candidate.place;
        const int size = place.population >= 1'000'000 ? 0 : place.population >= 100'000 ? 1 : 2;
        const QFontMetricsF &metrics = metricsOf[size];
        const QPointF at = viewport.toScreen(place.latitude, place.longitude);
        Label &name = label(fonts[size], QString::number(size) + place.name, place.name);
        const QRectF box(at.x() + 5, at.y() - metrics.ascent() / 2 - 1, name.width, metrics.height());
        const QRectF dot(at.x() - 3, at.y() - 3, 6, 6);
        if (!screen.contains(box) || !m_placer.tryPlace(box.united(dot)))
            continue;
        painter.setPen(QPen(Qt::white, 1.2));
        painter.setBrush(MapStyle::PlaceText);
        painter.drawEllipse(at, place.population >= 1'000'000 ? 3.5 : 2.5, place.population >= 1'000'000 ? 3.5 : 2.5);
        drawLabel(painter, name, fonts[size], place.name, MapStyle::PlaceText, box.topLeft());
        m_drawn.push_back(place.name);
    }
}

PlaceLabelLayer::Label &PlaceLabelLayer::label(const QFont &font, const QString &key, const QString &text)
{
    auto found = m_labels.find(key);
    if (found != m_labels.end())
        return *found;
    if (m_labels.size() > MaxCachedLabels)
        m_labels.clear();
    return *m_labels.insert(key, Label{QFontMetricsF(font).horizontalAdvance(text), {}});
}

void PlaceLabelLayer::drawLabel(QPainter &painter, Label &label, const QFont &font, const QString &text,
                                const QColor &colour, QPointF topLeft)
{
    const qreal ratio = painter.device()->devicePixelRatioF();
    if (label.image.isNull() || label.image.devicePixelRatio() != ratio) {
        const QFontMetricsF metrics(font);
        label.image = QImage((QSizeF(label.width + 4, metrics.height() + 4) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        label.image.setDevicePixelRatio(ratio);
        label.image.fill(Qt::transparent);
        QPainter labelPainter(&label.image);
        labelPainter.setFont(font);
        drawHaloText(labelPainter, QPointF(2, 2 + metrics.ascent()), text, colour);
    }
    painter.drawImage(topLeft - QPointF(2, 2), label.image);
}
