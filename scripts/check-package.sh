#!/usr/bin/env bash
# Checks the Debian package in build/package/ the way a user meets it:
# lintian; the menu entry, AppStream data, manual pages, icons and systemd
# units as unpacked from the package; and, from a temporary root made with
# dpkg -x, postwing-send --help and the launcher starting the window under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

fail() { echo "check-package: $*" >&2; exit 1; }
step() { echo "-- $*"; }

VERSION=$(sed -n 's/^project(Postwing VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
ARCH=$(dpkg-architecture -qDEB_HOST_ARCH)
DEB=build/package/postwing_${VERSION}_$ARCH.deb
[ -f "$DEB" ] || fail "no package of version $VERSION in build/package (bash scripts/package.sh)"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

step "version $VERSION in the package, its changelog and the AppStream releases"
[ "$(dpkg-deb -f "$DEB" Version)" = "$VERSION" ] || fail "package version $(dpkg-deb -f "$DEB" Version)"
grep -q "<release version=\"$VERSION\"" packaging/linux/com.example.Postwing.metainfo.xml ||
  fail "no AppStream release $VERSION"

step "the libraries the build installs are the package's build dependencies"
# GoogleTest and xcb serve only the tests, which the package does not build.
for dev in $(sed -n '/^BUILD_PACKAGES=(/,/)/p' scripts/setup.sh | grep -o 'lib[a-z0-9.+]*-dev' |
             grep -v -x -e libgtest-dev -e libxcb1-dev); do
  grep -q "^ *\(Build-Depends: *\)\?$dev\b" debian/control || fail "$dev is missing from Build-Depends in debian/control"
done

step "lintian"
lintian --fail-on error --info "$DEB"

step "dependencies found from the programs' libraries"
depends=$(dpkg-deb -f "$DEB" Depends)
for lib in libwxgtk3.2 libwxbase3.2 libcanberra0 libglib2.0-0 libssl3 libc6; do
  case $depends in *"$lib"*) ;; *) fail "Depends lacks $lib: $depends" ;; esac
done

R=$WORK/root
dpkg -x "$DEB" "$R"
APPS=$R/usr/share/applications
step "desktop-file-validate"
desktop-file-validate "$APPS"/com.example.Postwing.desktop
grep -qx 'Exec=postwing-launch' "$APPS"/com.example.Postwing.desktop || fail "menu entry does not run the launcher"

step "appstreamcli validate"
appstreamcli validate --no-net "$R"/usr/share/metainfo/com.example.Postwing.metainfo.xml

step "icons"
for size in 16 32 48 128 256; do
  icon=$R/usr/share/icons/hicolor/${size}x${size}/apps/com.example.Postwing.png
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "$icon is not ${size}x${size}"
done

step "manual pages render without warnings"
for page in man1/postwing.1.gz man1/postwing-send.1.gz man1/postwing-launch.1.gz \
            zh_CN/man1/postwing.1.gz zh_CN/man1/postwing-send.1.gz zh_CN/man1/postwing-launch.1.gz; do
  file=$R/usr/share/man/$page
  [ -e "$file" ] || fail "missing $page"
  out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>"$WORK/man.err")
  [ ! -s "$WORK/man.err" ] || { cat "$WORK/man.err" >&2; fail "$page renders with warnings"; }
  grep -q "postwing" <<<"$out" || fail "$page renders empty"
done

step "systemd units"
UNITS=$WORK/units
mkdir -p "$UNITS/postwing-send@.timer.d"
# The units name /usr/bin/postwing-send; here it lives in the unpacked root.
sed "s|^ExecStart=/|ExecStart=$R/|" "$R"/usr/lib/systemd/user/postwing-send@.service >"$UNITS/postwing-send@.service"
cp "$R"/usr/lib/systemd/user/postwing-send@.timer "$UNITS"/
printf '[Timer]\nOnCalendar=\nOnCalendar=*-*-* 08:30:00 Asia/Shanghai\n' >"$UNITS/postwing-send@.timer.d/calendar.conf"
verify() {
  XDG_RUNTIME_DIR=$WORK MANPATH=$R/usr/share/man systemd-analyze --user verify "$@" 2>&1
}
printf '[Service]\nType=oneshot\nExecStart=/bin/true\n' >"$WORK/probe.service"
if verify "$WORK/probe.service" >/dev/null; then
  verify "$UNITS/postwing-send@.service" "$UNITS/postwing-send@.timer" || fail "systemd units do not verify"
  # The same check must see a broken unit: a service whose program is missing.
  sed -i "s|^ExecStart=.*|ExecStart=$R/usr/bin/no-such-program|" "$UNITS/postwing-send@.service"
  if verify "$UNITS/postwing-send@.service" >/dev/null; then fail "systemd-analyze verify misses a broken unit"; fi
else
  echo "systemd-analyze verify does not run here; units not verified"
fi

step "postwing-send --help from the unpacked package"
"$R"/usr/bin/postwing-send --help | grep -q '^用法: postwing-send' || fail "postwing-send --help"

step "the launcher prepares the folder and the window shows (Xvfb)"
export HOME=$WORK/home
mkdir -p "$HOME"
xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/check-launcher.sh "$R" "$HOME/Postwing"
