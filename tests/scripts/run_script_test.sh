#!/usr/bin/env bash
# scripts/run.sh on a copy of the tree whose build step only leaves a mark: without a
# display it must refuse before building; with one it builds and starts the emulator.
set -uo pipefail
src="$(cd "$(dirname "$0")/../.." && pwd)"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/scripts"
cp "$src/scripts/run.sh" "$tree/scripts/"
cat > "$tree/scripts/build.sh" <<'FAKE'
#!/usr/bin/env bash
cd "$(dirname "$0")/.."
touch built
mkdir -p build/dev/bin
printf '#!/bin/sh\necho "emulator started $*"\n' > build/dev/bin/mira8
chmod +x build/dev/bin/mira8
FAKE
chmod +x "$tree/scripts/build.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }

err="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tree/scripts/run.sh" 2>&1 >/dev/null)"
rc=$?
[ "$rc" -eq 1 ] || fail "without a display run.sh exited $rc, not 1"
[[ "$err" == *"there is no display"* ]] || fail "without a display run.sh said: $err"
[ ! -e "$tree/built" ] || fail "without a display run.sh built first"

out="$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:99 "$tree/scripts/run.sh" --x 2>&1)"
rc=$?
[ "$rc" -eq 0 ] || fail "with a display run.sh exited $rc: $out"
[ -e "$tree/built" ] || fail "with a display run.sh did not build"
[[ "$out" == *"emulator started --x"* ]] || fail "with a display the emulator did not start: $out"
echo "ok"
