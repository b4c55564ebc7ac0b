#!/usr/bin/env bash
# Runs a Windows window program under Wine on the X display of $DISPLAY (an
# Xvfb of the caller), with Chinese rendered:
#   wine-ui-run.sh PREFIX-DIR PROGRAM [ARGS...]
#
# On top of cmake/wine-run.sh (prefix, code page 936 through zh_CN.UTF-8):
# - Fonts: Wine finds the host's fonts through fontconfig, but the faces the
#   controls ask for (MS Shell Dlg, Tahoma, SimSun, the HTML view's unnamed
#   face) all end in fontconfig's sans-serif. A fontconfig file of this
#   prefix's own (loaded through XDG_CONFIG_HOME) makes that WenQuanYi Micro
#   Hei, whose glyphs are drawn with grey levels at every size (Zen Hei's are
#   drawn without at the sizes of the controls, and lose strokes).
# - Wine's background processes are ended with the program, as the display
#   they hold ends with the caller's Xvfb.
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: wine-ui-run.sh PREFIX-DIR PROGRAM [ARGS...]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(realpath -m "$1")
[ -n "${DISPLAY:-}" ] || { echo "wine-ui-run.sh: no DISPLAY" >&2; exit 2; }

xdg=$(dirname "$prefix")/$(basename "$prefix")-xdg
if [ ! -f "$xdg/fontconfig/fonts.conf" ]; then
  mkdir -p "$xdg/fontconfig"
  cat >"$xdg/fontconfig/fonts.conf.tmp" <<'XML'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="strong"><family>sans-serif</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias binding="strong"><family>serif</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias binding="strong"><family>monospace</family><prefer><family>WenQuanYi Micro Hei Mono</family></prefer></alias>
</fontconfig>
XML
  mv "$xdg/fontconfig/fonts.conf.tmp" "$xdg/fontconfig/fonts.conf"
fi

export XDG_CONFIG_HOME=$xdg
export POSTWING_WINE_DISPLAY=1
# The display goes away with the caller's Xvfb: end this prefix's background
# processes (explorer.exe holds the display) with the program.
status=0
"$here/wine-run.sh" "$@" || status=$?
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
exit $status
