// The board link protocol against an in-memory board in virtual time: bytes, message
// lines, time-outs and faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

#include "core/scrambled_file.h"
#include "link/intel_hex.h"
#include "link_rig.h"

namespace mira::link::test {
namespace {

class BoardLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("mira8-link-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
};

size_t count(const std::vector<std::string>& v, const std::string& s) {
    return static_cast<size_t>(std::count(v.begin(), v.end(), s));
}

TEST_F(BoardLinkTest, ResetSequencePulsesDtrThenQueriesAfterOneSecond) {
    Rig rig(dir_);
    rig.link.start();
    rig.clock.advance(999);
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_FALSE(rig.link.receiveEnabled());
    rig.clock.advance(1);
    ASSERT_EQ(rig.port.writes.size(), 1u);
    EXPECT_EQ(rig.port.writes[0], bytes({160}));
    ASSERT_EQ(rig.port.dtr.size(), 2u);
    EXPECT_EQ(rig.port.dtr[0], std::make_pair(int64_t{100}, true));
    EXPECT_EQ(rig.port.dtr[1], std::make_pair(int64_t{400}, false));
    rig.run();
    const std::vector<std::string> expected{
        "",
        "MIRA-8 connection query... >OK",
        "",
        "",
        "Congratulations on the successful creation of your MIRA-8 project :-)",
        "",
        "Operating Mode              = Normal",
        "Page Zero Mode              = OFF",
        "Slow Deposit/Examine Mode   = OFF",
        "T1/T13 Reset Mode           = T13",
        "Slow Speed Cycle Time       = 500mS  Default",
        "Clear registers on reset    = OFF",
        "",
    };
    EXPECT_EQ(rig.lines(), expected);
    EXPECT_EQ(rig.link.hardwareOptions(), 0x6D);
    EXPECT_EQ(rig.link.outcome(), Outcome::Ok);
    const auto marker = core::readContainerFile(dir_ / kMarkerFile);
    ASSERT_TRUE(marker.ok);
    EXPECT_EQ(marker.lines, std::vector<std::string>{"Congratulations"});

    // The note comes once; the empty line after it on every connection.
    rig.link.clearMessages();
    rig.link.rzResetButtClick();
    rig.run();
    EXPECT_EQ(count(rig.lines(), "Congratulations on the successful creation of your MIRA-8 project :-)"), 0u);
    ASSERT_GE(rig.lines().size(), 4u);
    EXPECT_EQ(rig.lines()[1], "MIRA-8 connection query... >OK");
    EXPECT_EQ(rig.lines()[2], "");
    EXPECT_EQ(rig.lines()[3], "Operating Mode              = Normal");
}

TEST_F(BoardLinkTest, ClosedPortSaysSoAndSendsNothing) {
    Rig rig(dir_);
    rig.port.open = false;
    rig.link.start();
    rig.clock.advance(2000);
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"Serial port not active", "", kCloseBeforeConnecting}));
    rig.link.readDirectory();
    ASSERT_EQ(rig.prompter.errors.size(), 1u);
    EXPECT_EQ(rig.prompter.errors[0], std::string(kPortNotActive) + "\r\r" + kCloseBeforeConnecting);
    EXPECT_TRUE(rig.port.writes.empty());
}

TEST_F(BoardLinkTest, SplitRepliesAreReassembled) {
    boardsim::Faults f;
    f.splitReplies = true;
    Rig rig(dir_, true, f);
    rig.connect();
    EXPECT_EQ(rig.link.outcome(), Outcome::Ok);
    // A read reply "R" + 4 bytes arriving as "R" and then the 4 bytes.
    rig.state.eeprom[0] = 7;
    rig.state.records[0] = std::string("\x06", 1) + std::string("SPLIT") + std::string(18, ' ');
    rig.host.selection = 0;
    rig.link.readProgram(false, 1);
    rig.run();
    EXPECT_EQ(rig.link.outcome(), Outcome::Ok);
    ASSERT_EQ(rig.link.programWords().size(), 256u);
    EXPECT_EQ(rig.link.programWords()[0], 7);
}

TEST_F(BoardLinkTest, BtWhileIdleOrAsQueryReplyMeansForcedBootMode) {
    const std::vector<std::string> banner{
        std::string(49, '*'), "The MIRA-8 board is operating in Forced Boot Mode",
        "The only functions that will work is to reprogram", "the MIRA-8 hardware driver and to do a Reset",
        std::string(49, '*')};
    {
        Rig rig(dir_);
        rig.connect();
        rig.link.clearMessages();
        rig.port.pending = "B";
        rig.link.Serial1RxData();
        EXPECT_FALSE(rig.link.forcedBoot());
        rig.port.pending = "t";
        rig.link.Serial1RxData();
        EXPECT_TRUE(rig.link.forcedBoot());
        EXPECT_EQ(rig.lines(), banner);
        EXPECT_EQ(rig.link.selection(), Selection::UpgradeDriver);
        const auto e = panelEnables(rig.link.selection(), true);
        EXPECT_TRUE(e.write);
        EXPECT_FALSE(e.read || e.erase || e.port);
        // Only the firmware upgrade goes through the buttons now.
        rig.link.select(Selection::Directory);
        EXPECT_EQ(rig.link.selection(), Selection::UpgradeDriver);
        const size_t before = rig.port.writes.size();
        rig.link.readButtClick();
        EXPECT_EQ(rig.port.writes.size(), before);
    }
    {
        Rig rig(dir_);
        rig.state.forcedBoot = true;
        rig.connect();
        EXPECT_TRUE(rig.link.forcedBoot());
        EXPECT_EQ(rig.lines()[1], "MIRA-8 connection query...");
        EXPECT_EQ(std::vector<std::string>(rig.lines().begin() + 2, rig.lines().end()), banner);
        EXPECT_FALSE(rig.link.busy());
    }
}

