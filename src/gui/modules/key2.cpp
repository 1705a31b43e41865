#include "modules/key2.h"
#include "artwork_font.h"

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
    {0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 0}, {2, 1},
    {2, 2}, {2, 3}, {2, 4}, {3, 0}, {3, 1}, {3, 2}, {3, 3}, {4, 0}, {4, 1}, {4, 2}, {4, 3}, {3, 4}};

}  // namespace

TkeypadFM::TkeypadFM(const ModuleEnv& env)
    : ModuleWindow(*devices::moduleKindOfType(core::kModuleKeypad2), env),
      pad_(env.machine.bus, table_, env.prompter, this) {
    setObjectName(QStringLiteral("keypadFM"));
    setFixedSize(kWidth, kHeight);
    keyImage = new ModulePicture(*this, this, "keyImage", ModulePicture::Transparent);
    keyImage->setGeometry(0, 0, kWidth, kHeight);
    QFont f = artworkFont(ArtFace::Sans, 11);
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
    addMenuItem(keyData, "Set1", QStringLiteral("Set"), [this] { Set1Click(); });
    keyData->addSeparator();
    addMenuItem(keyData, "Load1", QStringLiteral("Load"), [this] { Load1Click(); });
    addMenuItem(keyData, "Save1", QStringLiteral("Save"), [this] { Save1Click(); });
    addMenuItem(PopupMenu1, "Reset1", QStringLiteral("Reset"), [this] { pad_.doInit(); });
    addMenuItem(PopupMenu1, "Close1", QStringLiteral("Disconnect"), [this] { close(); });
    drawLabels();
}

TkeypadFM::~TkeypadFM() {
    pad_.setHost(nullptr);
}

QWidget* TkeypadFM::image() const {
    return keyImage;
}

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
    const core::Machine& m = env_.machine;
    const int radix = m.options.radix[m.isWif() ? 1 : 0];
    return QString::fromStdString(assembler::FormatRadix(table_.values[key], radix, true));
}

void TkeypadFM::refreshKeys() {
    keyImage->update();
}

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
        // Captions are stored one byte per character.
        const QString caption = QString::fromLatin1(table_.captions[k]);
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
    dragPress(e);
}

void TkeypadFM::imageMouseUp(QMouseEvent* e) {
    dragRelease(e);
    if (e->button() != Qt::LeftButton) return;
    if (downKey_ >= 0) {
        downKey_ = -1;
        keyImage->update();
    }
}

void TkeypadFM::Set1Click() {
    TbuttFM dlg(table_, env_.prompter, this);
    dlg.exec();
    if (dlg.tableChanged()) pad_.tableEdited(dlg.hideBlank(), dlg.fullDefault());
}

void TkeypadFM::Load1Click() {
    pad_.Load1Click(dialogs());
}

void TkeypadFM::Save1Click() {
    pad_.Save1Click(dialogs());
}

std::optional<std::filesystem::path> TkeypadFM::openPath() {
    const QString name = QFileDialog::getOpenFileName(this, QStringLiteral("Open Keypad File"),
                                                      QString(), QString::fromLatin1(kFileFilter));
    if (name.isEmpty()) return std::nullopt;
    return std::filesystem::path(name.toStdString());
}

std::optional<std::filesystem::path> TkeypadFM::savePath() {
    // The dialog asks before it replaces a file.
    QString name =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save Keypad File"),
                                     QStringLiteral("*.kpf"), QString::fromLatin1(kFileFilter));
    if (name.isEmpty()) return std::nullopt;
    return std::filesystem::path(name.toStdString());
}

void TkeypadFM::closeEvent(QCloseEvent* e) {
    downKey_ = -1;
    if (!closing_ && !pad_.maySkipSaving(dialogs())) {
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
    restorePosition(text);
}

void TkeypadFM::readSettings(const core::SettingsFile& settings) {
    PutKeyTableLine(settings.windowLine(core::kKeyKeypad2Buttons));
}

void TkeypadFM::writeSettings(core::SettingsFile& settings) const {
    settings.setWindowLine(core::kKeyKeypad2Buttons, GetKeyTableLine());
}

// A mode change closes every module; the question may still save a key file, but Cancel
// cannot keep the window (the table itself lives on in the settings file).
void TkeypadFM::closeForModeChange() {
    pad_.maySkipSaving(dialogs());
    closing_ = true;
    close();
    closing_ = false;
}

// The table itself lives on in the settings file; only a key file of it can be lost.
void TkeypadFM::beforeSettingsSave() {
    if (isVisible()) pad_.maySkipSaving(dialogs());
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
