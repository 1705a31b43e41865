#include "slot_select.h"

namespace mira::devices {

namespace {
constexpr const char* kSlotNames[core::kSlotCount] = {"Input Device 0", "Input Device 1",
                                                       "Output Device 0", "Output Device 1"};
constexpr int kSrSwitches = 8;
}  // namespace

SlotOffer freeSlots(const core::DeviceBus& bus, SlotDirection direction) {
    SlotOffer offer;
    const int first = direction == SlotDirection::Input ? 0 : core::kFirstOutputSlot;
    for (int slot = first; slot < first + 2; ++slot) {
        if (bus.slots[slot].type != core::kModuleNone) continue;
        offer.slots.push_back(slot);
        offer.entries.emplace_back(kSlotNames[slot]);
    }
    return offer;
}

std::string selectionText(std::string_view title, const SlotOffer& offer) {
    std::string text(title);
    for (const std::string& e : offer.entries) text += e + "~";
    return text;
}

int slotForChoice(const SlotOffer& offer, int choice) {
    if (choice < 0 || choice >= static_cast<int>(offer.slots.size())) return -1;
    return offer.slots[choice];
}

const char* noSlotsMessage(SlotDirection direction) {
    return direction == SlotDirection::Input ? "No input devices available"
                                             : "No output devices available";
}

const char* moduleSelectTitle(int moduleType) {
    switch (moduleType) {
    case core::kModuleOctalLed: return "OCTAL LED Display IO Select~";
    case core::kModuleDecimalLed: return "Decimal LED Display IO Select~";
    case core::kModuleKeypad:
    case core::kModuleKeypad2: return "Keyboard IO Select~";
    case core::kModuleMagTape: return "Magnetic Tape IO Select~";
    case core::kModuleMelody: return "Sound Player IO Select~";
    case core::kModulePrinter: return "Printer IO Select~";
    case core::kModuleTapePunch: return "Tape Punch IO Select~";
    case core::kModuleAscii: return "ASCII Keyboard IO Select~";
    case core::kModuleDisplay10: return "8 Digit Display IO Select~";
    case core::kModuleDisplayAlpha: return "5x7 Display IO Select~";
    default: return "";
    }
}

int askForSlot(const core::DeviceBus& bus, SlotDirection direction, std::string_view title,
               core::Prompter& prompter, SlotChooser& chooser) {
    const SlotOffer offer = freeSlots(bus, direction);
    if (offer.empty()) {
        prompter.info(noSlotsMessage(direction));
        return -1;
    }
    return slotForChoice(offer, chooser.choose(selectionText(title, offer), kPreselectedEntry));
}

bool confirmSwitchRegisterAllOnes(const std::array<uint8_t, core::kSwitchCount>& switches,
                                  core::Prompter& prompter) {
    for (int i = 0; i < kSrSwitches; ++i)
        if (switches[i] != 0) return prompter.askYesNo(kSwitchRegisterQuestion);
    return true;
}

bool mayOpenTapeReader(const core::DeviceBus& bus,
                       const std::array<uint8_t, core::kSwitchCount>& switches,
                       core::Prompter& prompter) {
    if (bus.slots[0].type != core::kModuleNone) {
        prompter.info(kTapeReaderSlotBusy);
        return false;
    }
    return confirmSwitchRegisterAllOnes(switches, prompter);
}

}  // namespace mira::devices