TEST_F(BoardLinkTest, NoiseWhileIdleIsDropped) {
    Rig rig(dir_);
    rig.connect();
    rig.port.pending = "xyz";
    rig.link.Serial1RxData();
    rig.port.pending = "Bx";
    rig.link.Serial1RxData();
    rig.port.pending = "Bt";
    rig.link.Serial1RxData();
    EXPECT_TRUE(rig.link.forcedBoot());
}

TEST_F(BoardLinkTest, WrongQueryReplyIsADataErrorThatResetsTheBoard) {
    Rig rig(dir_, false);
    rig.link.start();
    rig.clock.advance(1000);
    rig.port.pending = bytes({237, 201, 0});
    rig.link.Serial1RxData();
    EXPECT_EQ(rig.link.outcome(), Outcome::Error);
    const std::vector<std::string> expected{"", "MIRA-8 connection query...", "ERROR: Received data invalid", "",
                                            "Starting MIRA-8...", ""};
    EXPECT_EQ(rig.lines(), expected);
    EXPECT_TRUE(rig.link.resetRunning());
    rig.clock.advance(1000);
    EXPECT_EQ(rig.port.writes.back(), bytes({160}));
}

TEST_F(BoardLinkTest, TwoSecondsOfSilenceFailTheTransfer) {
    Rig rig(dir_);
    rig.connect();
    rig.board.reset();
    rig.port.board = nullptr;  // the board stops answering
    rig.link.clearMessages();
    rig.link.readOptions();
    rig.clock.advance(1800);
    EXPECT_TRUE(rig.link.busy());
    // A byte resets the count of silent ticks.
    rig.port.pending = "?";
    rig.link.Serial1RxData();
    rig.clock.advance(1800);
    EXPECT_TRUE(rig.link.busy());
    rig.clock.advance(200);
    EXPECT_FALSE(rig.link.busy());
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"", "Read MIRA-8 hardware options... >FAIL",
                                                     "Communications failed", ""}));
    EXPECT_EQ(rig.link.outcome(), Outcome::Fail);
    EXPECT_TRUE(rig.link.panelEnabled());
}

TEST_F(BoardLinkTest, GarbageBeforeAReplyEndsInFailureAndTheLinkStaysUsable) {
    boardsim::Faults f;
    f.garbageAt = 3;  // query, 165, then the "R"
    Rig rig(dir_, true, f);
    rig.connect();
    rig.link.readOptions();
    rig.run();
    EXPECT_EQ(rig.link.outcome(), Outcome::Fail);
    EXPECT_EQ(count(rig.lines(), "Communications failed"), 1u);
    rig.link.readOptions();
    rig.run();
    EXPECT_EQ(rig.link.outcome(), Outcome::Ok);
}

TEST_F(BoardLinkTest, DirectoryReadsElevenRecordsAndListsThem) {
    Rig rig(dir_);
    rig.state.records[1] = std::string("\x02", 1) + "ADDER" + std::string(18, ' ');
    rig.state.records[8] = std::string("\x08", 1) + "BLINK" + std::string(18, ' ');
    rig.state.records[9] = std::string("\x00", 1) + "BAD\x01" + std::string(19, ' ');
    rig.connect();
    rig.link.clearMessages();
    const size_t from = rig.port.writes.size();
    rig.link.readDirectory();
    rig.run();
    // First record: 166, T 0 0, six R, V; the ninth starts the WIF area.
    const std::string sent = rig.sentSince(from);
    std::string first = bytes({166}) + bytes({'T', 0, 0}) + std::string(6, 'R') + "V";
    EXPECT_EQ(sent.substr(0, first.size()), first);
    EXPECT_NE(sent.find(bytes({'V', 166, 'T', 0, 255})), std::string::npos);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 'R'), 66);
    EXPECT_EQ(rig.link.directoryRecords().size(), 11u);
    const std::vector<std::string> expected{
        "Reading directory... >OK",
        "",
        "No  Name                     Pgm   Typ ZPM SED IO",
        "",
        " 1  No Name                  Empty MR8 OFF OFF T13",
        " 2  ADDER                    Valid MR8 OFF ON  T1",
        " 3  No Name                  Empty MR8 OFF OFF T13",
        " 4  No Name                  Empty MR8 OFF OFF T13",
        " 5  No Name                  Empty MR8 OFF OFF T13",
        " 6  No Name                  Empty MR8 OFF OFF T13",
        " 7  No Name                  Empty MR8 OFF OFF T13",
        " 8  No Name                  Empty MR8 OFF OFF T13",
        // WIF programs by the numbers the user picks, as in "read-program wif 1".
        " 1  BLINK                    Valid WIF --- --- AO",
        " 2  No Name                  Valid WIF --- --- BO",
        " 3  No Name                  Empty WIF --- --- AO",
    };
    EXPECT_EQ(rig.lines(), expected);
    EXPECT_EQ(rig.link.progress(), 0);
}

