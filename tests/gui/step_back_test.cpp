// Stepping back in the main window: a DCA run at SINGLE is undone one instruction and one
// clock state at a time, and the panel and memory view show the earlier state.
#include <QAction>
#include <QApplication>
#include <QtTest>
#include <memory>

#include "gui_test_support.h"
#include "mira/mira.h"
#include "views/debug_views.h"
#include "views/memory.h"

using namespace mira;
using namespace mira::gui;

class StepBackTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    gui_test::ScriptedPrompter prompter_;

    static void trigger(TmiraFM& w, const char* name) {
        w.findChild<QAction*>(QString::fromLatin1(name))->trigger();
    }
    // RUN at SINGLE: one instruction, carried out by the run-loop timer.
    static void runOne(TmiraFM& w) {
        const uint64_t before = w.runControl().statesRun;
        w.panel().doSwitchRUN();
        QTRY_VERIFY(w.runControl().statesRun > before && !w.machine().run);
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
    }

    void aDcaIsUndoneOnThePanelAndInTheMemoryView() {
        auto w = gui_test::openShown<TmiraFM>(&prompter_);
        core::Machine& m = w->machine();
        TmemFM& mem = *w->views().memFM;
        mem.show();
        // 0: TAD 10, 1: DCA 11, 2: HLT; word 10 holds 77.
        m.memory[0] = 0x2A;
        m.memory[1] = 0x6B;
        m.memory[2] = 0xF1;
        m.memory[10] = 77;
        m.switches[core::kSwitchSingleCont] = 0;
        m.switches[core::kSwitchSlowFast] = 1;
        w->panel().recomputeLiveDisplay();
        runOne(*w);
        QCOMPARE(m.ac, 77);
        runOne(*w);
        QCOMPARE(m.memory[11], 77);
        QCOMPARE(m.ac, 0);
        QTRY_COMPARE(mem.memoryModel().text(11, MemoryModel::kDec), QStringLiteral("77"));
        const uint64_t afterDca = w->runControl().statesRun;

        trigger(*w, "StepBackInstruction1");
        QCOMPARE(m.memory[11], 0);
        QCOMPARE(m.ac, 77);
        QCOMPARE(m.pc, 1);
        QCOMPARE(m.lamps.ac, 77);
        QVERIFY(w->history().inPast());
        QTRY_COMPARE(mem.memoryModel().text(11, MemoryModel::kDec), QStringLiteral("0"));
        w->views().flush();
        QTRY_COMPARE(mem.dataModel().cell(4, 3), QStringLiteral("77"));
        // Looking at the past while the machine's timers run on changes nothing recorded.
        QTest::qWait(600);

        // Forward again through what was recorded, then back clock state by clock state.
        trigger(*w, "StepForwardInstruction1");
        QCOMPARE(m.memory[11], 77);
        QCOMPARE(w->runControl().statesRun, afterDca);
        trigger(*w, "StepBackClockState1");
        QCOMPARE(w->runControl().statesRun, afterDca - 1);
        QVERIFY(m.run);
        trigger(*w, "StepForwardClockState1");
        QCOMPARE(w->runControl().statesRun, afterDca);
        QVERIFY(!m.run);
        QCOMPARE(m.memory[11], 77);

        // Back before both instructions, then RUN: a new future from there.
        trigger(*w, "StepBackInstruction1");
        trigger(*w, "StepBackInstruction1");
        QCOMPARE(m.pc, 0);
        QCOMPARE(m.ac, 0);
        m.memory[10] = 5;
        runOne(*w);
        QCOMPARE(m.ac, 5);
        QVERIFY(!w->history().inPast());
        QVERIFY(w->history().end() < afterDca);
    }
};

QTEST_MAIN(StepBackTest)
#include "step_back_test.moc"
