#pragma once
// Registers a program identifier whose every creation makes a fresh scripted map of the given
// kind (embeddable or headless) and keeps it in *lastCreated.

#include "OleClassRegistry.h"

#include <QStringList>

#include <memory>

template <class ScriptedMap>
void RegisterScriptedMap(const char *progId, std::shared_ptr<ScriptedMap> *lastCreated,
                         const QStringList &toolbarTitles)
{
    OleClassRegistry::instance().registerClass(progId, [lastCreated, toolbarTitles] {
        auto map = std::make_shared<ScriptedMap>();
        map->setToolbars(toolbarTitles);
        *lastCreated = map;
        return std::shared_ptr<OleObject>(map);
    });
}
