// The printer module in virtual time: the print cycle and its flag, the repeat bit, lost
// characters, the 300-line roll, paper feed, the file questions and messages, the paper
// geometry, and a real program printing through the output instructions.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/machine_rig.h"
#include "core/scrambled_file.h"
#include "core/timer.h"
#include "devices/printer.h"

namespace mira::devices {
namespace {

namespace fs = std::filesystem;
using core::test::Rig;
namespace op = core::test::op;

class ScriptedPrompter final : public core::Prompter {
public:
    void info(const std::string& t) override { messages.push_back(t); }
    void error(const std::string& t) override { messages.push_back(t); }
    bool askYesNo(const std::string& t) override {
        messages.push_back(t);
        return next() == core::Answer::Yes;
    }
    core::Answer askYesNoCancel(const std::string& t) override {
        messages.push_back(t);
        return next();
    }
    core::Answer next() {
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question";
            return core::Answer::Cancel;
        }
        const core::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<core::Answer> answers;
    std::vector<std::string> messages;
};

class RecordingSounds final : public core::SoundPlayer {
public:
    explicit RecordingSounds(core::VirtualClock& c) : clock(c) {}
    void play(core::SoundId id) override { played.push_back({id, clock.nowMs()}); }
    struct Played {
        core::SoundId id;
        int64_t atMs;
    };
    core::VirtualClock& clock;
    std::vector<Played> played;
};

class FakeHost final : public PrinterHost {
public:
    void drawPaper() override { ++papers; }
    void drawLabels() override { ++labels; }
    void showFeedButton(bool pressed) override { feedShown = pressed; }
    std::string chooseOpenFile() override { return openName; }
    std::string chooseSaveFile(const std::string& initial) override {
        saveInitial.push_back(initial);
        return saveName;
    }
    bool windowVisible() const override { return true; }

    int papers = 0, labels = 0;
    bool feedShown = false;
    std::string openName, saveName;
    std::vector<std::string> saveInitial;
};

struct PrinterRig {
    Rig rig;
    core::VirtualClock clock;
    ScriptedPrompter prompter;
    RecordingSounds player{clock};
    core::SoundEffects sounds;
    FakeHost host;
    Printer printer{rig.m.bus, clock, prompter, sounds, &host};

