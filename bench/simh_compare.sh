#!/usr/bin/env bash
# Speed yardstick: the emulator's instruction engine against the SIMH PDP-8 simulator
# (Debian package simh, binary pdp8), a mature instruction-level simulator of a comparable
# 12-bit minicomputer, on the same machine in the same run.
#
#   bench/simh_compare.sh [path/to/mira8-cli] [pairs (5)] [seconds per run (2)]
#
# Each pair runs pdp8 on an unthrottled ISZ/JMP loop, then `mira8-cli bench` in Normal
# mode (its ISZ/JMP loop) and in WIF mode, one after the other. Rates are instructions per
# second of processor time (user + system), so other load on a shared machine does not
# count against either side. Prints each pair and the median of each ratio.
set -uo pipefail
cd "$(dirname "$0")/.."
cli="${1:-build/dev/bin/mira8-cli}"
pairs="${2:-5}"
seconds="${3:-2}"

if [[ ! -x "$cli" ]]; then
  echo "simh_compare: $cli not found; build it first (cmake --build build/dev --target mira8-cli)"
  exit 1
fi
if ! command -v pdp8 >/dev/null 2>&1; then
  echo "simh_compare: pdp8 not found; installing the simh package"
  if [[ $(id -u) -eq 0 ]]; then
    apt-get install -y simh >/dev/null 2>&1 || true
  elif command -v sudo >/dev/null 2>&1; then
    sudo -n apt-get install -y simh >/dev/null 2>&1 || true
  fi
fi
if ! command -v pdp8 >/dev/null 2>&1; then
  echo "simh_compare: skipped: the simh package (pdp8) is not installed and could not be installed"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ISZ 210 / JMP 200 / JMP 200 at octal 200: the same loop as mira8-cli bench in Normal mode.
simh_instructions=500000000
cat >"$work/loop.sim" <<EOF
d 200 2210
d 201 5200
d 202 5200
d 210 0
d pc 200
s $simh_instructions
q
EOF

# Processor seconds (user + system) of a command, with its output thrown away.
cpu_seconds() {
  local TIMEFORMAT='%3U %3S'
  local t
  t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk '{ printf "%.3f", $1 + $2 }' <<<"$t"
}

simh_rate() {
  local s
  s=$(cpu_seconds pdp8 "$work/loop.sim")
  awk -v n="$simh_instructions" -v s="$s" 'BEGIN { printf "%.0f", n / s }'
}

mira_rate() {
  "$cli" bench --mode "$1" --seconds "$seconds" | awk '/^instructions\/s:/ { print $2 }'
}

median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

printf "%-5s %16s %16s %16s %8s %8s\n" pair "simh pdp8 i/s" "normal i/s" "wif i/s" normal wif
normal_ratios=()
wif_ratios=()
for ((i = 1; i <= pairs; i++)); do
  s=$(simh_rate)
  n=$(mira_rate normal)
  w=$(mira_rate wif)
  rn=$(awk -v a="$n" -v b="$s" 'BEGIN { printf "%.3f", a / b }')
  rw=$(awk -v a="$w" -v b="$s" 'BEGIN { printf "%.3f", a / b }')
  normal_ratios+=("$rn")
  wif_ratios+=("$rw")
  printf "%-5s %16s %16s %16s %8s %8s\n" "$i" "$s" "$n" "$w" "$rn" "$rw"
done
echo "median ratio, Normal / simh: $(printf '%s\n' "${normal_ratios[@]}" | median)"
echo "median ratio, WIF / simh:    $(printf '%s\n' "${wif_ratios[@]}" | median)"
