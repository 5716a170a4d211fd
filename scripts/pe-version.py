#!/usr/bin/env python3
"""Prints the version resource of a Windows executable or DLL.

    pe-version.py FILE

One line per value: "FixedFileVersion a.b.c.d", "FixedProductVersion ...",
then "Key=Value" for every string of the StringFileInfo block. Exits 1 when
the file has no version resource.
"""
import struct
import sys


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


def resource_data(pe):
    """The bytes of the first RT_VERSION resource, or None."""
    header = u32(pe, 0x3C)
    if pe[header:header + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections, optional_size = u16(pe, header + 6), u16(pe, header + 20)
    optional = header + 24
    directories = optional + (96 if u16(pe, optional) == 0x10B else 112)
    resource_rva = u32(pe, directories + 2 * 8)
    table = optional + optional_size
    spans = []
    for i in range(sections):
        at = table + 40 * i
        size, rva, _, raw = struct.unpack_from("<IIII", pe, at + 8)
        spans.append((rva, max(size, u32(pe, at + 16)), raw))

    def offset(rva):
        for start, size, raw in spans:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("address outside every section")

    base = offset(resource_rva)

    def entries(directory):
        named, numbered = u16(pe, directory + 12), u16(pe, directory + 14)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", pe, directory + 16 + 8 * i)
            yield name, target

    for name, target in entries(base):
        if name == 16 and target & 0x80000000:  # RT_VERSION
            level = base + (target & 0x7FFFFFFF)
            while True:
                _, target = next(entries(level))
                if not target & 0x80000000:
                    break
                level = base + (target & 0x7FFFFFFF)
            rva, size = struct.unpack_from("<II", pe, base + target)
            return pe[offset(rva):offset(rva) + size]
    return None


def node(data, at):
    """(end, key, value bytes, children start, type) of one version block."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    key_end = data.index(b"\0\0", at + 6)
    while (key_end - at) % 2:
        key_end = data.index(b"\0\0", key_end + 1)
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if kind == 1 else value_length
    children = (value_at + value_size + 3) & ~3
    return at + length, key, data[value_at:value_at + value_size], children


def main():
    data = resource_data(open(sys.argv[1], "rb").read())
    if data is None:
        print("no version resource", file=sys.stderr)
        return 1
    end, key, fixed, children = node(data, 0)
    assert key == "VS_VERSION_INFO", key
    signature, _, fms, fls, pms, pls = struct.unpack_from("<IIIIII", fixed)
    assert signature == 0xFEEF04BD
    print("FixedFileVersion %d.%d.%d.%d" % (fms >> 16, fms & 0xFFFF, fls >> 16, fls & 0xFFFF))
    print("FixedProductVersion %d.%d.%d.%d" % (pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF))
    at = children
    while at < end:
        block_end, key, _, inner = node(data, at)
        if key == "StringFileInfo":
            while inner < block_end:
                table_end, _, _, string = node(data, inner)
                while string < table_end:
                    string_end, name, value, _ = node(data, string)
                    print("%s=%s" % (name, value.decode("utf-16-le").rstrip("\0")))
                    string = (string_end + 3) & ~3
                inner = (table_end + 3) & ~3
        at = (block_end + 3) & ~3
    return 0


if __name__ == "__main__":
    sys.exit(main())