TEST_F(BoardLinkTest, ProgramReadsSend64OrReadsOf512AndShowTheViewList) {
    Rig rig(dir_);
    rig.state.records[2] = std::string("\x06", 1) + "COUNT" + std::string(18, ' ');
    for (int i = 0; i < 256; ++i) rig.state.eeprom[static_cast<size_t>(2 * 256 + i)] = static_cast<uint8_t>(i);
    rig.state.records[9] = std::string("\x00", 1) + "WIFPROG" + std::string(16, ' ');
    rig.state.eeprom[16 * 256] = 0x12;
    rig.state.eeprom[16 * 256 + 1] = 0x34;
    rig.connect();

    rig.link.clearMessages();
    size_t from = rig.port.writes.size();
    rig.link.readProgram(false, 3);
    rig.run();
    std::string sent = rig.sentSince(from);
    const std::string pExchange = bytes({168, 'P', 2});
    const size_t at = sent.find(pExchange);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(sent.substr(at + 3), std::string(64, 'R') + "V");
    ASSERT_EQ(rig.link.programWords().size(), 256u);
    EXPECT_EQ(rig.link.programWords()[255], 255);
    ASSERT_GE(rig.lines().size(), 6u);
    EXPECT_EQ(rig.lines()[0], "Reading MIRA program [3]... >OK");
    EXPECT_EQ(rig.lines()[1], "");
    EXPECT_EQ(rig.lines()[2], " 3  COUNT                    Valid MR8 OFF OFF T1");
    EXPECT_EQ(rig.lines()[3], "");
    EXPECT_EQ(rig.lines()[4], "E000  E000  W0");
    EXPECT_EQ(rig.lines()[5], "E001  E001  W1");
    EXPECT_EQ(rig.lines().back(), "E737  E737  W255");
    EXPECT_EQ(rig.host.selectionTexts.back(), kSendToTitle);

    // WIF program 2 asks for the mode, then reads 512 times.
    rig.host.selection = 2;  // Emulator Memory
    rig.link.clearMessages();
    from = rig.port.writes.size();
    rig.link.readProgram(true, 2);
    rig.run();
    ASSERT_EQ(rig.prompter.questions.size(), 1u);
    EXPECT_EQ(rig.prompter.questions[0], kModeMismatchQuestion);
    EXPECT_EQ(rig.host.mode, core::OperatingMode::Wif);
    sent = rig.sentSince(from);
    EXPECT_NE(sent.find(bytes({166, 'T', 1, 255})), std::string::npos);
    const size_t at2 = sent.find(bytes({168, 'P', 16}));
    ASSERT_NE(at2, std::string::npos);
    EXPECT_EQ(sent.substr(at2 + 3), std::string(512, 'R') + "V");
    ASSERT_EQ(rig.host.copied.size(), 1024u);
    EXPECT_EQ(rig.host.copied[0], 0x1234);
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"Reading WIF program [2]... >OK", ""}));
}

TEST_F(BoardLinkTest, WifViewListFormatsByRadix) {
    Rig rig(dir_);
    rig.state.records[8] = std::string("\x00", 1) + "W" + std::string(22, ' ');
    rig.state.eeprom[8 * 256] = 0x01;
    rig.state.eeprom[8 * 256 + 1] = 0x02;
    rig.host.mode = core::OperatingMode::Wif;
    rig.connect();
    rig.link.readProgram(true, 1);
    rig.run();
    auto lines = rig.link.viewListLines();
    ASSERT_EQ(lines.size(), 1026u);
    EXPECT_EQ(lines[2], "   0   258 W258");
    rig.host.radixWif = assembler::kRadixHex;
    lines = rig.link.viewListLines();
    EXPECT_EQ(lines[2], "$000 $0102 W258");
    EXPECT_EQ(lines[1025], "$3FF $FFFF W65535");
}

TEST_F(BoardLinkTest, EmptySlotIsNotValid) {
    Rig rig(dir_);
    rig.connect();
    rig.link.clearMessages();
    rig.link.readProgram(false, 4);
    rig.run();
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"Reading MIRA program [4]... >OK", "Program [4] is not valid", ""}));
    EXPECT_EQ(rig.link.outcome(), Outcome::Error);
    EXPECT_TRUE(rig.host.selectionTexts.empty());
}

TEST_F(BoardLinkTest, ModeQuestionAnsweredNoCancelsTheRead) {
    Rig rig(dir_);
    rig.connect();
    rig.prompter.answers[kModeMismatchQuestion] = false;
    const size_t from = rig.port.writes.size();
    rig.link.readProgram(true, 1);
    EXPECT_EQ(rig.link.outcome(), Outcome::Cancel);
    EXPECT_EQ(rig.port.writes.size(), from);
}

