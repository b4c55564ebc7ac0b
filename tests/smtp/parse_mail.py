#!/usr/bin/python3
"""Parses stored messages with Python's email package, for the delivery tests.

Usage: parse_mail.py FILE...
Prints per file: SUBJECT <hex of UTF-8>, TONAME <hex of UTF-8> per address,
BODY <hex of UTF-8, line ends as LF>, DATE <POSIX time>, then END.
"""
import email
import email.policy
import sys

for path in sys.argv[1:]:
    with open(path, "rb") as stored:
        msg = email.message_from_binary_file(stored, policy=email.policy.default)
    print("SUBJECT " + str(msg["Subject"]).encode("utf-8").hex())
    for address in msg["To"].addresses:
        print("TONAME " + address.display_name.encode("utf-8").hex())
    print("BODY " + msg.get_content().replace("\r\n", "\n").encode("utf-8").hex())
    print("DATE " + str(int(msg["Date"].datetime.timestamp())))
    print("END")
