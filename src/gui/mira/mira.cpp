#include "mira/mira.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>

#include "link/prog.h"
#include "link/serial.h"
#include "assembler/edit.h"
#include "assembler/instruction_table.h"
#include "core/atomic_file.h"
#include "core/data_dir.h"
#include "core/eeprom_file.h"
#include "devices/module_catalogue.h"
#include "modules/module_windows.h"
#include "views/memory.h"
#include "views/debug_views.h"
#include "views/timing.h"
#include "views/eeprom.h"
#include "views/ram.h"
#include "views/stack.h"
#include "assembler/formatters.h"
#include "core/panel_controls.h"
#include "drawn_access.h"
#include "qt_prompter.h"
#include "window_place.h"

namespace mira::gui {

namespace {
// Repaints at most at a display's frame rate.
constexpr int kFrameMs = 16;
// The fast loop yields often; Qt's queue is looked at when the time the fast run speed
// sets (RunControl::eventServiceIntervalNs) has passed since the last look, and the clock
// itself is read only every so many yields, which keeps a yield to a counter and a compare.
constexpr int kYieldsPerClockRead = 8;
}  // namespace

// --- MiraImage ---

MiraImage::MiraImage(TmiraFM& owner) : QWidget(&owner), owner_(owner) {
    setObjectName(QStringLiteral("miraImage"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(kPanelWidth, kPanelHeight);
}

void MiraImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    owner_.paintPanel(p);
}

void MiraImage::mousePressEvent(QMouseEvent* e) {
    owner_.miraImageMouseDown(e->button(), e->position().toPoint(),
                              e->globalPosition().toPoint());
}

void MiraImage::mouseReleaseEvent(QMouseEvent* e) { owner_.miraImageMouseUp(e->button()); }

void MiraImage::mouseMoveEvent(QMouseEvent* e) {
    owner_.miraImageMouseMove(e->globalPosition().toPoint());
}

// --- TmiraFM ---

TmiraFM::TmiraFM(core::Prompter* prompter, core::SoundPlayer* sound, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    if (!prompter) {
        ownPrompter_ = std::make_unique<QtPrompter>(this);
        prompter = ownPrompter_.get();
    }
    prompter_ = prompter;
    sounds_.setPlayer(sound);
    setObjectName(QStringLiteral("miraFM"));
    setWindowTitle(QStringLiteral("MIRA-8 Microcomputer"));

    m_.setObserver(this);
    m_.attachTimers(historyTimers_);
    rc_.setHistory(&history_);
    panel_.setHost(this);

    miraImage = new MiraImage(*this);
    miraImage->move(0, 0);
    core::PanelReaders readers;
    readers.format = [this](int32_t v) {
        return assembler::FormatRadixSpoken(v, m_.options.radix[m_.isWif() ? 1 : 0]);
    };
    readers.wifLettering = [this] { return aux_.wifLabels; };
    readers.auxLamp = [this](int row) { return auxLampLit(row); };
    panelControls_ = new DrawnControls(miraImage, core::makePanelControls(panel_, m_, readers),
                                       QStringLiteral("Front panel"), focusRingColour());
    panelControls_->setBusy([this] { return m_.run && m_.fastClock(); });
    // The panel takes the keyboard when the window does.
    setFocusProxy(miraImage);
    buildSpeedPanel();
    buildMenu();
    setSpeedPanelShown(false);
    SetMenuAvailability();
    SetInitCaptions();

    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, [this] { miraImage->update(); });
    sinceRepaint_.start();
    sinceEvents_.start();

    modules_ = std::make_unique<ModuleWindows>(this, m_, historyTimers_, *prompter_, sounds_);
    for (const devices::ModuleKind& k : devices::moduleKinds())
        connect(findChild<QAction*>(QString::fromLatin1(k.menuName)), &QAction::triggered, this,
                [this, &k] { modules_->open(k); });

    views_ = std::make_unique<DebugViews>(
        this, m_, rc_, *prompter_,
        ViewSources{[this] { return &instructionTable_; }, [this] { return &assembler_; }},
        core::dataFile(core::kEepromFileName));
    const std::pair<const char*, void (DebugViews::*)()> viewItems[] = {
        {"ViewMemory1", &DebugViews::ViewMemoryClick},
        {"ViewRAM1", &DebugViews::ViewRAMClick},
        {"ViewEEPROM1", &DebugViews::ViewEEPROMClick},
        {"ViewStack1", &DebugViews::ViewStackClick},
    };
    for (const auto& [name, click] : viewItems)
        connect(findChild<QAction*>(QString::fromLatin1(name)), &QAction::triggered, this,
                [this, click = click] { (views_.get()->*click)(); });

    // Its mirror timer is an outside input to the history, like the modules'.
    serialFM_ = std::make_unique<TserialFM>(historyTimers_);
    m_.serialPort = serialFM_.get();
    connect(findChild<QAction*>(QStringLiteral("BasicSerialPort1")), &QAction::triggered, this,
            [this] { serialFM_->show(); });
    addOptionsAppliedHook([this] {
        if (!m_.isWif()) serialFM_->hide();
    });

    timingFM_ = std::make_unique<TtimingFM>(m_, rc_, *prompter_, this);
    timingFM_->moduleNamer = devices::moduleSignalName;

    editFM_ = std::make_unique<TeditFM>(*this);
    // The editor's address margin and the memory view mark the same breakpoints: a toggle
    // in either redraws the other.
    TmemFM* mem = views_->memFM;
    mem->onBreakpointsChanged = [this] { editFM_->DisplayROMaddresses(); };
    mem->editorFileName = [this] { return editFM_->fileName(); };
    connect(editFM_.get(), &TeditFM::breakpointsChanged, mem, &TmemFM::RedrawBreaks);
    connect(editFM_.get(), &TeditFM::memoryTopRequested, mem, &TmemFM::doSetTopRow);
    timingFM_->selectInstruction = [mem](int address) { mem->selectAddress(address); };

    // Windows open beside the panel and give the focus back after every box.
    setPlacementPanel(this);
    installFocusReturn();
    const std::initializer_list<QWidget*> windows = {
        this, mem, views_->ramFM, views_->eepFM, views_->stackFM, editFM_.get(), serialFM_.get(),
        timingFM_.get()};
    for (QWidget* w : windows) placeOnShow(w);
    // The panel's window is made at its stored place: a window manager that takes a place
    // only when a window is first mapped (Weston's for XWayland) ignores a later move.
    const QSize screen = screenSize();
    core::SettingsFile stored;
    core::MainSettings place;
    if (stored.load(core::dataFile(core::kSettingsFileName), place, screen.width(), screen.height()))
        move(place.left, place.top);

    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, &QWidget::close);
}

