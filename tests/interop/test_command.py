"""The tarnlet command's oauth verbs against the local identity provider
and the OAuth listeners of Postfix, on Linux."""
import os
import re
import socket
import subprocess
import threading
import unittest
import urllib.request

import interop_support as s


class CommandOauthTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tarnlet = os.environ.get("INTEROP_TARNLET", "")
        if not os.path.exists(cls.tarnlet):
            raise unittest.SkipTest("no tarnlet command built")
        cls.folder = os.path.join(s.WORK, "command")
        os.makedirs(cls.folder, exist_ok=True)
        cls.env = dict(os.environ, TARNLET_OAUTH_FILE=os.path.join(cls.folder, "oauth.ini"),
                       XDG_STATE_HOME=os.path.join(cls.folder, "state"))

    def run_tarnlet(self, *args, stdin="", status=0):
        done = subprocess.run([self.tarnlet, *args], input=stdin, capture_output=True, text=True,
                              env=self.env, timeout=120)
        self.assertEqual(done.returncode, status, done.stdout + done.stderr)
        return done.stdout, done.stderr

    def app_profile(self, name, host):
        self.run_tarnlet("oauth", "add", name, "--server", host, "--user", s.USER,
                         "--token-url", s.TOKEN_URL, "--client-id", "tarnlet-app",
                         "--client-secret-file", "-", "--scope", "mail.send",
                         stdin="app-secret-1\n")

    def test_add_list_test_send_remove(self):
        self.app_profile("app", s.OAUTH_HOST)
        out, _ = self.run_tarnlet("oauth", "list")
        self.assertIn("[app] tester at %s, client credentials, %s, secret set" %
                      (s.OAUTH_HOST, s.TOKEN_URL), out)
        self.assertEqual(os.stat(self.env["TARNLET_OAUTH_FILE"]).st_mode & 0o777, 0o600)
        logs = s.log_size("postfix.log")
        out, _ = self.run_tarnlet("oauth", "test", "app")
        self.assertRegex(out, r"logged in to %s port 587 as tester with a token from profile "
                              r"\"app\" \(expires in 3\d{3} s\); no message was sent" %
                         re.escape(s.OAUTH_HOST))
        self.assertIn(b"ehlo=2 starttls=1 auth=1 rset=1 quit=1 commands=6",
                      s.log_since("postfix.log", logs, wait_for=b"commands="))
        before = s.snapshot(["alice"])
        _, trace = self.run_tarnlet(
            "send", "--server", s.OAUTH_HOST, "--port", "465", "--auth", "login", "--user",
            s.USER, "--from", "sender@" + s.DOMAIN, "--to", "alice@" + s.DOMAIN, "--subject",
            "command", "--trace", "--quiet", stdin="sent by the command\n")
        self.assertRegex(trace, r"C: AUTH XOAUTH2 \(token from profile app, expires in \d+ s\)")
        self.assertNotIn("eyJ", trace)
        self.assertIn(b"sent by the command", s.wait_for_new_mail(self, before)["alice"])
        self.run_tarnlet("oauth", "remove", "app")
        out, _ = self.run_tarnlet("oauth", "list")
        self.assertNotIn("[app]", out)

    def test_open_to_others_is_named(self):
        self.app_profile("shared", s.OAUTH_HOST)
        os.chmod(self.env["TARNLET_OAUTH_FILE"], 0o644)
        out, _ = self.run_tarnlet("oauth", "list")
        self.assertIn("refused: other users can read it (chmod 600 %s)" %
                      self.env["TARNLET_OAUTH_FILE"], out)
        _, err = self.run_tarnlet("oauth", "test", "shared", status=13)
        self.assertIn("SMTP SND : OAuth File Readable By Others Ng-119", err)
        os.chmod(self.env["TARNLET_OAUTH_FILE"], 0o600)
        self.run_tarnlet("oauth", "remove", "shared")

    def test_login_with_the_device_code(self):
        out, _ = self.run_tarnlet(
            "oauth", "login", "device", "--server", s.OAUTH_HOST, "--user", s.USER,
            "--token-url", s.TOKEN_URL, "--device-url", "https://idp.%s/devicecode" % s.DOMAIN,
            "--client-id", "tarnlet-delegated", "--client-secret-file", "-", "--scope", "mail",
            stdin="delegated-secret\n")
        self.assertRegex(out, r"open https://idp\.interop\.test/device and enter the code TARN-")
        out, _ = self.run_tarnlet("oauth", "list")
        self.assertIn("[device] tester at %s, refresh token" % s.OAUTH_HOST, out)
        self.run_tarnlet("oauth", "test", "device", "--port", "465")
        self.run_tarnlet("oauth", "remove", "device")

    def test_login_in_a_browser_with_pkce(self):
        # The test is the browser: it opens the address the command shows,
        # and the provider's consent sends it on to the command's port.
        process = subprocess.Popen(
            [self.tarnlet, "oauth", "login", "browser", "--server", s.BEARER_HOST, "--user",
             s.USER, "--token-url", s.TOKEN_URL, "--authorize-url",
             "https://idp.%s/authorize" % s.DOMAIN, "--client-id", "tarnlet-public",
             "--scope", "https://mail.google.com/"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
            env=self.env)
        process.stdout.readline()
        url = process.stdout.readline().strip()
        self.assertIn("code_challenge_method=S256", url)
        # A browser's preconnect: a connection that never sends a request.
        port = int(re.search(r"127\.0\.0\.1%3A(\d+)", url).group(1))
        socket.create_connection(("127.0.0.1", port)).close()
        context = s.tls_context()
        threading.Thread(target=lambda: urllib.request.urlopen(url, context=context).read(),
                         daemon=True).start()
        out, err = process.communicate(timeout=60)
        self.assertEqual(process.returncode, 0, out + err)
        self.assertIn('signed in: profile "browser"', out)
        self.run_tarnlet("oauth", "test", "browser")
        self.run_tarnlet("oauth", "remove", "browser")
