#include "tape_punch.h"

#include "core/field_list.h"
#include "core/sound_wave.h"
#include "devices/module_state.h"

namespace mira::devices {

TapePunch::TapePunch(core::DeviceBus& bus, core::TimerFactory& timers, core::SoundEffects& sounds,
                     core::Prompter& prompter, TapePunchHost* host)
    : bus_(bus), sounds_(sounds), prompter_(prompter), host_(host),
      soundTimer_(timers.createTimer(core::soundDurationMs(core::SoundId::Punch))) {
    soundTimer_->setCallback([this] {
        soundTimer_->stop();
        setFlag(0);
    });
    bus_.registerModule(*this);
}

TapePunch::~TapePunch() {
    soundTimer_->stop();
    bus_.unregisterModule(*this);
}

bool TapePunch::bound() const {
    return slot_ >= 0 && slot_ < core::kSlotCount && bus_.slots[slot_].device == this;
}

void TapePunch::PutDevice(int slot) {
    slot_ = slot;
    bus_.bind(slot, *this);
}

int TapePunch::GetDevice() const { return bound() ? slot_ : -1; }

void TapePunch::setFlag(int value) {
    if (bound()) bus_.SetDevInflag(slot_, value);
}

void TapePunch::draw() {
    if (host_) host_->drawTape();
}

void TapePunch::doInit() { doReset(); }

void TapePunch::doReset() {
    soundTimer_->stop();
    rows_.clear();
    punchPosition_ = 0;
    dataBytes_ = 0;
    keptBytes_ = 0;
    held_ = false;
    setFlag(1);
    draw();
}

void TapePunch::fitTape() {
    const bool held = held_;
    doReset();
    layTape({});
    // The program that sent a byte into a bare punch is still waiting for it: that byte
    // becomes the tape's first row, and the flag comes back when it is punched.
    if (held && bound()) {
        punchRow(heldByte_);
        return;
    }
    draw();
    setFlag(0);
}

void TapePunch::layTape(std::span<const int> data) {
    rows_.assign(kFreshLeaderRows, kLeaderRow);
    rows_.insert(rows_.end(), data.begin(), data.end());
    rows_.insert(rows_.end(), kFreshBlankRows, kTrailerRow);
    punchPosition_ = kFreshLeaderRows + static_cast<int>(data.size());
    keptBytes_ = static_cast<int>(data.size());
}

void TapePunch::ExecResetFlag(int level) {
    if (level == 0) WriteTape();
}

void TapePunch::WriteTape() {
    setFlag(1);
    if (!bound()) return;
    const int value = bus_.slots[slot_].output & 0xFF;
    if (rows_.empty()) {
        // No tape: the program waits until one is fitted, and its byte is not lost.
        held_ = true;
        heldByte_ = value;
        return;
    }
    punchRow(value);
}

void TapePunch::punchRow(int value) {
    held_ = false;
    rows_.insert(rows_.begin() + punchPosition_, value);
    ++punchPosition_;
    ++dataBytes_;
    if (++keptBytes_ >= kKeptRows + kTornStrip) {
        const auto from = rows_.begin() + kFreshLeaderRows;
        rows_.erase(from, from + kTornStrip);
        punchPosition_ -= kTornStrip;
        keptBytes_ -= kTornStrip;
    }
    draw();
    sounds_.play(core::SoundId::Punch);
    // The punch is ready when its stroke's sound is over; a stroke nobody hears (sound
    // effects off, no audio device) takes no time.
    if (sounds_.audible()) {
        soundTimer_->stop();
        soundTimer_->start();
    } else {
        setFlag(0);
    }
}

std::vector<int32_t> TapePunch::punchedBytes() const {
    std::vector<int32_t> bytes;
    bytes.reserve(static_cast<size_t>(keptBytes_));
    for (int r : rows_)
        if (r >= 0 && r <= 255) bytes.push_back(r);
    if (bytes.size() > static_cast<size_t>(kKeptRows))
        bytes.erase(bytes.begin(), bytes.end() - kKeptRows);
    return bytes;
}

bool TapePunch::SaveTape(const TapeSaver& save) {
    if (dataBytes_ == 0) {
        prompter_.info(kPunchNoData);
        return false;
    }
    const std::vector<int32_t> bytes = punchedBytes();
    if (!save(bytes, static_cast<int>(bytes.size()) - 1)) return false;
    doReset();
    return true;
}

void TapePunch::close() {
    doReset();
    if (bound()) bus_.CloseDevice(slot_);
    slot_ = -1;
}

std::string TapePunch::stateString(int left, int top) const {
    core::FieldListBuilder b;
    b.add(left).add(top);
    return b.str();
}

void TapePunch::saveState(core::SnapshotWriter& w) const {
    w.beginSection("PNCH", 1);
    w.i32(slot_);
    w.boolean(tapeFitted());
    const auto first = rows_.begin() + (rows_.empty() ? 0 : kFreshLeaderRows);
    writeSmallList(w, std::vector<int>(first, rows_.begin() + punchPosition_));
    w.i64(dataBytes_);
    w.boolean(held_);
    w.i32(heldByte_);
    core::saveTimer(w, *soundTimer_);
    w.endSection();
}

void TapePunch::restoreState(core::SnapshotReader& r) {
    r.beginSection("PNCH", 1);
    const int slot = readSlot(r);
    const bool fitted = r.boolean();
    // A tape tears its oldest strip off before it holds this many.
    const std::vector<int> data = readSmallList(r, kKeptRows + kTornStrip - 1, 0, 255);
    const int64_t total = r.i64();
    const bool held = r.boolean();
    const int heldByte = r.i32In(0, 255);
    const core::TimerState timer = core::readTimer(r);
    r.endSection();
    refuseIf((!fitted && !data.empty()) || total < static_cast<int64_t>(data.size()));

    slot_ = slot;
    if (fitted) {
        layTape(data);
    } else {
        rows_.clear();
        punchPosition_ = 0;
        keptBytes_ = 0;
    }
    dataBytes_ = total;
    held_ = held;
    heldByte_ = heldByte;
    core::applyTimer(timer, *soundTimer_);
    draw();
}

}  // namespace mira::devices