    explicit PrinterRig(int slot = 2) {
        sounds.setPlayer(&player);
        printer.PutDevice(slot);
        printer.doInit();
    }
    int flag() const { return rig.m.bus.slots[2].flag; }
    // An output instruction with its pulse, as the bus delivers them.
    void send(int value) {
        rig.m.bus.slots[2].output = value;
        rig.m.bus.notifyOutput(2);
        pulse();
    }
    void pulse() {
        rig.m.bus.SetOutputResetFlag(2, 0);
        rig.m.bus.SetOutputResetFlag(2, 1);
    }
    // Prints one whole line with the repeat bit and waits for the flag.
    void printLine(int code) {
        send(0x80 | code);
        clock.advance(620);
    }
    std::vector<std::string> rollText() const {
        std::vector<std::string> t;
        for (const auto& l : printer.roll()) t.push_back(rollLineText(l));
        return t;
    }
};

class TempDir {
public:
    TempDir() : dir(fs::temp_directory_path() / ("mira8_printer_" + std::to_string(::getpid()))) {
        fs::create_directories(dir);
    }
    ~TempDir() { fs::remove_all(dir); }
    std::string path(const char* name) const { return (dir / name).string(); }
    fs::path dir;
};

TEST(Printer, PutDeviceBindsReadyAtOnce) {
    PrinterRig r(3);
    EXPECT_EQ(r.rig.m.bus.slots[3].type, core::kModulePrinter);
    EXPECT_EQ(r.rig.m.bus.slots[3].flag, 0);
    EXPECT_EQ(r.printer.GetDevice(), 3);
    r.printer.close();
    EXPECT_EQ(r.rig.m.bus.slots[3].type, core::kModuleNone);
    EXPECT_EQ(r.rig.m.bus.slots[3].flag, 1);
    EXPECT_EQ(r.printer.GetDevice(), -1);
}

TEST(Printer, ShortLinePrintsFiveHundredMillisecondsAfterTheFirstPulse) {
    PrinterRig r;
    r.send(1);
    EXPECT_EQ(r.flag(), 1);
    EXPECT_EQ(r.printer.state(), Printer::HeadStarting);
    r.clock.advance(100);
    EXPECT_EQ(r.printer.state(), Printer::Accepting);
    EXPECT_EQ(r.flag(), 1) << "the head start does not free the flag";
    r.clock.advance(20);
    EXPECT_EQ(r.flag(), 0);
    r.send(2);
    EXPECT_EQ(r.flag(), 1);
    r.clock.advance(20);
    EXPECT_EQ(r.flag(), 0);
    r.send(3);
    r.clock.advance(20);
    EXPECT_EQ(r.printer.bufferText(), "ABC");
    // The sender pauses: the line goes to print at tick 20, 500 ms after the first pulse.
    r.clock.advance(499 - 160);
    EXPECT_EQ(r.printer.state(), Printer::Accepting);
    r.clock.advance(1);
    EXPECT_EQ(r.printer.state(), Printer::Printing);
    EXPECT_EQ(r.printer.bufferText(), "ABC                 ");
    EXPECT_EQ(r.flag(), 1);
    ASSERT_EQ(r.player.played.size(), 2u);
    EXPECT_EQ(r.player.played[0].id, core::SoundId::Prnp);
    EXPECT_EQ(r.player.played[0].atMs, 100);
    EXPECT_EQ(r.player.played[1].id, core::SoundId::Prnr);
    EXPECT_EQ(r.player.played[1].atMs, 500);
    // On the roll 250 ms later; ready again after another 250 ms.
    r.clock.advance(249);
    EXPECT_TRUE(r.printer.roll().empty());
    r.clock.advance(1);
    ASSERT_EQ(r.printer.roll().size(), 1u);
    EXPECT_EQ(r.printer.roll()[0], "1~2~3~32~32~32~32~32~32~32~32~32~32~32~32~32~32~32~32~32~");
    EXPECT_TRUE(r.printer.rollChanged());
    EXPECT_EQ(r.flag(), 1);
    r.clock.advance(249);
    EXPECT_EQ(r.flag(), 1);
    r.clock.advance(1);
    EXPECT_EQ(r.flag(), 0);
    EXPECT_EQ(r.printer.state(), Printer::Idle);
    EXPECT_TRUE(r.printer.lineBuffer().empty());
    EXPECT_FALSE(r.printer.printing());
}

TEST(Printer, RepeatBitFillsTheLineWhichPrintsAtTheNextTick) {
    PrinterRig r;
    r.send(160);  // bit 7 and the space
    EXPECT_EQ(r.printer.bufferText(), std::string(20, ' '));
    r.clock.advance(120);
    EXPECT_EQ(r.printer.state(), Printer::Printing);
    EXPECT_EQ(r.flag(), 1);
    r.clock.advance(250);
    EXPECT_EQ(r.rollText(), std::vector<std::string>{std::string(20, ' ')});
    r.clock.advance(250);
    EXPECT_EQ(r.flag(), 0);

    // After a character the repeat fills only what is left; bit 6 is ignored.
    r.send(0x41);  // A
    r.clock.advance(120);
    r.send(0x80 | 0x40 | 3);  // C to the end
    EXPECT_EQ(r.printer.bufferText(), "A" + std::string(19, 'C'));
}

TEST(Printer, CharactersArrivingWhileTheBufferIsFullAreLost) {
    PrinterRig r;
    r.send(0x80 | 8);  // H x 20
    r.send(1);
    r.send(0x80 | 2);
    EXPECT_EQ(r.printer.bufferText(), std::string(20, 'H'));
    r.clock.advance(120);  // printing
    r.send(3);
    r.clock.advance(250);  // on the roll, line done
    r.send(4);
    EXPECT_EQ(r.printer.bufferText(), std::string(20, 'H'));
    r.clock.advance(250);
    EXPECT_TRUE(r.printer.lineBuffer().empty());
    EXPECT_EQ(r.rollText(), std::vector<std::string>{std::string(20, 'H')});
    // The next line starts clean.
    r.send(5);
    EXPECT_EQ(r.printer.bufferText(), "E");
}

TEST(Printer, PulseDuringACycleOnlyMarksBusy) {
    PrinterRig r;
    r.send(1);
    r.clock.advance(120);
    ASSERT_EQ(r.flag(), 0);
    r.pulse();
    EXPECT_EQ(r.flag(), 1);
    EXPECT_EQ(r.printer.state(), Printer::Accepting);
    r.clock.advance(20);
    EXPECT_EQ(r.flag(), 0);
    EXPECT_EQ(r.printer.tickCount(), 2);
    // One cycle only: the line still prints 500 ms after the first pulse.
    r.clock.advance(359);
    EXPECT_EQ(r.printer.state(), Printer::Accepting);
    r.clock.advance(1);
    EXPECT_EQ(r.printer.state(), Printer::Printing);
}

TEST(Printer, TheThreeHundredAndFirstLineRemovesTheOldest) {
    PrinterRig r;
    for (int i = 0; i < 300; ++i) r.printLine(1 + i % 26);
    ASSERT_EQ(r.printer.roll().size(), 300u);
    EXPECT_EQ(r.rollText().front(), std::string(20, 'A'));
    r.printLine(48);
    ASSERT_EQ(r.printer.roll().size(), 300u);
    EXPECT_EQ(r.rollText().front(), std::string(20, 'B'));
    EXPECT_EQ(r.rollText().back(), std::string(20, '0'));
}

TEST(Printer, LoadedLongRollKeepsItsLengthWhilePrinting) {
    TempDir d;
    std::vector<std::string> lines(400, "1~");
    lines[0] = "2~";
    ASSERT_TRUE(core::writeContainerFile(d.path("long.prf"), lines));
    PrinterRig r;
    ASSERT_TRUE(r.printer.loadFile(d.path("long.prf")));
    EXPECT_EQ(r.printer.roll().size(), 400u);
    EXPECT_FALSE(r.printer.rollChanged());
    r.printLine(3);
    EXPECT_EQ(r.printer.roll().size(), 400u);
    EXPECT_EQ(r.printer.roll().front(), "1~");
}

TEST(Printer, ResetStopsTheCycleAndLeavesTheFlag) {
    PrinterRig r;
    r.send(0x80 | 1);
    r.clock.advance(120);
    ASSERT_EQ(r.flag(), 1);
    r.printer.doReset();
    EXPECT_EQ(r.printer.state(), Printer::Idle);
    EXPECT_TRUE(r.printer.lineBuffer().empty());
    EXPECT_EQ(r.printer.tickCount(), 0);
    EXPECT_FALSE(r.printer.printing());
    EXPECT_EQ(r.flag(), 1);
    r.clock.advance(2000);
    EXPECT_TRUE(r.printer.roll().empty());
    // The next pulse starts a fresh cycle, which frees the flag.
    r.send(1);
    r.clock.advance(120);
    EXPECT_EQ(r.flag(), 0);
}

TEST(Printer, PaperFeedButton) {
    PrinterRig r;
    EXPECT_FALSE(r.printer.pressFeed(312, 180));
    EXPECT_FALSE(r.printer.pressFeed(320, 186));
    ASSERT_TRUE(r.printer.pressFeed(313, 177));
    EXPECT_TRUE(r.host.feedShown);
    EXPECT_EQ(r.printer.roll(), std::vector<std::string>{""});
    EXPECT_TRUE(r.printer.rollChanged());
    r.clock.advance(1000);
    EXPECT_EQ(r.printer.roll().size(), 3u);
    r.printer.releaseFeed();
    EXPECT_FALSE(r.host.feedShown);
    r.clock.advance(1000);
    EXPECT_EQ(r.printer.roll().size(), 3u);
    EXPECT_EQ(r.player.played.size(), 3u);
    EXPECT_EQ(r.player.played[2].id, core::SoundId::Prnf);
    EXPECT_EQ(r.rollText(), (std::vector<std::string>{"", "", ""}));

    // A reset pulse stops the feed; no feed while the head works.
    ASSERT_TRUE(r.printer.pressFeed(331, 185));
    r.send(1);
    EXPECT_FALSE(r.printer.feeding());
    r.printer.releaseFeed();
    EXPECT_FALSE(r.printer.pressFeed(320, 180));
    EXPECT_EQ(r.printer.roll().size(), 4u);
}

TEST(Printer, SoundsOnlyWithSoundEffectsOn) {
    PrinterRig r;
    r.sounds.enabled = false;
    r.printLine(1);
    EXPECT_TRUE(r.player.played.empty());
}

TEST(Printer, SaveAndLoadThroughTheMenu) {
    TempDir d;
    PrinterRig r;
    r.printLine(1);
    r.host.saveName = d.path("roll.prf");
    ASSERT_TRUE(r.printer.saveRoll());
    EXPECT_EQ(r.host.saveInitial.back(), "*.prf");
    EXPECT_FALSE(r.printer.rollChanged());
    EXPECT_EQ(r.printer.rollFileName(), d.path("roll.prf"));
    // The next save starts with the roll's file.
    r.host.saveName.clear();
    EXPECT_FALSE(r.printer.saveRoll());
    EXPECT_EQ(r.host.saveInitial.back(), d.path("roll.prf"));

    PrinterRig other;
    other.host.openName = d.path("roll.prf");
    ASSERT_TRUE(other.printer.loadRoll());
    EXPECT_EQ(other.printer.roll(), r.printer.roll());
    EXPECT_TRUE(other.prompter.messages.empty()) << "an unchanged roll needs no question";
}

TEST(Printer, LoadAsksToSaveAChangedRoll) {
    TempDir d;
    ASSERT_TRUE(core::writeContainerFile(d.path("in.prf"), {"9~"}));
    PrinterRig r;
    r.printLine(1);
    r.host.openName = d.path("in.prf");

    r.prompter.answers = {core::Answer::Cancel};
    EXPECT_FALSE(r.printer.loadRoll());
    EXPECT_EQ(r.prompter.messages, std::vector<std::string>{"Save print roll before continuing?"});
    EXPECT_EQ(r.rollText().size(), 1u);

    // Yes with a save that fails abandons the load, and the roll stays changed.
    r.prompter.answers = {core::Answer::Yes};
    r.host.saveName = (d.dir / "missing-dir" / "x.prf").string();
    EXPECT_FALSE(r.printer.loadRoll());
    EXPECT_EQ(r.prompter.messages.back(), "ERROR: Failed to save printer file\r\rthe folder of \"" +
                                              r.host.saveName + "\" does not exist.");
    EXPECT_TRUE(r.printer.rollChanged());
    EXPECT_EQ(r.printer.roll().size(), 1u);

    // Yes with a cancelled save dialog abandons it too.
    r.prompter.answers = {core::Answer::Yes};
    r.host.saveName.clear();
    EXPECT_FALSE(r.printer.loadRoll());
    EXPECT_EQ(r.printer.roll().size(), 1u);

    r.prompter.answers = {core::Answer::No};
    ASSERT_TRUE(r.printer.loadRoll());
    EXPECT_EQ(r.rollText(), std::vector<std::string>{"I                   "});
    EXPECT_FALSE(r.printer.rollChanged());
}

TEST(Printer, LoadRefusalsKeepTheRoll) {
    TempDir d;
    ASSERT_TRUE(core::writeContainerFile(d.path("bad.prf"), {"1~64~"}));
    PrinterRig r;
    r.printLine(1);
    r.prompter.answers = {core::Answer::No};
    r.host.openName = d.path("bad.prf");
    EXPECT_FALSE(r.printer.loadRoll());
    EXPECT_EQ(r.prompter.messages.back(), "ERROR: Printer file data has errors");
    EXPECT_EQ(r.printer.roll().size(), 1u);
    EXPECT_TRUE(r.printer.rollFileName().empty());

    EXPECT_FALSE(r.printer.loadFile(d.path("none.prf")));
    EXPECT_EQ(r.prompter.messages.back(), "ERROR: Failed to load printer file");
    EXPECT_EQ(r.printer.roll().size(), 1u);
}

TEST(Printer, DiscardAsksThenTearsTheRollOff) {
    TempDir d;
    PrinterRig r;
    EXPECT_FALSE(r.printer.discardRoll()) << "nothing to discard, no question";
    EXPECT_TRUE(r.prompter.messages.empty());
    r.printLine(1);
    r.host.saveName = d.path("a.prf");
    ASSERT_TRUE(r.printer.saveRoll());
    r.prompter.answers = {core::Answer::No};
    EXPECT_FALSE(r.printer.discardRoll());
    EXPECT_EQ(r.prompter.messages.back(), "Continue and discard paper roll?");
    EXPECT_EQ(r.printer.roll().size(), 1u);
    r.prompter.answers = {core::Answer::Yes};
    ASSERT_TRUE(r.printer.discardRoll());
    EXPECT_TRUE(r.printer.roll().empty());
    EXPECT_TRUE(r.printer.rollFileName().empty());
    EXPECT_EQ(r.player.played.back().id, core::SoundId::Rip);
}

TEST(Printer, DisconnectAndSettingsQuestions) {
    TempDir d;
    PrinterRig r;
    EXPECT_TRUE(r.printer.disconnect());
    r.printLine(1);
    r.prompter.answers = {core::Answer::Cancel};
    EXPECT_FALSE(r.printer.disconnect());
    r.prompter.answers = {core::Answer::No};
    EXPECT_TRUE(r.printer.disconnect());

    // Settings: Yes saves to the roll's own file without a dialog.
    r.printLine(2);
    r.host.saveName = d.path("s.prf");
    r.prompter.answers = {core::Answer::Yes};
    r.printer.askSaveBeforeSettings();
    EXPECT_FALSE(r.printer.rollChanged());
    r.printLine(3);
    const size_t dialogs = r.host.saveInitial.size();
    r.prompter.answers = {core::Answer::Yes};
    r.printer.askSaveBeforeSettings();
    EXPECT_EQ(r.host.saveInitial.size(), dialogs);
    EXPECT_EQ(core::readContainerFile(d.path("s.prf")).lines.size(), 3u);

    // A save that fails says so and keeps the roll marked changed.
    r.printLine(4);
    fs::remove_all(d.dir);
    r.prompter.answers = {core::Answer::Yes};
    r.printer.askSaveBeforeSettings();
    EXPECT_EQ(r.prompter.messages.back().substr(0, 36), "ERROR: Failed to save printer file\r\r");
    EXPECT_TRUE(r.printer.rollChanged());
    // An unchanged roll asks nothing.
    PrinterRig quiet;
    quiet.printer.askSaveBeforeSettings();
    EXPECT_TRUE(quiet.prompter.messages.empty());
}

TEST(Printer, WindowStateStringCarriesTheRollFile) {
    TempDir d;
    ASSERT_TRUE(core::writeContainerFile(d.path("w.prf"), {"1~", "", "2~"}));
    PrinterRig r;
    r.printer.applyState("10~20~" + d.path("w.prf") + "~");
    EXPECT_EQ(r.printer.roll().size(), 3u);
    EXPECT_FALSE(r.printer.rollChanged());
    EXPECT_EQ(r.printer.stateString(10, 20), "10~20~" + d.path("w.prf") + "~");

    PrinterRig missing;
    missing.printer.applyState("0~0~" + d.path("gone.prf") + "~");
    EXPECT_EQ(missing.prompter.messages, std::vector<std::string>{"ERROR: Failed to load printer file"});
    EXPECT_EQ(missing.printer.stateString(1, 2), "1~2~~");
}

TEST(Printer, PaperHangsLowForAShortRoll) {
    PrinterRig r;
    EXPECT_EQ(r.printer.paperLayout().paperTop, 70);
    EXPECT_TRUE(r.printer.paperLayout().lines.empty());
    r.printLine(1);
    r.printer.pressFeed(320, 180);
    r.printer.releaseFeed();
    r.printLine(2);
    PaperLayout p = r.printer.paperLayout();
    EXPECT_EQ(p.paperTop, 40);
    ASSERT_EQ(p.lines.size(), 2u);  // the fed line takes a step but is not drawn
    EXPECT_EQ(p.lines[0].rollIndex, 2);
    EXPECT_EQ(p.lines[0].y, 60);
    EXPECT_EQ(p.lines[1].rollIndex, 0);
    EXPECT_EQ(p.lines[1].y, 40);
    // The newest line always sits 100 pixels below the paper area's top.
    for (int i = 0; i < 20; ++i) r.printLine(3);
    p = r.printer.paperLayout();
    EXPECT_EQ(p.paperTop, 0);
    ASSERT_EQ(p.lines.size(), 11u);  // y 100, 90, ... 0
    EXPECT_EQ(p.lines.front().y, 100);
    EXPECT_EQ(p.lines.back().y, 0);
    EXPECT_EQ(p.lines.front().rollIndex, 22);
}

TEST(Printer, ProgramPrintsThroughTheOutputInstructions) {
    // Sends "AB", then a repeat space, waiting on the flag after each: the last wait
    // ends when the line is on the roll.
    PrinterRig r;
    const int put = op::OUT(0, op::kTransfer | op::kPulse), sko = op::OUT(0, op::kSkip);
    r.rig.load({op::TAD(13), put, sko, op::JMP(2), op::TAD(14), put, sko, op::JMP(6), op::TAD(15),
                put, sko, op::JMP(10), op::HLT, 1, 2, 0x80 | 32});
    r.rig.start(0);
    const auto result = r.rig.rc.runHeadless(UINT64_MAX, 10'000'000, &r.clock);
    EXPECT_EQ(result.reason, core::RunControl::HeadlessStop::Stopped);
    EXPECT_EQ(r.rollText(), std::vector<std::string>{"AB" + std::string(18, ' ')});
    EXPECT_EQ(r.flag(), 0);
    // First pulse at about 0; ticks at 120 (A) and 140 (B) free the flag, the tick at
    // 160 finds the line full; on the roll at 410, ready at 660.
    EXPECT_NEAR(r.clock.nowMs(), 660, 2);
}

}  // namespace
}  // namespace mira::devices
