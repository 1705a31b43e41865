#!/usr/bin/env bash
# Configures and builds one preset (default: dev) after installing what the build needs.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
shift || true
scripts/setup.sh
cmake --preset "$preset" -DMIRA8_WERROR=ON "$@" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
