#include "EmbeddedMapFixture.h"

#include "OleClassRegistry.h"
#include "OleError.h"

#include <QWidget>

namespace {

QStringList shownToolbars(const ScriptedEngine &e, int count)
{
    QStringList shown;
    for (int i = 1; i <= count; ++i)
        if (e.toolbarShown(i))
            shown << QString::number(i);
    return shown;
}

class NotAMap : public OleObject {
public:
    QWidget *createView(QWidget *parent) override { return new QWidget(parent); }
};

} // namespace

TEST(KartenModulAccessor, ReturnsOneObjectForEveryCall)
{
    TKartenModul &first = KartenModul();
    EXPECT_EQ(&first, &KartenModul());
    EXPECT_EQ(first.Map(), nullptr);
    EXPECT_FALSE(first.MapReady());
    EXPECT_EQ(first.PushPins().Count(), 0);
}

TEST_F(EmbeddedMapTest, CreationRunsTheStepsInOrderAndShowsTheMap)
{
    module.CreateMap(site, ScriptedOleMap::ProgId);

    ASSERT_TRUE(engine);
    EXPECT_EQ(module.Map(), std::dynamic_pointer_cast<MapPoint::Map>(engine));
    EXPECT_TRUE(module.MapReady());
    EXPECT_EQ(module.Container(), &container);
    ASSERT_NE(module.MapServer(), nullptr);
    EXPECT_EQ(module.MapServer()->parent(), &container);
    EXPECT_EQ(mapServer()->DefaultInterface(), module.Map());
    EXPECT_NE(container.objectView(), nullptr);
    EXPECT_EQ(engine->calls(),
              (QStringList{"ApplyStartSetting(4)", "ToolbarOwner", "ToolbarList", "ToolbarCount",
                           "ToolbarOwner", "ToolbarList", "ToolbarAt(1)", "ToolbarTitle(1)",
                           "ToolbarOwner", "ToolbarList", "ToolbarAt(1)", "SetToolbarShown(1,true)",
                           "createView", "Advise"}));
}

class ToolbarWalk : public EmbeddedMapTest, public ::testing::WithParamInterface<QStringList> {
protected:
    QStringList toolbarTitles() const override { return GetParam(); }
};

