#pragma once
#include "LabelPlacer.h"
#include "MapLayer.h"

#include "Gazetteer.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QString>

#include <memory>
#include <span>
#include <vector>

class BasemapLayer;

// The gazetteer's places, capitals first and then the largest, as many as fit without
// overlapping; at world and continent zoom the country names fill in after the cities of a
// million and before the smaller places. The smallest population shown falls as the view comes
// closer; a capital shows wherever a place of its country does.
class PlaceLabelLayer : public MapLayer {
public:
    PlaceLabelLayer(const BasemapLayer &basemap, std::shared_ptr<const Engine::Gazetteer> gazetteer);
    int zValue() const override { return 20; }
    void render(QPainter &painter, const MapViewport &viewport) override;

    static qint64 minimumPopulation(double altitudeKm);

    // The place and country names the last render drew, in the order they were placed.
    const std::vector<QString> &drawnLabels() const { return m_drawn; }

private:
    struct Candidate {
        Engine::PlaceLabel place;
        bool capital = false;
    };
    std::vector<Candidate> candidates(const MapViewport &viewport);
    QString countryOf(const MapViewport &viewport, double latitude, double longitude);
    void renderCountries(QPainter &painter, const MapViewport &viewport);
    void renderPlaces(QPainter &painter, const MapViewport &viewport, std::span<const Candidate> places);
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
    QHash<quint64, QString> m_countryAt;   // by place position, which the polygons make costly
    std::vector<QString> m_drawn;
};
