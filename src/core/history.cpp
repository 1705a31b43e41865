#include "history.h"

#include <algorithm>

namespace mira::core {

namespace {
// A snapshot is kept whole every so often; the ones between hold only the byte runs in
// which they differ from it, which for a machine a few thousand clock states on is mostly
// registers and a few memory words.
constexpr int kDeltasPerKey = 63;

void putVarint(History::Bytes& out, size_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<uint8_t>(v));
}

size_t getVarint(const uint8_t*& p) {
    size_t v = 0;
    for (int shift = 0;; shift += 7) {
        const uint8_t b = *p++;
        v |= static_cast<size_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return v;
    }
}

// Runs of (bytes alike, bytes different, the different bytes); same sizes only.
History::Bytes encodeDelta(const History::Bytes& key, const History::Bytes& state) {
    History::Bytes out;
    size_t i = 0;
    const size_t n = state.size();
    while (i < n) {
        size_t same = i;
        while (same < n && state[same] == key[same]) ++same;
        if (same == n) break;
        size_t diff = same;
        // A short alike run inside a different one costs more as a new run than as bytes.
        while (diff < n && (state[diff] != key[diff] ||
                            (diff + 1 < n && state[diff + 1] != key[diff + 1])))
            ++diff;
        putVarint(out, same - i);
        putVarint(out, diff - same);
        out.insert(out.end(), state.begin() + static_cast<std::ptrdiff_t>(same),
                   state.begin() + static_cast<std::ptrdiff_t>(diff));
        i = diff;
    }
    return out;
}
}  // namespace

size_t History::Entry::size() const {
    return sizeof(Entry) + (isKey() ? key->size() : delta.capacity());
}

History::History(uint64_t& clock, Hooks hooks, size_t budgetBytes, uint64_t coveredStates,
                 uint64_t firstSpacing)
    : clock_(clock),
      hooks_(std::move(hooks)),
      budget_(budgetBytes),
      span_(coveredStates),
      firstSpacing_(firstSpacing),
      spacing_(firstSpacing) {}

History::~History() = default;

void History::setOn(bool on) {
    if (on == on_) return;
    on_ = on;
    entries_.clear();
    bytes_ = 0;
    spacing_ = firstSpacing_;
    settled_ = false;
    expected_.clear();
    end_ = clock_;
    if (on) {
        // Recording starts from here: a change before the next clock state is an input.
        expected_ = hooks_.capture();
        add(clock_, false, expected_);
        settledAt_ = clock_;
        settled_ = true;
    }
}

uint64_t History::oldest() const { return entries_.empty() ? end_ : entries_.front().at; }

size_t History::inputCount() const {
    return static_cast<size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.input; }));
}

void History::settle() {
    if (!on_ || rebuilding_) return;
    expected_ = hooks_.capture();
    settledAt_ = clock_;
    settled_ = true;
}

void History::checkpoint(uint64_t minSpacing) {
    if (rebuilding_) return;
    if (hooks_.wanted) {
        const bool wanted = hooks_.wanted();
        if (wanted != on_) setOn(wanted);
    }
    if (!on_) return;
    // Running on from an earlier point makes a new future.
    if (clock_ < end_) cutFuture();
    Bytes now;
    if (settled_) {
        now = hooks_.capture();
        if (settledAt_ != clock_ || now != expected_) {
            if ((entries_.empty() || entries_.back().at < clock_) && settledAt_ == clock_)
                add(clock_, false, expected_);
            add(clock_, true, now);
        }
        settled_ = false;
    }
    if (clock_ >= lastSnapshotAt_ + std::max(spacing_, minSpacing)) add(clock_, false, now.empty() ? hooks_.capture() : now);
    end_ = clock_;
    enforceBudget();
}

void History::seal() {
    if (!on_) return;
    Bytes now = hooks_.capture();
    const bool unchanged = settled_ && settledAt_ == clock_ && now == expected_;
    if (clock_ < end_) {
        if (unchanged) return;
        cutFuture();
    }
    end_ = clock_;
    const bool haveAt = !entries_.empty() && entries_.back().at == clock_;
    if (haveAt && decode(entries_.size() - 1) == now) return;
    if (!haveAt && settled_ && settledAt_ == clock_ && !unchanged) add(clock_, false, expected_);
    add(clock_, !unchanged || haveAt, now);
    expected_ = std::move(now);
    settledAt_ = clock_;
    settled_ = true;
    enforceBudget();
}

