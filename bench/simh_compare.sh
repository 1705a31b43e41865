#!/usr/bin/env bash
# Speed yardstick: the emulator against the SIMH PDP-8 simulator (Debian package simh,
# binary pdp8), a mature instruction-level simulator of a comparable 12-bit minicomputer,
# on the same machine in the same run, program by program.
#
#   bench/simh_compare.sh [path/to/mira8-cli] [pairs (5)] [seconds per run (1)]
#
# Each pair runs every row once, one after the other: pdp8 on its program, then
# `mira8-cli bench --program P` on the instruction engine and on the clock-state engine.
# Rates are instructions per second of processor time (user + system), so other load on a
# shared machine does not count against either side. Prints each pair, then the table of
# medians: each engine's rate over pdp8's on the same kind of program, and each poll loop's
# rate over the counting loop of its mode (isz in Normal mode, inc in WIF mode).
set -uo pipefail
cd "$(dirname "$0")/.."
cli="${1:-build/dev/bin/mira8-cli}"
pairs="${2:-5}"
seconds="${3:-1}"

if [[ ! -x "$cli" ]]; then
  echo "simh_compare: $cli not found; build it first (cmake --build build/dev --target mira8-cli)"
  exit 1
fi
if ! command -v pdp8 >/dev/null 2>&1; then
  echo "simh_compare: pdp8 not found; installing the simh package"
  scripts/setup.sh simh >/dev/null 2>&1 || true
fi
if ! command -v pdp8 >/dev/null 2>&1; then
  echo "simh_compare: skipped: the simh package (pdp8) is not installed and could not be installed"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The pdp8 programs at octal 200, each the counterpart of a mira8-cli bench loop.
simh_instructions=$(awk -v s="$seconds" 'BEGIN { printf "%d", 200000000 * s }')
simh_program() {  # name, then "address word" pairs
  local name=$1
  shift
  {
    for d in "$@"; do echo "d $d"; done
    echo "d pc 200"
    echo "s $simh_instructions"
    echo "q"
  } >"$work/$name.sim"
}
simh_program isz "200 2210" "201 5200" "202 5200" "210 0"        # ISZ 210 / JMP 200 / JMP 200
simh_program tad "200 1210" "201 3211" "202 5200" "210 5"        # TAD 210 / DCA 211 / JMP 200
simh_program jms "200 4204" "201 5200" "204 0" "205 5604"        # JMS 204 / JMP 200; JMP I 204
simh_program poll "200 6011" "201 5200"                          # RSF (never ready) / JMP 200
simh_program table "200 1410" "201 5200"                         # TAD I 10 (autoindex) / JMP 200

# Rows: mira8-cli bench mode and program, the pdp8 program it is held against.
rows=(
  "normal isz isz"
  "normal tad tad"
  "normal jms jms"
  "normal poll poll"
  "wif inc isz"
  "wif call jms"
  "wif table table"
  "wif poll poll"
)

# Processor seconds (user + system) of a command, with its output thrown away.
cpu_seconds() {
  local TIMEFORMAT='%3U %3S'
  local t
  t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk '{ printf "%.3f", $1 + $2 }' <<<"$t"
}

simh_rate() {
  local s
  s=$(cpu_seconds pdp8 "$work/$1.sim")
  awk -v n="$simh_instructions" -v s="$s" 'BEGIN { printf "%.0f", n / s }'
}

mira_rate() {  # mode program engine
  "$cli" bench --mode "$1" --program "$2" --engine "$3" --seconds "$seconds" |
    awk '/^instructions\/s:/ { print $2 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

declare -A fast_ratio clock_ratio poll_ratio
printf "%-5s %-7s %-6s %14s %14s %14s %8s %8s\n" pair mode prog "pdp8 i/s" "fast i/s" "clock i/s" fast clock
for ((i = 1; i <= pairs; i++)); do
  declare -A simh=() counting=()
  for p in isz tad jms poll table; do simh[$p]=$(simh_rate "$p"); done
  for row in "${rows[@]}"; do
    read -r mode prog ref <<<"$row"
    f=$(mira_rate "$mode" "$prog" instruction)
    c=$(mira_rate "$mode" "$prog" clock)
    rf=$(ratio "$f" "${simh[$ref]}")
    rc=$(ratio "$c" "${simh[$ref]}")
    fast_ratio[$row]+="$rf "
    clock_ratio[$row]+="$rc "
    if [[ $prog == isz || $prog == inc ]]; then counting[$mode]=$f; fi
    if [[ $prog == poll ]]; then poll_ratio[$mode]+="$(ratio "$f" "${counting[$mode]}") "; fi
    printf "%-5s %-7s %-6s %14s %14s %14s %8s %8s\n" "$i" "$mode" "$prog" "${simh[$ref]}" "$f" "$c" "$rf" "$rc"
  done
done

echo
echo "median of $pairs pairs; rates over pdp8 on the program in brackets"
printf "%-7s %-6s %-8s %10s %10s\n" mode prog pdp8 fast clock
for row in "${rows[@]}"; do
  read -r mode prog ref <<<"$row"
  printf "%-7s %-6s %-8s %10s %10s\n" "$mode" "$prog" "($ref)" \
    "$(tr ' ' '\n' <<<"${fast_ratio[$row]}" | grep . | median)" \
    "$(tr ' ' '\n' <<<"${clock_ratio[$row]}" | grep . | median)"
done
for mode in normal wif; do
  echo "poll loop over the counting loop, $mode: $(tr ' ' '\n' <<<"${poll_ratio[$mode]}" | grep . | median)"
done
