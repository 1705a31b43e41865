// The cassette's playlist dialog TplFM: the playlist one entry per line, accepted only
// when no line holds the "~" the settings lines use as a separator.
#pragma once

#include <QDialog>

#include "devices/mag_tape.h"

class QPlainTextEdit;
class QToolButton;

namespace mira::gui {

class TplFM final : public QDialog {
public:
    TplFM(devices::MagTape& mag, QWidget* parent);

    QPlainTextEdit* memo() const { return Memo1; }
    void okSBClick();

private:
    devices::MagTape& mag_;
    QPlainTextEdit* Memo1 = nullptr;
    QToolButton* okSB = nullptr;
    QToolButton* canSB = nullptr;
};

}  // namespace mira::gui
