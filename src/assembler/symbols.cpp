#include "symbols.h"

#include <array>

namespace mira::assembler {

namespace {

inline constexpr std::array<Directive, 14> kNormalDirectives{{
    {"_PAGEBREAK", "Set PC equals start of next page"},
    {"_SETPC", "Set PC to a specific address"},
    {"_SUBRETURN", "Insert a zero byte for the subroutine return address"},
    {"_END", "Stops compiler at current address"},
    {"_NOTEDELAY", "Sets music note delay"},
    {"_PSTRING", "Create a printer string"},
    {"_STRING", "Create an ASCII string"},
    {"_ISZEROPAGEOFF", "Query: Is Zero Page flag OFF?"},
    {"_ISZEROPAGEON", "Query: Is Zero Page flag ON?"},
    {"_ISRESETT1", "Query: Is Reset on T1 cycle?"},
    {"_ISRESETT13", "Query: Is Reset on T13 cycle?"},
    {"_ISWIMODEOFF", "Query: Is WI flag OFF?"},
    {"_ISWIMODEON", "Query: Is WI flag ON?"},
    {"_PCADD", ""},
}};

inline constexpr std::array<Directive, 15> kWifDirectives{{
    {"_SETPC", "Set PC to a specific address"},
    {"_END", "Stops compiler at current address"},
    {"_NOTEDELAY", "Sets music note delay"},
    {"_PSTRING", "Create a printer string"},
    {"_STRING", "Create an ASCII string"},
    {"_ISWIMODEOFF", "Query: Is WI flag OFF?"},
    {"_ISWIMODEON", "Query: Is WI flag ON?"},
    {"_ISRESETBO", "Query: Is Reset on BO?"},
    {"_ISRESETAO", "Query: Is Reset on AO?"},
    {"_RAM", "RAM definitions start"},
    {"_ENDRAM", "RAM definitions end"},
    {"_EEP", "EEPROM definitions start"},
    {"_ENDEEP", "EEPROM definitions end"},
    {"_CONST", "Define a constant"},
    {"_PCADD", ""},
}};

inline constexpr std::array<std::string_view, 32> kKeywords{{
    "POS", "NEG", ">=", "<", "=", "A", "I", "P", "R", "S", "T", "PC", "H", "L", "W", "C", "DC", "Z", "RP", "CLR", "SET", "D", "#", "$", "HIGH", "LOW", "+I", "I+", "-I", "I-", "SKIPOF", "SKIPWC"}};

inline constexpr std::array<PredefinedSymbol, 75> kPredefined{{
    {"INDR", 0},
    {"DEV0", 0},
    {"DEV1", 1},
    {"DEV0_IN", 0},
    {"DEV1_IN", 1},
    {"DEV0_OUT", 0},
    {"DEV1_OUT", 1},
    {"TRIG1", 1},
    {"TRIG2", 2},
    {"0", 0},
    {"1", 1},
    {"2", 2},
    {"3", 3},
    {"4", 4},
    {"5", 5},
    {"6", 6},
    {"7", 7},
    {"8", 8},
    {"9", 9},
    {"D10_IDX", 64},
    {"D10_OFF", 80},
    {"D10_ON", 95},
    {"D10_ERR", 96},
    {"D10_INI", 112},
    {"D10_0", 0},
    {"D10_1", 1},
    {"D10_2", 2},
    {"D10_3", 3},
    {"D10_4", 4},
    {"D10_5", 5},
    {"D10_6", 6},
    {"D10_7", 7},
    {"D10_8", 8},
    {"D10_9", 9},
    {"D10_NEG", 10},
    {"D10_COL", 11},
    {"D10_DP", 12},
    {"D10_BK", 13},
    {"D10_A", 14},
    {"D10_LB", 15},
    {"D10_C", 16},
    {"D10_LC", 17},
    {"D10_LD", 18},
    {"D10_E", 19},
    {"D10_F", 20},
    {"D10_G", 21},
    {"D10_H", 22},
    {"D10_LH", 23},
    {"D10_I", 24},
    {"D10_LI", 25},
    {"D10_J", 26},
    {"D10_L", 27},
    {"D10_LN", 28},
    {"D10_LO", 29},
    {"D10_P", 30},
    {"D10_LQ", 31},
    {"D10_LR", 32},
    {"D10_S", 33},
    {"D10_LT", 34},
    {"D10_U", 35},
    {"D10_LU", 36},
    {"D10_Y", 37},
    {"AL_IDX", 0},
    {"AL_RED", 16},
    {"AL_GRN", 17},
    {"AL_YEL", 18},
    {"AL_BLU", 19},
    {"AL_INI", 128},
    {"AL_CLR", 129},
    {"AL_CL1", 130},
    {"AL_CL2", 131},
    {"AL_TLN", 132},
    {"AL_BLN", 133},
    {"AL_OFF", 134},
    {"AL_ON", 135}}};

inline constexpr std::array<std::string_view, 75> kPredefinedEntries{{
    "INDR~0~",
    "DEV0~0~",
    "DEV1~1~",
    "DEV0_IN~0~",
    "DEV1_IN~1~",
    "DEV0_OUT~0~",
    "DEV1_OUT~1~",
    "TRIG1~1~",
    "TRIG2~2~",
    "0~0~",
    "1~1~",
    "2~2~",
    "3~3~",
    "4~4~",
    "5~5~",
    "6~6~",
    "7~7~",
    "8~8~",
    "9~9~",
    "D10_IDX~64~",
    "D10_OFF~80~",
    "D10_ON~95~",
    "D10_ERR~96~",
    "D10_INI~112~",
    "D10_0~0~",
    "D10_1~1~",
    "D10_2~2~",
    "D10_3~3~",
    "D10_4~4~",
    "D10_5~5~",
    "D10_6~6~",
    "D10_7~7~",
    "D10_8~8~",
    "D10_9~9~",
    "D10_NEG~10~",
    "D10_COL~11~",
    "D10_DP~12~",
    "D10_BK~13~",
    "D10_A~14~",
    "D10_LB~15~",
    "D10_C~16~",
    "D10_LC~17~",
    "D10_LD~18~",
    "D10_E~19~",
    "D10_F~20~",
    "D10_G~21~",
    "D10_H~22~",
    "D10_LH~23~",
    "D10_I~24~",
    "D10_LI~25~",
    "D10_J~26~",
    "D10_L~27~",
    "D10_LN~28~",
    "D10_LO~29~",
    "D10_P~30~",
    "D10_LQ~31~",
    "D10_LR~32~",
    "D10_S~33~",
    "D10_LT~34~",
    "D10_U~35~",
    "D10_LU~36~",
    "D10_Y~37~",
    "AL_IDX~0~",
    "AL_RED~16~",
    "AL_GRN~17~",
    "AL_YEL~18~",
    "AL_BLU~19~",
    "AL_INI~128~",
    "AL_CLR~129~",
    "AL_CL1~130~",
    "AL_CL2~131~",
    "AL_TLN~132~",
    "AL_BLN~133~",
    "AL_OFF~134~",
    "AL_ON~135~"}};

}  // namespace

std::span<const Directive> directiveTable(Dialect dialect) {
    if (dialect == Dialect::Normal) return kNormalDirectives;
    return kWifDirectives;
}

std::span<const std::string_view> operandKeywords() { return kKeywords; }
std::span<const PredefinedSymbol> predefinedSymbols() { return kPredefined; }
std::span<const std::string_view> predefinedSymbolEntries() { return kPredefinedEntries; }

bool isOperandKeyword(std::string_view word) {
    for (auto k : kKeywords)
        if (k == word) return true;
    return false;
}

bool hasLabelShape(std::string_view name) {
    if (name.empty() || name.size() > 10) return false;
    for (char ch : name)
        if (!((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9'))) return false;
    return true;
}

}  // namespace mira::assembler
