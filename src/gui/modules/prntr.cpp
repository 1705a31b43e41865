#include "modules/prntr.h"
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
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "core/field_list.h"
#include "devices/lanczos.h"
#include "devices/printer_font.h"
#include "modules/prntr_art.h"
#include "modules/prntr_print.h"

namespace mira::gui {

namespace {
constexpr const char* kQtFileFilter = "Printer Files (*.prf);;All Files (*)";
constexpr const char* kPrintError = "ERROR: Failed to print the paper roll";
// Enough for every line on the paper several times over; a long roll does not grow it.
constexpr size_t kLineCacheLimit = 64;

QLabel* greyLabel(QWidget* parent, const char* name, QRect at, Qt::Alignment align) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(at);
    l->setAlignment(align | Qt::AlignVCenter);
    l->setStyleSheet(QStringLiteral("color: #b4b4b4; background: transparent;"));
    QFont f = artworkFont(ArtFace::Sans, 11);
    l->setFont(f);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
}
}  // namespace

// --- PrinterPicture ---

PrinterPicture::PrinterPicture(TprnFM& owner, QWidget* parent, const char* name, bool mouse)
    : QWidget(parent), owner_(owner) {
    setObjectName(QString::fromLatin1(name));
    if (!mouse) setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PrinterPicture::paintEvent(QPaintEvent*) {
    if (!paint) return;
    QPainter p(this);
    paint(p);
}

void PrinterPicture::mousePressEvent(QMouseEvent* e) { owner_.pictureMouseDown(this, e); }
void PrinterPicture::mouseMoveEvent(QMouseEvent* e) { owner_.dragMove(e); }
void PrinterPicture::mouseReleaseEvent(QMouseEvent* e) { owner_.pictureMouseUp(e); }
void PrinterPicture::contextMenuEvent(QContextMenuEvent* e) { owner_.PopupMenu1->popup(e->globalPos()); }

// --- TprnFM ---

TprnFM::TprnFM(const ModuleEnv& env)
    : ModuleWindow(*devices::moduleKindOfType(core::kModulePrinter), env),
      printer_(env.machine.bus, env.timers, env.prompter, env.sounds, this),
      prompter_(env.prompter) {
    using namespace prntrart;
    setObjectName(QStringLiteral("prnFM"));
    setWindowTitle(QStringLiteral("Printer"));
    setFixedSize(kWindowWidth, kWindowHeight);

    // Back to front: body, paper roll, the paper coming off it, cover, pressed key, labels.
    prnImage = new PrinterPicture(*this, this, "prnImage", true);
    prnImage->setGeometry(0, 0, kWindowWidth, kWindowHeight);
    prnImage->paint = [this](QPainter& p) {
        ensureArt(prnImage->devicePixelRatioF());
        p.drawImage(QPoint(0, 0), body_);
    };
    rollImage = new PrinterPicture(*this, this, "rollImage", false);
    rollImage->setGeometry(kRollRect);
    rollImage->paint = [this](QPainter& p) {
        ensureArt(rollImage->devicePixelRatioF());
        p.drawImage(QPoint(0, 0), roll_);
    };
    paperImage = new PrinterPicture(*this, this, "paperImage", false);
    paperImage->setGeometry(kPaperRect);
    paperImage->paint = [this](QPainter& p) { paintPaper(p); };
    coverPanel = new QWidget(this);
    coverPanel->setObjectName(QStringLiteral("coverPanel"));
    coverPanel->setGeometry(kCoverRect);
    coverImage = new PrinterPicture(*this, coverPanel, "coverImage", true);
    coverImage->setGeometry(0, 0, kCoverRect.width(), kCoverRect.height());
    coverImage->paint = [this](QPainter& p) {
        ensureArt(coverImage->devicePixelRatioF());
        p.drawImage(QPoint(0, 0), cover_);
    };
    lfdnImage = new PrinterPicture(*this, this, "lfdnImage", false);
    lfdnImage->setGeometry(kFeedHiddenX, kFeedY, kFeedWidth, kFeedHeight);
    lfdnImage->paint = [this](QPainter& p) {
        ensureArt(lfdnImage->devicePixelRatioF());
        p.drawImage(QPoint(0, 0), feedDown_);
    };

    const int left = kBodyRect.left() + 12, w = kBodyRect.width() - 24;
    devLabel = greyLabel(this, "devLabel", QRect(left, kLabelTop, 110, kLabelHeight), Qt::AlignLeft);
    fileLabel = greyLabel(this, "fileLabel", QRect(left + 110, kLabelTop, w - 170, kLabelHeight),
                          Qt::AlignHCenter);
    pCountLabel = greyLabel(this, "pCountLabel", QRect(left + w - 60, kLabelTop, 60, kLabelHeight),
                            Qt::AlignRight);

    // Only the backdrop's rounded shape belongs to the window.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        QPainterPath outline;
        outline.addRoundedRect(QRectF(0, 0, kWindowWidth, kWindowHeight), 14, 14);
        setMask(QRegion(outline.toFillPolygon().toPolygon()));
    }

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QMenu* rollMenu = PopupMenu1->addMenu(QStringLiteral("Printer Roll"));
    rollMenu->setObjectName(QStringLiteral("PrinterRoll1"));
    addMenuItem(rollMenu, "LoadRoll1", QStringLiteral("Load"), [this] { LoadRoll1Click(); });
    Save1 = addMenuItem(rollMenu, "Save1", QStringLiteral("Save"), [this] { Save1Click(); });
    Print1 = addMenuItem(rollMenu, "Print1", QStringLiteral("Print"), [this] { Print1Click(); });
    DiscardUsedRoll1 = addMenuItem(rollMenu, "DiscardUsedRoll1", QStringLiteral("Discard"),
                                   [this] { DiscardUsedRoll1Click(); });
    addMenuItem(PopupMenu1, "Reset1", QStringLiteral("Reset"), [this] { doReset(); });
    addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { Close1Click(); });
    // An empty roll has nothing to print.
    connect(rollMenu, &QMenu::aboutToShow, this, [this] { Print1->setEnabled(!printer_.roll().empty()); });

    chooseOpenFileDialog = [this](const QString& initial) {
        QFileDialog d(this, QString::fromLatin1(devices::kPrinterOpenTitle), QString(),
                      QString::fromLatin1(kQtFileFilter));
        d.setObjectName(QStringLiteral("OpenDialog1"));
        d.setDefaultSuffix(QStringLiteral("prf"));
        d.setFileMode(QFileDialog::ExistingFile);
        d.selectFile(initial);
        return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                           : QString();
    };
    chooseSaveFileDialog = [this](const QString& initial) {
        QFileDialog d(this, QStringLiteral("Save Printer File"), QString(), QString::fromLatin1(kQtFileFilter));
        d.setObjectName(QStringLiteral("SaveDialog1"));
        d.setDefaultSuffix(QStringLiteral("prf"));
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.setOption(QFileDialog::DontConfirmOverwrite, false);
        d.selectFile(initial);
        return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                           : QString();
    };
    setUpPrinter = [this](QPrinter& p) {
        QPrintDialog d(&p, this);
        d.setObjectName(QStringLiteral("PrintDialog1"));
        return d.exec() == QDialog::Accepted;
    };
    drawLabels();
    drawPaper();
}

