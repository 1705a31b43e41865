#include "board_link.h"

#include <algorithm>
#include <cstdio>

#include "core/atomic_file.h"
#include "core/file_read.h"
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
// What a command may take in all: its bytes at the link's rate (19200 baud, 10 bits a
// byte) twice over, a turnaround per exchange for the board and USB, and a margin. A board
// that keeps sending bytes that match nothing resets the silence count for ever; this
// ends it.
constexpr int kLinkBytesPerSecond = 1920;
constexpr int kTurnaroundMs = 20;
constexpr int kBudgetMarginMs = 5000;

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
    bytesSinceSend_ = 0;
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
    noteInterruptedFirmware();
    rzReset(true);
    outcome_ = Outcome::Fail;
}

// A controller left with part of its firmware may not start its driver again.
void BoardLink::noteInterruptedFirmware() {
    if (!programming_) return;
    log("");
    log(std::string("The MIRA-8 controller may now hold an incomplete ") +
        (bootCode_ ? "boot code." : "hardware driver."));
    log("If the board no longer connects, press Reset: a board without a working");
    log("driver answers in Forced Boot Mode, and \"Upgrade Driver\" + \"Write\" then");
    log("programs it again from " + std::string(kFirmwareFile) + ".");
}

int BoardLink::commandBudgetMs(int exchanges, int bytes) {
    return kBudgetMarginMs + exchanges * kTurnaroundMs + bytes * 2 * 1000 / kLinkBytesPerSecond;
}

int BoardLink::budgetMs() const { return budgetTicks_ * kRzInterval; }

void BoardLink::startReply(int state, int budgetMs) {
    linkState_ = state;
    silence_ = 0;
    elapsedTicks_ = 0;
    budgetTicks_ = (budgetMs + kRzInterval - 1) / kRzInterval;
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
    noteInterruptedFirmware();
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

void BoardLink::resetAfterReopen(bool opened, const std::string& portName) {
    if (programming_) {
        stopRequested_ = true;
        return;
    }
    if (opened) {
        resetSequence();
        return;
    }
    rzReset(true);
    log(kNotConnected + portName);
    outcome_ = Outcome::Error;
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
    startReply(5, commandBudgetMs(1, 4));
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
    bytesSinceSend_ += in.size();
    if (!rxEnabled_) {
        rx_.clear();
        return;
    }
    // No reply is this long; a board that babbles must not grow the buffer for ever.
    if (rx_.size() > kRxBufferLimit) rx_.erase(0, rx_.size() - kRxBufferLimit);
    handle();
}

void BoardLink::rzTimerTimer() {
    if (port_.lost()) {
        failWith(kNotConnected + port_.name());
        return;
    }
    if (++elapsedTicks_ > budgetTicks_) {
        failWith(bytesSinceSend_ > 0 ? std::string(kDataDoesNotFit)
                                     : "ERROR: the board did not finish within " +
                                           std::to_string(budgetMs() / 1000) + " s");
        return;
    }
    if (++silence_ < kSilentTicks) return;
    failWith("Communications failed");
}

int BoardLink::rxByte(size_t i) const { return static_cast<int>(static_cast<unsigned char>(rx_[i])); }
bool BoardLink::rxIs(int b) const { return rx_.size() == 1 && rxByte(0) == b; }
bool BoardLink::rxIsR5() const { return rx_.size() == 5 && rx_[0] == 'R'; }

void BoardLink::handle() {
    const int s = linkState_;
    if (s < 100) handleQuery();
    else if (s < 300) handleOptions();
    else if (s <= 304 || (s >= 400 && s <= 403) || (s >= 500 && s < 1000)) handleRecord();
    else if (s < 400) handlePageRead();
    else if (s < 500) handlePageWrite();
    else handleFirmware();
}

// The connection query, and "Bt" from a board in forced boot mode while idle.
void BoardLink::handleQuery() {
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
                if (rxByte(0) == 237 && rxByte(1) == 200) connected(rxByte(2));
                else dataError();
            }
            return;
        default:
            return;
    }
}

