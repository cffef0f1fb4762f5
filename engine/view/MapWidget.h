#pragma once
#include <QTimer>
#include <QWidget>

#include <memory>

class MapRenderer;
class MapScene;

// Shows the scene through the renderer; repaints when the view or the pins change and reports
// every finished paint. While the user drags or turns the wheel, repaints move and scale the last
// picture, and the map is painted in full when the drag ends or the drag or wheel pauses.
class MapWidget : public QWidget {
    Q_OBJECT
public:
    MapWidget(std::shared_ptr<MapScene> scene, std::shared_ptr<MapRenderer> renderer, QWidget *parent = nullptr);

    MapScene &scene() const { return *m_scene; }
    QSize sizeHint() const override { return {900, 650}; }
    void setPanning(bool panning);
    // Called before each zoom step of the wheel, which come faster than the streets can be painted.
    void wheelTurned();

signals:
    void painted();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void followView();

    std::shared_ptr<MapScene> m_scene;
    std::shared_ptr<MapRenderer> m_renderer;
    QTimer m_settle;
    bool m_panning = false;
};
