// The main window's popup menu and its commands.
#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QUrl>

#include "assembler/edit.h"
#include "assembler/formatters.h"
#include "core/data_dir.h"
#include "devices/module_catalogue.h"
#include "link/prog.h"
#include "mira/mira.h"

namespace mira::gui {

namespace {

QAction* item(QMenu* menu, const char* name, const QString& caption,
              QKeySequence shortcut = {}) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    return a;
}

QMenu* submenu(QMenu* menu, const char* name, const QString& caption) {
    QMenu* sub = menu->addMenu(caption);
    sub->setObjectName(QString::fromLatin1(name));
    sub->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Item"));
    return sub;
}

constexpr const char* kHelpFile = "mira8help.pdf";

}  // namespace

void TmiraFM::buildMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QMenu* m = PopupMenu1;

    // Windows that later parts of the program provide: present, doing nothing yet.
    item(m, "ViewMemory1", QStringLiteral("View Memory"), QKeySequence(Qt::Key_F12));
    item(m, "ViewRAM1", QStringLiteral("View RAM"), QKeySequence(Qt::Key_F11));
    item(m, "ViewEEPROM1", QStringLiteral("View EEPROM"), QKeySequence(Qt::Key_F10));
    item(m, "ViewStack1", QStringLiteral("View Stack"));
    connect(item(m, "TimingDiagram1", QStringLiteral("Timing Diagram"), QKeySequence(Qt::Key_F8)),
            &QAction::triggered, this, &TmiraFM::TimingDiagramClick);
    connect(item(m, "Assembler1", QStringLiteral("Assembler"), QKeySequence(Qt::Key_F4)),
            &QAction::triggered, this, &TmiraFM::AssemblerClick);
    QMenu* modules = submenu(m, "Modules1", QStringLiteral("Modules"));
    for (const devices::ModuleKind& k : devices::moduleKinds())
        item(modules, k.menuName, QString::fromLatin1(k.caption));
    m->addSeparator();
    connect(item(m, "USB1", QStringLiteral("MIRA-8 via USB"), QKeySequence(Qt::Key_F5)),
            &QAction::triggered, this, &TmiraFM::USBClick);
    m->addSeparator();
    connect(item(m, "Options1", QStringLiteral("Options")), &QAction::triggered, this,
            &TmiraFM::OptionsClick);
    QAction* speed = item(m, "SpeedAnimate1", QStringLiteral("Speed / Animate"));
    speed->setCheckable(true);
    connect(speed, &QAction::triggered, this, [this](bool on) { setSpeedPanelShown(on); });
    QMenu* trace = submenu(m, "CodeTrace1", QStringLiteral("Code Trace"));
    QAction* traceOn = item(trace, "TraceOn1", QStringLiteral("On"));
    traceOn->setCheckable(true);
    connect(traceOn, &QAction::triggered, this, &TmiraFM::CodeTraceOnClick);
    connect(item(trace, "TraceView1", QStringLiteral("View")), &QAction::triggered, this,
            &TmiraFM::CodeTraceViewClick);
    connect(item(trace, "TraceClear1", QStringLiteral("Clear")), &QAction::triggered, this,
            &TmiraFM::CodeTraceClearClick);
    m->addSeparator();
    // Stepping back: Shift with the keys that step forward through what was recorded.
    const struct {
        const char* name;
        const char* caption;
        QKeySequence key;
        void (TmiraFM::*command)();
    } historyItems[] = {
        {"StepBackClockState1", "Step Back Clock State", QKeySequence(Qt::SHIFT | Qt::Key_F6),
         &TmiraFM::StepBackClockState},
        {"StepBackInstruction1", "Step Back Instruction", QKeySequence(Qt::SHIFT | Qt::Key_F7),
         &TmiraFM::StepBackInstruction},
        {"BackToBreakpoint1", "Back to Previous Breakpoint",
         QKeySequence(Qt::SHIFT | Qt::Key_F9), &TmiraFM::BackToBreakpoint},
        {"StepForwardClockState1", "Step Forward Clock State", QKeySequence(Qt::Key_F6),
         &TmiraFM::StepForwardClockState},
        {"StepForwardInstruction1", "Step Forward Instruction", QKeySequence(Qt::Key_F7),
         &TmiraFM::StepForwardInstruction},
    };
    for (const auto& h : historyItems)
        connect(item(m, h.name, QString::fromLatin1(h.caption), h.key), &QAction::triggered,
                this, h.command);
    connect(m, &QMenu::aboutToShow, this, [this] {
        const bool back = history_.on() && !rc_.inFastLoop() && history_.now() > history_.oldest();
        const bool forward = history_.inPast() && !rc_.inFastLoop();
        for (const char* name : {"StepBackClockState1", "StepBackInstruction1", "BackToBreakpoint1"})
            findChild<QAction*>(QString::fromLatin1(name))->setEnabled(back);
        for (const char* name : {"StepForwardClockState1", "StepForwardInstruction1"})
            findChild<QAction*>(QString::fromLatin1(name))->setEnabled(forward);
    });
    m->addSeparator();
    QMenu* sr = submenu(m, "SetSRSwitches1", QStringLiteral("Set SR Switches"));
    connect(item(sr, "All11", QStringLiteral("All 1")), &QAction::triggered, this,
            [this] { panel_.setSRSwitches(true); });
    connect(item(sr, "All01", QStringLiteral("All 0")), &QAction::triggered, this,
            [this] { panel_.setSRSwitches(false); });
    QMenu* init = submenu(m, "Initialize1", QStringLiteral("Initialize"));
    QMenu* mem = submenu(init, "Memory1", QStringLiteral("Memory"));
    QMenu* ram = submenu(init, "RAM1", QStringLiteral("RAM"));
    const char* memNames[] = {"MemZero1", "Mem2551", "MemRandom1"};
    const char* ramNames[] = {"RamZero1", "Ram2551", "RamRandom1"};
    for (int kind = 0; kind < 3; ++kind) {
        connect(item(mem, memNames[kind], QStringLiteral("Random")), &QAction::triggered, this,
                [this, kind] { InitMemory(kind); });
        connect(item(ram, ramNames[kind], QStringLiteral("Random")), &QAction::triggered, this,
                [this, kind] { InitRam(kind); });
    }
    connect(item(init, "EEPROM1", QStringLiteral("EEPROM")), &QAction::triggered, this,
            &TmiraFM::InitEeprom);
    m->addSeparator();
    connect(item(m, "SaveMachineState1", QStringLiteral("Save Machine State\u2026")),
            &QAction::triggered, this, &TmiraFM::SaveMachineStateClick);
    connect(item(m, "LoadMachineState1", QStringLiteral("Load Machine State\u2026")),
            &QAction::triggered, this, &TmiraFM::LoadMachineStateClick);
    m->addSeparator();
    connect(item(m, "Help1", QStringLiteral("Help")), &QAction::triggered, this,
            &TmiraFM::HelpClick);
    connect(item(m, "About1", QStringLiteral("About")), &QAction::triggered, this,
            &TmiraFM::AboutClick);
    connect(item(m, "Exit1", QStringLiteral("Exit    (Esc)")), &QAction::triggered, this,
            &QWidget::close);

    // The shortcuts work whenever the panel has the focus, menu open or not.
    for (const char* name : {"ViewMemory1", "ViewRAM1", "ViewEEPROM1", "TimingDiagram1",
                             "Assembler1", "USB1", "StepBackClockState1", "StepBackInstruction1",
                             "BackToBreakpoint1", "StepForwardClockState1",
                             "StepForwardInstruction1"}) {
        QAction* a = findChild<QAction*>(QString::fromLatin1(name));
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
}

