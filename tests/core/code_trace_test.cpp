#include <gtest/gtest.h>

#include "core/code_trace.h"

namespace mira::core {
namespace {

TEST(CodeTrace, DropsOldestBeyondCapacity) {
    CodeTrace trace;
    for (int i = 0; i < CodeTrace::kCapacity + 3; ++i) trace.add(i);
    EXPECT_EQ(trace.size(), CodeTrace::kCapacity);
    EXPECT_EQ(trace.addressAt(0), 3);
    EXPECT_EQ(trace.addressAt(CodeTrace::kCapacity - 1), CodeTrace::kCapacity + 2);
    EXPECT_EQ(trace.addressAt(CodeTrace::kCapacity), -1);
}

TEST(CodeTrace, LinesFormatAddressesAndKeepLoadedText) {
    CodeTrace trace;
    trace.addLine("0010\tloaded");
    trace.add(0x2A);
    const auto lines = trace.lines([](int32_t a) { return "addr " + std::to_string(a); });
    EXPECT_EQ(lines, (std::vector<std::string>{"0010\tloaded", "addr 42"}));
    trace.clear();
    EXPECT_EQ(trace.size(), 0);
    trace.add(1);
    EXPECT_EQ(trace.lines([](int32_t) { return std::string("x"); }).size(), 1u);
}

TEST(CodeTrace, WifAddressesAreFourHexDigits) {
    EXPECT_EQ(wifTraceAddress(0), "0000");
    EXPECT_EQ(wifTraceAddress(1023), "03FF");
    EXPECT_EQ(wifTraceAddress(0x2AB), "02AB");
}

}  // namespace
}  // namespace mira::core
