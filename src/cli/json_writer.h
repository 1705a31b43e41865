// A minimal JSON emitter for the CLI's machine reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mira::cli {

class JsonWriter {
public:
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
    const std::string& str() const { return out_; }

private:
    void separator();
    void writeString(std::string_view v);
    std::string out_;
    std::vector<bool> first_;
    bool afterKey_ = false;
};

}  // namespace mira::cli
