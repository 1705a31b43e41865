#include "board_link.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/atomic_file.h"
#include "core/scrambled_file.h"
#include "intel_hex.h"

namespace mira::link {

namespace {

constexpr int kRstInterval = 100;
constexpr int kRzInterval = 200;
constexpr int kSilentTicks = 10;  // 2 s without a byte ends a transfer
constexpr int kDtrUpTick = 1;
constexpr int kDtrDownTick = 4;
constexpr int kReceiveTick = 10;

// Command bytes.
constexpr int kCmdQuery = 160;
constexpr int kCmdDriver = 161;
constexpr int kCmdMemoryData = 162;
constexpr int kCmdMemoryRead = 163;
constexpr int kCmdErase = 164;
constexpr int kCmdOptions = 165;
constexpr int kCmdRecord = 166;
constexpr int kCmdPageWrite = 167;
constexpr int kCmdPageRead = 168;
constexpr int kCmdDelete = 169;
constexpr int kCmdBoot = 170;
constexpr int kStx = 2;
constexpr int kEtx = 3;
constexpr int kEtxRed = 243;
constexpr int kAreaWif = 255;
constexpr int kBlockBytes = 32;
constexpr int kFirmwarePackets = 32;

constexpr char kDeleteSelection[] =
    "Delete Program...~MIRA 1~MIRA 2~MIRA 3~MIRA 4~MIRA 5~MIRA 6~MIRA 7~MIRA 8~cmdBlank~WIF 1~WIF 2~WIF 3~";

std::string padLeft(std::string s, size_t width) {
    if (s.size() < width) s.insert(0, width - s.size(), ' ');
    return s;
}
std::string padRight(std::string s, size_t width) {
    if (s.size() < width) s.resize(width, ' ');
    return s;
}

}  // namespace

PanelEnables panelEnables(Selection s, bool forcedBoot) {
    if (forcedBoot) return {false, true, false, false};
    switch (s) {
        case Selection::Directory: return {true, false, true, false};
        case Selection::Mira8:
        case Selection::Wif:
        case Selection::Memory: return {true, true, true, false};
        case Selection::Options: return {true, true, false, false};
        case Selection::ComPort: return {false, false, false, true};
        case Selection::UpgradeDriver: return {false, true, false, false};
    }
    return {};
}

BoardLink::BoardLink(BytePort& port, core::TimerFactory& timers, LinkHost& host, core::Prompter& prompter)
    : port_(port), host_(host), prompter_(prompter) {
    rstTimer_ = timers.createTimer(kRstInterval);
    rzTimer_ = timers.createTimer(kRzInterval);
    rstTimer_->setCallback([this] { rstTimerTimer(); });
    rzTimer_->setCallback([this] { rzTimerTimer(); });
}

BoardLink::~BoardLink() = default;

// ---- small steps ----

void BoardLink::send(const std::string& bytes) {
    rx_.clear();
    port_.write(bytes);
}

void BoardLink::send(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b & 0xFF);
    send(s);
}

void BoardLink::log(const std::string& line) {
    messages_.push_back(line);
    host_.messagesChanged();
}

void BoardLink::mark(const char* text) {
    if (messages_.empty() || messages_.back().empty()) return;
    messages_.back() += text;
    host_.messagesChanged();
}

void BoardLink::setLamp(Lamp l) {
    if (lamp_ == l) return;
    lamp_ = l;
    host_.lampChanged(l);
}

void BoardLink::setProgress(int value, int maximum) {
    if (maximum >= 0) progressMax_ = maximum;
    progress_ = value;
    host_.progressChanged(progress_, progressMax_);
}

void BoardLink::setPanel(bool on) {
    panelEnabled_ = on;
    host_.controlsChanged();
}

void BoardLink::rzReset(bool addBlank) {
    rzTimer_->stop();
    rstTimer_->stop();
    setProgress(0);
    setLamp(Lamp::Off);
    linkState_ = 0;
    silence_ = 0;
    rx_.clear();
    programming_ = false;
    bootCode_ = false;
    stopRequested_ = false;
    setPanel(!forcedBoot_);
    if (addBlank) log("");
}