TprnFM::~TprnFM() { printer_.setHost(nullptr); }

void TprnFM::ensureArt(qreal dpr) {
    if (!body_.isNull() && qFuzzyCompare(artDpr_, dpr)) return;
    body_ = prntrart::makeBody(dpr);
    roll_ = prntrart::makeRoll(dpr);
    cover_ = prntrart::makeCover(dpr);
    feedDown_ = prntrart::makeFeedDown(dpr);
    artDpr_ = dpr;
}

void TprnFM::doInit() {
    showFeedButton(false);
    printer_.doInit();
}

const QImage& TprnFM::linePicture(const std::string& line, qreal dpr) {
    if (!qFuzzyCompare(cacheDpr_, dpr)) {
        lineCache_.clear();
        cacheDpr_ = dpr;
    }
    auto it = lineCache_.find(line);
    if (it != lineCache_.end()) return it->second;
    // The strip shrinks straight to the screen's pixels, so a dense screen keeps the dots.
    const int w = static_cast<int>(std::lround(devices::Printer::kPaperLineWidth * dpr));
    const int h = static_cast<int>(std::lround(devices::Printer::kPaperLineHeight * dpr));
    const devices::GrayImage pic =
        devices::resizeLanczos3(devices::renderLinePicture(devices::rollLineCodes(line)), w, h);
    QImage img = QImage(pic.pixels.data(), pic.width, pic.height, pic.width, QImage::Format_Grayscale8).copy();
    img.setDevicePixelRatio(dpr);
    return lineCache_.emplace(line, std::move(img)).first->second;
}

