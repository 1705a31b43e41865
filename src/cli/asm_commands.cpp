#include "asm_commands.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <sstream>
#include <vector>

#include "assembler/assembler.h"
#include "assembler/disassembler.h"
#include "assembler/formatters.h"
#include "assembler/instruction_table.h"
#include "assembler/listing.h"
#include "core/atomic_file.h"
#include "core/file_read.h"
#include "core/scrambled_file.h"
#include "word_file.h"

namespace mira::cli {

namespace {

// Queries are answered from the command line and echoed, errors are printed by the
// caller from the assembly result.
class ScriptedPrompter final : public core::Prompter {
public:
    ScriptedPrompter(core::Answer answer, std::ostream& err) : answer_(answer), err_(err) {}
    void info(const std::string& text) override { err_ << text << "\n"; }
    void error(const std::string&) override {}
    bool askYesNo(const std::string& text) override {
        echo(text);
        return answer_ == core::Answer::Yes;
    }
    core::Answer askYesNoCancel(const std::string& text) override {
        echo(text);
        return answer_;
    }

private:
    void echo(const std::string& text) {
        std::string oneLine;
        for (char ch : text) {
            if (ch == '\r') {
                if (oneLine.empty() || oneLine.back() != ' ') oneLine += ' ';
            } else {
                oneLine += ch;
            }
        }
        const char* a = answer_ == core::Answer::Yes ? "yes" : answer_ == core::Answer::No ? "no" : "cancel";
        err_ << "query: " << oneLine << " -> " << a << "\n";
    }
    core::Answer answer_;
    std::ostream& err_;
};

struct AsmOptions {
    core::OperatingMode mode = core::OperatingMode::Normal;
    bool zeroPage = false;
    bool resetT1 = false;
    core::Answer answer = core::Answer::No;
    bool words = false;
    int radix = -1;
    int maxErrors = 0;  // 0: every error
    std::string listing;
    std::string compilerData;
    std::string file;
};

// Parses the options the two commands share; returns an error text for bad usage.
std::string parseOptions(const Args& args, AsmOptions& o, bool disassembler) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&](std::string& v) {
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        std::string v;
        if (a == "--mode") {
            if (!next(v) || (v != "normal" && v != "wif")) return "--mode must be normal or wif";
            o.mode = v == "wif" ? core::OperatingMode::Wif : core::OperatingMode::Normal;
        } else if (a == "--compiler-data") {
            if (!next(v)) return "--compiler-data needs a file";
            o.compilerData = v;
        } else if (!disassembler && a == "--zero-page") {
            o.zeroPage = true;
        } else if (!disassembler && a == "--reset-t1") {
            o.resetT1 = true;
        } else if (!disassembler && a == "--words") {
            o.words = true;
        } else if (!disassembler && a == "--answer") {
            if (!next(v)) return "--answer needs yes, no or cancel";
            if (v == "yes") o.answer = core::Answer::Yes;
            else if (v == "no") o.answer = core::Answer::No;
            else if (v == "cancel") o.answer = core::Answer::Cancel;
            else return "--answer must be yes, no or cancel";
        } else if (!disassembler && a == "--listing") {
            if (!next(v) || v.empty()) return "--listing needs a file";
            o.listing = v;
        } else if (!disassembler && a == "--max-errors") {
            if (!next(v) || v.empty() || v.size() > 6 || v.find_first_not_of("0123456789") != std::string::npos)
                return "--max-errors needs a number (0 for no limit)";
            o.maxErrors = std::stoi(v);
        } else if (a == "--radix") {
            if (!next(v)) return "--radix needs dec, hex, 737 or 377";
            if (v == "dec") o.radix = assembler::kRadixDec;
            else if (v == "hex") o.radix = assembler::kRadixHex;
            else if (v == "737") o.radix = assembler::kRadixSplitOctal;
            else if (v == "377") o.radix = assembler::kRadixOctal;
            else return "--radix must be dec, hex, 737 or 377";
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option " + a;
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            return "only one FILE may be given";
        }
    }
    if (o.file.empty()) return "a FILE is needed";
    // WIF addresses are ten bits wide; the octal forms show eight, as the options offer
    // them in Normal mode only.
    if (o.mode == core::OperatingMode::Wif &&
        (o.radix == assembler::kRadixSplitOctal || o.radix == assembler::kRadixOctal))
        return "--radix 737 and 377 are for Normal mode; WIF takes dec or hex";
    return {};
}