void BoardLink::finishOk() {
    mark(" >OK");
    rzReset(true);
    outcome_ = Outcome::Ok;
}

void BoardLink::failWith(const std::string& message) {
    mark(" >FAIL");
    log(message);
    rzReset(true);
    outcome_ = Outcome::Fail;
}

void BoardLink::startReply(int state) {
    linkState_ = state;
    silence_ = 0;
    outcome_ = Outcome::None;
    setPanel(false);
    // Every command that opens an exchange waits at most 10 silent ticks for its reply.
    rzTimer_->start();
}

bool BoardLink::resetRunning() const { return rstTimer_->isActive(); }

bool BoardLink::preCheck() {
    if (rstTimer_->isActive() || linkState_ != 0) return false;
    if (!port_.isOpen()) {
        prompter_.error(std::string(kPortNotActive) + "\r\r" + kCloseBeforeConnecting);
        outcome_ = Outcome::Error;
        return false;
    }
    return true;
}

bool BoardLink::matchMode(core::OperatingMode wanted) {
    if (host_.emulatorMode() == wanted) return true;
    return prompter_.askYesNo(kModeMismatchQuestion) && host_.switchMode(wanted) &&
           host_.emulatorMode() == wanted;
}

void BoardLink::dataError() {
    log("ERROR: Received data invalid");
    rzReset(true);
    log("Starting MIRA-8...");
    dataError_ = true;
    resetSequence();
    outcome_ = Outcome::Error;
}

// ---- reset sequence and connection ----

void BoardLink::start() {
    rzReset(false);
    host_.controlsChanged();
    if (port_.isOpen()) {
        resetSequence();
    } else {
        log(kPortNotActive);
        log("");
        log(kCloseBeforeConnecting);
    }
}

void BoardLink::resetSequence() {
    setLamp(Lamp::Off);
    forcedBoot_ = false;
    host_.controlsChanged();
    if (!port_.isOpen()) return;
    rzReset(true);
    resetTicks_ = 0;
    rstTimer_->start();
    setPanel(false);
}

void BoardLink::rstTimerTimer() {
    ++resetTicks_;
    if (resetTicks_ == kDtrUpTick) port_.setDtr(true);
    if (resetTicks_ == kDtrDownTick) port_.setDtr(false);
    if (resetTicks_ >= kReceiveTick) {
        rxEnabled_ = true;
        rstTimer_->stop();
        if (!forcedBoot_) connectionQuery();
        else setPanel(false);
    }
}

void BoardLink::rzResetButtClick() {
    if (programming_) {
        stopRequested_ = true;
        return;
    }
    resetSequence();
}

void BoardLink::portChanged(bool opened) {
    if (opened) {
        log("Serial port active");
        rzResetButtClick();
    } else {
        log(kPortNotActive);
        log(kCloseBeforeConnecting);
    }
}

void BoardLink::connectionQuery() {
    log("MIRA-8 connection query...");
    send({kCmdQuery});
    startReply(5);
}

void BoardLink::enterForcedBoot() {
    const std::string stars(49, '*');
    log(stars);
    log("The MIRA-8 board is operating in Forced Boot Mode");
    log("The only functions that will work is to reprogram");
    log("the MIRA-8 hardware driver and to do a Reset");
    log(stars);
    selection_ = Selection::UpgradeDriver;
    forcedBoot_ = true;
    host_.controlsChanged();
    rzReset(false);
    outcome_ = Outcome::Ok;
}

void BoardLink::connected(int options) {
    mark(" >OK");
    setLamp(Lamp::Off);
    const auto marker = host_.dataFile(kMarkerFile);
    std::error_code ec;
    if (!std::filesystem::exists(marker, ec)) {
        log("");
        log("");
        log("Congratulations on the successful creation of your MIRA-8 project :-)");
        core::writeContainerFile(marker, {"Congratulations"});
    }
    log("");
    printOptions(options);
    rzReset(true);
    outcome_ = Outcome::Ok;
}

