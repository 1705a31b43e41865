// The tape modules as a user meets them: a tape loaded in the reader and fed into memory
// (with the memory view following), a running program punching a tape that is then saved,
// the cassette recording and playing bytes with its keys clicked, and the settings that
// bring the reader's tape and the cassette back.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "core/data_dir.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "core/tape_file.h"
#include "devices/mag_tape.h"
#include "gui_test_support.h"
#include "assembler/edit.h"
#include "mira/mira.h"
#include "modules/funcselect.h"
#include "modules/mag.h"
#include "modules/module_windows.h"
#include "modules/tape.h"
#include "modules/tape_art.h"
#include "modules/tape_playlist.h"
#include "views/debug_views.h"
#include "views/memory.h"

using namespace mira;
using gui::TmagFM;
using gui::TmiraFM;
using gui::TtapeFM;
using gui::TtapewtFM;

namespace {

using gui_test::ScriptedPrompter;
using gui_test::whenModal;

// Answers the next selection dialog with its entry `n`; `then` runs after (the recorder
// asks twice).
void chooseSlot(int n, std::function<void()> then = {}) {
    whenModal([n, then](QWidget* w) {
        auto* dlg = dynamic_cast<gui::TFuncSelFM*>(w);
        QVERIFY(dlg);
        dlg->choice(n)->click();
        if (then) then();
        dlg->findChild<QPushButton*>(QStringLiteral("okSB"))->click();
    });
}

// Answers the next selection dialog with OK alone, as it came up; `okEnabled` says whether
// OK could be pressed (Cancel closes it when not).
void pressOk(bool& okEnabled, std::function<void()> then = {}) {
    whenModal([&okEnabled, then](QWidget* w) {
        auto* ok = w->findChild<QPushButton*>(QStringLiteral("okSB"));
        okEnabled = ok && ok->isEnabled();
        if (then) then();
        (okEnabled ? ok : w->findChild<QPushButton*>(QStringLiteral("canSB")))->click();
    });
}

// Window coordinates of a recorder key.
QPoint keyPoint(int key) {
    return gui::tapeart::kKeyStrip + QPoint(10 + 31 * (key - 1) + 13, 40);
}

const QPoint kFeedButton(250, 220);

}  // namespace

class TapeTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;

    std::unique_ptr<TmiraFM> open() { return gui_test::openShown<TmiraFM>(&prompter_); }
    static QAction* action(QWidget& w, const char* name) {
        return w.findChild<QAction*>(QString::fromLatin1(name));
    }
    QString path(const char* name) const { return dir_->filePath(QString::fromLatin1(name)); }
    static void fast(TmiraFM& w) {
        w.machine().switches[core::kSwitchSlowFast] = 1;
        w.machine().switches[core::kSwitchSingleCont] = 1;
    }
    // RUN released as on the panel: a fast run that yields to the window's timers. A run
    // that never ends is stopped by HALT after `guardMs`, so a failure cannot hang the test.
    void runFast(TmiraFM& w, int pc, int guardMs = 8000) {
        w.machine().switches[core::kSwitchHalt] = 0;
        w.machine().pc = pc;
        guard_ = std::make_unique<QTimer>();
        guard_->setSingleShot(true);
        connect(guard_.get(), &QTimer::timeout, &w,
                [&w] { w.machine().switches[core::kSwitchHalt] = 1; });
        guard_->start(guardMs);
        w.panel().doSwitchRUN();
    }
    std::unique_ptr<QTimer> guard_;

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = ScriptedPrompter{};
    }
    void cleanup() { guard_.reset(); }

    void readerFeedsATapeIntoMemory() {
        std::array<int32_t, 3> words{201, 17, 99};
        QVERIFY(core::writeTapeFile(path("prog.ptp").toStdString(),
                                    core::buildTapeLines(words, 2, 0, 2)));
        auto w = open();
        fast(*w);
        core::Machine& m = w->machine();
        m.breakpoints[40] = 1;
        action(*w, "ViewMemory1")->trigger();
        gui::TmemFM& mem = *w->views().memFM;

        action(*w, "PaperTapeReader1")->trigger();
        auto* reader = w->modules().find<TtapeFM>();
        QVERIFY(reader && reader->isVisible());
        QCOMPARE(reader->size(), QSize(280, 348));
        QCOMPARE(m.bus.slots[0].type, int(core::kModuleTapeReader));
        QCOMPARE(m.bus.slots[0].flag, uint8_t(1));
        QString suggested;
        reader->chooseOpenFile = [&](const QString& s) {
            suggested = s;
            return path("prog.ptp");
        };
        action(*reader->popupMenu(), "LoadTape1")->trigger();
        QCOMPARE(suggested, QStringLiteral("*.ptp"));
        QVERIFY(reader->reader().hasTape());
        QCOMPARE(m.breakpoints[40], uint8_t(0));
        QCOMPARE(w->assembler().lineMap()[0], -1);

        const QImage before = reader->grab().toImage();
        QTest::mousePress(reader, Qt::LeftButton, Qt::NoModifier, kFeedButton);
        QVERIFY(reader->buttonPressed());
        QTest::mouseRelease(reader, Qt::LeftButton, Qt::NoModifier, kFeedButton);
        QVERIFY(reader->reader().feeding());
        QTRY_VERIFY_WITH_TIMEOUT(!reader->reader().feeding(), 6000);
        QCOMPARE(m.memory[0], 201);
        QCOMPARE(m.memory[1], 17);
        QCOMPARE(m.memory[2], 99);
        QCOMPARE(m.pc, 3);
        QCOMPARE(m.sr, 255);
        QTRY_COMPARE(mem.memoryModel().text(2, gui::MemoryModel::kDec), QStringLiteral("99"));
        QVERIFY(reader->reader().faultLamp());
        // The tape has risen: the picture changed.
        QVERIFY(reader->grab().toImage() != before);
    }

    void readerOpensOnlyOnSlotZeroWithTheSwitchesUp() {
        auto w = open();
        core::Machine& m = w->machine();
        m.switches[3] = 1;  // SR bit 4 down
        prompter_.answer = false;
        action(*w, "PaperTapeReader1")->trigger();
        auto* reader = w->modules().find<TtapeFM>();
        QVERIFY(!reader->isVisible());
        QCOMPARE(prompter_.messages.back(),
                 std::string("The switch register must be all 1's to correctly operate this "
                             "module\r\rContinue?"));
        m.bus.slots[0].type = core::kModuleKeypad;
        action(*w, "PaperTapeReader1")->trigger();
        QCOMPARE(prompter_.messages.back(),
                 std::string("Cannot use Paper Tape Module\rInput device 0 is in use"));
        QVERIFY(!reader->isVisible());
        // In WIF mode the tape modules are not offered.
        QVERIFY(action(*w, "PaperTapeReader1")->isEnabled());
        m.options.mode = core::OperatingMode::Wif;
        w->SetMenuAvailability();
        for (const char* name : {"PaperTapeReader1", "PaperTapePunch1", "MagneticTapeStorage1"})
            QVERIFY(!action(*w, name)->isEnabled());
    }

    void fastStartStopsAVisibleReader() {
        std::array<int32_t, 1> words{1};
        QVERIFY(core::writeTapeFile(path("t.ptp").toStdString(),
                                    core::buildTapeLines(words, 0, 0, 0)));
        auto w = open();
        fast(*w);
        action(*w, "PaperTapeReader1")->trigger();
        auto* reader = w->modules().find<TtapeFM>();
        QVERIFY(reader->reader().LoadTape(path("t.ptp").toStdString()));
        reader->reader().buttonAction();
        QTRY_VERIFY(reader->reader().position() > 2);
        w->machine().memory[5] = 0xF1;
        runFast(*w, 5);
        QVERIFY(!reader->reader().feeding());
        QCOMPARE(reader->reader().position(), 0);
    }

    void programPunchesATapeThatIsSaved() {
        auto w = open();
        fast(*w);
        core::Machine& m = w->machine();
        chooseSlot(1);
        action(*w, "PaperTapePunch1")->trigger();
        auto* punch = w->modules().find<TtapewtFM>();
        QVERIFY(punch && punch->isVisible());
        QCOMPARE(punch->GetDevice(), 3);
        QCOMPARE(punch->label()->text(), QStringLiteral("Output Device 1"));
        QVERIFY(punch->punch().faultLamp());
        QTest::mouseClick(punch, Qt::LeftButton, Qt::NoModifier, kFeedButton);
        QVERIFY(punch->punch().tapeFitted());
        QCOMPARE(m.bus.slots[3].flag, uint8_t(0));

        // TAD 13; PUT 1; SKO 1; JMP 2; ... three bytes, then HLT.
        const int prog[] = {0x2D, 0xDE, 0xD9, 0xA2, 0x2E, 0xDE, 0xD9, 0xA6, 0x2F, 0xDE, 0xF1};
        for (int i = 0; i < 11; ++i) m.memory[i] = prog[i];
        m.memory[13] = 5;
        m.memory[14] = 250;
        m.memory[15] = 128;
        runFast(*w, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!m.run && m.pc == 11, 10000);
        QCOMPARE(punch->punch().punchedBytes(), (std::vector<int32_t>{5, 250, 128}));

        punch->chooseRange = [](int& from, int& to) {
            from = 1;
            to = 2;
            return true;
        };
        punch->chooseFile = [&](const QString&) { return path("punched.ptp"); };
        action(*punch->popupMenu(), "SaveTape1")->trigger();
        const core::ContainerRead r = core::readContainerFile(path("punched.ptp").toStdString());
        QVERIFY(r.ok);
        QCOMPARE(r.lines, (std::vector<std::string>{"128", "1", "250", "128"}));
        QVERIFY(!punch->punch().tapeFitted());
        // Nothing left to save.
        action(*punch->popupMenu(), "SaveTape1")->trigger();
        QCOMPARE(prompter_.messages.back(), std::string("No program data to save"));
    }

    // The road the manual walks with examples/punch-program.asm, in its natural order: the
    // punch opened and a tape fitted before the program is transferred (which takes the tape
    // off), the first byte waiting in the bare punch until a tape is fitted again, Save Tape
    // with the range 0 to 3, memory cleared, the file fed through the reader, and the
    // program run where it landed.
    void punchedExampleComesBackThroughTheReader() {
        auto w = open();
        fast(*w);
        core::Machine& m = w->machine();
        chooseSlot(0);
        action(*w, "PaperTapePunch1")->trigger();
        auto* punch = w->modules().find<TtapewtFM>();
        QTest::mouseClick(punch, Qt::LeftButton, Qt::NoModifier, kFeedButton);
        QVERIFY(punch->punch().tapeFitted());

        w->AssemblerClick();
        gui::TeditFM& e = *w->editFM();
        QVERIFY(e.OpenFile(QStringLiteral(MIRA8_SOURCE_DIR "/examples/punch-program.asm")));
        e.Assemble1Click();
        e.Transfer1Click();
        QCOMPARE(prompter_.messages, std::vector<std::string>{});
        QVERIFY(!punch->punch().tapeFitted());  // Transfer resets the punch

        // The run yields to the window's timers: the tape is fitted from one of them, as a
        // click during the run would be.
        bool heldWhileRunning = false;
        int flagWhileHeld = -1;
        QTimer poll;
        connect(&poll, &QTimer::timeout, punch, [&] {
            if (!punch->punch().byteHeld() || heldWhileRunning) return;
            heldWhileRunning = m.run;
            flagWhileHeld = m.bus.slots[2].flag;
            QTest::mouseClick(punch, Qt::LeftButton, Qt::NoModifier, kFeedButton);
        });
        poll.start(20);
        runFast(*w, 0);
        QTRY_VERIFY_WITH_TIMEOUT(heldWhileRunning && !m.run, 10000);
        poll.stop();
        QCOMPARE(flagWhileHeld, 1);
        QCOMPARE(m.switches[core::kSwitchHalt], uint8_t(0));  // ended at its HLT, not the guard
        QCOMPARE(punch->punch().punchedBytes(), (std::vector<int32_t>{232, 35, 241, 7}));

        punch->chooseRange = [](int& from, int& to) {
            from = 0;
            to = 3;
            return true;
        };
        punch->chooseFile = [&](const QString&) { return path("prog.ptp"); };
        action(*punch->popupMenu(), "SaveTape1")->trigger();
        const core::ContainerRead saved = core::readContainerFile(path("prog.ptp").toStdString());
        QVERIFY(saved.ok);
        QCOMPARE(saved.lines, (std::vector<std::string>{"128", "0", "232", "35", "241", "7"}));

        prompter_.answer = true;
        action(*w, "MemZero1")->trigger();
        QCOMPARE(m.memory[1], 0);
        action(*w, "All11")->trigger();
        action(*w, "PaperTapeReader1")->trigger();
        auto* reader = w->modules().find<TtapeFM>();
        QVERIFY(reader->isVisible());
        reader->chooseOpenFile = [&](const QString&) { return path("prog.ptp"); };
        action(*reader->popupMenu(), "LoadTape1")->trigger();
        QTest::mouseClick(reader, Qt::LeftButton, Qt::NoModifier, kFeedButton);
        QVERIFY(reader->reader().feeding());
        QTRY_VERIFY_WITH_TIMEOUT(!reader->reader().feeding(), 6000);
        QCOMPARE((std::vector<int>{m.memory[0], m.memory[1], m.memory[2], m.memory[3]}),
                 (std::vector<int>{232, 35, 241, 7}));
        for (int a = 16; a < 20; ++a) QCOMPARE(m.memory[a], 0);
        QCOMPARE(m.pc, 4);

        runFast(*w, 0);
        QTRY_VERIFY(!m.run && m.pc == 3);  // past its HLT
        QCOMPARE(m.ac, 7);
    }

    void cassetteRecordsAndPlaysWithItsKeys() {
        auto w = open();
        fast(*w);
        core::Machine& m = w->machine();
        chooseSlot(1, [] { chooseSlot(0); });
        action(*w, "MagneticTapeStorage1")->trigger();
        auto* mag = w->modules().find<TmagFM>();
        QVERIFY(mag && mag->isVisible());
        QCOMPARE(mag->GetInDevice(), 1);
        QCOMPARE(mag->GetOutDevice(), 2);
        QCOMPARE(mag->label()->text(), QStringLiteral("In 1, Out 0"));
        QCOMPARE(mag->size(), QSize(216, 228));
        action(*mag->popupMenu(), "NewTape1")->trigger();
        QVERIFY(mag->mag().tapeLoaded());
        QCOMPARE(mag->nameLabel()->x(), 36);

        QTest::mouseClick(mag, Qt::LeftButton, Qt::NoModifier, keyPoint(devices::kMagRecord));
        QCOMPARE(mag->mag().mode(), int(devices::kMagRecord));
        // TAD 13; PUT 0; SKO 0; JMP 2; TAD 14; PUT 0; SKO 0; JMP 6; HLT.
        const int rec[] = {0x2D, 0xD6, 0xD1, 0xA2, 0x2E, 0xD6, 0xD1, 0xA6, 0xF1};
        for (int i = 0; i < 9; ++i) m.memory[i] = rec[i];
        m.memory[13] = 42;
        m.memory[14] = 43;
        runFast(*w, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!m.run && m.pc == 9, 10000);
        QCOMPARE(mag->mag().cells()[0], 42);
        QCOMPARE(mag->mag().cells()[1], devices::kMagBlank);
        QCOMPARE(mag->mag().cells()[2], 43);
        QCOMPARE(mag->mag().cells()[3], devices::kMagBlank);

        QTest::mousePress(mag, Qt::LeftButton, Qt::NoModifier, keyPoint(devices::kMagStop));
        QVERIFY(mag->mag().stopHeld());
        QTest::mouseRelease(mag, Qt::LeftButton, Qt::NoModifier, keyPoint(devices::kMagStop));
        QVERIFY(!mag->mag().stopHeld());
        QTest::mouseClick(mag, Qt::LeftButton, Qt::NoModifier, keyPoint(devices::kMagRewind));
        QTRY_COMPARE(mag->mag().position(), 0);
        QCOMPARE(mag->mag().mode(), int(devices::kMagStop));

        // SKI 1; JMP 0; GET 1; DCA 13; SKI 1; JMP 4; GET 1; DCA 14; HLT.
        const int play[] = {0xC9, 0xA0, 0xCE, 0x6D, 0xC9, 0xA4, 0xCE, 0x6E, 0xF1};
        for (int i = 0; i < 9; ++i) m.memory[i] = play[i];
        m.memory[13] = m.memory[14] = 0;
        runFast(*w, 0);
        QTest::mouseClick(mag, Qt::LeftButton, Qt::NoModifier, keyPoint(devices::kMagPlay));
        QTRY_VERIFY_WITH_TIMEOUT(!m.run && m.pc == 9, 10000);
        QCOMPARE(m.memory[13], 42);
        QCOMPARE(m.memory[14], 43);

        // Reset counter, then the playlist through its dialog.
        QVERIFY(mag->mag().counter() != 0);
        mag->resetCounterButton()->click();
        QCOMPARE(mag->mag().counter(), 0);
        QTest::mouseClick(mag, Qt::LeftButton, Qt::NoModifier, keyPoint(devices::kMagStop));
        mag->runPlaylist = [](QDialog& d) {
            auto& pl = static_cast<gui::TplFM&>(d);
            QCOMPARE(d.windowTitle(), QStringLiteral("Playlist []"));
            pl.memo()->setPlainText(QStringLiteral("bad ~ line"));
            pl.okSBClick();
            QVERIFY(d.result() != QDialog::Accepted);
            pl.memo()->setPlainText(QStringLiteral("first\nsecond\n"));
            pl.okSBClick();
        };
        action(*mag->popupMenu(), "Playlist1")->trigger();
        QCOMPARE(prompter_.messages.back(), std::string("ERROR: Invalid character in text (~)"));
        QCOMPARE(mag->mag().playlist(), std::string("first~second~"));

        // Saving through the dialog names the cassette.
        mag->chooseSaveFile = [&](const QString& s) {
            [&] { QCOMPARE(s, QStringLiteral("*.mtf")); }();
            return path("session");
        };
        action(*mag->popupMenu(), "SaveTape1")->trigger();
        QCOMPARE(mag->mag().fileName(), path("session.mtf").toStdString());
        QCOMPARE(mag->nameLabel()->text(), QStringLiteral("session"));
        QVERIFY(!mag->mag().tapeChanged());
    }

    // Both of the cassette's questions come up with the first free slot chosen: OK alone
    // opens it, where an OK with nothing chosen used to drop both answers.
    void cassetteQuestionsOfferTheFirstFreeSlots() {
        auto w = open();
        bool inOk = false, outOk = false;
        pressOk(inOk, [&outOk] { pressOk(outOk); });
        action(*w, "MagneticTapeStorage1")->trigger();
        QVERIFY(inOk);
        QVERIFY(outOk);
        auto* mag = w->modules().find<TmagFM>();
        QVERIFY(mag->isVisible());
        QCOMPARE(mag->GetInDevice(), 0);
        QCOMPARE(mag->GetOutDevice(), 2);
    }

    void settingsBringTheTapesBack() {
        std::array<int32_t, 1> words{1};
        QVERIFY(core::writeTapeFile(path("r.ptp").toStdString(),
                                    core::buildTapeLines(words, 0, 0, 0)));
        {
            auto w = open();
            action(*w, "PaperTapeReader1")->trigger();
            auto* reader = w->modules().find<TtapeFM>();
            QVERIFY(reader->reader().LoadTape(path("r.ptp").toStdString()));
            chooseSlot(0, [] { chooseSlot(1); });
            action(*w, "MagneticTapeStorage1")->trigger();
            auto* mag = w->modules().find<TmagFM>();
            QVERIFY(mag->isVisible());
            mag->mag().NewTape();
            QTest::mouseClick(mag, Qt::LeftButton, Qt::NoModifier,
                              keyPoint(devices::kMagFastForward));
            QTRY_VERIFY(mag->mag().position() >= 45);
            QTest::mouseClick(mag, Qt::LeftButton, Qt::NoModifier, keyPoint(devices::kMagStop));
            // Closing writes the settings, asking first about the changed cassette.
            prompter_.answer = true;
            mag->chooseSaveFile = [&](const QString&) { return path("kept.mtf"); };
            w->close();
            QVERIFY(prompter_.asked("Save tape before continuing?"));
        }
        auto w = open();
        auto* reader = w->modules().find<TtapeFM>();
        QVERIFY(reader->isVisible());
        QVERIFY(reader->reader().hasTape());
        QCOMPARE(reader->reader().rows().size(), size_t(15));
        auto* mag = w->modules().find<TmagFM>();
        QVERIFY(mag->isVisible());
        QVERIFY(mag->mag().tapeLoaded());
        QVERIFY(mag->mag().position() >= 45);
        QCOMPARE(mag->mag().fileName(), path("kept.mtf").toStdString());
        QCOMPARE(mag->GetInDevice(), 1);  // the reader holds input device 0
        QCOMPARE(mag->GetOutDevice(), 3);
        QCOMPARE(w->machine().bus.slots[0].type, int(core::kModuleTapeReader));
    }

    void modeChangeClosesTheTapeWindows() {
        auto w = open();
        chooseSlot(0);
        action(*w, "PaperTapePunch1")->trigger();
        auto* punch = w->modules().find<TtapewtFM>();
        QVERIFY(punch->isVisible());
        w->modules().closeAll();
        QVERIFY(!punch->isVisible());
        QCOMPARE(w->machine().bus.slots[2].type, int(core::kModuleNone));
    }

    // With MIRA8_SHOT_DIR set, pictures of the three windows at work for a look.
    void screenshots() {
        const QString dir = qEnvironmentVariable("MIRA8_SHOT_DIR");
        if (dir.isEmpty()) QSKIP("MIRA8_SHOT_DIR not set");
        auto w = open();
        fast(*w);
        std::array<int32_t, 8> words{0xE8, 0x2D, 0xD6, 0xD1, 0xA3, 0xF1, 0x5A, 0xC3};
        QVERIFY(core::writeTapeFile(path("s.ptp").toStdString(),
                                    core::buildTapeLines(words, 7, 0, 7)));
        action(*w, "PaperTapeReader1")->trigger();
        auto* reader = w->modules().find<TtapeFM>();
        QVERIFY(reader->reader().LoadTape(path("s.ptp").toStdString()));
        reader->reader().buttonAction();
        QTRY_VERIFY_WITH_TIMEOUT(reader->reader().position() >= 17, 5000);
        QVERIFY(reader->grab().save(dir + QStringLiteral("/tape-reader.png")));

        chooseSlot(0);
        action(*w, "PaperTapePunch1")->trigger();
        auto* punch = w->modules().find<TtapewtFM>();
        punch->punch().fitTape();
        for (int b : {128, 16, 0xE8, 0x23, 0xF1, 7}) {
            w->machine().bus.slots[2].output = b;
            w->machine().bus.SetOutputResetFlag(2, 0);
        }
        QVERIFY(punch->grab().save(dir + QStringLiteral("/tape-punch.png")));

        chooseSlot(0, [] { chooseSlot(0); });
        action(*w, "MagneticTapeStorage1")->trigger();
        auto* mag = w->modules().find<TmagFM>();
        mag->mag().loadFile(std::string(MIRA8_SOURCE_DIR) + "/examples/mira8.mtf");
        mag->mag().pressKey(devices::kMagPlay);
        QTRY_VERIFY_WITH_TIMEOUT(mag->mag().position() >= 25, 5000);
        mag->mag().pressKey(devices::kMagStop);
        mag->mag().releaseStop();
        mag->mag().pressKey(devices::kMagPlay);
        QVERIFY(mag->grab().save(dir + QStringLiteral("/cassette.png")));
    }
};

QTEST_MAIN(TapeTest)
#include "tape_test.moc"
