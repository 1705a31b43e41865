#include "core/settings_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "core/scrambled_file.h"

namespace mira::core {
namespace {

constexpr int kScreenW = 1600;
constexpr int kScreenH = 1000;

std::string keyedLine(int key, const std::string& value) {
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%03d", key);
    return prefix + value;
}

MainSettings applied(const std::vector<std::string>& lines, SettingsFile* file = nullptr) {
    SettingsFile local;
    SettingsFile& f = file ? *file : local;
    MainSettings s;
    f.apply(lines, s, kScreenW, kScreenH);
    return s;
}

TEST(SettingsFile, WritesAll47LinesInKeyOrder) {
    const auto lines = SettingsFile().build(MainSettings{});
    ASSERT_EQ(lines.size(), 47u);
    for (int k = 1; k <= 47; ++k) {
        char key[4];
        std::snprintf(key, sizeof key, "%03d", k);
        EXPECT_EQ(lines[k - 1].substr(0, 3), key);
    }
    EXPECT_EQ(lines[0], "001" + std::string("0~0~0~0~0~0~0~0~0~0~0~0~0~0~0~"));
    EXPECT_EQ(lines[5], "006200");
    EXPECT_EQ(lines[6], "007-1");
    EXPECT_EQ(lines[18], "0190~0~");
    EXPECT_EQ(lines[30], "031-1");
}

TEST(SettingsFile, RoundTripKeepsEveryValue) {
    MainSettings s;
    s.switches[0] = s.switches[5] = s.switches[13] = true;
    s.slowPosition = 612;
    s.speedPanel = true;
    s.zeroPageMode = true;
    s.fastRunSpeed = 450;
    s.outputResetT13 = false;
    s.soundEffects = false;
    s.clearMemory = true;
    s.ignoreBreakpoints = true;
    s.defaultFastRunSpeed = 800;
    s.left = 120;
    s.top = 340;
    s.melodyNoteDelay = 250;
    s.slowDepositExamine = true;
    s.linkData = "a~b~";
    s.traceOn = true;
    s.serialPort = 7;
    s.normalMode = false;
    s.clearRam = true;
    s.uploadAll = false;
    s.clearEeprom = true;
    s.radixNormal = 3;
    s.radixWif = 1;
    s.animPosition = 1400;
    s.linkOption = true;
    s.autoSlowStep = true;
    SettingsFile out;
    out.openWindows.setVisible(kOpenOctalLed, true);
    out.openWindows.setNumber(kOpenOctalLedSlot, 3);
    out.setWindowLine(kKeyEditor, "10~20~x~");

    SettingsFile in;
    const MainSettings back = applied(out.build(s), &in);
    EXPECT_EQ(back.switches, s.switches);
    EXPECT_TRUE(in.switchesSaved());
    EXPECT_EQ(back.slowPosition, 612);
    EXPECT_TRUE(back.speedPanel);
    EXPECT_TRUE(back.zeroPageMode);
    EXPECT_EQ(back.fastRunSpeed, 450);
    EXPECT_FALSE(back.outputResetT13);
    EXPECT_FALSE(back.soundEffects);
    EXPECT_TRUE(back.clearMemory);
    EXPECT_TRUE(back.ignoreBreakpoints);
    EXPECT_EQ(back.defaultFastRunSpeed, 800);
    EXPECT_EQ(back.left, 120);
    EXPECT_EQ(back.top, 340);
    EXPECT_EQ(back.melodyNoteDelay, 250);
    EXPECT_TRUE(back.slowDepositExamine);
    EXPECT_EQ(back.linkData, "a~b~");
    EXPECT_TRUE(back.traceOn);
    EXPECT_EQ(back.serialPort, 7);
    EXPECT_FALSE(back.normalMode);
    EXPECT_TRUE(back.clearRam);
    EXPECT_FALSE(back.uploadAll);
    EXPECT_TRUE(back.clearEeprom);
    EXPECT_EQ(back.radixNormal, 3);
    EXPECT_EQ(back.radixWif, 1);
    EXPECT_EQ(back.animPosition, 1400);
    EXPECT_TRUE(back.linkOption);
    EXPECT_TRUE(back.autoSlowStep);
    EXPECT_EQ(in.windowLine(kKeyEditor), "10~20~x~");
    EXPECT_TRUE(in.openWindows.visible(kOpenOctalLed));
    EXPECT_EQ(in.build(back), out.build(s));
}

TEST(SettingsFile, LinesOfUnbuiltWindowsComeBackUnchanged) {
    const std::vector<std::string> lines = {
        "002eep~state~", "009caps~~~with blanks ~", "0130~0~", "021100~200~", "046~",
        "04710~20~600~300~-1~cpu.T,cpu.AC~",
        "0209~0~1~2~odd~",
    };
    SettingsFile f;
    const MainSettings s = applied(lines, &f);
    const auto out = f.build(s);
    EXPECT_EQ(out[1], "002eep~state~");
    EXPECT_EQ(out[8], "009caps~~~with blanks ~");
    EXPECT_EQ(out[12], "0130~0~");
    EXPECT_EQ(out[20], "021100~200~");
    EXPECT_EQ(out[45], "046~");
    EXPECT_EQ(out[46], "04710~20~600~300~-1~cpu.T,cpu.AC~");
    // Line 020 keeps its fields as text; missing ones are written empty.
    EXPECT_EQ(out[19].substr(0, 18), "0209~0~1~2~odd~~~~");
    EXPECT_EQ(OpenWindows::parse(out[19].substr(3)).fields[4], "odd");
}

// A session that cannot learn where its windows are (natively on Wayland) writes every place
// back as it was read, whatever the windows report, and the rest of each line as the
// session left it; a window the file had no place for stays "never placed".
TEST(SettingsFile, KeptPlacesAreWrittenAsRead) {
    struct Case {
        int key;
        std::string read;      // the line as read, without its key; empty: not in the file
        std::string session;   // what the session set
        std::string kept;      // written when the places are kept
    };
    const std::vector<Case> cases = {
        {kKeyOctalLed, "860~60~0~2000~-1~", "739~0~1~2000~-1~", "860~60~1~2000~-1~"},
        {kKeyKeypad, "860~330~", "0~263~", "860~330~"},
        {kKeyTimingDiagram, "5~6~980~600~0~cpu.T~", "0~0~700~500~-1~cpu.PC~",
         "5~6~700~500~-1~cpu.PC~"},
        {kKeyPrinter, "", "412~77~roll~", "0~0~roll~"},
        {kKeyEditor, "1~2~480~640~~", "", ""},
        // KeyPad 2's key table holds no place.
        {kKeyKeypad2Buttons, "MC~MR~", "7~8~", "7~8~"},
    };
    std::vector<std::string> lines = {"019100~60~"};
    for (const Case& c : cases)
        if (!c.read.empty()) lines.push_back(keyedLine(c.key, c.read));
    SettingsFile f;
    MainSettings s = applied(lines, &f);
    s.left = 0;
    s.top = 0;
    for (const Case& c : cases) f.setWindowLine(c.key, c.session);
    const auto told = f.build(s);
    f.keepReadPlaces(true);
    const auto kept = f.build(s);
    EXPECT_EQ(told[kKeyMainWindow - 1], "0190~0~");
    EXPECT_EQ(kept[kKeyMainWindow - 1], "019100~60~");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(told[c.key - 1], keyedLine(c.key, c.session));
        EXPECT_EQ(kept[c.key - 1], keyedLine(c.key, c.kept));
    }
}

TEST(SettingsFile, OutOfRangeAndUnparsableValuesTakeTheLineDefault) {
    MainSettings s = applied({"00650", "012abc", "003701", "039-1", "024501", "0300",
                              "0074", "008yes", "0374", "0382", "031", "005-1"});
    EXPECT_EQ(s.fastRunSpeed, 200);
    EXPECT_EQ(s.defaultFastRunSpeed, 200);
    EXPECT_EQ(s.slowPosition, 500);
    EXPECT_EQ(s.animPosition, 500);
    EXPECT_EQ(s.melodyNoteDelay, 100);
    EXPECT_EQ(s.serialPort, 1);
    EXPECT_TRUE(s.outputResetT13);
    EXPECT_TRUE(s.soundEffects);
    EXPECT_EQ(s.radixNormal, 0);
    EXPECT_EQ(s.radixWif, 0);
    EXPECT_TRUE(s.normalMode);
    EXPECT_TRUE(s.zeroPageMode);
    s = applied({"006100", "006900", "0030", "0241500", "02450"});
    EXPECT_EQ(s.fastRunSpeed, 900);  // the later line wins
    EXPECT_EQ(s.slowPosition, 0);
    EXPECT_EQ(s.melodyNoteDelay, 50);
}

TEST(SettingsFile, AbsentLinesKeepTheStartUpValues) {
    const MainSettings s = applied({"0051"});
    EXPECT_EQ(s.radixNormal, 2);  // start-up radix, not the line's fallback
    EXPECT_FALSE(s.zeroPageMode);  // "1" is not a boolean
}

TEST(SettingsFile, UnknownKeysShortAndEmptyLinesAreIgnored) {
    SettingsFile f;
    const MainSettings s = applied({"", "0", "04", "abc-1", "047-1", "000-1", "999x", "-01-1",
                                    "029-1"},
                                   &f);
    EXPECT_TRUE(s.traceOn);
    EXPECT_FALSE(f.switchesSaved());
}

TEST(SettingsFile, MissingSwitchLineRestoresSrZeroContinuousFast) {
    SettingsFile f;
    const MainSettings s = applied({"006300"}, &f);
    const auto sw = f.switchesToRestore(s);
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(sw[i]);
    for (int i = 8; i <= 12; ++i) EXPECT_FALSE(sw[i]);
    EXPECT_TRUE(sw[kSwitchSingleCont]);
    EXPECT_TRUE(sw[kSwitchSlowFast]);

    SettingsFile empty;
    const MainSettings e = applied({"001"}, &empty);
    EXPECT_FALSE(empty.switchesSaved());
    EXPECT_TRUE(empty.switchesToRestore(e)[0]);

    SettingsFile saved;
    const MainSettings v = applied({"0010~-1~junk~"}, &saved);
    const auto restored = saved.switchesToRestore(v);
    EXPECT_FALSE(restored[0]);
    EXPECT_TRUE(restored[1]);
    EXPECT_FALSE(restored[2]);
    EXPECT_FALSE(restored[kSwitchSlowFast]);
}

TEST(SettingsFile, MainWindowPositionIsClampedToTheScreen) {
    MainSettings s = applied({"019-5~30~"});
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.top, 30);
    s = applied({"0191560~961~"});
    EXPECT_EQ(s.left, 1560);
    EXPECT_EQ(s.top, 0);
    s = applied({"019x~"});
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.top, 0);
}

