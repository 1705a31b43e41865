// libFuzzer target over the readers of untrusted files: the scrambled container, the
// settings lines it holds, key data files, key names and the CLI's word files.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
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

    // readKeyFile itself, from a file: what loads must save and load back the same.
    {
        static const auto dir = std::filesystem::temp_directory_path() / ("mira8-keys-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        const auto path = dir / "keys.kpf";
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(size));
        const auto read = mira::devices::readKeyFile(path);
        if (read.ok) {
            const auto again = dir / "again.kpf";
            if (!mira::devices::writeKeyFile(again, read.table)) __builtin_trap();
            if (!mira::devices::readKeyFile(again).ok) __builtin_trap();
        }
    }

    (void)mira::cli::parseWordFile(bytes, 256, 255);
    (void)mira::cli::parseWordFile(bytes, 1024, 65535);
    return 0;
}
