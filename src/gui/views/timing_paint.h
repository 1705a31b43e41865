// Drawing of the timing diagram: signal names with their values at the cursor down the
// left, one row per signal, clock states along the bottom, the cursor and two markers.
// Separate from the window so that a benchmark can paint 100 000 states off screen.
#pragma once

#include <QPainter>
#include <QSize>
#include <QString>
#include <cstdint>

#include "core/signal_changes.h"

namespace mira::gui {

inline constexpr int kTimingNameWidth = 170;
inline constexpr int kTimingRowHeight = 22;
inline constexpr int kTimingAxisHeight = 22;
// Closest zoom: a clock state this many pixels wide; farthest: the whole ring in a window.
inline constexpr double kTimingMaxPixelsPerState = 48.0;
inline constexpr double kTimingMinPixelsPerState = 1.0 / 256.0;

struct TimingView {
    double firstState = 0;  // state at the plot's left edge
    double pixelsPerState = 12;
    int64_t cursor = -1;
    int64_t marker1 = -1;
    int64_t marker2 = -1;
    int radix = 1;  // display radix of bus values

    double xOf(double state) const { return kTimingNameWidth + (state - firstState) * pixelsPerState; }
    double stateAt(double x) const { return firstState + (x - kTimingNameWidth) / pixelsPerState; }
    // How many states the plot of a diagram `width` pixels wide shows.
    double statesAcross(int width) const { return (width - kTimingNameWidth) / pixelsPerState; }
};

// A value as the diagram writes it: bus values in the display radix, the cycle by name,
// "z" for a line that carries nothing.
QString timingValueText(const core::SignalDef& def, const core::SignalValue& v, int radix);

void paintTiming(QPainter& p, QSize size, const core::SignalChanges& changes, const TimingView& v);

}  // namespace mira::gui
