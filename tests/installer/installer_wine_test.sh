#!/usr/bin/env bash
# The installer under Wine, on a display of its own (run under xvfb-run):
#   installer_wine_test.sh SETUP-EXE WORK-DIR DIST-DIR OLDER-PROGRAM
# (DIST-DIR: the release folder SETUP-EXE was made from; OLDER-PROGRAM: a
# postwing.exe other than the released one, to stand for an older version's)
# 1. A silent install lays out the program's folder in the user's local
#    application folder and makes the Start-menu and desktop shortcuts.
# 2. The program started from its Start-menu shortcut works in that folder:
#    it shows its window, titled from the settings file of that folder.
# 3. Its tray menu shows the window again and ends the program.
# 4. A silent uninstall removes the program and the shortcuts and keeps the
#    settings and the report; with /REMOVEDATA it removes them too.
# 5. An upgrade: this version installed over an older one keeps the user's
#    settings, report and keep-going records, and replaces the program.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
setup=$(realpath "$1")
work=$(realpath -m "$2")
dist=$(realpath "$3")
older_program=$(realpath "$4")
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
for f in postwing.exe postwing-send.exe uninstall.exe help/index.htm locale/zh_CN/LC_MESSAGES/wxstd-3.2.mo; do
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

# 3. The tray menu of the installed program: minimised through a window
#    manager, the window waits behind its icon in Wine's notification area;
#    a right click on the icon opens the menu, whose commands come back to the
#    window as the system's own messages. 显示窗口 shows the window again (by
#    the mouse and by the keys), 关闭程序 ends the program.
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
# Place and size of X window $1 on the screen: x y width height.
screen_rect() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
                           /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}'
}
main_window_shown() { xdotool search --onlyvisible --name '^飞鸿信使' >/dev/null 2>&1; }
main_window_hidden() { ! main_window_shown; }
# The program's menu: its one mapped window that the window manager leaves alone.
menu_window() {
  local id
  for id in $(xdotool search --onlyvisible --class 'postwing\.exe' 2>/dev/null); do
    xwininfo -id "$id" | grep -q 'Override Redirect State: yes' && { echo "$id"; return 0; }
  done
  return 1
}
no_menu_window() { ! menu_window; }
wait_for 20 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
  fail "openbox did not take the screen"
minimise() {
  local window
  window=$(xdotool search --onlyvisible --name '^飞鸿信使' | head -n1)
  [ -n "$window" ] || fail "the window is not on the screen"
  wait_for 20 sh -c "xprop -id $window WM_STATE | grep -q Normal" || fail "openbox did not take the window"
  xdotool windowminimize "$window"
  wait_for 20 main_window_hidden || fail "minimising left the window on the screen"
}
# Opens the icon's menu; prints the menu's place and size.
open_menu() {
  local tray menu x y w h
  wait_for 20 xdotool search --onlyvisible --name '^Wine System Tray$' || fail "no notification area"
  tray=$(xdotool search --onlyvisible --name '^Wine System Tray$' | head -n1)
  read -r x y w h <<<"$(screen_rect "$tray")"
  # The first icon fills the tray's first square.
  xdotool mousemove --sync $((x + h / 2)) $((y + h / 2)) click 3
  wait_for 20 menu_window || fail "no menu opened on the right click"
  menu=$(menu_window)
  echo "$menu $(screen_rect "$menu")"
}
# choose ITEM(1: 显示窗口, 2: 关闭程序) HOW(mouse|keys)
choose() {
  local menu x y w h
  read -r menu x y w h <<<"$(open_menu)"
  if [ "$2" = keys ]; then
    # Windows gives the menu the keyboard (the owner is made the foreground
    # window); under Wine the keys go to the X window that has the focus,
    # which stays with the notification area's window: the menu is given it.
    xdotool windowfocus "$menu"
    if [ "$1" = 1 ]; then xdotool key Down Return; else xdotool key Up Return; fi
  else
    # 显示窗口 fills the upper part, 关闭程序 the lower, a separator between.
    xdotool mousemove --sync $((x + w / 2)) $((y + h * (2 * $1 - 1) / 4)) click 1
  fi
  wait_for 20 no_menu_window || fail "the menu stayed open"
}
for how in mouse keys; do
  minimise
  choose 1 "$how"
  wait_for 20 main_window_shown || fail "显示窗口 ($how) did not show the window"
