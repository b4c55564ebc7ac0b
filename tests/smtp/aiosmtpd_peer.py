#!/usr/bin/python3
"""An aiosmtpd server on a free loopback port for the SMTP client's peer test.

Usage: aiosmtpd_peer.py plain|login

Prints "PORT <n>" when it listens. When the first client session ends it
prints what that session did, one item per line, and exits:
  HELO <name>, AUTH <user or ->, then per message MAIL <from>,
  RCPT <address> per recipient and DATA <content in hex>; then END.
In "login" mode AUTH LOGIN is offered after HELO (aiosmtpd otherwise wants
EHLO first) and accepts the user "peer-user" with the password "peer-secret".
The greeting never says "ESMTP".
"""
import socket
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult

USER = b"peer-user"
PASSWORD = b"peer-secret"
LOGIN = len(sys.argv) > 1 and sys.argv[1] == "login"

finished = threading.Event()
lines = []


class Recorder:
    async def handle_DATA(self, server, session, envelope):
        lines.append("MAIL " + str(envelope.mail_from))
        lines.extend("RCPT " + rcpt for rcpt in envelope.rcpt_tos)
        lines.append("DATA " + envelope.original_content.hex())
        return "250 Message accepted"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (mechanism == "LOGIN" and auth_data.login == USER
          and auth_data.password == PASSWORD)
    if ok:
        return AuthResult(success=True, auth_data=auth_data)
    return AuthResult(success=False, handled=False)  # makes the server answer 535


class PeerSMTP(SMTP):
    seen_helo = False

    async def smtp_HELO(self, hostname):
        await super().smtp_HELO(hostname)
        self.seen_helo = True
        lines.insert(0, "HELO " + hostname)
        if LOGIN:
            self.session.extended_smtp = True

    def connection_lost(self, error):
        super().connection_lost(error)
        if self.seen_helo:
            user = "-"
            if self.session.authenticated:
                user = self.session.auth_data.login.decode("latin-1")
            lines.insert(1, "AUTH " + user)
            finished.set()


class PeerController(Controller):
    def factory(self):
        return PeerSMTP(self.handler, **self.SMTP_kwargs)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    port = free_port()
    options = dict(server_hostname="peer.test", ident="Peer SMTP")
    if LOGIN:
        options.update(authenticator=authenticator, auth_require_tls=False)
    controller = PeerController(Recorder(), hostname="127.0.0.1", port=port, **options)
    controller.start()
    print("PORT", port, flush=True)
    finished.wait(timeout=30)
    controller.stop()
    for line in lines:
        print(line)
    print("END", flush=True)


if __name__ == "__main__":
    main()
