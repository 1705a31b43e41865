// How the machine tells its views what to redraw. The core never draws; a window turns
// these calls into repaints, a headless run ignores them.
#pragma once

#include <cstdint>

namespace mira::core {

// Items of the machine that a view may show. The first five bits are also the panel's
// lamp groups (PC, MA, MB, AC, instruction/state lamps).
enum ChangeBit : uint32_t {
    kChangePc = 1u << 0,
    kChangeMa = 1u << 1,
    kChangeMb = 1u << 2,
    kChangeAc = 1u << 3,
    kChangeState = 1u << 4,  // instruction lamps, RUN, FETCH/DEFER/EXEC
    kChangeStatus = 1u << 5,  // C, Z, DC, skip, options shown in the status rows
    kChangeCount = 1u << 6,  // instruction count
    kChangeCycle = 1u << 7,  // cycle state / clock state
    kChangeSr = 1u << 8,
    kChangeIr = 1u << 9,
    kChangeSlots = 1u << 10,  // I/O flags and values
    kChangeStack = 1u << 11,
    kChangeRam = 1u << 12,
    kChangeEeprom = 1u << 13,
    kChangeSerial = 1u << 14,
    kChangeExtControl = 1u << 15,
    kChangeWifRegs = 1u << 16,  // ROM pointer, H, L, bank
    kChangeSwitches = 1u << 17,  // a panel switch was thrown by the machine
};
inline constexpr uint32_t kLampGroupsAll = 31;

class MachineObserver {
public:
    virtual ~MachineObserver() = default;
    // Lamp groups whose latched values changed (bits of kLampGroupsAll).
    virtual void lampsChanged(uint32_t /*groups*/) {}
    // View items (ChangeBit) that need a redraw.
    virtual void itemsChanged(uint32_t /*items*/) {}
    virtual void memoryWordChanged(int /*address*/) {}
    virtual void allMemoryChanged() {}
    virtual void slotChanged(int /*slot*/) {}
    virtual void ramByteChanged(int /*index*/) {}
    virtual void eepromByteChanged(int /*index*/) {}
    // The editor follows the program: select the source line of this address.
    virtual void selectSourceLine(int /*pc*/) {}
    virtual void runStopped() {}
    virtual void traceChanged() {}
};

// The observer of a headless run.
class NullObserver final : public MachineObserver {};

}  // namespace mira::core
