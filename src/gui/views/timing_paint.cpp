#include "views/timing_paint.h"

#include <QFontMetrics>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "assembler/formatters.h"

namespace mira::gui {

namespace {

const QColor kBackground(250, 250, 246);
const QColor kNameBackground(232, 234, 238);
const QColor kTrace(0, 110, 40);
const QColor kBus(20, 70, 160);
const QColor kIdle(150, 150, 150);
const QColor kGrid(222, 222, 222);
const QColor kCursor(30, 90, 230);
const QColor kMarker1(0, 150, 60);
const QColor kMarker2(210, 40, 40);

// Tick spacing in states: 1, 2 or 5 times a power of ten, at least this many pixels apart.
constexpr double kMinTickPixels = 80;

int64_t tickStep(double pixelsPerState) {
    int64_t step = 1;
    for (;;) {
        for (int64_t f : {1, 2, 5})
            if (static_cast<double>(step * f) * pixelsPerState >= kMinTickPixels) return step * f;
        step *= 10;
    }
}

void paintRow(QPainter& p, const core::SignalChanges& changes, std::size_t i, const TimingView& v,
              int top, int right, int64_t first, int64_t last) {
    const auto& list = changes.changes(i);
    if (list.empty() || first >= last) return;
    const core::SignalDef& def = changes.signals()[i];
    const bool bit = def.width == 1;
    const double hi = top + 4, lo = top + kTimingRowHeight - 5, mid = (hi + lo) / 2;
    const QFontMetrics fm = p.fontMetrics();
    double prevY = -1;
    std::size_t k = changes.indexAt(i, static_cast<uint64_t>(first));
    int64_t start = first;
    while (start < last && k < list.size()) {
        const int64_t stop =
            k + 1 < list.size() ? std::min<int64_t>(static_cast<int64_t>(list[k + 1].state), last) : last;
        const double x0 = std::max(v.xOf(static_cast<double>(start)), double(kTimingNameWidth));
        const double x1 = std::min(v.xOf(static_cast<double>(stop)), double(right));
        if (x1 - x0 < 1.0 && stop < last) {
            // More than one change inside this pixel: a solid bar, then on past the pixel.
            const double px = std::floor(x0);
            p.setPen(bit ? kTrace : kBus);
            p.drawLine(QLineF(px, hi, px, lo));
            const int64_t next = static_cast<int64_t>(std::ceil(v.stateAt(px + 1.0)));
            start = std::max(next, stop);
            k = changes.indexAt(i, static_cast<uint64_t>(start));
            prevY = -1;
            continue;
        }
        const core::SignalValue& val = list[k].value;
        if (bit) {
            const double y = val.none ? mid : (val.bits ? hi : lo);
            p.setPen(val.none ? kIdle : kTrace);
            if (prevY >= 0 && prevY != y) p.drawLine(QLineF(x0, prevY, x0, y));
            p.drawLine(QLineF(x0, y, x1, y));
            prevY = y;
        } else {
            p.setPen(val.none ? kIdle : kBus);
            const double slant = std::min(3.0, (x1 - x0) / 2);
            const QPolygonF shape({{x0, mid}, {x0 + slant, hi}, {x1 - slant, hi}, {x1, mid},
                                   {x1 - slant, lo}, {x0 + slant, lo}});
            p.drawPolygon(shape);
            const QString text = timingValueText(def, val, v.radix);
            if (x1 - x0 - 2 * slant > fm.horizontalAdvance(text) + 2)
                p.drawText(QRectF(x0 + slant, hi, x1 - x0 - 2 * slant, lo - hi), Qt::AlignCenter, text);
        }
        start = stop;
        ++k;
    }
}

}  // namespace

QString timingValueText(const core::SignalDef& def, const core::SignalValue& v, int radix) {
    if (v.none) return QStringLiteral("z");
    switch (def.source) {
        case core::SignalSource::Cycle: return QString::fromLatin1(core::cycleName(static_cast<int>(v.bits)));
        case core::SignalSource::ClockState: return QStringLiteral("T%1").arg(v.bits);
        case core::SignalSource::SlotHandshake:
            return QStringLiteral("F%1 P%2").arg((v.bits >> 1) & 1).arg(v.bits & 1);
        default: break;
    }
    if (def.width == 1) return QString::number(v.bits);
    return QString::fromStdString(assembler::FormatRadix(v.bits, radix, false));
}

void paintTiming(QPainter& p, QSize size, const core::SignalChanges& changes, const TimingView& v) {
    const int w = size.width(), h = size.height();
    p.fillRect(QRect(0, 0, w, h), kBackground);
    p.fillRect(QRect(0, 0, kTimingNameWidth, h), kNameBackground);
    const int plotBottom = h - kTimingAxisHeight;
    const int64_t begin = static_cast<int64_t>(changes.begin());
    const int64_t end = static_cast<int64_t>(changes.end());
    const int64_t first = std::clamp<int64_t>(static_cast<int64_t>(std::floor(v.firstState)), begin, end);
    const int64_t last = std::clamp<int64_t>(static_cast<int64_t>(std::ceil(v.stateAt(w))) + 1, begin, end);

    // Grid and axis.
    const int64_t step = tickStep(v.pixelsPerState);
    p.setPen(kGrid);
    const int64_t firstTick = (std::max<int64_t>(0, static_cast<int64_t>(v.firstState)) / step) * step;
    for (int64_t s = firstTick; v.xOf(static_cast<double>(s)) < w; s += step) {
        const double x = v.xOf(static_cast<double>(s));
        if (x < kTimingNameWidth) continue;
        p.setPen(kGrid);
        p.drawLine(QLineF(x, 0, x, plotBottom));
        p.setPen(Qt::black);
        p.drawLine(QLineF(x, plotBottom, x, plotBottom + 4));
        p.drawText(QPointF(x + 2, h - 5), QString::number(s));
    }
    p.setPen(Qt::black);
    p.drawLine(kTimingNameWidth, plotBottom, w, plotBottom);
    p.drawText(QRect(4, plotBottom, kTimingNameWidth - 8, kTimingAxisHeight),
               Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("clock state"));

    const bool cursorIn = v.cursor >= begin && v.cursor < end;
    for (std::size_t i = 0; i < changes.signals().size(); ++i) {
        const int top = static_cast<int>(i) * kTimingRowHeight;
        if (top + kTimingRowHeight > plotBottom) break;
        const core::SignalDef& def = changes.signals()[i];
        p.setPen(kGrid);
        p.drawLine(0, top + kTimingRowHeight - 1, w, top + kTimingRowHeight - 1);
        p.setPen(Qt::black);
        const QRect nameRect(4, top, kTimingNameWidth - 8, kTimingRowHeight);
        p.drawText(nameRect, Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(def.name));
        if (cursorIn) {
            p.setPen(kCursor);
            p.drawText(nameRect, Qt::AlignVCenter | Qt::AlignRight,
                       timingValueText(def, changes.valueAt(i, static_cast<uint64_t>(v.cursor)), v.radix));
        }
        p.setClipRect(QRect(kTimingNameWidth, top, w - kTimingNameWidth, kTimingRowHeight));
        paintRow(p, changes, i, v, top, w, first, last);
        p.setClipping(false);
    }

    // Cursor and markers at the middle of their clock states.
    const std::pair<int64_t, QColor> lines[] = {
        {v.marker1, kMarker1}, {v.marker2, kMarker2}, {v.cursor, kCursor}};
    for (const auto& [state, color] : lines) {
        if (state < 0) continue;
        const double x = v.xOf(static_cast<double>(state) + 0.5);
        if (x < kTimingNameWidth || x > w) continue;
        p.setPen(QPen(color, 1, state == v.cursor ? Qt::SolidLine : Qt::DashLine));
        p.drawLine(QLineF(x, 0, x, plotBottom));
    }
}

}  // namespace mira::gui
