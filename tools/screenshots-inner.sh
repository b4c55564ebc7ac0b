#!/usr/bin/env bash
# Inside the Xvfb display of tools/screenshots.sh: starts the program in
# folder $2, walks its tree with the keyboard and saves one PNG per page name
# into $3. Every wait has a deadline.
set -euo pipefail
PROGRAM=$1 WORK=$2 DIR=$3
shift 3
PAGES=("$@")

deadline_wait() {  # seconds command...: retries the command until it succeeds
  local end=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -lt $end ] || { echo "timed out: $*" >&2; return 1; }
    sleep 0.1
  done
}

cd "$WORK"
"$PROGRAM" & pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
find_window() { win=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1); [ -n "$win" ]; }
deadline_wait 30 find_window

# The picture once two grabs in a row agree: the window has finished painting.
settled_grab() {  # file
  local previous="" current
  local end=$((SECONDS + 10))
  while [ $SECONDS -lt $end ]; do
    import -window "$win" "png:$1"
    current=$(md5sum < "$1")
    [ "$current" = "$previous" ] && return 0
    previous=$current
    sleep 0.2
  done
}

eval "$(xdotool getwindowgeometry --shell "$win")"
# The root item is the tree's first row, near the window's top left corner.
xdotool mousemove $((X + 20)) $((Y + 10)) click 1
for i in "${!PAGES[@]}"; do
  name=${PAGES[$i]}
  if [ "$i" -gt 0 ]; then
    xdotool key Down
    # 目录设置 is folded: open it once it is the current item.
    [ "$name" = source ] && xdotool key Right
  fi
  settled_grab "$DIR/$name.png"
done
