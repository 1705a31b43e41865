#include "modules/tape_art.h"
#include "artwork_font.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace mira::gui::tapeart {

namespace {

const QColor kPaper(243, 236, 210);
const QColor kPaperEdge(196, 186, 150);
const QColor kHole(34, 34, 38);
const QColor kCase(58, 66, 78);
const QColor kCaseLight(86, 96, 110);
const QColor kChannel(24, 26, 30);

QImage blank(int w, int h, qreal dpr) {
    QImage img(static_cast<int>(std::ceil(w * dpr)), static_cast<int>(std::ceil(h * dpr)),
               QImage::Format_ARGB32_Premultiplied);
    if (img.isNull()) return img;
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    return img;
}

void caption(QPainter& p, const QRectF& r, const QString& text, int size, QColor colour,
             bool bold = true) {
    QFont f = artworkFont(ArtFace::Sans, size);
    f.setBold(bold);
    p.setFont(f);
    p.setPen(colour);
    drawLettering(p, r, Qt::AlignCenter, text);
}

void screw(QPainter& p, QPointF c) {
    QRadialGradient g(c - QPointF(1, 1), 4);
    g.setColorAt(0, QColor(200, 204, 210));
    g.setColorAt(1, QColor(96, 100, 108));
    p.setPen(QColor(40, 42, 46));
    p.setBrush(g);
    p.drawEllipse(c, 3.2, 3.2);
    p.drawLine(c + QPointF(-2, 0), c + QPointF(2, 0));
}

}  // namespace

int holeX(int bit) {
    const int k = 7 - bit;
    return k * 8 + (bit <= 2 ? 7 : 0);
}

void drawTapeRow(QPainter& p, int x, int y, int value) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(QRectF(x, y, kRowWidth, kRowHeight), kPaper);
    p.setPen(Qt::NoPen);
    p.setBrush(kHole);
    p.drawEllipse(QPointF(x + kFeedHoleX + 2.5, y + 4.5), 1.6, 1.6);
    if (value >= 0 && value <= 255) {
        for (int bit = 7; bit >= 0; --bit)
            if (value & (1 << bit)) p.drawEllipse(QRectF(x + holeX(bit) + 0.5, y + 1.5, 6, 6));
    }
    p.setPen(kPaperEdge);
    p.drawLine(QPointF(x, y), QPointF(x, y + kRowHeight));
    p.drawLine(QPointF(x + kRowWidth, y), QPointF(x + kRowWidth, y + kRowHeight));
    p.restore();
}

