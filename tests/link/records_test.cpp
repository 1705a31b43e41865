// The link's small formats: option byte lines, records, names, selection texts, Intel HEX,
// framed messages and port numbers.
#include <gtest/gtest.h>

#include "link/board_records.h"
#include "link/intel_hex.h"
#include "link_rig.h"
#include "link/port_map.h"
#include "link/rx_message.h"

namespace mira::link {
namespace {

TEST(OptionByte, LinesAndBuilders) {
    const auto lines = optionLines(0xFF);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3], "T1/T13 Reset Mode           = T13");
    EXPECT_EQ(lines[4], "Slow Speed Cycle Time       = 1 second");
    EXPECT_EQ(lines[5], "Clear registers on reset    = ON");
    EXPECT_EQ(hardwareOptionsByte(true, true, true, 2, true, false), 0x61);
    EXPECT_EQ(hardwareOptionsByte(false, false, false, 0, false, true), 0x8C);
    // WIF disables the mode boxes in the dialog, but their state still enters the byte.
    EXPECT_EQ(hardwareOptionsByte(false, true, false, 3, true, false), 0x78);
    EmulatorOptions o;
    o.normalMode = false;
    o.zeroPageMode = true;
    o.slowDepositExamine = false;
    o.outputResetMode = 1;
    EXPECT_EQ(memoryWriteOptions(0xFF, o), 0x30 | 0x08 | 0x40);
    EXPECT_EQ(recordFlags(o), kRecSlowExDepOff | kRecResetSecond);
}

TEST(ProgramName, TrimsCollapsesAndChecks) {
    EXPECT_EQ(checkProgramName("  my   first\tprog ").name, "my first\tprog");
    EXPECT_EQ(checkProgramName(std::string(23, ' ')).name, "");
    EXPECT_TRUE(checkProgramName(std::string(23, ' ')).error.empty());
    EXPECT_EQ(checkProgramName(std::string(24, 'a')).error, "ERROR: Too many characters - Max = 23");
    EXPECT_EQ(checkProgramName("ab\tc").error, "ERROR: Invalid text character: \t");
    EXPECT_TRUE(checkProgramName(std::string(23, 'z')).error.empty());
    EXPECT_EQ(makeRecord(0x0E, "AB"), std::string("\x0E", 1) + "AB" + std::string(21, ' '));
}

TEST(Selection, ValuesSkipGaps) {
    const auto s = parseSelection("Send Program Data To...~View List~Emulator Memory~Text File~");
    EXPECT_EQ(s.title, "Send Program Data To...");
    ASSERT_EQ(s.items.size(), 3u);
    EXPECT_EQ(s.items[2].value, 4);
    const auto d = parseSelection("Delete Program...~MIRA 1~MIRA 2~MIRA 3~MIRA 4~MIRA 5~MIRA 6~MIRA 7~MIRA 8~cmdBlank~WIF 1~WIF 2~WIF 3~");
    ASSERT_EQ(d.items.size(), 12u);
    EXPECT_EQ(d.items[8].value, 0);
    EXPECT_EQ(d.items[9].caption, "WIF 1");
    EXPECT_EQ(d.items[9].value, 256);
    std::string many = "T";
    for (int i = 0; i < 30; ++i) many += "~b" + std::to_string(i);
    EXPECT_EQ(parseSelection(many).items.size(), 19u);
    EXPECT_EQ(parseSelection("T~a~~b~").items.size(), 1u);
}

TEST(IntelHex, FillsChecksAndSkips) {
    // Data at byte 0x0010 = word 8: eight filler words first.
    auto img = readIntelHex(":020010003412A8\n:00000001FF\n", false);
    ASSERT_TRUE(img.ok) << img.error;
    ASSERT_EQ(img.words.size(), 9u);
    EXPECT_EQ(img.words[0], 0xFFFF);
    EXPECT_EQ(img.words[8], 0x1234);
    // A damaged checksum stops everything.
    img = readIntelHex(":020010003412A9\n:00000001FF\n", false);
    EXPECT_FALSE(img.ok);
    EXPECT_EQ(img.error, kHexDataError);
    EXPECT_TRUE(img.words.empty());
    // Upper address 0x0030: configuration data that is skipped from there on.
    img = readIntelHex(":02000000AA55FF\n:020000040030CA\n:020000000000FE\n:00000001FF\n", false);
    ASSERT_TRUE(img.ok) << img.error;
    EXPECT_EQ(img.words, std::vector<uint16_t>{0x55AA});
    // Bad digits, a wrong length, no end record.
    EXPECT_FALSE(readIntelHex(":0200000034G2B8\n:00000001FF\n", false).ok);
    EXPECT_FALSE(readIntelHex(":03000000341288\n:00000001FF\n", false).ok);
    EXPECT_FALSE(readIntelHex(":020010003412A8\n", false).ok);
    EXPECT_FALSE(readIntelHex("", false).ok);
    // A test build (word 0 is 0) is refused for the driver only.
    img = readIntelHex(":020000000000FE\n:00000001FF\n", true);
    EXPECT_FALSE(img.ok);
    EXPECT_EQ(img.error, kHexTestMode);
    EXPECT_TRUE(readIntelHex(":020000000000FE\n:00000001FF\n", false).ok);
    // Start address records carry nothing to program.
    img = readIntelHex(":0400000500000000F7\n:02000000341288\n:00000001FF\n", false);
    EXPECT_FALSE(img.ok);  // checksum of the data record is wrong for address 0
    img = readIntelHex(":0400000500000000F7\n:020000003412B8\n:00000001FF\n", false);
    ASSERT_TRUE(img.ok) << img.error;
    EXPECT_EQ(img.words, std::vector<uint16_t>{0x1234});
}

