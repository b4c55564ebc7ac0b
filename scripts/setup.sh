#!/usr/bin/env bash
# Postwing's one entry point for a fresh Debian 12 machine.
#   bash scripts/setup.sh run    install what is missing, build, start the program
#   bash scripts/setup.sh test   install what is missing, build, run every test
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

source scripts/lib.sh

# wx3.2-i18n and a zh_CN.UTF-8 locale (from locales) put wx's and GTK's own
# texts in Chinese; the program takes that locale whatever LANG says.
BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config libwxgtk3.2-dev libcanberra-dev libglib2.0-dev
                libgtest-dev googletest fonts-wqy-zenhei wx3.2-i18n locales)
# trayer gives the window tests a real notification area, openbox a real
# window manager (minimise box, task-bar state, iconify).
TEST_PACKAGES=(xvfb xauth x11-utils xdotool imagemagick trayer openbox python3 python3-aiosmtpd
               sox)

build() {  # preset [targets...]
  local preset=$1; shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" "$@"
}

# Lays out the folder the window program runs in: ini/, help/, an empty report
# file and a small sample mail folder and address list, as a new user needs.
prepare_runtime() {
  local dir=$1
  mkdir -p "$dir"
  cp -rn runtime/. "$dir"/
}

cmd_run() {
  install_missing "${BUILD_PACKAGES[@]}"
  ensure_locale zh_CN UTF-8
  build default --target postwing
  local rt=$ROOT/build/default/runtime
  prepare_runtime "$rt"
  cd "$rt" && exec "$ROOT/build/default/src/ui/postwing"
}

cmd_test() {
  install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
  ensure_locale zh_CN UTF-8
  echo "== build and test (default)"
  build default
  ctest --preset default
  echo "== build and test the core under AddressSanitizer and UndefinedBehaviorSanitizer"
  build asan
  ctest --preset asan
  if [ -f scripts/test-windows.sh ]; then
    bash scripts/test-windows.sh
  fi
}

case "${1:-}" in
  run) cmd_run ;;
  test) cmd_test ;;
  *) echo "usage: bash scripts/setup.sh run|test" >&2; exit 2 ;;
esac
