#!/usr/bin/python3
"""An aiosmtpd server on a free loopback port for the SMTP client's TLS tests.

Usage: aiosmtpd_tls_peer.py none|starttls|implicit CERTDIR CERTNAME [login]

none: plain text, EHLO without STARTTLS; starttls: STARTTLS offered, AUTH
only after it; implicit: TLS from the first byte. CERTNAME is the key pair
in CERTDIR ("server" or "othername"). With "login", AUTH PLAIN and LOGIN
accept the user "peer-user" with the password "peer-secret" (offered in
plain text too, except on the STARTTLS server).

Prints "PORT <n> <process id>" when it listens, then for every session that said EHLO or
HELO, when it ends:
  SESSION
  HELLO <name>, TLS 0|1, RESUMED 0|1, AUTH <user or ->, AUTHTLS 0|1|-
  per message: MAIL <from>, RCPT <address>..., then, as parsed by Python's
  email package: SUBJECT <hex of UTF-8>, TONAME <hex of UTF-8> and TOADDR
  <address> per address, BODY <hex of UTF-8>, DATE <POSIX time>, CTE <value>,
  MSGID <value>
  ENDSESSION
It runs until it is stopped (SIGTERM) or for 120 s (PEER_LIFETIME seconds
when that is set). PEER_PIPELINING=1 offers PIPELINING in the EHLO reply
(aiosmtpd reads commands line by line, so pipelined ones are answered in
order); PEER_CLOSE_AFTER=N closes each connection right after the reply to
its Nth message (commands after it are answered 421). PEER_MAX_CONNECTIONS=N greets a connection beyond N open at
once with 421 and closes it. Each session's report also says OPEN <n>: the
connections open when it began, itself included.
"""
import asyncio
import email
import email.policy
import os
import signal
import socket
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult

USER = b"peer-user"
PASSWORD = b"peer-secret"
MODE = sys.argv[1]
CERTDIR = sys.argv[2]
CERTNAME = sys.argv[3]
LOGIN = len(sys.argv) > 4 and sys.argv[4] == "login"
PIPELINING = os.environ.get("PEER_PIPELINING") == "1"
CLOSE_AFTER = int(os.environ.get("PEER_CLOSE_AFTER", "0"))
MAX_CONNECTIONS = int(os.environ.get("PEER_MAX_CONNECTIONS", "0"))

out_lock = threading.Lock()


def emit(lines):
    with out_lock:
        for line in lines:
            print(line)
        sys.stdout.flush()


def hexed(text):
    return text.encode("utf-8").hex()


class Recorder:
    async def handle_DATA(self, server, session, envelope):
        lines = ["MAIL " + str(envelope.mail_from)]
        lines.extend("RCPT " + rcpt for rcpt in envelope.rcpt_tos)
        msg = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
        lines.append("SUBJECT " + hexed(str(msg["Subject"])))
        for address in msg["To"].addresses:
            lines.append("TONAME " + hexed(address.display_name))
            lines.append("TOADDR " + address.addr_spec)
        lines.append("BODY " + hexed(msg.get_content()))
        lines.append("DATE " + str(int(msg["Date"].datetime.timestamp())))
        lines.append("CTE " + str(msg["Content-Transfer-Encoding"]))
        lines.append("MSGID " + str(msg["Message-ID"]))
        session.report.extend(lines)
        session.messages = getattr(session, "messages", 0) + 1
        if CLOSE_AFTER and session.messages % CLOSE_AFTER == 0:
            # After the reply has gone: close() sends what is buffered first.
            # Commands already sent behind the message are answered 421, as
            # a mail service closing a connection answers them; the
            # connection no longer counts as open from now on.
            server.note_closed()
            server.closing = True
            asyncio.get_running_loop().call_soon(server.transport.close)
        return "250 Message accepted"

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        if PIPELINING:
            responses.insert(len(responses) - 1, "250-PIPELINING")
        return responses


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = auth_data.login == USER and auth_data.password == PASSWORD
    if ok:
        return AuthResult(success=True, auth_data=auth_data)
    return AuthResult(success=False, handled=False)


