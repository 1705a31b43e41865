#include "modules/swit_art.h"
#include "artwork_font.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

#include "devices/external_switches.h"

namespace mira::gui::switart {

namespace {

// The panel's palette: charcoal deck, burnt orange and harvest gold paddles, cream controls.
const QColor kDeck(0x2a, 0x2b, 0x30);
const QColor kBoxShade(0x26, 0x27, 0x2c);
const QColor kSlot(0x0c, 0x0c, 0x0e);
const QColor kOrange(0xd5, 0x62, 0x1c);
const QColor kGold(0xe3, 0xa8, 0x2c);
const QColor kCream(0xe6, 0xdc, 0xc4);
const QColor kLettering(0xef, 0xe6, 0xd2);
const QColor kDimLettering(0xa8, 0x9f, 0x8c);

constexpr int kPivot = (kLeverTop + kLeverBottom) / 2;

int leverX0(int column) {
    if (column < 8) return devices::kExtDataX0[column];
    return column == 8 ? devices::kExtLoadAddressX0 : devices::kExtDepositX0;
}

// Data bits grouped as on the panel: 7-6, 5-3, 2-0.
QColor leverColour(int column) {
    if (column >= 8) return kCream;
    return (column >= 2 && column <= 4) ? kGold : kOrange;
}

QImage blank(int w, int h, qreal dpr, QColor fill) {
    QImage img(static_cast<int>(std::ceil(w * dpr)), static_cast<int>(std::ceil(h * dpr)),
               QImage::Format_ARGB32_Premultiplied);
    if (img.isNull()) return img;
    img.setDevicePixelRatio(dpr);
    img.fill(fill);
    return img;
}

QFont lettering(int px, bool bold = true) {
    QFont f = artworkFont(ArtFace::Condensed, px);
    f.setBold(bold);
    return f;
}

}  // namespace

QImage makeSwitchBox(qreal dpr) {
    QImage img = blank(kWidth, kHeight, dpr, Qt::transparent);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(1, 1, kWidth - 2, kHeight - 2);
    QLinearGradient deck(0, 0, 0, kHeight);
    deck.setColorAt(0, QColor(0x3a, 0x3c, 0x42));
    deck.setColorAt(0.35, kDeck);
    deck.setColorAt(1, QColor(0x1e, 0x1f, 0x23));
    p.setPen(QPen(QColor(0x10, 0x11, 0x13), 2));
    p.setBrush(deck);
    p.drawRoundedRect(body, 8, 8);
    // A grip band along the top that the window is dragged by.
    p.setPen(QPen(QColor(0x8a, 0x8c, 0x90), 1));
    p.drawLine(QPointF(8, 15.5), QPointF(kWidth - 8, 15.5));

    // Bit numbers and the control names above the levers.
    p.setFont(lettering(9));
    for (int i = 0; i < 8; ++i) {
        p.setPen(leverColour(i));
        drawLettering(p, QRectF(devices::kExtDataX0[i], 3, devices::kExtSwitchWidth, 11),
                   Qt::AlignCenter, QString::number(7 - i));
    }
    p.setPen(kLettering);
    drawLettering(p, QRectF(devices::kExtLoadAddressX0 - 4, 3, 34, 11), Qt::AlignCenter,
               QStringLiteral("LA"));
    drawLettering(p, QRectF(devices::kExtDepositX0, 3, 32, 11), Qt::AlignCenter, QStringLiteral("DEP"));
    // A divider between the data and the control switches.
    p.setPen(QPen(QColor(0x16, 0x16, 0x19), 2));
    p.drawLine(QPointF(308, 20), QPointF(308, 70));

    // Lever boxes: flat shade, a slot and the pivot bushing, symmetric about the pivot row.
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int c = 0; c < 10; ++c) {
        const int x0 = leverX0(c);
        p.fillRect(QRect(x0 - 1, kLeverTop, 28, kLeverBottom - kLeverTop + 1), kBoxShade);
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int c = 0; c < 10; ++c) {
        const int x0 = leverX0(c);
        p.setBrush(kSlot);
        p.drawRoundedRect(QRectF(x0 + 6, kLeverTop + 3, 15, 25), 3, 3);
        p.setBrush(QColor(0x55, 0x57, 0x5c));
        p.drawRect(QRectF(x0 + 5, kPivot - 2, 17, 5));
    }
    // "1" above and "0" below the data levers, as the mask reads.
    p.setFont(lettering(8, false));
    p.setPen(kDimLettering);
    drawLettering(p, QRectF(2, kLeverTop, 18, 12), Qt::AlignCenter, QStringLiteral("1"));
    drawLettering(p, QRectF(2, kLeverBottom - 12, 18, 12), Qt::AlignCenter, QStringLiteral("0"));
    return img;
}

QImage makeTriggerMarker(qreal dpr) {
    QImage img = blank(kTriggerWidth, kTriggerHeight, dpr, QColor(0x2a, 0x2b, 0x30));
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawRoundedRect(QRectF(0.5, 0.5, kTriggerWidth - 1, kTriggerHeight - 1), 2, 2);
    p.setFont(lettering(8));
    p.setPen(QColor(0x14, 0x14, 0x16));
    drawLettering(p, QRectF(0, 0, kTriggerWidth, kTriggerHeight), Qt::AlignCenter,
               QStringLiteral("TRIG1"));
    return img;
}

void paintLever(QPainter& p, int column, bool up) {
    const int x0 = leverX0(column);
    const QColor colour = leverColour(column);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (!up) {
        // Mirrored about the pivot: row 18 goes to 48, 19 to 47 …
        p.translate(0, kLeverTop + kLeverBottom + 1);
        p.scale(1, -1);
    }
    QPainterPath paddle;
    const double top = kLeverTop + 0.5;
    paddle.moveTo(x0 + 4.5, top + 2);
    paddle.quadTo(x0 + 4.5, top, x0 + 7, top);
    paddle.lineTo(x0 + 20, top);
    paddle.quadTo(x0 + 22.5, top, x0 + 22.5, top + 2);
    paddle.lineTo(x0 + 20.5, kPivot + 0.5);
    paddle.lineTo(x0 + 6.5, kPivot + 0.5);
    paddle.closeSubpath();
    QLinearGradient shade(x0 + 4, 0, x0 + 23, 0);
    shade.setColorAt(0, colour.lighter(135));
    shade.setColorAt(0.45, colour);
    shade.setColorAt(1, colour.darker(150));
    p.setBrush(shade);
    p.setPen(QPen(colour.darker(220), 0.8));
    p.drawPath(paddle);
    p.setPen(QPen(QColor(255, 255, 255, 110), 1.2));
    p.drawLine(QPointF(x0 + 7, top + 1.7), QPointF(x0 + 20, top + 1.7));
    p.restore();
}

}  // namespace mira::gui::switart
