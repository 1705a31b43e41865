// The ten-digit display window `Tdisp8FM`.
#pragma once

#include <QImage>

#include "devices/ten_digit_display.h"
#include "modules/display_window.h"

namespace mira::gui {

class Tdisp8FM final : public DisplayWindow<devices::TenDigitDisplay> {
public:
    explicit Tdisp8FM(const ModuleEnv& env);

protected:
    void paintFace(QPainter& p, qreal dpr) override;

private:
    QImage housing_;
    QImage maskImage;
};

}  // namespace mira::gui
