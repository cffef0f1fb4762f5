#include "MapEngineClasses.h"

#include "EngineMap.h"
#include "OleClassRegistry.h"

#include "Gazetteer.h"

namespace {
// Without reference data the map still shows; the lookups then say why they cannot work.
std::shared_ptr<OleObject> makeMap(Engine::Edition edition)
{
    std::shared_ptr<const Engine::Gazetteer> gazetteer;
    QString problem;
    try {
        gazetteer = Engine::Gazetteer::openDefault();
    } catch (const std::runtime_error &e) {
        problem = QString::fromStdString(e.what());
    }
    return std::make_shared<EngineMap>(edition, gazetteer, problem);
}
} // namespace

void RegisterMapEngineClasses()
{
    OleClassRegistry &registry = OleClassRegistry::instance();
    registry.registerClass("MapPoint.Map.EU.9", [] { return makeMap(Engine::Edition::Europe); });
    registry.registerClass("MapPoint.Map.NA.9", [] { return makeMap(Engine::Edition::NorthAmerica); });
}
