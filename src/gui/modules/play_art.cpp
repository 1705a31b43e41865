#include "modules/play_art.h"
#include "artwork_font.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace mira::gui::playart {

namespace {

constexpr QPointF kCentre{kCone.x() + kCone.width() / 2.0, kCone.y() + kCone.height() / 2.0};
constexpr double kCornerR = 14;
constexpr double kRingR = 62, kSurroundR = 57, kConeR = 50, kCapR = 16;

void circle(QPainter& p, double r, const QBrush& brush, const QPen& pen = Qt::NoPen) {
    p.setPen(pen);
    p.setBrush(brush);
    p.drawEllipse(kCentre, r, r);
}

}  // namespace

QPainterPath cabinetOutline() {
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, kWidth, kHeight), kCornerR, kCornerR);
    return outline;
}

void paintCabinet(QPainter& p) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    // Walnut cabinet with a little grain.
    const QRectF body(0.5, 0.5, kWidth - 1, kHeight - 1);
    QLinearGradient wood(0, 0, 0, kHeight);
    wood.setColorAt(0, QColor(0x7a, 0x52, 0x32));
    wood.setColorAt(1, QColor(0x40, 0x29, 0x17));
    p.setPen(QPen(QColor(0x22, 0x15, 0x0b), 1));
    p.setBrush(wood);
    p.drawRoundedRect(body, kCornerR, kCornerR);
    p.setPen(QPen(QColor(0, 0, 0, 28), 1));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i * 24 < kHeight - 12; ++i) {
        QPainterPath grain;
        const double y = 6 + i * 24.0;
        grain.moveTo(6, y);
        grain.cubicTo(70, y + 7, 150, y - 7, kWidth - 6, y + 3);
        p.drawPath(grain);
    }

    // Name plate and the lamp's caption.
    QFont f = artworkFont(ArtFace::Sans, 10);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(f);
    p.setPen(QColor(0xe2, 0xc0, 0x78));
    drawLettering(p, QRect(16, 10, 140, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("MELODY PLAYER"));
    f.setBold(false);
    p.setFont(f);
    p.setPen(QColor(0xd8, 0xc8, 0xa8));
    drawLettering(p, QRect(kLamp.x() - 34, kLamp.y(), 30, kLamp.height()),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("MIDI"));

    // Grille cloth behind the speaker.
    const QRectF baffle(12, 36, kWidth - 24, 146);
    p.setPen(QPen(QColor(0x1a, 0x10, 0x08), 1.5));
    p.setBrush(QColor(0x2a, 0x27, 0x24));
    p.drawRoundedRect(baffle, 7, 7);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 14));
    for (double y = baffle.top() + 4; y < baffle.bottom() - 2; y += 4)
        for (double x = baffle.left() + 4; x < baffle.right() - 2; x += 4)
            p.drawRect(QRectF(x, y, 1.2, 1.2));

    // The speaker: chrome ring, rubber surround, paper cone, dust cap.
    QLinearGradient chrome(kCone.topLeft(), kCone.bottomRight());
    chrome.setColorAt(0, QColor(0xe8, 0xe8, 0xe8));
    chrome.setColorAt(0.5, QColor(0x8a, 0x8a, 0x8a));
    chrome.setColorAt(1, QColor(0xd0, 0xd0, 0xd0));
    circle(p, kRingR, chrome, QPen(QColor(0x30, 0x30, 0x30), 1));
    QRadialGradient rubber(kCentre, kSurroundR);
    rubber.setColorAt(0.85, QColor(0x10, 0x10, 0x10));
    rubber.setColorAt(0.93, QColor(0x3a, 0x3a, 0x3a));
    rubber.setColorAt(1, QColor(0x12, 0x12, 0x12));
    circle(p, kSurroundR, rubber);
    QRadialGradient cone(kCentre, kConeR, kCentre - QPointF(10, 12));
    cone.setColorAt(0, QColor(0x6a, 0x66, 0x60));
    cone.setColorAt(1, QColor(0x24, 0x22, 0x20));
    circle(p, kConeR, cone);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 0, 60), 1));
    for (double r = kCapR + 8; r < kConeR; r += 8) p.drawEllipse(kCentre, r, r);
    QRadialGradient cap(kCentre - QPointF(5, 5), kCapR * 1.4);
    cap.setColorAt(0, QColor(0x9a, 0x96, 0x90));
    cap.setColorAt(1, QColor(0x28, 0x26, 0x24));
    circle(p, kCapR, cap, QPen(QColor(0x14, 0x14, 0x14), 1));

    // Four screws in the ring.
    for (int i = 0; i < 4; ++i) {
        const double a = M_PI / 4 + i * M_PI / 2;
        const QPointF at = kCentre + QPointF(std::cos(a), std::sin(a)) * (kRingR - 2.5);
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 0.8));
        p.setBrush(QColor(0xb0, 0xb0, 0xb0));
        p.drawEllipse(at, 2.2, 2.2);
        p.drawLine(at - QPointF(1.4, 1.4), at + QPointF(1.4, 1.4));
    }

    // The plate under the device label.
    p.setPen(QPen(QColor(0x1a, 0x10, 0x08), 1));
    p.setBrush(QColor(0x2a, 0x1a, 0x0e));
    p.drawRoundedRect(QRectF(kLabelAt.x() - 4, kLabelAt.y() - 4, kLabelWidth + 8, 18), 4, 4);

    // The status window: a dark display set into the wood.
    p.setPen(QPen(QColor(0x14, 0x0c, 0x06), 1.5));
    p.setBrush(QColor(0x10, 0x1c, 0x14));
    p.drawRoundedRect(QRectF(kStatus).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    p.restore();
}

