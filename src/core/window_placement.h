// Where a window opens on the desktop: beside the panel when it has no place of its own,
// and always wholly on a screen. Plain arithmetic on rectangles, so it is tested without a
// display.
#pragma once

#include <span>

namespace mira::core {

struct PlaceRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool operator==(const PlaceRect&) const = default;
};

// Each further window opened beside the panel steps this far down and right, so that two
// of them never hide each other exactly.
inline constexpr int kCascadeStep = 24;
inline constexpr int kCascadeSteps = 8;
// A gap between the panel and a window placed beside it.
inline constexpr int kPanelGap = 4;

// Moves `window` (its outer frame) the least distance that puts it wholly inside `area`;
// a window larger than the area keeps its top-left corner at the area's.
PlaceRect fitInto(PlaceRect window, const PlaceRect& area);

// The screen area a window belongs to: the one it overlaps most, else the one nearest to
// its centre. `screens` must not be empty.
const PlaceRect& screenFor(const PlaceRect& window, std::span<const PlaceRect> screens);

// A window with no stored place takes free screen space first: the place nearest the panel,
// wholly on the panel's screen, that covers neither the panel nor any of the `others` (the
// windows already open), searched beside the panel (right, left, below, above, in that
// order of preference) and beside every open window. Only when no such place is left does
// the window cascade kCascadeStep down and away from the panel on the first side that fits,
// at a corner no other window has. Always wholly on the screen.
PlaceRect placeBesidePanel(const PlaceRect& panel, int width, int height,
                           std::span<const PlaceRect> screens,
                           std::span<const PlaceRect> others = {});

// A stored place: kept as it is while at least kMinVisible pixels of the window, each way,
// lie on some screen (the reach the settings' own clamp leaves); otherwise the window is
// moved the least distance that brings it wholly onto the screen it belongs to (one that
// was unplugged since, a place beyond every edge).
inline constexpr int kMinVisible = 40;
PlaceRect keepOnScreen(const PlaceRect& window, std::span<const PlaceRect> screens);

// A stored place when it is shown again: kept on a screen as keepOnScreen does, and, when
// it would then cover one of the `taken` windows (the layout changed since: the panel grew,
// another window was placed there), moved to the free place nearest to where it was.
// Kept where it is when no free place is left.
PlaceRect restorePlace(const PlaceRect& window, std::span<const PlaceRect> screens,
                       std::span<const PlaceRect> taken);

// The free place for a width x height window wholly on `screen` and covering none of
// `taken`, nearest to `near` (its corner for a stored place); width 0 when none is free.
enum class Nearness { BesideRect, CornerOfRect };
PlaceRect freePlace(const PlaceRect& near, Nearness how, int width, int height,
                    const PlaceRect& screen, std::span<const PlaceRect> taken);

// The window system the GUI asks Qt for. Natively on Wayland a program cannot place or
// move its own windows, so where an X server is reachable too (XWayland) the X11 platform
// ("xcb") is chosen and stored places keep working; an explicit QT_QPA_PLATFORM always
// wins. Empty: leave the choice to Qt.
const char* preferredPlatform(const char* qpaPlatform, const char* waylandDisplay,
                              const char* display);

}  // namespace mira::core
