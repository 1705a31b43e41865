// mira8-cli board: the board link window's commands against a real board (or the stand-in
// board) from a script. The protocol is the window's; this file only drives it on the wall
// clock and prints its message list.
#include <chrono>
#include <iostream>
#include <optional>
#include <thread>

#include "asm_commands.h"
#include "assembler/disassembler.h"
#include "assembler/formatters.h"
#include "assembler/instruction_table.h"
#include "commands.h"
#include "core/data_dir.h"
#include "core/file_read.h"
#include "core/machine.h"
#include "link/board_link.h"
#include "link/link_loop.h"
#include "link/port_map.h"
#include "link/posix_serial.h"
#include "word_file.h"

namespace mira::cli {

namespace {

constexpr int kLinkBaud = 19200;
// A word file of 1024 words with a comment on each line stays far below this.
constexpr uintmax_t kMaxWordFileBytes = 1u << 20;

class SteadyWall final : public link::WallClock {
public:
    int64_t nowMicros() override {
        return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0_).count();
    }
    void sleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

private:
    std::chrono::steady_clock::time_point t0_ = std::chrono::steady_clock::now();
};

struct BoardOptions {
    std::string port;
    core::Answer answer = core::Answer::No;
    bool onlyAssembled = false;
    int radix = -1;
    core::OperatingMode mode = core::OperatingMode::Normal;
    bool zeroPage = false;
    bool resetT1 = false;
    bool slowDeposit = false;
    bool boot = false;
    std::string compilerData;
    std::vector<std::string> words;  // command and its arguments
};

std::string oneLine(const std::string& text) {
    std::string s;
    for (char ch : text) {
        if (ch == '\r') {
            if (!s.empty() && s.back() != ' ') s += ' ';
        } else {
            s += ch;
        }
    }
    return s;
}

class CliPrompter final : public core::Prompter {
public:
    CliPrompter(core::Answer answer, std::ostream& err) : answer_(answer), err_(err) {}
    void info(const std::string& text) override { err_ << oneLine(text) << "\n"; }
    void error(const std::string& text) override { err_ << oneLine(text) << "\n"; }
    bool askYesNo(const std::string& text) override {
        // The command line's emulator simply takes the mode of what it reads.
        if (text == link::kModeMismatchQuestion) return true;
        const bool yes = answer_ == core::Answer::Yes;
        err_ << "query: " << oneLine(text) << " -> " << (yes ? "yes" : "no") << "\n";
        return yes;
    }
    core::Answer askYesNoCancel(const std::string& text) override {
        return askYesNo(text) ? core::Answer::Yes : core::Answer::No;
    }

private:
    core::Answer answer_;
    std::ostream& err_;
};

class CliHost final : public link::LinkHost {
public:
    CliHost(const BoardOptions& o, std::ostream& err) : o_(o), err_(err) {
        machine.options.mode = o.mode;
        machine.options.zeroPageMode = o.zeroPage;
        machine.options.outputResetMode = o.resetT1 ? 0 : 1;
        machine.options.slowDepositExamine = o.slowDeposit;
        machine.updateMemorySize();
    }

    core::Machine machine;
    std::optional<int> assembled;
    std::string programName;
    int optionsByte = 0;
    std::string firmwareFile;

