#!/usr/bin/env bash
# Builds the fuzz targets with clang, ASan and UBSan, and runs each for a bounded time:
# 30 s each (CI), or an hour each with --long (nightly).
set -euo pipefail
seconds=30
if [ "${1:-}" = "--long" ]; then seconds=3600; fi
cd "$(dirname "$0")/.."
# libFuzzer and the sanitizer runtimes come with clang's runtime package, not clang itself.
MIRA8_NO_GUI=1 scripts/setup.sh clang libclang-rt-14-dev
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMIRA8_SANITIZE="address;undefined" -DMIRA8_BUILD_GUI=OFF -DMIRA8_BUILD_BENCH=OFF \
  -DMIRA8_WERROR=ON -DMIRA8_FUZZ=ON -DMIRA8_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target fuzz_targets
ctest --test-dir build/fuzz -L fuzz --output-on-failure
# Which link states the link fuzzer's corpus reaches (every state of the protocol's tables).
build/fuzz/bin/link_fuzz -runs=0 -max_len=8192 build/fuzz/tests/fuzz/corpus/link_fuzz tests/fuzz/corpus/link_fuzz 2>&1 |
  grep "^link states"