// Directory records: read (directory, single program), written (program write) and erased.
void BoardLink::handleRecord() {
    switch (linkState_) {
        case 300:
            if (!rxIs(kCmdRecord)) return;
            send({'T', recordIndex_, area_});
            record_.clear();
            linkState_ = 301;
            return;
        case 301:
            if (!rxIs('T')) return;
            send({'R'});
            linkState_ = 302;
            return;
        case 302:
            if (!rxIsR5()) return;
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
            if (!rxIs('V')) return;
            send({kCmdRecord});
            linkState_ = 300;
            return;
        case 304:
            if (!rxIs('V')) return;
            if (directoryMode_) {
                finishOk();
                log(kDirectoryHeader);
                log("");
                // Numbered as the user picks them: MR8 1-8, then WIF 1-3.
                for (size_t i = 0; i < records_.size(); ++i) {
                    const bool wif = i >= kNormalSlots;
                    log(directoryLine(static_cast<int>(wif ? i - kNormalSlots : i) + 1, records_[i], wif));
                }
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
        case 400:
            if (!rxIs(kCmdRecord)) return;
            send({'T', recordIndex_, area_});
            linkState_ = 401;
            return;
        case 401:
            if (!rxIs('T')) return;
            recordPos_ = 0;
            send({'S', static_cast<unsigned char>(record_[static_cast<size_t>(recordPos_++)])});
            linkState_ = 402;
            return;
        case 402:
            if (!rxIs('S')) return;
            if (recordPos_ < kRecordSize) {
                send({'S', static_cast<unsigned char>(record_[static_cast<size_t>(recordPos_++)])});
            } else {
                send({'V'});
                linkState_ = 403;
            }
            return;
        case 403:
            if (!rxIs('V')) return;
            if (recordFinal_) {
                finishOk();
                return;
            }
            send({kCmdPageWrite});
            linkState_ = 404;
            return;
        case 500:
            if (!rxIs(kCmdDelete)) return;
            send({'T'});
            linkState_ = 501;
            return;
        case 501:
            if (!rxIs('S')) return;
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
            if (rxIs('V')) finishOk();
            return;
        default:
            return;
    }
}

// A program's EEPROM pages read after its record.
void BoardLink::handlePageRead() {
    switch (linkState_) {
        case 305:
            if (!rxIs(kCmdPageRead)) return;
            send({'P', page_});
            linkState_ = 306;
            return;
        case 306:
            if (!rxIs('P')) return;
            send({'R'});
            linkState_ = 307;
            return;
        case 307:
            if (!rxIsR5()) return;
            if (programWif_) {
                words_.push_back((rxByte(1) << 8) | rxByte(2));
                words_.push_back((rxByte(3) << 8) | rxByte(4));
            } else {
                for (size_t i = 1; i <= 4; ++i) words_.push_back(rxByte(i));
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
            if (!rxIs('V')) return;
            finishOk();
            offerSendTo(true);
            return;
        default:
            return;
    }
}

// A program's EEPROM pages written in 32-byte blocks.
void BoardLink::handlePageWrite() {
    switch (linkState_) {
        case 404:
            if (!rxIs(kCmdPageWrite)) return;
            wordIndex_ = 0;
            blockBytes_ = 0;
            send({'P', page_});
            linkState_ = 405;
            return;
        case 405:
            if (!rxIs('P')) return;
            send({'T'});
            linkState_ = 406;
            return;
        case 406:
            if (!rxIs('Q')) return;
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
            if (rxIs('X')) {
                failWith("ERROR: EEPROM write failed");
                return;
            }
            if (!rxIs('S')) return;
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
            if (!rxIs('V')) return;
            // The data is in: now the record that makes the slot valid.
            record_[0] = static_cast<char>(static_cast<unsigned char>(record_[0]) & ~kRecEmpty);
            recordFinal_ = true;
            send({kCmdRecord});
            linkState_ = 400;
            return;
        default:
            return;
    }
}

// Exchanges opened by 165 or 164: project memory with its option byte, erase, option byte.
void BoardLink::handleOptions() {
    switch (linkState_) {
        case 200:
            if (!rxIs(kCmdOptions)) return;
            send({'S', hardwareOptions_});
            linkState_ = 201;
            return;
        case 201:
            if (!rxIs('S')) return;
            send({kCmdMemoryData});
            linkState_ = 202;
            return;
        case 202:
            if (!rxIs(kCmdMemoryData)) return;
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
            if (rxIs('V')) finishOk();
            return;
        case 210:
            if (!rxIs(kCmdOptions)) return;
            send({'R'});
            linkState_ = 211;
            return;
        case 211: {
            if (rx_.size() != 2 || rx_[0] != 'R') return;
            // The words are unpacked by this byte below, so it becomes the board's options.
            hardwareOptions_ = rxByte(1);
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
            if (!rxIs(kCmdMemoryRead)) return;
            send({'R'});
            linkState_ = 213;
            return;
        case 213:
            if (!rxIsR5()) return;
            if (memoryNormal_) {
                for (size_t i = 1; i <= 4; ++i) words_.push_back(rxByte(i));
            } else {
                words_.push_back((rxByte(1) << 8) | rxByte(2));
                words_.push_back((rxByte(3) << 8) | rxByte(4));
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
            if (!rxIs('V')) return;
            finishOk();
            offerSendTo(false);
            return;

        case 240:
            if (rxIs('V')) finishOk();
            return;
        case 250:
            if (!rxIs(kCmdOptions)) return;
            send({'S', optionsToWrite_});
            linkState_ = 251;
            return;
        case 251:
            if (!rxIs('S')) return;
            hardwareOptions_ = optionsToWrite_;
            finishOk();
            return;
        case 260:
            if (!rxIs(kCmdOptions)) return;
            send({'R'});
            linkState_ = 261;
            return;
        case 261:
            if (rx_.size() != 2 || rx_[0] != 'R') return;
            mark(" >OK");
            log("");
            printOptions(rxByte(1));
            rzReset(true);
            outcome_ = Outcome::Ok;
            return;
        default:
            return;
    }
}

// The controller's firmware, 32 packets to a block.
void BoardLink::handleFirmware() {
    switch (linkState_) {
        case 1000:
            if (!rxIs(kCmdDriver)) {
                dataError();
                return;
            }
            blockCounter_ = 1;
            sendWordPacket();
            linkState_ = 1001;
            return;
        case 1001:
            if (rxByte(0) != kStx) {
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
            if (rxByte(0) != kEtx && rxByte(0) != kEtxRed) {
                dataError();
                return;
            }
            setLamp(rxByte(0) == kEtxRed ? Lamp::Red : Lamp::Green);
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
    // Per record: 166, "T", six "R" of 5 bytes, "V".
    startReply(300, commandBudgetMs(11 * 9, 11 * 44));
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
    const int packets = wif ? 512 : 64;  // "R" replies of 4 bytes
    startReply(300, commandBudgetMs(9 + 3 + packets, 44 + 7 + 6 * packets));
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
    // The slot is marked empty while its pages are written and valid only once they all
    // are, so that a write cut short never leaves a "Valid" program of half old, half new
    // data.
    record_ = makeRecord(recordFlags(host_.emulatorOptions()) | kRecEmpty, *name);
    recordFinal_ = false;
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
    // Two records of 24 "S" each, then per 32-byte block "T", eight "Q" packets and "S".
    const int blocks = length_ / kBlockBytes;
    startReply(400, commandBudgetMs(2 * 27 + 3 + 10 * blocks, 2 * 80 + 7 + 52 * blocks));
}

void BoardLink::readMemory() {
    if (!preCheck()) return;
    log("Reading project memory...");
    words_.clear();
    wordIndex_ = 0;
    setLamp(Lamp::Green);
    send({kCmdOptions});
    startReply(210, commandBudgetMs(4 + 512, 10 + 6 * 512));  // up to 1024 WIF words
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
    const int packets = static_cast<int>(payload_.size()) / 4;
    startReply(200, commandBudgetMs(4 + packets, 10 + 6 * packets));
}

void BoardLink::eraseMemory() {
    if (!preCheck()) return;
    log("");
    log("Erasing project memory...");
    setLamp(Lamp::Green);
    send({kCmdErase});
    startReply(240, commandBudgetMs(1, 2));
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
    startReply(500, commandBudgetMs(3 + kNormalSlots + kWifSlots, 6 + 4 * (kNormalSlots + kWifSlots)));
}

void BoardLink::readOptions() {
    if (!preCheck()) return;
    log("");
    log("Read MIRA-8 hardware options...");
    send({kCmdOptions});
    startReply(260, commandBudgetMs(2, 5));
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
    startReply(250, commandBudgetMs(2, 5));
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
    const auto refuse = [&](const std::string& text) {
        prompter_.error(text);
        mark(" >FAIL");
        outcome_ = Outcome::Error;
    };
    const auto file = core::readWholeFile(path, kMaxHexFileBytes);
    if (!file.ok) {
        const std::string name = "\"" + path.filename().string() + "\"";
        if (file.error == core::FileReadError::NotFound)
            refuse("ERROR: The firmware file " + name + " was not found in " + path.parent_path().string());
        else
            refuse("ERROR: The firmware file " + path.string() + " cannot be used: " +
                   core::fileReadErrorText(file.error));
        return;
    }
    const auto image = readIntelHex(file.bytes, !bootCode);
    if (!image.ok) {
        refuse(image.reason.empty() ? image.error : image.error + "\r\r" + path.filename().string() + ", " + image.reason);
        return;
    }
    auto words = firmwareTransferWords(image.words, bootCode);
    if (words.empty()) {
        refuse(kHexNoData);
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
    const int packets = static_cast<int>(firmware_.size()) / 2;
    const int blocks = packets / kFirmwarePackets;
    startReply(1000, commandBudgetMs(1 + packets + blocks, 2 + 6 * packets + 2 * blocks));
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
    noteInterruptedFirmware();
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
            if (!core::writeFileAtomically(*path, text))
                prompter_.error(core::saveFailureText("ERROR: Failed to save file", *path));
        }
    }
}

bool BoardLink::canClose() {
    if (!port_.isOpen() || linkState_ == 0) return true;
    return prompter_.askYesNo(kCommsActiveQuestion);
}

}  // namespace mira::link