// Reads a source or word file; prints why it cannot be read.
bool readText(const std::string& path, std::string& text, std::ostream& err) {
    core::FileRead file = core::readWholeFile(path);
    if (!file.ok) {
        err << path << ": " << core::fileReadErrorText(file.error) << "\n";
        return false;
    }
    text = std::move(file.bytes);
    return true;
}

std::vector<std::string> sourceLines(const std::string& text) { return core::textLines(text); }

std::filesystem::path compilerDataPath(const std::string& override) {
    return override.empty() ? assembler::findCompilerData() : std::filesystem::path(override);
}

// Loads the table for the machine's mode; prints the failure and returns false.
bool loadTable(const std::string& override, core::OperatingMode mode, assembler::InstructionTable& table,
               std::ostream& err) {
    const auto path = compilerDataPath(override);
    auto r = assembler::LoadCompilerData(path, mode);
    if (r.state == 0) {
        err << path.string() << ": " << r.message << "\n";
        return false;
    }
    table = std::move(r.table);
    return true;
}

void reportStop(const std::string& file, const assembler::AssemblyResult& r, std::ostream& err) {
    std::string message = r.message;
    if (message.empty())
        message = r.modeChanged ? "assembly stopped: the operating mode changed, assemble again"
                                : "assembly cancelled";
    err << file << ":";
    if (r.line >= 0) err << (r.line + 1) << ":";
    err << " " << message << "\n";
}

// Every error as editors and CI annotations read them: FILE:LINE:COL: text.
void reportErrors(const std::string& file, const assembler::AssemblyResult& r, int maxErrors, std::ostream& err) {
    const size_t shown = maxErrors > 0 ? std::min(r.diagnostics.size(), static_cast<size_t>(maxErrors))
                                       : r.diagnostics.size();
    for (size_t i = 0; i < shown; ++i) {
        const auto& d = r.diagnostics[i];
        err << file << ":";
        if (d.line >= 0) err << (d.line + 1) << ":" << d.column << ":";
        err << " " << d.detail << "\n";
    }
    if (shown < r.diagnostics.size())
        err << file << ": " << (r.diagnostics.size() - shown) << " more errors not shown (--max-errors "
            << maxErrors << ")\n";
}

// Assembles the file onto `m`; prints errors: every one when `maxErrors` is given (0 for
// all), else the first as "FILE:LINE: MESSAGE". Returns true when it assembled.
bool assembleFile(core::Machine& m, const std::string& file, const assembler::InstructionTable& table,
                  core::Answer answer, assembler::Assembler& as, std::ostream& err,
                  std::vector<std::string>* linesOut = nullptr, const int* maxErrors = nullptr) {
    std::string text;
    if (!readText(file, text, err)) return false;
    ScriptedPrompter prompter(answer, err);
    as.setInstructionTable(&table);
    std::vector<std::string> lines = sourceLines(text);
    const auto r = as.Assemble(lines, m, prompter);
    if (linesOut) *linesOut = std::move(lines);
    if (!r.ok) {
        // A query that stopped the assembly is no error of the source.
        if (maxErrors && !r.diagnostics.empty())
            reportErrors(file, r, *maxErrors, err);
        else
            reportStop(file, r, err);
        return false;
    }
    return true;
}

}  // namespace

