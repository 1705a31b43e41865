// The paper tape punch: an output module that punches each byte a program sends and
// pulses out as one row of a fitted tape, and hands the punched bytes to the tape saver.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/device.h"
#include "core/prompter.h"
#include "core/sound.h"
#include "core/timer.h"
#include "devices/tape_reader.h"

namespace mira::devices {

inline constexpr const char* kPunchNoData = "No program data to save";

class TapePunchHost {
public:
    virtual ~TapePunchHost() = default;
    virtual void drawTape() = 0;
    virtual bool windowVisible() const = 0;
};

class TapePunch final : public core::Device {
public:
    // A fresh tape: leader, then blank tape the rows are punched into.
    static constexpr int kFreshLeaderRows = 3;
    static constexpr int kFreshBlankRows = 17;
    // A tape keeps its last 65 536 punched rows: a program that punches for ever (a
    // grading run) tears the oldest off, in strips so that each punch stays cheap.
    static constexpr int kKeptRows = 65536;
    static constexpr int kTornStrip = 4096;

    TapePunch(core::DeviceBus& bus, core::TimerFactory& timers, core::SoundEffects& sounds,
              core::Prompter& prompter, TapePunchHost* host = nullptr);
    ~TapePunch() override;
    TapePunch(const TapePunch&) = delete;
    TapePunch& operator=(const TapePunch&) = delete;

    void setHost(TapePunchHost* host) { host_ = host; }

    void PutDevice(int slot);
    int GetDevice() const;
    void doInit();
    void doReset();
    void ExecResetFlag(int level);
    void WriteTape();
    // The feed button: a fresh tape.
    void fitTape();
    // "Save Tape": the punched bytes go to `save` (bytes, highest address allowed); a
    // written file takes the tape off.
    using TapeSaver = std::function<bool(std::span<const int32_t> bytes, int highest)>;
    bool SaveTape(const TapeSaver& save);
    void close();

    std::string stateString(int left, int top) const;

    bool bound() const;
    bool tapeFitted() const { return !rows_.empty(); }
    bool faultLamp() const { return rows_.empty(); }
    const std::vector<int>& rows() const { return rows_; }
    int punchPosition() const { return punchPosition_; }
    // Every data byte punched since the tape was fitted, the torn-off ones included.
    int64_t dataBytes() const { return dataBytes_; }
    // The punched data bytes still on the tape (the last kKeptRows), in tape order; leader
    // and blank rows are not data.
    std::vector<int32_t> punchedBytes() const;
    // A byte sent while no tape was fitted: it is punched first when one is.
    bool byteHeld() const { return held_; }
    core::Timer& soundTimer() { return *soundTimer_; }

    // core::Device
    int moduleType() const override { return core::kModuleTapePunch; }
    bool isVisible() const override { return host_ && host_->windowVisible(); }
    void putDevice(int slot) override { PutDevice(slot); }
    int getDevice() const override { return GetDevice(); }
    void doInit(int) override { doInit(); }
    void doReset(int) override { doReset(); }
    void execResetFlag(int level) override { ExecResetFlag(level); }
    // Section "PNCH": whether a tape is fitted and the data rows on it; leader and blank
    // rows follow from those.
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

private:
    void setFlag(int value);
    void draw();
    void punchRow(int value);
    // A fitted tape: leader, `data`, blank tape; the punch stands after the data.
    void layTape(std::span<const int> data);

    core::DeviceBus& bus_;
    core::SoundEffects& sounds_;
    core::Prompter& prompter_;
    TapePunchHost* host_;
    // Holds the flag at 1 while the punch's sound plays.
    std::unique_ptr<core::Timer> soundTimer_;

    int slot_ = -1;
    std::vector<int> rows_;
    int punchPosition_ = 0;
    int64_t dataBytes_ = 0;
    int keptBytes_ = 0;  // data rows on the tape now
    bool held_ = false;
    int heldByte_ = 0;
};

}  // namespace mira::devices
