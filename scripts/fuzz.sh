#!/usr/bin/env bash
# Builds the fuzz targets with clang, ASan and UBSan, and runs each for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
MIRA8_NO_GUI=1 scripts/setup.sh
# libFuzzer and the sanitizer runtimes come with clang's runtime package, not clang itself.
missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMIRA8_SANITIZE="address;undefined" -DMIRA8_BUILD_GUI=OFF -DMIRA8_BUILD_BENCH=OFF \
  -DMIRA8_WERROR=ON -DMIRA8_FUZZ=ON >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target core_readers_fuzz assembler_fuzz mira8_compiler_data
ctest --test-dir build/fuzz -L fuzz --output-on-failure
