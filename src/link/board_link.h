// The board link: the command/reply state machine that reads and writes a MIRA-8 board's
// directory, programs, project memory, option byte and firmware, with its message list.
// The window and the CLI drive it; it talks to a BytePort and runs on core timers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board_records.h"
#include "byte_port.h"
#include "core/machine.h"
#include "core/prompter.h"
#include "core/timer.h"

namespace mira::link {

enum class Lamp { Off, Red, Green };

// The radio buttons of the window.
enum class Selection { Directory, Mira8, Wif, Memory, Options, ComPort, UpgradeDriver };

// How the last command ended; the CLI's exit status.
enum class Outcome { None, Ok, Fail, Cancel, Error };

struct PanelEnables {
    bool read = false, write = false, erase = false, port = false;
};
PanelEnables panelEnables(Selection s, bool forcedBoot);

// Texts the window shows.
inline constexpr char kPortNotActive[] = "Serial port not active";
inline constexpr char kCloseBeforeConnecting[] = "Close interface window before connecting USB to MIRA-8";
inline constexpr char kModeMismatchQuestion[] =
    "The current operating mode does not match the program to be uploaded\r\rChange mode to match?";
inline constexpr char kCommsActiveQuestion[] =
    "MIRA-8 communications are active\r\rTry [Cancel] or [Reset] buttons then try again\r\r"
    "Would you like to close anyway?";
inline constexpr char kStopQuestion[] =
    "Stopping the reprogram process may result in an unusable PIC.\r\rContinue and stop programming?";
inline constexpr char kFirmwareFile[] = "miraPIC.hex";
inline constexpr char kMarkerFile[] = "miracg.dat";
inline constexpr char kNotConnected[] = "the board is not connected on ";
inline constexpr char kDataDoesNotFit[] = "ERROR: the board sent data that does not fit the protocol";
inline constexpr char kSendToTitle[] = "Send Program Data To...~View List~Emulator Memory~Text File~";

// What the link needs from the emulator and the window around it.
class LinkHost {
public:
    virtual ~LinkHost() = default;

    virtual void messagesChanged() {}
    virtual void lampChanged(Lamp) {}
    virtual void progressChanged(int /*value*/, int /*maximum*/) {}
    // Panel enabling, the selected radio button or forced boot mode changed.
    virtual void controlsChanged() {}

    virtual core::OperatingMode emulatorMode() = 0;
    // Switches the emulator's operating mode; false when the switch was refused.
    virtual bool switchMode(core::OperatingMode mode) = 0;
    virtual EmulatorOptions emulatorOptions() = 0;
    // The emulator's memory, every word of the current mode.
    virtual std::vector<int32_t> memoryWords() = 0;
    // With "Upload only assembled code" set and an assembly in memory: its length in words.
    virtual std::optional<int> assembledLength() = 0;
    virtual void copyToMemory(const std::vector<int32_t>& words) = 0;
    // Default program name: the source file's name without folder and extension.
    virtual std::string defaultProgramName() { return {}; }

    // Dialogs. nullopt / -1: cancelled.
    virtual std::optional<std::string> askProgramName(int number, const std::string& defaultName) = 0;
    virtual std::optional<int> askHardwareOptions(int current) = 0;
    virtual int askSelection(const std::string& text, int preset) = 0;
    // Path of a text file to save the View List lines to; nullopt when cancelled.
    virtual std::optional<std::filesystem::path> askTextFile() = 0;

    // View List formatting of the emulator's display.
    virtual int displayRadix(bool normal) = 0;
    virtual std::string formatRadix(int64_t value, int radix) = 0;  // with prefix
    virtual std::string disassemble(int32_t word, bool normal) = 0;

    virtual std::filesystem::path dataFile(const std::string& name) = 0;
};

class BoardLink {
public:
    BoardLink(BytePort& port, core::TimerFactory& timers, LinkHost& host, core::Prompter& prompter);
    ~BoardLink();
    BoardLink(const BoardLink&) = delete;
    BoardLink& operator=(const BoardLink&) = delete;

    // First activation once the port was opened: the reset sequence, or the note that the
    // port is not active.
    void start();
    // OnRxData: read every byte that arrived and act on it.
    void Serial1RxData();

    // Buttons and controls.
    void select(Selection s);
    Selection selection() const { return selection_; }
    void setMiraSlot(int n) { miraSlot_ = n; }  // 1..8
    void setWifSlot(int n) { wifSlot_ = n; }    // 1..3
    void readButtClick();
    void rzProgButtClick(bool shiftHeld = false);
    void delButtClick();
    void rzResetButtClick();
    void clearMessages() { messages_.clear(); host_.messagesChanged(); }
    // The port was changed by the port entry: logs the outcome and resets when open.
    void portChanged(bool opened);

