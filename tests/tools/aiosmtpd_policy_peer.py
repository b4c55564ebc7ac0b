#!/usr/bin/python3
"""An aiosmtpd server with a delivery policy, for keep-going runs.

Usage: aiosmtpd_policy_peer.py OUTDIR [login]

Listens on a free loopback port and writes it to OUTDIR/port. Recipients
decide by their local part:
  unknown*  550 5.1.1 User unknown
  grey*     451 4.7.1 Greylisted, try again later (the first time each)
  spam*     the message is refused after the dot: 554 5.7.1 Message refused
The sixth MAIL command of the server's life opens a rate limit: every MAIL in
the 1.5 s from it gets 421 4.7.0 try again later.
Every recipient of a message taken is appended to OUTDIR/delivered, one line
each. In "login" mode AUTH LOGIN is offered after HELO and takes only the
user "peer-user" with the password "peer-secret". The server stops when
OUTDIR/stop appears.
"""
import os
import socket
import sys
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult

OUT = sys.argv[1]
LOGIN = len(sys.argv) > 2 and sys.argv[2] == "login"
RATE_LIMIT_AT = 6
RATE_LIMIT_SECONDS = 1.5

lock = threading.Lock()
greylisted = set()
mail_count = 0
limit_until = 0.0


class Policy:
    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        global mail_count, limit_until
        with lock:
            mail_count += 1
            now = time.monotonic()
            if mail_count == RATE_LIMIT_AT:
                limit_until = now + RATE_LIMIT_SECONDS
            if now < limit_until:
                return "421 4.7.0 try again later"
        envelope.mail_from = address
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        local = address.split("@")[0].lower()
        if local.startswith("unknown"):
            return "550 5.1.1 User unknown"
        if local.startswith("grey"):
            with lock:
                if address.lower() not in greylisted:
                    greylisted.add(address.lower())
                    return "451 4.7.1 Greylisted, try again later"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if any(r.split("@")[0].lower().startswith("spam") for r in envelope.rcpt_tos):
            return "554 5.7.1 Message refused"
        with lock, open(os.path.join(OUT, "delivered"), "a") as out:
            for rcpt in envelope.rcpt_tos:
                out.write(rcpt + "\n")
        return "250 Message accepted"


def authenticator(server, session, envelope, mechanism, auth_data):
    if mechanism == "LOGIN" and auth_data.login == b"peer-user" and auth_data.password == b"peer-secret":
        return AuthResult(success=True, auth_data=auth_data)
    return AuthResult(success=False, handled=False)


class PolicySMTP(SMTP):
    async def smtp_HELO(self, hostname):
        await super().smtp_HELO(hostname)
        if LOGIN:
            self.session.extended_smtp = True


class PolicyController(Controller):
    def factory(self):
        return PolicySMTP(self.handler, **self.SMTP_kwargs)


def main():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    options = dict(server_hostname="policy.test", ident="Policy SMTP")
    if LOGIN:
        options.update(authenticator=authenticator, auth_require_tls=False)
    controller = PolicyController(Policy(), hostname="127.0.0.1", port=port, **options)
    controller.start()
    with open(os.path.join(OUT, "port.new"), "w") as out:
        out.write(str(port))
    os.rename(os.path.join(OUT, "port.new"), os.path.join(OUT, "port"))
    for _ in range(1200):
        if os.path.exists(os.path.join(OUT, "stop")):
            break
        time.sleep(0.1)
    controller.stop()


if __name__ == "__main__":
    main()