TmiraFM::~TmiraFM() {
    editFM_.reset();
    // The machine outlives this body; nothing may call back into a half-destroyed window.
    m_.setObserver(nullptr);
    panel_.setHost(nullptr);
}

QWidget* TmiraFM::image() const { return miraImage; }

void TmiraFM::nameApplication() {
    QApplication::setApplicationName(QStringLiteral("mira8"));
    QGuiApplication::setApplicationDisplayName(QString());
}

void TmiraFM::buildSpeedPanel() {
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(0, kPanelHeight, kPanelWidth, kSpeedPanelHeight);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    Panel1->setFont(font);
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(6, 1, 6, 1);
    row->setSpacing(6);
    auto bar = [&](const char* name, int min, int max, int pos, const char* hint) {
        auto* sb = new QScrollBar(Qt::Horizontal, Panel1);
        sb->setObjectName(QString::fromLatin1(name));
        sb->setRange(min, max);
        sb->setValue(pos);
        sb->setToolTip(QString::fromLatin1(hint));
        sb->setFocusPolicy(Qt::NoFocus);
        // Right click anywhere opens the panel's menu, not the scroll bar's own.
        sb->setContextMenuPolicy(Qt::NoContextMenu);
        return sb;
    };
    auto label = [&](const char* t) { return new QLabel(QString::fromLatin1(t), Panel1); };
    slowSB = bar("slowSB", core::kSlowSBMin, core::kSlowSBMax, core::kSlowSBPosition,
                 "Slow speed setting");
    animSB = bar("animSB", core::kAnimSBMin, core::kAnimSBMax, core::kAnimSBPosition,
                 "Animate speed setting");
    defaultSB = new QPushButton(QStringLiteral("Default"), Panel1);
    defaultSB->setObjectName(QStringLiteral("defaultSB"));
    defaultSB->setToolTip(QStringLiteral("Set default slow speed clock rate"));
    SpeedButton1 = new QPushButton(QStringLiteral("Animate"), Panel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    for (auto* b : {defaultSB, SpeedButton1}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedHeight(22);
    }
    auto* bevel = new QFrame(Panel1);
    bevel->setFrameStyle(QFrame::VLine | QFrame::Sunken);

    row->addWidget(label("Slower"));
    row->addWidget(slowSB, 1);
    row->addWidget(label("Faster"));
    row->addWidget(defaultSB);
    row->addWidget(bevel);
    row->addWidget(label("Slower"));
    row->addWidget(animSB, 1);
    row->addWidget(label("Faster"));
    row->addWidget(SpeedButton1);

    // Only the end of a scroll sets an interval: a drag ends on release, a click on an arrow
    // or the track ends at once.
    connect(slowSB, &QScrollBar::sliderReleased, this, &TmiraFM::slowSBEndScroll);
    connect(animSB, &QScrollBar::sliderReleased, this, &TmiraFM::animSBEndScroll);
    connect(slowSB, &QScrollBar::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            QTimer::singleShot(0, this, &TmiraFM::slowSBEndScroll);
    });
    connect(animSB, &QScrollBar::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            QTimer::singleShot(0, this, &TmiraFM::animSBEndScroll);
    });
    connect(defaultSB, &QPushButton::clicked, this, [this] {
        slowSB->setValue(core::kSlowSBDefault);
        slowSBEndScroll();
    });
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { panel_.SpeedButton1Click(); });
}

