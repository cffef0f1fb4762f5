#pragma once
// A fresh map module per test with the scripted engine made as orvane-batch makes its map: from
// the class registry, without a container or a view.

#include "HeadlessMapSite.h"
#include "KarteUnit.h"
#include "ScriptedHeadlessMap.h"

#include <gtest/gtest.h>

#include <memory>

// The shared instance lives for the whole process; tests need one module each.
class TestKartenModul : public TKartenModul {
public:
    TestKartenModul() = default;
};

class MapModuleTest : public ::testing::Test {
protected:
    void SetUp() override { ScriptedHeadlessMap::registerClass(&engine, {"Location and Scale"}); }

    // Creates the map and forgets the calls creation made.
    ScriptedHeadlessMap &createMap()
    {
        module.CreateMap(site, ScriptedHeadlessMap::ProgId);
        EXPECT_TRUE(module.MapReady());
        engine->clearCalls();
        return *engine;
    }

    std::shared_ptr<ScriptedHeadlessMap> engine;
    THeadlessMapSite site;
    TestKartenModul module;
};
