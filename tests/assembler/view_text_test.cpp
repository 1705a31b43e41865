#include "assembler/view_text.h"

#include <gtest/gtest.h>

#include "assembler/formatters.h"

namespace mira::assembler {
namespace {

TEST(ViewText, AddressColumnHasDecimalRadixAndPageMark) {
    EXPECT_EQ(AddressText(16, kRadixHex, true), " 16 10 (1)");
    EXPECT_EQ(AddressText(17, kRadixHex, true), " 17 11");
    EXPECT_EQ(AddressText(0, kRadixSplitOctal, true), "  0 000 (0)");
    EXPECT_EQ(AddressText(255, kRadixOctal, true), "255 377");
    EXPECT_EQ(AddressText(240, kRadixDec, true), "240 240 (15)");
    // WIF has no pages; four-digit addresses push the decimal out of its three places.
    EXPECT_EQ(AddressText(16, kRadixHex, false), " 16 10");
    EXPECT_EQ(AddressText(1023, kRadixHex, false), "1023 3FF");
}

TEST(ViewText, BoldBandsEverySecondPage) {
    EXPECT_FALSE(AddressRowBold(0));
    EXPECT_FALSE(AddressRowBold(15));
    EXPECT_TRUE(AddressRowBold(16));
    EXPECT_TRUE(AddressRowBold(31));
    EXPECT_FALSE(AddressRowBold(32));
    EXPECT_TRUE(AddressRowBold(48));
}

TEST(ViewText, ListingLinesAlignTheirStatements) {
    EXPECT_EQ(ListingText("LOOP,`TAD`COUNT`/ add"), "LOOP,      TAD COUNT / add ");
    EXPECT_EQ(ListingText("`CLA"), "           CLA ");
    // A first field that is not a plain label is pushed right of the label places.
    EXPECT_EQ(ListingText("HLT"), "           HLT ");
    EXPECT_EQ(ListingText("A,B,`NOP"), "           A,B, NOP ");
    // Only four fields are shown.
    EXPECT_EQ(ListingText("X,`JMP`X`/c`extra"), "X,         JMP X /c ");
    EXPECT_EQ(ListingText(""), "           ");
}

TEST(ViewText, NormalWordInAllFiveForms) {
    const NumberForms zero = MemoryNumberForms(0, true);
    EXPECT_EQ(zero.splitOctal, "000");
    EXPECT_EQ(zero.octal, "000");
    EXPECT_EQ(zero.dec, "0");
    EXPECT_EQ(zero.hex, "00");
    EXPECT_EQ(zero.bin, "00000000");
    const NumberForms top = MemoryNumberForms(255, true);
    EXPECT_EQ(top.splitOctal, "737");
    EXPECT_EQ(top.octal, "377");
    EXPECT_EQ(top.dec, "255");
    EXPECT_EQ(top.hex, "FF");
    EXPECT_EQ(top.bin, "11111111");
}

TEST(ViewText, WifWordShowsOnlyDecimalAndFourHexDigits) {
    const NumberForms f = MemoryNumberForms(0xD2A, false);
    EXPECT_EQ(f.dec, "3370");
    EXPECT_EQ(f.hex, "0D2A");
    EXPECT_TRUE(f.splitOctal.empty());
    EXPECT_TRUE(f.octal.empty());
    EXPECT_TRUE(f.bin.empty());
}

TEST(ViewText, RegisterRowsBlankTheOctalAndBinaryWhenNotFull) {
    const NumberForms pc = RegisterNumberForms(0x2F3, false);
    EXPECT_EQ(pc.dec, "755");
    EXPECT_EQ(pc.hex, "2F3");
    EXPECT_TRUE(pc.octal.empty());
    EXPECT_TRUE(pc.bin.empty());
    const NumberForms ac = RegisterNumberForms(10, true);
    EXPECT_EQ(ac.splitOctal, "012");
    EXPECT_EQ(ac.octal, "012");
    EXPECT_EQ(ac.hex, "0A");
    EXPECT_EQ(ac.bin, "00001010");
}

TEST(ViewText, ControlLinesFollowTheByteAndTheHeldSwitches) {
    EXPECT_EQ(ExtControlText(3, false, false, true), "LA = HI DEP = HI");
    EXPECT_EQ(ExtControlText(3, false, false, false), "LA = HI TG1 = HI");
    EXPECT_EQ(ExtControlText(2, false, false, true), "LA = HI DEP = LO");
    EXPECT_EQ(ExtControlText(1, false, false, true), "LA = LO DEP = HI");
    EXPECT_EQ(ExtControlText(3, true, false, true), "LA = LO DEP = HI");
    EXPECT_EQ(ExtControlText(3, false, true, false), "LA = HI TG1 = LO");
}

TEST(ViewText, IoFlags) {
    EXPECT_EQ(IOFlagText(1, 0), "IN = HI OUT = LO");
    EXPECT_EQ(IOFlagText(0, 1), "IN = LO OUT = HI");
}

TEST(ViewText, StatusPanelsByMode) {
    EXPECT_EQ(CarryText(true), "C");
    EXPECT_EQ(CarryText(false), "c");
    EXPECT_EQ(ZeroText(true, true), "-");
    EXPECT_EQ(ZeroText(true, false), "Z");
    EXPECT_EQ(ZeroText(false, false), "z");
    EXPECT_EQ(DecimalCarryText(true, false), "DC");
    EXPECT_EQ(DecimalCarryText(false, false), "dc");
    EXPECT_EQ(DecimalCarryText(true, true), "-");
    EXPECT_EQ(BankText(true, false), "1");
    EXPECT_EQ(BankText(false, false), "0");
    EXPECT_EQ(BankText(true, true), "-");
    EXPECT_EQ(SerialText(true, false), "SER");
    EXPECT_EQ(SerialText(false, false), "ser");
    EXPECT_EQ(SerialText(true, true), "-");
    EXPECT_EQ(RomAddressText(42, kRadixHex, false), "$02A");
    EXPECT_EQ(RomAddressText(42, kRadixDec, false), "42");
    EXPECT_EQ(RomAddressText(42, kRadixHex, true), "-");
    EXPECT_EQ(CycleText(17), "Cycle: 17");
    EXPECT_EQ(ResetText(true, true), "Reset: T13");
    EXPECT_EQ(ResetText(false, true), "Reset: T1");
    EXPECT_EQ(ResetText(true, false), "Reset: AO");
    EXPECT_EQ(ResetText(false, false), "Reset: BO");
    EXPECT_EQ(TraceText(true), "Trace: On");
    EXPECT_EQ(TraceText(false), "Trace: Off");
}

TEST(ViewText, StackLabelsByRadix) {
    EXPECT_EQ(StackLabel(0, 298, kRadixHex), "[0]: $012A");
    EXPECT_EQ(StackLabel(0, 298, kRadixDec), "[0]: D298");
    EXPECT_EQ(StackLabel(2, 1023, kRadixSplitOctal), "[2]: $03FF");
}

TEST(ViewText, CellAddressesAreDecimalForTheOctalRadixes) {
    EXPECT_EQ(CellAddressText(63, kRadixDec), "63");
    EXPECT_EQ(CellAddressText(63, kRadixHex), "3F");
    EXPECT_EQ(CellAddressText(63, kRadixSplitOctal), "63");
    EXPECT_EQ(CellAddressText(63, kRadixOctal), "63");
    const NumberForms f = CellNumberForms(165);
    EXPECT_EQ(f.dec, "165");
    EXPECT_EQ(f.hex, "A5");
    EXPECT_EQ(f.bin, "10100101");
}

}  // namespace
}  // namespace mira::assembler
