// libFuzzer target over the readers of untrusted files: the scrambled container, the
// settings lines it holds, key data files, key names and the CLI's word files.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/word_file.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "devices/ascii_keyboard.h"
#include "devices/keypad2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Raw bytes as a stored file, and the same bytes as an already decoded payload: the
    // second reaches the settings parser with arbitrary text far more often.
    const auto stored = mira::core::decodeContainer(bytes);
    const auto plain = mira::core::splitLines(bytes);
    for (const auto* lines : {&stored.lines, &plain}) {
        mira::core::SettingsFile file;
        mira::core::MainSettings settings;
        file.apply(*lines, settings, 1920, 1080);
        (void)file.build(settings);
        (void)mira::core::reopenPlan(file.openWindows);
        (void)file.switchesToRestore(settings);
    }

    // Key data files and the key table line of the settings, and script key names.
    if (stored.lines.size() == 3) {
        const auto table = mira::devices::keyTableFromLines(stored.lines[0], stored.lines[1],
                                                            stored.lines[2]);
        (void)mira::devices::keypad2KeyByName(table, std::string(bytes.substr(0, 8)));
    }
    {
        auto table = mira::devices::KeyTable::defaults();
        std::string label;
        mira::devices::applyKeyTableLine(std::string(bytes), table, label);
        (void)mira::devices::keyTableLine(table, label);
    }
    (void)mira::devices::parseAsciiKeyPress(bytes);

    (void)mira::cli::parseWordFile(bytes, 256, 255);
    (void)mira::cli::parseWordFile(bytes, 1024, 65535);
    return 0;
}
