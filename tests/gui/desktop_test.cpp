// The windows on a desktop: where they open beside the panel, a stored place off the
// screen coming back, and the focus returning to the window that raised a message box.
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "assembler/edit.h"
#include "assembler/my_memo.h"
#include "gui_test_support.h"
#include "mira/mira.h"
#include "modules/led.h"
#include "modules/module_window.h"
#include "modules/module_windows.h"
#include "views/debug_views.h"
#include "views/memory.h"
#include "qt_prompter.h"
#include "window_place.h"

using namespace mira;
using namespace mira::gui;

namespace {

bool overlaps(const QWidget& a, const QWidget& b) {
    return a.frameGeometry().intersects(b.frameGeometry());
}

bool onScreen(const QWidget& w) {
    return QGuiApplication::primaryScreen()->availableGeometry().contains(w.frameGeometry());
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    gui_test::ScriptedPrompter prompter_;

  private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = gui_test::ScriptedPrompter{};
    }

    void panelWithoutAPlaceTakesTheTopLeftCorner() {
        TmiraFM w(&prompter_);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
        // The memory view then fits to its right.
        TmemFM& mem = *w.views().memFM;
        mem.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mem));
        QVERIFY(!overlaps(mem, w));
    }

    void windowsWithoutAPlaceOpenBesideThePanel() {
        TmiraFM w(&prompter_);
        w.move(40, 30);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        TmemFM& mem = *w.views().memFM;
        mem.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mem));
        QVERIFY(!overlaps(mem, w));
        QVERIFY(onScreen(mem));
        QCOMPARE(mem.y(), w.y());
        QVERIFY(mem.x() >= w.frameGeometry().right());
        // The next one does not cover the first.
        TeditFM& e = *w.editFM();
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        QVERIFY(onScreen(e));
        QVERIFY(e.pos() != mem.pos());
        // A side of the panel that is still free: below it, clear of the memory view.
        QVERIFY(!overlaps(e, w));
        QVERIFY(!overlaps(e, mem));
        // A module window likewise, reopened on its slot as at start-up.
        QWidget* led = &w.modules().ledFM();
        QVERIFY(w.modules().reopen({core::ReopenStep::OctalLed, 2, -1, 1}));
        QVERIFY(led->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(led));
        QVERIFY(!overlaps(*led, w));
        QVERIFY(onScreen(*led));
    }

    // A stored place beyond the screen (the clamp makes it 0,0) opens beside the panel; a
    // place on the screen is kept as stored.
    void storedPlaceOffTheScreenComesBackBesideThePanel() {
        TmiraFM w(&prompter_);
        w.move(40, 30);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        TmemFM& mem = *w.views().memFM;
        mem.PutScreenData(std::to_string(screen.width() + 300) + "~-20~", screen.width(),
                          screen.height());
        mem.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mem));
        QVERIFY(onScreen(mem));
        QVERIFY(!overlaps(mem, w));
        mem.hide();
        mem.PutScreenData("100~420~", screen.width(), screen.height());
        mem.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mem));
        QCOMPARE(mem.pos(), QPoint(100, 420));
    }

    // An assembler error's box belongs to the editor: when it closes, the editor is active
    // again with the caret in its text, so typing goes on and Esc does not reach the panel.
    void messageBoxGivesTheFocusBackToItsWindow() {
        TmiraFM w;  // real message boxes
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        TeditFM& e = *w.editFM();
        e.show();
        e.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&e));
        e.memo()->setFocus();
        e.memo()->setPlainText(QStringLiteral("\tNOSUCH 5"));
        QWidget* parentOfBox = nullptr;
        QString boxText;
        gui_test::whenModal([&](QWidget* box) {
            parentOfBox = box->parentWidget();
            if (auto* mb = qobject_cast<QMessageBox*>(box)) boxText = mb->text();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        e.Assemble1Click();
        QVERIFY(!boxText.isEmpty());
        QCOMPARE(parentOfBox, &e);
        QTRY_COMPARE(QApplication::activeWindow(), &e);
        QCOMPARE(QApplication::focusWidget(), e.memo());
        e.memo()->moveCursor(QTextCursor::End);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("0"));
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("\tNOSUCH 50"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(w.isVisible());

        // A box raised from the panel returns to the panel.
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // The About box's text is short, but its title is shown whole.
        int boxWidth = 0;
        int needed = 0;
        gui_test::whenModal([&](QWidget* box) {
            boxWidth = box->width();
            needed = gui::messageBoxMinimumWidth(*box);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        w.prompter().info("MIRA-8 Emulator");
        QTRY_COMPARE(QApplication::activeWindow(), &w);
        QVERIFY2(boxWidth >= needed, qPrintable(QStringLiteral("%1 < %2").arg(boxWidth).arg(needed)));
    }
};

// A desktop-sized screen (the offscreen platform's own is 800 x 600, narrower than the
// panel beside a view).
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            "offscreen:configfile=" MIRA8_SOURCE_DIR "/tests/gui/desktop_screen.json");
    QApplication app(argc, argv);
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "desktop_test.moc"
