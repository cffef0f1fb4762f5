// Which place and country names the map draws, over the shipped gazetteer and over small ones.

#include "Basemap.h"
#include "DataFolder.h"
#include "BasemapLayer.h"
#include "Gazetteer.h"
#include "GazetteerStore.h"
#include "ImportProgress.h"
#include "MapViewport.h"
#include "PlaceLabelLayer.h"
#include "ViewTestApp.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The edition's start view over the map area beside the grid: at the window's design size and
// maximised on a 1600 x 1000 screen.
constexpr double EuropeLatitude = 53.5, EuropeLongitude = 12.0, EuropeAltitudeKm = 4600.0;
const QSize DesignMapArea(453, 540), MaximisedMapArea(1146, 870);

BasemapLayer &basemap()
{
    static BasemapLayer layer(Basemap::load(DataFolder::filePath(QStringLiteral("countries-110m.json"))),
                              Basemap::load(DataFolder::filePath(QStringLiteral("countries-50m.json"))));
    return layer;
}

std::vector<QString> drawn(std::shared_ptr<const Engine::Gazetteer> gazetteer, double latitude, double longitude,
                           double altitudeKm, QSize size)
{
    viewTestApp();
    PlaceLabelLayer layer(basemap(), std::move(gazetteer));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    layer.render(painter, MapViewport(latitude, longitude, altitudeKm, size));
    return layer.drawnLabels();
}

bool has(const std::vector<QString> &labels, const QString &name)
{
    return std::find(labels.begin(), labels.end(), name) != labels.end();
}

QString joined(const std::vector<QString> &labels)
{
    return QStringList(labels.begin(), labels.end()).join(u", ");
}

} // namespace

TEST(PlaceLabels, CapitalsAndLargeCitiesWinOverCountryNamesAcrossEurope)
{
    const QString shipped = QStringLiteral(ORVANE_BINARY_DIR "/share/orvane/gazetteer.bin");
    if (!QFileInfo(shipped).isFile())
        GTEST_SKIP() << "the shipped gazetteer is not built";
    const auto gazetteer = Engine::Gazetteer::open({shipped});
    for (const QSize size : {DesignMapArea, MaximisedMapArea}) {
        const auto labels = drawn(gazetteer, EuropeLatitude, EuropeLongitude, EuropeAltitudeKm, size);
        for (const char *capital : {"Berlin", "Madrid", "Rome", "Vienna", "Paris", "London"})
            EXPECT_TRUE(has(labels, QString::fromLatin1(capital)))
                << capital << " at " << size.width() << "x" << size.height() << ": " << joined(labels).toStdString();
        // The country names still fill in where no city stands.
        EXPECT_TRUE(has(labels, QStringLiteral("France")) || has(labels, QStringLiteral("Spain")))
            << joined(labels).toStdString();
    }
}

TEST(PlaceLabels, ACapitalShowsWhereverAPlaceOfItsCountryShows)
{
    QTemporaryDir dir;
    const auto make = [&dir](qint64 zurichPopulation) {
        const QString file = dir.filePath(QStringLiteral("zurich-%1.bin").arg(zurichPopulation));
        Engine::GazetteerStore store(file);
        Engine::SegmentBuilder &source = store.beginSource(QStringLiteral("test"));
        const auto place = [&source](const char *id, const char *name, double lat, double lon, qint64 population) {
            Engine::PlaceRecord p;
            p.country = QStringLiteral("CH");
            p.name = QString::fromUtf8(name);
            p.latitude = lat;
            p.longitude = lon;
            p.population = population;
            source.putPlace(QStringLiteral("test"), QString::fromLatin1(id), p, {});
        };
        place("1", "Bern", 46.94809, 7.44744, 121631);
        place("2", "Zürich", 47.36667, 8.55, zurichPopulation);
        Engine::ImportProgress progress(QStringLiteral("test"), 0, nullptr);
        store.endSource(2, progress);
        store.commit();
        return Engine::Gazetteer::open({file});
    };
    // At this view only places of 300,000 and more show.
    ASSERT_EQ(PlaceLabelLayer::minimumPopulation(EuropeAltitudeKm), 300'000);

    // Zürich qualifies, so its capital shows too, and comes first.
    auto labels = drawn(make(400'000), 47.0, 8.0, EuropeAltitudeKm, DesignMapArea);
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels.front(), QStringLiteral("Bern")) << joined(labels).toStdString();

    labels = drawn(make(200'000), 47.0, 8.0, EuropeAltitudeKm, DesignMapArea);
    EXPECT_FALSE(has(labels, QStringLiteral("Bern"))) << joined(labels).toStdString();
}