OpenWindows openWith(std::initializer_list<std::pair<int, std::string>> fields) {
    OpenWindows o;
    for (const auto& [i, v] : fields) o.fields[i] = v;
    return o;
}

TEST(SettingsFile, ReopenFollowsTheFieldOrderAndSkipsBadSlots) {
    const OpenWindows o = openWith({{kOpenStackView, "-1"},
                                    {kOpenMemoryView, "-1"},
                                    {kOpenOctalLed, "-1"}, {kOpenOctalLedSlot, "5"},
                                    {kOpenDecimalLed, "-1"}, {kOpenDecimalLedSlot, "2"},
                                    {kOpenKeypad, "-1"}, {kOpenKeypadSlot, "1"},
                                    {kOpenAscii, "-1"}, {kOpenAsciiSlot, "2"},
                                    {kOpenEditor, "-1"},
                                    {kOpenMagTape, "-1"}, {kOpenMagTapeIn, "1"},
                                    {kOpenMagTapeOut, "3"},
                                    {kOpenTapeReader, "-1"}, {kOpenTapeReaderType, "4"},
                                    {kOpenExternalSwitches, "-1"},
                                    {kOpenExternalSwitchesType, "11"},
                                    {kOpenExternalMask1, "4095"},
                                    {kOpenDisplayAlpha, "0"}, {kOpenDisplayAlphaSlot, "2"}});
    const auto plan = reopenPlan(o);
    std::vector<ReopenStep::Window> order;
    for (const auto& step : plan) order.push_back(step.window);
    const std::vector<ReopenStep::Window> expected = {
        ReopenStep::MemoryView, ReopenStep::MagTape, ReopenStep::Keypad, ReopenStep::Editor,
        ReopenStep::DecimalLed, ReopenStep::ExternalSwitches, ReopenStep::StackView};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(plan[1].slot, 1);
    EXPECT_EQ(plan[1].outputSlot, 3);
    EXPECT_EQ(plan[2].slot, 1);
    EXPECT_EQ(plan[4].slot, 2);
    EXPECT_EQ(plan[4].initArg, 1);
    EXPECT_EQ(plan[5].initArg, 255);  // the mask is cut to 8 bits
}

