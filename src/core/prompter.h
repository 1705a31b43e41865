// Questions and messages that logic must put to the user. The application shows message
// boxes with the exact texts; tests and the CLI script the answers.
#pragma once

#include <string>

namespace mira::core {

enum class Answer { Yes, No, Cancel };

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void info(const std::string& text) = 0;
    virtual void error(const std::string& text) = 0;
    virtual bool askYesNo(const std::string& text) = 0;
    virtual Answer askYesNoCancel(const std::string& text) = 0;
};

}  // namespace mira::core
