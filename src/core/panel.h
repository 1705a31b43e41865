// The front panel's behaviour without its picture: where the switches are, what throwing
// and returning each one does, and the run timers (slow, animation, run-loop request) that
// the switches start. The window draws the panel and feeds it mouse events.
#pragma once

#include <array>
#include <memory>

#include "machine.h"
#include "run_control.h"
#include "sound.h"
#include "timer.h"

namespace mira::core {

// Switch geometry in panel-picture coordinates. A switch column is open at both ends:
// x0 < x < x0 + kSwitchWidth.
inline constexpr std::array<int, kSwitchCount> kSwitchX0{43,  79,  115, 151, 187, 223, 259, 295,
                                                        402, 437, 473, 548, 583, 617, 652};
inline constexpr int kSwitchWidth = 26;
inline constexpr int kUpperBandTop = 191;
inline constexpr int kUpperBandBottom = 204;
inline constexpr int kLowerBandTop = 205;
inline constexpr int kLowerBandBottom = 219;
// Rows 190..220 hold a switch picture; it is mirrored about row 205 when thrown.
inline constexpr int kSwitchPictureTop = 190;
inline constexpr int kSwitchPictureBottom = 220;
// A press above this row that hits no switch drags the window.
inline constexpr int kDragBandHeight = 35;

// Lamps (left, top) in panel-picture coordinates; bit columns hold bit 7 at the left.
inline constexpr int kLampSize = 16;
inline constexpr std::array<int, 8> kBitLampX{49, 83, 119, 155, 192, 228, 263, 300};
inline constexpr std::array<int, 4> kLampRowY{49, 73, 96, 120};
inline constexpr int kInstructionLampX1 = 410;  // AND TAD ISZ DCA
inline constexpr int kInstructionLampX2 = 443;  // OPR IOT JMP JMB
inline constexpr int kStateLampX = 624;         // RUN FETCH DEFER EXEC
inline constexpr int kAuxLampX = 660;           // HRled T1T13 SlowED PZon

// The lettering beside the lamps, top row first: [0] Normal, [1] WIF (the overlays).
using LampNames = std::array<std::array<const char*, 4>, 2>;
inline constexpr std::array<const char*, 4> kRegisterRowNames{"PC", "MA", "MB", "AC"};
inline constexpr LampNames kLeftInstructionNames{{{"AND", "TAD", "ISZ", "DCA"},
                                                  {"B9|B7", "INST", "B8|B6", "SEL 3"}}};
inline constexpr LampNames kRightInstructionNames{{{"OPR", "IOT", "JMP", "JMB"},
                                                   {"CLS 0", "CLS 1", "CLS 2", "CLS 3"}}};
inline constexpr LampNames kStateLampNames{{{"RUN", "FETCH", "DEFER", "EXEC"},
                                            {"RUN", "STEP 0", "STEP 1", "STEP 2"}}};
inline constexpr LampNames kAuxLampNames{{{"WIF", "T1", "S.E/D", "P.ZERO"},
                                          {"WIF", "BO", "PC 9", "PC 8"}}};

// Speed panel scroll bars and the timer intervals they give.
inline constexpr int kSlowSBMin = 75;
inline constexpr int kSlowSBMax = 700;
inline constexpr int kSlowSBPosition = 500;
inline constexpr int kSlowSBDefault = 300;  // the "Default" button
inline constexpr int kAnimSBMin = 200;
inline constexpr int kAnimSBMax = 1500;
inline constexpr int kAnimSBPosition = 500;
inline constexpr int kChgModeTimerMs = 25;

// The scroll bar runs "Slower" to "Faster", so the interval falls as the position rises.
constexpr int slowInterval(int position) { return kSlowSBMax + kSlowSBMin - position; }
constexpr int animInterval(int position) { return 1700 - position; }

inline bool isMomentarySwitch(int i) { return i >= kSwitchLoadAddress && i <= kSwitchHalt; }

// What the panel asks of the window around it.
class PanelHost {
public:
    virtual ~PanelHost() = default;
    // The fast loop's yield: let pending clicks, keys and timers run if they are due.
    // True when they ran, for they may have changed the machine.
    virtual bool processEvents() { return false; }
    // Request 1 came back from the run loop: close the main window now.
    virtual void closeMainWindow() {}
    // A fast run is about to start (a visible paper tape reader stops its tape).
    virtual void fastRunStarting() {}
};

class FrontPanel {
public:
    FrontPanel(Machine& machine, RunControl& run, TimerFactory& timers, SoundEffects& sounds);
    FrontPanel(const FrontPanel&) = delete;
    FrontPanel& operator=(const FrontPanel&) = delete;

    void setHost(PanelHost* host) { host_ = host ? host : &nullHost_; }

    // Switch i under panel point (x, y) in either band, or −1.
    static int switchColumnAt(int x);

    struct Press {
        int switchIndex = -1;  // the switch thrown or returned, −1 none
        bool dragStart = false;
    };
    // Left button down / up on the panel picture.
    Press mouseDown(int x, int y);
    void mouseUp();
    int pressedSwitch() const { return pressed_; }

    // Throw (state 1) or return (state 0) a switch and run the action of its new state.
    void throwSwitch(int i, bool withSound);
    void returnSwitch(int i, bool withSound);
    // "Set SR Switches": all SR bits 1 (every switch to rest) or all 0.
    void setSRSwitches(bool allOnes);
    // Switch states from the settings file: toggles are thrown as saved, without sound.
    void restoreSwitches(const std::array<bool, kSwitchCount>& thrown);

    // Switch actions.
    void doLoadAddrDOWN();
    void doLoadAddrUP();
    void StartDeposit();
    void StartExamine();
    void doDepositUP();
    void doSwitchRUN();
    // A machine state was loaded: the live display follows its switches, and its run, when
    // RUN is on, goes on from its clock state as they say (a fast run, else the slow clock).
    void stateLoaded();
    void singleSelected();
    void fastSelected();
    void slowSelected();
    // The speed panel's "Animate" button.
    void SpeedButton1Click();

    // Live display: slow clock, or fast at single instruction.
    void recomputeLiveDisplay();
    bool isSlowFast() const { return m_.fastClock(); }

    // Speed panel positions (clamped to the scroll bars' ranges) and the intervals.
    void setSlowPosition(int position);
    void setAnimPosition(int position);
    int slowPosition() const { return slowPosition_; }
    int animPosition() const { return animPosition_; }

    // Timer handlers.
    void cycleTimerTimer();
    void animTimerTimer();
    void ChgModeTimerTimer();

    // Stops every run timer where the machine stands (stepping back), and whether a run
    // stands still so, half-way through, for RUN to go on with.
    void pause();
    bool runPaused() const;

    // A close attempt on the main window: false when a fast run must yield first (request
    // 1 is then placed and the loop closes the window).
    bool closeAttempt();
    bool inFastLoop() const { return rc_.inFastLoop(); }

    std::unique_ptr<Timer> cycleTimer;
    std::unique_ptr<Timer> animTimer;
    std::unique_ptr<Timer> ChgModeTimer;

private:
    void setState(int i, bool thrown);
    void switchAction(int i, bool thrown);
    void runPanelCycleAtOnce();
    void startPanelCycle(int fastCycle);
    void stopTimers();
    // Lamp group 16 with the run state now.
    void showStateLamps();

    Machine& m_;
    RunControl& rc_;
    SoundEffects& sounds_;
    PanelHost nullHost_;
    PanelHost* host_ = &nullHost_;
    int pressed_ = -1;
    int slowPosition_ = kSlowSBPosition;
    int animPosition_ = kAnimSBPosition;
};

}  // namespace mira::core
