// Asking for a free slot when a module opens: the entries, the dialog text, the mapping of
// the chosen entry and the refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/observer.h"
#include "devices/slot_select.h"

namespace mira::devices {
namespace {

class ScriptedPrompter final : public core::Prompter {
public:
    void info(const std::string& t) override { messages.push_back(t); }
    void error(const std::string& t) override { messages.push_back(t); }
    bool askYesNo(const std::string& t) override {
        messages.push_back(t);
        return yes;
    }
    core::Answer askYesNoCancel(const std::string& t) override {
        messages.push_back(t);
        return yes ? core::Answer::Yes : core::Answer::No;
    }
    std::vector<std::string> messages;
    bool yes = true;
};

// Answers `answer`, or with OK on what the dialog came up with when `pressOk` is set.
class ScriptedChooser final : public SlotChooser {
public:
    int choose(const std::string& text, int initial) override {
        texts.push_back(text);
        return pressOk ? initial : answer;
    }
    std::vector<std::string> texts;
    int answer = 0;
    bool pressOk = false;
};

struct BusRig {
    core::NullObserver obs;
    core::MachineObserver* observer = &obs;
    bool live = false;
    core::DeviceBus bus{observer, live};
    ScriptedPrompter prompter;
    ScriptedChooser chooser;
    void take(int slot) { bus.slots[slot].type = core::kModuleMelody; }
    int ask(SlotDirection d, int type = core::kModuleOctalLed) {
        return askForSlot(bus, d, moduleSelectTitle(type), prompter, chooser);
    }
};

TEST(SlotSelect, AllFreeOutputOffersBothInOrder) {
    BusRig r;
    const SlotOffer offer = freeSlots(r.bus, SlotDirection::Output);
    EXPECT_EQ(offer.slots, (std::vector<int>{2, 3}));
    EXPECT_EQ(offer.entries, (std::vector<std::string>{"Output Device 0", "Output Device 1"}));
    EXPECT_EQ(selectionText("OCTAL LED Display IO Select~", offer),
              "OCTAL LED Display IO Select~Output Device 0~Output Device 1~");
}

TEST(SlotSelect, InputEntries) {
    BusRig r;
    r.take(0);
    const SlotOffer offer = freeSlots(r.bus, SlotDirection::Input);
    EXPECT_EQ(offer.slots, std::vector<int>{1});
    EXPECT_EQ(selectionText("Keyboard IO Select~", offer), "Keyboard IO Select~Input Device 1~");
}

TEST(SlotSelect, ChoiceMapsToOfferedSlot) {
    BusRig r;
    r.chooser.answer = 1;
    EXPECT_EQ(r.ask(SlotDirection::Output), 3);
    r.chooser.answer = 0;
    EXPECT_EQ(r.ask(SlotDirection::Output), 2);
    r.chooser.answer = 0;
    EXPECT_EQ(r.ask(SlotDirection::Input), 0);
    r.chooser.answer = 1;
    EXPECT_EQ(r.ask(SlotDirection::Input), 1);
}

TEST(SlotSelect, OnlySlotThreeFreeFirstEntryIsSlotThree) {
    BusRig r;
    r.take(2);
    r.chooser.answer = 0;
    EXPECT_EQ(r.ask(SlotDirection::Output, core::kModuleDecimalLed), 3);
    EXPECT_EQ(r.chooser.texts.back(), "Decimal LED Display IO Select~Output Device 1~");
}

TEST(SlotSelect, OnlyInputOneFreeFirstEntryIsSlotOne) {
    BusRig r;
    r.take(0);
    r.chooser.answer = 0;
    EXPECT_EQ(r.ask(SlotDirection::Input, core::kModuleAscii), 1);
}

// OK pressed at once opens the module in the first free slot, never nowhere.
TEST(SlotSelect, OkAloneTakesTheFirstFreeSlot) {
    struct Case {
        std::vector<int> taken;
        SlotDirection direction;
        int slot;
    };
    const Case cases[] = {
        {{}, SlotDirection::Output, 2}, {{2}, SlotDirection::Output, 3},
        {{}, SlotDirection::Input, 0},  {{0}, SlotDirection::Input, 1},
        {{0, 1}, SlotDirection::Output, 2},
    };
    for (const Case& c : cases) {
        BusRig r;
        for (const int s : c.taken) r.take(s);
        r.chooser.pressOk = true;
        EXPECT_EQ(r.ask(c.direction), c.slot) << "first taken " << (c.taken.empty() ? -1 : c.taken[0]);
    }
}

TEST(SlotSelect, CancelOpensNothing) {
    BusRig r;
    r.chooser.answer = -1;
    EXPECT_EQ(r.ask(SlotDirection::Output), -1);
    EXPECT_TRUE(r.prompter.messages.empty());
}

TEST(SlotSelect, ChoiceOutsideOfferIsRefused) {
    BusRig r;
    r.take(2);
    EXPECT_EQ(slotForChoice(freeSlots(r.bus, SlotDirection::Output), 1), -1);
    EXPECT_EQ(slotForChoice(freeSlots(r.bus, SlotDirection::Output), 7), -1);
}

TEST(SlotSelect, NoFreeOutputShowsMessageWithoutDialog) {
    BusRig r;
    r.take(2);
    r.take(3);
    EXPECT_EQ(r.ask(SlotDirection::Output), -1);
    EXPECT_EQ(r.prompter.messages, std::vector<std::string>{"No output devices available"});
    EXPECT_TRUE(r.chooser.texts.empty());
}

TEST(SlotSelect, NoFreeInputShowsMessage) {
    BusRig r;
    r.take(0);
    r.take(1);
    EXPECT_EQ(r.ask(SlotDirection::Input, core::kModuleKeypad), -1);
    EXPECT_EQ(r.prompter.messages, std::vector<std::string>{"No input devices available"});
}

TEST(SlotSelect, InputSlotsDoNotCountForOutput) {
    BusRig r;
    r.take(0);
    r.take(1);
    EXPECT_EQ(freeSlots(r.bus, SlotDirection::Output).slots.size(), 2u);
}

TEST(SlotSelect, TitlesOfEveryAskingModule) {
    EXPECT_STREQ(moduleSelectTitle(core::kModuleOctalLed), "OCTAL LED Display IO Select~");
    EXPECT_STREQ(moduleSelectTitle(core::kModuleDecimalLed), "Decimal LED Display IO Select~");
    EXPECT_STREQ(moduleSelectTitle(core::kModuleKeypad), "Keyboard IO Select~");
    EXPECT_STREQ(moduleSelectTitle(core::kModuleKeypad2), "Keyboard IO Select~");
    EXPECT_STREQ(moduleSelectTitle(core::kModuleMagTape), "Magnetic Tape IO Select~");
    EXPECT_STREQ(moduleSelectTitle(core::kModuleMelody), "Sound Player IO Select~");
    EXPECT_STREQ(moduleSelectTitle(core::kModulePrinter), "Printer IO Select~");
    EXPECT_STREQ(moduleSelectTitle(core::kModuleTapePunch), "Tape Punch IO Select~");
    EXPECT_STREQ(moduleSelectTitle(core::kModuleAscii), "ASCII Keyboard IO Select~");
    EXPECT_STREQ(moduleSelectTitle(core::kModuleDisplay10), "8 Digit Display IO Select~");
    EXPECT_STREQ(moduleSelectTitle(core::kModuleDisplayAlpha), "5x7 Display IO Select~");
    EXPECT_STREQ(moduleSelectTitle(core::kModuleTapeReader), "");
}

TEST(SlotSelect, SwitchRegisterQuestionOnlyWhenASwitchIsThrown) {
    ScriptedPrompter p;
    std::array<uint8_t, core::kSwitchCount> sw{};
    sw[13] = sw[14] = 1;  // control switches do not matter
    EXPECT_TRUE(confirmSwitchRegisterAllOnes(sw, p));
    EXPECT_TRUE(p.messages.empty());
    sw[5] = 1;
    p.yes = false;
    EXPECT_FALSE(confirmSwitchRegisterAllOnes(sw, p));
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0],
              "The switch register must be all 1's to correctly operate this module\r\rContinue?");
    p.yes = true;
    EXPECT_TRUE(confirmSwitchRegisterAllOnes(sw, p));
}

TEST(SlotSelect, TapeReaderNeedsInputSlotZeroFirst) {
    BusRig r;
    std::array<uint8_t, core::kSwitchCount> sw{};
    sw[0] = 1;
    r.take(0);
    EXPECT_FALSE(mayOpenTapeReader(r.bus, sw, r.prompter));
    EXPECT_EQ(r.prompter.messages,
              std::vector<std::string>{"Cannot use Paper Tape Module\rInput device 0 is in use"});
    r.bus.slots[0].type = core::kModuleNone;
    r.prompter.messages.clear();
    r.prompter.yes = false;
    EXPECT_FALSE(mayOpenTapeReader(r.bus, sw, r.prompter));
    EXPECT_EQ(r.prompter.messages.size(), 1u);
    sw[0] = 0;
    EXPECT_TRUE(mayOpenTapeReader(r.bus, sw, r.prompter));
}

}  // namespace
}  // namespace mira::devices
