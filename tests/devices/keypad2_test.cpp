// KeyPad 2: the key table and its defaults, key presses through a real input
// instruction, key data files (round trip, every refusal, nothing of a failed file kept),
// settings line 009, and the save question before data is dropped.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/field_list.h"
#include "core/machine_rig.h"
#include "core/scrambled_file.h"
#include "devices/keypad2.h"

namespace mira::devices {
namespace {

using core::test::Rig;
namespace op = core::test::op;
namespace fs = std::filesystem;

struct ScriptedPrompter final : core::Prompter {
    void info(const std::string& t) override { messages.push_back(t); }
    void error(const std::string& t) override { messages.push_back(t); }
    bool askYesNo(const std::string& t) override {
        messages.push_back(t);
        return true;
    }
    core::Answer askYesNoCancel(const std::string& t) override {
        messages.push_back(t);
        return answer;
    }
    std::vector<std::string> messages;
    core::Answer answer = core::Answer::Yes;
};

struct Host final : Keypad2Host {
    void refreshKeys() override { ++refreshes; }
    void drawLabels() override {}
    bool windowVisible() const override { return true; }
    int refreshes = 0;
};

struct Dialogs final : KeyFileDialogs {
    std::optional<fs::path> openPath() override {
        ++opens;
        return open;
    }
    std::optional<fs::path> savePath() override {
        ++saves;
        return save;
    }
    std::optional<fs::path> open, save;
    int opens = 0, saves = 0;
};

class TempDir {
  public:
    TempDir()
        : path_(fs::temp_directory_path() /
                ("kpf-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))) {
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    static inline int counter_ = 0;
    fs::path path_;
};

struct PadRig {
    Rig rig;
    KeyTable table = KeyTable::defaults();
    ScriptedPrompter prompter;
    Host host;
    Keypad2 pad{rig.m.bus, table, prompter, &host};
    void open(int slot = 0) {
        pad.PutDevice(slot);
        pad.doInit();
    }
    int flag(int slot = 0) const { return rig.m.bus.slots[slot].flag; }
};

void writeRaw(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

KeyTable sampleTable() {
    KeyTable t;
    for (int i = 0; i < kKeypad2KeyCount; ++i) {
        t.captions[i] = i % 5 == 0 ? "" : "k" + std::to_string(i);
        t.values[i] = 200 + i % 50;
    }
    t.hideBlank = true;
    return t;
}

TEST(Keypad2Table, DefaultsAreCalculatorKeysWithTheirNumbers) {
    const KeyTable t = KeyTable::defaults();
    EXPECT_EQ(t.captions[0], "MC");
    EXPECT_EQ(t.captions[5], "7");
    EXPECT_EQ(t.captions[23], "E");
    EXPECT_EQ(t.captions[19], "0");
    EXPECT_EQ(t.values[5], 5);
    EXPECT_EQ(t.values[23], 23);
    EXPECT_FALSE(t.hideBlank);
}

TEST(Keypad2Table, KeysAreNamedByCaptionOrNumber) {
    const KeyTable t = KeyTable::defaults();
    EXPECT_EQ(keypad2KeyByName(t, "7"), 5);
    EXPECT_EQ(keypad2KeyByName(t, "1/x"), 9);
    EXPECT_EQ(keypad2KeyByName(t, "#23"), 23);
    EXPECT_EQ(keypad2KeyByName(t, "#0"), 0);
    EXPECT_EQ(keypad2KeyByName(t, "#24"), std::nullopt);
    EXPECT_EQ(keypad2KeyByName(t, "#x"), std::nullopt);
    EXPECT_EQ(keypad2KeyByName(t, "#-1"), std::nullopt);
    EXPECT_EQ(keypad2KeyByName(t, "Q"), std::nullopt);
    EXPECT_EQ(keypad2KeyByName(t, ""), std::nullopt);
}

TEST(Keypad2, PressOffersTheTableValueAndProgramReadsIt) {
    PadRig r;
    r.open();
    EXPECT_EQ(r.rig.m.bus.slots[0].type, core::kModuleKeypad2);
    EXPECT_EQ(r.flag(), 1);
    r.table.values[5] = 0xA7;
    ASSERT_TRUE(r.pad.pressKey(5));
    EXPECT_EQ(r.flag(), 0);
    r.rig.load({op::IN(0, op::kSkip), op::JMP(0), op::IN(0, op::kTransfer | op::kPulse),
                op::DCA(12), op::HLT});
    r.rig.start();
    r.rig.run();
    EXPECT_EQ(r.rig.m.memory[12], 0xA7);
    EXPECT_EQ(r.flag(), 1);
    EXPECT_EQ(r.pad.keyData(), 0xA7);  // no shifting on this keypad
}

TEST(Keypad2, BlankKeyDeliversNothingAndHidesOnlyWithTheFlag) {
    PadRig r;
    r.open();
    r.table.captions[3].clear();
    EXPECT_TRUE(r.pad.keyVisible(3));
    EXPECT_FALSE(r.pad.pressKey(3));
    EXPECT_EQ(r.flag(), 1);
    r.table.hideBlank = true;
    EXPECT_FALSE(r.pad.keyVisible(3));
    EXPECT_TRUE(r.pad.keyVisible(4));
}

TEST(Keypad2, ResetAndCloseLeaveNoKeyAndFreeTheSlot) {
    PadRig r;
    r.open(1);
    r.pad.pressKey(7);
    r.rig.m.bus.ResetDevices();
    EXPECT_EQ(r.flag(1), 1);
    r.pad.pressKey(7);
    r.pad.close();
    EXPECT_EQ(r.rig.m.bus.slots[1].type, core::kModuleNone);
    EXPECT_EQ(r.flag(1), 1);
    EXPECT_EQ(r.pad.labelText(), "No Device Set");
}

TEST(KeyFile, RoundTripKeepsEveryCaptionValueAndFlag) {
    TempDir dir;
    const KeyTable t = sampleTable();
    ASSERT_TRUE(writeKeyFile(dir / "calc.v2.kpf", t));
    const KeyFileRead r = readKeyFile(dir / "calc.v2.kpf");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.table, t);
    EXPECT_EQ(keyFileLabel(dir / "calc.v2.kpf"), "calc");
    // The stored form is the container with exactly three lines.
    const auto c = core::readContainerFile(dir / "calc.v2.kpf");
    ASSERT_EQ(c.lines.size(), 3u);
    EXPECT_EQ(c.lines[2], "-1");
    EXPECT_EQ(c.lines[1].substr(0, 8), "200~201~");
}

TEST(KeyFile, AFinalLineBreakStillMakesThreeLines) {
    TempDir dir;
    ASSERT_TRUE(core::writeContainerFile(dir / "crlf.kpf", {"A~", "7~", "-1", ""}));
    const KeyFileRead r = readKeyFile(dir / "crlf.kpf");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.table.captions[0], "A");
    EXPECT_TRUE(r.table.hideBlank);
    ASSERT_TRUE(core::writeContainerFile(dir / "blank3.kpf", {"A~", "7~", "", ""}));
    EXPECT_TRUE(readKeyFile(dir / "blank3.kpf").ok);  // an empty flag line reads false
    ASSERT_TRUE(core::writeContainerFile(dir / "five.kpf", {"A~", "7~", "0", "", ""}));
    EXPECT_FALSE(readKeyFile(dir / "five.kpf").ok);
}

TEST(KeyFile, FieldsThatDoNotParseTakeTheirFallbacks) {
    const KeyTable t = keyTableFromLines("A~B~", "7~x~300~-1~~12~", "1");
    EXPECT_EQ(t.captions[0], "A");
    EXPECT_EQ(t.captions[1], "B");
    EXPECT_EQ(t.captions[2], "");
    EXPECT_EQ(t.values[0], 7);
    EXPECT_EQ(t.values[1], 0);
    EXPECT_EQ(t.values[2], 0);  // out of 0..255
    EXPECT_EQ(t.values[3], 0);
    EXPECT_EQ(t.values[4], 0);
    EXPECT_EQ(t.values[5], 12);
    EXPECT_EQ(t.values[23], 0);
    EXPECT_FALSE(t.hideBlank);
}

// Every way a file can fail gives the one message and keeps table, label and changed flag.
TEST(KeyFile, FailedLoadsChangeNothing) {
    TempDir dir;
    const KeyTable good = sampleTable();
    ASSERT_TRUE(writeKeyFile(dir / "good.kpf", good));
    std::string full;
    {
        std::ifstream in(dir / "good.kpf", std::ios::binary);
        full.assign(std::istreambuf_iterator<char>(in), {});
    }
    writeRaw(dir / "short.kpf", full.substr(0, full.size() - 5));  // cut inside line 3
    writeRaw(dir / "garbage.kpf", "not a container at all");
    writeRaw(dir / "empty.kpf", "");
    ASSERT_TRUE(core::writeContainerFile(dir / "two.kpf", {"A~", "1~"}));
    ASSERT_TRUE(core::writeContainerFile(dir / "four.kpf", {"A~", "1~", "0", "x"}));
    const char* bad[] = {"missing.kpf", "short.kpf", "garbage.kpf",
                         "empty.kpf",   "two.kpf",   "four.kpf"};
    for (const char* name : bad) {
        PadRig r;
        r.open();
        r.pad.PutFileName("mine");
        r.pad.tableEdited(false, false);
        const KeyTable before = r.table;
        EXPECT_FALSE(r.pad.loadFile(dir / name)) << name;
        EXPECT_EQ(r.prompter.messages, std::vector<std::string>{"Error: Failed to open file"})
            << name;
        EXPECT_EQ(r.table, before) << name;
        EXPECT_EQ(r.pad.fileLabel(), "mine") << name;
        EXPECT_TRUE(r.pad.changed()) << name;
    }
}

TEST(KeyFile, LoadTakesTableLabelAndClearsChanged) {
    TempDir dir;
    ASSERT_TRUE(writeKeyFile(dir / "hex.kpf", sampleTable()));
    PadRig r;
    r.open();
    r.pad.tableEdited(false, false);
    const int refreshes = r.host.refreshes;
    ASSERT_TRUE(r.pad.loadFile(dir / "hex.kpf"));
    EXPECT_EQ(r.table, sampleTable());
    EXPECT_EQ(r.pad.fileLabel(), "hex");
    EXPECT_FALSE(r.pad.changed());
    EXPECT_GT(r.host.refreshes, refreshes);
    EXPECT_TRUE(r.prompter.messages.empty());
}

TEST(KeyFile, SaveFailureKeepsLabelAndChangedFlag) {
    TempDir dir;
    PadRig r;
    r.pad.PutFileName("old");
    r.pad.tableEdited(false, false);
    EXPECT_FALSE(r.pad.saveFile(dir / "no-such-dir" / "x.kpf"));
    EXPECT_EQ(r.prompter.messages, std::vector<std::string>{"Error: Failed to save file\r\rthe folder of \"" +
                                                            (dir / "no-such-dir" / "x.kpf").string() +
                                                            "\" does not exist."});
    // A key file the user made read-only is not replaced behind its back.
    const auto locked = dir / "locked.kpf";
    std::ofstream(locked) << "x";
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read);
    EXPECT_FALSE(r.pad.saveFile(locked));
    EXPECT_EQ(r.prompter.messages.back(),
              "Error: Failed to save file\r\r\"" + locked.string() + "\" is read-only: it was kept as it was.");
    EXPECT_EQ(r.pad.fileLabel(), "old");
    EXPECT_TRUE(r.pad.changed());
    ASSERT_TRUE(r.pad.saveFile(dir / "new.kpf"));
    EXPECT_EQ(r.pad.fileLabel(), "new");
    EXPECT_FALSE(r.pad.changed());
}

TEST(KeyFile, LoadAsksToSaveChangedDataFirst) {
    TempDir dir;
    ASSERT_TRUE(writeKeyFile(dir / "other.kpf", sampleTable()));
    Dialogs dialogs;
    dialogs.open = dir / "other.kpf";

    {  // Cancel abandons the load before any dialog
        PadRig r;
        r.pad.tableEdited(false, false);
        r.prompter.answer = core::Answer::Cancel;
        EXPECT_FALSE(r.pad.Load1Click(dialogs));
        EXPECT_EQ(r.prompter.messages,
                  std::vector<std::string>{"Keypad data has changed\r\rSave changes?"});
        EXPECT_EQ(dialogs.opens, 0);
        EXPECT_EQ(r.table, KeyTable::defaults());
    }
    {  // No drops the edits and loads
        PadRig r;
        r.pad.tableEdited(false, false);
        r.prompter.answer = core::Answer::No;
        EXPECT_TRUE(r.pad.Load1Click(dialogs));
        EXPECT_EQ(r.table, sampleTable());
    }
    {  // Yes saves first, then loads
        PadRig r;
        r.table.captions[0] = "Z";
        r.pad.tableEdited(false, false);
        dialogs.save = dir / "saved.kpf";
        EXPECT_TRUE(r.pad.Load1Click(dialogs));
        EXPECT_EQ(readKeyFile(dir / "saved.kpf").table.captions[0], "Z");
        EXPECT_EQ(r.table, sampleTable());
        EXPECT_EQ(r.pad.fileLabel(), "other");
    }
    {  // Yes with the save dialog cancelled keeps the edits rather than losing them
        PadRig r;
        r.table.captions[0] = "Z";
        r.pad.tableEdited(false, false);
        dialogs.save.reset();
        EXPECT_FALSE(r.pad.Load1Click(dialogs));
        EXPECT_EQ(r.table.captions[0], "Z");
        EXPECT_TRUE(r.pad.changed());
    }
    {  // Unchanged data loads without a question
        PadRig r;
        EXPECT_TRUE(r.pad.Load1Click(dialogs));
        EXPECT_TRUE(r.prompter.messages.empty());
    }
}

TEST(Keypad2, FullDefaultClearsLabelAndEditMarksChanged) {
    PadRig r;
    r.pad.PutFileName("calc");
    r.pad.tableEdited(true, false);
    EXPECT_TRUE(r.table.hideBlank);
    EXPECT_EQ(r.pad.fileLabel(), "calc");
    EXPECT_TRUE(r.pad.changed());
    r.pad.tableEdited(false, true);
    EXPECT_EQ(r.pad.fileLabel(), "");
}

TEST(KeyTableLine, RoundTripsTableAndLabel) {
    const KeyTable t = sampleTable();
    const std::string line = keyTableLine(t, "calc");
    EXPECT_EQ(core::splitFields(line).size(), 50u);
    KeyTable back = KeyTable::defaults();
    std::string label;
    applyKeyTableLine(line, back, label);
    EXPECT_EQ(back, t);
    EXPECT_EQ(label, "calc");
    EXPECT_EQ(keyTableLine(KeyTable::defaults(), "").substr(0, 9), "MC~MR~M+~");
    const std::string defaults = keyTableLine(KeyTable::defaults(), "");
    EXPECT_EQ(defaults.substr(defaults.size() - 10), "~22~23~0~~");
}

TEST(KeyTableLine, EmptyLineKeepsDefaultsAndShortLineFillsBlanks) {
    KeyTable t = KeyTable::defaults();
    std::string label = "x";
    applyKeyTableLine("", t, label);
    EXPECT_EQ(t, KeyTable::defaults());
    EXPECT_EQ(label, "x");
    applyKeyTableLine("A~", t, label);
    EXPECT_EQ(t.captions[0], "A");
    EXPECT_EQ(t.captions[1], "");
    EXPECT_EQ(t.values[0], 0);
    EXPECT_FALSE(t.hideBlank);
    EXPECT_EQ(label, "");
}

}  // namespace
}  // namespace mira::devices
