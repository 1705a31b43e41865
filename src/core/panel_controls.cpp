#include "panel_controls.h"

namespace mira::core {

namespace {

ControlArea lampArea(int x, int row) { return {x, kLampRowY[row], kLampSize, kLampSize}; }

DrawnControl lamp(ControlArea area, std::function<std::string()> name, std::function<bool()> lit) {
    DrawnControl c = lampControl(area, std::move(lit));
    c.nameNow = std::move(name);
    return c;
}

}  // namespace

ControlTable makePanelControls(FrontPanel& panel, const Machine& m, PanelReaders readers) {
    ControlTable table;
    auto wif = [w = readers.wifLettering] { return w && w(); };
    for (int i = 0; i < kSwitchCount; ++i) {
        DrawnControl c;
        // The paddle with the bands around it, as the picture mirrors it.
        c.area = {kSwitchX0[i] + 1, kSwitchPictureTop, kSwitchWidth - 1,
                  kSwitchPictureBottom - kSwitchPictureTop + 1};
        c.kind = isMomentarySwitch(i) ? ControlKind::Key : ControlKind::Toggle;
        c.name = kSwitchNames[i];
        if (i == kSwitchDeposit)
            c.nameNow = [wif] { return std::string(wif() ? kWifDepositName : kSwitchNames[kSwitchDeposit]); };
        // State 0 is the paddle up: a 1 bit, SINGLE, SLOW; a momentary switch at rest.
        if (c.kind == ControlKind::Toggle)
            c.on = [&m, i] { return m.switches[i] == 0; };
        else
            c.on = [&m, i] { return m.switches[i] != 0; };
        c.state = [&m, i]() -> std::string {
            const bool thrown = m.switches[i] != 0;
            if (i == kSwitchSingleCont) return thrown ? "CONT" : "SINGLE";
            if (i == kSwitchSlowFast) return thrown ? "FAST" : "SLOW";
            if (i < kSwitchLoadAddress) return thrown ? "down, 0" : "up, 1";
            return thrown ? "held" : "";
        };
        // Pushed where the paddle stands, exactly as the mouse pushes it.
        c.press = [&panel, &m, i] {
            const int y = m.switches[i] ? (kLowerBandTop + kLowerBandBottom) / 2
                                        : (kUpperBandTop + kUpperBandBottom) / 2;
            panel.mouseDown(kSwitchX0[i] + kSwitchWidth / 2, y);
        };
        c.release = [&panel] { panel.mouseUp(); };
        table.add(std::move(c));
    }

    const int32_t LampLatch::*rows[4] = {&LampLatch::pc, &LampLatch::ma, &LampLatch::mb,
                                         &LampLatch::ac};
    for (int r = 0; r < 4; ++r) {
        DrawnControl c;
        c.area = {kBitLampX[0], kLampRowY[r], kBitLampX[7] + kLampSize - kBitLampX[0], kLampSize};
        c.kind = ControlKind::Readout;
        c.name = kRegisterRowNames[r];
        c.state = [&m, f = readers.format, row = rows[r]] {
            return f ? f(m.lamps.*row) : std::to_string(m.lamps.*row);
        };
        c.number = [&m, row = rows[r]]() -> std::optional<int64_t> { return m.lamps.*row; };
        table.add(std::move(c));
    }
    // Instruction lamps are indexed by opcode: AND TAD ISZ DCA JMB JMP IOT OPR.
    for (int r = 0; r < 4; ++r)
        table.add(lamp(lampArea(kInstructionLampX1, r),
                       [wif, r] { return std::string(kLeftInstructionNames[wif()][r]); },
                       [&m, r] { return m.instructionLamps[r]; }));
    for (int r = 0; r < 4; ++r)
        table.add(lamp(lampArea(kInstructionLampX2, r),
                       [wif, r] { return std::string(kRightInstructionNames[wif()][r]); },
                       [&m, r] { return m.instructionLamps[7 - r]; }));
    const std::array<std::function<bool()>, 4> stateLit{
        [&m] { return m.run; }, [&m] { return m.fetchLamp; }, [&m] { return m.deferLamp; },
        [&m] { return m.execLamp; }};
    for (int r = 0; r < 4; ++r)
        table.add(lamp(lampArea(kStateLampX, r),
                       [wif, r] { return std::string(kStateLampNames[wif()][r]); }, stateLit[r]));
    for (int r = 0; r < 4; ++r)
        table.add(lamp(lampArea(kAuxLampX, r),
                       [wif, r] { return std::string(kAuxLampNames[wif()][r]); },
                       [aux = readers.auxLamp, r] { return aux && aux(r); }));
    return table;
}

}  // namespace mira::core
