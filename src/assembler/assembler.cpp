#include "assembler.h"

#include <algorithm>

#include "address_column.h"
#include "assembly_run.h"
#include "literals.h"
#include "symbols.h"

namespace mira::assembler {

namespace {

inline constexpr int kPageSize = 16;
inline constexpr int kNormalHighestPc = 255;
inline constexpr int kWifHighestPc = 1024;  // one past the end: fills the whole memory
inline constexpr int kNoteDelayDefault = 100;
inline constexpr int kNoteDelayMin = 50;
inline constexpr int kNoteDelayMax = 500;
inline constexpr int kPrinterStringMax = 20;
inline constexpr int kRepeatBit = 128;
// Registers as an assembly without "clear memory" leaves them.
inline constexpr int kAssemblyMa = 255, kAssemblyMb = 48, kAssemblyAc = 50;

const char* const kQuerySuffix = "\r\rDo you want the correct mode set?";

Stop stopAt(std::string message, int line, int token = -1) {
    Stop s{std::move(message), line};
    s.token = token;
    return s;
}

// _NOTEDELAY reads a plain decimal integer; anything else is 0.
int plainDecimal(const std::string& token) {
    if (token.empty()) return 0;
    int v = 0;
    for (char ch : token) {
        if (ch < '0' || ch > '9') return 0;
        if (v < 100000) v = v * 10 + (ch - '0');
    }
    return v;
}

}  // namespace

// ---------------------------------------------------------------------------------------

AssemblyRun::AssemblyRun(Assembler& a, core::Machine& m, core::Prompter& p)
    : a_(a),
      m_(m),
      p_(p),
      dialect_(m.isWif() ? Dialect::Wif : Dialect::Normal),
      table_(a.table_ ? *a.table_ : emptyTable_) {}

bool AssemblyRun::isMnemonic(const std::string& name) const { return table_.indexOf(name) >= 0; }

bool AssemblyRun::validLabelName(const std::string& name) const {
    if (!hasLabelShape(name) || isMnemonic(name)) return false;
    return !(dialect_ == Dialect::Wif && isOperandKeyword(name));
}

// --- errors -----------------------------------------------------------------------------

void AssemblyRun::report(Stop s) {
    if (!first_) {
        first_ = s;
        snapshot_.emplace();
        snapshot_->pc = m_.pc;
        snapshot_->wordCount = a_.wordCount_;
        snapshot_->written = a_.written_.size();
        snapshot_->uploadLength = a_.uploadLength_;
        snapshot_->image = a_.image_;
    }
    diagnostics_.push_back(diagnosticOf(s));
}

Diagnostic AssemblyRun::diagnosticOf(const Stop& s) const {
    Diagnostic d;
    d.line = s.at == -2 ? s.line : s.at;
    d.message = s.message;
    if (d.line >= 0 && d.line < static_cast<int>(original_.size())) {
        const TokenizedLine& tl = original_[static_cast<size_t>(d.line)];
        if (s.token >= 0 && s.token < static_cast<int>(tl.written.size())) {
            d.token = tl.written[static_cast<size_t>(s.token)];
            d.column = tl.columns[static_cast<size_t>(s.token)] + 1;
        } else if (s.token == -1) {
            // About the line as a whole: where its text starts.
            d.column = tl.columns.empty() ? 1 : tl.columns.front() + 1;
        } else if (!tl.written.empty()) {
            // Missing: just past the last token, after a blank.
            d.column = tl.columns.back() + static_cast<int>(tl.written.back().size()) + 2;
        } else {
            d.column = 1;
        }
    }
    if (!s.detail.empty())
        d.detail = s.detail;
    else if (!d.token.empty())
        d.detail = s.message + ": " + d.token;
    else if (s.token >= kMissingToken && d.line >= 0 && !original_[static_cast<size_t>(d.line)].empty())
        d.detail = s.message + " after " + original_[static_cast<size_t>(d.line)].written.back();
    else
        d.detail = s.message;
    return d;
}

void AssemblyRun::poison(const std::string& name) {
    poisoned_.insert(name);
    // Operands are cut to ten characters before they are looked up.
    poisoned_.insert(detail::cutToken(name, false));
}

void AssemblyRun::poisonLabelOf(const CodeEntry& e) {
    if (!e.fields.empty() && detail::isLabelDefinition(e.fields[0]))
        poison(e.fields[0].substr(0, e.fields[0].size() - 1));
}

bool AssemblyRun::dependsOnFailure(const CodeEntry& e) const {
    for (size_t i = 0; i < e.fields.size(); ++i) {
        if (i == 0 && detail::isLabelDefinition(e.fields[0])) continue;
        if (poisoned_.count(e.fields[i])) return true;
    }
    return false;
}


// ---------------------------------------------------------------------------------------

AssemblyResult AssemblyRun::run(const std::vector<std::string>& lines) {
    const int previousWordCount = a_.wordCount_;
    const bool wif = dialect_ == Dialect::Wif;

    // A. Start: the image begins as the current memory so unwritten words keep it.
    work_ = lines;
    tokens_.clear();
    tokens_.reserve(work_.size());
    for (const auto& l : work_) tokens_.push_back(tokenize(l, dialect_));
    original_ = tokens_;
    a_.dialect_ = dialect_;
    a_.capacity_ = wif ? kWifCapacity : kNormalCapacity;
    a_.image_.fill(0);
    std::copy_n(m_.memory.begin(), a_.capacity_, a_.image_.begin());
    a_.assembled_ = false;
    a_.animate_ = false;
    if (m_.options.clearMemoryBeforeAssemble) a_.image_.fill(0);
    a_.lineMap_.fill(-1);
    a_.code_.clear();
    a_.written_.clear();
    a_.wordCount_ = 0;
    a_.diagnostics_.clear();
    m_.melodyNoteDelay = kNoteDelayDefault;
    if (!wif && !m_.options.clearMemoryBeforeAssemble) {
        m_.ma = kAssemblyMa;
        m_.mb = kAssemblyMb;
        m_.ac = kAssemblyAc;
    }
    a_.ramDefs_.fill({});
    a_.eepDefs_.fill({});
    a_.ramLines_.fill(-1);
    a_.eepLines_.fill(-1);
    a_.constants_.clear();
    if (wif) {
        for (const auto& s : predefinedSymbols()) {
            a_.constants_.push_back(Constant{std::string(s.name), s.value, -1});
            constantMap_.emplace(std::string(s.name), s.value);
        }
        if (m_.options.clearRamBeforeAssemble) {
            m_.ram.fill(0);
            m_.changed |= core::kChangeRam;
        }
        if (m_.options.clearEepromBeforeAssemble) {
            m_.eeprom.fill(255);
            m_.changed |= core::kChangeEeprom;
        }
    }

    auto finish = [&](std::optional<Stop> stop) {
        if (!stop && first_) stop = first_;
        if (snapshot_) {
            // The assembly goes on after its first error only to find the others: what it
            // leaves is what it had when that error stopped it.
            m_.pc = snapshot_->pc;
            a_.wordCount_ = snapshot_->wordCount;
            a_.written_.resize(snapshot_->written);
            a_.uploadLength_ = snapshot_->uploadLength;
            a_.image_ = snapshot_->image;
        }
        // The passes use PC as their location counter, which may end one past the last
        // word; the register itself is only as wide as an address, so it wraps.
        m_.pc &= m_.addressMask;
        // The registers moved outside a run: the lamps take them now, the views at the
        // caller's next publish.
        constexpr uint32_t kRegisters =
            core::kChangePc | core::kChangeMa | core::kChangeMb | core::kChangeAc;
        m_.changed |= kRegisters;
        m_.latchLamps(kRegisters);
        AssemblyResult r;
        std::stable_sort(diagnostics_.begin(), diagnostics_.end(), [](const Diagnostic& x, const Diagnostic& y) {
            return x.line != y.line ? x.line < y.line : x.column < y.column;
        });
        a_.diagnostics_ = diagnostics_;
        r.diagnostics = std::move(diagnostics_);
        if (stop) {
            a_.assembled_ = false;
            r.line = stop->line;
            r.message = stop->message;
            r.stoppedByQuery = stop->query;
            r.modeChanged = stop->modeChanged;
            if (!r.message.empty()) p_.error(r.message);
        } else {
            r.ok = true;
        }
        // A changed number of words moves code under the breakpoints: drop them all.
        if (a_.wordCount_ != previousWordCount) m_.breakpoints.fill(0);
        return r;
    };

    if (wif) {
        // Whichever block starts first in the source is read first.
        auto firstMarker = [&](const char* b, const char* e) {
            for (size_t i = 0; i < work_.size(); ++i) {
                const auto& tl = tokens_[i];
                if (!tl.empty() && (tl.tokens[0] == b || tl.tokens[0] == e)) return static_cast<int>(i);
            }
            return static_cast<int>(work_.size());
        };
        const bool ramFirst = firstMarker("_RAM", "_ENDRAM") <= firstMarker("_EEP", "_ENDEEP");
        processBlock(ramFirst);
        processBlock(!ramFirst);
        processConstants();
    }

    if (auto s = pass1()) return finish(s);

    // C. Between the passes.
    m_.pc = 0;
    a_.uploadLength_ = wif ? 0 : kNormalCapacity;
    if (wif) checkConstants();
    collectLabels();

    pass2();
    if (!failed()) a_.assembled_ = m_.pc > 0;
    return finish(std::nullopt);
}

// --- B. Pass 1 -------------------------------------------------------------------------

void AssemblyRun::append(CodeEntry entry, int line) {
    if (overflow_) {
        // Past the end of memory: only its label is remembered, as one that failed.
        poisonLabelOf(entry);
        return;
    }
    const int address = static_cast<int>(a_.code_.size());
    if (address >= a_.capacity_) {
        overflow_ = true;
        poisonLabelOf(entry);
        Stop s = stopAt("Too much code found in file", line);
        s.detail = s.message + " (the program memory holds " + std::to_string(a_.capacity_) + " words)";
        report(std::move(s));
        return;
    }
    a_.lineMap_[static_cast<size_t>(address)] = entry.line;
    a_.code_.push_back(std::move(entry));
}

void AssemblyRun::fillTo(int target, int line) {
    while (static_cast<int>(a_.code_.size()) < target && !overflow_) {
        CodeEntry filler;
        filler.kind = CodeEntry::Kind::Reserve;
        filler.fields = {"_PCADD"};
        filler.written = {"_PCADD"};
        append(std::move(filler), line);
    }
}

std::optional<Stop> AssemblyRun::query(const std::string& d, int line) {
    using core::OperatingMode;
    auto& o = m_.options;
    bool differs = false;
    const char* message = "";
    bool modeQuery = false;
    // What Yes sets.
    bool zeroPage = o.zeroPageMode;
    int resetMode = o.outputResetMode;
    OperatingMode mode = o.mode;
    if (d == "_ISZEROPAGEOFF") {
        differs = o.zeroPageMode;
        message = "Page Zero operating mode is active";
        zeroPage = false;
    } else if (d == "_ISZEROPAGEON") {
        differs = !o.zeroPageMode;
        message = "Page Zero operating mode is not active";
        zeroPage = true;
    } else if (d == "_ISRESETT1" || d == "_ISRESETBO") {
        differs = o.outputResetMode != 0;
        message = d == "_ISRESETT1" ? "The reset mode is set to T13 cycle instead of T1"
                                    : "The reset mode is set to AO cycle instead of BO";
        resetMode = 0;
    } else if (d == "_ISRESETT13" || d == "_ISRESETAO") {
        differs = o.outputResetMode == 0;
        message = d == "_ISRESETT13" ? "The reset mode is set to T1 cycle instead of T13"
                                     : "The reset mode is set to BO cycle instead of AO";
        resetMode = 1;
    } else if (d == "_ISWIMODEON") {
        differs = o.mode == OperatingMode::Normal;
        message = "The operating mode is set to Normal instead of WIF";
        mode = OperatingMode::Wif;
        modeQuery = true;
    } else {  // _ISWIMODEOFF
        differs = o.mode == OperatingMode::Wif;
        message = "The operating mode is set to WIF instead of Normal";
        mode = OperatingMode::Normal;
        modeQuery = true;
    }
    if (!differs) return std::nullopt;
    switch (p_.askYesNoCancel(std::string(message) + kQuerySuffix)) {
        case core::Answer::No:
            return std::nullopt;
        case core::Answer::Cancel:
            return Stop{{}, line, true, false};
        case core::Answer::Yes:
            break;
    }
    o.zeroPageMode = zeroPage;
    o.outputResetMode = resetMode;
    if (!modeQuery) return std::nullopt;
    // The source must be assembled again in the new mode, with its table.
    o.mode = mode;
    m_.updateMemorySize();
    return Stop{{}, line, true, true};
}

std::optional<Stop> AssemblyRun::setPc(const TokenizedLine& tl, int line) {
    const auto& t = tl.tokens;
    const bool wif = dialect_ == Dialect::Wif;
    std::optional<int> target;
    if (t.size() > 1) {
        if (!wif || (t[1].size() >= 2 && (t[1][1] == 'D' || t[1][1] == '$'))) target = parseNumber(t[1]);
    }
    if (!target) return stopAt(wif ? "Invalid PC change" : "Invalid number", line, t.size() > 1 ? 1 : kMissingToken);
    if (*target > (wif ? kWifHighestPc : kNormalHighestPc)) return stopAt("Invalid PC change", line, 1);
    if (t.size() > 2) return stopAt("Extra data on line", line, 2);
    const int lc = static_cast<int>(a_.code_.size());
    if (*target < lc - 1) {
        Stop s = stopAt("Cannot change PC to less than current PC", line, 1);
        s.detail = s.message + ": " + tl.written[1] + " (the next address is " + std::to_string(lc) + ")";
        return s;
    }
    fillTo(*target, line);
    return std::nullopt;
}

std::optional<Stop> AssemblyRun::stringDirective(const TokenizedLine& tl, size_t at, int line) {
    const bool printer = tl.tokens[at] == "_PSTRING";
    const int operandToken = static_cast<int>(at + 1);
    if (at + 1 >= tl.tokens.size()) return stopAt("Invalid string", line, kMissingToken);
    const std::string& operand = tl.written[at + 1];  // the text keeps its case
    if (operand.size() < 2 || operand.front() != '"' || operand.back() != '"')
        return stopAt("Invalid string", line, operandToken);
    if (at + 2 < tl.tokens.size()) return stopAt("Extra data on line", line, operandToken + 1);
    const std::string text = operand.substr(1, operand.size() - 2);
    // The string's errors name the string; their own texts say what is wrong in it.
    auto inString = [&](std::string message) {
        Stop s = stopAt(message, line, operandToken);
        s.detail = message + " in " + operand;
        return s;
    };

    struct Item {
        int code;
        std::string shown;
    };
    std::vector<Item> items;
    bool repeatSeen = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (printer && ch == '~') {
            if (repeatSeen) return inString("Concurrent (~) characters not allowed");
            if (i + 2 != text.size()) return inString("Repeast character (~) should be 2nd last in string");
            repeatSeen = true;
            continue;
        }
        int code = static_cast<unsigned char>(ch);
        if (printer) code = printerCode(ch);
        if (code < 0 || code >= 128) return inString(std::string("Invalid print character - ") + ch);
        std::string shown = std::string("\"") + ch + "\"";
        if (repeatSeen) {
            code += kRepeatBit;
            shown = "~" + shown;
        }
        items.push_back({code, shown});
        if (printer && static_cast<int>(items.size()) > kPrinterStringMax)
            return inString("String length exceeded - Max = " + std::to_string(kPrinterStringMax));
    }
    for (size_t k = 0; k < items.size(); ++k) {
        CodeEntry e;
        e.kind = CodeEntry::Kind::StringWord;
        e.line = line;
        e.value = items[k].code;
        if (k == 0 && at == 1) {
            e.fields.push_back(tl.tokens[0]);
            e.written.push_back(tl.written[0]);
        }
        e.fields.push_back(items[k].shown);
        e.written.push_back(items[k].shown);
        append(std::move(e), line);
    }
    return std::nullopt;
}

