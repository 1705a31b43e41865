// Core timers on QTimer, so the machine's and the panel's timers tick in the Qt event loop.
#pragma once

#include <memory>

#include "core/timer.h"

namespace mira::gui {

class QtTimerFactory final : public core::TimerFactory {
public:
    std::unique_ptr<core::Timer> createTimer(int intervalMs) override;
};

}  // namespace mira::gui
