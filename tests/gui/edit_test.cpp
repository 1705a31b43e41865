// The assembler editor driven as a user would: typing, the menus' keys, files, find and
// replace, assembling, transferring and following the running program.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QToolButton>
#include <QtTest>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "assembler/address_column.h"
#include "assembler/edit.h"
#include "assembler/my_memo.h"
#include "core/data_dir.h"
#include "core/field_list.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "gui_test_support.h"
#include "mira/mira.h"

using namespace mira;
using mira::gui::TeditFM;
using mira::gui::TmiraFM;

namespace {

using gui_test::RecordingPlayer;
using gui_test::ScriptedPrompter;
using gui_test::whenModal;

const char* const kSaveQuery = "Assembler file has changed\r\rSave changes?";

// Counts on output device 0, waiting for the display's flag between numbers.
const char* const kCountProgram =
    "/ count on device 0\n"
    "START,  CLA\n"
    "LOOP,   TAD COUNT\n"
    "        PUT 0\n"
    "WAIT,   SKO 0\n"
    "        JMP WAIT\n"
    "        ISZ COUNT\n"
    "        NOP\n"
    "        JMP LOOP\n"
    "\n"
    "COUNT,  #D0\n";

// Typing, with Return and Tab as keys.
void typeText(QWidget* w, const QString& text) {
    for (QChar ch : text) {
        if (ch == QLatin1Char('\n'))
            QTest::keyClick(w, Qt::Key_Return);
        else if (ch == QLatin1Char('\t'))
            QTest::keyClick(w, Qt::Key_Tab);
        else
            QTest::keyClicks(w, QString(ch));
    }
}

QString lineText(TeditFM& e, int line) {
    return e.memo()->document()->findBlockByNumber(line).text();
}

}  // namespace

class EditTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;

    std::unique_ptr<TmiraFM> open() { return gui_test::openShown<TmiraFM>(&prompter_); }
    static TeditFM& editor(TmiraFM& w) {
        TeditFM& e = *w.editFM();
        e.show();
        e.activateWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(&e)); }();
        return e;
    }
    QString file(const QString& name, const QByteArray& content) {
        const QString path = dir_->filePath(name);
        QFile f(path);
        [&] { QVERIFY(f.open(QIODevice::WriteOnly)); }();
        f.write(content);
        return path;
    }
    bool saw(const std::string& text) const { return prompter_.asked(text); }
    static QString row(TeditFM& e, int line) {
        QString text;
        QColor colour;
        e.columnRow(line, text, colour);
        return text;
    }
    static QColor rowColour(TeditFM& e, int line) {
        QString text;
        QColor colour;
        e.columnRow(line, text, colour);
        return colour;
    }
    // A load or New ignores text changes until the change timer has run.
    static void settle(TeditFM& e) { QTRY_VERIFY(!e.ignoringChanges()); }
    static void assembleAndTransfer(TeditFM& e) {
        QTest::keyClick(e.memo(), Qt::Key_F9);
        QTest::keyClick(e.memo(), Qt::Key_F10);
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = ScriptedPrompter{};
        prompter_.threeWay = core::Answer::Cancel;
    }

    void assemblerMenuItemShowsAndClosesTheEditor() {
        auto w = open();
        TeditFM& e = *w->editFM();
        QVERIFY(!e.isVisible());
        w->AssemblerClick();
        QVERIFY(e.isVisible());
        QCOMPARE(e.windowTitle(), QStringLiteral("MIRA-8 Assembler - []"));
        QVERIFY(e.width() >= TeditFM::kMinWidth && e.height() >= TeditFM::kMinHeight);
        w->AssemblerClick();
        QVERIFY(!e.isVisible());
    }

    void typingMarksModifiedAndDrawsTheColumn() {
        auto w = open();
        TeditFM& e = editor(*w);
        typeText(e.memo(), QStringLiteral("START, CLA\n\n/ note\n\tHLT"));
        QVERIFY(e.modified());
        QCOMPARE(e.statusText(2), QStringLiteral("Modified"));
        QCOMPARE(e.statusText(0), QStringLiteral("  4: 5"));
        const int radix = w->machine().options.radix[0];
        auto expect = [&](int address) {
            return QString::fromStdString(assembler::formatRow(
                {assembler::ColumnRow::Kind::Address, address}, assembler::Dialect::Normal, radix));
        };
        QCOMPARE(row(e, 0), expect(0));
        QCOMPARE(row(e, 1), QString());
        QCOMPARE(row(e, 2), QString());
        QCOMPARE(row(e, 3), expect(1));
        // The column is painted: dark text pixels on the grey background.
        const QImage img = e.findChild<QWidget*>(QStringLiteral("numImage"))->grab().toImage();
        int dark = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qGray(img.pixel(x, y)) < 96) ++dark;
        QVERIFY(dark > 10);
        QCOMPARE(QColor(img.pixel(img.width() - 1, img.height() - 1)), TeditFM::kColumnBackground);
        // A line inserted on top moves every address down by one.
        QTextCursor c(e.memo()->document());
        c.insertText(QStringLiteral("\tNOP\n"));
        QCOMPARE(row(e, 4), expect(2));
    }

    void assemblyErrorMarksTheLine() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("\tCLA\n\tFOO 3\n\tHLT"));
        QTest::keyClick(e.memo(), Qt::Key_F9);
        QVERIFY(saw("Expecting a value or an instruction"));
        QCOMPARE(e.memo()->textCursor().selectedText(), QStringLiteral("\tFOO 3"));
        QCOMPARE(e.memo()->textCursor().blockNumber(), 1);
        QCOMPARE(e.statusText(3), QStringLiteral("Words: 0"));
        QTest::keyClick(e.memo(), Qt::Key_F10);
        QVERIFY(saw("There is no assembled data to transfer"));
        QVERIFY(!e.animate());
    }

    void transferPutsTheProgramInMemoryAndTypingEndsAnimate() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QString::fromLatin1(kCountProgram));
        assembleAndTransfer(e);
        QVERIFY(prompter_.messages.empty());
        QCOMPARE(e.statusText(3), QStringLiteral("Words: 9"));
        QVERIFY(e.animate());
        QCOMPARE(e.statusText(1), QStringLiteral("Animate"));
        const auto& image = w->assembler().image();
        for (int a = 0; a < 9; ++a) QCOMPARE(w->machine().memory[a], image[a]);
        QCOMPARE(w->machine().memory[1], 0x20 | 8);  // TAD COUNT, COUNT at 8
        QVERIFY(!e.memo()->textCursor().hasSelection());
        // The address column agrees with the assembly.
        for (int a = 0; a < 9; ++a) {
            const int line = w->assembler().lineMap()[a];
            QCOMPARE(e.addressColumn().row(line).value, a);
        }
        QTest::keyClicks(e.memo(), "x");
        QVERIFY(!e.animate());
        QCOMPARE(e.statusText(1), QString());
    }

    void selectCodeLineFollowsThePc() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QString::fromLatin1(kCountProgram));
        assembleAndTransfer(e);
        w->machine().pc = 3;
        w->machine().observer().selectSourceLine(3);
        QCOMPARE(e.memo()->textCursor().selectedText(), lineText(e, 4));
        // F6 loads address 0 from the panel; the editor follows.
        QTest::keyClick(e.memo(), Qt::Key_F6);
        QCOMPARE(w->machine().pc, 0);
        QCOMPARE(e.memo()->textCursor().selectedText(), lineText(e, 1));
        // A PC with no source line removes the selection.
        w->machine().pc = 200;
        e.SelectCodeLine();
        QVERIFY(!e.memo()->textCursor().hasSelection());
        // After typing the running program no longer moves the selection.
        QTest::keyClicks(e.memo(), " ");
        w->machine().pc = 3;
        e.SelectCodeLine();
        QVERIFY(!e.memo()->textCursor().hasSelection());
    }

    void f8HeldIsHaltAndF7Runs() {
        auto w = open();
        TeditFM& e = editor(*w);
        QTest::keyPress(e.memo(), Qt::Key_F8);
        QCOMPARE(w->machine().switches[core::kSwitchHalt], uint8_t(1));
        QVERIFY(!w->switchPictureThrown(core::kSwitchHalt));
        QTest::keyRelease(e.memo(), Qt::Key_F8);
        QCOMPARE(w->machine().switches[core::kSwitchHalt], uint8_t(0));
        QVERIFY(e.memo()->toPlainText().isEmpty());  // the keys typed nothing
    }

    void setPcMemoryAndBreakpointsAtTheCursor() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QString::fromLatin1(kCountProgram));
        QSignalSpy top(&e, &TeditFM::memoryTopRequested);
        QSignalSpy marks(&e, &TeditFM::breakpointsChanged);
        QTextCursor c(e.memo()->document()->findBlockByNumber(4));  // WAIT, address 3
        e.memo()->setTextCursor(c);
        e.SetPC1Click();  // before a transfer: nothing
        QCOMPARE(w->machine().pc, 0);
        assembleAndTransfer(e);
        e.memo()->setTextCursor(c);
        e.SetPC1Click();
        QCOMPARE(w->machine().pc, 3);
        e.SetMemory1Click();
        QCOMPARE(top.count(), 1);
        QCOMPARE(top.at(0).at(0).toInt(), 3);
        const int before = static_cast<int>(marks.count());
        QTest::mouseDClick(e.memo()->viewport(), Qt::LeftButton, Qt::NoModifier,
                           e.memo()->cursorRect(c).center());
        QCOMPARE(w->machine().breakpoints[3], uint8_t(1));
        QVERIFY(marks.count() > before);
        QCOMPARE(rowColour(e, 4), QColor(Qt::red));
        w->machine().options.ignoreBreakpoints = true;
        QCOMPARE(rowColour(e, 4), QColor(Qt::darkGreen));
        // A line without a word does nothing.
        e.memo()->setTextCursor(QTextCursor(e.memo()->document()->findBlockByNumber(0)));
        e.SetPC1Click();
        QCOMPARE(w->machine().pc, 3);
        // Re-assembling the same words keeps the breakpoint; another word count clears it.
        QTest::keyClick(e.memo(), Qt::Key_F9);
        QCOMPARE(w->machine().breakpoints[3], uint8_t(1));
        QTextCursor end(e.memo()->document());
        end.movePosition(QTextCursor::End);
        end.insertText(QStringLiteral("\n\tNOP"));
        QTest::keyClick(e.memo(), Qt::Key_F9);
        QCOMPARE(w->machine().breakpoints[3], uint8_t(0));
    }

    void findSelectsMatchesWithTheOptions() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("loop, tad x\nxloop LOOP\nLoop"));
        TeditFM::Search s{QStringLiteral("LOOP"), false, false};
        QVERIFY(e.FindNext(s));
        QCOMPARE(e.memo()->textCursor().selectionStart(), 0);
        QVERIFY(e.FindNext(s));
        QCOMPARE(e.memo()->textCursor().selectionStart(), 13);  // inside "xloop"
        s.wholeWord = true;
        QVERIFY(e.FindNext(s));
        QCOMPARE(e.memo()->textCursor().selectionStart(), 18);
        s.matchCase = true;
        QVERIFY(!e.FindNext(s));  // "Loop" differs in case
        QVERIFY(saw("Search string 'LOOP' not found"));
        // Whole word: "loop," counts only without the comma being outside 33..127.
        QCOMPARE(TeditFM::findIn(QStringLiteral("loop, x"), {QStringLiteral("loop"), false, true}, 0), -1);
        QCOMPARE(TeditFM::findIn(QStringLiteral("a\tloop"), {QStringLiteral("loop"), false, true}, 0), 2);
    }

    void findDialogOpensWithTheWordAtTheCaret() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("\tJMP WAIT:\nWAIT,\tSKO 0"));
        QTextCursor c(e.memo()->document());
        c.setPosition(7);
        e.memo()->setTextCursor(c);
        QCOMPARE(e.initialSearchText(), QStringLiteral("WAIT"));
        QTest::keyClick(e.memo(), Qt::Key_F3);
        QDialog* d = e.findDialog();
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->windowTitle(), QStringLiteral("Find"));
        QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("findEdit"))->text(), QStringLiteral("WAIT"));
        d->findChild<QPushButton*>(QStringLiteral("findNextButton"))->click();
        QCOMPARE(e.memo()->textCursor().selectedText(), QStringLiteral("WAIT"));
        QCOMPARE(e.memo()->textCursor().blockNumber(), 1);  // the search runs from the caret
        d->reject();
    }

    void replaceAllWrapsOnceAndRestoresTheCaret() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("cnt\nTAD CNT\nDCA cnt\nISZ Cnt"));
        QTextCursor c(e.memo()->document());
        c.setPosition(10);  // line 2: "cnt" before the caret occurs twice
        e.memo()->setTextCursor(c);
        QTest::keyClick(e.memo(), Qt::Key_F4);
        QDialog* d = e.findDialog();
        QCOMPARE(d->windowTitle(), QStringLiteral("Replace"));
        d->findChild<QLineEdit*>(QStringLiteral("findEdit"))->setText(QStringLiteral("cnt"));
        d->findChild<QLineEdit*>(QStringLiteral("replaceEdit"))->setText(QStringLiteral("COUNT"));
        d->findChild<QPushButton*>(QStringLiteral("replaceAllButton"))->click();
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("COUNT\nTAD COUNT\nDCA COUNT\nISZ COUNT"));
        QVERIFY(prompter_.messages.empty());
        QVERIFY(!e.memo()->textCursor().hasSelection());
        d->reject();
        QCOMPARE(e.memo()->textCursor().position(), 10);
        // A replacement that holds the find text is not replaced again after the wrap.
        e.memo()->setPlainText(QStringLiteral("A B A"));
        c = QTextCursor(e.memo()->document());
        c.setPosition(3);
        e.memo()->setTextCursor(c);
        QCOMPARE(e.ReplaceAll({QStringLiteral("a"), false, true}, QStringLiteral("AA")), 2);
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("AA B AA"));
    }

    void replaceReplacesTheSelectionThenFindsTheNext() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("x y x"));
        const TeditFM::Search s{QStringLiteral("x"), true, false};
        QVERIFY(e.FindNext(s));
        e.ReplaceNext(s, QStringLiteral("z"));
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("z y x"));
        QCOMPARE(e.memo()->textCursor().selectionStart(), 4);
        e.ReplaceNext(s, QStringLiteral("z"));
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("z y z"));
        QVERIFY(saw("Search string 'x' not found"));
    }

    void cleanStripsLineEnds() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("\tCLA  \t\n   \nHLT / end \x01\nTAD 5"));
        QTest::keyClick(e.memo(), Qt::Key_F12);
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("\tCLA\n   \nHLT / end\nTAD 5"));
        QVERIFY(saw("Clean completed"));
        QCOMPARE(e.statusText(4), QString());
        QVERIFY(e.modified());
        // Nothing to clean keeps the modified flag as it was.
        const QString path = file(QStringLiteral("clean.asm"), "\tCLA\n");
        QVERIFY(e.SaveFile(path, false));
        QVERIFY(!e.modified());
        e.memo()->setPlainText(QStringLiteral("\tCLA"));
        QVERIFY(e.SaveFile(path, false));
        e.Clean1Click();
        QVERIFY(!e.modified());
    }

    void pickerFillsFromTheTablesAndInserts() {
        auto w = open();
        TeditFM& e = editor(*w);
        QListWidget* lb = e.picker();
        auto* acSB = e.findChild<QToolButton*>(QStringLiteral("acSB"));
        QVERIFY(acSB->isHidden());
        QVERIFY(lb->count() > 0);
        QCOMPARE(lb->item(0)->text(), QStringLiteral("AND"));
        e.pickGroup(4);
        QCOMPARE(lb->count(), 13);  // the Normal directives without _PCADD
        QCOMPARE(lb->item(0)->text(), QStringLiteral("_PAGEBREAK"));
        lb->setCurrentRow(1);
        QCOMPARE(e.statusText(5), QStringLiteral("Set PC to a specific address"));
        e.pickGroup(2);
        QCOMPARE(lb->item(0)->text(), QStringLiteral("CLA"));
        e.insLBDblClick(0);  // empty text: a tab, then the mnemonic
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("\tCLA"));
        QTextCursor c = e.memo()->textCursor();
        c.setPosition(1);  // inside the line: inserted at the caret
        e.memo()->setTextCursor(c);
        e.insLBDblClick(1);
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("\tCMACLA"));
        e.memo()->setPlainText(QStringLiteral("X // note"));
        c = e.memo()->textCursor();
        c.setPosition(8);
        e.memo()->setTextCursor(c);
        e.insLBDblClick(0);  // after "//": nothing
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("X // note"));
        c.setPosition(1);
        e.memo()->setTextCursor(c);
        e.insLBDblClick(0);
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("XCLA // note"));
        e.memo()->clear();
        // WIF: other captions and the constant directive.
        w->machine().options.mode = core::OperatingMode::Wif;
        QVERIFY(w->LoadCompilerData() == 2);
        e.doInit();
        QVERIFY(!acSB->isHidden());
        QCOMPARE(e.findChild<QToolButton*>(QStringLiteral("mrSB"))->text(), QStringLiteral("Register"));
        QCOMPARE(e.findChild<QToolButton*>(QStringLiteral("oprSB"))->text(), QStringLiteral("General"));
        QVERIFY(e.windowTitle().startsWith(QStringLiteral("MIRA-8 WIF Assembler - [")));
        e.pickGroup(4);
        QCOMPARE(lb->count(), 14);
        const auto found = lb->findItems(QStringLiteral("_CONST"), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        e.insLBDblClick(lb->row(found.first()));
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("_CONST\t"));
        e.memo()->setPlainText(QStringLiteral("\tNOP\n"));
        e.memo()->moveCursor(QTextCursor::End);
        e.insLBDblClick(lb->row(found.first()));
        QCOMPARE(lineText(e, 1), QStringLiteral("_CONST\t"));
    }

    void saveQueryYesNoCancel() {
        auto w = open();
        TeditFM& e = editor(*w);
        const QString path = file(QStringLiteral("keep.asm"), "\tCLA\n");
        QVERIFY(e.OpenFile(path));
        QVERIFY(!e.modified());
        QTest::keyClicks(e.memo(), "X");
        QVERIFY(!e.modified());  // too soon after the load
        settle(e);
        QTest::keyClicks(e.memo(), "X");
        // Cancel: nothing happens.
        prompter_.answers = {core::Answer::Cancel};
        e.New1Click();
        QCOMPARE(prompter_.messages.back(), std::string(kSaveQuery));
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("XX\tCLA"));
        // Yes: saved under the current name, then the text is cleared.
        prompter_.answers = {core::Answer::Yes};
        e.New1Click();
        QVERIFY(e.memo()->toPlainText().isEmpty());
        QVERIFY(e.fileName().isEmpty());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("XX\tCLA\n"));
        // No: the changes are dropped.
        settle(e);
        QTest::keyClicks(e.memo(), "lost");
        prompter_.answers = {core::Answer::No};
        e.New1Click();
        QVERIFY(e.memo()->toPlainText().isEmpty());
        // Yes without a name asks for one; cancelling that dialog stops the New.
        settle(e);
        QTest::keyClicks(e.memo(), "unnamed");
        e.chooseSaveFile = [](const QString& initial) {
            return initial == QLatin1String("*.asm") ? QString() : QStringLiteral("bad");
        };
        prompter_.answers = {core::Answer::Yes};
        e.New1Click();
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("unnamed"));
    }

    void closingTheMainWindowLetsTheEditorSave() {
        auto w = open();
        TeditFM& e = editor(*w);
        typeText(e.memo(), QStringLiteral("\tCLA"));
        prompter_.answers = {core::Answer::Cancel};
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QCOMPARE(prompter_.messages.back(), std::string(kSaveQuery));
        prompter_.answers = {core::Answer::No};
        QVERIFY(w->close());
        QVERIFY(!e.isVisible());
    }

    void openFailuresChangeNothing() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("kept"));
        QVERIFY(!e.OpenFile(dir_->filePath(QStringLiteral("missing.asm"))));
        QVERIFY(saw("ERROR: Failed to open program file"));
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("kept"));
        QVERIFY(!e.SaveFile(dir_->filePath(QStringLiteral("no/such/dir/x.asm")), true));
        QVERIFY(saw("Failed to save program file"));
        QVERIFY(e.fileName().isEmpty());
        // Latin-1 and CR LF files come back byte for byte.
        const QString path = file(QStringLiteral("latin.asm"), "\tCLA / caf\xe9\r\n\tHLT\r\n");
        QVERIFY(e.OpenFile(path));
        QCOMPARE(lineText(e, 0), QString::fromLatin1("\tCLA / caf\xe9"));
        QVERIFY(e.Save1Click());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\tCLA / caf\xe9\r\n\tHLT\r\n"));
        QCOMPARE(e.windowTitle(), QStringLiteral("MIRA-8 Assembler - [latin]"));
    }

    void recentFilesKeepTheLastFive() {
        auto w = open();
        TeditFM& e = editor(*w);
        QStringList paths;
        for (int i = 1; i <= 6; ++i) {
            paths << file(QStringLiteral("prog%1.asm").arg(i), "\tNOP\n");
            const QString p = paths.last();
            e.chooseOpenFile = [p](const QString& initial) {
                return initial == QLatin1String("*.asm") ? p : QString();
            };
            e.Open1Click();
            QCOMPARE(e.fileName(), p);
        }
        auto* recent = e.findChild<QMenu*>(QStringLiteral("RecentFiles1"));
        QVERIFY(recent->menuAction()->isVisible());
        for (int i = 0; i < 5; ++i) {
            auto* a = e.findChild<QAction*>(QStringLiteral("RFile%1").arg(i + 1));
            QVERIFY(a->isVisible());
            QCOMPARE(a->text(), QStringLiteral("prog%1").arg(6 - i));
        }
        // A file that went away: the information box, and the list loses it.
        QFile::remove(paths[3]);  // prog4, the third entry
        e.RecentFileClick(2);
        QVERIFY(saw("File not found"));
        QCOMPARE(e.recentFiles().paths().size(), size_t(4));
        QCOMPARE(e.findChild<QAction*>(QStringLiteral("RFile3"))->text(), QStringLiteral("prog3"));
        QVERIFY(!e.findChild<QAction*>(QStringLiteral("RFile5"))->isVisible());
        e.RecentFileClick(1);
        QCOMPARE(e.fileName(), paths[4]);
        // Closing the editor saves the list; a new start reads it back.
        QVERIFY(e.close());
        QVERIFY(e.memo()->toPlainText().isEmpty());
        const auto stored = core::readContainerFile(core::dataFile("m8str.dat"));
        QVERIFY(stored.ok);
        QCOMPARE(stored.lines.front(), "000" + paths[4].toStdString());
        auto w2 = open();
        TeditFM& e2 = editor(*w2);
        QCOMPARE(e2.recentFiles().paths().size(), size_t(4));
        e2.OpenLast1Click();
        QCOMPARE(e2.fileName(), paths[4]);
    }

    void windowStateComesBackFromTheSettings() {
        const QString path = file(QStringLiteral("state.asm"), "\tCLA\n");
        {
            auto w = open();
            TeditFM& e = editor(*w);
            QVERIFY(e.OpenFile(path));
            e.resize(700, 400);
            e.move(30, 40);
            QVERIFY(w->close());
        }
        const auto lines = core::readContainerFile(core::dataFile(core::kSettingsFileName)).lines;
        std::string editorLine;
        std::string openLine;
        for (const auto& l : lines) {
            if (l.rfind("014", 0) == 0) editorLine = l.substr(3);
            if (l.rfind("020", 0) == 0) openLine = l.substr(3);
        }
        QCOMPARE(core::fieldAt(editorLine, 2), std::string("400"));
        QCOMPARE(core::fieldAt(editorLine, 3), std::string("700"));
        QCOMPARE(core::fieldAt(editorLine, 4), path.toStdString());
        QCOMPARE(core::fieldAt(openLine, core::kOpenEditor), std::string("-1"));
        auto w = open();
        TeditFM& e = *w->editFM();
        QVERIFY(e.isVisible());
        QCOMPARE(e.fileName(), path);
        QCOMPARE(e.size(), QSize(700, 400));
        // Out-of-range sizes become the minimum; a hidden editor stores no file.
        e.PutScreenData("10~20~100~5000~~");
        QCOMPARE(e.size(), QSize(TeditFM::kMinWidth, TeditFM::kMinHeight));
        e.hide();
        QCOMPARE(core::fieldAt(e.GetScreenData(), 4), std::string());
        e.PutScreenData("garbage");
        QCOMPARE(e.size(), QSize(TeditFM::kMinWidth, TeditFM::kMinHeight));
    }

    void getAssMemoReadsLines() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("one\ntwo"));
        QCOMPARE(e.GetAssMemo(1), std::string("two"));
        QCOMPARE(e.GetAssMemo(2), std::string());
        QCOMPARE(e.GetAssMemo(-1), std::string());
    }

    // The text holds at most 1,000,000 characters: typing, pasting, picking and replacing
    // past it, and opening a longer file, each leave the text as it was and say why.
    void textStopsAtItsLimitWithAMessage() {
        auto w = open();
        TeditFM& e = editor(*w);
        const qsizetype limit = gui::TmyMemo::kMaxChars;
        const QString line = QString(99, QLatin1Char('x'));
        QStringList lines;
        for (qsizetype i = 0; i < limit / 100; ++i) lines << line;
        e.memo()->setPlainText(lines.join(QLatin1Char('\n')));  // one short
        QCOMPARE(e.memo()->length(), limit - 1);
        e.memo()->moveCursor(QTextCursor::End);
        prompter_.messages.clear();

        QTest::keyClicks(e.memo(), QStringLiteral("a"));
        QCOMPARE(e.memo()->length(), limit);
        QVERIFY(prompter_.messages.empty());
        QTest::keyClicks(e.memo(), QStringLiteral("b"));
        QTest::keyClick(e.memo(), Qt::Key_Return);
        QCOMPARE(e.memo()->length(), limit);
        QCOMPARE(prompter_.messages.size(), size_t{2});
        QVERIFY(saw(TeditFM::kTextLimitMessage));
        // Typing over a selection of the same length still fits.
        e.memo()->moveCursor(QTextCursor::Left, QTextCursor::KeepAnchor);
        QTest::keyClicks(e.memo(), QStringLiteral("c"));
        QVERIFY(e.memo()->toPlainText().endsWith(QLatin1String("xxc")));

        // A paste that does not fit is refused whole.
        QApplication::clipboard()->setText(QStringLiteral("HLT\nHLT"));
        const QString before = e.memo()->toPlainText();
        e.memo()->paste();
        QCOMPARE(e.memo()->toPlainText(), before);
        QCOMPARE(prompter_.messages.size(), size_t{3});
        // Nor does a picked instruction or a longer replacement slip past.
        e.pickGroup(0);
        QVERIFY(e.picker()->count() > 0);
        e.insLBDblClick(0);
        QCOMPARE(e.memo()->length(), limit);
        QCOMPARE(e.ReplaceAll({QStringLiteral("xxc"), false, false}, QStringLiteral("xxcd")), 0);
        QCOMPARE(e.memo()->toPlainText(), before);
        QCOMPARE(prompter_.messages.size(), size_t{5});
        // Deleting makes room again.
        for (int i = 0; i < 7; ++i) QTest::keyClick(e.memo(), Qt::Key_Backspace);
        e.memo()->paste();
        QCOMPARE(e.memo()->length(), limit);
        QVERIFY(e.memo()->toPlainText().endsWith(QLatin1String("xHLT\nHLT")));
    }

    void fileLongerThanTheLimitIsNotOpened() {
        auto w = open();
        TeditFM& e = editor(*w);
        const QString fits = file(QStringLiteral("fits.asm"),
                                  QByteArray(gui::TmyMemo::kMaxChars - 1, 'x') + "\r\n");
        QVERIFY(e.OpenFile(fits));
        QCOMPARE(e.memo()->length(), gui::TmyMemo::kMaxChars - 1);
        e.New1Click();
        e.memo()->setPlainText(QStringLiteral("HLT"));
        const QString tooLong =
            file(QStringLiteral("long.asm"), QByteArray(gui::TmyMemo::kMaxChars + 1, 'x'));
        QVERIFY(!e.OpenFile(tooLong));
        QVERIFY(saw(TeditFM::kFileTooLongMessage));
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("HLT"));
        QVERIFY(!e.fileName().endsWith(QLatin1String("long.asm")));
    }

    // Red pixels in the margin's strip of error marks.
    static int marksIn(TeditFM& e) {
        auto* num = e.findChild<QWidget*>(QStringLiteral("numImage"));
        const QImage img = num->grab().toImage();
        int red = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = img.width() - TeditFM::kProblemMarkWidth; x < img.width(); ++x)
                if (img.pixelColor(x, y) == QColor(Qt::red)) ++red;
        return red;
    }

    void problemsListShowsEveryErrorAndGoesToIt() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("START,  CLA\n        JMP NOWHERE\n        FOO\n"));
        QTest::keyClick(e.memo(), Qt::Key_F9);
        // The error box is still the first error's, and its line is selected.
        QVERIFY(saw("Missing memory target address"));
        QCOMPARE(e.memo()->textCursor().blockNumber(), 1);
        QListWidget* list = e.problems();
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("line 2, column 13: Missing memory target address: NOWHERE"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("line 3, column 9: Expecting a value or an instruction: FOO"));
        QVERIFY(!e.lineHasProblem(0) && e.lineHasProblem(1) && e.lineHasProblem(2));
        QVERIFY(marksIn(e) > 0);

        // A click puts the caret on the token in question.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QCOMPARE(e.memo()->textCursor().blockNumber(), 2);
        QCOMPARE(e.memo()->textCursor().positionInBlock(), 8);
        QVERIFY(!e.memo()->textCursor().hasSelection());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QCOMPARE(e.memo()->textCursor().blockNumber(), 1);
        QCOMPARE(e.memo()->textCursor().positionInBlock(), 12);

        // Fixed and assembled again: the list and the marks are gone.
        e.memo()->setPlainText(QStringLiteral("START,  CLA\n        JMP START\n"));
        QTest::keyClick(e.memo(), Qt::Key_F9);
        QCOMPARE(list->count(), 0);
        QVERIFY(!e.lineHasProblem(1));
        QCOMPARE(marksIn(e), 0);
    }

    void hoversAndTheListingCommand() {
        auto w = open();
        TeditFM& e = editor(*w);
        e.memo()->setPlainText(QStringLiteral("LOOP,   TAD COUNT\n        JMP LOOP\nCOUNT,  #D200\n"));
        QTest::keyClick(e.memo(), Qt::Key_F9);
        QCOMPARE(e.hoverAt(0, 13), QStringLiteral("COUNT: label, address 2 ($02), defined at line 3"));
        QCOMPARE(e.hoverAt(2, 10), QStringLiteral("#D200 = 200\n#D200   #$C8   #E610   #0310"));
        QVERIFY(e.hoverAt(1, 9).startsWith(QStringLiteral("JMP: ")));
        QVERIFY(e.hoverAt(1, 3).isEmpty());

        const QString listingPath = dir_->filePath(QStringLiteral("out.lst"));
        e.chooseListingFile = [&](const QString&) { return listingPath; };
        e.Listing1Click();
        QVERIFY(e.listingDialog() && e.listingDialog()->isVisible());
        const QString text = e.listingText()->toPlainText();
        QVERIFY(text.contains(QStringLiteral("    2  E001  E500          JMP LOOP")));
        QVERIFY(text.contains(QStringLiteral("\nSymbols\nBy name\n")));
        auto* save = e.listingDialog()->findChild<QPushButton*>(QStringLiteral("listingSaveSB"));
        QVERIFY(save);
        save->click();
        QFile f(listingPath);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), text + QLatin1Char('\n'));
    }
};

QTEST_MAIN(EditTest)
#include "edit_test.moc"
