// libFuzzer target over the instruction tables from outside: a table source as
// mira8-mkcmplr reads it, and compiler data lines as the loader reads them. Every table
// that loads must disassemble every word of its mode without fault. Byte 0 picks the mode,
// the reader and the radix; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "assembler/disassembler.h"
#include "assembler/instruction_table.h"
#include "core/scrambled_file.h"

using namespace mira;

namespace {

void disassembleAll(const assembler::InstructionTable& table, bool normal, int radix) {
    // Normal words are 8 bits; WIF words 16, sampled with a stride that still reaches
    // every opcode and many operands.
    const int64_t last = normal ? 255 : 65535;
    const int64_t step = normal ? 1 : 7;
    for (int64_t w = 0; w <= last; w += step)
        (void)assembler::DisassembleWord(w, normal, table, radix);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t selector = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool normal = (selector & 1) == 0;
    const auto mode = normal ? core::OperatingMode::Normal : core::OperatingMode::Wif;
    // The radixes the options offer in each mode: the octal forms are Normal only.
    const int radix = normal ? (selector >> 2) & 3 : (selector >> 2) & 1;

    if (selector & 2) {
        const assembler::TableSourceResult source = assembler::compileTableSource(text, mode);
        if (!source.ok) return 0;
        const assembler::CompilerDataResult built =
            assembler::buildInstructionTable(source.lines, mode);
        if (built.state != 0) disassembleAll(built.table, normal, radix);
    } else {
        // As a stored file, and as already decoded lines so the record checks see more.
        for (const auto& lines : {core::decodeContainer(text).lines, core::textLines(text)}) {
            const assembler::CompilerDataResult built =
                assembler::buildInstructionTable(lines, mode);
            if (built.state != 0) disassembleAll(built.table, normal, radix);
        }
    }
    return 0;
}
