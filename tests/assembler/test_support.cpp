#include "test_support.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace mira::assembler::test {

std::string sourceDir() { return MIRA8_SOURCE_DIR; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> splitSource(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

namespace {

InstructionTable load(core::OperatingMode mode, const char* file) {
    const auto src = compileTableSource(readFile(sourceDir() + "/data/" + file), mode);
    if (!src.ok) throw std::runtime_error(std::string(file) + ": " + src.error);
    auto built = buildInstructionTable(src.lines, mode);
    if (built.state == 0) throw std::runtime_error("table did not build");
    return built.table;
}

}  // namespace

const InstructionTable& normalTable() {
    static const InstructionTable t = load(core::OperatingMode::Normal, "instructions-normal.txt");
    return t;
}

const InstructionTable& wifTable() {
    static const InstructionTable t = load(core::OperatingMode::Wif, "instructions-wif.txt");
    return t;
}

Bench::Bench(bool wif) {
    m.options.mode = wif ? core::OperatingMode::Wif : core::OperatingMode::Normal;
    m.updateMemorySize();
    asmb.setInstructionTable(wif ? &wifTable() : &normalTable());
}

AssemblyResult Bench::assemble(const std::string& source) {
    asmb.setInstructionTable(m.isWif() ? &wifTable() : &normalTable());
    return asmb.Assemble(splitSource(source), m, prompter);
}

int assembleOne(const std::string& statement, bool wif, std::string* error, bool zeroPage) {
    Bench b(wif);
    b.m.options.zeroPageMode = zeroPage;
    const auto r = b.assemble(statement);
    if (error) *error = r.message;
    if (!r.ok || b.asmb.writtenAddresses().empty()) return -1;
    return b.word(b.asmb.writtenAddresses().front());
}

}  // namespace mira::assembler::test
