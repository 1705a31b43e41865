#include "prog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include "assembler/disassembler.h"
#include "assembler/edit.h"
#include "assembler/formatters.h"
#include "assembler/instruction_table.h"
#include "core/data_dir.h"
#include "core/field_list.h"
#include "link/port_map.h"
#include "link_dialogs.h"
#include "mira/mira.h"

namespace mira::gui {

namespace {

TprogFM* gCurrent = nullptr;

constexpr int kWidth = 774;
constexpr int kHeight = 500;
constexpr int kLinkBaud = 19200;
constexpr int kOpenSettleMs = 20;  // the port is given a moment before it is used

// The link's byte port on the serial component.
class SerialBytePort final : public link::BytePort {
public:
    explicit SerialBytePort(TSerial& s) : s_(s) {}
    bool isOpen() const override { return s_.Active(); }
    void write(const std::string& bytes) override { s_.WriteString(bytes); }
    std::string readAvailable() override {
        std::string out;
        uint8_t b = 0;
        while (s_.ReadByte(b) == 1) out += static_cast<char>(b);
        return out;
    }
    void setDtr(bool on) override { s_.SetLine(1, on); }
    bool lost() const override { return s_.Lost(); }
    std::string name() const override {
        const std::string path = s_.devicePath();
        return "port " + std::to_string(s_.Port()) + (path.empty() ? "" : " (" + path + ")");
    }

private:
    TSerial& s_;
};

}  // namespace

void LinkLamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor c(70, 70, 70);
    if (lamp_ == link::Lamp::Red) c = QColor(230, 30, 30);
    if (lamp_ == link::Lamp::Green) c = QColor(30, 210, 60);
    const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
    QRadialGradient g(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() / 1.5);
    g.setColorAt(0, c.lighter(lamp_ == link::Lamp::Off ? 130 : 170));
    g.setColorAt(1, c);
    p.setPen(QPen(QColor(30, 30, 30), 1.5));
    p.setBrush(g);
    p.drawEllipse(r);
}

TprogFM* TprogFM::current() { return gCurrent; }

TprogFM::TprogFM(TmiraFM& main, QWidget* parent) : QDialog(parent ? parent : &main), main_(main) {
    setWindowTitle(QStringLiteral("MIRA-8 USB Interface"));
    setFixedSize(kWidth, kHeight);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    serial_ = std::make_unique<TSerial>(main_.prompter());
    serial_->setBaudrate(kLinkBaud);
    serial_->setDataBits(eDataBits::d8bit);
    serial_->setParity(eParity::paNone);
    serial_->setStopBits(eStopBits::st1bit);
    serial_->setFlowMode(eFlowControl::fcNone);
    serial_->setCheckParity(false);
    serial_->NotifyErrors = eNotifyErr::neEvent;  // no OnError: port errors are silent
    serial_->RxEventMode = eOpModes::rxNormal;
    serial_->OnRxData = [this](TSerial*) { link_->Serial1RxData(); };
    port_ = std::make_unique<SerialBytePort>(*serial_);
    link_ = std::make_unique<link::BoardLink>(*port_, timers_, *this, main_.prompter());
    buildControls();
    gCurrent = this;
}

TprogFM::~TprogFM() {
    if (gCurrent == this) gCurrent = nullptr;
    link_.reset();
    serial_->SetActive(false);
}

