"""A local SMTP peer for the postwing-send test: aiosmtpd on 127.0.0.1:PORT that
stores each message as OUT/N.msg (envelope lines, an empty line, the content),
touches OUT/ready once listening, and stops when OUT/stop appears or after two
minutes. Exit status 3 when the port cannot be bound."""
import os
import sys
import time

from aiosmtpd.controller import Controller


class Sink:
    def __init__(self, out):
        self.out = out
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        lines = ["FROM " + envelope.mail_from] + ["TO " + r for r in envelope.rcpt_tos]
        data = ("\n".join(lines) + "\n\n").encode() + envelope.original_content
        path = os.path.join(self.out, "%d.msg" % self.count)
        with open(path + ".part", "wb") as f:
            f.write(data)
        os.rename(path + ".part", path)
        return "250 OK"


def main():
    out, port = sys.argv[1], int(sys.argv[2])
    controller = Controller(Sink(out), hostname="127.0.0.1", port=port)
    try:
        controller.start()
    except Exception as error:  # the port is taken or may not be bound
        print("cannot listen:", error, file=sys.stderr)
        return 3
    open(os.path.join(out, "ready"), "w").close()
    deadline = time.time() + 120
    while time.time() < deadline and not os.path.exists(os.path.join(out, "stop")):
        time.sleep(0.05)
    controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
