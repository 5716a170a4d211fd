"""Sends one mail message per call through the Tarnlet library (ctypes).

    import tarnlet
    code = tarnlet.send("山田様\\r\\n報告書を送ります。\\r\\n",
                        server="smtp.example.jp", sender="sender@example.jp",
                        to=["yamada@example.jp"], subject="月次報告")

Text is given as str and converted to Shift-JIS (code page 932) here, as the
tarnlet command converts it: a character that code page 932 cannot hold raises
FieldError, as does a value longer than its field or an attachment that cannot
be read, before anything is sent. auth= takes the command's words "none",
"login" (SMTP AUTH: CRAM-MD5, else PLAIN or LOGIN inside TLS; "cram-md5" is
the same) and "pop" (with apop=True for APOP). send() returns the library's
result code (0: sent); with check=True a failure raises TarnletError instead.

The library is found beside this file (or in its x86/x64 folder, by the
interpreter's bitness), then on the system's search path; the environment
variable TARNLET_LIBRARY, when set, names the file to load.
Hosts that fill the record themselves use MailSettings and Library directly.
"""
import atexit
import ctypes
import ctypes.util
import os
import shutil
import socket
import sys
import tempfile

__all__ = ["MailSettings", "Library", "FieldError", "TarnletError", "send", "settings",
           "load_library", "to_sjis", "MEANINGS", "AUTH_KINDS"]

RECORD_SIZE = 7946


class MailSettings(ctypes.Structure):
    """The settings record, byte for byte; text fields take Shift-JIS bytes."""
    _pack_ = 1
    _fields_ = [
        ("Startup", ctypes.c_int16),
        ("Kind", ctypes.c_int16),
        ("APOP", ctypes.c_int16),
        ("UserName", ctypes.c_char * 256),
        ("Password", ctypes.c_char * 256),
        ("SMTPPortNo", ctypes.c_uint16),
        ("POP3PortNo", ctypes.c_uint16),
        ("SMTPServerAddress", ctypes.c_char * 256),
        ("POP3ServerAddress", ctypes.c_char * 256),
        ("Address", ctypes.c_char * 1024),
        ("Cc", ctypes.c_char * 1024),
        ("Bcc", ctypes.c_char * 1024),
        ("Subject", ctypes.c_char * 256),
        ("sReply_To", ctypes.c_char * 1024),
        ("Boundary", ctypes.c_char * 256),
        ("X_MailerName", ctypes.c_char * 256),
        ("MyHostFQDNName", ctypes.c_char * 256),
        ("MyMailAddress", ctypes.c_char * 256),
        ("MyMailAddressComt", ctypes.c_char * 256),
        ("AppendFile", ctypes.c_char * 1024),
        ("Log", ctypes.c_char * 256),
    ]


assert ctypes.sizeof(MailSettings) == RECORD_SIZE

# Fields sent as written: a CR or LF in them would start a line of its own,
# so the library refuses them (-30); refusing here names the field.
ON_WIRE = frozenset(["UserName", "Password", "Address", "Cc", "Bcc", "sReply_To", "Boundary",
                     "X_MailerName", "MyHostFQDNName", "MyMailAddress", "AppendFile"])

# The keyword of settings() that fills each text field.
KEYWORDS = {"UserName": "user", "Password": "password", "SMTPServerAddress": "server",
            "POP3ServerAddress": "pop3_server", "Address": "to", "Cc": "cc", "Bcc": "bcc",
            "Subject": "subject", "sReply_To": "reply_to", "Boundary": "boundary",
            "X_MailerName": "x_mailer", "MyHostFQDNName": "hostname", "MyMailAddress": "sender",
            "MyMailAddressComt": "sender_name", "AppendFile": "attachments", "Log": "log"}

# The words of the tarnlet command's --auth and the Kind each stands for;
# "cram-md5" is the word of 1.0 for what "login" does.
AUTH_KINDS = {"none": 0, "login": 1, "cram-md5": 1, "pop": 2}

