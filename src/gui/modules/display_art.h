// Artwork of the ten-digit and alpha displays, drawn by the program: the housings (on
// transparent ground, in the family of the LED displays) and the cells, painted straight
// from the display logic at the positions the windows fix. Geometry is in logical pixels.
#pragma once

#include <QImage>
#include <array>

class QPainter;
class QLabel;
class QWidget;

namespace mira::devices {
class TenDigitDisplay;
class AlphaDisplay;
}  // namespace mira::devices

namespace mira::gui::displayart {

// Ten-digit display: client area, the unlit digit area (`maskImage`) and the cells.
inline constexpr int kTenWidth = 206;
inline constexpr int kTenHeight = 90;
inline constexpr int kTenMaskX = 25;
inline constexpr int kTenMaskY = 35;
inline constexpr int kTenMaskWidth = 158;
inline constexpr int kTenMaskHeight = 21;
inline constexpr int kTenCellX0 = 26;
inline constexpr int kTenCellPitch = 16;
inline constexpr int kTenLabelX = 47;
inline constexpr int kTenLabelY = 69;
// Cell i's left edge.
constexpr int tenCellLeft(int i) { return kTenCellX0 + kTenCellPitch * i; }

// Alpha display: client area, character origins and dots.
inline constexpr int kAlphaWidth = 330;
inline constexpr int kAlphaHeight = 99;
inline constexpr int kAlphaLine1Y = 26;
inline constexpr int kAlphaLine2Y = 53;
inline constexpr int kAlphaCharX0 = 15;
inline constexpr int kAlphaCharPitch = 19;
inline constexpr int kAlphaDotPitch = 3;
inline constexpr int kAlphaDotSize = 2;
inline constexpr int kAlphaLabelX = 113;
inline constexpr int kAlphaLabelY = 81;
constexpr int alphaCharLeft(int column) { return kAlphaCharX0 + kAlphaCharPitch * column; }
constexpr int alphaLineTop(int lineIndex) { return lineIndex == 0 ? kAlphaLine1Y : kAlphaLine2Y; }

// The lit segment colour and the unlit segments printed on the digit area.
inline constexpr QRgb kTenLit = 0xFFC80000;
inline constexpr QRgb kTenUnlit = 0xFF2A0A08;
inline constexpr QRgb kTenGround = 0xFF000000;

// Null images on failure.
QImage makeTenDigitHousing(qreal dpr);
QImage makeTenDigitMask(qreal dpr);  // kTenMaskWidth x kTenMaskHeight
QImage makeAlphaHousing(qreal dpr);

// The cells, drawn over the mask (ten-digit) or over the housing (alpha: every dot is
// painted, lit or not).
void paintTenDigitCells(QPainter& p, const devices::TenDigitDisplay& d);

// One character cell of the alpha display as an image: its 5 x 7 dots lit in a colour or
// unlit, the gaps black. A fast run may rewrite the display thousands of times a second,
// so a repaint copies 32 of these instead of painting 1120 dots.
class AlphaGlyphs {
public:
    static constexpr int kCellWidth = 14;   // 5 dots at a pitch of 3, each 2 wide
    static constexpr int kCellHeight = 20;  // 7 dots
    // The image of `code` in `colour`, or every dot unlit when `lit` is false.
    const QImage& glyph(int code, int colour, bool lit, qreal dpr);

private:
    qreal dpr_ = 0;
    std::array<QImage, 95 * 4> lit_{};
    QImage unlit_;
};

void paintAlphaDots(QPainter& p, const devices::AlphaDisplay& d, AlphaGlyphs& glyphs, qreal dpr);

// The grey binding label of the module windows, transparent to the mouse so that a press
// on it drags the window like a press on the picture.
void styleDeviceLabel(QLabel* label);
// Only the rounded housing shows on a real screen; the corners belong to the desktop.
void roundWindowMask(QWidget* w, double radius);

}  // namespace mira::gui::displayart
