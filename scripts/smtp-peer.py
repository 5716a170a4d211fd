#!/usr/bin/env python3
"""A scripted SMTP server on loopback for the release checks.

    smtp-peer.py PORT_FILE INBOX

Listens on 127.0.0.1 on a port the system picks, writes that port to
PORT_FILE, accepts every command of a plain SMTP session and stores each
message as INBOX/message-N.eml (the DATA section with the dot-stuffing
undone) and INBOX/message-N.envelope. Runs until killed.
"""
import os
import socketserver
import sys
import threading

port_file, inbox = sys.argv[1], sys.argv[2]
counter = iter(range(1, 1 << 30))
counter_lock = threading.Lock()


class Session(socketserver.StreamRequestHandler):
    def reply(self, line):
        self.wfile.write(line.encode() + b"\r\n")
        self.wfile.flush()

    def handle(self):
        envelope = []
        self.reply("220 peer.test ESMTP ready")
        while True:
            line = self.rfile.readline()
            if not line:
                return
            command = line.decode("ascii", "replace").strip().upper()
            if command.startswith(("HELO", "EHLO")):
                self.reply("250 peer.test")
            elif command.startswith(("MAIL", "RCPT")):
                envelope.append(line.decode("ascii", "replace").strip())
                self.reply("250 OK")
            elif command == "DATA":
                self.reply("354 end with <CRLF>.<CRLF>")
                lines = []
                while True:
                    data = self.rfile.readline()
                    if not data or data == b".\r\n":
                        break
                    lines.append(data[1:] if data.startswith(b".") else data)
                with counter_lock:
                    number = next(counter)
                base = os.path.join(inbox, "message-%d" % number)
                with open(base + ".envelope", "w") as f:
                    f.write("\n".join(envelope) + "\n")
                with open(base + ".eml", "wb") as f:
                    f.write(b"".join(lines))
                envelope = []
                self.reply("250 stored as message %d" % number)
            elif command == "QUIT":
                self.reply("221 bye")
                return
            else:
                self.reply("250 OK")


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


with Server(("127.0.0.1", 0), Session) as server:
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever()
