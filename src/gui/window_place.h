// How the application's top-level windows behave on a desktop: where they open (beside
// the panel, wholly on a screen) and where the focus goes when a message box or dialog
// closes (back to the window that opened it).
#pragma once

class QWidget;

namespace mira::gui {

// The panel every other window opens beside.
void setPlacementPanel(QWidget* panel);

// From now on `window` is placed whenever it is shown: a window standing at 0,0 (never
// placed, or a stored place that the settings' clamp sent there) opens beside the panel,
// cascaded after the others; any other place is kept, moved back wholly onto a screen.
void placeOnShow(QWidget* window);

// A drag on a frameless window's picture: handed to the window system's own move, which
// works where a program may not move its windows itself (Wayland). False where the
// platform cannot (offscreen, an X11 desktop without a window manager): the caller moves
// the window itself.
bool startWindowSystemMove(QWidget* window);

// Cuts a frameless window to the pixels its picture paints, so no square corner or band
// of window background covers what lies beneath.
void shapeToPicture(QWidget* window);

// Before a frameless window is first shown: on a Wayland desktop (natively, or as an X11
// program through XWayland) its window is made see-through where its picture paints
// nothing, as a mask alone does not cut what the compositor shows there.
void letDesktopShowThrough(QWidget* window);

// False where the window system does not tell a program where its windows are (natively
// on Wayland): what the program holds as a window's place is then its own guess.
bool windowSystemReportsPlaces();

// Once per application: every modal box or dialog, when it closes, gives the activation
// and the keyboard focus back to the window and widget that had them when it opened.
void installFocusReturn();

// The window a message box belongs to: the active window (the one the user was working
// in), else `fallback`.
QWidget* openerWindow(QWidget* fallback);

}  // namespace mira::gui
