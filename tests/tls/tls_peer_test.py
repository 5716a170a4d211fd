"""The library against a small TLS peer on loopback: implicit TLS on 465 and
995, STARTTLS on 587, and every way TLS may fail. Certificates come from a
test CA made here with openssl; the Linux library trusts it through
SSL_CERT_FILE and SSL_CERT_DIR, the Windows DLL (TARNLET_DLL, called from a
host program under Wine) through the Wine prefix's own Root store. Each row
checks the code, the log and what the peer received. Runs inside a private
network namespace (the real ports are used)."""
import ctypes
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "interop"))
import interop_support as s  # noqa: E402

HOST = "localhost"
WORK = tempfile.mkdtemp(prefix="tarnlet-tls-")
WINDOWS = "TARNLET_DLL" in os.environ
# The Wine prefix keeps every run's CA: each gets a name of its own.
CA_SUFFIX = " %x" % int(time.time()) if WINDOWS else ""
PLAIN = "AHRlc3RlcgBUYXJuLXB3MQ=="  # base64 of NUL "tester" NUL "Tarn-pw1"


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, capture_output=True, cwd=WORK)


def make_ca(name):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key",
            "-out", name + ".pem", "-days", "3", "-subj", "/CN=Tarnlet " + name + CA_SUFFIX)


def make_leaf(name, ca, dns="localhost", days="2"):
    with open(os.path.join(WORK, name + ".ext"), "w") as f:
        f.write("subjectAltName=DNS:%s\nbasicConstraints=CA:FALSE\n" % dns)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out",
            name + ".csr", "-subj", "/CN=" + dns)
    openssl("x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key",
            "-CAcreateserial", "-days", days, "-extfile", name + ".ext", "-out", name + ".pem")


def context(leaf, oldest=None, newest=None, demand_certificate=False):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if demand_certificate:
        ctx.verify_mode = ssl.CERT_REQUIRED
        ctx.load_verify_locations(os.path.join(WORK, "ca.pem"))
    if oldest:
        ctx.set_ciphers("ALL:@SECLEVEL=0")
        ctx.minimum_version = oldest
        ctx.maximum_version = newest
    ctx.load_cert_chain(os.path.join(WORK, leaf + ".pem"), os.path.join(WORK, leaf + ".key"))
    return ctx


class Peer:
    """One connection on port: TLS from the start (tls set), or clear text
    with STARTTLS answered by starttls_reply and the handshake made when that
    begins with 220. Records every byte received, in clear and in TLS."""

    def __init__(self, port, tls=None, ehlo="250-hi\r\n250 AUTH PLAIN LOGIN\r\n",
                 starttls_reply=None, pop=False):
        self.clear, self.secret, self.done = b"", b"", threading.Event()
        self.tls, self.ehlo, self.starttls_reply = tls, ehlo, starttls_reply
        self.greeting = "+OK ready\r\n" if pop else "220 ready\r\n"
        self.pop = pop
        self.after_tls_ehlo = "250-hi\r\n250 AUTH PLAIN LOGIN\r\n"
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", port))
        self.listener.listen(1)
        threading.Thread(target=self.run, daemon=True).start()

    def run(self):
        conn, _ = self.listener.accept()
        self.listener.close()
        try:
            conn.settimeout(5)
            implicit = self.tls is not None and self.starttls_reply is None
            if implicit:
                conn = self.tls.wrap_socket(conn, server_side=True)
            self.serve(conn, secure=implicit)
        except (OSError, ssl.SSLError):
            pass
        finally:
            conn.close()
            self.done.set()

    def serve(self, conn, secure):
        conn.sendall(self.greeting.encode())
        data, in_data = b"", False
        while True:
            chunk = conn.recv(4096)
            if not chunk:
                return
            if secure:
                self.secret += chunk
            else:
                self.clear += chunk
            data += chunk
            while b"\n" in data:
                if in_data:
                    end = data.find(b"\r\n.\r\n")
                    if end < 0:
                        break
                    data, in_data = data[end + 5:], False
                    conn.sendall(b"250 queued\r\n")
                    continue
                line, data = data.split(b"\n", 1)
                reply = self.reply(line.strip())
                if reply == "STARTTLS":
                    conn.sendall(self.starttls_reply.encode())
                    if not self.starttls_reply.startswith("220"):
                        continue
                    conn = self.tls.wrap_socket(conn, server_side=True)
                    return self.serve_after_starttls(conn)
                conn.sendall(reply.encode())
                if line.startswith(b"DATA"):
                    in_data = True
                if line.startswith(b"QUIT"):
                    return

    def serve_after_starttls(self, conn):
        self.greeting, self.ehlo = "", self.after_tls_ehlo
        try:
            return self.serve(conn, secure=True)
        finally:
            conn.close()

    def reply(self, line):
        if self.pop:
            return "+OK\r\n"
        word = line.split(b" ")[0].upper()
        if word == b"EHLO":
            return self.ehlo
        if word == b"STARTTLS":
            return "STARTTLS"
        if line.startswith(b"AUTH LOGIN") or line in (b"dGVzdGVy",):
            return "334 VXNlcm5hbWU6\r\n" if word == b"AUTH" else "334 UGFzc3dvcmQ6\r\n"
        if word in (b"DATA",):
            return "354 go\r\n"
        if word == b"QUIT":
            return "221 bye\r\n"
        if word == b"AUTH" or line == b"VGFybi1wdzE=":
            return "235 ok\r\n"
        return "250 ok\r\n"

    def received(self):
        self.done.wait(10)
        return self.clear + self.secret


