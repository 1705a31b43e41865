#include "board_model.h"

#include <cstdio>
#include <sstream>

namespace mira::boardsim {

namespace {

constexpr unsigned char kQuery = 160, kDriver = 161, kMemData = 162, kMemRead = 163, kErase = 164,
                        kOptions = 165, kRecord = 166, kPageWrite = 167, kPageRead = 168, kDelete = 169,
                        kBoot = 170;
constexpr int kWifArea = 255;
constexpr char kGarbage = 0x5A;

int u(char c) { return static_cast<unsigned char>(c); }

std::string hex(const std::string& bytes) {
    static const char* d = "0123456789ABCDEF";
    std::string s;
    for (char c : bytes) {
        s += d[u(c) >> 4];
        s += d[u(c) & 15];
    }
    return s;
}

bool unhex(const std::string& text, std::string& out) {
    if (text.size() % 2) return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        int v = 0;
        for (size_t k = i; k < i + 2; ++k) {
            const char c = text[k];
            v <<= 4;
            if (c >= '0' && c <= '9') v |= c - '0';
            else if (c >= 'A' && c <= 'F') v |= c - 'A' + 10;
            else return false;
        }
        out += static_cast<char>(v);
    }
    return true;
}

std::string wordsToBytes(const std::vector<uint16_t>& w) {
    std::string s;
    for (uint16_t x : w) {
        s += static_cast<char>(x >> 8);
        s += static_cast<char>(x & 0xFF);
    }
    return s;
}

std::vector<uint16_t> bytesToWords(const std::string& s) {
    std::vector<uint16_t> w;
    for (size_t i = 0; i + 1 < s.size(); i += 2) w.push_back(static_cast<uint16_t>((u(s[i]) << 8) | u(s[i + 1])));
    return w;
}

}  // namespace

BoardState::BoardState() : eeprom(static_cast<size_t>(kPages * kPageSize), 0xFF) {
    records.fill(std::string(kRecordSize, '\xFF'));
}

std::string BoardState::save() const {
    std::ostringstream o;
    o << "mira8-board 1\n";
    o << "options " << options << "\n";
    o << "forced " << (forcedBoot ? 1 : 0) << "\n";
    for (int i = 0; i < kRecords; ++i) o << "record " << i << " " << hex(records[static_cast<size_t>(i)]) << "\n";
    for (int p = 0; p < kPages; ++p)
        o << "page " << p << " "
          << hex(std::string(eeprom.begin() + p * kPageSize, eeprom.begin() + (p + 1) * kPageSize)) << "\n";
    o << "memory " << hex(wordsToBytes(std::vector<uint16_t>(memory.begin(), memory.end()))) << "\n";
    o << "driver " << hex(wordsToBytes(driver)) << "\n";
    o << "boot " << hex(wordsToBytes(boot)) << "\n";
    return o.str();
}

bool BoardState::load(const std::string& text) {
    BoardState n;
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != "mira8-board 1") return false;
    while (std::getline(in, line)) {
        std::istringstream l(line);
        std::string key, data;
        l >> key;
        if (key == "options") {
            if (!(l >> n.options) || n.options < 0 || n.options > 255) return false;
        } else if (key == "forced") {
            int f = 0;
            if (!(l >> f)) return false;
            n.forcedBoot = f != 0;
        } else if (key == "record" || key == "page") {
            int i = -1;
            l >> i >> data;
            std::string bytes;
            if (!unhex(data, bytes)) return false;
            if (key == "record") {
                if (i < 0 || i >= kRecords || bytes.size() != kRecordSize) return false;
                n.records[static_cast<size_t>(i)] = bytes;
            } else {
                if (i < 0 || i >= kPages || bytes.size() != kPageSize) return false;
                std::copy(bytes.begin(), bytes.end(), n.eeprom.begin() + i * kPageSize);
            }
        } else if (key == "memory" || key == "driver" || key == "boot") {
            l >> data;
            std::string bytes;
            if (!unhex(data, bytes)) return false;
            const auto w = bytesToWords(bytes);
            if (key == "memory") {
                if (w.size() != n.memory.size()) return false;
                std::copy(w.begin(), w.end(), n.memory.begin());
            } else {
                (key == "driver" ? n.driver : n.boot) = w;
            }
        } else if (!key.empty()) {
            return false;
        }
    }
    *this = std::move(n);
    return true;
}