MEANINGS = {
    0: "message accepted by the server (250 after the end of data)",
    -1: "creating the SMTP socket failed",
    -2: "connecting to the SMTP server failed, or switching the socket to non-blocking mode",
    -3: "no 220 greeting from the SMTP server, or TLS on port 465 failed",
    -4: "a send failed (command, header, text, attachment data, end of data or AUTH line)",
    -5: "HELO or EHLO not answered with 250",
    -6: "MAIL FROM not answered with 250",
    -7: "a RCPT TO not answered with 250 (recipient refused)",
    -8: "DATA not answered with 354",
    -9: "the end of data not answered with 250 (message refused)",
    -11: "opening, positioning or reading an attachment file failed",
    -12: "POP before SMTP failed (on port 995 also: its TLS failed)",
    -13: "an authentication reply was not as expected (login refused, the EHLO reply on "
         "port 465 or 587 unusable, or STARTTLS failed)",
    -14: "the CRAM-MD5 challenge is not valid base64",
    -15: "SMTP server name: host not found",
    -16: "SMTP server name: temporary failure of the name service",
    -17: "SMTP server name: non-recoverable name service failure",
    -18: "SMTP server name: the name has no address record",
    -19: "SMTP server name: other lookup failure",
    -20: "POP3 server name: host not found",
    -21: "POP3 server name: temporary failure of the name service",
    -22: "POP3 server name: non-recoverable name service failure",
    -23: "POP3 server name: the name has no address record",
    -24: "POP3 server name: other lookup failure",
    -25: "no memory for the converted body text",
    -26: "no memory for the Subject, or encoding the Subject failed",
    -27: "starting the socket library failed",
    -29: "sending the Cc header line failed",
    -30: "the settings failed validation",
    -32: "no To and no Bcc recipient; or, on port 465 or 587, the server offers no login the "
         "library can use",
}


class FieldError(ValueError):
    """A value that cannot go into its field as given. reason is "width",
    "sjis", "crlf", "nul", "separator" or "unreadable" (an attachment); limit
    is the most bytes the field holds (for "width")."""

    def __init__(self, field, reason, message, limit=None):
        keyword = KEYWORDS.get(field)
        super().__init__("%s: %s" % ("%s (%s)" % (keyword, field) if keyword else field, message))
        self.field, self.reason, self.limit = field, reason, limit


class TarnletError(Exception):
    """A call the library answered with a negative result code."""

    def __init__(self, code, log_lines=()):
        self.code = code
        self.meaning = MEANINGS.get(code, "not a result code of this library")
        self.log_lines = list(log_lines)
        detail = "".join("\n  " + line for line in self.log_lines)
        super().__init__("Tarnlet result %d: %s%s" % (code, self.meaning, detail))


def _width(field):
    return getattr(MailSettings, field).size


def _unmappable(field, text, index):
    ch = text[index]
    return FieldError(field, "sjis", "%r (U+%04X) at position %d has no Shift-JIS (code page 932) "
                      "form" % (ch, ord(ch), index))


# Characters Unicode spells in two ways: the JIS-derived tables use the first,
# code page 932 the second, for the same code; both are sent as that code.
_JIS_SPELLINGS = {"\u301c": "\uff5e", "\u2016": "\u2225", "\u2212": "\uff0d",
                  "\u00a2": "\uffe0", "\u00a3": "\uffe1", "\u00ac": "\uffe2",
                  "\u2014": "\u2015"}
# What Python's codec decodes from bytes that hold no character of code page 932.
_NOT_CP932 = frozenset("\x80\uf8f0\uf8f1\uf8f2\uf8f3")
_known = {}
_ibm = {}


def _ibm_code(ch):
    """The IBM extension's code of ch, which Windows sends rather than the
    NEC-selected copy (lead byte 0xED or 0xEE) that Python's codec picks."""
    if not _ibm:
        for code in range(0xFA40, 0xFC4C):
            data = bytes([code >> 8, code & 0xFF])
            try:
                _ibm.setdefault(data.decode("cp932"), data)
            except UnicodeDecodeError:
                pass
    return _ibm[ch]


def _encode_char(ch):
    """ch in Shift-JIS as Windows and the tarnlet command write it, or None."""
    ch = _JIS_SPELLINGS.get(ch, ch)
    if ch in _NOT_CP932:
        return None
    try:
        data = ch.encode("cp932")
    except UnicodeEncodeError:
        return None
    # The codec maps a few characters one way only (U+00A5 to 0x5C); what does
    # not come back unchanged is refused.
    if data.decode("cp932") != ch:
        return None
    if len(data) == 2 and data[0] in (0xED, 0xEE):
        data = _ibm_code(ch)
    return data


def to_sjis(field, text):
    """text as Shift-JIS bytes, as the tarnlet command converts it; FieldError
    for a character code page 932 lacks or a NUL (which would end the value
    early)."""
    if not isinstance(text, str):
        raise TypeError("%s: expected str, got %s" % (field, type(text).__name__))
    if "\0" in text:
        raise FieldError(field, "nul", "a NUL character at position %d would end the value"
                         % text.index("\0"))
    if text.isascii():
        return text.encode("ascii")
    out = []
    for index, ch in enumerate(text):
        data = _known.get(ch)
        if data is None:
            data = _encode_char(ch)
            if data is None:
                raise _unmappable(field, text, index)
            _known[ch] = data
        out.append(data)
    return b"".join(out)


