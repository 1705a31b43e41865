// The main window's options, code trace, help and sound commands, driven through the
// popup menu with the modal dialogs worked from a timer.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "assembler/formatters.h"
#include "core/code_trace.h"
#include "core/data_dir.h"
#include "core/panel.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "gui_test_support.h"
#include "mira/mira.h"
#include "modules/led.h"
#include "modules/module_windows.h"
#include "qt_sound_player.h"
#include "views/debug_views.h"
#include "views/opts.h"
#include "views/ram.h"
#include "views/trace.h"

using namespace mira;
using mira::gui::TmiraFM;
using mira::gui::ToptsFM;
using mira::gui::TtraceFM;

namespace {

using gui_test::RecordingPlayer;
using gui_test::ScriptedPrompter;
using gui_test::whenModal;

constexpr const char* kModeQuestion = "Changing the operational mode will clear memory\r\rContinue?";

// Runs `work` on the first visible top-level window of type T once a modal exec() shows it.
template <class T>
void whenShown(std::function<void(T&)> work) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, work] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = dynamic_cast<T*>(w); d && d->isVisible()) {
                poll->stop();
                poll->deleteLater();
                work(*d);
                return;
            }
        }
    });
    poll->start();
}

template <class W>
W* child(QWidget& parent, const char* name) {
    W* w = parent.findChild<W*>(QString::fromLatin1(name));
    if (!w) qFatal("no child %s", name);
    return w;
}

QStringList items(QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
}

}  // namespace

class OptionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedPrompter prompter_;
    RecordingPlayer player_;

    std::unique_ptr<TmiraFM> open() { return gui_test::openShown<TmiraFM>(&prompter_, &player_); }
    static QAction* action(TmiraFM& w, const char* name) {
        return w.findChild<QAction*>(QString::fromLatin1(name));
    }
    // "Options" with `work` done in the dialog, which must end it.
    static void options(TmiraFM& w, std::function<void(ToptsFM&)> work) {
        bool ran = false;
        whenShown<ToptsFM>([&](ToptsFM& d) {
            work(d);
            ran = true;
        });
        action(w, "Options1")->trigger();
        QVERIFY(ran);
    }
    static void switchMode(ToptsFM& d) {
        auto* to = child<QRadioButton>(d, "OMnormRB")->isChecked() ? child<QRadioButton>(d, "OMwifRB")
                                                                  : child<QRadioButton>(d, "OMnormRB");
        to->click();
    }
    static void ok(ToptsFM& d) { child<QPushButton>(d, "okSB")->click(); }
    static void cancel(ToptsFM& d) { child<QPushButton>(d, "canSB")->click(); }

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
        prompter_ = ScriptedPrompter{};
        player_.played.clear();
    }

    void dialogShowsTheOptionsAndFollowsTheModeButtons() {
        auto w = open();
        w->machine().fastRunSpeed = 50;  // out of range: the bar shows 200
        options(*w, [](ToptsFM& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("MIRA-8 Options"));
            if (const QString out = qEnvironmentVariable("MIRA8_OPTIONS_PNG"); !out.isEmpty())
                QVERIFY(d.grab().save(out));
            QVERIFY(child<QRadioButton>(d, "OMnormRB")->isChecked());
            QCOMPARE(child<QScrollBar>(d, "speedSB")->value(), 200);
            QCOMPARE(child<QScrollBar>(d, "speedSB")->minimum(), 100);
            QCOMPARE(child<QScrollBar>(d, "speedSB")->maximum(), 900);
            auto* radix = child<QComboBox>(d, "radixCB");
            QCOMPARE(items(radix), (QStringList{"DEC", "HEX", "737", "377"}));
            QCOMPARE(radix->currentText(), QStringLiteral("737"));
            QCOMPARE(child<QRadioButton>(d, "T13RB")->text(), QStringLiteral("T13"));
            QVERIFY(child<QRadioButton>(d, "T13RB")->isChecked());
            QVERIFY(child<QCheckBox>(d, "allowCB")->isEnabled());
            QVERIFY(child<QRadioButton>(d, "PZonRB")->isEnabled());
            QVERIFY(!child<QCheckBox>(d, "ramassCB")->isEnabled());
            QVERIFY(child<QCheckBox>(d, "soundCB")->isChecked());
            QVERIFY(child<QCheckBox>(d, "uploadCB")->text() == QStringLiteral("Upload only assembled code"));
            QVERIFY(!child<QCheckBox>(d, "uploadCB")->isChecked());
            QCOMPARE(child<QCheckBox>(d, "autoBreakCB")->text(), QStringLiteral("Auto slow step  on break"));

            child<QRadioButton>(d, "OMwifRB")->click();
            QCOMPARE(items(radix), (QStringList{"DEC", "HEX"}));
            QCOMPARE(radix->currentText(), QStringLiteral("DEC"));
            QCOMPARE(child<QRadioButton>(d, "T1RB")->text(), QStringLiteral("BO"));
            QCOMPARE(child<QRadioButton>(d, "T13RB")->text(), QStringLiteral("AO"));
            QVERIFY(!child<QCheckBox>(d, "allowCB")->isEnabled());
            QVERIFY(!child<QRadioButton>(d, "PZonRB")->isEnabled());
            QVERIFY(child<QCheckBox>(d, "ramassCB")->isEnabled());
            QVERIFY(child<QCheckBox>(d, "eepassCB")->isEnabled());
            cancel(d);
        });
        QVERIFY(!w->machine().isWif());
        QCOMPARE(w->machine().fastRunSpeed, 50);  // Cancel stores nothing
        QVERIFY(prompter_.messages.empty());
    }

    void acceptWithoutModeChangeAsksNothingButStillApplies() {
        auto w = open();
        int applied = 0;
        w->addOptionsAppliedHook([&] { ++applied; });
        w->runControl().trace.add(4);
        w->modules().ledFM().show();  // an open module window
        QVERIFY(w->modules().ledFM().isVisible());
        bool changed = true;
        options(*w, [&](ToptsFM& d) {
            ok(d);
            changed = d.GetWIchange();
        });
        QVERIFY(!changed);
        QVERIFY(prompter_.messages.empty());
        QCOMPARE(applied, 1);
        QCOMPARE(w->runControl().trace.size(), 0);  // the code trace is emptied
        QVERIFY(!w->modules().ledFM().isVisible());  // every module window closes
    }

    void modeChangeAnsweredNoKeepsModeAndMemory() {
        auto w = open();
        core::Machine& m = w->machine();
        m.memory[3] = 9;
        m.pc = 7;
        prompter_.answer = false;
        options(*w, [](ToptsFM& d) {
            switchMode(d);
            child<QCheckBox>(d, "soundCB")->setChecked(false);
            ok(d);
        });
        QCOMPARE(prompter_.messages, std::vector<std::string>{kModeQuestion});
        QVERIFY(!m.isWif());
        QCOMPARE(m.memorySize, 256);
        QCOMPARE(m.memory[3], 9);
        QCOMPARE(m.pc, 7);
        // The other options of the dialog still apply.
        QVERIFY(!w->sounds().enabled);
        QVERIFY(!action(*w, "ViewRAM1")->isEnabled());
        QVERIFY(action(*w, "PaperTapeReader1")->isEnabled());
        QVERIFY(!w->auxLamps().HRled);
    }

    void modeChangeAnsweredYesClearsMemoryAndSwitchesMenus() {
        auto w = open();
        core::Machine& m = w->machine();
        m.memory[3] = 9;
        m.memory[900] = 7;
        m.options.clearMemoryBeforeAssemble = true;
        m.stackDepth = 2;
        options(*w, [](ToptsFM& d) {
            switchMode(d);
            ok(d);
        });
        QVERIFY(prompter_.asked(kModeQuestion));
        QVERIFY(m.isWif());
        QCOMPARE(m.memorySize, 1024);
        QCOMPARE(m.memory[3], 0);
        QCOMPARE(m.memory[900], 0);
        QVERIFY(!m.options.clearMemoryBeforeAssemble);  // the machine reset
        QCOMPARE(m.stackDepth, 0);
        QCOMPARE(m.instructionTableState, 2);
        QVERIFY(action(*w, "ViewRAM1")->isEnabled());
        QVERIFY(action(*w, "ViewEEPROM1")->isEnabled());
        QVERIFY(action(*w, "ViewStack1")->isEnabled());
        QVERIFY(action(*w, "BasicSerialPort1")->isEnabled());
        QVERIFY(w->findChild<QMenu*>(QStringLiteral("RAM1"))->menuAction()->isEnabled());
        QVERIFY(!action(*w, "PaperTapeReader1")->isEnabled());
        QVERIFY(!action(*w, "PaperTapePunch1")->isEnabled());
        QVERIFY(!action(*w, "MagneticTapeStorage1")->isEnabled());
        QCOMPARE(action(*w, "Mem2551")->text(), QStringLiteral("$FFFF"));
        QCOMPARE(action(*w, "Ram2551")->text(), QStringLiteral("D255"));
        QVERIFY(w->auxLamps().HRled);
        QVERIFY(w->auxLamps().wifLabels);
        QVERIFY(!prompter_.asked("ERROR: Failed to load file"));
        action(*w, "ViewRAM1")->trigger();
        QVERIFY(w->views().ramFM->isVisible());

        // And back: the WIF-only views close.
        prompter_.messages.clear();
        options(*w, [](ToptsFM& d) {
            switchMode(d);
            ok(d);
        });
        QCOMPARE(prompter_.messages, std::vector<std::string>{kModeQuestion});
        QVERIFY(!m.isWif());
        QCOMPARE(m.memorySize, 256);
        QCOMPARE(m.instructionTableState, 1);
        QVERIFY(!action(*w, "ViewRAM1")->isEnabled());
        QVERIFY(action(*w, "MagneticTapeStorage1")->isEnabled());
        QCOMPARE(action(*w, "Mem2551")->text(), QStringLiteral("E737"));
        QVERIFY(!w->auxLamps().HRled);
        QVERIFY(!w->views().ramFM->isVisible());
    }

    void radixPickedInTheListSurvivesCancel() {
        auto w = open();
        options(*w, [](ToptsFM& d) {
            child<QComboBox>(d, "radixCB")->setCurrentIndex(1);
            cancel(d);
        });
        QCOMPARE(w->machine().options.radix[0], 1);
    }

    void optionsRoundTrip() {
        {
            auto w = open();
            options(*w, [](ToptsFM& d) {
                child<QComboBox>(d, "radixCB")->setCurrentIndex(3);
                auto* speed = child<QScrollBar>(d, "speedSB");
                speed->setValue(640);
                child<QPushButton>(d, "SpeedButton2")->click();  // default 640
                speed->setValue(300);
                child<QRadioButton>(d, "T1RB")->click();
                child<QCheckBox>(d, "soundCB")->setChecked(false);
                child<QCheckBox>(d, "assemCB")->setChecked(true);
                child<QRadioButton>(d, "PZonRB")->click();
                child<QCheckBox>(d, "allowCB")->setChecked(true);
                child<QCheckBox>(d, "uploadCB")->setChecked(true);
                child<QCheckBox>(d, "autoBreakCB")->setChecked(true);
                ok(d);
            });
            const core::Machine& m = w->machine();
            QCOMPARE(m.options.radix[0], 3);
            QCOMPARE(m.fastRunSpeed, 300);
            QCOMPARE(m.options.outputResetMode, 0);
            QVERIFY(!w->sounds().enabled);
            QVERIFY(m.options.clearMemoryBeforeAssemble);
            QVERIFY(m.options.zeroPageMode);
            QVERIFY(m.options.slowDepositExamine);
            QVERIFY(m.options.autoSlowStepOnBreak);
            QVERIFY(w->auxLamps().T1T13);
            QVERIFY(w->auxLamps().PZon);
            QVERIFY(w->auxLamps().SlowED);
            QCOMPARE(action(*w, "Mem2551")->text(), QStringLiteral("0377"));
            // Sound off: a switch click is silent.
            QTest::mouseClick(w->image(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(core::kSwitchX0[0] + 13, 197));
            QVERIFY(player_.played.empty());
            QVERIFY(w->close());
        }
        const core::ContainerRead file = core::readContainerFile(core::dataFile(core::kSettingsFileName));
        QVERIFY(file.ok);
        auto line = [&](int key) { return QString::fromStdString(file.lines.at(size_t(key - 1))); };
        QCOMPARE(line(6), QStringLiteral("006300"));
        QCOMPARE(line(12), QStringLiteral("012640"));
        QCOMPARE(line(34), QStringLiteral("0340"));
        QCOMPARE(line(37), QStringLiteral("0373"));

        auto w = open();
        const core::Machine& m = w->machine();
        QCOMPARE(m.options.radix[0], 3);
        QCOMPARE(m.fastRunSpeed, 300);
        QCOMPARE(m.options.outputResetMode, 0);
        QVERIFY(!w->sounds().enabled);
        QVERIFY(m.options.clearMemoryBeforeAssemble);
        QVERIFY(m.options.zeroPageMode);
        QVERIFY(m.options.slowDepositExamine);
        QVERIFY(m.options.autoSlowStepOnBreak);
        options(*w, [](ToptsFM& d) {
            auto* speed = child<QScrollBar>(d, "speedSB");
            QCOMPARE(speed->value(), 300);
            child<QPushButton>(d, "SpeedButton1")->click();
            QCOMPARE(speed->value(), 640);  // the saved default
            QCOMPARE(child<QComboBox>(d, "radixCB")->currentText(), QStringLiteral("377"));
            QVERIFY(child<QRadioButton>(d, "T1RB")->isChecked());
            QVERIFY(!child<QCheckBox>(d, "soundCB")->isChecked());
            QVERIFY(child<QCheckBox>(d, "assemCB")->isChecked());
            QVERIFY(child<QRadioButton>(d, "PZonRB")->isChecked());
            QVERIFY(child<QCheckBox>(d, "allowCB")->isChecked());
            QVERIFY(child<QCheckBox>(d, "uploadCB")->isChecked());
            QVERIFY(child<QCheckBox>(d, "autoBreakCB")->isChecked());
            cancel(d);
        });
    }

    void traceViewShowsClearsAndSaves() {
        auto w = open();
        core::RunControl& rc = w->runControl();
        rc.trace.add(5);
        rc.trace.add(64);
        const std::string first = assembler::FormatRadix(5, w->machine().options.radix[0], false);
        QCOMPARE(w->traceLine(5), first + "\t");
        const QString savePath = dir_->filePath(QStringLiteral("trace.txt"));
        whenShown<TtraceFM>([&](TtraceFM& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Code Trace"));
            if (const QString out = qEnvironmentVariable("MIRA8_TRACE_PNG"); !out.isEmpty())
                QVERIFY(d.grab().save(out));
            QCOMPARE(d.size(), QSize(696, 340));
            const QStringList lines = d.memo()->toPlainText().split(QLatin1Char('\n'));
            QCOMPARE(lines.size(), qsizetype(2));
            QCOMPARE(lines[0], QString::fromStdString(first) + QLatin1Char('\t'));
            QCOMPARE(qsizetype(d.memo()->textCursor().position()), d.memo()->toPlainText().size());
            d.chooseSaveFile = [&] { return savePath; };
            d.findChild<QAction*>(QStringLiteral("Save1"))->trigger();
            prompter_.answer = false;
            d.findChild<QAction*>(QStringLiteral("Clear1"))->trigger();
            QCOMPARE(rc.trace.size(), 2);
            prompter_.answer = true;
            d.findChild<QAction*>(QStringLiteral("Clear1"))->trigger();
            QCOMPARE(rc.trace.size(), 0);
            QVERIFY(d.memo()->toPlainText().isEmpty());
            d.findChild<QAction*>(QStringLiteral("Exit1"))->trigger();
        });
        action(*w, "TraceView1")->trigger();
        QCOMPARE(prompter_.messages.back(), std::string(TtraceFM::kClearQuestion));
        QFile saved(savePath);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll().split('\n').size(), qsizetype(3));  // two lines and the last newline
    }

    void wifTraceLinesShowFourHexDigits() {
        auto w = open();
        w->machine().options.mode = core::OperatingMode::Wif;
        QCOMPARE(w->traceLine(0x12A), std::string("012A\t"));
    }

    void traceFileIsKeptWhileTracingIsOn() {
        const QString file = dir_->filePath(QString::fromLatin1(TmiraFM::kTraceFileName));
        std::vector<std::string> lines;
        {
            auto w = open();
            action(*w, "TraceOn1")->trigger();
            QVERIFY(w->runControl().traceOn);
            w->runControl().trace.add(1);
            w->runControl().trace.add(2);
            lines = w->traceLines();
            QVERIFY(w->close());
        }
        QVERIFY(QFile::exists(file));
        const core::ContainerRead read = core::readContainerFile(file.toStdString());
        QVERIFY(read.ok);
        QCOMPARE(read.lines, lines);
        {
            auto w = open();
            QVERIFY(w->runControl().traceOn);
            QCOMPARE(w->traceLines(), lines);
            action(*w, "TraceOn1")->trigger();  // off
            QVERIFY(QFile::remove(file));
            QVERIFY(w->close());
        }
        QVERIFY(!QFile::exists(file));
    }

    void helpOpensTheDocumentOrSaysWhy() {
        auto w = open();
        std::vector<QString> opened;
        bool succeed = false;
        w->openDocument = [&](const QString& path) {
            opened.push_back(path);
            return succeed;
        };
        // MIRA8_DATA_DIR names this test's empty folder; the build's manual beside the
        // program is opened all the same.
        const QString beside =
            QString::fromStdString((core::executableDirectory() / "mira8help.pdf").string());
        QVERIFY2(QFile::exists(beside), qPrintable(beside));
        action(*w, "Help1")->trigger();
        QCOMPARE(opened.size(), size_t(1));
        QCOMPARE(opened[0], beside);
        QCOMPARE(prompter_.messages.back(), "ERROR: Failed to load file " + beside.toStdString());

        // The user's own copy in the data folder comes first.
        const QString pdf = dir_->filePath(QStringLiteral("mira8help.pdf"));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("%PDF-1.4\n");
        f.close();
        const size_t count = prompter_.messages.size();
        succeed = true;
        action(*w, "Help1")->trigger();
        QCOMPARE(prompter_.messages.size(), count);
        QCOMPARE(opened.size(), size_t(2));
        QCOMPARE(opened[1], pdf);
    }

    void realPlayerNeverBlocks() {
        gui::QtSoundPlayer player;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < core::kSoundCount; ++i) player.play(core::soundAt(i));
        player.playLooping(core::SoundId::Lnfd);
        player.stop(core::SoundId::Lnfd);
        QVERIFY(t.elapsed() < 1000);
        if (!player.available()) QCOMPARE(player.voiceCount(), 0);  // no sound card: silence
        QVERIFY(player.voiceCount() <= gui::QtSoundPlayer::kMaxVoices);
    }
};

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
