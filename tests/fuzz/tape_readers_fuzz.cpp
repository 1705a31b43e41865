// libFuzzer target over the tape files: paper tape rows and cassette files, both as stored
// (scrambled) and as already decoded text, so the line checks see arbitrary lines.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/scrambled_file.h"
#include "devices/mag_tape.h"
#include "devices/tape_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto stored = mira::core::decodeContainer(bytes);
    const auto plain = mira::core::splitLines(bytes);
    for (const auto* lines : {&stored.lines, &plain}) {
        const auto tape = mira::devices::parseReaderTape(*lines);
        if (tape.ok) (void)mira::devices::readerRows(tape.values);
        const auto cassette = mira::devices::parseMagTape(*lines);
        if (cassette.ok) (void)mira::devices::magTapeLines(cassette.image);
    }
    return 0;
}
