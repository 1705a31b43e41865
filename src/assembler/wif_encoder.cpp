// The WIF dialect: one statement of at most five tokens to one 16-bit word. The code's
// form number picks the operand syntax.
#include <optional>

#include "encoder.h"
#include "literals.h"

namespace mira::assembler::detail {

namespace {

inline constexpr size_t kMaxTokens = 5;
inline constexpr int kRamField = 31;  // register numbers are 5 bits; bit 5 belongs to the form
inline constexpr int kEepromSlots = 32;
inline constexpr int kRamSlots = 64;
inline constexpr int kHighestAddress = 1023;

// Selector bits: source (A) in 9..8, target (B) in 7..6.
inline constexpr int kSourceRam = 256, kSourceIndirect = 512, kSourcePc = 768;
inline constexpr int kTargetRam = 64, kTargetIndirect = 128, kTargetPc = 192;
inline constexpr int kToTarget = 32;  // "T": the result goes through the target selector
inline constexpr int kDevice1 = 32;

// Reads the operands of one statement in order. The first failure is kept; reads after
// it yield 0 and change nothing, so the encoders can return early or carry on.
class Operands {
public:
    Operands(const std::vector<std::string>& t, size_t first, int address, const EncodeContext& ctx)
        : t_(t), i_(first), last_(first - 1), address_(address), ctx_(ctx) {}

    int fail(const char* message) {
        if (error_.empty()) {
            error_ = message;
            errorToken_ = last_;
        }
        return 0;
    }
    const std::string& error() const { return error_; }
    // The token the error is about: the one read last, or past the end when it was missing.
    int errorToken() const { return static_cast<int>(errorToken_); }
    size_t position() const { return i_; }

    const std::string* peek() const { return i_ < t_.size() ? &t_[i_] : nullptr; }
    const std::string* next() {
        last_ = i_;
        return i_ < t_.size() ? &t_[i_++] : nullptr;
    }
    bool atEnd() const { return i_ >= t_.size(); }

    // A number, a label, a RAM or EEPROM name; nullopt when it is none of these.
    std::optional<int> plainValue(const std::string& token, bool& badNumber) const {
        badNumber = false;
        if (isNumberToken(token)) {
            const auto v = parseNumber(token);
            if (!v) badNumber = true;
            return v;
        }
        if (int v = lookup(ctx_.labels, token); v >= 0) return v;
        if (int v = lookup(ctx_.ramNames, token); v >= 0) return v;
        if (int v = lookup(ctx_.eepromNames, token); v >= 0) return v;
        return std::nullopt;
    }

    // value: [HIGH|LOW] number-or-name, ending up 0..255.
    int value(const char* missing = "Expecting a value", const char* wrong = "Invalid value") {
        const std::string* tok = next();
        if (!tok) return fail(missing);
        int part = 0;  // 0 whole, 1 high byte, 2 low byte
        if (*tok == "HIGH" || *tok == "LOW") {
            part = *tok == "HIGH" ? 1 : 2;
            tok = next();
            if (!tok) return fail(missing);
        }
        bool bad = false;
        auto v = plainValue(*tok, bad);
        if (!v) return fail(wrong);
        if (part == 1) v = (*v >> 8) & 255;
        if (part == 2) v = *v & 255;
        if (*v < 0 || *v > 255) return fail(wrong);
        return *v;
    }

    // A RAM address 0..63 or a RAM name; nullopt when the token is neither.
    std::optional<int> ramAddress(const std::string& token) const {
        if (isNumberToken(token)) {
            const auto v = parseNumber(token);
            if (!v || *v >= kRamSlots) return std::nullopt;
            return *v & kRamField;
        }
        if (int v = lookup(ctx_.ramNames, token); v >= 0) return v & kRamField;
        return std::nullopt;
    }

    // A memory address (0..1023 or a label); `relative` also takes ".n".
    int memoryAddress(bool relative) {
        const std::string* tok = next();
        if (!tok) return fail("Expecting a memory address");
        if (isNumberToken(*tok)) {
            const auto v = parseNumber(*tok);
            if (!v || *v > kHighestAddress) return fail("Invalid value");
            return *v;
        }
        if (relative && (*tok)[0] == '.') {
            const std::string n = tok->substr(1);
            if (n.size() < 2) return fail("Invalid value");
            size_t k = n[0] == '+' ? 1 : 0;
            if (k >= n.size()) return fail("Invalid value");
            long offset = 0;
            for (; k < n.size(); ++k) {
                if (n[k] < '0' || n[k] > '9') return fail("Invalid value");
                if (offset <= kHighestAddress) offset = offset * 10 + (n[k] - '0');
            }
            // The jump goes to the address the offset names, counted from here.
            if (address_ + offset > kHighestAddress) return fail("Invalid value");
            return static_cast<int>(address_ + offset);
        }
        if (int v = lookup(ctx_.labels, *tok); v >= 0) return v;
        return fail("Missing memory target address");
    }

