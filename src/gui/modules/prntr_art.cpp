#include "modules/prntr_art.h"
#include "artwork_font.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace mira::gui::prntrart {

namespace {

QImage blank(int w, int h, qreal dpr) {
    QImage img(static_cast<int>(std::ceil(w * dpr)), static_cast<int>(std::ceil(h * dpr)),
               QImage::Format_ARGB32_Premultiplied);
    if (img.isNull()) return img;
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    return img;
}

const QColor kCase(0xd8, 0xd3, 0xc4);      // warm light grey plastic
const QColor kCaseDark(0xa9, 0xa3, 0x92);
const QColor kTrim(0x4a, 0x4d, 0x52);       // dark base strip
const QColor kSlot(0x22, 0x23, 0x25);

// A rounded button cap of the feed key, raised or pushed in.
void feedKey(QPainter& p, QRectF r, bool down) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, down ? QColor(0x7a, 0x7f, 0x86) : QColor(0xf2, 0xf2, 0xee));
    g.setColorAt(1, down ? QColor(0x9a, 0x9f, 0xa6) : QColor(0xb8, 0xb6, 0xae));
    p.setPen(QPen(QColor(0x3a, 0x3a, 0x3a), 1));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
}

}  // namespace

QImage makeBody(qreal dpr) {
    QImage img = blank(kWindowWidth, kWindowHeight, dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    // The desk: a dark backdrop with rounded corners.
    QLinearGradient desk(0, 0, 0, kWindowHeight);
    desk.setColorAt(0, QColor(0x3b, 0x41, 0x48));
    desk.setColorAt(1, QColor(0x26, 0x2a, 0x2f));
    p.setPen(Qt::NoPen);
    p.setBrush(desk);
    p.drawRoundedRect(QRectF(0, 0, kWindowWidth, kWindowHeight), 14, 14);

    // Shadow, then the case.
    const QRectF body(kBodyRect);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRoundedRect(body.translated(3, 4), 12, 12);
    QLinearGradient caseGrad(body.topLeft(), body.bottomLeft());
    caseGrad.setColorAt(0, kCase.lighter(108));
    caseGrad.setColorAt(0.55, kCase);
    caseGrad.setColorAt(1, kCaseDark);
    p.setBrush(caseGrad);
    p.setPen(QPen(QColor(0x6e, 0x69, 0x5c), 1.2));
    p.drawRoundedRect(body, 12, 12);

    // The base strip the labels sit on.
    QPainterPath base;
    base.addRoundedRect(QRectF(body.left() + 6, kLabelTop - 2, body.width() - 12, kLabelHeight + 6), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(kTrim);
    p.drawPath(base);

    // The paper slot under the platen.
    p.setBrush(kSlot);
    p.drawRoundedRect(QRectF(kRollRect.left() - 4, kRollRect.top() - 3, kRollRect.width() + 8, 8), 3, 3);

    // Right-hand control panel: the feed key in its recess, a power lamp, the caption.
    const QRectF panel(306, 128, 46, 80);
    p.setBrush(QColor(0xc6, 0xc1, 0xb1));
    p.setPen(QPen(QColor(0x8d, 0x88, 0x7a), 1));
    p.drawRoundedRect(panel, 5, 5);
    p.setBrush(kSlot);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(kFeedDownX - 2, kFeedY - 2, kFeedWidth + 4, kFeedHeight + 4), 3, 3);
    feedKey(p, QRectF(kFeedDownX, kFeedY - 1, kFeedWidth, kFeedHeight), false);
    QFont f = artworkFont(ArtFace::Sans, 8);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x4a, 0x47, 0x40));
    drawLettering(p, QRectF(panel.left(), 190, panel.width(), 10), Qt::AlignCenter, QStringLiteral("FEED"));
    drawLettering(p, QRectF(panel.left(), 150, panel.width(), 10), Qt::AlignCenter, QStringLiteral("POWER"));
    QRadialGradient lamp(QPointF(329, 142), 4);
    lamp.setColorAt(0, QColor(0xb8, 0xff, 0x9a));
    lamp.setColorAt(1, QColor(0x2c, 0x9a, 0x2a));
    p.setBrush(lamp);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 0.8));
    p.drawEllipse(QPointF(329, 141), 3.5, 3.5);

    // Left-hand side: vents and the name plate.
    p.setPen(QPen(QColor(0x8f, 0x8a, 0x7c), 1.4, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 6; ++i) p.drawLine(QPointF(70, 134 + i * 9), QPointF(94, 134 + i * 9));
    f.setPixelSize(8);
    p.setFont(f);
    p.setPen(QColor(0x5a, 0x56, 0x4c));
    drawLettering(p, QRectF(61, 192, 42, 22), Qt::AlignCenter, QStringLiteral("MIRA-8\nPRINTER"));
    return img;
}