void TmiraFM::slowSBEndScroll() { panel_.setSlowPosition(slowSB->value()); }

void TmiraFM::animSBEndScroll() { panel_.setAnimPosition(animSB->value()); }

void TmiraFM::setSpeedPanelShown(bool shown) {
    main_.speedPanel = shown;
    Panel1->setVisible(shown);
    setFixedSize(kPanelWidth, kPanelHeight + (shown ? kSpeedPanelHeight : 0));
    if (auto* a = findChild<QAction*>(QStringLiteral("SpeedAnimate1"))) a->setChecked(shown);
}

QSize TmiraFM::screenSize() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize(kPanelWidth, kPanelHeight);
}

// --- start-up and closing ---

void TmiraFM::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!activated_) FormActivate();
}

void TmiraFM::FormActivate() {
    if (activated_) return;
    activated_ = true;
    m_.reset();
    modules_->buildTubeStrip();
    LoadSettings();
    if (LoadCompilerData() == 0) {
        // Without instruction tables nothing works; the window closes through the run loop.
        prompter_->error(assembler::kCompilerDataFailed);
        rc_.placeRequest(core::kRequestClose);
        panel_.ChgModeTimer->start();
    }
    m_.updateMemorySize();
    setSpeedPanelShown(main_.speedPanel);
    m_.computeSr();
    m_.initEeprom();
    slowSBEndScroll();
    animSBEndScroll();
    SetMenuAvailability();
    doLamps(core::kLampGroupsAll);
    SetAuxLamps();
    SetInitCaptions();
    views_->initialise();
    if (rc_.traceOn) LoadTraceFile();
    editFM_->doInit();
    syncSwitchPictures();
    if (editFM_->isVisible()) editFM_->activateWindow();
}

int TmiraFM::LoadCompilerData() {
    auto compiler = assembler::LoadCompilerData(assembler::findCompilerData(), m_);
    instructionTable_ = std::move(compiler.table);
    assembler_.setInstructionTable(&instructionTable_);
    return compiler.state;
}

void TmiraFM::closeEvent(QCloseEvent* e) {
    if (auto* link = TprogFM::current(); link && !link->boardLink().canClose()) {
        e->ignore();
        return;
    }
    // A fast run must reach its next yield first; the loop then closes the window.
    if (!panel_.closeAttempt()) {
        e->ignore();
        return;
    }
    // Unsaved source: the editor asks and may keep the emulator open.
    if (!editFM_->SaveQuery()) {
        e->ignore();
        return;
    }
    if (activated_) {
        modules_->beforeSettingsSave();
        SaveSettings();
        // Unlike the settings, EEPROM contents and the trace are the user's data: a failed
        // save is said, not lost without a word.
        if (!views_->eepFM->SaveEEP())
            prompter_->error(std::string(kEepromSaveError) + core::dataFile(core::kEepromFileName).string());
        if (rc_.traceOn && !SaveTraceFile())
            prompter_->error(std::string(kTraceSaveError) + core::dataFile(kTraceFileName).string());
    }
    if (editFM_->isVisible()) editFM_->GetPutAdmin(false);
    editFM_->hide();
    serialFM_->hide();
    timingFM_->hide();
    modules_->hideAll();
    e->accept();
}

