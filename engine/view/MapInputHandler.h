#pragma once
#include <QObject>
#include <QPointF>

#include <functional>

class MapWidget;

// Mouse and keyboard on the map: drag pans, the wheel zooms at the cursor, + and - zoom, the
// arrow keys pan by a quarter of the view. A click that does not drag goes to the click tool
// when one is set.
class MapInputHandler : public QObject {
    Q_OBJECT
public:
    explicit MapInputHandler(MapWidget &widget);

    void setClickTool(std::function<void(QPointF screen)> tool);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MapWidget &m_widget;
    std::function<void(QPointF)> m_clickTool;
    QPointF m_pressAt, m_lastAt;
    bool m_pressed = false, m_dragged = false;
};
