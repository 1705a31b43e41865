// The button captions dialog's editing: entry checks and their messages, the five reset
// choices, and leaving the dialog with or without the working copy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/key_captions.h"

namespace mira::devices {
namespace {

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

struct EditorRig {
    ScriptedPrompter prompter;
    KeyTable table = KeyTable::defaults();
    KeyCaptionsEditor ed{prompter, table};
    bool edit(int key, const std::string& text) {
        ed.selectKey(key);
        if (!ed.startEdit()) return false;
        return ed.acceptEdit(text);
    }
};

TEST(KeyCaptions, CaptionIsTrimmedAndLimitedToThreeCharacters) {
    EditorRig r;
    ASSERT_TRUE(r.edit(5, "  \tab \x01"));
    EXPECT_EQ(r.ed.working().captions[5], "ab");
    ASSERT_TRUE(r.edit(6, "ENTER"));
    EXPECT_EQ(r.ed.working().captions[6], "ENT");
    ASSERT_TRUE(r.edit(7, "   "));
    EXPECT_EQ(r.ed.working().captions[7], "");
    EXPECT_EQ(r.table, KeyTable::defaults());  // only the working copy changes
    EXPECT_FALSE(r.ed.editing());
}

TEST(KeyCaptions, TildeInCaptionIsRefusedAndEditingGoesOn) {
    EditorRig r;
    EXPECT_FALSE(r.edit(2, "a~b"));
    EXPECT_EQ(r.prompter.messages, std::vector<std::string>{"Illegal character found [ ~ ]"});
    EXPECT_TRUE(r.ed.editing());
    EXPECT_EQ(r.ed.working().captions[2], "M+");
    EXPECT_TRUE(r.ed.acceptEdit("ok"));
    EXPECT_EQ(r.ed.working().captions[2], "ok");
}

TEST(KeyCaptions, ValueMustBeDecimalZeroTo255) {
    EditorRig r;
    r.ed.setShowValues(true);
    for (const char* bad : {"256", "-1", "x", "", "1 2", "0x1"}) {
        r.prompter.messages.clear();
        EXPECT_FALSE(r.edit(4, bad)) << bad;
        EXPECT_EQ(r.prompter.messages, std::vector<std::string>{"ERROR: Invalid value"}) << bad;
        EXPECT_EQ(r.ed.working().values[4], 4) << bad;
        r.ed.cancelEdit();
    }
    ASSERT_TRUE(r.edit(4, " 255 "));
    EXPECT_EQ(r.ed.working().values[4], 255);
    ASSERT_TRUE(r.edit(4, "007"));
    EXPECT_EQ(r.ed.working().values[4], 7);
    EXPECT_EQ(r.ed.keyText(4), "7");
    r.ed.setShowValues(false);
    EXPECT_EQ(r.ed.keyText(4), "SQR");
}

TEST(KeyCaptions, EditNeedsASelectedKeyAndCancelKeepsTheEntry) {
    EditorRig r;
    EXPECT_FALSE(r.ed.startEdit());
    r.ed.selectKey(0);
    ASSERT_TRUE(r.ed.startEdit());
    r.ed.selectKey(9);  // the key panel is disabled while editing
    EXPECT_EQ(r.ed.selected(), 0);
    r.ed.cancelEdit();
    EXPECT_EQ(r.ed.selectedText(), "MC");
}

TEST(KeyCaptions, ResetChoicesSetAllKeysAndChooseWhatIsShown) {
    EditorRig r;
    r.ed.applyReset(KeyCaptionsEditor::Reset::ClearText);
    EXPECT_EQ(r.ed.working().captions[23], "");
    EXPECT_FALSE(r.ed.showValues());
    r.ed.applyReset(KeyCaptionsEditor::Reset::ZeroIndexes);
    EXPECT_EQ(r.ed.working().values[23], 0);
    EXPECT_TRUE(r.ed.showValues());
    r.ed.applyReset(KeyCaptionsEditor::Reset::DefaultText);
    EXPECT_EQ(r.ed.working().captions[23], "E");
    EXPECT_EQ(r.ed.working().values[23], 0);
    EXPECT_FALSE(r.ed.showValues());
    EXPECT_FALSE(r.ed.fullDefault());
    r.ed.applyReset(KeyCaptionsEditor::Reset::DefaultIndexes);
    EXPECT_EQ(r.ed.working().values[5], 5);  // "7" delivers 5
    EXPECT_EQ(r.ed.working().values[23], 23);
    r.edit(0, "Q");
    r.ed.applyReset(KeyCaptionsEditor::Reset::DefaultAll);
    EXPECT_EQ(r.ed.working().captions[0], "MC");
    EXPECT_TRUE(r.ed.fullDefault());
}

TEST(KeyCaptions, OkCopiesWorkingCopyButNotWhileEditing) {
    EditorRig r;
    r.edit(1, "R");
    r.ed.setHideBlank(true);
    r.ed.selectKey(2);
    r.ed.startEdit();
    EXPECT_EQ(r.ed.accept(r.table), KeyCaptionsEditor::Close::KeptOpen);
    EXPECT_EQ(r.prompter.messages, std::vector<std::string>{"Cannot close while editing data"});
    EXPECT_EQ(r.table, KeyTable::defaults());
    r.ed.cancelEdit();
    EXPECT_EQ(r.ed.accept(r.table), KeyCaptionsEditor::Close::Accepted);
    EXPECT_EQ(r.table.captions[1], "R");
    EXPECT_TRUE(r.table.hideBlank);
}

TEST(KeyCaptions, CancelAsksOnlyWhenCaptionsOrValuesDiffer) {
    {
        EditorRig r;
        r.ed.setHideBlank(true);  // the flag alone is no change of keys
        EXPECT_EQ(r.ed.cancel(r.table), KeyCaptionsEditor::Close::Discarded);
        EXPECT_TRUE(r.prompter.messages.empty());
    }
    for (auto answer : {core::Answer::Yes, core::Answer::No, core::Answer::Cancel}) {
        EditorRig r;
        r.prompter.answer = answer;
        r.edit(3, "Q");
        const auto result = r.ed.cancel(r.table);
        EXPECT_EQ(r.prompter.messages,
                  std::vector<std::string>{"Keypad data has changed\r\rSave changes?"});
        if (answer == core::Answer::Yes) {
            EXPECT_EQ(result, KeyCaptionsEditor::Close::Accepted);
            EXPECT_EQ(r.table.captions[3], "Q");
        } else {
            EXPECT_EQ(result, answer == core::Answer::No ? KeyCaptionsEditor::Close::Discarded
                                                         : KeyCaptionsEditor::Close::KeptOpen);
            EXPECT_EQ(r.table.captions[3], "M-");
        }
    }
}

}  // namespace
}  // namespace mira::devices
