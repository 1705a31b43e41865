// The serial component's framed receive mode: a message runs from a start character to an
// end character, followed by a fixed count of further characters.
#pragma once

#include <optional>
#include <string>

namespace mira::link {

class RxMessageFramer {
public:
    enum State { Idle = 0, Inside = 1, Appending = 2, Complete = 3 };

    void setStartChar(unsigned char c) { start_ = c; }
    void setEndChar(unsigned char c) { end_ = c; }
    void setAppendCount(int n) { appendCount_ = n; }

    // Takes one received byte; returns the message when this byte completed one.
    std::optional<std::string> feed(unsigned char byte);
    State state() const { return state_; }

private:
    unsigned char start_ = 2;
    unsigned char end_ = 3;
    int appendCount_ = 0;
    State state_ = Idle;
    int remaining_ = 0;
    std::string message_;
};

}  // namespace mira::link
