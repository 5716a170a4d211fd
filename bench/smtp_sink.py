"""An SMTP server on loopback that accepts any message of any size.

  smtp_sink.py PORT [CAPTURE_FILE]

Prints "ready" once it listens. With CAPTURE_FILE, the bytes of each message
as received (dot-unstuffed, CR LF lines) replace that file, so the other
clients can send exactly what the library sent.
"""
import asyncio
import sys

from aiosmtpd.smtp import SMTP


class Sink:
    def __init__(self, capture):
        self.capture = capture

    async def handle_DATA(self, server, session, envelope):
        if self.capture:
            with open(self.capture, "wb") as f:
                f.write(envelope.original_content)
        return "250 OK"


async def main():
    port = int(sys.argv[1])
    capture = sys.argv[2] if len(sys.argv) > 2 else None
    handler = Sink(capture)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(handler, data_size_limit=None, hostname="sink.test",
                     enable_SMTPUTF8=False, decode_data=False),
        "127.0.0.1", port)
    print("ready", flush=True)
    async with server:
        await server.serve_forever()


asyncio.run(main())
