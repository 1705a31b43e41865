#include "modules/display8.h"

namespace mira::gui {

Tdisp8FM::Tdisp8FM(const ModuleEnv& env)
    : DisplayWindow(env, {"disp8FM", core::kModuleDisplay10, displayart::kTenWidth,
                          displayart::kTenHeight, displayart::kTenLabelX, displayart::kTenLabelY}) {}

void Tdisp8FM::paintFace(QPainter& p, qreal dpr) {
    if (housing_.isNull() || !qFuzzyCompare(housing_.devicePixelRatio(), dpr)) {
        housing_ = displayart::makeTenDigitHousing(dpr);
        maskImage = displayart::makeTenDigitMask(dpr);
    }
    p.drawImage(QPoint(0, 0), housing_);
    p.drawImage(QPoint(displayart::kTenMaskX, displayart::kTenMaskY), maskImage);
    displayart::paintTenDigitCells(p, display_);
}

}  // namespace mira::gui
