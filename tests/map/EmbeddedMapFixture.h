#pragma once
// A fresh map module per test with the scripted engine embedded through a real container, as the
// main window makes its map.

#include "EmbeddedMapSite.h"
#include "GuiTestApplication.h"
#include "MapModuleFixture.h"
#include "MapPoint_TLB.h"
#include "OleContainer.h"
#include "ScriptedOleMap.h"

class EmbeddedMapTest : public ::testing::Test {
protected:
    void SetUp() override { ScriptedOleMap::registerClass(&engine, toolbarTitles()); }

    virtual QStringList toolbarTitles() const { return {"Location and Scale"}; }

    // Creates the map and forgets the calls creation made.
    ScriptedOleMap &createMap()
    {
        module.CreateMap(site, ScriptedOleMap::ProgId);
        EXPECT_TRUE(module.MapReady());
        engine->clearCalls();
        return *engine;
    }

    TMap *mapServer() const { return qobject_cast<TMap *>(module.MapServer()); }

    std::shared_ptr<ScriptedOleMap> engine;
    OleContainer container;
    TEmbeddedMapSite site{&container};
    TestKartenModul module;
};
