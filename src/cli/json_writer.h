// A minimal JSON emitter for the CLI's machine reports. Given a stream it writes as it
// goes, so a report with long lists never sits whole in memory.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace mira::cli {

class JsonWriter {
public:
    JsonWriter() = default;
    // Text goes to `sink` in pieces; call finish() after the last value.
    explicit JsonWriter(std::ostream& sink) : sink_(&sink) {}
    void finish();
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(std::string_view k);
    JsonWriter& value(int64_t v);
    JsonWriter& value(bool v);
    JsonWriter& value(std::string_view v);
    JsonWriter& value(const char* v) { return value(std::string_view(v)); }
    template <class Range>
    JsonWriter& intArray(const Range& r) {
        beginArray();
        for (const auto& x : r) value(static_cast<int64_t>(x));
        return endArray();
    }
    // Without a sink: the whole text.
    const std::string& str() const { return out_; }

private:
    static constexpr size_t kFlushAt = 64 * 1024;
    void separator();
    void flushIfLarge() {
        if (sink_ && out_.size() >= kFlushAt) finish();
    }
    std::ostream* sink_ = nullptr;
    void writeString(std::string_view v);
    std::string out_;
    std::vector<bool> first_;
    bool afterKey_ = false;
};

}  // namespace mira::cli
