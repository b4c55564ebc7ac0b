#!/usr/bin/env bash
# Makes throw-away certificates for the TLS tests in the folder $1:
#   ca.pem            a private authority
#   server.pem/.key   signed by it for DNS:localhost and IP:127.0.0.1
#   othername.pem/.key signed by it for DNS:mail.example.test only
#   otherca.pem       an unrelated authority that signed nothing used here
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
days=2
new_ca() {  # name subject
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days $days \
    -subj "/CN=$2" -addext basicConstraints=critical,CA:TRUE \
    -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
}
new_server() {  # name subjectAltName
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=Postwing test server" \
    2>/dev/null
  printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' "$2" > "$1.ext"
  openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -out "$1.pem" -days $days \
    -extfile "$1.ext" 2>/dev/null
}
new_ca ca "Postwing test authority"
new_ca otherca "Unrelated test authority"
new_server server "DNS:localhost,IP:127.0.0.1"
new_server othername "DNS:mail.example.test"
