"""The Linux shared library against real servers, through its exports."""
import ctypes
import json
import os
import re
import smtplib
import subprocess
import sys
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
        # The token cache of this process and of the processes it starts.
        os.environ["XDG_STATE_HOME"] = os.path.join(cls.folder, "state")

    def log_path(self):
        LinuxInteropTest.counter += 1
        return os.path.join(self.folder, "call%d.log" % self.counter)

    def full_message(self, attachments=None, **overrides):
        return s.base_settings(
            Subject=s.SUBJECT, MyMailAddressComt=s.COMMENT, Address=s.TO, Cc=s.CC,
            Bcc=s.BCC, AppendFile=";".join(p for p, _, _ in attachments or self.attachments),
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
        attachments = self.attachments + [s.japanese_attachment(self.folder)]
        settings = self.full_message(attachments, SMTPPortNo=s.CAPTURE_PORT, Log=log)
        ini = os.path.join(self.folder, "capture.ini")
        self.assertEqual(self.lib.send_ini(s.BODY, settings, ini), 0)
        raw, envelope = s.read_capture(number)
        s.check_message(self, raw, attachments)
        self.assertEqual(envelope["rcpt_tos"],
                         [n + "@" + s.DOMAIN for n in s.ALL_RECIPIENTS])
        self.assertEqual(envelope["mail_from"], "sender@" + s.DOMAIN)
        self.assertIsNone(s.read_log(log))

    def test_long_body_lines_survive_a_relay(self):
        # 1001 kanji: 2008 octets in ISO-2022-JP, more than a relay passes.
        kanji = ("長い行" * 334)[:1001]
        body = "前の行\r\n" + kanji + "\r\n" + "x" * 1500 + "\r\n.後の行\r\n"
        # Broken where needed only: 496 kanji or 998 ASCII bytes to a line.
        arrives = ("前の行\r\n" + kanji[:496] + "\r\n" + kanji[496:992] + "\r\n" +
                   kanji[992:] + "\r\n" + "x" * 998 + "\r\n" + "x" * 502 + "\r\n.後の行\r\n")
        log = self.log_path()
        number = s.capture_count() + 1
        memo = self.attachments[:1]
        settings = s.base_settings(Address=RELAYED, Subject=s.SUBJECT,
                                   MyMailAddressComt=s.COMMENT, AppendFile=memo[0][0], Log=log)
        self.assertEqual(self.lib.send_record(body, settings), 0)
        raw, envelope = s.wait_for_capture(number)
        self.assertEqual(envelope["rcpt_tos"], [RELAYED])
        self.assertLessEqual(max(len(line) for line in raw.split(b"\r\n")), 998)
        s.check_message(self, raw, memo, to=RELAYED, cc="", body=arrives)
        self.assertIsNone(s.read_log(log))

    def test_folded_fields_and_a_text_holding_the_delimiter_read_as_sent(self):
        # 60 addresses: a To field of 1,082 octets, folded. The costliest
        # Subject and sender name: one word each would pass 998 octets.
        to = ";".join("r%02d@%s" % (i, s.DOMAIN) for i in range(60))
        costly = "ｱz" * 127 + "ｱ"
        body = ("--+-+-+-interop-+-+-+\r\nContent-Type: text/html\r\n\r\n"
                "<b>forged part</b>\r\n" + s.BODY)
        log = self.log_path()
        number = s.capture_count() + 1
        attachments = self.attachments[:1] + [s.japanese_attachment(self.folder)]
        settings = s.base_settings(SMTPPortNo=s.CAPTURE_PORT, Address=to, Subject=costly,
                                   MyMailAddressComt=costly, Log=log,
                                   AppendFile=";".join(p for p, _, _ in attachments))
        self.assertEqual(self.lib.send_record(body, settings), 0)
        raw, envelope = s.read_capture(number)
        self.assertEqual(len(envelope["rcpt_tos"]), 60)
        self.assertLessEqual(max(len(line) for line in raw.split(b"\r\n")), 998)
        s.check_message(self, raw, attachments, to=to, cc="", subject=costly, comment=costly,
                        body=body)
        self.assertIsNone(s.read_log(log))

    def test_unbroken_long_line_is_damaged_by_the_relay(self):
        # What the relay makes of such a line when it is sent as it stands:
        # the mend above is what keeps the text.
        kanji = ("長い行" * 334)[:1001]
        raw = ("From: sender@%s\r\nTo: %s\r\nSubject: control\r\nMIME-Version: 1.0\r\n"
               "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n" % (s.DOMAIN, RELAYED)
               ).encode() + kanji.encode("iso-2022-jp") + b"\r\n"
        number = s.capture_count() + 1
        with smtplib.SMTP("127.0.0.1", s.SMTP_PORT) as client:
            client.sendmail("sender@" + s.DOMAIN, [RELAYED], raw)
        relayed, _ = s.wait_for_capture(number)
        text = s.email.message_from_bytes(relayed, policy=s.email.policy.default)
        decoded = text.get_payload(decode=True).decode("iso-2022-jp", "replace")
        self.assertNotEqual(decoded.replace("\r\n", "").replace("\n", ""), kanji)

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

    def test_tls_submission_delivers(self):
        for name, overrides, mailbox, mechanism, expected_log in TLS_ROWS:
            with self.subTest(case=name):
                log = self.log_path()
                before = s.snapshot([mailbox])
                logs = s.log_size("postfix.log"), s.log_size("dovecot.log")
                settings = s.base_settings(
                    Subject=s.SUBJECT, MyMailAddressComt=s.COMMENT,
                    Address=mailbox + "@" + s.DOMAIN, AppendFile=self.attachments[0][0],
                    Log=log, **overrides)
                self.assertEqual(self.lib.send_record(s.BODY, settings), 0)
                raw = s.wait_for_new_mail(self, before)[mailbox]
                s.check_message(self, raw, self.attachments[:1], to=settings["Address"], cc="")
                s.check_tls_delivery(self, raw, mechanism, *logs, pop3s=expected_log is not None)
                self.assertEqual(s.read_log(log), expected_log)

    def test_the_c_example_of_the_docs_logs_in_from_the_environment(self):
        # docs/hosts.md's C example as a user builds it, only its recipients
        # made mailboxes here: with TARNLET_USER and TARNLET_PASSWORD set it
        # sends on 465 and on 587.
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        with open(os.path.join(root, "docs", "hosts.md"), encoding="utf-8") as f:
            blocks = [b for b in re.findall(r"```c\n(.*?)```", f.read(), re.S) if "int main(" in b]
        folder = os.path.join(self.folder, "docs-example")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "send.c"), "w", encoding="utf-8") as f:
            f.write(blocks[0].replace('"yamada@example.jp;sato@example.jp"',
                                      '"alice@%s;bob@%s"' % (s.DOMAIN, s.DOMAIN)))
        library = os.environ["INTEROP_LINUX_SO"]
        subprocess.run(["cc", "-std=c11", "-Wall", "-Werror", "-I", os.path.join(root, "include"),
                        "send.c", library, "-Wl,-rpath," + os.path.dirname(library), "-o", "send"],
                       cwd=folder, check=True)
        env = dict(os.environ, TARNLET_USER=s.USER, TARNLET_PASSWORD=s.PASSWORD)
        for port in (s.SMTPS_PORT, s.SUBMISSION_PORT):
            with self.subTest(port=port):
                before = s.snapshot(["alice", "bob"])
                logs = s.log_size("postfix.log"), s.log_size("dovecot.log")
                run = subprocess.run(["./send", s.TLS_HOST, str(port)], cwd=folder, env=env,
                                     capture_output=True, text=True, timeout=300)
                self.assertEqual(run.stdout, "sent\n", run.stdout + run.stderr)
                raw = s.wait_for_new_mail(self, before)["bob"]
                self.assertIn(b"the report is attached", raw)
                s.check_tls_delivery(self, raw, "PLAIN", *logs, pop3s=False)
    def oauth_settings(self, host, port, mailbox, log, password="not-sent"):
        return s.base_settings(Kind=1, SMTPServerAddress=host, SMTPPortNo=port, Password=password,
                               Subject=s.SUBJECT, MyMailAddressComt=s.COMMENT,
                               Address=(mailbox or "erin") + "@" + s.DOMAIN,
                               AppendFile=self.attachments[0][0], Log=log)

    def test_oauth_submission(self):
        def call(settings, profile):
            os.environ["TARNLET_OAUTH_FILE"] = profile
            log = settings["Log"] = self.log_path()
            return self.lib.send_record(s.BODY, settings), s.read_log(log)

        s.check_oauth_rows(self, lambda: os.path.join(self.folder, "oauth%d.ini" % self.counter),
                           call, self.attachments)
        del os.environ["TARNLET_OAUTH_FILE"]

    def test_oauth_two_calls_in_one_process_make_one_token_request(self):
        os.environ["TARNLET_OAUTH_FILE"] = s.write_profile(
            os.path.join(self.folder, "oauth-twice.ini"), s.OAUTH_HOST)
        before = s.snapshot(["bob"])
        tokens = len(s.idp_requests(path="/token", client="tarnlet-app"))
        for n in (1, 2):
            settings = self.oauth_settings(s.OAUTH_HOST, s.SMTPS_PORT, "bob", self.log_path())
            self.assertEqual(self.lib.send_record("call %d\r\n" % n, settings), 0)
            s.wait_for_new_mail(self, before)
            before = s.snapshot(["bob"])
        self.assertEqual(len(s.idp_requests(path="/token", client="tarnlet-app")), tokens + 1)
        del os.environ["TARNLET_OAUTH_FILE"]

    def test_oauth_refresh_token_rotates_across_processes(self):
        profile = s.write_profile(os.path.join(self.folder, "oauth-rotate.ini"), s.OAUTH_HOST,
                                  ClientId="tarnlet-delegated", ClientSecret="delegated-secret",
                                  RefreshToken=s.delegated_refresh_token())
        refreshes = len(s.idp_requests(grant="refresh_token"))
        for n in (1, 2):
            with self.subTest(process=n):
                before = s.snapshot(["carol"])
                log = self.log_path()
                settings = self.oauth_settings(s.OAUTH_HOST, s.SUBMISSION_PORT, "carol", log)
                code = run_in_new_process(dict(settings, Subject="rotation %d" % n), profile)
                self.assertEqual((code, s.read_log(log)), (0, None))
                s.wait_for_new_mail(self, before)
        # Each process used the token the one before it got: the first one
        # the profile's, which the endpoint refuses from now on.
        self.assertEqual(len(s.idp_requests(grant="refresh_token")), refreshes + 2)
        state = os.path.join(os.environ["XDG_STATE_HOME"], "tarnlet")
        caches = [f for f in os.listdir(state) if f.endswith(".ini")]
        self.assertEqual(len(caches), 1)
        self.assertEqual(os.stat(os.path.join(state, caches[0])).st_mode & 0o777, 0o600)

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


