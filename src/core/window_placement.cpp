#include "core/window_placement.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace mira::core {

namespace {

int64_t overlapArea(const PlaceRect& a, const PlaceRect& b) {
    const int64_t w = std::min(a.right(), b.right()) - std::max(a.x, b.x);
    const int64_t h = std::min(a.bottom(), b.bottom()) - std::max(a.y, b.y);
    return (w > 0 && h > 0) ? w * h : 0;
}

bool inside(const PlaceRect& r, const PlaceRect& area) {
    return r.x >= area.x && r.y >= area.y && r.right() <= area.right() &&
           r.bottom() <= area.bottom();
}

int64_t distanceSquared(const PlaceRect& area, int px, int py) {
    const int64_t dx = px < area.x ? area.x - px : (px > area.right() ? px - area.right() : 0);
    const int64_t dy = py < area.y ? area.y - py : (py > area.bottom() ? py - area.bottom() : 0);
    return dx * dx + dy * dy;
}

// How far apart two rectangles are, squared (0 when they touch or overlap).
int64_t gapSquared(const PlaceRect& a, const PlaceRect& b) {
    const int64_t dx = std::max({0, b.x - a.right(), a.x - b.right()});
    const int64_t dy = std::max({0, b.y - a.bottom(), a.y - b.bottom()});
    return dx * dx + dy * dy;
}

}  // namespace

PlaceRect fitInto(PlaceRect window, const PlaceRect& area) {
    window.x = std::max(area.x, std::min(window.x, area.right() - window.width));
    window.y = std::max(area.y, std::min(window.y, area.bottom() - window.height));
    return window;
}

const PlaceRect& screenFor(const PlaceRect& window, std::span<const PlaceRect> screens) {
    const PlaceRect* best = &screens.front();
    int64_t bestOverlap = 0;
    for (const PlaceRect& s : screens) {
        const int64_t o = overlapArea(window, s);
        if (o > bestOverlap) {
            bestOverlap = o;
            best = &s;
        }
    }
    if (bestOverlap > 0) return *best;
    const int cx = window.x + window.width / 2;
    const int cy = window.y + window.height / 2;
    int64_t nearest = std::numeric_limits<int64_t>::max();
    for (const PlaceRect& s : screens) {
        const int64_t d = distanceSquared(s, cx, cy);
        if (d < nearest) {
            nearest = d;
            best = &s;
        }
    }
    return *best;
}

PlaceRect placeBesidePanel(const PlaceRect& panel, int width, int height,
                           std::span<const PlaceRect> screens, std::span<const PlaceRect> others) {
    const PlaceRect& screen = screenFor(panel, screens);
    // Beside the panel, slid along its edge as far as the screen needs.
    const int alongX = std::max(screen.x, std::min(panel.x, screen.right() - width));
    const int alongY = std::max(screen.y, std::min(panel.y, screen.bottom() - height));
    const std::array<PlaceRect, 4> sides = {{
        {panel.right() + kPanelGap, alongY, width, height},
        {panel.x - kPanelGap - width, alongY, width, height},
        {alongX, panel.bottom() + kPanelGap, width, height},
        {alongX, panel.y - kPanelGap - height, width, height},
    }};
    auto cornerTaken = [&](const PlaceRect& r) {
        return std::any_of(others.begin(), others.end(),
                           [&](const PlaceRect& o) { return o.x == r.x && o.y == r.y; });
    };
    // The n-th cascade place of a side: down and away from the panel, whole on the screen.
    auto stepped = [&](size_t side, int n) {
        PlaceRect r = sides[side];
        r.x += (side == 1 ? -1 : 1) * n * kCascadeStep;
        r.y += n * kCascadeStep;
        return fitInto(r, screen);
    };
    // Free space first: beside the panel, else beside any open window.
    std::vector<PlaceRect> taken(others.begin(), others.end());
    taken.push_back(panel);
    const PlaceRect free = freePlace(panel, Nearness::BesideRect, width, height, screen, taken);
    if (free.width > 0) return free;
    // Else a cascade on the first side that takes the window whole.
    for (size_t i = 0; i < sides.size(); ++i) {
        if (!inside(sides[i], screen)) continue;
        for (int n = 0; n < kCascadeSteps; ++n) {
            const PlaceRect r = stepped(i, n);
            if (!cornerTaken(r)) return r;
        }
        return stepped(i, kCascadeSteps - 1);
    }
    // No side takes the whole window: the side where, pushed wholly onto the screen, it
    // covers the least of the panel, cascaded likewise.
    size_t best = 0;
    int64_t bestOverlap = std::numeric_limits<int64_t>::max();
    for (size_t i = 0; i < sides.size(); ++i) {
        const int64_t o = overlapArea(stepped(i, 0), panel);
        if (o < bestOverlap) {
            bestOverlap = o;
            best = i;
        }
    }
    for (int n = 0; n < kCascadeSteps; ++n)
        if (!cornerTaken(stepped(best, n))) return stepped(best, n);
    return stepped(best, 0);
}