void TmiraFM::AssemblerClick() {
    if (editFM_->isVisible()) {
        editFM_->close();
        return;
    }
    editFM_->show();
    editFM_->raise();
    editFM_->activateWindow();
}

void TmiraFM::TimingDiagramClick() {
    if (timingFM_->isVisible()) {
        timingFM_->close();
        return;
    }
    timingFM_->show();
    timingFM_->raise();
}

void TmiraFM::selectSourceLine(int /*pc*/) { editFM_->SelectCodeLine(); }

void TmiraFM::closeMainWindow() { close(); }

void TmiraFM::fastRunStarting() { modules_->fastRunStarting(); }

bool TmiraFM::processEvents() {
    if (++yieldsSinceClockRead_ < kYieldsPerClockRead) return false;
    yieldsSinceClockRead_ = 0;
    if (sinceEvents_.nsecsElapsed() < core::RunControl::eventServiceIntervalNs(m_.fastRunSpeed))
        return false;
    // What the events change is an outside input to the history.
    history_.settle();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    sinceEvents_.restart();
    return true;
}

// --- settings ---

void TmiraFM::collectMainSettings() {
    for (int i = 0; i < core::kSwitchCount; ++i) main_.switches[i] = m_.switches[i] != 0;
    main_.slowPosition = panel_.slowPosition();
    main_.zeroPageMode = m_.options.zeroPageMode;
    main_.fastRunSpeed = m_.fastRunSpeed;
    main_.outputResetT13 = m_.options.outputResetMode != 0;
    main_.soundEffects = sounds_.enabled;
    main_.clearMemory = m_.options.clearMemoryBeforeAssemble;
    main_.ignoreBreakpoints = m_.options.ignoreBreakpoints;
    main_.left = x();
    main_.top = y();
    main_.melodyNoteDelay = m_.melodyNoteDelay;
    main_.slowDepositExamine = m_.options.slowDepositExamine;
    main_.traceOn = rc_.traceOn;
    main_.normalMode = !m_.isWif();
    main_.clearRam = m_.options.clearRamBeforeAssemble;
    main_.clearEeprom = m_.options.clearEepromBeforeAssemble;
    main_.radixNormal = m_.options.radix[0];
    main_.radixWif = m_.options.radix[1];
    main_.animPosition = panel_.animPosition();
    main_.autoSlowStep = m_.options.autoSlowStepOnBreak;
}

void TmiraFM::applyMainSettings() {
    m_.options.zeroPageMode = main_.zeroPageMode;
    m_.fastRunSpeed = main_.fastRunSpeed;
    m_.options.outputResetMode = main_.outputResetT13 ? 1 : 0;
    sounds_.enabled = main_.soundEffects;
    m_.options.clearMemoryBeforeAssemble = main_.clearMemory;
    m_.options.ignoreBreakpoints = main_.ignoreBreakpoints;
    move(main_.left, main_.top);
    m_.melodyNoteDelay = main_.melodyNoteDelay;
    m_.options.slowDepositExamine = main_.slowDepositExamine;
    rc_.traceOn = main_.traceOn;
    m_.options.mode = main_.normalMode ? core::OperatingMode::Normal : core::OperatingMode::Wif;
    m_.options.clearRamBeforeAssemble = main_.clearRam;
    m_.options.clearEepromBeforeAssemble = main_.clearEeprom;
    m_.options.radix[0] = main_.radixNormal;
    m_.options.radix[1] = main_.radixWif;
    m_.options.autoSlowStepOnBreak = main_.autoSlowStep;
    // The scroll bars hold their own ranges; a stored position outside them is pinned.
    slowSB->setValue(main_.slowPosition);
    animSB->setValue(main_.animPosition);
    panel_.setSlowPosition(slowSB->value());
    panel_.setAnimPosition(animSB->value());
    if (auto* a = findChild<QAction*>(QStringLiteral("TraceOn1"))) a->setChecked(rc_.traceOn);
}

