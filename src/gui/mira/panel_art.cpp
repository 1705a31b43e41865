#include "mira/panel_art.h"
#include "artwork_font.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <utility>

#include "core/panel.h"

namespace mira::gui {

namespace {

using core::kSwitchX0;
using core::kSwitchWidth;

// A 1970s palette: smoked lamp glass, charcoal deck, burnt orange and harvest gold.
const QColor kBezel(0x16, 0x16, 0x19);
const QColor kDeck(0x2a, 0x2b, 0x30);
const QColor kDeckLight(0x3a, 0x3c, 0x42);
const QColor kGlass(0x14, 0x0d, 0x0b);
const QColor kLettering(0xef, 0xe6, 0xd2);
const QColor kDimLettering(0xa8, 0x9f, 0x8c);
const QColor kOrange(0xd5, 0x62, 0x1c);
const QColor kGold(0xe3, 0xa8, 0x2c);
const QColor kCream(0xe6, 0xdc, 0xc4);
const QColor kRed(0xb5, 0x2e, 0x25);
const QColor kSlot(0x0c, 0x0c, 0x0e);


QFont letteringFont(int pixelSize, bool bold = true) {
    QFont f = artworkFont(ArtFace::Condensed, pixelSize);
    f.setBold(bold);
    // The 8-pixel switch names fill their 36-pixel columns ("DEPOSIT") without spacing.
    f.setLetterSpacing(QFont::AbsoluteSpacing, pixelSize <= 8 ? 0 : 0.4);
    return f;
}

void text(QPainter& p, const QRectF& r, const QString& s, int px, const QColor& c,
          Qt::Alignment align = Qt::AlignCenter, bool bold = true) {
    p.setFont(letteringFont(px, bold));
    p.setPen(c);
    drawLettering(p, r, align, s);
}

// Octal grouping of the register bits: 7-6, 5-3, 2-0.
QColor groupColour(int bitColumn) { return (bitColumn >= 2 && bitColumn <= 4) ? kGold : kOrange; }

QColor paddleColour(int i) {
    if (i < 8) return groupColour(i);
    if (i == core::kSwitchRun || i == core::kSwitchHalt) return kRed;
    return kCream;
}

void drawLampSocket(QPainter& p, int x, int y) {
    const QPointF c(x + 8, y + 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x05, 0x04, 0x04));
    p.drawEllipse(c, 8.0, 8.0);
    QRadialGradient lens(c + QPointF(-2, -2), 8);
    lens.setColorAt(0, QColor(0x5a, 0x34, 0x1a));
    lens.setColorAt(0.7, QColor(0x2e, 0x1a, 0x0e));
    lens.setColorAt(1, QColor(0x1a, 0x0f, 0x08));
    p.setBrush(lens);
    p.drawEllipse(c, 6.5, 6.5);
    p.setBrush(QColor(255, 240, 220, 40));
    p.drawEllipse(c + QPointF(-2.2, -2.4), 1.8, 1.4);
}

void drawLitLamp(QPainter& p) {
    const QPointF c(8, 8);
    p.setPen(Qt::NoPen);
    QRadialGradient halo(c, 8);
    halo.setColorAt(0, QColor(255, 190, 80, 255));
    halo.setColorAt(0.75, QColor(255, 120, 20, 160));
    halo.setColorAt(1, QColor(255, 90, 0, 0));
    p.setBrush(halo);
    p.drawEllipse(c, 8.0, 8.0);
    QRadialGradient lens(c + QPointF(-1.5, -1.5), 7);
    lens.setColorAt(0, QColor(0xff, 0xfb, 0xe6));
    lens.setColorAt(0.35, QColor(0xff, 0xd8, 0x6a));
    lens.setColorAt(0.8, QColor(0xff, 0x8f, 0x1a));
    lens.setColorAt(1, QColor(0xc4, 0x4a, 0x06));
    p.setBrush(lens);
    p.drawEllipse(c, 6.5, 6.5);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(c + QPointF(-2.2, -2.4), 1.8, 1.4);
}

// A paddle at rest points up; everything in its box is symmetric about the pivot row except
// the paddle, so mirroring the rows shows it thrown.
void drawSwitch(QPainter& p, int i) {
    const int x0 = kSwitchX0[i];
    const QColor colour = paddleColour(i);
    // The deck's shade at the pivot row, flat over the box, so the box does not show when
    // its rows are exchanged.
    p.setPen(Qt::NoPen);
    p.fillRect(QRect(x0, core::kSwitchPictureTop, kSwitchWidth + 1,
                     core::kSwitchPictureBottom - core::kSwitchPictureTop + 1),
               QColor(0x26, 0x27, 0x2c));
    // Slot: rows 193..217, symmetric about the pivot.
    p.setBrush(kSlot);
    p.drawRoundedRect(QRectF(x0 + 6, 193, 15, 25), 3, 3);
    // Pivot bushing.
    p.setBrush(QColor(0x55, 0x57, 0x5c));
    p.drawRect(QRectF(x0 + 5, 203, 17, 5));
    // Paddle: tip at the top, widening toward the pivot.
    QPainterPath paddle;
    paddle.moveTo(x0 + 4.5, 192.5);
    paddle.quadTo(x0 + 4.5, 190.5, x0 + 7, 190.5);
    paddle.lineTo(x0 + 20, 190.5);
    paddle.quadTo(x0 + 22.5, 190.5, x0 + 22.5, 192.5);
    paddle.lineTo(x0 + 20.5, 205);
    paddle.lineTo(x0 + 6.5, 205);
    paddle.closeSubpath();
    QLinearGradient shade(x0 + 4, 0, x0 + 23, 0);
    shade.setColorAt(0, colour.lighter(135));
    shade.setColorAt(0.45, colour);
    shade.setColorAt(1, colour.darker(150));
    p.setBrush(shade);
    p.setPen(QPen(colour.darker(220), 0.8));
    p.drawPath(paddle);
    // A highlight across the tip that the finger pushes.
    p.setPen(QPen(QColor(255, 255, 255, 110), 1.2));
    p.drawLine(QPointF(x0 + 7, 192.2), QPointF(x0 + 20, 192.2));
}

void drawGroupStripe(QPainter& p, int left, int right, int y, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(left, y, right - left, 4), 1.5, 1.5);
}

