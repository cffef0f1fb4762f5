#pragma once
#include "LabelPlacer.h"
#include "MapLayer.h"

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

    const BasemapLayer &m_basemap;
    std::shared_ptr<const Engine::Gazetteer> m_gazetteer;
    LabelPlacer m_placer;
    // Place names drawn once with their halo, by size and name: drawing the halo is most of the cost.
    QHash<QString, QImage> m_labelImages;
};