TEST(SettingsFile, ExternalSwitchesMaskDefaultsToThree) {
    const auto plan = reopenPlan(openWith({{kOpenExternalSwitches, "-1"},
                                           {kOpenExternalSwitchesType, "11"},
                                           {kOpenExternalMask1, "x"}}));
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].initArg, 3);
}

TEST(SettingsFile, NothingIsReopenedByDefault) { EXPECT_TRUE(reopenPlan(OpenWindows{}).empty()); }

class SettingsFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("mira8-settings-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        path = dir / kSettingsFileName;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir, path;
};

TEST_F(SettingsFileOnDisk, SaveThenLoadGivesTheSameSettings) {
    MainSettings s;
    s.switches[7] = true;
    s.fastRunSpeed = 640;
    SettingsFile out;
    out.setWindowLine(kKeyMemoryView, "5~6~");
    ASSERT_TRUE(out.save(path, s));
    SettingsFile in;
    MainSettings back;
    ASSERT_TRUE(in.load(path, back, kScreenW, kScreenH));
    EXPECT_EQ(back.fastRunSpeed, 640);
    EXPECT_TRUE(back.switches[7]);
    EXPECT_EQ(in.windowLine(kKeyMemoryView), "5~6~");
    // The file is the scrambled container of the 46 lines.
    const ContainerRead raw = readContainerFile(path);
    ASSERT_TRUE(raw.ok);
    EXPECT_EQ(raw.lines, out.build(s));
}

