#!/usr/bin/env bash
# Runs a Windows program under Wine:  wine-run.sh PREFIX-DIR PROGRAM [ARGS...]
#
# - The Wine prefix is PREFIX-DIR (inside the build tree); it is created on
#   first use, once, even when several programs start at the same time.
# - The ANSI code page is 936 (GBK): Wine takes it from the locale, here
#   zh_CN.UTF-8 (a UTF-8 locale, so Unix file names stay UTF-8).
# - winedbg is disabled so that a crashing program exits with a failure code
#   (with the debugger, Wine reports a crash as exit code 0). mscoree and
#   mshtml are disabled so that creating the prefix never asks for Mono or
#   Gecko.
# - Wine's own messages are silenced; the program's stdout and stderr pass
#   through unchanged (with CR LF line ends, as written by the C runtime).
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: wine-run.sh PREFIX-DIR PROGRAM [ARGS...]" >&2
  exit 2
fi
prefix=$(realpath -m "$1"); shift

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d;winemenubuilder.exe=d"
# Console programs get no display; window programs (cmake/wine-ui-run.sh) keep it.
if [ -z "${POSTWING_WINE_DISPLAY:-}" ]; then
  unset DISPLAY WAYLAND_DISPLAY
fi

# Wine's ANSI code page follows the locale; the locale must exist on the host
# too, or Wine cannot convert non-ASCII file names. Where zh_CN.UTF-8 is not
# installed, it is compiled once beside the prefix and found through LOCPATH.
locale_env=(LC_ALL=zh_CN.UTF-8)
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
  locale_dir=$(dirname "$prefix")/wine-locale
  locale_env+=(LOCPATH="$locale_dir")
fi

mkdir -p "$(dirname "$prefix")"
if [ ! -f "$prefix/system.reg" ] || { [ -n "${locale_dir:-}" ] && [ ! -d "$locale_dir/zh_CN.UTF-8" ]; }; then
  (
    flock 9
    if [ -n "${locale_dir:-}" ] && [ ! -d "$locale_dir/zh_CN.UTF-8" ]; then
      echo "wine-run.sh: compiling the zh_CN.UTF-8 locale into $locale_dir" >&2
      mkdir -p "$locale_dir"
      localedef -i zh_CN -f UTF-8 "$locale_dir/zh_CN.UTF-8.tmp" >/dev/null 2>&1 || true
      [ -f "$locale_dir/zh_CN.UTF-8.tmp/LC_CTYPE" ] ||
        { echo "wine-run.sh: localedef failed (package locales missing?)" >&2; exit 1; }
      mv "$locale_dir/zh_CN.UTF-8.tmp" "$locale_dir/zh_CN.UTF-8"
    fi
    if [ ! -f "$prefix/system.reg" ]; then
      echo "wine-run.sh: creating the Wine prefix $prefix" >&2
      env "${locale_env[@]}" wine wineboot.exe --init >/dev/null 2>&1 || true
      wineserver -w
      [ -f "$prefix/system.reg" ] || { echo "wine-run.sh: could not create $prefix" >&2; exit 1; }
    fi
  ) 9>"$prefix.lock"
fi

# Wine's background processes (services.exe, explorer.exe, ...) start with
# the first program and inherit its stderr; they live on for a few seconds
# after it, and whoever reads that stderr (ctest) would wait for them. So the
# program's stderr goes to a file that is copied out once it has ended.
#
# A program that starts just as the prefix's Wine server is leaving (it ends a
# few seconds after the last program) can meet the server's closed connection
# before it runs: Wine then says "wine client error" and nothing of the
# program ran. Such a start is tried once more, and so is a start that failed
# within a fraction of a second with a status no program here gives itself
# (0 or 1): Wine, not the program, ended it (seen once, silently, in 0.02 s).
# A program that fails so twice still fails.
quick_failure_ms=500
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
for attempt in 1 2; do
  status=0
  started=$(date +%s%3N)
  env "${locale_env[@]}" wine "$@" 2>"$errors" || status=$?
  elapsed=$(( $(date +%s%3N) - started ))
  if [ $status -ne 0 ] && [ $attempt -eq 1 ] &&
     { grep -q '^wine client error' "$errors" ||
       { [ $status -ne 1 ] && [ $elapsed -lt $quick_failure_ms ]; }; }; then
    echo "wine-run.sh: the program ended as it started (status $status after $elapsed ms); starting it again" >&2
    wineserver -w 2>/dev/null || true
    continue
  fi
  break
done
cat "$errors" >&2
exit $status