QImage makeRoll(qreal dpr) {
    QImage img = blank(kRollRect.width(), kRollRect.height(), dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // The paper supply roll lying across the top of the printer; the paper runs off it
    // towards the viewer, so only its ends show beside the sheet.
    const qreal w = kRollRect.width(), h = kRollRect.height();
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0xd6, 0xd4, 0xcc));
    g.setColorAt(0.35, QColor(0xfb, 0xfa, 0xf4));
    g.setColorAt(1, QColor(0x9c, 0x99, 0x8e));
    p.setPen(QPen(QColor(0x7c, 0x79, 0x70), 0.8));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(6, 0.5, w - 12, h - 1), 5, 5);
    // The spindle's caps at both ends.
    QLinearGradient cap(0, 0, 0, h);
    cap.setColorAt(0, QColor(0x5a, 0x5d, 0x62));
    cap.setColorAt(0.4, QColor(0x8c, 0x90, 0x96));
    cap.setColorAt(1, QColor(0x22, 0x23, 0x25));
    p.setPen(Qt::NoPen);
    p.setBrush(cap);
    p.drawRoundedRect(QRectF(0, 2, 9, h - 4), 3, 3);
    p.drawRoundedRect(QRectF(w - 9, 2, 9, h - 4), 3, 3);
    return img;
}

QImage makeCover(qreal dpr) {
    QImage img = blank(kCoverRect.width(), kCoverRect.height(), dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0.5, 0.5, kCoverRect.width() - 1, kCoverRect.height() - 1);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, kCase.darker(104));
    g.setColorAt(1, kCase.darker(118));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x7b, 0x76, 0x68), 1));
    p.drawRoundedRect(r, 6, 6);
    // The tear-off bar along the top edge, where the paper leaves the printer.
    QLinearGradient bar(0, 0, 0, 8);
    bar.setColorAt(0, QColor(0xe4, 0xe6, 0xe8));
    bar.setColorAt(1, QColor(0x8a, 0x8d, 0x91));
    p.setBrush(bar);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(8, 1, kCoverRect.width() - 16, 6));
    p.setPen(QPen(QColor(0x5c, 0x5e, 0x61), 0.8));
    for (int x = 10; x < kCoverRect.width() - 10; x += 4) p.drawLine(QPointF(x, 7), QPointF(x + 2, 9));
    // A tinted window onto the head carriage and its rail.
    const QRectF win(16, 22, kCoverRect.width() - 32, 44);
    QLinearGradient glass(win.topLeft(), win.bottomLeft());
    glass.setColorAt(0, QColor(0x3a, 0x3f, 0x46));
    glass.setColorAt(1, QColor(0x1d, 0x20, 0x24));
    p.setBrush(glass);
    p.setPen(QPen(QColor(0x6a, 0x65, 0x58), 1.2));
    p.drawRoundedRect(win, 4, 4);
    p.setPen(QPen(QColor(0x8e, 0x93, 0x9a), 2));
    p.drawLine(QPointF(win.left() + 6, win.center().y() + 6), QPointF(win.right() - 6, win.center().y() + 6));
    p.setBrush(QColor(0x5d, 0x63, 0x6b));
    p.setPen(QPen(QColor(0xa8, 0xad, 0xb3), 1));
    p.drawRoundedRect(QRectF(win.left() + 18, win.top() + 8, 22, 24), 2, 2);
    // A highlight across the glass.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 28));
    QPainterPath shine;
    shine.moveTo(win.left() + 40, win.top());
    shine.lineTo(win.left() + 70, win.top());
    shine.lineTo(win.left() + 40, win.bottom());
    shine.lineTo(win.left() + 10, win.bottom());
    shine.closeSubpath();
    p.drawPath(shine);
    // Finger grips.
    p.setPen(QPen(QColor(0x9c, 0x97, 0x88), 1.5, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(74 + i * 14, 84), QPointF(74 + i * 14, 96));
    return img;
}

QImage makeFeedDown(qreal dpr) {
    QImage img = blank(kFeedWidth, kFeedHeight, dpr);
    if (img.isNull()) return img;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    feedKey(p, QRectF(0, 0, kFeedWidth, kFeedHeight), true);
    return img;
}

}  // namespace mira::gui::prntrart
