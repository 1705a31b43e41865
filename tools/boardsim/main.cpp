// mira8-boardsim: a stand-in MIRA-8 board on a pseudo-terminal, so the board link can be
// tried and tested without hardware.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "board_model.h"
#include "core/atomic_file.h"

namespace {

volatile std::sig_atomic_t gStop = 0;
void onSignal(int) { gStop = 1; }

constexpr int kSplitPauseUs = 30000;  // long enough for the host to see two receive events

void usage(std::ostream& o) {
    o << R"(usage: mira8-boardsim [options]

Opens a pseudo-terminal, prints its device path on the first line of stdout and answers
the MIRA-8 board link protocol on it as a board with 8 Normal and 3 WIF program slots,
project memory, an option byte and firmware. Runs until interrupted (Ctrl+C, SIGTERM).

Point the emulator at it with the path itself (mira8-cli board --port PATH) or through
a port number: MIRA8_SERIAL_PORTS=PATH makes PATH port 1.

  --state FILE        keep the board's programs, memory, options and firmware in FILE:
                      read at start (a missing file is a new board), written after
                      every change
  --link PATH         also make PATH a symbolic link to the pseudo-terminal
  --options BYTE      option byte of a new board (default 0x6D: Normal, 500 ms, T13)
  --forced-boot       the board is in forced boot mode: it answers the connection
                      query with "Bt" and takes only a firmware upgrade
  --eeprom-fail       every EEPROM block write fails (the board answers "X")
  --silent-after N    answer the first N commands, then say nothing more
  --split             send every reply of two or more bytes in two pieces, 30 ms apart
  --garbage-at N      send one stray byte before the reply to command N (counted from 1)
  --hangup-after N    close the pseudo-terminal after N commands and exit, as a board
                      that is unplugged in the middle of a transfer
  --verbose           log every command and reply in hex on stderr
  -h, --help          this text

Exit status: 0 after a signal or a hang-up, 2 on bad usage, 1 when the pseudo-terminal
cannot be made or the state file is not a saved board.
)";
}

bool parseInt(const char* s, int& v) {
    char* end = nullptr;
    const long x = std::strtol(s, &end, 0);
    if (!end || *end || x < 0 || x > 1000000000) return false;
    v = static_cast<int>(x);
    return true;
}

std::string hex(const std::string& b) {
    std::string s;
    char buf[4];
    for (char c : b) {
        std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(c));
        s += buf;
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace mira::boardsim;
    Faults faults;
    std::string stateFile, linkPath;
    int options = -1, hangupAfter = -1;
    bool forced = false, verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto num = [&](int& v) {
            if (i + 1 >= argc || !parseInt(argv[++i], v)) {
                std::cerr << "mira8-boardsim: " << a << " needs a number\n";
                return false;
            }
            return true;
        };
        if (a == "-h" || a == "--help") {
            usage(std::cout);
            return 0;
        } else if (a == "--state" && i + 1 < argc) {
            stateFile = argv[++i];
        } else if (a == "--link" && i + 1 < argc) {
            linkPath = argv[++i];
        } else if (a == "--options") {
            if (!num(options) || options > 255) return 2;
        } else if (a == "--forced-boot") {
            forced = true;
        } else if (a == "--eeprom-fail") {
            faults.eepromFailure = true;
        } else if (a == "--silent-after") {
            if (!num(faults.silentAfter)) return 2;
        } else if (a == "--split") {
            faults.splitReplies = true;
        } else if (a == "--garbage-at") {
            if (!num(faults.garbageAt)) return 2;
        } else if (a == "--hangup-after") {
            if (!num(hangupAfter)) return 2;
        } else if (a == "--verbose") {
            verbose = true;
        } else {
            std::cerr << "mira8-boardsim: unknown option " << a << "\n";
            usage(std::cerr);
            return 2;
        }
    }

    BoardState state;
    if (!stateFile.empty() && std::filesystem::exists(stateFile)) {
        std::ifstream in(stateFile, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (!state.load(text.str())) {
            std::cerr << "mira8-boardsim: " << stateFile << " is not a saved board\n";
            return 1;
        }
    }
    if (options >= 0) state.options = options;
    if (forced) state.forcedBoot = true;

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::cerr << "mira8-boardsim: cannot open a pseudo-terminal: " << std::strerror(errno) << "\n";
        return 1;
    }
    const std::string slave = ptsname(master);
    // Holding the slave open keeps the master readable between two host sessions, and makes
    // the line raw for hosts that do not set it themselves.
    const int keeper = open(slave.c_str(), O_RDWR | O_NOCTTY);
    if (keeper >= 0) {
        termios t{};
        tcgetattr(keeper, &t);
        cfmakeraw(&t);
        tcsetattr(keeper, TCSANOW, &t);
    }
    if (!linkPath.empty()) {
        std::error_code ec;
        std::filesystem::remove(linkPath, ec);
        std::filesystem::create_symlink(slave, linkPath, ec);
        if (ec) std::cerr << "mira8-boardsim: cannot make " << linkPath << ": " << ec.message() << "\n";
    }
    std::cout << slave << std::endl;

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    BoardModel board(state, faults);
    auto save = [&] {
        if (!stateFile.empty() && board.takeDirty()) mira::core::writeFileAtomically(stateFile, state.save());
    };
    while (!gStop) {
        pollfd p{master, POLLIN, 0};
        const int r = poll(&p, 1, 200);
        if (r < 0 && errno != EINTR) break;
        if (r <= 0) continue;
        char buf[512];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            usleep(50000);  // no host on the line right now
            continue;
        }
        const std::string in(buf, static_cast<size_t>(n));
        const auto replies = board.feed(in);
        if (verbose) std::cerr << "<- " << hex(in) << "\n";
        for (size_t i = 0; i < replies.size(); ++i) {
            if (i > 0 && faults.splitReplies) usleep(kSplitPauseUs);
            if (verbose) std::cerr << "-> " << hex(replies[i]) << "\n";
            if (write(master, replies[i].data(), replies[i].size()) < 0) break;
        }
        save();
        if (hangupAfter >= 0 && board.commandsSeen() >= hangupAfter) {
            if (verbose) std::cerr << "hang-up after " << board.commandsSeen() << " commands\n";
            break;
        }
    }
    save();
    if (keeper >= 0) close(keeper);
    close(master);
    if (!linkPath.empty()) {
        std::error_code ec;
        std::filesystem::remove(linkPath, ec);
    }
    return 0;
}
