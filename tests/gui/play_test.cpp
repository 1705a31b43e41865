// The melody player as the user meets it: opened from the Modules menu, the voice menu's
// check marks, the note delay dialog, a program's notes reaching the MIDI output on the
// application's own timers, the lamp when MIDI is unavailable, and the settings file.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/data_dir.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "devices/midi_out.h"
#include "gui_test_support.h"
#include "midi/host_midi_out.h"
#include "mira/mira.h"
#include "modules/funcselect.h"
#include "modules/module_windows.h"
#include "modules/notedel.h"
#include "modules/play.h"
#include "modules/play_art.h"

using namespace mira;
using gui::TmiraFM;
using gui::TplayFM;

namespace {

using gui_test::centreX;
using gui_test::kLower;
using gui_test::kUpper;
using gui_test::RecordingPlayer;
using gui_test::ScriptedPrompter;
using gui_test::whenModal;

QRgb lampPixel(TplayFM& p) {
    return p.image()->grab().toImage().pixel(gui::playart::kLamp.center());
}
bool lit(QRgb c) { return qRed(c) > 200 && qGreen(c) < 120; }

}  // namespace

class PlayTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;
    RecordingPlayer sounds_;
    QElapsedTimer wall_;

    std::unique_ptr<TmiraFM> open() { return gui_test::openShown<TmiraFM>(&prompter_, &sounds_); }
    static TplayFM& player(TmiraFM& w) { return *w.modules().find<TplayFM>(); }
    // A recorder in place of the host's output, stamped with the wall clock in µs.
    devices::RecordingMidiOut* record(TmiraFM& w) {
        auto rec = std::make_unique<devices::RecordingMidiOut>(
            [this] { return wall_.nsecsElapsed() / 1000; });
        devices::RecordingMidiOut* raw = rec.get();
        player(w).setMidiOut(std::move(rec));
        return raw;
    }
    static void openFromMenu(TmiraFM& w, int choice) {
        gui_test::chooseSlot(choice);
        w.findChild<QAction*>(QStringLiteral("MelodyPlayer1"))->trigger();
    }
    static std::vector<bool> checks(TplayFM& p) {
        std::vector<bool> c;
        for (int i = 0; i < 4; ++i) c.push_back(p.voiceItem(i)->isChecked());
        return c;
    }
    static void setSwitch(TmiraFM& w, int i, bool thrown) {
        if ((w.machine().switches[i] != 0) != thrown)
            QTest::mouseClick(w.image(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(centreX(i), thrown ? kUpper : kLower));
    }

private Q_SLOTS:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        wall_.start();
    }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = ScriptedPrompter{};
    }

    void menuOpensPlayerAndVoiceMenuChecksOne() {
        auto w = open();
        devices::RecordingMidiOut* rec = record(*w);
        openFromMenu(*w, 1);
        TplayFM& p = player(*w);
        QVERIFY(p.isVisible());
        QCOMPARE(p.size(), QSize(gui::playart::kWidth, gui::playart::kHeight));
        QCOMPARE(w->machine().bus.slots[3].type, int(core::kModuleMelody));
        QCOMPARE(p.label()->text(), QStringLiteral("Output Device 1"));
        QCOMPARE(rec->programChanges(), (std::vector<int>{0, 0}));
        QCOMPARE(checks(p), (std::vector<bool>{true, false, false, false}));
        QCOMPARE(p.outputItem()->text(), QStringLiteral("recorder"));
        QVERIFY(!lit(lampPixel(p)));

        p.popupMenu()->findChild<QAction*>(QStringLiteral("Synth1"))->trigger();
        QCOMPARE(checks(p), (std::vector<bool>{false, false, true, false}));
        QCOMPARE(rec->programChanges().back(), 70);
        // Choosing the checked voice again keeps its mark.
        p.voiceItem(2)->trigger();
        QCOMPARE(checks(p), (std::vector<bool>{false, false, true, false}));
        p.voiceItem(3)->trigger();
        QCOMPARE(checks(p), (std::vector<bool>{false, false, false, true}));
        QCOMPARE(rec->programChanges().back(), 127);

        // Disconnect frees the slot.
        p.popupMenu()->findChild<QAction*>(QStringLiteral("Close1"))->trigger();
        QVERIFY(!p.isVisible());
        QCOMPARE(w->machine().bus.slots[3].type, int(core::kModuleNone));
        QCOMPARE(p.label()->text(), QStringLiteral("No Device Set"));
        QCOMPARE(prompter_.messages, std::vector<std::string>{});
    }

    void speedDialogSetsTheNoteDelay() {
        auto w = open();
        record(*w);
        openFromMenu(*w, 0);
        TplayFM& p = player(*w);
        int shownMin = 0, shownMax = 0;
        QString shownText;
        whenModal([&](QWidget* d) {
            auto* dlg = dynamic_cast<gui::TnotdelFM*>(d);
            QVERIFY(dlg);
            QCOMPARE(d->windowTitle(), QStringLiteral("Note Delay Adjust"));
            shownMin = dlg->bar()->minimum();
            shownMax = dlg->bar()->maximum();
            QCOMPARE(dlg->bar()->value(), 100);
            dlg->bar()->setValue(250);
            shownText = dlg->valueLabel()->text();
            d->findChild<QPushButton*>(QStringLiteral("okSB"))->click();
        });
        p.Speed1Click();
        QCOMPARE(shownMin, 50);
        QCOMPARE(shownMax, 500);
        QCOMPARE(shownText, QStringLiteral("250 ms"));
        QCOMPARE(w->machine().melodyNoteDelay, 250);

        // Default, then Cancel: nothing changes.
        whenModal([](QWidget* d) {
            d->findChild<QPushButton*>(QStringLiteral("SpeedButton1"))->click();
            QCOMPARE(static_cast<gui::TnotdelFM*>(d)->value(), 100);
            d->findChild<QPushButton*>(QStringLiteral("canSB"))->click();
        });
        p.Speed1Click();
        QCOMPARE(w->machine().melodyNoteDelay, 250);
    }

    void runSoundsNotesOnTheApplicationTimers() {
        auto w = open();
        devices::RecordingMidiOut* rec = record(*w);
        openFromMenu(*w, 0);
        TplayFM& p = player(*w);
        core::Machine& m = w->machine();
        m.melodyNoteDelay = 50;
        // Two notes: middle C for one unit, then C below for two units; each written, pulsed
        // twice and waited for.
        const int words[] = {0x2D, 0xD2, 0xD4, 0xD4, 0xD1, 0xA4, 0x2E, 0xD2,
                             0xD4, 0xD4, 0xD1, 0xAA, 0xF1, 28,   0x40 | 12};
        for (int i = 0; i < 15; ++i) m.memory[i] = words[i];
        m.pc = 0;
        setSwitch(*w, core::kSwitchSingleCont, true);
        setSwitch(*w, core::kSwitchSlowFast, true);
        rec->clear();
        QTest::mouseClick(w->image(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(centreX(core::kSwitchRun), kUpper));
        QTRY_COMPARE_WITH_TIMEOUT(rec->noteEvents().size(), size_t(4), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!m.run, 5000);
        const auto ev = rec->noteEvents();
        QCOMPARE(ev[0].note, 60);
        QVERIFY(ev[0].on);
        QCOMPARE(ev[1].note, 60);
        QVERIFY(!ev[1].on);
        QCOMPARE(ev[2].note, 48);
        QVERIFY(ev[2].on);
        QCOMPARE(ev[3].note, 48);
        QVERIFY(!ev[3].on);
        // Real timers: at least about the length (coarse timers may fire 5 % early), never
        // seconds late.
        QVERIFY2(ev[1].us - ev[0].us >= 45000, qPrintable(QString::number(ev[1].us - ev[0].us)));
        QVERIFY(ev[3].us - ev[2].us >= 90000);
        QVERIFY(ev[3].us - ev[0].us < 2000000);
        QCOMPARE(m.bus.slots[2].flag, uint8_t(0));
        QVERIFY(!p.player().delayTimer().isActive());
        QCOMPARE(prompter_.messages, std::vector<std::string>{});
    }

    // The example program, assembled and transferred as the editor does, played by a fast run
    // in the window.
    void exampleTunePlaysInTheWindow() {
        auto w = open();
        devices::RecordingMidiOut* rec = record(*w);
        openFromMenu(*w, 0);
        core::Machine& m = w->machine();
        const std::vector<std::string> lines = gui_test::exampleLines("play-tune.asm");
        QVERIFY(!lines.empty());
        QVERIFY(w->assembler().Assemble(lines, m, prompter_).ok);
        QVERIFY(w->assembler().TransferToMemory(m, prompter_, nullptr));
        QCOMPARE(m.melodyNoteDelay, 150);  // _NOTEDELAY
        m.melodyNoteDelay = 50;            // the same tune, three times as fast, for the test
        m.pc = 0;
        setSwitch(*w, core::kSwitchSingleCont, true);
        setSwitch(*w, core::kSwitchSlowFast, true);
        rec->clear();
        QTest::mouseClick(w->image(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(centreX(core::kSwitchRun), kUpper));
        QTRY_VERIFY_WITH_TIMEOUT(rec->noteEvents().size() == 20 && !m.run, 10000);
        std::vector<int> on;
        for (const auto& e : rec->noteEvents())
            if (e.on) on.push_back(e.note);
        QCOMPARE(on, (std::vector<int>{48, 50, 52, 53, 55, 57, 59, 60, 55, 60}));
        QCOMPARE(prompter_.messages, std::vector<std::string>{});
    }

    void midiUnavailableLightsTheLampAndKeepsTheFlagBusy() {
        auto w = open();
        auto rec = std::make_unique<devices::RecordingMidiOut>();
        rec->failOpen = true;
        player(*w).setMidiOut(std::move(rec));
        openFromMenu(*w, 0);
        TplayFM& p = player(*w);
        QVERIFY(!p.player().midiAvailable());
        QVERIFY(lit(lampPixel(p)));
        QCOMPARE(p.outputItem()->text(), QStringLiteral("MIDI unavailable"));
        core::DeviceBus& bus = w->machine().bus;
        bus.SetOutputResetFlag(2, 0);
        bus.SetOutputResetFlag(2, 1);
        QCOMPARE(bus.slots[2].flag, uint8_t(1));
        p.popupMenu()->findChild<QAction*>(QStringLiteral("Reset1"))->trigger();
        QCOMPARE(bus.slots[2].flag, uint8_t(0));
        QCOMPARE(prompter_.messages, std::vector<std::string>{});
    }

    // The host's own output, whatever this machine has: no message box either way, and the
    // lamp and the popup agree with what was found.
    void hostOutputOpensWithoutAMessage() {
        auto w = open();
        openFromMenu(*w, 0);
        TplayFM& p = player(*w);
        QVERIFY(p.player().midiOpened());
        QCOMPARE(prompter_.messages, std::vector<std::string>{});
        QCOMPARE(lit(lampPixel(p)), !p.player().midiAvailable());
        // Without a port or sound the output is silent but still plays in time.
        QVERIFY(p.player().midiAvailable());
        QCOMPARE(p.outputItem()->text(), QString::fromStdString(p.player().midiDescription()));
        QCOMPARE(p.statusText().section(QLatin1Char('\n'), 0, 0), p.outputItem()->text());
    }

    // No MIDI port and no audio output: the example tune still runs to its HALT in time, and
    // the status window says the player is silent and which note it is playing.
    void silentPlayerKeepsTimeAndSaysWhatItPlays() {
        auto w = open();
        player(*w).setMidiOut(std::make_unique<gui::HostMidiOut>(
            nullptr, gui::HostMidiOut::Options{false, {}}));
        openFromMenu(*w, 0);
        TplayFM& p = player(*w);
        QVERIFY(p.player().midiAvailable());
        QVERIFY(!lit(lampPixel(p)));
        QCOMPARE(p.statusText(), QStringLiteral("Silent: no sound output\nIdle"));
        QVERIFY(p.statusLabel()->isVisible());
        QVERIFY(p.statusLabel()->geometry().bottom() < p.height());
        core::Machine& m = w->machine();
        const std::vector<std::string> lines = gui_test::exampleLines("play-tune.asm");
        QVERIFY(!lines.empty());
        QVERIFY(w->assembler().Assemble(lines, m, prompter_).ok);
        QVERIFY(w->assembler().TransferToMemory(m, prompter_, nullptr));
        const QString shots = qEnvironmentVariable("MIRA8_SHOT_DIR");
        if (shots.isEmpty()) m.melodyNoteDelay = 50;
        m.pc = 0;
        setSwitch(*w, core::kSwitchSingleCont, true);
        setSwitch(*w, core::kSwitchSlowFast, true);
        std::set<QString> seen;
        bool shot = false;
        QTimer sample;
        bool started = false;
        connect(&sample, &QTimer::timeout, &p, [&] {
            started = started || m.run;
            seen.insert(p.statusLabel()->text());
            // Under a real X server, the screen as a student sees it mid-tune.
            if (!shots.isEmpty() && seen.size() == 4 && !shot) {
                shot = true;
                QScreen* screen = QGuiApplication::primaryScreen();
                screen->grabWindow(0).save(shots + QStringLiteral("/melody-silent.png"));
                screen->grabWindow(0, p.x(), p.y(), p.width(), p.height())
                    .save(shots + QStringLiteral("/melody-player.png"));
            }
        });
        sample.start(5);
        QTest::mouseClick(w->image(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(centreX(core::kSwitchRun), kUpper));
        // The run starts from the window's timer: wait for it to start, then to end.
        QTRY_VERIFY_WITH_TIMEOUT(started && !m.run, 30000);
        sample.stop();
        QCOMPARE(m.cycleState, int(core::kCycleIdle));
        QVERIFY2(seen.count(QStringLiteral("Silent: no sound output\nPlaying C3")),
                 qPrintable(QStringList(seen.begin(), seen.end()).join(QLatin1Char('|'))));
        QVERIFY(seen.count(QStringLiteral("Silent: no sound output\nPlaying G3")));
        QCOMPARE(p.statusText(), QStringLiteral("Silent: no sound output\nIdle"));
        QCOMPARE(prompter_.messages, std::vector<std::string>{});
    }

    void settingsKeepVoiceDelayAndReopen() {
        {
            auto w = open();
            record(*w);
            openFromMenu(*w, 1);
            TplayFM& p = player(*w);
            p.voiceItem(1)->trigger();  // Chime
            p.move(30, 40);
            w->machine().melodyNoteDelay = 320;
            w->close();
        }
        const core::ContainerRead read =
            core::readContainerFile(core::dataFile(core::kSettingsFileName));
        QVERIFY(read.ok);
        auto line = [&](const char* key) {
            for (const auto& l : read.lines)
                if (l.rfind(key, 0) == 0) return l.substr(3);
            return std::string("<none>");
        };
        QCOMPARE(line("013"), std::string("30~40~10~"));
        QCOMPARE(line("024"), std::string("320"));

        auto w = open();
        TplayFM& p = player(*w);
        QVERIFY(p.isVisible());
        QCOMPARE(p.player().GetDevice(), 3);
        QCOMPARE(checks(p), (std::vector<bool>{false, true, false, false}));
        QCOMPARE(w->machine().melodyNoteDelay, 320);
        QVERIFY(p.player().midiOpened());  // reopened players open their output too
        QCOMPARE(prompter_.messages, std::vector<std::string>{});
    }
};

QTEST_MAIN(PlayTest)
#include "play_test.moc"