void BoardLink::printOptions(int options) {
    hardwareOptions_ = options & 0xFF;
    for (const auto& line : optionLines(hardwareOptions_)) log(line);
}

// ---- receiving ----

void BoardLink::Serial1RxData() {
    const std::string in = port_.readAvailable();
    if (in.empty()) return;
    rx_ += in;
    silence_ = 0;
    if (!rxEnabled_) {
        rx_.clear();
        return;
    }
    // No reply is this long; a board that babbles must not grow the buffer for ever.
    if (rx_.size() > kRxBufferLimit) rx_.erase(0, rx_.size() - kRxBufferLimit);
    handle();
}

void BoardLink::rzTimerTimer() {
    if (++silence_ < kSilentTicks) return;
    failWith("Communications failed");
}

void BoardLink::handle() {
    const auto byte = [this](size_t i) { return static_cast<int>(static_cast<unsigned char>(rx_[i])); };
    const auto is = [&](int b) { return rx_.size() == 1 && byte(0) == b; };
    const auto isR5 = [&] { return rx_.size() == 5 && rx_[0] == 'R'; };

    switch (linkState_) {
        case 0:
            if (rx_ == "Bt") enterForcedBoot();
            else if (!rx_.empty() && rx_[0] != 'B') rx_.clear();
            // Only "B" may wait for its "t"; anything longer that is not "Bt" is noise.
            else if (rx_.size() >= 2) rx_.clear();
            return;

        case 5:
            if (rx_ == "Bt") {
                enterForcedBoot();
            } else if (rx_.size() == 3) {
                if (byte(0) == 237 && byte(1) == 200) connected(byte(2));
                else dataError();
            }
            return;

        // Directory records (also the record of a single program read).
        case 300:
            if (!is(kCmdRecord)) return;
            send({'T', recordIndex_, area_});
            record_.clear();
            linkState_ = 301;
            return;
        case 301:
            if (!is('T')) return;
            send({'R'});
            linkState_ = 302;
            return;
        case 302:
            if (!isR5()) return;
            record_ += rx_.substr(1, 4);
            if (static_cast<int>(record_.size()) < kRecordSize) {
                send({'R'});
                return;
            }
            records_.push_back(record_.substr(0, kRecordSize));
            record_.clear();
            if (directoryMode_) {
                ++recordIndex_;
                setProgress(recordIndex_ + (area_ == kAreaWif ? kNormalSlots : 0));
            }
            if (records_.size() == kNormalSlots + kWifSlots || !directoryMode_) {
                send({'V'});
                linkState_ = 304;
                return;
            }
            if (records_.size() == kNormalSlots) {
                recordIndex_ = 0;
                area_ = kAreaWif;
            }
            send({'V'});
            linkState_ = 303;
            return;
        case 303:
            if (!is('V')) return;
            send({kCmdRecord});
            linkState_ = 300;
            return;
        case 304:
            if (!is('V')) return;
            if (directoryMode_) {
                finishOk();
                log(kDirectoryHeader);
                log("");
                for (size_t i = 0; i < records_.size(); ++i)
                    log(directoryLine(static_cast<int>(i) + 1, records_[i], i >= kNormalSlots));
                return;
            }
            if (!records_.empty() && (static_cast<unsigned char>(records_[0][0]) & kRecEmpty)) {
                mark(" >OK");
                log("Program [" + std::to_string(programNumber_) + "] is not valid");
                rzReset(true);
                outcome_ = Outcome::Error;
                return;
            }
            words_.clear();
            setProgress(0, length_);
            send({kCmdPageRead});
            linkState_ = 305;
            return;
        case 305:
            if (!is(kCmdPageRead)) return;
            send({'P', page_});
            linkState_ = 306;
            return;
        case 306:
            if (!is('P')) return;
            send({'R'});
            linkState_ = 307;
            return;
        case 307:
            if (!isR5()) return;
            if (programWif_) {
                words_.push_back((byte(1) << 8) | byte(2));
                words_.push_back((byte(3) << 8) | byte(4));
            } else {
                for (size_t i = 1; i <= 4; ++i) words_.push_back(byte(i));
            }
            setProgress(static_cast<int>(words_.size()));
            if (static_cast<int>(words_.size()) < length_) {
                send({'R'});
            } else {
                send({'V'});
                linkState_ = 308;
            }
            return;
        case 308:
            if (!is('V')) return;
            finishOk();
            offerSendTo(true);
            return;

        // Program write.
        case 400:
            if (!is(kCmdRecord)) return;
            send({'T', recordIndex_, area_});
            linkState_ = 401;
            return;
        case 401:
            if (!is('T')) return;
            recordPos_ = 0;
            send({'S', static_cast<unsigned char>(record_[static_cast<size_t>(recordPos_++)])});
            linkState_ = 402;
            return;
        case 402:
            if (!is('S')) return;
            if (recordPos_ < kRecordSize) {
                send({'S', static_cast<unsigned char>(record_[static_cast<size_t>(recordPos_++)])});
            } else {
                send({'V'});
                linkState_ = 403;
            }
            return;
        case 403:
            if (!is('V')) return;
            send({kCmdPageWrite});
            linkState_ = 404;
            return;
        case 404:
            if (!is(kCmdPageWrite)) return;
            wordIndex_ = 0;
            blockBytes_ = 0;
            send({'P', page_});
            linkState_ = 405;
            return;
        case 405:
            if (!is('P')) return;
            send({'T'});
            linkState_ = 406;
            return;
        case 406:
            if (!is('Q')) return;
            if (blockBytes_ < kBlockBytes) {
                send("Q" + payload_.substr(static_cast<size_t>(wordIndex_), 4));
                wordIndex_ += 4;
                blockBytes_ += 4;
                setProgress(wordIndex_);
            } else {
                send({'S'});
                linkState_ = 407;
            }
            return;
        case 407:
            if (is('X')) {
                failWith("ERROR: EEPROM write failed");
                return;
            }
            if (!is('S')) return;
            if (wordIndex_ < length_) {
                blockBytes_ = 0;
                send({'T'});
                linkState_ = 406;
            } else {
                send({'V'});
                linkState_ = 408;
            }
            return;
        case 408:
            if (is('V')) finishOk();
            return;

        // Project memory write.
        case 200:
            if (!is(kCmdOptions)) return;
            send({'S', hardwareOptions_});
            linkState_ = 201;
            return;
        case 201:
            if (!is('S')) return;
            send({kCmdMemoryData});
            linkState_ = 202;
            return;
        case 202:
            if (!is(kCmdMemoryData)) return;
            if (wordIndex_ < static_cast<int>(payload_.size())) {
                send("Q" + payload_.substr(static_cast<size_t>(wordIndex_), 4));
                wordIndex_ += 4;
                setProgress(memoryNormal_ ? wordIndex_ : wordIndex_ / 2);
            } else {
                send({'V'});
                linkState_ = 203;
            }
            return;
        case 203:
            if (is('V')) finishOk();
            return;

        // Project memory read.
        case 210:
            if (!is(kCmdOptions)) return;
            send({'R'});
            linkState_ = 211;
            return;
        case 211: {
            if (rx_.size() != 2 || rx_[0] != 'R') return;
            // The words are unpacked by this byte below, so it becomes the board's options.
            hardwareOptions_ = byte(1);
            memoryNormal_ = (hardwareOptions_ & kOptNormalMode) != 0;
            length_ = memoryNormal_ ? 256 : 1024;
            const auto boardMode = memoryNormal_ ? core::OperatingMode::Normal : core::OperatingMode::Wif;
            if (host_.emulatorMode() != boardMode) {
                rzTimer_->stop();
                if (!matchMode(boardMode)) {
                    mark(" >CANCEL");
                    rzReset(true);
                    outcome_ = Outcome::Cancel;
                    return;
                }
                silence_ = 0;
                rzTimer_->start();
            }
            setProgress(0, length_);
            send({kCmdMemoryRead});
            linkState_ = 212;
            return;
        }
        case 212:
            if (!is(kCmdMemoryRead)) return;
            send({'R'});
            linkState_ = 213;
            return;
        case 213:
            if (!isR5()) return;
            if (memoryNormal_) {
                for (size_t i = 1; i <= 4; ++i) words_.push_back(byte(i));
            } else {
                words_.push_back((byte(1) << 8) | byte(2));
                words_.push_back((byte(3) << 8) | byte(4));
            }
            setProgress(static_cast<int>(words_.size()));
            if (static_cast<int>(words_.size()) < length_) {
                send({'R'});
            } else {
                send({'V'});
                linkState_ = 214;
            }
            return;
        case 214:
            if (!is('V')) return;
            finishOk();
            offerSendTo(false);
            return;

        case 240:
            if (is('V')) finishOk();
            return;

        // Delete programs.
        case 500:
            if (!is(kCmdDelete)) return;
            send({'T'});
            linkState_ = 501;
            return;
        case 501:
            if (!is('S')) return;
            for (int b = deleteBit_ + 1; b < kNormalSlots + kWifSlots; ++b) {
                if (!(deleteMask_ & (1 << b))) continue;
                deleteBit_ = b;
                if (b < kNormalSlots) send({'S', b, 0});
                else send({'S', b - kNormalSlots, kAreaWif});
                return;
            }
            deleteBit_ = kNormalSlots + kWifSlots;
            send({'V'});
            linkState_ = 502;
            return;
        case 502:
            if (is('V')) finishOk();
            return;

        // Option byte.
        case 250:
            if (!is(kCmdOptions)) return;
            send({'S', optionsToWrite_});
            linkState_ = 251;
            return;
        case 251:
            if (!is('S')) return;
            hardwareOptions_ = optionsToWrite_;
            finishOk();
            return;
        case 260:
            if (!is(kCmdOptions)) return;
            send({'R'});
            linkState_ = 261;
            return;
        case 261:
            if (rx_.size() != 2 || rx_[0] != 'R') return;
            mark(" >OK");
            log("");
            printOptions(byte(1));
            rzReset(true);
            outcome_ = Outcome::Ok;
            return;

        // Firmware.
        case 1000:
            if (!is(kCmdDriver)) {
                dataError();
                return;
            }
            blockCounter_ = 1;
            sendWordPacket();
            linkState_ = 1001;
            return;
        case 1001:
            if (byte(0) != kStx) {
                dataError();
                return;
            }
            if (stopCheck()) return;
            if (++blockCounter_ > kFirmwarePackets) {
                blockCounter_ = 0;
                setProgress(static_cast<int>(firmwareIndex_));
                send({kEtx});
                linkState_ = 1002;
            } else {
                sendWordPacket();
            }
            rx_.clear();
            return;
        case 1002:
            if (byte(0) != kEtx && byte(0) != kEtxRed) {
                dataError();
                return;
            }
            setLamp(byte(0) == kEtxRed ? Lamp::Red : Lamp::Green);
            if (firmwareIndex_ < firmware_.size()) {
                if (stopCheck()) return;
                blockCounter_ = 1;
                sendWordPacket();
                linkState_ = 1001;
            } else {
                mark(" >OK");
                log("Programming complete");
                rzReset(true);
                resetSequence();
                outcome_ = Outcome::Ok;
            }
            rx_.clear();
            return;
        default:
            return;
    }
}

