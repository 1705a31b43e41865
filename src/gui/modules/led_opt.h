// "LED Display Options": the digit format, LED or Nixie, and the ready delay of one LED
// display.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace mira::gui {

class TledOptFM final : public QDialog {
public:
    static constexpr int kReadyMin = 2000;
    static constexpr int kReadyMax = 20000;

    explicit TledOptFM(QWidget* parent = nullptr);

    void PutData(int readyDelay, int format, bool led, bool octal, bool nixieAvailable = true);
    int GetMode() const;
    int GetScroll() const;
    bool GetDisplay() const;
    QString readyText() const;

    // The label follows the bar only when a scroll ends.
    void readySBScroll();

private:
    bool octal_ = true;
    QRadioButton* normRB = nullptr;
    QRadioButton* miraRB = nullptr;
    QRadioButton* tcRB = nullptr;
    QRadioButton* hexRB = nullptr;
    QRadioButton* ledRB = nullptr;
    QRadioButton* nixieRB = nullptr;
    QScrollBar* readySB = nullptr;
    QLabel* readyLabel = nullptr;
    QPushButton* okSB = nullptr;
    QPushButton* canSB = nullptr;
};

}  // namespace mira::gui
