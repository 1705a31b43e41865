// Changes made to the machine outside a run (assembling, the editor's commands, a mode
// change from an assembler query) reach the lamps, the views, the panel and the basic
// serial port.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <string>

#include "assembler/edit.h"
#include "assembler/my_memo.h"
#include "core/data_dir.h"
#include "core/scrambled_file.h"
#include "gui_test_support.h"
#include "link/serial.h"
#include "mira/mira.h"
#include "views/debug_views.h"
#include "views/eeprom.h"
#include "views/memory.h"
#include "views/ram.h"
#include "views/stack.h"

using namespace mira;
using namespace mira::gui;

namespace {
using gui_test::ScriptedPrompter;
}  // namespace

class FollowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;

    std::unique_ptr<TmiraFM> open() { return gui_test::openShown<TmiraFM>(&prompter_); }
    static TeditFM& editor(TmiraFM& w) {
        TeditFM& e = *w.editFM();
        e.show();
        return e;
    }
    static QString caption(TmiraFM& w, const char* item) {
        return w.findChild<QAction*>(QString::fromLatin1(item))->text();
    }
    // PC as the memory view's register row shows it, in decimal.
    static QString shownPc(TmiraFM& w) {
        w.views().flush();
        return w.views().memFM->dataModel().cell(1, 3);
    }
    static QImage footer(TmiraFM& w) {
        w.image()->repaint();
        return w.image()->grab(QRect(8, 236, 300, 14)).toImage();
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = ScriptedPrompter{};
    }

    void assembleAndSetPcReachTheLampsAndTheMemoryView() {
        auto w = open();
        core::Machine& m = w->machine();
        m.liveDisplay = false;
        w->views().memFM->show();
        QCOMPARE(shownPc(*w), QStringLiteral("0"));
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("\tCLA\n\tNOP\n\tHLT\n"));
        e.Assemble1Click();
        QVERIFY(prompter_.messages.empty());
        QCOMPARE(m.pc, 3);
        QCOMPARE(m.lamps.pc, 3);
        QCOMPARE(m.lamps.ma, m.ma);
        QCOMPARE(m.lamps.mb, m.mb);
        QCOMPARE(m.lamps.ac, m.ac);
        QCOMPARE(shownPc(*w), QStringLiteral("3"));
        QCOMPARE(w->views().memFM->dataModel().cell(4, 3), QString::number(m.ac));
        // "Set PC at cursor" after a transfer: the latch and the row, display not live.
        e.Transfer1Click();
        QVERIFY(e.animate());
        e.memo()->setTextCursor(QTextCursor(e.memo()->document()->findBlockByNumber(1)));
        e.SetPC1Click();
        QCOMPARE(m.pc, 1);
        QCOMPARE(m.lamps.pc, 1);
        QCOMPARE(shownPc(*w), QStringLiteral("1"));
    }

    // SER ON in a program, the transfer, LOAD ADDRESS and a reset each change serial
    // access; the port's window must say so every time, not only after the instruction.
    void basicSerialPortFollowsEveryChangeOfSerialAccess() {
        auto w = open();
        core::Machine& m = w->machine();
        w->ChangeMode(core::OperatingMode::Wif);
        w->ApplyMode();
        TserialFM& port = *w->serialFM();
        port.show();
        const auto shown = [&] { return port.accessLabel->text(); };
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("\tSER ON\n\tHALT\n"));
        e.Assemble1Click();
        e.Transfer1Click();
        QVERIFY(prompter_.messages.empty());
        const auto runProgram = [&] {
            m.switches[core::kSwitchSlowFast] = 1;
            m.switches[core::kSwitchSingleCont] = 1;
            m.switches[core::kSwitchHalt] = 0;
            m.pc = 0;
            w->panel().doSwitchRUN();
            QTRY_VERIFY_WITH_TIMEOUT(!m.run && m.pc == 2, 5000);
            QVERIFY(m.serialAccess);
            QCOMPARE(shown(), QStringLiteral("ON"));
        };
        runProgram();
        e.Transfer1Click();
        QVERIFY(!m.serialAccess);
        QCOMPARE(shown(), QStringLiteral("OFF"));
        runProgram();
        w->panel().doLoadAddrDOWN();
        QCOMPARE(shown(), QStringLiteral("OFF"));
        runProgram();
        // A reset (the mode changed there and back) turns access off too.
        w->ChangeMode(core::OperatingMode::Normal);
        w->ApplyMode();
        w->ChangeMode(core::OperatingMode::Wif);
        w->ApplyMode();
        port.show();
        QCOMPARE(shown(), QStringLiteral("OFF"));
    }

    void clearingRamAndEepromBeforeAssemblyRedrawsTheirViews() {
        auto w = open();
        core::Machine& m = w->machine();
        w->ChangeMode(core::OperatingMode::Wif);
        w->ApplyMode();
        QVERIFY(m.isWif());
        TramFM& ram = *w->views().ramFM;
        TeepFM& eep = *w->views().eepFM;
        ram.show();
        eep.show();
        w->views().flush();  // nothing left over from the mode change
        m.ram[3] = 7;
        m.eeprom[4] = 9;
        ram.UpdateRAM(-1);
        eep.UpdateEEP(-1);
        QCOMPARE(ram.model().text(3, CellModel::kDec), QStringLiteral("7"));
        QCOMPARE(eep.model().text(4, CellModel::kDec), QStringLiteral("9"));
        m.options.clearRamBeforeAssemble = true;
        m.options.clearEepromBeforeAssemble = true;
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QString());
        e.Assemble1Click();
        QVERIFY(prompter_.messages.empty());
        QCOMPARE(m.ram[3], uint8_t(0));
        w->views().flush();
        QCOMPARE(ram.model().text(3, CellModel::kDec), QStringLiteral("0"));
        QCOMPARE(eep.model().text(4, CellModel::kDec), QStringLiteral("255"));
    }

    void modeQueryAnsweredYesChangesModeLikeTheOptions() {
        auto w = open();
        core::Machine& m = w->machine();
        DebugViews& v = w->views();
        v.memFM->show();
        TeditFM& e = editor(*w);
        prompter_.answers = {core::Answer::Yes};
        e.memo()->setPlainText(QStringLiteral("\t_ISWIMODEON\n"));
        e.Assemble1Click();
        QVERIFY(m.isWif());
        QCOMPARE(v.memFM->windowTitle(), QStringLiteral("WI Memory Viewer"));
        QCOMPARE(v.memFM->memoryModel().rowCount(), 1024 + 1);
        QCOMPARE(caption(*w, "Mem2551"), QStringLiteral("$FFFF"));
        QVERIFY(w->findChild<QAction*>(QStringLiteral("ViewRAM1"))->isEnabled());
        v.ramFM->show();
        v.stackFM->show();
        m.memory[700] = 0xFFFF;
        // And back: the WIF views close, the captions and memory are Normal's again.
        prompter_.answers = {core::Answer::Yes};
        e.memo()->setPlainText(QStringLiteral("\t_ISWIMODEOFF\n"));
        e.Assemble1Click();
        QVERIFY(!m.isWif());
        QCOMPARE(v.memFM->windowTitle(), QStringLiteral("MIRA-8 Memory Viewer"));
        QCOMPARE(v.memFM->memoryModel().rowCount(), 256 + 1);
        QVERIFY(caption(*w, "Mem2551") != QStringLiteral("$FFFF"));
        QVERIFY(!v.ramFM->isVisible());
        QVERIFY(!v.stackFM->isVisible());
        QVERIFY(!w->findChild<QAction*>(QStringLiteral("ViewRAM1"))->isEnabled());
        QCOMPARE(QString::fromStdString(m.invariantViolation()), QString());
        // A query answered No changes nothing.
        prompter_.answers = {core::Answer::No};
        e.memo()->setPlainText(QStringLiteral("\t_ISWIMODEON\n"));
        e.Assemble1Click();
        QVERIFY(!m.isWif());
    }

    void recentFilesSurviveAModeChange() {
        auto w = open();
        TeditFM& e = editor(*w);
        const QString path = dir_->filePath(QStringLiteral("kept.asm"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("\tNOP\n");
        }
        e.chooseOpenFile = [path](const QString&) { return path; };
        e.Open1Click();
        QCOMPARE(e.recentFiles().paths().size(), size_t(1));
        for (auto mode : {core::OperatingMode::Wif, core::OperatingMode::Normal}) {
            w->ChangeMode(mode);
            w->ApplyMode();
        }
        QCOMPARE(e.recentFiles().paths().size(), size_t(1));
        QVERIFY(e.close());
        const auto stored = core::readContainerFile(core::dataFile("m8str.dat"));
        QVERIFY(stored.ok);
        QVERIFY(!stored.lines.empty());
        QCOMPARE(stored.lines.front(), "000" + path.toStdString());
    }

    void panelFooterFollowsTheMode() {
        auto w = open();
        const QImage normal = footer(*w);
        w->ChangeMode(core::OperatingMode::Wif);
        w->ApplyMode();
        const QImage wif = footer(*w);
        QVERIFY(normal != wif);
        w->ChangeMode(core::OperatingMode::Normal);
        w->ApplyMode();
        QCOMPARE(footer(*w), normal);
    }

    void fastBlanksTheCycleAndAnAnimationShowsTheCount() {
        auto w = open();
        core::Machine& m = w->machine();
        TmemFM& mem = *w->views().memFM;
        mem.show();
        w->panel().returnSwitch(core::kSwitchSlowFast, false);
        m.t = 3;
        m.changed |= core::kChangeCycle;
        w->runControl().publish();
        w->views().flush();
        QCOMPARE(mem.statusText(6), QStringLiteral("Cycle: 3"));
        w->panel().throwSwitch(core::kSwitchSlowFast, false);
        QVERIFY(!m.run);
        w->views().flush();
        QCOMPARE(mem.statusText(6), QStringLiteral("Cycle: -"));
        // A stop redraws the cycle even with the clock at FAST.
        m.changed |= core::kChangeCycle;
        w->runControl().publish();
        w->views().flush();
        QCOMPARE(mem.statusText(6), QStringLiteral("Cycle: 3"));

        w->panel().throwSwitch(core::kSwitchSingleCont, false);
        m.instructionCount = 1234;
        w->views().flush();
        QCOMPARE(mem.statusText(9), QStringLiteral("0"));
        w->panel().SpeedButton1Click();
        QVERIFY(w->runControl().animating);
        w->views().flush();
        QCOMPARE(mem.statusText(9), QStringLiteral("1234"));
        w->panel().SpeedButton1Click();  // stops at the next tick
        QVERIFY(!m.run);
    }

    void parPortRowShowsTheSwitchRegister() {
        auto w = open();
        core::Machine& m = w->machine();
        TmemFM& mem = *w->views().memFM;
        mem.show();
        w->panel().setSRSwitches(true);
        w->views().flush();
        QCOMPARE(mem.dataModel().cell(5, 3), QStringLiteral("255"));
        // Switch 0 is SR bit 7; an external mask takes bit 0 away as well.
        w->panel().throwSwitch(0, false);
        w->views().flush();
        QCOMPARE(mem.dataModel().cell(5, 3), QStringLiteral("127"));
        m.setExternalMask1(0xFE);
        w->runControl().publish();
        w->views().flush();
        QCOMPARE(m.sr, 126);
        QCOMPARE(mem.dataModel().cell(5, 3), QStringLiteral("126"));
    }

    // X11 appends a set display name to every title ("St… — MIRA-8 Microcomputer"); an
    // empty one ends every title, so nothing is appended.
    void windowTitlesAreTheCaptionsAlone() {
        QGuiApplication::setApplicationDisplayName(QStringLiteral("MIRA-8 Microcomputer"));
        TmiraFM::nameApplication();
        QCOMPARE(QGuiApplication::applicationName(), QStringLiteral("mira8"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString());
    }
};

QTEST_MAIN(FollowTest)
#include "follow_test.moc"
