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
