"""Shared pieces of the interoperability tests: the settings record, INI
files, log comparison, mailbox readers and the check of a delivered message.

The environment names the servers' state folder (INTEROP_STATE), a scratch
folder (INTEROP_WORK) and the builds (INTEROP_LINUX_SO, INTEROP_WIN_HOST,
INTEROP_DLL); scripts/interop sets them.
"""
import email
import email.policy
import email.utils
import glob
import json
import os
import random
import re
import socket
import struct
import subprocess
import time
import unicodedata

STATE = os.environ.get("INTEROP_STATE", "")
WORK = os.environ.get("INTEROP_WORK", "")
DOMAIN = "interop.test"
USER = "tester"
PASSWORD = "Tarn-pw1"
SMTP_PORT = 2525
SUBMISSION_PORT = 587
POP3_PORT = 1110
CAPTURE_PORT = 2526
RELAY_PORT = 2527  # after start_relay()
CLOSED_PORT = 2599  # nothing listens here
# The TLS servers: names scripts/interop maps to 127.0.0.2 and 127.0.0.3.
TLS_HOST = "tls." + DOMAIN
LOGIN_ONLY_HOST = "login." + DOMAIN
SMTPS_PORT = 465
POP3S_PORT = 995

RECORD_SIZE = 7946
# (offset, width) of each text field; the numbers are the binary interface.
TEXT_FIELDS = {
    "UserName": (6, 256), "Password": (262, 256),
    "SMTPServerAddress": (522, 256), "POP3ServerAddress": (778, 256),
    "Address": (1034, 1024), "Cc": (2058, 1024), "Bcc": (3082, 1024),
    "Subject": (4106, 256), "sReply_To": (4362, 1024), "Boundary": (5386, 256),
    "X_MailerName": (5642, 256), "MyHostFQDNName": (5898, 256),
    "MyMailAddress": (6154, 256), "MyMailAddressComt": (6410, 256),
    "AppendFile": (6666, 1024), "Log": (7690, 256),
}
INT16_FIELDS = {"Startup": (0, "<h"), "Kind": (2, "<h"), "APOP": (4, "<h"),
                "SMTPPortNo": (518, "<H"), "POP3PortNo": (520, "<H")}
INI_SECTIONS = [
    ("INIT", ["Startup"]),
    ("AUTH", ["Kind", "APOP", "UserName", "Password", "SMTPPortNo", "POP3PortNo",
              "SMTPServerAddress", "POP3ServerAddress"]),
    ("SEND", ["Address", "Cc", "Bcc", "Subject", "sReply_To"]),
    ("ETC", ["Boundary", "X_MailerName", "MyHostFQDNName", "MyMailAddress",
             "MyMailAddressComt"]),
    ("FILE", ["AppendFile", "Log"]),
]


def sjis(text):
    return text.encode("cp932")


def base_settings(**overrides):
    """Settings as text (UTF-8 str) and numbers; overrides win."""
    s = {
        "Startup": 1, "Kind": 0, "APOP": 0, "UserName": USER, "Password": PASSWORD,
        "SMTPPortNo": SMTP_PORT, "POP3PortNo": POP3_PORT,
        "SMTPServerAddress": "127.0.0.1", "POP3ServerAddress": "127.0.0.1",
        "Address": "alice@" + DOMAIN, "Cc": "", "Bcc": "", "Subject": "interop",
        "sReply_To": "", "Boundary": "interop", "X_MailerName": "tarnlet-interop",
        "MyHostFQDNName": "client." + DOMAIN, "MyMailAddress": "sender@" + DOMAIN,
        "MyMailAddressComt": "", "AppendFile": "", "Log": "",
    }
    s.update(overrides)
    return s


def make_record(settings):
    record = bytearray(RECORD_SIZE)
    for name, (offset, fmt) in INT16_FIELDS.items():
        struct.pack_into(fmt, record, offset, settings[name])
    for name, (offset, width) in TEXT_FIELDS.items():
        value = sjis(settings[name])
        assert len(value) < width, name
        record[offset:offset + len(value)] = value
    return bytes(record)


def make_ini(settings):
    lines = []
    for section, keys in INI_SECTIONS:
        lines.append(b"[" + section.encode() + b"]")
        for key in keys:
            lines.append(key.encode() + b"=" + sjis(str(settings[key])))
    return b"\r\n".join(lines) + b"\r\n"


