#!/usr/bin/env bash
# Builds the Debian package of this tree with dpkg-buildpackage into
# build/package/ (postwing_<version>_<arch>.deb). Run by `scripts/setup.sh
# package` and by the test command, after the build packages are installed.
#
# dpkg-buildpackage writes its results into the parent of the source tree, so
# the tree is copied to build/package/postwing/ first. The copy keeps the files'
# times and the copy's CMake build folder is kept from run to run (-nc: no
# clean before the build), so a rebuild compiles only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
OUT=$ROOT/build/package
SRC=$OUT/postwing
OBJ=obj-$(dpkg-architecture -qDEB_HOST_GNU_TYPE)

mkdir -p "$SRC"
find "$SRC" -mindepth 1 -maxdepth 1 ! -name "$OBJ" -exec rm -rf {} +
tar -C "$ROOT" --exclude=./build --exclude=./.git -cf - . | tar -C "$SRC" -xpf -
rm -f "$OUT"/postwing_* "$OUT"/postwing-dbgsym_*

cd "$SRC"
DEB_BUILD_OPTIONS="nocheck parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" \
  dpkg-buildpackage --build=binary --no-pre-clean --no-sign
ls "$OUT"/postwing_*.deb
