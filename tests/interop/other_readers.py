"""Mail readers other than Python's email, each reporting what a recipient
would see: Subject, sender, To, Cc and Bcc addresses, and every part with
its type, file name and decoded content.

    {"subject", "from_name", "from_addr", "to": [...], "cc": [...],
     "bcc": [...], "parts": [{"type", "name", "text" | "bytes"}]}
"""
import os
import subprocess

import gi

gi.require_version("GMime", "3.0")
from gi.repository import GMime  # noqa: E402

GMime.init()
_HERE = os.path.dirname(os.path.abspath(__file__))


def _addresses(address_list):
    if address_list is None:
        return []
    return [address_list.get_address(i).get_addr() for i in range(address_list.length())]


def read_with_gmime(raw):
    parser = GMime.Parser.new_with_stream(GMime.StreamMem.new_with_buffer(raw))
    message = parser.construct_message(None)
    sender = message.get_from().get_address(0)
    top = message.get_mime_part()
    parts = [top.get_part(i) for i in range(top.get_count())] \
        if isinstance(top, GMime.Multipart) else [top]
    out_parts = []
    for part in parts:
        entry = {"type": part.get_content_type().get_mime_type().lower(),
                 "name": part.get_filename()}
        disposition = part.get_disposition() or ""
        if isinstance(part, GMime.TextPart) and disposition.lower() != "attachment":
            entry["text"] = part.get_text()
        else:
            stream = GMime.StreamMem.new()
            part.get_content().write_to_stream(stream)
            entry["bytes"] = bytes(stream.get_byte_array())
        out_parts.append(entry)
    return {"subject": message.get_subject(), "from_name": sender.get_name(),
            "from_addr": sender.get_addr(), "to": _addresses(message.get_to()),
            "cc": _addresses(message.get_cc()), "bcc": _addresses(message.get_bcc()),
            "parts": out_parts}


def read_with_email_mime(raw):
    done = subprocess.run(["perl", os.path.join(_HERE, "read_email_mime.pl")], input=raw,
                          stdout=subprocess.PIPE, check=True)
    fields = {}
    parts = []
    for line in done.stdout.decode().splitlines():
        key, value = line.split("\t")
        data = bytes.fromhex(value)
        if key == "part_type":
            parts.append({"type": data.decode()})
        elif key == "part_name":
            parts[-1]["name"] = data.decode() or None
        elif key == "part_bytes":
            parts[-1]["bytes"] = data
        elif key == "part_text":
            parts[-1]["text"] = data.decode()
        elif key in ("to", "cc", "bcc"):
            fields[key] = [a for a in data.decode().split(",") if a]
        else:
            fields[key] = data.decode()
    fields["parts"] = parts
    return fields


READERS = {"GMime": read_with_gmime, "Email::MIME": read_with_email_mime}
