#include "core/snapshot.h"

#include <array>
#include <cstring>

#include "core/timer.h"

namespace mira::core {

void SnapshotWriter::u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
}

void SnapshotWriter::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
        u8(static_cast<uint8_t>(v >> (8 * i)));
}

void SnapshotWriter::i64(int64_t v) {
    const auto u = static_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i)
        u8(static_cast<uint8_t>(u >> (8 * i)));
}

void SnapshotWriter::str(std::string_view s) {
    u32(static_cast<uint32_t>(s.size()));
    raw(s.data(), s.size());
}

void SnapshotWriter::raw(const void* data, size_t size) {
    const auto* b = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), b, b + size);
}

void SnapshotWriter::beginSection(std::string_view tag4, uint16_t version) {
    std::array<char, 4> tag{' ', ' ', ' ', ' '};
    std::memcpy(tag.data(), tag4.data(), std::min<size_t>(4, tag4.size()));
    raw(tag.data(), 4);
    u16(version);
    open_.push_back(bytes_.size());
    u32(0);
}

void SnapshotWriter::endSection() {
    if (open_.empty())
        throw SnapshotError("snapshot section closed twice");
    const size_t at = open_.back();
    open_.pop_back();
    const auto len = static_cast<uint32_t>(bytes_.size() - at - 4);
    for (int i = 0; i < 4; ++i)
        bytes_[at + i] = static_cast<uint8_t>(len >> (8 * i));
}

void SnapshotReader::need(size_t n) const {
    const uint8_t* limit = sectionEnds_.empty() ? end_ : sectionEnds_.back();
    if (static_cast<size_t>(limit - p_) < n)
        throw SnapshotError("the state data ends too early");
}

uint8_t SnapshotReader::u8() {
    need(1);
    return *p_++;
}

bool SnapshotReader::boolean() {
    const uint8_t v = u8();
    if (v > 1)
        throw SnapshotError("the state data is damaged");
    return v == 1;
}

uint16_t SnapshotReader::u16() {
    need(2);
    const uint16_t v = static_cast<uint16_t>(p_[0] | (p_[1] << 8));
    p_ += 2;
    return v;
}

uint32_t SnapshotReader::u32() {
    need(4);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(p_[i]) << (8 * i);
    p_ += 4;
    return v;
}

int64_t SnapshotReader::i64() {
    need(8);
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v |= static_cast<uint64_t>(p_[i]) << (8 * i);
    p_ += 8;
    return static_cast<int64_t>(v);
}

std::string SnapshotReader::str() {
    const uint32_t n = u32();
    need(n);
    std::string s(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    return s;
}

void SnapshotReader::raw(void* data, size_t size) {
    need(size);
    std::memcpy(data, p_, size);
    p_ += size;
}

int32_t SnapshotReader::i32In(int32_t lo, int32_t hi) {
    const int32_t v = i32();
    if (v < lo || v > hi)
        throw SnapshotError("the state data is damaged");
    return v;
}

uint16_t SnapshotReader::beginSection(std::string_view tag4, uint16_t maxVersion) {
    const std::string tag = peekTag();
    std::string want(tag4);
    want.resize(4, ' ');
    if (tag != want)
        throw SnapshotError("the state data is damaged (expected part " + want + ", found " +
                            (tag.empty() ? std::string("the end") : tag) + ")");
    p_ += 4;
    const uint16_t version = u16();
    if (version > maxVersion)
        throw SnapshotError("the state's part " + want + " is of a newer version (" +
                            std::to_string(version) + ")");
    const uint32_t len = u32();
    need(len);
    sectionEnds_.push_back(p_ + len);
    return version;
}

void SnapshotReader::endSection() {
    if (sectionEnds_.empty() || p_ != sectionEnds_.back())
        throw SnapshotError("the state data is damaged (a part has bytes left over)");
    sectionEnds_.pop_back();
}

std::string SnapshotReader::peekTag() const {
    const uint8_t* limit = sectionEnds_.empty() ? end_ : sectionEnds_.back();
    if (limit - p_ < 10)
        return {};
    return std::string(reinterpret_cast<const char*>(p_), 4);
}

void SnapshotReader::skipSection() {
    const std::string tag = peekTag();
    if (tag.empty())
        throw SnapshotError("the state data ends too early");
    beginSection(tag, 0xFFFF);
    p_ = sectionEnds_.back();
    endSection();
}

uint32_t crc32(const uint8_t* data, size_t size) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void saveTimer(SnapshotWriter& w, const Timer& t) {
    w.i32(t.interval());
    w.i64(t.remainingMicros());
}

TimerState readTimer(SnapshotReader& r) {
    TimerState s;
    s.interval = r.i32In(0, 1 << 30);
    s.remaining = r.i64();
    // A running timer's next tick is never more than one interval away; a larger value is
    // damage and would overflow the clock's arithmetic.
    if (s.remaining < -1 || s.remaining > int64_t{s.interval} * 1000)
        throw SnapshotError("the state data is damaged");
    return s;
}

void applyTimer(const TimerState& s, Timer& t) {
    t.setInterval(s.interval);
    if (s.remaining < 0)
        t.stop();
    else
        t.resumeIn(s.remaining);
}

void restoreTimer(SnapshotReader& r, Timer& t) { applyTimer(readTimer(r), t); }

std::string stateFileBytes(const std::vector<uint8_t>& snapshot) {
    SnapshotWriter w;
    w.raw(kStateFileMagic.data(), kStateFileMagic.size());
    w.u32(kStateFileVersion);
    w.u32(static_cast<uint32_t>(snapshot.size()));
    w.raw(snapshot.data(), snapshot.size());
    w.u32(crc32(w.bytes().data(), w.bytes().size()));
    const auto& b = w.bytes();
    return std::string(b.begin(), b.end());
}

StateFileRead parseStateFile(std::string_view bytes) {
    StateFileRead out;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    if (bytes.substr(0, kStateFileMagic.size()) != kStateFileMagic) {
        out.error = "it is not a MIRA-8 machine state file";
        return out;
    }
    try {
        SnapshotReader r(p, bytes.size());
        std::string magic(kStateFileMagic.size(), '\0');
        r.raw(magic.data(), magic.size());
        const uint32_t version = r.u32();
        if (version != kStateFileVersion) {
            out.error = "it is a machine state file of version " + std::to_string(version) +
                        "; this emulator reads version " + std::to_string(kStateFileVersion);
            return out;
        }
        const uint32_t size = r.u32();
        if (r.remaining() != size + size_t{4}) {
            out.error = "the file is damaged (its length is wrong)";
            return out;
        }
        out.snapshot.resize(size);
        r.raw(out.snapshot.data(), size);
        const uint32_t stored = r.u32();
        if (stored != crc32(p, bytes.size() - 4)) {
            out.error = "the file is damaged (its checksum does not match)";
            out.snapshot.clear();
            return out;
        }
    } catch (const SnapshotError&) {
        out.error = "the file is damaged (it ends too early)";
        out.snapshot.clear();
        return out;
    }
    out.ok = true;
    return out;
}

}  // namespace mira::core
