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

// A window with no stored place: to the right of the panel, else to its left, below or
// above it, the first side that takes the whole window on the panel's screen without
// covering one of the `others` (the windows already open). When every such side is taken,
// the window cascades kCascadeStep down and away from the panel on the first side that
// fits, at a corner no other window has. Always wholly on the screen.
PlaceRect placeBesidePanel(const PlaceRect& panel, int width, int height,
                           std::span<const PlaceRect> screens,
                           std::span<const PlaceRect> others = {});

// A stored place: kept as it is while at least kMinVisible pixels of the window, each way,
// lie on some screen (the reach the settings' own clamp leaves); otherwise the window is
// moved the least distance that brings it wholly onto the screen it belongs to (one that
// was unplugged since, a place beyond every edge).
inline constexpr int kMinVisible = 40;
PlaceRect keepOnScreen(const PlaceRect& window, std::span<const PlaceRect> screens);

}  // namespace mira::core