void TprogFM::buildControls() {
    auto* box = new QGroupBox(this);
    box->setObjectName("Panel2");
    box->setGeometry(10, 6, 232, 262);
    radios_ = new QButtonGroup(this);
    const struct {
        QRadioButton** rb;
        const char* name;
        const char* caption;
        link::Selection sel;
    } rows[] = {
        {&dirRB, "dirRB", "Directory", link::Selection::Directory},
        {&miraRB, "miraRB", "MIRA8", link::Selection::Mira8},
        {&wifRB, "wifRB", "WIF", link::Selection::Wif},
        {&memRB, "memRB", "Memory", link::Selection::Memory},
        {&optsRB, "optsRB", "Operating Options", link::Selection::Options},
        {&comPortRB, "comPortRB", "COM Port", link::Selection::ComPort},
        {&calcDrivRB, "calcDrivRB", "Upgrade Driver", link::Selection::UpgradeDriver},
    };
    int y = 12;
    for (const auto& r : rows) {
        *r.rb = new QRadioButton(QString::fromLatin1(r.caption), box);
        (*r.rb)->setObjectName(QString::fromLatin1(r.name));
        (*r.rb)->setGeometry(12, y, 150, 28);
        radios_->addButton(*r.rb, static_cast<int>(r.sel));
        y += 35;
    }
    dirRB->setChecked(true);
    connect(radios_, &QButtonGroup::idClicked, this, [this](int) { radioClicked(); });

    miraCB = new QComboBox(box);
    miraCB->setObjectName("miraCB");
    for (int i = 1; i <= link::kNormalSlots; ++i) miraCB->addItem(QString::number(i));
    miraCB->setGeometry(160, 12 + 35, 60, 28);
    wifCB = new QComboBox(box);
    wifCB->setObjectName("wifCB");
    for (int i = 1; i <= link::kWifSlots; ++i) wifCB->addItem(QString::number(i));
    wifCB->setGeometry(160, 12 + 70, 60, 28);
    connect(miraCB, &QComboBox::currentIndexChanged, this, [this](int i) { link_->setMiraSlot(i + 1); });
    connect(wifCB, &QComboBox::currentIndexChanged, this, [this](int i) { link_->setWifSlot(i + 1); });

    portEdit = new QLineEdit(box);
    portEdit->setObjectName("portEdit");
    portEdit->setMaxLength(3);
    portEdit->setValidator(new QIntValidator(0, 999, portEdit));
    portEdit->setGeometry(160, 12 + 175, 60, 28);
    portEdit->installEventFilter(this);

    portLabel = new QLabel(this);
    portLabel->setObjectName("portLabel");
    portLabel->setGeometry(12, 270, 230, 20);
    portLabel->setWordWrap(false);

    struct {
        QPushButton** b;
        const char* name;
        const char* caption;
        int x, y;
    } buttons[] = {
        {&readButt, "readButt", "Read", 10, 296},
        {&rzProgButt, "rzProgButt", "Write", 130, 296},
        {&delButt, "delButt", "Erase", 10, 336},
        {&rzResetButt, "rzResetButt", "Reset", 130, 336},
        {&prgMemClrButt, "prgMemClrButt", "Clear", 10, 376},
        {&clipSB, "clipSB", "Copy", 130, 376},
    };
    for (const auto& b : buttons) {
        *b.b = new QPushButton(QString::fromLatin1(b.caption), this);
        (*b.b)->setObjectName(QString::fromLatin1(b.name));
        (*b.b)->setGeometry(b.x, b.y, 112, 32);
        (*b.b)->setAutoDefault(false);
    }
    clipSB->setToolTip(QStringLiteral("Copy the messages to the clipboard"));
    connect(readButt, &QPushButton::clicked, this, [this] { link_->readButtClick(); });
    connect(rzProgButt, &QPushButton::clicked, this, [this] {
        link_->rzProgButtClick(QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier));
    });
    connect(delButt, &QPushButton::clicked, this, [this] { link_->delButtClick(); });
    connect(rzResetButt, &QPushButton::clicked, this, [this] { rzResetButtClick(); });
    connect(prgMemClrButt, &QPushButton::clicked, this, [this] {
        if (main_.prompter().askYesNo("Clear information text?")) link_->clearMessages();
    });
    connect(clipSB, &QPushButton::clicked, this, [this] {
        QApplication::clipboard()->setText(messageLines().join(QLatin1Char('\n')));
    });

    imgLed = new LinkLamp(this);
    imgLed->setObjectName("imgLed");
    imgLed->setGeometry(12, 430, 26, 26);
    auto* lampLabel = new QLabel(QStringLiteral("Link activity"), this);
    lampLabel->setGeometry(46, 432, 190, 22);

    rzMemo = new QListWidget(this);
    rzMemo->setObjectName("rzMemo");
    rzMemo->setGeometry(254, 10, 510, 444);
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
    rzMemo->setFont(mono);
    rzMemo->setSelectionMode(QAbstractItemView::ExtendedSelection);
    rzMemo->setUniformItemSizes(true);

    rzProgress = new QProgressBar(this);
    rzProgress->setObjectName("rzProgress");
    rzProgress->setGeometry(254, 464, 510, 22);
    rzProgress->setTextVisible(false);
    rzProgress->setValue(0);
}

void TprogFM::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (activated_) return;
    activated_ = true;
    // Position from the settings; anything off the screen falls back to 0.
    const auto fields = core::splitFields(main_.mainSettings().linkData);
    if (fields.size() >= 2) {
        const QSize screen = this->screen() ? this->screen()->size() : QSize(1024, 768);
        int left = core::parseInt(fields[0], 0), top = core::parseInt(fields[1], 0);
        if (left < 0 || left > screen.width() - 40) left = 0;
        if (top < 0 || top > screen.height() - 40) top = 0;
        if (left || top) move(left, top);
    }
    int port = main_.mainSettings().serialPort;
    if (port < link::kMinPort || port > link::kMaxPort) port = 1;
    serial_->setPort(port);
    serial_->SetActive(true);
    showPortNumber();
    QTimer::singleShot(kOpenSettleMs, this, [this] {
        link_->start();
        controlsChanged();
    });
}

