// Roll lines and printer files: the codes a line prints, the validation of a file and
// its exact messages, and a golden container.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "core/scrambled_file.h"
#include "devices/printer_file.h"

namespace mira::devices {
namespace {

namespace fs = std::filesystem;

class PrinterFileDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("mira8_prf_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path file(const char* name) const { return dir_ / name; }
    void writeLines(const fs::path& p, const std::vector<std::string>& lines) {
        ASSERT_TRUE(core::writeContainerFile(p, lines));
    }
    fs::path dir_;
};

TEST(RollLine, CodesAndText) {
    LineCodes codes;
    codes.fill(32);
    codes[0] = 1;
    codes[1] = 2;
    codes[2] = 3;
    const std::string line = rollLine(codes);
    EXPECT_EQ(line.substr(0, 12), "1~2~3~32~32~");
    EXPECT_EQ(rollLineText(line), "ABC                 ");
    EXPECT_EQ(rollLineText(""), "");
    // Reading stops at the first empty field; the rest prints as spaces.
    EXPECT_EQ(rollLineText("1~~5~"), "A                   ");
    EXPECT_EQ(rollLineCodes("8~5~12~12~15~")[4], 15);
    EXPECT_EQ(rollLineText("8~5~12~12~15~"), "HELLO               ");
}

TEST(RollLine, Validation) {
    EXPECT_TRUE(rollLineValid(""));
    EXPECT_TRUE(rollLineValid("0~63~"));
    EXPECT_TRUE(rollLineValid("1~~5~"));
    EXPECT_TRUE(rollLineValid("1~~x~"));  // nothing after the empty field is read
    EXPECT_FALSE(rollLineValid("1~64~"));
    EXPECT_FALSE(rollLineValid("-1~"));
    EXPECT_FALSE(rollLineValid("A~"));
    EXPECT_FALSE(rollLineValid(" 5~"));
    // Text after the last "~" is read as a field too.
    EXPECT_TRUE(rollLineValid("5"));
    EXPECT_FALSE(rollLineValid("1~2~9x"));
    EXPECT_FALSE(rollLineValid("1~2~99"));
}

TEST_F(PrinterFileDir, RefusalsWithTheirMessages) {
    writeLines(file("range.prf"), {"1~2~", "1~64~"});
    PrinterFileRead r = readPrinterFile(file("range.prf"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "ERROR: Printer file data has errors");
    EXPECT_TRUE(r.lines.empty());

    r = readPrinterFile(file("missing.prf"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "ERROR: Failed to load printer file");

    // Shorter than its header announces.
    std::ofstream(file("short.prf"), std::ios::binary) << core::encodeContainer({"1~2~3~"}).substr(0, 5);
    r = readPrinterFile(file("short.prf"));
    EXPECT_EQ(r.error, "ERROR: Failed to load printer file");

    writeLines(file("gap.prf"), {"1~~5~", "", "63~"});
    r = readPrinterFile(file("gap.prf"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"1~~5~", "", "63~"}));
}

TEST_F(PrinterFileDir, WriteIsTheScrambledContainer) {
    const std::vector<std::string> lines{"1~2~", "", "63~"};
    ASSERT_TRUE(writePrinterFile(file("out.prf"), lines));
    std::ifstream in(file("out.prf"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    // "11" CR, then "1~2~" CR LF CR LF "63~", each byte XORed with the key.
    const std::string plain = std::string("11\r") + "1~2~\r\n\r\n63~";
    ASSERT_EQ(bytes.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i)
        EXPECT_EQ(uint8_t(bytes[i]), uint8_t(plain[i]) ^ core::kScrambleKey) << i;
    EXPECT_EQ(readPrinterFile(file("out.prf")).lines, lines);

    // Paper fed after the last line survives the round trip.
    const std::vector<std::string> fed{"1~", "", ""};
    ASSERT_TRUE(writePrinterFile(file("fed.prf"), fed));
    EXPECT_EQ(readPrinterFile(file("fed.prf")).lines, fed);

    // A file that cannot be written leaves the old one.
    EXPECT_FALSE(writePrinterFile(dir_ / "no-such-dir" / "x.prf", lines));
}

}  // namespace
}  // namespace mira::devices
