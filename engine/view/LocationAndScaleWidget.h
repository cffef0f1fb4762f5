#pragma once
#include "MapTexts.h"

#include <QWidget>

#include <memory>

class BasemapLayer;
class MapScene;
namespace Engine { class Gazetteer; }

// Content of the "Location and Scale" toolbar: the place at the view centre and a scale bar.
class LocationAndScaleWidget : public QWidget {
    Q_OBJECT
public:
    LocationAndScaleWidget(const MapScene &scene, const BasemapLayer &basemap,
                           std::shared_ptr<const Engine::Gazetteer> gazetteer, const MapTexts &texts,
                           QWidget *parent = nullptr);

    QString placeText() const { return m_place; }
    QString scaleText() const { return m_scale; }
    QSize sizeHint() const override { return {360, 26}; }

    // A round length (1, 2 or 5 times a power of ten) no longer than maxKm.
    static double roundScaleLength(double maxKm);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();
    QString placeAtCentre() const;

    const MapScene &m_scene;
    const BasemapLayer &m_basemap;
    std::shared_ptr<const Engine::Gazetteer> m_gazetteer;
    MapTexts m_texts;
    QString m_place, m_scale;
    double m_barPx = 0;
};
