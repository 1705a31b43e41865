// TaddrFM "Memory Address Range": picks the From and To addresses of a tape save.
#pragma once

#include <QDialog>

#include "core/prompter.h"

class QComboBox;
class QPushButton;

namespace mira::gui {

// Shown when To is below From; the dialog stays open.
inline constexpr const char* kRangeReversed = "Error: To Address must not be below From Address";

class TaddrFM final : public QDialog {
public:
    static constexpr int kLastAddress = 255;

    explicit TaddrFM(core::Prompter* prompter = nullptr, QWidget* parent = nullptr);

    // Entries to preselect; an index outside the list becomes 0 (From) or 255 (To).
    void SetLimits(int from, int to);
    int GetFrom() const;
    int GetTo() const;
    void okSBClick();

    QComboBox* fromCB = nullptr;
    QComboBox* toCB = nullptr;
    QPushButton* okSB = nullptr;
    QPushButton* canSB = nullptr;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void fillLists();
    core::Prompter* prompter_;
    int from_ = 0;
    int to_ = kLastAddress;
};

}  // namespace mira::gui
