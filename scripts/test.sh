#!/usr/bin/env bash
# Builds and runs the whole test suite. Usage: scripts/test.sh [preset]  (dev, asan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
scripts/build.sh "$preset"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 0700 "$XDG_RUNTIME_DIR"
ctest --preset "$preset" -j "$(nproc)" --timeout 600
