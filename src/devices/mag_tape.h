// The cassette recorder: a byte store a running program records onto and plays back from,
// with two device slots (input for reading, output for writing), a tape that moves under a
// 50 ms timer, a three-wheel counter and tape files that keep the whole cassette.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/device.h"
#include "core/prompter.h"
#include "core/sound.h"
#include "core/timer.h"

namespace mira::devices {

inline constexpr int kMagCells = 3000;
inline constexpr int kMagBlank = 256;
inline constexpr int kMagCounterModulo = 60000;
// Counter steps per unit on the wheels.
inline constexpr int kMagCounterDivisor = 60;
inline constexpr int kMagFileLines = 3003;

inline constexpr const char* kMagLoadFailed = "ERROR: Failed to load tape file";
inline constexpr const char* kMagDataErrors = "ERROR: Tape file data has errors";
inline constexpr const char* kMagSaveFailed = "ERROR: Failed to save tape file";
inline constexpr const char* kMagMustStop = "Player must be stopped to alter tape";
inline constexpr const char* kMagSaveQuestion = "Save tape before continuing?";
inline constexpr const char* kMagEraseQuestion = "Continue and erase the tape?";
inline constexpr const char* kMagPlaylistTilde = "ERROR: Invalid character in text (~)";

enum MagMode : int { kMagRecord = 1, kMagPlay = 2, kMagRewind = 3, kMagFastForward = 4, kMagStop = 5 };

// A cassette as its file keeps it.
struct MagTapeImage {
    int position = 0;
    int counter = 0;
    std::string playlist;  // entries each followed by "~"
    std::array<int, kMagCells> cells{};
    MagTapeImage() { cells.fill(kMagBlank); }
};

struct MagTapeRead {
    bool ok = false;
    std::string message;
    MagTapeImage image;
};
// A tape file's lines: exactly 3003; position 0..3000 and counter 0..59999 (what a save
// can hold, the tape's end and a wrapped counter included), cells 0..256.
MagTapeRead parseMagTape(const std::vector<std::string>& lines);
MagTapeRead readMagTapeFile(const std::filesystem::path& path);
std::vector<std::string> magTapeLines(const MagTapeImage& image);
bool writeMagTapeFile(const std::filesystem::path& path, const MagTapeImage& image);

// The counter window: three wheels, hundreds to units. Each shows `digit` moved up by
// `offset` of a digit (0..1) toward the next, so the units wheel rolls continuously and
// carries into the others as a real counter does.
struct CounterWheels {
    std::array<int, 3> digit{};
    std::array<double, 3> offset{};
};
CounterWheels counterWheels(int counter);
// The three digits a user reads off the wheels: counter / 60 to the nearest unit.
int counterShown(int counter);
// How far the reels' tape pictures are moved for a head position (0..13 pixels).
int reelShift(int position);

// Keys on the key strip (strip coordinates); 0 for no key.
int magKeyAt(int x, int y);
// Where key 1..5 is on the key strip: left, top, width, height.
struct MagKeyArea {
    int x, y, width, height;
};
MagKeyArea magKeyArea(int key);
// "In 0, Out 1", "In -, Out -".
std::string magDeviceLabel(int inSlot, int outSlot);

class MagTapeHost {
public:
    virtual ~MagTapeHost() = default;
    // Cassette, keys, reels, counter: read the state back and repaint.
    virtual void drawRecorder() = 0;
    virtual bool windowVisible() const = 0;
    // The save dialog, starting at `suggested`; empty on Cancel.
    virtual std::string askSaveFile(const std::string& suggested) = 0;
};

class MagTape final : public core::Device {
public:
    static constexpr int kTickMs = 50;
    static constexpr int kRecordSpeed = 1;
    static constexpr int kWindSpeed = 15;
    // A recorded byte is followed by one blank gap cell.
    static constexpr int kWriteCells = 2;

    MagTape(core::DeviceBus& bus, core::TimerFactory& timers, core::SoundEffects& sounds,
            core::Prompter& prompter, MagTapeHost* host = nullptr);
    ~MagTape() override;
    MagTape(const MagTape&) = delete;
    MagTape& operator=(const MagTape&) = delete;

