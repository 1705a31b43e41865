// The printer window as a student meets it: opened from the Modules menu at its sizes, a
// program's line appearing on the paper, the feed button, Save/Discard/Load of the roll,
// the save question when the settings are written, and printing a roll to a PDF.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPageSize>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "core/data_dir.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "devices/print_layout.h"
#include "gui_test_support.h"
#include "mira/mira.h"
#include "modules/funcselect.h"
#include "modules/module_windows.h"
#include "modules/prntr.h"
#include "modules/prntr_print.h"

using namespace mira;
using gui::TmiraFM;
using gui::TprnFM;

namespace {

using gui_test::centreX;
using gui_test::kLower;
using gui_test::kUpper;
using gui_test::RecordingPlayer;
using gui_test::ScriptedPrompter;

// Pages of a PDF written by Qt: its page objects, not the page tree.
int pdfPageCount(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray pdf = f.readAll();
    int pages = 0;
    for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0; at = pdf.indexOf("/Type /Page", at + 1))
        if (pdf.mid(at + 11, 1) != "s") ++pages;
    return pages;
}

// Darkest grey in a rectangle of a grabbed picture.
int darkest(const QImage& img, QRect r) {
    int dark = 255;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) dark = std::min(dark, qGray(img.pixel(x, y)));
    return dark;
}

}  // namespace

class PrinterTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;
    RecordingPlayer player_;

    std::unique_ptr<TmiraFM> open() { return gui_test::openShown<TmiraFM>(&prompter_, &player_); }
    static TprnFM& printer(TmiraFM& w) { return *w.modules().find<TprnFM>(); }
    TprnFM& openPrinter(TmiraFM& w, int choice = 0) {
        gui_test::chooseSlot(choice);
        w.findChild<QAction*>(QStringLiteral("Printer1"))->trigger();
        return printer(w);
    }
    static QAction* item(TprnFM& p, const char* name) {
        return p.popupMenu()->findChild<QAction*>(QString::fromLatin1(name));
    }
    static QWidget* child(TprnFM& p, const char* name) {
        return p.findChild<QWidget*>(QString::fromLatin1(name));
    }
    QString path(const char* name) const { return dir_->filePath(QString::fromLatin1(name)); }
    static void setSwitch(TmiraFM& w, int i, bool thrown) {
        if ((w.machine().switches[i] != 0) != thrown)
            QTest::mouseClick(w.image(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(centreX(i), thrown ? kUpper : kLower));
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = ScriptedPrompter{};
        player_.played.clear();
    }

    void menuOpensThePrinterAtItsSizes() {
        auto w = open();
        TprnFM& p = openPrinter(*w, 1);
        QVERIFY(p.isVisible());
        QCOMPARE(p.size(), QSize(392, 253));
        QVERIFY(p.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(w->machine().bus.slots[3].type, int(core::kModulePrinter));
        QCOMPARE(w->machine().bus.slots[3].flag, uint8_t(0));
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("devLabel"))->text(), QStringLiteral("Output Device 1"));
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("pCountLabel"))->text(), QStringLiteral("0"));
        QCOMPARE(child(p, "paperImage")->geometry(), QRect(122, 70, 150, 113));
        QCOMPARE(child(p, "rollImage")->pos(), QPoint(100, 101));
        QCOMPARE(child(p, "coverPanel")->pos(), QPoint(103, 112));
        QCOMPARE(child(p, "coverImage")->size(), QSize(192, 109));
        QCOMPARE(child(p, "lfdnImage")->geometry(), QRect(500, 177, 18, 9));
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("fileLabel"))->y(), 222);
        QStringList captions;
        for (QAction* a : p.popupMenu()->actions()) captions << a->text();
        QCOMPARE(captions, QStringList({"Printer Roll", "Reset", "Disconnect"}));

        item(p, "Close1")->trigger();
        QVERIFY(!p.isVisible());
        QCOMPARE(w->machine().bus.slots[3].type, int(core::kModuleNone));
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("devLabel"))->text(), QStringLiteral("No Device Set"));
    }

    void aRunPrintsALineThatAppearsOnThePaper() {
        auto w = open();
        TprnFM& p = openPrinter(*w);
        const QImage blank = child(p, "paperImage")->grab().toImage();
        QCOMPARE(darkest(blank, blank.rect()), 255);

        // "HI", then a space with the repeat bit, waiting on the flag after each.
        core::Machine& m = w->machine();
        const int put = 0xD6, sko = 0xD1;
        const int words[] = {0x2D, put, sko, 0xA2, 0x2E, put, sko, 0xA6, 0x2F, put, sko, 0xAA, 0xF1, 8, 9, 0xA0};
        for (int i = 0; i < 16; ++i) m.memory[i] = words[i];
        m.pc = 0;
        setSwitch(*w, core::kSwitchSingleCont, true);
        setSwitch(*w, core::kSwitchSlowFast, true);
        QTest::mouseClick(w->image(), Qt::LeftButton, Qt::NoModifier, QPoint(centreX(core::kSwitchRun), kUpper));
        QTRY_VERIFY_WITH_TIMEOUT(!m.run && p.printer().roll().size() == 1, 5000);
        QCOMPARE(devices::rollLineText(p.printer().roll()[0]), std::string("HI") + std::string(18, ' '));
        QCOMPARE(m.bus.slots[2].flag, uint8_t(0));
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("pCountLabel"))->text(), QStringLiteral("1"));
        std::vector<core::SoundId> printerSounds;
        for (core::SoundId id : player_.played)
            if (id == core::SoundId::Prnp || id == core::SoundId::Prnr || id == core::SoundId::Prnf)
                printerSounds.push_back(id);
        QCOMPARE(printerSounds, (std::vector<core::SoundId>{core::SoundId::Prnp, core::SoundId::Prnr}));

        // One line: the paper stands at 60 and its line at 40, ink where H and I are.
        QCOMPARE(child(p, "paperImage")->y(), 60);
        const QImage paper = child(p, "paperImage")->grab().toImage();
        // Dots of 2 x 2 pixels at a pitch of 3, shrunk over three times: a mid grey.
        QVERIFY(darkest(paper, QRect(14, 40, 12, 9)) < 160);
        // Above the cover and in front of the roll: the student sees it.
        const QImage window = p.grab().toImage();
        QVERIFY(darkest(window, QRect(136, 100, 12, 9)) < 160);
        QCOMPARE(darkest(paper, QRect(0, 0, 150, 39)), 255);
        QCOMPARE(darkest(paper, QRect(0, 50, 150, 63)), 255);
        // The rest of the line is spaces.
        QCOMPARE(darkest(paper, QRect(40, 40, 110, 9)), 255);
    }

    void printLineExampleRunsInTheGui() {
        auto w = open();
        TprnFM& p = openPrinter(*w);
        core::Machine& m = w->machine();
        const std::vector<std::string> src = gui_test::exampleLines("print-line.asm");
        QVERIFY(!src.empty());
        const auto r = w->assembler().Assemble(src, m, prompter_);
        QVERIFY2(r.ok, r.message.c_str());
        // The transfer resets the modules: the printer stays ready.
        QVERIFY(w->assembler().TransferToMemory(m, prompter_, &w->runControl().trace));
        QCOMPARE(m.bus.slots[2].flag, uint8_t(0));
        m.pc = 0;
        setSwitch(*w, core::kSwitchSingleCont, true);
        setSwitch(*w, core::kSwitchSlowFast, true);
        QTest::mouseClick(w->image(), Qt::LeftButton, Qt::NoModifier, QPoint(centreX(core::kSwitchRun), kUpper));
        // The run starts at the panel timer's next tick and halts once the line is printed.
        QTRY_VERIFY_WITH_TIMEOUT(m.instructionCount > 0 && !m.run, 5000);
        QCOMPARE(p.printer().roll().size(), size_t(1));
        QCOMPARE(devices::rollLineText(p.printer().roll()[0]), std::string("HELLO MIRA-8        "));
        QCOMPARE(p.printer().state(), int(devices::Printer::Idle));
    }

    void feedButtonFeedsWhileHeld() {
        auto w = open();
        TprnFM& p = openPrinter(*w);
        QWidget* body = child(p, "prnImage");
        QTest::mousePress(body, Qt::LeftButton, Qt::NoModifier, QPoint(320, 180));
        QCOMPARE(child(p, "lfdnImage")->pos(), QPoint(313, 177));
        QVERIFY(child(p, "lfdnImage")->isVisible());
        QCOMPARE(p.printer().roll().size(), size_t(1));
        QTRY_COMPARE_WITH_TIMEOUT(p.printer().roll().size(), size_t(2), 2000);
        QTest::mouseRelease(body, Qt::LeftButton, Qt::NoModifier, QPoint(320, 180));
        QCOMPARE(child(p, "lfdnImage")->x(), 500);
        QVERIFY(!p.printer().feeding());
        QCOMPARE(player_.played.front(), core::SoundId::Prnf);
        // Blank lines move the paper up without ink.
        QCOMPARE(child(p, "paperImage")->y(), 50);
        const QImage paper = child(p, "paperImage")->grab().toImage();
        QCOMPARE(darkest(paper, paper.rect()), 255);
    }

    void saveDiscardLoadRoundTrip() {
        auto w = open();
        TprnFM& p = openPrinter(*w);
        QVERIFY(core::writeContainerFile(path("start.prf").toStdString(), {"8~9~", "", "1~2~3~"}));
        p.chooseOpenFileDialog = [&](const QString& initial) {
            [&] { QCOMPARE(initial, QStringLiteral("*.prf")); }();
            return path("start.prf");
        };
        item(p, "LoadRoll1")->trigger();
        QCOMPARE(p.printer().roll().size(), size_t(3));
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("fileLabel"))->text(), QStringLiteral("start"));
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("pCountLabel"))->text(), QStringLiteral("3"));

        QTest::mousePress(child(p, "prnImage"), Qt::LeftButton, Qt::NoModifier, QPoint(320, 180));
        QTest::mouseRelease(child(p, "prnImage"), Qt::LeftButton, Qt::NoModifier, QPoint(320, 180));
        QVERIFY(p.printer().rollChanged());
        QString offered;
        p.chooseSaveFileDialog = [&](const QString& initial) {
            offered = initial;
            return path("copy.prf");
        };
        item(p, "Save1")->trigger();
        QCOMPARE(offered, path("start.prf"));
        QVERIFY(!p.printer().rollChanged());
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("fileLabel"))->text(), QStringLiteral("copy"));
        const std::vector<std::string> saved = p.printer().roll();

        prompter_.answer = true;
        item(p, "DiscardUsedRoll1")->trigger();
        QVERIFY(prompter_.asked("Continue and discard paper roll?"));
        QVERIFY(p.printer().roll().empty());
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("fileLabel"))->text(), QString());
        QCOMPARE(player_.played.back(), core::SoundId::Rip);

        p.chooseOpenFileDialog = [&](const QString&) { return path("copy.prf"); };
        item(p, "LoadRoll1")->trigger();
        QCOMPARE(p.printer().roll(), saved);
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("pCountLabel"))->text(), QStringLiteral("4"));

        // A file with a code out of range is refused with its message; the roll stays.
        QVERIFY(core::writeContainerFile(path("bad.prf").toStdString(), {"1~64~"}));
        p.chooseOpenFileDialog = [&](const QString&) { return path("bad.prf"); };
        item(p, "LoadRoll1")->trigger();
        QCOMPARE(prompter_.messages.back(), std::string("ERROR: Printer file data has errors"));
        QCOMPARE(p.printer().roll(), saved);
    }

    void settingsAskToSaveTheRollAndReopenIt() {
        {
            auto w = open();
            TprnFM& p = openPrinter(*w, 1);
            p.move(40, 300);
            p.chooseSaveFileDialog = [&](const QString&) { return path("kept.prf"); };
            for (int i = 0; i < 2; ++i) {
                QTest::mousePress(child(p, "prnImage"), Qt::LeftButton, Qt::NoModifier, QPoint(320, 180));
                QTest::mouseRelease(child(p, "prnImage"), Qt::LeftButton, Qt::NoModifier, QPoint(320, 180));
            }
            prompter_.answer = true;
            w->close();
            QVERIFY(prompter_.asked("Save print roll before continuing?"));
        }
        QCOMPARE(core::readContainerFile(path("kept.prf").toStdString()).lines.size(), size_t(2));
        const core::ContainerRead read = core::readContainerFile(core::dataFile(core::kSettingsFileName));
        QVERIFY(read.ok);
        std::string line25;
        for (const auto& l : read.lines)
            if (l.rfind("025", 0) == 0) line25 = l.substr(3);
        QCOMPARE(line25, "40~300~" + path("kept.prf").toStdString() + "~");

        prompter_.messages.clear();
        auto w = open();
        TprnFM& p = printer(*w);
        QVERIFY(p.isVisible());
        QCOMPARE(p.GetDevice(), 3);
        QCOMPARE(p.pos(), QPoint(40, 300));
        QCOMPARE(p.printer().roll().size(), size_t(2));
        QVERIFY(!p.printer().rollChanged());
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("fileLabel"))->text(), QStringLiteral("kept"));
        QCOMPARE(p.findChild<QLabel*>(QStringLiteral("devLabel"))->text(), QStringLiteral("Output Device 1"));
        // Unchanged now: closing asks nothing.
        w->close();
        QVERIFY(!prompter_.asked("Save print roll before continuing?"));
    }

    void hundredLineRollPrintsToAPdf() {
        auto w = open();
        TprnFM& p = openPrinter(*w);
        std::vector<std::string> lines;
        for (int i = 0; i < 100; ++i)
            lines.push_back(i % 10 == 9 ? "" : std::to_string(1 + i % 26) + "~" + std::to_string(48 + i % 10) + "~");
        QVERIFY(core::writeContainerFile(path("hundred.prf").toStdString(), lines));
        QVERIFY(p.printer().loadFile(path("hundred.prf").toStdString()));

        int expected = -1;
        p.setUpPrinter = [&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path("roll.pdf"));
            printer.setPageSize(QPageSize(QPageSize::A5));
            return true;
        };
        item(p, "Print1")->trigger();
        QVERIFY(prompter_.messages.empty());

        // The same page, worked out by the layout: A5 at 300 dpi holds 35 lines a column.
        QPrinter probe(QPrinter::HighResolution);
        probe.setOutputFormat(QPrinter::PdfFormat);
        probe.setPageSize(QPageSize(QPageSize::A5));
        probe.setResolution(gui::kMaxPrintDpi);
        const auto layout = devices::printLayout(probe.logicalDpiX(), probe.width(), probe.height());
        expected = devices::printPageCount(layout, 100);
        QCOMPARE(expected, 2);
        QCOMPARE(pdfPageCount(path("roll.pdf")), expected);
    }
};

QTEST_MAIN(PrinterTest)
#include "prntr_test.moc"
