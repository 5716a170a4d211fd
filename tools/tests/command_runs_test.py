"""The tarnlet program run as a user runs it, one row per run: against
loopback peers that follow a script and record the exchange, with standard
input and standard error on pipes or on a pseudo-terminal.

The trace a run prints must be exactly the exchange the peers recorded, in
order, with the secrets masked; a failure must show the peer's own reply and
the command it answered; the status line must appear on a terminal only.

Usage: command_runs_test.py PROGRAM [EMULATOR]
"""
import hashlib
import os
import pty
import re
import select
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "support"))
import mail_peer  # noqa: E402

PROGRAM = sys.argv[1]
EMULATOR = sys.argv[2:3]
WINDOWS = PROGRAM.lower().endswith(".exe")
USER, SECRET = "user", "s3cr et"


def expected_trace(peer, protocol, masks):
    """The trace a run must print for what peer recorded."""
    lines = ["* connected to 127.0.0.1 port %d (%s)" % (peer.port, protocol)]
    for kind, data in peer.events:
        text = data.decode("ascii")
        if kind == "S":
            lines.append("S: " + text)
        elif kind == "C":
            lines.append("C: " + masks.get(text, text))
        elif kind == "D":
            lines += ["C: (message content: %d bytes in %d lines)" % (len(data),
                                                                      data.count(b"\n")),
                      "C: ."]
        else:
            lines.append("peer: " + text)
    return lines + ["* closed the %s connection" % protocol]


def content(peer):
    return b"".join(data for kind, data in peer.events if kind == "D")


def apop_digest():
    return hashlib.md5((mail_peer.CHALLENGE + SECRET).encode()).hexdigest()


def cram_response():
    answer = USER + " " + mail_peer.cram_digest(mail_peer.CHALLENGE, SECRET)
    return __import__("base64").b64encode(answer.encode()).decode()


# name, extra arguments, standard input (bytes, or "tty"), standard error
# on a terminal, the SMTP peer's options (None: no peer), the POP3 peer's
# options (None: no peer), check
ROWS = []
SMTP_587 = dict(port=587, mechanisms="LOGIN CRAM-MD5")


def row(name, arguments, stdin=b"", tty_err=False, smtp=None, pop=None):
    def add(check):
        ROWS.append((name, arguments, stdin, tty_err, smtp, pop, check))
        return check
    return add


@row("a refused recipient shows the RCPT line and the peer's reply",
     ["--to", "x@example.jp"],
     smtp=dict(replies={"RCPT": "550 5.1.1 <x@example.jp>: Recipient address rejected"}))
def refused(run, smtp, pop):
    assert run.status == 7, run.status
    at = [run.err.find(text) for text in
          ("tarnlet: result -7", "log lines of this call:", "the server's last reply:\n"
           "  C: RCPT TO: x@example.jp\n"
           "  S: 550 5.1.1 <x@example.jp>: Recipient address rejected\n")]
    assert -1 not in at and at == sorted(at), at
    assert "--auth login" not in run.err, run.err


@row("MAIL FROM refused with 530 without a login: the failure says to log in",
     ["--to", "x@example.jp"],
     smtp=dict(port=587, replies={"MAIL": "530 5.7.0 Must issue a STARTTLS command first"}))
def login_needed(run, smtp, pop):
    assert run.status == 6, run.status
    at = [run.err.find(text) for text in
          ("tarnlet: result -6", "the server's last reply:\n"
           "  C: MAIL FROM: <me@example.jp>\n"
           "  S: 530 5.7.0 Must issue a STARTTLS command first\n",
           "tarnlet: the server wants a login before it takes mail: send with --auth login")]
    assert -1 not in at and at == sorted(at), (at, run.err)


@row("--trace of plain SMTP, with the body piped in", ["--trace"],
     stdin=b"piped text\n", smtp={})
def trace_plain(run, smtp, pop):
    assert run.status == 0, run.status
    assert run.trace() == expected_trace(smtp, "SMTP", {}), run.trace()
    assert b"\r\npiped text\r\n" in content(smtp), content(smtp)


@row("--trace=full shows the content lines", ["--trace=full", "--empty-body"],
     smtp={})
def trace_full(run, smtp, pop):
    assert run.status == 0, run.status
    lines = content(smtp).decode().split("\r\n")[:-1]
    start = run.trace().index("S: 354 go on") + 1
    assert run.trace()[start:start + len(lines) + 1] == ["C: " + line for line in lines] + \
        ["C: ."], run.trace()


@row("--trace of SMTP AUTH CRAM-MD5 on port 587",
     ["--trace", "--auth", "cram-md5", "--user", USER, "--empty-body"], smtp=SMTP_587)
@row("--auth login on port 587: the dialogue of cram-md5",
     ["--trace", "--auth", "login", "--user", USER, "--empty-body"], smtp=SMTP_587)
def trace_587(run, smtp, pop):
    assert run.status == 0, run.status
    masks = {cram_response(): "(AUTH response, not shown)"}
    assert run.trace() == expected_trace(smtp, "SMTP", masks), run.trace()
    assert cram_response() not in run.err
    client = [data.decode() for kind, data in smtp.events if kind == "C"]
    assert client == ["EHLO localhost", "AUTH CRAM-MD5", cram_response(), "RSET",
                      "MAIL FROM: <me@example.jp>", "RCPT TO: you@example.jp", "DATA",
                      "QUIT"], client


@row("--trace of POP before SMTP with USER/PASS",
     ["--trace", "--auth", "pop", "--user", USER, "--empty-body"], smtp={}, pop={})
