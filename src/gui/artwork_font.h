// The lettering of the panel and the module windows: faces shipped inside the program
// (resources/fonts), so the artwork looks the same whatever fonts a desktop has, and one
// drawing call that every label goes through, so a test can check that each fits its room.
#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

namespace mira::gui {

enum class ArtFace { Sans, Condensed, Mono };

// The face at a pixel size. Unhinted and without subpixel colour fringes, so neither the
// desktop's font settings nor its installed fonts change a pixel of the artwork.
QFont artworkFont(ArtFace face, int pixelSize, bool bold = false);

// A label drawn into its room: the text set with the painter's font, inside `room`.
void drawLettering(QPainter& p, const QRectF& room, int flags, const QString& text);

struct DrawnLabel {
    QRectF room;
    QFont font;
    QString text;
};

// While set, every drawLettering() is also appended to `sink` (for the layout test).
void recordLabels(std::vector<DrawnLabel>* sink);

}  // namespace mira::gui
