#include "StreetLayer.h"

#include "HaloText.h"
#include "MapStyle.h"
#include "MapViewport.h"

#include "Gazetteer.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>
#include <QPolygonF>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>

namespace {
// Pieces a tile takes at most, so that a dense import seen from far stays quick to paint.
constexpr int MaxPiecesPerTile = 1500;
// Streets just outside a tile still reach into it with their casing and their names.
constexpr double MarginPixels = 16.0;
// Tiles stay in use while the scale differs by less than this (a vertical move changes it a
// little, since the view's altitude holds at its centre): under a quarter pixel across a view.
constexpr double ScaleTolerance = 1e-4;
} // namespace

StreetLayer::StreetLayer(std::shared_ptr<const Engine::Gazetteer> gazetteer) : m_gazetteer(std::move(gazetteer)) {}

void StreetLayer::render(QPainter &painter, const MapViewport &viewport)
{
    if (!m_gazetteer || viewport.altitudeKm() > ShownBelowKm)
        return;
    const double scale = viewport.pixelsPerWorldUnit();
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (std::abs(scale - m_scale) > ScaleTolerance * scale || ratio != m_ratio || painter.font() != m_font) {
        m_tiles.clear();
        m_scale = scale;
        m_ratio = ratio;
        m_font = painter.font();
        // About twelve metres wide, at least a hairline when a whole town is in view.
        m_width = std::clamp(0.012 / viewport.kmPerPixel(), 1.0, 9.0);
    }
    const QRectF world = viewport.visibleWorldRect();
    const double tileWorld = TileSize / m_scale;
    const qint64 firstColumn = qint64(std::floor(world.left() / tileWorld)), lastColumn = qint64(std::floor(world.right() / tileWorld));
    const qint64 firstRow = qint64(std::floor(std::max(world.top(), 0.0) / tileWorld));
    const qint64 lastRow = qint64(std::floor(std::min(world.bottom(), 1.0) / tileWorld));
    std::vector<TileIndex> shown, missing;
    for (qint64 row = firstRow; row <= lastRow; ++row)
        for (qint64 column = firstColumn; column <= lastColumn; ++column) {
            shown.emplace_back(column, row);
            if (!m_tiles.contains(shown.back()))
                missing.push_back(shown.back());
        }
    // Tiles are painted side by side on all cores: a new scale paints every tile of the view.
    const std::vector<QImage> painted = QtConcurrent::blockingMapped(missing, [this](TileIndex tile) { return paintTile(tile); });
    for (size_t i = 0; i < missing.size(); ++i)
        m_tiles.emplace(missing[i], painted[i]);
    m_tilesPainted += int(missing.size());

    // One rounded anchor for all tiles, so that neighbours meet without a seam.
    const QPoint anchor = viewport.worldToScreen(QPointF(firstColumn * tileWorld, firstRow * tileWorld)).toPoint();
    for (const TileIndex &tile : shown) {
        const QImage &image = m_tiles.at(tile);
        if (!image.isNull())
            painter.drawImage(anchor + QPoint(int(tile.first - firstColumn) * TileSize, int(tile.second - firstRow) * TileSize), image);
    }
    // Keep the tiles a move back and forth needs, not every tile ever seen.
    if (m_tiles.size() > 2 * shown.size())
        std::erase_if(m_tiles, [&](const auto &tile) { return std::find(shown.begin(), shown.end(), tile.first) == shown.end(); });
}

QImage StreetLayer::paintTile(TileIndex tile) const
{
    const double tileWorld = TileSize / m_scale, margin = MarginPixels / m_scale;
    const QPointF origin(tile.first * tileWorld, tile.second * tileWorld);
    const double top = std::max(origin.y() - margin, 0.0), bottom = std::min(origin.y() + tileWorld + margin, 1.0);
    const double left = origin.x() - margin, right = origin.x() + tileWorld + margin;

    // Streets in world units, from each world copy the tile reaches into (one, but at the antimeridian).
    struct Piece { QPolygonF world; QString name; };
    std::vector<Piece> pieces;
    for (qint64 copy = qint64(std::floor(left)); copy <= qint64(std::floor(right)); ++copy) {
        const double west = (std::max(left, double(copy)) - copy) * 360.0 - 180.0;
        const double east = (std::min(right, copy + 1.0) - copy) * 360.0 - 180.0;
        const Engine::GeoBox box{MapViewport::latitudeOfWorldY(bottom), west, MapViewport::latitudeOfWorldY(top), east};
        for (const Engine::StreetLine &street : m_gazetteer->streetsIn(box, MaxPiecesPerTile)) {
            Piece &piece = pieces.emplace_back(Piece{{}, street.name});
            for (const auto &[lat, lon] : street.latLon)
                piece.world << MapViewport::toWorld(lat, lon) + QPointF(double(copy), 0.0);
        }
    }
    if (pieces.empty())
        return {};

    QImage image(QSize(TileSize, TileSize) * m_ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(m_ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setFont(m_font);
    const QTransform toTile = QTransform::fromScale(m_scale, m_scale).translate(-origin.x(), -origin.y());
    // Drawn segment by segment with square ends: Qt strokes a short antialiased line several
    // times faster than a polyline with round joins, and the square ends of neighbours close the
    // corners. Segments that cannot reach the tile are left out.
    const double width = m_width;
    const QRectF reach = QRectF(0, 0, TileSize, TileSize).adjusted(-width - 2, -width - 2, width + 2, width + 2);
    std::vector<QLineF> segments;
    for (const Piece &piece : pieces) {
        const QPolygonF line = toTile.map(piece.world);
        for (qsizetype k = 0; k + 1 < line.size(); ++k)
            if (std::max(line[k].x(), line[k + 1].x()) >= reach.left() && std::min(line[k].x(), line[k + 1].x()) <= reach.right()
                && std::max(line[k].y(), line[k + 1].y()) >= reach.top() && std::min(line[k].y(), line[k + 1].y()) <= reach.bottom())
                segments.emplace_back(line[k], line[k + 1]);
    }
    for (const auto &[colour, penWidth] : {std::pair{MapStyle::StreetCasing, width + 2}, std::pair{MapStyle::Street, width}}) {
        painter.setPen(QPen(colour, penWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        for (const QLineF &segment : segments)
            painter.drawLine(segment);
    }
    if (width < 4.0)
        return image;

    QFont font = m_font;
    font.setPointSizeF(7.5);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    for (const Piece &piece : pieces) {
        // The name sits on the piece's longest segment, found in world units so that every tile
        // the name crosses puts it at the same place.
        QLineF longest;
        for (qsizetype k = 0; k + 1 < piece.world.size(); ++k)
            if (QLineF(piece.world[k], piece.world[k + 1]).length() > longest.length())
                longest = QLineF(piece.world[k], piece.world[k + 1]);
        longest = toTile.map(longest);
        const double textWidth = metrics.horizontalAdvance(piece.name);
        if (longest.length() < textWidth + 12)
            continue;
        if (longest.dx() < 0)
            longest = QLineF(longest.p2(), longest.p1());
        painter.save();
        painter.translate(longest.center());
        painter.rotate(-longest.angle());
        drawHaloText(painter, QPointF(-textWidth / 2, metrics.ascent() / 2 - 1), piece.name, MapStyle::PlaceText);
        painter.restore();
    }
    return image;
}
