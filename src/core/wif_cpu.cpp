// The WIF steps that talk to a timer, the serial test port or program memory as data.
// They are rare in a running program, so they stay out of the inlined step.
#include "wif_cpu.h"

namespace mira::core::wif {

namespace {
// The delay instruction's count is in units of 10 ms.
constexpr int kDelayUnitMs = 10;

bool timerRunning(const std::unique_ptr<Timer>& timer) {
    return timer && timer->isActive();
}
}  // namespace

int32_t randomByte(Machine& m) {
    return static_cast<int32_t>((m.wifRandom() >> 8) & 255);
}

void tableAccess(Machine& m) {
    if (tableAccessOn(m, m.wifWord, m.romPointer, m.ac)) m.changed |= kChangeAc;
    m.changed |= kChangeWifRegs;
}

void lineTest(Machine& m) {
    if (lineTestSkips(m, m.wifWord)) {
        m.skip = true;
        m.changed |= kChangeStatus;
    }
}

void delayInstruction(Machine& m) {
    const int32_t word = m.wifWord;
    switch (selectorA(word)) {
        case 0:
            if (m.codeTimer) {
                m.codeTimer->stop();
                m.codeTimer->setInterval((word & 255) * kDelayUnitMs);
                m.codeTimer->start();
            }
            m.codeTimerFlag = false;
            break;
        case 1:
            if (m.codeTimerFlag) {
                m.skip = true;
                m.codeTimerFlag = false;
                m.changed |= kChangeStatus;
            }
            break;
        default: break;
    }
}

void eepromStep1(Machine& m) {
    const int32_t word = m.wifWord;
    m.mb = 0;
    if (word & 256)
        m.ma = 0;
    else if (word & 128)
        m.ma = word & 31;
    else
        m.ma = m.eepromPointer & 31;
    m.changed |= kChangeMa | kChangeMb;
}

void eepromStep2(Machine& m) {
    const int32_t word = m.wifWord;
    if (word & 64)
        m.mb = m.eeprom[m.ma & 31];
    else if (word & 32)
        m.mb = m.ac;
    m.changed |= kChangeMb;
}

void eepromStep3(Machine& m) {
    const int32_t word = m.wifWord;
    if (word & 128) {
        m.eepromPointer = m.ma & 31;
    } else if (word & 64) {
        m.ac = m.mb;
        m.z = m.ac == 0;
        m.eepromPointer = (m.eepromPointer + 1) & 31;
        m.changed |= kChangeAc | kChangeStatus;
    } else if (word & 32) {
        // The cell takes 7 ms to program; a write in that time is lost.
        if (!timerRunning(m.eepTimer)) {
            const int index = m.ma & 31;
            m.eeprom[index] = static_cast<uint8_t>(m.mb & 255);
            m.eepromChanged |= uint32_t{1} << index;
            m.eepromPointer = (m.eepromPointer + 1) & 31;
            if (m.eepTimer) m.eepTimer->start();
        }
    } else if ((word & 256) && !timerRunning(m.eepTimer)) {
        m.skip = true;
        m.changed |= kChangeStatus;
    }
    m.changed |= kChangeEeprom;
}

void serialOut(Machine& m) {
    if (!m.serialAccess) return;
    m.serialRegister = m.ac & 255;
    if (m.serialPort) m.serialPort->SetSerInLabel(m.serialRegister);
    m.changed |= kChangeSerial;
}

void serialIn(Machine& m) {
    m.wifByteReceived = false;
    if (!m.serialAccess || !m.serialPort) return;
    const int byte = m.serialPort->GetSERIN();
    if (byte < 0) return;
    m.wifByteReceived = true;
    m.mb = byte & 255;
    m.z = m.mb == 0;
    m.skip = true;
    m.changed |= kChangeMb | kChangeStatus;
}

void serialAccess(Machine& m) {
    const bool visible = m.serialPort && m.serialPort->isVisible();
    m.serialAccess = visible && (m.wifWord & 1);
    m.changed |= kChangeSerial | kChangeStatus;
}

}  // namespace mira::core::wif
