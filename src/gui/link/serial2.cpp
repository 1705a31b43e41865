#include "serial2.h"

#include <QSerialPort>
#include <algorithm>

#include "link/port_map.h"

namespace mira::gui {

namespace {

QSerialPort::Parity qtParity(eParity p) {
    switch (p) {
        case eParity::PaOdd: return QSerialPort::OddParity;
        case eParity::paEven: return QSerialPort::EvenParity;
        case eParity::paMark: return QSerialPort::MarkParity;
        case eParity::paSpace: return QSerialPort::SpaceParity;
        default: return QSerialPort::NoParity;
    }
}

QSerialPort::FlowControl qtFlow(eFlowControl f) {
    switch (f) {
        case eFlowControl::fcRTS_CTS: return QSerialPort::HardwareControl;
        case eFlowControl::fcXON_XOF: return QSerialPort::SoftwareControl;
        default: return QSerialPort::NoFlowControl;
    }
}

}  // namespace

TSerial::TSerial(core::Prompter& prompter, QObject* parent)
    : QObject(parent), prompter_(prompter), serial_(std::make_unique<QSerialPort>()) {
    connect(serial_.get(), &QSerialPort::readyRead, this, [this] { readyRead(); });
    connect(serial_.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError && serial_->isOpen()) lost_ = true;
    });
    connect(serial_.get(), &QSerialPort::bytesWritten, this, [this](qint64) {
        if (serial_->bytesToWrite() == 0 && OnTxEmpty) OnTxEmpty(this);
    });
}

TSerial::~TSerial() { SetActive(false); }

bool TSerial::Active() const { return serial_->isOpen(); }

std::string TSerial::devicePath() const { return link::devicePathForPort(port_).value_or(std::string()); }

void TSerial::report(int code, const std::string& text) {
    errorCode_ = code;
    switch (NotifyErrors) {
        case eNotifyErr::neDialog: prompter_.error(text); break;
        case eNotifyErr::neEvent:
            if (OnError) OnError(this);
            break;
        case eNotifyErr::neNone: break;
    }
}

void TSerial::SetActive(bool open) {
    if (serial_->isOpen()) {
        closing_ = true;
        serial_->clear();
        serial_->setDataTerminalReady(false);
        serial_->setRequestToSend(false);
        serial_->clearError();
        serial_->close();
        closing_ = false;
    }
    lost_ = false;
    if (!open) return;
    const std::string path = devicePath();
    if (path.empty()) {
        report(QSerialPort::DeviceNotFoundError,
               "The serial port " + std::to_string(port_) + " does not exist");
        return;
    }
    serial_->setPortName(QString::fromStdString(path));
    serial_->setReadBufferSize(rxQueue_);
    if (!serial_->open(QIODevice::ReadWrite)) {
        const int code = serial_->error();
        const std::string text = path + ": " + serial_->errorString().toStdString();
        serial_->clearError();
        report(code, text);
        return;
    }
    const bool ok = serial_->setBaudRate(baud_) && serial_->setParity(qtParity(parity_)) &&
                    serial_->setDataBits(dataBits_ == eDataBits::d8bit ? QSerialPort::Data8 : QSerialPort::Data7) &&
                    serial_->setStopBits(stopBits_ == eStopBits::st2bit ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
                    serial_->setFlowControl(qtFlow(flow_));
    // As with a device that refuses one setting: the port stays open and the failure is
    // reported (a pseudo-terminal, for one, keeps 8 data bits whatever it is told).
    if (!ok) {
        const int code = serial_->error();
        const std::string text = path + ": " + serial_->errorString().toStdString();
        serial_->clearError();
        report(code, text);
    }
    // Pseudo-terminals have no modem lines; that is no reason to refuse the port.
    serial_->setDataTerminalReady(true);
    serial_->setRequestToSend(true);
    serial_->clearError();
    framer_ = {};
    ++openCount_;
}

void TSerial::reopen() { SetActive(Active()); }

void TSerial::setPort(int n) {
    if (n == port_) return;
    port_ = std::clamp(n, link::kMinPort, link::kMaxPort);
    reopen();
}

void TSerial::setBaudrate(int rate) {
    if (std::find(std::begin(kValidBaudRates), std::end(kValidBaudRates), rate) == std::end(kValidBaudRates)) {
        prompter_.error("Baudrate is not valid");
        return;
    }
    if (rate == baud_) return;
    baud_ = rate;
    reopen();
}

void TSerial::setParity(eParity p) {
    if (p == parity_) return;
    parity_ = p;
    reopen();
}

void TSerial::setDataBits(eDataBits d) {
    if (d == dataBits_) return;
    dataBits_ = d;
    reopen();
}

void TSerial::setStopBits(eStopBits s) {
    if (s == stopBits_) return;
    stopBits_ = s;
    reopen();
}

void TSerial::setRxQueueSize(int n) {
    rxQueue_ = n & 0xFFFF;
    reopen();
}

void TSerial::setTxQueueSize(int n) {
    txQueue_ = n & 0xFFFF;
    reopen();
}

void TSerial::setFlowMode(eFlowControl f) {
    if (f == flow_) return;
    flow_ = f;
    reopen();
}

void TSerial::setCheckParity(bool on) {
    if (on == checkParity_) return;
    checkParity_ = on;
    reopen();
}

int TSerial::RxWaiting() const { return Active() ? static_cast<int>(serial_->bytesAvailable()) : 0; }
int TSerial::TxWaiting() const { return Active() ? static_cast<int>(serial_->bytesToWrite()) : 0; }

bool TSerial::WriteChar(char c) { return WriteString(std::string(1, c)); }

bool TSerial::WriteString(const std::string& text) {
    if (!Active()) return false;
    const qint64 n = serial_->write(text.data(), static_cast<qint64>(text.size()));
    serial_->flush();
    if (n != static_cast<qint64>(text.size())) {
        const int code = serial_->error();
        const std::string msg = serial_->errorString().toStdString();
        serial_->clearError();
        report(code, msg);
        return false;
    }
    return true;
}

int TSerial::ReadByte(uint8_t& byte) {
    if (!Active() || serial_->bytesAvailable() <= 0) return 0;
    char c = 0;
    if (serial_->read(&c, 1) != 1) return 0;
    byte = static_cast<uint8_t>(c);
    return 1;
}

void TSerial::SetLine(int line, bool on) {
    if (!Active()) return;
    if (line == 1) serial_->setDataTerminalReady(on);
    else serial_->setRequestToSend(on);
    serial_->clearError();
}

void TSerial::readyRead() {
    if (closing_) return;
    if (RxEventMode == eOpModes::rxNormal) {
        if (OnRxData) OnRxData(this);
        return;
    }
    if (!OnMessage) return;
    framer_.setStartChar(MessageStartChar);
    framer_.setEndChar(MessageEndChar);
    framer_.setAppendCount(MessageAppendCount);
    uint8_t b = 0;
    while (ReadByte(b) == 1)
        if (auto m = framer_.feed(b)) OnMessage(this, *m);
}

}  // namespace mira::gui
