// Internal to the assembler: one assembly from start to end, passes A to D.
#pragma once

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "assembler.h"
#include "encoder.h"

namespace mira::assembler {

// The token of an error that is missing: the column is just past the line's last token.
inline constexpr int kMissingToken = 1 << 20;

// A stop of the assembly: an error message (or none for a query) and the line to mark.
struct Stop {
    std::string message;
    int line = -1;
    bool query = false;
    bool modeChanged = false;
    // For the Problems list: the token in question on the line (-1 none), the text when
    // the message and token alone would not say it, and the line it names when that is
    // not the line the error box marks (which may be none).
    int token = -1;
    std::string detail{};
    int at = -2;  // -2: the same as `line`
};

// What the first error leaves behind, as when the assembly stopped there.
struct RunSnapshot {
    int32_t pc = 0;
    int wordCount = 0;
    size_t written = 0;
    int uploadLength = 0;
    std::array<int32_t, core::kMaxMemory> image{};
};

class AssemblyRun {
public:
    AssemblyRun(Assembler& a, core::Machine& m, core::Prompter& p);
    AssemblyResult run(const std::vector<std::string>& lines);

private:
    // Pass A: definition blocks and constants (WIF).
    void processBlock(bool ram);
    std::optional<Stop> defineNames(bool ram, int line, const TokenizedLine& tl, int& next);
    void processConstants();
    void checkConstants();
    // Pass B. Only a query can stop it; errors are reported and the next line read.
    std::optional<Stop> pass1();
    std::optional<Stop> query(const std::string& directive, int line);
    std::optional<Stop> setPc(const TokenizedLine& tl, int line);
    std::optional<Stop> stringDirective(const TokenizedLine& tl, size_t at, int line);
    void holdPlace(const TokenizedLine& tl, size_t at, int line);
    void fillTo(int target, int line);
    void append(CodeEntry entry, int line);
    // Pass C and D.
    void collectLabels();
    void pass2();

    bool isMnemonic(const std::string& name) const;
    bool validLabelName(const std::string& name) const;

    // Errors: every one is kept; the first also fixes what the assembly leaves behind.
    void report(Stop s);
    bool failed() const { return first_.has_value(); }
    Diagnostic diagnosticOf(const Stop& s) const;
    // A name whose definition failed: errors that only follow from it are not reported.
    void poison(const std::string& name);
    void poisonLabelOf(const CodeEntry& e);
    bool dependsOnFailure(const CodeEntry& e) const;

    Assembler& a_;
    core::Machine& m_;
    core::Prompter& p_;
    Dialect dialect_;
    InstructionTable emptyTable_;
    const InstructionTable& table_;
    std::vector<std::string> work_;
    std::vector<TokenizedLine> tokens_;    // work_ tokenized once; blanked with it
    std::vector<TokenizedLine> original_;  // never blanked: where each token stands
    void blank(size_t line) {
        work_[line].clear();
        tokens_[line] = {};
    }
    detail::NameMap labels_;
    detail::NameMap constantMap_;
    detail::NameMap ramMap_;
    detail::NameMap eepromMap_;

    std::vector<Diagnostic> diagnostics_;
    std::optional<Stop> first_;
    std::unordered_set<std::string> poisoned_;
    std::unordered_set<int> failedLines_;  // lines whose words are not read again
    bool overflow_ = false;  // "Too much code found in file" was reported
    std::optional<RunSnapshot> snapshot_;
};

}  // namespace mira::assembler