QImage makeLeadIn(qreal dpr) {
    QImage img = blank(kPaperWidth, kLeadHeight, dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    // The tape's cut end: a point toward the top, the full width from there down.
    const double l = kReaderRowX, r = kReaderRowX + kRowWidth;
    QPainterPath end;
    end.moveTo(l, kLeadHeight);
    end.lineTo(l, 18);
    end.lineTo((l + r) / 2, 2);
    end.lineTo(r, 18);
    end.lineTo(r, kLeadHeight);
    end.closeSubpath();
    p.setPen(QPen(kPaperEdge, 1));
    p.setBrush(kPaper);
    p.drawPath(end);
    p.setPen(Qt::NoPen);
    p.setBrush(kHole);
    for (int y = 22; y < kLeadHeight; y += kRowHeight)
        p.drawEllipse(QPointF(l + kFeedHoleX + 2.5, y + 4.5), 1.6, 1.6);
    return img;
}

QImage makeTapeBody(bool punch, qreal dpr) {
    QImage img = blank(kTapeWindowWidth, kTapeWindowHeight, dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient g(0, 0, kTapeWindowWidth, kTapeWindowHeight);
    g.setColorAt(0, kCaseLight);
    g.setColorAt(1, kCase);
    p.setPen(QPen(QColor(20, 22, 26), 2));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1, 1, kTapeWindowWidth - 2, kTapeWindowHeight - 2), 10, 10);
    // The channel the tape runs in, open at the top.
    p.setPen(Qt::NoPen);
    p.setBrush(kChannel);
    p.drawRect(QRectF(kPaperX + kReaderRowX - 4, 0, kRowWidth + 8, kHeadY + 10));
    p.setPen(QPen(QColor(120, 130, 146), 1));
    p.drawLine(QPointF(kPaperX + kReaderRowX - 4.5, 0),
               QPointF(kPaperX + kReaderRowX - 4.5, kHeadY + 10));
    p.drawLine(QPointF(kPaperX + kReaderRowX + kRowWidth + 4.5, 0),
               QPointF(kPaperX + kReaderRowX + kRowWidth + 4.5, kHeadY + 10));
    // Fault lamp bezel and caption.
    p.setBrush(QColor(20, 20, 22));
    p.setPen(QColor(150, 156, 166));
    p.drawRoundedRect(QRectF(kFaultLamp.x() - 3, kFaultLamp.y() - 3, kFaultLampSize.width() + 6,
                             kFaultLampSize.height() + 6),
                      4, 4);
    caption(p, QRectF(222, 58, 50, 14), QStringLiteral("FAULT"), 10, QColor(230, 232, 236));
    // The feed button at rest, with its caption.
    caption(p, QRectF(222, 190, 56, 14), punch ? QStringLiteral("TAPE") : QStringLiteral("FEED"),
            10, QColor(230, 232, 236));
    p.setPen(QColor(16, 16, 18));
    p.setBrush(QColor(34, 36, 40));
    p.drawRoundedRect(QRectF(kButtonHit.x() - 2, kButtonHit.y() - 2, kButtonHit.width() + 4,
                             kButtonHit.height() + 4),
                      5, 5);
    QLinearGradient cap(0, kButtonHit.y(), 0, kButtonHit.bottom());
    cap.setColorAt(0, QColor(226, 70, 54));
    cap.setColorAt(1, QColor(150, 30, 24));
    p.setBrush(cap);
    p.drawRoundedRect(QRectF(kButtonHit.x(), kButtonHit.y(), kButtonHit.width(),
                             kButtonHit.height() - 2),
                      4, 4);
    // Name plate on the left.
    p.save();
    p.translate(40, 150);
    p.rotate(-90);
    caption(p, QRectF(-90, -12, 180, 24),
            punch ? QStringLiteral("PAPER TAPE PUNCH") : QStringLiteral("PAPER TAPE READER"), 13,
            QColor(236, 238, 242));
    p.restore();
    for (QPointF s : {QPointF(12, 12), QPointF(268, 12), QPointF(12, 336), QPointF(268, 336)})
        screw(p, s);
    return img;
}

QImage makeCover(bool punch, qreal dpr) {
    QImage img = blank(kCoverSize.width(), kCoverSize.height(), dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient g(0, 0, 0, kCoverSize.height());
    g.setColorAt(0, QColor(176, 182, 190));
    g.setColorAt(1, QColor(118, 124, 134));
    p.setPen(QPen(QColor(40, 44, 50), 1.5));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1, 1, kCoverSize.width() - 2, kCoverSize.height() - 10), 6, 6);
    // The slot the tape comes out of.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(18, 18, 20));
    const double slotX = kPaperX + kReaderRowX - kCover.x() - 2;
    p.drawRect(QRectF(slotX, 1, kRowWidth + 4, 5));
    // Vents.
    p.setPen(QPen(QColor(70, 74, 82), 2));
    for (int i = 0; i < 6; ++i) p.drawLine(QPointF(30, 34 + i * 8), QPointF(118, 34 + i * 8));
    caption(p, QRectF(0, 84, kCoverSize.width(), 14),
            punch ? QStringLiteral("MIRA-8  PUNCH") : QStringLiteral("MIRA-8  READER"), 10,
            QColor(36, 40, 46));
    screw(p, QPointF(10, 12));
    screw(p, QPointF(kCoverSize.width() - 10, 12));
    return img;
}

QImage makeButtonPressed(qreal dpr) {
    QImage img = blank(kButtonSize.width(), kButtonSize.height(), dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r(kButtonHit.x() - kButtonPressedX, kButtonHit.y() - kButtonY + 2,
                   kButtonHit.width(), kButtonHit.height() - 3);
    p.setPen(QColor(16, 16, 18));
    p.setBrush(QColor(20, 20, 22));
    p.drawRoundedRect(r.adjusted(-2, -4, 2, 2), 5, 5);
    p.setBrush(QColor(140, 28, 22));
    p.drawRoundedRect(r, 4, 4);
    return img;
}

void drawFaultLamp(QPainter& p, bool on) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r(kFaultLamp, kFaultLampSize);
    QRadialGradient g(r.center() - QPointF(2, 3), 11);
    g.setColorAt(0, on ? QColor(255, 200, 120) : QColor(110, 60, 40));
    g.setColorAt(1, on ? QColor(236, 96, 20) : QColor(60, 30, 24));
    p.setPen(QColor(12, 12, 12));
    p.setBrush(g);
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.restore();
}

// --- cassette recorder ---

