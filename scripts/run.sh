#!/usr/bin/env bash
# Builds the emulator and runs it. Until the desktop window exists this runs the example
# program through the headless CLI and prints the machine's final state.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh dev >/dev/null
if [ -x build/dev/bin/mira8 ]; then
  exec build/dev/bin/mira8 "$@"
fi
exec build/dev/bin/mira8-cli run --out 0 "${1:-examples/count-to-led.words}"
