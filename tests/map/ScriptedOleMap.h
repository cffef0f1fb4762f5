#pragma once
// The scripted engine as an embeddable object, so that map creation runs through a real
// container. register() makes the test program identifier create a fresh one each time.

#include "OleObject.h"
#include "ScriptedEngine.h"

class ScriptedOleMap : public OleObject, public ScriptedEngine {
public:
    static constexpr const char *ProgId = "Orvane.Test.ScriptedMap";

    QWidget *createView(QWidget *parent) override;

    // Registers ProgId; every creation is kept in *lastCreated.
    static void registerClass(std::shared_ptr<ScriptedOleMap> *lastCreated,
                              const QStringList &toolbarTitles = {});
};