// A HEX file flashed into the controller must mean exactly one thing: anything that
// would shift, wrap, overflow or overwrite words is refused with its line and reason.
TEST(IntelHex, RefusesDoubtfulRecordsWithLineAndReason) {
    using test::hexRecord;
    const std::string end = ":00000001FF\n";
    const std::string beyond = "line 2: the record lies beyond the controller's 16384 words of memory";
    const struct {
        std::string text;
        std::string reason;
    } cases[] = {
        {hexRecord(0x0000, 0, {1, 2}) + hexRecord(0x0011, 0, {3, 4}) + end,
         "line 2: the record starts at an odd address"},
        // Upper address 1 would wrap onto word 0 with 16-bit addresses.
        {hexRecord(0x0000, 4, {0x00, 0x01}) + hexRecord(0x0000, 0, {1, 2}) + end, beyond},
        {hexRecord(0x0000, 0, {1, 2}) + hexRecord(0x8000, 0, {1, 2}) + end, beyond},
        {hexRecord(0x7FFE, 0, {1, 2, 3, 4}) + end, "line 1: the record lies beyond the controller's 16384 words of memory"},
        {hexRecord(0x0010, 0, {1, 2, 3, 4}) + hexRecord(0x0012, 0, {5, 6}) + end, "line 2: the record overlaps line 1"},
        {hexRecord(0x0010, 0, {1, 2}) + hexRecord(0x0010, 0, {1, 2}) + end, "line 2: the record overlaps line 1"},
        {hexRecord(0x0000, 0, {1, 2}), "line 2: the file ends without an end record"},
        {hexRecord(0x0000, 6, {1, 2}) + end, "line 1: unknown record type 6"},
    };
    for (const auto& c : cases) {
        const auto img = readIntelHex(c.text, false);
        EXPECT_FALSE(img.ok) << c.text;
        EXPECT_EQ(img.error, kHexDataError) << c.text;
        EXPECT_EQ(img.reason, c.reason) << c.text;
        EXPECT_TRUE(img.words.empty());
    }
    // Still accepted: the last word of the controller, records in any order, and an
    // upper address of 0 before the data.
    const auto img = readIntelHex(hexRecord(0x0000, 4, {0, 0}) + hexRecord(0x7FFE, 0, {1, 2}) +
                                      hexRecord(0x0000, 0, {3, 4}) + end,
                                  false);
    ASSERT_TRUE(img.ok) << img.reason;
    ASSERT_EQ(img.words.size(), kControllerWords);
    EXPECT_EQ(img.words[0], 0x0403);
    EXPECT_EQ(img.words[kControllerWords - 1], 0x0201);
}

TEST(IntelHex, TransferWordsSplitTrimAndPad) {
    std::vector<uint16_t> image(384, 0x1111);
    image.push_back(0x2222);
    image.push_back(0xFFFF);
    const auto driver = firmwareTransferWords(image, false);
    ASSERT_EQ(driver.size(), 64u);
    EXPECT_EQ(driver[0], 0x2222);
    EXPECT_EQ(driver[1], 0xFFFF);
    const auto boot = firmwareTransferWords(image, true);
    EXPECT_EQ(boot.size(), 384u);
    EXPECT_TRUE(firmwareTransferWords(std::vector<uint16_t>(500, 0xFFFF), false).empty());
    EXPECT_TRUE(firmwareTransferWords(std::vector<uint16_t>(100, 0x1), false).empty());
}

TEST(RxMessageFramer, StartEndAndAppendedCharacters) {
    RxMessageFramer f;
    f.setAppendCount(2);
    std::vector<std::string> got;
    for (int b : {7, 2, 65, 3, 9, 9})
        if (auto m = f.feed(static_cast<unsigned char>(b))) got.push_back(*m);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], std::string("\x02" "A\x03\x09\x09"));
    // An end character outside a message is dropped; a start restarts the message.
    RxMessageFramer g;
    got.clear();
    for (int b : {3, 2, 66, 2, 67, 3})
        if (auto m = g.feed(static_cast<unsigned char>(b))) got.push_back(*m);
    EXPECT_EQ(got, std::vector<std::string>{"\x02" "C\x03"});
    // Inside the appended characters a start character is just data.
    RxMessageFramer h;
    h.setAppendCount(1);
    got.clear();
    for (int b : {2, 3, 2})
        if (auto m = h.feed(static_cast<unsigned char>(b))) got.push_back(*m);
    EXPECT_EQ(got, std::vector<std::string>{"\x02\x03\x02"});
}

TEST(PortMap, ExtraPathsThenUsbThenBuiltInInNumericOrder) {
    const auto list = buildPortList("/tmp/board:/dev/pts/7", {"ttyS1", "ttyUSB0", "ttyACM10", "ttyACM2", "tty0",
                                                              "ttyS0", "ttyACMx"});
    const std::vector<std::string> expected{"/tmp/board", "/dev/pts/7", "/dev/ttyACM2", "/dev/ttyACM10",
                                            "/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS1"};
    EXPECT_EQ(list, expected);
    EXPECT_EQ(buildPortList("", {"ttyACM0"}).front(), "/dev/ttyACM0");
    EXPECT_FALSE(devicePathForPort(0));
    EXPECT_FALSE(devicePathForPort(257));
}

}  // namespace
}  // namespace mira::link