done
minimise
choose 2 mouse
# The installed program under Wine (its command line is a Windows path; the
# test's own names a Unix one).
program_ended() { ! pgrep -f '^[A-Z]:.*postwing\.exe' >/dev/null; }
wait_for 30 program_ended || { pgrep -af '^[A-Z]:.*postwing\.exe' >&2; fail "关闭程序 left the program running"; }
echo "ok: the tray menu shows the window and ends the program"
kill $wm 2>/dev/null || true
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

# 5. The upgrade. The older version: an installer made by the same script
#    from the release folder with another postwing.exe, under an older
#    version number.
version=$(basename "$setup" | sed -n 's/^Postwing-\(.*\)-setup-x64\.exe$/\1/p')
[ -n "$version" ] || fail "no version in the installer's name $(basename "$setup")"
older_version=0.9.0
rm -rf "$work/older-dist"
cp -r "$dist" "$work/older-dist"
rm -f "$work/older-dist"/*.exe
cp "$older_program" "$work/older-dist/postwing.exe"
cp "$dist/postwing-send.exe" "$work/older-dist/"
cmp -s "$work/older-dist/postwing.exe" "$dist/postwing.exe" && fail "the older program is the released one"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION=$older_version -DDISTDIR="$work/older-dist" \
  -DRESDIR="$root/res" -DOUTFILE="$work/Postwing-$older_version-setup-x64.exe" \
  "$root/installer/postwing.nsi" >/dev/null
installed_version() {
  wine_run reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Postwing' /v DisplayVersion |
    tr -d '\r' | awk '/DisplayVersion/ {print $NF}'
}
wine_run "$work/Postwing-$older_version-setup-x64.exe" /S
wineserver -w 2>/dev/null || true
cmp -s "$app/postwing.exe" "$older_program" || fail "the older version did not install its program"
[ "$(installed_version)" = "$older_version" ] || fail "the older version is listed as $(installed_version)"

# What a user of the older version has: settings, a report line, a keep-going
# run's record and its list of the undelivered.
printf '[timer]\r\nhour=7\r\nminute=5\r\ntimer=1\r\n[maildir]\r\nmailsubject=%s\r\n' \
  "$(printf '本周通知' | iconv -f utf-8 -t gbk)" >"$app/ini/Stmp.Ini"
printf '\r\n2026-12-08 ,  7: 5 , 1 , 3 , %s' "$(printf '未送达 1 封' | iconv -f utf-8 -t gbk)" \
  >>"$app/运行报告.txt"
mkdir -p "$app/发送记录"
printf 'a@x.cn,ok\r\n' >"$app/发送记录/20261208-070500.csv"
printf 'b@x.cn\r\n' >"$app/发送记录/20261208-070500-未送达.txt"
kept=$work/kept
rm -rf "$kept" && mkdir -p "$kept"
cp -r "$app/ini" "$app/运行报告.txt" "$app/发送记录" "$kept/"

wine_run "$setup" /S
wineserver -w 2>/dev/null || true
for f in ini/Stmp.Ini 运行报告.txt 发送记录/20261208-070500.csv 发送记录/20261208-070500-未送达.txt; do
  cmp -s "$kept/$f" "$app/$f" || fail "the upgrade changed or lost $f"
done
for f in postwing.exe postwing-send.exe help/index.htm locale/zh_CN/LC_MESSAGES/wxstd-3.2.mo; do
  cmp -s "$dist/$f" "$app/$f" || fail "the upgrade did not replace $f"
done
[ "$(installed_version)" = "$version" ] || fail "after the upgrade the version is listed as $(installed_version)"
echo "ok: installed over $older_version, $version keeps the settings, report and records and replaces the program"

# The upgraded program works on the kept settings: its armed title.
(cd "$app" && wine_run postwing.exe) &
upgraded=$!
wait_for 90 xdotool search --name '^飞鸿信使.已定时.$' || fail "the upgraded program did not show its window"
wineserver -k 2>/dev/null || true
wait "$upgraded" 2>/dev/null || true
echo "ok: the upgraded program starts on the kept settings"