// ---- commands ----

void BoardLink::select(Selection s) {
    if (forcedBoot_) s = Selection::UpgradeDriver;
    selection_ = s;
    host_.controlsChanged();
}

void BoardLink::readButtClick() {
    if (!panelEnables(selection_, forcedBoot_).read) return;
    switch (selection_) {
        case Selection::Directory: readDirectory(); break;
        case Selection::Mira8: readProgram(false, miraSlot_); break;
        case Selection::Wif: readProgram(true, wifSlot_); break;
        case Selection::Memory: readMemory(); break;
        case Selection::Options: readOptions(); break;
        default: break;
    }
}

void BoardLink::rzProgButtClick(bool shiftHeld) {
    if (!panelEnables(selection_, forcedBoot_).write) return;
    switch (selection_) {
        case Selection::Mira8: writeProgram(false, miraSlot_); break;
        case Selection::Wif: writeProgram(true, wifSlot_); break;
        case Selection::Memory: writeMemory(); break;
        case Selection::Options: writeOptions(); break;
        case Selection::UpgradeDriver: upgradeFirmware(shiftHeld); break;
        default: break;
    }
}

void BoardLink::delButtClick() {
    if (!panelEnables(selection_, forcedBoot_).erase) return;
    switch (selection_) {
        case Selection::Directory: {
            if (!preCheck()) return;
            const int mask = host_.askSelection(kDeleteSelection, 0);
            if (mask > 0) deletePrograms(mask);
            break;
        }
        case Selection::Mira8: deletePrograms(1 << (miraSlot_ - 1)); break;
        case Selection::Wif: deletePrograms(1 << (kNormalSlots + wifSlot_ - 1)); break;
        case Selection::Memory: eraseMemory(); break;
        default: break;
    }
}

