#include "progressUnit.h"

#include "GuiTestApplication.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QProgressBar>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct Bars {
    QProgressBar *lower;
    QProgressBar *upper;
};

Bars barsOf(Tfrm_progress &w)
{
    return {w.findChild<QProgressBar *>("progress1"), w.findChild<QProgressBar *>("progress2")};
}

class ProgressWindow : public ::testing::Test {
protected:
    QWidget owner;
    Tfrm_progress window{&owner, QStringLiteral("Geocoding all records")};
};

} // namespace

TEST_F(ProgressWindow, IsAToolWindowWithoutButtonsAndTakesTheCallersCaption)
{
    EXPECT_EQ(window.windowTitle(), "Geocoding all records");
    const Qt::WindowFlags f = window.windowFlags();
    EXPECT_EQ(f & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(f & Qt::CustomizeWindowHint);
    EXPECT_FALSE(f & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                      | Qt::WindowSystemMenuHint));
    EXPECT_EQ(window.size(), QSize(323, 60));
    EXPECT_EQ(window.parentWidget(), &owner);
}

TEST_F(ProgressWindow, RefusesToBeClosedByTheUser)
{
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(ProgressWindow, SingleBarLayoutLeavesOnlyTheLowerBarInView)
{
    const Bars bars = barsOf(window);
    window.SingleBarLayout();
    window.show();
    EXPECT_EQ(window.height(), 25);
    EXPECT_EQ(bars.lower->geometry(), QRect(0, 4, 323, 21));
    EXPECT_LE(bars.upper->geometry().bottom(), 0);
    EXPECT_FALSE(window.rect().intersects(bars.upper->geometry()));
    const auto *spacer = window.findChild<QFrame *>("Panel1");
    EXPECT_EQ(spacer->geometry().bottom() + 1, 4);

    window.SingleBarLayout();
    EXPECT_EQ(window.height(), 25);
}

TEST_F(ProgressWindow, SetRangeSetsBothBarsAndAcceptsAnEmptySpan)
{
    const Bars bars = barsOf(window);
    window.SetRange(0, 0);
    EXPECT_EQ(bars.lower->minimum(), 0);
    EXPECT_EQ(bars.lower->maximum(), 0);
    EXPECT_EQ(bars.upper->maximum(), 0);
}

TEST_F(ProgressWindow, SetRangeBelowTheMinimumRaisesAndLeavesBothBarsAlone)
{
    const Bars bars = barsOf(window);
    try {
        window.SetRange(0, -1);
        FAIL() << "SetRange(0, -1) was accepted";
    } catch (const std::runtime_error &e) {
        EXPECT_NE(std::string(e.what()).find("-1"), std::string::npos) << e.what();
    }
    EXPECT_EQ(bars.lower->minimum(), 0);
    EXPECT_EQ(bars.lower->maximum(), 100);
    EXPECT_EQ(bars.upper->minimum(), 0);
    EXPECT_EQ(bars.upper->maximum(), 100);
}

TEST_F(ProgressWindow, EachStepStandsOnItsOwn)
{
    const Bars bars = barsOf(window);
    // Lower minimum 150 is above the lower maximum 100: refused before anything changes.
    EXPECT_THROW(window.SetRange(150, 300), std::runtime_error);
    EXPECT_EQ(bars.lower->minimum(), 0);
    EXPECT_EQ(bars.lower->maximum(), 100);

    window.SetRange(0, 300);
    window.SetRange(150, 300);   // minimum 150 fits below the maximum 300 set before
    EXPECT_EQ(bars.lower->minimum(), 150);
    EXPECT_EQ(bars.upper->minimum(), 150);
}

TEST_F(ProgressWindow, SetPositionMovesOnlyTheLowerBar)
{
    const Bars bars = barsOf(window);
    window.SetRange(0, 9);
    window.SetPosition(4);
    EXPECT_EQ(bars.lower->value(), 4);
    EXPECT_EQ(bars.upper->value(), 0);
    window.SetPosition(12);
    EXPECT_EQ(bars.lower->value(), 9);
}
