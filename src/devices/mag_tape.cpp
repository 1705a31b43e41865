#include "core/atomic_file.h"
#include "mag_tape.h"

#include <algorithm>
#include <cmath>

#include "core/field_list.h"
#include "core/scrambled_file.h"
#include "devices/module_state.h"

namespace mira::devices {

namespace {

// Key strip: x ranges of RECORD, PLAY, REWIND, FAST FORWARD, STOP, all on one band.
constexpr int kKeyTop = 35;
constexpr int kKeyBottom = 46;
constexpr std::array<int, 5> kKeyLeft{10, 41, 72, 103, 134};
constexpr int kKeyWidth = 26;
// The reels' tape pictures move by at most this much over the whole tape.
constexpr int kReelTravel = 13;

}  // namespace

MagTapeRead parseMagTape(const std::vector<std::string>& lines) {
    MagTapeRead r;
    if (lines.size() != static_cast<size_t>(kMagFileLines)) {
        r.message = kMagDataErrors;
        return r;
    }
    // A saved tape may stand at its very end and its counter may have wrapped or been
    // reset: both are read back as they were written.
    r.image.position = core::parseIntInRange(lines[0], 0, kMagCells, -1);
    r.image.counter = core::parseIntInRange(lines[1], 0, kMagCounterModulo - 1, -1);
    if (r.image.position < 0 || r.image.counter < 0) {
        r.message = kMagDataErrors;
        return r;
    }
    r.image.playlist = lines[2];
    for (int i = 0; i < kMagCells; ++i) {
        const int v = core::parseIntInRange(lines[static_cast<size_t>(i + 3)], 0, kMagBlank, -1);
        if (v < 0) {
            r.message = kMagDataErrors;
            return r;
        }
        r.image.cells[static_cast<size_t>(i)] = v;
    }
    r.ok = true;
    return r;
}

MagTapeRead readMagTapeFile(const std::filesystem::path& path) {
    const core::ContainerRead c = core::readContainerFile(path, core::kAllLines, kMagFileLines);
    if (!c.ok) {
        MagTapeRead r;
        const bool tooLarge = c.error == core::ContainerError::TooLarge || c.error == core::ContainerError::TooManyLines;
        r.message = tooLarge ? std::string(kMagDataErrors) + "\r\r" + core::containerErrorText(c.error)
                             : std::string(kMagLoadFailed);
        return r;
    }
    return parseMagTape(c.lines);
}

std::vector<std::string> magTapeLines(const MagTapeImage& image) {
    std::vector<std::string> lines;
    lines.reserve(kMagFileLines);
    lines.push_back(std::to_string(image.position));
    lines.push_back(std::to_string(image.counter));
    lines.push_back(image.playlist);
    for (int c : image.cells) lines.push_back(std::to_string(c));
    return lines;
}

bool writeMagTapeFile(const std::filesystem::path& path, const MagTapeImage& image) {
    return core::writeContainerFile(path, magTapeLines(image));
}

CounterWheels counterWheels(int counter) {
    const double value = static_cast<double>(counter) / kMagCounterDivisor;
    const int whole = static_cast<int>(std::floor(value));
    const double frac = value - whole;
    CounterWheels w;
    w.digit = {(whole / 100) % 10, (whole / 10) % 10, whole % 10};
    w.offset[2] = frac;
    if (w.digit[2] == 9) w.offset[1] = frac;
    if (w.digit[2] == 9 && w.digit[1] == 9) w.offset[0] = frac;
    return w;
}

int counterShown(int counter) {
    const int nearest = (counter + kMagCounterDivisor / 2) / kMagCounterDivisor;
    return nearest % 1000;
}

int reelShift(int position) {
    const int a = (position * kReelTravel + kMagCells / 2) / kMagCells;
    return std::clamp(a, 0, kReelTravel);
}

int magKeyAt(int x, int y) {
    if (y < kKeyTop || y > kKeyBottom) return 0;
    for (size_t i = 0; i < kKeyLeft.size(); ++i)
        if (x >= kKeyLeft[i] && x <= kKeyLeft[i] + kKeyWidth) return static_cast<int>(i) + 1;
    return 0;
}

MagKeyArea magKeyArea(int key) {
    const auto i = static_cast<size_t>(std::clamp(key, 1, 5) - 1);
    return {kKeyLeft[i], kKeyTop, kKeyWidth + 1, kKeyBottom - kKeyTop + 1};
}

std::string magDeviceLabel(int inSlot, int outSlot) {
    const std::string in = (inSlot == 0 || inSlot == 1) ? std::to_string(inSlot) : "-";
    const std::string out = (outSlot == 2 || outSlot == 3) ? std::to_string(outSlot - 2) : "-";
    return "In " + in + ", Out " + out;
}

MagTape::MagTape(core::DeviceBus& bus, core::TimerFactory& timers, core::SoundEffects& sounds,
                 core::Prompter& prompter, MagTapeHost* host)
    : bus_(bus), sounds_(sounds), prompter_(prompter), host_(host),
      playTimer_(timers.createTimer(kTickMs)) {
    cells_.fill(kMagBlank);
    playTimer_->setCallback([this] { playTimerTimer(); });
    bus_.registerModule(*this);
}

MagTape::~MagTape() {
    playTimer_->stop();
    bus_.unregisterModule(*this);
}

bool MagTape::boundTo(int slot) const {
    return slot >= 0 && slot < core::kSlotCount && bus_.slots[slot].device == this;
}

void MagTape::setFlag(int slot, int value) {
    if (boundTo(slot)) bus_.SetDevInflag(slot, value);
}

void MagTape::draw() {
    if (host_) host_->drawRecorder();
}

void MagTape::PutInDevice(int slot) {
    inSlot_ = slot;
    bus_.bind(slot, *this);
}

void MagTape::PutOutDevice(int slot) {
    outSlot_ = slot;
    bus_.bind(slot, *this);
}

int MagTape::GetInDevice() const { return boundTo(inSlot_) ? inSlot_ : -1; }
int MagTape::GetOutDevice() const { return boundTo(outSlot_) ? outSlot_ : -1; }

void MagTape::doInit() { doReset(); }

void MagTape::doReset() {
    setFlag(inSlot_, 1);
    setFlag(outSlot_, 0);
    playTimer_->stop();
    mode_ = kMagStop;
    speed_ = 0;
    stopHeld_ = false;
    // The ready flag is 0 again, so no write may stay pending or held: a pending one would
    // refuse every later byte until the head happened to reach its old ready position.
    writePending_ = -1;
    writeHeld_ = false;
    draw();
}

void MagTape::close() {
    doReset();
    if (boundTo(inSlot_)) bus_.CloseDevice(inSlot_);
    if (boundTo(outSlot_)) bus_.CloseDevice(outSlot_);
    inSlot_ = outSlot_ = -1;
}

void MagTape::UpdateData() {
    if (boundTo(outSlot_)) latch_ = bus_.slots[outSlot_].output & 0xFF;
}

void MagTape::ExecReady(int level) {
    if (level == 0) setFlag(inSlot_, 1);
}

void MagTape::ExecResetFlag(int level) {
    if (level != 0) return;
    setFlag(outSlot_, 1);
    if (writePending_ >= 0) return;  // the program did not wait: this byte is lost
    // The byte is kept apart from the latch, which PLAY refills from the tape while the
    // write waits for RECORD.
    heldByte_ = latch_;
    writeHeld_ = true;
    if (loaded_ && mode_ == kMagRecord) writeByte();
}

void MagTape::writeByte() {
    // Past the last cell there is nowhere to put it: the recorder stays busy and keeps
    // the byte, as for any write it cannot store.
    if (position_ >= kMagCells) return;
    writeHeld_ = false;
    cells_[static_cast<size_t>(position_)] = heldByte_;
    if (position_ + 1 < kMagCells) cells_[static_cast<size_t>(position_ + 1)] = kMagBlank;
    changed_ = true;
    writePending_ = position_ + kWriteCells;
}

void MagTape::finishWrite() {
    if (writePending_ < 0) return;
    writePending_ = -1;
    setFlag(outSlot_, 0);
}

void MagTape::pressKey(int key) {
    if (key < kMagRecord || key > kMagStop) return;
    if (key == kMagRecord && mode_ != kMagStop) return;
    if (key == mode_ && key != kMagStop) return;
    mode_ = key;
    if (key == kMagStop) {
        stopHeld_ = true;
        stopMotion(true);
        return;
    }
    sounds_.play(core::SoundId::BtDown);
    // The byte under way is on the tape already; leaving RECORD completes it, since a
    // wind would carry the head past the cell where it would otherwise be done.
    if (key != kMagRecord) finishWrite();
    speed_ = key == kMagRewind ? -kWindSpeed : key == kMagFastForward ? kWindSpeed : kRecordSpeed;
    playTimer_->start();
    // A program that wrote before RECORD was down has been waiting for it: its byte
    // goes onto the tape now.
    if (key == kMagRecord && loaded_ && writeHeld_) writeByte();
    // The head already stands on a cell: PLAY offers it at once. Otherwise the first cell
    // of a rewound tape, where a new tape's first byte is recorded, never came back.
    if (key == kMagPlay && loaded_) readStep();
    draw();
}

void MagTape::stopMotion(bool byKey) {
    (void)byKey;
    sounds_.play(core::SoundId::BtOff);
    mode_ = kMagStop;
    speed_ = 0;
    playTimer_->stop();
    finishWrite();
    draw();
}

void MagTape::playTimerTimer() {
    const int from = position_;
    position_ += speed_;
    bool atEnd = false;
    if (position_ >= kMagCells) {
        position_ = kMagCells;
        atEnd = true;
    } else if (position_ <= 0) {
        position_ = 0;
        atEnd = true;
    }
    counter_ = ((counter_ + position_ - from) % kMagCounterModulo + kMagCounterModulo) %
               kMagCounterModulo;
    if (atEnd) {
        // The end of the tape lets every key up, as STOP's release would.
        stopHeld_ = false;
        stopMotion(false);
    }
    if (loaded_) {
        changed_ = true;
        if (writePending_ >= 0 && position_ >= writePending_) finishWrite();
        readStep();
    }
    draw();
}

void MagTape::readStep() {
    if (mode_ != kMagPlay || writePending_ >= 0 || position_ >= kMagCells) return;
    if (!boundTo(inSlot_) || bus_.slots[inSlot_].flag != 1) return;
    const int cell = cells_[static_cast<size_t>(position_)];
    if (cell == kMagBlank) return;
    latch_ = cell;
    setFlag(inSlot_, 0);
}

void MagTape::resetCounter() {
    counter_ = 0;
    draw();
}

bool MagTape::requireStop() {
    if (mode_ == kMagStop) return true;
    prompter_.info(kMagMustStop);
    return false;
}

bool MagTape::SaveModifiedTapeFile() {
    if (!changed_) return true;
    switch (prompter_.askYesNoCancel(kMagSaveQuestion)) {
        case core::Answer::Cancel: return false;
        case core::Answer::Yes: return saveWithDialog();
        case core::Answer::No: return true;
    }
    return true;
}

void MagTape::insertTape(bool withSound) {
    loaded_ = true;
    if (withSound) sounds_.play(core::SoundId::Tapin);
    draw();
}

bool MagTape::NewTape() {
    if (!requireStop() || !SaveModifiedTapeFile()) return false;
    mode_ = kMagStop;
    position_ = 0;
    counter_ = 0;
    loaded_ = false;
    latch_ = 0;
    changed_ = false;
    fileName_.clear();
    writePending_ = -1;
    writeHeld_ = false;
    playlist_.clear();
    cells_.fill(kMagBlank);
    insertTape(true);
    return true;
}

bool MagTape::LoadTape(const std::filesystem::path& path) {
    return prepareLoad() && loadFile(path);
}

bool MagTape::prepareLoad() { return requireStop() && SaveModifiedTapeFile(); }

bool MagTape::loadFile(const std::filesystem::path& path) {
    const MagTapeRead r = readMagTapeFile(path);
    if (!r.ok) {
        prompter_.error(r.message);
        return false;
    }
    position_ = r.image.position;
    counter_ = r.image.counter;
    playlist_ = r.image.playlist;
    cells_ = r.image.cells;
    fileName_ = path.string();
    changed_ = false;
    writePending_ = -1;
    insertTape(true);
    return true;
}

bool MagTape::saveTo(const std::filesystem::path& path) {
    MagTapeImage image;
    image.position = position_;
    image.counter = counter_;
    image.playlist = playlist_;
    image.cells = cells_;
    if (!writeMagTapeFile(path, image)) {
        prompter_.error(core::saveFailureText(kMagSaveFailed, path));
        return false;
    }
    fileName_ = path.string();
    changed_ = false;
    draw();
    return true;
}

bool MagTape::SaveTape() {
    if (!loaded_ || !requireStop()) return false;
    return saveWithDialog();
}

bool MagTape::saveWithDialog() {
    const std::string suggested = fileName_.empty() ? std::string("*.mtf") : fileName_;
    const std::string chosen = host_ ? host_->askSaveFile(suggested) : std::string();
    if (chosen.empty()) return false;
    return saveTo(chosen);
}

bool MagTape::Erase() {
    // Without a cassette there is nothing to erase (and nothing that could be saved).
    if (!loaded_) return false;
    if (!prompter_.askYesNo(kMagEraseQuestion)) return false;
    cells_.fill(kMagBlank);
    playlist_.clear();
    changed_ = true;
    draw();
    return true;
}

bool MagTape::EjectTape() {
    if (!requireStop() || !SaveModifiedTapeFile()) return false;
    const bool wasIn = loaded_;
    loaded_ = false;
    // The user has just answered for these changes; an empty recorder asks nothing more.
    changed_ = false;
    if (wasIn) sounds_.play(core::SoundId::Tpout);
    draw();
    return true;
}

std::vector<std::string> MagTape::playlistLines() const {
    std::vector<std::string> lines = core::splitFields(playlist_);
    return lines;
}

bool MagTape::setPlaylistLines(const std::vector<std::string>& lines) {
    for (const std::string& l : lines) {
        if (l.find('~') != std::string::npos) {
            prompter_.error(kMagPlaylistTilde);
            return false;
        }
    }
    std::string text;
    for (const std::string& l : lines) text += l + "~";
    playlist_ = text;
    changed_ = true;
    draw();
    return true;
}

std::string MagTape::tapeName() const {
    if (fileName_.empty()) return {};
    return std::filesystem::path(fileName_).stem().string();
}

void MagTape::askSaveBeforeSettings() {
    if (loaded_ && changed_ && prompter_.askYesNo(kMagSaveQuestion)) saveWithDialog();
}

std::string MagTape::stateString(int left, int top) const {
    core::FieldListBuilder b;
    b.add(left).add(top).add(fileName_).addBool(loaded_);
    return b.str();
}

void MagTape::applyState(const std::string& state) {
    fileName_ = core::fieldAt(state, 2);
    if (!core::parseBool(core::fieldAt(state, 3), false)) return;
    MagTapeImage image;
    if (!fileName_.empty()) {
        const MagTapeRead r = readMagTapeFile(fileName_);
        if (!r.ok) {
            loaded_ = false;
            fileName_.clear();
            draw();
            return;
        }
        image = r.image;
    }
    position_ = image.position;
    counter_ = image.counter;
    playlist_ = image.playlist;
    cells_ = image.cells;
    changed_ = false;
    writePending_ = -1;
    insertTape(false);
}

void MagTape::saveState(core::SnapshotWriter& w) const {
    w.beginSection("MAGT", 1);
    w.i32(inSlot_);
    w.i32(outSlot_);
    writeSmallList(w, cells_);
    w.boolean(loaded_);
    w.i32(position_);
    w.i32(counter_);
    w.i32(mode_);
    w.i32(speed_);
    w.i32(latch_);
    w.i32(writePending_);
    w.boolean(writeHeld_);
    w.i32(heldByte_);
    w.boolean(changed_);
    w.str(fileName_);
    w.str(playlist_);
    w.boolean(stopHeld_);
    core::saveTimer(w, *playTimer_);
    w.endSection();
}

void MagTape::restoreState(core::SnapshotReader& r) {
    r.beginSection("MAGT", 1);
    const int inSlot = readSlot(r, core::kFirstOutputSlot - 1);
    const int outSlot = readSlot(r);
    const std::vector<int> cells = readSmallList(r, kMagCells, 0, kMagBlank);
    const bool loaded = r.boolean();
    const int position = r.i32In(0, kMagCells);
    const int counter = r.i32In(0, kMagCounterModulo - 1);
    const int mode = r.i32In(kMagRecord, kMagStop);
    const int speed = r.i32In(-kWindSpeed, kWindSpeed);
    const int latch = r.i32In(0, 255);
    // A write waits for the head to pass the byte and its gap.
    const int writePending = r.i32In(-1, kMagCells - 1 + kWriteCells);
    const bool writeHeld = r.boolean();
    const int heldByte = r.i32In(0, 255);
    const bool changed = r.boolean();
    std::string fileName = r.str();
    std::string playlist = r.str();
    const bool stopHeld = r.boolean();
    const core::TimerState timer = core::readTimer(r);
    r.endSection();
    const bool speedFits = speed == 0 || speed == kRecordSpeed || speed == kWindSpeed ||
                           speed == -kWindSpeed;
    refuseIf(cells.size() != static_cast<size_t>(kMagCells) || !speedFits);

    inSlot_ = inSlot;
    outSlot_ = outSlot;
    std::copy(cells.begin(), cells.end(), cells_.begin());
    loaded_ = loaded;
    position_ = position;
    counter_ = counter;
    mode_ = mode;
    speed_ = speed;
    latch_ = latch;
    writePending_ = writePending;
    writeHeld_ = writeHeld;
    heldByte_ = heldByte;
    changed_ = changed;
    fileName_ = std::move(fileName);
    playlist_ = std::move(playlist);
    stopHeld_ = stopHeld;
    core::applyTimer(timer, *playTimer_);
    draw();
}

}  // namespace mira::devices