TEST_P(ToolbarWalk, OnlyTheLocationAndScaleToolbarStaysShown)
{
    createMap();
    const QStringList titles = GetParam();
    QStringList expected;
    for (int i = 0; i < titles.size(); ++i)
        if (titles[i] == "Location and Scale" || titles[i] == QStringLiteral("Ort und Maßstab"))
            expected << QString::number(i + 1);
    EXPECT_EQ(shownToolbars(*engine, titles.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, ToolbarWalk,
    ::testing::Values(QStringList{"Standard", "Location and Scale", "Drawing"},
                      QStringList{"Standard", QStringLiteral("Ort und Maßstab"), "Zeichnen"},
                      QStringList{"location and scale", "LOCATION AND SCALE",
                                  QStringLiteral("ort und maßstab"), "Location and Scale "},
                      QStringList{}));

TEST_F(EmbeddedMapTest, EachToolbarAccessWalksAgainFromTheMap)
{
    ScriptedOleMap::registerClass(&engine, {"A", "B", "C"});
    module.CreateMap(site, ScriptedOleMap::ProgId);
    // One walk for the count, two per toolbar (title, then shown state).
    EXPECT_EQ(engine->calls("ToolbarOwner").size(), 7);
    EXPECT_EQ(engine->calls("ToolbarCount").size(), 1);
}

TEST_F(EmbeddedMapTest, SecondCreationChangesNothingWhateverTheIdentifier)
{
    createMap();
    const auto first = module.Map();
    QObject *server = module.MapServer();
    std::shared_ptr<ScriptedOleMap> created = engine;

    module.CreateMap(site, "MapPoint.Map.NA.9");
    module.CreateMap(site, ScriptedOleMap::ProgId);

    EXPECT_EQ(module.Map(), first);
    EXPECT_EQ(module.MapServer(), server);
    EXPECT_EQ(engine, created);  // no second object was made
    EXPECT_TRUE(engine->calls().isEmpty());
}

TEST_F(EmbeddedMapTest, UnregisteredIdentifierLeavesTheModuleWithoutAMap)
{
    EXPECT_THROW(module.CreateMap(site, "MapPoint.Map.XX.9"), OleError);
    EXPECT_EQ(module.Map(), nullptr);
    EXPECT_FALSE(module.MapReady());

    // Every later operation does nothing.
    RAddressSearchResult r;
    module.GeocodeSilent("D", "80331", "München", "", "1", r);
    EXPECT_FALSE(r.Found);
    EXPECT_EQ(r.Country, "DE");
    EXPECT_FALSE(module.SearchAddress("D", "80331", "München", "", "1", true, true));
    module.ShowCoordinate("1", true, 11.0, 48.0, 50.0);
    module.PlacePinAtCoordinate(0, 11.0, 48.0, "1", true);
    module.ClearPushPins();
    EXPECT_EQ(module.PushPins().Count(), 0);

    // A later creation with a registered identifier still works.
    module.CreateMap(site, ScriptedOleMap::ProgId);
    EXPECT_TRUE(module.MapReady());
}

TEST_F(EmbeddedMapTest, EmptyAutomationObjectLeavesTheModuleUnreadyWithoutError)
{
    OleClassRegistry::instance().registerClass("Orvane.Test.NoAutomation",
                                               [] { return std::shared_ptr<OleObject>(); });
    EXPECT_NO_THROW(module.CreateMap(site, "Orvane.Test.NoAutomation"));
    EXPECT_EQ(module.Map(), nullptr);
    EXPECT_FALSE(module.MapReady());
}

TEST_F(EmbeddedMapTest, ObjectWithoutTheMapInterfaceRaisesAndLeavesNoMap)
{
    OleClassRegistry::instance().registerClass("Orvane.Test.NotAMap",
                                               [] { return std::make_shared<NotAMap>(); });
    EXPECT_THROW(module.CreateMap(site, "Orvane.Test.NotAMap"), std::runtime_error);
    EXPECT_EQ(module.Map(), nullptr);
    EXPECT_FALSE(module.MapReady());
}

class FailingCreationStep : public EmbeddedMapTest, public ::testing::WithParamInterface<const char *> {
protected:
    QStringList toolbarTitles() const override { return {"Standard", "Location and Scale"}; }
};

TEST_P(FailingCreationStep, LeavesTheMapObtainedButNotReadyAndUnconnected)
{
    // The factory runs inside CreateMap, so the failure is armed on the object it makes.
    OleClassRegistry::instance().registerClass(ScriptedOleMap::ProgId, [this] {
        engine = std::make_shared<ScriptedOleMap>();
        engine->setToolbars(toolbarTitles());
        engine->failOn(GetParam(), 1);
        return std::shared_ptr<OleObject>(engine);
    });
    EXPECT_THROW(module.CreateMap(site, ScriptedOleMap::ProgId), std::exception);
    EXPECT_NE(module.Map(), nullptr);
    EXPECT_FALSE(module.MapReady());
    EXPECT_EQ(engine->sinkCount(), 0);
    // Without readiness the coordinate display stays silent.
    engine->clearCalls();
    module.ShowCoordinate("1", false, 11.0, 48.0, 50.0);
    EXPECT_TRUE(engine->calls().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Steps, FailingCreationStep,
                         ::testing::Values("ApplyStartSetting", "ToolbarOwner", "ToolbarCount",
                                           "ToolbarTitle", "SetToolbarShown", "createView",
                                           "Advise"));

TEST_F(EmbeddedMapTest, ClearingRemovesListedPinsAndSkipsOnesAlreadyGone)
{
    createMap();
    module.PlacePinAtCoordinate(0, 11.0, 48.0, "A", false);
    module.PlacePinAtCoordinate(0, 12.0, 49.0, "B", false);
    module.PlacePinAtCoordinate(0, 13.0, 50.0, "C", false);
    ASSERT_EQ(module.PushPins().Count(), 3);
    const auto b = std::dynamic_pointer_cast<IPushPinObject>(module.PushPins().Items(1));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->GetName(), "B");
    EXPECT_EQ(b->GetLongitude(), 12.0);
    EXPECT_EQ(b->GetLatitude(), 49.0);

    engine->removePin("B");
    engine->clearCalls();
    EXPECT_NO_THROW(module.ClearPushPins());

    EXPECT_EQ(module.PushPins().Count(), 0);
    EXPECT_TRUE(engine->pinsOnMap().isEmpty());
    EXPECT_EQ(engine->calls(), (QStringList{"PinByName(A)", "DeletePin(A)", "PinByName(B)",
                                            "PinByName(C)", "DeletePin(C)"}));
}

TEST_F(EmbeddedMapTest, FailureWhileClearingKeepsTheDeletedPinsListed)
{
    createMap();
    module.PlacePinAtCoordinate(0, 11.0, 48.0, "A", false);
    module.PlacePinAtCoordinate(0, 12.0, 49.0, "B", false);
    engine->failOn("DeletePin", 2);

    EXPECT_THROW(module.ClearPushPins(), MapPoint::EngineError);
    EXPECT_EQ(module.PushPins().Count(), 2);
    EXPECT_EQ(engine->pinsOnMap(), QStringList{"B"});

    // The next clearing skips the pin the engine no longer has.
    module.ClearPushPins();
    EXPECT_EQ(module.PushPins().Count(), 0);
    EXPECT_TRUE(engine->pinsOnMap().isEmpty());
}

TEST_F(EmbeddedMapTest, RedrawHandlerOfferedBeforeTheMapIsLost)
{
    int calls = 0;
    module.SetOnAfterRedraw([&](QObject *) { ++calls; });
    createMap();
    engine->redraw();
    engine->redraw();
    EXPECT_EQ(calls, 0);
}

TEST_F(EmbeddedMapTest, EveryRedrawCallsTheHandlerOnceWithTheWrapper)
{
    createMap();
    QList<QObject *> senders;
    module.SetOnAfterRedraw([&](QObject *sender) { senders << sender; });
    engine->redraw();
    engine->redraw();
    EXPECT_EQ(senders, (QList<QObject *>{module.MapServer(), module.MapServer()}));

    // Only the redraw event is handled.
    senders.clear();
    engine->raiseEveryEvent();
    EXPECT_EQ(senders.size(), 1);
}

TEST(TMapWrapper, DeliversEveryEventInDeclaredOrderAndLeavesOnDestruction)
{
    auto engine = std::make_shared<ScriptedEngine>();
    QStringList fired;
    QObject owner;
    auto *wrapper = new TMap(&owner);
    const auto record = [&](const char *name) {
        return [&fired, wrapper, name](QObject *sender) {
            EXPECT_EQ(sender, wrapper);
            fired << name;
        };
    };
    wrapper->OnAfterViewChange = record("AfterViewChange");
    wrapper->OnAfterRedraw = record("AfterRedraw");
    wrapper->OnRouteAfterCalculate = record("RouteAfterCalculate");
    wrapper->OnRouteAfterOptimize = record("RouteAfterOptimize");
    wrapper->OnNewDataSet = record("NewDataSet");
    wrapper->OnDataMapChange = record("DataMapChange");
    wrapper->OnSelectionChange = record("SelectionChange");
    wrapper->OnBeforeDblClick = record("BeforeDblClick");
    wrapper->OnBeforeClick = record("BeforeClick");
    wrapper->OnMouseDown = record("MouseDown");
    wrapper->OnMouseMove = record("MouseMove");
    wrapper->OnMouseUp = record("MouseUp");
    wrapper->SetConnectKind(TConnectKind::ckAttachToInterface);
    wrapper->ConnectTo(engine);

    engine->raiseEveryEvent();
    EXPECT_EQ(fired, (QStringList{"AfterViewChange", "AfterRedraw", "RouteAfterCalculate",
                                  "RouteAfterOptimize", "NewDataSet", "DataMapChange",
                                  "SelectionChange", "BeforeDblClick", "BeforeClick", "MouseDown",
                                  "MouseMove", "MouseUp"}));

    delete wrapper;
    EXPECT_EQ(engine->sinkCount(), 0);
    engine->raiseEveryEvent();  // must not reach the deleted wrapper
}

TEST(PushPinObject, CarriesItsInterfaceIdentifier)
{
    EXPECT_EQ(IPushPinObject::IID, QUuid("{B2CB604F-4F5F-44D8-A86F-6138CD329B42}"));
    TIntfPushPinObject pin;
    EXPECT_TRUE(pin.GetName().isEmpty());
    EXPECT_EQ(pin.GetLongitude(), 0.0);
    EXPECT_EQ(pin.GetLatitude(), 0.0);
}