TEST_F(BoardLinkTest, WritingFortyAssembledWordsSendsTwoBlocksOfEightPackets) {
    Rig rig(dir_);
    for (int i = 0; i < 40; ++i) rig.host.memory[static_cast<size_t>(i)] = i + 1;
    rig.host.memory[100] = 99;  // beyond the assembled code: not sent
    rig.host.assembled = 40;
    rig.host.options.zeroPageMode = true;
    rig.host.options.outputResetMode = 0;
    rig.host.name = "COUNTER";
    rig.connect();
    rig.link.clearMessages();
    const size_t from = rig.port.writes.size();
    rig.link.writeProgram(false, 2);
    rig.run();
    EXPECT_EQ(rig.link.outcome(), Outcome::Ok);
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"Writing MIRA program [2]... >OK", ""}));

    // Record: flags 4 (slow examine/deposit off), name padded to 23; written marked empty
    // (flag bit 0) before the data and valid after it.
    const std::string record = std::string("\x04", 1) + "COUNTER" + std::string(16, ' ');
    const auto recordWrite = [](const std::string& r) {
        std::string b = bytes({166, 'T', 1, 0});
        for (char c : r) b += std::string("S") + c;
        return b + "V";
    };
    std::string expected = recordWrite(std::string("\x05", 1) + record.substr(1));
    expected += bytes({167, 'P', 1, 'T'});
    for (int block = 0; block < 2; ++block) {
        if (block == 1) expected += "T";
        for (int p = 0; p < 8; ++p) {
            expected += "Q";
            for (int k = 0; k < 4; ++k) {
                const int a = block * 32 + p * 4 + k;
                expected += static_cast<char>(a < 40 ? a + 1 : 0);
            }
        }
        expected += "S";
    }
    expected += "V" + recordWrite(record);
    EXPECT_EQ(rig.sentSince(from), expected);
    EXPECT_EQ(rig.state.records[1], record);
    EXPECT_EQ(rig.state.eeprom[256], 1);
    EXPECT_EQ(rig.state.eeprom[256 + 39], 40);
    EXPECT_EQ(rig.state.eeprom[256 + 64], 0xFF);  // untouched
}

TEST_F(BoardLinkTest, WifWriteSendsHighByteFirstAndWholeImageWithoutAssembledLength) {
    Rig rig(dir_);
    rig.host.mode = core::OperatingMode::Wif;
    rig.host.memory.assign(1024, 0);
    rig.host.memory[0] = 0xABCD;
    rig.host.memory[1023] = 0x1234;
    rig.connect();
    const size_t from = rig.port.writes.size();
    rig.link.writeProgram(true, 3);
    rig.run();
    EXPECT_EQ(rig.link.outcome(), Outcome::Ok);
    const std::string sent = rig.sentSince(from);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 'T'), 2 + 64);  // two records + one per block
    EXPECT_EQ(rig.state.eeprom[24 * 256], 0xAB);
    EXPECT_EQ(rig.state.eeprom[24 * 256 + 1], 0xCD);
    EXPECT_EQ(rig.state.eeprom[24 * 256 + 2046], 0x12);
}

TEST_F(BoardLinkTest, WriteRefusedWhenTheModeDoesNotMatch) {
    Rig rig(dir_);
    rig.connect();
    const size_t from = rig.port.writes.size();
    rig.link.writeProgram(true, 1);
    ASSERT_EQ(rig.prompter.infos.size(), 1u);
    EXPECT_EQ(rig.prompter.infos[0], "The memory to be uploaded does not match the program selection");
    EXPECT_EQ(rig.port.writes.size(), from);
}

TEST_F(BoardLinkTest, EepromWriteFailureIsReported) {
    boardsim::Faults f;
    f.eepromFailure = true;
    Rig rig(dir_, true, f);
    rig.connect();
    rig.link.clearMessages();
    rig.link.writeProgram(false, 1);
    rig.run();
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"Writing MIRA program [1]... >FAIL", "ERROR: EEPROM write failed", ""}));
    EXPECT_EQ(rig.link.outcome(), Outcome::Fail);
}

TEST_F(BoardLinkTest, DeletingMr8TwoAndWifOneSendsTheirSlots) {
    Rig rig(dir_);
    rig.state.records[1] = std::string("\x00", 1) + std::string(23, 'A');
    rig.state.records[8] = std::string("\x00", 1) + std::string(23, 'B');
    rig.connect();
    rig.link.clearMessages();
    const size_t from = rig.port.writes.size();
    rig.link.deletePrograms((1 << 1) | (1 << 8));
    rig.run();
    EXPECT_EQ(rig.prompter.questions.back(), "Continue and delete selected program(s)?");
    EXPECT_EQ(rig.sentSince(from), bytes({169, 'T', 'S', 1, 0, 'S', 0, 255, 'V'}));
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"Deleting program(s)... >OK", ""}));
    EXPECT_EQ(rig.state.records[1][0], '\xFF');
    EXPECT_EQ(rig.state.records[8][0], '\xFF');

    rig.prompter.answers["Continue and delete selected program(s)?"] = false;
    const size_t n = rig.port.writes.size();
    rig.link.deletePrograms(1);
    EXPECT_EQ(rig.link.outcome(), Outcome::Cancel);
    EXPECT_EQ(rig.port.writes.size(), n);
}

