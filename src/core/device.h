// The module contract: what the bus asks of a plug-in module bound to a device slot,
// and the slot table the processor's I/O instructions work on.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/snapshot.h"

namespace mira::core {

class MachineObserver;

// Module types as stored in a slot record.
enum ModuleType : int32_t {
    kModuleNone = 0,
    kModuleOctalLed = 1,
    kModuleDecimalLed = 2,
    kModuleKeypad = 3,
    kModuleKeypad2 = 4,
    kModuleTapeReader = 5,
    kModuleTapePunch = 6,
    kModuleMagTape = 7,
    kModuleMelody = 8,
    kModulePrinter = 9,
    kModuleAscii = 10,
    kModuleExternalSwitches = 11,
    kModuleDisplay10 = 12,
    kModuleDisplayAlpha = 13,
};
inline constexpr int kModuleTypeCount = 14;

// Slot indices: input devices 0 and 1, output devices 0 and 1.
inline constexpr int kSlotCount = 4;
inline constexpr int kFirstOutputSlot = 2;

class Device {
public:
    virtual ~Device() = default;
    virtual int moduleType() const = 0;
    // Whether the module's window is open; ResetDevices only resets visible modules.
    virtual bool isVisible() const { return true; }

    virtual void putDevice(int /*slot*/) {}
    virtual int getDevice() const { return -1; }
    virtual void doInit(int /*arg*/) {}
    virtual void doReset(int /*arg*/) {}
    virtual std::string getScreenData() const { return {}; }
    virtual void putScreenData(const std::string& /*data*/) {}

    // Input modules: the byte for an input transfer; 255 when there is none.
    virtual int getData() { return 255; }
    // Input pulse, level 0 then 1; on 0 the module marks its byte as taken.
    virtual void execReady(int /*level*/) {}
    // Output reset pulse, level 0 then 1; on 0 an output module becomes busy.
    virtual void execResetFlag(int /*level*/) {}
    // A new byte is in the output value of `slot`.
    virtual void outputNotification(int /*slot*/) {}
    // The Keypad shifts its own data register along with each input shift step.
    virtual void shiftInputData() {}
    // The run stopped at an instruction end (a sounding melody stops).
    virtual void runStopped() {}

    // Its logic state in a machine snapshot; the window redraws from it after a restore.
    virtual void saveState(SnapshotWriter& /*w*/) const {}
    virtual void restoreState(SnapshotReader& /*r*/) {}
};

struct DeviceSlot {
    int32_t output = 0;
    int32_t input = 0;
    int32_t type = kModuleNone;
    uint8_t flag = 1;   // 0 = ready
    uint8_t pulse = 1;  // output slots: reset line; input slots: ready line
    Device* device = nullptr;
};

// The four device slots and the operations the main window offers to modules.
class DeviceBus {
public:
    DeviceBus(MachineObserver*& observer, const bool& liveDisplay)
        : observer_(observer), live_(liveDisplay) {}

    std::array<DeviceSlot, kSlotCount> slots{};
    // Counts the calls that may have changed a slot (each redraws it): a recorder reads
    // the lines again only when it moved.
    uint64_t slotCalls = 0;

    // Modules created for the whole run, by type, for ResetDevices.
    void registerModule(Device& module);
    void unregisterModule(Device& module);
    Device* module(int type) const;

    // PutDevice's part on the bus: the slot now belongs to `device`.
    void bind(int slot, Device& device);

    void SetDevInflag(int slot, int value);
    void CloseDevice(int slot);
    // Input pulse: ready line, then ExecReady of the bound input module.
    void SetModuleInFlag(int slot, int value);
    // Output reset pulse: reset line, then ExecResetFlag of the bound output module.
    void SetOutputResetFlag(int slot, int value);
    // Start of an input transfer: the slot's input value from the module, 255 when none.
    int readInput(int slot);
    void notifyOutput(int slot);
    void notifyRunStopped();
    void ResetDevices();
    // Machine reset: every slot free again. Module windows stay open.
    void unbindAll();

    static bool isInputModule(int type) {
        return type == kModuleKeypad || type == kModuleKeypad2 || type == kModuleMagTape ||
               type == kModuleAscii;
    }
    static bool takesResetPulse(int type) {
        return type == kModuleOctalLed || type == kModuleDecimalLed || type == kModuleTapePunch ||
               type == kModuleMagTape || type == kModuleMelody || type == kModulePrinter;
    }
    static bool takesOutputNotification(int type) {
        return type == kModuleOctalLed || type == kModuleDecimalLed || type == kModuleMagTape ||
               type == kModuleMelody || type == kModulePrinter || type == kModuleDisplay10 ||
               type == kModuleDisplayAlpha;
    }

private:
    static bool valid(int slot) { return slot >= 0 && slot < kSlotCount; }
    void redrawSlot(int slot, bool onlyWhenLive);

    MachineObserver*& observer_;
    const bool& live_;
    std::array<Device*, kModuleTypeCount> modules_{};
};

}  // namespace mira::core