void AssemblyRun::holdPlace(const TokenizedLine& tl, size_t at, int line) {
    // The words a failed string would have taken, as the address column counts them.
    const LineSummary summary = summarizeLine(work_[static_cast<size_t>(line)], dialect_);
    const int count = summary.kind == LineSummary::Kind::Words ? summary.count : 0;
    for (int k = 0; k < count; ++k) {
        CodeEntry e;
        e.kind = CodeEntry::Kind::Failed;
        e.line = line;
        if (k == 0 && at == 1) {
            e.fields.push_back(tl.tokens[0]);
            e.written.push_back(tl.written[0]);
        }
        append(std::move(e), line);
    }
    if (count == 0 && at == 1) poison(tl.tokens[0].substr(0, tl.tokens[0].size() - 1));
}

std::optional<Stop> AssemblyRun::pass1() {
    const bool wif = dialect_ == Dialect::Wif;
    for (size_t i = 0; i < work_.size(); ++i) {
        const int line = static_cast<int>(i);
        const TokenizedLine& tl = tokens_[i];
        if (tl.empty()) continue;
        const auto& t = tl.tokens;
        const std::string& t0 = t[0];
        const bool isQuery = wif ? (t0 == "_ISWIMODEOFF" || t0 == "_ISWIMODEON" || t0 == "_ISRESETBO" ||
                                    t0 == "_ISRESETAO")
                                 : (t0 == "_ISZEROPAGEOFF" || t0 == "_ISZEROPAGEON" || t0 == "_ISRESETT1" ||
                                    t0 == "_ISRESETT13" || t0 == "_ISWIMODEOFF" || t0 == "_ISWIMODEON");
        // A directive without operands reports any, and still does its work.
        auto noOperand = [&]() {
            if (t.size() > 1) report(stopAt("Extra data on line", line, 1));
            return t.size() <= 1;
        };
        if (isQuery) {
            // Once the assembly has failed nothing more is asked: it ends with the error.
            if (noOperand() && !failed())
                if (auto s = query(t0, line)) return s;
            continue;
        }
        if (t0 == "_END") {
            noOperand();
            break;
        }
        if (t0 == "_NOTEDELAY") {
            const int n = t.size() > 1 ? plainDecimal(t[1]) : 0;
            if (n < kNoteDelayMin || n > kNoteDelayMax) {
                Stop s = stopAt("Invalid number", line, t.size() > 1 ? 1 : kMissingToken);
                s.detail = t.size() > 1 ? "Invalid number: " + tl.written[1] + " (the note delay is 50 to 500)"
                                        : "Invalid number: the note delay (50 to 500) is missing";
                report(std::move(s));
            } else if (t.size() > 2) {
                report(stopAt("Extra data on line", line, 2));
            } else if (!failed()) {
                m_.melodyNoteDelay = n;
            }
            continue;
        }
        if (t0 == "_SETPC") {
            if (auto s = setPc(tl, line)) report(std::move(*s));
            continue;
        }
        if (!wif && t0 == "_PAGEBREAK") {
            noOperand();
            const int lc = static_cast<int>(a_.code_.size());
            fillTo((lc / kPageSize + 1) * kPageSize, line);
            continue;
        }
        auto isString = [](const std::string& s) { return s == "_PSTRING" || s == "_STRING"; };
        const size_t stringAt = isString(t0) ? 0 : (t.size() > 1 && detail::isLabelDefinition(t0) && isString(t[1])) ? 1 : 2;
        if (stringAt < 2) {
            if (auto s = stringDirective(tl, stringAt, line)) {
                report(std::move(*s));
                holdPlace(tl, stringAt, line);
            }
            continue;
        }
        CodeEntry e;
        e.kind = t0 == "_PCADD" ? CodeEntry::Kind::Reserve : CodeEntry::Kind::Statement;
        e.fields = t;
        e.written = tl.written;
        e.line = line;
        append(std::move(e), line);
    }
    return std::nullopt;
}

