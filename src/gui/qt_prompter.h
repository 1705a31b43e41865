// Message boxes for the questions and messages the logic asks through core::Prompter.
#pragma once

#include <QWidget>

#include "core/prompter.h"

namespace mira::gui {

// A box belongs to the window the user was working in (the editor for an assembler error,
// a module for its own question), not always to the panel, so that the focus comes back
// there when it closes (installFocusReturn).
// The least width of a message box: its title stays whole in the title bar.
int messageBoxMinimumWidth(const QWidget& box);

class QtPrompter final : public core::Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void info(const std::string& text) override;
    void error(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    core::Answer askYesNoCancel(const std::string& text) override;

private:
    QWidget* parent_;
};

}  // namespace mira::gui
