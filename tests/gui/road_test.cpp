// The whole road a student takes on the first day: type a program in the editor, assemble
// and transfer it, plug an LED display into output device 0, load the address from the
// switches, run at FAST, watch the display count and the memory view follow, then HALT.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "assembler/edit.h"
#include "assembler/my_memo.h"
#include "core/panel.h"
#include "core/sound.h"
#include "gui_test_support.h"
#include "mira/mira.h"
#include "modules/display8.h"
#include "modules/display_art.h"
#include "modules/funcselect.h"
#include "modules/key.h"
#include "modules/led.h"
#include "modules/module_windows.h"
#include "views/debug_views.h"
#include "views/memory.h"

using namespace mira;
using gui::TmiraFM;

namespace {

using gui_test::RecordingPlayer;
using gui_test::ScriptedPrompter;
using gui_test::centreX;
using gui_test::kUpper;
using gui_test::kLower;


// Counts on output device 0, waiting for the display to be ready before each byte.
const char* const kProgram =
    "/ count on the LED display\n"
    "START,  CLA\n"
    "LOOP,   TAD COUNT\n"
    "        PUT 0\n"
    "WAIT,   SKO 0\n"
    "        JMP WAIT\n"
    "        ISZ COUNT\n"
    "        NOP\n"
    "        JMP LOOP\n"
    "COUNT,  #D0\n";
constexpr int kCountAddress = 8;

// Echoes Keypad keys (input device 0) on the ten-digit display (output device 0), as
// examples/echo-keypad.asm does, for the digit keys.
const char* const kEchoProgram =
    "START,  CLA\n"
    "        TAD ON\n"
    "        PUT 0\n"
    "WAITK,  SKI 0\n"
    "        JMP WAITK\n"
    "        GET 0\n"
    "        AND MASK\n"
    "        TAD FIRST\n"
    "        DCA PTR\n"
    "        TAD I PTR\n"
    "        PUT 0\n"
    "        JMP WAITK\n"
    "ON,     #D95\n"
    "MASK,   #D15\n"
    "FIRST,  TABLE\n"
    "PTR,    #D0\n"
    "        _PAGEBREAK\n"
    "TABLE,  #D7\n"
    "        #D8\n        #D9\n        #D13\n        #D4\n        #D5\n        #D6\n"
    "        #D11\n        #D1\n        #D2\n        #D3\n        #D112\n        #D0\n"
    "        #D12\n        #D10\n        #D13\n";

void typeText(QWidget* w, const QString& text) {
    for (QChar ch : text) {
        if (ch == QLatin1Char('\n'))
            QTest::keyClick(w, Qt::Key_Return);
        else
            QTest::keyClicks(w, QString(ch));
    }
}

}  // namespace

class RoadTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;
    RecordingPlayer player_;

    static void click(TmiraFM& w, int i) {
        QTest::mouseClick(w.image(), Qt::LeftButton, Qt::NoModifier, QPoint(centreX(i), kUpper));
    }
    static void setSwitch(TmiraFM& w, int i, bool thrown) {
        if ((w.machine().switches[i] != 0) != thrown)
            QTest::mouseClick(w.image(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(centreX(i), thrown ? kUpper : kLower));
        QCOMPARE(w.machine().switches[i] != 0, thrown);
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
    }

    void typeAssembleTransferPlugInRunAndHalt() {
        TmiraFM w(&prompter_, &player_);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        core::Machine& m = w.machine();

        // The editor: type, F9, F10.
        w.AssemblerClick();
        gui::TeditFM& e = *w.editFM();
        QVERIFY(e.isVisible());
        e.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&e));
        QTRY_VERIFY(!e.ignoringChanges());
        typeText(e.memo(), QString::fromLatin1(kProgram));
        QTest::keyClick(e.memo(), Qt::Key_F9);
        QTest::keyClick(e.memo(), Qt::Key_F10);
        QCOMPARE(prompter_.messages, std::vector<std::string>{});
        QCOMPARE(m.memory[1], 0x28);  // TAD COUNT
        QCOMPARE(m.memory[kCountAddress], 0);

        // The display on output device 0, through the selection dialog.
        gui_test::chooseSlot();
        w.findChild<QAction*>(QStringLiteral("OctalLED1"))->trigger();
        gui::LedWindow& led = w.modules().ledFM();
        QVERIFY(led.isVisible());
        QCOMPARE(m.bus.slots[2].type, int(core::kModuleOctalLed));

        // The memory view, to watch the count change.
        w.findChild<QAction*>(QStringLiteral("ViewMemory1"))->trigger();
        gui::TmemFM& mem = *w.views().memFM;
        QVERIFY(mem.isVisible());

        // PC from the switches (SR = 0), continuous, fast, RUN.
        for (int i = 0; i < 8; ++i) setSwitch(w, i, true);
        QCOMPARE(m.sr, 0);
        m.pc = 5;
        click(w, core::kSwitchLoadAddress);
        QCOMPARE(m.pc, 0);
        setSwitch(w, core::kSwitchSingleCont, true);
        setSwitch(w, core::kSwitchSlowFast, true);

        // The display needs 2 s per byte; after 5 s it has shown 0, 1 and 2. The look and the
        // HALT happen from inside the running loop's yields, as a user's click would.
        int ledValue = -1, countWord = -1;
        QString memoryText;
        bool wasRunning = false;
        QTimer::singleShot(5000, &w, [&] {
            wasRunning = m.run;
            ledValue = led.display().value();
            countWord = m.memory[kCountAddress];
            memoryText = mem.memoryModel().text(kCountAddress, gui::MemoryModel::kDec);
            QTest::mousePress(w.image(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(centreX(core::kSwitchHalt), kUpper));
        });
        click(w, core::kSwitchRun);
        QTRY_VERIFY_WITH_TIMEOUT(wasRunning && !m.run, 15000);
        QTest::mouseRelease(w.image(), Qt::LeftButton, Qt::NoModifier,
                            QPoint(centreX(core::kSwitchHalt), kUpper));

        QCOMPARE(ledValue, 2);
        QCOMPARE(countWord, 2);  // moves on to 3 once the display is ready again
        QCOMPARE(memoryText, QString::number(countWord));  // the view caught up at a flush
        QTRY_COMPARE(mem.memoryModel().text(kCountAddress, gui::MemoryModel::kDec),
                     QString::number(m.memory[kCountAddress]));

        // The editor shows the line of the instruction the run stopped before.
        const int line = w.assembler().lineMap()[m.pc];
        QVERIFY(line >= 0);
        QTRY_COMPARE(e.memo()->textCursor().blockNumber(), line);
        QCOMPARE(m.cycleState, int(core::kCycleIdle));

        // Set memory at cursor brings the caret line's word to the top of the memory view.
        QTextCursor at(e.memo()->document()->findBlockByNumber(6));  // "ISZ COUNT", word 5
        e.memo()->setTextCursor(at);
        e.SetMemory1Click();
        QCOMPARE(mem.topRow(), 5);

        // Initialising memory drops the assembly: memory no longer holds what it listed.
        QVERIFY(w.assembler().assembled());
        w.findChild<QAction*>(QStringLiteral("MemZero1"))->trigger();
        QVERIFY(!w.assembler().assembled());
        QCOMPARE(m.memory[1], 0);

        // With MIRA8_SHOT_DIR set, the memory view as the road leaves it, for the manual.
        const QString shots = qEnvironmentVariable("MIRA8_SHOT_DIR");
        if (!shots.isEmpty()) {
            mem.resize(mem.size().expandedTo(QSize(760, 520)));
            QVERIFY(mem.grab().save(shots + QStringLiteral("/memory-view.png")));
        }
    }

    // The input side of the road: the echo program typed and transferred, the Keypad and
    // the ten-digit display plugged in, keys clicked while the program runs.
    void typeEchoProgramRunAndClickKeys() {
        prompter_.messages.clear();
        TmiraFM w(&prompter_, &player_);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        core::Machine& m = w.machine();

        w.AssemblerClick();
        gui::TeditFM& e = *w.editFM();
        e.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&e));
        QTRY_VERIFY(!e.ignoringChanges());
        typeText(e.memo(), QString::fromLatin1(kEchoProgram));
        QTest::keyClick(e.memo(), Qt::Key_F9);
        QTest::keyClick(e.memo(), Qt::Key_F10);
        if (!prompter_.messages.empty()) QFAIL(prompter_.messages.front().c_str());
        QCOMPARE(m.memory[32], 7);  // TABLE after the page break

        gui_test::chooseSlot();
        w.findChild<QAction*>(QStringLiteral("Keypad1"))->trigger();
        gui::TkeyFM& pad = *w.modules().find<gui::TkeyFM>();
        QVERIFY(pad.isVisible());
        QCOMPARE(pad.GetDevice(), 0);
        gui_test::chooseSlot();
        w.findChild<QAction*>(QStringLiteral("Display10Digit1"))->trigger();
        gui::Tdisp8FM& ten = *w.modules().find<gui::Tdisp8FM>();
        QVERIFY(ten.isVisible());
        QCOMPARE(m.bus.slots[2].type, int(core::kModuleDisplay10));

        for (int i = 0; i < 8; ++i) setSwitch(w, i, true);
        click(w, core::kSwitchLoadAddress);
        QCOMPARE(m.pc, 0);
        setSwitch(w, core::kSwitchSingleCont, true);
        setSwitch(w, core::kSwitchSlowFast, true);

        // The keys are clicked from inside the running loop's yields, as a user would.
        bool clickedWhileRunning = true;
        auto press = [&](int at, int tag) {
            QTimer::singleShot(at, &w, [&, tag] {
                clickedWhileRunning = clickedWhileRunning && m.run;
                QTest::mouseClick(pad.image(), Qt::LeftButton, {},
                                  gui::TkeyFM::keyRect(tag).center());
            });
        };
        press(300, 8);   // "1"
        press(600, 9);   // "2"
        press(900, 10);  // "3"
        std::string shown;
        QTimer::singleShot(1300, &w, [&] {
            shown = ten.display().text();
            QTest::mousePress(w.image(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(centreX(core::kSwitchHalt), kUpper));
        });
        click(w, core::kSwitchRun);
        QTRY_VERIFY_WITH_TIMEOUT(!shown.empty() && !m.run, 15000);
        QTest::mouseRelease(w.image(), Qt::LeftButton, Qt::NoModifier,
                            QPoint(centreX(core::kSwitchHalt), kUpper));
        QVERIFY(clickedWhileRunning);
        QCOMPARE(shown, std::string("123       "));
        // On the display: b of "1", a of "2" and "3" lit; a of "1" and the fourth cell dark.
        auto pixel = [&](int x, int y) { return ten.image()->grab().toImage().pixel(x, y); };
        using gui::displayart::tenCellLeft;
        QTRY_COMPARE(pixel(tenCellLeft(0) + 7, 41), gui::displayart::kTenLit);
        QCOMPARE(pixel(tenCellLeft(0) + 3, 38), gui::displayart::kTenUnlit);
        QCOMPARE(pixel(tenCellLeft(1) + 3, 38), gui::displayart::kTenLit);
        QCOMPARE(pixel(tenCellLeft(2) + 3, 38), gui::displayart::kTenLit);
        QCOMPARE(pixel(tenCellLeft(3) + 3, 38), gui::displayart::kTenUnlit);
        // The key register shifted out as it was read; no key is waiting.
        QCOMPARE(pad.keypad().keyData(), 0);
        QCOMPARE(m.bus.slots[0].flag, uint8_t(1));
    }
};

QTEST_MAIN(RoadTest)
#include "road_test.moc"
