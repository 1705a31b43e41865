#include "drawn_controls.h"

namespace mira::core {

DrawnControl lampControl(ControlArea area, std::function<bool()> lit) {
    DrawnControl c;
    c.area = area;
    c.kind = ControlKind::Readout;
    c.state = [lit] { return std::string(lit() ? "on" : "off"); };
    c.on = std::move(lit);
    return c;
}

int ControlTable::add(DrawnControl control) {
    controls_.push_back(std::move(control));
    return size() - 1;
}

bool ControlTable::operable(int i) const {
    const DrawnControl& c = at(i);
    return c.kind != ControlKind::Readout && c.press && present(i);
}

bool ControlTable::present(int i) const {
    const DrawnControl& c = at(i);
    return !c.present || c.present();
}

bool ControlTable::isOn(int i) const {
    const DrawnControl& c = at(i);
    return c.on && c.on();
}

std::string ControlTable::state(int i) const {
    const DrawnControl& c = at(i);
    return c.state ? c.state() : std::string();
}

std::string ControlTable::name(int i) const {
    const DrawnControl& c = at(i);
    return c.nameNow ? c.nameNow() : c.name;
}

std::string ControlTable::spokenName(int i) const {
    const std::string n = name(i);
    if (at(i).kind != ControlKind::Readout) return n;
    const std::string s = state(i);
    if (n.empty()) return s;
    return s.empty() ? n : n + " " + s;
}

int ControlTable::hit(int x, int y) const {
    for (int i = 0; i < size(); ++i)
        if (present(i) && at(i).area.contains(x, y)) return i;
    return -1;
}

int ControlTable::nextFocus(int from, bool backward) const {
    const int n = size();
    if (n == 0) return -1;
    int i = from;
    for (int k = 0; k < n; ++k) {
        if (backward)
            i = i <= 0 ? n - 1 : i - 1;
        else
            i = i < 0 || i >= n - 1 ? 0 : i + 1;
        if (operable(i)) return i;
    }
    return -1;
}

void ControlTable::press(int i) const {
    if (i >= 0 && i < size() && operable(i)) at(i).press();
}

void ControlTable::release(int i) const {
    if (i >= 0 && i < size() && at(i).release) at(i).release();
}

void ControlTable::activate(int i) const {
    if (i < 0 || i >= size() || !operable(i)) return;
    press(i);
    release(i);
}

std::vector<int> ControlTable::changedSince(std::vector<std::string>& last) const {
    std::vector<int> changed;
    const bool first = last.size() != controls_.size();
    last.resize(controls_.size());
    for (int i = 0; i < size(); ++i) {
        // One string holds all a listener hears: present, on, and the words.
        std::string now = present(i) ? (isOn(i) ? "1" : "0") : "-";
        now += spokenName(i) + "\n" + state(i);
        auto& was = last[static_cast<size_t>(i)];
        if (!first && was != now) changed.push_back(i);
        was = std::move(now);
    }
    return changed;
}

}  // namespace mira::core
