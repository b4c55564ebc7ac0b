#!/usr/bin/env bash
# Builds wxWidgets for Windows (wxMSW, static, mingw-w64 with the posix thread
# model) from Debian's own source package of the wxWidgets version the Linux
# build uses, with only the libraries the window program needs, and libpng
# from Debian's source package (zlib is Debian's libz-mingw-w64-dev).
#
# The result is cached outside the clone, keyed by the wxWidgets version and a
# hash of the options, so a second build on the same
# machine reuses it:
#   ${POSTWING_CACHE:-/var/cache/postwing}/wxmsw-<version>-<hash>/
#     bin/wx-config, include/, lib/  wxMSW
#     deps -> ../libpng-mingw64-static  libpng (the same for every wxMSW build)
#     .complete                      written last, when everything is in place
#   .../wxmsw-<version>-<hash>.build/ the compilation, kept until it is done
# Prints that folder's path as the last line of standard output.
# Usage: bash scripts/build-wxmsw.sh [--print-dir]   (--print-dir: no build)
# Takes about 13 minutes on 2 idle cores; far longer on a busy machine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

HOST=x86_64-w64-mingw32
CC_X=$HOST-gcc-posix
CXX_X=$HOST-g++-posix
WX_PACKAGES=(dpkg-dev make g++-mingw-w64-x86-64-posix libz-mingw-w64-dev)

# The wxWidgets version the Linux build uses, e.g. 3.2.2+dfsg-2.
wx_version() {
  dpkg-query -W -f='${source:Version}' libwxgtk3.2-dev 2>/dev/null ||
    apt-cache show --no-all-versions libwxgtk3.2-dev | sed -n 's/^Version: //p' | head -n1
}

WX_CONFIGURE_OPTIONS=(
  --host=$HOST --build=x86_64-linux-gnu --disable-shared --enable-unicode --with-msw
  --with-zlib=sys --with-libpng=sys --without-libjpeg --without-libtiff --without-expat
  --disable-xrc --with-regex=builtin --without-liblzma --without-libcurl --without-opengl
  --disable-webview --disable-mediactrl --disable-stc --disable-ribbon --disable-propgrid
  --disable-richtext --disable-aui --disable-sockets --disable-ipc --disable-protocols
  --disable-url --disable-fs_inet --disable-webrequest --disable-debugreport --disable-tests
  --without-subdirs
  # Parts of the library the program does not use: less to compile.
  --disable-grid --disable-dataviewctrl --disable-calendar --disable-datepick --disable-timepick
  --disable-mdi --disable-docview --disable-printarch --disable-postscript --disable-svg
  --disable-help --disable-htmlhelp --disable-joystick --disable-sound --disable-wizarddlg
  --disable-treelist --disable-editablebox --disable-rearrangectrl --disable-addremovectrl
  --disable-richtooltip --disable-notifmsg --disable-infobar --disable-bannerwindow
  --disable-animatectrl --disable-commandlinkbutton --disable-fswatcher
)
# Optimised for size without debugging information: quicker to compile than
# the default -O2 -g, and the window program spends its time waiting.
WX_FLAGS="-Os -g0"

version=$(wx_version)
[ -n "$version" ] || { echo "build-wxmsw: no libwxgtk3.2-dev version known" >&2; exit 1; }
# Key: what decides the result (the configure options, compilers, libpng).
hash=$(printf '%s\n' "${WX_CONFIGURE_OPTIONS[@]}" "$WX_FLAGS" "$CC_X" "$CXX_X" libpng-static |
  sha256sum | cut -c1-12)
cache_root=$(postwing_cache_root)
dir=$cache_root/wxmsw-${version//[^A-Za-z0-9.+-]/_}-$hash
# libpng does not depend on the wxMSW options: kept in a folder of its own.
png_dir=$cache_root/libpng-mingw64-static

if [ "${1:-}" = --print-dir ]; then echo "$dir"; exit 0; fi

# One build at a time per folder; a second caller waits and then reuses it.
mkdir -p "$dir"
exec 9>"$dir.lock"
flock 9
if [ -f "$dir/.complete" ]; then
  echo "== wxMSW $version: cached in $dir"
  echo "$dir"
  exit 0
fi

started=$SECONDS
install_missing "${WX_PACKAGES[@]}"

enable_deb_src

work=$(mktemp -d "${TMPDIR:-/tmp}/wxmsw-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
# wxMSW is compiled in a folder beside the result that outlives an
# interrupted run: the next run continues the compilation where it stopped.
wx_build=$dir.build
# One job per core (POSTWING_BUILD_JOBS to change it); niced, so that a
# machine shared with other work stays responsive.
jobs=${POSTWING_BUILD_JOBS:-$(nproc)}

# libpng, built once for every set of wxMSW options (png_dir/.complete).
mkdir -p "$png_dir"
exec 8>"$png_dir.lock"
flock 8
if [ ! -f "$png_dir/.complete" ]; then
  rm -rf "${png_dir:?}"/*
  echo "== libpng for Windows (Debian source)"
  (cd "$work" && fetch_source libpng1.6 "$(dpkg-query -W -f='${source:Version}' libpng-dev 2>/dev/null || true)")
  png_src=$(find "$work" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n1)
  (cd "$png_src" &&
    ./configure -q --host=$HOST --build=x86_64-linux-gnu --prefix="$png_dir" --disable-shared \
      CC=$CC_X >/dev/null &&
    nice make -s -j"$jobs" >/dev/null && make -s install >/dev/null)
  touch "$png_dir/.complete"
fi
exec 8>&-
rm -rf "$dir/deps"
ln -s "$png_dir" "$dir/deps"

echo "== wxMSW $version (Debian source; takes about 13 minutes on 2 idle cores)"
wx_src=""
if [ -d "$wx_build" ]; then
  wx_src=$(find "$wx_build" -maxdepth 1 -type d -name 'wxwidgets3.2-*' | head -n1)
fi
if [ -z "$wx_src" ] || [ ! -f "$wx_src/build-msw/config.status" ]; then
  rm -rf "$wx_build"
  mkdir -p "$wx_build"
  (cd "$wx_build" && fetch_source wxwidgets3.2 "$version")
  wx_src=$(find "$wx_build" -maxdepth 1 -type d -name 'wxwidgets3.2-*' | head -n1)
  mkdir -p "$wx_src/build-msw"
  (cd "$wx_src/build-msw" &&
    ../configure -q "${WX_CONFIGURE_OPTIONS[@]}" --prefix="$dir" \
      CC=$CC_X CXX=$CXX_X CFLAGS="$WX_FLAGS" CXXFLAGS="$WX_FLAGS" \
      CPPFLAGS="-I$png_dir/include" LDFLAGS="-L$png_dir/lib" >configure.log 2>&1 ||
    { tail -n 30 configure.log >&2; rm -f config.status; exit 1; })
else
  echo "== continuing the compilation in $wx_build"
fi
(cd "$wx_src/build-msw" &&
  { nice make -j"$jobs" >>make.log 2>&1 || { tail -n 40 make.log >&2; exit 1; }; } &&
  { make install >install.log 2>&1 || { tail -n 20 install.log >&2; exit 1; }; })

echo "$version $hash $(date -u +%FT%TZ) $((SECONDS - started)) s" >"$dir/.complete"
rm -rf "$wx_build"
echo "== wxMSW $version built in $((SECONDS - started)) s into $dir"
echo "$dir"
