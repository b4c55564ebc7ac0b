#!/usr/bin/python3
"""Parses one stored message with Python's email package, for the message tests.

Usage: parse_parts.py FILE
Prints SUBJECT, UNSUB and UNSUBPOST (hex of UTF-8), then per part in walk order
PART <type>, and for a leaf CHARSET, DISPOSITION, FILENAME and NAME (hex of
UTF-8), CID and BYTES (hex of the decoded payload); then DEFECTS <count>, END.
"""
import email
import email.policy
import sys


def hexed(text):
    return ("" if text is None else str(text)).encode("utf-8").hex()


with open(sys.argv[1], "rb") as stored:
    msg = email.message_from_binary_file(stored, policy=email.policy.default)
print("SUBJECT " + hexed(msg["Subject"]))
print("UNSUB " + hexed(msg["List-Unsubscribe"]))
print("UNSUBPOST " + hexed(msg["List-Unsubscribe-Post"]))
defects = len(msg.defects)
for part in msg.walk():
    print("PART " + part.get_content_type())
    defects += len(part.defects)
    if part.is_multipart():
        continue
    print("CHARSET " + (part.get_content_charset() or ""))
    print("DISPOSITION " + (part.get_content_disposition() or ""))
    print("FILENAME " + hexed(part.get_filename()))
    content_type = part["Content-Type"]
    print("NAME " + hexed(content_type.params.get("name") if content_type else None))
    print("CID " + (part.get("Content-ID") or ""))
    print("BYTES " + (part.get_payload(decode=True) or b"").hex())
print("DEFECTS " + str(defects))
print("END")
