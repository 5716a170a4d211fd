"""The host declarations of docs/hosts.md against the real record.

The offsets come from include/tarnlet.h (its static assertions), not from the
page: the Python declaration is executed and its layout compared, then used to
call the real library; the C# and VBA declarations are parsed and their field
widths summed; the C example is compiled and linked against the library.

Usage: host_declarations_test.py DOCS/hosts.md LIBRARY [C_COMPILER]
"""
import ctypes
import os
import re
import subprocess
import sys
import tempfile
import unittest

HOSTS_MD = os.path.abspath(sys.argv[1])
LIBRARY = os.path.abspath(sys.argv[2])
C_COMPILER = sys.argv[3] if len(sys.argv) > 3 else "cc"
ROOT = os.path.dirname(os.path.dirname(HOSTS_MD))
HEADER = os.path.join(ROOT, "include", "tarnlet.h")


def read(path, mode="r"):
    with open(path, mode, **({} if "b" in mode else {"encoding": "utf-8"})) as f:
        return f.read()


def header_layout():
    """(field, offset) pairs in order, and the record size, from tarnlet.h."""
    text = read(HEADER)
    offsets = re.findall(r"offsetof\(MailSettings, (\w+)\) == (\d+)", text)
    size = int(re.search(r"#define TARNLET_SETTINGS_SIZE (\d+)", text).group(1))
    return [(name, int(offset)) for name, offset in offsets], size


def code_blocks(language):
    text = read(HOSTS_MD)
    return re.findall(r"```" + language + r"\n(.*?)```", text, re.S)


def widths_to_layout(fields):
    """[(name, width)] -> [(name, offset)], total size."""
    layout, offset = [], 0
    for name, width in fields:
        layout.append((name, offset))
        offset += width
    return layout, offset


class PythonDeclaration(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        blocks = [b for b in code_blocks("python") if "class MailSettings" in b]
        assert len(blocks) == 1, "one Python declaration block"
        cls.names = {}
        exec(compile(blocks[0], "hosts.md (Python declaration)", "exec"), cls.names)
        cls.MailSettings = cls.names["MailSettings"]

    def test_size_and_every_offset_match_the_header(self):
        layout, size = header_layout()
        self.assertEqual(len(layout), 21)
        self.assertEqual(ctypes.sizeof(self.MailSettings), size)
        self.assertEqual(size, 7946)
        declared = [name for name, _ in self.MailSettings._fields_]
        self.assertEqual(declared, [name for name, _ in layout])
        for name, offset in layout:
            self.assertEqual(getattr(self.MailSettings, name).offset, offset, name)

    def test_the_declared_functions_call_the_library(self):
        tarnlet1, tarnlet2 = self.names["load_tarnlet"](LIBRARY)
        settings = self.MailSettings()
        settings.Startup = 1
        settings.SMTPServerAddress = b"127.0.0.1"
        # No recipient: the first check answers, without any network work.
        self.assertEqual(tarnlet1(b"", ctypes.byref(settings)), -32)
        with tempfile.TemporaryDirectory() as folder:
            log = os.path.join(folder, "mail.log").encode()
            settings.Address = b"to@example.jp"
            settings.Log = log
            # Validation: POP3ServerAddress, MyHostFQDNName, MyMailAddress empty.
            self.assertEqual(tarnlet1("本文".encode("cp932"), ctypes.byref(settings)), -30)
            self.assertEqual(read(log, "rb")[21:],
                             "初期化ﾌｧｲﾙﾃﾞｰﾀ異常-001".encode("cp932") + b"\r\n")
            missing = os.path.join(folder, "none.ini").encode()
            self.assertEqual(tarnlet2(b"", missing), -32)

    def test_the_usage_block_compiles(self):
        usage = [b for b in code_blocks("python") if "load_tarnlet()" in b]
        self.assertEqual(len(usage), 1)
        compile(usage[0], "hosts.md (Python usage)", "exec")


class CSharpDeclaration(unittest.TestCase):
    def test_field_widths_give_the_header_layout(self):
        block = [b for b in code_blocks("csharp") if "public struct MailSettings" in b][0]
        self.assertIn("[StructLayout(LayoutKind.Sequential, Pack = 1, CharSet = CharSet.Ansi)]",
                      block)
        body = block.split("public struct MailSettings", 1)[1].split("}", 1)[0]
        fields = []
        for line in body.splitlines():
            line = line.split("//")[0].strip()
            if not line or line == "{":
                continue
            match = re.fullmatch(r"(?:\[MarshalAs\(UnmanagedType\.(\w+), SizeConst = (\d+)\)\] )?"
                                 r"public (\w+(?:\[\])?) (\w+);", line)
            self.assertIsNotNone(match, line)
            marshal, size, kind, name = match.groups()
            if kind in ("short", "ushort"):
                self.assertIsNone(marshal, name)
                fields.append((name, 2))
            else:
                self.assertIn(marshal, ("ByValTStr", "ByValArray"), name)
                fields.append((name, int(size)))
        layout, size = widths_to_layout(fields)
        self.assertEqual((layout, size), header_layout())
        ports = re.findall(r"public ushort (\w+);", body)
        self.assertEqual(ports, ["SMTPPortNo", "POP3PortNo"])

    def test_entry_points_per_build(self):
        block = [b for b in code_blocks("csharp") if "DllImport" in b][0]
        x86 = re.findall(r'EntryPoint = "(_Tarnlet[12]@8)", CallingConvention = '
                         r'CallingConvention\.StdCall', block)
        x64 = re.findall(r'EntryPoint = "(Tarnlet[12])"', block)
        self.assertEqual(x86, ["_Tarnlet1@8", "_Tarnlet2@8"])
        self.assertEqual(x64, ["Tarnlet1", "Tarnlet2"])


class VbDeclaration(unittest.TestCase):
    def test_type_widths_give_the_header_layout(self):
        block = [b for b in code_blocks("vb") if "Public Type MailSettings" in b][0]
        body = block.split("Public Type MailSettings", 1)[1].split("End Type", 1)[0]
        fields = []
        for line in body.splitlines():
            line = line.split("'")[0].strip()
            if not line:
                continue
            match = re.fullmatch(r"(\w+) As (Integer|String \* (\d+))", line)
            self.assertIsNotNone(match, line)
            name, kind, size = match.groups()
            fields.append((name, 2 if kind == "Integer" else int(size)))
        layout, size = widths_to_layout(fields)
        self.assertEqual((layout, size), header_layout())
        # VB aligns an Integer to 2 bytes: every one must already sit there.
        for name, offset in layout:
            if dict(fields)[name] == 2:
                self.assertEqual(offset % 2, 0, name)

    def test_declares_per_build(self):
        block = [b for b in code_blocks("vb") if "Declare" in b][0]
        aliases = re.findall(r'Alias "(_Tarnlet[12]@8)"', block)
        self.assertEqual(aliases, ["_Tarnlet1@8", "_Tarnlet2@8"] * 2)
        self.assertEqual(len(re.findall(r"Declare PtrSafe Function Tarnlet[12] Lib "
                                        r'"tarnlet.dll" \(', block)), 2)


class CExample(unittest.TestCase):
    def test_compiles_and_links_against_the_library(self):
        block = [b for b in code_blocks("c") if "int main(" in b][0]
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(folder, "send.c")
            with open(source, "w", encoding="utf-8") as f:
                f.write(block)
            result = subprocess.run(
                [C_COMPILER, "-std=c11", "-Wall", "-Wextra", "-Werror", source,
                 "-I", os.path.join(ROOT, "include"), LIBRARY, "-o",
                 os.path.join(folder, "send")],
                capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stderr)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
