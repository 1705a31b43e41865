// The board link's view of a serial port: open state, writes, the DTR line and the
// bytes that have arrived. The GUI adapts a QSerialPort, the CLI a termios device and the
// tests an in-memory board.
#pragma once

#include <string>

namespace mira::link {

class BytePort {
public:
    virtual ~BytePort() = default;
    virtual bool isOpen() const = 0;
    // Every character is one byte (its low 8 bits); errors are silent, as on the board link.
    virtual void write(const std::string& bytes) = 0;
    // Everything received so far, without waiting.
    virtual std::string readAvailable() = 0;
    virtual void setDtr(bool on) = 0;
    // The device went away while open (a USB board unplugged); not every port can tell.
    virtual bool lost() const { return false; }
    // What the user knows the port by, for messages ("/dev/ttyACM0").
    virtual std::string name() const { return {}; }
};

// A port that can wait for bytes: the command line polls it instead of getting events.
class PolledPort : public BytePort {
public:
    // Waits at most `ms` for bytes; true when some are there.
    virtual bool waitReadable(int ms) = 0;
};

}  // namespace mira::link
