#!/usr/bin/env bash
# Builds OpenSSL for Windows (static libssl.a and libcrypto.a, mingw-w64 with
# the posix thread model) from Debian's own openssl source package, for the
# SMTP session's TLS in the Windows build.
#
# The result is cached outside the clone, keyed by the Debian version and a
# hash of the options, so a second build on the same machine reuses it:
#   ${POSTWING_CACHE:-/var/cache/postwing}/openssl-mingw64-<version>-<hash>/
#     include/openssl/, lib/libssl.a, lib/libcrypto.a
#     .complete        written last, when everything is in place
# Prints that folder's path as the last line of standard output.
# Usage: bash scripts/build-openssl-mingw.sh [--print-dir]   (--print-dir: no
# build; prints the folder of a finished build, fails when there is none)
# Takes about 3 minutes on 2 idle cores.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

HOST=x86_64-w64-mingw32
CC_X=$HOST-gcc-posix
OPENSSL_PACKAGES=(dpkg-dev make perl gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
# Tried first; when the mirror no longer serves it, the other versions its
# index lists are tried in turn (the newest indexed one can lack its files).
OPENSSL_PINNED=3.0.20-1~deb12u2

# No engines or dynamic modules: the program links everything statically and
# loads nothing at run time. The folders compiled in (certificates, the
# configuration file) are Unix paths that mean nothing on Windows; the program
# loads the system's ROOT store itself and reads no configuration file there.
# Security level 2 (no keys under 2048 bits, no SHA-1 signatures) as in
# Debian's own build.
OPENSSL_CONFIGURE_OPTIONS=(
  mingw64 no-shared no-tests no-dso no-engine no-module no-legacy --libdir=lib
  -DOPENSSL_TLS_SECURITY_LEVEL=2
  "CC=$CC_X" "AR=$HOST-ar" "RANLIB=$HOST-ranlib" "RC=$HOST-windres"
)

hash=$(printf '%s\n' "${OPENSSL_CONFIGURE_OPTIONS[@]}" | sha256sum | cut -c1-12)
cache_root=$(postwing_cache_root)
safe() { printf '%s' "${1//[^A-Za-z0-9.+-]/_}"; }
pinned_dir=$cache_root/openssl-mingw64-$(safe "$OPENSSL_PINNED")-$hash

# A finished build with these options: the pinned version's, else the newest
# other one (built when the pinned version could not be fetched).
finished_dir() {
  if [ -f "$pinned_dir/.complete" ]; then echo "$pinned_dir"; return 0; fi
  local d
  d=$(ls -d "$cache_root"/openssl-mingw64-*-"$hash"/.complete 2>/dev/null | sort -V | tail -n1)
  [ -n "$d" ] && dirname "$d"
}

if [ "${1:-}" = --print-dir ]; then finished_dir; exit; fi

# One build at a time for these options; a second caller waits, then reuses it.
exec 9>"$cache_root/openssl-mingw64-$hash.lock"
flock 9
if dir=$(finished_dir); then
  echo "== OpenSSL for Windows: cached in $dir"
  echo "$dir"
  exit 0
fi

started=$SECONDS
install_missing "${OPENSSL_PACKAGES[@]}"
enable_deb_src

work=$(mktemp -d "${TMPDIR:-/tmp}/openssl-mingw.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "== OpenSSL for Windows (Debian source; takes about 3 minutes on 2 idle cores)"
(cd "$work" && fetch_source openssl "$OPENSSL_PINNED")
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'openssl-*' | head -n1)
version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
dir=$cache_root/openssl-mingw64-$(safe "$version")-$hash
rm -rf "$dir"
mkdir -p "$dir"

(cd "$src" &&
  { ./Configure "${OPENSSL_CONFIGURE_OPTIONS[@]}" --prefix="$dir" >configure.log 2>&1 ||
    { tail -n 30 configure.log >&2; exit 1; }; } &&
  { nice make -j2 build_libs >make.log 2>&1 || { tail -n 40 make.log >&2; exit 1; }; } &&
  { make install_dev >install.log 2>&1 || { tail -n 20 install.log >&2; exit 1; }; })
# Only the static libraries and headers are needed.
rm -rf "$dir/lib/pkgconfig" "$dir/lib/cmake"

echo "$version $hash $(date -u +%FT%TZ) $((SECONDS - started)) s" >"$dir/.complete"
echo "== OpenSSL $version for Windows built in $((SECONDS - started)) s into $dir"
echo "$dir"
