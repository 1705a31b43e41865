#include "core/atomic_file.h"
#include "printer.h"

#include "core/field_list.h"
#include "devices/module_state.h"

namespace mira::devices {

namespace {
constexpr int kRepeatBit = 0x80;
constexpr int kCodeMask = 0x3F;
// Paper geometry: a short roll hangs lower in the printer, the newest line just above the
// tear-off edge.
constexpr int kShortRoll = 7;
constexpr int kLineStep = 10;
constexpr int kNewestFromBottom = 13;
constexpr int kShortRollNewestOffset = 30;
}  // namespace

Printer::Printer(core::DeviceBus& bus, core::TimerFactory& timers, core::Prompter& prompter,
                 core::SoundEffects& sounds, PrinterHost* host)
    : bus_(bus), prompter_(prompter), sounds_(sounds), host_(host),
      printTimer_(timers.createTimer(kHeadStartMs)), feedTimer_(timers.createTimer(kFeedRepeatMs)) {
    printTimer_->setCallback([this] { printTimerTimer(); });
    feedTimer_->setCallback([this] { feedTimerTimer(); });
    bus_.registerModule(*this);
}

Printer::~Printer() {
    printTimer_->stop();
    feedTimer_->stop();
    bus_.unregisterModule(*this);
}

bool Printer::bound() const {
    return slot_ >= 0 && slot_ < core::kSlotCount && bus_.slots[slot_].device == this;
}

void Printer::setFlag(int value) {
    if (bound()) bus_.SetDevInflag(slot_, value);
}

std::string Printer::bufferText() const {
    std::string text;
    for (int c : buffer_) text += printerChar(c);
    return text;
}

void Printer::PutDevice(int slot) {
    slot_ = slot;
    bus_.bind(slot, *this);
    // Ready at once: a program may print without waiting first.
    setFlag(0);
}

int Printer::GetDevice() const { return bound() ? slot_ : -1; }

void Printer::doInit() {
    doReset();
    if (host_) {
        host_->drawPaper();
        host_->drawLabels();
    }
}

void Printer::doReset() {
    printTimer_->stop();
    feedTimer_->stop();
    buffer_.clear();
    ticks_ = 0;
    state_ = Idle;
}

void Printer::UpdatePrintBuffer() {
    if (!bound() || buffer_.size() >= size_t(kPrinterLineChars)) return;
    const int v = bus_.slots[slot_].output;
    const int code = v & kCodeMask;
    if (v & kRepeatBit)
        buffer_.resize(kPrinterLineChars, code);
    else
        buffer_.push_back(code);
}

void Printer::ExecResetFlag(int level) {
    if (level != 0) return;
    feedTimer_->stop();
    setFlag(1);
    // A pulse during a cycle only marks the flag busy; the cycle clears it in time.
    if (state_ != Idle) return;
    state_ = HeadStarting;
    printTimer_->setInterval(kHeadStartMs);
    printTimer_->start();
}

void Printer::printTimerTimer() {
    switch (state_) {
    case HeadStarting:
        printTimer_->setInterval(kTickMs);
        state_ = Accepting;
        sounds_.play(core::SoundId::Prnp);
        break;
    case Accepting:
        ++ticks_;
        if (ticks_ >= kTicksPerLine || buffer_.size() >= size_t(kPrinterLineChars)) {
            buffer_.resize(kPrinterLineChars, kSpaceCode);
            printTimer_->setInterval(kPrintStepMs);
            state_ = Printing;
            // Busy while the head prints, also when the sender paused and the last tick
            // had freed the flag: a character sent now would be lost.
            setFlag(1);
            sounds_.play(core::SoundId::Prnr);
        } else {
            setFlag(0);
        }
        break;
    case Printing: {
        LineCodes codes;
        for (size_t i = 0; i < codes.size(); ++i) codes[i] = buffer_[i];
        addLine(rollLine(codes));
        ticks_ = 0;
        state_ = LineDone;
        break;
    }
    case LineDone:
        printTimer_->stop();
        setFlag(0);
        state_ = Idle;
        buffer_.clear();
        break;
    default:
        printTimer_->stop();
        break;
    }
}

void Printer::addLine(std::string line) {
    // A roll loaded from a longer file keeps its length while printing goes on.
    if (roll_.size() >= size_t(kMaxRollLines)) roll_.erase(roll_.begin());
    roll_.push_back(std::move(line));
    changed_ = true;
    if (host_) host_->drawPaper();
}

bool Printer::pressFeed(int x, int y) {
    if (x < kFeedLeft || x > kFeedRight || y < kFeedTop || y > kFeedBottom) return false;
    if (printTimer_->isActive()) return false;
    if (host_) host_->showFeedButton(true);
    sounds_.play(core::SoundId::Prnf);
    addLine({});
    feedTimer_->start();
    return true;
}

void Printer::feedTimerTimer() {
    sounds_.play(core::SoundId::Prnf);
    addLine({});
}

void Printer::releaseFeed() {
    feedTimer_->stop();
    if (host_) host_->showFeedButton(false);
}

bool Printer::saveFile(const std::string& path) {
    if (!writePrinterFile(path, roll_)) {
        prompter_.error(core::saveFailureText(kPrinterSaveError, path));
        return false;
    }
    fileName_ = path;
    changed_ = false;
    if (host_) host_->drawLabels();
    return true;
}

bool Printer::saveRoll() {
    if (!host_) return false;
    const std::string path = host_->chooseSaveFile(fileName_.empty() ? kPrinterInitialName : fileName_);
    if (path.empty()) return false;
    return saveFile(path);
}

bool Printer::saveToKnownFile() { return fileName_.empty() ? saveRoll() : saveFile(fileName_); }

bool Printer::offerSave() {
    if (!changed_) return true;
    switch (prompter_.askYesNoCancel(kSaveQuestion)) {
    case core::Answer::Cancel:
        return false;
    case core::Answer::Yes:
        return saveToKnownFile();
    case core::Answer::No:
        // The user let these lines go; they are not offered again.
        changed_ = false;
        return true;
    }
    return false;
}

void Printer::askSaveBeforeSettings() {
    if (changed_ && prompter_.askYesNo(kSaveQuestion)) saveToKnownFile();
}

void Printer::rollReplaced() {
    changed_ = false;
    if (host_) {
        host_->drawPaper();
        host_->drawLabels();
    }
}

bool Printer::loadFile(const std::string& path) {
    PrinterFileRead r = readPrinterFile(path);
    if (!r.ok) {
        prompter_.error(r.error);
        return false;
    }
    roll_ = std::move(r.lines);
    fileName_ = path;
    rollReplaced();
    return true;
}

bool Printer::loadRoll() {
    if (!offerSave() || !host_) return false;
    const std::string path = host_->chooseOpenFile();
    if (path.empty()) return false;
    return loadFile(path);
}

bool Printer::discardRoll() {
    if (roll_.empty() || !prompter_.askYesNo(kDiscardQuestion)) return false;
    // Played without waiting: the machine keeps running while the paper tears.
    sounds_.play(core::SoundId::Rip);
    roll_.clear();
    fileName_.clear();
    rollReplaced();
    return true;
}

bool Printer::disconnect() { return offerSave(); }

void Printer::close() {
    doReset();
    if (host_) host_->showFeedButton(false);
    if (bound()) bus_.CloseDevice(slot_);
    slot_ = -1;
}

std::string Printer::stateString(int left, int top) const {
    core::FieldListBuilder b;
    b.add(left).add(top).add(fileName_);
    return b.str();
}

void Printer::applyState(const std::string& state) {
    fileName_.clear();
    const std::string file = core::fieldAt(state, 2);
    if (!file.empty()) loadFile(file);
    rollReplaced();
}

PaperLayout Printer::paperLayout() const {
    PaperLayout p;
    const int n = static_cast<int>(roll_.size());
    int y;
    if (n > kShortRoll) {
        p.paperTop = 0;
        y = kPaperHeight - kNewestFromBottom;
    } else {
        p.paperTop = kLineStep * (kShortRoll - n);
        y = kLineStep * n + kShortRollNewestOffset;
    }
    for (int i = n - 1; i >= 0 && y >= 0; --i, y -= kLineStep)
        if (!roll_[size_t(i)].empty()) p.lines.push_back({i, y});
    return p;
}

void Printer::saveState(core::SnapshotWriter& w) const {
    w.beginSection("PRNT", 1);
    w.i32(slot_);
    writeSmallList(w, buffer_);
    w.i32(state_);
    w.i32(ticks_);
    w.u32(static_cast<uint32_t>(roll_.size()));
    for (const std::string& line : roll_) w.str(line);
    w.str(fileName_);
    w.boolean(changed_);
    core::saveTimer(w, *printTimer_);
    core::saveTimer(w, *feedTimer_);
    w.endSection();
}

void Printer::restoreState(core::SnapshotReader& r) {
    r.beginSection("PRNT", 1);
    const int slot = readSlot(r);
    std::vector<int> buffer = readSmallList(r, kPrinterLineChars, 0, kCodeMask);
    const int state = r.i32In(Idle, LineDone);
    const int ticks = r.i32In(0, kTicksPerLine);
    const uint32_t lines = r.u32();
    std::vector<std::string> roll;
    // Each line takes at least its length field, so the count cannot outrun the data.
    if (lines > r.remaining() / 4) throw core::SnapshotError("the state data ends too early");
    roll.reserve(lines);
    for (uint32_t i = 0; i < lines; ++i) {
        roll.push_back(r.str());
        refuseIf(!rollLineValid(roll.back()));
    }
    std::string fileName = r.str();
    const bool changed = r.boolean();
    const core::TimerState print = core::readTimer(r);
    const core::TimerState feed = core::readTimer(r);
    r.endSection();
    // Only a cycle at its printing step needs a full line: it prints all of it.
    refuseIf(state == Printing && buffer.size() != size_t(kPrinterLineChars));

    slot_ = slot;
    buffer_ = std::move(buffer);
    state_ = state;
    ticks_ = ticks;
    roll_ = std::move(roll);
    fileName_ = std::move(fileName);
    changed_ = changed;
    core::applyTimer(print, *printTimer_);
    core::applyTimer(feed, *feedTimer_);
    if (host_) {
        host_->drawPaper();
        host_->drawLabels();
        host_->showFeedButton(feeding());
    }
}

}  // namespace mira::devices
