// The options dialog `ToptsFM` ("MIRA-8 Options"): operating mode, display
// radix per mode, fast run speed and its saved default, output reset cycle, sound, what is
// cleared before assembling, page zero mode, slow examine/deposit, upload and breakpoint
// options. It edits a copy of the values; the main window applies them.
#pragma once

#include <QDialog>
#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace mira::gui {

// Every value the dialog edits, as the main window hands them over.
struct OptionValues {
    bool wif = false;                 // operating mode
    std::array<int, 2> radix{2, 0};   // display radix: Normal (0..3), WIF (0..1)
    int fastRunSpeed = 200;           // 100..900
    int defaultFastRunSpeed = 200;    // "Save Speed as Default"
    bool outputResetSecond = true;    // T13 (Normal) / AO (WIF)
    bool soundEffects = true;
    bool clearMemory = false;
    bool clearRam = false;
    bool clearEeprom = false;
    bool zeroPage = false;
    bool slowDepositExamine = false;
    bool uploadAll = true;            // the inverse of "Upload only assembled code"
    bool autoSlowStep = false;
};

class ToptsFM final : public QDialog {
public:
    static constexpr int kSpeedMin = 100;
    static constexpr int kSpeedMax = 900;
    static constexpr int kSpeedFallback = 200;

    // `values` is read at the first activation and written on Accept; a radix chosen in
    // the list is written at once (Cancel does not undo it).
    explicit ToptsFM(OptionValues& values, QWidget* parent = nullptr);

    // The mode-changed result of the last Accept.
    bool GetWIchange() const { return wiChange_; }

    // A stored speed as the bar shows it: 100..900, anything else 200.
    static int validSpeed(int speed);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void FormActivate();
    // Labels, enabling and the radix list for the mode the buttons show.
    void OMRBMouseUp();
    void radixCBChange(int index);
    void okSBClick();
    bool shownWif() const;

    OptionValues& v_;
    bool activated_ = false;
    bool wiChange_ = false;
    int defaultSpeed_ = kSpeedFallback;

    QRadioButton* OMnormRB = nullptr;
    QRadioButton* OMwifRB = nullptr;
    QComboBox* radixCB = nullptr;
    QScrollBar* speedSB = nullptr;
    QLabel* speedLabel = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    QPushButton* SpeedButton2 = nullptr;
    QRadioButton* T1RB = nullptr;
    QRadioButton* T13RB = nullptr;
    QCheckBox* soundCB = nullptr;
    QCheckBox* assemCB = nullptr;
    QCheckBox* ramassCB = nullptr;
    QCheckBox* eepassCB = nullptr;
    QGroupBox* PZgroup = nullptr;  // carries the "Page Zero Mode" label
    QRadioButton* PZonRB = nullptr;
    QRadioButton* PZoffRB = nullptr;
    QCheckBox* allowCB = nullptr;
    QCheckBox* uploadCB = nullptr;
    QCheckBox* autoBreakCB = nullptr;
    QPushButton* okSB = nullptr;
    QPushButton* canSB = nullptr;
};

}  // namespace mira::gui
