#include "ScriptedOleMap.h"

#include "OleClassRegistry.h"

#include <QWidget>

QWidget *ScriptedOleMap::createView(QWidget *parent)
{
    call("createView");
    return new QWidget(parent);
}

void ScriptedOleMap::registerClass(std::shared_ptr<ScriptedOleMap> *lastCreated,
                                   const QStringList &toolbarTitles)
{
    OleClassRegistry::instance().registerClass(ProgId, [lastCreated, toolbarTitles] {
        auto map = std::make_shared<ScriptedOleMap>();
        map->setToolbars(toolbarTitles);
        *lastCreated = map;
        return std::shared_ptr<OleObject>(map);
    });
}
