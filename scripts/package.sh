#!/usr/bin/env bash
# Builds the Debian package build/package/mira8_VERSION_ARCH.deb from a Release build and
# prints its size and dependencies. With --check (CI, as root): validates the menu entry
# and the AppStream file, installs the package, runs the installed programs, then removes
# and purges it (a mira8 already installed is purged first) and checks that nothing of it
# is left. With --check-fresh (as root, slow: it fetches a whole Debian): installs the
# package into a minimal Debian 12 root made by debootstrap, where nothing else is
# installed, runs `mira8 --check-data` there and takes a screenshot of the panel under
# xvfb-run (build/package/fresh-panel.png).
set -euo pipefail
cd "$(dirname "$0")/.."
check=0
if [ "${1:-}" = "--check" ]; then check=1; fi
if [ "${1:-}" = "--check-fresh" ]; then check=fresh; fi
started=$(date +%s)

# dpkg-shlibdeps (dpkg-dev) and file compute Depends; the validators check the menu files.
scripts/setup.sh dpkg-dev file desktop-file-utils appstream

# The package preset builds with -O2, as Debian builds its packages (GCC 12 at -O3 warns
# falsely of overlapping copies).
cmake --preset package -DMIRA8_WERROR=ON >/dev/null
cmake --build --preset package -j "$(nproc)"
rm -f build/package/mira8_*.deb
(cd build/package && cpack -G DEB >/dev/null)
deb=$(ls build/package/mira8_*.deb)
echo "package: $deb, $(du -k "$deb" | cut -f1) KiB, installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"
if [ "$check" = 0 ]; then exit 0; fi
if [ "$check" = fresh ]; then exec scripts/package_fresh.sh "$deb"; fi

fail() { echo "package check: $*" >&2; exit 1; }
home=""
# A failed check leaves neither the package nor a scratch home behind.
cleanup() {
  if [ -n "$home" ]; then rm -rf "$home"; fi
  if dpkg-query -W mira8 >/dev/null 2>&1; then apt-get purge -y -qq mira8 >/dev/null || true; fi
}
trap cleanup EXIT
# A package left by an earlier run would hide what this one leaves behind.
if dpkg-query -W -f='${Status}' mira8 2>/dev/null | grep -q "install ok installed"; then
  apt-get purge -y -qq mira8 >/dev/null
fi
desktop-file-validate packaging/org.mira8.emulator.desktop
appstreamcli validate --no-net --pedantic build/package/packaging/org.mira8.emulator.metainfo.xml

# What was there before: folders the package shares (/usr/bin, the icon theme's) stay.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|; s|/$||' | grep -v '^$' >build/package/contents.txt
: >build/package/existing.txt
while read -r p; do if [ -e "$p" ]; then echo "$p" >>build/package/existing.txt; fi; done <build/package/contents.txt
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "./$deb" >/dev/null
dpkg-query -L mira8 | grep -v '^/\.$' >build/package/installed.txt
for p in /usr/bin/mira8 /usr/bin/mira8-cli /usr/bin/mira8-boardsim /usr/share/mira8/cmplr.dat \
         /usr/share/mira8/mira8help.pdf /usr/share/applications/org.mira8.emulator.desktop \
         /usr/share/metainfo/org.mira8.emulator.metainfo.xml /usr/share/icons/hicolor/scalable/apps/mira8.svg \
         /usr/share/icons/hicolor/48x48/apps/mira8.png /usr/share/man/man1/mira8.1.gz \
         /usr/share/man/man1/mira8-cli.1.gz; do
  grep -qx "$p" build/package/installed.txt || fail "$p is not in the package"
done
desktop-file-validate /usr/share/applications/org.mira8.emulator.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.mira8.emulator.metainfo.xml >/dev/null

# A fresh user: no MIRA8_DATA_DIR, an empty home, run from elsewhere than the tree.
home=$(mktemp -d)
run() { (cd / && env -u MIRA8_DATA_DIR -u XDG_DATA_HOME HOME="$home" "$@"); }
out=$(run mira8-cli run --out 0 /usr/share/mira8/examples/count-to-led.words)
grep -qx "stop: halt" <<<"$out" || fail "mira8-cli run did not halt: $out"
grep -qx "output 0: $(seq -s ' ' 1 255)" <<<"$out" || fail "mira8-cli run printed: $out"
# An assembled WIF program uses the installed instruction tables.
out=$(run mira8-cli run --mode wif --json /usr/share/mira8/examples/wif-subroutine.asm)
grep -q '"stop":"halt".*"ac":5,' <<<"$out" || fail "WIF example: $out"

# The menu entry's command, off screen: it finds its files and keeps user data at home.
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/org.mira8.emulator.desktop)
out=$(run env QT_QPA_PLATFORM=offscreen $exec_line --check-data) || fail "mira8 --check-data: $out"
echo "$out"
grep -qx "mira8help.pdf: /usr/share/mira8/mira8help.pdf" <<<"$out" || fail "help document not found"
grep -qx "cmplr.dat: /usr/share/mira8/cmplr.dat" <<<"$out" || fail "instruction tables not found"
grep -qx "data folder: $home/.local/share/mira8" <<<"$out" || fail "user data not in the XDG folder"
[ -f "$home/.local/share/mira8/zomira.dat" ] || fail "no settings written at home"
# ... and stays up as a desktop session would see it (killed by the timeout).
status=0
run env QT_QPA_PLATFORM=offscreen timeout 3 $exec_line >/dev/null 2>&1 || status=$?
[ "$status" = 124 ] || fail "mira8 from the menu entry exited with status $status"
zcat /usr/share/man/man1/mira8.1.gz | grep -q "zomira.dat" || fail "the mira8 man page lacks the manual's files"

apt-get remove -y -qq mira8 >/dev/null
# Purged too when anything (configuration) was kept; without any, dpkg has forgotten it.
if dpkg-query -W mira8 >/dev/null 2>&1; then apt-get purge -y -qq mira8 >/dev/null; fi
if dpkg-query -W -f='${Status}' mira8 2>/dev/null | grep -q installed; then fail "mira8 still installed"; fi
while read -r p; do
  if [ -e "$p" ] || [ -L "$p" ]; then
    grep -qx "$p" build/package/existing.txt || fail "$p left after purge"
  fi
done <build/package/installed.txt
[ ! -e /usr/share/mira8 ] || fail "/usr/share/mira8 left after purge"
echo "package check: ok ($(wc -l <build/package/installed.txt) paths installed and removed) in $(( $(date +%s) - started )) s"
