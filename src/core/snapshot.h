// One versioned snapshot of everything that decides what the machine does next. Every piece
// of logic that holds state (the machine, the device slots, each module's logic, pending
// timers) writes itself into a SnapshotWriter and reads itself back from a SnapshotReader;
// history, machine state files and the CLI all use these same bytes.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mira::core {

// Raised by a reader on truncated, damaged or foreign data. Callers restore into a copy or
// check a whole snapshot first (SnapshotReader::verify), so a bad file changes nothing.
class SnapshotError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Little-endian, fixed widths, no padding: the same bytes on every machine.
class SnapshotWriter {
public:
    SnapshotWriter() = default;
    // Writes into `buffer`, emptied first; its capacity is kept, so a snapshot taken again
    // and again into the same vector allocates nothing once it is large enough.
    explicit SnapshotWriter(std::vector<uint8_t> buffer) : bytes_(std::move(buffer)) {
        bytes_.clear();
    }
    void u8(uint8_t v) { bytes_.push_back(v); }
    void boolean(bool v) { u8(v ? 1 : 0); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void i64(int64_t v);
    void str(std::string_view s);  // u32 length, then the bytes
    void raw(const void* data, size_t size);

    // A section: four-character tag, version, then a u32 length filled in by endSection,
    // so a reader can tell one part's data from the next and refuse a part it does not know.
    void beginSection(std::string_view tag4, uint16_t version);
    void endSection();

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
    std::vector<size_t> open_;  // offsets of the open sections' length fields
};

class SnapshotReader {
public:
    SnapshotReader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    explicit SnapshotReader(const std::vector<uint8_t>& bytes)
        : SnapshotReader(bytes.data(), bytes.size()) {}

    uint8_t u8();
    bool boolean();
    uint16_t u16();
    uint32_t u32();
    int32_t i32() { return static_cast<int32_t>(u32()); }
    int64_t i64();
    std::string str();
    void raw(void* data, size_t size);
    // A value that must lie in [lo, hi]; anything else is damaged data.
    int32_t i32In(int32_t lo, int32_t hi);

    // Enters the next section, which must carry `tag4`; returns its version, which must be
    // at most `maxVersion`. endSection checks that the part read all of its bytes.
    uint16_t beginSection(std::string_view tag4, uint16_t maxVersion);
    void endSection();
    // The tag of the next section without entering it; empty at the end.
    std::string peekTag() const;
    void skipSection();

    bool atEnd() const { return p_ == end_; }
    size_t remaining() const { return static_cast<size_t>(end_ - p_); }

private:
    void need(size_t n) const;

    const uint8_t* p_;
    const uint8_t* end_;
    std::vector<const uint8_t*> sectionEnds_;
};

// A part of the emulator that holds state of its own.
class StatePart {
public:
    virtual ~StatePart() = default;
    virtual void saveState(SnapshotWriter& w) const = 0;
    // Throws SnapshotError on data it cannot take; the caller then restores the state it
    // saved before trying.
    virtual void restoreState(SnapshotReader& r) = 0;
};

// Machine state files: a magic line, the format version, the snapshot, then a CRC-32 of all
// that comes before it.
inline constexpr std::string_view kStateFileMagic = "MIRA-8 machine state\n";
inline constexpr uint32_t kStateFileVersion = 1;

std::string stateFileBytes(const std::vector<uint8_t>& snapshot);

struct StateFileRead {
    bool ok = false;
    std::string error;  // why not, for the user: "not a machine state file", …
    std::vector<uint8_t> snapshot;
};
StateFileRead parseStateFile(std::string_view bytes);

uint32_t crc32(const uint8_t* data, size_t size);

class Timer;
// A timer's interval, whether it runs and the time to its next tick on the machine's clock.
// Ties between timers due at the same instant fire in restore order.
void saveTimer(SnapshotWriter& w, const Timer& t);
void restoreTimer(SnapshotReader& r, Timer& t);
// The same in two steps, for a part that reads all of its data before it changes anything.
struct TimerState {
    int32_t interval = 0;
    int64_t remaining = -1;  // µs to the next tick, -1 when stopped
};
TimerState readTimer(SnapshotReader& r);
void applyTimer(const TimerState& s, Timer& t);

}  // namespace mira::core
