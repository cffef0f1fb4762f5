// Full repaint of a 1920x1080 map at world, country and street zoom, the repaint while dragging, and
// at street zoom the repaint at a new scale, which paints every street tile anew, and the same while
// the wheel turns, which scales the last picture.
// Run: QT_QPA_PLATFORM=offscreen [ORVANE_GAZETTEER=file] bench_view_render
#include "Basemap.h"
#include "MapRenderer.h"
#include "MapScene.h"
#include "StartupEnvironment.h"

#include "Gazetteer.h"

#include <DataFolder.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

struct Fixture {
    std::shared_ptr<const Basemap> coarse = Basemap::load(DataFolder::filePath(QStringLiteral("countries-110m.json")));
    std::shared_ptr<const Basemap> fine = Basemap::load(DataFolder::filePath(QStringLiteral("countries-50m.json")));
    std::shared_ptr<const Engine::Gazetteer> gazetteer = open();

    static std::shared_ptr<const Engine::Gazetteer> open()
    {
        try {
            return Engine::Gazetteer::openDefault(GazetteerFilesFromEnvironment());
        } catch (const std::runtime_error &) {
            return nullptr;
        }
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// zooming: every iteration shows the view at another scale, so no street tile can be reused.
// moving: every iteration shows a slightly different view (dragging), so nothing is reused;
// otherwise the view stays and the repaint reuses the image of the last view. dragging: the
// renderer knows a drag or wheel is on and moves and scales the last picture.
void renderAt(benchmark::State &state, double latitude, double longitude, double altitudeKm, bool moving, bool dragging = false,
              bool zooming = false)
{
    MapScene scene;
    scene.setView(latitude, longitude, altitudeKm);
    for (const auto &[name, lat, lon] : {std::tuple{"Berlin", 52.52, 13.40}, {"Munich", 48.14, 11.58}, {"Paris", 48.86, 2.35}})
        scene.addPin(QString::fromUtf8(name), lat, lon);
    MapRenderer renderer(scene, fixture().coarse, fixture().fine, fixture().gazetteer);
    renderer.setPanning(dragging);
    QImage image(1920, 1080, QImage::Format_RGB32);
    int step = 0;
    for (auto _ : state) {
        if (moving)
            scene.panBy(QPointF((++step % 2) ? 3 : -3, 0), image.size());
        if (zooming)
            scene.setView(latitude, longitude, altitudeKm * ((++step % 2) ? 1.05 : 1.0));
        QPainter painter(&image);
        renderer.render(painter, image.size());
        painter.end();
        benchmark::DoNotOptimize(image.bits());
    }
    state.counters["gazetteer"] = fixture().gazetteer ? 1 : 0;
}

void BM_PanWorld(benchmark::State &s) { renderAt(s, 20.0, 10.0, 30000.0, true); }
void BM_PanEurope(benchmark::State &s) { renderAt(s, 53.5, 12.0, 4600.0, true); }
void BM_PanCountry(benchmark::State &s) { renderAt(s, 51.0, 10.3, 900.0, true); }
void BM_PanStreet(benchmark::State &s) { renderAt(s, 48.137, 11.575, 2.0, true); }
void BM_ZoomStreet(benchmark::State &s) { renderAt(s, 48.137, 11.575, 2.0, false, false, true); }
void BM_WheelStreet(benchmark::State &s) { renderAt(s, 48.137, 11.575, 2.0, false, true, true); }
void BM_RepaintCountry(benchmark::State &s) { renderAt(s, 51.0, 10.3, 900.0, false); }
void BM_DragWorld(benchmark::State &s) { renderAt(s, 20.0, 10.0, 30000.0, true, true); }
void BM_DragCountry(benchmark::State &s) { renderAt(s, 51.0, 10.3, 900.0, true, true); }
void BM_DragStreet(benchmark::State &s) { renderAt(s, 48.137, 11.575, 2.0, true, true); }
BENCHMARK(BM_PanWorld)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanEurope)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanCountry)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PanStreet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomStreet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WheelStreet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintCountry)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragWorld)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragCountry)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragStreet)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
