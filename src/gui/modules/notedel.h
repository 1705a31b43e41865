// "Note Delay Adjust" `TnotdelFM`: the melody player's length unit, 50 to 500 ms.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QScrollBar;

namespace mira::gui {

class TnotdelFM final : public QDialog {
public:
    TnotdelFM(int noteDelay, QWidget* parent = nullptr);

    // The bar's value; what okSB stores as the note delay.
    int value() const;
    QScrollBar* bar() const { return speedSB; }
    QLabel* valueLabel() const { return valLabel; }

private:
    QScrollBar* speedSB = nullptr;
    QLabel* valLabel = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    QPushButton* okSB = nullptr;
    QPushButton* canSB = nullptr;
};

}  // namespace mira::gui
