#include "posix_serial.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace mira::link {

namespace {

speed_t speedFor(int baud) {
    switch (baud) {
        case 110: return B110;
        case 300: return B300;
        case 600: return B600;
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return B0;
    }
}

// Longest a write may wait for a full output queue before the bytes are dropped.
constexpr int kWriteWaitMs = 1000;

}  // namespace

PosixSerialPort::~PosixSerialPort() { close(); }

bool PosixSerialPort::open(const std::string& path, int baud) {
    close();
    lost_ = false;
    hangup_ = false;
    const speed_t speed = speedFor(baud);
    if (speed == B0) {
        error_ = "Baudrate is not valid";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error_ = path + ": " + std::strerror(errno);
        return false;
    }
    termios t{};
    if (!isatty(fd) || tcgetattr(fd, &t) != 0) {
        error_ = path + ": not a serial device";
        ::close(fd);
        return false;
    }
    ioctl(fd, TIOCEXCL);
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        error_ = path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    path_ = path;
    error_.clear();
    return true;
}

void PosixSerialPort::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void PosixSerialPort::write(const std::string& bytes) {
    if (fd_ < 0 || lost_) return;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, kWriteWaitMs) > 0 && !(p.revents & (POLLERR | POLLHUP))) continue;
        }
        lost_ = n < 0 && errno != EAGAIN && errno != EWOULDBLOCK;
        return;
    }
}

std::string PosixSerialPort::readAvailable() {
    std::string out;
    if (fd_ < 0 || lost_) return out;
    char buf[512];
    while (true) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // A raw tty with VMIN = VTIME = 0 reads 0 bytes when nothing is there, and also
        // when the far end has hung up; poll() tells the two apart.
        if (n == 0 && !hangup_) break;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        lost_ = true;
        break;
    }
    return out;
}

bool PosixSerialPort::waitReadable(int ms) {
    if (fd_ < 0 || lost_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    hangup_ = (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    // Bytes may still wait behind a hang-up; the read takes them and then notices it.
    return true;
}

void PosixSerialPort::setDtr(bool on) {
    if (fd_ < 0) return;
    int bit = TIOCM_DTR;
    ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit);
}

}  // namespace mira::link
