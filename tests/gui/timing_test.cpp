// The timing diagram window: it records only while open, follows single steps, selects the
// clicked state's instruction in the memory view, measures between markers, keeps its
// signals in the settings and exports what it shows.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "assembler/edit.h"
#include "assembler/my_memo.h"
#include "core/signal_recorder.h"
#include "gui_test_support.h"
#include "modules/funcselect.h"
#include "modules/key.h"
#include "modules/module_windows.h"
#include "mira/mira.h"
#include "views/debug_views.h"
#include "views/memory.h"
#include "views/timing.h"

using namespace mira;
using namespace mira::gui;

class TimingTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    gui_test::ScriptedPrompter prompter_;

    // The panel with TAD 10, ISZ 11, HLT in memory and the clock at SLOW, single steps.
    std::unique_ptr<TmiraFM> open() {
        auto w = gui_test::openShown<TmiraFM>(&prompter_);
        core::Machine& m = w->machine();
        const int code[] = {0x2A, 0x4B, 0xF1};
        for (int i = 0; i < 3; ++i) m.memory[i] = code[i];
        m.memory[10] = 7;
        m.pc = 0;
        return w;
    }
    // examples/echo-keypad.asm assembled into memory, with the Keypad on input device 0 and
    // the ten-digit display on output device 0; null when that failed.
    std::unique_ptr<TmiraFM> openEchoKeypad() {
        auto w = gui_test::openShown<TmiraFM>(&prompter_);
        QFile source(QStringLiteral(MIRA8_SOURCE_DIR "/examples/echo-keypad.asm"));
        if (!source.open(QIODevice::ReadOnly)) return nullptr;
        w->AssemblerClick();
        TeditFM& e = *w->editFM();
        e.memo()->setPlainText(QString::fromUtf8(source.readAll()));
        e.Assemble1Click();
        e.Transfer1Click();
        if (!prompter_.messages.empty()) return nullptr;
        e.hide();
        const char* modules[] = {"Keypad1", "Display10Digit1"};
        for (const char* item : modules) {
            gui_test::chooseSlot();
            w->findChild<QAction*>(QString::fromLatin1(item))->trigger();
        }
        return w;
    }
    // The diagram's signal of that name (an exception, failing the test, when none).
    static core::SignalDef signalNamed(TtimingFM& t, const char* name) {
        return core::pickSignals(t.changes().signals(), name).at(0);
    }
    static void stepStates(TmiraFM& w, int states) {
        core::RunControl& rc = w.runControl();
        w.machine().switches[core::kSwitchSingleCont] = 1;
        w.machine().run = true;
        w.machine().cycleState = core::kCycleFetch;
        for (int i = 0; i < states; ++i) rc.step();
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = gui_test::ScriptedPrompter{};
    }

    void recordsOnlyWhileOpenAndFollowsSteps() {
        auto w = open();
        TtimingFM& t = *w->timingFM();
        QVERIFY(!w->runControl().recorder());
        w->findChild<QAction*>(QStringLiteral("TimingDiagram1"))->trigger();
        QVERIFY(t.isVisible());
        QCOMPARE(w->runControl().recorder(), &t.recorder());
        stepStates(*w, 30);
        t.refresh();
        QCOMPARE(t.changes().end(), uint64_t{30});
        QVERIFY(t.statusText().contains(QStringLiteral("30 clock states")));
        w->findChild<QAction*>(QStringLiteral("TimingDiagram1"))->trigger();
        QVERIFY(!t.isVisible());
        QVERIFY(!w->runControl().recorder());
        stepStates(*w, 10);
        QCOMPARE(t.recorder().end(), uint64_t{30});
    }

    void clickSelectsTheInstructionAndMarkersMeasure() {
        auto w = open();
        TtimingFM& t = *w->timingFM();
        TmemFM& mem = *w->views().memFM;
        mem.show();
        t.show();
        stepStates(*w, 48 + 24 + 30);  // TAD: fetch and execute; ISZ: fetch, into execute
        t.refresh();
        QCOMPARE(t.recorder().end(), uint64_t{102});
        // A click in the middle of clock state 80 (the ISZ's execute).
        t.resize(900, 400);
        QVERIFY(QTest::qWaitForWindowExposed(&t));
        t.view().pixelsPerState = 4;
        t.showFrom(0);
        QVERIFY(t.canvas()->width() > kTimingNameWidth + 81 * 4);
        QTest::mouseClick(t.canvas(), Qt::LeftButton, {},
                          QPoint(kTimingNameWidth + 80 * 4 + 2, 30));
        QCOMPARE(t.view().cursor, int64_t{80});
        QCOMPARE(mem.memoryModel().markedAddress(), 1);
        QVERIFY(t.statusText().startsWith(QStringLiteral("Cursor 80: EXEC T8")));
        // Fetch T0 already belongs to the instruction it fetches.
        t.setCursor(48);
        QCOMPARE(mem.memoryModel().markedAddress(), 1);
        t.setCursor(47);
        QCOMPARE(mem.memoryModel().markedAddress(), 0);
        t.setMarker(1, 10);
        t.setMarker(2, 58);
        QVERIFY(t.statusText().contains(QStringLiteral("48 clock states, 1 instructions")));
        t.setMarker(2, 5000);  // not recorded
        QVERIFY(!t.statusText().contains(QStringLiteral("clock states,")));
    }

    void signalsComeBackFromTheSettingsAndExportAsShown() {
        auto w = open();
        TtimingFM& t = *w->timingFM();
        t.setShownSignals({"cpu.AC", "cpu.T", "panel.RUN"});
        t.show();
        stepStates(*w, 60);
        t.refresh();
        const std::string state = t.GetScreenData();
        QVERIFY(QString::fromStdString(state).endsWith(QStringLiteral("~-1~cpu.AC,cpu.T,panel.RUN~")));

        TtimingFM other(w->machine(), w->runControl(), prompter_);
        other.PutScreenData(state.substr(0, state.rfind("cpu.AC")) + "cpu.T,no.such,cpu.PC~", 1600, 1000);
        QCOMPARE(other.shownSignals(), (std::vector<std::string>{"cpu.T", "cpu.PC"}));
        QVERIFY(other.savedVisible());

        const QString path = dir_->filePath(QStringLiteral("shown.vcd"));
        QVERIFY(t.ExportVcd(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QCOMPARE(text.count("$var "), 3);
        QVERIFY(text.contains("$timescale 1us $end"));
        QVERIFY(text.contains("$scope module panel $end"));
        QVERIFY(!t.ExportVcd(dir_->filePath(QStringLiteral("no/such/dir/x.vcd"))));
        QVERIFY(prompter_.asked(std::string(TtimingFM::kExportError) +
                              dir_->filePath(QStringLiteral("no/such/dir/x.vcd")).toStdString()));
    }

    // A key pressed while a fast run records: the window lets the click in at a yield, and
    // what the recording holds from there on must be the machine after it. From the first
    // state after the click to the program's GET the flag reads ready, the ready line
    // pulses low for one state at T13, and the flag is back after.
    void aKeyPressedInAFastRunShowsInEveryStateAfterIt() {
        auto w = openEchoKeypad();
        QVERIFY(w);
        core::Machine& m = w->machine();
        TkeyFM& pad = *w->modules().find<TkeyFM>();
        TtimingFM& t = *w->timingFM();
        t.show();
        constexpr int kGet = 18, kAfterGet = 19;  // in the key loop's page
        QCOMPARE(m.memory[kGet], 0xC6);           // GET 0
        m.breakpoints[kAfterGet] = 1;
        m.switches[core::kSwitchSlowFast] = 1;
        m.switches[core::kSwitchSingleCont] = 1;
        m.switches[core::kSwitchHalt] = 0;
        w->panel().recomputeLiveDisplay();  // FAST and CONT: no live display, whole cycles
        uint64_t clicked = 0;  // the first state run after the click
        QTimer::singleShot(100, &pad, [&] {
            clicked = t.recorder().statesSeen();
            QTest::mouseClick(pad.image(), Qt::LeftButton, {}, TkeyFM::keyRect(8).center());  // "1"
        });
        QTimer::singleShot(8000, w.get(), [&m] { m.switches[core::kSwitchHalt] = 1; });  // a guard
        m.pc = 0;
        w->panel().doSwitchRUN();
        QTRY_VERIFY_WITH_TIMEOUT(m.pc == kAfterGet || m.switches[core::kSwitchHalt], 9000);
        QCOMPARE(m.switches[core::kSwitchHalt], 0);  // the breakpoint stopped it, not the guard
        t.refresh();
        const core::SignalRecorder& r = t.recorder();
        uint64_t pressed = 0, pulse = 0;
        for (uint64_t n = r.begin() + 1; n < r.end() && !pulse; ++n) {
            const uint32_t flag = core::signalValue(signalNamed(t, "IN0_flag"), r, n).bits;
            if (!pressed && flag == 0 && core::signalValue(signalNamed(t, "IN0_flag"), r, n - 1).bits == 1) pressed = n;
            if (pressed && core::signalValue(signalNamed(t, "IN0_ready"), r, n).bits == 0) pulse = n;
            if (pressed && !pulse) QVERIFY2(flag == 0, qPrintable(QStringLiteral("flag at state %1").arg(n)));
        }
        QVERIFY(pressed > r.begin());
        QCOMPARE(pressed, clicked);
        QVERIFY(pulse > pressed);
        QCOMPARE(r.at(pulse).t, uint8_t(13));
        QCOMPARE(core::signalValue(signalNamed(t, "IN0_ready"), r, pulse + 1).bits, 1u);
        for (uint64_t n = pulse + 1; n < r.end(); ++n) QCOMPARE(core::signalValue(signalNamed(t, "IN0_flag"), r, n).bits, 1u);
    }

    // The Keypad handshake of examples/echo-keypad.asm: a key makes input device 0 ready,
    // the program's GET pulses the ready line for one clock state and takes the flag back.
    // With MIRA8_SHOT_DIR set, pictures of the diagram go there.
    void showsTheKeypadHandshakeAndTheShiftingAc() {
        auto w = openEchoKeypad();
        QVERIFY(w);
        core::Machine& m = w->machine();
        TkeyFM& pad = *w->modules().find<TkeyFM>();
        TtimingFM& t = *w->timingFM();
        t.setShownSignals({"cpu.T", "cpu.cycle", "cpu.PC", "cpu.AC", "cpu.AC_ser", "panel.IOT",
                           "devices.IN0_flag", "devices.IN0_ready", "devices.OUT0_flag",
                           "devices.OUT0_reset", "modules.keypad_IN0", "modules.tendigit_OUT0"});
        t.resize(1100, 420);
        t.show();
        m.pc = 0;
        stepStates(*w, 400);  // switched the display on; waiting for a key
        const uint64_t pressed = t.recorder().end();
        QTest::mouseClick(pad.image(), Qt::LeftButton, {}, TkeyFM::keyRect(8).center());  // "1"
        QCOMPARE(m.bus.slots[0].flag, uint8_t(0));
        stepStates(*w, 300);
        t.refresh();
        const core::SignalRecorder& r = t.recorder();
        uint64_t low = 0;
        int lowStates = 0;
        for (uint64_t n = pressed; n < r.end(); ++n)
            if (core::signalValue(signalNamed(t, "IN0_ready"), r, n).bits == 0) {
                low = low ? low : n;
                ++lowStates;
            }
        QCOMPARE(lowStates, 1);
        QCOMPARE(r.at(low).t, uint8_t(13));
        QCOMPARE(core::signalValue(signalNamed(t, "IN0_flag"), r, low - 1).bits, 0u);
        QCOMPARE(core::signalValue(signalNamed(t, "IN0_flag"), r, low + 1).bits, 1u);
        QCOMPARE(core::signalValue(signalNamed(t, "keypad_IN0"), r, low).bits, 2u);  // flag 1, pulse 0

        const QString shots = qEnvironmentVariable("MIRA8_SHOT_DIR");
        if (shots.isEmpty()) return;
        t.view().pixelsPerState = 3;
        t.showFrom(static_cast<double>(low) - 200);
        t.setCursor(static_cast<int64_t>(low));
        t.setMarker(1, static_cast<int64_t>(pressed));
        t.setMarker(2, static_cast<int64_t>(low));
        QTest::qWait(300);
        QVERIFY(t.grab().save(shots + QStringLiteral("/timing-keypad.png")));
        // One TAD: fetch, then the execute cycle adding serially into AC at T2..T9.
        t.setShownSignals({"cpu.T", "cpu.cycle", "cpu.MA", "cpu.MB", "cpu.MB_ser", "cpu.AC",
                           "cpu.AC_ser", "cpu.C", "panel.TAD", "panel.FETCH", "panel.EXEC"});
        for (uint64_t n = r.begin() + 1; n < r.end(); ++n)
            if (r.at(n).cycle == core::kCycleExecute && r.at(n).t == 0 && (r.at(n).lamps & 2)) {
                t.view().pixelsPerState = 17;
                t.showFrom(static_cast<double>(n) - 26);
                t.setCursor(static_cast<int64_t>(n) + 5);
                t.setMarker(1, static_cast<int64_t>(n) - 24);
                t.setMarker(2, static_cast<int64_t>(n) + 24);
                break;
            }
        QTest::qWait(300);
        QVERIFY(t.grab().save(shots + QStringLiteral("/timing-diagram.png")));
    }
};

QTEST_MAIN(TimingTest)
#include "timing_test.moc"
