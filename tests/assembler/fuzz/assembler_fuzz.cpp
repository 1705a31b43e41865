// Feeds arbitrary text to both dialects, then disassembles and transfers the result.
// The first byte picks the dialect and the options; the rest is the source.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "assembler/assembler.h"
#include "assembler/disassembler.h"
#include "assembler/instruction_table.h"
#include "assembler/listing.h"

namespace {

using namespace mira;

class SilentPrompter final : public core::Prompter {
public:
    core::Answer answer = core::Answer::No;
    void info(const std::string&) override {}
    void error(const std::string&) override {}
    bool askYesNo(const std::string&) override { return false; }
    core::Answer askYesNoCancel(const std::string&) override { return answer; }
};

const assembler::InstructionTable& table(core::OperatingMode mode) {
    static const auto normal = assembler::LoadCompilerData(MIRA8_CMPLR_DAT, core::OperatingMode::Normal).table;
    static const auto wif = assembler::LoadCompilerData(MIRA8_CMPLR_DAT, core::OperatingMode::Wif).table;
    return mode == core::OperatingMode::Normal ? normal : wif;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t flags = data[0];
    std::vector<std::string> lines(1);
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += static_cast<char>(data[i]);
    }
    static core::Machine m;
    m.options.mode = (flags & 1) ? core::OperatingMode::Wif : core::OperatingMode::Normal;
    m.options.zeroPageMode = flags & 2;
    m.options.outputResetMode = (flags >> 2) & 1;
    m.options.clearMemoryBeforeAssemble = flags & 8;
    m.updateMemorySize();
    SilentPrompter p;
    p.answer = static_cast<core::Answer>((flags >> 4) % 3);
    assembler::Assembler a;
    a.setInstructionTable(&table(m.options.mode));
    a.Assemble(lines, m, p);
    // What the editor and the CLI make of any result: the listing, symbols and hovers.
    const auto symbols = assembler::symbolTable(a, lines);
    (void)assembler::formatListing(a, lines, (flags >> 6) & 3);
    for (const auto& d : a.diagnostics())
        if (d.line >= 0 && static_cast<size_t>(d.line) < lines.size())
            for (int column = d.column - 2; column <= d.column; ++column)
                (void)assembler::hoverText(lines[static_cast<size_t>(d.line)], column, a.dialect(),
                                           table(m.options.mode), symbols);
    m.options.mode = m.isWif() ? core::OperatingMode::Wif : core::OperatingMode::Normal;
    m.updateMemorySize();
    for (int addr : a.writtenAddresses())
        (void)assembler::DisassembleWord(a.image()[static_cast<size_t>(addr)], !m.isWif(),
                                         table(m.options.mode), (flags >> 6) & 3);
    (void)a.TransferToMemory(m, p, nullptr);
    return 0;
}
