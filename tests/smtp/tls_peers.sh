#!/usr/bin/env bash
# ctest fixture of the Windows TLS tests, which run under Wine and cannot start
# Linux programs themselves: makes the test certificates and starts one
# aiosmtpd server (aiosmtpd_tls_peer.py) per kind the tests use, on free ports
# of 127.0.0.1, or stops them again.
#
# Usage: tls_peers.sh start|stop DIR
#   DIR/certs/         the certificates (make_test_certs.sh)
#   DIR/<kind>.out     a server's output: "PORT <n> <pid>", then its reports
#   DIR/started        written when every server listens
#   DIR/unavailable    why the servers cannot run here (the tests then skip)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
action=$1 dir=$2
# The servers outlive a whole test run, however slow; `stop` ends them sooner.
lifetime=1800
startup_limit=60
# mode certificate [login]: the kinds the tests ask for.
kinds=(
  "starttls server" "starttls server login" "implicit server" "implicit server login"
  "none server login" "implicit othername login" "starttls othername login"
)

stop() {
  [ -f "$dir/pids" ] || return 0
  local pid
  while read -r pid; do kill "$pid" 2>/dev/null || true; done <"$dir/pids"
  rm -f "$dir/pids"
}

if [ "$action" = stop ]; then stop; exit 0; fi

stop
rm -rf "$dir"
mkdir -p "$dir"
if ! /usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null; then
  echo "/usr/bin/python3 has no aiosmtpd (Debian package python3-aiosmtpd)" >"$dir/unavailable"
  exit 0
fi
bash "$here/make_test_certs.sh" "$dir/certs" >/dev/null 2>&1

for kind in "${kinds[@]}"; do
  read -r mode cert login <<<"$kind"
  name=$mode-$cert${login:+-login}
  # Detached from ctest's pipes, or ctest would wait for the servers to end.
  PEER_LIFETIME=$lifetime setsid /usr/bin/python3 "$here/aiosmtpd_tls_peer.py" \
    "$mode" "$dir/certs" "$cert" $login </dev/null >"$dir/$name.out" 2>"$dir/$name.err" &
  echo $! >>"$dir/pids"
done

deadline=$((SECONDS + startup_limit))
for kind in "${kinds[@]}"; do
  read -r mode cert login <<<"$kind"
  name=$mode-$cert${login:+-login}
  until grep -q '^PORT ' "$dir/$name.out"; do
    if [ $SECONDS -ge $deadline ]; then
      echo "tls_peers.sh: the server $name did not start:" >&2
      cat "$dir/$name.err" >&2
      stop
      exit 1
    fi
    sleep 0.1
  done
done
touch "$dir/started"
