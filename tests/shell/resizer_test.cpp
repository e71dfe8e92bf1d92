// The resizer unit: control rectangles for a new window size.
#include "shell/resizer.h"

#include <gtest/gtest.h>

using namespace kestrel::shell;

namespace {

// A browse as designed: 600 x 400, a list filling most of it, a column of
// buttons on the right, a row of buttons along the bottom, a locator entry,
// a check box, a prompt.
struct Browse {
    enum { List = 1, Insert, Close, Help, Locator, Check, Prompt, Tiny };
    Resizer resizer{QRect(200, 100, 600, 400),
                    {
                        Resizer::control(List, ControlKind::Other, QRect(10, 40, 480, 300)),
                        Resizer::control(Insert, ControlKind::Button, QRect(500, 40, 80, 24)),
                        Resizer::control(Close, ControlKind::Button, QRect(500, 360, 80, 24)),
                        Resizer::control(Help, ControlKind::Button, QRect(10, 360, 80, 24)),
                        Resizer::control(Locator, ControlKind::Entry, QRect(10, 10, 200, 22)),
                        Resizer::control(Check, ControlKind::CheckBox, QRect(300, 10, 100, 20)),
                        Resizer::control(Prompt, ControlKind::DisplayText, QRect(220, 12, 60, 16)),
                        Resizer::control(Tiny, ControlKind::DisplayText, QRect(420, 12, 1, 16)),
                    }};

    std::vector<ControlPlacement> layOut(int w, int h)
    {
        auto placed = resizer.resize(QSize(w, h));
        EXPECT_TRUE(placed.has_value());
        return placed.value_or(std::vector<ControlPlacement>{});
    }
};

QRect rectOf(const std::vector<ControlPlacement>& placed, int number)
{
    for (const ControlPlacement& p : placed)
        if (p.number == number)
            return p.rect;
    ADD_FAILURE() << "control " << number << " not placed";
    return {};
}

} // namespace

TEST(Resizer, WiderBrowseKeepsButtonsAtTheirNearerSideWhileTheListStretches)
{
    Browse b;
    const auto placed = b.layOut(900, 400);  // 1.5 times as wide, same height
    ASSERT_EQ(placed.size(), 8u);

    // The list scales: x and width by 1.5, y and height unchanged.
    EXPECT_EQ(rectOf(placed, Browse::List), QRect(15, 40, 720, 300));
    // Right-hand buttons keep their size and their 20-unit gap to the right edge.
    EXPECT_EQ(rectOf(placed, Browse::Insert), QRect(800, 40, 80, 24));
    EXPECT_EQ(rectOf(placed, Browse::Close), QRect(800, 360, 80, 24));
    // A button nearer the left edge keeps its distance from the left edge.
    EXPECT_EQ(rectOf(placed, Browse::Help), QRect(10, 360, 80, 24));
    // The entry stretches but keeps its height; the check box keeps its size.
    EXPECT_EQ(rectOf(placed, Browse::Locator), QRect(15, 10, 300, 22));
    EXPECT_EQ(rectOf(placed, Browse::Check), QRect(450, 10, 100, 20));
    EXPECT_EQ(rectOf(placed, Browse::Prompt), QRect(330, 12, 90, 16));
}

TEST(Resizer, TallerBrowseKeepsBottomButtonsAtTheBottom)
{
    Browse b;
    const auto placed = b.layOut(600, 500);  // 1.25 times as tall
    // Vertical gap of Close to the bottom: 400 - 360 - 24 = 16 < 360, so it stays 16 from the bottom.
    EXPECT_EQ(rectOf(placed, Browse::Close), QRect(500, 460, 80, 24));
    EXPECT_EQ(rectOf(placed, Browse::Help), QRect(10, 460, 80, 24));
    // Insert is nearer the top and stays where it was.
    EXPECT_EQ(rectOf(placed, Browse::Insert), QRect(500, 40, 80, 24));
    EXPECT_EQ(rectOf(placed, Browse::List), QRect(10, 50, 480, 375));
    EXPECT_EQ(rectOf(placed, Browse::Locator), QRect(10, 13, 200, 22));  // height locked
}