class PeerSMTP(SMTP):
    hello = None
    auth_tls = "-"
    refused = False   # greeted with 421 and closed
    counted = False   # counted in open_connections
    open_connections = 0  # of the whole server (its one event loop)

    def connection_made(self, transport):
        if self.counted:
            # Again over TLS after STARTTLS: the same connection.
            super().connection_made(transport)
            return
        if MAX_CONNECTIONS and PeerSMTP.open_connections >= MAX_CONNECTIONS:
            self.refused = True
            transport.write(b"421 4.7.0 Too many connections, try again later\r\n")
            transport.close()
            return
        PeerSMTP.open_connections += 1
        self.counted = True
        self.opened_with = PeerSMTP.open_connections
        super().connection_made(transport)

    def note_closed(self):
        """The server closes the connection: it counts as open no more."""
        if self.counted:
            self.counted = False
            PeerSMTP.open_connections -= 1

    def ssl_object(self):
        if self.session.ssl:
            return self.session.ssl.get("ssl_object")
        return self.transport.get_extra_info("ssl_object") if self.transport else None

    def note_hello(self, name):
        self.hello = name
        ssl_object = self.ssl_object()
        self.tls = ssl_object is not None
        self.resumed = bool(ssl_object is not None and ssl_object.session_reused)
        if not hasattr(self.session, "report"):
            self.session.report = []

    async def smtp_HELO(self, hostname):
        self.note_hello(hostname)
        await super().smtp_HELO(hostname)

    async def smtp_EHLO(self, hostname):
        self.note_hello(hostname)
        await super().smtp_EHLO(hostname)

    closing = False  # the server closes the connection after this reply

    async def smtp_MAIL(self, arg):
        if self.closing:
            await self.push("421 4.7.0 Closing connection, try again later")
            return
        await super().smtp_MAIL(arg)

    async def smtp_RCPT(self, arg):
        if self.closing:
            await self.push("421 4.7.0 Closing connection")
            return
        await super().smtp_RCPT(arg)

    async def smtp_DATA(self, arg):
        if self.closing:
            await self.push("421 4.7.0 Closing connection")
            return
        await super().smtp_DATA(arg)

    async def smtp_QUIT(self, arg):
        # Closing from here on: a client's next connection may come before
        # the close is seen.
        self.note_closed()
        await super().smtp_QUIT(arg)

    async def smtp_AUTH(self, arg):
        self.auth_tls = "1" if self.ssl_object() is not None else "0"
        await super().smtp_AUTH(arg)

    def connection_lost(self, error):
        if self.refused:
            return
        self.note_closed()
        super().connection_lost(error)
        if self.hello is None:
            return
        user = "-"
        if self.session.authenticated:
            user = self.session.auth_data.login.decode("latin-1")
        emit(["SESSION", "HELLO " + self.hello, "TLS %d" % self.tls, "RESUMED %d" % self.resumed,
              "AUTH " + user, "AUTHTLS " + self.auth_tls, "OPEN %d" % self.opened_with]
             + getattr(self.session, "report", []) + ["ENDSESSION"])


class PeerController(Controller):
    def factory(self):
        return PeerSMTP(self.handler, **self.SMTP_kwargs)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(f"{CERTDIR}/{CERTNAME}.pem", f"{CERTDIR}/{CERTNAME}.key")
    port = free_port()
    options = dict(server_hostname="peer.test", ident="Peer SMTP")
    if LOGIN:
        options.update(authenticator=authenticator, auth_require_tls=MODE == "starttls")
    if MODE == "starttls":
        options.update(tls_context=context)
    controller_options = {}
    if MODE == "implicit":
        controller_options["ssl_context"] = context
    controller = PeerController(Recorder(), hostname="127.0.0.1", port=port,
                                **controller_options, **options)
    controller.start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    emit(["PORT %d %d" % (port, os.getpid())])
    stop.wait(timeout=float(os.environ.get("PEER_LIFETIME", "120")))
    controller.stop()


if __name__ == "__main__":
    main()