def put_text(record, field, text):
    """Stores text in a text field of record after checking it fits."""
    _put_bytes(record, field, to_sjis(field, text))


def _put_bytes(record, field, data):
    limit = _width(field) - 1
    if len(data) > limit:
        raise FieldError(field, "width", "%d bytes in Shift-JIS, at most %d fit"
                         % (len(data), limit), limit)
    if field in ON_WIRE and (b"\r" in data or b"\n" in data):
        raise FieldError(field, "crlf", "a CR or LF is not allowed here")
    setattr(record, field, data)


def _entries(field, entries, forbidden):
    if isinstance(entries, (str, os.PathLike)):
        entries = [entries]
    entries = [os.fspath(e) for e in entries]
    for e in entries:
        for ch in forbidden:
            if ch in e:
                raise FieldError(field, "separator", "%r: an entry cannot hold %r" % (e, ch))
    return entries


def _join(field, entries, forbidden):
    return ";".join(_entries(field, entries, forbidden))


class _Staging:
    """Links under the names the library should send, in fresh folders, as the
    tarnlet command makes them on Linux: the library opens the path's bytes
    as they are and names the file by the part after the last '/' read as
    Shift-JIS, so a file named in UTF-8 is linked under its Shift-JIS name.
    It also types a file by what follows the first '.' of the whole path, so
    a folder holding '.' is left out of the path the same way."""

    def __init__(self):
        self.folders = []

    def path(self, entry):
        folder, name = os.path.split(entry)
        if name.isascii() and not any(ch in folder for ch in ".;"):
            return os.fsencode(entry)
        sjis_name = to_sjis("AppendFile", name)
        base = tempfile.gettempdir()
        staging = tempfile.mkdtemp(prefix="tarnlet-", dir=base if "." not in base else "/tmp")
        self.folders.append(staging)
        link = os.fsencode(staging) + b"/" + sjis_name
        os.symlink(os.path.abspath(entry), link)
        return link

    def remove(self):
        for folder in self.folders:
            shutil.rmtree(folder, ignore_errors=True)
        self.folders = []


def _attachments(entries, staging):
    """The AppendFile bytes for entries; each file must be readable now."""
    paths = []
    for entry in _entries("AppendFile", entries, ""):
        folder, name = os.path.split(entry)
        # The library splits the list at ';' and drops the spaces around each
        # path; a folder with ';' is left out of a staged path.
        if ";" in name or (staging is None and ";" in folder):
            raise FieldError("AppendFile", "separator", "%r: an entry cannot hold ';'" % entry)
        if entry != entry.strip(" "):
            raise FieldError("AppendFile", "separator",
                             "%r: an entry cannot begin or end with a space" % entry)
        if not name:
            raise FieldError("AppendFile", "unreadable", "%r names no file" % entry)
        try:
            with open(entry, "rb"):
                pass
        except OSError as e:
            raise FieldError("AppendFile", "unreadable", "%r cannot be read: %s"
                             % (entry, e.strerror or e)) from None
        paths.append(to_sjis("AppendFile", entry) if staging is None else staging.path(entry))
    return b";".join(paths)


_leftover = _Staging()
atexit.register(_leftover.remove)


