#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assembler/address_column.h"
#include "assembler/formatters.h"

namespace mira::assembler {
namespace {

using V = std::vector<std::string>;

// The column's texts for a source, as the editor draws them.
V column(const V& lines, Dialect d, int radix = kRadixDec) {
    AddressColumn c;
    c.update(lines, d);
    V out;
    for (const ColumnRow& r : c.rows()) out.push_back(formatRow(r, d, radix));
    return out;
}

V normal(const V& lines, int radix = kRadixDec) { return column(lines, Dialect::Normal, radix); }
V wif(const V& lines) { return column(lines, Dialect::Wif); }

TEST(AddressColumn, NormalLinesTakeOneAddressEachAndBlankLinesNone) {
    EXPECT_EQ(normal({"\tCLA", "", "/ a comment", "LOOP,\tTAD I 3", "  \t", "\tHLT"}),
              (V{" 0 D0", "", "", "   D1", "", "   D2"}));
}

TEST(AddressColumn, NormalPageStartsShowThePageNumber) {
    V src(18, "\tNOP");
    const V col = normal(src);
    EXPECT_EQ(col[15], "   D15");
    EXPECT_EQ(col[16], " 1 D16");
    EXPECT_EQ(col[17], "   D17");
}

TEST(AddressColumn, NormalFollowsTheDisplayRadix) {
    const V src{"\tCLA", "\tCLA", "\tCLA"};
    EXPECT_EQ(normal(src, kRadixHex)[1], "   $01");
    EXPECT_EQ(normal(src, kRadixSplitOctal)[2], "   " + FormatRadix(2, kRadixSplitOctal, true));
    EXPECT_EQ(normal(src, kRadixOctal)[0], " 0 " + FormatRadix(0, kRadixOctal, true));
}

TEST(AddressColumn, PageBreakMovesToTheNextPageStart) {
    // At a page start it skips a whole page.
    EXPECT_EQ(normal({"_PAGEBREAK", "\tCLA"}), (V{"", " 1 D16"}));
    V src(17, "\tCLA");
    src.push_back("\t_PAGEBREAK / to 32");
    src.push_back("\tCLA");
    const V col = normal(src);
    EXPECT_EQ(col[17], "");
    EXPECT_EQ(col[18], " 2 D32");
}

TEST(AddressColumn, PageBreakAfterTheLastPageLeavesOnlyUnknownRows) {
    V src{"_SETPC #D241", "_PAGEBREAK", "\tCLA"};
    EXPECT_EQ(normal(src)[2], kUnknownAddress);
}

TEST(AddressColumn, SetPcMovesTheEstimateForward) {
    EXPECT_EQ(normal({"_SETPC #D20", "\tCLA", "\tCLA"}), (V{"", "   D20", "   D21"}));
    EXPECT_EQ(normal({"_SETPC #$20", "\tCLA"})[1], " 2 D32");
}

TEST(AddressColumn, SetPcToTheCurrentAddressOrTheOneBeforeChangesNothing) {
    V ten(10, "\tCLA");
    V src = ten;
    src.push_back("_SETPC #D10");
    src.push_back("\tCLA");
    EXPECT_EQ(normal(src)[11], "   D10");
    // One below the estimate: the assembler accepts it as no change, so does the column.
    src = ten;
    src.push_back("\tCLA");
    src.push_back("_SETPC #D10");
    src.push_back("\tCLA");
    EXPECT_EQ(normal(src)[12], "   D11");
}

TEST(AddressColumn, SetPcBackwardsUnreadableOrTooHighLosesTheEstimate) {
    V twelve(12, "\tCLA");
    V src = twelve;
    src.push_back("_SETPC #D10");
    src.push_back("\tCLA");
    src.push_back("\tCLA");
    V col = normal(src);
    EXPECT_EQ(col[13], kUnknownAddress);
    EXPECT_EQ(col[14], kUnknownAddress);
    EXPECT_EQ(normal({"_SETPC #D2x", "\tCLA"})[1], kUnknownAddress);
    EXPECT_EQ(normal({"_SETPC #D256", "\tCLA"})[1], kUnknownAddress);
    EXPECT_EQ(normal({"_SETPC", "\tCLA"})[1], kUnknownAddress);
    // A later _SETPC cannot bring the estimate back.
    EXPECT_EQ(normal({"_SETPC #D256", "_SETPC #D20", "\tCLA"})[2], kUnknownAddress);
}

TEST(AddressColumn, StringsShowTheirFirstAddressAndAdvanceByTheirWords) {
    EXPECT_EQ(normal({"MSG, _STRING \"Hello\"", "\tCLA"}), (V{" 0 D0", "   D5"}));
    // A blank inside the quotes is a character too.
    EXPECT_EQ(normal({"_STRING \"a b\"", "\tCLA"})[1], "   D3");
    // "~" repeats the last character and makes no word: AB~C is three words.
    EXPECT_EQ(normal({"_PSTRING \"AB~C\"", "\tCLA"}), (V{" 0 D0", "   D3"}));
    EXPECT_EQ(normal({"_PSTRING \"AB\"", "\tCLA"})[1], "   D2");
    // An empty string makes no word and shows nothing.
    EXPECT_EQ(normal({"_STRING \"\"", "\tCLA"}), (V{"", " 0 D0"}));
}

TEST(AddressColumn, SubreturnTakesOneAddress) {
    EXPECT_EQ(normal({"SUB, _SUBRETURN", "\tCLA"}), (V{" 0 D0", "   D1"}));
}

TEST(AddressColumn, EndLeavesEveryLaterRowBlank) {
    EXPECT_EQ(normal({"\tCLA", "_END", "\tCLA", "\tCLA"}), (V{" 0 D0", "", "", ""}));
}

TEST(AddressColumn, OtherDirectivesShowNothingAndKeepTheEstimate) {
    EXPECT_EQ(normal({"_ISZEROPAGEON", "_NOTEDELAY 200", "\tCLA"}), (V{"", "", " 0 D0"}));
    // The reserving filler takes an address without showing it.
    EXPECT_EQ(normal({"_PCADD", "\tCLA"}), (V{"", "   D1"}));
}

TEST(AddressColumn, NormalRowsPastTheMemoryAreUnknown) {
    V src(257, "\tNOP");
    const V col = normal(src);
    EXPECT_EQ(col[255], "   D255");
    EXPECT_EQ(col[256], kUnknownAddress);
}

TEST(AddressColumn, WifAddressesAreThreeHexDigits) {
    EXPECT_EQ(wif({"\tNOP", "", "L1, NOP", "_SETPC #$1F0", "\tNOP"}),
              (V{"  $000", "", "  $001", "", "  $1F0"}));
    // WIF _SETPC must be written #D or #$.
    EXPECT_EQ(wif({"_SETPC #0100", "\tNOP"})[1], kUnknownAddress);
    EXPECT_EQ(wif({"_SETPC #D1023", "\tNOP", "\tNOP"}), (V{"", "  $3FF", kUnknownAddress}));
}

TEST(AddressColumn, WifRamAndEepromBlocksShowSlots) {
    const V col = wif({"_RAM", "COUNT", "BUF :#D3", "PTR", "AT #D10", "NEXT", "_ENDRAM",
                       "_EEP", "E1 #$1F", "E2", "_ENDEEP", "\tNOP"});
    EXPECT_EQ(col, (V{"", "   $00", "   $01", "   $04", "   $0A", "   $0B", "", "", "   $1F",
                      kUnknownAddress, "", "  $000"}));
}

TEST(AddressColumn, WifRamSlotsPastTheEndAreUnknown) {
    const V col = wif({"_RAM", "BIG :#D63", "LAST", "OVER", "_ENDRAM"});
    EXPECT_EQ(col[2], "   $3F");
    EXPECT_EQ(col[3], kUnknownAddress);
    EXPECT_EQ(wif({"_RAM", "X #Dzz", "Y", "_ENDRAM"})[2], kUnknownAddress);
}

TEST(AddressColumn, WifConstantsAndStringsFollowTheirRules) {
    EXPECT_EQ(wif({"_CONST TEN #D10", "_STRING \"AB\"", "\tNOP"}), (V{"", "  $000", "  $002"}));
    // The Normal-only directives are statements in WIF.
    EXPECT_EQ(wif({"_PAGEBREAK", "\tNOP"}), (V{"  $000", "  $001"}));
}

TEST(AddressColumn, RamBlockWordsMeanNothingInNormalMode) {
    EXPECT_EQ(normal({"_RAM", "X", "_ENDRAM"}), (V{" 0 D0", "   D1", "   D2"}));
}

TEST(AddressColumn, EditsResummariseOnlyTheChangedLines) {
    std::vector<std::string> src;
    for (int i = 0; i < 1000; ++i) src.push_back("L" + std::to_string(i) + ", TAD " + std::to_string(i % 16));
    AddressColumn c;
    c.update(src, Dialect::Wif);
    EXPECT_EQ(c.summarised(), 1000);
    src.insert(src.begin(), "_SETPC #D5");
    c.update(src, Dialect::Wif);
    EXPECT_EQ(c.summarised(), 1);
    EXPECT_EQ(c.row(1).kind, ColumnRow::Kind::Address);
    EXPECT_EQ(c.row(1).value, 5);
    EXPECT_EQ(c.row(1000).value, 1004);
    EXPECT_EQ(c.row(1001).kind, ColumnRow::Kind::Blank);  // outside the text
    // Another dialect reads every line again.
    c.update(src, Dialect::Normal);
    EXPECT_EQ(c.summarised(), 1001);
}

TEST(AddressColumn, HostileLinesDoNotBreakTheWalk) {
    const V col = normal({std::string(5000, '"'), "_STRING \"", "_PSTRING ~~~", "\x01\x02\xff",
                          "_SETPC #D-1", "\tCLA"});
    ASSERT_EQ(col.size(), 6u);
    // The quote run is one word; the broken strings make none; #D-1 reads as 255.
    EXPECT_EQ(col[0], " 0 D0");
    EXPECT_EQ(col[1], "");
    EXPECT_EQ(col[5], "   D255");
}

}  // namespace
}  // namespace mira::assembler
