#include "external_switches.h"

namespace mira::devices {

ExternalSwitches::ExternalSwitches(core::Machine& machine, core::SoundEffects& sounds,
                                   core::FrontPanel* panel, core::RunControl* run)
    : m_(machine), sounds_(sounds), panel_(panel), rc_(run) {}

int ExternalSwitches::columnAt(int x) {
    auto inside = [x](int x0) { return x > x0 && x < x0 + kExtSwitchWidth; };
    for (int i = 0; i < 8; ++i)
        if (inside(kExtDataX0[i])) return i;
    if (inside(kExtLoadAddressX0)) return 8;
    if (inside(kExtDepositX0)) return 9;
    return -1;
}

void ExternalSwitches::changed(uint32_t items) {
    m_.changed |= items;
    if (host_) host_->redrawLevers();
    if (rc_) rc_->publish();
}

void ExternalSwitches::setMask(int mask) {
    m_.setExternalMask1(mask & 255);
    changed(core::kChangeSr);
}

void ExternalSwitches::doInit(int mask) { setMask(mask); }

void ExternalSwitches::setAll(bool ones) {
    const int wanted = ones ? 255 : 0;
    if (mask() == wanted) return;
    setMask(wanted);
    sounds_.play(core::SoundId::Swc);
}

void ExternalSwitches::close() {
    while (depositPressed() || loadAddressPressed()) mouseUp();
    doInit(kExtRestMask);
}

ExternalSwitches::Press ExternalSwitches::mouseDown(int x, int y) {
    Press press;
    if (y <= kExtDragBandBottom) {
        press.dragStart = true;
        return press;
    }
    const int col = columnAt(x);
    const bool upper = y >= kExtUpperTop && y <= kExtUpperBottom;
    const bool lower = y >= kExtLowerTop && y <= kExtLowerBottom;
    if (col >= 0 && col < 8) {
        const int bit = 1 << (7 - col);
        const bool set = (mask() & bit) != 0;
        // A lever is pushed where it stands: the upper half of a 1, the lower half of a 0.
        if (upper && set) {
            setMask(mask() & ~bit);
        } else if (lower && !set) {
            setMask(mask() | bit);
        } else {
            return press;
        }
        sounds_.play(core::SoundId::Swc);
        press.dataSwitch = col;
        return press;
    }
    if ((col == 8 || col == 9) && upper) {
        const int line = col == 8 ? kExtLoadAddressLine : kExtDepositLine;
        if ((m_.externalControl & line) == 0) return press;
        m_.externalControl &= ~line;
        changed(core::kChangeExtControl);
        sounds_.play(core::SoundId::Swc);
        press.control = true;
        // In WIF mode the deposit does nothing: the program reads the TRIG1 level.
        if (panel_) col == 8 ? panel_->doLoadAddrDOWN() : panel_->StartDeposit();
    }
    return press;
}

void ExternalSwitches::mouseUp() {
    // One release lets go of one line; DEPOSIT first, as the window checks it first.
    if (depositPressed()) {
        m_.externalControl |= kExtDepositLine;
        changed(core::kChangeExtControl);
        if (panel_) panel_->doDepositUP();
    } else if (loadAddressPressed()) {
        m_.externalControl |= kExtLoadAddressLine;
        changed(core::kChangeExtControl);
        if (panel_) panel_->doLoadAddrUP();
    }
}

void ExternalSwitches::saveState(core::SnapshotWriter& w) const {
    w.beginSection("EXSW", 1);
    w.i32(type_);
    w.endSection();
}

void ExternalSwitches::restoreState(core::SnapshotReader& r) {
    r.beginSection("EXSW", 1);
    const int type = r.i32In(core::kModuleNone, core::kModuleTypeCount - 1);
    r.endSection();
    type_ = type;
    if (host_) host_->redrawLevers();
}

}  // namespace mira::devices
