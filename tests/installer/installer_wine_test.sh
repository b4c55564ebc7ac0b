#!/usr/bin/env bash
# The installer under Wine, on a display of its own (run under xvfb-run):
#   installer_wine_test.sh SETUP-EXE WORK-DIR
# 1. A silent install lays out the program's folder in the user's local
#    application folder and makes the Start-menu and desktop shortcuts.
# 2. The program started from its Start-menu shortcut works in that folder:
#    it shows its window, titled from the settings file of that folder.
# 3. A silent uninstall removes the program and the shortcuts and keeps the
#    settings and the report; with /REMOVEDATA it removes them too.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
setup=$(realpath "$1")
work=$(realpath -m "$2")
[ -n "${DISPLAY:-}" ] || { echo "installer test: needs a display (xvfb-run)" >&2; exit 2; }

rm -rf "$work"
mkdir -p "$work/home"
# Wine links a prefix's Desktop to the home folder's: keep it in the test's.
export HOME=$work/home
prefix=$work/wineprefix
export WINEPREFIX=$prefix POSTWING_WINE_DISPLAY=1
wine_run() { "$root/cmake/wine-run.sh" "$prefix" "$@"; }
trap 'wineserver -k 2>/dev/null || true' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

wine_run "$setup" /S
wineserver -w 2>/dev/null || true
user_dir=$prefix/drive_c/users/$(whoami)
app=$user_dir/AppData/Local/Postwing
menu="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/飞鸿信使"
for f in postwing.exe postwing-send.exe uninstall.exe help/index.htm; do
  [ -f "$app/$f" ] || fail "installed folder lacks $f"
done
[ -d "$app/ini" ] || fail "installed folder lacks ini/"
[ -f "$app/运行报告.txt" ] && [ ! -s "$app/运行报告.txt" ] || fail "no empty 运行报告.txt"
[ -f "$menu/飞鸿信使.lnk" ] || fail "no Start-menu shortcut"
[ -f "$menu/卸载 飞鸿信使.lnk" ] || fail "no uninstaller shortcut"
[ -f "$user_dir/Desktop/飞鸿信使.lnk" ] || fail "no desktop shortcut"
echo "ok: silent install"

# A stored schedule gives the window its armed title: the window read the
# settings of the installed folder, so it works there.
printf '[timer]\r\nhour=7\r\nminute=5\r\ntimer=1\r\n' >"$app/ini/Stmp.Ini"
wine_run start 'C:\users\'"$(whoami)"'\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\飞鸿信使\飞鸿信使.lnk' &
starter=$!
if ! wait_for 90 xdotool search --name '^飞鸿信使.已定时.$'; then
  xwininfo -root -tree | grep -v 'has no name' >&2 || true
  fail "the window did not show from the shortcut"
fi
echo "ok: started from the shortcut in its folder"
wineserver -k 2>/dev/null || true
wait "$starter" 2>/dev/null || true

wine_run 'C:\users\'"$(whoami)"'\AppData\Local\Postwing\uninstall.exe' /S
# The uninstaller runs a copy of itself and returns at once.
wait_for 60 test ! -e "$app/postwing.exe" || fail "uninstall left postwing.exe"
wineserver -w 2>/dev/null || true
[ ! -e "$app/uninstall.exe" ] || fail "uninstall left uninstall.exe"
[ ! -e "$menu" ] || fail "uninstall left the Start-menu folder"
[ ! -e "$user_dir/Desktop/飞鸿信使.lnk" ] || fail "uninstall left the desktop shortcut"
[ -f "$app/ini/Stmp.Ini" ] || fail "uninstall removed the settings"
[ -f "$app/运行报告.txt" ] || fail "uninstall removed the report"
echo "ok: silent uninstall keeps the settings and the report"

wine_run "$setup" /S
wineserver -w 2>/dev/null || true
[ -f "$app/ini/Stmp.Ini" ] || fail "reinstall lost the settings"
wine_run 'C:\users\'"$(whoami)"'\AppData\Local\Postwing\uninstall.exe' /S /REMOVEDATA
wait_for 60 test ! -e "$app" || fail "uninstall /REMOVEDATA left $app"
wineserver -w 2>/dev/null || true
echo "ok: uninstall /REMOVEDATA removes the folder"
