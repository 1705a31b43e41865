// TprogFM, "MIRA-8 USB Interface": the window that reads and writes a MIRA-8 board over
// the serial link. The protocol is link::BoardLink; this window owns the port, shows the
// message list and answers the link's questions with the emulator's state and dialogs.
#pragma once

#include <QDialog>
#include <memory>

#include "link/board_link.h"
#include "qt_timer.h"
#include "serial2.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace mira::gui {

class TmiraFM;

// The status lamp: red, green or off.
class LinkLamp final : public QWidget {
public:
    explicit LinkLamp(QWidget* parent) : QWidget(parent) {}
    void setLamp(link::Lamp l) {
        lamp_ = l;
        update();
    }
    link::Lamp lamp() const { return lamp_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    link::Lamp lamp_ = link::Lamp::Off;
};

class TprogFM final : public QDialog, public link::LinkHost {
public:
    explicit TprogFM(TmiraFM& main, QWidget* parent = nullptr);
    ~TprogFM() override;

    // The window that is open now, if any (the main window asks it before closing).
    static TprogFM* current();
    link::BoardLink& boardLink() { return *link_; }
    TSerial& Serial1() { return *serial_; }
    // Text of the message list as shown.
    QStringList messageLines() const;

    // Controls, by their names.
    QRadioButton* dirRB = nullptr;
    QRadioButton* miraRB = nullptr;
    QRadioButton* wifRB = nullptr;
    QRadioButton* memRB = nullptr;
    QRadioButton* optsRB = nullptr;
    QRadioButton* comPortRB = nullptr;
    QRadioButton* calcDrivRB = nullptr;
    QComboBox* miraCB = nullptr;
    QComboBox* wifCB = nullptr;
    QPushButton* readButt = nullptr;
    QPushButton* rzProgButt = nullptr;
    QPushButton* delButt = nullptr;
    QPushButton* rzResetButt = nullptr;
    QPushButton* prgMemClrButt = nullptr;
    QPushButton* clipSB = nullptr;
    QLineEdit* portEdit = nullptr;
    QLabel* portLabel = nullptr;
    QListWidget* rzMemo = nullptr;
    QProgressBar* rzProgress = nullptr;
    LinkLamp* imgLed = nullptr;

    // LinkHost
    void messagesChanged() override;
    void lampChanged(link::Lamp l) override;
    void progressChanged(int value, int maximum) override;
    void controlsChanged() override;
    core::OperatingMode emulatorMode() override;
    bool switchMode(core::OperatingMode mode) override;
    link::EmulatorOptions emulatorOptions() override;
    std::vector<int32_t> memoryWords() override;
    std::optional<int> assembledLength() override;
    void copyToMemory(const std::vector<int32_t>& words) override;
    std::string defaultProgramName() override;
    std::optional<std::string> askProgramName(int number, const std::string& defaultName) override;
    std::optional<int> askHardwareOptions(int current) override;
    int askSelection(const std::string& text, int preset) override;
    std::optional<std::filesystem::path> askTextFile() override;
    int displayRadix(bool normal) override;
    std::string formatRadix(int64_t value, int radix) override;
    std::string disassemble(int32_t word, bool normal) override;
    std::filesystem::path dataFile(const std::string& name) override;

    // Dialog hooks: tests replace them to answer without a modal loop.
    std::function<std::optional<std::string>(int, const std::string&)> programNameDialog;
    std::function<std::optional<int>(int)> hardwareOptionsDialog;
    std::function<int(const std::string&, int)> selectionDialog;

    void portEditEnter();
    // Reset: reopens the port, then the reset sequence (a stop request while firmware is
    // programmed).
    void rzResetButtClick();
    void portEditEscape();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void buildControls();
    void radioClicked();
    void refreshMessages();
    void showPortNumber();
    void storePosition();

    TmiraFM& main_;
    QtTimerFactory timers_;
    std::unique_ptr<TSerial> serial_;
    std::unique_ptr<link::BytePort> port_;
    std::unique_ptr<link::BoardLink> link_;
    QButtonGroup* radios_ = nullptr;
    bool activated_ = false;
    bool refreshPending_ = false;
    int shownLines_ = 0;
    std::string shownLast_;
};

}  // namespace mira::gui
