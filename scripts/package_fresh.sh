#!/usr/bin/env bash
# The package on a fresh Debian 12 (called by `scripts/package.sh --check-fresh`): a
# minimal root (debootstrap --variant=minbase bookworm), the .deb installed with apt, so its
# Depends must bring every library and font; then `mira8 --check-data` and the panel under
# xvfb-run, screenshot in build/package/fresh-panel.png. The root is kept in
# build/fresh-root.tar (a later run starts from it, not from the network).
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:?usage: package_fresh.sh build/package/mira8_VERSION_ARCH.deb}
started=$(date +%s)
scripts/setup.sh debootstrap imagemagick
mirror=${MIRA8_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=build/fresh-root.tar
root=$(mktemp -d /tmp/mira8-fresh.XXXXXX)
cleanup() {
  for m in dev/pts dev proc; do umount "$root/$m" 2>/dev/null || true; done
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT
fail() { echo "fresh check: $*" >&2; exit 1; }

if [ -f "$cache" ]; then
  tar -C "$root" -xf "$cache"
else
  debootstrap --variant=minbase bookworm "$root" "$mirror" >build/package/debootstrap.log 2>&1 ||
    fail "debootstrap failed (build/package/debootstrap.log)"
  tar -C "$root" -cf "$cache" .
fi
mount -t proc proc "$root/proc" 2>/dev/null || true
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
# No services start inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "/tmp/$(basename "$deb")" >build/package/fresh-install.log 2>&1 ||
  fail "the package did not install (build/package/fresh-install.log)"
echo "fresh root: $(in_root dpkg-query -W | wc -l) packages with mira8 (no Recommends)"
out=$(in_root mira8 --check-data 2>&1) || fail "mira8 --check-data: $out"
echo "$out"
grep -qx "cmplr.dat: /usr/share/mira8/cmplr.dat" <<<"$out" || fail "instruction tables not found"

# The screenshot needs an X server, which is not the package's business: added afterwards.
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  xvfb xauth x11-apps >>build/package/fresh-install.log 2>&1 || fail "xvfb did not install"
in_root xvfb-run -a -s "-screen 0 1280x800x24" sh -c \
  'mira8 & sleep 6; xwd -root -silent >/tmp/panel.xwd; kill $!' >build/package/fresh-run.log 2>&1 ||
  fail "mira8 under xvfb-run (build/package/fresh-run.log)"
convert "xwd:$root/tmp/panel.xwd" -trim build/package/fresh-panel.png
echo "fresh check: ok, screenshot build/package/fresh-panel.png, in $(( $(date +%s) - started )) s"
