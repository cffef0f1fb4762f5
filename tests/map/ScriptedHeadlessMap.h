#pragma once
// The scripted engine as an object the class registry makes for a map without a view. It logs a
// request for a view like any other call, so that a test can see none was made.

#include "OleObject.h"
#include "ScriptedEngine.h"

class ScriptedHeadlessMap : public OleObject, public ScriptedEngine {
public:
    static constexpr const char *ProgId = "Orvane.Test.HeadlessMap";

    QWidget *createView(QWidget *parent) override;

    // Registers ProgId; every creation is kept in *lastCreated.
    static void registerClass(std::shared_ptr<ScriptedHeadlessMap> *lastCreated,
                              const QStringList &toolbarTitles = {});
};
