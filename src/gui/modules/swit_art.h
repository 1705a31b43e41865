// Artwork of the external switches: the switch box (deck, slots, lettering) and the
// levers, which point up at rest and are drawn mirrored about their pivot row when down.
#pragma once

#include <QImage>

class QPainter;

namespace mira::gui::switart {

inline constexpr int kWidth = 386;
inline constexpr int kHeight = 78;
inline constexpr int kLabelX = 96;
inline constexpr int kLabelY = 56;
// The trigger marker shown in WIF mode over the second control switch's name.
inline constexpr int kTriggerX = 348;
inline constexpr int kTriggerY = 4;
inline constexpr int kTriggerWidth = 32;
inline constexpr int kTriggerHeight = 11;
// Lever rows 18..48 are exchanged about row 33 when a lever moves.
inline constexpr int kLeverTop = 18;
inline constexpr int kLeverBottom = 48;

// Null images on failure.
QImage makeSwitchBox(qreal dpr);
QImage makeTriggerMarker(qreal dpr);

// Lever of column `column` (0..7 data, 8 LOAD ADDRESS, 9 DEPOSIT), up or down.
void paintLever(QPainter& p, int column, bool up);

}  // namespace mira::gui::switart
