"""The Windows x64 DLL under wine64 against the same servers, through a small
host program that loads it with LoadLibraryA."""
import os
import subprocess
import unittest

import interop_support as s
from test_linux import (EXPECTED_POP_LOG, EXPECTED_REFUSED_RECIPIENT,
                        EXPECTED_WRONG_PASSWORD, TLS_ROWS, UNKNOWN_HOST)

WINE = "/usr/lib/wine/wine64"
WSAECONNREFUSED = 10061
# The locale fixes wine's ANSI code page, through which the INI reader passes
# the Shift-JIS values; pinned so every machine reads them alike.
WINE_ENV = dict(os.environ, LC_ALL="C.UTF-8", WINEDEBUG="-all")


def windows_path(path):
    """The path as wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WineInteropTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.host = os.environ["INTEROP_WIN_HOST"]
        cls.dll = os.environ["INTEROP_DLL"]
        if not (os.path.exists(cls.host) and os.path.exists(cls.dll)):
            raise unittest.SkipTest("no Windows x64 build")
        cls.folder = os.path.join(s.WORK, "wine")
        os.makedirs(cls.folder, exist_ok=True)
        cls.attachments = s.attachment_files(s.WORK)
        cls.counter = 0
        cls.trusted = False

    def trust_test_ca(self):
        """Puts this run's test CA into the prefix's own Root store, once."""
        if not WineInteropTest.trusted:
            der = os.path.join(s.STATE, "tls", "ca.der")
            subprocess.run([WINE, os.environ["INTEROP_TRUST_ROOT"], windows_path(der)],
                           check=True, timeout=120, env=WINE_ENV)
            WineInteropTest.trusted = True

    def next_name(self):
        WineInteropTest.counter += 1
        return os.path.join(self.folder, "call%d" % self.counter)

    def call(self, mode, body, settings, profile=None, times=1):
        """Runs one export in the host (Tarnlet1 times over with "record"),
        with the OAuth profile file if given; returns its result code (the
        list of them for several calls) and the masked log."""
        base = self.next_name()
        settings = dict(settings, Log=windows_path(base + ".log"))
        with open(base + ".body", "wb") as f:
            f.write(s.sjis(body))
        if mode == "record":
            data, suffix = s.make_record(settings), ".rec"
        else:
            data, suffix = s.make_ini(settings), ".ini"
        with open(base + suffix, "wb") as f:
            f.write(data)
        env = dict(WINE_ENV)
        if profile:
            env["TARNLET_OAUTH_FILE"] = windows_path(profile)
        done = subprocess.run(
            [WINE, self.host, windows_path(self.dll), mode, windows_path(base + suffix),
             windows_path(base + ".body")] + ([str(times)] if times > 1 else []),
            capture_output=True, timeout=120, env=env)
        out = done.stdout.decode("ascii", "replace")
        self.assertEqual(done.returncode, 0, out + done.stderr.decode("utf-8", "replace"))
        lines = [int(l[len("result="):]) for l in out.splitlines() if l.startswith("result=")]
        self.assertEqual(len(lines), times, out)
        return lines[0] if times == 1 else lines, s.read_log(base + ".log")

    def test_full_message_via_ini_reaches_every_recipient(self):
        before = s.snapshot(s.ALL_RECIPIENTS)
        settings = s.base_settings(
            Subject=s.SUBJECT, MyMailAddressComt=s.COMMENT, Address=s.TO, Cc=s.CC,
            Bcc=s.BCC, AppendFile=";".join(windows_path(p) for p, _, _ in self.attachments))
        code, log = self.call("ini", s.BODY, settings)
        self.assertEqual(code, 0)
        self.assertIsNone(log)
        delivered = s.wait_for_new_mail(self, before)
        for name in s.ALL_RECIPIENTS:
            with self.subTest(mailbox=name):
                s.check_message(self, delivered[name], self.attachments, windows_names=True)

    def test_full_message_record_to_capturing_server(self):
        number = s.capture_count() + 1
        settings = s.base_settings(
            SMTPPortNo=s.CAPTURE_PORT, Subject=s.SUBJECT, MyMailAddressComt=s.COMMENT,
            Address=s.TO, Cc=s.CC, Bcc=s.BCC,
            AppendFile=";".join(windows_path(p) for p, _, _ in self.attachments))
        code, log = self.call("record", s.BODY, settings)
        self.assertEqual(code, 0)
        self.assertIsNone(log)
        raw, envelope = s.read_capture(number)
        s.check_message(self, raw, self.attachments, windows_names=True)
        self.assertEqual(envelope["rcpt_tos"],
                         [n + "@" + s.DOMAIN for n in s.ALL_RECIPIENTS])

    def test_cram_md5_on_submission_port(self):
        before = s.snapshot(["dave"])
        settings = s.base_settings(Kind=1, SMTPPortNo=s.SUBMISSION_PORT,
                                   Address="dave@" + s.DOMAIN)
        code, log = self.call("record", "wine cram-md5\r\n", settings)
        self.assertEqual((code, log), (0, None))
        self.assertIn(b"wine cram-md5", s.wait_for_new_mail(self, before)["dave"])
        code, log = self.call("record", "x\r\n", dict(settings, Password="wrong-pw"))
        self.assertEqual((code, log), (-13, EXPECTED_WRONG_PASSWORD))

    def test_pop_before_smtp_user_pass_and_apop(self):
        for apop in (0, 1):
            with self.subTest(apop=apop):
                before = s.snapshot(["erin"])
                settings = s.base_settings(Kind=2, APOP=apop, Address="erin@" + s.DOMAIN)
                code, log = self.call("record", "wine pop %d\r\n" % apop, settings)
                self.assertEqual((code, log), (0, EXPECTED_POP_LOG))
                self.assertIn(b"wine pop %d" % apop, s.wait_for_new_mail(self, before)["erin"])

    def test_tls_submission_delivers(self):
        self.trust_test_ca()
        memo = self.attachments[:1]
        for name, overrides, mailbox, mechanism, expected_log in TLS_ROWS:
            with self.subTest(case=name):
                before = s.snapshot([mailbox])
                logs = s.log_size("postfix.log"), s.log_size("dovecot.log")
                settings = s.base_settings(
                    Subject=s.SUBJECT, MyMailAddressComt=s.COMMENT,
                    Address=mailbox + "@" + s.DOMAIN, AppendFile=windows_path(memo[0][0]),
                    **overrides)
                self.assertEqual(self.call("record", s.BODY, settings), (0, expected_log))
                raw = s.wait_for_new_mail(self, before)[mailbox]
                s.check_message(self, raw, memo, to=settings["Address"], cc="",
                                windows_names=True)
                s.check_tls_delivery(self, raw, mechanism, *logs, pop3s=expected_log is not None)

    def oauth_settings(self, host, port, mailbox, password="not-sent"):
        return s.base_settings(Kind=1, SMTPServerAddress=host, SMTPPortNo=port, Password=password,
                               Subject=s.SUBJECT, MyMailAddressComt=s.COMMENT,
                               Address=(mailbox or "erin") + "@" + s.DOMAIN,
                               AppendFile=windows_path(self.attachments[0][0]))

    def test_oauth_submission(self):
        self.trust_test_ca()

        def call(settings, profile):
            settings["AppendFile"] = windows_path(settings["AppendFile"])
            return self.call("record", s.BODY, settings, profile)

        s.check_oauth_rows(self, lambda: self.next_name() + ".oauth.ini", call, self.attachments,
                           windows_names=True)

    def test_oauth_token_reuse_and_rotation(self):
        self.trust_test_ca()
        with self.subTest(case="two calls in one process make one token request"):
            profile = s.write_profile(self.next_name() + ".oauth.ini", s.OAUTH_HOST)
            tokens = len(s.idp_requests(path="/token", client="tarnlet-app"))
            settings = self.oauth_settings(s.OAUTH_HOST, s.SMTPS_PORT, "bob")
            self.assertEqual(self.call("record", "twice\r\n", settings, profile, times=2),
                             ([0, 0], None))
            self.assertEqual(len(s.idp_requests(path="/token", client="tarnlet-app")), tokens + 1)
        with self.subTest(case="a rotated refresh token serves the next process"):
            profile = s.write_profile(self.next_name() + ".oauth.ini", s.OAUTH_HOST,
                                      ClientId="tarnlet-delegated",
                                      ClientSecret="delegated-secret",
                                      RefreshToken=s.delegated_refresh_token())
            refreshes = len(s.idp_requests(grant="refresh_token"))
            for n in (1, 2):
                before = s.snapshot(["carol"])
                settings = self.oauth_settings(s.OAUTH_HOST, s.SUBMISSION_PORT, "carol")
                self.assertEqual(self.call("record", "rotation %d\r\n" % n, settings, profile),
                                 (0, None))
                s.wait_for_new_mail(self, before)
            self.assertEqual(len(s.idp_requests(grant="refresh_token")), refreshes + 2)

    def test_failures_against_real_servers(self):
        cases = [
            ("refused recipient", {"Address": "nobody@" + s.DOMAIN}, -7,
             EXPECTED_REFUSED_RECIPIENT),
            ("closed port", {"SMTPPortNo": s.CLOSED_PORT}, -2,
             s.log_lines("SMTP SND : Connect Ng ErrCode=%d-050\r\n" % WSAECONNREFUSED)),
            ("unknown host", {"SMTPServerAddress": "no-such-host.invalid"}, -15,
             s.log_lines(UNKNOWN_HOST)),
        ]
        for name, overrides, code, expected_log in cases:
            with self.subTest(case=name):
                self.assertEqual(self.call("record", "x\r\n", s.base_settings(**overrides)),
                                 (code, expected_log))
