// `tendigit` and `alpha`: the two command-byte displays without a window. Both are always
// ready, so they never pace the program; the JSON shows what the window would hold.
#include "cli_modules.h"
#include "devices/alpha_display.h"
#include "devices/ten_digit_display.h"

namespace mira::cli {

namespace {

class HeadlessTenDigit final : public HeadlessModule {
  public:
    HeadlessTenDigit(int slot, ModuleHost& host) : display_(host.machine.bus) {
        // Opened as the window opens it: bound, then initialised (off, blank, ready).
        display_.PutDevice(slot);
        display_.doInit();
    }
    void writeJson(JsonWriter& j) const override {
        j.key("on").value(display_.displayOn());
        j.key("cursor").value(int64_t{display_.cursor()});
        j.key("cells").intArray(display_.cells());
        j.key("text").value(display_.text());
    }
    std::string textLine() const override {
        return "\"" + display_.text() + "\"" + (display_.displayOn() ? "" : " (off)");
    }


  private:
    devices::TenDigitDisplay display_;
};

class HeadlessAlpha final : public HeadlessModule {
  public:
    HeadlessAlpha(int slot, ModuleHost& host) : display_(host.machine.bus) {
        display_.PutDevice(slot);
        display_.doInit();
    }
    void writeJson(JsonWriter& j) const override {
        j.key("on").value(display_.displayOn());
        j.key("line").value(int64_t{display_.line()});
        j.key("cursor").value(int64_t{display_.cursor()});
        j.key("colour").value(int64_t{display_.colour()});
        j.key("lines").beginArray();
        for (int line = 1; line <= devices::kAlphaLines; ++line) j.value(display_.lineText(line));
        j.endArray();
        j.key("colours").beginArray();
        for (const devices::AlphaLine& l : display_.lines()) {
            j.beginArray();
            for (const devices::AlphaCell& c : l) j.value(int64_t{c.colour});
            j.endArray();
        }
        j.endArray();
    }
    std::string textLine() const override {
        return "\"" + display_.lineText(1) + "\" \"" + display_.lineText(2) + "\"" +
               (display_.displayOn() ? "" : " (off)");
    }


  private:
    devices::AlphaDisplay display_;
};

}  // namespace

ModuleMade makeTenDigitModule(const ModuleRequest& r, ModuleHost& host) {
    return ModuleMade::made(std::make_unique<HeadlessTenDigit>(r.slots.at(0), host));
}

ModuleMade makeAlphaModule(const ModuleRequest& r, ModuleHost& host) {
    return ModuleMade::made(std::make_unique<HeadlessAlpha>(r.slots.at(0), host));
}

}  // namespace mira::cli
