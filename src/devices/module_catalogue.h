// The one list of module kinds: what the Modules menu offers, which slots each kind takes,
// its settings lines and its name on the command line. The menu, the settings reader, the
// window list and `mira8-cli --module` all read this table instead of keeping their own.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "core/device.h"
#include "core/settings_file.h"

namespace mira::devices {

// Which slots a module asks for when it opens from the Modules menu.
enum class SlotUse {
    Output,       // one output slot, chosen by the user
    Input,        // one input slot, chosen by the user
    InputOutput,  // the magnetic tape: an input slot, then an output slot
    InputZero,    // the paper tape reader: input slot 0, fixed
    None,         // no slot (external switches, basic serial port)
};

struct ModuleKind {
    int type;              // module type number; kModuleNone for the basic serial port
    const char* menuName;  // object name of the Modules menu item
    const char* caption;   // its caption
    const char* cliKind;   // KIND of `--module`; empty when the module has no headless form
    SlotUse slots;
    int stateKey;                       // settings line of the window state
    bool normalModeOnly;                // menu item enabled in Normal mode only
    bool wifModeOnly;                   // menu item enabled in WIF mode only
    int openField;                      // its "visible" field of line 020; the slot field follows
    core::ReopenStep::Window reopenAs;  // its step in the start-up reopen order
};

// In the Modules menu's order.
std::span<const ModuleKind> moduleKinds();
// The entry of a module type (not the basic serial port); null when there is none.
const ModuleKind* moduleKindOfType(int type);
// The entry of a menu item's object name, or of a `--module` KIND; null when unknown.
const ModuleKind* moduleKindOfMenuName(std::string_view name);
const ModuleKind* moduleKindOfCliName(std::string_view kind);
const ModuleKind* moduleKindOfReopenStep(core::ReopenStep::Window window);
// A module type's name in signal lists and waveform files: its `--module` KIND, empty
// when it has none.
std::string moduleSignalName(int type);

}  // namespace mira::devices
