// The LED displays as the user meets them: opened from the Modules menu through the
// selection dialog, refused without a free slot, showing a program's output, closed,
// restored from the settings file; and the selection and options dialogs themselves.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/data_dir.h"
#include "core/field_list.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "core/snapshot.h"
#include "gui_test_support.h"
#include "mira/mira.h"
#include "modules/funcselect.h"
#include "modules/led.h"
#include "modules/led_art.h"
#include "modules/led_opt.h"
#include "modules/module_windows.h"

using namespace mira;
using gui::LedWindow;
using gui::TFuncSelFM;
using gui::TmiraFM;

namespace {

using gui_test::RecordingPlayer;
using gui_test::ScriptedPrompter;
using gui_test::whenModal;

constexpr int kOut0Transfer = 0xD0 | 2;
constexpr int kHlt = 0xF1;

// Answers the selection dialog with choice `n` (−1: Cancel), recording what it offered.
struct DialogSeen {
    QString caption, title;
    QStringList choices;
    bool shown = false;
};
void answerSelection(int n, DialogSeen* seen) {
    whenModal([n, seen](QWidget* w) {
        auto* dlg = qobject_cast<QDialog*>(w);
        seen->shown = true;
        seen->caption = w->windowTitle();
        seen->title = w->findChild<QLabel*>(QStringLiteral("titleLabel"))->text();
        auto* fs = static_cast<TFuncSelFM*>(dlg);
        for (int i = 0; i < fs->choiceCount(); ++i) seen->choices << fs->choice(i)->text();
        if (n < 0) {
            w->findChild<QPushButton*>(QStringLiteral("canSB"))->click();
            return;
        }
        fs->choice(n)->click();
        w->findChild<QPushButton*>(QStringLiteral("okSB"))->click();
    });
}

bool reddish(QRgb c) { return qRed(c) > 170 && qGreen(c) < 120 && qBlue(c) < 110; }

}  // namespace

class LedTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;

    std::unique_ptr<TmiraFM> open() { return gui_test::openShown<TmiraFM>(&prompter_); }
    static QAction* action(TmiraFM& w, const char* name) {
        return w.findChild<QAction*>(QString::fromLatin1(name));
    }
    static LedWindow& octal(TmiraFM& w) { return w.modules().ledFM(); }
    static LedWindow& decimal(TmiraFM& w) {
        return w.modules().decledFM();
    }
    static QRgb pixel(LedWindow& led, int x, int y) {
        return led.image()->grab().toImage().pixel(x, y);
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = ScriptedPrompter{};
        prompter_.threeWay = core::Answer::No;
        gui::ledart::faults() = {};
    }

    void menuOpensOctalOnChosenSlot() {
        auto w = open();
        DialogSeen seen;
        answerSelection(1, &seen);
        action(*w, "OctalLED1")->trigger();
        QVERIFY(seen.shown);
        QCOMPARE(seen.caption, QStringLiteral("Selection..."));
        QCOMPARE(seen.title, QStringLiteral("OCTAL LED Display IO Select"));
        QCOMPARE(seen.choices, QStringList({"Output Device 0", "Output Device 1"}));
        LedWindow& led = octal(*w);
        QVERIFY(led.isVisible());
        QCOMPARE(led.GetDevice(), 3);
        QCOMPARE(w->machine().bus.slots[3].type, int(core::kModuleOctalLed));
        QCOMPARE(w->machine().bus.slots[2].type, int(core::kModuleNone));
        QCOMPARE(led.label()->text(), QStringLiteral("Output Device 1 (377)"));
        QCOMPARE(led.size(), QSize(387, 220));
        QVERIFY(led.windowFlags() & Qt::FramelessWindowHint);
        // Already open: the menu does nothing, no dialog.
        DialogSeen again;
        action(*w, "OctalLED1")->trigger();
        QTest::qWait(50);
        QVERIFY(!again.shown);
        QVERIFY(prompter_.messages.empty());
    }

    void decimalOpensWithItsTitle() {
        auto w = open();
        DialogSeen seen;
        answerSelection(0, &seen);
        action(*w, "DecimalLED1")->trigger();
        QCOMPARE(seen.title, QStringLiteral("Decimal LED Display IO Select"));
        LedWindow& led = decimal(*w);
        QCOMPARE(led.GetDevice(), 2);
        QCOMPARE(w->machine().bus.slots[2].type, int(core::kModuleDecimalLed));
        QCOMPARE(led.label()->text(), QStringLiteral("Output Device 0  (LB)"));
        QCOMPARE(led.size(), QSize(413, 220));
    }

    void cancelOpensNothing() {
        auto w = open();
        DialogSeen seen;
        answerSelection(-1, &seen);
        action(*w, "OctalLED1")->trigger();
        QVERIFY(seen.shown);
        QVERIFY(!octal(*w).isVisible());
        QCOMPARE(w->machine().bus.slots[2].type, int(core::kModuleNone));
        QCOMPARE(w->machine().bus.slots[3].type, int(core::kModuleNone));
    }

    void noFreeOutputSlotRefuses() {
        auto w = open();
        DialogSeen first;
        answerSelection(0, &first);
        action(*w, "OctalLED1")->trigger();
        w->machine().bus.slots[3].type = core::kModulePrinter;
        DialogSeen seen;
        action(*w, "DecimalLED1")->trigger();
        QTest::qWait(50);
        QVERIFY(!seen.shown);
        QCOMPARE(prompter_.messages, std::vector<std::string>{"No output devices available"});
        QVERIFY(!decimal(*w).isVisible());
    }

    void onlySlotThreeFreeBindsSlotThree() {
        auto w = open();
        w->machine().bus.slots[2].type = core::kModuleMelody;
        DialogSeen seen;
        answerSelection(0, &seen);
        action(*w, "DecimalLED1")->trigger();
        QCOMPARE(seen.choices, QStringList({"Output Device 1"}));
        QCOMPARE(decimal(*w).GetDevice(), 3);
        QCOMPARE(w->machine().bus.slots[3].type, int(core::kModuleDecimalLed));
    }

    void disconnectFreesSlot() {
        auto w = open();
        DialogSeen seen;
        answerSelection(0, &seen);
        action(*w, "OctalLED1")->trigger();
        LedWindow& led = octal(*w);
        w->machine().bus.slots[2].flag = 0;
        led.popupMenu()->findChild<QAction*>(QStringLiteral("Close1"))->trigger();
        QVERIFY(!led.isVisible());
        QCOMPARE(w->machine().bus.slots[2].type, int(core::kModuleNone));
        QCOMPARE(w->machine().bus.slots[2].flag, uint8_t(1));
        QVERIFY(!led.display().delayTimer().isActive());
        // The slot is free for the next module.
        DialogSeen next;
        answerSelection(0, &next);
        action(*w, "DecimalLED1")->trigger();
        QCOMPARE(next.choices, QStringList({"Output Device 0", "Output Device 1"}));
    }

    void programOutputShowsOnDisplay() {
        auto w = open();
        DialogSeen seen;
        answerSelection(0, &seen);
        action(*w, "OctalLED1")->trigger();
        LedWindow& led = octal(*w);
        // Segment a of the first cell: dark while the display shows 0 (leading blank).
        const QPoint segA(143, 50);
        QVERIFY(!reddish(pixel(led, segA.x(), segA.y())));
        core::Machine& m = w->machine();
        m.memory[0] = kOut0Transfer;
        m.memory[1] = kHlt;
        m.ac = 0xFF;
        m.pc = 0;
        m.switches[core::kSwitchSingleCont] = 1;
        m.switches[core::kSwitchSlowFast] = 1;
        w->runControl().startRun();
        w->runControl().request = core::kRequestNone;
        w->runControl().beginFastRun();
        w->runControl().runHeadless(UINT64_MAX, 100);
        QCOMPARE(led.display().value(), 0xFF);
        QCOMPARE(led.display().cells(), std::string("377"));
        QTRY_VERIFY(reddish(pixel(led, segA.x(), segA.y())));
        // The middle segment of '3' is lit, that of '7' is not.
        QVERIFY(reddish(pixel(led, 106 + 34, 80)));
        QVERIFY(!reddish(pixel(led, 106 + 66 + 34, 80)));
    }

    // A machine state brought back: the window draws the restored byte and format at once.
    void restoredStateRedrawsTheWindow() {
        auto w = open();
        DialogSeen seen;
        answerSelection(0, &seen);
        action(*w, "OctalLED1")->trigger();
        LedWindow& led = octal(*w);
        const QPoint segA(143, 50);
        core::DeviceSlot& slot = w->machine().bus.slots[2];
        QVERIFY(led.display().acceptOptions(devices::LedDisplay::kDefaultReadyDelay,
                                            devices::kOctal737, true));
        slot.output = 0xFF;
        w->machine().bus.notifyOutput(2);
        QTRY_VERIFY(reddish(pixel(led, segA.x(), segA.y())));
        core::SnapshotWriter saved;
        led.display().saveState(saved);

        QVERIFY(led.display().acceptOptions(devices::LedDisplay::kDefaultReadyDelay,
                                            devices::kOctal377, true));
        led.display().doReset();
        QTRY_VERIFY(!reddish(pixel(led, segA.x(), segA.y())));
        QCOMPARE(led.label()->text(), QStringLiteral("Output Device 0 (377)"));

        core::SnapshotReader r(saved.bytes());
        led.display().restoreState(r);
        QCOMPARE(led.display().cells(), std::string("737"));
        QCOMPARE(led.label()->text(), QStringLiteral("Output Device 0 (737)"));
        QTRY_VERIFY(reddish(pixel(led, segA.x(), segA.y())));
    }

    void readyDelayDrivesFlagOnRealTimers() {
        auto w = open();
        DialogSeen seen;
        answerSelection(1, &seen);
        action(*w, "OctalLED1")->trigger();
        core::DeviceSlot& s = w->machine().bus.slots[3];
        QCOMPARE(s.flag, uint8_t(1));
        QTRY_COMPARE_WITH_TIMEOUT(s.flag, uint8_t(0), 4000);
        s.flag = 1;
        octal(*w).popupMenu()->findChild<QAction*>(QStringLiteral("Reset1"))->trigger();
        QCOMPARE(s.flag, uint8_t(1));
    }

    void machineResetLeavesWindowOpenUnbound() {
        auto w = open();
        DialogSeen seen;
        answerSelection(0, &seen);
        action(*w, "OctalLED1")->trigger();
        w->machine().reset();
        LedWindow& led = octal(*w);
        QVERIFY(led.isVisible());
        QCOMPARE(led.GetDevice(), -1);
        QCOMPARE(w->machine().bus.slots[2].type, int(core::kModuleNone));
    }

    void settingsKeepAndReopenDisplays() {
        {
            auto w = open();
            DialogSeen a, b;
            answerSelection(1, &a);
            action(*w, "OctalLED1")->trigger();
            answerSelection(0, &b);
            action(*w, "DecimalLED1")->trigger();
            octal(*w).PutScreenData("30~280~1~5000~0~");
            decimal(*w).move(430, 280);
            w->close();
        }
        const core::ContainerRead read =
            core::readContainerFile(core::dataFile(core::kSettingsFileName));
        QVERIFY(read.ok);
        const std::vector<std::string>& lines = read.lines;
        auto line = [&](const char* key) {
            for (const auto& l : lines)
                if (l.rfind(key, 0) == 0) return l.substr(3);
            return std::string("<none>");
        };
        QCOMPARE(line("016"), std::string("30~280~1~5000~0~"));
        QCOMPARE(line("023"), std::string("430~280~0~2000~-1~"));
        const auto open20 = core::OpenWindows::parse(line("020"));
        QVERIFY(open20.visible(core::kOpenOctalLed));
        QCOMPARE(open20.number(core::kOpenOctalLedSlot, -9), 3);
        QVERIFY(open20.visible(core::kOpenDecimalLed));
        QCOMPARE(open20.number(core::kOpenDecimalLedSlot, -9), 2);

        auto w = open();
        LedWindow& led = octal(*w);
        QVERIFY(led.isVisible());
        QCOMPARE(led.GetDevice(), 3);
        QCOMPARE(led.pos(), QPoint(30, 280));
        QCOMPARE(led.display().format(), 1);
        QCOMPARE(led.display().readyDelay(), 5000);
        QVERIFY(!led.display().ledType());
        QCOMPARE(led.label()->text(), QStringLiteral("Output Device 1 (737)"));
        QCOMPARE(w->machine().bus.slots[3].type, int(core::kModuleOctalLed));
        QVERIFY(decimal(*w).isVisible());
        QCOMPARE(decimal(*w).GetDevice(), 2);
    }

    void savedDisplayOnBadSlotStaysClosed() {
        core::OpenWindows open20;
        open20.setVisible(core::kOpenOctalLed, true);
        open20.setNumber(core::kOpenOctalLedSlot, 5);
        QVERIFY(core::writeContainerFile(core::dataFile(core::kSettingsFileName),
                                         {"016abc~~~~~", "020" + open20.format()}));
        auto w = open();
        QVERIFY(!octal(*w).isVisible());
        QCOMPARE(octal(*w).display().readyDelay(), 2000);
        QVERIFY(octal(*w).display().ledType());
    }

    void optionsDialogChangesFormat() {
        auto w = open();
        DialogSeen seen;
        answerSelection(0, &seen);
        action(*w, "OctalLED1")->trigger();
        LedWindow& led = octal(*w);
        QString readyText;
        whenModal([&](QWidget* d) {
            readyText = d->findChild<QLabel*>(QStringLiteral("readyLabel"))->text();
            QVERIFY(!d->findChild<QRadioButton*>(QStringLiteral("tcRB"))->isVisible());
            d->findChild<QRadioButton*>(QStringLiteral("miraRB"))->click();
            d->findChild<QScrollBar*>(QStringLiteral("readySB"))->setValue(3500);
            d->findChild<QPushButton*>(QStringLiteral("okSB"))->click();
        });
        led.Options1Click();
        QCOMPARE(readyText, QStringLiteral("2.0"));
        QCOMPARE(led.display().format(), 1);
        QCOMPARE(led.display().readyDelay(), 3500);
        QCOMPARE(led.label()->text(), QStringLiteral("Output Device 0 (737)"));
        QVERIFY(led.display().delayTimer().isActive());
    }

    void optionsDialogFillsFromValues() {
        gui::TledOptFM dlg;
        dlg.PutData(150000, 7, false, false, true);
        QCOMPARE(dlg.readyText(), QStringLiteral("2.0"));
        QCOMPARE(dlg.GetScroll(), 2000);
        QCOMPARE(dlg.GetMode(), 3);  // any other format selects HEX
        QVERIFY(!dlg.GetDisplay());
        dlg.PutData(12300, 2, true, false, false);
        QCOMPARE(dlg.readyText(), QStringLiteral("12.3"));
        QCOMPARE(dlg.GetMode(), 2);
        QVERIFY(dlg.GetDisplay());
        QVERIFY(!dlg.findChild<QRadioButton*>(QStringLiteral("nixieRB"))->isEnabled());
        dlg.PutData(2000, 1, false, true, false);  // Nixie unavailable: LED selected
        QVERIFY(dlg.GetDisplay());
        QCOMPARE(dlg.GetMode(), 1);
        QCOMPARE(dlg.findChild<QRadioButton*>(QStringLiteral("normRB"))->text(),
                 QStringLiteral("377"));
    }

    void tubeFailureMakesNixieUnavailable() {
        gui::ledart::faults().tube = true;
        QVERIFY(core::writeContainerFile(core::dataFile(core::kSettingsFileName),
                                         {"0160~0~0~2000~0~"}));
        auto w = open();
        QCOMPARE(prompter_.messages,
                 std::vector<std::string>{
                     "ERROR: Failed to load image data\r\rNixie displays not available"});
        QVERIFY(!w->modules().nixieAvailable());
        QVERIFY(!octal(*w).display().ledType());
        DialogSeen seen;
        answerSelection(0, &seen);
        action(*w, "OctalLED1")->trigger();
        QVERIFY(octal(*w).display().ledType());  // a stored Nixie falls back to LED
    }

    void glyphFailureClosesAndFreesSlot() {
        auto w = open();
        gui::ledart::faults().led = true;
        DialogSeen seen;
        answerSelection(0, &seen);
        action(*w, "OctalLED1")->trigger();
        QCOMPARE(prompter_.messages, std::vector<std::string>{"ERROR: Failed to load image data"});
        QVERIFY(!octal(*w).isVisible());
        QTRY_COMPARE(w->machine().bus.slots[2].type, int(core::kModuleNone));
        QVERIFY(!octal(*w).display().closePending());
    }

    void draggingIsClampedToScreen() {
        auto w = open();
        DialogSeen seen;
        answerSelection(0, &seen);
        action(*w, "OctalLED1")->trigger();
        LedWindow& led = octal(*w);
        led.move(100, 100);
        QWidget* img = led.image();
        QTest::mousePress(img, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
        QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), img->mapToGlobal(QPointF(-990, -990)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(img, &move);
        QCOMPARE(led.pos(), QPoint(0, 0));
        // Pressed at global (150, 150) with the window at (100, 100).
        QMouseEvent move2(QEvent::MouseMove, QPointF(10, 10), QPointF(210, 220),
                          Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(img, &move2);
        QCOMPARE(led.pos(), QPoint(160, 170));
        QTest::mouseRelease(img, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
        QMouseEvent move3(QEvent::MouseMove, QPointF(10, 10), QPointF(500, 500), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(img, &move3);
        QCOMPARE(led.pos(), QPoint(160, 170));
    }

    // With MIRA8_SHOT_DIR set, pictures of both displays in both types for a look.
    void screenshots() {
        const QString dir = qEnvironmentVariable("MIRA8_SHOT_DIR");
        if (dir.isEmpty()) QSKIP("MIRA8_SHOT_DIR not set");
        auto w = open();
        struct Shot {
            bool octal;
            int slot, value, format;
            bool led;
            const char* name;
        };
        const Shot shots[] = {
            {true, 2, 0xA5, 0, true, "octal_led"},       {true, 2, 0xA5, 1, false, "octal_nixie"},
            {false, 3, 200, 2, true, "decimal_led"},     {false, 3, 0x3C, 3, false, "decimal_nixie"},
        };
        for (const Shot& s : shots) {
            LedWindow& led = s.octal ? octal(*w) : decimal(*w);
            led.PutScreenData("0~0~" + std::to_string(s.format) + "~2000~" +
                              (s.led ? "-1" : "0") + "~");
            led.PutDevice(s.slot);
            led.doInit(true);
            led.show();
            w->machine().bus.slots[s.slot].output = s.value;
            w->machine().bus.notifyOutput(s.slot);
            QVERIFY(led.grab().save(dir + QLatin1Char('/') + QLatin1String(s.name) +
                                    QStringLiteral(".png")));
        }
        TFuncSelFM dlg;
        // As the slot question comes up: the first free slot chosen.
        dlg.SetMode(QStringLiteral("OCTAL LED Display IO Select~Output Device 0~Output Device 1~"),
                    devices::kPreselectedEntry);
        QVERIFY(dlg.grab().save(dir + QStringLiteral("/selection.png")));
    }

    // --- the selection dialog ---

    void selectionDialogParsesChoicesAndGaps() {
        TFuncSelFM dlg;
        dlg.SetMode(QStringLiteral("Keypad Reset~Clear all text~cmdBlank~Default text~~Ignored~"),
                    1);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Selection..."));
        QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("titleLabel"))->text(),
                 QStringLiteral("Keypad Reset"));
        QCOMPARE(dlg.choiceCount(), 2);
        QCOMPARE(dlg.choice(1)->text(), QStringLiteral("Default text"));
        QVERIFY(dlg.choice(1)->isChecked());
        const int w = dlg.fontMetrics().horizontalAdvance(QStringLiteral("www"));
        const int bh = dlg.choice(0)->sizeHint().height();
        QCOMPARE(dlg.choice(0)->x(), w);
        // The gap adds half a line to the 1.2-line step.
        QVERIFY(qAbs(dlg.choice(1)->y() - dlg.choice(0)->y() - (1.2 * bh + bh / 2.0)) <= 1.0);
        const int okH = dlg.findChild<QPushButton*>(QStringLiteral("okSB"))->height();
        QVERIFY(dlg.height() >= 2 * bh + bh / 2 + 3 * w + okH + 10);
        // Not closed with OK: nothing selected.
        QCOMPARE(dlg.GetSelected(), -1);
    }

    void selectionDialogReturnsChoiceOnOkOnly() {
        TFuncSelFM dlg;
        dlg.SetMode(QStringLiteral("T~a~b~c~"), -1);
        for (int i = 0; i < 3; ++i) QVERIFY(!dlg.choice(i)->isChecked());
        // OK waits for a choice; without choices there is nothing to wait for.
        auto* ok = dlg.findChild<QPushButton*>(QStringLiteral("okSB"));
        QVERIFY(!ok->isEnabled());
        dlg.choice(0)->click();
        QVERIFY(ok->isEnabled());
        dlg.SetMode(QStringLiteral("T~a~"), 0);
        dlg.choice(0)->click();  // a lone choice stays chosen
        QVERIFY(dlg.choice(0)->isChecked());
        QVERIFY(ok->isEnabled());
        dlg.SetMode(QStringLiteral("T~a~b~c~"), 1);
        QVERIFY(ok->isEnabled());
        dlg.FreeRadioButtons();
        QVERIFY(ok->isEnabled());
        dlg.SetMode(QStringLiteral("T~a~b~c~"), -1);
        dlg.doDeselect(1);
        QVERIFY(!dlg.choice(1)->isEnabled());
        whenModal([&](QWidget*) {
            dlg.choice(2)->click();
            dlg.findChild<QPushButton*>(QStringLiteral("okSB"))->click();
        });
        dlg.exec();
        QCOMPARE(dlg.GetSelected(), 2);
        whenModal([&](QWidget*) { dlg.findChild<QPushButton*>(QStringLiteral("canSB"))->click(); });
        dlg.exec();
        QCOMPARE(dlg.GetSelected(), -1);
    }

    void selectionDialogInputAndFree() {
        TFuncSelFM dlg;
        dlg.SetMode(QStringLiteral("T~a~"), 0);
        const int h0 = dlg.height();
        dlg.EnableInput(QStringLiteral("Name"));
        QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("inputLabel"))->text(),
                 QStringLiteral("Name"));
        QVERIFY(dlg.height() > h0);
        dlg.findChild<QLineEdit*>(QStringLiteral("inputEdit"))->setText(QStringLiteral("abc"));
        QCOMPARE(dlg.GetInput(), QStringLiteral("abc"));
        dlg.FreeRadioButtons();
        QCOMPARE(dlg.choiceCount(), 0);
    }

    void longSelectionKeepsButtonsClear() {
        TFuncSelFM dlg;
        QString text = QStringLiteral("Many~");
        for (int i = 0; i < 24; ++i) text += QStringLiteral("Choice %1~").arg(i);
        dlg.SetMode(text, 0);
        const auto* ok = dlg.findChild<QPushButton*>(QStringLiteral("okSB"));
        QVERIFY(dlg.choice(23)->geometry().bottom() < ok->y());
    }
};

QTEST_MAIN(LedTest)
#include "led_test.moc"
