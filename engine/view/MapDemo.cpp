// orvane-mapdemo: the European edition at its start setting with a few pushpins in both symbols.
// Usage: orvane-mapdemo [world|country|street|city | at LATITUDE LONGITUDE ALTITUDE_KM]
// (the view to open at; default: the start setting)
#include "EngineMap.h"
#include "MapEngineClasses.h"
#include "MapWindow.h"
#include "OleContainer.h"
#include "StartupEnvironment.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    RegisterMapEngineClasses(GazetteerFilesFromEnvironment(), &MapWindow::forMap);
    QMainWindow window;
    auto *container = new OleContainer(&window);
    window.setCentralWidget(container);
    container->CreateObject("MapPoint.Map.EU.9", false);
    auto map = std::dynamic_pointer_cast<MapPoint::Map>(container->OleObjectInterface());
    map->ApplyStartSetting(4);
    container->DoVerb(OleContainer::ShowVerb);

    struct Place { const char *name; double latitude, longitude; qint16 symbol; };
    const Place places[] = {{"Berlin office", 52.5200, 13.4050, 0}, {"Munich depot", 48.1372, 11.5755, 1},
                            {"Paris client", 48.8566, 2.3522, 0},   {"Vienna client", 48.2082, 16.3738, 1},
                            {"Hamburg port", 53.5511, 9.9937, 1},   {"Zurich bank", 47.3769, 8.5417, 0}};
    for (const Place &p : places)
        map->PlacePushpin(*map->LocationAt(p.latitude, p.longitude, 0), QString::fromUtf8(p.name))->SetPinSymbol(p.symbol);

    const QString view = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (view == QLatin1String("world")) {
        map->ApplyStartSetting(0);
    } else if (view == QLatin1String("country")) {
        map->LocationAt(51.0, 10.3, 900.0)->MoveViewTo();
    } else if (view == QLatin1String("street")) {
        map->LocationAt(48.1372, 11.5755, 2.0)->MoveViewTo();
    } else if (view == QLatin1String("at") && argc > 4) {
        map->LocationAt(QString::fromLocal8Bit(argv[2]).toDouble(), QString::fromLocal8Bit(argv[3]).toDouble(),
                        QString::fromLocal8Bit(argv[4]).toDouble())
            ->MoveViewTo();
    } else if (view == QLatin1String("city")) {
        map->LocationAt(48.1372, 11.5755, 0)->MoveViewTo();
        map->SetViewAltitude(50.0);
    }
    window.resize(1100, 760);
    window.show();
    return app.exec();
}
