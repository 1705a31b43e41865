// `keypad`, `keypad2` and `ascii`: the keyboard modules' logic without a window, each fed
// by a key script that KeyScript paces (the same pacing for all three).
#include <sstream>

#include "cli/key_script.h"
#include "cli_modules.h"
#include "devices/ascii_keyboard.h"
#include "devices/keypad.h"
#include "devices/keypad2.h"

namespace mira::cli {

namespace {

// KEYS: comma-separated names; an empty KEYS is no keys.
std::vector<std::string> splitKeys(const std::string& text) {
    std::vector<std::string> keys;
    if (text.empty()) return keys;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) keys.push_back(item);
    if (text.back() == ',') keys.emplace_back();  // a trailing comma names an empty key
    return keys;
}

std::string badKey(const std::string& key, const char* kind) {
    return "\"" + key + "\" is not a key of the " + kind;
}

// What the three kinds share: the script, its start with the run, and the JSON fields.
class HeadlessKeys : public HeadlessModule {
  public:
    void runStarts() override { script_->start(); }
    void writeJson(JsonWriter& j) const override {
        j.key("data").value(int64_t{keyData()});
        j.key("pressed").value(static_cast<int64_t>(script_->pressed()));
        j.key("left").value(static_cast<int64_t>(script_->left()));
    }
    std::string textLine() const override {
        return "data " + std::to_string(keyData()) + ", " + std::to_string(script_->pressed()) +
               " pressed, " + std::to_string(script_->left()) + " left";
    }
    void saveState(core::SnapshotWriter& w) const override { script_->saveState(w); }
    void restoreState(core::SnapshotReader& r) override { script_->restoreState(r); }

  protected:
    virtual int keyData() const = 0;
    // Made once the module exists; the press function and the taken hook point back here.
    void makeScript(core::TimerFactory& timers, size_t count, KeyScript::Press press) {
        script_ = std::make_unique<KeyScript>(timers, count, std::move(press));
    }
    void taken() { script_->taken(); }

  private:
    std::unique_ptr<KeyScript> script_;
};

class HeadlessKeypad final : public HeadlessKeys {
  public:
    struct Key {
        int tag;
        bool ctl;
    };
    HeadlessKeypad(int slot, std::vector<Key> keys, ModuleHost& host)
        : pad_(host.machine.bus), keys_(std::move(keys)) {
        pad_.PutDevice(slot);
        pad_.doInit();
        pad_.setTakenListener([this] { taken(); });
        makeScript(host.clock, keys_.size(), [this](size_t i) {
            pad_.setCtrl(keys_[i].ctl);
            pad_.pressKey(keys_[i].tag);
            return true;
        });
    }

  private:
    int keyData() const override { return pad_.keyData(); }
    devices::Keypad pad_;
    std::vector<Key> keys_;
};

class HeadlessKeypad2 final : public HeadlessKeys {
  public:
    HeadlessKeypad2(int slot, const devices::KeyTable& table, std::vector<int> keys,
                    ModuleHost& host)
        : table_(table), pad_(host.machine.bus, table_, host.prompter), keys_(std::move(keys)) {
        pad_.PutDevice(slot);
        pad_.doInit();
        pad_.setTakenListener([this] { taken(); });
        makeScript(host.clock, keys_.size(),
                   [this](size_t i) { return pad_.pressKey(keys_[i]); });
    }

  private:
    int keyData() const override { return pad_.keyData(); }
    devices::KeyTable table_;
    devices::Keypad2 pad_;
    std::vector<int> keys_;
};

class HeadlessAscii final : public HeadlessKeys {
  public:
    HeadlessAscii(int slot, std::vector<devices::AsciiKeyPress> keys, ModuleHost& host)
        : kb_(host.machine.bus, host.sounds), keys_(std::move(keys)) {
        kb_.PutDevice(slot);
        kb_.doInit();
        kb_.setTakenListener([this] { taken(); });
        makeScript(host.clock, keys_.size(), [this](size_t i) {
            return kb_.keyReleased(keys_[i].key, keys_[i].mods).has_value();
        });
    }

  private:
    int keyData() const override { return kb_.keyData(); }
    devices::AsciiKeyboard kb_;
    std::vector<devices::AsciiKeyPress> keys_;
};

}  // namespace

ModuleMade makeKeypadModule(const ModuleRequest& r, ModuleHost& host) {
    std::vector<HeadlessKeypad::Key> keys;
    for (const std::string& name : splitKeys(r.args.at(0))) {
        const bool ctl = !name.empty() && name[0] == '^';
        const std::string caption = ctl ? name.substr(1) : name;
        int tag = -1;
        for (int k = 0; k < devices::kKeypadKeyCount; ++k)
            if (caption == devices::kKeypadCaptions[k]) tag = k;
        if (tag < 0) return ModuleMade::usage(badKey(name, "keypad"));
        keys.push_back({tag, ctl});
    }
    return ModuleMade::made(std::make_unique<HeadlessKeypad>(r.slots.at(0), std::move(keys), host));
}

ModuleMade makeKeypad2Module(const ModuleRequest& r, ModuleHost& host) {
    devices::KeyTable table = devices::KeyTable::defaults();
    if (r.args.size() > 1) {
        // The key names are the captions of the file's table, so it is read first.
        const devices::KeyFileRead file = devices::readKeyFile(r.args[1]);
        if (!file.ok) return ModuleMade::badInput(devices::kKeyFileOpenError);
        table = file.table;
    }
    std::vector<int> keys;
    for (const std::string& name : splitKeys(r.args.at(0))) {
        const auto key = devices::keypad2KeyByName(table, name);
        if (!key) return ModuleMade::usage(badKey(name, "keypad2"));
        keys.push_back(*key);
    }
    return ModuleMade::made(
        std::make_unique<HeadlessKeypad2>(r.slots.at(0), table, std::move(keys), host));
}

ModuleMade makeAsciiModule(const ModuleRequest& r, ModuleHost& host) {
    std::vector<devices::AsciiKeyPress> keys;
    for (const std::string& name : splitKeys(r.args.at(0))) {
        const auto press = devices::parseAsciiKeyPress(name);
        if (!press) return ModuleMade::usage(badKey(name, "ascii keyboard"));
        keys.push_back(*press);
    }
    return ModuleMade::made(std::make_unique<HeadlessAscii>(r.slots.at(0), std::move(keys), host));
}

}  // namespace mira::cli
