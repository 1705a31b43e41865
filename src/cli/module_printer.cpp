// `printer`: the printer logic without a window. Its print cycle paces the program in
// virtual time as in the GUI; the report is the roll, the line being collected and the
// print state.
#include "cli_modules.h"
#include "devices/printer.h"

namespace mira::cli {

namespace {

class HeadlessPrinter final : public HeadlessModule {
  public:
    HeadlessPrinter(int slot, ModuleHost& host)
        : printer_(host.machine.bus, host.clock, host.prompter, host.sounds) {
        printer_.PutDevice(slot);
        printer_.doInit();
    }
    void writeJson(JsonWriter& j) const override {
        j.key("roll").beginArray();
        for (const std::string& line : printer_.roll()) j.value(devices::rollLineText(line));
        j.endArray();
        j.key("buffer").value(printer_.bufferText());
        j.key("state").value(int64_t{printer_.state()});
    }
    std::string textLine() const override {
        return std::to_string(printer_.roll().size()) + " lines, state " +
               std::to_string(printer_.state()) +
               (printer_.roll().empty() ? "" : ", last \"" + devices::rollLineText(printer_.roll().back()) + "\"");
    }


  private:
    devices::Printer printer_;
};

}  // namespace

ModuleMade makePrinterModule(const ModuleRequest& r, ModuleHost& host) {
    return ModuleMade::made(std::make_unique<HeadlessPrinter>(r.slots.at(0), host));
}

}  // namespace mira::cli
