#include "modules/module_windows.h"

#include <QWidget>

#include "modules/funcselect.h"
#include "modules/led.h"
#include "modules/led_art.h"

namespace mira::gui {

ModuleWindows::ModuleWindows(QWidget* mainWindow, core::Machine& machine,
                             core::TimerFactory& timers, core::Prompter& prompter)
    : main_(mainWindow),
      m_(machine),
      prompter_(prompter),
      chooser_(std::make_unique<FuncSelChooser>(mainWindow)),
      // Children of the main window: they close with it and never keep the application up.
      ledFM_(std::make_unique<TledFM>(machine, timers, prompter, mainWindow)),
      decledFM_(std::make_unique<TdecledFM>(machine, timers, prompter, mainWindow)) {}

// The windows go before the machine their displays are registered with.
ModuleWindows::~ModuleWindows() = default;

void ModuleWindows::buildTubeStrip() {
    const qreal dpr = main_->devicePixelRatioF();
    tubeStrip_ = ledart::makeTubeStrip(ledart::makeTube(dpr), dpr);
    if (tubeStrip_.isNull()) prompter_.error(kTubeError);
    for (LedWindow* w : {static_cast<LedWindow*>(ledFM_.get()),
                         static_cast<LedWindow*>(decledFM_.get())})
        w->setTubeStrip(tubeStrip_.isNull() ? nullptr : &tubeStrip_);
}

void ModuleWindows::openOutputModule(LedWindow& w) {
    if (w.isVisible()) return;
    const int slot =
        devices::askForSlot(m_.bus, devices::SlotDirection::Output,
                            devices::moduleSelectTitle(w.display().moduleType()), prompter_,
                            *chooser_);
    if (slot < 0) return;
    w.PutDevice(slot);
    w.doInit(true);
    // A glyph failure closes the window on the next tick; it never shows.
    if (!w.display().closePending()) w.show();
}

void ModuleWindows::OctalLEDClick() { openOutputModule(*ledFM_); }
void ModuleWindows::DecimalLEDClick() { openOutputModule(*decledFM_); }

void ModuleWindows::PutScreenData(const core::SettingsFile& settings) {
    ledFM_->PutScreenData(settings.windowLine(core::kKeyOctalLed));
    decledFM_->PutScreenData(settings.windowLine(core::kKeyDecimalLed));
}

bool ModuleWindows::reopen(const core::ReopenStep& step) {
    LedWindow* w = nullptr;
    if (step.window == core::ReopenStep::OctalLed) w = ledFM_.get();
    if (step.window == core::ReopenStep::DecimalLed) w = decledFM_.get();
    if (!w) return false;
    w->PutDevice(step.slot);
    w->doInit(true);
    if (!w->display().closePending()) w->show();
    return true;
}

void ModuleWindows::GetScreenData(core::SettingsFile& settings) const {
    settings.setWindowLine(core::kKeyOctalLed, ledFM_->GetScreenData());
    settings.setWindowLine(core::kKeyDecimalLed, decledFM_->GetScreenData());
    auto& open = settings.openWindows;
    open.setVisible(core::kOpenOctalLed, ledFM_->isVisible());
    open.setNumber(core::kOpenOctalLedSlot, ledFM_->GetDevice());
    open.setVisible(core::kOpenDecimalLed, decledFM_->isVisible());
    open.setNumber(core::kOpenDecimalLedSlot, decledFM_->GetDevice());
}

void ModuleWindows::closeAll() {
    for (QWidget* w : {static_cast<QWidget*>(ledFM_.get()), static_cast<QWidget*>(decledFM_.get())})
        if (w->isVisible()) w->close();
}

void ModuleWindows::hideAll() {
    ledFM_->hide();
    decledFM_->hide();
}

}  // namespace mira::gui
