#include "modules/ascii.h"
#include "artwork_font.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cstring>

#include "core/field_list.h"
#include "modules/keypad_art.h"

namespace mira::gui {

using devices::AsciiKey;

namespace {
AsciiKey fKey(int n) {
    return AsciiKey(static_cast<int>(AsciiKey::F1) + n - 1);
}
}  // namespace

// X11 key codes are the evdev codes + 8; they name places on the keyboard, whatever the
// layout prints on them.
std::optional<AsciiKey> asciiKeyFromScanCode(quint32 code) {
    static constexpr char kRowQ[] = "QWERTYUIOP";  // 24..33
    static constexpr char kRowA[] = "ASDFGHJKL";   // 38..46
    static constexpr char kRowZ[] = "ZXCVBNM";     // 52..58
    if (code >= 10 && code <= 18) return devices::digitKey(static_cast<int>(code) - 9);
    if (code >= 24 && code <= 33) return devices::letterKey(kRowQ[code - 24]);
    if (code >= 38 && code <= 46) return devices::letterKey(kRowA[code - 38]);
    if (code >= 52 && code <= 58) return devices::letterKey(kRowZ[code - 52]);
    if (code >= 67 && code <= 76) return fKey(static_cast<int>(code) - 66);
    switch (code) {
        case 9: return AsciiKey::Esc;
        case 19: return devices::digitKey(0);
        case 20: return AsciiKey::Minus;
        case 21: return AsciiKey::Equal;
        case 22: return AsciiKey::Backspace;
        case 23: return AsciiKey::Tab;
        case 34: return AsciiKey::LBracket;
        case 35: return AsciiKey::RBracket;
        case 36: return AsciiKey::Enter;
        case 47: return AsciiKey::Semicolon;
        case 48: return AsciiKey::Apostrophe;
        case 49: return AsciiKey::Grave;
        case 51: return AsciiKey::Backslash;
        case 59: return AsciiKey::Comma;
        case 60: return AsciiKey::Period;
        case 61: return AsciiKey::Slash;
        case 65: return AsciiKey::Space;
        case 95: return fKey(11);
        case 96: return fKey(12);
        case 104: return AsciiKey::Enter;  // the keypad's Enter is Enter too
        case 110: return AsciiKey::Home;
        case 111: return AsciiKey::Up;
        case 112: return AsciiKey::PageUp;
        case 113: return AsciiKey::Left;
        case 114: return AsciiKey::Right;
        case 115: return AsciiKey::End;
        case 116: return AsciiKey::Down;
        case 117: return AsciiKey::PageDown;
        case 118: return AsciiKey::Insert;
        case 119: return AsciiKey::Delete;
        default: return std::nullopt;
    }
}

std::optional<AsciiKey> asciiKeyFromQtKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return devices::letterKey(static_cast<char>('A' + (key - Qt::Key_A)));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return devices::digitKey(key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return fKey(key - Qt::Key_F1 + 1);
    // Shifted symbols name the US key they are on.
    static constexpr const char* kShiftedDigits = ")!@#$%^&*(";
    if (key < 128) {
        if (const char* at = std::strchr(kShiftedDigits, key); at && key)
            return devices::digitKey(static_cast<int>(at - kShiftedDigits));
    }
    switch (key) {
        case Qt::Key_Space: return AsciiKey::Space;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return AsciiKey::Tab;
        case Qt::Key_Return:
        case Qt::Key_Enter: return AsciiKey::Enter;
        case Qt::Key_Escape: return AsciiKey::Esc;
        case Qt::Key_Backspace: return AsciiKey::Backspace;
        case Qt::Key_Delete: return AsciiKey::Delete;
        case Qt::Key_PageUp: return AsciiKey::PageUp;
        case Qt::Key_PageDown: return AsciiKey::PageDown;
        case Qt::Key_Home: return AsciiKey::Home;
        case Qt::Key_End: return AsciiKey::End;
        case Qt::Key_Insert: return AsciiKey::Insert;
        case Qt::Key_Left: return AsciiKey::Left;
        case Qt::Key_Right: return AsciiKey::Right;
        case Qt::Key_Up: return AsciiKey::Up;
        case Qt::Key_Down: return AsciiKey::Down;
        case Qt::Key_QuoteLeft:
        case Qt::Key_AsciiTilde: return AsciiKey::Grave;
        case Qt::Key_Minus:
        case Qt::Key_Underscore: return AsciiKey::Minus;
        case Qt::Key_Equal:
        case Qt::Key_Plus: return AsciiKey::Equal;
        case Qt::Key_BracketLeft:
        case Qt::Key_BraceLeft: return AsciiKey::LBracket;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight: return AsciiKey::RBracket;
        case Qt::Key_Backslash:
        case Qt::Key_Bar: return AsciiKey::Backslash;
        case Qt::Key_Semicolon:
        case Qt::Key_Colon: return AsciiKey::Semicolon;
        case Qt::Key_Apostrophe:
        case Qt::Key_QuoteDbl: return AsciiKey::Apostrophe;
        case Qt::Key_Comma:
        case Qt::Key_Less: return AsciiKey::Comma;
        case Qt::Key_Period:
        case Qt::Key_Greater: return AsciiKey::Period;
        case Qt::Key_Slash:
        case Qt::Key_Question: return AsciiKey::Slash;
        default: return std::nullopt;
    }
}

std::optional<AsciiKey> asciiKeyOf(const QKeyEvent& e) {
    if (e.nativeScanCode() != 0) return asciiKeyFromScanCode(e.nativeScanCode());
    return asciiKeyFromQtKey(e.key());
}

TasciiFM::TasciiFM(const ModuleEnv& env)
    : ModuleWindow(*devices::moduleKindOfType(core::kModuleAscii), env),
      kb_(env.machine.bus, env.sounds, this) {
    setObjectName(QStringLiteral("asciiFM"));
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::StrongFocus);
    Image1 = new ModulePicture(*this, this, "Image1", ModulePicture::Transparent);
    Image1->setGeometry(0, 0, kWidth, kHeight);
    devLabel = new QLabel(this);
    devLabel->setObjectName(QStringLiteral("devLabel"));
    devLabel->setGeometry(81, 80, 150, 16);
    devLabel->setStyleSheet(QStringLiteral("color: #a8a8a8; background: transparent;"));
    QFont f = artworkFont(ArtFace::Sans, 11);
    devLabel->setFont(f);
    devLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    addMenuItem(PopupMenu1, "Reset1", QStringLiteral("Reset"), [this] { kb_.doReset(); });
    addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { close(); });
    drawLabel();
}

