// The melody player's artwork, drawn in code: a speaker cabinet with its cone, the cone's
// flash while a note starts, and the MIDI status lamp. Painted straight onto the window at
// its device pixel ratio.
#pragma once

#include <QPoint>
#include <QRect>

class QPainter;
class QPainterPath;

namespace mira::gui::playart {

inline constexpr int kWidth = 232;
// The speaker cabinet proper is 216 high; below it a status window says in words what
// the player does (which output sounds, the note now playing), since the lamp alone
// leaves a class without sound guessing.
inline constexpr int kCabinetHeight = 216;
inline constexpr int kHeight = kCabinetHeight + 40;
inline constexpr QRect kStatus{14, kCabinetHeight - 2, kWidth - 28, 34};
// The cone flash `lsImage` and the status lamp.
inline constexpr QRect kCone{54, 46, 124, 124};
inline constexpr QRect kLamp{178, 11, 16, 16};
inline constexpr QPoint kLabelAt{44, 198};
inline constexpr int kLabelWidth = kWidth - 2 * 44;

// The cabinet's rounded outline, the window's shape.
QPainterPath cabinetOutline();
void paintCabinet(QPainter& p);
// The flash drawn over the cone.
void paintFlash(QPainter& p);
// `lit` (lonImage) while MIDI is unavailable; dark (loffImage) while it plays.
void paintLamp(QPainter& p, bool lit);

}  // namespace mira::gui::playart
