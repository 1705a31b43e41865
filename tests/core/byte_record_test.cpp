// The bounded record of sent bytes that keeps long headless runs flat in memory.
#include "core/byte_record.h"

#include <gtest/gtest.h>

namespace mira::core {
namespace {

TEST(ByteRecord, KeepsTheMostRecentBytesInOrderAndCountsThemAll) {
    ByteRecord r(4);
    EXPECT_TRUE(r.empty());
    for (int b : {1, 2, 3}) r.push(b);
    EXPECT_EQ(r.kept(), (std::vector<int>{1, 2, 3}));
    for (int b : {4, 5, 6, 7, 8, 9}) r.push(b);
    EXPECT_EQ(r.kept(), (std::vector<int>{6, 7, 8, 9}));
    EXPECT_EQ(r.total(), 9u);

    ByteRecord big;
    for (int i = 0; i < 70000; ++i) big.push(i & 255);
    const auto kept = big.kept();
    ASSERT_EQ(kept.size(), ByteRecord::kDefaultKept);
    EXPECT_EQ(kept.front(), (70000 - 65536) & 255);
    EXPECT_EQ(kept.back(), 69999 & 255);
    EXPECT_EQ(big.total(), 70000u);
}

}  // namespace
}  // namespace mira::core
