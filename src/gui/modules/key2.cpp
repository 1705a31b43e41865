#include "modules/key2.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <algorithm>

#include "assembler/formatters.h"
#include "core/field_list.h"
#include "modules/butt.h"
#include "modules/keypad_art.h"

namespace mira::gui {

namespace {
constexpr int kColumnX[5] = {24, 80, 136, 192, 248};
constexpr int kRowY[5] = {22, 69, 117, 165, 213};
constexpr const char* kFileFilter = "Keypad Files (*.kpf);;All Files (*)";

// Row and column of each key number; "E" (23) closes row 4.
constexpr int kKeyPlace[devices::kKeypad2KeyCount][2] = {
    {0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4},
    {2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {3, 0}, {3, 1}, {3, 2}, {3, 3}, {4, 0},
    {4, 1}, {4, 2}, {4, 3}, {3, 4}};

QSize screenSizeOf(const QWidget* w) {
    const QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize(1024, 768);
}
}  // namespace

Keypad2Image::Keypad2Image(TkeypadFM& owner) : QWidget(&owner), owner_(owner) {
    setObjectName(QStringLiteral("keyImage"));
}

bool Keypad2Image::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const int key = owner_.keyAt(help->pos());
        if (key >= 0)
            QToolTip::showText(help->globalPos(), owner_.keyHint(key), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}

void Keypad2Image::paintEvent(QPaintEvent*) {
    QPainter p(this);
    owner_.paintKeypad(p);
}
void Keypad2Image::mousePressEvent(QMouseEvent* e) { owner_.imageMouseDown(e); }
void Keypad2Image::mouseMoveEvent(QMouseEvent* e) { owner_.imageMouseMove(e); }
void Keypad2Image::mouseReleaseEvent(QMouseEvent* e) { owner_.imageMouseUp(e); }
void Keypad2Image::contextMenuEvent(QContextMenuEvent* e) {
    owner_.PopupMenu1->popup(e->globalPos());
}

TkeypadFM::TkeypadFM(core::Machine& machine, core::Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_(machine),
      prompter_(prompter),
      pad_(machine.bus, table_, prompter, this) {
    setObjectName(QStringLiteral("keypadFM"));
    setWindowTitle(QStringLiteral("KeyPad 2"));
    setFixedSize(kWidth, kHeight);
    keyImage = new Keypad2Image(*this);
    keyImage->setGeometry(0, 0, kWidth, kHeight);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    auto makeLabel = [&](const char* name, QRect r, Qt::Alignment align) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(r);
        l->setAlignment(align | Qt::AlignVCenter);
        l->setStyleSheet(QStringLiteral("color: #a8a8a8; background: transparent;"));
        l->setFont(f);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        return l;
    };
    devLabel = makeLabel("devLabel", QRect(24, 256, 130, 16), Qt::AlignLeft);
    filLabel = makeLabel("filLabel", QRect(156, 256, 125, 16), Qt::AlignRight);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QMenu* keyData = PopupMenu1->addMenu(QStringLiteral("Key Data"));
    keyData->setObjectName(QStringLiteral("KeyData1"));
    QAction* set = keyData->addAction(QStringLiteral("Set"));
    set->setObjectName(QStringLiteral("Set1"));
    connect(set, &QAction::triggered, this, &TkeypadFM::Set1Click);
    keyData->addSeparator();
    QAction* load = keyData->addAction(QStringLiteral("Load"));
    load->setObjectName(QStringLiteral("Load1"));
    connect(load, &QAction::triggered, this, &TkeypadFM::Load1Click);
    QAction* save = keyData->addAction(QStringLiteral("Save"));
    save->setObjectName(QStringLiteral("Save1"));
    connect(save, &QAction::triggered, this, &TkeypadFM::Save1Click);
    QAction* reset = PopupMenu1->addAction(QStringLiteral("Reset"));
    reset->setObjectName(QStringLiteral("Reset1"));
    connect(reset, &QAction::triggered, this, [this] { pad_.doInit(); });
    QAction* disconnect = PopupMenu1->addAction(QStringLiteral("Disconnect"));
    disconnect->setObjectName(QStringLiteral("Close1"));
    connect(disconnect, &QAction::triggered, this, &QWidget::close);
    drawLabels();
}

TkeypadFM::~TkeypadFM() { pad_.setHost(nullptr); }

QWidget* TkeypadFM::image() const { return keyImage; }

QRect TkeypadFM::keyRect(int key) {
    if (key < 0 || key >= devices::kKeypad2KeyCount) return {};
    return {kColumnX[kKeyPlace[key][1]], kRowY[kKeyPlace[key][0]], kKeySize, kKeySize};
}

int TkeypadFM::keyAt(QPoint pos) const {
    for (int k = 0; k < devices::kKeypad2KeyCount; ++k)
        if (pad_.keyVisible(k) && keyRect(k).contains(pos)) return k;
    return -1;
}

QString TkeypadFM::keyHint(int key) const {
    if (key < 0 || key >= devices::kKeypad2KeyCount) return {};
    const int radix = m_.options.radix[m_.isWif() ? 1 : 0];
    return QString::fromStdString(assembler::FormatRadix(table_.values[key], radix, true));
}

void TkeypadFM::refreshKeys() { keyImage->update(); }

void TkeypadFM::drawLabels() {
    devLabel->setText(QString::fromStdString(pad_.labelText()));
    filLabel->setText(QString::fromStdString(pad_.fileLabel()));
}

void TkeypadFM::paintKeypad(QPainter& p) {
    const qreal dpr = keyImage->devicePixelRatioF();
    if (housing_.isNull() || !qFuzzyCompare(housing_.devicePixelRatio(), dpr))
        housing_ = keyart::makeHousing(kWidth, kHeight, dpr, QString(), 0);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QPoint(0, 0), housing_);
    for (int k = 0; k < devices::kKeypad2KeyCount; ++k) {
        if (!pad_.keyVisible(k)) continue;
        const QString caption = QString::fromStdString(table_.captions[k]);
        // The top row and the right column hold the calculator's functions.
        const bool function = kKeyPlace[k][0] == 0 || kKeyPlace[k][1] >= 3;
        keyart::drawKey(p, keyRect(k), caption, k == downKey_,
                        function ? keyart::KeyStyle::Function : keyart::KeyStyle::Digit,
                        caption.size() > 2 ? 10 : 13);
    }
}

void TkeypadFM::imageMouseDown(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const int key = keyAt(e->position().toPoint());
    if (key >= 0) {
        downKey_ = key;
        pad_.pressKey(key);
        keyImage->update();
        return;
    }
    dragging_ = true;
    dragOrigin_ = e->globalPosition().toPoint();
    windowOrigin_ = pos();
}

void TkeypadFM::imageMouseMove(QMouseEvent* e) {
    if (!dragging_) return;
    const QSize screen = screenSizeOf(this);
    const QPoint to = windowOrigin_ + (e->globalPosition().toPoint() - dragOrigin_);
    move(std::clamp(to.x(), 0, std::max(0, screen.width() - width())),
         std::clamp(to.y(), 0, std::max(0, screen.height() - height())));
}

void TkeypadFM::imageMouseUp(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    dragging_ = false;
    if (downKey_ >= 0) {
        downKey_ = -1;
        keyImage->update();
    }
}

void TkeypadFM::Set1Click() {
    TbuttFM dlg(table_, prompter_, this);
    dlg.exec();
    if (dlg.tableChanged()) pad_.tableEdited(dlg.hideBlank(), dlg.fullDefault());
}

void TkeypadFM::Load1Click() { pad_.Load1Click(dialogs()); }

void TkeypadFM::Save1Click() { pad_.Save1Click(dialogs()); }

std::optional<std::filesystem::path> TkeypadFM::openPath() {
    const QString name = QFileDialog::getOpenFileName(this, QStringLiteral("Open Keypad File"),
                                                      QString(), QString::fromLatin1(kFileFilter));
    if (name.isEmpty()) return std::nullopt;
    return std::filesystem::path(name.toStdString());
}

std::optional<std::filesystem::path> TkeypadFM::savePath() {
    // The dialog asks before it replaces a file.
    QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Save Keypad File"),
                                                QStringLiteral("*.kpf"),
                                                QString::fromLatin1(kFileFilter));
    if (name.isEmpty()) return std::nullopt;
    return std::filesystem::path(name.toStdString());
}

void TkeypadFM::closeEvent(QCloseEvent* e) {
    dragging_ = false;
    downKey_ = -1;
    if (!pad_.maySkipSaving(dialogs())) {
        e->ignore();
        return;
    }
    pad_.close();
    e->accept();
}

std::string TkeypadFM::GetScreenData() const {
    return core::FieldListBuilder().add(x()).add(y()).str();
}

void TkeypadFM::PutScreenData(const std::string& text) {
    const QSize screen = screenSizeOf(this);
    const core::WindowPosition at =
        core::windowPositionFromState(text, screen.width(), screen.height());
    move(at.left, at.top);
}

std::string TkeypadFM::GetKeyTableLine() const {
    return devices::keyTableLine(table_, pad_.fileLabel());
}

void TkeypadFM::PutKeyTableLine(const std::string& line) {
    std::string label = pad_.fileLabel();
    devices::applyKeyTableLine(line, table_, label);
    pad_.PutFileName(label);
    refreshKeys();
}

}  // namespace mira::gui
