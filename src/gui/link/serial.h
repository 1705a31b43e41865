// TserialFM, "Serial Test Port": a terminal stand-in on the WIF machine's serial port. It
// shows the last byte the program sent and offers one chosen byte to read; Mirror sends
// every received byte back, at once or after a delay.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "core/serial_test_port.h"
#include "core/snapshot.h"
#include "core/timer.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace mira::gui {

class TserialFM final : public QWidget, public core::SerialTestPort, public core::StatePart {
public:
    explicit TserialFM(core::TimerFactory& timers, QWidget* parent = nullptr);
    ~TserialFM() override;

    // SerialTestPort
    bool isVisible() const override { return QWidget::isVisible(); }
    void SetSerInLabel(int value) override;
    int GetSERIN() override;
    // "ON" or "OFF"; the main window calls it for every kChangeSerial it is told of.
    void SetSerialAccess(bool on);

    // Machine states (core::SerialPortState): the byte shown, the byte offered while Ready
    // is checked, the mirror and its running delay.
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

    // Left~Top~; values off the screen become 0.
    std::string GetScreenData() const;
    void PutScreenData(const std::string& line, int screenWidth, int screenHeight);

    QLabel* serinLabel = nullptr;
    QComboBox* serCB = nullptr;
    QCheckBox* serRdyCB = nullptr;
    QCheckBox* mirrorCB = nullptr;
    QComboBox* mirDelCB = nullptr;
    QLabel* mirDelLabel = nullptr;
    QLabel* accessLabel = nullptr;
    QPushButton* canSB = nullptr;
    std::unique_ptr<core::Timer> mirrorTimer;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void mirrorChanged();
    int received_ = 0;
    bool opened_ = false;
};

}  // namespace mira::gui
