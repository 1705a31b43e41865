#include "json_writer.h"

#include <cstdio>

namespace mira::cli {

void JsonWriter::finish() {
    if (!sink_) return;
    *sink_ << out_;
    out_.clear();
}

void JsonWriter::separator() {
    flushIfLarge();
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) out_ += ',';
        first_.back() = false;
    }
}

JsonWriter& JsonWriter::beginObject() {
    separator();
    out_ += '{';
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    out_ += '}';
    first_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    separator();
    out_ += '[';
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    out_ += ']';
    first_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view k) {
    separator();
    writeString(k);
    out_ += ':';
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(int64_t v) {
    separator();
    out_ += std::to_string(v);
    return *this;
}

JsonWriter& JsonWriter::value(bool v) {
    separator();
    out_ += v ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view v) {
    separator();
    writeString(v);
    return *this;
}

void JsonWriter::writeString(std::string_view v) {
    out_ += '"';
    for (const char ch : v) {
        const auto u = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out_ += '\\';
            out_ += ch;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out_ += buf;
        } else {
            out_ += ch;
        }
    }
    out_ += '"';
}

}  // namespace mira::cli
