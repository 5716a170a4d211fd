"""The host bindings under bindings/ against the real library.

The C# and the Python binding run the cases of cases.tsv through a capturing
SMTP server on loopback, and convert the text of shift_jis.tsv (the table the
tarnlet command's tests read too); the layouts of all four bindings are
compared with include/tarnlet.h, their lists of CR/LF-refusing fields with the
library's, the C# and Python words for the authentication kinds with the
command's.
A missing compiler or runtime fails the test: scripts/install-deps installs them.

usage: binding_cases_test.py LIBRARY [unittest arguments, e.g. CSharpBinding]
"""
import ctypes
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
import mail_peer  # noqa: E402
BINDINGS = os.path.join(ROOT, "bindings")
LIBRARY = os.path.abspath(sys.argv[1]) if __name__ == "__main__" else ""
LIST_FIELDS = ("Address", "Cc", "Bcc", "AppendFile")


def read(*parts):
    with open(os.path.join(ROOT, *parts), encoding="utf-8") as f:
        return f.read()


def header_layout():
    """[(field, offset)] in order and the record size, from tarnlet.h."""
    text = read("include", "tarnlet.h")
    offsets = re.findall(r"offsetof\(MailSettings, (\w+)\) == (\d+)", text)
    size = int(re.search(r"#define TARNLET_SETTINGS_SIZE (\d+)", text).group(1))
    return [(name, int(offset)) for name, offset in offsets], size


def widths_to_layout(fields):
    layout, offset = [], 0
    for name, width in fields:
        layout.append((name, offset))
        offset += width
    return layout, offset


def library_meanings():
    """{code: meaning} as "tarnlet codes" prints them, from the library's list."""
    outcomes = read("src", "frame", "outcomes.h").replace("\\\n", "\n")
    rows = re.findall(r'X\(\w+, (-?\d+),\s*((?:"[^"]*"\s*)+),', outcomes)
    return {int(code): "".join(re.findall(r'"([^"]*)"', text)) for code, text in rows}


def library_on_wire():
    """The fields the library refuses a CR or LF in, from its field list."""
    return set(re.findall(r"X\((\w+), \w+, AsWritten,", read("src", "frame", "settings_fields.h")))


def documented_example(language):
    """The one complete example of docs/hosts.md for language."""
    blocks = re.findall(r"```" + language + r"\n(.*?)```", read("docs", "hosts.md"), re.S)
    if len(blocks) != 1:
        raise AssertionError("hosts.md: %d %s examples, expected one" % (len(blocks), language))
    return blocks[0]


def compile_documented_example(test, language, file_name):
    """Writes the page's example for language into a fresh folder and
    compiles it with test.compile."""
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, file_name)
        with open(source, "w", encoding="utf-8") as f:
            f.write(documented_example(language))
        test.compile(folder, source)


def require(tool):
    path = shutil.which(tool)
    if path is None:
        raise AssertionError(tool + " not found: scripts/install-deps installs it")
    return path


# --- the shared cases ------------------------------------------------------

def unescape(text):
    table = {"r": "\r", "n": "\n", "e": "\x1b", "0": "\0"}
    return re.sub(r"\\(.)", lambda m: table.get(m.group(1), m.group(1)), text)


def load_cases():
    """[(name, [(field, count, value)], (verb, a, b))] in table order."""
    cases = {}
    with open(os.path.join(HERE, "cases.tsv"), encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            verb, name, a, b, c = line.split("\t")
            sets, expect = cases.setdefault(name, ([], []))
            if verb == "set":
                sets.append((a, int(b), unescape(c)))
            else:
                expect.append((verb, a, b, unescape(c)))
    return [(name, sets, expect[0]) for name, (sets, expect) in cases.items()]


def case_fields(sets, files):
    """{field: list of entries or text} after the set rows, over the base."""
    fields = {"Address": ["yamada@example.jp"]}
    touched = set()
    for field, count, value in sets:
        value = value.replace("{files}", files)
        pieces = [value.replace("{i}", "%02d" % i) for i in range(1, count + 1)]
        start = fields.get(field) if field in touched else None
        touched.add(field)
        if field in LIST_FIELDS:
            fields[field] = (start or []) + pieces
        else:
            fields[field] = (start or "") + "".join(pieces)
    return fields


class CapturingServer:
    """The tests' capturing server on a free loopback port."""

    def __enter__(self):
        self.folder = tempfile.mkdtemp()
        self.peer = mail_peer.MailPeer(many=True, inbox=self.folder)
        self.port = self.peer.port
        return self

    def __exit__(self, *_):
        self.peer.close()
        shutil.rmtree(self.folder)

    def messages(self):
        out = []
        for n in range(1, 1 + len([f for f in os.listdir(self.folder) if f.endswith(".eml")])):
            with open(os.path.join(self.folder, "%d.eml" % n), "rb") as f:
                raw = f.read()
            with open(os.path.join(self.folder, "%d.json" % n)) as f:
                out.append((raw, json.load(f)["rcpt_tos"]))
        return out


def attachment_folder(parent):
    """The {files} folder of cases.tsv, made under parent."""
    folder = os.path.join(parent, "files")
    os.mkdir(folder)
    for name in ("報告書.txt", "my report.txt"):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"the report\r\n")
    return folder


