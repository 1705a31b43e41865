#include "devices/module_catalogue.h"

#include <array>

namespace mira::devices {

namespace {

// Octal and decimal LED share KIND names with the CLI's `led`/`decled`; the reader and the
// switches have no device number on the command line, which their CLI code knows.
constexpr std::array<ModuleKind, 14> kKinds{{
    {core::kModuleOctalLed, "OctalLED1", "OCTAL LED Display", "led", SlotUse::Output,
     core::kKeyOctalLed, false, false, core::kOpenOctalLed, core::ReopenStep::OctalLed},
    {core::kModuleDecimalLed, "DecimalLED1", "Decimal LED Display", "decled", SlotUse::Output,
     core::kKeyDecimalLed, false, false, core::kOpenDecimalLed, core::ReopenStep::DecimalLed},
    {core::kModuleDisplay10, "Display10Digit1", "Display 10 Digit", "tendigit", SlotUse::Output,
     core::kKeyDisplay10, false, false, core::kOpenDisplay10, core::ReopenStep::Display10},
    {core::kModuleDisplayAlpha, "Display2LineAlpha1", "Display 2 Line Alpha", "alpha",
     SlotUse::Output, core::kKeyDisplayAlpha, false, false, core::kOpenDisplayAlpha,
     core::ReopenStep::DisplayAlpha},
    {core::kModuleKeypad, "Keypad1", "Keypad", "keypad", SlotUse::Input, core::kKeyKeypad, false,
     false, core::kOpenKeypad, core::ReopenStep::Keypad},
    {core::kModuleKeypad2, "KeyPad21", "KeyPad 2", "keypad2", SlotUse::Input, core::kKeyKeypad2,
     false, false, core::kOpenKeypad2, core::ReopenStep::Keypad2},
    {core::kModuleAscii, "ASCIIKeyboard1", "ASCII Keyboard", "ascii", SlotUse::Input,
     core::kKeyAscii, false, false, core::kOpenAscii, core::ReopenStep::Ascii},
    {core::kModulePrinter, "Printer1", "Printer", "printer", SlotUse::Output, core::kKeyPrinter,
     false, false, core::kOpenPrinter, core::ReopenStep::Printer},
    {core::kModuleMelody, "MelodyPlayer1", "Melody Player", "melody", SlotUse::Output,
     core::kKeyMelodyPlayer, false, false, core::kOpenMelody, core::ReopenStep::Melody},
    {core::kModuleTapeReader, "PaperTapeReader1", "Paper Tape Reader", "reader", SlotUse::InputZero,
     core::kKeyTapeReader, true, false, core::kOpenTapeReader, core::ReopenStep::TapeReader},
    {core::kModuleTapePunch, "PaperTapePunch1", "Paper Tape Punch", "punch", SlotUse::Output,
     core::kKeyTapePunch, true, false, core::kOpenTapePunch, core::ReopenStep::TapePunch},
    {core::kModuleMagTape, "MagneticTapeStorage1", "Magnetic Tape Storage", "magtape",
     SlotUse::InputOutput, core::kKeyMagTape, true, false, core::kOpenMagTape,
     core::ReopenStep::MagTape},
    {core::kModuleNone, "BasicSerialPort1", "Basic Serial Port", "", SlotUse::None,
     core::kKeyBasicSerial, false, true, core::kOpenBasicSerial, core::ReopenStep::BasicSerial},
    {core::kModuleExternalSwitches, "ExternalSwitches1", "External Switches", "switches",
     SlotUse::None, core::kKeyExternalSwitches, false, false, core::kOpenExternalSwitches,
     core::ReopenStep::ExternalSwitches},
}};

}  // namespace

std::span<const ModuleKind> moduleKinds() {
    return kKinds;
}

const ModuleKind* moduleKindOfType(int type) {
    if (type == core::kModuleNone) return nullptr;
    for (const ModuleKind& k : kKinds)
        if (k.type == type) return &k;
    return nullptr;
}

std::string moduleSignalName(int type) {
    const ModuleKind* k = moduleKindOfType(type);
    return k ? k->cliKind : "";
}

const ModuleKind* moduleKindOfMenuName(std::string_view name) {
    for (const ModuleKind& k : kKinds)
        if (name == k.menuName) return &k;
    return nullptr;
}

const ModuleKind* moduleKindOfCliName(std::string_view kind) {
    if (kind.empty()) return nullptr;
    for (const ModuleKind& k : kKinds)
        if (kind == k.cliKind) return &k;
    return nullptr;
}

const ModuleKind* moduleKindOfReopenStep(core::ReopenStep::Window window) {
    for (const ModuleKind& k : kKinds)
        if (k.reopenAs == window) return &k;
    return nullptr;
}

}  // namespace mira::devices