TEST_F(SettingsFileOnDisk, MissingOrBrokenFileAppliesNothing) {
    SettingsFile f;
    MainSettings s;
    s.fastRunSpeed = 333;
    EXPECT_FALSE(f.load(path, s, kScreenW, kScreenH));
    {
        std::FILE* fp = std::fopen(path.string().c_str(), "wb");
        ASSERT_NE(fp, nullptr);
        std::fputs("garbage without a header end", fp);
        std::fclose(fp);
    }
    EXPECT_FALSE(f.load(path, s, kScreenW, kScreenH));
    EXPECT_EQ(s.fastRunSpeed, 333);
}

TEST(SettingsFile, RandomLinesNeverBreakTheReader) {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> len(0, 40), ch(0, 255), key(0, 50);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> lines;
        for (int n = len(rng); n > 0; --n) {
            char prefix[8];
            std::snprintf(prefix, sizeof prefix, "%03d", key(rng));
            std::string line = prefix;
            for (int c = len(rng); c > 0; --c) line += static_cast<char>(ch(rng));
            lines.push_back(line);
        }
        SettingsFile f;
        MainSettings s = applied(lines, &f);
        EXPECT_GE(s.fastRunSpeed, 100);
        EXPECT_LE(s.fastRunSpeed, 900);
        EXPECT_GE(s.serialPort, 1);
        EXPECT_LE(s.serialPort, 256);
        EXPECT_EQ(f.build(s).size(), 47u);
        for (const auto& step : reopenPlan(f.openWindows)) {
            EXPECT_GE(step.slot, -1);
            EXPECT_LE(step.slot, 3);
        }
    }
}

}  // namespace
}  // namespace mira::core