# --- the log file ---------------------------------------------------------

_TIMESTAMP = re.compile(rb"^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d  ", re.M)


def read_log(path):
    """The log's bytes with each line's timestamp replaced by 'TS  ';
    None when there is no file."""
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return _TIMESTAMP.sub(b"TS  ", f.read())


def log_lines(*messages):
    """The stored form of the given messages: every LF, the added one
    included, becomes CR LF."""
    out = b""
    for m in messages:
        data = m if isinstance(m, bytes) else sjis(m)
        out += b"TS  " + (data + b"\n").replace(b"\n", b"\r\n")
    return out


# --- the message and what must arrive ------------------------------------

SUBJECT = "相互接続試験：日本語の件名と漢字"
COMMENT = "送信担当 山田太郎"
BODY_LINES = [
    "相互接続の試験です。ひらがな、カタカナ、漢字を混ぜた本文。",
    "半角カナ：ｶﾞｲﾄﾞ ﾊﾟｽﾎﾟｰﾄ ｱｲｳｴｵ ﾃﾞｰﾀ",
    "ASCII line: The quick brown fox jumps over the lazy dog. 0123456789",
    ".この行はドットで始まる",
    ".",
    "..two dots",
    "最後の行です。",
]
BODY = "\r\n".join(BODY_LINES) + "\r\n"
MEMO = "添付のテキストです。\r\nsecond line\r\n"
BIG_SIZE = 5 * 1024 * 1024
TO = "alice@" + DOMAIN
CC = "bob@" + DOMAIN + ";carol@" + DOMAIN
BCC = "dave@" + DOMAIN + ";erin@" + DOMAIN
ALL_RECIPIENTS = ["alice", "bob", "carol", "dave", "erin"]

_HALF_KANA = re.compile("[\uff61-\uff9f]+")


def widened(text):
    """What the receiver reads back: half-width katakana in full width."""
    return _HALF_KANA.sub(lambda m: unicodedata.normalize("NFKC", m.group()), text)


def attachment_files(folder):
    """Writes the two attachments once; returns their paths and contents."""
    memo_path = os.path.join(folder, "memo.txt")
    big_path = os.path.join(folder, "data.bin")
    memo = sjis(MEMO)
    big = random.Random(20261207).randbytes(BIG_SIZE)
    if not os.path.exists(big_path):
        with open(memo_path, "wb") as f:
            f.write(memo)
        with open(big_path, "wb") as f:
            f.write(big)
    return [(memo_path, "memo.txt", memo), (big_path, "data.bin", big)]


# The type comes from everything after the first '.' of the whole path, so
# the scratch folder's path must hold no other dot.
ATTACHMENT_TYPES = {"memo.txt": "text/plain", "data.bin": "application/octet-stream",
                    "添付メモ.txt": "text/plain"}


def japanese_attachment(folder):
    """A file whose name is outside ASCII, named by its Shift-JIS bytes as the
    library opens it; returns its path (text), name and content."""
    name = "添付メモ.txt"
    content = sjis(MEMO)
    with open(os.fsencode(folder) + b"/" + sjis(name), "wb") as f:
        f.write(content)
    return (os.path.join(folder, name), name, content)


def addresses(text):
    """The addresses of a ';'-separated list, as the library scans it."""
    return [a.replace(" ", "") for a in text.split(";") if a.strip()]


