#include "modules/display57.h"

namespace mira::gui {

Tdisp57FM::Tdisp57FM(const ModuleEnv& env)
    : DisplayWindow(env, {"disp57FM", core::kModuleDisplayAlpha, displayart::kAlphaWidth,
                          displayart::kAlphaHeight, displayart::kAlphaLabelX,
                          displayart::kAlphaLabelY}) {}

void Tdisp57FM::paintFace(QPainter& p, qreal dpr) {
    if (housing_.isNull() || !qFuzzyCompare(housing_.devicePixelRatio(), dpr))
        housing_ = displayart::makeAlphaHousing(dpr);
    p.drawImage(QPoint(0, 0), housing_);
    // Every dot, lit or not, is painted each time: no separate clearing.
    displayart::paintAlphaDots(p, display_, glyphs_, dpr);
}

}  // namespace mira::gui
