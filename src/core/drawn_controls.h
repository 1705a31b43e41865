// One table of the controls a window draws itself: where each one is, what kind it is,
// its name, how to read its state and what pressing it does. Mouse hits, keyboard focus,
// the focus ring and the objects a screen reader sees all read this one table, so they
// cannot drift apart.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mira::core {

struct ControlArea {
    int x = 0, y = 0, width = 0, height = 0;
    bool contains(int px, int py) const {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
    int centreX() const { return x + width / 2; }
    int centreY() const { return y + height / 2; }
};

enum class ControlKind {
    Toggle,   // stays where it is put (a paddle switch, a lock key)
    Key,      // held while pressed, springs back (a momentary switch, a key)
    Readout,  // read-only: a lamp, a row of lamps, a display
};

struct DrawnControl {
    ControlArea area;
    ControlKind kind = ControlKind::Key;
    std::string name;
    // A name that follows the lettering shown now; overrides `name` when set.
    std::function<std::string()> nameNow;
    // Toggle: up (a data switch up is a 1 bit); Key: held; Readout: lit.
    std::function<bool()> on;
    // Words that tell the state: "SLOW", "0o052", "on"; a readout's contents.
    std::function<std::string()> state;
    // A readout that shows a number offers it as a value as well.
    std::function<std::optional<int64_t>()> number;
    // A control that can be worked: button down and up, as the mouse does it.
    std::function<void()> press;
    std::function<void()> release;
    // False hides a control that is not there now (a key without a caption).
    std::function<bool()> present;
};

// A lamp read out as "on" or "off"; the caller names it.
DrawnControl lampControl(ControlArea area, std::function<bool()> lit);

class ControlTable {
public:
    int add(DrawnControl control);
    int size() const { return static_cast<int>(controls_.size()); }
    const DrawnControl& at(int i) const { return controls_.at(static_cast<size_t>(i)); }

    bool operable(int i) const;
    bool present(int i) const;
    bool isOn(int i) const;
    std::string name(int i) const;
    std::string state(int i) const;
    // What a screen reader says for it: a readout's name with its contents ("AC 0o052",
    // "FETCH on"); any other control's name alone (its state is a state, not a name).
    std::string spokenName(int i) const;

    // The present control under (x, y), −1 none.
    int hit(int x, int y) const;
    // The operable control after (or before) `from`, wrapping round; −1 when there is none.
    // From −1 forward is the first, backward the last.
    int nextFocus(int from, bool backward) const;

    // A mouse click on control i: press, then release.
    void activate(int i) const;
    void press(int i) const;
    void release(int i) const;

    // What a listener would notice has changed since `last` (updated in place): the indices
    // whose state or spoken name differ. The first call reports nothing.
    std::vector<int> changedSince(std::vector<std::string>& last) const;

private:
    std::vector<DrawnControl> controls_;
};

}  // namespace mira::core
