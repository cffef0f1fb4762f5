#include "Basemap.h"

#include "MapViewport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <set>
#include <stdexcept>

namespace {

std::runtime_error badFile(const QString &fileName, const QString &why)
{
    return std::runtime_error(QStringLiteral("The basemap %1 cannot be read: %2").arg(fileName, why).toStdString());
}

std::vector<QPolygonF> decodeArcs(const QJsonObject &topology)
{
    const QJsonObject transform = topology.value("transform").toObject();
    const QJsonArray scale = transform.value("scale").toArray();
    const QJsonArray translate = transform.value("translate").toArray();
    const double sx = scale.at(0).toDouble(1), sy = scale.at(1).toDouble(1);
    const double tx = translate.at(0).toDouble(), ty = translate.at(1).toDouble();
    const bool quantized = !transform.isEmpty();

    std::vector<QPolygonF> arcs;
    for (const QJsonValue &arcValue : topology.value("arcs").toArray()) {
        QPolygonF arc;
        double x = 0, y = 0;
        for (const QJsonValue &p : arcValue.toArray()) {
            const QJsonArray xy = p.toArray();
            if (quantized) {
                x += xy.at(0).toDouble();
                y += xy.at(1).toDouble();
                arc << MapViewport::toWorld(y * sy + ty, x * sx + tx);
            } else {
                arc << MapViewport::toWorld(xy.at(1).toDouble(), xy.at(0).toDouble());
            }
        }
        arcs.push_back(arc);
    }
    return arcs;
}

// The midpoint of the widest stretch of a horizontal line through the ring's centre that lies
// inside it: always inside, unlike the centroid of a crescent.
QPointF insidePoint(const QPolygonF &ring, double *width)
{
    const QRectF b = ring.boundingRect();
    const double y = b.center().y();
    std::vector<double> xs;
    for (qsizetype i = 0; i + 1 < ring.size(); ++i) {
        const QPointF a = ring[i], c = ring[i + 1];
        if ((a.y() <= y) != (c.y() <= y))
            xs.push_back(a.x() + (y - a.y()) / (c.y() - a.y()) * (c.x() - a.x()));
    }
    std::sort(xs.begin(), xs.end());
    QPointF best = b.center();
    *width = 0;
    for (size_t i = 0; i + 1 < xs.size(); i += 2) {
        if (xs[i + 1] - xs[i] > *width) {
            *width = xs[i + 1] - xs[i];
            best = QPointF((xs[i] + xs[i + 1]) / 2, y);
        }
    }
    return best;
}

// Shapes cut at the antimeridian jump from one edge of the world to the other; shifting the rest
// by a world width keeps them continuous (the renderer draws neighbouring world copies). Returns the
// number of world widths the end lies from the start.
int unwrap(QPolygonF &points)
{
    int offset = 0;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const double original = points[i].x();
        const double before = points[i - 1].x() - offset;
        if (original - before > 0.5)
            --offset;
        else if (before - original > 0.5)
            ++offset;
        points[i].rx() = original + offset;
    }
    return offset;
}

double ringArea(const QPolygonF &ring)
{
    double a = 0;
    for (qsizetype i = 0; i + 1 < ring.size(); ++i)
        a += ring[i].x() * ring[i + 1].y() - ring[i + 1].x() * ring[i].y();
    return std::abs(a) / 2;
}

} // namespace

std::shared_ptr<const Basemap> Basemap::load(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw badFile(fileName, file.errorString());
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (doc.isNull())
        throw badFile(fileName, error.errorString());
    const QJsonObject topology = doc.object();
    const QJsonArray geometries =
        topology.value("objects").toObject().value("countries").toObject().value("geometries").toArray();
    if (geometries.isEmpty())
        throw badFile(fileName, QStringLiteral("it holds no countries"));

    const std::vector<QPolygonF> arcs = decodeArcs(topology);
    std::vector<std::set<int>> arcUsers(arcs.size());
    auto map = std::make_shared<Basemap>();

    for (const QJsonValue &g : geometries) {
        const QJsonObject geometry = g.toObject();
        QJsonArray polygons = geometry.value("arcs").toArray();
        if (geometry.value("type").toString() == QLatin1String("Polygon"))
            polygons = QJsonArray{polygons};
        Country country;
        country.name = geometry.value("properties").toObject().value("name").toString();
        const int index = int(map->m_countries.size());
        double largest = -1;
        for (const QJsonValue &polygon : polygons) {
            for (const QJsonValue &ringValue : polygon.toArray()) {
                Ring ring;
                for (const QJsonValue &ref : ringValue.toArray()) {
                    const int i = ref.toInt();
                    const size_t arc = size_t(i >= 0 ? i : ~i);
                    if (arc >= arcs.size())
                        throw badFile(fileName, QStringLiteral("an arc index is out of range"));
                    arcUsers[arc].insert(index);
                    QPolygonF part = arcs[arc];
                    if (i < 0)
                        std::reverse(part.begin(), part.end());
                    if (!ring.world.isEmpty())
                        part.removeFirst();
                    ring.world += part;
                }
                if (unwrap(ring.world) != 0) {
                    // A ring around the globe (Antarctica) closes over the pole it surrounds.
                    const double pole = ring.world.boundingRect().center().y() > 0.5 ? 1.0 : 0.0;
                    ring.world << QPointF(ring.world.last().x(), pole) << QPointF(ring.world.first().x(), pole);
                }
                ring.bounds = ring.world.boundingRect();
                country.bounds |= ring.bounds;
                const double area = ringArea(ring.world);
                if (area > largest) {
                    largest = area;
                    country.labelPoint = insidePoint(ring.world, &country.labelWidth);
                }
                country.rings.push_back(std::move(ring));
            }
        }
        map->m_countries.push_back(std::move(country));
    }

    std::vector<std::set<int>> neighbours(map->m_countries.size());
    for (size_t a = 0; a < arcs.size(); ++a) {
        if (arcUsers[a].empty())
            continue;
        const bool border = arcUsers[a].size() > 1;
        QPolygonF line = arcs[a];
        unwrap(line);
        map->m_lines.push_back({line, line.boundingRect(), border});
        for (int c : arcUsers[a])
            for (int d : arcUsers[a])
                if (c != d)
                    neighbours[size_t(c)].insert(d);
    }
    // Greedy colouring: big countries first, so that the few that need it get the rarer colours.
    std::vector<size_t> order(map->m_countries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return neighbours[a].size() > neighbours[b].size();
    });
    std::vector<int> colour(order.size(), -1);
    for (size_t c : order) {
        std::vector<bool> used(ColourCount, false);
        for (int n : neighbours[c])
            if (colour[size_t(n)] >= 0)
                used[size_t(colour[size_t(n)])] = true;
        int pick = int(c % ColourCount);
        for (int k = 0; k < ColourCount && used[size_t(pick)]; ++k)
            pick = (pick + 1) % ColourCount;
        colour[c] = pick;
        map->m_countries[c].colourIndex = pick;
    }
    return map;
}

QString Basemap::countryAt(double latitude, double longitude) const
{
    const QPointF world = MapViewport::toWorld(latitude, longitude);
    for (const Country &country : m_countries) {
        for (const double shift : {0.0, 1.0, -1.0}) {
            const QPointF p = world + QPointF(shift, 0);
            if (!country.bounds.contains(p))
                continue;
            bool inside = false;
            for (const Ring &ring : country.rings)
                if (ring.bounds.contains(p) && ring.world.containsPoint(p, Qt::OddEvenFill))
                    inside = !inside;
            if (inside)
                return country.name;
        }
    }
    return {};
}
