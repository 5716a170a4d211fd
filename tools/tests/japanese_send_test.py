"""tarnlet.exe send with Japanese arguments and a Japanese attachment name,
run under Wine against a loopback server that records what arrives.

Under the Japanese ANSI code page (TARNLET_EXPECT_ACP=932) the message must
arrive with the Subject, the sender's name, the body and the attachment name
as sent. Under another code page the attachment's path cannot be passed to
the library, and the command must say so (exit 65) instead of sending.

Usage: japanese_send_test.py EMULATOR PROGRAM
"""
import base64
import email
import email.policy
import os
import socket
import subprocess
import sys
import tempfile
import threading

EMULATOR, PROGRAM = sys.argv[1], sys.argv[2]
JAPANESE = os.environ.get("TARNLET_EXPECT_ACP") == "932"


def serve(listener, received):
    connection, _ = listener.accept()
    stream = connection.makefile("rb")
    connection.sendall(b"220 ready\r\n")
    for line in stream:
        if line.startswith(b"DATA"):
            connection.sendall(b"354 go ahead\r\n")
            data = b""
            for data_line in stream:
                if data_line == b".\r\n":
                    break
                data += data_line
            received.append(data)
            connection.sendall(b"250 queued\r\n")
        elif line.startswith(b"QUIT"):
            connection.sendall(b"221 bye\r\n")
            break
        else:
            connection.sendall(b"250 ok\r\n")
    connection.close()


def main():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    listener.settimeout(60)
    received = []
    server = threading.Thread(target=serve, args=(listener, received), daemon=True)
    server.start()
    with tempfile.TemporaryDirectory() as folder:
        attachment = os.path.join(folder, "報告書.txt")
        with open(attachment, "wb") as f:
            f.write(b"monthly figures\r\n")
        body = os.path.join(folder, "body.txt")
        with open(body, "wb") as f:
            f.write("本文です。\r\n".encode("cp932"))
        arguments = [EMULATOR, PROGRAM, "send", "--server", "127.0.0.1",
                     "--port", str(listener.getsockname()[1]), "--from", "me@example.jp",
                     "--to", "you@example.jp", "--subject", "月次報告", "--from-name", "営業部",
                     "--attach", attachment, "--body", body]
        run = subprocess.run(arguments, capture_output=True, timeout=120)
    output = (run.stdout + run.stderr).decode("utf-8", "replace")
    if not JAPANESE:
        assert run.returncode == 65, (run.returncode, output)
        assert "cannot hold" in output, output
        print("1 passed, 0 failed")
        return
    assert run.returncode == 0, (run.returncode, output)
    server.join(30)
    assert len(received) == 1, received
    message = email.message_from_bytes(received[0], policy=email.policy.default)
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
