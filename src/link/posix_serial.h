// A serial device opened with termios, for the command line (no Qt): the board link's
// settings of 8 data bits, no parity, one stop bit, no flow control, raw bytes.
#pragma once

#include <string>

#include "byte_port.h"

namespace mira::link {

class PosixSerialPort final : public PolledPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // Opens `path` exclusively at `baud`; false with error() set when it cannot.
    bool open(const std::string& path, int baud);
    void close();
    const std::string& error() const { return error_; }
    int fd() const { return fd_; }
    // The far end went away (a pseudo-terminal's master closed, a USB board unplugged).
    bool lost() const override { return lost_; }
    std::string name() const override { return path_; }
    // Waits at most `ms` for bytes; true when some are there. Notices a hang-up.
    bool waitReadable(int ms) override;

    bool isOpen() const override { return fd_ >= 0; }
    void write(const std::string& bytes) override;
    std::string readAvailable() override;
    // Pseudo-terminals have no modem lines; a failure here is not an error.
    void setDtr(bool on) override;

private:
    int fd_ = -1;
    bool lost_ = false;
    bool hangup_ = false;
    std::string error_;
    std::string path_;
};

}  // namespace mira::link