def check_message(test, raw, attachments, to=TO, cc=CC, windows_names=False,
                  subject=SUBJECT, comment=COMMENT, body=BODY):
    """Parses what a server stored with Python's email (default and compat32
    policies) and the other readers, and checks each against the originals."""
    raw_headers = email.message_from_bytes(raw, policy=email.policy.compat32)
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    test.assertEqual(str(msg["Subject"]), widened(subject))
    sender = msg["From"].addresses[0]
    test.assertEqual(sender.display_name, widened(comment))
    test.assertEqual(sender.addr_spec, "sender@" + DOMAIN)
    for field, expected in (("To", to), ("Cc", cc)):
        if not expected:
            test.assertIsNone(raw_headers[field])
            continue
        test.assertEqual([a.addr_spec for a in msg[field].addresses], addresses(expected))
        test.assertEqual([a for _, a in email.utils.getaddresses([raw_headers[field]])],
                         addresses(expected))
    test.assertIsNone(raw_headers["Bcc"])
    parts = list(msg.iter_parts())
    test.assertEqual(len(parts), 1 + len(attachments))
    text = parts[0]
    test.assertEqual(text.get_content_type(), "text/plain")
    test.assertEqual(text.get_content_charset(), "iso-2022-jp")
    decoded = text.get_payload(decode=True).decode("iso-2022-jp")
    test.assertEqual(decoded.replace("\r\n", "\n"), widened(body).replace("\r\n", "\n"))
    compat_parts = raw_headers.get_payload()
    test.assertEqual(len(compat_parts), 1 + len(attachments))
    for part, compat, (_, name, content) in zip(parts[1:], compat_parts[1:], attachments):
        for filename in (part.get_filename(), compat.get_filename()):
            if isinstance(filename, tuple):  # compat32 leaves RFC 2231 values undecoded
                filename = email.utils.collapse_rfc2231_value(filename)
            check_file_name(test, filename, name, windows_names)
        test.assertEqual(part.get_content_type(), ATTACHMENT_TYPES[name])
        test.assertEqual(part.get_payload(decode=True), content, name)
        test.assertEqual(compat.get_payload(decode=True), content, name)
    check_with_other_readers(test, raw, attachments, to, cc, windows_names, subject, comment,
                             body)


def check_file_name(test, filename, name, windows_names):
    if windows_names:
        test.assertEqual(filename, name)
    else:
        test.assertTrue(filename.endswith(name), filename)


def check_with_other_readers(test, raw, attachments, to, cc, windows_names, subject, comment,
                             body):
    import other_readers
    for reader, read in other_readers.READERS.items():
        with test.subTest(reader=reader):
            seen = read(raw)
            test.assertEqual(seen["subject"], widened(subject))
            test.assertEqual(seen["from_name"], widened(comment))
            test.assertEqual(seen["from_addr"], "sender@" + DOMAIN)
            test.assertEqual(seen["to"], addresses(to))
            test.assertEqual(seen["cc"], addresses(cc))
            test.assertEqual(seen["bcc"], [])
            test.assertEqual(len(seen["parts"]), 1 + len(attachments))
            test.assertEqual(seen["parts"][0]["type"], "text/plain")
            test.assertEqual(seen["parts"][0]["text"].replace("\r\n", "\n"),
                             widened(body).replace("\r\n", "\n"))
            for part, (_, name, content) in zip(seen["parts"][1:], attachments):
                check_file_name(test, part["name"], name, windows_names)
                test.assertEqual(part["type"], ATTACHMENT_TYPES[name].lower())
                test.assertEqual(part["bytes"], content, name)


# --- mailboxes ------------------------------------------------------------

def maildir_files(name):
    return set(glob.glob(os.path.join(STATE, "mail", DOMAIN, name, "new", "*")))


def snapshot(names):
    return {n: maildir_files(n) for n in names}


def wait_for_new_mail(test, before, timeout=30.0):
    """Waits until each mailbox in before holds exactly one new message;
    returns {name: bytes}."""
    deadline = time.monotonic() + timeout
    while True:
        fresh = {n: maildir_files(n) - old for n, old in before.items()}
        if all(len(f) >= 1 for f in fresh.values()) or time.monotonic() > deadline:
            break
        time.sleep(0.1)
    out = {}
    for n, files in fresh.items():
        test.assertEqual(len(files), 1, "new messages for " + n)
        with open(files.pop(), "rb") as f:
            out[n] = f.read()
    return out


def start_relay():
    """Starts the relay of scripts/mail-servers once; it hands what it queues
    to the submission port, logging in as a smart host's customer would."""
    try:
        socket.create_connection(("127.0.0.1", RELAY_PORT), timeout=1).close()
        return
    except OSError:
        pass
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                          "mail-servers")
    subprocess.run([script, "relay", STATE], check=True)


def log_size(name):
    return os.path.getsize(os.path.join(STATE, name))


def log_since(name, offset, timeout=10.0, wait_for=b""):
    """What a server wrote to its log (DIR/name) after offset; waits until
    it holds wait_for (the logs are written apart from delivery)."""
    deadline = time.monotonic() + timeout
    while True:
        with open(os.path.join(STATE, name), "rb") as f:
            f.seek(offset)
            text = f.read()
        if wait_for in text or time.monotonic() > deadline:
            return text
        time.sleep(0.1)