void TprnFM::paintPaper(QPainter& p) {
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    p.fillRect(QRect(0, 0, devices::Printer::kPaperWidth, devices::Printer::kPaperHeight), Qt::white);
    const devices::PaperLayout layout = printer_.paperLayout();
    const auto& roll = printer_.roll();
    // A full cache keeps only what is on the paper now, so printing on does not shrink
    // the visible lines again.
    if (lineCache_.size() >= kLineCacheLimit) {
        std::unordered_map<std::string, QImage> keep;
        for (const auto& line : layout.lines) {
            auto it = lineCache_.find(roll[size_t(line.rollIndex)]);
            if (it != lineCache_.end()) keep.insert(*it);
        }
        lineCache_.swap(keep);
    }
    for (const auto& line : layout.lines)
        p.drawImage(QPoint(devices::Printer::kPaperLineX, line.y), linePicture(roll[size_t(line.rollIndex)], dpr));
}

void TprnFM::drawPaper() {
    const devices::PaperLayout layout = printer_.paperLayout();
    paperImage->move(prntrart::kPaperRect.left(), layout.paperTop);
    paperImage->update();
    pCountLabel->setText(QString::number(printer_.roll().size()));
}

void TprnFM::drawLabels() {
    const int slot = printer_.GetDevice();
    devLabel->setText(slot == 2   ? QStringLiteral("Output Device 0")
                      : slot == 3 ? QStringLiteral("Output Device 1")
                                  : QStringLiteral("No Device Set"));
    fileLabel->setText(QFileInfo(QString::fromStdString(printer_.rollFileName())).completeBaseName());
    pCountLabel->setText(QString::number(printer_.roll().size()));
}

void TprnFM::showFeedButton(bool pressed) {
    lfdnImage->move(pressed ? prntrart::kFeedDownX : prntrart::kFeedHiddenX, prntrart::kFeedY);
    lfdnImage->setVisible(pressed);
}

std::string TprnFM::chooseOpenFile() {
    return chooseOpenFileDialog ? chooseOpenFileDialog(QString::fromLatin1(devices::kPrinterInitialName)).toStdString()
                                : std::string();
}

std::string TprnFM::chooseSaveFile(const std::string& initial) {
    return chooseSaveFileDialog ? chooseSaveFileDialog(QString::fromStdString(initial)).toStdString() : std::string();
}

void TprnFM::Print1Click() {
    if (printer_.roll().empty()) return;
    QPrinter printer(QPrinter::HighResolution);
    if (!setUpPrinter || !setUpPrinter(printer)) return;
    if (!printRoll(printer, printer_.roll())) prompter_.error(kPrintError);
}

void TprnFM::Close1Click() {
    if (printer_.disconnect()) close();
}

void TprnFM::bindSlot(int slot) {
    PutDevice(slot);
    drawLabels();
}

void TprnFM::closeEvent(QCloseEvent* e) {
    if (feedHeld_) printer_.releaseFeed();
    feedHeld_ = false;
    printer_.close();
    drawLabels();
    e->accept();
}

void TprnFM::pictureMouseDown(QWidget* from, QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    if (from == prnImage) {
        const QPoint at = e->position().toPoint();
        if (printer_.pressFeed(at.x(), at.y())) {
            feedHeld_ = true;
            return;
        }
    }
    dragPress(e);
}

void TprnFM::pictureMouseUp(QMouseEvent* e) {
    dragRelease(e);
    if (e->button() != Qt::LeftButton) return;
    if (feedHeld_) {
        feedHeld_ = false;
        printer_.releaseFeed();
    }
}

std::string TprnFM::GetScreenData() const { return printer_.stateString(x(), y()); }

void TprnFM::PutScreenData(const std::string& text) {
    restorePosition(text);
    printer_.applyState(text);
}

}  // namespace mira::gui