void BoardLink::readDirectory() {
    if (!preCheck()) return;
    log("Reading directory...");
    setProgress(0, kNormalSlots + kWifSlots);
    setLamp(Lamp::Green);
    directoryMode_ = true;
    recordIndex_ = 0;
    area_ = 0;
    length_ = 0;
    records_.clear();
    send({kCmdRecord});
    startReply(300);
}

void BoardLink::readProgram(bool wif, int n) {
    if (!preCheck()) return;
    if (!matchMode(wif ? core::OperatingMode::Wif : core::OperatingMode::Normal)) {
        outcome_ = Outcome::Cancel;
        return;
    }
    log(std::string("Reading ") + (wif ? "WIF" : "MIRA") + " program [" + std::to_string(n) + "]...");
    directoryMode_ = false;
    programWif_ = wif;
    programNumber_ = n;
    length_ = wif ? 1024 : 256;
    page_ = wif ? (n - 1) * 8 + 8 : n - 1;
    recordIndex_ = n - 1;
    area_ = wif ? kAreaWif : 0;
    records_.clear();
    words_.clear();
    setLamp(Lamp::Green);
    send({kCmdRecord});
    startReply(300);
}

void BoardLink::writeProgram(bool wif, int n) {
    if (!preCheck()) return;
    const auto wanted = wif ? core::OperatingMode::Wif : core::OperatingMode::Normal;
    if (host_.emulatorMode() != wanted) {
        prompter_.info("The memory to be uploaded does not match the program selection");
        outcome_ = Outcome::Fail;
        return;
    }
    const auto name = host_.askProgramName(n, host_.defaultProgramName());
    if (!name) {
        outcome_ = Outcome::Cancel;
        return;
    }
    record_ = makeRecord(recordFlags(host_.emulatorOptions()), *name);
    log(std::string("Writing ") + (wif ? "WIF" : "MIRA") + " program [" + std::to_string(n) + "]...");
    const int full = wif ? 2048 : 256;
    length_ = full;
    if (const auto c = host_.assembledLength()) {
        // Whole 32-byte blocks; at least one, since the first block always goes out.
        const int bytes = wif ? 2 * *c : *c;
        length_ = std::clamp((bytes + kBlockBytes - 1) / kBlockBytes * kBlockBytes, kBlockBytes, full);
    }
    const auto mem = host_.memoryWords();
    payload_.clear();
    for (int i = 0; static_cast<int>(payload_.size()) < length_; ++i) {
        const int32_t w = static_cast<size_t>(i) < mem.size() ? mem[static_cast<size_t>(i)] : 0;
        if (wif) payload_ += static_cast<char>((w >> 8) & 0xFF);
        payload_ += static_cast<char>(w & 0xFF);
    }
    programWif_ = wif;
    programNumber_ = n;
    recordIndex_ = n - 1;
    area_ = wif ? kAreaWif : 0;
    page_ = wif ? (n - 1) * 8 + 8 : n - 1;
    setProgress(0, length_);
    setLamp(Lamp::Green);
    send({kCmdRecord});
    startReply(400);
}