def check_tls_delivery(test, raw, mechanism, postfix_log, dovecot_log, pop3s):
    """The message came in TLS, logged in with mechanism (None: without
    login), after a POP3S login when pop3s is set."""
    header = re.split(rb"\r?\n\r?\n", raw, maxsplit=1)[0]
    test.assertIn(b"(using TLSv1.", header)
    logged = log_since("postfix.log", postfix_log, wait_for=b"sasl_method=" if mechanism else b"")
    if mechanism:
        test.assertIn(b" with ESMTPSA id ", header)
        test.assertIn(b"sasl_method=" + mechanism.encode() + b",", logged)
    else:
        test.assertNotIn(b"ESMTPSA", header)
        test.assertNotIn(b"sasl_method=", logged)
    logins = [line for line in log_since("dovecot.log", dovecot_log, wait_for=b"Login:"
                                         if pop3s else b"").splitlines() if b"Login:" in line]
    if pop3s:
        test.assertEqual(len(logins), 1, logins)
        test.assertIn(b"lip=127.0.0.2", logins[0])
        test.assertIn(b", TLS", logins[0])
    else:
        test.assertEqual(logins, [])


def capture_count():
    return len(glob.glob(os.path.join(STATE, "capture", "*.eml")))


def wait_for_capture(number, timeout=30.0):
    """Waits until message number has arrived (a relay passes it on later)."""
    deadline = time.monotonic() + timeout
    path = os.path.join(STATE, "capture", "%d.eml" % number)
    while not os.path.exists(path) and time.monotonic() < deadline:
        time.sleep(0.1)
    return read_capture(number)


def read_capture(number):
    base = os.path.join(STATE, "capture", str(number))
    with open(base + ".eml", "rb") as f:
        raw = f.read()
    with open(base + ".json") as f:
        envelope = json.load(f)
    return raw, envelope


# --- OAuth 2.0 ------------------------------------------------------------

OAUTH_HOST = "oauth." + DOMAIN      # 465 and 587: PLAIN XOAUTH2 OAUTHBEARER
BEARER_HOST = "bearer." + DOMAIN    # 587: OAUTHBEARER only
CLEAR_HOST = "clear." + DOMAIN      # 587: XOAUTH2 in clear text, no TLS
TOKEN_URL = "https://idp." + DOMAIN + "/token"
UNTRUSTED_TOKEN_URL = "https://idp." + DOMAIN + ":8443/token"
APP = {"ClientId": "tarnlet-app", "ClientSecret": "app-secret-1", "Scope": "mail.send"}


def mask_error_numbers(log):
    """The system's number in an OAuth endpoint line as "%d"."""
    return log and re.sub(rb"ErrCode=\d+-124", b"ErrCode=%d-124", log)


def check_oauth_rows(test, profile_path, call, attachments, **check_options):
    """Each row of OAUTH_ROWS: a profile written at profile_path(), then
    call(settings, profile) makes the call and returns its code and log;
    the code, the log, the identity provider's requests and a delivered
    message are checked."""
    for name, host, port, keys, mailbox, mechanism, code, expected_log in OAUTH_ROWS:
        with test.subTest(case=name):
            profile = write_profile(profile_path(), host,
                                    user=USER if keys is not None else "someone", **(keys or {}))
            before = snapshot([mailbox] if mailbox else [])
            logs = log_size("postfix.log"), log_size("dovecot.log")
            tokens = len(idp_requests(path="/token"))
            untrusted = len(idp_requests(port=8443))
            settings = base_settings(
                Kind=1, SMTPServerAddress=host, SMTPPortNo=port, Subject=SUBJECT,
                Password=PASSWORD if keys is None else "not-sent", MyMailAddressComt=COMMENT,
                Address=(mailbox or "erin") + "@" + DOMAIN, AppendFile=attachments[0][0])
            got, log = call(settings, profile)
            test.assertEqual((got, mask_error_numbers(log)), (code, expected_log))
            test.assertEqual(len(idp_requests(port=8443)), untrusted)
            if code == -32:
                test.assertEqual(len(idp_requests(path="/token")), tokens)
            if mailbox:
                raw = wait_for_new_mail(test, before)[mailbox]
                check_message(test, raw, attachments[:1], to=settings["Address"], cc="",
                              **check_options)
                check_tls_delivery(test, raw, mechanism, *logs, pop3s=False)