// --- C. Labels --------------------------------------------------------------------------

void AssemblyRun::collectLabels() {
    const auto& code = a_.code_;
    std::vector<std::pair<std::string, size_t>> defs;
    for (size_t i = 0; i < code.size(); ++i) {
        const auto& f = code[i].fields;
        if (f.empty() || !detail::isLabelDefinition(f[0])) continue;
        std::string name = f[0].substr(0, f[0].size() - 1);
        if (!validLabelName(name)) {
            Stop s = stopAt("Invalid label", code[i].line, 0);
            if (isMnemonic(name)) s.detail = "Invalid label: " + name + " is an instruction";
            else if (dialect_ == Dialect::Wif && isOperandKeyword(name)) s.detail = "Invalid label: " + name + " is an operand word";
            report(std::move(s));
            poison(name);
            // A label cut short no longer reads as one: the rest of its line is not read.
            failedLines_.insert(code[i].line);
            continue;
        }
        defs.emplace_back(std::move(name), i);
    }
    for (const auto& [name, address] : defs) {
        const auto [it, added] = labels_.emplace(name, static_cast<int>(address));
        if (added) continue;
        Stop s = stopAt("Duplicated label", code[address].line, 0);
        s.detail = "Duplicated label: " + name + " (first at line " +
                   std::to_string(code[static_cast<size_t>(it->second)].line + 1) + ")";
        report(std::move(s));
    }
}

