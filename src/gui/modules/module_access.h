// The drawn controls of the module windows for the keyboard and a screen reader: keys with
// their captions, switches, lamps and what the displays and the printer show.
#pragma once

namespace mira::gui {

class ModuleWindow;

// Builds the window's control table and attaches it; windows with nothing drawn to work or
// read are left as they are.
void attachDrawnControls(ModuleWindow& window);

}  // namespace mira::gui