    void setHost(MagTapeHost* host) { host_ = host; }

    // The module contract, two slots.
    void PutInDevice(int slot);
    void PutOutDevice(int slot);
    int GetInDevice() const;
    int GetOutDevice() const;
    void doInit();
    void doReset();
    void UpdateData();
    void ExecResetFlag(int level);
    int GetData() const { return latch_; }
    void ExecReady(int level);
    // The window closes (after Disconnect's question): idle, both slots free.
    void close();

    // Keys: a press selects a mode (with its refusals); releasing over STOP lets it up.
    void pressKey(int key);
    void releaseStop() { stopHeld_ = false; draw(); }
    void playTimerTimer();
    void resetCounter();

    // Tape commands; false when refused, cancelled or failed (after the message).
    bool SaveModifiedTapeFile();
    bool NewTape();
    bool LoadTape(const std::filesystem::path& path);
    // Load in two halves, with the open dialog between: the refusals and the question,
    // then the file (whose failure leaves the tape in as it was).
    bool prepareLoad();
    bool loadFile(const std::filesystem::path& path);
    // Save to the file the user chooses (starting at the tape's own name).
    bool SaveTape();
    bool saveTo(const std::filesystem::path& path);
    bool Erase();
    bool EjectTape();
    bool canEditPlaylist() const { return loaded_; }
    std::vector<std::string> playlistLines() const;
    // The playlist dialog's OK: refused (false, after the message) when a line holds "~".
    bool setPlaylistLines(const std::vector<std::string>& lines);

    // Before the settings are written: a changed tape in the recorder may be saved first
    // (Yes/No).
    void askSaveBeforeSettings();
    // Window state string: Left, Top, tape file, tape loaded. Restoring it puts the tape
    // back in at its position and counter.
    std::string stateString(int left, int top) const;
    void applyState(const std::string& state);

    bool tapeLoaded() const { return loaded_; }
    bool tapeChanged() const { return changed_; }
    int mode() const { return mode_; }
    int speed() const { return speed_; }
    int position() const { return position_; }
    int counter() const { return counter_; }
    int latch() const { return latch_; }
    int writePending() const { return writePending_; }
    bool stopHeld() const { return stopHeld_; }
    const std::array<int, kMagCells>& cells() const { return cells_; }
    const std::string& fileName() const { return fileName_; }
    // The cassette's label: the file name without folder and extension.
    std::string tapeName() const;
    const std::string& playlist() const { return playlist_; }
    core::Timer& playTimer() { return *playTimer_; }

    // core::Device
    int moduleType() const override { return core::kModuleMagTape; }
    bool isVisible() const override { return host_ && host_->windowVisible(); }
    int getDevice() const override { return GetInDevice(); }
    void doInit(int) override { doInit(); }
    void doReset(int) override { doReset(); }
    int getData() override { return GetData(); }
    void execReady(int level) override { ExecReady(level); }
    void execResetFlag(int level) override { ExecResetFlag(level); }
    void outputNotification(int) override { UpdateData(); }
    // Section "MAGT": the cassette whole, the head, the counter, the keys and the write
    // under way.
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

private:
    bool boundTo(int slot) const;
    void setFlag(int slot, int value);
    void draw();
    void stopMotion(bool byKey);
    void finishWrite();
    void writeByte();
    void readStep();
    void insertTape(bool withSound);
    bool requireStop();
    bool saveWithDialog();

    core::DeviceBus& bus_;
    core::SoundEffects& sounds_;
    core::Prompter& prompter_;
    MagTapeHost* host_;
    std::unique_ptr<core::Timer> playTimer_;

    int inSlot_ = -1;
    int outSlot_ = -1;
    std::array<int, kMagCells> cells_{};
    bool loaded_ = false;
    int position_ = 0;
    int counter_ = 0;
    int mode_ = kMagStop;
    int speed_ = 0;
    int latch_ = 0;
    int writePending_ = -1;
    // A write came while the recorder could not take it; RECORD carries it out.
    bool writeHeld_ = false;
    int heldByte_ = 0;
    bool changed_ = false;
    std::string fileName_;
    std::string playlist_;
    bool stopHeld_ = false;
};

}  // namespace mira::devices
