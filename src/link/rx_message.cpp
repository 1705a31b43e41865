#include "rx_message.h"

namespace mira::link {

std::optional<std::string> RxMessageFramer::feed(unsigned char byte) {
    const char ch = static_cast<char>(byte);
    if (state_ == Appending) {
        message_ += ch;
        if (--remaining_ <= 0) {
            state_ = Complete;
            return message_;
        }
        return std::nullopt;
    }
    if (byte == start_) {
        message_.assign(1, ch);
        state_ = Inside;
        return std::nullopt;
    }
    if (byte == end_) {
        if (state_ != Inside) return std::nullopt;
        message_ += ch;
        if (appendCount_ > 0) {
            state_ = Appending;
            remaining_ = appendCount_;
            return std::nullopt;
        }
        state_ = Complete;
        return message_;
    }
    if (state_ == Inside) message_ += ch;
    return std::nullopt;
}

}  // namespace mira::link