def load_sjis_table():
    """[(text, bytes or None for refused, why)] from shift_jis.tsv."""
    rows = []
    with open(os.path.join(HERE, "shift_jis.tsv"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            points, data, why = line.rstrip("\n").split("\t")
            text = "".join(chr(int(p, 16)) for p in points.split())
            rows.append((text, None if data == "-" else bytes.fromhex(data), why))
    return rows


def command_auth_words():
    """{word: kind} of the tarnlet command's --auth."""
    text = read("tools", "record_fields.h")
    return {w: int(k) for w, k in re.findall(r'\{"([a-z0-9-]+)", (\d+), "', text)}


def masked(raw):
    raw = re.sub(rb"^Date: [^\r\n]*", b"Date: {date}", raw, flags=re.M)
    return re.sub(rb"^Message-Id: <[^>\r\n]*>", b"Message-Id: {id}", raw, flags=re.M)


def check_cases(test, outcomes, captured, files):
    """outcomes: {case: tuple} from a binding; captured: the server's messages."""
    cases = load_cases()
    sent = iter(captured)
    for name, sets, (verb, a, b, c) in cases:
        with test.subTest(case=name):
            got = outcomes[name]
            if verb == "refused":
                test.assertEqual(got, ("refused", a, c, b))
            elif verb == "failed":
                test.assertEqual(got[:2], ("failed", b))
                test.assertTrue(any(c in line for line in got[2]), got)
            else:
                test.assertEqual(got, ("sent",))
                raw, recipients = next(sent)
                fields = case_fields(sets, files)
                test.assertEqual(recipients, sum((fields.get(f, []) for f in ("Address", "Cc", "Bcc")), []))
                if c != "-":
                    test.assertEqual(masked(raw), c.encode("latin-1"))
    # A refused case must not have reached the server at all.
    test.assertEqual(len(captured), sum(1 for *_, e in cases if e[0] == "sent"))


# --- Python -----------------------------------------------------------------

sys.path.insert(0, os.path.join(BINDINGS, "python"))
import tarnlet  # noqa: E402


def python_outcome(fields, port):
    keywords = {field: keyword for keyword, field in
                [(v, k) for k, v in tarnlet.KEYWORDS.items()]}
    args = {"server": "127.0.0.1", "port": port, "sender": "sender@example.jp",
            "hostname": "client.example.jp"}
    body = ""
    for field, value in fields.items():
        if field == "body":
            body = value
        elif field == "SMTPPortNo":
            args["port"] = int(value)
        elif field == "Kind":
            args["auth"] = value
        else:
            args[keywords[field]] = value
    try:
        tarnlet.send(body, check=True, **args)
        return ("sent",)
    except tarnlet.FieldError as e:
        return ("refused", e.field, e.reason, "-" if e.limit is None else str(e.limit))
    except tarnlet.TarnletError as e:
        return ("failed", str(e.code), e.log_lines)


class PythonBinding(unittest.TestCase):
    def test_cases(self):
        os.environ["TARNLET_LIBRARY"] = LIBRARY  # the way a host names its copy
        with tempfile.TemporaryDirectory() as folder, CapturingServer() as server:
            files = attachment_folder(folder)
            # The binding's temporary files and links go here, and must be gone.
            tempfile.tempdir = os.path.join(folder, "temp")
            os.mkdir(tempfile.tempdir)
            try:
                outcomes = {name: python_outcome(case_fields(sets, files), server.port)
                            for name, sets, _ in load_cases()}
                self.assertEqual(os.listdir(tempfile.tempdir), [])
            finally:
                tempfile.tempdir = None
            check_cases(self, outcomes, server.messages(), files)

    def test_converts_text_as_the_command_does(self):
        for text, data, why in load_sjis_table():
            with self.subTest(why=why):
                if data is not None:
                    self.assertEqual(tarnlet.to_sjis("Subject", text), data)
                else:
                    with self.assertRaises(tarnlet.FieldError) as caught:
                        tarnlet.to_sjis("Subject", text)
                    self.assertEqual(caught.exception.reason, "sjis")

    def test_auth_words_are_the_commands(self):
        self.assertEqual(tarnlet.AUTH_KINDS, command_auth_words())
        with self.assertRaises(ValueError):
            tarnlet.settings(server="s", sender="a@example.jp", to="b@example.jp", auth="plain")

    def test_layout_fields_and_meanings_match_the_library(self):
        layout, size = header_layout()
        self.assertEqual(ctypes.sizeof(tarnlet.MailSettings), size)
        self.assertEqual([(name, getattr(tarnlet.MailSettings, name).offset)
                          for name, _ in tarnlet.MailSettings._fields_], layout)
        self.assertEqual(set(tarnlet.ON_WIRE), library_on_wire())
        self.assertEqual(tarnlet.MEANINGS, library_meanings())

    def test_the_documented_example_uses_what_the_binding_has(self):
        example = documented_example("python")
        compile(example, "hosts.md", "exec")
        for name in set(re.findall(r"tarnlet\.(\w+)", example)):
            self.assertTrue(hasattr(tarnlet, name), name)

    def test_the_raw_record_calls_the_library(self):
        lib = tarnlet.Library(LIBRARY)
        record = tarnlet.MailSettings()
        record.SMTPServerAddress = b"127.0.0.1"
        # No recipient: the first check answers, without any network work.
        self.assertEqual(lib.tarnlet1(b"", record), -32)
        with tempfile.TemporaryDirectory() as folder:
            log = os.path.join(folder, "mail.log")
            record.Address = b"to@example.jp"
            record.Log = log.encode()
            self.assertEqual(lib.tarnlet1("本文".encode("cp932"), record), -30)
            with open(log, "rb") as f:
                self.assertEqual(f.read()[21:], "初期化ﾌｧｲﾙﾃﾞｰﾀ異常-001".encode("cp932") + b"\r\n")
            self.assertEqual(lib.tarnlet2(b"", os.path.join(folder, "none.ini").encode()), -32)


# --- C# ---------------------------------------------------------------------

class CSharpBinding(unittest.TestCase):
    def compile(self, folder, *sources):
        program = os.path.join(folder, "program.exe")
        result = subprocess.run([require("mcs"), "-warnaserror", "-out:" + program,
                                 os.path.join(BINDINGS, "csharp", "Tarnlet.cs")] + list(sources),
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return program

    def test_cases_layout_text_and_auth_words(self):
        mono = require("mono")
        with tempfile.TemporaryDirectory() as folder, CapturingServer() as server:
            files = attachment_folder(folder)
            program = self.compile(folder, os.path.join(HERE, "BindingCases.cs"))
            env = dict(os.environ, LD_LIBRARY_PATH=os.path.dirname(LIBRARY))
            result = subprocess.run([mono, program, os.path.join(HERE, "cases.tsv"),
                                     str(server.port), files, os.path.join(HERE, "shift_jis.tsv")],
                                    capture_output=True, env=env)
            self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
            rows = [line.split("\t") for line in result.stdout.decode("utf-8").splitlines()]
            layout, size = header_layout()
            self.assertEqual([r[1:] for r in rows if r[0] == "size"], [[str(size)]])
            self.assertEqual([(r[1], int(r[2])) for r in rows if r[0] == "offset"], layout)
            outcomes = {r[1]: tuple(r[2:4]) + ((r[4].split("\x1f"),) if r[2] == "failed" else tuple(r[4:]))
                        for r in rows if r[0] == "case"}
            check_cases(self, outcomes, server.messages(), files)
            converted = [r[1:] for r in rows if r[0] == "sjis"]
            table = load_sjis_table()
            self.assertEqual(len(converted), len(table))
            for (why, got), (_, data, _) in zip(converted, table):
                with self.subTest(why=why):
                    self.assertEqual(got, "-" if data is None else data.hex().upper())
            self.assertEqual({r[1]: int(r[2]) for r in rows if r[0] == "auth"},
                             command_auth_words())
            # TarnletException carries the meaning, as Python's TarnletError does.
            meanings = library_meanings()
            self.assertEqual({int(r[1]): r[2] for r in rows if r[0] == "meaning"}, meanings)
            failed = [r for r in rows if r[0] == "case" and r[2] == "failed"]
            self.assertTrue(failed)
            for r in failed:
                code = int(r[3])
                self.assertEqual(r[5:], [meanings[code], "Tarnlet result %d: %s" % (code, meanings[code])])

    def test_on_wire_fields_match_the_library(self):
        source = read("bindings", "csharp", "Tarnlet.cs")
        names = re.search(r"OnWire = \{(.*?)\};", source, re.S).group(1)
        self.assertEqual(set(re.findall(r'"(\w+)"', names)), library_on_wire())

    def test_the_documented_example_compiles(self):
        compile_documented_example(self, "csharp", "example.cs")


# --- VBA / VB6: cannot run here; its declarations are read -----------------

class VbaBinding(unittest.TestCase):
    source = read("bindings", "vba", "Tarnlet.bas")

    def test_lines_end_in_cr_lf_as_the_editor_imports_them(self):
        with open(os.path.join(ROOT, "bindings", "vba", "Tarnlet.bas"), "rb") as f:
            raw = f.read()
        self.assertEqual(raw.count(b"\n"), raw.count(b"\r\n"))

    def test_type_gives_the_header_layout(self):
        body = re.search(r"Public Type MailSettings\n(.*?)End Type", self.source, re.S).group(1)
        fields = []
        for line in body.splitlines():
            line = line.split("'")[0].strip()
            if not line:
                continue
            match = re.fullmatch(r"(\w+)(?:\(0 To (\d+)\))? As (Integer|Byte)", line)
            self.assertIsNotNone(match, line)
            name, last, kind = match.groups()
            self.assertEqual(kind == "Integer", last is None, line)
            fields.append((name, 2 if kind == "Integer" else int(last) + 1))
        self.assertEqual(widths_to_layout(fields), header_layout())

    def test_declares_per_build(self):
        declares = re.findall(r"Declare (PtrSafe )?Function Tarnlet([12]) Lib \"tarnlet.dll\" "
                              r"(?:Alias \"(\S+)\" )?\(ByRef body As Byte, "
                              r"(?:ByRef settings As MailSettings|ByVal iniPath As (?:Long|LongPtr))\)"
                              r" As Long", self.source)
        self.assertEqual(sorted(declares), sorted([
            ("PtrSafe ", "1", ""), ("PtrSafe ", "2", ""),                         # 64-bit Office
            ("PtrSafe ", "1", "_Tarnlet1@8"), ("PtrSafe ", "2", "_Tarnlet2@8"),   # 32-bit Office
            ("", "1", "_Tarnlet1@8"), ("", "2", "_Tarnlet2@8")]))                 # VB6

    def test_every_text_field_is_set_by_name_and_on_wire_fields_match(self):
        layout, _ = header_layout()
        texts = [n for n, _ in layout if n not in ("Startup", "Kind", "APOP", "SMTPPortNo", "POP3PortNo")]
        cases = re.findall(r'Case "(\w+)": PutText VarPtr\(s\.(\w+)\(0\)\), UBound\(s\.(\w+)\) \+ 1',
                           self.source)
        self.assertEqual(cases, [(n, n, n) for n in texts])
        on_wire = re.search(r'Const ON_WIRE As String = "\|(.*)\|"', self.source).group(1)
        self.assertEqual(set(on_wire.split("|")), library_on_wire())


# --- Delphi / Free Pascal --------------------------------------------------

class PascalBinding(unittest.TestCase):
    def compile(self, folder, source):
        result = subprocess.run(
            [require("fpc"), "-Mdelphi", "-Sew", "-vw", "-FE" + folder,
             "-Fu" + os.path.join(BINDINGS, "pascal"), "-Fl" + os.path.dirname(LIBRARY), source],
            capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_the_documented_example_compiles(self):
        compile_documented_example(self, "pascal", "SendReport.pas")

    def test_compiled_in_delphi_mode_layout_and_checks(self):
        with tempfile.TemporaryDirectory() as folder:
            self.compile(folder, os.path.join(HERE, "pascal_layout.pas"))
            env = dict(os.environ, LD_LIBRARY_PATH=os.path.dirname(LIBRARY))
            run = subprocess.run([os.path.join(folder, "pascal_layout"),
                                  os.path.join(HERE, "cases.tsv")], capture_output=True,
                                 env=env, text=True)
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        rows = [line.split() for line in run.stdout.splitlines()]
        layout, size = header_layout()
        self.assertEqual([r[1:] for r in rows if r[0] == "size"], [[str(size)]])
        self.assertEqual([(r[1], int(r[2])) for r in rows if r[0] == "offset"], layout)
        self.assertEqual([r[1:] for r in rows if r[0] == "check"], [
            ["empty_record", "-32"], ["subject_128_kanji", "Subject", "width", "255"],
            ["emoji", "Subject", "sjis"], ["mailer_crlf", "X_MailerName", "crlf"],
            ["subject_full", "fits"], ["wave_dash", "fits"],
            ["missing_attachment", "AppendFile", "unreadable"]])
        source = read("bindings", "pascal", "Tarnlet.pas")
        on_wire = re.search(r"OnWireFields = '\|(.*)\|'", source).group(1)
        self.assertEqual(set(on_wire.split("|")), library_on_wire())


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[2:])
