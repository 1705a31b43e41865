// Asking the user for a free device slot when a module opens from the Modules menu, and
// the questions some modules put before they open. Every slot module opens through here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/device.h"
#include "core/machine.h"
#include "core/prompter.h"

namespace mira::devices {

enum class SlotDirection { Input, Output };

// Shows the selection dialog for a "~"-joined text (title, then the entries) with entry
// `initial` selected and returns the chosen entry's number, −1 on Cancel.
class SlotChooser {
public:
    virtual ~SlotChooser() = default;
    virtual int choose(const std::string& text, int initial) = 0;
};

// The free slots of one direction, in the order the dialog lists them.
struct SlotOffer {
    std::vector<int> slots;
    std::vector<std::string> entries;
    bool empty() const { return slots.empty(); }
};

SlotOffer freeSlots(const core::DeviceBus& bus, SlotDirection direction);
// Title (which ends in "~" itself) followed by every entry and its "~".
std::string selectionText(std::string_view title, const SlotOffer& offer);
// The slot of the chosen entry; −1 for Cancel or a number the dialog cannot have given.
int slotForChoice(const SlotOffer& offer, int choice);
const char* noSlotsMessage(SlotDirection direction);
// The dialog title of a module type; empty for modules that do not ask.
const char* moduleSelectTitle(int moduleType);

// The whole question: the slot to bind, or −1 when the module is not to open (no free
// slot, after telling the user, or Cancel). The first free slot comes selected, so OK
// always opens the module somewhere and Enter takes the slot nearly every class uses.
inline constexpr int kPreselectedEntry = 0;
int askForSlot(const core::DeviceBus& bus, SlotDirection direction, std::string_view title,
               core::Prompter& prompter, SlotChooser& chooser);

// The paper tape reader needs input slot 0.
inline constexpr const char* kTapeReaderSlotBusy =
    "Cannot use Paper Tape Module\rInput device 0 is in use";
inline constexpr const char* kSwitchRegisterQuestion =
    "The switch register must be all 1's to correctly operate this module\r\rContinue?";
// SR bits are 1 where their switches are at rest (state 0). False when the user declines.
bool confirmSwitchRegisterAllOnes(const std::array<uint8_t, core::kSwitchCount>& switches,
                                  core::Prompter& prompter);
// The reader's checks in order: slot 0 free, then the switch register.
bool mayOpenTapeReader(const core::DeviceBus& bus,
                       const std::array<uint8_t, core::kSwitchCount>& switches,
                       core::Prompter& prompter);

}  // namespace mira::devices
