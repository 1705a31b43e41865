// The front panel as a table of drawn controls: the fifteen switches, the register rows
// and the lamps, with the names the panel's lettering gives them. Mouse, keyboard and the
// screen reader work the switches through the panel's own mouse path.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "drawn_controls.h"
#include "panel.h"

namespace mira::core {

// The accessible names of the switches, in switch order (SR bit 7 is switch 0).
inline constexpr std::array<const char*, kSwitchCount> kSwitchNames{
    "Switch register bit 7", "Switch register bit 6", "Switch register bit 5",
    "Switch register bit 4", "Switch register bit 3", "Switch register bit 2",
    "Switch register bit 1", "Switch register bit 0", "LOAD ADDR", "DEPOSIT", "EXAMINE",
    "RUN", "HALT", "SINGLE/CONT", "SLOW/FAST"};
// In WIF lettering DEPOSIT is the trigger switch.
inline constexpr const char* kWifDepositName = "TG1";

// Table rows: the switches first, at their switch index, then these.
inline constexpr int kPanelRegisterRows = kSwitchCount;           // PC MA MB AC
inline constexpr int kPanelInstructionLamps = kSwitchCount + 4;   // left column, right column
inline constexpr int kPanelStateLamps = kSwitchCount + 12;        // RUN FETCH DEFER EXEC
inline constexpr int kPanelAuxLamps = kSwitchCount + 16;          // WIF T1 S.E/D P.ZERO
inline constexpr int kPanelControlCount = kSwitchCount + 20;

struct PanelReaders {
    // A register as the lamps show it, in the display radix.
    std::function<std::string(int32_t)> format;
    // The WIF lettering is shown (the lamps then mean other things).
    std::function<bool()> wifLettering;
    // Auxiliary lamp `row` (0..3) is lit.
    std::function<bool(int row)> auxLamp;
};

ControlTable makePanelControls(FrontPanel& panel, const Machine& m, PanelReaders readers);

}  // namespace mira::core