void TprogFM::storePosition() {
    main_.mainSettings().linkData = std::to_string(x()) + "~" + std::to_string(y()) + "~";
}

void TprogFM::closeEvent(QCloseEvent* e) {
    if (!link_->canClose()) {
        e->ignore();
        return;
    }
    storePosition();
    QDialog::closeEvent(e);
}

void TprogFM::reject() {
    if (!link_->canClose()) return;
    storePosition();
    QDialog::reject();
}

bool TprogFM::eventFilter(QObject* o, QEvent* e) {
    if (o == portEdit && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            portEditEnter();
            return true;
        }
        if (key == Qt::Key_Escape) {
            portEditEscape();
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}

void TprogFM::portEditEnter() {
    if (link_->busy()) return;
    bool ok = false;
    const int n = portEdit->text().toInt(&ok);
    if (!ok || n < link::kMinPort || n > link::kMaxPort) {
        showPortNumber();
        return;
    }
    serial_->SetActive(false);
    serial_->setPort(n);
    serial_->SetActive(true);
    showPortNumber();
    QTimer::singleShot(kOpenSettleMs, this, [this, n] {
        if (serial_->Active()) main_.mainSettings().serialPort = n;
        link_->portChanged(serial_->Active());
    });
}

void TprogFM::rzResetButtClick() {
    // During a firmware transfer Reset only asks to stop; the port stays as it is.
    if (link_->programming()) {
        link_->rzResetButtClick();
        return;
    }
    // A board unplugged and plugged in again is a new device: reopen the port as a port
    // change does, then reset.
    serial_->SetActive(false);
    serial_->SetActive(true);
    showPortNumber();
    QTimer::singleShot(kOpenSettleMs, this, [this] {
        link_->resetAfterReopen(serial_->Active(), port_->name());
        controlsChanged();
    });
}

void TprogFM::portEditEscape() {
    link_->select(link::Selection::Memory);
    showPortNumber();
}

void TprogFM::showPortNumber() {
    portEdit->setText(QString::number(serial_->Port()));
    const std::string path = serial_->devicePath();
    portLabel->setText(path.empty() ? QStringLiteral("Port %1: no such device").arg(serial_->Port())
                                    : QStringLiteral("Port %1 = %2").arg(serial_->Port()).arg(QString::fromStdString(path)));
    QStringList all;
    const auto list = link::serialPortList();
    for (size_t i = 0; i < list.size(); ++i) all << QStringLiteral("%1 = %2").arg(i + 1).arg(QString::fromStdString(list[i]));
    portLabel->setToolTip(all.isEmpty() ? QStringLiteral("No serial devices found") : all.join(QLatin1Char('\n')));
}

void TprogFM::radioClicked() {
    link_->select(static_cast<link::Selection>(radios_->checkedId()));
    if (link_->selection() == link::Selection::ComPort) portEdit->setFocus();
}

QStringList TprogFM::messageLines() const {
    QStringList l;
    for (int i = 0; i < rzMemo->count(); ++i) l << rzMemo->item(i)->text();
    return l;
}

void TprogFM::messagesChanged() {
    // Lines come in bursts (a View List is 1024 of them): show them once per event loop turn.
    if (refreshPending_) return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] { refreshMessages(); });
}

void TprogFM::refreshMessages() {
    refreshPending_ = false;
    const auto& m = link_->messages();
    const int n = static_cast<int>(m.size());
    if (n < shownLines_ || (shownLines_ > 0 && rzMemo->count() != shownLines_)) {
        rzMemo->clear();
        shownLines_ = 0;
    }
    // Only the last line shown may have changed since (a mark appended to it).
    if (shownLines_ > 0) rzMemo->item(shownLines_ - 1)->setText(QString::fromLatin1(m[static_cast<size_t>(shownLines_ - 1)].c_str()));
    for (int i = shownLines_; i < n; ++i) rzMemo->addItem(QString::fromLatin1(m[static_cast<size_t>(i)].c_str()));
    shownLines_ = n;
    rzMemo->scrollToBottom();
}

void TprogFM::lampChanged(link::Lamp l) { imgLed->setLamp(l); }

void TprogFM::progressChanged(int value, int maximum) {
    rzProgress->setMaximum(std::max(1, maximum));
    rzProgress->setValue(std::clamp(value, 0, std::max(1, maximum)));
}

void TprogFM::controlsChanged() {
    if (!link_) return;
    const bool boot = link_->forcedBoot();
    const bool idle = !link_->busy() && link_->panelEnabled();
    if (auto* b = radios_->button(static_cast<int>(link_->selection()))) b->setChecked(true);
    const auto en = link::panelEnables(link_->selection(), boot);
    for (auto* b : radios_->buttons()) b->setEnabled(idle && !boot);
    miraCB->setEnabled(idle && !boot);
    wifCB->setEnabled(idle && !boot);
    readButt->setEnabled(idle && en.read);
    rzProgButt->setEnabled((idle || (boot && !link_->busy())) && en.write);
    delButt->setEnabled(idle && en.erase);
    portEdit->setEnabled(idle && en.port);
}

