// The ten-digit display, the alpha display and the external switches as the user meets
// them: opened from the Modules menu, driven by a program or the mouse, checked on their
// pixels, closed, and reopened from the settings file in the same place.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/data_dir.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "gui_test_support.h"
#include "mira/mira.h"
#include "modules/display57.h"
#include "modules/display8.h"
#include "modules/display_art.h"
#include "modules/funcselect.h"
#include "modules/module_windows.h"
#include "modules/swit.h"

using namespace mira;
using gui::Tdisp57FM;
using gui::Tdisp8FM;
using gui::TmiraFM;
using gui::TswitFM;

namespace {

using gui_test::RecordingPlayer;
using gui_test::ScriptedPrompter;
using gui_test::whenModal;

constexpr int kHlt = 0xF1;
constexpr int kCla = 0xE8;

// Picks entry `n` of the selection dialog; records the title it showed.
void answerSelection(int n, QString* title) {
    whenModal([n, title](QWidget* w) {
        *title = w->findChild<QLabel*>(QStringLiteral("titleLabel"))->text();
        static_cast<gui::TFuncSelFM*>(w)->choice(n)->click();
        w->findChild<QPushButton*>(QStringLiteral("okSB"))->click();
    });
}

QRgb pixel(QWidget* picture, int x, int y) { return picture->grab().toImage().pixel(x, y); }

// Sends `bytes` to output device `dev` with real output instructions, from a loop that
// reads them through a pointer.
void runOutput(TmiraFM& w, int dev, std::initializer_list<int> bytes) {
    core::Machine& m = w.machine();
    constexpr int kData = 128, kCount = 14, kPtr = 15;
    const int program[] = {
        kCla,
        0x30 | kPtr,               // TAD I PTR
        0xD0 | (dev << 3) | 6,     // PUT dev
        0x40 | kPtr,               // ISZ PTR
        0x40 | kCount,             // ISZ COUNT: done after the last byte
        0xA0,                      // JMP 0
        kHlt,
    };
    for (int i = 0; i < 7; ++i) m.memory[i] = program[i];
    m.memory[kCount] = (256 - static_cast<int>(bytes.size())) & 255;
    m.memory[kPtr] = kData;
    int k = 0;
    for (int b : bytes) m.memory[kData + k++] = b;
    m.pc = 0;
    m.switches[core::kSwitchSingleCont] = 1;
    m.switches[core::kSwitchSlowFast] = 1;
    w.runControl().startRun();
    w.runControl().request = core::kRequestNone;
    w.runControl().beginFastRun();
    w.runControl().runHeadless(UINT64_MAX, 1000);
}

std::string settingsLine(const char* key) {
    const core::ContainerRead read =
        core::readContainerFile(core::dataFile(core::kSettingsFileName));
    for (const auto& l : read.lines)
        if (l.rfind(key, 0) == 0) return l.substr(3);
    return "<none>";
}

}  // namespace

class DisplaysTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;
    RecordingPlayer player_;

    std::unique_ptr<TmiraFM> open() { return gui_test::openShown<TmiraFM>(&prompter_, &player_); }
    static QAction* action(TmiraFM& w, const char* name) {
        return w.findChild<QAction*>(QString::fromLatin1(name));
    }
    static Tdisp8FM& ten(TmiraFM& w) { return *w.modules().find<Tdisp8FM>(); }
    static Tdisp57FM& alpha(TmiraFM& w) { return *w.modules().find<Tdisp57FM>(); }
    static TswitFM& swit(TmiraFM& w) { return *w.modules().find<TswitFM>(); }

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = ScriptedPrompter{};
        prompter_.threeWay = core::Answer::No;
        player_.played.clear();
    }

    // --- ten-digit display ---

    void tenDigitOpensFromMenuReadyAndRaisesWhenOpen() {
        auto w = open();
        QString title;
        answerSelection(1, &title);
        action(*w, "Display10Digit1")->trigger();
        QCOMPARE(title, QStringLiteral("8 Digit Display IO Select"));
        Tdisp8FM& d = ten(*w);
        QVERIFY(d.isVisible());
        QCOMPARE(d.size(), QSize(206, 90));
        QVERIFY(d.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(d.GetDevice(), 3);
        QCOMPARE(w->machine().bus.slots[3].type, int(core::kModuleDisplay10));
        QCOMPARE(w->machine().bus.slots[3].flag, uint8_t(0));
        QCOMPARE(d.label()->text(), QStringLiteral("Output Device 1"));
        QCOMPARE(d.label()->pos(), QPoint(47, 69));
        // Chosen again while open: no dialog, the window stays as it is.
        title.clear();
        action(*w, "Display10Digit1")->trigger();
        QTest::qWait(50);
        QVERIFY(title.isEmpty());
        QVERIFY(d.isVisible());
        QCOMPARE(d.GetDevice(), 3);
    }

    void tenDigitShowsSegmentsOnlyWhenOn() {
        auto w = open();
        QString title;
        answerSelection(0, &title);
        action(*w, "Display10Digit1")->trigger();
        Tdisp8FM& d = ten(*w);
        QWidget* img = d.image();
        const int L0 = gui::displayart::tenCellLeft(0), L1 = gui::displayart::tenCellLeft(1);
        const QRgb lit = gui::displayart::kTenLit, unlit = gui::displayart::kTenUnlit;
        // 8 in cell 0, 1 in cell 1, a colon in cell 2: stored, not shown.
        runOutput(*w, 0, {8, 1, 11});
        QCOMPARE(d.display().text(), std::string("81:       "));
        QCOMPARE(pixel(img, L0 + 3, 38), unlit);
        runOutput(*w, 0, {95});  // D10_ON
        QTRY_COMPARE(pixel(img, L0 + 3, 38), lit);  // a of 8
        QCOMPARE(pixel(img, L0 + 3, 45), lit);       // g of 8
        QCOMPARE(pixel(img, L0, 48), lit);           // e of 8
        QCOMPARE(pixel(img, L1 + 3, 38), unlit);     // a of 1 stays dark
        QCOMPARE(pixel(img, L1 + 7, 41), lit);       // b of 1
        const int colonX = gui::displayart::tenCellLeft(2) + 4;
        QCOMPARE(pixel(img, colonX, 41), lit);
        QCOMPARE(pixel(img, colonX + 1, 48), lit);
        QCOMPARE(pixel(img, colonX, 43), gui::displayart::kTenGround);
        // Reset from the popup: off and blank, still ready.
        d.popupMenu()->findChild<QAction*>(QStringLiteral("Reset1"))->trigger();
        QTRY_COMPARE(pixel(img, L0 + 3, 38), unlit);
        QCOMPARE(d.display().text(), std::string(10, ' '));
        QCOMPARE(w->machine().bus.slots[2].flag, uint8_t(0));
    }

    void tenDigitDisconnectFreesSlotAndReopensReady() {
        auto w = open();
        QString title;
        answerSelection(0, &title);
        action(*w, "Display10Digit1")->trigger();
        Tdisp8FM& d = ten(*w);
        d.popupMenu()->findChild<QAction*>(QStringLiteral("Close1"))->trigger();
        QVERIFY(!d.isVisible());
        QCOMPARE(w->machine().bus.slots[2].type, int(core::kModuleNone));
        QCOMPARE(w->machine().bus.slots[2].flag, uint8_t(1));
        // A second opening is as ready as the first.
        answerSelection(0, &title);
        action(*w, "Display10Digit1")->trigger();
        QVERIFY(d.isVisible());
        QCOMPARE(w->machine().bus.slots[2].flag, uint8_t(0));
    }

    // --- alpha display ---

    void alphaOpensAndPaintsColouredDots() {
        auto w = open();
        QString title;
        answerSelection(0, &title);
        action(*w, "Display2LineAlpha1")->trigger();
        QCOMPARE(title, QStringLiteral("5x7 Display IO Select"));
        Tdisp57FM& d = alpha(*w);
        QVERIFY(d.isVisible());
        QCOMPARE(d.size(), QSize(330, 99));
        QCOMPARE(d.label()->text(), QStringLiteral("Output Device 0"));
        QCOMPARE(d.label()->pos(), QPoint(113, 81));
        QCOMPARE(w->machine().bus.slots[2].flag, uint8_t(0));
        QWidget* img = d.image();
        const QRgb grey = qRgb(52, 52, 52);
        // Apex of A: dot column 2, row 0 of line 1, column 0.
        const QPoint apex(15 + 3 * 2, 26);
        runOutput(*w, 0, {135, 17, 'A', 133, 19, 'B'});  // on, green A, line 2, cyan B
        QTRY_COMPARE(pixel(img, apex.x(), apex.y()), qRgb(0, 255, 0));
        QCOMPARE(pixel(img, apex.x() + 1, apex.y() + 1), qRgb(0, 255, 0));  // 2 x 2 dot
        QCOMPARE(pixel(img, apex.x() + 2, apex.y()), qRgb(0, 0, 0));       // gap between dots
        QCOMPARE(pixel(img, 15, 26), grey);  // dot (0, 0) of A is not lit
        // B's top-left dot, line 2.
        QCOMPARE(pixel(img, 15, 53), qRgb(0, 255, 255));
        // Column 1 of line 1 is a space: all grey.
        QCOMPARE(pixel(img, 15 + 19 + 6, 26 + 9), grey);
        runOutput(*w, 0, {134});  // off: every dot grey, the text kept
        QTRY_COMPARE(pixel(img, apex.x(), apex.y()), grey);
        QCOMPARE(d.display().lineText(1)[0], 'A');
        runOutput(*w, 0, {135});
        QTRY_COMPARE(pixel(img, apex.x(), apex.y()), qRgb(0, 255, 0));
        d.popupMenu()->findChild<QAction*>(QStringLiteral("Close1"))->trigger();
        QVERIFY(!d.isVisible());
        QCOMPARE(w->machine().bus.slots[2].type, int(core::kModuleNone));
    }

    void displaysReopenFromSettingsInPlace() {
        {
            auto w = open();
            QString title;
            answerSelection(1, &title);
            action(*w, "Display10Digit1")->trigger();
            answerSelection(0, &title);
            action(*w, "Display2LineAlpha1")->trigger();
            ten(*w).move(120, 300);
            alpha(*w).move(360, 300);
            w->close();
        }
        QCOMPARE(settingsLine("041"), std::string("120~300~"));
        QCOMPARE(settingsLine("046"), std::string("360~300~"));
        const auto open20 = core::OpenWindows::parse(settingsLine("020"));
        QVERIFY(open20.visible(core::kOpenDisplay10));
        QCOMPARE(open20.number(core::kOpenDisplay10Slot, -9), 3);
        QVERIFY(open20.visible(core::kOpenDisplayAlpha));
        QCOMPARE(open20.number(core::kOpenDisplayAlphaSlot, -9), 2);

        auto w = open();
        QVERIFY(ten(*w).isVisible());
        QCOMPARE(ten(*w).pos(), QPoint(120, 300));
        QCOMPARE(ten(*w).GetDevice(), 3);
        QCOMPARE(w->machine().bus.slots[3].type, int(core::kModuleDisplay10));
        QCOMPARE(w->machine().bus.slots[3].flag, uint8_t(0));
        QVERIFY(alpha(*w).isVisible());
        QCOMPARE(alpha(*w).pos(), QPoint(360, 300));
        QCOMPARE(alpha(*w).GetDevice(), 2);
        QCOMPARE(alpha(*w).label()->text(), QStringLiteral("Output Device 0"));
    }

    void displaysDragClampedToScreen() {
        auto w = open();
        QString title;
        answerSelection(0, &title);
        action(*w, "Display2LineAlpha1")->trigger();
        Tdisp57FM& d = alpha(*w);
        d.move(100, 100);
        QWidget* img = d.image();
        QTest::mousePress(img, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
        QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), img->mapToGlobal(QPointF(-990, -990)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(img, &move);
        QCOMPARE(d.pos(), QPoint(0, 0));
        QTest::mouseRelease(img, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
    }

    // --- external switches ---

    void switchesAskForTheSwitchRegisterAndBindNoSlot() {
        auto w = open();
        core::Machine& m = w->machine();
        w->panel().throwSwitch(0, false);  // panel SR 127: not all 1's
        prompter_.answer = false;
        action(*w, "ExternalSwitches1")->trigger();
        QVERIFY(prompter_.asked(
            "The switch register must be all 1's to correctly operate this module\r\rContinue?"));
        QVERIFY(!swit(*w).isVisible());
        prompter_.answer = true;
        m.bus.slots[0].type = core::kModuleKeypad;  // another module on input slot 0
        action(*w, "ExternalSwitches1")->trigger();
        TswitFM& s = swit(*w);
        QVERIFY(s.isVisible());
        QCOMPARE(s.size(), QSize(386, 78));
        QCOMPARE(s.GetDevice(), int(core::kModuleExternalSwitches));
        QCOMPARE(s.label()->text(), QStringLiteral("Switch Register Mask"));
        QCOMPARE(s.label()->pos(), QPoint(96, 56));
        QVERIFY(!s.triggerMarker()->isVisible());
        QCOMPARE(m.sr, 127);
        s.popupMenu()->findChild<QAction*>(QStringLiteral("Close1"))->trigger();
        QVERIFY(!s.isVisible());
        QCOMPARE(m.bus.slots[0].type, int(core::kModuleKeypad));
    }

    void switchesClickLeversAndMaskSr() {
        auto w = open();
        core::Machine& m = w->machine();
        action(*w, "ExternalSwitches1")->trigger();
        TswitFM& s = swit(*w);
        QVERIFY(s.isVisible());
        QVERIFY(prompter_.messages.empty());  // the panel's SR is all 1's: no question
        QWidget* img = s.image();
        const int x = 21 + 13;
        const QRgb leverUp = pixel(img, x, 24);
        const QRgb slotBelow = pixel(img, x, 42);
        QVERIFY(qRed(leverUp) > 150 && qBlue(leverUp) < 80);  // orange paddle above the pivot
        QVERIFY(qRed(slotBelow) < 60);
        QTest::mouseClick(img, Qt::LeftButton, Qt::NoModifier, QPoint(x, 25));
        QCOMPARE(m.sr, 127);
        QCOMPARE(player_.played, std::vector<core::SoundId>{core::SoundId::Swc});
        // The lever now points down: its picture is mirrored about the pivot row.
        QTRY_COMPARE(pixel(img, x, 42), leverUp);
        QCOMPARE(pixel(img, x, 24), slotBelow);
        // The lower half of a switch that is already 0 is where it stands: it goes back.
        QTest::mouseClick(img, Qt::LeftButton, Qt::NoModifier, QPoint(x, 40));
        QCOMPARE(m.sr, 255);
        // The lower half of a 1 does nothing and stays silent.
        QTest::mouseClick(img, Qt::LeftButton, Qt::NoModifier, QPoint(x, 40));
        QCOMPARE(m.sr, 255);
        QCOMPARE(player_.played.size(), size_t(2));
        // All 0, then closing gives SR back to the panel.
        s.popupMenu()->findChild<QAction*>(QStringLiteral("All01"))->trigger();
        QCOMPARE(m.sr, 0);
        QCOMPARE(player_.played.size(), size_t(3));
        s.close();
        QCOMPARE(m.sr, 255);
    }

    void switchesControlLoadsAddress() {
        auto w = open();
        core::Machine& m = w->machine();
        action(*w, "ExternalSwitches1")->trigger();
        TswitFM& s = swit(*w);
        QWidget* img = s.image();
        QTest::mouseClick(img, Qt::LeftButton, Qt::NoModifier, QPoint(21 + 13, 25));  // SR 127
        m.pc = 42;
        QTest::mousePress(img, Qt::LeftButton, Qt::NoModifier, QPoint(317 + 13, 25));
        QCOMPARE(m.pc, 0);
        QCOMPARE(m.externalControl, 1);
        QTest::mouseRelease(img, Qt::LeftButton, Qt::NoModifier, QPoint(317 + 13, 25));
        QCOMPARE(m.externalControl, 3);
        QCOMPARE(m.pc, 127);
    }

    void switchesShowTriggerInWifMode() {
        auto w = open();
        w->machine().options.mode = core::OperatingMode::Wif;
        action(*w, "ExternalSwitches1")->trigger();
        QLabel* marker = swit(*w).triggerMarker();
        QVERIFY(marker->isVisible());
        QCOMPARE(marker->geometry(), QRect(348, 4, 32, 11));
    }

    void switchesReopenWithTheirMask() {
        {
            auto w = open();
            action(*w, "ExternalSwitches1")->trigger();
            TswitFM& s = swit(*w);
            QTest::mouseClick(s.image(), Qt::LeftButton, Qt::NoModifier, QPoint(21 + 13, 25));
            s.move(70, 300);
            w->close();
        }
        QCOMPARE(settingsLine("040"), std::string("70~300~"));
        const auto open20 = core::OpenWindows::parse(settingsLine("020"));
        QVERIFY(open20.visible(core::kOpenExternalSwitches));
        QCOMPARE(open20.number(core::kOpenExternalSwitchesType, -9), 11);
        QCOMPARE(open20.number(core::kOpenExternalMask1, -9), 127);
        auto w = open();
        TswitFM& s = swit(*w);
        QVERIFY(s.isVisible());
        QCOMPARE(s.pos(), QPoint(70, 300));
        QCOMPARE(w->machine().externalMask1, 127);
        QVERIFY(prompter_.messages.empty());  // reopening asks nothing
    }

    // With MIRA8_SHOT_DIR set, pictures of the three windows for a look; with
    // MIRA8_SHOT_WAIT (ms) they stay on the screen that long, for a screenshot from outside.
    void screenshots() {
        const QString dir = qEnvironmentVariable("MIRA8_SHOT_DIR");
        if (dir.isEmpty()) QSKIP("MIRA8_SHOT_DIR not set");
        auto w = open();
        w->move(420, 20);
        QString title;
        answerSelection(0, &title);
        action(*w, "Display10Digit1")->trigger();
        answerSelection(0, &title);
        action(*w, "Display2LineAlpha1")->trigger();
        action(*w, "ExternalSwitches1")->trigger();
        ten(*w).move(20, 20);
        alpha(*w).move(20, 130);
        swit(*w).move(20, 250);
        for (int c : {95, 112, 22, 19, 27, 27, 29, 70, 8, 11, 3, 0}) ten(*w).display().command(c);
        const std::string bytes = std::string("\x87\x10MIRA-8 \x12" "5x7 dots") +
                                  "\x85\x11HELLO \x13world!";
        for (char c : bytes) alpha(*w).display().command(static_cast<unsigned char>(c));
        swit(*w).switches().doInit(0xA5);
        const int wait = qEnvironmentVariableIntValue("MIRA8_SHOT_WAIT");
        if (wait > 0) QTest::qWait(wait);
        QVERIFY(ten(*w).grab().save(dir + "/ten_digit.png"));
        QVERIFY(alpha(*w).grab().save(dir + "/alpha.png"));
        QVERIFY(swit(*w).grab().save(dir + "/switches.png"));
    }
};

QTEST_MAIN(DisplaysTest)
#include "displays_test.moc"