void TmiraFM::SetMenuAvailability() {
    const bool wif = m_.isWif();
    for (const char* name : {"ViewRAM1", "ViewEEPROM1", "ViewStack1"})
        findChild<QAction*>(QString::fromLatin1(name))->setEnabled(wif);
    findChild<QMenu*>(QStringLiteral("RAM1"))->menuAction()->setEnabled(wif);
    for (const devices::ModuleKind& k : devices::moduleKinds())
        findChild<QAction*>(QString::fromLatin1(k.menuName))
            ->setEnabled(k.normalModeOnly ? !wif : k.wifModeOnly ? wif : true);
}

void TmiraFM::SetInitCaptions() {
    const bool wif = m_.isWif();
    auto caption = [&](int value) {
        return QString::fromStdString(
            assembler::FormatRadix(value, m_.options.radix[wif ? 1 : 0], true));
    };
    // WIF words are 16 bits wide, which only hexadecimal shows compactly.
    findChild<QAction*>(QStringLiteral("MemZero1"))
        ->setText(wif ? QStringLiteral("$0000") : caption(0));
    findChild<QAction*>(QStringLiteral("Mem2551"))
        ->setText(wif ? QStringLiteral("$FFFF") : caption(255));
    findChild<QAction*>(QStringLiteral("RamZero1"))->setText(caption(0));
    findChild<QAction*>(QStringLiteral("Ram2551"))->setText(caption(255));
}

