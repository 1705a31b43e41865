#!/usr/bin/env bash
# Installs what the build needs, builds the dev preset and starts the emulator, the MIRA-8
# front panel; arguments go to it. Without a GUI build it runs the example program
# through the headless CLI and prints the machine's final state instead.
set -euo pipefail
cd "$(dirname "$0")/.."
# A build takes minutes: say that there is nowhere to show the panel before it, not after.
# A tree configured without the GUI (-DMIRA8_BUILD_GUI=OFF) needs no display.
if ! grep -qs '^MIRA8_BUILD_GUI:BOOL=OFF$' build/dev/CMakeCache.txt &&
   [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "run: there is no display to show the emulator on; start it from a desktop session" >&2
  echo "     (on a machine without one: xvfb-run -a scripts/run.sh)" >&2
  exit 1
fi
scripts/build.sh dev
if [ -x build/dev/bin/mira8 ]; then
  exec build/dev/bin/mira8 "$@"
fi
exec build/dev/bin/mira8-cli run --out 0 "${1:-examples/count-to-led.words}"
