// TSerial: the numbered serial port component on QSerialPort. Received bytes arrive
// through readyRead on the UI thread, so the events need no thread of their own.
//
// How the settings reach the platform:
// - Port n is the n-th device of link::serialPortList() (see link/port_map.h).
// - Baudrate, Parity, DataBits, StopBits go to QSerialPort as they are; FlowMode
//   fcRTS_CTS is hardware flow control, fcXON_XOF software flow control, fcDTR_DSR (which
//   Linux does not offer) and fcNone none.
// - RxQueueSize bounds QSerialPort's read buffer; TxQueueSize, CheckParity, the XON/XOFF
//   limits and the error replacement character have no counterpart and are kept only.
// - DTR and RTS are raised on open; a device without modem lines (a pseudo-terminal)
//   refuses, which is not an error.
// - QSerialPort reports no modem-line, break or ring events; OnSignalChange, OnBreak and
//   OnRing are kept for the interface and never raised here.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/prompter.h"
#include "link/rx_message.h"

class QSerialPort;

namespace mira::gui {

enum class eParity { paNone, PaOdd, paEven, paMark, paSpace };
enum class eDataBits { d7bit, d8bit };
enum class eStopBits { st1bit, st2bit };
enum class eFlowControl { fcNone, fcRTS_CTS, fcDTR_DSR, fcXON_XOF };
enum class eOpModes { rxNormal, rxMessage };
enum class eNotifyErr { neDialog, neEvent, neNone };
enum class eModemInSignal { msCTS, msDSR, msRLSD };

class TSerial final : public QObject {
public:
    static constexpr int kValidBaudRates[] = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                                             19200, 38400, 56000, 57600, 115200, 128000, 256000};

    // `prompter` shows the neDialog errors.
    explicit TSerial(core::Prompter& prompter, QObject* parent = nullptr);
    ~TSerial() override;

    // Properties; every setter of a changed value reopens an open port.
    int Port() const { return port_; }
    void setPort(int n);
    int Baudrate() const { return baud_; }
    void setBaudrate(int rate);
    eParity Parity() const { return parity_; }
    void setParity(eParity p);
    eDataBits DataBits() const { return dataBits_; }
    void setDataBits(eDataBits d);
    eStopBits StopBits() const { return stopBits_; }
    void setStopBits(eStopBits s);
    int RxQueueSize() const { return rxQueue_; }
    void setRxQueueSize(int n);
    int TxQueueSize() const { return txQueue_; }
    void setTxQueueSize(int n);
    eFlowControl FlowMode() const { return flow_; }
    void setFlowMode(eFlowControl f);
    bool CheckParity() const { return checkParity_; }
    void setCheckParity(bool on);
    eOpModes RxEventMode = eOpModes::rxNormal;
    unsigned char MessageStartChar = 2;
    unsigned char MessageEndChar = 3;
    int MessageAppendCount = 0;
    eNotifyErr NotifyErrors = eNotifyErr::neDialog;
    int ErrorCode() const { return errorCode_; }
    int RxWaiting() const;
    int TxWaiting() const;

    std::function<void(TSerial*)> OnRxData;
    std::function<void(TSerial*)> OnTxEmpty;
    std::function<void(TSerial*, const std::string&)> OnMessage;
    std::function<void(TSerial*)> OnError;
    std::function<void(TSerial*)> OnBreak;
    std::function<void(TSerial*)> OnRing;
    std::function<void(TSerial*, eModemInSignal, bool)> OnSignalChange;

    bool Active() const;
    void SetActive(bool open);
    // The device the port number names now (empty when none).
    std::string devicePath() const;
    // How many times the port was opened; lets tests see a reopen.
    int openCount() const { return openCount_; }
    // The device went away while open (a USB board unplugged).
    bool Lost() const { return lost_; }

    bool WriteChar(char c);
    bool WriteString(const std::string& text);
    // 1 with the byte, 0 when none is waiting.
    int ReadByte(uint8_t& byte);
    // Line 1 = DTR, line 0 = RTS.
    void SetLine(int line, bool on);

private:
    void reopen();
    void report(int code, const std::string& text);
    void readyRead();

    core::Prompter& prompter_;
    std::unique_ptr<QSerialPort> serial_;
    int port_ = 1;
    int baud_ = 9600;
    eParity parity_ = eParity::paNone;
    eDataBits dataBits_ = eDataBits::d7bit;
    eStopBits stopBits_ = eStopBits::st1bit;
    int rxQueue_ = 1024;
    int txQueue_ = 1024;
    eFlowControl flow_ = eFlowControl::fcNone;
    bool checkParity_ = true;
    int errorCode_ = 0;
    int openCount_ = 0;
    bool closing_ = false;
    bool lost_ = false;
    link::RxMessageFramer framer_;
};

}  // namespace mira::gui
