"""tarnlet.exe send with Japanese arguments and a Japanese attachment name,
run under Wine against a loopback server that records what arrives.

Under the Japanese ANSI code page (TARNLET_EXPECT_ACP=932) the message must
arrive with the Subject, the sender's name, the body and the attachment name
as sent. Under another code page the body and the attachment's path cannot be
read into it, and the command must say so (exit 65) instead of sending.

Usage: japanese_send_test.py EMULATOR PROGRAM
"""
import email
import email.policy
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "support"))
import mail_peer  # noqa: E402

EMULATOR, PROGRAM = sys.argv[1], sys.argv[2]
JAPANESE = os.environ.get("TARNLET_EXPECT_ACP") == "932"


def main():
    with tempfile.TemporaryDirectory() as folder:
        inbox = os.path.join(folder, "inbox")
        os.mkdir(inbox)
        # It stores a message before it answers the end of data.
        run = send(folder, str(mail_peer.MailPeer(inbox=inbox).port))
        check(run, inbox)


def send(folder, port):
    attachment = os.path.join(folder, "報告書.txt")
    with open(attachment, "wb") as f:
        f.write(b"monthly figures\r\n")
    body = os.path.join(folder, "body.txt")
    with open(body, "wb") as f:
        f.write("本文です。\r\n".encode("cp932"))
    arguments = [EMULATOR, PROGRAM, "send", "--server", "127.0.0.1", "--port", port,
                 "--from", "me@example.jp", "--to", "you@example.jp", "--subject", "月次報告",
                 "--from-name", "営業部", "--attach", attachment, "--body", body]
    return subprocess.run(arguments, capture_output=True, timeout=120)


def check(run, inbox):
    output = (run.stdout + run.stderr).decode("utf-8", "replace")
    if not JAPANESE:
        # The Shift-JIS body and the Japanese path do not fit this code page.
        assert run.returncode == 65, (run.returncode, output)
        assert not os.listdir(inbox), "sent under a code page that cannot hold the text"
        print("1 passed, 0 failed")
        return
    assert run.returncode == 0, (run.returncode, output)
    with open(os.path.join(inbox, "1.eml"), "rb") as f:
        message = email.message_from_bytes(f.read(), policy=email.policy.default)
    assert message["Subject"] == "月次報告", message["Subject"]
    assert message["From"].addresses[0].display_name == "営業部", message["From"]
    text, attached = list(message.iter_parts())
    content = text.get_content().replace("\r\n", "\n")
    assert content == "本文です。\n", repr(content)
    assert attached.get_filename() == "報告書.txt", attached.get_filename()
    assert attached.get_payload(decode=True) == b"monthly figures\r\n"
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
