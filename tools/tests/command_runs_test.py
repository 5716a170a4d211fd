"""The tarnlet program run as a user runs it, one row per run: against
loopback peers that follow a script and record the exchange, with standard
input and standard error on pipes or on a pseudo-terminal.

The trace a run prints must be exactly the exchange the peers recorded, in
order, with the secrets masked; a failure must show the peer's own reply and
the command it answered; the status line must appear on a terminal only.

Usage: command_runs_test.py PROGRAM [EMULATOR]
"""
import hashlib
import hmac
import os
import pty
import re
import select
import socket
import subprocess
import sys
import tempfile
import threading
import time

PROGRAM = sys.argv[1]
EMULATOR = sys.argv[2:3]
WINDOWS = PROGRAM.lower().endswith(".exe")
SECRET = "s3cr et"
CHALLENGE = b"<1896.697170952@example.jp>"


def send(text):
    return ("send", text.encode())


LINE, DATA = ("line",), ("data",)


def pause(seconds):
    return ("pause", seconds)


def smtp_script(*middle, data_reply="250 queued"):
    return [send("220 peer ready\r\n"), LINE, send("250 hello\r\n"), *middle, LINE,
            send("250 sender ok\r\n"), LINE, send("250 rcpt ok\r\n"), LINE,
            send("354 go on\r\n"), DATA, send(data_reply + "\r\n"), LINE, send("221 bye\r\n")]


POP_SCRIPT = [send("+OK pop ready\r\n"), LINE, send("+OK\r\n"), LINE, send("+OK in\r\n"), LINE,
              send("+OK bye\r\n")]
APOP_SCRIPT = [send("+OK pop ready %s\r\n" % CHALLENGE.decode()), LINE, send("+OK in\r\n"), LINE,
               send("+OK bye\r\n")]
AUTH_587 = [send("250-peer\r\n250 AUTH LOGIN CRAM-MD5\r\n"), LINE,
            send("334 %s\r\n" % __import__("base64").b64encode(CHALLENGE).decode()), LINE,
            send("235 2.7.0 ok\r\n"), LINE, send("250 reset\r\n")]


class Peer:
    """One connection on 127.0.0.1, served by a thread along a script."""

    def __init__(self, script, port=0, slow=False):
        self.script, self.slow, self.events = script, slow, []
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        if slow:  # a small window, so the client's sends wait on our reads
            self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        self.listener.bind(("127.0.0.1", port))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        try:
            self.follow_script()
        except OSError as e:  # the run's own checks then fail on what is missing
            self.events.append(("E", str(e).encode()))

    def follow_script(self):
        self.listener.settimeout(60)
        try:
            conn, _ = self.listener.accept()
        except OSError:
            return
        conn.settimeout(60)
        pending = b""
        with conn:
            for step in self.script:
                if step[0] == "send":
                    conn.sendall(step[1])
                    self.events += [("S", line) for line in step[1].split(b"\r\n")[:-1]]
                elif step[0] == "pause":
                    time.sleep(step[1])
                else:
                    marker = b"\n" if step[0] == "line" else b"\r\n.\r\n"
                    while marker not in pending and not (step == DATA and pending == b".\r\n"):
                        piece = conn.recv(4096 if self.slow else 65536)
                        if not piece:
                            return
                        pending += piece
                        if self.slow and step == DATA:
                            time.sleep(0.002)
                    at = pending.index(marker) + len(marker)
                    if step == LINE:
                        self.events.append(("C", pending[:at - 2]))
                    else:
                        self.events.append(("D", pending[:at - 3]))
                    pending = pending[at:]
            while conn.recv(4096):
                pass

    def expected_trace(self, protocol, masks):
        lines = ["* connected to 127.0.0.1 port %d (%s)" % (self.port, protocol)]
        for kind, data in self.events:
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

    def content(self):
        return b"".join(data for kind, data in self.events if kind == "D")


def apop_digest():
    return hashlib.md5(CHALLENGE + SECRET.encode()).hexdigest()


def cram_response():
    import base64
    digest = hmac.new(SECRET.encode(), CHALLENGE, hashlib.md5).hexdigest()
    return base64.b64encode(("user " + digest).encode()).decode()


# name, extra arguments, standard input (bytes, or "tty"), standard error
# on a terminal, SMTP script, POP3 script, the SMTP port (0: any), whether
# the SMTP peer reads slowly, check
ROWS = []


def row(name, arguments, stdin=b"", tty_err=False, smtp=None, pop=None, port=0, slow=False):
    def add(check):
        ROWS.append((name, arguments, stdin, tty_err, smtp, pop, port, slow, check))
        return check
    return add


@row("a refused recipient shows the RCPT line and the peer's reply",
     ["--to", "x@example.jp"], smtp=[send("220 peer ready\r\n"), LINE, send("250 hello\r\n"),
                                      LINE, send("250 sender ok\r\n"), LINE,
                                      send("550 5.1.1 <x@example.jp>: Recipient address "
                                           "rejected\r\n"), LINE, send("221 bye\r\n")])
def refused(run, smtp, pop):
    assert run.status == 7, run.status
    at = [run.err.find(text) for text in
          ("tarnlet: result -7", "log lines of this call:", "the server's last reply:\n"
           "  C: RCPT TO: x@example.jp\n"
           "  S: 550 5.1.1 <x@example.jp>: Recipient address rejected\n")]
    assert -1 not in at and at == sorted(at), at
    assert "--auth login" not in run.err, run.err


