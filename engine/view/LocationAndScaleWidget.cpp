#include "LocationAndScaleWidget.h"

#include "Basemap.h"
#include "BasemapLayer.h"
#include "GreatCircle.h"
#include "MapScene.h"
#include "PlaceLabelLayer.h"

#include "Gazetteer.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>

namespace {
// The view size the place search assumes; the toolbar does not know the map widget's size.
constexpr QSize ReferenceView(900, 650);
constexpr double MaxBarPx = 110.0;
} // namespace

LocationAndScaleWidget::LocationAndScaleWidget(const MapScene &scene, const BasemapLayer &basemap,
                                               std::shared_ptr<const Engine::Gazetteer> gazetteer,
                                               const MapTexts &texts, QWidget *parent)
    : QWidget(parent), m_scene(scene), m_basemap(basemap), m_gazetteer(std::move(gazetteer)), m_texts(texts)
{
    connect(&scene, &MapScene::viewChanged, this, &LocationAndScaleWidget::refresh);
    refresh();
}

double LocationAndScaleWidget::roundScaleLength(double maxKm)
{
    const double power = std::pow(10.0, std::floor(std::log10(maxKm)));
    for (double step : {5.0, 2.0, 1.0})
        if (step * power <= maxKm)
            return step * power;
    return power;
}

void LocationAndScaleWidget::refresh()
{
    m_place = placeAtCentre();
    const double kmPerPx = m_scene.viewport(ReferenceView).kmPerPixel();
    const double km = roundScaleLength(kmPerPx * MaxBarPx);
    m_barPx = km / kmPerPx;
    m_scale = km >= 1.0 ? QStringLiteral("%1 km").arg(km) : QStringLiteral("%1 m").arg(km * 1000.0);
    updateGeometry();
    update();
}

QString LocationAndScaleWidget::placeAtCentre() const
{
    const double lat = m_scene.centreLatitude(), lon = m_scene.centreLongitude();
    const QString country = m_basemap.basemapFor(m_scene.viewport(ReferenceView)).countryAt(lat, lon);
    if (m_gazetteer && m_scene.altitudeKm() < 3000) {
        const GeoRect box = m_scene.viewport(QSize(ReferenceView.width() / 3, ReferenceView.height() / 3)).visibleBox();
        const auto places = m_gazetteer->placesIn({box.south, box.west, box.north, box.east},
                                                  PlaceLabelLayer::minimumPopulation(m_scene.altitudeKm()), 200);
        const Engine::PlaceLabel *nearest = nullptr;
        double best = 0;
        for (const auto &p : places) {
            const double d = GreatCircle::distanceKm(lat, lon, p.latitude, p.longitude);
            if (!nearest || d < best) {
                nearest = &p;
                best = d;
            }
        }
        if (nearest)
            return country.isEmpty() || country == nearest->name ? nearest->name : nearest->name + QStringLiteral(", ") + country;
    }
    return country.isEmpty() ? m_texts.openWater : country;
}

void LocationAndScaleWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QFontMetrics metrics(font());
    const int barLeft = 6;
    const double mid = height() / 2.0;
    painter.setPen(QPen(palette().windowText().color(), 1.5));
    painter.drawLine(QPointF(barLeft, mid + 4), QPointF(barLeft + m_barPx, mid + 4));
    painter.drawLine(QPointF(barLeft, mid - 1), QPointF(barLeft, mid + 4));
    painter.drawLine(QPointF(barLeft + m_barPx, mid - 1), QPointF(barLeft + m_barPx, mid + 4));
    painter.drawText(QPointF(barLeft + 3, mid), m_scale);
    const int textLeft = barLeft + int(MaxBarPx) + 14;
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRect(textLeft, 0, width() - textLeft, height()), Qt::AlignVCenter | Qt::AlignLeft,
                     QFontMetrics(bold).elidedText(m_place, Qt::ElideRight, width() - textLeft));
}
