// Artwork of the keyboard modules, drawn by the program in the family of the LED
// displays: a brushed metal housing with screws and a name plate, key caps, lamps and the
// small keyboard picture of the ASCII keyboard. Measured in logical pixels.
#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;

namespace mira::gui::keyart {

// The housing on transparent ground; `plateY` is the top of the name plate's line.
QImage makeHousing(int width, int height, qreal dpr, const QString& name, double plateY);

enum class KeyStyle { Digit, Function, Control };
void drawKey(QPainter& p, const QRectF& r, const QString& caption, bool down, KeyStyle style,
             int fontPx);

// A round lamp of `diameter` in its socket, lit or dark.
inline const QColor kAmber(255, 176, 60);
inline const QColor kGreen(80, 235, 90);
void drawLamp(QPainter& p, const QRectF& r, bool on, const QColor& colour);

// The ASCII keyboard's picture: rows of small keys on a dark plate inside `r`.
void drawMiniKeyboard(QPainter& p, const QRectF& r);

}  // namespace mira::gui::keyart
