// libFuzzer target over what the board link takes from outside. Byte 0 0xFF: the rest is
// a firmware file for the Intel HEX reader. Otherwise byte 0 picks a command (every one,
// the connection query and both firmware transfers included) and byte 1 the board (bit 0:
// forced boot mode); the command line's loop runs it against a board model on a fake port,
// and each further byte says what happens to the next reply of the board: it passes,
// vanishes, has a byte changed, comes in two pieces, gets a stray byte, or the host stalls
// for 3 s. When the bytes run out the board answers truly, so every command can reach its
// end. The link states reached are printed at exit.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "link/intel_hex.h"
#include "link_rig.h"

namespace {

using namespace mira::link;

// Every state of the link's tables.
const std::set<int> kAllStates{0,   5,   200, 201, 202, 203, 210, 211, 212, 213, 214, 240, 250, 251, 260, 261,
                               300, 301, 302, 303, 304, 305, 306, 307, 308, 400, 401, 402, 403, 404, 405, 406,
                               407, 408, 500, 501, 502, 1000, 1001, 1002};
std::set<int> gReached;

void report() {
    std::string reached, missing;
    for (int s : kAllStates) (gReached.count(s) ? reached : missing) += " " + std::to_string(s);
    std::fprintf(stderr, "link states reached (%zu of %zu):%s\nlink states not reached:%s\n", gReached.size(),
                 kAllStates.size(), reached.c_str(), missing.empty() ? " none" : missing.c_str());
}

const std::filesystem::path& workDir() {
    static const auto dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("mira8-link-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        // Boot code words and a driver, for both transfers.
        std::ofstream(d / kFirmwareFile) << test::hexRecord(0x0010, 0, {0x34, 0x12}) << test::driverHex(128);
        std::ofstream(d / kMarkerFile) << "x";
        std::atexit(report);
        return d;
    }();
    return dir;
}

const std::vector<std::function<void(BoardLink&)>> kCommands{
    {},
    [](BoardLink& l) { l.readDirectory(); },
    [](BoardLink& l) { l.readProgram(false, 1); },
    [](BoardLink& l) { l.readProgram(true, 1); },
    [](BoardLink& l) { l.writeProgram(false, 2); },
    [](BoardLink& l) { l.readMemory(); },
    [](BoardLink& l) { l.writeMemory(); },
    [](BoardLink& l) { l.eraseMemory(); },
    [](BoardLink& l) { l.deletePrograms(0x701); },
    [](BoardLink& l) { l.readOptions(); },
    [](BoardLink& l) { l.writeOptions(); },
    [](BoardLink& l) { l.upgradeFirmware(false); },
    [](BoardLink& l) { l.upgradeFirmware(true); },
};

void mutateReplies(std::string_view& script, std::vector<std::string>& replies, test::StallPort& port) {
    std::vector<std::string> out;
    for (auto& r : replies) {
        if (script.empty() || r.empty()) {
            out.push_back(r);
            continue;
        }
        const auto op = static_cast<uint8_t>(script[0]);
        script.remove_prefix(1);
        const auto arg = [&]() -> char {
            if (script.empty()) return 0;
            const char c = script[0];
            script.remove_prefix(1);
            return c;
        };
        switch (op % 8) {
            case 4: break;  // lost
            case 5: r[static_cast<size_t>(op >> 3) % r.size()] = arg(); out.push_back(r); break;
            case 6: {
                const size_t at = static_cast<size_t>(op >> 3) % r.size();
                out.push_back(r.substr(0, at));
                out.push_back(r.substr(at));
                break;
            }
            case 7: out.push_back(std::string(1, arg()) + r); break;
            case 3:
                port.stallNow(3'000'000);
                out.push_back(r);
                break;
            default: out.push_back(r); break;
        }
    }
    replies = std::move(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (data[0] == 0xFF) {
        for (bool driver : {false, true}) {
            const auto image = readIntelHex(bytes.substr(1), driver);
            if (image.ok && image.words.size() > kControllerWords) __builtin_trap();
            (void)firmwareTransferWords(image.words, !driver);
        }
        return 0;
    }
    const auto& dir = workDir();
    const size_t command = data[0] % kCommands.size();
    test::LoopRig rig(dir);
    rig.state.forcedBoot = (data[1] & 1) != 0;
    std::string_view script = bytes.substr(2);
    rig.port.mutate = [&](std::vector<std::string>& replies, test::StallPort& port) {
        mutateReplies(script, replies, port);
    };
    if (command == 4) rig.host.memory.assign(256, 0x5A);
    const int64_t t0 = rig.port.nowMicros();
    const auto& start = kCommands[command];
    const auto record = [&] { gReached.insert(rig.link.linkState()); };
    // A command's first state is left by the first reply, before the loop looks again.
    rig.run(start ? std::function<void(BoardLink&)>([&](BoardLink& l) {
                        start(l);
                        record();
                    })
                  : start,
            record);
    // Every command ends: by its reply, its time-out or its time limit.
    if (rig.link.busy() && !rig.link.dataErrorSeen()) __builtin_trap();
    if (rig.port.nowMicros() - t0 > 30LL * 60 * 1000 * 1000) __builtin_trap();
    return 0;
}