    core::OperatingMode emulatorMode() override { return machine.options.mode; }
    bool switchMode(core::OperatingMode mode) override {
        machine.options.mode = mode;
        machine.updateMemorySize();
        return true;
    }
    link::EmulatorOptions emulatorOptions() override {
        return {machine.options.mode == core::OperatingMode::Normal, machine.options.zeroPageMode,
                machine.options.slowDepositExamine, machine.options.outputResetMode};
    }
    std::vector<int32_t> memoryWords() override {
        return {machine.memory.begin(), machine.memory.begin() + machine.memorySize};
    }
    std::optional<int> assembledLength() override { return o_.onlyAssembled ? assembled : std::nullopt; }
    void copyToMemory(const std::vector<int32_t>&) override {}
    std::optional<std::string> askProgramName(int, const std::string&) override { return programName; }
    std::optional<int> askHardwareOptions(int) override { return optionsByte; }
    int askSelection(const std::string&, int) override { return 1; }  // View List
    std::optional<std::filesystem::path> askTextFile() override { return std::nullopt; }
    int displayRadix(bool normal) override {
        if (o_.radix >= 0) return o_.radix;
        return core::MachineOptions{}.radix[normal ? 0 : 1];
    }
    std::string formatRadix(int64_t value, int radix) override { return assembler::FormatRadix(value, radix, true); }
    std::string disassemble(int32_t word, bool normal) override {
        auto& t = tables_[normal ? 0 : 1];
        if (!t) {
            const auto path = o_.compilerData.empty() ? assembler::findCompilerData()
                                                      : std::filesystem::path(o_.compilerData);
            auto r = assembler::LoadCompilerData(path, normal ? core::OperatingMode::Normal : core::OperatingMode::Wif);
            if (r.state == 0) {
                if (!warned_) err_ << path.string() << ": " << r.message << "\n";
                warned_ = true;
            }
            t = std::move(r.table);
        }
        return assembler::DisassembleWord(word, normal, *t, displayRadix(normal), normal ? 255 : 1023);
    }
    std::filesystem::path dataFile(const std::string& name) override {
        if (name == link::kFirmwareFile)
            return firmwareFile.empty() ? core::findDataFile(name) : std::filesystem::path(firmwareFile);
        return core::dataFile(name);
    }

private:
    const BoardOptions& o_;
    std::ostream& err_;
    std::optional<assembler::InstructionTable> tables_[2];
    bool warned_ = false;
};

// Streams the message list as it grows: a line is printed as soon as it is logged, so a
// script sees what runs, and a mark appended to it later follows on the same line.
class LinePrinter {
public:
    LinePrinter(const link::BoardLink& l, std::ostream& out) : link_(l), out_(out) {}
    void flush(bool all) {
        const auto& m = link_.messages();
        for (; line_ < m.size(); ++line_, shown_ = 0) {
            // A leading empty line says nothing in a script's output.
            if (line_ == 0 && m[0].empty()) continue;
            out_ << m[line_].substr(std::min(shown_, m[line_].size()));
            shown_ = m[line_].size();
            // The last line stays open for its mark until the command ends.
            if (line_ + 1 == m.size() && !all) break;
            out_ << "\n";
        }
        out_.flush();
    }

private:
    const link::BoardLink& link_;
    std::ostream& out_;
    size_t line_ = 0;   // first line not yet ended
    size_t shown_ = 0;  // characters of it printed
};

void printBoardUsage(std::ostream& o) {
    o << R"(usage: mira8-cli board --port PORT [--answer yes|no] [--only-assembled] COMMAND [ARGS]

  PORT: a device path (/dev/ttyACM0, /dev/pts/5) or a port number 1-256: the n-th entry of
  the paths in MIRA8_SERIAL_PORTS (':'-separated), then /dev/ttyACM*, /dev/ttyUSB*,
  /dev/ttyS* in numeric order. 19200 baud, 8N1, no flow control.
  The reset sequence (DTR pulse, 1 s) and the connection query run first.

  query                                    connection query only
  directory                                read the directory
  read-program normal|wif N                read a program slot (1-8 / 1-3), View List
  write-program normal|wif N NAME FILE     write FILE (.asm or word file) into a slot
  read-memory                              read project memory, View List
  write-memory FILE [--mode normal|wif]    write project memory
  erase-memory                             erase project memory
  delete normal:N|wif:N ...                delete programs (asks; see --answer)
  read-options                             read the hardware option byte
  write-options BYTE                       write the option byte (decimal or 0x hex)
  upgrade-driver HEXFILE [--boot]          reprogram the driver (boot code with --boot)

  --answer yes|no          answer to the window's Yes/No questions (default no)
  --only-assembled         send only the assembled part of FILE (word file: highest
                           address + 1)
  --radix dec|hex|737|377  View List radix (default 737 in Normal, dec in WIF)
  --zero-page --reset-t1 --slow-deposit
                           the emulator options the record flags and option byte use
  --compiler-data FILE     instruction tables for .asm files and the View List

  FILE and HEXFILE must be ordinary files (no folders, devices or pipes).
  Output: the window's message list on stdout, each line as soon as it is logged;
  errors and questions on stderr. The reply time-out counts only silence the port
  showed (a paused process does not fail a transfer); each command also ends after a
  time limit that follows from the bytes it moves.
  Exit status: 0 OK, 1 " >FAIL", "Communications failed" or any "ERROR: ...",
  3 " >CANCEL" or a question answered no, 2 bad usage.
)";
}

std::optional<int> parseSlot(const std::string& text, int max) {
    const auto v = parseNumber(text);
    if (!v || *v < 1 || *v > max) return std::nullopt;
    return static_cast<int>(*v);
}

