#include "MapModuleFixture.h"

#include "OleClassRegistry.h"
#include "OleError.h"

namespace {

// An object with no map interface; headless creation never asks it for a view.
class NotAMap : public OleObject {
public:
    QWidget *createView(QWidget *) override { return nullptr; }
};

} // namespace

TEST_F(MapModuleTest, HeadlessCreationSetsTheMapUpWithoutAViewOrEventWrapper)
{
    module.CreateMap(site, ScriptedHeadlessMap::ProgId);

    ASSERT_TRUE(engine);
    EXPECT_EQ(module.Map(), std::dynamic_pointer_cast<MapPoint::Map>(engine));
    EXPECT_TRUE(module.MapReady());
    EXPECT_NO_THROW(module.RequireMap());
    EXPECT_EQ(module.MapServer(), nullptr);
    EXPECT_EQ(module.Container(), nullptr);
    EXPECT_EQ(engine->sinkCount(), 0);
    EXPECT_EQ(engine->calls(), (QStringList{"ApplyStartSetting(4)", "ToolbarOwner", "ToolbarList", "ToolbarCount",
                                            "ToolbarOwner", "ToolbarList", "ToolbarAt(1)", "ToolbarTitle(1)",
                                            "ToolbarOwner", "ToolbarList", "ToolbarAt(1)",
                                            "SetToolbarShown(1,true)"}));

    // A redraw handler has nothing to hear from.
    int calls = 0;
    module.SetOnAfterRedraw([&](QObject *) { ++calls; });
    engine->redraw();
    EXPECT_EQ(calls, 0);
}

TEST_F(MapModuleTest, HeadlessCreationFailsAsTheEmbeddedOneDoesAndSaysWhy)
{
    OleClassRegistry::instance().registerClass("Orvane.Test.NotAMap", [] { return std::make_shared<NotAMap>(); });
    OleClassRegistry::instance().registerClass("Orvane.Test.NoAutomation", [] { return std::shared_ptr<OleObject>(); });
    const auto requireMapMessage = [](const TKartenModul &m) {
        try {
            m.RequireMap();
        } catch (const std::runtime_error &e) {
            return QString::fromUtf8(e.what());
        }
        return QString();
    };

    TestKartenModul unknown, notAMap, noAutomation;
    EXPECT_THROW(unknown.CreateMap(site, "MapPoint.Map.XX.9"), OleError);
    EXPECT_THROW(notAMap.CreateMap(site, "Orvane.Test.NotAMap"), std::runtime_error);
    EXPECT_NO_THROW(noAutomation.CreateMap(site, "Orvane.Test.NoAutomation"));
    for (const TKartenModul *m : {&unknown, &notAMap, &noAutomation}) {
        EXPECT_EQ(m->Map(), nullptr);
        EXPECT_FALSE(m->MapReady());
    }
    EXPECT_TRUE(requireMapMessage(unknown).contains("(Invalid class string)"));
    EXPECT_TRUE(requireMapMessage(notAMap).contains("the embedded object is not a map"));
    EXPECT_TRUE(requireMapMessage(noAutomation).contains("\"Orvane.Test.NoAutomation\" offers no automation interface"));

    // A later creation with a registered identifier still works.
    unknown.CreateMap(site, ScriptedHeadlessMap::ProgId);
    EXPECT_TRUE(unknown.MapReady());
}
