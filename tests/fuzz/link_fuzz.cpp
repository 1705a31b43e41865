// libFuzzer target over what the board link takes from outside: firmware files and the
// bytes a board (or anything on the port) sends back.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "link/intel_hex.h"
#include "link_rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (bool driver : {false, true}) {
        const auto image = mira::link::readIntelHex(bytes, driver);
        (void)mira::link::firmwareTransferWords(image.words, !driver);
    }

    // Replies to each command, cut into receive events at every 0x00.
    using namespace mira::link;
    static const auto dir = std::filesystem::temp_directory_path() / "mira8-link-fuzz";
    std::filesystem::create_directories(dir);
    for (int command = 0; command < 8; ++command) {
        test::Rig rig(dir, false);
        rig.link.start();
        rig.clock.advance(1000);
        rig.port.pending = std::string("\xED\xC8\x6D", 3);
        rig.link.Serial1RxData();
        switch (command) {
            case 0: rig.link.readDirectory(); break;
            case 1: rig.link.readProgram(false, 1); break;
            case 2: rig.link.writeProgram(false, 2); break;
            case 3: rig.link.readMemory(); break;
            case 4: rig.link.writeMemory(); break;
            case 5: rig.link.deletePrograms(0x7FF); break;
            case 6: rig.link.readOptions(); break;
            default: rig.link.eraseMemory(); break;
        }
        size_t from = 0;
        while (from < bytes.size()) {
            size_t to = bytes.find('\0', from);
            if (to == std::string_view::npos) to = bytes.size();
            rig.port.pending = std::string(bytes.substr(from, to - from + 1));
            rig.link.Serial1RxData();
            rig.clock.advance(50);
            from = to + 1;
        }
        rig.clock.advance(5000);
        if (rig.link.busy() && !rig.link.resetRunning()) __builtin_trap();  // a time-out always ends it
    }
    return 0;
}