TEST(Resizer, MoveOrUnchangedSizeLaysOutNothing)
{
    Browse b;
    EXPECT_FALSE(b.resizer.resize(QSize(600, 400)).has_value());  // the designed size
    EXPECT_TRUE(b.resizer.resize(QSize(700, 400)).has_value());
    EXPECT_FALSE(b.resizer.resize(QSize(700, 400)).has_value());  // moved, not resized
    EXPECT_TRUE(b.resizer.resize(QSize(700, 450)).has_value());   // height alone counts
    // Back to the designed size is a change, and puts everything back.
    const auto back = b.resizer.resize(QSize(600, 400));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(rectOf(*back, Browse::List), QRect(10, 40, 480, 300));
    EXPECT_EQ(rectOf(*back, Browse::Close), QRect(500, 360, 80, 24));
}

TEST(Resizer, DisplayTextDesignedOneUnitWideTakesItsNaturalWidth)
{
    Browse b;
    for (const ControlPlacement& p : b.layOut(800, 400))
        EXPECT_EQ(p.naturalWidth, p.number == Browse::Tiny) << p.number;
}

TEST(Resizer, FactorsAreKeptToFourDecimals)
{
    EXPECT_DOUBLE_EQ(Resizer::factor(1000, 300), 3.3333);
    EXPECT_DOUBLE_EQ(Resizer::factor(200, 300), 0.6667);
    EXPECT_DOUBLE_EQ(Resizer::factor(600, 600), 1.0);
    // Scaled positions come from the rounded factor: 480 * 3.3333 = 1599.98 -> 1600,
    // 10 * 3.3333 = 33.3 -> 33.
    Browse b;
    const auto placed = b.layOut(2000, 400);
    EXPECT_EQ(rectOf(placed, Browse::List), QRect(33, 40, 1600, 300));
}

TEST(Resizer, ExplicitStrategiesLockLeftAndFixCentre)
{
    // Controls given strategies other than their kind's default.
    ResizerControl locked{1, ControlKind::Other, LockLeft | LockTop, 0, QRect(100, 50, 200, 100)};
    ResizerControl centred{2, ControlKind::Other, FixCentreH | FixCentreV, LockWidth | LockHeight,
                           QRect(250, 180, 100, 40)};
    ResizerControl centredScaled{3, ControlKind::Other, FixCentreH, 0, QRect(250, 180, 100, 40)};
    ResizerControl right{4, ControlKind::Other, FixRight, 0, QRect(450, 0, 100, 40)};
    Resizer r(QRect(0, 0, 600, 400), {centredScaled, locked, right, centred});
    ASSERT_EQ(r.controls().front().number, 1);  // kept in control order

    const auto placed = r.resize(QSize(1200, 800));
    ASSERT_TRUE(placed.has_value());
    // Lock left/top: position stays, size scales.
    EXPECT_EQ(rectOf(*placed, 1), QRect(100, 50, 400, 200));
    // Centred with size locked: same offset from the centre (250 - 300 = -50; 180 - 200 = -20).
    EXPECT_EQ(rectOf(*placed, 2), QRect(550, 380, 100, 40));
    // Centred, width scaled: offset from the centre scales too.
    EXPECT_EQ(rectOf(*placed, 3), QRect(500, 360, 200, 80));
    // Fix right with width scaled: x = 1200 - (600 - 450) * 2.
    EXPECT_EQ(rectOf(*placed, 4), QRect(900, 0, 200, 80));
}

TEST(Resizer, NarrowerWindowKeepsButtonsInside)
{
    // A window made smaller than designed (the adapter forbids it, the unit must still be sane).
    Browse b;
    const auto placed = b.layOut(300, 200);
    EXPECT_EQ(rectOf(placed, Browse::Insert), QRect(200, 40, 80, 24));
    EXPECT_EQ(rectOf(placed, Browse::Close), QRect(200, 160, 80, 24));
    EXPECT_EQ(rectOf(placed, Browse::List), QRect(5, 20, 240, 150));
}