class Library:
    def __init__(self, path):
        self.lib = ctypes.CDLL(path)
        self.lib.Tarnlet1.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self.lib.Tarnlet1.restype = ctypes.c_int32

    def send(self, **overrides):
        record = ctypes.create_string_buffer(
            s.make_record(s.base_settings(SMTPServerAddress=HOST, POP3ServerAddress=HOST,
                                          **overrides)), s.RECORD_SIZE)
        return self.lib.Tarnlet1(s.sjis("body\r\n"), record)


TLS_CONNECT = "SMTP SND : Tls Connect Ng-108\r\n"
STARTTLS_NG = "SMTP SND : StartTls Understand Ng-110\r\n"


class WineLibrary:
    """The DLL, called once per send from a host program under the emulator."""

    def __init__(self):
        self.run = [os.environ["TARNLET_EMULATOR"], os.environ["TARNLET_WIN_HOST"],
                    windows_path(os.environ["TARNLET_DLL"]), "record"]
        der = os.path.join(WORK, "ca.der")
        with open(os.path.join(WORK, "ca.pem")) as f, open(der, "wb") as out:
            out.write(ssl.PEM_cert_to_DER_cert(f.read()))
        subprocess.run([os.environ["TARNLET_EMULATOR"], os.environ["TARNLET_TRUST_ROOT"],
                        windows_path(der)], check=True, timeout=120)

    def send(self, Log, **overrides):
        record, body = os.path.join(WORK, "record"), os.path.join(WORK, "body")
        with open(record, "wb") as f:
            f.write(s.make_record(s.base_settings(SMTPServerAddress=HOST, POP3ServerAddress=HOST,
                                                  Log=windows_path(Log), **overrides)))
        with open(body, "wb") as f:
            f.write(s.sjis("body\r\n"))
        done = subprocess.run(self.run + [windows_path(record), windows_path(body)],
                              capture_output=True, timeout=120)
        return int(done.stdout.decode().rsplit("result=", 1)[1])


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class TlsPeerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        make_ca("ca")
        make_ca("stranger")
        make_leaf("good", "ca")
        make_leaf("other", "ca", dns="wrong.example")
        make_leaf("expired", "ca", days="-1")
        make_leaf("unknown", "stranger")
        # An intermediate CA under the trusted one; the peer sends only the
        # leaf it signed, so the chain cannot be completed.
        make_leaf("middle", "ca", dns="middle.invalid")
        with open(os.path.join(WORK, "middle.ext"), "w") as f:
            f.write("basicConstraints=critical,CA:TRUE\nkeyUsage=keyCertSign,cRLSign\n")
        openssl("x509", "-req", "-in", "middle.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                "-CAcreateserial", "-days", "2", "-extfile", "middle.ext", "-out", "middle.pem")
        make_leaf("partial", "middle")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "self.key",
                "-out", "self.pem", "-days", "2", "-subj", "/CN=localhost",
                "-addext", "subjectAltName=DNS:localhost")
        # Both set: the environment may preset either.
        os.environ["SSL_CERT_FILE"] = os.path.join(WORK, "ca.pem")
        os.environ["SSL_CERT_DIR"] = os.path.join(WORK, "no-such-folder")
        cls.lib = WineLibrary() if WINDOWS else Library(os.environ["TARNLET_SO"])
        cls.count = 0

    def log(self):
        TlsPeerTest.count += 1
        return os.path.join(WORK, "call%d.log" % self.count)

    def test_failures_send_no_credentials_and_no_message(self):
        v1 = ssl.TLSVersion.TLSv1
        rows = [
            # name, peer, settings, code, log lines
            ("unknown CA", dict(port=465, tls=context("unknown")), dict(SMTPPortNo=465, Kind=1),
             -3, ["SMTP SND : Tls Certificate Ng ErrCode=20-107\r\n", TLS_CONNECT]),
            ("wrong host name", dict(port=465, tls=context("other")), dict(SMTPPortNo=465),
             -3, ["SMTP SND : Tls Certificate Ng ErrCode=62-107\r\n", TLS_CONNECT]),
            ("expired", dict(port=465, tls=context("expired")), dict(SMTPPortNo=465, Kind=1),
             -3, ["SMTP SND : Tls Certificate Ng ErrCode=10-107\r\n", TLS_CONNECT]),
            ("self-signed", dict(port=465, tls=context("self")), dict(SMTPPortNo=465, Kind=1),
             -3, ["SMTP SND : Tls Certificate Ng ErrCode=18-107\r\n", TLS_CONNECT]),
            ("partial chain", dict(port=465, tls=context("partial")), dict(SMTPPortNo=465),
             -3, ["SMTP SND : Tls Certificate Ng ErrCode=20-107\r\n", TLS_CONNECT]),
            # Under Wine, SChannel's own status: SEC_E_INTERNAL_ERROR.
            ("TLS 1.0 only", dict(port=465, tls=context("good", v1, v1)), dict(SMTPPortNo=465),
             -3, ["SMTP SND : Tls Handshake Ng ErrCode=%d-106\r\n"
                  % (-2146893052 if WINDOWS else 71), TLS_CONNECT]),
            # TLS 1.3 ends the handshake first and refuses with an alert in
            # the first record; SChannel's TLS 1.2 fails the handshake
            # (under Wine: SEC_E_INTERNAL_ERROR).
            ("client certificate demanded", dict(port=465, tls=context("good", demand_certificate=True)),
             dict(SMTPPortNo=465), -3,
             ["SMTP SND : Tls Handshake Ng ErrCode=-2146893052-106\r\n", TLS_CONNECT] if WINDOWS
             else ["SMTP SND : Tls Handshake Ng ErrCode=71-106\r\n",
                   "SMTP SND : Server Ready Ng-052\r\n"]),
            ("plain server on 465", dict(port=465), dict(SMTPPortNo=465, Kind=1),
             -3, ["SMTP SND : Tls Handshake Ng ErrCode=71-106\r\n", TLS_CONNECT]),
            ("POP3S with an unknown CA", dict(port=995, tls=context("unknown"), pop=True),
             dict(POP3PortNo=995, Kind=2), -12,
             ["POP3 BEFORE SMTP : Start-024\r\n",
              "SMTP SND : Tls Certificate Ng ErrCode=20-107\r\n",
              "POP3 BEFORE SMTP : Tls Connect Ng-117\r\n", "Pop3\u8a8d\u8a3c Miss-015"]),
            ("STARTTLS answered 454",
             dict(port=587, tls=context("good"), ehlo="250-hi\r\n250 STARTTLS\r\n",
                  starttls_reply="454 not now\r\n"), dict(SMTPPortNo=587, Kind=1),
             -13, ["SMTP SND : Res Rcv Ng-022\r\n", STARTTLS_NG]),
            ("bytes injected after 220",
             dict(port=587, tls=context("good"), ehlo="250-hi\r\n250 STARTTLS\r\n",
                  starttls_reply="220 go\r\nMAIL FROM:<evil@example>\r\n"),
             dict(SMTPPortNo=587, Kind=1),
             -13, ["SMTP SND : StartTls Rcv Ng RcvDatLen=26-111\r\n", STARTTLS_NG]),
            ("STARTTLS with an unknown CA",
             dict(port=587, tls=context("unknown"), ehlo="250-hi\r\n250 STARTTLS\r\n",
                  starttls_reply="220 go\r\n"), dict(SMTPPortNo=587, Kind=1),
             -13, ["SMTP SND : Tls Certificate Ng ErrCode=20-107\r\n",
                   "SMTP SND : StartTls Tls Connect Ng-112\r\n"]),
        ]
        for name, peer_args, settings, code, log in rows:
            with self.subTest(name):
                peer = Peer(**peer_args)
                path = self.log()
                self.assertEqual(self.lib.send(Log=path, **settings), code)
                self.assertEqual(s.read_log(path), s.log_lines(*log))
                got = peer.received()
                for secret in (b"Tarn-pw1", PLAIN.encode(), b"VGFybi1wdzE=", b"MAIL", b"PASS"):
                    self.assertNotIn(secret, got)

    def test_pop3s_then_smtp_on_465(self):
        pop = Peer(port=995, tls=context("good"), pop=True)
        smtp = Peer(port=465, tls=context("good"))
        path = self.log()
        self.assertEqual(self.lib.send(Log=path, Kind=2, POP3PortNo=995, SMTPPortNo=465), 0)
        self.assertEqual(s.read_log(path), s.log_lines("POP3 BEFORE SMTP : Start-024\r\n",
                                                       "POP3 BEFORE SMTP : Complete-038\r\n"))
        pop.received()
        self.assertEqual(pop.secret, b"USER tester\r\nPASS Tarn-pw1\r\nQUIT\r\n")
        smtp.received()
        self.assertTrue(smtp.secret.startswith(b"HELO "), smtp.secret)
        self.assertEqual(pop.clear + smtp.clear, b"")

    def command(self, *arguments):
        """The tarnlet command (under the emulator for a Windows build)."""
        run = [os.environ["TARNLET_CMD"]]
        if WINDOWS:
            run.insert(0, os.environ["TARNLET_EMULATOR"])
        return subprocess.run(run + list(arguments), capture_output=True,
                              env=dict(os.environ, TARNLET_PASSWORD="Tarn-pw1"), timeout=120)

    def send_command(self):
        return self.command(
            "send", "--server", HOST, "--port", "465", "--from", "a@" + s.DOMAIN, "--to",
            "b@" + s.DOMAIN, "--auth", "cram-md5", "--user", "tester", "--empty-body", "--trace",
            "--quiet")

    @unittest.skipUnless(os.environ.get("TARNLET_CMD"), "the command is not built")
    def test_command_traces_the_dialogue_inside_tls_with_secrets_masked(self):
        Peer(port=465, tls=context("good"))
        run = self.send_command()
        self.assertEqual(run.returncode, 0, run.stderr)
        # TLS 1.3 on Linux (Python's peer and OpenSSL 3 agree on it), 1.2 on
        # Windows; the certificate's names and dates on the next line.
        self.assertRegex(run.stderr, rb"\* TLS: TLSv1\.%s, \S+, certificate /CN=localhost "
                                     rb"issued by /CN=Tarnlet ca%s: verified\r?\n"
                                     rb"\* certificate names localhost; valid \d{4}-\d\d-\d\d "
                         % (b"2" if WINDOWS else b"3", CA_SUFFIX.encode()))
        self.assertIn(b"AUTH PLAIN (initial response not shown)", run.stderr)
        self.assertIn(b"235 ok", run.stderr)
        self.assertNotIn(PLAIN.encode(), run.stderr)

    @unittest.skipUnless(os.environ.get("TARNLET_CMD"), "the command is not built")
    def test_command_traces_why_a_certificate_was_refused(self):
        Peer(port=465, tls=context("unknown"))
        run = self.send_command()
        self.assertEqual(run.returncode, 3, run.stderr)
        self.assertRegex(run.stderr, rb"\* TLS failed: .*certificate /CN=localhost issued by "
                                     rb"/CN=Tarnlet stranger.*: refused: unable to get local "
                                     rb"issuer certificate\r?\n")
        self.assertNotIn(b"AUTH", run.stderr)

    @unittest.skipUnless(os.environ.get("TARNLET_CMD"), "the command is not built")
    def test_probe_shows_what_a_send_would_meet(self):
        starttls = dict(ehlo="250-hi\r\n250 STARTTLS\r\n", starttls_reply="220 go\r\n")
        rows = [
            # name, peer, port, exit status, what the output shows
            ("465", dict(tls=context("good")), 465, 0,
             [rb"\* TLS: TLSv1\.\d, \S+, certificate /CN=localhost issued by .*: verified",
              rb"\* certificate names localhost; valid ", rb"S: 250 AUTH PLAIN LOGIN",
              rb"C: QUIT", rb"verdict: --auth login can log in here: PLAIN inside TLS"]),
            ("587 with STARTTLS", dict(tls=context("good"), **starttls), 587, 0,
             [rb"S: 250 STARTTLS\r?\nC: STARTTLS\r?\nS: 220 go\r?\n\* TLS: ",
              rb"verdict: --auth login can log in here: PLAIN inside TLS"]),
            ("a private CA not trusted", dict(tls=context("unknown")), 465, 3,
             [rb"\* TLS failed: .*issued by /CN=Tarnlet stranger.*: refused: unable to get "
              rb"local issuer certificate", rb"Tls Certificate Ng ErrCode=20-107"]),
            ("a clear-text server on 465", {}, 465, 3,
             # (what it answers to the handshake's bytes may follow its greeting)
             [rb"S: 220 ready\r?\n(S: .*\n)*\* TLS failed: the server answered without TLS: "
              rb"\"220 ready\" \(not a TLS port\?\)", rb"Tls Handshake Ng ErrCode=71-106"]),
        ]
        for name, peer, port, status, shown in rows:
            with self.subTest(name):
                Peer(port=port, **peer)
                run = self.command("probe", "--server", HOST, "--port", str(port))
                self.assertEqual(run.returncode, status, run.stdout + run.stderr)
                for pattern in shown:
                    self.assertRegex(run.stdout, pattern)
                self.assertNotIn(b"MAIL", run.stdout)

    def test_mail_goes_through_tls(self):
        rows = [
            ("465 with PLAIN", dict(port=465, tls=context("good")), dict(SMTPPortNo=465, Kind=1),
             b"AUTH PLAIN " + PLAIN.encode()),
            ("465 without login", dict(port=465, tls=context("good")), dict(SMTPPortNo=465),
             b"HELO "),
            ("587 STARTTLS with PLAIN",
             dict(port=587, tls=context("good"), ehlo="250-hi\r\n250 STARTTLS\r\n",
                  starttls_reply="220 go\r\n"), dict(SMTPPortNo=587, Kind=1),
             b"AUTH PLAIN " + PLAIN.encode()),
            ("587 STARTTLS with LOGIN only",
             dict(port=587, tls=context("good"), ehlo="250-hi\r\n250 STARTTLS\r\n",
                  starttls_reply="220 go\r\n", login_only=True), dict(SMTPPortNo=587, Kind=1),
             b"AUTH LOGIN\r\ndGVzdGVy\r\nVGFybi1wdzE=\r\n"),
        ]
        for name, peer_args, settings, expected in rows:
            with self.subTest(name):
                login_only = peer_args.pop("login_only", False)
                peer = Peer(**peer_args)
                peer.after_tls_ehlo = ("250-hi\r\n250 AUTH LOGIN\r\n" if login_only
                                       else "250-hi\r\n250 AUTH PLAIN LOGIN\r\n")
                path = self.log()
                self.assertEqual(self.lib.send(Log=path, **settings), 0)
                self.assertIsNone(s.read_log(path))
                peer.received()
                self.assertIn(expected, peer.secret)
                self.assertIn(b"\r\n.\r\nQUIT\r\n", peer.secret)
                # Outside TLS: at most EHLO and STARTTLS.
                self.assertNotIn(b"AUTH", peer.clear)
                self.assertNotIn(b"MAIL", peer.clear)


if __name__ == "__main__":
    unittest.main()
