#include "OleClassRegistry.h"
#include "OleContainer.h"
#include "OleError.h"
#include "OleObject.h"

#include "GuiTestApplication.h"

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

class LabelObject : public OleObject {
public:
    QWidget *createView(QWidget *parent) override
    {
        ++viewsMade;
        return new QLabel(QStringLiteral("embedded"), parent);
    }
    int viewsMade = 0;
};

class OleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OleClassRegistry::instance().registerClass("Test.Label.1", [] { return std::make_shared<LabelObject>(); });
        OleClassRegistry::instance().registerClass("Test.Empty.1", [] { return std::shared_ptr<OleObject>(); });
    }
    void TearDown() override
    {
        OleClassRegistry::instance().unregisterClass("Test.Label.1");
        OleClassRegistry::instance().unregisterClass("Test.Empty.1");
    }
};

TEST_F(OleTest, RegistryCreatesRegisteredClassesAndRejectsOthersWithThePlatformMessage)
{
    auto &registry = OleClassRegistry::instance();
    EXPECT_NE(dynamic_cast<LabelObject *>(registry.create("Test.Label.1").get()), nullptr);
    EXPECT_EQ(registry.create("Test.Empty.1"), nullptr);
    try {
        registry.create("Test.Missing.1");
        FAIL() << "unknown identifier accepted";
    } catch (const OleError &e) {
        EXPECT_STREQ(e.what(), "Invalid class string");
    }
    // Identifiers are exact: another letter case is another class.
    EXPECT_THROW(registry.create("test.label.1"), OleError);
}

TEST_F(OleTest, ContainerHandsOutTheAutomationObjectAndShowsItsViewFillingTheContainer)
{
    OleContainer container;
    EXPECT_THROW(container.OleObjectInterface(), OleError);
    container.CreateObject("Test.Label.1", false);
    auto object = std::dynamic_pointer_cast<LabelObject>(container.OleObjectInterface());
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(container.objectView(), nullptr);

    container.resize(400, 300);
    container.show();
    container.DoVerb(OleContainer::ShowVerb);
    container.DoVerb(OleContainer::ShowVerb);
    EXPECT_EQ(object->viewsMade, 1);
    ASSERT_NE(container.objectView(), nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(container.objectView()->isVisible());
    EXPECT_EQ(container.objectView()->geometry(), container.rect());
}

TEST_F(OleTest, ContainerRefusesIconsUnknownVerbsAndShowingNothing)
{
    OleContainer container;
    EXPECT_THROW(container.CreateObject("Test.Label.1", true), OleError);
    EXPECT_THROW(container.DoVerb(OleContainer::ShowVerb), OleError);
    container.CreateObject("Test.Label.1", false);
    EXPECT_THROW(container.DoVerb(0), OleError);

    // A class without automation support: the container holds it, but has nothing to show.
    container.CreateObject("Test.Empty.1", false);
    EXPECT_EQ(container.OleObjectInterface(), nullptr);
    EXPECT_THROW(container.DoVerb(OleContainer::ShowVerb), OleError);
}

TEST_F(OleTest, FailedCreationKeepsTheObjectHeldBefore)
{
    OleContainer container;
    container.CreateObject("Test.Label.1", false);
    const auto before = container.OleObjectInterface();
    EXPECT_THROW(container.CreateObject("MapPoint.Map.XX.9", false), OleError);
    EXPECT_EQ(container.OleObjectInterface(), before);
}

} // namespace