TEST_F(BoardLinkTest, DirectoryEraseAsksWhichProgramsToDelete) {
    Rig rig(dir_);
    rig.connect();
    rig.host.selection = 256 | 4;
    rig.link.select(Selection::Directory);
    const size_t from = rig.port.writes.size();
    rig.link.delButtClick();
    rig.run();
    EXPECT_EQ(rig.host.selectionTexts.back().substr(0, 25), "Delete Program...~MIRA 1~");
    EXPECT_EQ(rig.sentSince(from), bytes({169, 'T', 'S', 2, 0, 'S', 0, 255, 'V'}));
}

TEST_F(BoardLinkTest, ProjectMemoryWriteThenReadRoundTrips) {
    Rig rig(dir_);
    for (int i = 0; i < 256; ++i) rig.host.memory[static_cast<size_t>(i)] = (i * 7) & 0xFF;
    rig.host.options.zeroPageMode = true;
    rig.host.options.slowDepositExamine = true;
    rig.host.options.outputResetMode = 0;
    rig.state.options = 0x6D | 0x80;
    rig.connect();
    rig.link.clearMessages();
    size_t from = rig.port.writes.size();
    rig.link.writeMemory();
    rig.run();
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"", "Writing project memory -> 256 words... >OK", ""}));
    // Cycle bits kept from the board, the rest from the emulator: Normal only.
    std::string sent = rig.sentSince(from);
    EXPECT_EQ(sent.substr(0, 4), bytes({165, 'S', 0x21, 162}));
    EXPECT_EQ(sent.substr(4, 5), bytes({'Q', 0, 7, 14, 21}));
    EXPECT_EQ(sent.size(), 4 + 64 * 5 + 1u);
    EXPECT_EQ(rig.state.options, 0x21);
    EXPECT_EQ(rig.state.memory[255], (255 * 7) & 0xFF);

    rig.link.clearMessages();
    rig.host.selection = 1 | 2;
    from = rig.port.writes.size();
    rig.link.readMemory();
    rig.run();
    sent = rig.sentSince(from);
    EXPECT_EQ(sent, bytes({165, 'R', 163}) + std::string(64, 'R') + "V");
    EXPECT_EQ(rig.host.copied, rig.host.memory);
    ASSERT_GE(rig.lines().size(), 4u);
    EXPECT_EQ(rig.lines()[0], "Reading project memory... >OK");
    EXPECT_EQ(rig.lines()[2], "");
    EXPECT_EQ(rig.lines()[4], "E001  E007  W7");
}

TEST_F(BoardLinkTest, WifProjectMemoryAndAssembledLength) {
    Rig rig(dir_);
    rig.host.mode = core::OperatingMode::Wif;
    rig.host.memory.assign(1024, 0);
    rig.host.memory[0] = 0x1234;
    rig.host.memory[4] = 0x0F0F;
    rig.host.assembled = 5;
    rig.connect();
    rig.link.clearMessages();
    const size_t from = rig.port.writes.size();
    rig.link.writeMemory();
    rig.run();
    EXPECT_EQ(rig.lines()[1], "Writing project memory -> 8 words... >OK");
    const std::string sent = rig.sentSince(from);
    EXPECT_EQ(sent.substr(4, 5), bytes({'Q', 0x12, 0x34, 0, 0}));
    EXPECT_EQ(sent.size(), 4 + 4 * 5 + 1u);
    EXPECT_EQ(rig.state.memory[4], 0x0F0F);
    EXPECT_EQ(rig.state.options & 1, 0);
}

TEST_F(BoardLinkTest, MemoryReadInOtherModeAsksAndNoCancels) {
    Rig rig(dir_);
    rig.state.options = 0x20;  // WIF board
    rig.connect();
    rig.prompter.answers[kModeMismatchQuestion] = false;
    rig.link.clearMessages();
    rig.link.readMemory();
    rig.run();
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"Reading project memory... >CANCEL", ""}));
    EXPECT_EQ(rig.link.outcome(), Outcome::Cancel);
    rig.prompter.answers[kModeMismatchQuestion] = true;
    rig.link.readMemory();
    rig.run();
    EXPECT_EQ(rig.link.outcome(), Outcome::Ok);
    EXPECT_EQ(rig.link.programWords().size(), 1024u);
}

TEST_F(BoardLinkTest, EraseOptionsReadAndWrite) {
    Rig rig(dir_);
    rig.state.memory[3] = 9;
    rig.connect();
    rig.link.clearMessages();
    size_t from = rig.port.writes.size();
    rig.link.eraseMemory();
    rig.run();
    EXPECT_EQ(rig.sentSince(from), bytes({164}));
    EXPECT_EQ(rig.state.memory[3], 0);
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"", "Erasing project memory... >OK", ""}));

    rig.host.hardwareAnswer = 0x92;
    from = rig.port.writes.size();
    rig.link.writeOptions();
    rig.run();
    EXPECT_EQ(rig.sentSince(from), bytes({165, 'S', 0x92}));
    EXPECT_EQ(rig.state.options, 0x92);

    rig.link.clearMessages();
    from = rig.port.writes.size();
    rig.link.readOptions();
    rig.run();
    EXPECT_EQ(rig.sentSince(from), bytes({165, 'R'}));
    const std::vector<std::string> expected{
        "",
        "Read MIRA-8 hardware options... >OK",
        "",
        "Operating Mode              = WIF",
        "Page Zero Mode              = ON",
        "Slow Deposit/Examine Mode   = ON",
        "AO/BO Reset Mode            = BO",
        "Slow Speed Cycle Time       = 250mS",
        "Clear registers on reset    = ON",
        "",
    };
    EXPECT_EQ(rig.lines(), expected);

    rig.host.hardwareAnswer.reset();
    from = rig.port.writes.size();
    rig.link.writeOptions();
    EXPECT_EQ(rig.link.outcome(), Outcome::Cancel);
    EXPECT_EQ(rig.port.writes.size(), from);
}