int asmCommand(const Args& args, std::ostream& out, std::ostream& err) {
    AsmOptions o;
    if (const auto usage = parseOptions(args, o, false); !usage.empty()) {
        err << "mira8-cli asm: " << usage << "\n";
        return kExitUsage;
    }
    core::Machine m;
    m.options.mode = o.mode;
    m.options.zeroPageMode = o.zeroPage;
    m.options.outputResetMode = o.resetT1 ? 0 : 1;
    m.updateMemorySize();
    assembler::InstructionTable table;
    if (!loadTable(o.compilerData, o.mode, table, err)) return kExitBadInput;
    assembler::Assembler as;
    std::vector<std::string> lines;
    if (!assembleFile(m, o.file, table, o.answer, as, err, &lines, &o.maxErrors)) return kExitBadInput;

    const bool wif = as.dialect() == assembler::Dialect::Wif;
    if (!o.listing.empty()) {
        const core::MachineOptions defaults;
        const int radix = o.radix >= 0 ? o.radix : defaults.radix[wif ? 1 : 0];
        if (!core::writeFileAtomically(o.listing, assembler::formatListing(as, lines, radix))) {
            err << o.listing << ": the listing could not be written\n";
            return kExitBadInput;
        }
    }
    if (o.words) {
        std::vector<WordFileEntry> words;
        for (int a : as.writtenAddresses()) words.push_back({a, as.image()[static_cast<size_t>(a)]});
        out << formatWordFile(words, wif);
        return kExitOk;
    }
    char buf[32];
    for (int a : as.writtenAddresses()) {
        std::snprintf(buf, sizeof buf, wif ? "%4d  %04X  " : "%4d  %02X  ", a,
                      static_cast<unsigned>(as.image()[static_cast<size_t>(a)]));
        out << buf << as.sourceText(a) << "\n";
    }
    out << "Words: " << as.wordCount() << "\n";
    return kExitOk;
}

int disasmCommand(const Args& args, std::ostream& out, std::ostream& err) {
    AsmOptions o;
    if (const auto usage = parseOptions(args, o, true); !usage.empty()) {
        err << "mira8-cli disasm: " << usage << "\n";
        return kExitUsage;
    }
    const bool wif = o.mode == core::OperatingMode::Wif;
    const core::MachineOptions defaults;
    const int radix = o.radix >= 0 ? o.radix : defaults.radix[wif ? 1 : 0];
    assembler::InstructionTable table;
    if (!loadTable(o.compilerData, o.mode, table, err)) return kExitBadInput;
    std::string text;
    if (!readText(o.file, text, err)) return kExitBadInput;
    const int size = wif ? assembler::kWifCapacity : assembler::kNormalCapacity;
    const auto words = parseWordFile(text, size, wif ? 0xFFFF : 0xFF);
    if (!words.ok) {
        err << o.file << ":" << words.errorLine << ": " << words.error << "\n";
        return kExitBadInput;
    }
    char buf[32];
    for (const auto& w : words.words) {
        std::snprintf(buf, sizeof buf, wif ? "%4d  %04X  " : "%4d  %02X  ", w.address,
                      static_cast<unsigned>(w.word));
        out << buf << assembler::DisassembleWord(w.word, !wif, table, radix, size - 1) << "\n";
    }
    return kExitOk;
}

int assembleAndTransfer(core::Machine& m, const std::string& asmFile,
                        const std::string& compilerDataOverride, core::Answer answer,
                        std::ostream& err, int* uploadLength) {
    assembler::InstructionTable table;
    if (!loadTable(compilerDataOverride, m.options.mode, table, err)) return kExitBadInput;
    assembler::Assembler as;
    if (!assembleFile(m, asmFile, table, answer, as, err)) return kExitBadInput;
    ScriptedPrompter prompter(answer, err);
    if (!as.TransferToMemory(m, prompter, nullptr)) {
        err << asmFile << ": There is no assembled data to transfer\n";
        return kExitBadInput;
    }
    // What the board link sends with "upload only assembled code": WIF the upload length,
    // Normal up to the last word written.
    if (uploadLength)
        *uploadLength = as.dialect() == assembler::Dialect::Wif
                            ? as.uploadLength()
                            : (as.writtenAddresses().empty() ? 0 : as.writtenAddresses().back() + 1);
    return kExitOk;
}

}  // namespace mira::cli
