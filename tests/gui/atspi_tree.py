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


def main():
    app = find_app("mira8")
    if app is None:
        fail("the emulator never appeared on the accessibility bus")
    panel = panel_of(app)
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
    do_action(bit0, "Toggle")
    do_action(found["LOAD ADDR"], "Press")
    found = controls(panel)
    if found["Switch register bit 0"].getState().contains(pyatspi.STATE_CHECKED):
        fail("bit 0 still up after its action")
    pc = next(c for n, c in found.items() if n.startswith("PC "))
    sr = int(pc.queryValue().currentValue)
    print(f"switch register read back from the PC lamps: {sr} ({pc.name})")
    if sr != 254:
        fail(f"PC lamps show {sr}, expected 254")
    if len(sys.argv) > 1:
        lines = []
        walk(app, out=lines)
        with open(sys.argv[1], "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
    print("PASS")


if __name__ == "__main__":
    main()
