#!/usr/bin/env bash
# Builds the core, postwing-send and the core tests for 64-bit Windows with
# mingw-w64 and runs the tests under Wine (preset win64, build/win64).
# Run by `bash scripts/setup.sh test`; can be run alone. Skipped, with a
# message, only when the cross compiler or Wine cannot be installed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

# locales: localedef, for the zh_CN.UTF-8 locale that gives Wine code page 936.
# python3-aiosmtpd and openssl: the TLS tests' server and certificates.
# xvfb and xauth: a display for the console tests (Wine's consoles need one).
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64 wine64 wine locales python3-aiosmtpd openssl xvfb xauth ccache)

started=$SECONDS
echo "== build and test the core for Windows (mingw-w64, under Wine)"
if ! install_missing "${WINDOWS_PACKAGES[@]}"; then
  echo "== SKIPPED: the Windows tests need ${WINDOWS_PACKAGES[*]}, which could not be installed."
  exit 0
fi
use_compiler_cache

# Stop this prefix's Wine server and background processes when done.
stop_wine() {
  local p
  for p in build/win64/wineprefix build/win64/wineprefix-console; do
    [ -d "$p" ] && WINEPREFIX=$PWD/$p wineserver -k 2>/dev/null || true
  done
}
trap stop_wine EXIT

# OpenSSL for the SMTP session's TLS: built once from Debian's source package
# and cached outside the clone.
openssl_dir=$(bash scripts/build-openssl-mingw.sh | tail -n1)
# The window program is left to `bash scripts/setup.sh windows`, which builds
# the library it needs first.
cmake --preset win64 -DPOSTWING_UI=OFF -DPOSTWING_OPENSSL_DIR="$openssl_dir" >/dev/null
cmake --build --preset win64
ctest --preset win64
echo "== Windows build and tests took $((SECONDS - started)) s"
