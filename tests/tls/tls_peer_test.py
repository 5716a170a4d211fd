"""The library against a small TLS peer on loopback: implicit TLS on 465 and
995, STARTTLS on 587, and every way TLS may fail. Certificates come from a
test CA made here with openssl; the Linux library trusts it through
SSL_CERT_FILE and SSL_CERT_DIR, the Windows DLL (TARNLET_DLL, called from a
host program under Wine) through the Wine prefix's own Root store. Each row
checks the code, the log and what the peer received. Runs inside a private
network namespace (the real ports are used)."""
import base64
import ctypes
import os
import ssl
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(__file__)
sys.path.insert(0, os.path.join(HERE, "..", "interop"))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import interop_support as s  # noqa: E402
import mail_peer  # noqa: E402
from mail_peer import windows_path  # noqa: E402

HOST = "localhost"
WORK = tempfile.mkdtemp(prefix="tarnlet-tls-")
WINDOWS = "TARNLET_DLL" in os.environ
# The Wine prefix keeps every run's CA: each gets a name of its own.
CA_SUFFIX = " %x" % int(time.time()) if WINDOWS else ""
PLAIN = base64.b64encode(("\0%s\0%s" % (s.USER, s.PASSWORD)).encode())
SECRETS = (s.PASSWORD.encode(), PLAIN, base64.b64encode(s.PASSWORD.encode()), b"MAIL", b"PASS")


def openssl(*args):
    mail_peer.openssl(WORK, *args)


def context(leaf, oldest=None, newest=None, client_certificate=None):
    return mail_peer.server_context(WORK, leaf, oldest, newest, client_certificate)


def Peer(port, tls=None, **options):
    """The fixture's user and password: logins are checked against them."""
    return mail_peer.MailPeer(port, tls=tls, user=s.USER, password=s.PASSWORD, **options)


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
        mail_peer.trust_under_wine(WORK, os.environ["TARNLET_EMULATOR"],
                                   os.environ["TARNLET_TRUST_ROOT"])

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


class TlsPeerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for ca in ("ca", "stranger"):
            mail_peer.make_ca(WORK, ca, "Tarnlet " + ca + CA_SUFFIX)
        mail_peer.make_leaf(WORK, "good", "ca")
        mail_peer.make_leaf(WORK, "other", "ca", dns="wrong.example")
        mail_peer.make_leaf(WORK, "expired", "ca", days="-1")
        mail_peer.make_leaf(WORK, "unknown", "stranger")
        # An intermediate CA under the trusted one; the peer sends only the
        # leaf it signed, so the chain cannot be completed.
        mail_peer.make_leaf(WORK, "middle", "ca", dns="middle.invalid")
        with open(os.path.join(WORK, "middle.ext"), "w") as f:
            f.write("basicConstraints=critical,CA:TRUE\nkeyUsage=keyCertSign,cRLSign\n")
        openssl("x509", "-req", "-in", "middle.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                "-CAcreateserial", "-days", "2", "-extfile", "middle.ext", "-out", "middle.pem")
        mail_peer.make_leaf(WORK, "partial", "middle")
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
            ("client certificate demanded",
             dict(port=465, tls=context("good", client_certificate="demand")),
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
             dict(port=587, tls=context("good"), starttls=True,
                  replies={"STARTTLS": "454 not now"}), dict(SMTPPortNo=587, Kind=1),
             -13, ["SMTP SND : Res Rcv Ng-022\r\n", STARTTLS_NG]),
            ("bytes injected after 220",
             dict(port=587, tls=context("good"), starttls=True,
                  replies={"STARTTLS": "220 go\r\nMAIL FROM:<evil@example>"}),
             dict(SMTPPortNo=587, Kind=1),
             -13, ["SMTP SND : StartTls Rcv Ng RcvDatLen=26-111\r\n", STARTTLS_NG]),
            ("STARTTLS with an unknown CA",
             dict(port=587, tls=context("unknown"), starttls=True), dict(SMTPPortNo=587, Kind=1),
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
                for secret in SECRETS:
                    self.assertNotIn(secret, got)

    def test_pop3s_then_smtp_on_465(self):
        pop = Peer(port=995, tls=context("good"), pop=True)
        smtp = Peer(port=465, tls=context("good"))
        path = self.log()
        self.assertEqual(self.lib.send(Log=path, Kind=2, POP3PortNo=995, SMTPPortNo=465), 0)
        self.assertEqual(s.read_log(path), s.log_lines("POP3 BEFORE SMTP : Start-024\r\n",
                                                       "POP3 BEFORE SMTP : Complete-038\r\n"))
        self.assertEqual(pop.received(tls=True),
                         ("USER %s\r\nPASS %s\r\nQUIT\r\n" % (s.USER, s.PASSWORD)).encode())
        self.assertTrue(smtp.received(tls=True).startswith(b"HELO "), smtp.received())
        self.assertEqual(pop.received(tls=False) + smtp.received(tls=False), b"")

    def command(self, *arguments):
        """The tarnlet command (under the emulator for a Windows build)."""
        if not os.environ.get("TARNLET_CMD"):
            self.skipTest("the command is not built")
        run = [os.environ["TARNLET_CMD"]]
        if WINDOWS:
            run.insert(0, os.environ["TARNLET_EMULATOR"])
        return subprocess.run(run + list(arguments), capture_output=True,
                              env=dict(os.environ, TARNLET_PASSWORD=s.PASSWORD), timeout=120)

    def send_command(self, leaf, status):
        """The trace of tarnlet send to a peer on 465 showing leaf's
        certificate, which ends with status."""
        Peer(port=465, tls=context(leaf))
        run = self.command(
            "send", "--server", HOST, "--port", "465", "--from", "a@" + s.DOMAIN, "--to",
            "b@" + s.DOMAIN, "--auth", "cram-md5", "--user", s.USER, "--empty-body", "--trace",
            "--quiet")
        self.assertEqual(run.returncode, status, run.stderr)
        return run.stderr

    def test_command_traces_the_dialogue_inside_tls_with_secrets_masked(self):
        trace = self.send_command("good", 0)
        # TLS 1.3 on Linux (Python's peer and OpenSSL 3 agree on it), 1.2 on
        # Windows; the certificate's names and dates on the next line.
        self.assertRegex(trace, rb"\* TLS: TLSv1\.%s, \S+, certificate /CN=localhost issued by "
                                rb"/CN=Tarnlet ca%s: verified\r?\n\* certificate names localhost; "
                                rb"valid \d{4}-\d\d-\d\d " % (b"2" if WINDOWS else b"3",
                                                            CA_SUFFIX.encode()))
        for shown in (b"AUTH PLAIN (initial response not shown)", b"235 ok"):
            self.assertIn(shown, trace)
        self.assertNotIn(PLAIN, trace)

    def test_command_traces_why_a_certificate_was_refused(self):
        trace = self.send_command("unknown", 3)
        self.assertRegex(trace, rb"\* TLS failed: .*certificate /CN=localhost issued by /CN=Tarnlet "
                                rb"stranger.*: refused: unable to get local issuer certificate\r?\n")
        self.assertNotIn(b"AUTH", trace)

    def test_probe_shows_what_a_send_would_meet(self):
        rows = [
            # name, peer, port, exit status, what the output shows
            ("465", dict(tls=context("good")), 465, 0,
             [rb"\* TLS: TLSv1\.\d, \S+, certificate /CN=localhost issued by .*: verified",
              rb"\* certificate names localhost; valid ", rb"S: 250 AUTH PLAIN LOGIN",
              rb"C: QUIT", rb"verdict: --auth login can log in here: PLAIN inside TLS"]),
            ("587 with STARTTLS", dict(tls=context("good"), starttls=True), 587, 0,
             [rb"S: 250 STARTTLS\r?\nC: STARTTLS\r?\nS: 220 go ahead\r?\n\* TLS: ",
              rb"verdict: --auth login can log in here: PLAIN inside TLS"]),
            ("587 with CRAM-MD5 before STARTTLS: the call logs in there",
             dict(tls=context("good"), starttls=True,
                  replies={"EHLO": "250-peer\r\n250-STARTTLS\r\n250 AUTH CRAM-MD5"}), 587, 0,
             [rb"C: STARTTLS", rb"verdict: --auth login can log in here: CRAM-MD5 in clear text"]),
            ("a private CA not trusted", dict(tls=context("unknown")), 465, 3,
             [rb"\* TLS failed: .*issued by /CN=Tarnlet stranger.*: refused: unable to get "
              rb"local issuer certificate", rb"Tls Certificate Ng ErrCode=20-107"]),
            ("a clear-text server on 465", {}, 465, 3,
             # (what it answers to the handshake's bytes may follow its greeting)
             [rb"S: 220 peer ready\r?\n(S: .*\n)*\* TLS failed: the server answered without "
              rb"TLS: \"220 peer ready\" \(not a TLS port\?\)", rb"Tls Handshake Ng ErrCode=71-106"]),
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
        login = ("AUTH LOGIN\r\n%s\r\n%s\r\n" % tuple(
            base64.b64encode(t.encode()).decode() for t in (s.USER, s.PASSWORD))).encode()
        rows = [
            ("465 with PLAIN", dict(port=465, tls=context("good")), dict(SMTPPortNo=465, Kind=1),
             b"AUTH PLAIN " + PLAIN),
            ("465 without login", dict(port=465, tls=context("good")), dict(SMTPPortNo=465),
             b"HELO "),
            ("587 STARTTLS with PLAIN", dict(port=587, tls=context("good"), starttls=True),
             dict(SMTPPortNo=587, Kind=1), b"AUTH PLAIN " + PLAIN),
            ("587 STARTTLS with LOGIN only",
             dict(port=587, tls=context("good"), starttls=True, mechanisms="LOGIN"),
             dict(SMTPPortNo=587, Kind=1), login),
        ]
        for name, peer_args, settings, expected in rows:
            with self.subTest(name):
                peer = Peer(**peer_args)
                path = self.log()
                self.assertEqual(self.lib.send(Log=path, **settings), 0)
                self.assertIsNone(s.read_log(path))
                secret, clear = peer.received(tls=True), peer.received(tls=False)
                self.assertIn(expected, secret)
                self.assertIn(b"\r\n.\r\nQUIT\r\n", secret)
                # Outside TLS: at most EHLO and STARTTLS.
                self.assertNotIn(b"AUTH", clear)
                self.assertNotIn(b"MAIL", clear)
                self.assertEqual(len(peer.messages), 1)

if __name__ == "__main__":
    unittest.main()
