// Assembly speed: a full 1024-word WIF program with 100 constants and 64 RAM names,
// the largest source the editor can hand the assembler.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "assembler/assembler.h"
#include "assembler/instruction_table.h"

namespace {

using namespace mira;

class NoPrompter final : public core::Prompter {
public:
    void info(const std::string&) override {}
    void error(const std::string&) override {}
    bool askYesNo(const std::string&) override { return false; }
    core::Answer askYesNoCancel(const std::string&) override { return core::Answer::No; }
};

std::vector<std::string> fullWifSource() {
    std::vector<std::string> s;
    s.push_back("/ generated: 64 RAM names, 100 constants, 1024 words");
    s.push_back("_RAM");
    for (int i = 0; i < 64; ++i) s.push_back("R" + std::to_string(i));
    s.push_back("_ENDRAM");
    for (int i = 0; i < 100; ++i) {
        if (i % 3 == 0)
            s.push_back("_CONST K" + std::to_string(i) + " #D" + std::to_string(i));
        else if (i % 3 == 1)
            s.push_back("_CONST K" + std::to_string(i) + " R" + std::to_string(i % 64) + " + #D1");
        else
            s.push_back("_CONST K" + std::to_string(i) + " K" + std::to_string(i - 1) + " - #$02");
    }
    const char* bodies[] = {"MOVL K%", "ADD R% A S", "INC R%", "MOV R% A", "SKIP < K%",
                            "GOTO L%",  "PUT 1 R%",  "BSET R% 3", "CALL L%", "XORL K%"};
    for (int a = 0; a < 1024; ++a) {
        std::string body = bodies[a % 10];
        const auto pos = body.find('%');
        const bool label = body[pos - 1] == 'L';
        const bool constant = body[pos - 1] == 'K';
        const int n = label ? (a / 16) * 16 : constant ? a % 100 : a % 64;
        body.replace(pos, 1, std::to_string(n));
        std::string line = a % 16 == 0 ? "L" + std::to_string(a) + ", " : "        ";
        s.push_back(line + body + "   / word " + std::to_string(a));
    }
    return s;
}

void BM_AssembleWif1024(benchmark::State& state) {
    const auto table = assembler::LoadCompilerData(MIRA8_CMPLR_DAT, core::OperatingMode::Wif);
    if (table.state == 0) {
        state.SkipWithError("cmplr.dat not found");
        return;
    }
    const auto source = fullWifSource();
    core::Machine m;
    m.options.mode = core::OperatingMode::Wif;
    m.updateMemorySize();
    NoPrompter p;
    assembler::Assembler a;
    a.setInstructionTable(&table.table);
    for (auto _ : state) {
        const auto r = a.Assemble(source, m, p);
        if (!r.ok || a.wordCount() != 1024) {
            state.SkipWithError(("assembly failed: " + r.message).c_str());
            return;
        }
        benchmark::DoNotOptimize(a.image().data());
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_AssembleWif1024)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
