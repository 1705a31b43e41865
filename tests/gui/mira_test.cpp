// The main window driven as a user would: clicks at panel coordinates, menu commands,
// closing and restarting with the settings file.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QFile>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "assembler/edit.h"
#include "core/data_dir.h"
#include "core/panel.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "gui_test_support.h"
#include "mira/mira.h"

using namespace mira;
using mira::gui::TmiraFM;

namespace {

using gui_test::RecordingPlayer;
using gui_test::ScriptedPrompter;
using gui_test::whenModal;
using gui_test::centreX;
using gui_test::kUpper;
using gui_test::kLower;


// Opcodes.
constexpr int TAD(int a) { return 0x20 | a; }
constexpr int JMP(int a) { return 0xA0 | a; }
constexpr int kHlt = 0xF1;

}  // namespace

class MiraTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;
    RecordingPlayer player_;

    std::unique_ptr<TmiraFM> open() { return gui_test::openShown<TmiraFM>(&prompter_, &player_); }
    static void click(TmiraFM& w, int x, int y) {
        QTest::mouseClick(w.image(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    }
    static void clickSwitch(TmiraFM& w, int i, bool upper) {
        click(w, centreX(i), upper ? kUpper : kLower);
    }
    static void setSwitch(TmiraFM& w, int i, bool thrown) {
        if ((w.machine().switches[i] != 0) != thrown) clickSwitch(w, i, thrown);
        QCOMPARE(w.machine().switches[i] != 0, thrown);
    }
    static void setSr(TmiraFM& w, int value) {
        for (int i = 0; i < 8; ++i) setSwitch(w, i, !(value & (1 << (7 - i))));
        QCOMPARE(w.machine().sr, value);
    }
    static QRgb pixel(TmiraFM& w, int x, int y) {
        return gui_test::pixelAt(w.image(), QPoint(x, y));
    }
    void writeSettings(const std::vector<std::string>& lines) {
        QVERIFY(core::writeContainerFile(core::dataFile(core::kSettingsFileName), lines));
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = ScriptedPrompter{};
        player_.played.clear();
    }

    void startsWithoutSettingsAsThePictureShows() {
        auto w = open();
        const core::Machine& m = w->machine();
        QCOMPARE(m.sr, 255);
        QVERIFY(!m.continuous());
        QVERIFY(!m.fastClock());
        QCOMPARE(w->size(), QSize(735, 259));
        QVERIFY(prompter_.messages.empty());  // the compiler data loaded
        QVERIFY(w->stateLamps().fetch);
        QVERIFY(!w->auxLamps().wifLabels);
    }

    void clicksThrowAndReturnSwitchesInTheirBands() {
        auto w = open();
        const int i = 4;
        const int x0 = core::kSwitchX0[i];
        const QRgb upBefore = pixel(*w, x0 + 13, 195);
        const QRgb downBefore = pixel(*w, x0 + 13, 215);
        QVERIFY(upBefore != downBefore);
        click(*w, x0, kUpper);  // the column's edges are outside it
        click(*w, x0 + 26, kUpper);
        click(*w, x0 + 13, kLower);  // at rest: the lower band does nothing
        QCOMPARE(w->machine().switches[i], uint8_t(0));
        click(*w, x0 + 1, kUpper);
        QCOMPARE(w->machine().switches[i], uint8_t(1));
        QVERIFY(w->switchPictureThrown(i));
        QCOMPARE(w->machine().sr, 255 & ~(1 << 3));
        // The picture is mirrored about row 205.
        QCOMPARE(pixel(*w, x0 + 13, 215), upBefore);
        QCOMPARE(pixel(*w, x0 + 13, 195), downBefore);
        click(*w, x0 + 13, kUpper);  // thrown: the upper band does nothing
        QCOMPARE(w->machine().switches[i], uint8_t(1));
        click(*w, x0 + 25, kLower);
        QCOMPARE(w->machine().switches[i], uint8_t(0));
        QCOMPARE(pixel(*w, x0 + 13, 195), upBefore);
        QCOMPARE(player_.played.size(), size_t(2));
        // Other buttons do nothing.
        QTest::mouseClick(w->image(), Qt::MiddleButton, Qt::NoModifier, QPoint(x0 + 13, kUpper));
        QCOMPARE(w->machine().switches[i], uint8_t(0));
    }

    void dragMovesTheWindowWithinTheScreen() {
        auto w = open();
        w->move(50, 60);
        QTest::mousePress(w->image(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QTest::mouseMove(w->image(), QPoint(30, 25));
        QCOMPARE(w->pos(), QPoint(60, 75));
        QTest::mouseMove(w->image(), QPoint(-3000, -3000));
        QCOMPARE(w->pos(), QPoint(0, 0));
        QTest::mouseRelease(w->image(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    }

    void fastDepositExamineAndLoadAddress() {
        auto w = open();
        core::Machine& m = w->machine();
        setSwitch(*w, core::kSwitchSlowFast, true);
        setSr(*w, 12);
        clickSwitch(*w, core::kSwitchLoadAddress, true);
        QCOMPARE(m.pc, 12);
        setSr(*w, 0x5A);
        clickSwitch(*w, core::kSwitchDeposit, true);
        QCOMPARE(m.memory[12], 0x5A);
        QCOMPARE(m.pc, 13);
        QCOMPARE(m.lamps.mb, 0x5A);
        setSr(*w, 12);
        clickSwitch(*w, core::kSwitchLoadAddress, true);
        m.mb = 0;
        clickSwitch(*w, core::kSwitchExamine, true);
        QCOMPARE(m.mb, 0x5A);
        QCOMPARE(m.pc, 13);
        QVERIFY(!m.run);
    }

    void slowDepositRunsTheCycleOnTheCycleTimer() {
        auto w = open();
        core::Machine& m = w->machine();
        m.options.slowDepositExamine = true;
        w->panel().setSlowPosition(core::kSlowSBMax);  // 75 ms a clock state
        setSr(*w, 40);
        clickSwitch(*w, core::kSwitchLoadAddress, true);
        setSr(*w, 0x77);
        clickSwitch(*w, core::kSwitchDeposit, true);
        QVERIFY(m.run);
        QVERIFY(w->stateLamps().run);
        QCOMPARE(m.memory[40], 0);
        QTRY_VERIFY_WITH_TIMEOUT(!m.run, 5000);
        QCOMPARE(m.memory[40], 0x77);
        QCOMPARE(m.pc, 41);
        QVERIFY(!w->panel().cycleTimer->isActive());
    }

    void runAtSingleExecutesOneInstruction() {
        auto w = open();
        core::Machine& m = w->machine();
        m.memory[0] = TAD(8);
        m.memory[1] = TAD(8);
        m.memory[8] = 3;
        setSwitch(*w, core::kSwitchSlowFast, true);
        setSr(*w, 0);
        clickSwitch(*w, core::kSwitchLoadAddress, true);
        clickSwitch(*w, core::kSwitchRun, true);
        QTRY_COMPARE(m.pc, 1);
        QTest::qWait(100);
        QCOMPARE(m.ac, 3);
        QCOMPARE(m.pc, 1);
        QVERIFY(!m.run);
        QCOMPARE(m.lamps.ac, 3);
    }

    void haltStopsAnEndlessFastLoop() {
        auto w = open();
        core::Machine& m = w->machine();
        m.memory[0] = JMP(0);
        setSwitch(*w, core::kSwitchSlowFast, true);
        setSwitch(*w, core::kSwitchSingleCont, true);
        setSr(*w, 0);
        clickSwitch(*w, core::kSwitchLoadAddress, true);
        bool sawRunning = false;
        QTimer::singleShot(300, w.get(), [&] {
            sawRunning = m.run && w->panel().inFastLoop();
            QTest::mousePress(w->image(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(centreX(core::kSwitchHalt), kUpper));
        });
        clickSwitch(*w, core::kSwitchRun, true);
        QTRY_VERIFY_WITH_TIMEOUT(sawRunning && !m.run, 5000);
        QCOMPARE(m.cycleState, int(core::kCycleIdle));
        QCOMPARE(m.t, 0);
        QCOMPARE(m.pc, 0);
        QVERIFY(m.instructionCount > 1000);
        QVERIFY(!w->stateLamps().run);
        QTest::mouseRelease(w->image(), Qt::LeftButton, Qt::NoModifier,
                            QPoint(centreX(core::kSwitchHalt), kUpper));
        QCOMPARE(m.switches[core::kSwitchHalt], uint8_t(0));
    }

    void escDuringAFastRunClosesAfterTheYield() {
        auto w = open();
        core::Machine& m = w->machine();
        m.memory[0] = JMP(0);
        setSwitch(*w, core::kSwitchSlowFast, true);
        setSwitch(*w, core::kSwitchSingleCont, true);
        bool refused = false;
        QTimer::singleShot(300, w.get(), [&] {
            w->close();
            refused = w->isVisible();
        });
        clickSwitch(*w, core::kSwitchRun, true);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 5000);
        QVERIFY(refused);  // the first attempt only asked the loop to close
        QVERIFY(QFile::exists(dir_->filePath(QStringLiteral("zomira.dat"))));
        QVERIFY(m.run);  // the window closed mid-run; nothing stopped the machine
    }

    void settingsRoundTrip() {
        {
            auto w = open();
            setSr(*w, 0xA5);
            setSwitch(*w, core::kSwitchSingleCont, true);
            w->machine().fastRunSpeed = 640;
            w->machine().options.zeroPageMode = true;
            w->move(100, 120);
            QVERIFY(w->close());
        }
        auto w = open();
        const core::Machine& m = w->machine();
        QCOMPARE(m.sr, 0xA5);
        QVERIFY(m.continuous());
        QVERIFY(!m.fastClock());
        QCOMPARE(m.fastRunSpeed, 640);
        QVERIFY(m.options.zeroPageMode);
        QVERIFY(w->auxLamps().PZon);
        QCOMPARE(w->pos(), QPoint(100, 120));
        for (int i = 0; i < core::kSwitchCount; ++i)
            QCOMPARE(w->switchPictureThrown(i), m.switches[i] != 0);
    }

    void failedSavesOfUserDataAreReported() {
        // A data folder below a plain file: nothing can be written there.
        const QString blocker = dir_->filePath(QStringLiteral("blocker"));
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        qputenv("MIRA8_DATA_DIR", (blocker + QStringLiteral("/data")).toLocal8Bit());
        {
            auto w = open();
            w->runControl().traceOn = true;
            w->editFM()->show();
            prompter_.messages.clear();
            QVERIFY(w->close());
        }
        qputenv("MIRA8_DATA_DIR", dir_->path().toLocal8Bit());
        const auto starts = [&](const char* prefix) {
            return std::any_of(prompter_.messages.begin(), prompter_.messages.end(),
                               [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
        };
        QVERIFY(starts(TmiraFM::kEepromSaveError));
        QVERIFY(starts(TmiraFM::kTraceSaveError));
        QVERIFY(starts(gui::TeditFM::kRecentSaveError));
    }

    void missingSwitchLineGivesSrZeroContinuousFast() {
        // Line 013, the melody player's state, comes back as it was read.
        writeSettings({"00650", "0040", "01312~34~70~"});
        auto w = open();
        const core::Machine& m = w->machine();
        QCOMPARE(m.sr, 0);
        QVERIFY(m.continuous());
        QVERIFY(m.fastClock());
        QCOMPARE(m.fastRunSpeed, 200);
        QVERIFY(w->close());
        const core::ContainerRead back =
            core::readContainerFile(core::dataFile(core::kSettingsFileName));
        QVERIFY(back.ok);
        QCOMPARE(back.lines.size(), size_t(core::kSettingsLineCount));
        QCOMPARE(QString::fromStdString(back.lines[12]), QStringLiteral("01312~34~70~"));
    }

    void speedPanelFollowsItsMenuItem() {
        auto w = open();
        auto* item = w->findChild<QAction*>(QStringLiteral("SpeedAnimate1"));
        QVERIFY(item && item->isCheckable() && !item->isChecked());
        item->trigger();
        QCOMPARE(w->height(), 259 + 29);
        QVERIFY(w->findChild<QWidget*>(QStringLiteral("Panel1"))->isVisible());
        item->trigger();
        QCOMPARE(w->height(), 259);
    }

    void menuAvailabilityFollowsTheMode() {
        {
            auto w = open();
            auto enabled = [&](const char* name) {
                return w->findChild<QAction*>(QString::fromLatin1(name))->isEnabled();
            };
            QVERIFY(!enabled("ViewRAM1"));
            QVERIFY(!enabled("ViewEEPROM1"));
            QVERIFY(!enabled("ViewStack1"));
            QVERIFY(!enabled("BasicSerialPort1"));
            QVERIFY(enabled("PaperTapeReader1"));
            QVERIFY(!w->findChild<QMenu*>(QStringLiteral("RAM1"))->menuAction()->isEnabled());
            QCOMPARE(w->findChild<QAction*>(QStringLiteral("Mem2551"))->text(), QStringLiteral("E737"));
            QCOMPARE(w->findChild<QAction*>(QStringLiteral("MemZero1"))->text(), QStringLiteral("E000"));
        }
        writeSettings({"0310", "0381"});
        auto w = open();
        QVERIFY(w->machine().isWif());
        QVERIFY(w->findChild<QAction*>(QStringLiteral("ViewRAM1"))->isEnabled());
        QVERIFY(!w->findChild<QAction*>(QStringLiteral("MagneticTapeStorage1"))->isEnabled());
        QCOMPARE(w->findChild<QAction*>(QStringLiteral("Mem2551"))->text(), QStringLiteral("$FFFF"));
        QCOMPARE(w->findChild<QAction*>(QStringLiteral("Ram2551"))->text(), QStringLiteral("$FF"));
        QVERIFY(w->auxLamps().HRled);
        QVERIFY(w->auxLamps().wifLabels);
    }

    void initializeMemoryAsksFirst() {
        auto w = open();
        core::Machine& m = w->machine();
        m.memory[3] = 9;
        prompter_.answer = false;
        w->findChild<QAction*>(QStringLiteral("Mem2551"))->trigger();
        QCOMPARE(prompter_.messages.back(), std::string("Set all program memory to E737"));
        QCOMPARE(m.memory[3], 9);
        prompter_.answer = true;
        w->findChild<QAction*>(QStringLiteral("Mem2551"))->trigger();
        QCOMPARE(m.memory[3], 255);
        QCOMPARE(m.memory[255], 255);
        QCOMPARE(m.lamps.pc, 255);
        w->findChild<QAction*>(QStringLiteral("MemRandom1"))->trigger();
        QCOMPARE(prompter_.messages.back(), std::string("Set all program memory to Random"));
    }

    void setSrSwitchesFromTheMenu() {
        auto w = open();
        w->findChild<QAction*>(QStringLiteral("All01"))->trigger();
        QCOMPARE(w->machine().sr, 0);
        QCOMPARE(player_.played.size(), size_t(1));
        w->findChild<QAction*>(QStringLiteral("All11"))->trigger();
        QCOMPARE(w->machine().sr, 255);
        QCOMPARE(player_.played.size(), size_t(2));
        for (int i = 0; i < 8; ++i) QVERIFY(!w->switchPictureThrown(i));
    }

    void aboutAndRefusals() {
        auto w = open();
        w->findChild<QAction*>(QStringLiteral("About1"))->trigger();
        QCOMPARE(prompter_.messages.back(), std::string("MIRA-8 Emulator\r\rVersion: v110919"));
        w->machine().run = true;
        w->findChild<QAction*>(QStringLiteral("Options1"))->trigger();
        QCOMPARE(prompter_.messages.back(),
                 std::string("Cannot access options while code is running"));
        w->findChild<QAction*>(QStringLiteral("USB1"))->trigger();
        QCOMPARE(prompter_.messages.back(),
                 std::string("Cannot open USB interface while the emulator is running"));
        w->machine().run = false;
    }

    void grabThePanel() {
        auto w = open();
        const QImage img = w->grab().toImage();
        QCOMPARE(img.size() / img.devicePixelRatio(), QSize(735, 259));
        const QString out = qEnvironmentVariable("MIRA8_PANEL_PNG");
        if (!out.isEmpty()) QVERIFY(img.save(out));
        // The WIF lettering, for a look beside the Normal one.
        w->machine().options.mode = core::OperatingMode::Wif;
        w->machine().instructionTableState = 2;  // the WIF table is loaded
        w->SetAuxLamps();
        w->update();
        const QImage wif = w->grab().toImage();
        QVERIFY(wif != img);
        if (!out.isEmpty()) QVERIFY(wif.save(QString(out).replace(QStringLiteral(".png"), QStringLiteral("-wif.png"))));
    }
};

QTEST_MAIN(MiraTest)
#include "mira_test.moc"