void paintFlash(QPainter& p) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(kCentre, kConeR);
    glow.setColorAt(0, QColor(0xff, 0xf0, 0xc0, 210));
    glow.setColorAt(0.6, QColor(0xff, 0xc8, 0x60, 120));
    glow.setColorAt(1, QColor(0xff, 0xa0, 0x30, 0));
    circle(p, kConeR, glow);
    p.setBrush(Qt::NoBrush);
    for (double r : {26.0, 38.0, 50.0}) {
        p.setPen(QPen(QColor(0xff, 0xd0, 0x70, static_cast<int>(230 - r * 3)), 2));
        p.drawEllipse(kCentre, r, r);
    }
    p.restore();
}

void paintLamp(QPainter& p, bool lit) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = QRectF(kLamp).center();
    if (lit) {
        QRadialGradient halo(c, 11);
        halo.setColorAt(0.5, QColor(0xff, 0x40, 0x20, 120));
        halo.setColorAt(1, QColor(0xff, 0x40, 0x20, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(c, 11, 11);
    }
    QLinearGradient bezel(QRectF(kLamp).topLeft(), QRectF(kLamp).bottomRight());
    bezel.setColorAt(0, QColor(0xf0, 0xf0, 0xf0));
    bezel.setColorAt(1, QColor(0x60, 0x60, 0x60));
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 0.8));
    p.setBrush(bezel);
    p.drawEllipse(c, 8, 8);
    QRadialGradient bulb(c - QPointF(2, 2), 7);
    if (lit) {
        bulb.setColorAt(0, QColor(0xff, 0xe0, 0xd0));
        bulb.setColorAt(0.35, QColor(0xff, 0x30, 0x18));
        bulb.setColorAt(1, QColor(0xb0, 0x08, 0x00));
    } else {
        bulb.setColorAt(0, QColor(0x8a, 0x30, 0x28));
        bulb.setColorAt(1, QColor(0x30, 0x06, 0x04));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(bulb);
    p.drawEllipse(c, 5.5, 5.5);
    p.restore();
}

}  // namespace mira::gui::playart