int switchCentre(int i) { return kSwitchX0[i] + kSwitchWidth / 2; }

void drawTopBezel(QPainter& p) {
    QLinearGradient g(0, 0, 0, 35);
    g.setColorAt(0, QColor(0x22, 0x22, 0x26));
    g.setColorAt(1, kBezel);
    p.fillRect(QRect(0, 0, kPanelWidth, 35), g);
    p.fillRect(QRect(0, 34, kPanelWidth, 1), QColor(0x8a, 0x8c, 0x90));
    // Name plate.
    QFont logo = artworkFont(ArtFace::Sans, 22);
    logo.setBold(true);
    logo.setItalic(true);
    logo.setLetterSpacing(QFont::AbsoluteSpacing, 2.5);
    p.setFont(logo);
    p.setPen(kLettering);
    drawLettering(p, QRectF(16, 3, 140, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("MIRA-8"));
    text(p, QRectF(138, 4, 200, 30), QStringLiteral("MICROCOMPUTER"), 11, kOrange,
         Qt::AlignLeft | Qt::AlignVCenter);
    // Racing stripes at the right end of the bezel.
    const QColor stripes[] = {kRed, kOrange, kGold};
    for (int k = 0; k < 3; ++k) {
        QPainterPath s;
        const qreal x = 600 + k * 16;
        s.moveTo(x, 34);
        s.lineTo(x + 18, 0);
        s.lineTo(x + 28, 0);
        s.lineTo(x + 10, 34);
        s.closeSubpath();
        p.fillPath(s, stripes[k]);
    }
    text(p, QRectF(360, 4, 220, 30), QStringLiteral("BIT-SERIAL TEACHING SYSTEM"), 9,
         kDimLettering, Qt::AlignRight | Qt::AlignVCenter, false);
}

void drawLampWindow(QPainter& p, bool wif) {
    p.setPen(QPen(QColor(0x4a, 0x4b, 0x50), 1));
    p.setBrush(kGlass);
    p.drawRoundedRect(QRectF(4.5, 37.5, 726, 106), 5, 5);
    // Section dividers.
    p.setPen(QPen(QColor(0x3a, 0x2a, 0x22), 1));
    p.drawLine(QPointF(345.5, 42), QPointF(345.5, 139));
    p.drawLine(QPointF(553.5, 42), QPointF(553.5, 139));

    // Register rows.
    for (int r = 0; r < 4; ++r)
        text(p, QRectF(8, kLampRowY[r], 36, 16), QString::fromLatin1(core::kRegisterRowNames[r]), 12, kLettering,
             Qt::AlignLeft | Qt::AlignVCenter);
    for (int b = 0; b < 8; ++b) {
        text(p, QRectF(kBitLampX[b] - 4, 38, 24, 11), QString::number(7 - b), 8, kDimLettering);
        for (int r = 0; r < 4; ++r) drawLampSocket(p, kBitLampX[b], kLampRowY[r]);
    }
    // Octal groups under the AC row.
    drawGroupStripe(p, kBitLampX[0] - 2, kBitLampX[1] + 18, 138, kOrange);
    drawGroupStripe(p, kBitLampX[2] - 2, kBitLampX[4] + 18, 138, kGold);
    drawGroupStripe(p, kBitLampX[5] - 2, kBitLampX[7] + 18, 138, kOrange);

    text(p, QRectF(361, 38, 175, 11), QStringLiteral("INSTRUCTION"), 8, kDimLettering);
    text(p, QRectF(572, 38, 155, 11), QStringLiteral("STATE"), 8, kDimLettering);
    for (int r = 0; r < 4; ++r) {
        drawLampSocket(p, kInstructionLampX1, kLampRowY[r]);
        drawLampSocket(p, kInstructionLampX2, kLampRowY[r]);
        drawLampSocket(p, kStateLampX, kLampRowY[r]);
        drawLampSocket(p, kAuxLampX, kLampRowY[r]);
    }
    // Lamp names; in WIF mode the lamps mean other things and carry other names.
    const int names = wif ? 1 : 0;
    const auto& left = core::kLeftInstructionNames[names];
    const auto& right = core::kRightInstructionNames[names];
    const auto& state = core::kStateLampNames[names];
    const auto& aux = core::kAuxLampNames[names];
    for (int r = 0; r < 4; ++r) {
        const int y = kLampRowY[r];
        text(p, QRectF(361, y, 45, 16), QString::fromLatin1(left[r]), 10,
             kLettering, Qt::AlignRight | Qt::AlignVCenter);
        text(p, QRectF(477, y, 58, 16), QString::fromLatin1(right[r]), 10,
             kLettering, Qt::AlignLeft | Qt::AlignVCenter);
        text(p, QRectF(572, y, 48, 16), QString::fromLatin1(state[r]), 10,
             kLettering, Qt::AlignRight | Qt::AlignVCenter);
        // Inside wi4Img's rectangle, so the WIF names cover the Normal ones whole.
        text(p, QRectF(689, y, 45, 16), QString::fromLatin1(aux[r]), 9,
             kLettering, Qt::AlignLeft | Qt::AlignVCenter);
    }
}

void drawSwitchDeck(QPainter& p, bool wif) {
    QLinearGradient deck(0, 146, 0, kPanelHeight);
    deck.setColorAt(0, kDeckLight);
    deck.setColorAt(0.12, kDeck);
    deck.setColorAt(1, QColor(0x22, 0x23, 0x27));
    p.fillRect(QRect(0, 146, kPanelWidth, kPanelHeight - 146), deck);
    p.fillRect(QRect(0, 146, kPanelWidth, 1), QColor(0x55, 0x57, 0x5c));

    // Switch register: title, octal group stripes, bit numbers, weights.
    text(p, QRectF(kSwitchX0[0], 150, kSwitchX0[7] + kSwitchWidth - kSwitchX0[0], 13),
         QStringLiteral("SWITCH  REGISTER"), 10, kLettering);
    drawGroupStripe(p, kSwitchX0[0] + 2, kSwitchX0[1] + kSwitchWidth - 2, 166, kOrange);
    drawGroupStripe(p, kSwitchX0[2] + 2, kSwitchX0[4] + kSwitchWidth - 2, 166, kGold);
    drawGroupStripe(p, kSwitchX0[5] + 2, kSwitchX0[7] + kSwitchWidth - 2, 166, kOrange);
    static constexpr int kWeights[] = {2, 1, 4, 2, 1, 4, 2, 1};
    for (int i = 0; i < 8; ++i) {
        text(p, QRectF(switchCentre(i) - 12, 173, 24, 14), QString::number(7 - i), 11, kLettering);
        text(p, QRectF(switchCentre(i) - 12, 223, 24, 12), QString::number(kWeights[i]), 9,
             groupColour(i));
    }

    // Control switches.
    drawGroupStripe(p, kSwitchX0[8] + 2, kSwitchX0[10] + kSwitchWidth - 2, 166, kCream);
    drawGroupStripe(p, kSwitchX0[11] + 2, kSwitchX0[12] + kSwitchWidth - 2, 166, kRed);
    drawGroupStripe(p, kSwitchX0[13] + 2, kSwitchX0[14] + kSwitchWidth - 2, 166, kCream);
    text(p, QRectF(kSwitchX0[8] - 8, 150, kSwitchX0[10] - kSwitchX0[8] + 42, 13),
         QStringLiteral("MEMORY"), 10, kLettering);
    text(p, QRectF(kSwitchX0[11] - 8, 150, kSwitchX0[14] - kSwitchX0[11] + 42, 13),
         QStringLiteral("CONTROL"), 10, kLettering);
    struct Name {
        int i;
        const char* above;
        const char* below;
    };
    const Name names[] = {{8, "LOAD\nADDR", ""},  {9, "DEPOSIT", ""}, {10, "EXAM-\nINE", ""},
                          {11, "RUN", ""},        {12, "HALT", ""},   {13, "SINGLE", "CONT"},
                          {14, "SLOW", "FAST"}};
    for (const Name& n : names) {
        QString above = QString::fromLatin1(n.above);
        if (wif && n.i == core::kSwitchDeposit) above = QStringLiteral("TG1");
        text(p, QRectF(switchCentre(n.i) - 18, 171, 36, 18), above, 8, kLettering);
        text(p, QRectF(switchCentre(n.i) - 18, 223, 36, 12), QString::fromLatin1(n.below), 8,
             kLettering);
    }
    for (int i = 0; i < core::kSwitchCount; ++i) drawSwitch(p, i);

    // Chrome trim along the bottom edge.
    QLinearGradient trim(0, 250, 0, kPanelHeight);
    trim.setColorAt(0, QColor(0x9a, 0x9c, 0xa0));
    trim.setColorAt(0.5, QColor(0x5c, 0x5e, 0x62));
    trim.setColorAt(1, QColor(0x2c, 0x2d, 0x30));
    p.fillRect(QRect(0, 250, kPanelWidth, kPanelHeight - 250), trim);
}

QImage blankImage(QSize logical, qreal dpr) {
    QImage img(QSize(qCeil(logical.width() * dpr), qCeil(logical.height() * dpr)),
               QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    return img;
}

}  // namespace

QColor focusRingColour() { return kGold; }

void drawPanelFooter(QPainter& p, bool wif) {
    // Drawn over the picture at each paint: the memory it names follows the mode.
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    text(p, QRectF(8, 238, 300, 11),
         wif ? QStringLiteral("MODEL 8  \u00B7  1024 WORDS  \u00B7  16 BITS")
             : QStringLiteral("MODEL 8  \u00B7  256 WORDS  \u00B7  8 BITS"),
         7, kDimLettering, Qt::AlignLeft | Qt::AlignVCenter, false);
    p.restore();
}

QImage PanelArt::render(qreal dpr, bool wifLabels) {
    QImage img = blankImage(QSize(kPanelWidth, kPanelHeight), dpr);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawTopBezel(p);
    p.fillRect(QRect(0, 35, kPanelWidth, 111), kDeck);
    drawLampWindow(p, wifLabels);
    drawSwitchDeck(p, wifLabels);
    return img;
}

PanelArt::PanelArt(qreal devicePixelRatio) : dpr_(devicePixelRatio > 0 ? devicePixelRatio : 1) {
    picture_ = render(dpr_, false);
    lampOn_ = blankImage(QSize(kLampSize, kLampSize), dpr_);
    {
        QPainter p(&lampOn_);
        p.setRenderHint(QPainter::Antialiasing);
        drawLitLamp(p);
    }
    const QImage wif = render(dpr_, true);
    for (int k = 0; k < kOverlayCount; ++k) {
        const QRect r = kOverlayRects[k];
        const QRect device(qFloor(r.x() * dpr_), qFloor(r.y() * dpr_), qCeil(r.width() * dpr_),
                           qCeil(r.height() * dpr_));
        overlays_[k] = wif.copy(device);
        overlays_[k].setDevicePixelRatio(dpr_);
    }
}

void PanelArt::mirrorSwitch(int i) {
    if (i < 0 || i >= core::kSwitchCount) return;
    // Rows 190..220 swap in pairs (190, 220), (191, 219) … (204, 206) over columns x0..x0+26;
    // at a device pixel ratio the same band is taken in device rows.
    const int top = qFloor(core::kSwitchPictureTop * dpr_);
    const int bottom = qCeil((core::kSwitchPictureBottom + 1) * dpr_) - 1;
    const int left = qFloor(kSwitchX0[i] * dpr_);
    const int right = std::min(qCeil((kSwitchX0[i] + kSwitchWidth + 1) * dpr_), picture_.width());
    const int bytes = (right - left) * 4;
    for (int a = top, b = bottom; a < b; ++a, --b) {
        uchar* ra = picture_.scanLine(a) + left * 4;
        uchar* rb = picture_.scanLine(b) + left * 4;
        for (int k = 0; k < bytes; ++k) std::swap(ra[k], rb[k]);
    }
}

}  // namespace mira::gui