void History::add(uint64_t at, bool input, const Bytes& state) {
    Entry e;
    e.at = at;
    e.input = input;
    // The newest whole snapshot and how many are stored against it.
    size_t keyIndex = entries_.size();
    while (keyIndex > 0 && !entries_[keyIndex - 1].isKey()) --keyIndex;
    const bool haveKey = keyIndex > 0;
    const Entry* key = haveKey ? &entries_[keyIndex - 1] : nullptr;
    if (key && key->key->size() == state.size() &&
        entries_.size() - keyIndex < static_cast<size_t>(kDeltasPerKey)) {
        Bytes d = encodeDelta(*key->key, state);
        if (!d.empty() && d.size() < state.size() / 2) {
            e.key = key->key;
            e.delta = std::move(d);
            e.delta.shrink_to_fit();
        } else if (d.empty()) {
            // Same bytes as the whole one: share it, marked by a one-byte empty run list.
            e.key = key->key;
            e.delta = Bytes{0, 0};
        }
    }
    if (!e.key) e.key = std::make_shared<const Bytes>(state);
    bytes_ += e.size();
    entries_.push_back(std::move(e));
    lastSnapshotAt_ = at;
}

History::Bytes History::decode(size_t index) const {
    const Entry& e = entries_[index];
    Bytes out = *e.key;
    const uint8_t* p = e.delta.data();
    const uint8_t* end = p + e.delta.size();
    size_t pos = 0;
    while (p < end) {
        pos += getVarint(p);
        const size_t len = getVarint(p);
        std::copy(p, p + len, out.begin() + static_cast<std::ptrdiff_t>(pos));
        p += len;
        pos += len;
    }
    return out;
}

void History::restoreEntry(size_t index) {
    hooks_.restore(decode(index));
    clock_ = entries_[index].at;
}

const History::Entry* History::firstAt(uint64_t at) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), at,
                               [](const Entry& e, uint64_t v) { return e.at < v; });
    return it != entries_.end() && it->at == at ? &*it : nullptr;
}

void History::rebuild(uint64_t target) {
    rebuilding_ = true;
    if (target == end_ && !entries_.empty() && entries_.back().at == end_) {
        restoreEntry(entries_.size() - 1);
    } else if (const Entry* first = firstAt(target)) {
        restoreEntry(static_cast<size_t>(first - entries_.data()));
    } else {
        // The last entry before target holds the state after every input at its clock.
        auto it = std::lower_bound(entries_.begin(), entries_.end(), target,
                                   [](const Entry& e, uint64_t v) { return e.at < v; });
        restoreEntry(static_cast<size_t>(it - entries_.begin()) - 1);
        while (clock_ < target) hooks_.run(target - clock_, false);
    }
    rebuilding_ = false;
}

bool History::goTo(uint64_t target) {
    if (!on_ || entries_.empty() || target < oldest() || target > end_) return false;
    rebuild(target);
    settle();
    return true;
}

bool History::goBackTo(const std::function<bool()>& pred) {
    if (!on_ || entries_.empty()) return false;
    const uint64_t from = clock_;
    uint64_t hi = from;
    while (hi > oldest()) {
        // The last clock state with an entry before hi, and the states from it up to hi.
        auto it = std::lower_bound(entries_.begin(), entries_.end(), hi,
                                   [](const Entry& e, uint64_t v) { return e.at < v; });
        const uint64_t s = std::prev(it)->at;
        bool found = false;
        uint64_t best = 0;
        rebuilding_ = true;
        restoreEntry(static_cast<size_t>(firstAt(s) - entries_.data()));
        if (pred()) found = true, best = s;
        restoreEntry(static_cast<size_t>(std::prev(it) - entries_.begin()));
        while (clock_ + 1 < hi) {
            hooks_.run(hi - 1 - clock_, true);
            if (pred()) found = true, best = clock_;
        }
        rebuilding_ = false;
        if (found) return goTo(best);
        hi = s;
    }
    goTo(from);
    return false;
}

