// Reading the board's firmware image from an Intel HEX file, and choosing the words of one
// firmware transfer (boot code or driver).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mira::link {

inline constexpr char kHexDataError[] = "ERROR: Hex file data error";
inline constexpr char kHexNoData[] = "ERROR: Hex file holds no data to program";
inline constexpr char kHexTestMode[] = "Warning!!\r\rTest Mode is active";

// Words 0..383 are the boot code, the rest the driver.
inline constexpr int kBootCodeWords = 384;
inline constexpr int kFirmwareBlockWords = 64;
// Program memory of the board's controller, in words (32 KB of flash). A record beyond it
// cannot be meant for this controller.
inline constexpr size_t kControllerWords = 0x4000;
// A HEX file filling the whole controller is about 100 KB; anything far larger is not one.
inline constexpr uintmax_t kMaxHexFileBytes = 1u << 20;

struct HexImage {
    bool ok = false;
    std::vector<uint16_t> words;  // word address order, 0xFFFF where nothing was given
    std::string error;            // the dialog text when !ok
    std::string reason;           // which line and why, when !ok ("line 3: ...")
};

// `driverMode` refuses an image whose word 0 is 0 (a test build).
HexImage readIntelHex(std::string_view text, bool driverMode);

// The words one transfer sends: the boot part or the driver part, trailing 0xFFFF dropped,
// padded with 0xFFFF to whole 64-word blocks. Empty when nothing is left to program.
std::vector<uint16_t> firmwareTransferWords(const std::vector<uint16_t>& image, bool bootCode);

}  // namespace mira::link
