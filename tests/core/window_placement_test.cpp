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
using mira::core::freePlace;
using mira::core::Nearness;
using mira::core::preferredPlatform;
using mira::core::restorePlace;

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

namespace {

struct Sized {
    const char* name;
    int width;
    int height;
};

// The module windows (frameless) and the views (with a guessed frame of 8 x 32), as they
// open.
const std::vector<Sized> kModules = {
    {"octal LED", 387, 220},    {"decimal LED", 413, 220}, {"ten-digit", 206, 90},
    {"alpha", 330, 99},         {"keypad", 290, 303},      {"keypad 2", 303, 289},
    {"ASCII", 300, 103},        {"printer", 392, 253},     {"melody", 232, 216},
    {"reader", 280, 348},       {"punch", 280, 348},       {"cassette", 216, 228},
    {"serial", 274, 257},       {"switches", 386, 78},
};
const std::vector<Sized> kViews = {
    {"memory", 728, 606}, {"RAM", 447, 291},  {"stack", 155, 184},
    {"addresses", 240, 152}, {"EEPROM", 430, 225}, {"trace", 704, 372},
};

int countOverlaps(const std::vector<PlaceRect>& rs) {
    int n = 0;
    for (size_t i = 0; i < rs.size(); ++i)
        for (size_t j = i + 1; j < rs.size(); ++j) n += overlaps(rs[i], rs[j]) ? 1 : 0;
    return n;
}

// Opens `windows` one after another beside `panel`; returns the places, panel first.
// A window that covers another is allowed only when no free place was left for it.
std::vector<PlaceRect> openAll(const PlaceRect& panel, const PlaceRect& screen,
                               const std::vector<Sized>& windows) {
    const std::vector<PlaceRect> screens = {screen};
    std::vector<PlaceRect> open;
    for (const Sized& w : windows) {
        std::vector<PlaceRect> taken = open;
        taken.push_back(panel);
        const bool spaceLeft =
            freePlace(panel, Nearness::BesideRect, w.width, w.height, screen, taken).width > 0;
        const PlaceRect r = placeBesidePanel(panel, w.width, w.height, screens, open);
        EXPECT_TRUE(whollyOn(r, screen)) << w.name;
        if (spaceLeft) {
            for (const PlaceRect& t : taken) EXPECT_FALSE(overlaps(r, t)) << w.name;
        }
        open.push_back(r);
    }
    open.insert(open.begin(), panel);
    return open;
}

}  // namespace

TEST(WindowPlacement, EveryModuleFindsFreeSpaceOnADesktop) {
    const PlaceRect desk{0, 0, 1600, 1000};
    struct Case {
        const char* where;
        PlaceRect panel;
    };
    // The panel at its default corner, in the middle, and in the bottom-right corner.
    for (const Case& c : {Case{"top-left", {0, 0, 735, 259}}, Case{"middle", {432, 370, 735, 259}},
                          Case{"bottom-right", {1600 - 735, 1000 - 259, 735, 259}}}) {
        const std::vector<PlaceRect> open = openAll(c.panel, desk, kModules);
        EXPECT_EQ(countOverlaps(open), 0) << c.where;
    }
}

TEST(WindowPlacement, ASmallScreenCascadesOnlyWhenFull) {
    // All fourteen modules and the views: what cannot fit any more cascades (openAll checks
    // that nothing covers another while space remains), still wholly on the screen.
    std::vector<Sized> all = kModules;
    all.insert(all.end(), kViews.begin(), kViews.end());
    for (const PlaceRect& screen : {PlaceRect{0, 0, 1366, 768}, PlaceRect{0, 0, 1600, 1000}}) {
        const std::vector<PlaceRect> open = openAll({0, 0, 735, 259}, screen, all);
        // The first windows always find room: the modules a class opens first never pile up.
        const std::vector<PlaceRect> first(open.begin(), open.begin() + 8);
        EXPECT_EQ(countOverlaps(first), 0) << screen.width;
    }
}

TEST(WindowPlacement, FreeSpaceIsFoundBesideAnyOpenWindow) {
    // The panel's sides are all taken; a gap remains only right of the window below it.
    const std::vector<PlaceRect> screens = {{0, 0, 1200, 800}};
    const PlaceRect panel{0, 0, 700, 300};
    const std::vector<PlaceRect> open = {{704, 0, 496, 800}, {0, 304, 300, 496}};
    const PlaceRect r = placeBesidePanel(panel, 300, 300, screens, open);
    EXPECT_EQ(r.y, 300 + kPanelGap);  // right under the panel
    EXPECT_GE(r.x, 300 + kPanelGap);
    for (const PlaceRect& o : open) EXPECT_FALSE(overlaps(r, o));
}

TEST(WindowPlacement, RestoredPlaceCoveringAnotherWindowMovesToTheNearestFreePlace) {
    const std::vector<PlaceRect> screens = {{0, 0, 1600, 1000}};
    // The octal display sits where the ten-digit display was stored.
    const std::vector<PlaceRect> taken = {{0, 0, 735, 288}, {800, 100, 387, 220}};
    const PlaceRect stored{820, 120, 206, 90};
    const PlaceRect r = restorePlace(stored, screens, taken);
    for (const PlaceRect& t : taken) EXPECT_FALSE(overlaps(r, t));
    EXPECT_EQ(r, (PlaceRect{820, 100 - kPanelGap - 90, 206, 90}));  // just above the display
    // A place that covers nothing stays exactly where it was stored.
    EXPECT_EQ(restorePlace({1300, 600, 206, 90}, screens, taken), (PlaceRect{1300, 600, 206, 90}));
    // A screen with no free place left: kept where stored.
    const std::vector<PlaceRect> full = {{0, 0, 1600, 1000}};
    EXPECT_EQ(restorePlace(stored, screens, full), stored);
}

TEST(WindowPlacement, XWaylandIsPreferredWhereAnXServerIsReachable) {
    struct Case {
        const char* qpa;
        const char* wayland;
        const char* display;
        const char* expected;
    };
    for (const Case& c : {Case{nullptr, "wayland-0", ":0", "xcb"}, Case{"", "wayland-0", ":0", "xcb"},
                          Case{nullptr, "wayland-0", nullptr, ""},  // pure Wayland
                          Case{nullptr, nullptr, ":0", ""},         // X11 session
                          Case{"wayland", "wayland-0", ":0", ""},   // the user's own choice
                          Case{"offscreen", nullptr, nullptr, ""}}) {
        EXPECT_STREQ(preferredPlatform(c.qpa, c.wayland, c.display), c.expected)
            << (c.qpa ? c.qpa : "-") << (c.wayland ? c.wayland : "-") << (c.display ? c.display : "-");
    }
}
