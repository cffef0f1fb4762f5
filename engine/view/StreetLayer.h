#pragma once
#include "MapLayer.h"

#include <memory>

namespace Engine { class Gazetteer; }

// The imported streets, drawn once the view is close enough to tell them apart.
class StreetLayer : public MapLayer {
public:
    static constexpr double ShownBelowKm = 25.0;

    explicit StreetLayer(std::shared_ptr<const Engine::Gazetteer> gazetteer);
    int zValue() const override { return 10; }
    void render(QPainter &painter, const MapViewport &viewport) override;

private:
    std::shared_ptr<const Engine::Gazetteer> m_gazetteer;
};
