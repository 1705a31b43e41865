#!/usr/bin/env bash
# Builds the fuzz targets with clang, ASan and UBSan, and runs each for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
MIRA8_NO_GUI=1 scripts/setup.sh
if ! command -v clang++ >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev
fi
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMIRA8_SANITIZE="address;undefined" -DMIRA8_BUILD_GUI=OFF -DMIRA8_BUILD_BENCH=OFF \
  -DMIRA8_WERROR=ON >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target core_readers_fuzz assembler_fuzz mira8_compiler_data
ctest --test-dir build/fuzz -L fuzz --output-on-failure
