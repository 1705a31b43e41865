// Device modules in a headless run (`mira8-cli run --module KIND@DEV[:ARG[:ARG]]`): the same
// module logic the windows own, opened before the run as the Modules menu opens it, and
// reported in the run's JSON. One table of kinds; each kind's code is in module_<kind>.cpp.
#pragma once

#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "commands.h"
#include "core/machine.h"
#include "core/prompter.h"
#include "core/snapshot.h"
#include "core/sound.h"
#include "core/timer.h"
#include "devices/module_catalogue.h"
#include "json_writer.h"

namespace mira::cli {

// One `--module` value, checked against the catalogue.
struct ModuleRequest {
    const devices::ModuleKind* kind = nullptr;
    std::string option;             // the value as given, for messages
    std::vector<int> devices;       // device numbers after '@' (magtape: input, output)
    std::vector<int> slots;         // the bus slots they mean (output device d is slot 2 + d)
    std::vector<std::string> args;  // after the device (or after KIND: for reader, switches)
};

// What a headless module may use. Messages a window would show go to stderr; questions
// take the run's --answer.
struct ModuleHost {
    core::Machine& machine;
    core::VirtualClock& clock;
    core::Prompter& prompter;
    core::SoundEffects& sounds;  // no player: silent
};

class HeadlessModule {
  public:
    virtual ~HeadlessModule() = default;
    // After every module is open, before --pc applies (the paper tape reader feeds its tape
    // here). Returns an exit status; anything but kExitOk ends the command.
    virtual int beforeRun(std::ostream& /*err*/) { return kExitOk; }
    // The run starts now (after any tape feed and --pc); key scripts count from here.
    virtual void runStarts() {}
    // The run ended, for whatever reason, as the GUI's end of a run.
    virtual void runEnded() {}
    // After runEnded, what a user does with the module once the run is over (the punch
    // saves its tape). Returns an exit status, after the message.
    virtual int afterRun(std::ostream& /*err*/) { return kExitOk; }
    // The module's own fields; "kind" and the device numbers are written by the caller.
    virtual void writeJson(JsonWriter& j) const = 0;
    // One line for the plain-text report, without the newline; empty for none.
    virtual std::string textLine() const { return {}; }
    // What the headless run keeps beside the module's logic (a key script's place, the
    // recorded notes, ...), for machine states. The logic itself is saved once, with the
    // machine, as the GUI saves it, so a state moves between them.
    virtual void saveState(core::SnapshotWriter& /*w*/) const {}
    virtual void restoreState(core::SnapshotReader& /*r*/) {}
};

// A made module, or why it could not be made: kExitUsage for a bad ARG (message names the
// option), kExitBadInput for a module file that cannot be used (the module's own message).
struct ModuleMade {
    std::unique_ptr<HeadlessModule> module;
    int status = kExitOk;
    std::string message;

    static ModuleMade made(std::unique_ptr<HeadlessModule> m) {
        return {std::move(m), kExitOk, {}};
    }
    static ModuleMade usage(std::string text) { return {nullptr, kExitUsage, std::move(text)}; }
    static ModuleMade badInput(std::string text) {
        return {nullptr, kExitBadInput, std::move(text)};
    }
};

struct HeadlessModuleKind {
    const char* kind;  // as in the catalogue's cliKind
    int minArgs;
    int maxArgs;  // the last argument takes the rest of the option, ':' included
    ModuleMade (*make)(const ModuleRequest& request, ModuleHost& host);
};

std::span<const HeadlessModuleKind> headlessModuleKinds();

// Parses one --module value: the kind, its device numbers by the catalogue's slot use, the
// arguments. Returns an error text (naming --module) or empty.
std::string parseModuleOption(const std::string& value, ModuleRequest& request);

// The modules of a run, opened in order; refuses a device that is already taken and a
// second module of the same kind (each kind has one window).
class RunModules final : public core::StatePart {
  public:
    explicit RunModules(ModuleHost host) : host_(host) {}
    // Opens one module; returns an exit status and prints the message to `err`.
    int open(const ModuleRequest& request, std::ostream& err);
    int beforeRun(std::ostream& err);
    void runStarts();
    void runEnded();
    int afterRun(std::ostream& err);
    bool empty() const { return modules_.empty(); }
    void writeJson(JsonWriter& j) const;  // the "modules" array
    void writeText(std::ostream& out) const;
    // Section "CMOD": each open module by kind, in the order opened. The modules of the
    // state must be the ones opened now; a state that does not fit changes none of them.
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

  private:
    struct Open {
        ModuleRequest request;
        std::unique_ptr<HeadlessModule> module;
    };
    void restoreModules(core::SnapshotReader& r);

    ModuleHost host_;
    std::vector<Open> modules_;
};

// The CLI's prompter for module messages: info and errors to stderr, questions answered.
class ModulePrompter final : public core::Prompter {
  public:
    ModulePrompter(core::Answer answer, std::ostream& err) : answer_(answer), err_(err) {}
    void info(const std::string& text) override;
    void error(const std::string& text) override { info(text); }
    bool askYesNo(const std::string& text) override;
    core::Answer askYesNoCancel(const std::string& text) override;

  private:
    core::Answer answer_;
    std::ostream& err_;
};

// A message box text on one line: each CR becomes one space.
std::string oneLine(const std::string& text);

// Headless kinds, each defined in its own file.
ModuleMade makeLedModule(const ModuleRequest& request, ModuleHost& host);
ModuleMade makeKeypadModule(const ModuleRequest& request, ModuleHost& host);
ModuleMade makeKeypad2Module(const ModuleRequest& request, ModuleHost& host);
ModuleMade makeAsciiModule(const ModuleRequest& request, ModuleHost& host);
ModuleMade makePrinterModule(const ModuleRequest& request, ModuleHost& host);
ModuleMade makeTenDigitModule(const ModuleRequest& request, ModuleHost& host);
ModuleMade makeAlphaModule(const ModuleRequest& request, ModuleHost& host);
ModuleMade makeSwitchesModule(const ModuleRequest& request, ModuleHost& host);
ModuleMade makeReaderModule(const ModuleRequest& request, ModuleHost& host);
ModuleMade makePunchModule(const ModuleRequest& request, ModuleHost& host);
ModuleMade makeMagTapeModule(const ModuleRequest& request, ModuleHost& host);
ModuleMade makeMelodyModule(const ModuleRequest& request, ModuleHost& host);

}  // namespace mira::cli
