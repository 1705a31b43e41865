#include "modules/keypad_art.h"
#include "artwork_font.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>

namespace mira::gui::keyart {

namespace {

void screw(QPainter& p, QPointF c) {
    QRadialGradient g(c - QPointF(1.5, 1.5), 6);
    g.setColorAt(0, QColor(0xd8, 0xdc, 0xe0));
    g.setColorAt(1, QColor(0x5a, 0x5e, 0x64));
    p.setPen(QPen(QColor(0x18, 0x1a, 0x1c), 1));
    p.setBrush(g);
    p.drawEllipse(c, 4.5, 4.5);
    p.setPen(QPen(QColor(0x30, 0x32, 0x36), 1.3));
    p.drawLine(c + QPointF(-2.8, 1.4), c + QPointF(2.8, -1.4));
}

struct KeyColours {
    QColor top, bottom, edge, text;
};

KeyColours coloursOf(KeyStyle s) {
    switch (s) {
        case KeyStyle::Digit:
            return {QColor(0xee, 0xea, 0xdf), QColor(0xc4, 0xbf, 0xb0), QColor(0x6a, 0x66, 0x5c),
                    QColor(0x22, 0x22, 0x22)};
        case KeyStyle::Function:
            return {QColor(0x74, 0x7a, 0x82), QColor(0x4a, 0x4f, 0x56), QColor(0x1c, 0x1e, 0x22),
                    QColor(0xf0, 0xf0, 0xf0)};
        case KeyStyle::Control: break;
    }
    return {QColor(0xc8, 0x4a, 0x3c), QColor(0x8c, 0x26, 0x1e), QColor(0x3c, 0x10, 0x0c),
            QColor(0xff, 0xf4, 0xe8)};
}

}  // namespace

QImage makeHousing(int width, int height, qreal dpr, const QString& name, double plateY) {
    QImage img(static_cast<int>(std::ceil(width * dpr)), static_cast<int>(std::ceil(height * dpr)),
               QImage::Format_ARGB32_Premultiplied);
    if (img.isNull()) return img;
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(2.5, 2.5, width - 5, height - 5);
    QLinearGradient metal(0, 0, 0, height);
    metal.setColorAt(0, QColor(0x4a, 0x4f, 0x56));
    metal.setColorAt(0.5, QColor(0x33, 0x37, 0x3d));
    metal.setColorAt(1, QColor(0x22, 0x25, 0x29));
    p.setPen(QPen(QColor(0x10, 0x11, 0x13), 2));
    p.setBrush(metal);
    p.drawRoundedRect(body, 14, 14);
    p.setPen(QPen(QColor(255, 255, 255, 40), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(body.adjusted(3, 3, -3, -3), 11, 11);
    for (QPointF c : {QPointF(12, 12), QPointF(width - 12, 12), QPointF(12, height - 12),
                      QPointF(width - 12, height - 12)})
        screw(p, c);
    if (!name.isEmpty()) {
        QFont f = artworkFont(ArtFace::Sans, 10);
        f.setBold(true);
        f.setLetterSpacing(QFont::AbsoluteSpacing, 2);
        p.setFont(f);
        const QRectF plate(0, plateY, width, 14);
        p.setPen(QColor(0, 0, 0, 150));
        p.drawText(plate.translated(0, 1), Qt::AlignCenter, name);
        p.setPen(QColor(0x9a, 0xa0, 0xa8));
        drawLettering(p, plate, Qt::AlignCenter, name);
    }
    return img;
}

void drawKey(QPainter& p, const QRectF& r, const QString& caption, bool down, KeyStyle style,
             int fontPx) {
    const KeyColours c = coloursOf(style);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // The well the key sits in.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x12, 0x13, 0x15));
    p.drawRoundedRect(r.adjusted(-1.5, -1.5, 1.5, 2.5), 6, 6);
    // A pressed key sinks and loses its light edge.
    const QRectF cap = down ? r.adjusted(1, 2, -1, 0) : r;
    QLinearGradient g(cap.topLeft(), cap.bottomLeft());
    g.setColorAt(0, down ? c.bottom : c.top);
    g.setColorAt(1, down ? c.top.darker(115) : c.bottom);
    p.setPen(QPen(c.edge, 1));
    p.setBrush(g);
    p.drawRoundedRect(cap, 5, 5);
    if (!down) {
        p.setPen(QPen(QColor(255, 255, 255, 70), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(cap.adjusted(1.5, 1.5, -1.5, -1.5), 4, 4);
    }
    if (!caption.isEmpty()) {
        QFont f = artworkFont(ArtFace::Sans, fontPx);
        f.setBold(true);
        p.setFont(f);
        p.setPen(c.text);
        drawLettering(p, cap, Qt::AlignCenter, caption);
    }
    p.restore();
}

void drawLamp(QPainter& p, const QRectF& r, bool on, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = r.center();
    const double rad = r.width() / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x06, 0x06, 0x07));
    p.drawEllipse(c, rad, rad);
    QRadialGradient lens(c + QPointF(-rad / 4, -rad / 4), rad);
    if (on) {
        lens.setColorAt(0, colour.lighter(150));
        lens.setColorAt(0.6, colour);
        lens.setColorAt(1, colour.darker(160));
    } else {
        lens.setColorAt(0, colour.darker(420));
        lens.setColorAt(1, colour.darker(700));
    }
    p.setBrush(lens);
    p.drawEllipse(c, rad * 0.8, rad * 0.8);
    p.setBrush(QColor(255, 255, 255, on ? 120 : 35));
    p.drawEllipse(c + QPointF(-rad * 0.28, -rad * 0.3), rad * 0.22, rad * 0.17);
    p.restore();
}

void drawMiniKeyboard(QPainter& p, const QRectF& r) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x10, 0x11, 0x13), 1));
    p.setBrush(QColor(0x1b, 0x1d, 0x20));
    p.drawRoundedRect(r, 5, 5);
    // Four staggered rows and a space bar, as on a typewriter keyboard.
    const double pitch = (r.width() - 8) / 13.0;
    const double keyH = (r.height() - 10) / 5.0;
    const double offsets[4] = {0, 0.5, 0.75, 1.25};
    const int counts[4] = {13, 12, 11, 10};
    for (int row = 0; row < 4; ++row) {
        for (int k = 0; k < counts[row]; ++k) {
            const QRectF key(r.left() + 4 + (offsets[row] + k) * pitch, r.top() + 4 + row * keyH,
                             pitch - 2, keyH - 2);
            QLinearGradient g(key.topLeft(), key.bottomLeft());
            g.setColorAt(0, QColor(0xe6, 0xe2, 0xd6));
            g.setColorAt(1, QColor(0xb8, 0xb3, 0xa4));
            p.setPen(QPen(QColor(0x50, 0x4d, 0x46), 0.6));
            p.setBrush(g);
            p.drawRoundedRect(key, 1.5, 1.5);
        }
    }
    const QRectF space(r.left() + 4 + 3.5 * pitch, r.top() + 4 + 4 * keyH, 6 * pitch, keyH - 2);
    p.drawRoundedRect(space, 1.5, 1.5);
    p.restore();
}

}  // namespace mira::gui::keyart
