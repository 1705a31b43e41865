// Shared helpers of the assembler tests: the project's instruction tables, a scripted
// prompter and a one-call assembly.
#pragma once

#include <string>
#include <vector>

#include "assembler/assembler.h"
#include "assembler/instruction_table.h"
#include "core/machine.h"
#include "core/prompter.h"

namespace mira::assembler::test {

// The tables built from data/ (what cmplr.dat holds).
const InstructionTable& normalTable();
const InstructionTable& wifTable();
std::string sourceDir();
std::string readFile(const std::string& path);
std::vector<std::string> splitSource(const std::string& text);

class FakePrompter final : public core::Prompter {
public:
    core::Answer answer = core::Answer::No;
    std::vector<std::string> errors, infos, questions;
    void info(const std::string& text) override { infos.push_back(text); }
    void error(const std::string& text) override { errors.push_back(text); }
    bool askYesNo(const std::string& text) override {
        questions.push_back(text);
        return answer == core::Answer::Yes;
    }
    core::Answer askYesNoCancel(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
};

// One machine, one assembler; assemble source text in the machine's mode.
struct Bench {
    explicit Bench(bool wif = false);
    AssemblyResult assemble(const std::string& source);
    int word(int address) const { return asmb.image()[static_cast<size_t>(address)]; }

    core::Machine m;
    FakePrompter prompter;
    Assembler asmb;
};

// The word of a single statement, or -1 with the error in `error`.
int assembleOne(const std::string& statement, bool wif, std::string* error = nullptr,
                bool zeroPage = false);

}  // namespace mira::assembler::test
