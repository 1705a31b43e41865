#include "modules/module_windows.h"

#include <QWidget>

#include "modules/ascii.h"
#include "modules/display57.h"
#include "modules/display8.h"
#include "modules/funcselect.h"
#include "modules/key.h"
#include "modules/key2.h"
#include "modules/led.h"
#include "modules/led_art.h"
#include "modules/mag.h"
#include "modules/module_access.h"
#include "modules/module_window.h"
#include "modules/prntr.h"
#include "modules/swit.h"
#include "modules/tape.h"
#include "modules/play.h"

namespace mira::gui {

ModuleWindows::ModuleWindows(QWidget* mainWindow, core::Machine& machine,
                             core::TimerFactory& timers, core::Prompter& prompter,
                             core::SoundEffects& sounds)
    : main_(mainWindow),
      prompter_(prompter),
      chooser_(std::make_unique<FuncSelChooser>(mainWindow)) {
    // Children of the main window: they close with it and never keep the application up.
    const ModuleEnv env{mainWindow, machine, timers, prompter, sounds, *chooser_};
    auto led = std::make_unique<TledFM>(env);
    ledFM_ = led.get();
    add(std::move(led));
    auto decled = std::make_unique<TdecledFM>(env);
    decledFM_ = decled.get();
    add(std::move(decled));
    add(std::make_unique<TkeyFM>(env));
    add(std::make_unique<TkeypadFM>(env));
    add(std::make_unique<TasciiFM>(env));
    add(std::make_unique<TprnFM>(env));
    add(std::make_unique<Tdisp8FM>(env));
    add(std::make_unique<Tdisp57FM>(env));
    add(std::make_unique<TswitFM>(env));
    add(std::make_unique<TtapeFM>(env));
    add(std::make_unique<TmagFM>(env));
    add(std::make_unique<TtapewtFM>(env));
    add(std::make_unique<TplayFM>(env));
}

// The windows go before the machine their modules are registered with.
ModuleWindows::~ModuleWindows() = default;

void ModuleWindows::add(std::unique_ptr<ModuleWindow> w) {
    attachDrawnControls(*w);
    windows_.push_back(std::move(w));
}

ModuleWindow* ModuleWindows::window(const devices::ModuleKind& kind) const {
    for (const auto& w : windows_)
        if (&w->kind() == &kind) return w.get();
    return nullptr;
}

ModuleWindow* ModuleWindows::windowOfType(int type) const {
    const devices::ModuleKind* kind = devices::moduleKindOfType(type);
    return kind ? window(*kind) : nullptr;
}

void ModuleWindows::buildTubeStrip() {
    const qreal dpr = main_->devicePixelRatioF();
    tubeStrip_ = ledart::makeTubeStrip(ledart::makeTube(dpr), dpr);
    if (tubeStrip_.isNull()) prompter_.error(kTubeError);
    for (LedWindow* w : {static_cast<LedWindow*>(ledFM_), static_cast<LedWindow*>(decledFM_)})
        w->setTubeStrip(tubeStrip_.isNull() ? nullptr : &tubeStrip_);
}

void ModuleWindows::open(const devices::ModuleKind& kind) {
    if (ModuleWindow* w = window(kind)) w->openFromMenu();
}

void ModuleWindows::PutScreenData(const core::SettingsFile& settings) {
    for (const auto& w : windows_) {
        w->PutScreenData(settings.windowLine(w->kind().stateKey));
        w->readSettings(settings);
    }
}

bool ModuleWindows::reopen(const core::ReopenStep& step) {
    const devices::ModuleKind* kind = devices::moduleKindOfReopenStep(step.window);
    ModuleWindow* w = kind ? window(*kind) : nullptr;
    if (!w) return false;
    w->reopen(step);
    return true;
}

void ModuleWindows::beforeSettingsSave() {
    for (const auto& w : windows_) w->beforeSettingsSave();
}

void ModuleWindows::GetScreenData(core::SettingsFile& settings) const {
    for (const auto& w : windows_) {
        settings.setWindowLine(w->kind().stateKey, w->GetScreenData());
        w->writeSettings(settings);
        w->writeOpenState(settings.openWindows);
    }
}

void ModuleWindows::fastRunStarting() {
    for (const auto& w : windows_) w->fastRunStarting();
}

void ModuleWindows::closeAll() {
    for (const auto& w : windows_)
        if (w->isVisible()) w->closeForModeChange();
}

void ModuleWindows::hideAll() {
    for (const auto& w : windows_) w->hide();
}

}  // namespace mira::gui
