// `switches:MASK`: the external switches without a window. The data switches stand as MASK
// for the whole run; SR is the panel's value (--sr) ANDed with it.
#include <charconv>

#include "cli_modules.h"
#include "devices/external_switches.h"
#include "devices/slot_select.h"

namespace mira::cli {

namespace {

class HeadlessSwitches final : public HeadlessModule {
  public:
    HeadlessSwitches(int mask, ModuleHost& host) : switches_(host.machine, host.sounds) {
        switches_.PutDevice(devices::kExtSwitchesModuleType);
        switches_.doInit(mask);
    }
    void writeJson(JsonWriter& j) const override { j.key("mask").value(int64_t{switches_.mask()}); }
    std::string textLine() const override { return "mask " + std::to_string(switches_.mask()); }
    void saveState(core::SnapshotWriter& w) const override { switches_.saveState(w); }
    void restoreState(core::SnapshotReader& r) override { switches_.restoreState(r); }

  private:
    devices::ExternalSwitches switches_;
};

}  // namespace

ModuleMade makeSwitchesModule(const ModuleRequest& r, ModuleHost& host) {
    const std::string& text = r.args.at(0);
    int mask = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), mask);
    if (ec != std::errc{} || end != text.data() + text.size() || mask < 0 || mask > 255)
        return ModuleMade::usage("MASK must be a number 0..255");
    // As from the Modules menu: the module asks when the panel's SR switches are not all
    // 1's; the run's --answer replies, and "no" opens nothing.
    if (!devices::confirmSwitchRegisterAllOnes(host.machine.switches, host.prompter))
        return ModuleMade::badInput("External Switches not opened");
    return ModuleMade::made(std::make_unique<HeadlessSwitches>(mask, host));
}

}  // namespace mira::cli
