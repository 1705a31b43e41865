// The debug views driven through the main window: rows follow the run's reports, clicks
// set breakpoints, number forms follow the radix, RAM and EEPROM cells are edited, the
// stack labels, the address range dialog and a tape saved from memory.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "core/data_dir.h"
#include "core/eeprom_file.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "core/tape_file.h"
#include "gui_test_support.h"
#include "mira/mira.h"
#include "views/addr.h"
#include "views/debug_views.h"
#include "views/eeprom.h"
#include "views/memory.h"
#include "views/ram.h"
#include "views/stack.h"
#include "views/tape_save.h"

using namespace mira;
using namespace mira::gui;

namespace {

using gui_test::RecordingPlayer;
using gui_test::ScriptedPrompter;
using gui_test::whenModal;

QColor foreground(const QVariant& v) { return qvariant_cast<QBrush>(v).color(); }

}  // namespace

class ViewsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;

    std::unique_ptr<TmiraFM> open() { return gui_test::openShown<TmiraFM>(&prompter_); }
    static void trigger(TmiraFM& w, const char* name) {
        w.findChild<QAction*>(QString::fromLatin1(name))->trigger();
    }
    static void toWif(TmiraFM& w) {
        w.machine().options.mode = core::OperatingMode::Wif;
        w.machine().updateMemorySize();
        w.LoadCompilerData();
        w.SetMenuAvailability();
        w.views().optionsChanged();
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = ScriptedPrompter{};
    }

    void menuItemsShowAndCloseTheViews() {
        auto w = open();
        DebugViews& v = w->views();
        QVERIFY(!v.memFM->isVisible());
        trigger(*w, "ViewMemory1");
        QVERIFY(v.memFM->isVisible());
        QCOMPARE(v.memFM->windowTitle(), QStringLiteral("MIRA-8 Memory Viewer"));
        trigger(*w, "ViewMemory1");
        QVERIFY(!v.memFM->isVisible());
        // The WIF views are refused in Normal mode.
        QVERIFY(!w->findChild<QAction*>(QStringLiteral("ViewRAM1"))->isEnabled());
        toWif(*w);
        QCOMPARE(v.memFM->windowTitle(), QStringLiteral("WI Memory Viewer"));
        for (const char* name : {"ViewRAM1", "ViewEEPROM1", "ViewStack1"}) trigger(*w, name);
        QVERIFY(v.ramFM->isVisible());
        QVERIFY(v.eepFM->isVisible());
        QVERIFY(v.stackFM->isVisible());
        trigger(*w, "ViewStack1");
        QVERIFY(!v.stackFM->isVisible());
        // Back in Normal mode the WIF views close.
        w->machine().options.mode = core::OperatingMode::Normal;
        w->machine().updateMemorySize();
        v.optionsChanged();
        QVERIFY(!v.ramFM->isVisible());
        QVERIFY(!v.eepFM->isVisible());
    }

    void memoryRowsChangeOnlyWhenTheRunReports() {
        auto w = open();
        core::Machine& m = w->machine();
        TmemFM& mem = *w->views().memFM;
        mem.show();
        MemoryModel& model = mem.memoryModel();
        QCOMPARE(model.text(5, MemoryModel::kDec), QStringLiteral("0"));
        // A program writes: nothing shows until the throttle hands the write on.
        m.writeMemory(5, 0x2A);
        m.memory[6] = 7;  // written without a report
        QCOMPARE(model.text(5, MemoryModel::kDec), QStringLiteral("0"));
        w->runControl().publish();
        QCOMPARE(model.text(5, MemoryModel::kDec), QStringLiteral("42"));
        QCOMPARE(model.text(5, MemoryModel::kHex), QStringLiteral("2A"));
        QCOMPARE(model.text(5, MemoryModel::k737), QStringLiteral("112"));
        QCOMPARE(model.text(5, MemoryModel::kBin), QStringLiteral("00101010"));
        QCOMPARE(model.text(6, MemoryModel::kDec), QStringLiteral("0"));
        // Registers wait for the frame; then the rows show them.
        m.ac = 0xFF;
        m.changed |= core::kChangeAc;
        w->runControl().publish();
        QCOMPARE(mem.dataModel().cell(4, 3), QStringLiteral("0"));
        w->views().flush();
        QCOMPARE(mem.dataModel().cell(4, 1), QStringLiteral("737"));
        QCOMPARE(mem.dataModel().cell(4, 2), QStringLiteral("377"));
        QCOMPARE(mem.dataModel().cell(4, 3), QStringLiteral("255"));
        QCOMPARE(mem.dataModel().cell(4, 4), QStringLiteral("FF"));
        QCOMPARE(mem.dataModel().cell(4, 5), QStringLiteral("11111111"));
        // All memory at once (initialisation) takes every word.
        m.initMemory(1);
        QCOMPARE(model.text(6, MemoryModel::kDec), QStringLiteral("255"));
    }

    void aFastRunShowsItsWritesAfterItStops() {
        auto w = open();
        core::Machine& m = w->machine();
        TmemFM& mem = *w->views().memFM;
        mem.show();
        gui_test::putTadDcaHlt(m);
        m.ac = 0;
        m.switches[core::kSwitchSingleCont] = 1;
        m.switches[core::kSwitchSlowFast] = 1;
        m.liveDisplay = false;
        m.pc = 0;
        core::RunControl& rc = w->runControl();
        rc.startRun();
        rc.request = core::kRequestNone;
        rc.beginFastRun();
        rc.runHeadless(100000, 100);
        QVERIFY(!m.run);
        QCOMPARE(m.memory[11], 77);
        QTRY_COMPARE(mem.memoryModel().text(11, MemoryModel::kDec), QStringLiteral("77"));
        QTRY_COMPARE(mem.dataModel().cell(1, 3), QString::number(m.pc));
    }

    void clicksOnTheAddressColumnToggleBreakpoints() {
        auto w = open();
        core::Machine& m = w->machine();
        TmemFM& mem = *w->views().memFM;
        mem.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mem));
        int refreshed = 0;
        mem.onBreakpointsChanged = [&] { ++refreshed; };
        const QPoint at = mem.addGrid->visualRect(mem.memoryModel().index(3, 0)).center();
        QTest::mouseClick(mem.addGrid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(m.breakpoints[3], uint8_t(1));
        QCOMPARE(refreshed, 1);
        QTest::mouseClick(mem.addGrid->viewport(), Qt::LeftButton, Qt::ShiftModifier, at);
        QCOMPARE(m.breakpoints[3], uint8_t(1));
        QTest::mouseClick(mem.addGrid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(m.breakpoints[3], uint8_t(0));
        // Beyond the highest address nothing happens.
        mem.addGridMouseUp(256, Qt::NoModifier);
        QCOMPARE(m.breakpoints[256], uint8_t(0));
        // Clear All and Ignore.
        m.breakpoints[7] = 1;
        m.breakpoints[200] = 1;
        mem.findChild<QAction*>(QStringLiteral("Ignore1"))->trigger();
        QVERIFY(m.options.ignoreBreakpoints);
        mem.findChild<QAction*>(QStringLiteral("ClearAll1"))->trigger();
        QCOMPARE(m.breakpoints[7], uint8_t(0));
        QCOMPARE(m.breakpoints[200], uint8_t(0));
        // The mark is drawn in the address column, red or green.
        m.breakpoints[1] = 1;
        m.options.ignoreBreakpoints = false;
        mem.RedrawBreaks();
        const QImage honoured = mem.addGrid->viewport()->grab().toImage();
        m.options.ignoreBreakpoints = true;
        mem.RedrawBreaks();
        const QImage ignored = mem.addGrid->viewport()->grab().toImage();
        const QRect row = mem.addGrid->visualRect(mem.memoryModel().index(1, 0));
        auto count = [&](const QImage& img, QColor c) {
            int n = 0;
            for (int y = row.top(); y <= row.bottom(); ++y)
                for (int x = row.left(); x <= row.right(); ++x)
                    if (img.pixelColor(x, y) == c) ++n;
            return n;
        };
        QVERIFY(count(honoured, QColor(255, 0, 0)) > 0);
        QCOMPARE(count(honoured, QColor(0, 128, 0)), 0);
        QVERIFY(count(ignored, QColor(0, 128, 0)) > 0);
        QCOMPARE(count(ignored, QColor(255, 0, 0)), 0);
    }

    void numberFormsAndTitlesFollowTheRadix() {
        auto w = open();
        core::Machine& m = w->machine();
        TmemFM& mem = *w->views().memFM;
        mem.show();
        m.memory[16] = 0x3F;  // TAD I 15
        mem.UpdateMemory(16);
        const QAbstractItemModel& data = mem.dataModel();
        struct Case {
            int radix;
            const char* address;
            const char* text;
            int redColumn;
        } cases[] = {
            {0, " 16 16 (1)", "TAD I D15", 3},
            {1, " 16 10 (1)", "TAD I $0F", 4},
            {2, " 16 020 (1)", "TAD I E017", 1},
            {3, " 16 020 (1)", "TAD I 0017", 2},
        };
        for (const Case& c : cases) {
            m.options.radix[0] = c.radix;
            mem.UpdateRadix();
            QCOMPARE(mem.memoryModel().text(16, MemoryModel::kAddress), QString::fromLatin1(c.address));
            QCOMPARE(mem.memoryModel().text(16, MemoryModel::kText), QString::fromLatin1(c.text));
            for (int col = 1; col <= 4; ++col)
                QCOMPARE(foreground(data.headerData(col, Qt::Horizontal, Qt::ForegroundRole)),
                         QColor(col == c.redColumn ? Qt::red : Qt::black));
        }
        // WIF: only decimal and four hex digits; the rest blank.
        toWif(*w);
        m.memory[16] = 0xD2A;
        mem.UpdateMemory(16);
        QCOMPARE(mem.memoryModel().text(16, MemoryModel::kHex), QStringLiteral("0D2A"));
        QCOMPARE(mem.memoryModel().text(16, MemoryModel::k737), QString());
        QCOMPARE(mem.memoryModel().text(16, MemoryModel::kAddress), QStringLiteral(" 16 16"));
        // One row more than the memory, blank, as the grid's scroll range counts it.
        QCOMPARE(mem.memoryModel().rowCount(), 1024 + 1);
        QCOMPARE(mem.memoryModel().text(1024, MemoryModel::kAddress), QString());
    }

    void statusAndIoRowsFollowTheirItems() {
        auto w = open();
        core::Machine& m = w->machine();
        TmemFM& mem = *w->views().memFM;
        mem.show();
        w->views().flush();
        QCOMPARE(mem.statusText(0), QStringLiteral("c"));
        QCOMPARE(mem.statusText(1), QStringLiteral("-"));
        QCOMPARE(mem.statusText(7), QStringLiteral("Reset: T13"));
        QCOMPARE(mem.statusText(8), QStringLiteral("Trace: Off"));
        QCOMPARE(mem.dataModel().cell(5, 6), QStringLiteral("LA = HI DEP = HI"));
        QCOMPARE(mem.dataModel().cell(8, 6), QStringLiteral("IN = HI OUT = HI"));
        m.c = 1;
        m.instructionCount = 1234;
        m.changed |= core::kChangeStatus | core::kChangeCount;
        w->runControl().publish();
        w->views().flush();
        QCOMPARE(mem.statusText(0), QStringLiteral("C"));
        QCOMPARE(mem.statusText(9), QStringLiteral("1234"));
        mem.findChild<QAction*>(QStringLiteral("Clear1"))->trigger();
        QCOMPARE(m.instructionCount, 0);
        QCOMPARE(mem.statusText(9), QStringLiteral("0"));
        // A module's flag shows on its row only.
        m.bus.slots[2].output = 0x41;
        m.bus.SetDevInflag(2, 0);
        w->views().flush();
        QCOMPARE(mem.dataModel().cell(8, 6), QStringLiteral("IN = LO OUT = HI"));
        QCOMPARE(mem.dataModel().cell(8, 3), QStringLiteral("65"));
        QCOMPARE(mem.dataModel().cell(9, 6), QStringLiteral("IN = HI OUT = HI"));
        // LOAD ADDRESS held pulls LA low.
        m.switches[core::kSwitchLoadAddress] = 1;
        m.changed |= core::kChangeExtControl;
        w->runControl().publish();
        w->views().flush();
        QCOMPARE(mem.dataModel().cell(5, 6), QStringLiteral("LA = LO DEP = HI"));
    }

    void scrollingMovesBothGrids() {
        auto w = open();
        TmemFM& mem = *w->views().memFM;
        mem.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mem));
        mem.memSB->setValue(40);
        QCOMPARE(mem.addGrid->verticalScrollBar()->value(), 40);
        QCOMPARE(mem.memGrid->verticalScrollBar()->value(), 40);
        mem.memGrid->verticalScrollBar()->setValue(60);
        QCOMPARE(mem.memSB->value(), 60);
        QCOMPARE(mem.addGrid->verticalScrollBar()->value(), 60);
        // The last page ends with the last address.
        mem.doSetTopRow(5000);
        QCOMPARE(mem.topRow(), 256 - mem.visibleRows());
    }

    // The last address scrolls wholly into view and takes a breakpoint in both modes, with
    // the rows the desktop gives (taller than 20 pixels when the header's metrics or a
    // larger font say so); the register grid shows OUT 1 whole.
    void lastAddressIsReachableAtAnyRowHeight() {
        auto w = open();
        core::Machine& m = w->machine();
        TmemFM& mem = *w->views().memFM;
        mem.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mem));
        auto wholly = [](QTableView* g, const QModelIndex& i) {
            const QRect r = g->visualRect(i);
            return r.isValid() && g->viewport()->rect().contains(r);
        };
        auto lastIsReachable = [&](const char* what) {
            const int last = m.addressMask;
            const int rows = mem.memoryModel().rowCount();
            QCOMPARE(rows, m.memorySize + 1);
            QCOMPARE(mem.memSB->maximum(), rows - mem.visibleRows() - 1);
            mem.memSB->setValue(mem.memSB->maximum());
            QVERIFY2(wholly(mem.memGrid, mem.memoryModel().index(last, MemoryModel::kText)), what);
            const QModelIndex at = mem.memoryModel().index(last, MemoryModel::kAddress);
            QVERIFY2(wholly(mem.addGrid, at), what);
            QTest::mouseClick(mem.addGrid->viewport(), Qt::LeftButton, Qt::NoModifier,
                              mem.addGrid->visualRect(at).center());
            QVERIFY2(m.breakpoints[static_cast<size_t>(last)] == 1, what);
            m.breakpoints[static_cast<size_t>(last)] = 0;
            // A wheel over the memory grid, whose own range reaches its blank row, leaves the
            // two grids on the same top row.
            QScrollBar* own = mem.memGrid->verticalScrollBar();
            own->setValue(own->maximum());
            QCOMPARE(mem.addGrid->verticalScrollBar()->value(), own->value());
            QCOMPARE(mem.topRow(), mem.memSB->maximum());
            // A wheel or page past the end stops with the last address at the bottom.
            mem.doSetTopRow(rows + 50);
            QCOMPARE(mem.topRow(), mem.memSB->maximum());
            QVERIFY2(wholly(mem.dataGrid, mem.dataModel().index(8, 6)), what);
        };
        for (bool wif : {false, true}) {
            if (wif) toWif(*w);
            lastIsReachable(wif ? "WIF, 20-pixel rows" : "Normal, 20-pixel rows");
            // Rows as a desktop style may size them.
            for (QTableView* g : {mem.addGrid, mem.memGrid})
                g->verticalHeader()->setDefaultSectionSize(22);
            mem.SetROMsize();
            lastIsReachable("22-pixel rows");
            // A larger font: every grid's rows grow to fit it.
            QFont big = mem.memGrid->font();
            big.setPixelSize(26);
            mem.setGridFont(big);
            QVERIFY(mem.memGrid->rowHeight(0) > 26);
            QCOMPARE(mem.dataGrid->rowHeight(0), mem.memGrid->rowHeight(0));
            lastIsReachable("26-pixel font");
            QFont normal = big;
            normal.setPixelSize(13);
            mem.setGridFont(normal);
            QCOMPARE(mem.memGrid->rowHeight(0), 20);
        }
    }

    void ramCellsAreEditedByDoubleClick() {
        auto w = open();
        core::Machine& m = w->machine();
        toWif(*w);
        TramFM& ram = *w->views().ramFM;
        ram.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ram));
        int asked = -1;
        ram.chooseValue = [&](int current) {
            asked = current;
            return 77;
        };
        m.ram[2] = 9;
        ram.UpdateRAM(2);
        const QPoint at = ram.grid()->visualRect(ram.model().index(2, 1)).center();
        QTest::mouseDClick(ram.grid()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(asked, 9);
        QCOMPARE(m.ram[2], uint8_t(77));
        QCOMPARE(ram.model().text(2, CellModel::kDec), QStringLiteral("77"));
        QCOMPARE(ram.model().text(2, CellModel::kHex), QStringLiteral("4D"));
        QCOMPARE(ram.model().text(2, CellModel::kBinary), QStringLiteral("01001101"));
        // While running, and on the empty last row, nothing is edited.
        m.run = true;
        ram.editCell(3);
        QCOMPARE(m.ram[3], uint8_t(0));
        m.run = false;
        asked = -1;
        ram.editCell(64);
        QCOMPARE(asked, -1);
        QCOMPARE(ram.model().rowCount(), 65);
        // Cancel keeps the value.
        ram.chooseValue = [](int) { return -1; };
        ram.editCell(2);
        QCOMPARE(m.ram[2], uint8_t(77));
        // The second bank's addresses carry a blank and bold; 737 shows decimal addresses.
        m.options.radix[1] = 2;
        ram.UpdateRadix();
        QCOMPARE(ram.model().text(40, CellModel::kAddr), QStringLiteral(" 40"));
        QVERIFY(qvariant_cast<QFont>(ram.model().data(ram.model().index(40, 0), Qt::FontRole)).bold());
        m.options.radix[1] = 1;
        QCOMPARE(ram.model().text(40, CellModel::kAddr), QStringLiteral(" 28"));
        QCOMPARE(ram.model().text(5, CellModel::kAddr), QStringLiteral("05"));
    }

    void ramNamesComeFromTheLastTransfer() {
        auto w = open();
        core::Machine& m = w->machine();
        toWif(*w);
        w->views().ramFM->show();
        w->views().eepFM->show();
        // The WIF counting example names RAM byte 0 COUNT.
        const std::vector<std::string> src = gui_test::exampleLines("wif-count-led.asm");
        QVERIFY(!src.empty());
        auto& a = w->assembler();
        const auto r = a.Assemble(src, m, prompter_);
        if (!r.ok) QSKIP(("assembly refused the sample: " + r.message).c_str());
        QVERIFY(a.TransferToMemory(m, prompter_, &w->runControl().trace));
        w->views().ramFM->UpdateRAM(-1);
        w->views().eepFM->UpdateEEP(-1);
        QCOMPARE(w->views().ramFM->model().text(0, CellModel::kName), QStringLiteral("COUNT"));
        QCOMPARE(w->views().ramFM->model().text(1, CellModel::kName), QString());
    }

    void eepromPointerRowIsRedAndTheFileLivesAcrossRuns() {
        std::array<uint8_t, core::kEepromSize> saved{};
        for (int i = 0; i < core::kEepromSize; ++i) saved[static_cast<size_t>(i)] = static_cast<uint8_t>(i + 100);
        QVERIFY(core::saveEepromFile(core::dataFile(core::kEepromFileName), saved));
        {
            auto w = open();
            core::Machine& m = w->machine();
            QCOMPARE(m.eeprom, saved);
            toWif(*w);
            TeepFM& eep = *w->views().eepFM;
            eep.show();
            QCOMPARE(eep.model().text(4, CellModel::kDec), QStringLiteral("104"));
            m.eepromPointer = 16;
            m.options.radix[1] = 1;
            eep.InvalidateGrid();
            const auto colour = [&](int row) {
                return eep.model().data(eep.model().index(row, 0), Qt::ForegroundRole);
            };
            QCOMPARE(foreground(colour(16)), QColor(Qt::red));
            QVERIFY(!colour(10).isValid());  // "10" is cell 16's address in hexadecimal
            QCOMPARE(eep.model().text(16, CellModel::kAddr), QStringLiteral("10"));
            eep.chooseValue = [](int) { return 5; };
            eep.editCell(0);
            QCOMPARE(m.eeprom[0], uint8_t(5));
        }
        std::array<uint8_t, core::kEepromSize> after{};
        QVERIFY(core::loadEepromFile(core::dataFile(core::kEepromFileName), after));
        QCOMPARE(after[0], uint8_t(5));
        QCOMPARE(after[31], uint8_t(131));
    }

    void stackLabelsShowEntriesInTheRadix() {
        auto w = open();
        core::Machine& m = w->machine();
        toWif(*w);
        TstackFM& stack = *w->views().stackFM;
        w->findChild<QAction*>(QStringLiteral("ViewStack1"))->trigger();
        m.stack[0] = 298;
        m.stack[2] = 1;
        m.stackDepth = 2;
        m.options.radix[1] = 1;
        stack.UpdateStack();
        QCOMPARE(stack.Label1->text(), QStringLiteral("[0]: $012A"));
        QCOMPARE(stack.Label3->text(), QStringLiteral("[2]: $0001"));
        QCOMPARE(stack.Label4->text(), QStringLiteral("2"));
        m.options.radix[1] = 0;
        stack.UpdateStack();
        QCOMPARE(stack.Label1->text(), QStringLiteral("[0]: D298"));
        m.stackOverflow = true;
        m.changed |= core::kChangeStack;
        w->runControl().publish();
        w->views().flush();
        QCOMPARE(stack.Label4->palette().color(QPalette::WindowText), QColor(Qt::red));
        stack.SpeedButton1->click();
        QVERIFY(!m.stackOverflow);
        QCOMPARE(stack.Label4->palette().color(QPalette::WindowText), QColor(Qt::black));
    }

    void addressRangeDialogLimits() {
        ScriptedPrompter p;
        TaddrFM addr(&p);
        addr.SetLimits(0, 300);
        QCOMPARE(addr.GetFrom(), 0);
        QCOMPARE(addr.GetTo(), 255);
        addr.SetLimits(-4, 20);
        QCOMPARE(addr.GetFrom(), 0);
        QCOMPARE(addr.GetTo(), 20);
        QCOMPARE(addr.fromCB->count(), 256);
        QCOMPARE(addr.toCB->itemText(255), QStringLiteral("255"));
        addr.SetLimits(10, 10);
        addr.okSBClick();
        QCOMPARE(addr.result(), int(QDialog::Accepted));
        TaddrFM reversed(&p);
        reversed.SetLimits(12, 10);
        reversed.show();
        reversed.okSBClick();
        QVERIFY(reversed.isVisible());
        QCOMPARE(p.messages.size(), size_t(1));
        QCOMPARE(p.messages[0], std::string(kRangeReversed));
    }

    void memoryTapeRoundTrip() {
        auto w = open();
        core::Machine& m = w->machine();
        TmemFM& mem = *w->views().memFM;
        for (int i = 0; i < 256; ++i) m.memory[static_cast<size_t>(i)] = (i * 5) & 255;
        const QString file = dir_->filePath(QStringLiteral("prog.ptp"));
        QString suggested;
        mem.editorFileName = [] { return QStringLiteral("/tmp/src/count.asm"); };
        mem.chooseRange = [](int& from, int& to) {
            from = 10;
            to = 12;
            return true;
        };
        mem.chooseFile = [&](const QString& s) {
            suggested = s;
            return file;
        };
        mem.findChild<QAction*>(QStringLiteral("SaveTape1"))->trigger();
        QCOMPARE(suggested, QStringLiteral("/tmp/src/count.ptp"));
        const core::ContainerRead r = core::readContainerFile(file.toStdString());
        QVERIFY(r.ok);
        QCOMPARE(r.lines, (std::vector<std::string>{"128", "10", "50", "55", "60"}));
        const core::TapeContents t = core::parseTapeLines(r.lines);
        QVERIFY(t.ok);
        QCOMPARE(t.start, 10);
        // Cancel in either dialog writes nothing; a failed write says so.
        mem.chooseFile = [](const QString&) { return QString(); };
        QFile::remove(file);
        mem.SaveTape1Click();
        QVERIFY(!QFile::exists(file));
        mem.chooseFile = [](const QString&) { return QStringLiteral("/nonexistent/dir/x.ptp"); };
        mem.SaveTape1Click();
        QCOMPARE(prompter_.messages.back(),
                 std::string(kTapeSaveFailed) + "\r\rthe folder of \"/nonexistent/dir/x.ptp\" does not exist.");
        QCOMPARE(suggestedTapeName(QString()), QStringLiteral("*.ptp"));
        // WIF words do not fit on tape: the command is off.
        toWif(*w);
        QVERIFY(!mem.findChild<QAction*>(QStringLiteral("SaveTape1"))->isEnabled());
    }

    void windowStatesGoToTheSettingsAndComeBack() {
        {
            auto w = open();
            toWif(*w);
            DebugViews& v = w->views();
            v.memFM->show();
            v.memFM->move(100, 120);
            v.ramFM->show();
            v.ramFM->move(30, 40);
            v.ramFM->resize(TramFM::kWidth, 400);
            v.stackFM->show();
            w->close();
        }
        const core::ContainerRead r =
            core::readContainerFile(core::dataFile(core::kSettingsFileName));
        QVERIFY(r.ok);
        auto line = [&](const char* key) {
            for (const auto& l : r.lines)
                if (l.rfind(key, 0) == 0) return l.substr(3);
            return std::string("<none>");
        };
        QCOMPARE(line("021"), std::string("100~120~"));
        QCOMPARE(line("032"), std::string("30~40~400~"));
        const core::OpenWindows open020 = core::OpenWindows::parse(line("020"));
        QVERIFY(open020.visible(core::kOpenMemoryView));
        QVERIFY(open020.visible(core::kOpenRamView));
        QVERIFY(!open020.visible(core::kOpenEepromView));
        QVERIFY(open020.visible(core::kOpenStackView));
        auto w = open();
        DebugViews& v = w->views();
        QVERIFY(v.memFM->isVisible());
        QCOMPARE(v.memFM->pos(), QPoint(100, 120));
        QVERIFY(v.ramFM->isVisible());
        QCOMPARE(v.ramFM->height(), 400);
        QVERIFY(v.stackFM->isVisible());
        QVERIFY(!v.eepFM->isVisible());
    }

    void badWindowStatesFallBack() {
        auto w = open();
        DebugViews& v = w->views();
        v.memFM->PutScreenData("-5~x~", 1600, 1000);
        QCOMPARE(v.memFM->pos(), QPoint(0, 0));
        v.ramFM->PutScreenData("10~20~9999~", 1600, 1000);
        QCOMPARE(v.ramFM->height(), TramFM::kMinHeight);
        v.stackFM->PutScreenData("1590~5~", 1600, 1000);
        QCOMPARE(v.stackFM->pos(), QPoint(0, 5));
        v.eepFM->PutScreenData("", 1600, 1000);
        QCOMPARE(v.eepFM->pos(), QPoint(0, 0));
    }
};

QTEST_MAIN(ViewsTest)
#include "views_test.moc"
