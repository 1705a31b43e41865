// Field lists, value conventions and window positions of the data files.
#include <gtest/gtest.h>

#include "core/field_list.h"

namespace mira::core {
namespace {

TEST(FieldList, FieldsCountFromZeroAndMissingAreEmpty) {
    const std::string list = "10~20~~abc~";
    EXPECT_EQ(fieldAt(list, 0), "10");
    EXPECT_EQ(fieldAt(list, 1), "20");
    EXPECT_EQ(fieldAt(list, 2), "");
    EXPECT_EQ(fieldAt(list, 3), "abc");
    EXPECT_EQ(fieldAt(list, 4), "");
    EXPECT_EQ(fieldAt(list, -1), "");
    EXPECT_EQ(fieldAt("unterminated", 0), "") << "a field needs its closing ~";
}

TEST(FieldList, TildeInsideAValueShiftsLaterFields) {
    FieldListBuilder b;
    b.add("a~b").add(7);
    EXPECT_EQ(fieldAt(b.str(), 1), "b");
    EXPECT_EQ(fieldAt(b.str(), 2), "7");
}

TEST(FieldList, BuilderRoundTrip) {
    FieldListBuilder b;
    b.add(-5).addBool(true).addBool(false).add("x y");
    EXPECT_EQ(b.str(), "-5~-1~0~x y~");
    EXPECT_EQ(splitFields(b.str()), (std::vector<std::string>{"-5", "-1", "0", "x y"}));
}

TEST(FieldList, BooleansAreMinusOneAndZero) {
    EXPECT_TRUE(parseBool("-1", false));
    EXPECT_FALSE(parseBool("0", true));
    EXPECT_TRUE(parseBool("1", true)) << "anything else is the default";
    EXPECT_FALSE(parseBool("true", false));
    EXPECT_FALSE(parseBool("", false));
}

TEST(FieldList, IntegersFallBackToDefault) {
    EXPECT_EQ(parseInt("42", 0), 42);
    EXPECT_EQ(parseInt(" -7 ", 0), -7);
    EXPECT_EQ(parseInt("+3", 0), 3);
    EXPECT_EQ(parseInt("4x", 9), 9);
    EXPECT_EQ(parseInt("", 9), 9);
    EXPECT_EQ(parseInt("99999999999", 9), 9);
    EXPECT_EQ(parseIntInRange("50", 100, 900, 200), 200);
    EXPECT_EQ(parseIntInRange("900", 100, 900, 200), 900);
}

TEST(FieldList, WindowPositionClampedToScreen) {
    EXPECT_EQ(clampWindowPosition(100, 50, 1920, 1080).left, 100);
    EXPECT_EQ(clampWindowPosition(-1, 50, 1920, 1080).left, 0);
    EXPECT_EQ(clampWindowPosition(1880, 50, 1920, 1080).left, 1880);
    EXPECT_EQ(clampWindowPosition(1881, 50, 1920, 1080).left, 0);
    EXPECT_EQ(clampWindowPosition(10, 1041, 1920, 1080).top, 0);
    const auto p = windowPositionFromState("300~bad~rest~", 1920, 1080);
    EXPECT_EQ(p.left, 300);
    EXPECT_EQ(p.top, 0);
}

}  // namespace
}  // namespace mira::core