// --- D. Pass 2 --------------------------------------------------------------------------

void AssemblyRun::pass2() {
    const bool wif = dialect_ == Dialect::Wif;
    const detail::EncodeContext ctx{table_, labels_, constantMap_, ramMap_, eepromMap_,
                                    m_.options.zeroPageMode};
    const int retval = table_.indexOf("RETVAL");
    for (size_t i = 0; i < a_.code_.size(); ++i) {
        const CodeEntry& e = a_.code_[i];
        const int address = m_.pc;
        if (e.kind == CodeEntry::Kind::Reserve) {
            if (e.line >= 0 && e.fields.size() > 1) report(stopAt("Extra data on line", e.line, 1));
            ++m_.pc;
            continue;
        }
        if (e.kind == CodeEntry::Kind::Failed) {
            ++m_.pc;
            continue;
        }
        detail::Encoded enc;
        if (e.kind == CodeEntry::Kind::StringWord) {
            if (!wif)
                enc.word = e.value;
            else if (retval < 0)
                enc.error = "Expecting a value or an instruction";
            else
                enc.word = table_.records[static_cast<size_t>(retval)].code | e.value;
        } else {
            enc = wif ? detail::encodeWif(e.fields, address, ctx) : detail::encodeNormal(e.fields, address, ctx);
        }
        if (!enc.error.empty()) {
            const int line = a_.lineMap_[static_cast<size_t>(address)];
            // One error per fault: not one that only follows a failed definition, and a
            // line that failed already (its label, or another of its words) is not read again.
            if (!dependsOnFailure(e) && !failedLines_.count(line)) {
                const bool missing = enc.token >= static_cast<int>(e.fields.size());
                report(stopAt(enc.error, line, missing ? kMissingToken : enc.token));
                failedLines_.insert(line);
            }
            ++m_.pc;
            continue;
        }
        a_.image_[static_cast<size_t>(address)] = enc.word;
        a_.written_.push_back(address);
        ++m_.pc;
        ++a_.wordCount_;
        if (wif) a_.uploadLength_ = m_.pc;
    }
}

