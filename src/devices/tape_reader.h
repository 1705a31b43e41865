// The paper tape reader: a loader that feeds a tape row by row into the switch register
// (through external mask 2) and works LOAD ADDRESS and DEPOSIT itself, so a tape fills
// memory without any program running. The window draws the tape this class moves.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/device.h"
#include "core/machine.h"
#include "core/panel.h"
#include "core/prompter.h"
#include "core/sound.h"
#include "core/timer.h"

namespace mira::devices {

// Rows on a tape in the reader: a byte 0..255, or one of these unpunched rows.
inline constexpr int kLeaderRow = 256;
inline constexpr int kTrailerRow = 512;
inline constexpr int kReaderLeaderRows = 10;
inline constexpr int kReaderTrailerRows = 2;
// Marker, address and a whole page of 256 bytes.
inline constexpr int kTapeFileMaxRows = 258;

inline constexpr const char* kReaderOpenFailed = "ERROR: Failed to open program file";
inline constexpr const char* kReaderNoData = "No data found in file";
inline constexpr const char* kReaderInvalidData = "ERROR: Invalid file data";
inline constexpr const char* kReaderSlowMode = "Tape reader will not work in Slow Mode";
inline constexpr const char* kReaderComputerRunning =
    "Cannot run tape loader while computer is running";

// A tape file as the reader takes it: 1..258 rows, each a decimal 0..255. Unlike a saved
// program the file need not start with the marker; the loader skips what comes before it.
struct ReaderTapeFile {
    bool ok = false;
    std::string message;  // the text to show when !ok
    bool warning = false;  // the message is a warning, not an error
    std::vector<int> values;
};
ReaderTapeFile parseReaderTape(const std::vector<std::string>& lines);
ReaderTapeFile readReaderTapeFile(const std::filesystem::path& path);
// Leader, the values, trailer.
std::vector<int> readerRows(const std::vector<int>& values);

class TapeReaderHost {
public:
    virtual ~TapeReaderHost() = default;
    // Tape, its place, the fault lamp: read them back from the reader and repaint.
    virtual void drawTape() = 0;
    // SR or memory moved under the reader's hand; the views should catch up.
    virtual void machineChanged() {}
    virtual bool windowVisible() const = 0;
};

class TapeReader final : public core::Device {
public:
    static constexpr int kFeedMs = 150;
    // Loader states besides the count of bytes deposited since the address.
    static constexpr int kLookingForMarker = 257;
    static constexpr int kNextIsAddress = 256;

    TapeReader(core::Machine& machine, core::FrontPanel& panel, core::TimerFactory& timers,
               core::SoundEffects& sounds, core::Prompter& prompter,
               TapeReaderHost* host = nullptr);
    ~TapeReader() override;
    TapeReader(const TapeReader&) = delete;
    TapeReader& operator=(const TapeReader&) = delete;

    void setHost(TapeReaderHost* host) { host_ = host; }

    // The module contract. The reader holds input slot 0 (flag 1) only so that no input
    // module takes it; it plays no part in input instructions.
    void PutDevice(int moduleType);
    int GetDevice() const;
    void doInit();
    void doReset();
    void StopTape() { rewind(); }
    // The window closes: feed off, idle, slot 0 free.
    void close();

    // Reads a tape file and fits it, rewound; on any failure shows the message and keeps
    // the tape that was in.
    bool LoadTape(const std::filesystem::path& path);
    // The feed button: rewinds while feeding, otherwise starts feeding (with its refusals).
    void buttonAction();
    void rewind();
    void feedTimerTimer();

    // Window state string: Left, Top, remembered tape file.
    std::string stateString(int left, int top) const;
    void applyState(const std::string& state);

    bool bound() const;
    bool hasTape() const { return !rows_.empty(); }
    const std::vector<int>& rows() const { return rows_; }
    int position() const { return position_; }
    int loaderState() const { return loaderState_; }
    int output() const { return output_; }
    bool feeding() const { return feedTimer_->isActive(); }
    bool faultLamp() const { return fault_; }
    int deposited() const { return deposited_; }
    const std::string& fileName() const { return fileName_; }
    core::Timer& feedTimer() { return *feedTimer_; }

    // core::Device
    int moduleType() const override { return core::kModuleTapeReader; }
    bool isVisible() const override { return host_ && host_->windowVisible(); }
    void putDevice(int type) override { PutDevice(type); }
    int getDevice() const override { return GetDevice(); }
    void doInit(int) override { doInit(); }
    void doReset(int) override { doReset(); }
    // Section "TRDR". The byte it offers goes back into the machine's external mask 2.
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

private:
    void setOutput(int value);
    void stopFeeding();
    void draw();

    core::Machine& m_;
    core::FrontPanel& panel_;
    core::SoundEffects& sounds_;
    core::Prompter& prompter_;
    TapeReaderHost* host_;
    std::unique_ptr<core::Timer> feedTimer_;

    std::vector<int> rows_;
    int position_ = 0;
    int loaderState_ = kLookingForMarker;
    int output_ = 255;
    int deposited_ = 0;
    bool fault_ = false;
    std::string fileName_;
};

}  // namespace mira::devices
