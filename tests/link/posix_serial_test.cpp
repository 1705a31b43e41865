// The termios port of the command line on a pseudo-terminal: settings, bytes both ways,
// and noticing that the far end hung up.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "link/posix_serial.h"

namespace mira::link {
namespace {

TEST(PosixSerialPort, RawBytesBothWaysAndAHangUp) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string path = ptsname(master);

    PosixSerialPort port;
    EXPECT_FALSE(port.open(path, 12345));
    EXPECT_EQ(port.error(), "Baudrate is not valid");
    EXPECT_FALSE(port.open("/nonexistent/tty", 19200));
    EXPECT_FALSE(port.isOpen());
    ASSERT_TRUE(port.open(path, 19200)) << port.error();
    termios t{};
    ASSERT_EQ(tcgetattr(port.fd(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_lflag & ICANON, 0u);
    port.setDtr(true);  // no modem lines on a pty: ignored

    EXPECT_FALSE(port.waitReadable(0));
    EXPECT_EQ(port.readAvailable(), "");
    EXPECT_FALSE(port.lost());
    // Bytes that a cooked line would change (CR, ^C, 0xFF) pass untouched.
    const std::string bytes("\r\n\x03\xFF\x00" "A", 6);
    ASSERT_EQ(::write(master, bytes.data(), bytes.size()), 6);
    ASSERT_TRUE(port.waitReadable(1000));
    EXPECT_EQ(port.readAvailable(), bytes);
    port.write(std::string("\xA0\x11\x13", 3));
    char buf[8];
    ASSERT_EQ(::read(master, buf, sizeof buf), 3);
    EXPECT_EQ(std::string(buf, 3), std::string("\xA0\x11\x13", 3));

    close(master);
    port.waitReadable(100);
    port.readAvailable();
    EXPECT_TRUE(port.lost());
    port.write("x");  // no effect, no signal
}

}  // namespace
}  // namespace mira::link
