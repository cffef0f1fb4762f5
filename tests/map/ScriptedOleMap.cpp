#include "ScriptedOleMap.h"

#include "ScriptedMapRegistration.h"

#include <QWidget>

QWidget *ScriptedOleMap::createView(QWidget *parent)
{
    call("createView");
    return new QWidget(parent);
}

void ScriptedOleMap::registerClass(std::shared_ptr<ScriptedOleMap> *lastCreated,
                                   const QStringList &toolbarTitles)
{
    RegisterScriptedMap(ProgId, lastCreated, toolbarTitles);
}