    // The commands the buttons run (also used by the CLI).
    void readDirectory();
    void readProgram(bool wif, int n);
    void writeProgram(bool wif, int n);
    void readMemory();
    void writeMemory();
    void eraseMemory();
    void deletePrograms(int mask);  // bits 0-7 MR8 1-8, bits 8-10 WIF 1-3; asks first
    void readOptions();
    void writeOptions();
    void upgradeFirmware(bool bootCode);
    // Runs the reset sequence (DTR pulse, then the connection query).
    void resetSequence();
    // Reset after the window closed and reopened the port, as a port change does, so that
    // a board unplugged and plugged in again is found; `portName` names a port that is gone.
    void resetAfterReopen(bool opened, const std::string& portName);
    // The longest a command of that many exchanges and bytes (both ways) may take.
    static int commandBudgetMs(int exchanges, int bytes);
    // The limit of the command running now.
    int budgetMs() const;

    // State.
    int linkState() const { return linkState_; }
    bool resetRunning() const;
    bool busy() const { return linkState_ != 0 || resetRunning(); }
    bool forcedBoot() const { return forcedBoot_; }
    bool programming() const { return programming_; }
    bool panelEnabled() const { return panelEnabled_; }
    bool receiveEnabled() const { return rxEnabled_; }
    int hardwareOptions() const { return hardwareOptions_; }
    Lamp lamp() const { return lamp_; }
    int progress() const { return progress_; }
    int progressMaximum() const { return progressMax_; }
    Outcome outcome() const { return outcome_; }
    void clearOutcome() { outcome_ = Outcome::None; }
    bool dataErrorSeen() const { return dataError_; }
    const std::vector<std::string>& messages() const { return messages_; }
    const std::vector<std::string>& directoryRecords() const { return records_; }
    const std::vector<int32_t>& programWords() const { return words_; }
    // View List lines of the last read (empty before one).
    std::vector<std::string> viewListLines() const;
    // Ask before closing the window while a transfer runs; true when it may close.
    bool canClose();

    // Limits the buffer kept while waiting for a reply of a known length.
    static constexpr size_t kRxBufferLimit = 4096;

private:
    void send(const std::string& bytes);
    void send(std::initializer_list<int> bytes);
    void log(const std::string& line);
    void mark(const char* text);
    void rzReset(bool addBlank);
    void finishOk();
    void failWith(const std::string& message);
    void setLamp(Lamp l);
    void setProgress(int value, int maximum = -1);
    void setPanel(bool on);
    void startReply(int state, int budgetMs);
    void noteInterruptedFirmware();
    void dataError();
    bool preCheck();
    bool stopCheck();
    void rzTimerTimer();
    void rstTimerTimer();
    void connectionQuery();
    void enterForcedBoot();
    void connected(int options);
    void printOptions(int options);
    void sendWordPacket();
    void handle();
    void handleQuery();
    void handleRecord();
    void handlePageRead();
    void handlePageWrite();
    void handleOptions();
    void handleFirmware();
    int rxByte(size_t i) const;
    bool rxIs(int b) const;
    bool rxIsR5() const;
    void offerSendTo(bool withDirectoryLine);
    bool matchMode(core::OperatingMode wanted);
    std::vector<std::string> wordLines() const;

    BytePort& port_;
    LinkHost& host_;
    core::Prompter& prompter_;
    std::unique_ptr<core::Timer> rstTimer_;
    std::unique_ptr<core::Timer> rzTimer_;

    Selection selection_ = Selection::Directory;
    int miraSlot_ = 1;
    int wifSlot_ = 1;

    int linkState_ = 0;
    std::string rx_;
    std::string record_;
    std::vector<int32_t> words_;
    std::vector<std::string> records_;
    int hardwareOptions_ = 0;
    int silence_ = 0;
    int elapsedTicks_ = 0;    // reply time-out ticks since the command began
    int budgetTicks_ = 0;     // ticks the command may take in all
    size_t bytesSinceSend_ = 0;  // received since the last command byte went out
    int resetTicks_ = 0;
    bool rxEnabled_ = false;
    bool forcedBoot_ = false;
    bool programming_ = false;
    bool bootCode_ = false;
    bool stopRequested_ = false;
    bool panelEnabled_ = true;
    bool dataError_ = false;
    Lamp lamp_ = Lamp::Off;
    int progress_ = 0;
    int progressMax_ = 100;
    Outcome outcome_ = Outcome::None;
    std::vector<std::string> messages_;

    // Current command.
    bool directoryMode_ = false;
    bool programWif_ = false;  // type of the single program read or written
    int programNumber_ = 0;    // 1-based as the user picked it
    int recordIndex_ = 0;
    int area_ = 0;
    int page_ = 0;
    int length_ = 0;       // words to read, or bytes to write
    int wordIndex_ = 0;    // next word / byte to send, or words read
    int blockBytes_ = 0;
    int recordPos_ = 0;
    bool recordFinal_ = false;  // the valid record, written after the program's pages
    int deleteMask_ = 0;
    int deleteBit_ = -1;
    int optionsToWrite_ = 0;
    bool memoryNormal_ = true;
    std::vector<uint16_t> firmware_;
    size_t firmwareIndex_ = 0;
    int blockCounter_ = 0;
    std::string payload_;  // bytes of a program or memory write
    bool lastReadDirectoryLine_ = false;
    bool lastReadNormal_ = true;
};

}  // namespace mira::link
