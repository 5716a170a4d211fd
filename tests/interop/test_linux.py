"""The Linux shared library against real servers, through its exports."""
import ctypes
import os
import unittest

import interop_support as s

UNKNOWN_HOST = "\uff8e\uff7d\uff84名が見つからない-004"  # ﾎｽﾄ名が見つからない-004


class LinuxLibrary:
    def __init__(self, path):
        self.lib = ctypes.CDLL(path)
        self.lib.Tarnlet1.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self.lib.Tarnlet1.restype = ctypes.c_int32
        self.lib.Tarnlet2.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self.lib.Tarnlet2.restype = ctypes.c_int32

    def send_record(self, body, settings):
        record = ctypes.create_string_buffer(s.make_record(settings), s.RECORD_SIZE)
        return self.lib.Tarnlet1(s.sjis(body), record)

    def send_ini(self, body, settings, ini_path):
        with open(ini_path, "wb") as f:
            f.write(s.make_ini(settings))
        return self.lib.Tarnlet2(s.sjis(body), ini_path.encode())


class LinuxInteropTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.lib = LinuxLibrary(os.environ["INTEROP_LINUX_SO"])
        cls.folder = os.path.join(s.WORK, "linux")
        os.makedirs(cls.folder, exist_ok=True)
        cls.attachments = s.attachment_files(s.WORK)
        cls.counter = 0

    def log_path(self):
        LinuxInteropTest.counter += 1
        return os.path.join(self.folder, "call%d.log" % self.counter)

    def full_message(self, **overrides):
        return s.base_settings(
            Subject=s.SUBJECT, MyMailAddressComt=s.COMMENT, Address=s.TO, Cc=s.CC,
            Bcc=s.BCC, AppendFile=";".join(p for p, _, _ in self.attachments),
            **overrides)

    def test_full_message_to_postfix_reaches_every_recipient(self):
        log = self.log_path()
        before = s.snapshot(s.ALL_RECIPIENTS)
        self.assertEqual(self.lib.send_record(s.BODY, self.full_message(Log=log)), 0)
        delivered = s.wait_for_new_mail(self, before)
        for name in s.ALL_RECIPIENTS:
            with self.subTest(mailbox=name):
                s.check_message(self, delivered[name], self.attachments)
        self.assertIsNone(s.read_log(log))

    def test_full_message_to_capturing_server_via_ini(self):
        log = self.log_path()
        number = s.capture_count() + 1
        settings = self.full_message(SMTPPortNo=s.CAPTURE_PORT, Log=log)
        ini = os.path.join(self.folder, "capture.ini")
        self.assertEqual(self.lib.send_ini(s.BODY, settings, ini), 0)
        raw, envelope = s.read_capture(number)
        s.check_message(self, raw, self.attachments)
        self.assertEqual(envelope["rcpt_tos"],
                         [n + "@" + s.DOMAIN for n in s.ALL_RECIPIENTS])
        self.assertEqual(envelope["mail_from"], "sender@" + s.DOMAIN)
        self.assertIsNone(s.read_log(log))

    def test_cram_md5_on_submission_port_delivers(self):
        log = self.log_path()
        before = s.snapshot(["bob"])
        settings = s.base_settings(Kind=1, SMTPPortNo=s.SUBMISSION_PORT,
                                   Address="bob@" + s.DOMAIN, Log=log)
        self.assertEqual(self.lib.send_record("cram-md5 body\r\n", settings), 0)
        raw = s.wait_for_new_mail(self, before)["bob"]
        self.assertIn(b"cram-md5 body", raw)
        self.assertIsNone(s.read_log(log))

    def test_cram_md5_wrong_password_is_refused(self):
        log = self.log_path()
        settings = s.base_settings(Kind=1, SMTPPortNo=s.SUBMISSION_PORT,
                                   Password="wrong-pw", Log=log)
        self.assertEqual(self.lib.send_record("x\r\n", settings), -13)
        self.assertEqual(s.read_log(log), EXPECTED_WRONG_PASSWORD)

    def test_pop_before_smtp_user_pass_and_apop(self):
        for apop in (0, 1):
            with self.subTest(apop=apop):
                log = self.log_path()
                before = s.snapshot(["carol"])
                settings = s.base_settings(Kind=2, APOP=apop, Address="carol@" + s.DOMAIN,
                                           Log=log)
                self.assertEqual(self.lib.send_record("pop %d\r\n" % apop, settings), 0)
                raw = s.wait_for_new_mail(self, before)["carol"]
                self.assertIn(b"pop %d" % apop, raw)
                self.assertEqual(s.read_log(log), EXPECTED_POP_LOG)

    def test_relay_accepts_at_once_and_reports_refusals_by_mail(self):
        # The relay's 250 ends the call; a recipient the smart host refuses
        # later comes back to the sender as a bounce.
        s.start_relay()
        cases = [
            ("handed on", "bob", "bob", [b"relay handed on", b"by relay." + s.DOMAIN.encode()]),
            ("refused later", "nobody", "erin",
             [b"Subject: Undelivered Mail Returned to Sender", b"<nobody@interop.test>",
              b"550 5.1.1"]),
        ]
        for name, rcpt, mailbox, expected in cases:
            with self.subTest(case=name):
                log = self.log_path()
                before = s.snapshot([mailbox])
                settings = s.base_settings(SMTPPortNo=s.RELAY_PORT, Address=rcpt + "@" + s.DOMAIN,
                                           MyMailAddress="erin@" + s.DOMAIN, Log=log)
                self.assertEqual(self.lib.send_record("relay %s\r\n" % name, settings), 0)
                raw = s.wait_for_new_mail(self, before)[mailbox]
                for text in expected:
                    self.assertIn(text, raw)
                self.assertIsNone(s.read_log(log))

    def test_failures_against_real_servers(self):
        cases = [
            ("refused recipient", {"Address": "nobody@" + s.DOMAIN}, -7,
             EXPECTED_REFUSED_RECIPIENT),
            ("closed port", {"SMTPPortNo": s.CLOSED_PORT}, -2,
             s.log_lines("SMTP SND : Connect Ng ErrCode=%d-050\r\n" % 111)),
            ("unknown host", {"SMTPServerAddress": "no-such-host.invalid"}, -15,
             s.log_lines(UNKNOWN_HOST)),
        ]
        for name, overrides, code, expected_log in cases:
            with self.subTest(case=name):
                log = self.log_path()
                settings = s.base_settings(Log=log, **overrides)
                self.assertEqual(self.lib.send_record("x\r\n", settings), code)
                self.assertEqual(s.read_log(log), expected_log)


EXPECTED_WRONG_PASSWORD = s.log_lines(
    "SMTP SND : Res Rcv Ng-022\r\n", "SMTP SND : User + PassWord Ng-102\r\n",
    "SMTP Auth3認証 Miss-017")
EXPECTED_POP_LOG = s.log_lines(
    "POP3 BEFORE SMTP : Start-024\r\n", "POP3 BEFORE SMTP : Complete-038\r\n")
EXPECTED_REFUSED_RECIPIENT = s.log_lines("SMTP SND : Res Rcv Ng-022\r\n", "0-058\r\n")