// An Intel HEX image: driver words from word 384 on.
TEST_F(BoardLinkTest, DriverUpgradeSendsBlocksOf32PacketsAndReconnects) {
    Rig rig(dir_);
    std::ofstream(dir_ / kFirmwareFile) << driverHex(100);
    rig.connect();
    rig.link.clearMessages();
    const size_t from = rig.port.writes.size();
    rig.link.select(Selection::UpgradeDriver);
    rig.link.rzProgButtClick(false);
    EXPECT_EQ(rig.prompter.questions.back(), "Continue and reprogram the MIRA-8 hardware driver?");
    EXPECT_EQ(rig.link.lamp(), Lamp::Red);
    rig.run();
    // 100 words pad to 128: two blocks.
    std::string expected = bytes({161});
    for (int w = 0; w < 128; w += 2) {
        const int a = w < 100 ? w : 0xFFFF, b = w + 1 < 100 ? w + 1 : 0xFFFF;
        expected += bytes({2, a & 0xFF, (a >> 8) & 0xFF, b & 0xFF, (b >> 8) & 0xFF});
        if ((w + 2) % 64 == 0) expected += bytes({3});
    }
    const std::string sent = rig.sentSince(from);
    ASSERT_GE(sent.size(), expected.size());
    EXPECT_EQ(sent.substr(0, expected.size()), expected);
    EXPECT_EQ(sent.substr(expected.size()), bytes({160}));  // the new connection query
    EXPECT_EQ(rig.state.driver.size(), 128u);
    EXPECT_EQ(rig.state.driver[99], 99);
    const std::vector<std::string> head{"Processing data... >OK", "", "*** CAUTION: DO NOT DISCONNECT THE MIRA-8 ***", "",
                                        "Programming MIRA-8 PIC hardware driver... >OK", "Programming complete", "", "",
                                        "MIRA-8 connection query... >OK"};
    ASSERT_GE(rig.lines().size(), head.size());
    EXPECT_EQ(std::vector<std::string>(rig.lines().begin(), rig.lines().begin() + 9), head);
}

TEST_F(BoardLinkTest, BootCodeUpgradeFromForcedBootMode) {
    Rig rig(dir_);
    std::string text = hexRecord(0x0010, 0, {0x34, 0x12}) + ":00000001FF\n";
    std::ofstream(dir_ / kFirmwareFile) << text;
    rig.state.forcedBoot = true;
    rig.connect();
    ASSERT_TRUE(rig.link.forcedBoot());
    const size_t from = rig.port.writes.size();
    rig.link.rzProgButtClick(true);
    EXPECT_EQ(rig.prompter.questions.back(), "Continue and reprogram the MIRA-8 hardware boot code?");
    rig.run();
    const std::string sent = rig.sentSince(from);
    EXPECT_EQ(sent.substr(0, 1), bytes({170}));
    // 8 filler words before address 0x0010, then 0x1234, padded to 64 words.
    ASSERT_EQ(rig.state.boot.size(), 64u);
    EXPECT_EQ(rig.state.boot[7], 0xFFFF);
    EXPECT_EQ(rig.state.boot[8], 0x1234);
    EXPECT_EQ(sent.substr(1 + 4 * 5, 5), bytes({2, 0x34, 0x12, 0xFF, 0xFF}));
}

TEST_F(BoardLinkTest, ResetDuringProgrammingAsksBeforeStopping) {
    Rig rig(dir_);
    std::ofstream(dir_ / kFirmwareFile) << driverHex(256);
    rig.connect();
    rig.link.select(Selection::UpgradeDriver);
    rig.link.rzProgButtClick(false);
    rig.link.rzResetButtClick();  // only asks for a stop
    EXPECT_FALSE(rig.link.resetRunning());
    rig.prompter.answers[kStopQuestion] = false;
    rig.deliverOne();  // 161: the first packet goes out without a check
    EXPECT_TRUE(rig.prompter.questions.size() == 1u);
    rig.deliverOne();
    EXPECT_EQ(rig.prompter.questions.back(), kStopQuestion);
    EXPECT_EQ(rig.link.linkState(), 1001);
    rig.link.rzResetButtClick();
    rig.prompter.answers[kStopQuestion] = true;
    rig.link.clearMessages();
    rig.deliverOne();
    ASSERT_GE(rig.lines().size(), 3u);
    EXPECT_EQ(std::vector<std::string>(rig.lines().end() - 2, rig.lines().end()),
              (std::vector<std::string>{"Execute reset...", ""}));
    // Stopped half way: how to bring the board back.
    EXPECT_EQ(count(rig.lines(), "The MIRA-8 controller may now hold an incomplete hardware driver."), 1u);
    EXPECT_EQ(rig.link.outcome(), Outcome::Cancel);
    EXPECT_TRUE(rig.link.resetRunning());
    EXPECT_TRUE(rig.state.driver.empty());
}

