// The ASCII keyboard: keys identified by their place on a US layout, translated with the
// modifiers held at release into one 7-bit code that a program reads from its input slot.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/device.h"
#include "core/sound.h"

namespace mira::devices {

// Key positions of a US layout that the keyboard knows.
enum class AsciiKey : int {
    A = 0,        // A..Z follow in order
    Digit0 = 26,  // 0..9 follow in order
    Space = 36,
    Tab,
    Enter,
    Esc,
    Backspace,
    Delete,
    PageUp,
    PageDown,
    Home,
    End,
    Insert,
    F1,  // F1..F12 follow in order
    Left = F1 + 12,
    Right,
    Up,
    Down,
    Grave,
    Minus,
    Equal,
    LBracket,
    RBracket,
    Backslash,
    Semicolon,
    Apostrophe,
    Comma,
    Period,
    Slash,
    Count
};
constexpr AsciiKey letterKey(char upper) {
    return AsciiKey(static_cast<int>(upper - 'A'));
}
constexpr AsciiKey digitKey(int d) {
    return AsciiKey(static_cast<int>(AsciiKey::Digit0) + d);
}

struct AsciiModifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

// The code of a key released with the given modifiers, none when the key is not in the
// table of that modifier set. Sets other than none, Shift, Ctrl, Alt and Ctrl+Alt have no
// table and give nothing.
std::optional<int> translateAsciiKey(AsciiKey key, AsciiModifiers mods);

// Names of keys as scripts write them: a letter, a digit, or "space", "f1", "lbracket", ….
std::optional<AsciiKey> asciiKeyByName(std::string_view name);
struct AsciiKeyPress {
    AsciiKey key;
    AsciiModifiers mods;
};
// "[mods+]key" with mods "shift", "ctrl", "alt" in any order, each at most once.
std::optional<AsciiKeyPress> parseAsciiKeyPress(std::string_view text);

inline constexpr int kBellCode = 7;

class AsciiKeyboardHost {
  public:
    virtual ~AsciiKeyboardHost() = default;
    virtual void drawLabel() = 0;
    virtual bool windowVisible() const = 0;
};

class AsciiKeyboard final : public core::Device {
  public:
    AsciiKeyboard(core::DeviceBus& bus, core::SoundEffects& sounds,
                  AsciiKeyboardHost* host = nullptr);
    ~AsciiKeyboard() override;
    AsciiKeyboard(const AsciiKeyboard&) = delete;
    AsciiKeyboard& operator=(const AsciiKeyboard&) = delete;

    void setHost(AsciiKeyboardHost* host) { host_ = host; }
    void setTakenListener(std::function<void()> listener) { taken_ = std::move(listener); }

    int keyData() const { return keyData_; }
    std::string labelText() const;
    bool bound() const;

    // A key is released with `mods` held: the code it gives, none when it gives nothing.
    std::optional<int> keyReleased(AsciiKey key, AsciiModifiers mods);

    void PutDevice(int slot);
    int GetDevice() const;
    void doInit();
    void doReset();
    int GetData() const { return keyData_; }
    void ExecReady(int level);
    void close();

    // core::Device
    int moduleType() const override { return core::kModuleAscii; }
    bool isVisible() const override { return host_ && host_->windowVisible(); }
    void putDevice(int slot) override { PutDevice(slot); }
    int getDevice() const override { return GetDevice(); }
    void doInit(int) override { doInit(); }
    void doReset(int) override { doReset(); }
    int getData() override { return GetData(); }
    void execReady(int level) override { ExecReady(level); }
    // Section "ASCK".
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

  private:
    void setFlag(int value);

    core::DeviceBus& bus_;
    core::SoundEffects& sounds_;
    AsciiKeyboardHost* host_;
    std::function<void()> taken_;
    int slot_ = -1;
    int keyData_ = 0;
};

}  // namespace mira::devices
