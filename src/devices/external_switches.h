// The external switches: eight data switches whose mask is ANDed into SR, and two
// momentary control switches that work LOAD ADDRESS and DEPOSIT (TRIG1 in WIF mode) from
// outside the panel. The module holds no device slot; it acts on the machine state.
#pragma once

#include <array>

#include "core/machine.h"
#include "core/panel.h"
#include "core/run_control.h"
#include "core/snapshot.h"
#include "core/sound.h"

namespace mira::devices {

// Lever geometry in picture coordinates. A column is open at both ends, as on the panel:
// edge < x < edge + kExtSwitchWidth.
inline constexpr std::array<int, 8> kExtDataX0{21, 57, 93, 129, 165, 201, 237, 273};
inline constexpr int kExtLoadAddressX0 = 317;
inline constexpr int kExtDepositX0 = 349;
inline constexpr int kExtSwitchWidth = 26;
inline constexpr int kExtDragBandBottom = 15;
inline constexpr int kExtUpperTop = 19;
inline constexpr int kExtUpperBottom = 32;
inline constexpr int kExtLowerTop = 33;
inline constexpr int kExtLowerBottom = 47;

// Control line bits of the machine's external control value; 1 = released.
inline constexpr int kExtLoadAddressLine = 2;
inline constexpr int kExtDepositLine = 1;

inline constexpr int kExtSwitchesModuleType = core::kModuleExternalSwitches;
inline constexpr int kExtRestMask = 255;

class ExternalSwitchesHost {
public:
    virtual ~ExternalSwitchesHost() = default;
    // A lever moved (data or control); the picture follows the machine state.
    virtual void redrawLevers() = 0;
};

class ExternalSwitches final : public core::StatePart {
public:
    // Without a panel (a headless run) the control switches only move their lines.
    ExternalSwitches(core::Machine& machine, core::SoundEffects& sounds,
                     core::FrontPanel* panel = nullptr, core::RunControl* run = nullptr);
    ExternalSwitches(const ExternalSwitches&) = delete;
    ExternalSwitches& operator=(const ExternalSwitches&) = delete;

    void setHost(ExternalSwitchesHost* host) { host_ = host; }

    int mask() const { return m_.externalMask1 & 255; }
    // Data switch i (0 leftmost) stands for mask bit 7 − i.
    bool dataBit(int i) const { return (mask() >> (7 - i)) & 1; }
    bool loadAddressPressed() const { return (m_.externalControl & kExtLoadAddressLine) == 0; }
    bool depositPressed() const { return (m_.externalControl & kExtDepositLine) == 0; }
    // The second control switch is the trigger input in WIF mode.
    bool showsTrigger() const { return m_.isWif(); }

    // The module contract: a type is kept, no slot is bound.
    void PutDevice(int type) { type_ = type; }
    int GetDevice() const { return type_; }
    // Sets the mask (no sound); SR follows at once.
    void doInit(int mask);
    // "All 1" / "All 0": a click when the mask changes.
    void setAll(bool ones);
    // The window closes: SR no longer depends on the module, no line stays held.
    void close();

    struct Press {
        bool dragStart = false;
        int dataSwitch = -1;      // data switch thrown, −1 none
        bool control = false;     // a control switch went down
    };
    // Left button on the picture at (x, y), and its release anywhere.
    Press mouseDown(int x, int y);
    void mouseUp();

    // Which column a picture x lies in: 0..7 data, 8 LOAD ADDRESS, 9 DEPOSIT, −1 none.
    static int columnAt(int x);

    // Section "EXSW": the type the module keeps. The mask and the control lines are the
    // machine's (external mask 1, external control) and come back with its state; the
    // levers are redrawn from them.
    void saveState(core::SnapshotWriter& w) const override;
    void restoreState(core::SnapshotReader& r) override;

private:
    void setMask(int mask);
    void changed(uint32_t items);

    core::Machine& m_;
    core::SoundEffects& sounds_;
    core::FrontPanel* panel_;
    core::RunControl* rc_;
    ExternalSwitchesHost* host_ = nullptr;
    int type_ = 0;
};

}  // namespace mira::devices
