#include "cli_modules.h"

#include <array>
#include <ostream>

namespace mira::cli {

namespace {

// One row per kind that runs headless; the catalogue says which slots it takes.
constexpr HeadlessModuleKind kHeadlessKinds[] = {
    {"led", 0, 0, makeLedModule},
    {"decled", 0, 0, makeLedModule},
    {"keypad", 1, 1, makeKeypadModule},
    {"keypad2", 1, 2, makeKeypad2Module},
    {"ascii", 1, 1, makeAsciiModule},
    {"tendigit", 0, 0, makeTenDigitModule},
    {"alpha", 0, 0, makeAlphaModule},
    {"switches", 1, 1, makeSwitchesModule},
    {"printer", 0, 0, makePrinterModule},
    {"melody", 0, 0, makeMelodyModule},
    {"reader", 1, 1, makeReaderModule},
    {"punch", 0, 2, makePunchModule},
    {"magtape", 0, 2, makeMagTapeModule},
};

const HeadlessModuleKind* headlessKind(std::string_view kind) {
    for (const HeadlessModuleKind& k : kHeadlessKinds)
        if (kind == k.kind) return &k;
    return nullptr;
}

bool takesDevice(devices::SlotUse use) {
    return use == devices::SlotUse::Output || use == devices::SlotUse::Input ||
           use == devices::SlotUse::InputOutput;
}

// "0" or "1".
bool parseDevice(std::string_view text, int& dev) {
    if (text != "0" && text != "1") return false;
    dev = text[0] - '0';
    return true;
}

// Splits at ':' into at most `max` pieces; the last piece keeps the rest.
std::vector<std::string> splitArgs(std::string_view text, int max) {
    std::vector<std::string> out;
    while (static_cast<int>(out.size()) + 1 < max) {
        const size_t colon = text.find(':');
        if (colon == std::string_view::npos) break;
        out.emplace_back(text.substr(0, colon));
        text.remove_prefix(colon + 1);
    }
    out.emplace_back(text);
    return out;
}

}  // namespace

std::span<const HeadlessModuleKind> headlessModuleKinds() {
    return kHeadlessKinds;
}

std::string parseModuleOption(const std::string& value, ModuleRequest& r) {
    const std::string prefix = "--module " + value + ": ";
    r.option = value;
    const size_t end = value.find_first_of("@:");
    const std::string kindName = value.substr(0, end);
    const devices::ModuleKind* kind = devices::moduleKindOfCliName(kindName);
    const HeadlessModuleKind* headless = headlessKind(kindName);
    if (!kind || !headless) return prefix + "unknown module kind \"" + kindName + "\"";
    r.kind = kind;
    std::string_view rest =
        end == std::string::npos ? std::string_view{} : std::string_view(value).substr(end);

    if (takesDevice(kind->slots)) {
        const bool both = kind->slots == devices::SlotUse::InputOutput;
        const char* form =
            both ? "needs @I,O with devices 0 or 1 (" : "needs @DEV with DEV 0 or 1 (";
        const std::string example = kindName + (both ? "@0,1" : "@0") + ")";
        if (rest.empty() || rest[0] != '@') return prefix + form + example;
        rest.remove_prefix(1);
        const size_t colon = rest.find(':');
        std::string_view devs = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon);
        const size_t comma = devs.find(',');
        int dev = 0;
        if (!both) {
            if (comma != std::string_view::npos || !parseDevice(devs, dev))
                return prefix + form + example;
            r.devices = {dev};
            r.slots = {kind->slots == devices::SlotUse::Output ? core::kFirstOutputSlot + dev
                                                               : dev};
        } else {
            int out = 0;
            if (comma == std::string_view::npos || !parseDevice(devs.substr(0, comma), dev) ||
                !parseDevice(devs.substr(comma + 1), out))
                return prefix + form + example;
            r.devices = {dev, out};
            r.slots = {dev, core::kFirstOutputSlot + out};
        }
    } else if (!rest.empty() && rest[0] == '@') {
        return prefix + kindName + " takes no device number (" + kindName + ":" +
               (kind->slots == devices::SlotUse::InputZero ? "FILE.ptp" : "MASK") + ")";
    }

    if (!rest.empty()) {
        rest.remove_prefix(1);  // the ':'
        r.args = splitArgs(rest, std::max(headless->maxArgs, 1));
    }
    const int n = static_cast<int>(r.args.size());
    if (n < headless->minArgs) return prefix + "a required argument is missing";
    if (n > headless->maxArgs)
        return prefix +
               (headless->maxArgs == 0 ? kindName + " takes no argument" : "too many arguments");
    return {};
}