TEST_F(BoardLinkTest, BadFirmwareFilesSendNothing) {
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases{
        {":0200000034120B\n:00000001FF\n", kHexDataError},             // checksum wrong
        {hexRecord(0x0000, 0, {0xFF, 0xFF}) + ":00000001FF\n", kHexNoData},  // nothing for the driver
        {hexRecord(0x0300, 0, {0x00, 0x00}), kHexDataError},             // no end record
        {hexRecord(0x0300, 0, {0x00, 0x00}).substr(0, 9) + "\n:00000001FF\n", kHexDataError},
    };
    for (const auto& c : cases) {
        Rig rig(dir_);
        std::ofstream(dir_ / kFirmwareFile) << c.text;
        rig.connect();
        rig.link.clearMessages();
        const size_t from = rig.port.writes.size();
        rig.link.upgradeFirmware(false);
        ASSERT_EQ(rig.prompter.errors.size(), 1u) << c.text;
        EXPECT_EQ(rig.prompter.errors[0].substr(0, c.error.size()), c.error);
        EXPECT_EQ(rig.lines(), std::vector<std::string>{"Processing data... >FAIL"});
        EXPECT_EQ(rig.port.writes.size(), from);
        EXPECT_EQ(rig.link.outcome(), Outcome::Error);
        EXPECT_FALSE(rig.link.busy());
    }
    Rig rig(dir_);
    std::filesystem::remove(dir_ / kFirmwareFile);
    rig.connect();
    rig.link.upgradeFirmware(false);
    ASSERT_EQ(rig.prompter.errors.size(), 1u);
    EXPECT_NE(rig.prompter.errors[0].find("miraPIC.hex"), std::string::npos);
    EXPECT_EQ(rig.link.outcome(), Outcome::Error);
}

TEST_F(BoardLinkTest, UnexpectedFirmwareReplyIsADataError) {
    Rig rig(dir_);
    std::ofstream(dir_ / kFirmwareFile) << driverHex(64);
    rig.connect();
    rig.board.reset();
    rig.port.board = nullptr;
    rig.link.upgradeFirmware(false);
    rig.port.pending = bytes({161});
    rig.link.Serial1RxData();
    rig.port.pending = bytes({'Z'});
    rig.link.Serial1RxData();
    EXPECT_EQ(rig.link.outcome(), Outcome::Error);
    EXPECT_TRUE(rig.link.dataErrorSeen());
    EXPECT_TRUE(rig.link.resetRunning());
}

TEST_F(BoardLinkTest, ClosingWhileBusyAsks) {
    Rig rig(dir_);
    rig.connect();
    EXPECT_TRUE(rig.link.canClose());
    EXPECT_TRUE(rig.prompter.questions.empty());
    rig.link.readDirectory();
    rig.prompter.answers[kCommsActiveQuestion] = false;
    EXPECT_FALSE(rig.link.canClose());
    EXPECT_EQ(rig.prompter.questions.back(), kCommsActiveQuestion);
}

TEST_F(BoardLinkTest, TextFileGetsTheWordLines) {
    Rig rig(dir_);
    rig.state.memory[0] = 5;
    rig.host.selection = 4;
    rig.host.textFile = dir_ / "out.txt";
    rig.connect();
    rig.link.readMemory();
    rig.run();
    std::ifstream in(dir_ / "out.txt");
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "E000  E005  W5\r");
}

// The slot is marked empty before its pages are written and valid after: a write cut
// short anywhere leaves the old program whole or the slot empty, never half a program
// under a valid record.
TEST_F(BoardLinkTest, InterruptedProgramWriteNeverLeavesAValidHalfProgram) {
    // Board commands: 1 query; 2-28 the first record; 29-111 the pages; 112-138 the last record.
    for (const int silentAfter : {10, 60, 120}) {
        boardsim::Faults f;
        f.silentAfter = silentAfter;
        Rig rig(dir_, true, f);
        const std::string old = makeRecord(0, "OLD");
        rig.state.records[1] = old;
        rig.host.memory.assign(256, 7);
        rig.connect();
        rig.link.writeProgram(false, 2);
        rig.run();
        ASSERT_EQ(rig.link.outcome(), Outcome::Fail) << silentAfter;
        const bool dataTouched = rig.state.eeprom[256] == 7;
        if (dataTouched) EXPECT_TRUE(static_cast<unsigned char>(rig.state.records[1][0]) & kRecEmpty) << silentAfter;
        else EXPECT_EQ(rig.state.records[1], old) << silentAfter;
    }
}

TEST_F(BoardLinkTest, InterruptedFirmwareSaysHowToRecover) {
    std::ofstream(dir_ / kFirmwareFile) << driverHex(256);
    boardsim::Faults f;
    f.silentAfter = 40;  // in the first block
    Rig rig(dir_, true, f);
    rig.connect();
    rig.link.upgradeFirmware(false);
    rig.run();
    EXPECT_EQ(rig.link.outcome(), Outcome::Fail);
    EXPECT_EQ(count(rig.lines(), "Communications failed"), 1u);
    EXPECT_EQ(count(rig.lines(), "The MIRA-8 controller may now hold an incomplete hardware driver."), 1u);
    EXPECT_EQ(count(rig.lines(), "driver answers in Forced Boot Mode, and \"Upgrade Driver\" + \"Write\" then"), 1u);
}

