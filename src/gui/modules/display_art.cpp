#include "modules/display_art.h"
#include "artwork_font.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPainterPath>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>

#include "devices/alpha_display.h"
#include "devices/alpha_font.h"
#include "devices/ten_digit_display.h"

namespace mira::gui::displayart {

namespace {

QImage blank(int w, int h, qreal dpr, QImage::Format format, QColor fill) {
    QImage img(static_cast<int>(std::ceil(w * dpr)), static_cast<int>(std::ceil(h * dpr)),
               format);
    if (img.isNull()) return img;
    img.setDevicePixelRatio(dpr);
    img.fill(fill);
    return img;
}

void screw(QPainter& p, QPointF c, double r) {
    QRadialGradient g(c - QPointF(r * 0.3, r * 0.3), r * 1.2);
    g.setColorAt(0, QColor(0xd8, 0xdc, 0xe0));
    g.setColorAt(1, QColor(0x5a, 0x5e, 0x64));
    p.setPen(QPen(QColor(0x18, 0x1a, 0x1c), 1));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(0x30, 0x32, 0x36), 1.2));
    p.drawLine(c + QPointF(-r * 0.65, r * 0.3), c + QPointF(r * 0.65, -r * 0.3));
}

// The brushed housing of the LED displays: rounded metal body, inner highlight, screws,
// a recessed bezel around the window and an engraved name.
void housing(QPainter& p, int w, int h, QRectF window, const QString& name, QRectF plate,
             double radius, double screwRadius) {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(1.5, 1.5, w - 3, h - 3);
    QLinearGradient metal(0, 0, 0, h);
    metal.setColorAt(0, QColor(0x4a, 0x4f, 0x56));
    metal.setColorAt(0.5, QColor(0x33, 0x37, 0x3d));
    metal.setColorAt(1, QColor(0x22, 0x25, 0x29));
    p.setPen(QPen(QColor(0x10, 0x11, 0x13), 2));
    p.setBrush(metal);
    p.drawRoundedRect(body, radius, radius);
    p.setPen(QPen(QColor(255, 255, 255, 40), 1.1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(body.adjusted(2.5, 2.5, -2.5, -2.5), radius - 2, radius - 2);

    QLinearGradient bezel(0, window.top() - 5, 0, window.bottom() + 5);
    bezel.setColorAt(0, QColor(0x14, 0x15, 0x17));
    bezel.setColorAt(1, QColor(0x5c, 0x61, 0x68));
    p.setPen(Qt::NoPen);
    p.setBrush(bezel);
    p.drawRoundedRect(window.adjusted(-5, -5, 5, 5), 4, 4);
    p.setBrush(Qt::black);
    p.drawRect(window);

    const double s = screwRadius + 5;
    for (QPointF c : {QPointF(s, s), QPointF(w - s, s), QPointF(s, h - s), QPointF(w - s, h - s)})
        screw(p, c, screwRadius);

    QFont f = artworkFont(ArtFace::Sans, 9);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(f);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(plate.translated(0, 1), Qt::AlignCenter, name);
    p.setPen(QColor(0x9a, 0xa0, 0xa8));
    drawLettering(p, plate, Qt::AlignCenter, name);
}

// Segment rectangles of a cell at left edge L: lines from the first point up to, not
// including, the last.
QRect segmentRect(int segment, int L) {
    switch (segment) {
    case 0: return QRect(L + 1, 38, 6, 1);  // a
    case 1: return QRect(L + 7, 39, 1, 6);  // b
    case 2: return QRect(L + 7, 46, 1, 6);  // c
    case 3: return QRect(L + 1, 52, 6, 1);  // d
    case 4: return QRect(L, 46, 1, 6);      // e
    case 5: return QRect(L, 39, 1, 6);      // f
    default: return QRect(L + 1, 45, 6, 1); // g
    }
}

}  // namespace

QImage makeTenDigitHousing(qreal dpr) {
    QImage img = blank(kTenWidth, kTenHeight, dpr, QImage::Format_ARGB32_Premultiplied,
                       Qt::transparent);
    if (img.isNull()) return img;
    QPainter p(&img);
    const QRectF window(kTenMaskX - 6, kTenMaskY - 6, kTenMaskWidth + 12, kTenMaskHeight + 12);
    housing(p, kTenWidth, kTenHeight, window, QStringLiteral("10 DIGIT DISPLAY"),
            QRectF(0, 9, kTenWidth, 12), 10, 3.5);
    return img;
}

QImage makeTenDigitMask(qreal dpr) {
    QImage img = blank(kTenMaskWidth, kTenMaskHeight, dpr, QImage::Format_RGB32,
                       QColor::fromRgb(kTenGround));
    if (img.isNull()) return img;
    QPainter p(&img);
    // The unlit segments, printed faintly so the student sees ten digit cells.
    p.translate(-kTenMaskX, -kTenMaskY);
    for (int i = 0; i < devices::kTenDigitCells; ++i)
        for (int s = 0; s < 7; ++s)
            p.fillRect(segmentRect(s, tenCellLeft(i)), QColor::fromRgb(kTenUnlit));
    return img;
}

void paintTenDigitCells(QPainter& p, const devices::TenDigitDisplay& d) {
    if (!d.displayOn()) return;
    const QColor lit = QColor::fromRgb(kTenLit);
    for (int i = 0; i < devices::kTenDigitCells; ++i) {
        const int cell = d.cells()[i];
        const int x = tenCellLeft(i) + 4;
        if (cell == devices::kTenDigitColon) {
            p.fillRect(QRect(x, 41, 2, 2), lit);
            p.fillRect(QRect(x, 47, 2, 2), lit);
            continue;
        }
        if (cell == devices::kTenDigitPoint) {
            p.fillRect(QRect(x, 49, 3, 3), lit);
            continue;
        }
        const uint8_t segs = devices::tenDigitSegments(cell);
        for (int s = 0; s < 7; ++s)
            if (segs & (1u << (6 - s))) p.fillRect(segmentRect(s, tenCellLeft(i)), lit);
    }
}

QImage makeAlphaHousing(qreal dpr) {
    QImage img = blank(kAlphaWidth, kAlphaHeight, dpr, QImage::Format_ARGB32_Premultiplied,
                       Qt::transparent);
    if (img.isNull()) return img;
    QPainter p(&img);
    const QRectF window(alphaCharLeft(0) - 7, kAlphaLine1Y - 6,
                        alphaCharLeft(devices::kAlphaColumns - 1) + 14 + 7 - (alphaCharLeft(0) - 7),
                        kAlphaLine2Y + 20 + 6 - (kAlphaLine1Y - 6));
    housing(p, kAlphaWidth, kAlphaHeight, window, QStringLiteral("ALPHA DISPLAY"),
            QRectF(0, 5, kAlphaWidth, 11), 10, 3.5);
    return img;
}

const QImage& AlphaGlyphs::glyph(int code, int colour, bool lit, qreal dpr) {
    if (!qFuzzyCompare(dpr_, dpr)) {
        lit_ = {};
        unlit_ = QImage();
        dpr_ = dpr;
    }
    if (code < devices::kAlphaFirstChar || code > devices::kAlphaLastChar) code = ' ';
    QImage& img = lit ? lit_[(code - devices::kAlphaFirstChar) * 4 + (colour & 3)] : unlit_;
    if (!img.isNull()) return img;
    img = blank(kCellWidth, kCellHeight, dpr, QImage::Format_RGB32, Qt::black);
    QPainter p(&img);
    const devices::Rgb on = devices::kAlphaColourRgb[colour & 3];
    const devices::Rgb off = devices::kAlphaUnlit;
    for (int r = 0; r < devices::kAlphaGlyphRows; ++r)
        for (int k = 0; k < devices::kAlphaGlyphColumns; ++k) {
            const devices::Rgb c = lit && devices::alphaDot(code, k, r) ? on : off;
            p.fillRect(QRect(kAlphaDotPitch * k, kAlphaDotPitch * r, kAlphaDotSize, kAlphaDotSize),
                       QColor(c.r, c.g, c.b));
        }
    return img;
}

void paintAlphaDots(QPainter& p, const devices::AlphaDisplay& d, AlphaGlyphs& glyphs, qreal dpr) {
    for (int line = 0; line < devices::kAlphaLines; ++line) {
        const int y = alphaLineTop(line);
        for (int col = 0; col < devices::kAlphaColumns; ++col) {
            const devices::AlphaCell& c = d.cell(line, col);
            p.drawImage(QPoint(alphaCharLeft(col), y),
                        glyphs.glyph(c.code, c.colour, d.displayOn(), dpr));
        }
    }
}

void styleDeviceLabel(QLabel* label) {
    label->setObjectName(QStringLiteral("devLabel"));
    label->setStyleSheet(QStringLiteral("color: #a8a8a8; background: transparent;"));
    QFont f = artworkFont(ArtFace::Sans, 12);
    label->setFont(f);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void roundWindowMask(QWidget* w, double radius) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0.5, 0.5, w->width() - 1, w->height() - 1), radius, radius);
    w->setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

}  // namespace mira::gui::displayart
