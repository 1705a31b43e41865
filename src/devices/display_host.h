// What a command-driven display (ten-digit, alpha) asks of its window.
#pragma once

namespace mira::devices {

class DisplayHost {
public:
    virtual ~DisplayHost() = default;
    virtual void redraw() = 0;
    virtual bool windowVisible() const = 0;
};

}  // namespace mira::devices
