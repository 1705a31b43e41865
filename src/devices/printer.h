// The printer module's logic: the line buffer fed by output instructions, the print cycle
// that keeps the flag busy while the head works, the paper roll with its feed, the printer
// file and the questions around saving it. The window (TprnFM) draws what this holds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/device.h"
#include "core/prompter.h"
#include "core/sound.h"
#include "core/timer.h"
#include "devices/printer_file.h"

namespace mira::devices {

// What the printer asks of its window.
class PrinterHost {
public:
    virtual ~PrinterHost() = default;
    // The roll changed (a line added, loaded, discarded): paper and line count.
    virtual void drawPaper() = 0;
    // Device, file and line count labels.
    virtual void drawLabels() = 0;
    virtual void showFeedButton(bool pressed) = 0;
    // File dialogs; an empty result is a cancel.
    virtual std::string chooseOpenFile() = 0;
    virtual std::string chooseSaveFile(const std::string& initial) = 0;
    virtual bool windowVisible() const = 0;
};

// Where the paper stands and where each visible roll line goes, in paper coordinates.
struct PaperLayout {
    int paperTop = 0;
    struct Line {
        int rollIndex;
        int y;
    };
    std::vector<Line> lines;  // newest first; fed blank lines are left out
};

class Printer final : public core::Device {
public:
    static constexpr int kMaxRollLines = 300;
    static constexpr int kHeadStartMs = 100;
    static constexpr int kTickMs = 20;
    static constexpr int kTicksPerLine = 20;
    static constexpr int kPrintStepMs = 250;
    static constexpr int kFeedRepeatMs = 500;
    static constexpr int kPaperWidth = 150;
    static constexpr int kPaperHeight = 113;
    static constexpr int kPaperLineWidth = 172;
    static constexpr int kPaperLineHeight = 9;
    static constexpr int kPaperLineX = 14;
    // The paper feed button on the printer picture (inclusive).
    static constexpr int kFeedLeft = 313, kFeedRight = 331, kFeedTop = 177, kFeedBottom = 185;
    static constexpr const char* kSaveQuestion = "Save print roll before continuing?";
    static constexpr const char* kDiscardQuestion = "Continue and discard paper roll?";

    enum State { Idle = 0, HeadStarting = 1, Accepting = 2, Printing = 3, LineDone = 4 };

    Printer(core::DeviceBus& bus, core::TimerFactory& timers, core::Prompter& prompter,
            core::SoundEffects& sounds, PrinterHost* host = nullptr);
    ~Printer() override;
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    void setHost(PrinterHost* host) { host_ = host; }

    int state() const { return state_; }
    int tickCount() const { return ticks_; }
    // The characters collected for the line being printed, as codes 0..63.
    const std::vector<int>& lineBuffer() const { return buffer_; }
    std::string bufferText() const;
    const std::vector<std::string>& roll() const { return roll_; }
    const std::string& rollFileName() const { return fileName_; }
    bool rollChanged() const { return changed_; }
    bool printing() const { return printTimer_->isActive(); }
    bool feeding() const { return feedTimer_->isActive(); }
    bool bound() const;

    // The module contract.
    void PutDevice(int slot);
    int GetDevice() const;
    void doInit();
    void doReset();
    void UpdatePrintBuffer();
    void ExecResetFlag(int level);
    void printTimerTimer();
    void feedTimerTimer();

    // Paper feed button: press at a point of the printer picture, release anywhere.
    // Returns true when the press hit the button and fed paper.
    bool pressFeed(int x, int y);
    void releaseFeed();

    // Popup menu. Each returns whether it went through.
    bool loadRoll();
    bool saveRoll();
    bool discardRoll();
    // Disconnect: the save question (Yes, No, Cancel); false keeps the window open.
    bool disconnect();
    // The window closes: idle, slot free.
    void close();
    // Before the settings are written: the save question (Yes, No). A save that fails
    // or is cancelled keeps the roll marked changed.
    void askSaveBeforeSettings();

    // Loads a roll from a file, with the load messages; the roll is unchanged on failure.
    bool loadFile(const std::string& path);
    bool saveFile(const std::string& path);
    // Window state string: Left, Top, roll file name. applyState loads the file of field 2.
    std::string stateString(int left, int top) const;
    void applyState(const std::string& state);

    PaperLayout paperLayout() const;

    // core::Device
    int moduleType() const override { return core::kModulePrinter; }
    bool isVisible() const override { return host_ && host_->windowVisible(); }
    void putDevice(int slot) override { PutDevice(slot); }
    int getDevice() const override { return GetDevice(); }
    void doInit(int) override { doInit(); }
    void doReset(int) override { doReset(); }
    void execResetFlag(int level) override { ExecResetFlag(level); }
    void outputNotification(int) override { UpdatePrintBuffer(); }
    // Section "PRNT": the roll, the line being collected, the cycle and both timers.
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

private:
    void setFlag(int value);
    void addLine(std::string line);
    // Yes/No/Cancel before the roll is replaced or left; false = stop.
    bool offerSave();
    // Saves to the roll's file when it has one, else through the save dialog.
    bool saveToKnownFile();
    void rollReplaced();

    core::DeviceBus& bus_;
    core::Prompter& prompter_;
    core::SoundEffects& sounds_;
    PrinterHost* host_;
    std::unique_ptr<core::Timer> printTimer_;
    std::unique_ptr<core::Timer> feedTimer_;

    int slot_ = -1;
    std::vector<int> buffer_;
    int state_ = Idle;
    int ticks_ = 0;
    std::vector<std::string> roll_;
    std::string fileName_;
    bool changed_ = false;
};

}  // namespace mira::devices
