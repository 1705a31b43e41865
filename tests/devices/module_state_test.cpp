// Every module's logic in a machine snapshot: driven into a state with keys down, bytes
// shown, tapes half read and timers pending, saved, restored into a fresh module that then
// saves the same bytes and runs on exactly as the original; damaged sections are refused
// and change nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/machine_rig.h"
#include "core/panel.h"
#include "core/scrambled_file.h"
#include "core/snapshot.h"
#include "param_name.h"
#include "core/timer.h"
#include "devices/alpha_display.h"
#include "devices/ascii_keyboard.h"
#include "devices/external_switches.h"
#include "devices/keypad.h"
#include "devices/keypad2.h"
#include "devices/led_display.h"
#include "devices/mag_tape.h"
#include "devices/melody_player.h"
#include "devices/printer.h"
#include "devices/tape_punch.h"
#include "devices/tape_reader.h"
#include "devices/ten_digit_display.h"
#include "tape_test_support.h"

namespace mira::devices {
namespace {

using Bytes = std::vector<uint8_t>;

// One machine with its clock, panel and the things modules are built with.
struct Env {
    core::test::Rig rig;
    core::VirtualClock clock;
    test::ScriptPrompter prompter;
    test::SoundLog log;
    core::SoundEffects sounds;
    core::FrontPanel panel{rig.m, rig.rc, clock, sounds};
    RecordingMidiOut midi{[this] { return clock.nowMicros(); }};
    KeyTable table = KeyTable::defaults();
    test::ScratchDir dir;
    // Where the comparison of what happens next starts.
    size_t midiMark = 0;
    int64_t markUs = 0;

