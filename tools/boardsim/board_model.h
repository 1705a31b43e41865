// A MIRA-8 board as the link protocol sees it: 8 Normal and 3 WIF program slots with
// their directory records, the project memory with its option byte, and the firmware.
// Bytes go in, reply chunks come out; switches inject the faults a real link can show.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mira::boardsim {

inline constexpr int kPages = 32;  // 8 Normal pages, then 3 WIF programs of 8 pages from page 8
inline constexpr int kPageSize = 256;
inline constexpr int kRecords = 11;
inline constexpr int kRecordSize = 24;

struct BoardState {
    std::array<std::string, kRecords> records;  // 0-7 Normal, 8-10 WIF
    std::vector<uint8_t> eeprom;                // kPages * kPageSize
    std::array<uint16_t, 1024> memory{};
    int options = 0x6D;  // Normal, page zero off, slow examine/deposit off, 500 ms, T13
    bool forcedBoot = false;
    std::vector<uint16_t> driver;
    std::vector<uint16_t> boot;

    BoardState();
    std::string save() const;
    // False when the text is not a saved state (the state is then left as it was).
    bool load(const std::string& text);
};

struct Faults {
    bool eepromFailure = false;  // every EEPROM block write answers "X"
    int silentAfter = -1;        // stop answering after this many commands (-1: never)
    bool splitReplies = false;   // every reply of two or more bytes comes in two pieces
    int garbageAt = -1;          // one stray byte before the reply to this command (1-based)
};

class BoardModel {
public:
    explicit BoardModel(BoardState& state, Faults faults = {}) : s_(state), faults_(faults) {}

    // Takes received bytes; returns the reply pieces to send, in order.
    std::vector<std::string> feed(const std::string& bytes);
    int commandsSeen() const { return commands_; }
    // The state changed since the last call (for saving it).
    bool takeDirty() {
        const bool d = dirty_;
        dirty_ = false;
        return d;
    }

private:
    enum class Mode { Idle, RecordWait, Record, PageReadWait, PageRead, PageWriteWait, PageWrite, OptionsWait,
                      MemoryWrite, MemoryRead, DeleteWait, Delete, Firmware };

    // Length of the message the buffer starts with in the current mode; 0 = drop a byte.
    size_t messageLength() const;
    std::string handle(const std::string& msg);
    void reply(std::vector<std::string>& out, const std::string& r);
    void commitFirmwareBlock();

    BoardState& s_;
    Faults faults_;
    Mode mode_ = Mode::Idle;
    std::string in_;
    int commands_ = 0;
    bool dirty_ = false;

    int recordIndex_ = 0;
    int recordPos_ = 0;
    std::string recordEdit_;
    bool recordWritten_ = false;
    int pointer_ = 0;      // EEPROM byte address or memory word index
    int blockBytes_ = 0;
    std::string block_;
    bool firmwareBoot_ = false;
    std::vector<uint16_t> firmwareNew_;
    std::vector<uint16_t> firmwareBlock_;
    bool lastEtxRed_ = false;
};

}  // namespace mira::boardsim
