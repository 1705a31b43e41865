// KeyPad 2: twenty-four keys whose captions and values come from one key table shared by
// the whole system, the key data files (.kpf) that hold such a table, and the module that
// offers the value of a pressed key on its input slot.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/device.h"
#include "core/prompter.h"

namespace mira::devices {

inline constexpr int kKeypad2KeyCount = 24;
inline constexpr int kKeyCaptionMax = 3;
inline constexpr const char* kKeyDataChanged = "Keypad data has changed\r\rSave changes?";
inline constexpr const char* kKeyFileOpenError = "Error: Failed to open file";
inline constexpr const char* kKeyFileSaveError = "Error: Failed to save file";

// Default captions by key number; key 23 ("E") sits in row 4, right of "+".
inline constexpr const char* kKeypad2DefaultCaptions[kKeypad2KeyCount] = {
    "MC", "MR", "M+",  "M-", "SQR", "7", "8", "9", "/", "1/x", "4", "5",
    "6",  "x",  "CHS", "1",  "2",   "3", "+", "0", ".", "CLR", "-", "E"};

struct KeyTable {
    std::array<std::string, kKeypad2KeyCount> captions;
    std::array<int, kKeypad2KeyCount> values{};
    bool hideBlank = false;

    static KeyTable defaults();
    bool sameKeys(const KeyTable& other) const {
        return captions == other.captions && values == other.values;
    }
    bool operator==(const KeyTable&) const = default;
};

// The three lines of a key data file: captions, values, hide flag.
std::array<std::string, 3> keyFileLines(const KeyTable& table);
// The table of three such lines. A missing caption reads empty, a value that is missing,
// not a number or outside 0..255 reads 0, a hide flag that is not a boolean reads false.
KeyTable keyTableFromLines(const std::string& captions, const std::string& values,
                           const std::string& hide);

struct KeyFileRead {
    bool ok = false;
    KeyTable table;
};
// A file that is not a readable container of exactly three lines gives ok = false.
KeyFileRead readKeyFile(const std::filesystem::path& path);
bool writeKeyFile(const std::filesystem::path& path, const KeyTable& table);
// The label a key file gives: its name without folder, cut at the first ".".
std::string keyFileLabel(const std::filesystem::path& path);

// Settings line 009: the 24 captions, the 24 values, the hide flag and the file label.
std::string keyTableLine(const KeyTable& table, const std::string& label);
// An empty line leaves table and label as they are (a settings file from before the
// keypad existed).
void applyKeyTableLine(const std::string& line, KeyTable& table, std::string& label);

// The caption of a key in a text that names keys: a caption or "#N".
std::optional<int> keypad2KeyByName(const KeyTable& table, const std::string& name);

class Keypad2Host {
  public:
    virtual ~Keypad2Host() = default;
    virtual void refreshKeys() = 0;
    virtual void drawLabels() = 0;
    virtual bool windowVisible() const = 0;
};

// What the window asks the user for the file menu: a file to open or to save to, none
// when the dialog is cancelled.
class KeyFileDialogs {
  public:
    virtual ~KeyFileDialogs() = default;
    virtual std::optional<std::filesystem::path> openPath() = 0;
    virtual std::optional<std::filesystem::path> savePath() = 0;
};

class Keypad2 final : public core::Device {
  public:
    Keypad2(core::DeviceBus& bus, KeyTable& table, core::Prompter& prompter,
            Keypad2Host* host = nullptr);
    ~Keypad2() override;
    Keypad2(const Keypad2&) = delete;
    Keypad2& operator=(const Keypad2&) = delete;

    void setHost(Keypad2Host* host) { host_ = host; }
    void setTakenListener(std::function<void()> listener) { taken_ = std::move(listener); }

    const KeyTable& table() const { return table_; }
    int keyData() const { return keyData_; }
    bool changed() const { return changed_; }
    const std::string& fileLabel() const { return label_; }
    std::string labelText() const;
    bool bound() const;
    // Whether a key shows: with the hide flag set a blank key is gone.
    bool keyVisible(int key) const;

    // A key goes down; false when it delivers nothing (blank caption).
    bool pressKey(int key);

    void PutDevice(int slot);
    int GetDevice() const;
    void doInit();
    void doReset(int level) override;
    int GetData() const { return keyData_; }
    void ExecReady(int level);
    void close();
    std::string GetFileName() const { return label_; }
    void PutFileName(const std::string& label);

    // The key data menu. Load and Save report failures through the prompter.
    bool loadFile(const std::filesystem::path& path);
    bool saveFile(const std::filesystem::path& path);
    bool Load1Click(KeyFileDialogs& dialogs);
    bool Save1Click(KeyFileDialogs& dialogs);
    // The table was edited in the captions dialog (fullDefault: its "Default all").
    void tableEdited(bool hideBlank, bool fullDefault);
    // Before the data may be dropped: asks to save when it has changed. False when the
    // user cancels, or chose to save and no file was written.
    bool maySkipSaving(KeyFileDialogs& dialogs);

    // core::Device
    int moduleType() const override { return core::kModuleKeypad2; }
    bool isVisible() const override { return host_ && host_->windowVisible(); }
    void putDevice(int slot) override { PutDevice(slot); }
    int getDevice() const override { return GetDevice(); }
    void doInit(int) override { doInit(); }
    int getData() override { return GetData(); }
    void execReady(int level) override { ExecReady(level); }
    // Section "KPD2". The key table is part of it: it decides what each key delivers.
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

  private:
    void setFlag(int value);
    void refresh() {
        if (host_) host_->refreshKeys();
    }
    void labels() {
        if (host_) host_->drawLabels();
    }

    core::DeviceBus& bus_;
    KeyTable& table_;
    core::Prompter& prompter_;
    Keypad2Host* host_;
    std::function<void()> taken_;
    int slot_ = -1;
    int keyData_ = 0;
    bool changed_ = false;
    std::string label_;
};

}  // namespace mira::devices