size_t BoardModel::messageLength() const {
    const int b = u(in_[0]);
    switch (mode_) {
        case Mode::Idle: return 1;
        case Mode::RecordWait: return b == 'T' ? 3 : 0;
        case Mode::Record: return b == 'S' ? 2 : (b == 'R' || b == 'V') ? 1 : 0;
        case Mode::PageReadWait:
        case Mode::PageWriteWait: return b == 'P' ? 2 : 0;
        case Mode::PageRead:
        case Mode::MemoryRead: return (b == 'R' || b == 'V') ? 1 : 0;
        case Mode::PageWrite: return b == 'Q' ? 5 : (b == 'T' || b == 'S' || b == 'V') ? 1 : 0;
        case Mode::OptionsWait: return b == 'S' ? 2 : b == 'R' ? 1 : 0;
        case Mode::MemoryWrite: return b == 'Q' ? 5 : b == 'V' ? 1 : 0;
        case Mode::DeleteWait: return b == 'T' ? 1 : 0;
        case Mode::Delete: return b == 'S' ? 3 : b == 'V' ? 1 : 0;
        case Mode::Firmware: return b == 2 ? 5 : b == 3 ? 1 : 0;
    }
    return 0;
}

void BoardModel::reply(std::vector<std::string>& out, const std::string& r) {
    if (r.empty()) return;
    if (faults_.silentAfter >= 0 && commands_ > faults_.silentAfter) return;
    std::string bytes = r;
    if (commands_ == faults_.garbageAt) bytes.insert(bytes.begin(), kGarbage);
    if (faults_.splitReplies && bytes.size() >= 2) {
        const size_t half = bytes.size() / 2;
        out.push_back(bytes.substr(0, half));
        out.push_back(bytes.substr(half));
    } else {
        out.push_back(bytes);
    }
}

std::vector<std::string> BoardModel::feed(const std::string& bytes) {
    std::vector<std::string> out;
    in_ += bytes;
    while (!in_.empty()) {
        size_t n = messageLength();
        if (n == 0) {
            // A command byte out of turn: the host has started over.
            if (u(in_[0]) >= kQuery && mode_ != Mode::Idle) {
                if (mode_ == Mode::Firmware) commitFirmwareBlock();
                mode_ = Mode::Idle;
                continue;
            }
            in_.erase(0, 1);
            continue;
        }
        if (in_.size() < n) break;
        const std::string msg = in_.substr(0, n);
        in_.erase(0, n);
        ++commands_;
        reply(out, handle(msg));
    }
    return out;
}

void BoardModel::commitFirmwareBlock() {
    if (firmwareBlock_.empty()) return;
    auto& target = firmwareBoot_ ? s_.boot : s_.driver;
    target.insert(target.end(), firmwareBlock_.begin(), firmwareBlock_.end());
    firmwareBlock_.clear();
    if (!firmwareBoot_) s_.forcedBoot = false;  // a driver is in place again
    dirty_ = true;
}

