// `led` and `decled`: the LED display logic without a window; it paces the program with its
// ready delay exactly as in the GUI.
#include "cli_modules.h"
#include "devices/led_display.h"

namespace mira::cli {

namespace {

class HeadlessLed final : public HeadlessModule {
  public:
    HeadlessLed(devices::LedKind kind, int slot, ModuleHost& host)
        : display_(kind, host.machine.bus, host.clock, host.prompter) {
        display_.PutDevice(slot);
        display_.doInit(true);
    }
    void writeJson(JsonWriter& j) const override {
        j.key("value").value(int64_t{display_.value()});
        j.key("text").value(display_.cells());
    }
    std::string textLine() const override { return display_.cells(); }

  private:
    devices::LedDisplay display_;
};

}  // namespace

ModuleMade makeLedModule(const ModuleRequest& r, ModuleHost& host) {
    const auto kind =
        r.kind->type == core::kModuleOctalLed ? devices::LedKind::Octal : devices::LedKind::Decimal;
    return ModuleMade::made(std::make_unique<HeadlessLed>(kind, r.slots.at(0), host));
}

}  // namespace mira::cli
