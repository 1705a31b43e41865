// Internal to the assembler: one assembly from start to end, passes A to D.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "assembler.h"
#include "encoder.h"

namespace mira::assembler {

// A stop of the assembly: an error message (or none for a query) and the line to mark.
struct Stop {
    std::string message;
    int line = -1;
    bool query = false;
    bool modeChanged = false;
};

class AssemblyRun {
public:
    AssemblyRun(Assembler& a, core::Machine& m, core::Prompter& p);
    AssemblyResult run(const std::vector<std::string>& lines);

private:
    // Pass A: definition blocks and constants (WIF).
    std::optional<Stop> processBlock(bool ram);
    std::optional<Stop> defineNames(bool ram, int line, const TokenizedLine& tl, int& next);
    std::optional<Stop> processConstants();
    std::optional<Stop> checkConstants();
    // Pass B.
    std::optional<Stop> pass1();
    std::optional<Stop> query(const std::string& directive, int line);
    std::optional<Stop> setPc(const TokenizedLine& tl, int line);
    std::optional<Stop> stringDirective(const TokenizedLine& tl, size_t at, int line);
    std::optional<Stop> fillTo(int target, int line);
    std::optional<Stop> append(CodeEntry entry, int line);
    // Pass C and D.
    std::optional<Stop> collectLabels();
    std::optional<Stop> pass2();

    bool isMnemonic(const std::string& name) const;
    bool validLabelName(const std::string& name) const;

    Assembler& a_;
    core::Machine& m_;
    core::Prompter& p_;
    Dialect dialect_;
    InstructionTable emptyTable_;
    const InstructionTable& table_;
    std::vector<std::string> work_;
    std::vector<TokenizedLine> tokens_;  // work_ tokenized once; blanked with it
    void blank(size_t line) {
        work_[line].clear();
        tokens_[line] = {};
    }
    detail::NameMap labels_;
    detail::NameMap constantMap_;
    detail::NameMap ramMap_;
    detail::NameMap eepromMap_;
};

}  // namespace mira::assembler