std::string parseArgs(const Args& args, BoardOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&](std::string& v) {
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        std::string v;
        if (a == "--port") {
            if (!next(o.port)) return "--port needs a device or a number";
        } else if (a == "--answer") {
            if (!next(v) || (v != "yes" && v != "no")) return "--answer must be yes or no";
            o.answer = v == "yes" ? core::Answer::Yes : core::Answer::No;
        } else if (a == "--only-assembled") {
            o.onlyAssembled = true;
        } else if (a == "--radix") {
            if (!next(v)) return "--radix needs dec, hex, 737 or 377";
            if (v == "dec") o.radix = assembler::kRadixDec;
            else if (v == "hex") o.radix = assembler::kRadixHex;
            else if (v == "737") o.radix = assembler::kRadixSplitOctal;
            else if (v == "377") o.radix = assembler::kRadixOctal;
            else return "--radix must be dec, hex, 737 or 377";
        } else if (a == "--mode") {
            if (!next(v) || (v != "normal" && v != "wif")) return "--mode must be normal or wif";
            o.mode = v == "wif" ? core::OperatingMode::Wif : core::OperatingMode::Normal;
        } else if (a == "--zero-page") {
            o.zeroPage = true;
        } else if (a == "--reset-t1") {
            o.resetT1 = true;
        } else if (a == "--slow-deposit") {
            o.slowDeposit = true;
        } else if (a == "--boot") {
            o.boot = true;
        } else if (a == "--compiler-data") {
            if (!next(o.compilerData)) return "--compiler-data needs a file";
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            return "unknown option " + a;
        } else {
            o.words.push_back(a);
        }
    }
    if (o.port.empty()) return "--port is needed";
    if (o.words.empty()) return "a COMMAND is needed";
    return {};
}

// Loads FILE into the host's memory for the mode; the assembled length for
// --only-assembled. Prints the problem and returns false.
bool loadProgram(CliHost& host, const BoardOptions& o, const std::string& file, std::ostream& err) {
    const bool isAsm = file.size() > 4 && file.substr(file.size() - 4) == ".asm";
    if (isAsm) {
        int upload = 0;
        if (assembleAndTransfer(host.machine, file, o.compilerData, o.answer, err, &upload) != kExitOk) return false;
        host.assembled = upload;
        return true;
    }
    const core::FileRead read = core::readWholeFile(file, kMaxWordFileBytes);
    if (!read.ok) {
        err << file << ": " << core::fileReadErrorText(read.error) << "\n";
        return false;
    }
    const bool wif = host.machine.options.mode == core::OperatingMode::Wif;
    const auto words = parseWordFile(read.bytes, host.machine.memorySize, wif ? 0xFFFF : 0xFF);
    if (!words.ok) {
        err << file << ":" << words.errorLine << ": " << words.error << "\n";
        return false;
    }
    int highest = -1;
    for (const auto& w : words.words) {
        host.machine.memory[static_cast<size_t>(w.address)] = w.word;
        highest = std::max(highest, w.address);
    }
    host.assembled = highest + 1;
    return true;
}

int exitFor(link::Outcome outcome) {
    switch (outcome) {
        case link::Outcome::Ok: return kExitOk;
        case link::Outcome::Cancel: return kExitNotHalted;
        default: return kExitBadInput;
    }
}

}  // namespace

