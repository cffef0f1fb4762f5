#pragma once
#include "LabelPlacer.h"
#include "MapLayer.h"

#include <QFont>
#include <QHash>
#include <QImage>

#include <memory>

class BasemapLayer;
namespace Engine { class Gazetteer; }

// Country names at world and continent zoom, then the gazetteer's places, largest first, as many
// as fit without overlapping. The smallest population shown falls as the view comes closer.
class PlaceLabelLayer : public MapLayer {
public:
    PlaceLabelLayer(const BasemapLayer &basemap, std::shared_ptr<const Engine::Gazetteer> gazetteer);
    int zValue() const override { return 20; }
    void render(QPainter &painter, const MapViewport &viewport) override;

    static qint64 minimumPopulation(double altitudeKm);

private:
    void renderCountries(QPainter &painter, const MapViewport &viewport);
    void renderPlaces(QPainter &painter, const MapViewport &viewport);
    struct Label {
        double width = 0;
        QImage image; // the text with its halo and 2 pixels of margin all round
    };
    // The label's entry, measured on first use; its image is only drawn once it is placed.
    Label &label(const QFont &font, const QString &key, const QString &text);
    void drawLabel(QPainter &painter, Label &label, const QFont &font, const QString &text, const QColor &colour,
                   QPointF topLeft);

    const BasemapLayer &m_basemap;
    std::shared_ptr<const Engine::Gazetteer> m_gazetteer;
    LabelPlacer m_placer;
    // Names measured and drawn once with their halo, by kind and name: shaping the text and
    // drawing the halo are most of the cost of a frame. Only good for one map font.
    QHash<QString, Label> m_labels;
    QFont m_labelFont;
};