PlaceRect keepOnScreen(const PlaceRect& window, std::span<const PlaceRect> screens) {
    for (const PlaceRect& s : screens) {
        const int w = std::min(window.right(), s.right()) - std::max(window.x, s.x);
        const int h = std::min(window.bottom(), s.bottom()) - std::max(window.y, s.y);
        if (w >= kMinVisible && h >= kMinVisible) return window;
    }
    return fitInto(window, screenFor(window, screens));
}

PlaceRect freePlace(const PlaceRect& near, Nearness how, int width, int height,
                    const PlaceRect& screen, std::span<const PlaceRect> taken) {
    // Every place worth trying has its left or right edge at a screen edge or kPanelGap
    // beside an edge of `near` or a taken window, and likewise its top or bottom edge:
    // a free place can always slide until it meets one of those.
    std::vector<int> xs = {screen.x, screen.right() - width, near.x};
    std::vector<int> ys = {screen.y, screen.bottom() - height, near.y};
    auto addEdges = [&](const PlaceRect& r) {
        xs.insert(xs.end(), {r.right() + kPanelGap, r.x - kPanelGap - width, r.x, r.right() - width});
        ys.insert(ys.end(), {r.bottom() + kPanelGap, r.y - kPanelGap - height, r.y, r.bottom() - height});
    };
    addEdges(near);
    for (const PlaceRect& t : taken) addEdges(t);
    auto isFree = [&](const PlaceRect& r) {
        if (!inside(r, screen)) return false;
        return std::none_of(taken.begin(), taken.end(),
                            [&](const PlaceRect& t) { return overlapArea(r, t) > 0; });
    };
    auto distance = [&](const PlaceRect& r) {
        if (how == Nearness::CornerOfRect) {
            const int64_t dx = r.x - near.x;
            const int64_t dy = r.y - near.y;
            return dx * dx + dy * dy;
        }
        return gapSquared(r, near);
    };
    // Beside `near` on its four sides first (so ties keep that order), then the grid.
    const int alongX = std::max(screen.x, std::min(near.x, screen.right() - width));
    const int alongY = std::max(screen.y, std::min(near.y, screen.bottom() - height));
    std::vector<PlaceRect> tries = {
        {near.right() + kPanelGap, alongY, width, height},
        {near.x - kPanelGap - width, alongY, width, height},
        {alongX, near.bottom() + kPanelGap, width, height},
        {alongX, near.y - kPanelGap - height, width, height},
    };
    for (int y : ys)
        for (int x : xs) tries.push_back({x, y, width, height});
    PlaceRect best{0, 0, 0, 0};
    int64_t bestDistance = std::numeric_limits<int64_t>::max();
    for (const PlaceRect& r : tries) {
        if (!isFree(r)) continue;
        const int64_t d = distance(r);
        if (d < bestDistance) {
            bestDistance = d;
            best = r;
        }
    }
    return best;
}

PlaceRect restorePlace(const PlaceRect& window, std::span<const PlaceRect> screens,
                       std::span<const PlaceRect> taken) {
    const PlaceRect kept = keepOnScreen(window, screens);
    const bool covers = std::any_of(taken.begin(), taken.end(),
                                    [&](const PlaceRect& t) { return overlapArea(kept, t) > 0; });
    if (!covers) return kept;
    const PlaceRect free = freePlace(kept, Nearness::CornerOfRect, kept.width, kept.height,
                                     screenFor(kept, screens), taken);
    return free.width > 0 ? free : kept;
}

const char* preferredPlatform(const char* qpaPlatform, const char* waylandDisplay,
                              const char* display) {
    auto set = [](const char* v) { return v != nullptr && *v != '\0'; };
    if (set(qpaPlatform)) return "";
    return set(waylandDisplay) && set(display) ? "xcb" : "";
}

}  // namespace mira::core
