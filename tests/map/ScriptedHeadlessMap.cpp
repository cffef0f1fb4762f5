#include "ScriptedHeadlessMap.h"

#include "ScriptedMapRegistration.h"

QWidget *ScriptedHeadlessMap::createView(QWidget *)
{
    call("createView");
    return nullptr;
}

void ScriptedHeadlessMap::registerClass(std::shared_ptr<ScriptedHeadlessMap> *lastCreated,
                                        const QStringList &toolbarTitles)
{
    RegisterScriptedMap(ProgId, lastCreated, toolbarTitles);
}
