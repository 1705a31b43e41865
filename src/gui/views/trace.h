// The code trace window `TtraceFM` ("Code Trace"): the lines of the trace
// buffer in a memo, saved to a text file or cleared from its File menu.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "core/prompter.h"

class QPlainTextEdit;

namespace mira::gui {

class TtraceFM final : public QDialog {
public:
    static constexpr const char* kClearQuestion = "Continue and clear the trace buffer?";

    // `lines` is the trace buffer as shown; `clearBuffer` empties the buffer itself.
    TtraceFM(std::vector<std::string> lines, std::function<void()> clearBuffer,
             core::Prompter& prompter, QWidget* parent = nullptr);

    QPlainTextEdit* memo() const { return traceMemo; }

    // The file "Save" writes to, empty when the user cancels; a save dialog by default,
    // replaced by tests.
    std::function<QString()> chooseSaveFile;

    void Save1Click();
    void Clear1Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void FormActivate();
    QString OpenDialog1();

    std::vector<std::string> lines_;
    std::function<void()> clearBuffer_;
    core::Prompter& prompter_;
    bool activated_ = false;
    QPlainTextEdit* traceMemo = nullptr;
};

}  // namespace mira::gui
