#!/usr/bin/env bash
# Postwing's one entry point for a fresh Debian 12 machine.
#   bash scripts/setup.sh run    install what is missing, build, start the program
#   bash scripts/setup.sh test   install what is missing, build, run every test
#   bash scripts/setup.sh package   build the Debian package into build/package/
#   bash scripts/setup.sh windows  the whole program for Windows: wxMSW (cached),
#                                postwing.exe, postwing-send.exe and the installer
#                                in build/win64/dist, and the window and installer
#                                tests under Wine (`test` runs the core's)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

source scripts/lib.sh

# wx3.2-i18n and a zh_CN.UTF-8 locale (from locales) put wx's and GTK's own
# texts in Chinese; the program takes that locale whatever LANG says.
# libxcb1-dev: the window tests ask the X server from a thread of their own.
# ccache: a second build on the machine compiles only what changed.
BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config libwxgtk3.2-dev libcanberra-dev libglib2.0-dev
                libssl-dev libgtest-dev googletest fonts-wqy-zenhei wx3.2-i18n locales libxcb1-dev ccache)
# trayer gives the window tests a real notification area and openbox a real
# window manager (minimise box, task-bar state, iconify); clang and its
# runtime libraries build the fuzz targets with libFuzzer; openssl makes the
# TLS tests' certificates (Postfix, for the delivery tests, comes through
# install_postfix_quietly).
TEST_PACKAGES=(xvfb xauth x11-utils xdotool imagemagick trayer openbox python3 python3-aiosmtpd
               sox clang-14 libclang-rt-14-dev openssl)
# Building the Debian package, and checking it as a user meets it.
PACKAGE_PACKAGES=(debhelper dpkg-dev)
PACKAGE_CHECK_PACKAGES=(lintian desktop-file-utils appstream man-db systemd)

build() {  # preset [targets...]
  local preset=$1; shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" "$@"
}

# Lays out the folder the window program runs in: ini/ with settings naming
# the samples, help/, an empty report file and a small sample mail folder and
# address list, as a new user needs; nothing already there is replaced.
prepare_runtime() {
  local dir=$1
  mkdir -p "$dir"
  cp -rn runtime/. "$dir"/
  # The settings file will hold the password: readable by its owner only, as
  # the program makes it. Only the untouched sample is changed.
  if cmp -s runtime/ini/Stmp.Ini "$dir/ini/Stmp.Ini"; then chmod 600 "$dir/ini/Stmp.Ini"; fi
}

cmd_run() {
  install_missing "${BUILD_PACKAGES[@]}"
  use_compiler_cache
  ensure_locale zh_CN UTF-8
  build default --target postwing
  local rt=$ROOT/build/default/runtime
  prepare_runtime "$rt"
  cd "$rt" && exec "$ROOT/build/default/src/ui/postwing"
}

cmd_package() {
  install_missing "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
  use_compiler_cache
  bash scripts/package.sh
}

cmd_test() {
  install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" \
    "${PACKAGE_CHECK_PACKAGES[@]}"
  install_postfix_quietly
  use_compiler_cache
  ensure_locale zh_CN UTF-8
  echo "== build and test (default)"
  build default
  ctest --preset default
  echo "== build the Debian package and check it"
  bash scripts/package.sh
  bash scripts/check-package.sh
  echo "== build and test the core under AddressSanitizer and UndefinedBehaviorSanitizer"
  build asan
  ctest --preset asan
  echo "== fuzz every parser and encoder for a bounded time (clang, libFuzzer, sanitizers)"
  build fuzz
  ctest --preset fuzz
  if [ -f scripts/test-windows.sh ]; then
    bash scripts/test-windows.sh
  fi
}

# Cross-compiler, Wine, the Chinese font and the tools of the window tests
# under Wine (Xvfb, xdotool, xwininfo), NSIS, and wx3.2-i18n, whose Chinese
# catalogue the Windows program carries; build-wxmsw.sh installs what the
# library build needs.
WINDOWS_PACKAGES=(cmake ninja-build googletest g++-mingw-w64-x86-64-posix wine64 wine locales
                  xvfb xauth xdotool x11-utils openbox fonts-wqy-microhei nsis wx3.2-i18n ccache)

# The whole program for Windows and the tests the test command leaves out:
# the window tests and the installer's (label windows-program). The core's
# tests under Wine are the test command's (scripts/test-windows.sh), which
# builds the same folder, build/win64.
cmd_windows() {
  local started=$SECONDS
  install_missing "${WINDOWS_PACKAGES[@]}"
  use_compiler_cache
  echo "== wxWidgets for Windows"
  bash scripts/build-wxmsw.sh
  local wx_done=$SECONDS
  stop_wine() {
    local p
    for p in build/win64/wineprefix build/win64/wineprefix-ui; do
      [ -d "$p" ] && WINEPREFIX=$PWD/$p wineserver -k 2>/dev/null || true
    done
  }
  trap stop_wine EXIT
  echo "== OpenSSL for Windows"
  local openssl_dir
  openssl_dir=$(bash scripts/build-openssl-mingw.sh | tail -n1)
  echo "== build for Windows (window program, tools, installer) and test under Wine"
  cmake --preset win64 -DPOSTWING_UI=ON -DPOSTWING_OPENSSL_DIR="$openssl_dir" >/dev/null
  cmake --build --preset win64
  local built=$SECONDS
  ctest --preset win64 -L windows-program
  echo "== Windows release folder: build/win64/dist"
  ls -l build/win64/dist
  echo "== times: wxMSW $((wx_done - started)) s, build $((built - wx_done)) s," \
       "tests $((SECONDS - built)) s, all $((SECONDS - started)) s"
}

case "${1:-}" in
  run) cmd_run ;;
  test) cmd_test ;;
  package) cmd_package ;;
  windows) cmd_windows ;;
  *) echo "usage: bash scripts/setup.sh run|test|package|windows" >&2; exit 2 ;;
esac
