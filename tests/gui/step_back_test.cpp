// Stepping back in the main window: a DCA run at SINGLE is undone one instruction and one
// clock state at a time, and the panel and memory view show the earlier state; a printed
// line leaves the printer window when stepping back and comes back going forward.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>
#include <memory>

#include "gui_test_support.h"
#include "mira/mira.h"
#include "modules/funcselect.h"
#include "modules/module_windows.h"
#include "modules/prntr.h"
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
    // Lightest grey on the printer's paper: 255 when nothing is printed on it.
    static int darkestOnPaper(gui::TprnFM& p) {
        const QImage img = p.findChild<QWidget*>(QStringLiteral("paperImage"))->grab().toImage();
        int dark = 255;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) dark = std::min(dark, qGray(img.pixel(x, y)));
        return dark;
    }
    static QString lineCount(gui::TprnFM& p) {
        return p.findChild<QLabel*>(QStringLiteral("pCountLabel"))->text();
    }
    // For a look: MIRA8_SHOTS names a folder for a picture of the whole screen.
    static void shot(const char* name) {
        const QByteArray shots = qgetenv("MIRA8_SHOTS");
        if (shots.isEmpty()) return;
        QTest::qWait(300);  // the windows paint what they were told to
        QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(shots) + u'/' +
                                                           QString::fromLatin1(name));
    }
    // The printer on the slot the dialog offers first.
    static void openPrinter(TmiraFM& w) {
        gui_test::chooseSlot();
        trigger(w, "Printer1");
    }
    // TAD 10, DCA 11, HLT at SINGLE and FAST, one instruction a RUN.
    static void loadAtSingle(TmiraFM& w) {
        core::Machine& m = w.machine();
        gui_test::putTadDcaHlt(m);
        m.switches[core::kSwitchSingleCont] = 0;
        m.switches[core::kSwitchSlowFast] = 1;
        w.panel().recomputeLiveDisplay();
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
        loadAtSingle(*w);
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

    void theTraceComesBackAcrossAModuleWindowOpenedSince() {
        auto w = gui_test::openShown<TmiraFM>(&prompter_);
        const core::CodeTrace& trace = w->runControl().trace;
        trigger(*w, "TraceOn1");
        QVERIFY(w->runControl().traceOn);
        loadAtSingle(*w);
        runOne(*w);
        runOne(*w);
        QCOMPARE(trace.size(), 2);
        openPrinter(*w);
        QVERIFY(w->modules().find<gui::TprnFM>()->isVisible());

        // One clock state back is rebuilt from a state without the printer: its window
        // closes, and the trace is that state's (the DCA, not yet ended, is not in it).
        trigger(*w, "StepBackClockState1");
        QVERIFY(!w->modules().find<gui::TprnFM>()->isVisible());
        QCOMPARE(trace.size(), 1);
        QCOMPARE(trace.addressAt(0), 0);
    }

    void aPrintedLineIsUnprintedBySteppingBack() {
        auto w = gui_test::openShown<TmiraFM>(&prompter_);
        openPrinter(*w);
        gui::TprnFM& p = *w->modules().find<gui::TprnFM>();
        p.move(w->frameGeometry().right() + 10, w->y());
        const devices::Printer& printer = p.printer();
        QWidget* paper = p.findChild<QWidget*>(QStringLiteral("paperImage"));
        const int blankTop = paper->y();

        // "HI", then a space with the repeat bit that fills the line, waiting on the flag
        // after each; at SINGLE up to the HLT.
        core::Machine& m = w->machine();
        const int put = 0xD6, sko = 0xD1;
        const int words[] = {0x2D, put, sko, 0xA2, 0x2E, put, sko, 0xA6, 0x2F, put, sko, 0xAA, 0xF1, 8, 9, 0xA0};
        for (int i = 0; i < 16; ++i) m.memory[i] = words[i];
        // SINGLE and FAST as a student throws them, so the panel shows them.
        for (auto [sw, thrown] : {std::pair{core::kSwitchSingleCont, false}, {core::kSwitchSlowFast, true}})
            if ((m.switches[sw] != 0) != thrown)
                QTest::mouseClick(w->image(), Qt::LeftButton, Qt::NoModifier,
                                  QPoint(gui_test::centreX(sw), thrown ? gui_test::kUpper : gui_test::kLower));
        QCOMPARE(m.switches[core::kSwitchSlowFast], 1);
        for (int i = 0; i < 2000 && m.pc != 12; ++i) runOne(*w);
        QCOMPARE(printer.roll().size(), size_t(1));
        QCOMPARE(lineCount(p), QStringLiteral("1"));
        QVERIFY(darkestOnPaper(p) < 160);
        const int printedTop = paper->y();
        QVERIFY(printedTop != blankTop);
        shot("printer-line-printed.png");

        // Back instruction by instruction into the wait while the head was printing.
        for (int i = 0; i < 2000 && !printer.roll().empty(); ++i) trigger(*w, "StepBackInstruction1");
        QVERIFY(printer.roll().empty());
        QCOMPARE(printer.state(), int(devices::Printer::Printing));
        QVERIFY(m.pc == 10 || m.pc == 11);
        QCOMPARE(lineCount(p), QStringLiteral("0"));
        QCOMPARE(darkestOnPaper(p), 255);
        QCOMPARE(paper->y(), blankTop);
        shot("printer-line-stepped-back.png");
        // The printer's own timers stand still in the past: the line stays off the paper.
        QTest::qWait(600);
        QVERIFY(printer.roll().empty());

        trigger(*w, "StepForwardInstruction1");
        QCOMPARE(printer.roll().size(), size_t(1));
        QCOMPARE(lineCount(p), QStringLiteral("1"));
        QVERIFY(darkestOnPaper(p) < 160);
        QCOMPARE(paper->y(), printedTop);
    }
};

QTEST_MAIN(StepBackTest)
#include "step_back_test.moc"
