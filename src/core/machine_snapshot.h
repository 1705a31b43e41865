// The whole emulator as one snapshot: the machine with its device slots and timers, the
// run loop's counters, every open module's logic keyed by its module type, and the host's
// own stateful parts (the basic serial port, the CLI's scripts and recordings). History,
// machine state files, the GUI and the CLI all take and give these same bytes.
//
// Layout: section "EMUL" holding "MACH" (Machine::saveState), "RUNC" (run-loop counters),
// then one "MODL" section per open module in type order ({u8 type, the module's own
// section}), then the host parts, each one section under its own tag.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "machine.h"
#include "snapshot.h"

namespace mira::core {

class RunControl;

// A stateful part of the host, written as exactly one section tagged `tag`. A state
// without it leaves the part as it is (a state saved in the GUI has no CLI scripts); a
// state with a part the host does not have skips it (the GUI skips the CLI's).
struct HostPart {
    std::string_view tag;
    StatePart* part = nullptr;
};

struct EmulatorParts {
    Machine& machine;
    RunControl* run = nullptr;
    std::vector<HostPart> hostParts;
    // A module type's name for messages ("Printer"); the type number when empty.
    std::function<std::string(int type)> moduleName;
    // Which registered modules are open: in the GUI those whose window is visible; empty
    // means every registered module (the CLI's modules have no windows).
    std::function<bool(const Device&)> isOpen;
};

// The basic serial port in a machine state, section "SERP": one layout for the window and
// the CLI's scripted port, so a state moves between them. The window offers at most one
// byte and mirrors; the CLI's port offers its whole script and has no mirror.
struct SerialPortState {
    static constexpr const char* kTag = "SERP";
    static constexpr int kMirrorDelayCount = 5;
    int received = 0;           // the byte the program sent last, as the port shows it
    std::vector<int> offered;   // bytes offered for reading, the next first
    bool mirror = false;
    int mirrorDelayIndex = 0;   // of the window's delay list
    int64_t mirrorDueUs = -1;   // the mirror timer's time to its tick; -1 when it is stopped

    void save(SnapshotWriter& w) const;
    void restore(SnapshotReader& r);  // range-checked; throws SnapshotError
};

// The module types open now, in type order.
std::vector<int> openModuleTypes(const EmulatorParts& parts);

// The whole state into `out` (its capacity is reused: no allocation once it is large
// enough). For history, call it with the same vector each time.
void captureEmulator(const EmulatorParts& parts, std::vector<uint8_t>& out);
std::vector<uint8_t> captureEmulator(const EmulatorParts& parts);

// The module types a snapshot holds, in its order; throws SnapshotError on damaged data.
std::vector<int> snapshotModuleTypes(const std::vector<uint8_t>& snapshot);

// What a host must prepare before restoring a snapshot: the mode, which module type each
// slot is bound to and the modules, so that the GUI can switch mode and open the module
// windows first. Throws SnapshotError on damaged data.
struct SnapshotOutline {
    OperatingMode mode = OperatingMode::Normal;
    std::array<int, kSlotCount> slotTypes{};
    std::vector<int> modules;
};
SnapshotOutline snapshotOutline(const std::vector<uint8_t>& snapshot);

// The open modules must be exactly those of the snapshot. Empty when they are; else the
// message naming the first module missing or extra.
std::string moduleMismatch(const EmulatorParts& parts, const std::vector<uint8_t>& snapshot);

// All or nothing: checks the modules, saves the current state, restores the snapshot and
// on any SnapshotError restores the saved state again. Empty on success, else why not (a
// text for the user).
std::string restoreEmulator(const EmulatorParts& parts, const std::vector<uint8_t>& snapshot);

}  // namespace mira::core
