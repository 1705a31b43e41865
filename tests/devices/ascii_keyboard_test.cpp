// The ASCII keyboard: the five translation tables, modifier sets without a table, key
// names of scripts, the bell, and the flag protocol through a real input instruction.
#include <gtest/gtest.h>

#include <vector>

#include "core/machine_rig.h"
#include "devices/ascii_keyboard.h"

namespace mira::devices {
namespace {

using core::test::Rig;
namespace op = core::test::op;
using K = AsciiKey;

constexpr AsciiModifiers kNone{}, kShift{true, false, false}, kCtrl{false, true, false},
    kAlt{false, false, true}, kCtrlAlt{false, true, true};

struct RecordingPlayer final : core::SoundPlayer {
    void play(core::SoundId id) override { played.push_back(id); }
    std::vector<core::SoundId> played;
};

std::optional<int> code(K k, AsciiModifiers m = kNone) {
    return translateAsciiKey(k, m);
}

TEST(AsciiTables, PlainKeys) {
    EXPECT_EQ(code(letterKey('A')), 97);
    EXPECT_EQ(code(letterKey('Z')), 122);
    EXPECT_EQ(code(digitKey(0)), 48);
    EXPECT_EQ(code(digitKey(9)), 57);
    const std::pair<K, int> table[] = {
        {K::Backspace, 8}, {K::Tab, 9},        {K::Enter, 13},    {K::Esc, 27},
        {K::Space, 32},    {K::PageUp, 12},    {K::Home, 14},     {K::End, 15},
        {K::Delete, 127},  {K::Semicolon, 59}, {K::Equal, 61},    {K::Comma, 44},
        {K::Minus, 45},    {K::Period, 46},    {K::Slash, 47},    {K::Grave, 96},
        {K::LBracket, 91}, {K::Backslash, 92}, {K::RBracket, 93}, {K::Apostrophe, 39},
    };
    for (auto [k, c] : table) EXPECT_EQ(code(k), c) << static_cast<int>(k);
    for (K k : {K::PageDown, K::Insert, K::Left, K::Right, K::Up, K::Down, K::F1,
                AsciiKey(static_cast<int>(K::F1) + 11)})
        EXPECT_EQ(code(k), std::nullopt) << static_cast<int>(k);
}

TEST(AsciiTables, ShiftedKeys) {
    EXPECT_EQ(code(letterKey('A'), kShift), 65);
    const int digits[] = {41, 33, 64, 35, 36, 37, 94, 38, 42, 40};  // keys 0..9
    for (int d = 0; d < 10; ++d) EXPECT_EQ(code(digitKey(d), kShift), digits[d]) << d;
    const std::pair<K, int> table[] = {
        {K::Tab, 11},        {K::Enter, 10},     {K::Semicolon, 58},  {K::Equal, 43},
        {K::Comma, 60},      {K::Minus, 95},     {K::Period, 62},     {K::Slash, 63},
        {K::Grave, 126},     {K::LBracket, 123}, {K::Backslash, 124}, {K::RBracket, 125},
        {K::Apostrophe, 34},
    };
    for (auto [k, c] : table) EXPECT_EQ(code(k, kShift), c) << static_cast<int>(k);
    for (K k : {K::Space, K::Esc, K::Backspace, K::Delete, K::PageUp, K::Home})
        EXPECT_EQ(code(k, kShift), std::nullopt) << static_cast<int>(k);
}

TEST(AsciiTables, CtrlAltAndCtrlAltDigits) {
    for (int d = 0; d <= 7; ++d) {
        EXPECT_EQ(code(digitKey(d), kCtrl), d);
        EXPECT_EQ(code(digitKey(d), kAlt), 16 + d);
    }
    for (int d : {8, 9}) {
        EXPECT_EQ(code(digitKey(d), kCtrl), std::nullopt);
        EXPECT_EQ(code(digitKey(d), kAlt), std::nullopt);
        EXPECT_EQ(code(digitKey(d), kCtrlAlt), std::nullopt);
    }
    EXPECT_EQ(code(digitKey(0), kCtrlAlt), 24);
    EXPECT_EQ(code(digitKey(2), kCtrlAlt), 26);
    EXPECT_EQ(code(digitKey(3), kCtrlAlt), std::nullopt);
    EXPECT_EQ(code(digitKey(4), kCtrlAlt), 28);
    EXPECT_EQ(code(digitKey(7), kCtrlAlt), 31);
    EXPECT_EQ(code(letterKey('C'), kCtrl), std::nullopt);
    EXPECT_EQ(code(K::Enter, kAlt), std::nullopt);
}

TEST(AsciiTables, ModifierSetsWithoutATableGiveNothing) {
    for (AsciiModifiers m : {AsciiModifiers{true, true, false}, AsciiModifiers{true, false, true},
                             AsciiModifiers{true, true, true}}) {
        for (int d = 0; d < 10; ++d) EXPECT_EQ(code(digitKey(d), m), std::nullopt);
        EXPECT_EQ(code(letterKey('A'), m), std::nullopt);
    }
}

TEST(AsciiKeyNames, ScriptNamesParse) {
    auto press = [](const char* t) { return parseAsciiKeyPress(t); };
    ASSERT_TRUE(press("a"));
    EXPECT_EQ(press("a")->key, letterKey('A'));
    EXPECT_EQ(press("7")->key, digitKey(7));
    const auto cad = press("ctrl+alt+0");
    ASSERT_TRUE(cad);
    EXPECT_TRUE(cad->mods.ctrl && cad->mods.alt && !cad->mods.shift);
    EXPECT_EQ(press("alt+shift+f12")->key, AsciiKey(static_cast<int>(K::F1) + 11));
    EXPECT_EQ(press("f1")->key, K::F1);
    EXPECT_EQ(press("apostrophe")->key, K::Apostrophe);
    EXPECT_EQ(press("pagedown")->key, K::PageDown);
    for (const char* bad : {"", "f0", "f13", "f01", "ctrl+", "+a", "ctrl+ctrl+a", "meta+a", "Space",
                            "aa", "!", "ctrl+alt"})
        EXPECT_FALSE(press(bad)) << bad;
}

struct Host final : AsciiKeyboardHost {
    void drawLabel() override {}
    bool windowVisible() const override { return true; }
};

struct KeyboardRig {
    Rig rig;
    RecordingPlayer player;
    core::SoundEffects sounds;
    Host host;
    AsciiKeyboard kb{rig.m.bus, sounds, &host};
    KeyboardRig() { sounds.setPlayer(&player); }
    int flag(int slot = 0) const { return rig.m.bus.slots[slot].flag; }
    void open(int slot = 0) {
        kb.PutDevice(slot);
        kb.doInit();
    }
};

TEST(AsciiKeyboard, ReleasedKeyIsOfferedAndProgramTakesIt) {
    KeyboardRig r;
    r.open(1);
    EXPECT_EQ(r.rig.m.bus.slots[1].type, core::kModuleAscii);
    EXPECT_EQ(r.flag(1), 1);
    EXPECT_EQ(r.kb.labelText(), "Input Device 1");
    EXPECT_EQ(r.kb.keyReleased(letterKey('Q'), kShift), 81);
    EXPECT_EQ(r.flag(1), 0);
    r.rig.load({op::IN(1, op::kSkip), op::JMP(0), op::IN(1, op::kTransfer | op::kPulse),
                op::DCA(12), op::HLT});
    r.rig.start();
    r.rig.run();
    EXPECT_EQ(r.rig.m.memory[12], 81);
    EXPECT_EQ(r.flag(1), 1);
}

TEST(AsciiKeyboard, KeyWithoutCodeLeavesDataAndFlag) {
    KeyboardRig r;
    r.open();
    r.kb.keyReleased(letterKey('B'), kNone);
    r.rig.m.bus.SetModuleInFlag(0, 0);  // taken
    EXPECT_FALSE(r.kb.keyReleased(digitKey(1), AsciiModifiers{true, true, false}));
    EXPECT_FALSE(r.kb.keyReleased(K::Insert, kNone));
    EXPECT_EQ(r.kb.keyData(), 98);
    EXPECT_EQ(r.flag(), 1);
}

TEST(AsciiKeyboard, CtrlSevenRingsTheBellOnlyWhileSoundsAreOn) {
    KeyboardRig r;
    r.open();
    r.kb.keyReleased(digitKey(7), kAlt);  // 23, no bell
    EXPECT_TRUE(r.player.played.empty());
    EXPECT_EQ(r.kb.keyReleased(digitKey(7), kCtrl), 7);
    EXPECT_EQ(r.player.played, std::vector<core::SoundId>{core::SoundId::Bell});
    r.sounds.enabled = false;
    r.kb.keyReleased(digitKey(7), kCtrl);
    EXPECT_EQ(r.player.played.size(), 1u);
    EXPECT_EQ(r.flag(), 0);
}

TEST(AsciiKeyboard, NewKeyReplacesUntakenOneAndResetClearsIt) {
    KeyboardRig r;
    int taken = 0;
    r.kb.setTakenListener([&] { ++taken; });
    r.open();
    r.kb.keyReleased(letterKey('X'), kNone);
    r.kb.keyReleased(letterKey('Y'), kNone);
    EXPECT_EQ(r.rig.m.bus.readInput(0), 121);
    r.rig.m.bus.SetModuleInFlag(0, 1);
    EXPECT_EQ(taken, 0);
    r.rig.m.bus.SetModuleInFlag(0, 0);
    EXPECT_EQ(taken, 1);
    r.kb.keyReleased(letterKey('Y'), kNone);
    r.rig.m.bus.ResetDevices();
    EXPECT_EQ(r.kb.keyData(), 0);
    EXPECT_EQ(r.flag(), 1);
}

TEST(AsciiKeyboard, CloseFreesSlot) {
    KeyboardRig r;
    r.open();
    r.kb.keyReleased(letterKey('X'), kNone);
    r.kb.close();
    EXPECT_EQ(r.rig.m.bus.slots[0].type, core::kModuleNone);
    EXPECT_EQ(r.flag(), 1);
    r.kb.keyReleased(letterKey('X'), kNone);
    EXPECT_EQ(r.flag(), 1);
    EXPECT_EQ(r.kb.labelText(), "No Device Set");
}

}  // namespace
}  // namespace mira::devices