// --- Assembler --------------------------------------------------------------------------

AssemblyResult Assembler::Assemble(const std::vector<std::string>& lines, core::Machine& machine,
                                   core::Prompter& prompter) {
    AssemblyRun run(*this, machine, prompter);
    return run.run(lines);
}

bool Assembler::TransferToMemory(core::Machine& m, core::Prompter& prompter, core::CodeTrace* trace) {
    if (m.run) {
        prompter.info("Cannot transfer memory while running");
        return false;
    }
    if (!assembled_) {
        prompter.info("There is no assembled data to transfer");
        return false;
    }
    std::copy_n(image_.begin(), capacity_, m.memory.begin());
    animate_ = true;
    ramNames_ = ramDefs_;
    eepNames_ = eepDefs_;
    m.romPointer = 0;
    m.bankFlag = false;
    m.z = 0;
    m.c = 0;
    m.bus.ResetDevices();
    m.serialAccess = false;
    if (trace) trace->clear();
    m.stack.fill(0);
    m.stackDepth = 0;
    m.stackOverflow = false;
    m.observer().allMemoryChanged();
    m.observer().itemsChanged(core::kChangeStatus | core::kChangeWifRegs | core::kChangeSerial |
                              core::kChangeStack | core::kChangeRam | core::kChangeEeprom |
                              core::kChangeSlots);
    m.observer().traceChanged();
    return true;
}

void Assembler::discard() {
    code_.clear();
    written_.clear();
    lineMap_.fill(-1);
    wordCount_ = 0;
    assembled_ = false;
    animate_ = false;
}

std::string Assembler::codeListText(int address) const {
    if (address < 0 || address >= static_cast<int>(code_.size())) return {};
    return joinFields(code_[static_cast<size_t>(address)].fields);
}

std::string Assembler::sourceListText(int address) const {
    if (address < 0 || address >= static_cast<int>(code_.size())) return {};
    return joinFields(code_[static_cast<size_t>(address)].written);
}

std::string Assembler::sourceText(int address) const {
    if (address < 0 || address >= static_cast<int>(code_.size())) return {};
    std::string s;
    for (const auto& f : code_[static_cast<size_t>(address)].written) {
        if (!s.empty()) s += ' ';
        s += f;
    }
    return s;
}

}  // namespace mira::assembler