void BoardLink::readMemory() {
    if (!preCheck()) return;
    log("Reading project memory...");
    words_.clear();
    wordIndex_ = 0;
    setLamp(Lamp::Green);
    send({kCmdOptions});
    startReply(210);
}

void BoardLink::writeMemory() {
    if (!preCheck()) return;
    const auto mem = host_.memoryWords();
    size_t count = mem.size();
    if (const auto c = host_.assembledLength()) count = std::min(count, static_cast<size_t>(std::max(*c, 0)));
    words_.assign(mem.begin(), mem.begin() + static_cast<std::ptrdiff_t>(count));
    while (words_.empty() || words_.size() % 4 != 0) words_.push_back(0);
    log("");
    log("Writing project memory -> " + std::to_string(words_.size()) + " words...");
    hardwareOptions_ = memoryWriteOptions(hardwareOptions_, host_.emulatorOptions());
    memoryNormal_ = (hardwareOptions_ & kOptNormalMode) != 0;
    payload_.clear();
    for (int32_t w : words_) {
        if (!memoryNormal_) payload_ += static_cast<char>((w >> 8) & 0xFF);
        payload_ += static_cast<char>(w & 0xFF);
    }
    wordIndex_ = 0;
    setProgress(0, static_cast<int>(words_.size()));
    setLamp(Lamp::Green);
    send({kCmdOptions});
    startReply(200);
}

