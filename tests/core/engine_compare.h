// Two machines run by the two engines, compared field by field: what differs, as text.
#pragma once

#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>

#include "core/machine.h"
#include "core/run_control.h"
#include "core/timer.h"

namespace mira::core::test {

template <class T>
void reportField(std::ostream& out, const char* name, const T& a, const T& b) {
    if (a == b) return;
    out << name;
    if constexpr (std::is_arithmetic_v<T>) out << " " << +a << " / " << +b;
    out << "; ";
}

// Every field a view, the settings file or a later step can see, the run's throttle and the
// clock; empty when all agree. The serial channels are left out (see instruction_engine.h).
inline std::string engineDifference(const Machine& a, const Machine& b, const RunControl& ra,
                                    const RunControl& rb, const VirtualClock& ca,
                                    const VirtualClock& cb) {
    std::ostringstream out;
#define MIRA_FIELD(f) reportField(out, #f, a.f, b.f);
    MIRA_FIELD(pc) MIRA_FIELD(ma) MIRA_FIELD(mb) MIRA_FIELD(ac) MIRA_FIELD(ir) MIRA_FIELD(sr)
    MIRA_FIELD(c) MIRA_FIELD(z) MIRA_FIELD(dc) MIRA_FIELD(memory) MIRA_FIELD(lastBreakStop)
    MIRA_FIELD(run) MIRA_FIELD(cycleState) MIRA_FIELD(t) MIRA_FIELD(instructionLamps)
    MIRA_FIELD(fetchLamp) MIRA_FIELD(deferLamp) MIRA_FIELD(execLamp) MIRA_FIELD(deferPending)
    MIRA_FIELD(pcTransferLoaded) MIRA_FIELD(instructionAddress) MIRA_FIELD(instructionCount)
    MIRA_FIELD(countRefreshCounter) MIRA_FIELD(switches) MIRA_FIELD(lamps.pc)
    MIRA_FIELD(lamps.ma) MIRA_FIELD(lamps.mb) MIRA_FIELD(lamps.ac) MIRA_FIELD(ram)
    MIRA_FIELD(eeprom) MIRA_FIELD(eepromPointer) MIRA_FIELD(stack) MIRA_FIELD(stackDepth)
    MIRA_FIELD(stackOverflow) MIRA_FIELD(romPointer) MIRA_FIELD(h) MIRA_FIELD(l)
    MIRA_FIELD(serialRegister) MIRA_FIELD(serialAccess) MIRA_FIELD(externalControl)
    MIRA_FIELD(bankFlag) MIRA_FIELD(codeTimerFlag) MIRA_FIELD(skip) MIRA_FIELD(wifWord)
    MIRA_FIELD(wifOpcode) MIRA_FIELD(wifPcWritten) MIRA_FIELD(wifByteReceived)
    MIRA_FIELD(ramChanged) MIRA_FIELD(eepromChanged) MIRA_FIELD(wifRandom) MIRA_FIELD(changed)
    MIRA_FIELD(lampsDirty) MIRA_FIELD(changedCount) MIRA_FIELD(changedMark)
    for (int i = 0; i < kSlotCount; ++i) {
        MIRA_FIELD(bus.slots[i].output) MIRA_FIELD(bus.slots[i].input)
        MIRA_FIELD(bus.slots[i].flag) MIRA_FIELD(bus.slots[i].pulse)
        MIRA_FIELD(bus.slots[i].type)
    }
    for (int i = 0; i < a.changedCount && i < b.changedCount; ++i) MIRA_FIELD(changedList[i])
    MIRA_FIELD(codeTimer->isActive())
    MIRA_FIELD(codeTimer->interval()) MIRA_FIELD(eepTimer->isActive())
#undef MIRA_FIELD
#define MIRA_FIELD(f) reportField(out, #f, ra.f, rb.f);
    MIRA_FIELD(displayRefreshCounter) MIRA_FIELD(throttleStep)
#undef MIRA_FIELD
#define MIRA_FIELD(f) reportField(out, #f, ca.f, cb.f);
    MIRA_FIELD(nowMicros()) MIRA_FIELD(nextDueMicros())
#undef MIRA_FIELD
    return out.str();
}

}  // namespace mira::core::test
