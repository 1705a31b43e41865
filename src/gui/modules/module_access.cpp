#include "modules/module_access.h"

#include <QColor>
#include <QToolButton>

#include "devices/external_switches.h"
#include "devices/keypad.h"
#include "devices/mag_tape.h"
#include "drawn_access.h"
#include "modules/ascii.h"
#include "modules/display57.h"
#include "modules/display8.h"
#include "modules/key.h"
#include "modules/key2.h"
#include "modules/mag.h"
#include "modules/prntr.h"
#include "modules/swit.h"
#include "modules/tape.h"
#include "modules/tape_art.h"

namespace mira::gui {

namespace {

namespace ta = tapeart;
using core::ControlArea;
using core::ControlKind;
using core::DrawnControl;

// The ring on the module housings: the amber of their lamps.
const QColor kModuleRing(0xff, 0xb0, 0x30);
// How many of the printer's newest lines a screen reader is given.
constexpr int kPrinterLinesRead = 3;
// The external switches' levers are pushed in the middle of their bands.
constexpr int kExtUpper = (devices::kExtUpperTop + devices::kExtUpperBottom) / 2;
constexpr int kExtLower = (devices::kExtLowerTop + devices::kExtLowerBottom) / 2;

// A display's text as it is read out: trailing blanks dropped, nothing shown is "blank".
std::string shownText(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text.empty() ? std::string("blank") : text;
}

ControlArea areaOf(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }
QPoint centreOf(const ControlArea& a) { return {a.centreX(), a.centreY()}; }

// A control worked by clicking its centre on `picture`.
DrawnControl clicked(QWidget* picture, ControlArea area, ControlKind kind, std::string name) {
    DrawnControl c;
    c.area = area;
    c.kind = kind;
    c.name = std::move(name);
    c.press = [picture, area] { sendClick(picture, centreOf(area), true); };
    c.release = [picture, area] { sendClick(picture, centreOf(area), false); };
    return c;
}

DrawnControl readout(ControlArea area, std::string name, std::function<std::string()> state) {
    DrawnControl c;
    c.area = area;
    c.kind = ControlKind::Readout;
    c.name = std::move(name);
    c.state = std::move(state);
    return c;
}

DrawnControl lampReadout(ControlArea area, std::string name, std::function<bool()> lit) {
    DrawnControl c = core::lampControl(area, std::move(lit));
    c.name = std::move(name);
    return c;
}

void attach(ModuleWindow& w, QWidget* picture, core::ControlTable table, bool keyboard = true) {
    new DrawnControls(picture, std::move(table), w.windowTitle(), kModuleRing, keyboard);
    if (keyboard && !w.focusProxy()) w.setFocusProxy(picture == &w ? nullptr : picture);
}

core::ControlTable keypadControls(TkeyFM& w) {
    core::ControlTable t;
    QWidget* pic = w.image();
    for (int tag = 0; tag < devices::kKeypadKeyCount; ++tag)
        t.add(clicked(pic, areaOf(TkeyFM::keyRect(tag)), ControlKind::Key,
                      devices::kKeypadCaptions[tag]));
    DrawnControl ctl = clicked(pic, areaOf(TkeyFM::keyRect(TkeyFM::kCtlKey)), ControlKind::Toggle, "CTL");
    ctl.on = [&w] { return w.keypad().ctrlDown(); };
    ctl.state = [&w] { return std::string(w.keypad().ctrlDown() ? "down" : "up"); };
    t.add(std::move(ctl));
    static constexpr const char* kLamps[6] = {"Lamp L", "Lamp D", "Lamp C", "Lamp B", "Lamp A", "Lamp F"};
    for (int lamp = 0; lamp < 6; ++lamp)
        t.add(lampReadout(areaOf(TkeyFM::lampRect(lamp)), kLamps[lamp], [&w, lamp] { return w.lampLit(lamp); }));
    return t;
}

core::ControlTable keypad2Controls(TkeypadFM& w) {
    core::ControlTable t;
    for (int k = 0; k < devices::kKeypad2KeyCount; ++k) {
        DrawnControl c = clicked(w.image(), areaOf(TkeypadFM::keyRect(k)), ControlKind::Key, {});
        // Captions come from the key table and change with it.
        c.nameNow = [&w, k] {
            const std::string& caption = w.keyTable().captions[static_cast<size_t>(k)];
            return caption.empty() ? "Key " + std::to_string(k) : caption;
        };
        c.state = [&w, k] { return w.keyHint(k).toStdString(); };
        c.present = [&w, k] { return w.keypad().keyVisible(k); };
        t.add(std::move(c));
    }
    return t;
}

core::ControlTable switchControls(TswitFM& w) {
    core::ControlTable t;
    QWidget* pic = w.image();
    auto column = [](int x0) {
        return ControlArea{x0 + 1, devices::kExtUpperTop, devices::kExtSwitchWidth - 1,
                           devices::kExtLowerBottom - devices::kExtUpperTop + 1};
    };
    for (int i = 0; i < 8; ++i) {
        DrawnControl c;
        c.area = column(devices::kExtDataX0[static_cast<size_t>(i)]);
        c.kind = ControlKind::Toggle;
        c.name = "Mask bit " + std::to_string(7 - i);
        c.on = [&w, i] { return w.switches().dataBit(i); };
        c.state = [&w, i] { return std::string(w.switches().dataBit(i) ? "up, 1" : "down, 0"); };
        // A lever is pushed where it stands, as the mouse pushes it.
        c.press = [&w, pic, i, x = c.area.centreX()] {
            sendClick(pic, {x, w.switches().dataBit(i) ? kExtUpper : kExtLower}, true);
        };
        c.release = [pic, x = c.area.centreX()] { sendClick(pic, {x, kExtUpper}, false); };
        t.add(std::move(c));
    }
    const std::pair<int, const char*> keys[] = {{devices::kExtLoadAddressX0, "LOAD ADDR"},
                                                 {devices::kExtDepositX0, "DEPOSIT"}};
    for (const auto& [x0, name] : keys) {
        DrawnControl c = clicked(pic, column(x0), ControlKind::Key, name);
        c.press = [pic, x = column(x0).centreX()] { sendClick(pic, {x, kExtUpper}, true); };
        c.release = [pic, x = column(x0).centreX()] { sendClick(pic, {x, kExtUpper}, false); };
        const bool load = x0 == devices::kExtLoadAddressX0;
        c.on = [&w, load] {
            return load ? w.switches().loadAddressPressed() : w.switches().depositPressed();
        };
        t.add(std::move(c));
    }
    return t;
}

core::ControlTable magControls(TmagFM& w) {
    core::ControlTable t;
    static constexpr const char* kKeys[5] = {"RECORD", "PLAY", "REWIND", "FAST FORWARD", "STOP"};
    for (int key = 1; key <= 5; ++key) {
        const devices::MagKeyArea a = devices::magKeyArea(key);
        const ControlArea area{ta::kKeyStrip.x() + a.x, ta::kKeyStrip.y() + a.y, a.width, a.height};
        DrawnControl c = clicked(&w, area, ControlKind::Key, kKeys[key - 1]);
        c.on = [&w, key] { return w.mag().mode() == key; };
        t.add(std::move(c));
    }
    return t;
}

core::ControlTable tapeControls(PaperTapeWindow& w, const char* button, std::function<bool()> tape,
                                std::function<bool()> fault) {
    core::ControlTable t;
    DrawnControl b = clicked(&w, areaOf(ta::kButtonHit), ControlKind::Key, button);
    b.on = [&w] { return w.buttonPressed(); };
    t.add(std::move(b));
    t.add(lampReadout(areaOf(ta::kButtonHit), "Tape fitted", std::move(tape)));
    t.add(lampReadout(areaOf(ta::kButtonHit), "Fault lamp", std::move(fault)));
    return t;
}

}  // namespace

void attachDrawnControls(ModuleWindow& window) {
    const ControlArea whole{0, 0, window.width(), window.height()};
    if (auto* w = dynamic_cast<TkeyFM*>(&window)) {
        attach(*w, w->image(), keypadControls(*w));
    } else if (auto* w2 = dynamic_cast<TkeypadFM*>(&window)) {
        attach(*w2, w2->image(), keypad2Controls(*w2));
    } else if (auto* sw = dynamic_cast<TswitFM*>(&window)) {
        attach(*sw, sw->image(), switchControls(*sw));
    } else if (auto* mag = dynamic_cast<TmagFM*>(&window)) {
        attach(*mag, mag, magControls(*mag));
        // The counter's reset is a picture button with only a tip.
        if (QWidget* reset = mag->resetCounterButton(); reset && reset->accessibleName().isEmpty())
            reset->setAccessibleName(QStringLiteral("Reset counter"));
    } else if (auto* reader = dynamic_cast<TtapeFM*>(&window)) {
        attach(*reader, reader,
               tapeControls(*reader, "Reader button", [reader] { return reader->reader().hasTape(); },
                            [reader] { return reader->reader().faultLamp(); }));
    } else if (auto* punch = dynamic_cast<TtapewtFM*>(&window)) {
        attach(*punch, punch,
               tapeControls(*punch, "Fit tape", [punch] { return punch->punch().tapeFitted(); },
                            [punch] { return punch->punch().faultLamp(); }));
    } else if (auto* ten = dynamic_cast<Tdisp8FM*>(&window)) {
        core::ControlTable t;
        t.add(readout(whole, "Display", [ten] { return shownText(ten->display().text()); }));
        attach(*ten, ten->image(), std::move(t), false);
    } else if (auto* alpha = dynamic_cast<Tdisp57FM*>(&window)) {
        core::ControlTable t;
        t.add(readout(whole, "Line 1", [alpha] { return shownText(alpha->display().lineText(1)); }));
        t.add(readout(whole, "Line 2", [alpha] { return shownText(alpha->display().lineText(2)); }));
        attach(*alpha, alpha->image(), std::move(t), false);
    } else if (auto* ascii = dynamic_cast<TasciiFM*>(&window)) {
        core::ControlTable t;
        t.add(lampReadout(areaOf(QRect(TasciiFM::kLampXActive, TasciiFM::kLampY, TasciiFM::kLampSize,
                                       TasciiFM::kLampSize)),
                          "Typing into the machine",
                          [ascii] { return ascii->lampRect().x() == TasciiFM::kLampXActive; }));
        DrawnControl last = readout(whole, "Last key code", [ascii] {
            return std::to_string(ascii->keyboard().keyData());
        });
        last.number = [ascii]() -> std::optional<int64_t> { return ascii->keyboard().keyData(); };
        t.add(std::move(last));
        attach(*ascii, ascii->image(), std::move(t), false);
    } else if (auto* prn = dynamic_cast<TprnFM*>(&window)) {
        auto* body = prn->findChild<QWidget*>(QStringLiteral("prnImage"));
        if (!body) return;
        core::ControlTable t;
        t.add(readout({0, 0, body->width(), body->height()}, "Paper", [prn] {
            // The newest lines, newest first, as a reader would look down the paper.
            const auto& roll = prn->printer().roll();
            std::string text;
            int n = 0;
            for (auto it = roll.rbegin(); it != roll.rend() && n < kPrinterLinesRead; ++it, ++n)
                text += (text.empty() ? "" : " / ") + *it;
            return shownText(text);
        }));
        attach(*prn, body, std::move(t), false);
    }
}

}  // namespace mira::gui
