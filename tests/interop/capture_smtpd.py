"""An SMTP server that keeps the exact bytes of each message it accepts.

usage: capture_smtpd.py HOST PORT DIR
Message n goes to DIR/n.eml (content as received, dot-unstuffed) and its
envelope to DIR/n.json. Runs until it is terminated.
"""
import json
import os
import signal
import sys

from aiosmtpd.controller import Controller


class CaptureHandler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        with open(base + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        with open(base + ".json", "w") as f:
            json.dump({"mail_from": envelope.mail_from,
                       "rcpt_tos": envelope.rcpt_tos}, f)
        # The .eml appears last, complete: readers wait for it.
        os.rename(base + ".tmp", base + ".eml")
        return "250 OK"


def main():
    host, port, folder = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    controller = Controller(CaptureHandler(folder), hostname=host, port=port,
                            server_hostname="capture.interop.test",
                            data_size_limit=64 * 1024 * 1024)
    controller.start()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print("ready", flush=True)
    try:
        signal.pause()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
