// Where windows open: beside the panel, cascaded, and always wholly on a screen.
#include "core/window_placement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using mira::core::kCascadeStep;
using mira::core::keepOnScreen;
using mira::core::kPanelGap;
using mira::core::placeBesidePanel;
using mira::core::PlaceRect;

namespace {

const std::vector<PlaceRect> kOneScreen = {{0, 0, 1600, 1000}};
// The panel's outer frame at the top-left corner of the screen.
const PlaceRect kPanel{0, 0, 735, 300};

bool whollyOn(const PlaceRect& r, const PlaceRect& s) {
    return r.x >= s.x && r.y >= s.y && r.right() <= s.right() && r.bottom() <= s.bottom();
}

bool overlaps(const PlaceRect& a, const PlaceRect& b) {
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

}  // namespace

TEST(WindowPlacement, FirstWindowOpensRightOfThePanelAtItsTop) {
    const PlaceRect r = placeBesidePanel(kPanel, 724, 640, kOneScreen);
    EXPECT_EQ(r, (PlaceRect{735 + kPanelGap, 0, 724, 640}));
    EXPECT_FALSE(overlaps(r, kPanel));
}

TEST(WindowPlacement, NextWindowsTakeAFreeSideThenCascade) {
    std::vector<PlaceRect> open;
    for (int i = 0; i < 7; ++i) {
        const PlaceRect r = placeBesidePanel(kPanel, 724, 640, kOneScreen, open);
        EXPECT_TRUE(whollyOn(r, kOneScreen[0])) << i;
        EXPECT_FALSE(overlaps(r, kPanel)) << i;
        for (const PlaceRect& o : open) EXPECT_FALSE(o.x == r.x && o.y == r.y) << i;
        open.push_back(r);
    }
    // Right of the panel, then below it (free), then cascading down from the first.
    EXPECT_EQ(open[1], (PlaceRect{0, 300 + kPanelGap, 724, 640}));
    EXPECT_EQ(open[2], (PlaceRect{739 + kCascadeStep, kCascadeStep, 724, 640}));
    EXPECT_EQ(open[3].y, 2 * kCascadeStep);
}

TEST(WindowPlacement, PanelAtTheRightEdgeSendsTheWindowLeftOrBelow) {
    const PlaceRect panel{1600 - 735, 100, 735, 300};
    const PlaceRect left = placeBesidePanel(panel, 500, 400, kOneScreen);
    EXPECT_EQ(left, (PlaceRect{panel.x - kPanelGap - 500, 100, 500, 400}));
    // Too wide for either side: below the panel.
    const PlaceRect below = placeBesidePanel(panel, 1000, 400, kOneScreen);
    EXPECT_EQ(below.y, panel.bottom() + kPanelGap);
    EXPECT_TRUE(whollyOn(below, kOneScreen[0]));
    EXPECT_FALSE(overlaps(below, panel));
}

TEST(WindowPlacement, NoRoomBesideThePanelStillKeepsTheWindowOnScreen) {
    const std::vector<PlaceRect> small = {{0, 0, 1024, 768}};
    const PlaceRect panel{100, 200, 735, 400};
    const std::vector<PlaceRect> others = {{0, 0, 300, 300}};
    const PlaceRect r = placeBesidePanel(panel, 724, 640, small, others);
    EXPECT_TRUE(whollyOn(r, small[0]));
    // A panel in the middle of the screen: the window covers as little of it as it can.
    const PlaceRect middle{432, 370, 735, 259};
    const PlaceRect m = placeBesidePanel(middle, 728, 606, kOneScreen);
    EXPECT_TRUE(whollyOn(m, kOneScreen[0]));
    const int coverW = std::min(m.right(), middle.right()) - std::max(m.x, middle.x);
    const int coverH = std::min(m.bottom(), middle.bottom()) - std::max(m.y, middle.y);
    EXPECT_LE(coverW * coverH, 300 * 259);
    // A window larger than the screen keeps its title bar reachable at the top-left.
    const PlaceRect huge = placeBesidePanel(panel, 2000, 900, small);
    EXPECT_EQ(huge.x, 0);
    EXPECT_EQ(huge.y, 0);
}

TEST(WindowPlacement, WindowFollowsThePanelOntoItsScreen) {
    const std::vector<PlaceRect> two = {{0, 0, 1600, 1000}, {1600, 0, 1280, 1024}};
    const PlaceRect panel{1700, 50, 735, 300};
    const PlaceRect r = placeBesidePanel(panel, 400, 300, two);
    EXPECT_TRUE(whollyOn(r, two[1]));
    EXPECT_EQ(r.x, panel.right() + kPanelGap);
}

TEST(WindowPlacement, StoredPlaceOnAScreenIsKept) {
    const std::vector<PlaceRect> two = {{0, 0, 1600, 1000}, {1600, 0, 1280, 1024}};
    const PlaceRect onSecond{2000, 300, 500, 400};
    EXPECT_EQ(keepOnScreen(onSecond, two), onSecond);
    const PlaceRect onFirst{10, 20, 500, 400};
    EXPECT_EQ(keepOnScreen(onFirst, two), onFirst);
}

TEST(WindowPlacement, StoredPlaceOffEveryScreenComesBackWhole) {
    const std::vector<PlaceRect> two = {{0, 0, 1600, 1000}, {1600, 0, 1280, 1024}};
    // The second screen was unplugged: the place lies beyond the first.
    const PlaceRect gone = keepOnScreen({2000, 300, 500, 400}, kOneScreen);
    EXPECT_EQ(gone, (PlaceRect{1100, 300, 500, 400}));
    // Half over the bottom edge of the screen: still in reach, kept. Barely showing: whole.
    EXPECT_EQ(keepOnScreen({100, 800, 500, 400}, kOneScreen), (PlaceRect{100, 800, 500, 400}));
    EXPECT_EQ(keepOnScreen({100, 990, 500, 400}, kOneScreen), (PlaceRect{100, 600, 500, 400}));
    EXPECT_EQ(keepOnScreen({1570, 10, 500, 400}, kOneScreen), (PlaceRect{1100, 10, 500, 400}));
    // Above and left of everything: to the nearest screen's corner.
    const PlaceRect negative = keepOnScreen({-3000, -500, 500, 400}, two);
    EXPECT_EQ(negative, (PlaceRect{0, 0, 500, 400}));
    // Across two screens it stays; beyond the second one's foot it comes back onto it.
    EXPECT_EQ(keepOnScreen({1500, 100, 500, 400}, two), (PlaceRect{1500, 100, 500, 400}));
    EXPECT_EQ(keepOnScreen({2000, 1020, 500, 400}, two), (PlaceRect{2000, 624, 500, 400}));
}