    // A number token equal to one of the allowed small values.
    std::optional<int> smallNumber(const std::string* tok) const {
        if (!tok || !isNumberToken(*tok)) return std::nullopt;
        return parseNumber(*tok);
    }

    int device() {
        const auto v = smallNumber(next());
        if (!v || (*v != 0 && *v != 1)) return fail("Expecting IO device 0 or 1");
        return *v == 1 ? kDevice1 : 0;
    }

    int eepromAddress(const std::string& token) const {
        if (isNumberToken(token)) {
            const auto v = parseNumber(token);
            if (!v || *v >= kEepromSlots) return -1;
            return *v;
        }
        return lookup(ctx_.eepromNames, token);
    }

private:
    const std::vector<std::string>& t_;
    size_t i_;
    size_t last_;  // the mnemonic until an operand is read
    size_t errorToken_ = 0;
    int address_;
    const EncodeContext& ctx_;
    std::string error_;
};

enum class Side { Source, Target };

// A register operand of forms 39-43 and 49-55: RAM address, or A, I or P.
int registerOperand(Operands& ops, Side side) {
    const std::string* tok = ops.next();
    if (tok) {
        if (*tok == "A") return 0;
        if (*tok == "I") return side == Side::Source ? kSourceIndirect : kTargetIndirect;
        if (*tok == "P") return side == Side::Source ? kSourcePc : kTargetPc;
        if (auto ram = ops.ramAddress(*tok))
            return (side == Side::Source ? kSourceRam : kTargetRam) | *ram;
    }
    return ops.fail("Expecting register target qualifier");
}

// Forms 16-30: source, target, and for the forms that choose a destination S or T.
int registerPair(Operands& ops, bool choosesDestination) {
    enum class Operand { A, R, I, P, Ram };
    struct Pick {
        Operand kind = Operand::R;
        int address = 0;
    };
    auto read = [&](const char* wrong) {
        Pick s;
        const std::string* tok = ops.next();
        if (!tok || *tok == "R") return s;  // an absent operand counts as R
        if (*tok == "A") s.kind = Operand::A;
        else if (*tok == "I") s.kind = Operand::I;
        else if (*tok == "P") s.kind = Operand::P;
        else if (auto ram = ops.ramAddress(*tok)) {
            s.kind = Operand::Ram;
            s.address = *ram;
        } else {
            ops.fail(wrong);
        }
        return s;
    };
    const Pick src = read("Expecting RAM address or source specifier");
    const Pick dst = read("Expecting RAM address or target specifier");

    // R names "the RAM address given on the other side": only the target may use it.
    if (src.kind == Operand::R) return ops.fail("A RAM address is required");
    if (dst.kind == Operand::R && src.kind != Operand::Ram) return ops.fail("A RAM address is required");
    if (src.kind == Operand::Ram && dst.kind == Operand::Ram && src.address != dst.address)
        return ops.fail("Explicit source and target RAM address cannot be different");

    int bits = 0;
    switch (src.kind) {
        case Operand::Ram: bits |= kSourceRam | src.address; break;
        case Operand::I: bits |= kSourceIndirect; break;
        case Operand::P: bits |= kSourcePc; break;
        default: break;
    }
    switch (dst.kind) {
        case Operand::Ram: bits |= kTargetRam | dst.address; break;
        case Operand::R: bits |= kTargetRam; break;
        case Operand::I: bits |= kTargetIndirect; break;
        case Operand::P: bits |= kTargetPc; break;
        default: break;
    }
    if (choosesDestination) {
        const std::string* st = ops.next();
        if (!st || (*st != "S" && *st != "T")) return ops.fail("Expecting S or T");
        if (*st == "T") bits |= kToTarget;
    }
    return bits;
}

int flagChoice(Operands& ops) {
    const std::string* setClr = ops.next();
    if (!setClr || (*setClr != "SET" && *setClr != "CLR")) return ops.fail("Invalid STATUS information");
    const std::string* f = ops.next();
    int bits = *setClr == "SET" ? 1 : 0;
    if (!f) return ops.fail("Invalid STATUS information");
    if (*f == "C") bits |= 2;
    else if (*f == "DC") bits |= 4;
    else if (*f == "Z") bits |= 8;
    else if (*f == "RP") bits |= 16;
    else return ops.fail("Invalid STATUS information");
    return bits;
}

int formOperands(int form, Operands& ops) {
    switch (form) {
        case 0: case 8: case 9: case 11: case 34: case 36: case 56: case 57:
            return 0;
        case 1: case 2: case 3: case 4: case 5: case 6: case 35:
            return ops.value();
        case 7: {
            const std::string* tok = ops.next();
            if (tok && *tok == "POS") return 1;
            if (tok && *tok == "NEG") return 2;
            if (tok && *tok == ">=") return 256 | ops.value();
            if (tok && *tok == "<") return 512 | ops.value();
            if (tok && *tok == "=") return 768 | ops.value();
            return ops.fail("Invalid test value");
        }
        case 10: {
            const std::string* tok = ops.peek();
            if (tok && *tok == "HA") return ops.next(), 256;
            if (tok && *tok == "LA") return ops.next(), 512;
            return ops.value();
        }
        case 16: case 17: case 23: case 27: case 28:
            return registerPair(ops, true);
        case 18: case 19: case 20: case 21: case 22: case 24: case 25: case 26: case 29: case 30:
            return registerPair(ops, false);
        case 32:
            return ops.memoryAddress(false);
        case 33:
            return ops.memoryAddress(true);
        case 37: case 38:
            return flagChoice(ops);
        case 39: case 40: case 41: case 42: case 43: {
            const int reg = registerOperand(ops, Side::Source);
            const auto bit = ops.smallNumber(ops.next());
            if (!bit || *bit < 0 || *bit > 7) return ops.fail("Expecting 0 - 7");
            return reg | (*bit << 5);
        }
        case 44: {
            const std::string* hl = ops.next();
            if (!hl || (*hl != "H" && *hl != "L")) return ops.fail("Expecting H or L");
            const int v = ops.value("Expecting address 0 - 255", "Expecting address 0 - 255");
            return (*hl == "H" ? 256 : 0) | v;
        }
        case 48: case 50: case 52: case 54:
            return ops.device();
        case 49: case 51: {
            const int dev = ops.device();
            return dev | registerOperand(ops, Side::Target);
        }
        case 53: case 55: {
            const int dev = ops.device();
            return dev | registerOperand(ops, Side::Source);
        }
        case 58: {
            const std::string* tok = ops.next();
            if (tok && *tok == "ON") return 1;
            if (tok && *tok == "OFF") return 0;
            return ops.fail("Expecting serial access type");
        }
        case 59: {
            const std::string* rw = ops.next();
            if (!rw || (*rw != "R" && *rw != "W")) return ops.fail("Expecting R or W");
            const std::string* hl = ops.next();
            if (!hl || (*hl != "H" && *hl != "L")) return ops.fail("Expecting H or L");
            int bits = (*rw == "R" ? 2 : 0) | (*hl == "H" ? 1 : 0);
            if (const std::string* step = ops.next()) {
                if (*step == "+I") bits |= 4;
                else if (*step == "I+") bits |= 8;
                else if (*step == "-I") bits |= 16;
                else if (*step == "I-") bits |= 32;
                else return ops.fail("Expecting +I, I+, -I, I-");
            }
            return bits;
        }
        case 60: {
            const auto line = ops.smallNumber(ops.next());
            if (!line || (*line != 1 && *line != 2)) return ops.fail("Expecting 1 or 2");
            const std::string* hl = ops.next();
            if (!hl || (*hl != "H" && *hl != "L")) return ops.fail("Expecting H or L");
            return (*line == 1 ? 1 : 0) | (*hl == "H" ? 2 : 0);
        }
        case 61: {
            const std::string* tok = ops.next();
            if (tok && *tok == "SKIPOF") return 256;
            const auto v = ops.smallNumber(tok);
            if (!v || *v < 1 || *v > 255) return ops.fail("Expecting TIMER value - [SKIPOF] [1-255]");
            return *v;
        }
        case 62: {
            const std::string* tok = ops.next();
            if (tok) {
                if (*tok == "R") return 64;
                if (*tok == "W") return 32;
                if (*tok == "SKIPWC") return 256;
                if (const int a = ops.eepromAddress(*tok); a >= 0) return 128 | a;
            }
            return ops.fail("Expecting EEPROM [Address] [R] [W] [SKIPWC]");
        }
        default:
            // 12-15, 31, 45-47, 63: no instruction has these forms.
            return ops.fail("Invalid code");
    }
}

}  // namespace

Encoded encodeWif(const std::vector<std::string>& fields, int address, const EncodeContext& ctx) {
    if (fields.size() > kMaxTokens) return Encoded{0, "Extra data on line", static_cast<int>(kMaxTokens)};
    std::vector<std::string> t;
    t.reserve(fields.size());
    size_t first = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        std::string tok = cutToken(fields[i], true);
        if (i == 0 && isLabelDefinition(tok)) {
            first = 1;
        } else if (const int c = lookup(ctx.constants, tok); c >= 0) {
            // Constants (the digits among them) become decimal literals.
            tok = "#D" + std::to_string(c);
        }
        t.push_back(std::move(tok));
    }
    if (first >= t.size()) return Encoded{0, "Expecting a value or an instruction", static_cast<int>(first)};
    const int index = ctx.table.indexOf(t[first]);
    if (index < 0) return Encoded{0, "Expecting a value or an instruction", static_cast<int>(first)};
    const int code = ctx.table.records[static_cast<size_t>(index)].code;
    const int form = 16 * ((code >> 10) & 3) + ((code >> 12) & 15);
    Operands ops(t, first + 1, address, ctx);
    const int bits = formOperands(form, ops);
    if (!ops.error().empty()) return Encoded{0, ops.error(), ops.errorToken()};
    if (!ops.atEnd()) return Encoded{0, "Extra data on line", static_cast<int>(ops.position())};
    return Encoded{(code | bits) & 0xFFFF, {}};
}

}  // namespace mira::assembler::detail
