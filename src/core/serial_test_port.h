// The basic serial port as the WIF serial instructions see it: a terminal stand-in that
// shows the last byte sent and offers one byte to read. The window implements it in the
// GUI; ScriptedSerialPort serves the CLI and tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "byte_record.h"

namespace mira::core {

class SerialTestPort {
public:
    virtual ~SerialTestPort() = default;
    // Only a visible port can be given serial access, and only a visible port offers bytes.
    virtual bool isVisible() const = 0;
    // The serial output instruction stored `value` in the serial register: show it (and
    // mirror it when the port is set to).
    virtual void SetSerInLabel(int value) = 0;
    // The serial input instruction: the offered byte, which is taken by the read; -1 when
    // nothing is offered or the port is not visible.
    virtual int GetSERIN() = 0;
    // Serial access is not told to the port here: every change of it (the instruction, a
    // transfer, LOAD ADDRESS, a reset) reaches the window as kChangeSerial through the
    // machine's observer, so no path can leave the window showing a stale "ON".
};

// A port that offers a fixed sequence of bytes, one per read, and records what was sent.
class ScriptedSerialPort final : public SerialTestPort {
public:
    ScriptedSerialPort() = default;
    explicit ScriptedSerialPort(std::vector<int> offered) {
        for (int b : offered) offered_.push_back(b & 0xFF);
    }

    bool visible = true;

    void offer(int byte) { offered_.push_back(byte & 0xFF); }
    // The most recent bytes sent (all of them in any short run) and how many there were.
    std::vector<int> sent() const { return sent_.kept(); }
    uint64_t sentTotal() const { return sent_.total(); }
    std::size_t pending() const { return offered_.size(); }
    // For machine states: the bytes still offered, first next, and the record of those sent.
    std::vector<int> offered() const { return {offered_.begin(), offered_.end()}; }
    void setOffered(const std::vector<int>& bytes) { offered_.assign(bytes.begin(), bytes.end()); }
    ByteRecord& sentRecord() { return sent_; }
    const ByteRecord& sentRecord() const { return sent_; }

    bool isVisible() const override { return visible; }
    void SetSerInLabel(int value) override { sent_.push(value & 0xFF); }
    int GetSERIN() override {
        if (!visible || offered_.empty()) return -1;
        const int b = offered_.front();
        offered_.pop_front();
        return b;
    }

private:
    std::deque<int> offered_;
    ByteRecord sent_;
};

}  // namespace mira::core