    Env() { sounds.setPlayer(&log); }
    core::DeviceBus& bus() { return rig.m.bus; }
    void mark() {
        midiMark = midi.messages().size();
        markUs = clock.nowMicros();
    }
    // As a program's output: the byte, its notification, the reset pulse.
    void send(int slot, int byte) {
        bus().slots[slot].output = byte;
        bus().notifyOutput(slot);
        pulse(slot);
    }
    void pulse(int slot) {
        bus().SetOutputResetFlag(slot, 0);
        bus().SetOutputResetFlag(slot, 1);
    }
    // As a program's input: the transfer, then the ready pulse.
    void take(int slot) {
        bus().readInput(slot);
        bus().SetModuleInFlag(slot, 0);
        bus().SetModuleInFlag(slot, 1);
    }
    std::string flags() const {
        std::string f = " flags";
        for (const auto& s : rig.m.bus.slots) f += char('0' + s.flag);
        return f;
    }
};

class Subject {
public:
    virtual ~Subject() = default;
    virtual Bytes save() const = 0;
    virtual void restore(const Bytes& bytes) = 0;
    virtual void drive() = 0;
    virtual void step(int i) = 0;
    virtual std::string shows() const = 0;
};

template <class M>
struct Fns {
    std::function<std::unique_ptr<M>(Env&)> make;
    std::function<void(M&, Env&)> drive;
    std::function<void(M&, Env&, int)> step;
    std::function<std::string(const M&, const Env&)> shows;
};

template <class M>
class Module final : public Subject {
public:
    Module(Env& e, const Fns<M>& f) : e_(e), f_(f), m_(f.make(e)) {}
    Bytes save() const override {
        core::SnapshotWriter w;
        m_->saveState(w);
        return w.take();
    }
    void restore(const Bytes& bytes) override {
        core::SnapshotReader r(bytes);
        m_->restoreState(r);
    }
    void drive() override { f_.drive(*m_, e_); }
    void step(int i) override {
        if (f_.step) f_.step(*m_, e_, i);
    }
    std::string shows() const override { return f_.shows(*m_, e_) + e_.flags(); }

private:
    Env& e_;
    const Fns<M>& f_;
    std::unique_ptr<M> m_;
};

struct Kind {
    std::string name;
    int stepMs;
    std::function<std::unique_ptr<Subject>(Env&)> make;
};

void PrintTo(const Kind& k, std::ostream* os) { *os << k.name; }

template <class M>
Kind kind(std::string name, int stepMs, Fns<M> fns) {
    auto shared = std::make_shared<Fns<M>>(std::move(fns));
    return {std::move(name), stepMs,
            [shared](Env& e) { return std::make_unique<Module<M>>(e, *shared); }};
}

template <class T>
std::string join(const T& values) {
    std::ostringstream s;
    for (const auto& v : values) s << v << ',';
    return s.str();
}

constexpr int kPunchByte = 99;

Kind ledKind(LedKind lk, int format, int byte) {
    return kind<LedDisplay>(
        lk == LedKind::Octal ? "OctalLed" : "DecimalLed", 500,
        {[lk](Env& e) {
             auto d = std::make_unique<LedDisplay>(lk, e.bus(), e.clock, e.prompter);
             d->PutDevice(2);
             d->doInit(true);
             return d;
         },
         [format, byte](LedDisplay& d, Env& e) {
             d.acceptOptions(3000, format, true);
             e.send(2, byte);
             e.clock.advance(1200);  // the ready delay has 1.8 s to go
         },
         [](LedDisplay&, Env& e, int i) {
             if (i % 4 == 0) e.send(2, 40 + 13 * i);
         },
         [](const LedDisplay& d, const Env&) {
             return d.cells() + " " + std::to_string(d.value()) + " " + d.labelText();
         }});
}

Kind punchKind(const char* name, bool fitted) {
    return kind<TapePunch>(
        name, 40,
        {[](Env& e) {
             auto p = std::make_unique<TapePunch>(e.bus(), e.clock, e.sounds, e.prompter);
             p->PutDevice(2);
             p->doInit();
             return p;
         },
         [fitted](TapePunch& p, Env& e) {
             if (!fitted) {
                 e.send(2, kPunchByte);  // no tape: the byte waits
                 return;
             }
             p.fitTape();
             for (int b : {1, 2, 3, 250}) {
                 e.send(2, b);
                 e.clock.advance(200);
             }
             e.send(2, kPunchByte);
             e.clock.advance(5);  // mid-stroke: the sound timer holds the flag
         },
         [](TapePunch& p, Env& e, int i) {
             if (i == 3 && !p.tapeFitted()) p.fitTape();
             if (i % 5 == 4) e.send(2, i);
         },
         [](const TapePunch& p, const Env&) {
             return join(p.punchedBytes()) + " total " + std::to_string(p.dataBytes()) +
                    " at " + std::to_string(p.punchPosition()) + " of " +
                    std::to_string(p.rows().size()) + (p.byteHeld() ? " held" : "");
         }});
}

std::string magShows(const MagTape& t, const Env&) {
    long sum = 0;
    for (size_t i = 0; i < t.cells().size(); ++i) sum += long(i + 1) * t.cells()[i];
    return "mode " + std::to_string(t.mode()) + " at " + std::to_string(t.position()) +
           " counter " + std::to_string(t.counter()) + " latch " + std::to_string(t.latch()) +
           " pending " + std::to_string(t.writePending()) + " cells " + std::to_string(sum) +
           (t.tapeChanged() ? " changed" : "");
}

Kind magKind(const char* name, bool playBack) {
    return kind<MagTape>(
        name, 50,
        {[](Env& e) {
             auto t = std::make_unique<MagTape>(e.bus(), e.clock, e.sounds, e.prompter);
             t->PutInDevice(0);
             t->PutOutDevice(3);
             t->doInit();
             t->NewTape();
             return t;
         },
         [playBack](MagTape& t, Env& e) {
             t.pressKey(kMagRecord);
             for (int b : {5, 6, 7}) {
                 e.send(3, b);
                 e.clock.advance(150);
             }
             e.send(3, 8);
             e.clock.advance(30);  // the write of 8 waits for the head
             if (!playBack) return;
             t.pressKey(kMagRewind);
             e.clock.advance(200);
             t.pressKey(kMagPlay);
             e.clock.advance(75);
         },
         [](MagTape&, Env& e, int i) {
             if (i % 3 == 0) e.send(3, 100 + i);
             if (i % 3 == 1) e.take(0);
         },
         magShows});
}

std::vector<Kind> kinds() {
    std::vector<Kind> k;
    k.push_back(ledKind(LedKind::Octal, kOctal737, 0123));
    k.push_back(ledKind(LedKind::Decimal, kDecimalSigned, 200));
    k.push_back(kind<TenDigitDisplay>(
        "TenDigit", 10,
        {[](Env& e) {
             auto d = std::make_unique<TenDigitDisplay>(e.bus());
             d->PutDevice(3);
             d->doInit();
             return d;
         },
         [](TenDigitDisplay&, Env& e) {
             for (int c : {kTenDigitOn, 1, 2, 3, kTenDigitCursor + 6, 130, 14}) e.send(3, c);
         },
         [](TenDigitDisplay&, Env& e, int i) { e.send(3, (i * 7) % 40); },
         [](const TenDigitDisplay& d, const Env&) {
             return d.text() + join(d.cells()) + " cursor " + std::to_string(d.cursor()) +
                    (d.displayOn() ? " on" : " off");
         }}));
    k.push_back(kind<AlphaDisplay>(
        "Alpha", 10,
        {[](Env& e) {
             auto d = std::make_unique<AlphaDisplay>(e.bus());
             d->PutDevice(2);
             d->doInit();
             return d;
         },
         [](AlphaDisplay&, Env& e) {
             for (int c : {kAlphaOn, kAlphaRed + 1, int('H'), int('i'), kAlphaBottomLine, 5,
                           kAlphaRed + 2, int('x'), int('y')})
                 e.send(2, c);
         },
         [](AlphaDisplay&, Env& e, int i) {
             e.send(2, i % 5 == 0 ? kAlphaRed + i % 4 : i % 7 == 0 ? kAlphaTopLine : 'a' + i % 26);
         },
         [](const AlphaDisplay& d, const Env&) {
             std::string s = d.lineText(1) + "|" + d.lineText(2) + "|";
             for (const AlphaLine& l : d.lines())
                 for (const AlphaCell& c : l) s += char('0' + c.colour);
             return s + " cursor " + std::to_string(d.cursor()) + " line " +
                    std::to_string(d.line()) + " colour " + std::to_string(d.colour()) +
                    (d.displayOn() ? " on" : " off");
         }}));
    k.push_back(kind<Keypad>(
        "Keypad", 10,
        {[](Env& e) {
             auto p = std::make_unique<Keypad>(e.bus());
             p->PutDevice(0);
             p->doInit();
             return p;
         },
         [](Keypad& p, Env&) {
             p.setCtrl(true);
             p.pressKey(5);
             p.ShiftRightData();  // a transfer under way
         },
         [](Keypad& p, Env& e, int i) {
             if (i % 3 == 0) p.pressKey(i % kKeypadKeyCount);
             if (i % 3 == 1) e.take(0);
             if (i % 3 == 2) p.setCtrl(i % 2 == 0);
         },
         [](const Keypad& p, const Env&) {
             return std::to_string(p.keyData()) + (p.ctrlDown() ? " ctl" : "") +
                    (p.flagLamp() ? " F" : "");
         }}));
    k.push_back(kind<Keypad2>(
        "Keypad2", 10,
        {[](Env& e) {
             auto p = std::make_unique<Keypad2>(e.bus(), e.table, e.prompter);
             p->PutDevice(1);
             p->doInit();
             return p;
         },
         [](Keypad2& p, Env& e) {
             e.table.values[3] = 200;
             e.table.captions[4].clear();
             p.tableEdited(true, false);
             p.pressKey(3);
         },
         [](Keypad2& p, Env& e, int i) {
             if (i % 2 == 0) p.pressKey(i % kKeypad2KeyCount);
             else e.take(1);
         },
         [](const Keypad2& p, const Env& e) {
             return std::to_string(p.keyData()) + (p.changed() ? " changed " : " ") +
                    join(e.table.values) + (p.keyVisible(4) ? "" : " 4 hidden");
         }}));
    k.push_back(kind<AsciiKeyboard>(
        "Ascii", 10,
        {[](Env& e) {
             auto kb = std::make_unique<AsciiKeyboard>(e.bus(), e.sounds);
             kb->PutDevice(0);
             kb->doInit();
             return kb;
         },
         [](AsciiKeyboard& kb, Env&) { kb.keyReleased(letterKey('Q'), {.shift = true}); },
         [](AsciiKeyboard& kb, Env& e, int i) {
             if (i % 2 == 0) kb.keyReleased(letterKey(char('A' + i % 26)), {});
             else e.take(0);
         },
         [](const AsciiKeyboard& kb, const Env&) { return std::to_string(kb.keyData()); }}));
    k.push_back(kind<TapeReader>(
        "TapeReader", 100,
        {[](Env& e) {
             auto r = std::make_unique<TapeReader>(e.rig.m, e.panel, e.clock, e.sounds,
                                                   e.prompter);
             r->PutDevice(core::kModuleTapeReader);
             r->doInit();
             return r;
         },
         [](TapeReader& r, Env& e) {
             std::vector<std::string> lines{"3", "128", "16"};
             for (int b = 1; b <= 12; ++b) lines.push_back(std::to_string(b * 11));
             const auto file = e.dir.file("t.ptp");
             ASSERT_TRUE(core::writeContainerFile(file, lines));
             ASSERT_TRUE(r.LoadTape(file));
             r.buttonAction();
             e.clock.advance(TapeReader::kFeedMs * 16 + 70);  // among the data rows
         },
         nullptr,
         [](const TapeReader& r, const Env& e) {
             return "row " + std::to_string(r.position()) + " of " + join(r.rows()) +
                    " loader " + std::to_string(r.loaderState()) + " out " +
                    std::to_string(r.output()) + " deposited " + std::to_string(r.deposited()) +
                    (r.feeding() ? " feeding" : "") + (r.faultLamp() ? " fault" : "") +
                    " mask " + std::to_string(e.rig.m.externalMask2);
         }}));
    k.push_back(punchKind("PunchMidStroke", true));
    k.push_back(punchKind("PunchHoldingAByte", false));
    k.push_back(magKind("MagTapeRecording", false));
    k.push_back(magKind("MagTapePlaying", true));
    k.push_back(kind<MelodyPlayer>(
        "Melody", 50,
        {[](Env& e) {
             auto p = std::make_unique<MelodyPlayer>(e.bus(), e.clock, e.rig.m.melodyNoteDelay,
                                                     &e.midi);
             p->PutDevice(2);
             p->doInit();
             return p;
         },
         [](MelodyPlayer& p, Env& e) {
             p.setVoice(10);
             e.send(2, 0x41);  // note on
             e.pulse(2);       // its length runs
             e.clock.advance(30);
         },
         [](MelodyPlayer&, Env& e, int i) {
             if (i % 4 == 0) e.send(2, (i % 8) << 4 | ((i * 3) % 12 + 1));
             if (i % 4 == 1) e.pulse(2);
         },
         [](const MelodyPlayer& p, const Env& e) {
             std::string s = std::to_string(p.soundingNote()) + " byte " +
                             std::to_string(p.noteByte()) + (p.phase() ? " second" : " first") +
                             " voice " + std::to_string(p.voice()) + " count " +
                             std::to_string(p.speakerCount()) + (p.flashShowing() ? " flash" : "");
             const auto& m = e.midi.messages();
             for (size_t i = e.midiMark; i < m.size(); ++i)
                 s += " " + std::to_string(m[i].status) + ":" + std::to_string(m[i].data1) +
                      "@" + std::to_string(m[i].us - e.markUs);
             return s;
         }}));
    k.push_back(kind<Printer>(
        "Printer", 60,
        {[](Env& e) {
             auto p = std::make_unique<Printer>(e.bus(), e.clock, e.prompter, e.sounds);
             p->PutDevice(3);
             p->doInit();
             return p;
         },
         [](Printer&, Env& e) {
             for (int c : {8, 5, 12}) e.send(3, c);
             e.clock.advance(1500);  // one line on the roll
             for (int c : {1, 2}) {
                 e.send(3, c);
                 e.clock.advance(25);
             }
             e.clock.advance(110);  // collecting, the tick timer pending
         },
         [](Printer&, Env& e, int i) {
             if (i % 2 == 0) e.send(3, 1 + i);
         },
         [](const Printer& p, const Env&) {
             std::string s;
             for (const std::string& l : p.roll()) s += rollLineText(l) + "|";
             return s + p.bufferText() + " state " + std::to_string(p.state()) + " tick " +
                    std::to_string(p.tickCount()) + (p.printing() ? " printing" : "");
         }}));
    k.push_back(kind<ExternalSwitches>(
        "ExternalSwitches", 10,
        {[](Env& e) { return std::make_unique<ExternalSwitches>(e.rig.m, e.sounds); },
         [](ExternalSwitches& s, Env&) { s.PutDevice(kExtSwitchesModuleType); },
         nullptr,
         [](const ExternalSwitches& s, const Env&) { return std::to_string(s.GetDevice()); }}));
    return k;
}

class ModuleState : public ::testing::TestWithParam<Kind> {};

// What the machine's own state carries: the slots' values and flags.
void copySlots(const Env& from, Env& to) {
    for (int s = 0; s < core::kSlotCount; ++s) {
        const core::DeviceSlot& a = from.rig.m.bus.slots[s];
        core::DeviceSlot& b = to.rig.m.bus.slots[s];
        b.output = a.output;
        b.input = a.input;
        b.flag = a.flag;
        b.pulse = a.pulse;
    }
}

TEST_P(ModuleState, RestoredModuleSavesTheSameBytesAndRunsOnAlike) {
    const Kind& k = GetParam();
    Env a;
    const auto original = k.make(a);
    original->drive();
    const Bytes bytes = original->save();
    a.mark();

    Env b;
    const auto restored = k.make(b);
    copySlots(a, b);
    restored->restore(bytes);
    b.mark();
    EXPECT_EQ(restored->save(), bytes);
    ASSERT_EQ(restored->shows(), original->shows());
    for (int i = 0; i < 20; ++i) {
        original->step(i);
        restored->step(i);
        a.clock.advance(k.stepMs);
        b.clock.advance(k.stepMs);
        ASSERT_EQ(restored->shows(), original->shows()) << "step " << i;
    }
}

TEST_P(ModuleState, DamagedSectionIsRefusedAndChangesNothing) {
    const Kind& k = GetParam();
    Env a;
    const auto source = k.make(a);
    source->drive();
    const Bytes good = source->save();

    Env c;
    const auto target = k.make(c);
    target->step(0);
    c.clock.advance(k.stepMs);
    const Bytes before = target->save();

    for (size_t cut = 0; cut < good.size(); ++cut) {
        EXPECT_THROW(target->restore(Bytes(good.begin(), good.begin() + long(cut))),
                     core::SnapshotError)
            << "cut at " << cut;
        ASSERT_EQ(target->save(), before) << "cut at " << cut;
    }
    // Each byte set to a value out of many a field's range: either refused, leaving the
    // module as it was, or taken exactly as written (nothing clamped, nothing lost).
    int refused = 0;
    for (size_t i = 0; i < good.size(); ++i) {
        for (uint8_t v : {uint8_t{0x7F}, uint8_t{0xFF}}) {
            Bytes bad = good;
            if (bad[i] == v) continue;
            bad[i] = v;
            try {
                target->restore(bad);
            } catch (const core::SnapshotError&) {
                ++refused;
                ASSERT_EQ(target->save(), before) << "byte " << i << " = " << int(v);
                continue;
            }
            ASSERT_EQ(target->save(), bad) << "byte " << i << " = " << int(v);
            target->restore(before);
        }
    }
    // The tag, the length and at least the first field are checked.
    EXPECT_GE(refused, 10);
}

// Modules read their timers first and start them only once the whole section is good.
TEST(ModuleTimerState, ReadingChangesNoTimerAndATickBeyondOneIntervalIsDamage) {
    core::VirtualClock clock;
    auto t = clock.createTimer(20);
    t->start();
    clock.advance(5);
    const auto timerBytes = [](int32_t interval, int64_t remaining) {
        core::SnapshotWriter w;
        w.i32(interval);
        w.i64(remaining);
        return w.take();
    };
    const struct {
        int32_t interval;
        int64_t remaining;
        bool good;
    } cases[] = {
        {100, 100'000, true}, {100, -1, true},      {0, 0, true},
        {100, 100'001, false}, {100, -2, false},    {-1, -1, false},
        {(1 << 30) + 1, 0, false}, {100, INT64_MAX, false},
    };
    for (const auto& c : cases) {
        const Bytes b = timerBytes(c.interval, c.remaining);
        core::SnapshotReader r(b);
        if (!c.good) {
            EXPECT_THROW(core::readTimer(r), core::SnapshotError) << c.remaining;
            continue;
        }
        const core::TimerState s = core::readTimer(r);
        EXPECT_EQ(t->remainingMicros(), 15'000) << "read, not applied";
        auto u = clock.createTimer(1);
        core::applyTimer(s, *u);
        EXPECT_EQ(u->interval(), c.interval);
        EXPECT_EQ(u->remainingMicros(), c.remaining);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, ModuleState, ::testing::ValuesIn(kinds()),
                         mira::test::caseNames([](const Kind& k) { return k.name; }));

}  // namespace
}  // namespace mira::devices
