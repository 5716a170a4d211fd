"""Sends a pre-encoded message with Python's smtplib: the reference a
script writer would pick.  smtplib_send.py PORT FROM MESSAGE_FILE RCPT..."""
import smtplib
import sys

port, sender, path, recipients = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4:]
with open(path, "rb") as f:
    message = f.read()
with smtplib.SMTP("127.0.0.1", port, local_hostname="bench.test") as smtp:
    smtp.sendmail(sender, recipients, message)