QImage makeRecorderBody(qreal dpr) {
    QImage img = blank(kMagWidth, kMagHeight, dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient g(0, 0, 0, kMagHeight);
    g.setColorAt(0, QColor(206, 208, 212));
    g.setColorAt(1, QColor(150, 154, 160));
    p.setPen(QPen(QColor(50, 52, 56), 2));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1, 1, kMagWidth - 2, kMagHeight - 2), 9, 9);
    // The well the cassette sits in.
    p.setPen(QPen(QColor(90, 92, 98), 1));
    p.setBrush(QColor(44, 46, 52));
    p.drawRoundedRect(QRectF(kCassette.x() - 4, kCassette.y() - 4, kCassetteSize.width() + 8,
                             kCassetteSize.height() + 8),
                      6, 6);
    // Key strip well.
    p.setBrush(QColor(30, 30, 34));
    p.drawRoundedRect(QRectF(kKeyStrip.x() - 2, kKeyStrip.y() + 10, kKeyStripSize.width() + 4,
                             kKeyStripSize.height() - 6),
                      4, 4);
    return img;
}

QImage makeCassette(qreal dpr) {
    QImage img = blank(kCassetteSize.width(), kCassetteSize.height(), dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double w = kCassetteSize.width(), h = kCassetteSize.height();
    p.setPen(QPen(QColor(16, 16, 18), 1.5));
    p.setBrush(QColor(52, 52, 58));
    p.drawRoundedRect(QRectF(1, 1, w - 2, h - 2), 6, 6);
    // The label, wide enough to hold the tape's name, with its colour band.
    const QRectF label(10, 8, w - 20, 66);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(242, 226, 178));
    p.drawRoundedRect(label, 4, 4);
    p.setBrush(QColor(214, 92, 48));
    p.drawRect(QRectF(label.left(), 40, label.width(), 6));
    // The window over the reels.
    const QRectF window(kMaskLeft.x() - kCassette.x() - 12, kMaskLeft.y() - kCassette.y() - 4,
                        kMaskRight.x() - kMaskLeft.x() + kMaskSize.width() + 24,
                        kMaskSize.height() + 8);
    p.setBrush(QColor(26, 24, 22));
    p.setPen(QPen(QColor(120, 110, 90), 1));
    p.drawRoundedRect(window, 10, 10);
    // The head opening along the bottom edge.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(34, 34, 38));
    QPainterPath bottom;
    bottom.moveTo(30, h - 1);
    bottom.lineTo(40, h - 20);
    bottom.lineTo(w - 40, h - 20);
    bottom.lineTo(w - 30, h - 1);
    bottom.closeSubpath();
    p.drawPath(bottom);
    p.setBrush(QColor(16, 16, 18));
    for (double x : {52.0, w / 2 - 6, w - 64}) p.drawRect(QRectF(x, h - 12, 12, 8));
    caption(p, QRectF(0, h - 36, w, 12), QStringLiteral("C-60   MIRA-8 DATA"), 8,
            QColor(210, 210, 214));
    return img;
}

QColor cassetteLabelColour(const QImage& cassette) {
    if (cassette.isNull()) return QColor(242, 226, 178);
    const qreal d = cassette.devicePixelRatio();
    return cassette.pixelColor(static_cast<int>(20 * d), static_cast<int>(20 * d));
}

