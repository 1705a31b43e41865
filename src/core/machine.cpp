#include "machine.h"

#include <chrono>

namespace mira::core {

namespace {
constexpr int kCodeTimerMs = 500;
constexpr int kEepTimerMs = 7;
}  // namespace

Machine::Machine() : bus(observer_, liveDisplay) {
    randomSeed = [] {
        return static_cast<uint32_t>(
            std::chrono::high_resolution_clock::now().time_since_epoch().count());
    };
    seedWifRandom(randomSeed());
    computeSr();
    reset();
    updateMemorySize();
}

void Machine::reset() {
    setInstructionLampsOff();
    options.clearMemoryBeforeAssemble = false;
    options.clearRamBeforeAssemble = false;
    options.clearEepromBeforeAssemble = false;
    options.ignoreBreakpoints = false;
    serialAccess = false;
    serialRegister = 0;
    instructionCount = 0;
    countRefreshCounter = 0;
    stackDepth = 0;
    stackOverflow = false;
    run = false;
    fetchLamp = true;
    deferLamp = false;
    execLamp = false;
    deferPending = false;
    c = z = dc = 0;
    skip = false;
    codeTimerFlag = false;
    melodyNoteDelay = 100;
    romPointer = 0;
    lastBreakStop = -1;
    externalMask1 = externalMask2 = 255;
    externalControl = 3;
    t = 0;
    bus.unbindAll();
    computeSr();
    changed |= ~0u;
    latchLamps(kLampGroupsAll);
}

void Machine::attachTimers(TimerFactory& factory) {
    codeTimer = factory.createTimer(kCodeTimerMs);
    codeTimer->setCallback([this] { codeTimerFlag = true; });
    codeTimer->start();
    eepTimer = factory.createTimer(kEepTimerMs);
    eepTimer->setCallback([this] { eepTimer->stop(); });
}

void Machine::updateMemorySize() {
    memorySize = isWif() ? 1024 : 256;
    addressMask = memorySize - 1;
}

void Machine::initMemory(int kind) {
    if (kind == 2) {
        rng_.seed(randomSeed());
        std::uniform_int_distribution<int32_t> word(0, memorySize - 1);
        std::uniform_int_distribution<int32_t> byte(0, 255);
        for (int i = 0; i < memorySize; ++i) memory[i] = word(rng_);
        pc = word(rng_);
        ma = byte(rng_);
        mb = byte(rng_);
        ac = byte(rng_);
    } else {
        const int32_t fill = kind == 1 ? (isWif() ? 65535 : 255) : 0;
        const int32_t reg = kind == 1 ? 255 : 0;
        for (int i = 0; i < memorySize; ++i) memory[i] = fill;
        pc = ma = mb = ac = reg;
    }
    changed |= kChangePc | kChangeMa | kChangeMb | kChangeAc;
    latchLamps(kChangePc | kChangeMa | kChangeMb | kChangeAc);
    observer_->allMemoryChanged();
}

void Machine::initRam(int kind) {
    if (kind == 2) {
        rng_.seed(randomSeed());
        std::uniform_int_distribution<int> byte(0, 255);
        for (auto& b : ram) b = static_cast<uint8_t>(byte(rng_));
        for (auto& s : stack) s = byte(rng_);
    } else {
        const uint8_t fill = kind == 1 ? 255 : 0;
        ram.fill(fill);
        stack.fill(fill);
    }
    stackDepth = 0;
    changed |= kChangeRam | kChangeStack;
}

void Machine::initEeprom() {
    eeprom.fill(255);
    eepromPointer = 0;
    changed |= kChangeEeprom;
}

void Machine::computeSr() {
    int32_t value = 0;
    for (int i = 0; i < 8; ++i)
        if (switches[i] == 0) value |= 1 << (7 - i);
    panelValue = value;
    sr = panelValue & externalMask1 & externalMask2 & 255;
    changed |= kChangeSr;
}

void Machine::setSwitch(int index, bool thrown) {
    if (index < 0 || index >= kSwitchCount) return;
    switches[index] = thrown ? 1 : 0;
    if (index < 8) computeSr();
}

void Machine::setExternalMask1(int mask) {
    externalMask1 = mask & 255;
    computeSr();
}

void Machine::setExternalMask2(int mask) {
    externalMask2 = mask & 255;
    computeSr();
}

void Machine::SetPCfromSwitches() {
    pc = panelValue & sr;
    changed |= kChangePc;
    latchLamps(kChangePc);
    observer_->selectSourceLine(pc);
    observer_->itemsChanged(kChangePc);
    observer_->lampsChanged(kChangePc);
}

void Machine::clearChangedList() {
    for (int i = 0; i < changedCount; ++i) changedMark[changedList[i]] = 0;
    changedCount = 0;
}

std::string Machine::invariantViolation() const {
    auto outside = [](int32_t v, int32_t lo, int32_t hi) { return v < lo || v > hi; };
    if (memorySize != (isWif() ? kMaxMemory : 256)) return "memory size does not match the mode";
    if (addressMask != memorySize - 1) return "address mask does not match the memory size";
    if (outside(pc, 0, memorySize - 1)) return "PC " + std::to_string(pc) + " is outside memory";
    if (outside(ma, 0, memorySize - 1)) return "MA " + std::to_string(ma) + " is outside memory";
    if (outside(romPointer, 0, kMaxMemory - 1)) return "ROM pointer is outside memory";
    if (outside(stackDepth, 0, kStackSize)) return "stack depth is out of range";
    if (outside(eepromPointer, 0, static_cast<int32_t>(eeprom.size()) - 1))
        return "EEPROM pointer is out of range";
    const int32_t wordMax = isWif() ? 65535 : 255;
    for (int i = 0; i < memorySize; ++i)
        if (outside(memory[i], 0, wordMax)) return "memory word " + std::to_string(i) + " is too wide";
    for (int32_t r : {mb, ac, sr})
        if (outside(r, 0, wordMax)) return "a data register is wider than a word";
    return {};
}

}  // namespace mira::core