def trace_pop(run, smtp, pop):
    assert run.status == 0, run.status
    masks = {"PASS " + SECRET: "PASS (password not shown)"}
    assert run.trace() == expected_trace(pop, "POP3", masks) + expected_trace(smtp, "SMTP", {}), \
        run.trace()


@row("--trace of POP before SMTP with APOP",
     ["--trace", "--auth", "pop", "--apop", "--user", USER, "--empty-body"], smtp={}, pop={})
def trace_apop(run, smtp, pop):
    assert run.status == 0, run.status
    masks = {"APOP user " + apop_digest(): "APOP user (digest not shown)"}
    assert run.trace() == expected_trace(pop, "POP3", masks) + expected_trace(smtp, "SMTP", {}), \
        run.trace()
    assert apop_digest() not in run.err


@row("no --body with a terminal on standard input is refused", ["--to", "t@example.jp"],
     stdin="tty")
def no_body_on_terminal(run, smtp, pop):
    assert run.status == 64, run.status
    assert "--empty-body" in run.err and "pipe the text in" in run.err, run.err


@row("a status line on a terminal while a slow peer reads", ["--attach", "@big"],
     tty_err=True, smtp=dict(slow=True))
def progress(run, smtp, pop):
    assert run.status == 0, (run.status, run.err)
    assert run.err.lstrip("\r").startswith("tarnlet: connecting to 127.0.0.1 port "), \
        repr(run.err[:200])
    assert "\rtarnlet: sending the message: " in run.err, repr(run.err[-2000:])
    assert " kB of about " in run.err or " MB of about " in run.err, repr(run.err[-2000:])
    assert "\rtarnlet: waiting for the reply to the end of the message" in run.err
    assert run.err.rstrip(" ").endswith("\r"), "the line is not cleared: %r" % run.err[-200:]


@row("--quiet: no status line on a terminal", ["--quiet", "--attach", "@big"], tty_err=True,
     smtp=dict(slow=True))
def quiet(run, smtp, pop):
    assert run.status == 0, (run.status, run.err)
    assert "tarnlet:" not in run.err, repr(run.err)


class Run:
    def __init__(self, status, out, err):
        self.status, self.out, self.err = status, out, err

    def trace(self):
        return [line for line in self.err.splitlines() if line.startswith(("C: ", "S: ", "* "))]


def as_text(terminal_output):
    """What a terminal shows, for the Windows console that Wine draws with
    escape sequences: cursor moves right become spaces, the rest goes."""
    text = re.sub(r"\x1b\[(\d*)C", lambda m: " " * int(m.group(1) or 1), terminal_output)
    return re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", text)


def read_all(fd, into):
    while True:
        try:
            ready, _, _ = select.select([fd], [], [], 0.1)
            if ready:
                piece = os.read(fd, 65536)
                if not piece:
                    return
                into.append(piece)
        except OSError:  # the other side closed (EIO)
            return


def peer(options, **more):
    """A peer that checks the run's user and password."""
    if options is None:
        return None
    return mail_peer.MailPeer(user=USER, password=SECRET, **dict(options, **more))


def run_row(folder, name, arguments, stdin, tty_err, smtp_options, pop_options, check):
    smtp, pop = peer(smtp_options), peer(pop_options, pop=True)
    slow = smtp is not None and smtp.slow
    command = EMULATOR + [PROGRAM, "send", "--server", "127.0.0.1", "--from", "me@example.jp",
                          "--port", str(smtp.port if smtp else 1)]
    if "--to" not in arguments:
        command += ["--to", "you@example.jp"]
    if pop:
        command += ["--pop-server", "127.0.0.1", "--pop-port", str(pop.port)]
    command += [os.path.join(folder, "big.bin") if a == "@big" else a for a in arguments]
    if slow and "--empty-body" not in arguments:
        stdin = b"text\n"
    env = dict(os.environ, TARNLET_PASSWORD=SECRET)
    masters, err_chunks, closers = [], [], []
    stdin_arg = subprocess.PIPE
    if stdin == "tty":
        master, slave = pty.openpty()
        stdin_arg, masters = slave, [master]
        closers.append(slave)
    err_arg = subprocess.PIPE
    if tty_err:
        master, slave = pty.openpty()
        err_arg = slave
        closers.append(slave)
        reader = threading.Thread(target=read_all, args=(master, err_chunks), daemon=True)
        masters.append(master)
    child = subprocess.Popen(command, stdin=stdin_arg, stdout=subprocess.PIPE, stderr=err_arg,
                             env=env)
    for fd in closers:
        os.close(fd)
    if tty_err:
        reader.start()
    out, err = child.communicate(None if stdin == "tty" else stdin, timeout=240)
    if tty_err:
        reader.join(10)
        err = as_text(b"".join(err_chunks).decode("utf-8", "replace")).encode()
    for fd in masters:
        os.close(fd)
    text = err.decode("utf-8", "replace").replace("\r\n", "\n")
    run = Run(child.returncode, out.decode("utf-8", "replace"), text)
    if os.environ.get("TARNLET_SHOW_RUNS"):
        print(repr(run.err))
    if not tty_err:
        assert "\r" not in run.err, "a status line without a terminal: %r" % run.err
    for p in (smtp, pop):
        if p:
            p.wait()
    check(run, smtp, pop)


def main():
    failed = 0
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "big.bin"), "wb") as f:
            f.write(os.urandom(3 << 20))
        for name, *rest in ROWS:
            try:
                run_row(folder, name, *rest)
                print("ok  ", name)
            except Exception as e:  # noqa: BLE001 - every row reports
                failed += 1
                print("FAIL", name, "\n    ", repr(e)[:3000])
    print("%d passed, %d failed" % (len(ROWS) - failed, failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
