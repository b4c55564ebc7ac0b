# Shell helpers shared by scripts/setup.sh and scripts/test-windows.sh.

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Installs the packages of the arguments that are not installed yet.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q ' installed$' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=900 install -y \
    --no-install-recommends "${missing[@]}"
}

# The folder kept from run to run for what is slow to make again (the
# libraries built for Windows, the compiler cache): $POSTWING_CACHE, else
# /var/cache/postwing, else ~/.cache/postwing where /var/cache cannot be
# written.
postwing_cache_root() {
  local root=${POSTWING_CACHE:-/var/cache/postwing}
  if ! mkdir -p "$root" 2>/dev/null || [ ! -w "$root" ]; then
    root=${XDG_CACHE_HOME:-$HOME/.cache}/postwing
    mkdir -p "$root"
  fi
  echo "$root"
}

# Compiles through ccache when it is installed, its cache in the folder
# above, so that the next run on the machine (from a new clone at the same
# path too) compiles only what changed. CMake takes the launcher from these
# variables when it first configures a build folder. Call it from the
# source tree's root.
use_compiler_cache() {
  command -v ccache >/dev/null || return 0
  CCACHE_DIR=${CCACHE_DIR:-$(postwing_cache_root)/ccache}
  CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
  export CCACHE_DIR CCACHE_BASEDIR
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
}

# Compiles the locale <language>.<charset> (zh_CN UTF-8) unless the system
# has it already.
ensure_locale() {
  local name=$1.$2
  local listed=${name,,}
  listed=${listed//-/}
  locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | tr -d '-' | grep -qx "$listed" && return 0
  echo "== compiling the locale $name"
  $SUDO localedef -i "$1" -f "$2" "$name"
}

# Installs Postfix for the delivery tests without a system mail service: the
# debconf answer "No configuration" leaves it without main.cf, and the service
# is stopped and disabled in case it runs anyway, so nothing takes port 25
# (the postwing-send tests listen there). The tests start their own instance.
install_postfix_quietly() {
  dpkg-query -W -f='${Status}' postfix 2>/dev/null | grep -q ' installed$' && return 0
  echo "postfix postfix/main_mailer_type select No configuration" | $SUDO debconf-set-selections
  if ! install_missing postfix; then
    echo "== postfix could not be installed: its delivery tests will be skipped"
    return 0
  fi
  $SUDO systemctl disable --now postfix >/dev/null 2>&1 || true
  $SUDO postfix stop >/dev/null 2>&1 || true
}

# apt-get source needs the source lists; add them beside the binary ones.
enable_deb_src() {
  if grep -rqsE '^(Types: *deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 0
  fi
  local f=/etc/apt/sources.list.d/debian.sources
  if [ -f "$f" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$f" | $SUDO tee /etc/apt/sources.list.d/postwing-deb-src.sources >/dev/null
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $SUDO tee /etc/apt/sources.list.d/postwing-deb-src.list >/dev/null
  fi
  local i
  for i in 1 2 3 4 5; do
    $SUDO apt-get -o DPkg::Lock::Timeout=300 update -qq && return 0
    sleep 10
  done
  return 1
}

# apt-get source of the first version of $1 that can be fetched (the newest
# indexed one can be missing from the mirror).
fetch_source() {
  local pkg=$1 want=${2:-} v
  if [ -n "$want" ] && apt-get source -qq "$pkg=$want" >/dev/null 2>&1; then return 0; fi
  for v in $(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p'); do
    apt-get source -qq "$pkg=$v" >/dev/null 2>&1 && return 0
  done
  echo "could not fetch the Debian source package $pkg" >&2
  return 1
}