std::string BoardModel::handle(const std::string& msg) {
    const int b = u(msg[0]);
    const auto one = [](int x) { return std::string(1, static_cast<char>(x)); };
    switch (mode_) {
        case Mode::Idle:
            if (s_.forcedBoot && b != kDriver && b != kBoot) return b == kQuery ? "Bt" : "";
            switch (b) {
                case kQuery: return std::string("\xED\xC8") + static_cast<char>(s_.options);
                case kRecord: mode_ = Mode::RecordWait; return one(kRecord);
                case kPageRead: mode_ = Mode::PageReadWait; return one(kPageRead);
                case kPageWrite: mode_ = Mode::PageWriteWait; return one(kPageWrite);
                case kOptions: mode_ = Mode::OptionsWait; return one(kOptions);
                case kMemData: mode_ = Mode::MemoryWrite; pointer_ = 0; return one(kMemData);
                case kMemRead: mode_ = Mode::MemoryRead; pointer_ = 0; return one(kMemRead);
                case kErase:
                    s_.memory.fill(0);
                    dirty_ = true;
                    return "V";
                case kDelete: mode_ = Mode::DeleteWait; return one(kDelete);
                case kDriver:
                case kBoot:
                    mode_ = Mode::Firmware;
                    firmwareBoot_ = b == kBoot;
                    (firmwareBoot_ ? s_.boot : s_.driver).clear();
                    firmwareBlock_.clear();
                    lastEtxRed_ = false;
                    return one(kDriver);
                default: return "";
            }
        case Mode::RecordWait: {
            const int idx = u(msg[1]);
            const bool wif = u(msg[2]) == kWifArea;
            recordIndex_ = wif ? 8 + (idx % 3) : idx % 8;
            recordPos_ = 0;
            recordEdit_ = s_.records[static_cast<size_t>(recordIndex_)];
            recordWritten_ = false;
            mode_ = Mode::Record;
            return "T";
        }
        case Mode::Record:
            if (b == 'R') {
                std::string r = "R";
                for (int i = 0; i < 4; ++i) r += recordEdit_[static_cast<size_t>((recordPos_++) % kRecordSize)];
                return r;
            }
            if (b == 'S') {
                recordEdit_[static_cast<size_t>((recordPos_++) % kRecordSize)] = msg[1];
                recordWritten_ = true;
                return "S";
            }
            if (recordWritten_) {
                s_.records[static_cast<size_t>(recordIndex_)] = recordEdit_;
                dirty_ = true;
            }
            mode_ = Mode::Idle;
            return "V";
        case Mode::PageReadWait:
        case Mode::PageWriteWait:
            pointer_ = (u(msg[1]) % kPages) * kPageSize;
            blockBytes_ = 0;
            block_.clear();
            mode_ = mode_ == Mode::PageReadWait ? Mode::PageRead : Mode::PageWrite;
            return "P";
        case Mode::PageRead:
            if (b == 'R') {
                std::string r = "R";
                for (int i = 0; i < 4; ++i) r += static_cast<char>(s_.eeprom[static_cast<size_t>((pointer_++) % (kPages * kPageSize))]);
                return r;
            }
            mode_ = Mode::Idle;
            return "V";
        case Mode::PageWrite:
            if (b == 'T') {
                block_.clear();
                return "Q";
            }
            if (b == 'Q') {
                block_ += msg.substr(1);
                return "Q";
            }
            if (b == 'S') {
                if (faults_.eepromFailure) return "X";
                for (char c : block_) s_.eeprom[static_cast<size_t>((pointer_++) % (kPages * kPageSize))] = static_cast<uint8_t>(c);
                block_.clear();
                dirty_ = true;
                return "S";
            }
            mode_ = Mode::Idle;
            return "V";
        case Mode::OptionsWait:
            mode_ = Mode::Idle;
            if (b == 'S') {
                s_.options = u(msg[1]);
                dirty_ = true;
                return "S";
            }
            return std::string("R") + static_cast<char>(s_.options);
        case Mode::MemoryWrite:
            if (b == 'V') {
                mode_ = Mode::Idle;
                return "V";
            }
            if (s_.options & 1) {
                for (int i = 1; i <= 4; ++i) s_.memory[static_cast<size_t>((pointer_++) % 256)] = static_cast<uint16_t>(u(msg[static_cast<size_t>(i)]));
            } else {
                for (int i = 1; i <= 3; i += 2)
                    s_.memory[static_cast<size_t>((pointer_++) % 1024)] =
                        static_cast<uint16_t>((u(msg[static_cast<size_t>(i)]) << 8) | u(msg[static_cast<size_t>(i + 1)]));
            }
            dirty_ = true;
            return one(kMemData);
        case Mode::MemoryRead: {
            if (b == 'V') {
                mode_ = Mode::Idle;
                return "V";
            }
            std::string r = "R";
            if (s_.options & 1) {
                for (int i = 0; i < 4; ++i) r += static_cast<char>(s_.memory[static_cast<size_t>((pointer_++) % 256)] & 0xFF);
            } else {
                for (int i = 0; i < 2; ++i) {
                    const uint16_t w = s_.memory[static_cast<size_t>((pointer_++) % 1024)];
                    r += static_cast<char>(w >> 8);
                    r += static_cast<char>(w & 0xFF);
                }
            }
            return r;
        }
        case Mode::DeleteWait:
            mode_ = Mode::Delete;
            return "S";
        case Mode::Delete:
            if (b == 'S') {
                const int idx = u(msg[1]);
                const int rec = u(msg[2]) == kWifArea ? 8 + idx % 3 : idx % 8;
                s_.records[static_cast<size_t>(rec)] = std::string(kRecordSize, '\xFF');
                dirty_ = true;
                return "S";
            }
            mode_ = Mode::Idle;
            return "V";
        case Mode::Firmware:
            if (b == 2) {
                for (int i = 1; i <= 3; i += 2)
                    firmwareBlock_.push_back(static_cast<uint16_t>(u(msg[static_cast<size_t>(i)]) | (u(msg[static_cast<size_t>(i + 1)]) << 8)));
                return one(2);
            }
            commitFirmwareBlock();
            // The board answers every block with ETX, red and green in turn.
            lastEtxRed_ = !lastEtxRed_;
            return one(lastEtxRed_ ? 243 : 3);
    }
    return "";
}

}  // namespace mira::boardsim
