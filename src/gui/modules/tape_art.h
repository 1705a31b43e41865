// Artwork of the paper tape reader and punch and of the cassette recorder, drawn by the
// program at a device pixel ratio and measured in logical pixels. The fixed places of the
// pictures are the windows' layout; what each picture looks like is ours.
#pragma once

#include <QImage>
#include <QPainter>
#include <array>

namespace mira::gui::tapeart {

// --- paper tape windows (reader and punch share the frame) ---
inline constexpr int kTapeWindowWidth = 280;
inline constexpr int kTapeWindowHeight = 348;
inline constexpr int kRowWidth = 71;   // one fully punched row
inline constexpr int kRowHeight = 9;   // also the row pitch
inline constexpr int kPaperX = 89;     // the paper picture's left edge
inline constexpr int kReaderRowX = 15; // row offset inside the paper picture
inline constexpr int kPunchRowX = 16;
inline constexpr int kHeadY = 209;     // the tape's bottom edge before any row passed
inline constexpr int kLeadHeight = 44;
inline constexpr int kPaperWidth = 101;
inline constexpr QPoint kFaultLamp{238, 34};
inline constexpr QSize kFaultLampSize{18, 19};
inline constexpr int kButtonY = 206;
inline constexpr int kButtonPressedX = 235;
// The feed button's hot area.
inline constexpr QRect kButtonHit{239, 208, 22, 26};
inline constexpr QPoint kCover{66, 218};
inline constexpr QSize kCoverSize{148, 112};
inline constexpr QSize kButtonSize{30, 30};

// Hole centres from bit 7 on the left, 8 pixels apart, with the feed hole track after
// bit 3; x is the left edge of the 7-pixel hole.
int holeX(int bit);
inline constexpr int kFeedHoleX = 40;

QImage makeTapeBody(bool punch, qreal dpr);
QImage makeLeadIn(qreal dpr);
QImage makeCover(bool punch, qreal dpr);
QImage makeButtonPressed(qreal dpr);
// One row of tape at (x, y): paper, the feed hole, a hole for every 1 bit of `value`
// (values outside 0..255, leader and blank tape, show no data holes).
void drawTapeRow(QPainter& p, int x, int y, int value);
void drawFaultLamp(QPainter& p, bool on);

// --- cassette recorder ---
inline constexpr int kMagWidth = 216;
inline constexpr int kMagHeight = 228;
inline constexpr QPoint kCassette{14, 32};
inline constexpr QSize kCassetteSize{188, 116};
inline constexpr QPoint kTapeLabel{36, 51};
inline constexpr int kReelY = 83;
inline constexpr QPoint kMaskLeft{79, 83};
inline constexpr QPoint kMaskRight{127, 83};
inline constexpr QSize kMaskSize{26, 26};
inline constexpr QPoint kKeyStrip{23, 172};
inline constexpr QSize kKeyStripSize{170, 50};
inline constexpr int kKeyPressedY = 187;
// Pressed-key pictures' x offsets in the strip: RECORD, PLAY, REWIND, FAST FORWARD, STOP.
inline constexpr std::array<int, 5> kKeyPressedOffset{9, 40, 71, 102, 133};
inline constexpr QSize kKeySize{29, 32};
inline constexpr QPoint kCounter{21, 10};
inline constexpr QSize kCounterSize{40, 17};
inline constexpr std::array<int, 3> kWheelX{3, 16, 29};
inline constexpr int kWheelTop = 3;
inline constexpr int kWheelHeight = 11;
inline constexpr int kDigitPitch = 13;  // in the digit strip
inline constexpr int kDigitWidth = 8;
inline constexpr QPoint kResetCounter{66, 12};
inline constexpr QPoint kMagLabel{84, 10};

QImage makeRecorderBody(qreal dpr);
QImage makeCassette(qreal dpr);
// The colour the tape's name is written on.
QColor cassetteLabelColour(const QImage& cassette);
QImage makeKeyStrip(qreal dpr);
// A key held down (red for RECORD).
QImage makeKeyPressed(bool red, int key, qreal dpr);
// Digits 0..9 and 0 again, 13 pixels apart, for the rolling wheels.
QImage makeDigitStrip(qreal dpr);
// The counter frame and its three wheels, each moved by its part of a digit.
void drawCounter(QPainter& p, const QImage& digits, const std::array<int, 3>& digit,
                 const std::array<double, 3>& offset);
// Both reel windows: the tape packs (by head position) and the hubs (turning with it).
void drawReels(QPainter& p, int position, int shift);

}  // namespace mira::gui::tapeart
