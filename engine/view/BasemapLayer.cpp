#include "BasemapLayer.h"

#include "Basemap.h"
#include "MapStyle.h"
#include "MapViewport.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
// Fine shapes once the world is wider than this on screen.
constexpr double FineFromWorldWidthPx = 2400.0;

// Transforms a world polygon to screen pixels, dropping points that fall within a pixel of the
// last one kept: at low zoom most points of a coastline collapse.
void toScreen(const QPolygonF &world, const QTransform &t, QPolygonF &out)
{
    out.clear();
    const double sx = t.m11(), dx = t.dx(), dy = t.dy();
    QPointF last(-1e9, -1e9);
    for (const QPointF &p : world) {
        const QPointF s(p.x() * sx + dx, p.y() * sx + dy);
        if (std::abs(s.x() - last.x()) + std::abs(s.y() - last.y()) >= 1.0) {
            out << s;
            last = s;
        }
    }
    if (!world.isEmpty() && out.size() > 0 && out.last() != QPointF(world.last().x() * sx + dx, world.last().y() * sx + dy))
        out << QPointF(world.last().x() * sx + dx, world.last().y() * sx + dy);
}
// Clips a closed polygon to a rectangle (Sutherland-Hodgman). The rasteriser walks every edge,
// off screen too, and close up a country is millions of pixels wide.
void clipTo(const QRectF &r, QPolygonF &polygon)
{
    QPolygonF out;
    const auto pass = [&](auto inside, auto cross) {
        out.clear();
        for (qsizetype i = 0; i < polygon.size(); ++i) {
            const QPointF a = polygon[i], b = polygon[(i + 1) % polygon.size()];
            if (inside(a)) {
                out << a;
                if (!inside(b))
                    out << cross(a, b);
            } else if (inside(b)) {
                out << cross(a, b);
            }
        }
        polygon.swap(out);
    };
    const auto atX = [](double x) { return [x](QPointF a, QPointF b) { return QPointF(x, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x())); }; };
    const auto atY = [](double y) { return [y](QPointF a, QPointF b) { return QPointF(a.x() + (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y()), y); }; };
    pass([&](QPointF p) { return p.x() >= r.left(); }, atX(r.left()));
    pass([&](QPointF p) { return p.x() <= r.right(); }, atX(r.right()));
    pass([&](QPointF p) { return p.y() >= r.top(); }, atY(r.top()));
    pass([&](QPointF p) { return p.y() <= r.bottom(); }, atY(r.bottom()));
}

// Calls draw(run, lengthBefore) for each stretch of a polyline that comes into the rectangle, with
// the length of the line before it so that a dash pattern carries on where it would have.
template<typename Draw>
void forVisibleRuns(const QPolygonF &line, const QRectF &r, QPolygonF &run, Draw draw)
{
    run.clear();
    double length = 0, runStart = 0;
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        const QPointF a = line[i], b = line[i + 1];
        const bool shows = std::max(a.x(), b.x()) >= r.left() && std::min(a.x(), b.x()) <= r.right()
                           && std::max(a.y(), b.y()) >= r.top() && std::min(a.y(), b.y()) <= r.bottom();
        if (shows) {
            if (run.isEmpty()) {
                run << a;
                runStart = length;
            }
            run << b;
        } else if (!run.isEmpty()) {
            draw(run, runStart);
            run.clear();
        }
        length += std::hypot(b.x() - a.x(), b.y() - a.y());
    }
    if (!run.isEmpty())
        draw(run, runStart);
}
} // namespace

BasemapLayer::BasemapLayer(std::shared_ptr<const Basemap> coarse, std::shared_ptr<const Basemap> fine)
    : m_coarse(std::move(coarse)), m_fine(std::move(fine))
{
}

const Basemap &BasemapLayer::basemapFor(const MapViewport &viewport) const
{
    return viewport.pixelsPerWorldUnit() >= FineFromWorldWidthPx ? *m_fine : *m_coarse;
}

void BasemapLayer::render(QPainter &painter, const MapViewport &viewport)
{
    const QRectF screen(QPointF(0, 0), QSizeF(viewport.size()));
    painter.fillRect(screen, MapStyle::Sea);
    const Basemap &map = basemapFor(viewport);
    const QRectF visible = viewport.visibleWorldRect();
    const double scale = viewport.pixelsPerWorldUnit();

    const QRectF clipRect = screen.adjusted(-8, -8, 8, 8);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    // One copy more on each side: shapes unwrapped across the antimeridian reach into the next copy.
    for (int copy = viewport.firstCopy() - 1; copy <= viewport.lastCopy() + 1; ++copy) {
        const QTransform t = viewport.worldTransform(copy);
        const QRectF inCopy = visible.translated(-copy, 0);
        painter.setPen(Qt::NoPen);
        for (const Basemap::Country &country : map.countries()) {
            if (!country.bounds.intersects(inCopy))
                continue;
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (const Basemap::Ring &ring : country.rings) {
                if (!ring.bounds.intersects(inCopy) || ring.bounds.width() * scale < 0.7)
                    continue;
                toScreen(ring.world, t, m_buffer);
                if (!clipRect.contains(t.mapRect(ring.bounds)))
                    clipTo(clipRect, m_buffer);
                path.addPolygon(m_buffer);
            }
            painter.setBrush(MapStyle::Land[country.colourIndex]);
            painter.drawPath(path);
        }
        painter.setBrush(Qt::NoBrush);
        const QPen coast(MapStyle::Coast, 1.0);
        QPen border(MapStyle::Border, scale > 20000 ? 1.6 : 1.0, Qt::DashLine);
        border.setDashPattern({5, 2.5});
        for (const Basemap::Line &line : map.lines()) {
            if (!line.bounds.intersects(inCopy) || (line.bounds.width() + line.bounds.height()) * scale < 1.0)
                continue;
            toScreen(line.world, t, m_buffer);
            forVisibleRuns(m_buffer, clipRect, m_run, [&](const QPolygonF &run, double lengthBefore) {
                if (line.border) {
                    border.setDashOffset(lengthBefore / border.widthF());
                    painter.setPen(border);
                } else {
                    painter.setPen(coast);
                }
                painter.drawPolyline(run);
            });
        }
    }
    painter.restore();
}