namespace {

void keySymbol(QPainter& p, int key, QPointF c, QColor colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    auto tri = [&](double dx, bool right) {
        const double s = right ? 1 : -1;
        p.drawPolygon(QPolygonF({c + QPointF(dx - 4 * s, -4), c + QPointF(dx + 4 * s, 0),
                                 c + QPointF(dx - 4 * s, 4)}));
    };
    switch (key) {
        case 0: p.drawEllipse(c, 4, 4); break;
        case 1: tri(0, true); break;
        case 2: tri(-4, false), tri(4, false); break;
        case 3: tri(-4, true), tri(4, true); break;
        default: p.drawRect(QRectF(c.x() - 4, c.y() - 4, 8, 8)); break;
    }
}

void drawKey(QPainter& p, QRectF r, int key, bool pressed, bool red) {
    QLinearGradient g(0, r.top(), 0, r.bottom());
    if (pressed) {
        g.setColorAt(0, red ? QColor(150, 30, 26) : QColor(60, 62, 68));
        g.setColorAt(1, red ? QColor(200, 52, 40) : QColor(96, 98, 106));
    } else {
        g.setColorAt(0, QColor(232, 234, 238));
        g.setColorAt(1, QColor(168, 172, 180));
    }
    p.setPen(QPen(QColor(20, 20, 22), 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 3, 3);
    const QColor symbol = key == 0 ? QColor(200, 30, 24) : QColor(30, 30, 34);
    keySymbol(p, key, QPointF(r.center().x(), r.bottom() - 9),
              pressed ? QColor(240, 240, 240) : symbol);
}

}  // namespace

QImage makeKeyStrip(qreal dpr) {
    QImage img = blank(kKeyStripSize.width(), kKeyStripSize.height(), dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int k = 0; k < 5; ++k)
        drawKey(p, QRectF(kKeyPressedOffset[static_cast<size_t>(k)] + 0.5, 12.5,
                          kKeySize.width() - 1, kKeySize.height() + 2),
                k, false, false);
    return img;
}

QImage makeKeyPressed(bool red, int key, qreal dpr) {
    QImage img = blank(kKeySize.width(), kKeySize.height() + 4, dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    // Drawn lower than a key at rest, with the well showing above it.
    p.fillRect(QRectF(0, 0, kKeySize.width(), 4), QColor(30, 30, 34));
    drawKey(p, QRectF(0.5, 3.5, kKeySize.width() - 1, kKeySize.height() - 1), key, true, red);
    return img;
}

QImage makeDigitStrip(qreal dpr) {
    QImage img = blank(kDigitWidth, kDigitPitch * 11, dpr);
    if (img.isNull()) return img;
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    QFont f = artworkFont(ArtFace::Mono, 10);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(20, 20, 24));
    for (int d = 0; d <= 10; ++d)
        drawLettering(p, QRectF(0, d * kDigitPitch, kDigitWidth, kWheelHeight), Qt::AlignCenter,
                   QString::number(d % 10));
    return img;
}

void drawCounter(QPainter& p, const QImage& digits, const std::array<int, 3>& digit,
                 const std::array<double, 3>& offset) {
    p.save();
    p.translate(kCounter);
    p.fillRect(QRect(QPoint(0, 0), kCounterSize), Qt::white);
    p.setPen(QColor(128, 128, 128));
    p.drawRect(QRect(0, 0, kCounterSize.width() - 1, kCounterSize.height() - 1));
    p.setPen(QColor(200, 200, 200));
    p.drawLine(13, 1, 13, kCounterSize.height() - 2);
    p.drawLine(26, 1, 26, kCounterSize.height() - 2);
    const qreal d = digits.isNull() ? 1.0 : digits.devicePixelRatio();
    for (size_t i = 0; i < 3; ++i) {
        const double top = kDigitPitch * (digit[i] + offset[i]);
        if (!digits.isNull())
            p.drawImage(QRectF(kWheelX[i], kWheelTop, kDigitWidth, kWheelHeight), digits,
                        QRectF(0, top * d, kDigitWidth * d, kWheelHeight * d));
    }
    p.restore();
}

void drawReels(QPainter& p, int position, int shift) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    // The tape pack moves from the left reel to the right as the tape runs.
    const double packL = 6 + (13 - shift) * 0.62, packR = 6 + shift * 0.62;
    const double turn = position * 24.0;  // degrees; the hubs turn with the tape
    for (int side = 0; side < 2; ++side) {
        const QPoint m = side == 0 ? kMaskLeft : kMaskRight;
        const QPointF c(m.x() + kMaskSize.width() / 2.0, m.y() + kMaskSize.height() / 2.0);
        p.setClipRect(QRectF(kMaskLeft.x() - 10, kMaskLeft.y() - 2,
                             kMaskRight.x() - kMaskLeft.x() + kMaskSize.width() + 20,
                             kMaskSize.height() + 4));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(98, 58, 30));
        const double r = side == 0 ? packL : packR;
        p.drawEllipse(c, r + 4, r + 4);
        p.setClipping(false);
        p.setBrush(QColor(236, 236, 232));
        p.drawEllipse(c, 6, 6);
        p.setBrush(QColor(26, 24, 22));
        p.drawEllipse(c, 3.4, 3.4);
        p.setPen(QPen(QColor(236, 236, 232), 1.6));
        for (int k = 0; k < 6; ++k) {
            const double a = (turn * (side == 0 ? 1 : 1) + k * 60.0) * M_PI / 180.0;
            p.drawLine(c + QPointF(std::cos(a) * 2.2, std::sin(a) * 2.2),
                       c + QPointF(std::cos(a) * 4.2, std::sin(a) * 4.2));
        }
    }
    p.restore();
}

}  // namespace mira::gui::tapeart
