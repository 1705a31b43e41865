// The two-line alpha display window `Tdisp57FM`: every dot painted from the display logic.
#pragma once

#include <QImage>

#include "devices/alpha_display.h"
#include "modules/display_art.h"
#include "modules/display_window.h"

namespace mira::gui {

class Tdisp57FM final : public DisplayWindow<devices::AlphaDisplay> {
public:
    explicit Tdisp57FM(const ModuleEnv& env);

protected:
    void paintFace(QPainter& p, qreal dpr) override;

private:
    QImage housing_;
    displayart::AlphaGlyphs glyphs_;
};

}  // namespace mira::gui