def write_profile(path, server, user=USER, **keys):
    """An oauth.ini with one profile for server and user (and a profile for
    another server first, which must not match); readable by its owner only."""
    values = dict(APP, TokenUrl=TOKEN_URL)
    values.update(keys)
    lines = ["[elsewhere]", "Server=smtp.example.com", "User=" + user,
             "TokenUrl=https://example.com/token", "ClientId=x", "",
             "[interop " + server + "]", "Server=" + server.upper(), "User=" + user]
    lines += ["%s=%s" % item for item in values.items()]
    with open(path, "w") as f:
        f.write("\r\n".join(lines) + "\r\n")
    os.chmod(path, 0o600)
    return path


def idp_requests(**match):
    """The identity provider's log entries that hold every key=value of match."""
    path = os.path.join(STATE, "idp.log")
    with open(path) as f:
        entries = [json.loads(line) for line in f if line.strip()]
    return [e for e in entries if all(e.get(k) == v for k, v in match.items())]


def tls_context():
    """Trusts the test CA (the provider's and the servers' certificates)."""
    import ssl
    return ssl.create_default_context(cafile=os.path.join(STATE, "tls", "ca.pem"))


def delegated_refresh_token():
    """A refresh token from the provider's device flow (it grants at the
    second poll), as `tarnlet oauth login` gets one."""
    import urllib.parse
    import urllib.request
    context = tls_context()

    def post(path, form):
        request = urllib.request.Request("https://idp." + DOMAIN + path,
                                         urllib.parse.urlencode(form).encode())
        try:
            with urllib.request.urlopen(request, context=context) as answer:
                return json.load(answer)
        except urllib.error.HTTPError as e:
            return json.load(e)

    client = {"client_id": "tarnlet-delegated", "client_secret": "delegated-secret"}
    device = post("/devicecode", dict(client, scope="mail"))
    form = dict(client, grant_type="urn:ietf:params:oauth:grant-type:device_code",
                device_code=device["device_code"])
    assert post("/token", form)["error"] == "authorization_pending"
    return post("/token", form)["refresh_token"]


def oauth_log(*lines):
    """A log of OAuth detail lines, each followed by the login's summary."""
    return log_lines(*lines, "SMTP Auth3認証 Miss-017")


# name, host, port, profile keys (None: the profile is for another user),
# mailbox, the mechanism the server logs, result, log
OAUTH_ROWS = [
    ("client credentials on 465", OAUTH_HOST, SMTPS_PORT, {}, "alice", "XOAUTH2", 0, None),
    ("client credentials on 587 after STARTTLS", OAUTH_HOST, SUBMISSION_PORT, {}, "bob",
     "XOAUTH2", 0, None),
    ("a server offering OAUTHBEARER only", BEARER_HOST, SUBMISSION_PORT, {}, "carol",
     "OAUTHBEARER", 0, None),
    ("no profile for that user: PLAIN inside TLS as before", OAUTH_HOST, SMTPS_PORT, None,
     "dave", "PLAIN", 0, None),
    ("invalid_client", OAUTH_HOST, SMTPS_PORT, {"ClientSecret": "expired"}, None, None, -13,
     oauth_log("SMTP SND : OAuth Invalid Client-127\r\n")),
    ("a token the server refuses", OAUTH_HOST, SUBMISSION_PORT,
     {"ClientId": "tarnlet-revoked", "ClientSecret": "revoked-secret"}, None, None, -13,
     oauth_log("SMTP SND : Res Rcv Ng-022\r\n", "SMTP SND : OAuth Token Refused-131\r\n")),
    ("XOAUTH2 offered without STARTTLS", CLEAR_HOST, SUBMISSION_PORT, {}, None, None, -32,
     log_lines("SMTP SND : OAuth Mechanism Not Offered In Tls-129\r\n")),
    ("the endpoint's certificate untrusted", OAUTH_HOST, SMTPS_PORT,
     {"TokenUrl": UNTRUSTED_TOKEN_URL}, None, None, -13,
     oauth_log("SMTP SND : OAuth Token Endpoint Certificate Ng ErrCode=%d-124\r\n")),
]
