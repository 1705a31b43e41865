// The device slots and the operations the main window offers to modules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/device.h"
#include "core/observer.h"

namespace mira::core {
namespace {

std::vector<std::string>* gLog = nullptr;

class FakeModule final : public Device {
public:
    FakeModule(int type, std::string name, bool visible = true)
        : type_(type), name_(std::move(name)), visible_(visible) {}
    int moduleType() const override { return type_; }
    bool isVisible() const override { return visible_; }
    void doReset(int arg) override { gLog->push_back(name_ + "(" + std::to_string(arg) + ")"); }
    int getData() override { return 0x1234; }
    void execReady(int level) override { gLog->push_back(name_ + " ready" + std::to_string(level)); }
    void execResetFlag(int level) override {
        gLog->push_back(name_ + " reset" + std::to_string(level));
    }
    void outputNotification(int slot) override {
        gLog->push_back(name_ + " out" + std::to_string(slot));
    }

private:
    int type_;
    std::string name_;
    bool visible_;
};

class SlotObserver final : public MachineObserver {
public:
    void slotChanged(int slot) override { slots.push_back(slot); }
    std::vector<int> slots;
};

struct BusRig {
    SlotObserver obs;
    MachineObserver* observer = &obs;
    bool live = true;
    DeviceBus bus{observer, live};
    std::vector<std::string> log;
    BusRig() { gLog = &log; }
};

TEST(DeviceBus, SetDevInflagWritesFlagAndRedraws) {
    BusRig r;
    r.bus.SetDevInflag(3, 0);
    EXPECT_EQ(r.bus.slots[3].flag, 0);
    EXPECT_EQ(r.obs.slots, std::vector<int>{3});
    r.bus.SetDevInflag(-1, 0);  // modules without a slot pass −1
    r.bus.SetDevInflag(4, 0);
    EXPECT_EQ(r.obs.slots.size(), 1u);
}

TEST(DeviceBus, CloseDeviceFreesSlotAndRaisesFlag) {
    BusRig r;
    FakeModule led(kModuleOctalLed, "led");
    r.bus.bind(2, led);
    r.bus.SetDevInflag(2, 0);
    r.bus.CloseDevice(2);
    EXPECT_EQ(r.bus.slots[2].type, kModuleNone);
    EXPECT_EQ(r.bus.slots[2].flag, 1);
    r.bus.notifyOutput(2);
    EXPECT_TRUE(r.log.empty()) << "a closed module hears nothing more";
}

TEST(DeviceBus, InputReadGives255FromFreeSlotOrModuleWithoutData) {
    BusRig r;
    EXPECT_EQ(r.bus.readInput(0), 255);
    FakeModule led(kModuleOctalLed, "led");  // not an input module
    r.bus.bind(1, led);
    EXPECT_EQ(r.bus.readInput(1), 255);
    FakeModule keys(kModuleKeypad2, "keys");
    r.bus.bind(0, keys);
    EXPECT_EQ(r.bus.readInput(0), 0x34) << "a byte, masked";
    EXPECT_EQ(r.bus.slots[0].input, 0x34);
}

TEST(DeviceBus, PulsesReachOnlyModulesOfTheRightTypes) {
    BusRig r;
    FakeModule ten(kModuleDisplay10, "ten");
    FakeModule punch(kModuleTapePunch, "punch");
    r.bus.bind(2, ten);
    r.bus.bind(3, punch);
    r.bus.SetOutputResetFlag(2, 0);
    r.bus.SetOutputResetFlag(3, 0);
    EXPECT_EQ(r.bus.slots[2].pulse, 0);
    r.bus.SetOutputResetFlag(3, 1);
    r.bus.notifyOutput(2);
    r.bus.notifyOutput(3);  // the punch gets no output notification
    const std::vector<std::string> expected = {"punch reset0", "punch reset1", "ten out2"};
    EXPECT_EQ(r.log, expected);
}

TEST(DeviceBus, InputPulseGoesToInputModulesAndRedrawsOnlyWhenLive) {
    BusRig r;
    FakeModule ascii(kModuleAscii, "ascii");
    r.bus.bind(0, ascii);
    r.obs.slots.clear();
    r.live = false;
    r.bus.SetModuleInFlag(0, 0);
    EXPECT_EQ(r.bus.slots[0].pulse, 0);
    EXPECT_TRUE(r.obs.slots.empty());
    r.live = true;
    r.bus.SetModuleInFlag(0, 1);
    EXPECT_EQ(r.obs.slots, std::vector<int>{0});
    const std::vector<std::string> expected = {"ascii ready0", "ascii ready1"};
    EXPECT_EQ(r.log, expected);
}

TEST(DeviceBus, ResetDevicesInFixedOrderOnlyVisibleModules) {
    BusRig r;
    FakeModule ascii(kModuleAscii, "ascii");
    FakeModule printer(kModulePrinter, "printer");
    FakeModule keypad(kModuleKeypad, "keypad");
    FakeModule keypad2(kModuleKeypad2, "keypad2");
    FakeModule led(kModuleOctalLed, "led");
    FakeModule hidden(kModuleMelody, "melody", false);
    FakeModule ten(kModuleDisplay10, "ten");  // not in the reset list
    for (Device* d : std::initializer_list<Device*>{&ascii, &printer, &keypad, &keypad2, &led,
                                                    &hidden, &ten})
        r.bus.registerModule(*d);
    r.bus.slots[2].pulse = 0;
    r.bus.slots[3].pulse = 0;
    r.bus.ResetDevices();
    const std::vector<std::string> expected = {"led(0)", "keypad(1)", "keypad2(1)", "printer(0)",
                                               "ascii(0)"};
    EXPECT_EQ(r.log, expected);
    EXPECT_EQ(r.bus.slots[2].pulse, 1);
    EXPECT_EQ(r.bus.slots[3].pulse, 1);
}

TEST(DeviceBus, UnregisteredModuleIsForgotten) {
    BusRig r;
    {
        FakeModule led(kModuleOctalLed, "led");
        r.bus.registerModule(led);
        r.bus.bind(2, led);
        r.bus.unregisterModule(led);
    }
    r.bus.ResetDevices();
    r.bus.notifyOutput(2);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(r.bus.module(kModuleOctalLed), nullptr);
}

TEST(DeviceBus, MagneticTapeHoldsTwoSlots) {
    BusRig r;
    FakeModule mag(kModuleMagTape, "mag");
    r.bus.bind(1, mag);
    r.bus.bind(3, mag);
    EXPECT_EQ(r.bus.readInput(1), 0x34);
    r.bus.notifyOutput(3);
    r.bus.SetOutputResetFlag(3, 0);
    r.bus.SetModuleInFlag(1, 0);
    const std::vector<std::string> expected = {"mag out3", "mag reset0", "mag ready0"};
    EXPECT_EQ(r.log, expected);
}

}  // namespace
}  // namespace mira::core
