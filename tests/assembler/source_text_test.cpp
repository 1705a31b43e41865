#include "assembler/source_text.h"

#include <gtest/gtest.h>

using mira::assembler::decodeSourceText;
using mira::assembler::isValidUtf8;

TEST(SourceText, Utf8IsKeptAndAnythingElseIsLatin1) {
    const auto utf8 = decodeSourceText("\tTAD X / \xC3\xA9t\xC3\xA9");
    EXPECT_TRUE(utf8.utf8);
    EXPECT_EQ(utf8.text, "\tTAD X / \xC3\xA9t\xC3\xA9");
    // One byte that is not UTF-8 makes the whole file Latin-1.
    const auto latin = decodeSourceText("/ \xE9t\xE9 \xC3\xA9");
    EXPECT_FALSE(latin.utf8);
    EXPECT_EQ(latin.text, "/ \xC3\xA9t\xC3\xA9 \xC3\x83\xC2\xA9");
}

TEST(SourceText, StrictUtf8) {
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_TRUE(isValidUtf8("\xF4\x8F\xBF\xBF"));    // U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));           // overlong '/'
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));       // a surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));   // past U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));           // cut short
    EXPECT_FALSE(isValidUtf8("\x80"));               // a lone continuation byte
}

TEST(SourceText, LineEndsAndTheByteOrderMark) {
    const auto crlf = decodeSourceText("\xEF\xBB\xBF" "A\r\nB\rC\nD\r\n");
    EXPECT_TRUE(crlf.crlf);
    EXPECT_EQ(crlf.text, "A\nB\nC\nD");
    const auto lf = decodeSourceText("A\nB\n\n");
    EXPECT_FALSE(lf.crlf);
    EXPECT_EQ(lf.text, "A\nB\n") << "only the final line end goes";
    EXPECT_EQ(decodeSourceText("").text, "");
}
