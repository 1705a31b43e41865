#include "modules/tape.h"

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

#include "core/field_list.h"
#include "modules/tape_art.h"

namespace mira::gui {

namespace ta = tapeart;

// --- PaperTapeWindow ---

PaperTapeWindow::PaperTapeWindow(bool punch, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), punch_(punch) {
    setFixedSize(ta::kTapeWindowWidth, ta::kTapeWindowHeight);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
}

QSize PaperTapeWindow::screenSize() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize(1024, 768);
}

void PaperTapeWindow::restorePosition(const std::string& state) {
    const QSize s = screenSize();
    const core::WindowPosition at = core::windowPositionFromState(state, s.width(), s.height());
    move(at.left, at.top);
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
    dragging_ = true;
    dragOrigin_ = e->globalPosition().toPoint();
    windowOrigin_ = pos();
}

void PaperTapeWindow::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_) return;
    const QSize s = screenSize();
    const QPoint to = windowOrigin_ + (e->globalPosition().toPoint() - dragOrigin_);
    move(std::clamp(to.x(), 0, std::max(0, s.width() - width())),
         std::clamp(to.y(), 0, std::max(0, s.height() - height())));
}

void PaperTapeWindow::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    dragging_ = false;
    if (!buttonDown_) return;
    buttonDown_ = false;
    update();
    buttonAction();
}

void PaperTapeWindow::contextMenuEvent(QContextMenuEvent* e) { PopupMenu1->popup(e->globalPos()); }

// --- TtapeFM ---

TtapeFM::TtapeFM(core::Machine& machine, core::FrontPanel& panel, core::TimerFactory& timers,
                 core::SoundEffects& sounds, core::Prompter& prompter, QWidget* parent)
    : PaperTapeWindow(false, parent),
      reader_(machine, panel, timers, sounds, prompter, this),
      prompter_(prompter) {
    setObjectName(QStringLiteral("tapeFM"));
    setWindowTitle(QStringLiteral("Paper Tape Reader"));
    QAction* load = PopupMenu1->addAction(QStringLiteral("Load Tape"));
    load->setObjectName(QStringLiteral("LoadTape1"));
    connect(load, &QAction::triggered, this, &TtapeFM::LoadTape1Click);
    QAction* reset = PopupMenu1->addAction(QStringLiteral("Reset"));
    reset->setObjectName(QStringLiteral("Reset1"));
    connect(reset, &QAction::triggered, this, [this] { reader_.doReset(); });
    QAction* close = PopupMenu1->addAction(QStringLiteral("Disconnect"));
    close->setObjectName(QStringLiteral("Close1"));
    connect(close, &QAction::triggered, this, &QWidget::close);
}

TtapeFM::~TtapeFM() { reader_.setHost(nullptr); }

QString TtapeFM::suggestedName(const QString& editorFile) { return suggestedTapeName(editorFile); }

void TtapeFM::LoadTape1Click() {
    const QString suggested = suggestedName(editorFileName ? editorFileName() : QString());
    const QString file =
        chooseOpenFile ? chooseOpenFile(suggested)
                       : QFileDialog::getOpenFileName(
                             this, QString::fromLatin1(kOpenTitle), suggested,
                             QStringLiteral("Paper Tape Files (*.ptp);;All Files (*.*)"));
    if (file.isEmpty()) return;
    if (!reader_.LoadTape(file.toStdString())) return;
    if (onTapeLoaded) onTapeLoaded();
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

TtapewtFM::TtapewtFM(core::Machine& machine, core::TimerFactory& timers, core::SoundEffects& sounds,
                     core::Prompter& prompter, QWidget* parent)
    : PaperTapeWindow(true, parent),
      punch_(machine.bus, timers, sounds, prompter, this),
      prompter_(prompter) {
    setObjectName(QStringLiteral("tapewtFM"));
    setWindowTitle(QStringLiteral("Paper Tape Punch"));
    devLabel = new QLabel(this);
    devLabel->setObjectName(QStringLiteral("devLabel"));
    devLabel->setAlignment(Qt::AlignCenter);
    devLabel->setGeometry(kPunchLabel);
    devLabel->setStyleSheet(QStringLiteral("color: #e8eaee; background: transparent;"));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    devLabel->setFont(f);
    devLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    QAction* save = PopupMenu1->addAction(QStringLiteral("Save Tape"));
    save->setObjectName(QStringLiteral("SaveTape1"));
    connect(save, &QAction::triggered, this, &TtapewtFM::SaveTape1Click);
    QAction* reset = PopupMenu1->addAction(QStringLiteral("Reset"));
    reset->setObjectName(QStringLiteral("Reset1"));
    connect(reset, &QAction::triggered, this, [this] { punch_.doReset(); });
    QAction* close = PopupMenu1->addAction(QStringLiteral("Disconnect"));
    close->setObjectName(QStringLiteral("Close1"));
    connect(close, &QAction::triggered, this, &QWidget::close);
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
        req.editorFile = editorFileName ? editorFileName() : QString();
        req.chooseRange = chooseRange;
        req.chooseFile = chooseFile;
        return SaveTapeFile(this, prompter_, req);
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
