"""Walks the emulator's accessibility tree over AT-SPI, as a screen reader reads it.

Finds every panel control by name, throws a data switch through its action, loads the
address and reads the switch register back from the PC lamps' value. Writes the tree as a
text listing to the file named by the first argument (optional).
"""
import sys
import time

import pyatspi

PANEL_CONTROLS = [f"Switch register bit {b}" for b in range(7, -1, -1)] + [
    "LOAD ADDR", "DEPOSIT", "EXAMINE", "RUN", "HALT", "SINGLE/CONT", "SLOW/FAST"]
READOUT_PREFIXES = ["PC ", "MA ", "MB ", "AC ", "RUN ", "FETCH ", "DEFER ", "EXEC "]


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def find_app(name, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name:
                return app
        time.sleep(0.5)
    return None


def fresh(acc):
    # Names and states are cached by the client; a screen reader follows the events, this
    # walk asks again.
    try:
        acc.clear_cache()
    except Exception:
        pass
    return acc


def walk(acc, depth=0, out=None, found=None):
    fresh(acc)
    role = acc.getRoleName()
    states = acc.getState()
    marks = [s for s, st in (("checked", pyatspi.STATE_CHECKED), ("pressed", pyatspi.STATE_PRESSED),
                             ("focused", pyatspi.STATE_FOCUSED)) if states.contains(st)]
    line = "  " * depth + f"[{role}] \"{acc.name}\""
    if acc.description:
        line += f" ({acc.description})"
    try:
        value = acc.queryValue().currentValue
        line += f" value={int(value)}"
    except NotImplementedError:
        pass
    try:
        actions = acc.queryAction()
        names = [actions.getName(i) for i in range(actions.nActions)]
        if names:
            line += " actions=" + ",".join(names)
    except NotImplementedError:
        pass
    if marks:
        line += " {" + ",".join(marks) + "}"
    if out is not None:
        out.append(line)
    if found is not None:
        found.setdefault(acc.name, acc)
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, out, found)


def do_action(acc, wanted):
    actions = acc.queryAction()
    for i in range(actions.nActions):
        if actions.getName(i) == wanted:
            if not actions.doAction(i):
                fail(f"{acc.name}: action {wanted} refused")
            return
    fail(f"{acc.name}: no action {wanted}")


def panel_of(app):
    found = {}
    walk(app, found=found)
    panel = found.get("Front panel")
    if panel is None:
        fail("no object named 'Front panel'")
    return panel


def controls(panel):
    found = {}
    for i in range(panel.childCount):
        c = fresh(panel.getChildAtIndex(i))
        found[c.name] = c
    return found


class Events:
    """The events a screen reader would hear, gathered while the main loop is pumped."""

    def __init__(self):
        from gi.repository import GLib
        self.context = GLib.MainContext.default()
        self.events = []
        pyatspi.Registry.registerEventListener(
            self.heard, "object:state-changed", "object:property-change:accessible-name")
        self.pump(1.0)

    def heard(self, event):
        try:
            name = event.source.name
        except Exception:
            name = ""
        self.events.append((event.type, name, time.time()))

    def pump(self, seconds):
        end = time.time() + seconds
        while time.time() < end:
            while self.context.iteration(False):
                pass
            time.sleep(0.01)

    def seen(self, kind, name):
        return any(str(t).startswith(kind) and n == name for t, n, _ in self.events)


def check_fast_run_is_throttled(found, listener):
    # A program of AND 0 words runs round memory for ever; the PC row changes all the time.
    do_action(found["SINGLE/CONT"], "Toggle")
    do_action(found["SLOW/FAST"], "Toggle")
    do_action(found["RUN"], "Press")
    listener.pump(0.5)
    start = len(listener.events)
    listener.pump(4.0)
    named = [e for e in listener.events[start:]
             if str(e[0]).startswith("object:property-change:accessible-name") and e[1].startswith("PC ")]
    print(f"PC row announcements in 4 s of fast run: {len(named)}")
    if len(named) > 6:
        fail(f"a fast run flooded the reader: {len(named)} PC announcements in 4 s")
    if "RUN on" not in controls(found["HALT"].parent):
        fail("RUN did not start a fast run")
    # HALT through its action stops the run: the action holds it as a click would.
    do_action(found["HALT"], "Press")
    listener.pump(1.0)
    if "RUN on" in controls(found["HALT"].parent):
        fail("HALT did not stop the fast run")


def main():
    app = find_app("mira8")
    if app is None:
        fail("the emulator never appeared on the accessibility bus")
    panel = panel_of(app)
    if len(sys.argv) > 1:
        # The tree as a screen reader first finds it.
        lines = []
        walk(app, out=lines)
        with open(sys.argv[1], "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
    found = controls(panel)
    missing = [n for n in PANEL_CONTROLS if n not in found]
    missing += [p for p in READOUT_PREFIXES if not any(n.startswith(p) for n in found)]
    if missing:
        fail("not found by name: " + ", ".join(missing))
    for n in PANEL_CONTROLS:
        role = found[n].getRole()
        if role not in (pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_PUSH_BUTTON):
            fail(f"{n}: role {found[n].getRoleName()}")
    bit0 = found["Switch register bit 0"]
    if not bit0.getState().contains(pyatspi.STATE_CHECKED):
        fail("bit 0 at rest is not up (checked)")
    listener = Events()
    do_action(bit0, "Toggle")
    listener.pump(1.0)
    if not listener.seen("object:state-changed", "Switch register bit 0"):
        fail("no state change was announced for bit 0: " + repr(listener.events[:10]))
    do_action(found["LOAD ADDR"], "Press")
    found = controls(panel)
    if found["Switch register bit 0"].getState().contains(pyatspi.STATE_CHECKED):
        fail("bit 0 still up after its action")
    pc = next(c for n, c in found.items() if n.startswith("PC "))
    # LOAD ADDR is held for a moment, as a click holds it; PC = SR once it is let go.
    end = time.time() + 5
    while int(pc.queryValue().currentValue) != 254 and time.time() < end:
        listener.pump(0.1)
    sr = int(pc.queryValue().currentValue)
    print(f"switch register read back from the PC lamps: {sr} ({fresh(pc).name})")
    if sr != 254:
        fail(f"PC lamps show {sr}, expected 254")
    check_fast_run_is_throttled(found, listener)
    print("PASS")


if __name__ == "__main__":
    main()