def settings(*, server, port=25, sender, to, cc=(), bcc=(), subject="", sender_name="",
             reply_to="", attachments=(), log="", hostname=None, x_mailer="", boundary="",
             auth="none", user="", password="", pop3_server=None, pop3_port=110, apop=False,
             startup=True, kind=None, _staging=None):
    """The record for one message, every field checked. Address fields take a
    list of addresses (or one str); attachments a list of paths, each of which
    must be readable. auth: "none", "login" (or "cram-md5") or "pop" (kind=
    takes the record's number instead)."""
    for name, value in (("port", port), ("pop3_port", pop3_port)):
        if not 0 <= value <= 65535:
            raise ValueError("%s: %r is not a port number" % (name, value))
    if kind is None:
        if auth not in AUTH_KINDS:
            raise ValueError("auth: %r is none of %s" % (auth, ", ".join(AUTH_KINDS)))
        kind = AUTH_KINDS[auth]
    record = MailSettings()
    record.Startup = 1 if startup else 0
    record.Kind = kind
    record.APOP = 1 if apop else 0
    record.SMTPPortNo = port
    record.POP3PortNo = pop3_port
    # The library splits lists at ';'; it drops every space of an address
    # list, and those around each path of the attachment list.
    texts = [
        ("UserName", user), ("Password", password), ("SMTPServerAddress", server),
        ("POP3ServerAddress", server if pop3_server is None else pop3_server),
        ("Address", _join("Address", to, ";")), ("Cc", _join("Cc", cc, ";")),
        ("Bcc", _join("Bcc", bcc, ";")), ("Subject", subject), ("sReply_To", reply_to),
        ("Boundary", boundary), ("X_MailerName", x_mailer),
        ("MyHostFQDNName", socket.gethostname() if hostname is None else hostname),
        ("MyMailAddress", sender), ("MyMailAddressComt", sender_name), ("Log", os.fspath(log)),
    ]
    for field, text in texts:
        put_text(record, field, text)
    if sys.platform == "win32":
        staging = None
    else:
        staging = _leftover if _staging is None else _staging
    _put_bytes(record, "AppendFile", _attachments(attachments, staging))
    return record


class Library:
    """The loaded library: tarnlet1(body_bytes, record) and
    tarnlet2(body_bytes, ini_path_bytes) return the result code."""

    def __init__(self, path=None):
        windows = sys.platform == "win32"
        if path is None:
            path = os.environ.get("TARNLET_LIBRARY") or self._default_path(windows)
        x86 = windows and ctypes.sizeof(ctypes.c_void_p) == 4
        if x86:  # stdcall, decorated names
            dll = ctypes.WinDLL(path)
            self._t1, self._t2 = getattr(dll, "_Tarnlet1@8"), getattr(dll, "_Tarnlet2@8")
        else:
            dll = ctypes.CDLL(path)
            self._t1, self._t2 = dll.Tarnlet1, dll.Tarnlet2
        self.path = path
        self._t1.argtypes = [ctypes.c_char_p, ctypes.POINTER(MailSettings)]
        self._t2.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self._t1.restype = self._t2.restype = ctypes.c_int32

    @staticmethod
    def _default_path(windows):
        """Beside this file, or in its x86/x64 folder as the Windows bundle
        has them; else the system's search."""
        here = os.path.dirname(os.path.abspath(__file__))
        name = "tarnlet.dll" if windows else "libtarnlet.so"
        bits = "x86" if ctypes.sizeof(ctypes.c_void_p) == 4 else "x64"
        for candidate in (os.path.join(here, name), os.path.join(here, bits, name)):
            if os.path.exists(candidate):
                return candidate
        return name if windows else (ctypes.util.find_library("tarnlet") or name)

    def tarnlet1(self, body, record):
        return self._t1(body, ctypes.byref(record))

    def tarnlet2(self, body, ini_path):
        return self._t2(body, ini_path)


_library = None


def load_library(path=None):
    """The library, loaded once (or from path, each time it is given)."""
    global _library
    if path is not None:
        return Library(path)
    if _library is None:
        _library = Library()
    return _library


def _log_size(path):
    try:
        return os.path.getsize(path)
    except OSError:
        return None


def _new_log_lines(path, start):
    try:
        with open(path, "rb") as f:
            f.seek(start or 0)
            data = f.read()
    except OSError:
        return []
    return [line for line in data.decode("cp932", "replace").splitlines() if line]


def send(body, *, check=False, library=None, **fields):
    """Sends one message; returns the result code (0: sent). Keywords as for
    settings(). check=True raises TarnletError, with the call's log lines,
    instead of returning a negative code; without a log the lines go to a
    temporary file for the call."""
    body_bytes = to_sjis("body", body)
    staging = _Staging()
    try:
        return _send(body_bytes, settings(_staging=staging, **fields), check, library, fields)
    finally:
        staging.remove()


def _send(body_bytes, record, check, library, fields):
    lib = library if isinstance(library, Library) else load_library(library)
    log, temporary = os.fspath(fields.get("log", "")), None
    if check and not log:
        handle, temporary = tempfile.mkstemp(suffix=".log")
        os.close(handle)
        try:
            put_text(record, "Log", temporary)
            log = temporary
        except FieldError:
            pass
    try:
        start = _log_size(log) if log else None
        code = lib.tarnlet1(body_bytes, record)
        if code != 0 and check:
            raise TarnletError(code, _new_log_lines(log, start) if log else ())
        return code
    finally:
        if temporary:
            os.remove(temporary)
