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