bool History::goForwardTo(const std::function<bool()>& pred) {
    if (!on_ || entries_.empty() || clock_ >= end_) return false;
    const uint64_t from = clock_;
    rebuilding_ = true;
    while (clock_ < end_) {
        // Past the inputs made here, then clock states up to the next entry.
        auto next = std::upper_bound(entries_.begin(), entries_.end(), clock_,
                                     [](uint64_t v, const Entry& e) { return v < e.at; });
        if (next != entries_.begin() && std::prev(next)->at == clock_)
            restoreEntry(static_cast<size_t>(std::prev(next) - entries_.begin()));
        const uint64_t stop = next == entries_.end() ? end_ : next->at;
        while (clock_ < stop) {
            hooks_.run(stop - clock_, true);
            if (pred()) {
                const uint64_t found = clock_;
                rebuilding_ = false;
                return goTo(found);
            }
        }
    }
    rebuilding_ = false;
    goTo(from);
    return false;
}

void History::cutFuture() {
    // Keep what leads to the state shown now: entries before it, and the first at it when
    // it was rebuilt from that one.
    auto it = std::upper_bound(entries_.begin(), entries_.end(), clock_,
                               [](uint64_t v, const Entry& e) { return v < e.at; });
    if (const Entry* first = firstAt(clock_)) it = entries_.begin() + (first - entries_.data()) + 1;
    entries_.erase(it, entries_.end());
    end_ = clock_;
    lastSnapshotAt_ = entries_.empty() ? clock_ : entries_.back().at;
    recount();
}

void History::enforceBudget() {
    while (bytes_ > budget_ && entries_.size() > 1) {
        // The oldest block may go while what stays still covers the span; otherwise fewer
        // snapshots in between, then the oldest anyway.
        size_t next = 1;
        while (next < entries_.size() && !entries_[next].isKey()) ++next;
        const bool spanKept = next < entries_.size() && end_ - entries_[next].at >= span_;
        if (spanKept || !thinOnce()) dropOldestBlock();
    }
}

void History::dropOldestBlock() {
    size_t next = 1;
    while (next < entries_.size() && !entries_[next].isKey()) ++next;
    entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(next));
    recount();
}

bool History::thinOnce() {
    // Doubles the spacing: every other snapshot taken for the spacing alone goes. Whole
    // snapshots and those after an outside input stay.
    spacing_ *= 2;
    size_t kept = 0;
    bool odd = false, removed = false;
    for (size_t i = 0; i < entries_.size(); ++i) {
        Entry& e = entries_[i];
        const bool thinnable = !e.isKey() && !e.input;
        if (thinnable && (odd = !odd) && i + 1 < entries_.size()) {
            removed = true;
            continue;
        }
        if (kept != i) entries_[kept] = std::move(e);
        ++kept;
    }
    entries_.resize(kept);
    recount();
    return removed;
}

void History::recount() {
    bytes_ = 0;
    for (const Entry& e : entries_) bytes_ += e.size();
}

class HistoryTimers::Wrapped final : public Timer {
public:
    Wrapped(std::unique_ptr<Timer> inner, const History& h) : inner_(std::move(inner)), h_(h) {}
    void setInterval(int ms) override { inner_->setInterval(ms); }
    int interval() const override { return inner_->interval(); }
    void start() override {
        frozen_ = false;
        inner_->start();
    }
    void stop() override {
        frozen_ = false;
        inner_->stop();
    }
    bool isActive() const override { return inner_->isActive(); }
    void setCallback(std::function<void()> onTick) override {
        inner_->setCallback([this, f = std::move(onTick)] {
            if (!h_.inPast() && !h_.rebuilding()) f();
        });
    }
    // While an earlier state is shown its time stands still: the time to the next tick is
    // the one restored, not what the wall clock has made of it since.
    int64_t remainingMicros() const override {
        return h_.inPast() && frozen_ ? restored_ : inner_->remainingMicros();
    }
    void resumeIn(int64_t us) override {
        inner_->resumeIn(us);
        frozen_ = h_.rebuilding();
        restored_ = us;
    }

private:
    bool frozen_ = false;
    int64_t restored_ = -1;
    std::unique_ptr<Timer> inner_;
    const History& h_;
};

std::unique_ptr<Timer> HistoryTimers::createTimer(int intervalMs) {
    return std::make_unique<Wrapped>(inner_.createTimer(intervalMs), history_);
}

}  // namespace mira::core