void BoardLink::eraseMemory() {
    if (!preCheck()) return;
    log("");
    log("Erasing project memory...");
    setLamp(Lamp::Green);
    send({kCmdErase});
    startReply(240);
}

void BoardLink::deletePrograms(int mask) {
    if (!preCheck()) return;
    mask &= (1 << (kNormalSlots + kWifSlots)) - 1;
    if (mask == 0) return;
    if (!prompter_.askYesNo("Continue and delete selected program(s)?")) {
        outcome_ = Outcome::Cancel;
        return;
    }
    log("Deleting program(s)...");
    deleteMask_ = mask;
    deleteBit_ = -1;
    setLamp(Lamp::Green);
    send({kCmdDelete});
    startReply(500);
}

void BoardLink::readOptions() {
    if (!preCheck()) return;
    log("");
    log("Read MIRA-8 hardware options...");
    send({kCmdOptions});
    startReply(260);
}

void BoardLink::writeOptions() {
    if (!preCheck()) return;
    const auto b = host_.askHardwareOptions(hardwareOptions_);
    if (!b) {
        outcome_ = Outcome::Cancel;
        return;
    }
    optionsToWrite_ = *b & 0xFF;
    log("");
    log("Write MIRA-8 hardware options...");
    send({kCmdOptions});
    startReply(250);
}