void TmiraFM::LoadSettings() {
    collectMainSettings();
    const QSize screen = screenSize();
    if (!settings_.load(core::dataFile(core::kSettingsFileName), main_, screen.width(),
                        screen.height()))
        return;
    applyMainSettings();
    modules_->PutScreenData(settings_);
    views_->putScreenData(settings_, screen.width(), screen.height());
    // Switches and windows come back last, whatever order the lines had.
    panel_.restoreSwitches(settings_.switchesToRestore(main_));
    editFM_->PutScreenData(settings_.windowLine(core::kKeyEditor));
    serialFM_->PutScreenData(settings_.windowLine(core::kKeyBasicSerial), screen.width(), screen.height());
    for (const core::ReopenStep& step : core::reopenPlan(settings_.openWindows)) {
        if (modules_->reopen(step)) continue;
        views_->reopen(step.window);
        if (step.window == core::ReopenStep::Editor) editFM_->show();
        if (step.window == core::ReopenStep::BasicSerial && m_.isWif()) serialFM_->show();
        // The views and modules reopen here once they exist; their fields of line 020 and
        // their own lines are kept meanwhile and written back unchanged.
        (void)step;
    }
    timingFM_->PutScreenData(settings_.windowLine(core::kKeyTimingDiagram), screen.width(), screen.height());
    if (timingFM_->savedVisible()) timingFM_->show();
}

void TmiraFM::SaveSettings() {
    collectMainSettings();
    modules_->GetScreenData(settings_);
    views_->getScreenData(settings_);
    settings_.setWindowLine(core::kKeyEditor, editFM_->GetScreenData());
    settings_.openWindows.setVisible(core::kOpenEditor, editFM_->isVisible());
    settings_.setWindowLine(core::kKeyBasicSerial, serialFM_->GetScreenData());
    settings_.openWindows.setVisible(core::kOpenBasicSerial, serialFM_->isVisible());
    settings_.setWindowLine(core::kKeyTimingDiagram, timingFM_->GetScreenData());
    settings_.keepReadPlaces(!windowSystemReportsPlaces());
    const auto path = core::dataFile(core::kSettingsFileName);
    if (!settings_.save(path, main_)) prompter().error(core::saveFailureText("ERROR: Failed to save the settings", path));
}

// --- panel ---

void TmiraFM::miraImageMouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos) {
    if (button != Qt::LeftButton) return;
    const auto press = panel_.mouseDown(pos.x(), pos.y());
    if (press.dragStart && !startWindowSystemMove(this)) {
        dragging_ = true;
        dragOrigin_ = globalPos;
        windowOrigin_ = this->pos();
    }
}

void TmiraFM::miraImageMouseUp(Qt::MouseButton button) {
    if (button != Qt::LeftButton) return;
    panel_.mouseUp();
    dragging_ = false;
}

void TmiraFM::miraImageMouseMove(QPoint globalPos) {
    if (!dragging_) return;
    const QSize screen = screenSize();
    const QPoint to = windowOrigin_ + (globalPos - dragOrigin_);
    move(std::clamp(to.x(), 0, std::max(0, screen.width() - width())),
         std::clamp(to.y(), 0, std::max(0, screen.height() - height())));
}

void TmiraFM::contextMenuEvent(QContextMenuEvent* e) { PopupMenu1->popup(e->globalPos()); }

void TmiraFM::SetPCfromSwitches() {
    m_.SetPCfromSwitches();
    rc_.publish();
}

void TmiraFM::doLamps(uint32_t groups) {
    m_.latchLamps(groups);
    rc_.publish();
}

void TmiraFM::lampsChanged(uint32_t groups) {
    if (groups & core::kChangeState) {
        stateLamps_.instruction = m_.instructionLamps;
        stateLamps_.run = m_.run;
        stateLamps_.fetch = m_.fetchLamp;
        stateLamps_.defer = m_.deferLamp;
        stateLamps_.exec = m_.execLamp;
    }
    scheduleRepaint();
}

void TmiraFM::itemsChanged(uint32_t items) {
    if (views_) views_->itemsChanged(items);
    if ((items & core::kChangeSerial) && serialFM_) serialFM_->SetSerialAccess(m_.serialAccess);
    if (items & core::kChangeSwitches) syncSwitchPictures();
}

void TmiraFM::scheduleRepaint() {
    // One repaint at a time: a fast run reports lamps at every yield.
    if (repaintPending_) return;
    repaintPending_ = true;
    const qint64 since = sinceRepaint_.elapsed();
    if (since >= kFrameMs)
        miraImage->update();
    else
        frameTimer_.start(static_cast<int>(kFrameMs - since));
}

