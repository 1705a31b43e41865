// The alpha display: its font, command bytes, cursor and line rules, colours, the dot
// colours the window paints, and output instructions run through the processor.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/machine_rig.h"
#include "devices/alpha_display.h"
#include "devices/alpha_font.h"

namespace mira::devices {
namespace {

using core::test::Rig;
namespace op = core::test::op;

class FakeHost final : public AlphaDisplayHost {
public:
    void redraw() override { ++redraws; }
    bool windowVisible() const override { return visible; }
    int redraws = 0;
    bool visible = true;
};

struct AlphaRig {
    Rig rig;
    FakeHost host;
    AlphaDisplay d{rig.m.bus, &host};

    void open(int slot) {
        d.PutDevice(slot);
        d.doInit();
    }
    void send(std::initializer_list<int> bytes) {
        for (int b : bytes) d.command(b);
    }
    void sendText(const std::string& s) {
        for (char c : s) d.command(static_cast<unsigned char>(c));
    }
};

const std::string kSpaces(16, ' ');

TEST(AlphaFont, GivenGlyphsAreExact) {
    EXPECT_EQ(alphaGlyph(' '), (AlphaGlyph{0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(alphaGlyph('A'), (AlphaGlyph{4, 10, 17, 17, 31, 17, 17}));
    EXPECT_EQ(alphaGlyph('a'), (AlphaGlyph{0, 0, 14, 1, 15, 17, 15}));
    EXPECT_EQ(alphaGlyph('0'), (AlphaGlyph{14, 17, 19, 21, 25, 17, 14}));
    EXPECT_EQ(alphaGlyph('#'), (AlphaGlyph{10, 10, 31, 10, 31, 10, 10}));
    EXPECT_EQ(alphaGlyph('@'), (AlphaGlyph{14, 17, 1, 13, 21, 21, 14}));
    EXPECT_EQ(alphaGlyph('~'), (AlphaGlyph{8, 21, 2, 0, 0, 0, 0}));
}

// A glyph copied onto its neighbour, a missing one or a stray sixth bit would pass
// unnoticed on screen until a student typed that character.
TEST(AlphaFont, EveryPrintableGlyphIsFiveWideLitAndDistinct) {
    std::set<AlphaGlyph> seen;
    for (int c = kAlphaFirstChar; c <= kAlphaLastChar; ++c) {
        const AlphaGlyph& g = alphaGlyph(c);
        int lit = 0;
        for (uint8_t row : g) {
            EXPECT_LT(row, 32) << "code " << c;
            lit += row;
        }
        if (c != ' ') {
            EXPECT_GT(lit, 0) << "code " << c;
        }
        EXPECT_TRUE(seen.insert(g).second) << "code " << c << " repeats an earlier glyph";
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kAlphaGlyphCount));
}

TEST(AlphaFont, DescendersReachTheBottomRowAndCapitalsSitOnIt) {
    for (char c : std::string("gjpqy")) EXPECT_NE(alphaGlyph(c)[6], 0) << c;
    for (char c = 'A'; c <= 'Z'; ++c) {
        EXPECT_NE(alphaGlyph(c)[0], 0) << c;  // capitals are full height
        EXPECT_NE(alphaGlyph(c)[6], 0) << c;
    }
    EXPECT_TRUE(alphaDot('A', 2, 0));   // apex in the middle column
    EXPECT_FALSE(alphaDot('A', 0, 0));
    EXPECT_TRUE(alphaDot('A', 0, 6));
    EXPECT_EQ(alphaGlyph(200), alphaGlyph(' '));
}

TEST(AlphaDisplay, OpensBlankOffAndReady) {
    AlphaRig r;
    r.d.PutDevice(2);
    EXPECT_EQ(r.rig.m.bus.slots[2].type, core::kModuleDisplayAlpha);
    EXPECT_EQ(r.rig.m.bus.slots[2].flag, 1);
    r.d.doInit();
    EXPECT_EQ(r.rig.m.bus.slots[2].flag, 0);
    EXPECT_FALSE(r.d.displayOn());
    EXPECT_EQ(r.d.line(), 1);
    EXPECT_EQ(r.d.cursor(), 0);
    EXPECT_EQ(r.d.colour(), 0);
    EXPECT_EQ(r.d.lineText(1), kSpaces);
    EXPECT_EQ(r.d.labelText(), "Output Device 0");
}

TEST(AlphaDisplay, CharactersAreStoredWhileOffAndKeptThroughOff) {
    AlphaRig r;
    r.open(2);
    const int redraws = r.host.redraws;
    r.sendText("A");
    EXPECT_EQ(r.d.lineText(1), "A" + kSpaces.substr(1));
    EXPECT_FALSE(r.d.displayOn());
    EXPECT_EQ(r.host.redraws, redraws + 1);
    r.send({kAlphaOn});
    EXPECT_TRUE(r.d.displayOn());
    EXPECT_EQ(r.host.redraws, redraws + 2);
    r.send({kAlphaOff});
    EXPECT_FALSE(r.d.displayOn());
    EXPECT_EQ(r.d.cell(0, 0), (AlphaCell{'A', 0}));
    r.send({kAlphaOn});
    EXPECT_EQ(r.d.cell(0, 0), (AlphaCell{'A', 0}));
}

TEST(AlphaDisplay, ColourCommandsColourLaterCharacters) {
    AlphaRig r;
    r.open(2);
    r.send({kAlphaOn, 17, 'H', 'I', 16, 'J'});
    EXPECT_EQ(r.d.cell(0, 0), (AlphaCell{'H', 1}));
    EXPECT_EQ(r.d.cell(0, 1), (AlphaCell{'I', 1}));
    EXPECT_EQ(r.d.cell(0, 2), (AlphaCell{'J', 0}));
    r.send({18, 'Y', 19, 'B'});
    EXPECT_EQ(r.d.cell(0, 3).colour, 2);
    EXPECT_EQ(r.d.cell(0, 4).colour, 3);
    // The one the assembler calls blue is drawn cyan.
    EXPECT_EQ(kAlphaColourRgb[3], (Rgb{0, 255, 255}));
    EXPECT_EQ(kAlphaColourRgb[1], (Rgb{0, 255, 0}));
}

TEST(AlphaDisplay, LineSelectionAndClearingOneLine) {
    AlphaRig r;
    r.open(2);
    r.sendText("TOP");
    r.send({kAlphaBottomLine, 'A'});
    EXPECT_EQ(r.d.line(), 2);
    EXPECT_EQ(r.d.lineText(2), "A" + kSpaces.substr(1));
    r.send({kAlphaClearLine1});
    EXPECT_EQ(r.d.lineText(1), kSpaces);
    EXPECT_EQ(r.d.lineText(2)[0], 'A');
    EXPECT_EQ(r.d.cursor(), 0);
    EXPECT_EQ(r.d.line(), 2);
    r.send({'B'});
    EXPECT_EQ(r.d.lineText(2)[0], 'B');
    r.send({kAlphaTopLine, 'C'});
    EXPECT_EQ(r.d.lineText(1)[0], 'C');
}

TEST(AlphaDisplay, ClearKeepsColoursAndCurrentColour) {
    AlphaRig r;
    r.open(2);
    r.send({18, 'X', kAlphaBottomLine, 'Y', kAlphaClear});
    EXPECT_EQ(r.d.cell(0, 0), (AlphaCell{' ', 2}));
    EXPECT_EQ(r.d.cell(1, 0), (AlphaCell{' ', 2}));
    EXPECT_EQ(r.d.colour(), 2);
    EXPECT_EQ(r.d.line(), 2);
    EXPECT_EQ(r.d.cursor(), 0);
    r.send({'Z', kAlphaClearLine2});
    EXPECT_EQ(r.d.lineText(2), kSpaces);
}

TEST(AlphaDisplay, InitResetsEverythingExceptOnState) {
    AlphaRig r;
    r.open(2);
    r.send({kAlphaOn, 19, kAlphaBottomLine, 5, 'Q', kAlphaInit});
    EXPECT_EQ(r.d.cell(1, 5), AlphaCell{});
    EXPECT_EQ(r.d.line(), 1);
    EXPECT_EQ(r.d.colour(), 0);
    EXPECT_EQ(r.d.cursor(), 0);
    EXPECT_TRUE(r.d.displayOn());
}

TEST(AlphaDisplay, CursorCommandAndLastColumn) {
    AlphaRig r;
    r.open(2);
    r.send({kAlphaBottomLine, 14});
    EXPECT_EQ(r.d.cursor(), 14);
    EXPECT_EQ(r.d.line(), 2);  // the cursor command keeps the line
    r.sendText("xyz");
    EXPECT_EQ(r.d.lineText(2), std::string(14, ' ') + "xz");
    EXPECT_EQ(r.d.cursor(), 15);
    r.send({15});
    EXPECT_EQ(r.d.cursor(), 15);
}

TEST(AlphaDisplay, IgnoredBytesLeaveEverything) {
    AlphaRig r;
    r.open(2);
    r.send({3, 'K'});
    const auto before = r.d.lines();
    for (int v : {20, 31, 127, 136, 200, 255}) {
        r.send({v});
        EXPECT_EQ(r.d.cursor(), 4) << v;
        EXPECT_EQ(r.d.colour(), 0) << v;
        EXPECT_FALSE(r.d.displayOn()) << v;
    }
    EXPECT_EQ(r.d.lines(), before);
}

TEST(AlphaDisplay, ResetAndCloseAndDeviceReset) {
    AlphaRig r;
    r.open(3);
    r.send({kAlphaOn, 'W'});
    r.rig.m.bus.ResetDevices();  // not one of the modules the device reset reaches
    EXPECT_EQ(r.d.lineText(1)[0], 'W');
    r.d.doReset();
    EXPECT_FALSE(r.d.displayOn());
    EXPECT_EQ(r.d.lineText(1), kSpaces);
    r.d.close();
    EXPECT_EQ(r.rig.m.bus.slots[3].type, core::kModuleNone);
    EXPECT_EQ(r.rig.m.bus.slots[3].flag, 1);
    EXPECT_EQ(r.d.labelText(), "No Device Set");
}

// --- through the processor ---

// A program in the style of the example: line 2, then HELLO, written with PUT.
TEST(AlphaDisplay, ProgramWritesHelloOnLineTwo) {
    AlphaRig r;
    r.open(3);
    r.rig.load({
        op::TAD(12), op::OUT(1, op::kTransfer),             // 0, 1: AL_ON
        op::TAD(13), op::OUT(1, op::kTransfer),             // 2, 3: AL_BLN
        op::TAD(14), op::OUT(1, op::kTransfer | op::kPulse),  // 4, 5: "H", pulsed
        op::OUT(1, op::kSkip),                              // 6: always ready: skips 7
        op::HLT, op::HLT,                                   // 7, 8
    });
    r.rig.load({kAlphaOn, kAlphaBottomLine, 'H'}, 12);
    r.rig.start();
    r.rig.run();
    EXPECT_EQ(r.rig.m.pc, 9);
    EXPECT_TRUE(r.d.displayOn());
    EXPECT_EQ(r.d.lineText(2), "H" + kSpaces.substr(1));
    EXPECT_EQ(r.d.lineText(1), kSpaces);
}

}  // namespace
}  // namespace mira::devices
