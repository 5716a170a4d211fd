#!/usr/bin/env python3
"""A DNS server on 127.0.0.1:53 that answers every query "no such name".

Used inside the test namespace so that a lookup of an unknown host takes the
real resolver path without any packet leaving the machine.
"""
import socket
import struct
import sys


def answer(query: bytes) -> bytes:
    if len(query) < 12:
        return b""
    ident, flags = struct.unpack("!HH", query[:4])
    qdcount = struct.unpack("!H", query[4:6])[0]
    # Copy the question section, if any, so the resolver accepts the reply.
    pos = 12
    if qdcount:
        while pos < len(query) and query[pos] != 0:
            pos += query[pos] + 1
        pos += 5  # terminating zero, type, class
    question = query[12:pos] if qdcount else b""
    rd = flags & 0x0100
    reply_flags = 0x8000 | rd | 0x0080 | 3  # response, RA, NXDOMAIN
    return struct.pack("!HHHHHH", ident, reply_flags, 1 if qdcount else 0, 0, 0, 0) + question


def main() -> None:
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 53))
    sys.stdout.write("ready\n")
    sys.stdout.flush()
    while True:
        data, peer = sock.recvfrom(4096)
        reply = answer(data)
        if reply:
            sock.sendto(reply, peer)


if __name__ == "__main__":
    main()