int boardCommand(const Args& args, std::ostream& out, std::ostream& err) {
    BoardOptions o;
    for (const auto& a : args)
        if (a == "--help" || a == "-h") {
            printBoardUsage(out);
            return kExitOk;
        }
    const auto usage = [&](const std::string& text) {
        err << "mira8-cli board: " << text << "\n";
        printBoardUsage(err);
        return kExitUsage;
    };
    if (const auto problem = parseArgs(args, o); !problem.empty()) return usage(problem);

    const std::string command = o.words[0];
    const std::vector<std::string> rest(o.words.begin() + 1, o.words.end());
    CliHost host(o, err);
    CliPrompter prompter(o.answer, err);

    // Check the command and load its files before the board is touched.
    bool wif = false;
    int slot = 0, mask = 0;
    const auto typeAndSlot = [&](const std::string& type, const std::string& n) {
        if (type != "normal" && type != "wif") return false;
        wif = type == "wif";
        const auto s = parseSlot(n, wif ? link::kWifSlots : link::kNormalSlots);
        if (!s) return false;
        slot = *s;
        return true;
    };
    if (command == "query" || command == "directory" || command == "read-memory" || command == "erase-memory" ||
        command == "read-options") {
        if (!rest.empty()) return usage(command + " takes no arguments");
    } else if (command == "read-program") {
        if (rest.size() != 2 || !typeAndSlot(rest[0], rest[1])) return usage("read-program needs normal 1-8 or wif 1-3");
        host.switchMode(wif ? core::OperatingMode::Wif : core::OperatingMode::Normal);
    } else if (command == "write-program") {
        if (rest.size() != 4 || !typeAndSlot(rest[0], rest[1]))
            return usage("write-program needs normal 1-8 or wif 1-3, a NAME and a FILE");
        const auto name = link::checkProgramName(rest[2]);
        if (!name.error.empty()) {
            err << name.error << "\n";
            return kExitUsage;
        }
        host.programName = name.name;
        host.switchMode(wif ? core::OperatingMode::Wif : core::OperatingMode::Normal);
        if (!loadProgram(host, o, rest[3], err)) return kExitBadInput;
    } else if (command == "write-memory") {
        if (rest.size() != 1) return usage("write-memory needs a FILE");
        if (!loadProgram(host, o, rest[0], err)) return kExitBadInput;
    } else if (command == "delete") {
        if (rest.empty()) return usage("delete needs normal:N or wif:N");
        for (const auto& r : rest) {
            const size_t colon = r.find(':');
            if (colon == std::string::npos || !typeAndSlot(r.substr(0, colon), r.substr(colon + 1)))
                return usage("delete takes normal:1-8 or wif:1-3, not " + r);
            mask |= 1 << (wif ? link::kNormalSlots + slot - 1 : slot - 1);
        }
    } else if (command == "write-options") {
        const auto v = rest.size() == 1 ? parseNumber(rest[0]) : std::nullopt;
        if (!v || *v < 0 || *v > 255) return usage("write-options needs a BYTE 0-255");
        host.optionsByte = static_cast<int>(*v);
    } else if (command == "upgrade-driver") {
        if (rest.size() != 1) return usage("upgrade-driver needs a HEXFILE");
        // The window reads "miraPIC.hex" from the data folder; the command names its file.
        host.firmwareFile = rest[0];
    } else {
        return usage("unknown command " + command);
    }

    std::string device = o.port;
    if (o.port.find_first_not_of("0123456789") == std::string::npos) {
        const auto n = parseNumber(o.port);
        if (!n || *n < link::kMinPort || *n > link::kMaxPort) return usage("port numbers run from 1 to 256");
        const auto path = link::devicePathForPort(static_cast<int>(*n));
        if (!path) {
            err << "mira8-cli board: no serial device has port number " << *n << "\n";
            return kExitBadInput;
        }
        device = *path;
    }
    link::PosixSerialPort port;
    if (!port.open(device, kLinkBaud)) {
        err << "mira8-cli board: cannot open " << port.error() << "\n";
        return kExitBadInput;
    }

    core::VirtualClock clock;
    link::BoardLink link(port, clock, host, prompter);
    LinePrinter printer(link, out);
    SteadyWall wall;
    link::LinkLoop loop(link, port, clock, wall);
    const auto runLink = [&] { loop.runUntilIdle([&] { printer.flush(false); }); };

    link.start();
    runLink();
    if (link.outcome() != link::Outcome::Ok || link.dataErrorSeen()) {
        printer.flush(true);
        return kExitBadInput;
    }
    if (link.forcedBoot() && command != "upgrade-driver") {
        printer.flush(true);
        err << "mira8-cli board: the board is in forced boot mode; only upgrade-driver can run\n";
        return kExitBadInput;
    }

    link.clearOutcome();
    if (command == "query") {
        printer.flush(true);
        return kExitOk;
    }
    if (command == "directory") link.readDirectory();
    else if (command == "read-program") link.readProgram(wif, slot);
    else if (command == "write-program") link.writeProgram(wif, slot);
    else if (command == "read-memory") link.readMemory();
    else if (command == "write-memory") link.writeMemory();
    else if (command == "erase-memory") link.eraseMemory();
    else if (command == "delete") link.deletePrograms(mask);
    else if (command == "read-options") link.readOptions();
    else if (command == "write-options") link.writeOptions();
    else if (command == "upgrade-driver") link.upgradeFirmware(o.boot);
    runLink();
    printer.flush(true);
    return exitFor(link.outcome());
}

}  // namespace mira::cli