def run_in_new_process(settings, profile):
    """One Tarnlet1 call in a process of its own with profile; its result."""
    script = ("import json, os, sys; sys.path.insert(0, %r); import test_linux; "
              "lib = test_linux.LinuxLibrary(os.environ['INTEROP_LINUX_SO']); "
              "print(lib.send_record('in a new process\\r\\n', json.loads(sys.argv[1])))"
              % os.path.dirname(os.path.abspath(__file__)))
    done = subprocess.run([sys.executable, "-c", script, json.dumps(settings)],
                          env=dict(os.environ, TARNLET_OAUTH_FILE=profile),
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return int(done.stdout.strip())


RELAYED = "reader@relay.test"
EXPECTED_POP_LOG = s.log_lines(
    "POP3 BEFORE SMTP : Start-024\r\n", "POP3 BEFORE SMTP : Complete-038\r\n")
# name, settings, mailbox, mechanism the server logs (None: no login), log
TLS_ROWS = [
    ("465 with PLAIN", dict(Kind=1, SMTPPortNo=s.SMTPS_PORT, SMTPServerAddress=s.TLS_HOST),
     "alice", "PLAIN", None),
    ("587 STARTTLS with PLAIN",
     dict(Kind=1, SMTPPortNo=s.SUBMISSION_PORT, SMTPServerAddress=s.TLS_HOST), "bob", "PLAIN",
     None),
    ("587 STARTTLS with LOGIN only",
     dict(Kind=1, SMTPPortNo=s.SUBMISSION_PORT, SMTPServerAddress=s.LOGIN_ONLY_HOST), "carol",
     "LOGIN", None),
    ("Kind 0 on 465", dict(Kind=0, SMTPPortNo=s.SMTPS_PORT, SMTPServerAddress=s.TLS_HOST),
     "dave", None, None),
    ("Kind 2 with POP3S and 465",
     dict(Kind=2, POP3PortNo=s.POP3S_PORT, POP3ServerAddress=s.TLS_HOST, SMTPPortNo=s.SMTPS_PORT,
          SMTPServerAddress=s.TLS_HOST), "erin", None, EXPECTED_POP_LOG),
]
EXPECTED_WRONG_PASSWORD = s.log_lines(
    "SMTP SND : Res Rcv Ng-022\r\n", "SMTP SND : User + PassWord Ng-102\r\n",
    "SMTP Auth3認証 Miss-017")
EXPECTED_REFUSED_RECIPIENT = s.log_lines("SMTP SND : Res Rcv Ng-022\r\n", "0-058\r\n")
