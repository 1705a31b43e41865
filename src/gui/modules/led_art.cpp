#include "modules/led_art.h"
#include "artwork_font.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <array>
#include <cmath>

namespace mira::gui::ledart {

Faults& faults() {
    static Faults f;
    return f;
}

namespace {

QImage blank(int w, int h, qreal dpr, QImage::Format format, QColor fill) {
    QImage img(static_cast<int>(std::ceil(w * dpr)), static_cast<int>(std::ceil(h * dpr)),
               format);
    if (img.isNull()) return img;
    img.setDevicePixelRatio(dpr);
    img.fill(fill);
    return img;
}

// --- seven segments ---

// Segment bits a..g: top, upper right, lower right, bottom, lower left, upper left, middle.
constexpr std::array<uint8_t, devices::kGlyphCount> kSegments = {
    0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F,  // 0..9
    0x00, 0x40,                                                  // blank, minus
    0x77, 0x7C, 0x39, 0x5E, 0x79, 0x71,                          // A b C d E F
};

// The digit's box inside its 70 x 88 cell; the right edge stays within the 66-pixel
// pitch so the next digit never covers a segment.
constexpr double kLeft = 13, kRight = 55, kTop = 9, kBottom = 79;
constexpr double kThick = 9.5;
constexpr double kGap = 1.6;
constexpr double kSlant = 0.09;  // a slight italic lean, as on real displays

QPolygonF segment(int index) {
    const double midY = (kTop + kBottom) / 2;
    const double t = kThick, h = t / 2;
    auto horiz = [&](double y, double x1, double x2) {
        x1 += kGap;
        x2 -= kGap;
        return QPolygonF({{x1, y}, {x1 + h, y - h}, {x2 - h, y - h}, {x2, y}, {x2 - h, y + h},
                          {x1 + h, y + h}});
    };
    auto vert = [&](double x, double y1, double y2) {
        y1 += kGap;
        y2 -= kGap;
        return QPolygonF({{x, y1}, {x + h, y1 + h}, {x + h, y2 - h}, {x, y2}, {x - h, y2 - h},
                          {x - h, y1 + h}});
    };
    const double l = kLeft + h, r = kRight - h, tp = kTop + h, bt = kBottom - h;
    QPolygonF p;
    switch (index) {
    case 0: p = horiz(tp, l, r); break;
    case 1: p = vert(r, tp, midY); break;
    case 2: p = vert(r, midY, bt); break;
    case 3: p = horiz(bt, l, r); break;
    case 4: p = vert(l, midY, bt); break;
    case 5: p = vert(l, tp, midY); break;
    default: p = horiz(midY, l, r); break;
    }
    for (QPointF& pt : p) pt.rx() += (midY - pt.y()) * kSlant;
    return p;
}

void drawLedGlyph(QPainter& p, int glyph) {
    const uint8_t bits = kSegments[glyph];
    p.setPen(Qt::NoPen);
    for (int s = 0; s < 7; ++s) {
        const QPolygonF poly = segment(s);
        if (!(bits & (1 << s))) {
            p.setBrush(QColor(0x22, 0x07, 0x05));
            p.drawPolygon(poly);
            continue;
        }
        // Glow first, then the lit segment with a hot centre.
        p.setPen(QPen(QColor(255, 30, 10, 60), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(poly);
        p.setPen(Qt::NoPen);
        const QRectF b = poly.boundingRect();
        QLinearGradient g(b.topLeft(), b.bottomRight());
        g.setColorAt(0, QColor(0xff, 0x5a, 0x3c));
        g.setColorAt(0.5, QColor(0xff, 0x2a, 0x14));
        g.setColorAt(1, QColor(0xe0, 0x12, 0x08));
        p.setBrush(g);
        p.drawPolygon(poly);
    }
}

// --- Nixie ---

const QColor kTubeInside(0x16, 0x0e, 0x0a);

const char kNixieChars[devices::kGlyphCount + 1] = "0123456789 -ABCDEF";

QPainterPath nixiePath(char c) {
    QFont f = artworkFont(ArtFace::Condensed, 30);
    QPainterPath path;
    path.addText(0, 0, f, QString(QLatin1Char(c)));
    // Centre the figure in the 29 x 36 cell.
    const QRectF b = path.boundingRect();
    const double tall = c == '-' ? 24.0 : 26.0;
    const double scale = c == '-' ? 1.0 : tall / b.height();
    QTransform t;
    t.translate(kNixieGlyphWidth / 2.0, kNixieStripHeight / 2.0);
    t.scale(scale, scale);
    t.translate(-b.center().x(), -b.center().y());
    return t.map(path);
}

void drawNixieGlyph(QPainter& p, int glyph) {
    // The unlit cathodes stand behind the lit one, a faint stack of wire.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x3a, 0x30, 0x2a), 0.7));
    for (char c : {'0', '8'}) p.drawPath(nixiePath(c));
    const char c = kNixieChars[glyph];
    if (c == ' ') return;
    const QPainterPath path = nixiePath(c);
    p.setPen(QPen(QColor(255, 110, 20, 55), 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(QColor(255, 140, 40, 130), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(QColor(255, 215, 140), 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

void screw(QPainter& p, QPointF c) {
    QRadialGradient g(c - QPointF(1.5, 1.5), 6);
    g.setColorAt(0, QColor(0xd8, 0xdc, 0xe0));
    g.setColorAt(1, QColor(0x5a, 0x5e, 0x64));
    p.setPen(QPen(QColor(0x18, 0x1a, 0x1c), 1));
    p.setBrush(g);
    p.drawEllipse(c, 5, 5);
    p.setPen(QPen(QColor(0x30, 0x32, 0x36), 1.4));
    p.drawLine(c + QPointF(-3.2, 1.6), c + QPointF(3.2, -1.6));
}

}  // namespace

QImage makeLedStrip(qreal dpr) {
    if (faults().led) return {};
    QImage img = blank(kLedStripWidth, kLedStripHeight, dpr, QImage::Format_RGB32, Qt::black);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < devices::kGlyphCount; ++i) {
        p.save();
        p.translate(i * kLedGlyphWidth, 0);
        p.setClipRect(QRectF(0, 0, kLedGlyphWidth, kLedStripHeight));
        drawLedGlyph(p, i);
        p.restore();
    }
    return img;
}

QImage makeNixieStrip(qreal dpr) {
    if (faults().nixie) return {};
    QImage img =
        blank(kNixieStripWidth, kNixieStripHeight, dpr, QImage::Format_RGB32, kTubeInside);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < devices::kGlyphCount; ++i) {
        p.save();
        p.translate(i * kNixieGlyphWidth, 0);
        p.setClipRect(QRectF(0, 0, kNixieGlyphWidth, kNixieStripHeight));
        drawNixieGlyph(p, i);
        p.restore();
    }
    return img;
}

QImage makeTube(qreal dpr) {
    if (faults().tube) return {};
    QImage img = blank(kTubeWidth, kTubeHeight, dpr, QImage::Format_RGB32, Qt::black);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Base with pins at the bottom.
    QLinearGradient base(0, 76, kTubeWidth, 76);
    base.setColorAt(0, QColor(0x30, 0x28, 0x20));
    base.setColorAt(0.4, QColor(0x6a, 0x5a, 0x48));
    base.setColorAt(1, QColor(0x24, 0x1e, 0x18));
    p.setPen(Qt::NoPen);
    p.setBrush(base);
    p.drawRoundedRect(QRectF(1.5, 76, kTubeWidth - 3, 13), 2.5, 2.5);
    // The glass: a dome on top, dark inside so the glyph cells blend in.
    QPainterPath glass;
    glass.moveTo(1.5, 78);
    glass.lineTo(1.5, 14);
    glass.cubicTo(1.5, 2, kTubeWidth - 1.5, 2, kTubeWidth - 1.5, 14);
    glass.lineTo(kTubeWidth - 1.5, 78);
    glass.closeSubpath();
    p.setBrush(kTubeInside);
    p.setPen(QPen(QColor(0x6c, 0x70, 0x74), 1.1));
    p.drawPath(glass);
    // Anode mesh behind the figures, and reflections on the glass edges.
    p.setPen(QPen(QColor(0x2a, 0x22, 0x1c), 0.6));
    for (double y = 14; y < 76; y += 4) p.drawLine(QPointF(4, y), QPointF(kTubeWidth - 4, y));
    p.setPen(QPen(QColor(255, 255, 255, 70), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.2, 16), QPointF(4.2, 70));
    p.setPen(QPen(QColor(255, 255, 255, 35), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(kTubeWidth - 4.5, 18), QPointF(kTubeWidth - 4.5, 66));
    p.setPen(QPen(QColor(255, 255, 255, 60), 1.2));
    p.drawArc(QRectF(6, 4, kTubeWidth - 12, 14), 30 * 16, 120 * 16);
    return img;
}

QImage makeTubeStrip(const QImage& tube, qreal dpr) {
    if (tube.isNull()) return {};
    QImage img = blank(kTubeStripWidth, kTubeStripHeight, dpr, QImage::Format_RGB32, Qt::black);
    if (img.isNull()) return img;
    QPainter p(&img);
    for (int k = 0; k < 4; ++k)
        p.drawImage(QRectF(k * kTubeStripPitch, 0, kTubeWidth, kTubeHeight), tube);
    return img;
}

QImage makeHousing(devices::LedKind kind, qreal dpr) {
    const Geometry& g = geometryOf(kind);
    QImage img = blank(g.width, g.height, dpr, QImage::Format_ARGB32_Premultiplied,
                       Qt::transparent);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(2.5, 2.5, g.width - 5, g.height - 5);
    QLinearGradient metal(0, 0, 0, g.height);
    metal.setColorAt(0, QColor(0x4a, 0x4f, 0x56));
    metal.setColorAt(0.5, QColor(0x33, 0x37, 0x3d));
    metal.setColorAt(1, QColor(0x22, 0x25, 0x29));
    p.setPen(QPen(QColor(0x10, 0x11, 0x13), 2));
    p.setBrush(metal);
    p.drawRoundedRect(body, 16, 16);
    p.setPen(QPen(QColor(255, 255, 255, 40), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(body.adjusted(3, 3, -3, -3), 13, 13);

    // The recessed bezel around the digit window.
    const QRectF win(g.winLeft, g.winTop, g.winRight - g.winLeft, g.winBottom - g.winTop);
    QLinearGradient bezel(0, win.top() - 8, 0, win.bottom() + 8);
    bezel.setColorAt(0, QColor(0x14, 0x15, 0x17));
    bezel.setColorAt(1, QColor(0x5c, 0x61, 0x68));
    p.setPen(Qt::NoPen);
    p.setBrush(bezel);
    p.drawRoundedRect(win.adjusted(-7, -7, 7, 7), 5, 5);
    p.setBrush(Qt::black);
    p.drawRect(win);

    // Screws and a name plate.
    for (QPointF c : {QPointF(17, 17), QPointF(g.width - 17, 17), QPointF(17, g.height - 17),
                      QPointF(g.width - 17, g.height - 17)})
        screw(p, c);
    QFont f = artworkFont(ArtFace::Sans, 11);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 2.5);
    p.setFont(f);
    const QString name = kind == devices::LedKind::Octal ? QStringLiteral("OCTAL DISPLAY")
                                                         : QStringLiteral("DECIMAL DISPLAY");
    const QRectF plate(0, g.height - 40, g.width, 18);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(plate.translated(0, 1), Qt::AlignCenter, name);
    p.setPen(QColor(0x9a, 0xa0, 0xa8));
    drawLettering(p, plate, Qt::AlignCenter, name);
    // Vent slots under the window.
    p.setPen(QPen(QColor(0x15, 0x16, 0x18), 2, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 9; ++i) {
        const double x = g.width / 2.0 - 64 + i * 16;
        p.drawLine(QPointF(x, g.height - 62), QPointF(x, g.height - 52));
    }
    return img;
}

}  // namespace mira::gui::ledart
