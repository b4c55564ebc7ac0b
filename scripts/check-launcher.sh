#!/usr/bin/env bash
# check-launcher.sh ROOT FOLDER, under an X server (scripts/check-package.sh
# runs it in xvfb-run): starts ROOT/usr/bin/postwing-launch, which must prepare
# FOLDER (= ~/Postwing) on first start and start the window program there; a
# second start must keep what the user changed and refresh the help document.
set -euo pipefail
R=$1
F=$2
SHARE=$R/usr/share/postwing
WINDOW_DEADLINE_S=60

fail() { echo "check-launcher: $*" >&2; exit 1; }

PID=""
trap '[ -z "$PID" ] || kill "$PID" 2>/dev/null || true' EXIT

# Starts the launcher and waits, with a deadline, for a visible window of its
# process: the launcher replaces itself with the program, so they share the pid.
start() {
  "$R"/usr/bin/postwing-launch &
  PID=$!
  local deadline=$((SECONDS + WINDOW_DEADLINE_S))
  until xdotool search --onlyvisible --pid "$PID" >/dev/null 2>&1; do
    kill -0 "$PID" 2>/dev/null || fail "the launcher ended without a window"
    [ "$SECONDS" -lt "$deadline" ] || fail "no window within $WINDOW_DEADLINE_S s"
    sleep 0.2
  done
  [ "$(readlink /proc/"$PID"/exe)" = "$R/usr/bin/postwing" ] || fail "the window is not postwing's"
  [ "$(readlink /proc/"$PID"/cwd)" = "$F" ] || fail "postwing does not run in $F"
}

stop() {
  kill "$PID"
  wait "$PID" 2>/dev/null || true
  PID=""
}

same() { cmp -s "$1" "$2" || fail "$2 differs from $1"; }

# First start: the folder is made with everything the program and the user need.
start
[ -d "$F/ini" ] || fail "no ini/"
same "$SHARE/ini/Stmp.Ini" "$F/ini/Stmp.Ini"
grep -q '^onerror=1' "$F/ini/Stmp.Ini" || fail "the new folder's settings do not keep going past failures"
[ "$(stat -c %a "$F/ini/Stmp.Ini")" = 600 ] || fail "the new settings file is readable by others"
[ -f "$F/运行报告.txt" ] && [ ! -s "$F/运行报告.txt" ] || fail "运行报告.txt missing or not empty"
same "$SHARE/help/index.htm" "$F/help/index.htm"
same "$SHARE/address.txt" "$F/address.txt"
for mail in "$SHARE"/mail/*; do same "$mail" "$F/mail/${mail##*/}"; done
stop

# Second start: the user's changes stay, a removed report file stays removed,
# the help document is the installed one again.
echo "li@example.com" >>"$F/address.txt"
printf '[maildir]\r\nonerror=0\r\n' >"$F/ini/Stmp.Ini"
cp "$F/address.txt" "$F/address.expected"
rm "$F/运行报告.txt"
echo "old help" >"$F/help/index.htm"
start
same "$F/address.expected" "$F/address.txt"
grep -q '^onerror=0' "$F/ini/Stmp.Ini" || fail "the launcher changed the user's settings"
[ ! -e "$F/运行报告.txt" ] || fail "the removed 运行报告.txt was made again"
same "$SHARE/help/index.htm" "$F/help/index.htm"
stop

# A folder that cannot be made ends the launcher with a message, no window.
touch "$F.file"
if "$R"/usr/bin/postwing-launch "$F.file" 2>"$F.err"; then fail "launcher started in a regular file"; fi
grep -q "cannot create" "$F.err" || fail "no message for a folder that cannot be made"
echo "launcher: folder prepared, window shown, second start keeps the user's files"
