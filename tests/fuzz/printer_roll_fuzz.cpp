// libFuzzer target over the printer's roll lines as a printer file brings them: the
// validation, the codes a line prints and its text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/scrambled_file.h"
#include "devices/printer_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto stored = mira::core::decodeContainer(bytes);
    const auto plain = mira::core::splitLines(bytes);
    for (const auto* lines : {&stored.lines, &plain}) {
        for (const auto& line : *lines) {
            const bool valid = mira::devices::rollLineValid(line);
            const auto codes = mira::devices::rollLineCodes(line);
            for (int c : codes)
                if (c < 0 || c > 63) __builtin_trap();
            const auto text = mira::devices::rollLineText(line);
            if (!line.empty() && text.size() != 20) __builtin_trap();
            (void)valid;
        }
    }
    return 0;
}
