#!/usr/bin/env bash
# Starts or stops a private Postfix for the delivery tests:
#   postfix_peer.sh start DIR PORT [CERTDIR [ACCESS]]   listen on 127.0.0.1:PORT only
#   postfix_peer.sh stop DIR
# Its configuration, queue and mail live in DIR: stock relay settings (no
# SASL, mynetworks loopback); with CERTDIR, STARTTLS is offered with
# CERTDIR/server.pem. Mail for example.cn is delivered as Maildir files into
# DIR/mail/inbox/new. With ACCESS (a file in Postfix's access-table form,
# "address action" per line), recipients are checked against it first, so
# that it can reject some and defer others. CERTDIR may be "" then. Needs
# root (Postfix's master starts as root).
set -euo pipefail
action=$1
dir=$2
if [ "$action" = stop ]; then
  /usr/sbin/postfix -c "$dir/etc" abort >/dev/null 2>&1 || true
  exit 0
fi
port=$3
certs=${4:-}
access=${5:-}
mkdir -p "$dir/etc" "$dir/queue" "$dir/data" "$dir/mail"
owner_uid=$(id -u postfix)
owner_gid=$(id -g postfix)
chown postfix:postfix "$dir/data" "$dir/mail"
chmod 755 "$dir"
cat > "$dir/etc/main.cf" <<CF
compatibility_level = 3.6
queue_directory = $dir/queue
data_directory = $dir/data
command_directory = /usr/sbin
daemon_directory = /usr/lib/postfix/sbin
meta_directory = /etc/postfix
shlib_directory = /usr/lib/postfix
mail_owner = postfix
setgid_group = postdrop
myhostname = relay.postwing.test
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
mynetworks = 127.0.0.0/8
mydestination =
alias_maps =
alias_database =
virtual_mailbox_domains = example.cn
virtual_mailbox_base = $dir/mail
virtual_mailbox_maps = static:inbox/
virtual_uid_maps = static:$owner_uid
virtual_gid_maps = static:$owner_gid
virtual_minimum_uid = 1
maillog_file = $dir/maillog
maillog_file_prefixes = $dir
smtputf8_enable = no
biff = no
CF
if [ -n "$certs" ]; then
  cp "$certs/server.pem" "$certs/server.key" "$dir/etc/"
  chmod 644 "$dir/etc/server.pem" "$dir/etc/server.key"
  cat >> "$dir/etc/main.cf" <<CF
smtpd_tls_cert_file = $dir/etc/server.pem
smtpd_tls_key_file = $dir/etc/server.key
smtpd_tls_security_level = may
CF
fi
if [ -n "$access" ]; then
  cp "$access" "$dir/etc/access"
  cat >> "$dir/etc/main.cf" <<CF
smtpd_recipient_restrictions = check_recipient_access texthash:$dir/etc/access, permit_mynetworks, reject_unauth_destination
CF
fi
cat > "$dir/etc/master.cf" <<CF
127.0.0.1:$port inet n - n - - smtpd
pickup    unix  n - n 60 1 pickup
cleanup   unix  n - n - 0 cleanup
qmgr      unix  n - n 300 1 qmgr
tlsmgr    unix  - - n 1000? 1 tlsmgr
rewrite   unix  - - n - - trivial-rewrite
bounce    unix  - - n - 0 bounce
defer     unix  - - n - 0 bounce
trace     unix  - - n - 0 bounce
verify    unix  - - n - 1 verify
flush     unix  n - n 1000? 0 flush
proxymap  unix  - - n - - proxymap
smtp      unix  - - n - - smtp
relay     unix  - - n - - smtp
showq     unix  n - n - - showq
error     unix  - - n - - error
retry     unix  - - n - - error
discard   unix  - - n - - discard
local     unix  - n n - - local
virtual   unix  - n n - - virtual
lmtp      unix  - - n - - lmtp
anvil     unix  - - n - 1 anvil
scache    unix  - - n - 1 scache
postlog   unix-dgram n - n - 1 postlogd
CF
/usr/sbin/postfix -c "$dir/etc" check >/dev/null 2>&1 || true
/usr/sbin/postfix -c "$dir/etc" start
