// Placing roll lines on host printer pages: margins and sizes from the resolution, two
// columns a page, the column break at the bottom margin.
#include <gtest/gtest.h>

#include "devices/print_layout.h"

namespace mira::devices {
namespace {

TEST(PrintLayout, SizesFromTheResolution) {
    // A4 at 300 dpi: 2480 x 3508.
    const PrintLayout l = printLayout(300, 2480, 3508);
    EXPECT_EQ(l.margin, 225);
    EXPECT_EQ(l.lineHeight, 45);
    EXPECT_EQ(l.lineWidth, (2480 - 450) / 2 - 90);
    EXPECT_EQ(l.pitch, 59);  // 58.5 rounds up
    // 150 dpi: 112.5 rounds to 113, 113 / 5 = 22, 1.3 * 22 = 28.6.
    const PrintLayout m = printLayout(150, 1240, 1754);
    EXPECT_EQ(m.margin, 113);
    EXPECT_EQ(m.lineHeight, 22);
    EXPECT_EQ(m.pitch, 29);
}

TEST(PrintLayout, TwoColumnsThenANewPage) {
    // 96 dpi: margin 72, height 14, pitch 18. A page 600 high holds the places 72 .. 528
    // (72 + 25 * 18 = 522 is the last not below 600 - 72), so 26 lines a column.
    const PrintLayout l = printLayout(96, 500, 600);
    ASSERT_EQ(l.pitch, 18);
    const auto p = placePrintLines(l, 60);
    ASSERT_EQ(p.size(), 60u);
    EXPECT_EQ(p[0].x, 72);
    EXPECT_EQ(p[0].y, 72);
    EXPECT_EQ(p[25].y, 72 + 25 * 18);
    EXPECT_EQ(p[25].x, 72);
    EXPECT_EQ(p[26].x, 250);  // half the page width
    EXPECT_EQ(p[26].y, 72);
    EXPECT_EQ(p[26].page, 0);
    EXPECT_EQ(p[51].page, 0);
    EXPECT_EQ(p[52].page, 1);
    EXPECT_EQ(p[52].x, 72);
    EXPECT_EQ(p[52].y, 72);
    EXPECT_EQ(printPageCount(l, 52), 1);
    EXPECT_EQ(printPageCount(l, 53), 2);
    EXPECT_EQ(printPageCount(l, 0), 0);
}

TEST(PrintLayout, PageSmallerThanItsMarginsStillEnds) {
    const PrintLayout l = printLayout(96, 100, 100);
    const auto p = placePrintLines(l, 5);
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[4].page, 2);
    EXPECT_EQ(printPageCount(printLayout(1, 10, 10), 4), 2);
}

}  // namespace
}  // namespace mira::devices