TasciiFM::~TasciiFM() {
    kb_.setHost(nullptr);
}

QWidget* TasciiFM::image() const {
    return Image1;
}

void TasciiFM::doInit() {
    kb_.doInit();
    placeLamp();
}

void TasciiFM::drawLabel() {
    devLabel->setText(QString::fromStdString(kb_.labelText()));
}

void TasciiFM::placeLamp() {
    const int x = isActiveWindow() || hasFocus() ? kLampXActive : kLampXInactive;
    if (x == lampX_) return;
    lampX_ = x;
    Image1->update();
}

void TasciiFM::paintKeyboard(QPainter& p) {
    const qreal dpr = Image1->devicePixelRatioF();
    if (housing_.isNull() || !qFuzzyCompare(housing_.devicePixelRatio(), dpr))
        housing_ = keyart::makeHousing(kWidth, kHeight, dpr, QString(), 0);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(QPoint(0, 0), housing_);
    keyart::drawMiniKeyboard(p, QRectF(22, 8, 250, 68));
    QFont f = artworkFont(ArtFace::Sans, 9);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(f);
    p.setPen(QColor(0x9a, 0xa0, 0xa8));
    drawLettering(p, QRect(196, 80, 78, 16), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("ASCII"));
    // The lamp's socket stays; the green light shows only while the window has the keyboard.
    keyart::drawLamp(p, QRectF(kLampXActive, kLampY, kLampSize, kLampSize), lampX_ == kLampXActive,
                     keyart::kGreen);
}

// Tab is a key like any other here, not a move of the focus.
bool TasciiFM::event(QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            keyPressEvent(k);
            return true;
        }
    }
    return ModuleWindow::event(e);
}

void TasciiFM::keyPressEvent(QKeyEvent* e) {
    // Keys act on release; presses (and their auto-repeats) stay here.
    e->accept();
}

void TasciiFM::keyReleaseEvent(QKeyEvent* e) {
    e->accept();
    if (e->isAutoRepeat()) return;
    const auto key = asciiKeyOf(*e);
    if (!key) return;
    const Qt::KeyboardModifiers m = e->modifiers();
    kb_.keyReleased(*key, {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier),
                           m.testFlag(Qt::AltModifier)});
}

void TasciiFM::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange) placeLamp();
    QWidget::changeEvent(e);
}

void TasciiFM::focusInEvent(QFocusEvent* e) {
    placeLamp();
    QWidget::focusInEvent(e);
}

void TasciiFM::focusOutEvent(QFocusEvent* e) {
    placeLamp();
    QWidget::focusOutEvent(e);
}

void TasciiFM::imageMouseDown(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    activateWindow();
    setFocus(Qt::MouseFocusReason);
    dragPress(e);
}

void TasciiFM::closeEvent(QCloseEvent* e) {
    kb_.close();
    e->accept();
}

std::string TasciiFM::GetScreenData() const {
    return core::FieldListBuilder().add(x()).add(y()).str();
}

void TasciiFM::PutScreenData(const std::string& text) {
    restorePosition(text);
}

}  // namespace mira::gui