void BoardLink::upgradeFirmware(bool bootCode) {
    if (!preCheck()) return;
    if (!prompter_.askYesNo(bootCode ? "Continue and reprogram the MIRA-8 hardware boot code?"
                                     : "Continue and reprogram the MIRA-8 hardware driver?")) {
        outcome_ = Outcome::Cancel;
        return;
    }
    log("Processing data...");
    const auto path = host_.dataFile(kFirmwareFile);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        prompter_.error("ERROR: The firmware file \"" + std::string(kFirmwareFile) + "\" was not found in " +
                        path.parent_path().string());
        mark(" >FAIL");
        outcome_ = Outcome::Error;
        return;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const auto image = readIntelHex(text.str(), !bootCode);
    if (!image.ok) {
        prompter_.error(image.error);
        mark(" >FAIL");
        outcome_ = Outcome::Error;
        return;
    }
    auto words = firmwareTransferWords(image.words, bootCode);
    if (words.empty()) {
        prompter_.error(kHexNoData);
        mark(" >FAIL");
        outcome_ = Outcome::Error;
        return;
    }
    mark(" >OK");
    firmware_ = std::move(words);
    log("");
    log("*** CAUTION: DO NOT DISCONNECT THE MIRA-8 ***");
    log("");
    log(bootCode ? "Programming MIRA-8 PIC boot code..." : "Programming MIRA-8 PIC hardware driver...");
    firmwareIndex_ = 0;
    blockCounter_ = 0;
    setProgress(0, static_cast<int>(firmware_.size()));
    send({bootCode ? kCmdBoot : kCmdDriver});
    startReply(1000);
    setLamp(Lamp::Red);
    programming_ = true;
    bootCode_ = bootCode;
}

void BoardLink::sendWordPacket() {
    std::string p(1, static_cast<char>(kStx));
    for (int k = 0; k < 2; ++k) {
        const uint16_t w = firmwareIndex_ < firmware_.size() ? firmware_[firmwareIndex_] : 0xFFFF;
        ++firmwareIndex_;
        p += static_cast<char>(w & 0xFF);
        p += static_cast<char>(w >> 8);
    }
    send(p);
}

bool BoardLink::stopCheck() {
    if (!stopRequested_) return false;
    rzTimer_->stop();
    if (!prompter_.askYesNo(kStopQuestion)) {
        stopRequested_ = false;
        silence_ = 0;
        rzTimer_->start();
        return false;
    }
    resetSequence();
    log("Execute reset...");
    log("");
    outcome_ = Outcome::Cancel;
    return true;
}

// ---- after a read ----

std::vector<std::string> BoardLink::wordLines() const {
    std::vector<std::string> lines;
    const bool normal = lastReadNormal_;
    const int radix = host_.displayRadix(normal);
    char buf[32];
    for (size_t a = 0; a < words_.size(); ++a) {
        const int32_t w = words_[a];
        std::string line;
        if (normal) {
            line = padRight(host_.formatRadix(static_cast<int64_t>(a), radix), 5) + " " +
                   padRight(host_.formatRadix(w, radix), 5);
        } else if (radix == 0) {
            line = padLeft(std::to_string(a), 4) + " " + padLeft(std::to_string(w), 5);
        } else {
            std::snprintf(buf, sizeof buf, "$%03X $%04X", static_cast<unsigned>(a), static_cast<unsigned>(w & 0xFFFF));
            line = buf;
        }
        lines.push_back(line + " " + host_.disassemble(w, normal));
    }
    return lines;
}

std::vector<std::string> BoardLink::viewListLines() const {
    std::vector<std::string> lines;
    if (lastReadDirectoryLine_ && !records_.empty())
        lines.push_back(directoryLine(programNumber_, records_[0], !lastReadNormal_));
    lines.push_back("");
    for (auto& l : wordLines()) lines.push_back(std::move(l));
    return lines;
}

void BoardLink::offerSendTo(bool withDirectoryLine) {
    lastReadDirectoryLine_ = withDirectoryLine;
    lastReadNormal_ = withDirectoryLine ? !programWif_ : memoryNormal_;
    const int sel = host_.askSelection(kSendToTitle, 1);
    if (sel <= 0) return;
    if (sel & 1)
        for (const auto& l : viewListLines()) log(l);
    if (sel & 2) host_.copyToMemory(words_);
    if (sel & 4) {
        if (const auto path = host_.askTextFile()) {
            std::string text;
            for (const auto& l : wordLines()) text += l + "\r\n";
            if (!core::writeFileAtomically(*path, text)) prompter_.error("ERROR: Failed to save file");
        }
    }
}

bool BoardLink::canClose() {
    if (!port_.isOpen() || linkState_ == 0) return true;
    return prompter_.askYesNo(kCommsActiveQuestion);
}

}  // namespace mira::link
