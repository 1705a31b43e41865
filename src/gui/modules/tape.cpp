#include "modules/tape.h"
#include "artwork_font.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "assembler/edit.h"
#include "core/field_list.h"
#include "core/run_control.h"
#include "mira/mira.h"
#include "modules/tape_art.h"
#include "views/debug_views.h"
#include "views/memory.h"

namespace mira::gui {

namespace ta = tapeart;

// --- PaperTapeWindow ---

PaperTapeWindow::PaperTapeWindow(bool punch, const devices::ModuleKind& kind, const ModuleEnv& env)
    : ModuleWindow(kind, env), punch_(punch) {
    setFixedSize(ta::kTapeWindowWidth, ta::kTapeWindowHeight);
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
}

void PaperTapeWindow::ensureArt(qreal dpr) {
    if (!body_.isNull() && qFuzzyCompare(artDpr_, dpr)) return;
    body_ = ta::makeTapeBody(punch_, dpr);
    lead_ = ta::makeLeadIn(dpr);
    cover_ = ta::makeCover(punch_, dpr);
    buttonPressed_ = ta::makeButtonPressed(dpr);
    artDpr_ = dpr;
}

void PaperTapeWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    ensureArt(devicePixelRatioF());
    p.fillRect(rect(), palette().window());
    p.drawImage(QPoint(0, 0), body_);
    if (tapeShown()) {
        // The tape stands on the head and rises one row per row read or punched: the
        // lead-in first, then the rows already passed.
        const int passed = rowsPassed();
        const int leadBottom = ta::kHeadY - ta::kRowHeight * passed;
        p.save();
        p.setClipRect(QRect(0, 0, width(), ta::kHeadY + 9));
        if (leadBottom > 0) p.drawImage(QPoint(ta::kPaperX, leadBottom - ta::kLeadHeight), lead_);
        const std::vector<int>& rows = tapeRows();
        const int rowX = ta::kPaperX + (punch_ ? ta::kPunchRowX : ta::kReaderRowX);
        const int first = std::max(0, (-leadBottom) / ta::kRowHeight);
        for (int i = first; i < passed && i < static_cast<int>(rows.size()); ++i)
            ta::drawTapeRow(p, rowX, leadBottom + ta::kRowHeight * i, rows[static_cast<size_t>(i)]);
        p.restore();
    }
    p.drawImage(ta::kCover, cover_);
    ta::drawFaultLamp(p, faultShown());
    if (buttonDown_) p.drawImage(QPoint(ta::kButtonPressedX, ta::kButtonY), buttonPressed_);
}

void PaperTapeWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    if (ta::kButtonHit.contains(e->position().toPoint())) {
        buttonDown_ = true;
        update();
        return;
    }
    dragPress(e);
}

void PaperTapeWindow::mouseMoveEvent(QMouseEvent* e) { dragMove(e); }

void PaperTapeWindow::mouseReleaseEvent(QMouseEvent* e) {
    dragRelease(e);
    if (e->button() != Qt::LeftButton || !buttonDown_) return;
    buttonDown_ = false;
    update();
    buttonAction();
}

void PaperTapeWindow::contextMenuEvent(QContextMenuEvent* e) { PopupMenu1->popup(e->globalPos()); }

// --- the main window's parts the tape windows use ---

namespace {

TmiraFM* mainOf(const ModuleEnv& env) { return dynamic_cast<TmiraFM*>(env.mainWindow); }

QString editorFile(const ModuleEnv& env) {
    TmiraFM* mira = mainOf(env);
    return mira && mira->editFM() ? mira->editFM()->fileName() : QString();
}

}  // namespace

// --- TtapeFM ---

core::FrontPanel& TtapeFM::loaderPanel(const ModuleEnv& env) {
    if (TmiraFM* mira = mainOf(env)) return mira->panel();
    // Without the main window (a window tested alone) the loader gets a panel of its own.
    ownRun_ = std::make_unique<core::RunControl>(env.machine);
    ownPanel_ = std::make_unique<core::FrontPanel>(env.machine, *ownRun_, env.timers, env.sounds);
    return *ownPanel_;
}

TtapeFM::TtapeFM(const ModuleEnv& env)
    : PaperTapeWindow(false, *devices::moduleKindOfType(core::kModuleTapeReader), env),
      reader_(env.machine, loaderPanel(env), env.timers, env.sounds, env.prompter, this) {
    setObjectName(QStringLiteral("tapeFM"));
    addMenuItem(PopupMenu1, "LoadTape1", QStringLiteral("Load Tape"), [this] { LoadTape1Click(); });
    addMenuItem(PopupMenu1, "Reset1", QStringLiteral("Reset"), [this] { reader_.doReset(); });
    addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { close(); });
}

