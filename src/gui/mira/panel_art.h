// The front panel's picture, drawn by the program: the panel with its lettering, lamp
// sockets and paddle switches, the lit-lamp picture and the WIF label overlays. Everything
// is rendered at the screen's device pixel ratio; geometry stays in panel pixels.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <array>

#include "core/panel.h"

class QPainter;

namespace mira::gui {

inline constexpr int kPanelWidth = 735;
inline constexpr int kPanelHeight = 259;
inline constexpr int kSpeedPanelHeight = 29;
using core::kLampSize;
using core::kBitLampX;
using core::kLampRowY;
using core::kInstructionLampX1;
using core::kInstructionLampX2;
using core::kStateLampX;
using core::kAuxLampX;

// The WIF label overlays: wi1Img … wi5Img, in that order.
inline constexpr int kOverlayCount = 5;
inline constexpr std::array<QRect, kOverlayCount> kOverlayRects{
    QRect(432, 162, 36, 24),  // wi1Img: the DEPOSIT switch's name
    QRect(361, 50, 48, 86),   // wi2Img: left instruction lamp names
    QRect(474, 51, 62, 85),   // wi3Img: right instruction lamp names
    QRect(689, 50, 46, 86),   // wi4Img: auxiliary lamp names
    QRect(572, 51, 50, 85),   // wi5Img: state lamp names
};

// The keyboard focus ring: the harvest gold of the panel's group stripes.
QColor focusRingColour();

// The lettering under the switches, naming the memory of the mode.
void drawPanelFooter(QPainter& p, bool wif);

class PanelArt {
public:
    explicit PanelArt(qreal devicePixelRatio);

    // The panel as the switches now stand (all at rest until mirrored).
    const QImage& picture() const { return picture_; }
    const QImage& lampOn() const { return lampOn_; }
    const QImage& overlay(int k) const { return overlays_.at(k); }
    qreal devicePixelRatio() const { return dpr_; }

    // Throwing or returning switch i: its picture rows are exchanged about row 205.
    void mirrorSwitch(int i);

    // The panel drawn with Normal (false) or WIF (true) lettering, switches at rest.
    static QImage render(qreal devicePixelRatio, bool wifLabels);

private:
    qreal dpr_;
    QImage picture_;
    QImage lampOn_;
    std::array<QImage, kOverlayCount> overlays_;
};

}  // namespace mira::gui
