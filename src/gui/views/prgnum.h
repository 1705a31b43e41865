// TprgnumFM "Memory Value": picks one of the byte values 0..255, listed in the radix.
#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

namespace mira::gui {

class TprgnumFM final : public QDialog {
public:
    explicit TprgnumFM(int radix, QWidget* parent = nullptr);
    // Preselects an entry; an index outside the list picks entry 0.
    void SetIndex(int index);
    int GetIndex() const;

    QComboBox* pgnCB = nullptr;
    QPushButton* okSB = nullptr;
    QPushButton* canSB = nullptr;
};

}  // namespace mira::gui