TtapeFM::~TtapeFM() { reader_.setHost(nullptr); }

QString TtapeFM::suggestedName(const QString& editorFile) { return suggestedTapeName(editorFile); }

void TtapeFM::openFromMenu() {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    if (!devices::mayOpenTapeReader(env_.machine.bus, env_.machine.switches, env_.prompter))
        return;
    PutDevice(core::kModuleTapeReader);
    doInit();
    show();
}

void TtapeFM::reopen(const core::ReopenStep&) {
    PutDevice(core::kModuleTapeReader);
    doInit();
    show();
}

void TtapeFM::writeOpenState(core::OpenWindows& open) const {
    open.setVisible(core::kOpenTapeReader, isVisible());
    open.setNumber(core::kOpenTapeReaderType, GetDevice() == core::kModuleTapeReader
                                                  ? core::kModuleTapeReader
                                                  : core::kModuleNone);
}

void TtapeFM::machineChanged() {
    if (TmiraFM* mira = mainOf(env_)) mira->runControl().publish();
}

void TtapeFM::LoadTape1Click() {
    const QString suggested = suggestedName(editorFile(env_));
    const QString file =
        chooseOpenFile ? chooseOpenFile(suggested)
                       : QFileDialog::getOpenFileName(
                             this, QString::fromLatin1(kOpenTitle), suggested,
                             QStringLiteral("Paper Tape Files (*.ptp);;All Files (*.*)"));
    if (file.isEmpty()) return;
    if (!reader_.LoadTape(file.toStdString())) return;
    // Memory is about to be filled from tape: breakpoints and the editor's address table
    // (with the rest of the last assembly) no longer describe it.
    if (TmiraFM* mira = mainOf(env_)) {
        env_.machine.breakpoints.fill(0);
        mira->assembler().discard();
        if (mira->editFM()) mira->editFM()->DisplayROMaddresses();
        if (mira->views().memFM) mira->views().memFM->RedrawBreaks();
    }
    update();
}

void TtapeFM::closeEvent(QCloseEvent* e) {
    reader_.close();
    e->accept();
}

std::string TtapeFM::GetScreenData() const { return reader_.stateString(x(), y()); }

void TtapeFM::PutScreenData(const std::string& text) {
    restorePosition(text);
    reader_.applyState(text);
}

// --- TtapewtFM ---

namespace {
constexpr QRect kPunchLabel{66, 332, 148, 14};
}  // namespace

TtapewtFM::TtapewtFM(const ModuleEnv& env)
    : PaperTapeWindow(true, *devices::moduleKindOfType(core::kModuleTapePunch), env),
      punch_(env.machine.bus, env.timers, env.sounds, env.prompter, this) {
    setObjectName(QStringLiteral("tapewtFM"));
    devLabel = new QLabel(this);
    devLabel->setObjectName(QStringLiteral("devLabel"));
    devLabel->setAlignment(Qt::AlignCenter);
    devLabel->setGeometry(kPunchLabel);
    devLabel->setStyleSheet(QStringLiteral("color: #e8eaee; background: transparent;"));
    QFont f = artworkFont(ArtFace::Sans, 11);
    devLabel->setFont(f);
    devLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    addMenuItem(PopupMenu1, "SaveTape1", QStringLiteral("Save Tape"), [this] { SaveTape1Click(); });
    addMenuItem(PopupMenu1, "Reset1", QStringLiteral("Reset"), [this] { punch_.doReset(); });
    addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { close(); });
    refreshLabel();
}

TtapewtFM::~TtapewtFM() { punch_.setHost(nullptr); }

void TtapewtFM::refreshLabel() {
    const int slot = punch_.GetDevice();
    devLabel->setText(slot == 2   ? QStringLiteral("Output Device 0")
                      : slot == 3 ? QStringLiteral("Output Device 1")
                                  : QStringLiteral("No Device Set"));
}

void TtapewtFM::doInit() {
    refreshLabel();
    punch_.doInit();
}

void TtapewtFM::SaveTape1Click() {
    punch_.SaveTape([this](std::span<const int32_t> bytes, int highest) {
        TapeSaveRequest req;
        req.words = bytes;
        req.highest = highest;
        req.limit = highest;
        req.editorFile = editorFile(env_);
        req.chooseRange = chooseRange;
        req.chooseFile = chooseFile;
        return SaveTapeFile(this, env_.prompter, req);
    });
}

void TtapewtFM::closeEvent(QCloseEvent* e) {
    punch_.close();
    refreshLabel();
    e->accept();
}

std::string TtapewtFM::GetScreenData() const { return punch_.stateString(x(), y()); }

void TtapewtFM::PutScreenData(const std::string& text) { restorePosition(text); }

}  // namespace mira::gui
