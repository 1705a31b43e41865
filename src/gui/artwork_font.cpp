#include "artwork_font.h"

#include <QFontDatabase>
#include <QPainter>

namespace mira::gui {

namespace {

std::vector<DrawnLabel>* labelSink = nullptr;

// Registered once, before the first font is asked for. The condensed files carry the
// family "DejaVu Sans" with a condensed width, so asking for that family and width finds
// them even where the desktop knows no condensed face.
void loadFaces() {
    static const bool loaded = [] {
        for (const char* file :
             {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-BoldOblique.ttf",
              "DejaVuSansCondensed.ttf", "DejaVuSansCondensed-Bold.ttf", "DejaVuSansMono.ttf"}) {
            QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/") + QLatin1String(file));
        }
        return true;
    }();
    (void)loaded;
}

}  // namespace

QFont artworkFont(ArtFace face, int pixelSize, bool bold) {
    loadFaces();
    QFont f(face == ArtFace::Mono ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
    if (face == ArtFace::Condensed) f.setStretch(QFont::SemiCondensed);  // the condensed files' width class
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias |
                                            QFont::NoFontMerging));
    return f;
}

void drawLettering(QPainter& p, const QRectF& room, int flags, const QString& text) {
    if (labelSink != nullptr) labelSink->push_back({room, p.font(), text});
    p.drawText(room, flags, text);
}

void recordLabels(std::vector<DrawnLabel>* sink) { labelSink = sink; }

}  // namespace mira::gui
