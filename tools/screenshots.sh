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
    "2003-11-19 , 08: 5 , 0 , 0 , 无法打开邮件地址列表文件." \
    "2003-11-20 , 08: 5 , 1 , 4 , 未送达 2 封, 发送记录/20031120-080500.csv" |
    iconv -f UTF-8 -t GBK > "$work/运行报告.txt"
  # The newest run's record, whose undelivered recipients the page lists.
  mkdir -p "$work/发送记录"
  printf '%s\r\n' "时间,邮件文件,收件人,结果,服务器回复,尝试次数" \
    "2003-11-20 08:05:01,welcome.txt,李明<li@example.com>,已送达,250 2.0.0 Ok,1" \
    "2003-11-20 08:05:02,welcome.txt,wang@example.com,被拒收,550 5.1.1 User unknown,1" \
    "2003-11-20 08:05:03,welcome.txt,zhao@example.com,已送达,250 2.0.0 Ok,1" \
    "2003-11-20 08:35:03,welcome.txt,chen@example.net,暂时失败,\"450 4.2.0 Greylisted, try again later\",5" |
    iconv -f UTF-8 -t GBK > "$work/发送记录/20031120-080500.csv"
  LANG=$locale LC_ALL=$locale timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash "$ROOT/tools/screenshots-inner.sh" "$PROGRAM" "$work" "$dir" "${PAGES[@]}"
  rm -rf "$work"
}

for locale in "${LOCALES[@]}"; do shoot_locale "$locale"; done