int RunModules::open(const ModuleRequest& request, std::ostream& err) {
    const std::string prefix = "mira8-cli run: --module " + request.option + ": ";
    for (const Open& o : modules_) {
        if (o.request.kind == request.kind) {
            err << prefix << "a " << request.kind->cliKind << " module is already open\n";
            return kExitUsage;
        }
    }
    for (int slot : request.slots) {
        if (host_.machine.bus.slots[slot].type != core::kModuleNone) {
            err << prefix << (slot < core::kFirstOutputSlot ? "input device " : "output device ")
                << (slot % core::kFirstOutputSlot) << " is already taken\n";
            return kExitUsage;
        }
    }
    const HeadlessModuleKind* kind = nullptr;
    for (const HeadlessModuleKind& k : kHeadlessKinds)
        if (std::string_view(k.kind) == request.kind->cliKind) kind = &k;
    if (!kind) return kExitUsage;  // parseModuleOption refused it already
    ModuleMade made = kind->make(request, host_);
    if (!made.module) {
        if (made.status == kExitUsage)
            err << prefix << made.message << "\n";
        else
            err << oneLine(made.message) << "\n";
        return made.status == kExitOk ? kExitBadInput : made.status;
    }
    modules_.push_back({request, std::move(made.module)});
    return kExitOk;
}

int RunModules::beforeRun(std::ostream& err) {
    for (Open& o : modules_)
        if (const int status = o.module->beforeRun(err); status != kExitOk) return status;
    return kExitOk;
}

void RunModules::runStarts() {
    for (Open& o : modules_) o.module->runStarts();
}

void RunModules::runEnded() {
    for (Open& o : modules_) o.module->runEnded();
}

int RunModules::afterRun(std::ostream& err) {
    int status = kExitOk;
    for (Open& o : modules_)
        if (const int s = o.module->afterRun(err); s != kExitOk) status = s;
    return status;
}

void RunModules::writeJson(JsonWriter& j) const {
    j.key("modules").beginArray();
    for (const Open& o : modules_) {
        j.beginObject();
        j.key("kind").value(o.request.kind->cliKind);
        const auto& d = o.request.devices;
        if (o.request.kind->slots == devices::SlotUse::InputOutput && d.size() == 2) {
            j.key("in").value(int64_t{d[0]});
            j.key("out").value(int64_t{d[1]});
        } else if (d.size() == 1) {
            j.key("dev").value(int64_t{d[0]});
        }
        o.module->writeJson(j);
        j.endObject();
    }
    j.endArray();
}

void RunModules::writeText(std::ostream& out) const {
    for (const Open& o : modules_) {
        const std::string line = o.module->textLine();
        if (!line.empty()) out << o.request.option << ": " << line << "\n";
    }
}

void RunModules::saveState(core::SnapshotWriter& w) const {
    w.beginSection("CMOD", 1);
    w.u32(static_cast<uint32_t>(modules_.size()));
    for (const Open& o : modules_) {
        w.str(o.request.kind->cliKind);
        o.module->saveState(w);
    }
    w.endSection();
}

void RunModules::restoreState(core::SnapshotReader& r) {
    core::SnapshotWriter before;
    saveState(before);
    try {
        restoreModules(r);
    } catch (const core::SnapshotError&) {
        // Modules restored before the damage go back to what they were.
        core::SnapshotReader again(before.bytes());
        restoreModules(again);
        throw;
    }
}

void RunModules::restoreModules(core::SnapshotReader& r) {
    r.beginSection("CMOD", 1);
    if (r.u32() != modules_.size())
        throw core::SnapshotError("the state was saved with other --module options");
    for (Open& o : modules_) {
        if (r.str() != o.request.kind->cliKind)
            throw core::SnapshotError("the state was saved with other --module options");
        o.module->restoreState(r);
    }
    r.endSection();
}

std::string oneLine(const std::string& text) {
    std::string line;
    for (char ch : text) {
        if (ch == '\r' || ch == '\n') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += ch;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

void ModulePrompter::info(const std::string& text) {
    err_ << oneLine(text) << "\n";
}

bool ModulePrompter::askYesNo(const std::string& text) {
    err_ << oneLine(text) << " " << (answer_ == core::Answer::Yes ? "yes" : "no") << "\n";
    return answer_ == core::Answer::Yes;
}

core::Answer ModulePrompter::askYesNoCancel(const std::string& text) {
    const char* a = answer_ == core::Answer::Yes  ? "yes"
                    : answer_ == core::Answer::No ? "no"
                                                  : "cancel";
    err_ << oneLine(text) << " " << a << "\n";
    return answer_;
}

}  // namespace mira::cli