core::OperatingMode TprogFM::emulatorMode() { return main_.machine().options.mode; }

bool TprogFM::switchMode(core::OperatingMode mode) {
    auto& m = main_.machine();
    if (m.run) return false;
    if (m.options.mode == mode) return true;
    m.options.mode = mode;
    m.updateMemorySize();
    m.initMemory(0);
    m.reset();
    main_.assembler().discard();
    main_.ApplyMode();
    return m.options.mode == mode;
}

link::EmulatorOptions TprogFM::emulatorOptions() {
    const auto& o = main_.machine().options;
    return {o.mode == core::OperatingMode::Normal, o.zeroPageMode, o.slowDepositExamine, o.outputResetMode};
}

std::vector<int32_t> TprogFM::memoryWords() {
    const auto& m = main_.machine();
    return {m.memory.begin(), m.memory.begin() + m.memorySize};
}

std::optional<int> TprogFM::assembledLength() {
    const auto& a = main_.assembler();
    if (main_.mainSettings().uploadAll || !a.assembled() || !a.animate()) return std::nullopt;
    // WIF: the upload length; Normal: up to the last word written, so that code placed
    // with an origin is never cut short.
    if (a.dialect() == assembler::Dialect::Wif) return a.uploadLength();
    return a.writtenAddresses().empty() ? 0 : a.writtenAddresses().back() + 1;
}

void TprogFM::copyToMemory(const std::vector<int32_t>& words) {
    auto& m = main_.machine();
    const size_t n = std::min(words.size(), static_cast<size_t>(m.memorySize));
    for (size_t i = 0; i < n; ++i) m.memory[i] = words[i];
    m.breakpoints.fill(0);
    main_.assembler().discard();
    m.observer().allMemoryChanged();
    main_.runControl().publish();
}

std::string TprogFM::defaultProgramName() {
    if (!main_.editFM()) return {};
    const QString base = QFileInfo(main_.editFM()->fileName()).fileName();
    return base.section(QLatin1Char('.'), 0, 0).toLatin1().toStdString();
}

std::optional<std::string> TprogFM::askProgramName(int number, const std::string& defaultName) {
    if (programNameDialog) return programNameDialog(number, defaultName);
    TpgmNameFM d(main_.prompter(), this);
    d.putData(number, defaultName);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.getName();
}

std::optional<int> TprogFM::askHardwareOptions(int current) {
    if (hardwareOptionsDialog) return hardwareOptionsDialog(current);
    ThardOptsFM d(current, this);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.GetData();
}

int TprogFM::askSelection(const std::string& text, int preset) {
    if (selectionDialog) return selectionDialog(text, preset);
    TcbSelFM d(this);
    d.SetMode(text, preset);
    d.exec();
    return d.GetSelected();
}

std::optional<std::filesystem::path> TprogFM::askTextFile() {
    QFileDialog d(this, QStringLiteral("Save Program File"), QString(), QStringLiteral("Text Files (*.txt);;All Files (*.*)"));
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setDefaultSuffix(QStringLiteral("txt"));
    d.selectFile(QStringLiteral("*.txt"));
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(d.selectedFiles().first().toStdString());
}

int TprogFM::displayRadix(bool normal) { return main_.machine().options.radix[normal ? 0 : 1]; }

std::string TprogFM::formatRadix(int64_t value, int radix) { return assembler::FormatRadix(value, radix, true); }

std::string TprogFM::disassemble(int32_t word, bool normal) {
    const bool sameMode = (main_.machine().options.mode == core::OperatingMode::Normal) == normal;
    if (sameMode)
        return assembler::DisassembleWord(word, normal, main_.instructionTable(), displayRadix(normal), normal ? 255 : 1023);
    static std::optional<assembler::InstructionTable> other[2];
    auto& t = other[normal ? 0 : 1];
    if (!t) t = assembler::LoadCompilerData(assembler::findCompilerData(),
                                            normal ? core::OperatingMode::Normal : core::OperatingMode::Wif).table;
    return assembler::DisassembleWord(word, normal, *t, displayRadix(normal), normal ? 255 : 1023);
}

std::filesystem::path TprogFM::dataFile(const std::string& name) {
    // The firmware is shipped, not made: a lab may put it beside the program for everyone.
    if (name == link::kFirmwareFile) return core::findDataFile(name);
    return core::dataFile(name);
}

}  // namespace mira::gui