void TmiraFM::ensureArt() {
    const qreal dpr = miraImage->devicePixelRatioF();
    if (art_ && qFuzzyCompare(art_->devicePixelRatio(), dpr)) return;
    art_ = std::make_unique<PanelArt>(dpr);
    shownSwitches_.fill(false);
    for (int i = 0; i < core::kSwitchCount; ++i) {
        if (m_.switches[i]) {
            art_->mirrorSwitch(i);
            shownSwitches_[i] = true;
        }
    }
}

void TmiraFM::syncSwitchPictures() {
    ensureArt();
    bool changed = false;
    for (int i = 0; i < core::kSwitchCount; ++i) {
        const bool thrown = m_.switches[i] != 0;
        if (shownSwitches_[i] != thrown) {
            art_->mirrorSwitch(i);
            shownSwitches_[i] = thrown;
            changed = true;
            if (i == core::kSwitchSlowFast && thrown && views_) views_->fastClockSelected();
        }
    }
    // A switch is the user's own click: it shows at once, not at the next frame.
    if (changed) miraImage->update();
}

void TmiraFM::SetAuxLamps() {
    const bool wif = m_.isWif();
    aux_.HRled = wif && m_.instructionTableState == 2;
    aux_.T1T13 = m_.options.outputResetMode == 0;
    aux_.SlowED = !wif && m_.options.slowDepositExamine;
    aux_.PZon = !wif && m_.options.zeroPageMode;
    aux_.wifLabels = aux_.HRled;
    miraImage->update();
}

void TmiraFM::paintPanel(QPainter& p) {
    ensureArt();
    p.drawImage(QPoint(0, 0), art_->picture());
    drawPanelFooter(p, m_.isWif());
    const QImage& on = art_->lampOn();
    auto lamp = [&](int x, int y, bool lit) {
        if (lit) p.drawImage(QPoint(x, y), on);
    };
    const int32_t rows[4] = {m_.lamps.pc, m_.lamps.ma, m_.lamps.mb, m_.lamps.ac};
    for (int r = 0; r < 4; ++r)
        for (int b = 0; b < 8; ++b) lamp(kBitLampX[b], kLampRowY[r], rows[r] & (1 << (7 - b)));
    // Instruction lamps are indexed by opcode: AND TAD ISZ DCA JMB JMP IOT OPR.
    const auto& ins = stateLamps_.instruction;
    for (int r = 0; r < 4; ++r) {
        lamp(kInstructionLampX1, kLampRowY[r], ins[r]);
        lamp(kInstructionLampX2, kLampRowY[r], ins[7 - r]);
    }
    lamp(kStateLampX, kLampRowY[0], stateLamps_.run);
    lamp(kStateLampX, kLampRowY[1], stateLamps_.fetch);
    lamp(kStateLampX, kLampRowY[2], stateLamps_.defer);
    lamp(kStateLampX, kLampRowY[3], stateLamps_.exec);
    for (int r = 0; r < 4; ++r) lamp(kAuxLampX, kLampRowY[r], auxLampLit(r));
    if (aux_.wifLabels)
        for (int k = 0; k < kOverlayCount; ++k)
            p.drawImage(kOverlayRects[k].topLeft(), art_->overlay(k));
    sinceRepaint_.restart();
    repaintPending_ = false;
}

bool TmiraFM::auxLampLit(int row) const {
    const bool wif = m_.isWif();
    switch (row) {
        case 0: return aux_.HRled;
        case 1: return aux_.T1T13;
        case 2: return wif ? (m_.lamps.pc & 512) != 0 : aux_.SlowED;
        case 3: return wif ? (m_.lamps.pc & 256) != 0 : aux_.PZon;
        default: return false;
    }
}

// The views take what the run reports and repaint at display rate.
void TmiraFM::memoryWordChanged(int address) {
    if (views_) views_->memoryWordChanged(address);
}
void TmiraFM::allMemoryChanged() {
    if (views_) views_->allMemoryChanged();
}
void TmiraFM::slotChanged(int slot) {
    if (views_) views_->slotChanged(slot);
}
void TmiraFM::ramByteChanged(int index) {
    if (views_) views_->ramByteChanged(index);
}
void TmiraFM::eepromByteChanged(int index) {
    if (views_) views_->eepromByteChanged(index);
}

}  // namespace mira::gui
