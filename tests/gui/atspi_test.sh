#!/usr/bin/env bash
# Runs the emulator on a virtual display with a session bus and the accessibility bus, and
# walks its tree over AT-SPI (atspi_tree.py). Exit 77 (skipped) when the buses cannot start.
# Usage: atspi_test.sh MIRA8 atspi_tree.py [TREE_LISTING]
set -u
app=$1
script=$2
listing=${3:-}
skip() { echo "SKIP: $*"; exit 77; }

py=/usr/bin/python3
[ -x "$py" ] && "$py" -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is not installed"
launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$launcher" ] || skip "at-spi2-core is not installed"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"
command -v dbus-run-session >/dev/null || skip "dbus-run-session is not installed"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run"
mkdir "$work/data"

cat > "$work/inner.sh" <<INNER
set -u
export XDG_RUNTIME_DIR="$work/run" MIRA8_DATA_DIR="$work/data"
"$launcher" --launch-immediately >"$work/bus.log" 2>&1 &
bus=\$!
for _ in \$(seq 50); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null 2>&1 && break
  sleep 0.2
done
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
  >/dev/null 2>&1 || { echo "SKIP: the accessibility bus did not start"; kill \$bus; exit 77; }
QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 "$app" >"$work/app.log" 2>&1 &
pid=\$!
"$py" "$script" $listing
rc=\$?
kill \$pid 2>/dev/null
wait \$pid 2>/dev/null
kill \$bus 2>/dev/null
[ \$rc = 0 ] || cat "$work/app.log"
exit \$rc
INNER
# Xvfb picks its own display (-displayfd): xvfb-run -a only looks at lock files in /tmp, so
# beside another X server that shares the abstract socket namespace but not /tmp it took a
# display whose socket answered for the other server, and the emulator could not connect.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 $xvfb 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; skip "Xvfb did not start"; }
DISPLAY=":$(head -n1 "$work/display")" dbus-run-session -- bash "$work/inner.sh"
rc=$?
[ $rc = 77 ] && exit 77
exit $rc
