// The Keypad, KeyPad 2 (with its captions dialog and key files) and the ASCII keyboard as
// the user meets them: opened from the Modules menu on a chosen input slot, driven by
// mouse and keys, their lamps and keys seen in the picture, closed, and reopened from the
// settings file where they were.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "core/data_dir.h"
#include "core/field_list.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "devices/keypad2.h"
#include "gui_test_support.h"
#include "mira/mira.h"
#include "modules/ascii.h"
#include "modules/butt.h"
#include "modules/funcselect.h"
#include "modules/key.h"
#include "modules/key2.h"
#include "modules/module_windows.h"

using namespace mira;
using gui::TasciiFM;
using gui::TFuncSelFM;
using gui::TkeyFM;
using gui::TkeypadFM;
using gui::TmiraFM;

namespace {

using gui_test::RecordingPlayer;
using gui_test::ScriptedPrompter;
using gui_test::whenModal;

struct DialogSeen {
    QString title;
    QStringList choices;
    bool shown = false;
};
void answerSelection(int n, DialogSeen* seen) {
    whenModal([n, seen](QWidget* w) {
        seen->shown = true;
        seen->title = w->findChild<QLabel*>(QStringLiteral("titleLabel"))->text();
        auto* fs = static_cast<TFuncSelFM*>(w);
        for (int i = 0; i < fs->choiceCount(); ++i) seen->choices << fs->choice(i)->text();
        fs->choice(n)->click();
        w->findChild<QPushButton*>(QStringLiteral("okSB"))->click();
    });
}

// A lit amber or green lamp is bright; a dark one is nearly black.
bool lit(QRgb c) {
    return qRed(c) + qGreen(c) > 300;
}
using gui_test::pixelAt;

struct FakeFileDialogs final : devices::KeyFileDialogs {
    std::optional<std::filesystem::path> openPath() override { return open; }
    std::optional<std::filesystem::path> savePath() override { return save; }
    std::optional<std::filesystem::path> open, save;
};

// Runs `words` from 0 until they halt, as a fast run would.
void runProgram(TmiraFM& w, std::initializer_list<int> words) {
    core::Machine& m = w.machine();
    int a = 0;
    for (int word : words) m.memory[a++] = word;
    m.pc = 0;
    m.switches[core::kSwitchSingleCont] = 1;
    m.switches[core::kSwitchSlowFast] = 1;
    w.runControl().startRun();
    w.runControl().request = core::kRequestNone;
    w.runControl().beginFastRun();
    w.runControl().runHeadless(UINT64_MAX, 1000);
}
constexpr int kIn0Read = 0xC0 | 2 | 4;  // transfer and ready pulse
constexpr int kHlt = 0xF1;

std::string settingsLine(const char* key) {
    const core::ContainerRead read =
        core::readContainerFile(core::dataFile(core::kSettingsFileName));
    for (const auto& l : read.lines)
        if (l.rfind(key, 0) == 0) return l.substr(3);
    return "<none>";
}

}  // namespace

class InputTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;

    std::unique_ptr<TmiraFM> open() { return gui_test::openShown<TmiraFM>(&prompter_); }
    static QAction* action(TmiraFM& w, const char* name) {
        return w.findChild<QAction*>(QString::fromLatin1(name));
    }
    template <class W>
    static W& window(TmiraFM& w) {
        return *w.modules().find<W>();
    }
    template <class W>
    W& openModule(TmiraFM& w, const char* menu, int choice, DialogSeen* seen = nullptr) {
        DialogSeen local;
        answerSelection(choice, seen ? seen : &local);
        action(w, menu)->trigger();
        return window<W>(w);
    }
    static void click(QWidget* image, QRect r) {
        QTest::mouseClick(image, Qt::LeftButton, {}, r.center());
    }

  private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = ScriptedPrompter{};
        prompter_.threeWay = core::Answer::No;
    }

    // --- Keypad ---

    void keypadOpensOnChosenInputSlot() {
        auto w = open();
        DialogSeen seen;
        TkeyFM& pad = openModule<TkeyFM>(*w, "Keypad1", 1, &seen);
        QCOMPARE(seen.title, QStringLiteral("Keyboard IO Select"));
        QCOMPARE(seen.choices, QStringList({"Input Device 0", "Input Device 1"}));
        QVERIFY(pad.isVisible());
        QCOMPARE(pad.size(), QSize(290, 303));
        QVERIFY(pad.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(pad.GetDevice(), 1);
        QCOMPARE(w->machine().bus.slots[1].type, int(core::kModuleKeypad));
        QCOMPARE(w->machine().bus.slots[1].flag, uint8_t(1));
        QCOMPARE(pad.label()->text(), QStringLiteral("Input Device 1"));
        // Chosen again while open: no dialog, the window stays as it is.
        DialogSeen again;
        action(*w, "Keypad1")->trigger();
        QTest::qWait(50);
        QVERIFY(!again.shown);
        QCOMPARE(pad.GetDevice(), 1);
    }

    void keypadKeysLightLampsAndShiftOutWhenRead() {
        auto w = open();
        TkeyFM& pad = openModule<TkeyFM>(*w, "Keypad1", 0);
        QWidget* img = pad.image();
        for (int lamp = 0; lamp < 6; ++lamp)
            QVERIFY2(!lit(pixelAt(img, TkeyFM::lampRect(lamp).center())), "all lamps dark");
        click(img, TkeyFM::keyRect(TkeyFM::kCtlKey));
        click(img, TkeyFM::keyRect(11));  // "LF"
        QCOMPARE(pad.keypad().keyData(), 27);
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(0));
        // L D C B A F: CTL down, 27 = 1 1011, a key waiting.
        const bool expected[6] = {true, true, false, true, true, true};
        for (int lamp = 0; lamp < 6; ++lamp)
            QCOMPARE(lit(pixelAt(img, TkeyFM::lampRect(lamp).center())), expected[lamp]);
        runProgram(*w, {kIn0Read, kHlt});
        QCOMPARE(w->machine().ac, 27);
        QCOMPARE(pad.keypad().keyData(), 0);
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(1));
        const bool after[6] = {true, false, false, false, false, false};
        for (int lamp = 0; lamp < 6; ++lamp)
            QCOMPARE(lit(pixelAt(img, TkeyFM::lampRect(lamp).center())), after[lamp]);
        // CTL released: a plain "7" is key 0.
        click(img, TkeyFM::keyRect(TkeyFM::kCtlKey));
        click(img, TkeyFM::keyRect(0));
        QCOMPARE(pad.keypad().keyData(), 0);
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(0));
        QVERIFY(!lit(pixelAt(img, TkeyFM::lampRect(0).center())));
    }

    void keypadResetDisconnectAndDrag() {
        auto w = open();
        TkeyFM& pad = openModule<TkeyFM>(*w, "Keypad1", 0);
        pad.move(100, 100);
        // Dragging the housing (not a key) moves the window.
        QTest::mousePress(pad.image(), Qt::LeftButton, {}, QPoint(8, 150));
        QTest::mouseMove(pad.image(), QPoint(28, 170));
        QTest::mouseRelease(pad.image(), Qt::LeftButton, {}, QPoint(28, 170));
        QCOMPARE(pad.pos(), QPoint(120, 120));
        click(pad.image(), TkeyFM::keyRect(5));
        pad.popupMenu()->findChild<QAction*>(QStringLiteral("Reset1"))->trigger();
        QCOMPARE(pad.keypad().keyData(), 0);
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(1));
        pad.popupMenu()->findChild<QAction*>(QStringLiteral("Close1"))->trigger();
        QVERIFY(!pad.isVisible());
        QCOMPARE(w->machine().bus.slots[0].type, int(core::kModuleNone));
        QCOMPARE(pad.label()->text(), QStringLiteral("No Device Set"));
    }

    void keypadReopensFromSettingsInPlace() {
        // Below the panel: a stored place that covers no other window comes back as it was.
        {
            auto w = open();
            TkeyFM& pad = openModule<TkeyFM>(*w, "Keypad1", 1);
            pad.move(30, 300);
            w->close();
        }
        QCOMPARE(settingsLine("015"), std::string("30~300~"));
        const auto open20 = core::OpenWindows::parse(settingsLine("020"));
        QVERIFY(open20.visible(core::kOpenKeypad));
        QCOMPARE(open20.number(core::kOpenKeypadSlot, -9), 1);
        auto w = open();
        TkeyFM& pad = window<TkeyFM>(*w);
        QVERIFY(pad.isVisible());
        QCOMPARE(pad.pos(), QPoint(30, 300));
        QCOMPARE(pad.GetDevice(), 1);
        // Reopened with no key waiting.
        QCOMPARE(w->machine().bus.slots[1].flag, uint8_t(1));
        QCOMPARE(pad.label()->text(), QStringLiteral("Input Device 1"));
    }

    void deviceResetReachesTheKeyboards() {
        auto w = open();
        TkeyFM& pad = openModule<TkeyFM>(*w, "Keypad1", 0);
        TasciiFM& kb = openModule<TasciiFM>(*w, "ASCIIKeyboard1", 0);
        QCOMPARE(kb.GetDevice(), 1);
        click(pad.image(), TkeyFM::keyRect(3));
        kb.keyboard().keyReleased(devices::letterKey('Q'), {});
        w->machine().bus.ResetDevices();
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(1));
        QCOMPARE(w->machine().bus.slots[1].flag, uint8_t(1));
        QCOMPARE(kb.keyboard().keyData(), 0);
    }

    // --- KeyPad 2 ---

    void keypad2KeysDeliverTableValuesAndHideBlanks() {
        auto w = open();
        DialogSeen seen;
        TkeypadFM& pad = openModule<TkeypadFM>(*w, "KeyPad21", 0, &seen);
        QCOMPARE(seen.title, QStringLiteral("Keyboard IO Select"));
        QCOMPARE(pad.size(), QSize(303, 289));
        QCOMPARE(pad.label()->text(), QStringLiteral("Input Device 0"));
        QCOMPARE(TkeypadFM::keyRect(23), QRect(248, 165, 33, 33));
        QCOMPARE(TkeypadFM::keyRect(19), QRect(24, 213, 33, 33));
        click(pad.image(), TkeypadFM::keyRect(5));  // "7"
        QCOMPARE(pad.keypad().keyData(), 5);
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(1 - 1));
        runProgram(*w, {kIn0Read, kHlt});
        QCOMPARE(w->machine().ac, 5);
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(1));

        const QPoint centre3 = TkeypadFM::keyRect(3).center();
        const QRgb shown = pixelAt(pad.image(), centre3);
        pad.keyTable().captions[3].clear();
        pad.refreshKeys();
        click(pad.image(), TkeypadFM::keyRect(3));
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(1));  // blank: nothing
        pad.keyTable().hideBlank = true;
        pad.refreshKeys();
        const QRgb hidden = pixelAt(pad.image(), centre3);
        QVERIFY(shown != hidden);
        QVERIFY(qGray(hidden) < 90);  // the housing shows through
        // A hidden key cannot be pressed; the click drags nothing either.
        click(pad.image(), TkeypadFM::keyRect(3));
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(1));

        w->machine().options.radix[0] = 0;
        QCOMPARE(pad.keyHint(5), QStringLiteral("D5"));
        w->machine().options.radix[0] = 1;
        QCOMPARE(pad.keyHint(5), QStringLiteral("$05"));
    }

    void captionsDialogEditsTheTable() {
        auto w = open();
        TkeypadFM& pad = openModule<TkeypadFM>(*w, "KeyPad21", 0);
        QString caption;
        whenModal([&](QWidget* d) {
            caption = d->windowTitle();
            auto* dlg = static_cast<gui::TbuttFM*>(d);
            dlg->key(5)->click();
            d->findChild<QPushButton*>(QStringLiteral("modSB"))->click();
            auto* edit = d->findChild<QLineEdit*>(QStringLiteral("Edit1"));
            edit->setText(QStringLiteral("a~b"));
            d->findChild<QPushButton*>(QStringLiteral("chgokSB"))->click();  // refused
            edit->setText(QStringLiteral("SEV"));
            d->findChild<QPushButton*>(QStringLiteral("chgokSB"))->click();
            d->findChild<QRadioButton*>(QStringLiteral("valRB"))->click();
            QCOMPARE(dlg->key(5)->text(), QStringLiteral("5"));
            d->findChild<QPushButton*>(QStringLiteral("modSB"))->click();
            edit->setText(QStringLiteral("256"));
            d->findChild<QPushButton*>(QStringLiteral("chgokSB"))->click();  // refused
            edit->setText(QStringLiteral("77"));
            d->findChild<QPushButton*>(QStringLiteral("chgokSB"))->click();
            d->findChild<QPushButton*>(QStringLiteral("okSB"))->click();
        });
        pad.Set1Click();
        QCOMPARE(caption, QStringLiteral("Keypad 2 Button Captions"));
        QVERIFY(prompter_.asked("Illegal character found [ ~ ]"));
        QVERIFY(prompter_.asked("ERROR: Invalid value"));
        QCOMPARE(pad.keyTable().captions[5], std::string("SEV"));
        QCOMPARE(pad.keyTable().values[5], 77);
        QVERIFY(pad.keypad().changed());
        click(pad.image(), TkeypadFM::keyRect(5));
        QCOMPARE(pad.keypad().keyData(), 77);
    }

    void keyFilesSaveLoadAndRefuse() {
        auto w = open();
        TkeypadFM& pad = openModule<TkeypadFM>(*w, "KeyPad21", 0);
        FakeFileDialogs files;
        pad.setFileDialogs(&files);
        pad.keyTable().values[0] = 200;
        files.save = std::filesystem::path(dir_->filePath("mine.kpf").toStdString());
        pad.Save1Click();
        QCOMPARE(pad.fileLabel()->text(), QStringLiteral("mine"));
        pad.keyTable() = devices::KeyTable::defaults();
        files.open = std::filesystem::path(dir_->filePath("none.kpf").toStdString());
        pad.Load1Click();
        QVERIFY(prompter_.asked("Error: Failed to open file"));
        QCOMPARE(pad.keyTable().values[0], 0);
        QCOMPARE(pad.fileLabel()->text(), QStringLiteral("mine"));
        files.open = files.save;
        pad.Load1Click();
        QCOMPARE(pad.keyTable().values[0], 200);
        pad.setFileDialogs(nullptr);
    }

    void changedKeysAskBeforeDisconnectAndModeChange() {
        auto w = open();
        TkeypadFM& pad = openModule<TkeypadFM>(*w, "KeyPad21", 0);
        pad.keypad().tableEdited(false, false);
        const std::string question = "Keypad data has changed\r\rSave changes?";
        prompter_.threeWay = core::Answer::Cancel;
        pad.popupMenu()->findChild<QAction*>(QStringLiteral("Close1"))->trigger();
        QVERIFY(prompter_.asked(question));
        QVERIFY(pad.isVisible());  // Cancel keeps the pad plugged in
        QCOMPARE(w->machine().bus.slots[0].type, int(core::kModuleKeypad2));
        // A change of mode closes every module: asked once, closed whatever the answer.
        prompter_.messages.clear();
        w->modules().closeAll();
        QCOMPARE(prompter_.messages, std::vector<std::string>{question});
        QVERIFY(!pad.isVisible());
        QCOMPARE(w->machine().bus.slots[0].type, int(core::kModuleNone));
    }

    void keyTableAndKeypad2ReopenFromSettings() {
        {
            auto w = open();
            TkeypadFM& pad = openModule<TkeypadFM>(*w, "KeyPad21", 1);
            pad.keyTable().captions[0] = "ON";
            pad.keyTable().values[23] = 99;
            pad.keyTable().hideBlank = true;
            pad.PutFileName("calc");
            pad.move(50, 320);
            w->close();
        }
        QCOMPARE(settingsLine("043"), std::string("50~320~"));
        const std::string line9 = settingsLine("009");
        QCOMPARE(core::fieldAt(line9, 0), std::string("ON"));
        QCOMPARE(core::fieldAt(line9, 24 + 23), std::string("99"));
        QCOMPARE(core::fieldAt(line9, 48), std::string("-1"));
        QCOMPARE(core::fieldAt(line9, 49), std::string("calc"));
        auto w = open();
        TkeypadFM& pad = window<TkeypadFM>(*w);
        QVERIFY(pad.isVisible());
        QCOMPARE(pad.pos(), QPoint(50, 320));
        QCOMPARE(pad.GetDevice(), 1);
        QCOMPARE(pad.keyTable().captions[0], std::string("ON"));
        QCOMPARE(pad.keyTable().values[23], 99);
        QVERIFY(pad.keyTable().hideBlank);
        QCOMPARE(pad.fileLabel()->text(), QStringLiteral("calc"));
        QCOMPARE(w->machine().bus.slots[1].flag, uint8_t(1));
    }

    // --- ASCII keyboard ---

    void asciiKeysByPositionOnRelease() {
        auto w = open();
        RecordingPlayer player;
        w->sounds().setPlayer(&player);
        DialogSeen seen;
        TasciiFM& kb = openModule<TasciiFM>(*w, "ASCIIKeyboard1", 0, &seen);
        QCOMPARE(seen.title, QStringLiteral("ASCII Keyboard IO Select"));
        QCOMPARE(kb.size(), QSize(300, 103));
        QCOMPARE(kb.label()->geometry().topLeft(), QPoint(81, 80));
        QCOMPARE(kb.label()->text(), QStringLiteral("Input Device 0"));
        // A press alone gives nothing; the release delivers.
        QTest::keyPress(&kb, Qt::Key_A);
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(1));
        QTest::keyRelease(&kb, Qt::Key_A);
        QCOMPARE(kb.keyboard().keyData(), 97);
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(0));
        QTest::keyRelease(&kb, Qt::Key_At, Qt::ShiftModifier);  // Shift+2
        QCOMPARE(kb.keyboard().keyData(), 64);
        // An auto-repeated release is not a new key.
        QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&kb, &repeat);
        QCOMPARE(kb.keyboard().keyData(), 64);
        // The scan code wins over the layout: the key left of S is "a" on any keyboard.
        QKeyEvent azerty(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, 38, 0, 0);
        QApplication::sendEvent(&kb, &azerty);
        QCOMPARE(kb.keyboard().keyData(), 97);
        QKeyEvent german(QEvent::KeyRelease, Qt::Key_Z, Qt::ShiftModifier, 29, 0, 0);
        QApplication::sendEvent(&kb, &german);
        QCOMPARE(kb.keyboard().keyData(), 89);  // the US "Y" place
        // Tab stays in the window and is a key: 9, with Shift 11.
        QTest::keyClick(&kb, Qt::Key_Tab);
        QCOMPARE(kb.keyboard().keyData(), 9);
        QTest::keyClick(&kb, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(kb.keyboard().keyData(), 11);
        QTest::keyRelease(&kb, Qt::Key_7, Qt::ControlModifier);
        QCOMPARE(kb.keyboard().keyData(), 7);
        QCOMPARE(player.played, std::vector<core::SoundId>{core::SoundId::Bell});
        // A modifier set without a table and a modifier alone change nothing.
        runProgram(*w, {kIn0Read, kHlt});
        QCOMPARE(w->machine().ac, 7);
        QTest::keyRelease(&kb, Qt::Key_1, Qt::ShiftModifier | Qt::ControlModifier);
        QTest::keyRelease(&kb, Qt::Key_Shift);
        QCOMPARE(w->machine().bus.slots[0].flag, uint8_t(1));
        QCOMPARE(kb.keyboard().keyData(), 7);
        w->sounds().setPlayer(nullptr);
    }

    void asciiLampShowsTheFocus() {
        auto w = open();
        TasciiFM& kb = openModule<TasciiFM>(*w, "ASCIIKeyboard1", 1);
        const QPoint lamp(TasciiFM::kLampXActive + 8, TasciiFM::kLampY + 8);
        w->activateWindow();
        QTRY_VERIFY(!kb.isActiveWindow());
        QTRY_VERIFY(!lit(pixelAt(kb.image(), lamp)));
        QCOMPARE(kb.lampRect().x(), TasciiFM::kLampXInactive);
        kb.activateWindow();
        QTRY_VERIFY(kb.isActiveWindow());
        QTRY_VERIFY(lit(pixelAt(kb.image(), lamp)));
        QCOMPARE(kb.lampRect().x(), TasciiFM::kLampXActive);
    }

    void asciiReopensFromSettings() {
        {
            auto w = open();
            TasciiFM& kb = openModule<TasciiFM>(*w, "ASCIIKeyboard1", 1);
            kb.move(70, 300);
            w->close();
        }
        QCOMPARE(settingsLine("026"), std::string("70~300~"));
        auto w = open();
        TasciiFM& kb = window<TasciiFM>(*w);
        QVERIFY(kb.isVisible());
        QCOMPARE(kb.pos(), QPoint(70, 300));
        QCOMPARE(kb.GetDevice(), 1);
        QCOMPARE(w->machine().bus.slots[1].type, int(core::kModuleAscii));
        kb.popupMenu()->findChild<QAction*>(QStringLiteral("Close1"))->trigger();
        QCOMPARE(w->machine().bus.slots[1].type, int(core::kModuleNone));
    }
};

QTEST_MAIN(InputTest)
#include "input_test.moc"
