// The Normal dialect: one statement of at most four tokens to one 8-bit word.
#include <algorithm>
#include <cstdlib>

#include "encoder.h"
#include "literals.h"

namespace mira::assembler::detail {

namespace {

inline constexpr size_t kMaxTokens = 4;
inline constexpr int kPageSize = 16;
inline constexpr int kZeroPageWords = 8;  // words 0..7 reachable from any page in zero page mode
inline constexpr int kIndirectBit = 16;
inline constexpr int kPageBit = 8;
inline constexpr int kDeviceBit = 8;
inline constexpr int kLastMemoryReference = 6;
inline constexpr int kRelativeIndex = 6;  // the jump accepts ".+n"
inline constexpr int kLastOperate = 19;
inline constexpr int kLastInputOutput = 27;

Encoded fail(const char* message, size_t token = 0) { return Encoded{0, message, static_cast<int>(token)}; }

Encoded dataWord(const std::string& token, size_t at) {
    const auto v = parseNumber(token);
    if (!v) return fail("Invalid number", at);
    if (*v > 255) return fail("Expecting value 0 - 255", at);
    return Encoded{*v, {}};
}

// Whether the machine reads an address field with bit 3 clear as word 0..7 of page
// zero for this instruction word (zero page mode on).
bool readsPageZero(int word) {
    const int op = word >> 5;
    return op <= 3 || (op == 4 && (word & kIndirectBit));
}

// The address operand's bits 3..0 for a label at `target`.
Encoded labelOperand(int word, int target, int address, bool zeroPageMode) {
    const bool samePage = target / kPageSize == address / kPageSize;
    const int offset = target % kPageSize;
    if (zeroPageMode && readsPageZero(word)) {
        // The field must make the machine land on the label: below 8 means page zero.
        if (target < kZeroPageWords) return Encoded{target, {}};
        if (samePage && (offset & kPageBit)) return Encoded{offset, {}};
        return fail("Address is outside memory page");
    }
    if (samePage) return Encoded{offset, {}};
    return fail("Address is outside memory page");
}

Encoded relativeOperand(const std::string& token, int address) {
    const std::string rest = token.substr(1);
    if (rest.size() < 2) return fail("Invalid value");
    size_t i = 0;
    bool negative = false;
    if (rest[0] == '+' || rest[0] == '-') {
        negative = rest[0] == '-';
        i = 1;
    }
    if (i >= rest.size()) return fail("Invalid value");
    long n = 0;
    for (; i < rest.size(); ++i) {
        if (rest[i] < '0' || rest[i] > '9') return fail("Invalid value");
        if (n < 1000) n = n * 10 + (rest[i] - '0');
    }
    if (negative) n = -n;
    const long sum = address % kPageSize + n;
    if (sum < 0 || sum >= kPageSize) return fail("Address is outside memory page");
    return Encoded{static_cast<int>(sum), {}};
}

}  // namespace

Encoded encodeNormal(const std::vector<std::string>& fields, int address, const EncodeContext& ctx) {
    if (fields.size() > kMaxTokens) return fail("Extra data on line", kMaxTokens);
    std::vector<std::string> t;
    t.reserve(fields.size());
    for (const auto& f : fields) t.push_back(cutToken(f, false));
    auto has = [&](size_t i) { return i < t.size(); };

    size_t first = 0;
    if (has(0) && isLabelDefinition(t[0])) {
        if (!has(1)) return Encoded{0, {}};
        const int label = lookup(ctx.labels, t[1]);
        if (label >= 0) {
            if (has(2)) return fail("Extra data on line", 2);
            return Encoded{label, {}};
        }
        if (isNumberToken(t[1])) {
            if (has(2)) return fail("Extra data on line", 2);
            return dataWord(t[1], 1);
        }
        first = 1;
    }
    const std::string& t0 = t[first];
    auto tok = [&](size_t i) -> const std::string* { return has(first + i) ? &t[first + i] : nullptr; };

    if (isNumberToken(t0)) {
        if (tok(1)) return fail("Extra data on line", first + 1);
        return dataWord(t0, first);
    }
    if (t0 == "_SUBRETURN") {
        if (tok(1)) return fail("Extra data on line", first + 1);
        return Encoded{0, {}};
    }
    const int index = ctx.table.indexOf(t0);
    if (index < 0) return fail("Expecting a value or an instruction", first);
    int word = ctx.table.records[static_cast<size_t>(index)].code & 0xFF;

    if (index <= kLastMemoryReference) {
        size_t op = 1;
        if (tok(1) && *tok(1) == "I") {
            word |= kIndirectBit;
            op = 2;
        }
        const std::string* operand = tok(op);
        const size_t at = first + op;
        if (!operand) return fail("Expecting a memory address", at);
        if (tok(op + 1)) return fail("Extra data on line", at + 1);
        Encoded field;
        if (isNumberToken(*operand)) {
            const auto v = parseNumber(*operand);
            if (!v) return fail("Invalid value", at);
            if (*v > 15) return fail("Address is outside memory page", at);
            field.word = *v;
        } else if (const int target = lookup(ctx.labels, *operand); target >= 0) {
            field = labelOperand(word, target, address, ctx.zeroPageMode);
        } else if (index == kRelativeIndex && (*operand)[0] == '.') {
            field = relativeOperand(*operand, address);
        } else {
            return fail("Missing memory target address", at);
        }
        if (!field.error.empty()) {
            field.token = static_cast<int>(at);
            return field;
        }
        return Encoded{word | field.word, {}};
    }
    if (index <= kLastOperate) {
        if (tok(1)) return fail("Extra data on line", first + 1);
        return Encoded{word, {}};
    }
    if (index <= kLastInputOutput) {
        const std::string* device = tok(1);
        if (!device || (*device != "0" && *device != "1")) return fail("Expecting IO device 0 or 1", first + 1);
        if (tok(2)) return fail("Extra data on line", first + 2);
        if (*device == "1") word |= kDeviceBit;
        return Encoded{word, {}};
    }
    return fail("Invalid code", first);
}

std::string cutToken(std::string_view token, bool wif) {
    size_t limit = 10;
    if (isLabelDefinition(token) && token.find(',') == token.size() - 1) limit = 11;
    if (wif && token.size() >= 2 && token[0] == '#' && (token[1] == 'B' || token[1] == 'b')) {
        // A binary number may run to 18 characters; a longer one is cut like any token.
        if (token.size() <= 18) limit = 18;
    }
    return std::string(token.substr(0, std::min(limit, token.size())));
}

}  // namespace mira::assembler::detail
