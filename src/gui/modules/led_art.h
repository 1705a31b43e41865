// Artwork of the LED displays, drawn by the program: the seven-segment and Nixie glyph
// strips, the empty Nixie tube and its strip of four, and the housings. Every image is
// made at a device pixel ratio and measured in logical pixels.
#pragma once

#include <QImage>

#include "devices/led_digits.h"

namespace mira::gui::ledart {

// Strips of 18 glyphs: digits, blank, minus, A..F.
inline constexpr int kLedStripWidth = 1256;  // the last glyph is 4 pixels narrower
inline constexpr int kLedStripHeight = 88;
inline constexpr int kLedGlyphWidth = 70;
inline constexpr int kLedPitch = 66;
inline constexpr int kNixieStripWidth = 522;
inline constexpr int kNixieStripHeight = 36;
inline constexpr int kNixieGlyphWidth = 29;
inline constexpr int kNixiePitch = 70;
inline constexpr int kTubeWidth = 37;
inline constexpr int kTubeHeight = 90;
inline constexpr int kTubeStripWidth = 250;
inline constexpr int kTubeStripHeight = 90;
inline constexpr int kTubeStripPitch = 70;

// Client sizes and the digit window (left, top, right, bottom) of both displays.
struct Geometry {
    int width, height;
    int winLeft, winTop, winRight, winBottom;
    int ledX0, nixieX0;
    int tubeX, tubeY, tubeStripPart;  // where the tube strip goes and how much of it
};
inline constexpr int kLedY0 = 36;
inline constexpr int kNixieY0 = 54;
inline constexpr Geometry kOctal{387, 220, 99, 31, 313, 129, 106, 118, 114, 35, 180};
inline constexpr Geometry kDecimal{413, 220, 79, 31, 340, 129, 75, 90, 86, 35, 250};
inline const Geometry& geometryOf(devices::LedKind kind) {
    return kind == devices::LedKind::Octal ? kOctal : kDecimal;
}

// Failures a test can provoke; a drawing that cannot get its image memory fails the same way.
struct Faults {
    bool tube = false;
    bool led = false;
    bool nixie = false;
};
Faults& faults();

// Null images on failure.
QImage makeLedStrip(qreal dpr);
QImage makeNixieStrip(qreal dpr);
QImage makeTube(qreal dpr);
// Four tubes at x = 0, 70, 140, 210 on black.
QImage makeTubeStrip(const QImage& tube, qreal dpr);
// The housing on transparent ground, with the digit window black.
QImage makeHousing(devices::LedKind kind, qreal dpr);

}  // namespace mira::gui::ledart
