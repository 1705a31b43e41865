#include "modules/mag.h"
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
#include <QToolButton>
#include <algorithm>

#include "core/field_list.h"
#include "modules/tape_art.h"
#include "modules/tape_playlist.h"

namespace mira::gui {

namespace ta = tapeart;

namespace {
// Where the tape's name goes when no cassette is in: off the window.
constexpr int kLabelAway = 300;
constexpr QSize kTapeLabelSize{144, 16};
}  // namespace

TmagFM::TmagFM(const ModuleEnv& env)
    : ModuleWindow(*devices::moduleKindOfType(core::kModuleMagTape), env),
      mag_(env.machine.bus, env.timers, env.sounds, env.prompter, this) {
    setObjectName(QStringLiteral("magFM"));
    setFixedSize(ta::kMagWidth, ta::kMagHeight);

    QFont small = artworkFont(ArtFace::Sans, 11);
    devLabel = new QLabel(this);
    devLabel->setObjectName(QStringLiteral("devLabel"));
    devLabel->setGeometry(ta::kMagLabel.x(), ta::kMagLabel.y(), 120, 17);
    devLabel->setFont(small);
    devLabel->setStyleSheet(QStringLiteral("color: #202226; background: transparent;"));
    devLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    tapeLabel = new QLabel(this);
    tapeLabel->setObjectName(QStringLiteral("tapeLabel"));
    tapeLabel->setFont(small);
    tapeLabel->resize(kTapeLabelSize);
    tapeLabel->move(kLabelAway, ta::kTapeLabel.y());
    tapeLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    SpeedButton3 = new QToolButton(this);
    SpeedButton3->setObjectName(QStringLiteral("SpeedButton3"));
    SpeedButton3->setToolTip(QStringLiteral("Reset counter"));
    SpeedButton3->setGeometry(ta::kResetCounter.x(), ta::kResetCounter.y(), 13, 13);
    SpeedButton3->setStyleSheet(QStringLiteral(
        "QToolButton { background: #3a3c42; border: 1px solid #17181a; border-radius: 6px; }"
        "QToolButton:pressed { background: #17181a; }"));
    connect(SpeedButton3, &QToolButton::clicked, this, [this] { mag_.resetCounter(); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QMenu* tape = PopupMenu1->addMenu(QStringLiteral("Tape"));
    tape->setObjectName(QStringLiteral("Tape1"));
    addMenuItem(tape, "NewTape1", QStringLiteral("New"), [this] { NewTape1Click(); });
    tape->addSeparator();
    addMenuItem(tape, "LoadTape1", QStringLiteral("Load"), [this] { LoadTape1Click(); });
    addMenuItem(tape, "SaveTape1", QStringLiteral("Save"), [this] { SaveTape1Click(); });
    tape->addSeparator();
    addMenuItem(tape, "Erase1", QStringLiteral("Erase"), [this] { Erase1Click(); });
    addMenuItem(tape, "EjectTape1", QStringLiteral("Eject"), [this] { EjectTape1Click(); });
    tape->addSeparator();
    addMenuItem(tape, "Playlist1", QStringLiteral("Playlist"), [this] { Playlist1Click(); });
    addMenuItem(PopupMenu1, "Reset1", QStringLiteral("Reset"), [this] { mag_.doReset(); });
    addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { Close1Click(); });
    refreshLabels();
}

TmagFM::~TmagFM() { mag_.setHost(nullptr); }

void TmagFM::openFromMenu() {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    const int in = askForSlot(devices::SlotDirection::Input);
    if (in < 0) return;
    const int out = askForSlot(devices::SlotDirection::Output);
    if (out < 0) return;
    PutInDevice(in);
    PutOutDevice(out);
    doInit();
    show();
}

void TmagFM::reopen(const core::ReopenStep& step) {
    PutInDevice(step.slot);
    PutOutDevice(step.outputSlot);
    doInit();
    show();
}

void TmagFM::writeOpenState(core::OpenWindows& open) const {
    open.setVisible(core::kOpenMagTape, isVisible());
    open.setNumber(core::kOpenMagTapeIn, GetInDevice());
    open.setNumber(core::kOpenMagTapeOut, GetOutDevice());
}

void TmagFM::ensureArt(qreal dpr) {
    if (!body_.isNull() && qFuzzyCompare(artDpr_, dpr)) return;
    body_ = ta::makeRecorderBody(dpr);
    cassette_ = ta::makeCassette(dpr);
    keys_ = ta::makeKeyStrip(dpr);
    digits_ = ta::makeDigitStrip(dpr);
    for (int k = 0; k < 5; ++k)
        pressed_[static_cast<size_t>(k)] = ta::makeKeyPressed(k == 0, k, dpr);
    artDpr_ = dpr;
}

void TmagFM::refreshLabels() {
    devLabel->setText(QString::fromStdString(
        devices::magDeviceLabel(mag_.GetInDevice(), mag_.GetOutDevice())));
    if (!mag_.tapeLoaded()) {
        tapeLabel->move(kLabelAway, ta::kTapeLabel.y());
        return;
    }
    if (cassette_.isNull()) ensureArt(devicePixelRatioF());
    const QColor c = ta::cassetteLabelColour(cassette_);
    tapeLabel->setStyleSheet(QStringLiteral("color: #1c1c20; background: %1;").arg(c.name()));
    tapeLabel->setText(QString::fromStdString(mag_.tapeName()));
    tapeLabel->move(ta::kTapeLabel);
}

void TmagFM::drawRecorder() {
    refreshLabels();
    update();
}

void TmagFM::doInit() {
    refreshLabels();
    mag_.doInit();
}

void TmagFM::paintEvent(QPaintEvent*) {
    QPainter p(this);
    ensureArt(devicePixelRatioF());
    p.fillRect(rect(), palette().window());
    p.drawImage(QPoint(0, 0), body_);
    if (mag_.tapeLoaded()) {
        p.drawImage(ta::kCassette, cassette_);
        ta::drawReels(p, mag_.position(), devices::reelShift(mag_.position()));
    }
    p.drawImage(ta::kKeyStrip, keys_);
    // RECORD holds PLAY down with it; STOP shows only while the mouse holds it.
    auto down = [&](int key) {
        p.drawImage(QPoint(ta::kKeyStrip.x() + ta::kKeyPressedOffset[static_cast<size_t>(key - 1)],
                           ta::kKeyPressedY),
                    pressed_[static_cast<size_t>(key - 1)]);
    };
    switch (mag_.mode()) {
        case devices::kMagRecord: down(devices::kMagRecord), down(devices::kMagPlay); break;
        case devices::kMagPlay:
        case devices::kMagRewind:
        case devices::kMagFastForward: down(mag_.mode()); break;
        default:
            if (mag_.stopHeld()) down(devices::kMagStop);
            break;
    }
    const devices::CounterWheels w = devices::counterWheels(mag_.counter());
    ta::drawCounter(p, digits_, w.digit, w.offset);
}

void TmagFM::mousePressEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint() - ta::kKeyStrip;
    const int key = devices::magKeyAt(at.x(), at.y());
    if (key) {
        mag_.pressKey(key);
        return;
    }
    dragPress(e);
}

void TmagFM::mouseMoveEvent(QMouseEvent* e) { dragMove(e); }

void TmagFM::mouseReleaseEvent(QMouseEvent* e) {
    dragRelease(e);
    const QPoint at = e->position().toPoint() - ta::kKeyStrip;
    if (devices::magKeyAt(at.x(), at.y()) == devices::kMagStop) mag_.releaseStop();
}

void TmagFM::contextMenuEvent(QContextMenuEvent* e) { PopupMenu1->popup(e->globalPos()); }

void TmagFM::LoadTape1Click() {
    if (!mag_.prepareLoad()) return;
    const QString suggested = QStringLiteral("*.mtf");
    const QString file = chooseOpenFile
                             ? chooseOpenFile(suggested)
                             : QFileDialog::getOpenFileName(this, QString::fromLatin1(kOpenTitle),
                                                            suggested, QString::fromLatin1(kFilter));
    if (file.isEmpty()) return;
    mag_.loadFile(file.toStdString());
}

std::string TmagFM::askSaveFile(const std::string& suggested) {
    const QString s = QString::fromStdString(suggested);
    QString file = chooseSaveFile ? chooseSaveFile(s)
                                  : QFileDialog::getSaveFileName(this, QString::fromLatin1(kSaveTitle),
                                                                 s, QString::fromLatin1(kFilter));
    if (!file.isEmpty() && QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".mtf");
    return file.toStdString();
}

void TmagFM::Playlist1Click() {
    if (!mag_.canEditPlaylist()) return;
    TplFM dlg(mag_, this);
    if (runPlaylist)
        runPlaylist(dlg);
    else
        dlg.exec();
}

void TmagFM::Close1Click() {
    if (!mag_.SaveModifiedTapeFile()) return;
    close();
}

void TmagFM::closeEvent(QCloseEvent* e) {
    mag_.close();
    refreshLabels();
    e->accept();
}

std::string TmagFM::GetScreenData() const { return mag_.stateString(x(), y()); }

void TmagFM::PutScreenData(const std::string& text) {
    restorePosition(text);
    mag_.applyState(text);
    refreshLabels();
}

}  // namespace mira::gui