// A board that keeps sending bytes never lets the silence count reach its limit; the
// command's own time limit ends it, with a message that says why.
TEST_F(BoardLinkTest, ABoardThatKeepsSendingNonsenseIsStoppedByTheCommandsTimeLimit) {
    struct Case {
        const char* name;
        std::function<void(BoardLink&)> start;
    };
    const std::vector<Case> cases{
        {"directory", [](BoardLink& l) { l.readDirectory(); }},
        {"read program", [](BoardLink& l) { l.readProgram(false, 1); }},
        {"write memory", [](BoardLink& l) { l.writeMemory(); }},
        {"read options", [](BoardLink& l) { l.readOptions(); }},
    };
    for (const auto& c : cases) {
        Rig rig(dir_, false);
        rig.link.start();
        rig.clock.advance(1000);
        rig.port.pending = bytes({0xED, 0xC8, 0x6D});
        rig.link.Serial1RxData();
        rig.link.clearMessages();
        c.start(rig.link);
        const int budget = rig.link.budgetMs();
        EXPECT_GE(budget, 5000) << c.name;
        int64_t t = 0;
        while (rig.link.busy() && t < 3'600'000) {
            rig.port.pending = "?";
            rig.link.Serial1RxData();
            rig.clock.advance(100);
            t += 100;
        }
        EXPECT_FALSE(rig.link.busy()) << c.name;
        EXPECT_LE(t, budget + 200) << c.name;
        ASSERT_GE(rig.lines().size(), 2u) << c.name;
        EXPECT_EQ(rig.lines()[rig.lines().size() - 2], kDataDoesNotFit) << c.name;
        EXPECT_EQ(rig.link.outcome(), Outcome::Fail) << c.name;
    }
    // The limit follows the work: a whole WIF image takes longer than the option byte.
    EXPECT_GT(BoardLink::commandBudgetMs(516, 3082), BoardLink::commandBudgetMs(2, 5) + 10000);
}

TEST_F(BoardLinkTest, AVanishedPortIsReportedAsNotConnected) {
    Rig rig(dir_);
    rig.connect();
    rig.link.clearMessages();
    rig.port.board = nullptr;
    rig.port.gone = true;
    rig.port.portName = "/dev/ttyACM0";
    rig.link.readOptions();
    rig.clock.advance(200);
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"", "Read MIRA-8 hardware options... >FAIL",
                                                     "the board is not connected on /dev/ttyACM0", ""}));
    // Reset reopens the port first: one that is not there says so, one that is plugged
    // in again is reset and queried.
    rig.link.clearMessages();
    rig.link.resetAfterReopen(false, "port 1 (/dev/ttyACM0)");
    EXPECT_EQ(rig.lines(), (std::vector<std::string>{"", "the board is not connected on port 1 (/dev/ttyACM0)"}));
    EXPECT_FALSE(rig.link.busy());
    rig.port.gone = false;
    rig.port.board = rig.board.get();
    rig.link.clearMessages();
    rig.link.resetAfterReopen(true, "port 1 (/dev/ttyACM0)");
    rig.run();
    EXPECT_EQ(rig.link.outcome(), Outcome::Ok);
    EXPECT_EQ(count(rig.lines(), "MIRA-8 connection query... >OK"), 1u);
}

TEST_F(BoardLinkTest, FirmwareFileProblemsNameTheFile) {
    Rig rig(dir_);
    rig.connect();
    // A folder where the file should be.
    std::filesystem::create_directories(dir_ / kFirmwareFile);
    rig.link.upgradeFirmware(false);
    ASSERT_EQ(rig.prompter.errors.size(), 1u);
    EXPECT_NE(rig.prompter.errors[0].find("it is a folder or device, not a file"), std::string::npos);
    EXPECT_EQ(rig.prompter.errors[0].find(kHexDataError), std::string::npos);
    std::filesystem::remove(dir_ / kFirmwareFile);
    // A doubtful record: which line and why.
    std::ofstream(dir_ / kFirmwareFile) << hexRecord(0x0301, 0, {1, 2}) << ":00000001FF\n";
    rig.link.upgradeFirmware(false);
    ASSERT_EQ(rig.prompter.errors.size(), 2u);
    EXPECT_EQ(rig.prompter.errors[1], std::string(kHexDataError) + "\r\r" + kFirmwareFile +
                                          ", line 1: the record starts at an odd address");
}

TEST(PanelEnables, FollowTheSelection) {
    EXPECT_TRUE(panelEnables(Selection::Directory, false).read);
    EXPECT_FALSE(panelEnables(Selection::Directory, false).write);
    EXPECT_TRUE(panelEnables(Selection::Directory, false).erase);
    EXPECT_FALSE(panelEnables(Selection::Options, false).erase);
    EXPECT_TRUE(panelEnables(Selection::ComPort, false).port);
    EXPECT_FALSE(panelEnables(Selection::ComPort, false).read);
    EXPECT_TRUE(panelEnables(Selection::UpgradeDriver, false).write);
    EXPECT_FALSE(panelEnables(Selection::Memory, true).read);
}

}  // namespace
}  // namespace mira::link::test
