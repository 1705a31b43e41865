#include "tape_reader.h"

#include <system_error>

#include "core/field_list.h"
#include "core/scrambled_file.h"
#include "devices/module_state.h"

namespace mira::devices {

namespace {
constexpr int kReaderSlot = 0;
}  // namespace

ReaderTapeFile parseReaderTape(const std::vector<std::string>& lines) {
    ReaderTapeFile f;
    if (lines.empty()) {
        f.message = kReaderNoData;
        f.warning = true;
        return f;
    }
    if (lines.size() > static_cast<size_t>(kTapeFileMaxRows)) {
        f.message = kReaderInvalidData;
        return f;
    }
    f.values.reserve(lines.size());
    for (const std::string& line : lines) {
        const int v = core::parseIntInRange(line, 0, 255, -1);
        if (v < 0) {
            f.values.clear();
            f.message = kReaderInvalidData;
            return f;
        }
        f.values.push_back(v);
    }
    f.ok = true;
    return f;
}

ReaderTapeFile readReaderTapeFile(const std::filesystem::path& path) {
    const core::ContainerRead r = core::readContainerFile(path, core::kAllLines, kTapeFileMaxRows);
    if (!r.ok) {
        ReaderTapeFile f;
        const bool tooLarge = r.error == core::ContainerError::TooLarge || r.error == core::ContainerError::TooManyLines;
        f.message = tooLarge ? std::string(kReaderInvalidData) + "\r\r" + core::containerErrorText(r.error)
                             : std::string(kReaderOpenFailed);
        return f;
    }
    return parseReaderTape(r.lines);
}

std::vector<int> readerRows(const std::vector<int>& values) {
    std::vector<int> rows(kReaderLeaderRows, kLeaderRow);
    rows.insert(rows.end(), values.begin(), values.end());
    rows.insert(rows.end(), kReaderTrailerRows, kTrailerRow);
    return rows;
}

TapeReader::TapeReader(core::Machine& machine, core::FrontPanel& panel,
                       core::TimerFactory& timers, core::SoundEffects& sounds,
                       core::Prompter& prompter, TapeReaderHost* host)
    : m_(machine), panel_(panel), sounds_(sounds), prompter_(prompter), host_(host),
      feedTimer_(timers.createTimer(kFeedMs)) {
    feedTimer_->setCallback([this] { feedTimerTimer(); });
    m_.bus.registerModule(*this);
}

TapeReader::~TapeReader() {
    feedTimer_->stop();
    m_.bus.unregisterModule(*this);
}

bool TapeReader::bound() const { return m_.bus.slots[kReaderSlot].device == this; }

void TapeReader::PutDevice(int moduleType) {
    if (moduleType != core::kModuleTapeReader) return;
    m_.bus.bind(kReaderSlot, *this);
    m_.bus.SetDevInflag(kReaderSlot, 1);
}

int TapeReader::GetDevice() const { return bound() ? core::kModuleTapeReader : -1; }

void TapeReader::draw() {
    if (host_) host_->drawTape();
}

void TapeReader::setOutput(int value) {
    output_ = value & 255;
    m_.setExternalMask2(output_);
    if (host_) host_->machineChanged();
}

void TapeReader::doInit() {
    doReset();
    if (fileName_.empty()) return;
    std::error_code ec;
    if (!std::filesystem::exists(fileName_, ec)) return;
    if (LoadTape(fileName_)) rewind();
}

void TapeReader::doReset() {
    stopFeeding();
    rows_.clear();
    position_ = 0;
    loaderState_ = kLookingForMarker;
    deposited_ = 0;
    fault_ = false;
    setOutput(255);
    draw();
}

void TapeReader::close() {
    stopFeeding();
    doReset();
    if (bound()) m_.bus.CloseDevice(kReaderSlot);
}

bool TapeReader::LoadTape(const std::filesystem::path& path) {
    const ReaderTapeFile f = readReaderTapeFile(path);
    if (!f.ok) {
        if (f.warning)
            prompter_.info(f.message);
        else
            prompter_.error(f.message);
        return false;
    }
    stopFeeding();
    rows_ = readerRows(f.values);
    fileName_ = path.string();
    rewind();
    return true;
}

void TapeReader::stopFeeding() {
    feedTimer_->stop();
    sounds_.stop(core::SoundId::Lnfd);
}

void TapeReader::rewind() {
    position_ = 0;
    loaderState_ = kLookingForMarker;
    deposited_ = 0;
    fault_ = false;
    stopFeeding();
    draw();
}

void TapeReader::buttonAction() {
    if (feeding()) {
        rewind();
        return;
    }
    if (!hasTape()) return;
    if (!panel_.isSlowFast()) {
        prompter_.info(kReaderSlowMode);
        return;
    }
    if (m_.run) {
        prompter_.info(kReaderComputerRunning);
        return;
    }
    rewind();
    feedTimer_->start();
    sounds_.playLooping(core::SoundId::Lnfd);
}

void TapeReader::feedTimerTimer() {
    if (m_.run || !panel_.isSlowFast()) {
        stopFeeding();
        fault_ = true;
        draw();
        return;
    }
    if (position_ >= static_cast<int>(rows_.size())) {
        stopFeeding();
        setOutput(255);
        draw();
        return;
    }
    const int row = rows_[static_cast<size_t>(position_)];
    if (row == kLeaderRow) {
        setOutput(255);
    } else if (row == kTrailerRow) {
        fault_ = true;
        setOutput(255);
    } else if (loaderState_ == kLookingForMarker) {
        // Rows before the first one with bit 7 set are skipped; the marker is not loaded.
        if (row & 0x80) loaderState_ = kNextIsAddress;
    } else {
        setOutput(row);
        if (loaderState_ == kNextIsAddress) {
            m_.SetPCfromSwitches();
            loaderState_ = 0;
        } else {
            panel_.StartDeposit();
            ++loaderState_;
            ++deposited_;
        }
        if (host_) host_->machineChanged();
    }
    ++position_;
    draw();
}

std::string TapeReader::stateString(int left, int top) const {
    core::FieldListBuilder b;
    b.add(left).add(top).add(fileName_);
    return b.str();
}

void TapeReader::applyState(const std::string& state) { fileName_ = core::fieldAt(state, 2); }

void TapeReader::saveState(core::SnapshotWriter& w) const {
    w.beginSection("TRDR", 1);
    writeSmallList(w, rows_);
    w.i32(position_);
    w.i32(loaderState_);
    w.i32(output_);
    w.i32(deposited_);
    w.boolean(fault_);
    w.str(fileName_);
    core::saveTimer(w, *feedTimer_);
    w.endSection();
}

void TapeReader::restoreState(core::SnapshotReader& r) {
    r.beginSection("TRDR", 1);
    std::vector<int> rows = readSmallList(
        r, kReaderLeaderRows + kTapeFileMaxRows + kReaderTrailerRows, 0, kTrailerRow);
    for (int row : rows)
        refuseIf(row > 255 && row != kLeaderRow && row != kTrailerRow);
    const int position = r.i32In(0, static_cast<int>(rows.size()));
    const int loaderState = r.i32In(0, kLookingForMarker);
    const int output = r.i32In(0, 255);
    const int deposited = r.i32In(0, kTapeFileMaxRows);
    const bool fault = r.boolean();
    std::string fileName = r.str();
    const core::TimerState timer = core::readTimer(r);
    r.endSection();

    rows_ = std::move(rows);
    position_ = position;
    loaderState_ = loaderState;
    deposited_ = deposited;
    fault_ = fault;
    fileName_ = std::move(fileName);
    core::applyTimer(timer, *feedTimer_);
    setOutput(output);
    if (feeding())
        sounds_.playLooping(core::SoundId::Lnfd);
    else
        sounds_.stop(core::SoundId::Lnfd);
    draw();
}

}  // namespace mira::devices
