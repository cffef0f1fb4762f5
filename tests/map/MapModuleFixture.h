#pragma once
// A fresh map module per test with the scripted engine embedded through a real container.

#include "GuiTestApplication.h"
#include "KarteUnit.h"
#include "OleContainer.h"
#include "ScriptedOleMap.h"

#include <gtest/gtest.h>

#include <memory>

// The shared instance lives for the whole process; tests need one module each.
class TestKartenModul : public TKartenModul {
public:
    TestKartenModul() = default;
};

class MapModuleTest : public ::testing::Test {
protected:
    void SetUp() override { ScriptedOleMap::registerClass(&engine, toolbarTitles()); }

    virtual QStringList toolbarTitles() const { return {"Location and Scale"}; }

    // Creates the map and forgets the calls creation made.
    ScriptedOleMap &createMap()
    {
        module.CreateMap(&container, ScriptedOleMap::ProgId);
        EXPECT_TRUE(module.MapReady());
        engine->clearCalls();
        return *engine;
    }

    std::shared_ptr<ScriptedOleMap> engine;
    OleContainer container;
    TestKartenModul module;
};
