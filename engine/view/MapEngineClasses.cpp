#include "MapEngineClasses.h"

#include "EngineMap.h"
#include "OleClassRegistry.h"

#include "Gazetteer.h"

#include <QFileInfo>

namespace {
std::shared_ptr<const Engine::Gazetteer> openGazetteer(const Engine::GazetteerFiles &files, const QString &userGazetteer)
{
    const QString &shipped = files.shipped;
    // Without the program's own data the default open says what is missing.
    if (userGazetteer.isEmpty() || !QFileInfo(shipped).isFile())
        return Engine::Gazetteer::openDefault(files);
    if (QFileInfo(userGazetteer).absoluteFilePath() == QFileInfo(shipped).absoluteFilePath())
        return Engine::Gazetteer::open({shipped});
    return Engine::Gazetteer::open({shipped, userGazetteer});
}

// Without reference data the map still shows; the lookups then say why they cannot work.
std::shared_ptr<OleObject> makeMap(Engine::Edition edition, const Engine::GazetteerFiles &files,
                                   const MapViewMaker &makeView, const QString &userGazetteer)
{
    std::shared_ptr<const Engine::Gazetteer> gazetteer;
    QString problem;
    try {
        gazetteer = openGazetteer(files, userGazetteer);
    } catch (const std::runtime_error &e) {
        problem = QString::fromStdString(e.what());
    }
    return std::make_shared<EngineMap>(edition, gazetteer, problem, MapTexts::systemLanguage(), makeView);
}
} // namespace

void RegisterMapEngineClasses(const Engine::GazetteerFiles &files, const MapViewMaker &makeView,
                              const QString &userGazetteer)
{
    OleClassRegistry &registry = OleClassRegistry::instance();
    registry.registerClass("MapPoint.Map.EU.9", [files, makeView, userGazetteer] {
        return makeMap(Engine::Edition::Europe, files, makeView, userGazetteer);
    });
    registry.registerClass("MapPoint.Map.NA.9", [files, makeView, userGazetteer] {
        return makeMap(Engine::Edition::NorthAmerica, files, makeView, userGazetteer);
    });
}