@row("MAIL FROM refused with 530 without a login: the failure says to log in",
     ["--to", "x@example.jp"], port=587,
     smtp=[send("220 peer ready\r\n"), LINE, send("250 hello\r\n"), LINE,
           send("530 5.7.0 Must issue a STARTTLS command first\r\n"), LINE,
           send("221 bye\r\n")])
def login_needed(run, smtp, pop):
    assert run.status == 6, run.status
    at = [run.err.find(text) for text in
          ("tarnlet: result -6", "the server's last reply:\n"
           "  C: MAIL FROM: <me@example.jp>\n"
           "  S: 530 5.7.0 Must issue a STARTTLS command first\n",
           "tarnlet: the server wants a login before it takes mail: send with --auth login")]
    assert -1 not in at and at == sorted(at), (at, run.err)


@row("--trace of plain SMTP, with the body piped in", ["--trace"],
     stdin=b"piped text\n", smtp=smtp_script())
def trace_plain(run, smtp, pop):
    assert run.status == 0, run.status
    assert run.trace() == smtp.expected_trace("SMTP", {}), run.trace()
    assert b"\r\npiped text\r\n" in smtp.content(), smtp.content()


@row("--trace=full shows the content lines", ["--trace=full", "--empty-body"],
     smtp=smtp_script())
def trace_full(run, smtp, pop):
    assert run.status == 0, run.status
    content = smtp.content().decode().split("\r\n")[:-1]
    start = run.trace().index("S: 354 go on") + 1
    assert run.trace()[start:start + len(content) + 1] == ["C: " + line for line in content] + \
        ["C: ."], run.trace()


@row("--trace of SMTP AUTH CRAM-MD5 on port 587",
     ["--trace", "--auth", "cram-md5", "--user", "user", "--empty-body"],
     smtp=[send("220 peer ready\r\n"), LINE] + AUTH_587 + smtp_script()[3:], port=587)
@row("--auth login on port 587: the dialogue of cram-md5",
     ["--trace", "--auth", "login", "--user", "user", "--empty-body"],
     smtp=[send("220 peer ready\r\n"), LINE] + AUTH_587 + smtp_script()[3:], port=587)
def trace_587(run, smtp, pop):
    assert run.status == 0, run.status
    masks = {cram_response(): "(AUTH response, not shown)"}
    assert run.trace() == smtp.expected_trace("SMTP", masks), run.trace()
    assert cram_response() not in run.err
    client = [data.decode() for kind, data in smtp.events if kind == "C"]
    assert client == ["EHLO localhost", "AUTH CRAM-MD5", cram_response(), "RSET",
                      "MAIL FROM: <me@example.jp>", "RCPT TO: you@example.jp", "DATA",
                      "QUIT"], client


@row("--trace of POP before SMTP with USER/PASS",
     ["--trace", "--auth", "pop", "--user", "user", "--empty-body"],
     smtp=smtp_script(), pop=POP_SCRIPT)
def trace_pop(run, smtp, pop):
    assert run.status == 0, run.status
    masks = {"PASS " + SECRET: "PASS (password not shown)"}
    assert run.trace() == pop.expected_trace("POP3", masks) + smtp.expected_trace("SMTP", {}), \
        run.trace()


@row("--trace of POP before SMTP with APOP",
     ["--trace", "--auth", "pop", "--apop", "--user", "user", "--empty-body"],
     smtp=smtp_script(), pop=APOP_SCRIPT)
def trace_apop(run, smtp, pop):
    assert run.status == 0, run.status
    masks = {"APOP user " + apop_digest(): "APOP user (digest not shown)"}
    assert run.trace() == pop.expected_trace("POP3", masks) + smtp.expected_trace("SMTP", {}), \
        run.trace()
    assert apop_digest() not in run.err


@row("no --body with a terminal on standard input is refused", ["--to", "t@example.jp"],
     stdin="tty")
def no_body_on_terminal(run, smtp, pop):
    assert run.status == 64, run.status
    assert "--empty-body" in run.err and "pipe the text in" in run.err, run.err


@row("a status line on a terminal while a slow peer reads", ["--attach", "@big"],
     tty_err=True, smtp=smtp_script(), slow=True)
def progress(run, smtp, pop):
    assert run.status == 0, (run.status, run.err)
    assert run.err.lstrip("\r").startswith("tarnlet: connecting to 127.0.0.1 port "), \
        repr(run.err[:200])
    assert "\rtarnlet: sending the message: " in run.err, repr(run.err[-2000:])
    assert " kB of about " in run.err or " MB of about " in run.err, repr(run.err[-2000:])
    assert "\rtarnlet: waiting for the reply to the end of the message" in run.err
    assert run.err.rstrip(" ").endswith("\r"), "the line is not cleared: %r" % run.err[-200:]


@row("--quiet: no status line on a terminal", ["--quiet", "--attach", "@big"], tty_err=True,
     smtp=smtp_script(), slow=True)
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


def run_row(folder, name, arguments, stdin, tty_err, smtp_script, pop_script, port, slow, check):
    smtp = Peer(smtp_script, port, slow) if smtp_script else None
    pop = Peer(pop_script) if pop_script else None
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