void TmiraFM::InitMemory(int kind) {
    static const char* names[] = {"MemZero1", "Mem2551", "MemRandom1"};
    const QString caption = findChild<QAction*>(QString::fromLatin1(names[kind]))->text();
    if (!prompter_->askYesNo("Set all program memory to " + caption.toStdString())) return;
    m_.initMemory(kind);
    doLamps(core::kLampGroupsAll);
    // The assembler's last result no longer describes memory.
    assembler_.discard();
    if (editFM_) editFM_->DisplayROMaddresses();
}

void TmiraFM::InitRam(int kind) {
    static const char* names[] = {"RamZero1", "Ram2551", "RamRandom1"};
    const QString caption = findChild<QAction*>(QString::fromLatin1(names[kind]))->text();
    if (!prompter_->askYesNo("Set all RAM to " + caption.toStdString())) return;
    m_.initRam(kind);
    rc_.publish();
}

void TmiraFM::InitEeprom() {
    m_.initEeprom();
    rc_.publish();
}

void TmiraFM::USBClick() {
    if (m_.run) {
        prompter_->info("Cannot open USB interface while the emulator is running");
        return;
    }
    TprogFM progFM(*this);
    progFM.exec();
}

void TmiraFM::CodeTraceOnClick() {
    rc_.traceOn = !rc_.traceOn;
    if (rc_.traceOn) rc_.trace.clear();
    findChild<QAction*>(QStringLiteral("TraceOn1"))->setChecked(rc_.traceOn);
    m_.changed |= core::kChangeStatus;
    rc_.publish();
}

void TmiraFM::CodeTraceClearClick() {
    if (!prompter_->askYesNo("Continue and clear the trace buffer?")) return;
    rc_.trace.clear();
    m_.observer().traceChanged();
}

bool TmiraFM::openWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TmiraFM::HelpClick() {
    // MIRA8_DATA_DIR moves the user's files, not the program's: the document beside the
    // executable or in the installed share folder is found all the same.
    const QString path = QString::fromStdString(core::findDataFile(kHelpFile).string());
    if (!QFileInfo::exists(path)) {
        prompter_->error("ERROR: File not found");
        return;
    }
    if (!openDocument || !openDocument(path))
        prompter_->error("ERROR: Failed to load file " + path.toStdString());
}

void TmiraFM::AboutClick() { prompter_->info("MIRA-8 Emulator\r\rVersion: v110919"); }

}  // namespace mira::gui
