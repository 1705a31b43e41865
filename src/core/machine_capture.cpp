#include "machine_capture.h"

#include <cstring>

#include "code_trace.h"
#include "machine.h"

namespace mira::core {

namespace {
// Every field that decides what the machine does next, in one fixed order for both ways.
template <class M, class F>
void eachField(M& m, F&& f) {
    f(m.pc), f(m.ma), f(m.mb), f(m.ac), f(m.ir), f(m.sr), f(m.c), f(m.z), f(m.dc);
    f(m.memory), f(m.breakpoints), f(m.lastBreakStop), f(m.memorySize), f(m.addressMask);
    f(m.run), f(m.cycleState), f(m.t), f(m.chA), f(m.chB), f(m.chC), f(m.instructionLamps);
    f(m.fetchLamp), f(m.deferLamp), f(m.execLamp), f(m.deferPending), f(m.pcTransferLoaded);
    f(m.instructionAddress), f(m.instructionCount), f(m.countRefreshCounter);
    f(m.switches), f(m.panelValue), f(m.externalMask1), f(m.externalMask2), f(m.lamps);
    f(m.ram), f(m.eeprom), f(m.eepromPointer), f(m.stack), f(m.stackDepth), f(m.stackOverflow);
    f(m.romPointer), f(m.h), f(m.l), f(m.serialRegister), f(m.serialAccess);
    f(m.externalControl), f(m.bankFlag), f(m.instructionTableState), f(m.codeTimerFlag);
    f(m.skip), f(m.wifWord), f(m.wifOpcode), f(m.wifPcWritten), f(m.wifByteReceived);
    f(m.wifInstructionClass), f(m.wifRandom), f(m.liveDisplay), f(m.fastRun);
    for (auto& slot : m.bus.slots) f(slot.output), f(slot.input), f(slot.flag), f(slot.pulse);
}
}  // namespace

std::vector<uint8_t> captureMachine(const Machine& m, const CodeTrace* trace) {
    std::vector<uint8_t> out;
    out.reserve(8192);
    eachField(m, [&](const auto& v) {
        const auto* p = reinterpret_cast<const uint8_t*>(&v);
        out.insert(out.end(), p, p + sizeof v);
    });
    if (trace) {
        const int n = trace->size();
        for (int i = 0; i < n; ++i) {
            const int32_t a = trace->addressAt(i);
            const auto* p = reinterpret_cast<const uint8_t*>(&a);
            out.insert(out.end(), p, p + sizeof a);
        }
    }
    return out;
}

void restoreMachine(Machine& m, const std::vector<uint8_t>& bytes, CodeTrace* trace) {
    size_t pos = 0;
    eachField(m, [&](auto& v) {
        std::memcpy(&v, bytes.data() + pos, sizeof v);
        pos += sizeof v;
    });
    if (trace) {
        trace->clear();
        for (; pos + 4 <= bytes.size(); pos += 4) {
            int32_t a;
            std::memcpy(&a, bytes.data() + pos, 4);
            trace->add(a);
        }
    }
}

}  // namespace mira::core
