// The module catalogue that the menu, the settings file, the window list and the CLI share.
#include "devices/module_catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace mira::devices {
namespace {

TEST(ModuleCatalogue, EveryKindIsFoundByEachOfItsKeys) {
    std::set<std::string> menuNames, cliNames;
    std::set<int> types, stateKeys, openFields;
    for (const ModuleKind& k : moduleKinds()) {
        EXPECT_TRUE(menuNames.insert(k.menuName).second) << k.menuName;
        EXPECT_TRUE(stateKeys.insert(k.stateKey).second) << k.menuName;
        EXPECT_TRUE(openFields.insert(k.openField).second) << k.menuName;
        EXPECT_EQ(moduleKindOfMenuName(k.menuName), &k);
        EXPECT_EQ(moduleKindOfReopenStep(k.reopenAs), &k);
        if (*k.cliKind) {
            EXPECT_TRUE(cliNames.insert(k.cliKind).second) << k.cliKind;
            EXPECT_EQ(moduleKindOfCliName(k.cliKind), &k);
        }
        if (k.type != core::kModuleNone) {
            EXPECT_TRUE(types.insert(k.type).second) << k.menuName;
            EXPECT_EQ(moduleKindOfType(k.type), &k);
        }
        EXPECT_FALSE(k.normalModeOnly && k.wifModeOnly) << k.menuName;
    }
    EXPECT_EQ(moduleKinds().size(), 14u);
    EXPECT_EQ(types.size(), 13u) << "every module type but none; the serial port has no type";
    EXPECT_EQ(moduleKindOfType(core::kModuleNone), nullptr);
    EXPECT_EQ(moduleKindOfCliName(""), nullptr);
}

TEST(ModuleCatalogue, SlotUseFollowsTheBusDirection) {
    for (const ModuleKind& k : moduleKinds()) {
        if (k.slots == SlotUse::Input) {
            EXPECT_TRUE(core::DeviceBus::isInputModule(k.type)) << k.menuName;
        }
        if (k.slots == SlotUse::Output) {
            EXPECT_FALSE(core::DeviceBus::isInputModule(k.type)) << k.menuName;
        }
    }
    // Line 020 keeps each one-slot module's slot right after its visible field.
    EXPECT_EQ(moduleKindOfType(core::kModulePrinter)->openField + 1, core::kOpenPrinterSlot);
    EXPECT_EQ(moduleKindOfType(core::kModuleKeypad2)->openField + 1, core::kOpenKeypad2Slot);
}

}  // namespace
}  // namespace mira::devices
