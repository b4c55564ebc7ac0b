#!/usr/bin/env bash
# Takes a picture of every page of the window, under each locale given
# (default: C.UTF-8 and zh_CN.UTF-8), into docs/screenshots/<locale>/.
#   bash tools/screenshots.sh [build/default/src/ui/postwing] [locale...]
# Runs the program for real on its own Xvfb display in a scratch copy of
# runtime/ (with a sample report and an armed schedule, so that the report
# list and the clock show something) and walks the tree with the keyboard.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
PROGRAM=$(realpath "${1:-$ROOT/build/default/src/ui/postwing}")
shift || true
LOCALES=("$@")
[ ${#LOCALES[@]} -gt 0 ] || LOCALES=(C.UTF-8 zh_CN.UTF-8)
OUT=$ROOT/docs/screenshots

# The file names of the pictures, in the order the keyboard reaches the pages.
PAGES=(banner smtp source mail sound timer report help version)

shoot_locale() {  # locale
  local locale=$1 dir work
  dir=$OUT/$locale
  mkdir -p "$dir"
  work=$(mktemp -d)
  cp -r runtime/. "$work"/
  mkdir -p "$work/ini"
  printf '[timer]\r\nhour=8\r\nminute=5\r\ntimer=1\r\n' >> "$work/ini/Stmp.Ini"
  printf '%s\r\n' "2003-11-18 , 08: 5 , 2 , 3 , 成功" \
    "2003-11-19 , 08: 5 , 0 , 0 , 无法打开邮件地址列表文件." |
    iconv -f UTF-8 -t GBK > "$work/运行报告.txt"
  LANG=$locale LC_ALL=$locale timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash "$ROOT/tools/screenshots-inner.sh" "$PROGRAM" "$work" "$dir" "${PAGES[@]}"
  rm -rf "$work"
}

for locale in "${LOCALES[@]}"; do shoot_locale "$locale"; done
