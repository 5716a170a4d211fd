"""The one scripted SMTP and POP3 peer of the tests, the demo, the package
check and the benchmark: a loopback server in clear text, in TLS from the
connect or after STARTTLS, answering from a table of replies that a test
overrides by step, recording every byte each way (in clear and inside TLS),
cutting what it sends into TLS records and segments as asked.

Imported, MailPeer serves one connection (or every one); from a shell:
    mail_peer.py serve [--host H] [--port N] [--inbox DIR] [--name NAME]
        accepts every message; message n goes to DIR/n.eml (as received,
        dot-stuffing undone) and DIR/n.json (mail_from, rcpt_tos). Prints
        "ready on H port N" once it listens (port 0: the system picks).
    mail_peer.py front start DIR [EMULATOR TRUST_PROGRAM] | front stop DIR
        the TLS front the C++ tests put before their own peers: a test CA
        and a certificate for localhost and 127.0.0.1 in DIR (trusted in the
        emulator's Root store with one), its control port in DIR/port.
A test sends the control port "FRONT <peer port> [option...]" and reads the
port of a front for one connection: TLS towards the client, clear text
towards the peer, every byte passed on as it comes; the peer's close ends TLS
with close_notify, its reset resets the client. Options:
    starttls     clear text until the client's STARTTLS and the peer's 220
    lines        each line a TLS record of its own, one piece's records in
                 one write (MailPeer: cut)
    drip         the TLS bytes in writes of 1 to 7 bytes (MailPeer: cut)
    slow         the client read slowly, through a small buffer
    ask-cert, demand-cert   a client certificate asked for, or demanded
    tickets=N    TLS 1.3: N session tickets after the handshake
    tls12        TLS 1.2 at most
"""
import base64
import hashlib
import hmac
import json
import os
import random
import select
import signal
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time

CHALLENGE = "<1896.697170952@example.jp>"  # APOP's greeting and CRAM-MD5's
SMTP_REPLIES = {
    "greet": "220 {name} ready", "HELO": "250 {name}", "STARTTLS": "220 go ahead",
    "AUTH": "235 ok", "AUTH failed": "535 5.7.8 authentication failed",
    "MAIL": "250 sender ok", "RCPT": "250 rcpt ok", "DATA": "354 go on", "END": "250 queued",
    "RSET": "250 reset", "NOOP": "250 ok", "QUIT": "221 bye", "other": "500 unknown command",
}
POP_REPLIES = {
    "greet": "+OK pop ready {challenge}", "USER": "+OK", "PASS": "+OK in", "APOP": "+OK in",
    "login failed": "-ERR login refused", "QUIT": "+OK bye", "other": "-ERR unknown command",
}


# --- certificates ------------------------------------------------------------

def openssl(folder, *args):
    subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=folder)


def make_ca(folder, name, common_name):
    openssl(folder, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key",
            "-out", name + ".pem", "-days", "3", "-subj", "/CN=" + common_name)


def make_leaf(folder, name, ca, dns="localhost", ip=None, days="2"):
    with open(os.path.join(folder, name + ".ext"), "w") as f:
        f.write("subjectAltName=DNS:%s%s\nbasicConstraints=CA:FALSE\n"
                % (dns, ",IP:" + ip if ip else ""))
    openssl(folder, "req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out",
            name + ".csr", "-subj", "/CN=" + dns)
    openssl(folder, "x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key",
            "-CAcreateserial", "-days", days, "-extfile", name + ".ext", "-out", name + ".pem")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def trust_under_wine(folder, emulator, trust_program):
    """folder's ca trusted in the Root store of the emulator's prefix."""
    der = os.path.join(folder, "ca.der")
    with open(os.path.join(folder, "ca.pem")) as f, open(der, "wb") as out:
        out.write(ssl.PEM_cert_to_DER_cert(f.read()))
    subprocess.run([emulator, trust_program, windows_path(der)], check=True, timeout=120)


def server_context(folder, leaf, oldest=None, newest=None, client_certificate=None,
                   tickets=None):
    """A server's TLS context for folder's leaf; client_certificate "ask" or
    "demand" (signed by folder's ca); oldest lets old versions be spoken."""
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if oldest:
        ctx.set_ciphers("ALL:@SECLEVEL=0")
        ctx.minimum_version = oldest
    if newest:
        ctx.maximum_version = newest
    ctx.load_cert_chain(os.path.join(folder, leaf + ".pem"), os.path.join(folder, leaf + ".key"))
    if client_certificate:
        ctx.load_verify_locations(os.path.join(folder, "ca.pem"))
        ctx.verify_mode = ssl.CERT_REQUIRED if client_certificate == "demand" else ssl.CERT_OPTIONAL
    if tickets is not None:
        ctx.num_tickets = tickets
    return ctx


def listen(host, port, slow=False, backlog=1):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if slow:  # a small window, so the client's sends wait on our reads
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    listener.bind((host, port))
    listener.listen(backlog)
    return listener


def drain(sock):
    """Reads (and drops) what the other side still sends, until it closes."""
    sock.settimeout(5)
    try:
        while sock.recv(65536):
            pass
    except OSError:
        pass


# --- the client's connection --------------------------------------------------

class Link:
    """The client's connection: clear text, then TLS through memory buffers
    (so the peer cuts its bytes into records and segments); keeps the bytes
    each way, in clear and inside TLS."""

    def __init__(self, sock, cut=(), slow=False, keep=True):
        self.sock, self.cut, self.slow, self.keep = sock, set(cut), slow, keep
        self.tls, self.shaken, self.pending = None, False, []
        self.incoming, self.outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
        self.kept = {(way, tls): bytearray() for way in ("in", "out") for tls in (False, True)}

    def note(self, way, data):
        if self.keep:
            self.kept[way, self.tls is not None] += data

    def begin_tls(self, context):
        self.tls = context.wrap_bio(self.incoming, self.outgoing, server_side=True)

    def receive(self):
        """The client's next bytes as they arrive; b"" at its end."""
        data = self.sock.recv(4096 if self.slow else 65536)
        if self.slow:
            time.sleep(0.001)
        return data

    def take(self, data):
        """The application bytes in the client's data (none during the
        handshake; a failed one sends its alert and raises ssl.SSLError)."""
        if self.tls is None:
            self.note("in", data)
            return data
        self.incoming.write(data)
        if not self.shaken:
            try:
                self.tls.do_handshake()
                self.shaken = True
            except ssl.SSLWantReadError:
                pass
            except ssl.SSLError:
                self.flush()
                raise
        plain = b""
        while self.shaken:
            try:
                piece = self.tls.read(65536)
            except (ssl.SSLWantReadError, ssl.SSLZeroReturnError):
                break
            if not piece:
                break
            plain += piece
        self.note("in", plain)
        self.send(b"")
        return plain

    def read(self):
        """The client's next application bytes; b"" at its end."""
        while True:
            data = self.receive()
            if not data:
                return b""
            plain = self.take(data)
            if plain:
                return plain

    def send(self, data):
        """Sends data; inside TLS after the handshake, cut into records."""
        if self.tls is None:
            self.note("out", data)
            self.sock.sendall(data)
            return
        if data:
            self.pending.append(data)
        if self.shaken:
            for piece in self.pending:
                self.note("out", piece)
                for record in piece.splitlines(keepends=True) if "lines" in self.cut else [piece]:
                    self.tls.write(record)
            self.pending = []
        self.flush()

    def flush(self):
        data = self.outgoing.read()
        if "drip" not in self.cut:
            if data:
                self.sock.sendall(data)
            return
        while data:
            n = random.randint(1, 7)
            self.sock.sendall(data[:n])
            data = data[n:]
            time.sleep(0.0002)

    def close(self):
        """Orderly close: close_notify, then the client may finish."""
        if self.tls is not None and self.shaken:
            try:
                self.tls.unwrap()
            except ssl.SSLError:
                pass
            self.flush()
        self.sock.shutdown(socket.SHUT_WR)
        drain(self.sock)

    def reset(self):
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))


# --- the dialogue ---------------------------------------------------------------

def decoded(text):
    try:
        return base64.b64decode(text, validate=True).decode("latin-1")
    except ValueError:
        return None


def address(argument):
    """The address of a MAIL FROM or RCPT TO argument, brackets or not."""
    argument = argument.split(":", 1)[1].strip() if ":" in argument else ""
    if argument.startswith("<"):
        return argument[1:argument.find(">")]
    return argument.split(" ")[0]


class Session:
    """One connection's dialogue, answered from the peer's table."""

    def __init__(self, peer, link):
        self.peer, self.link = peer, link
        self.buffer, self.searched = bytearray(), 0
        self.in_data, self.waiting, self.pop_user, self.closing = False, None, None, False
        self.envelope = {"mail_from": None, "rcpt_tos": []}

    def run(self):
        if self.peer.tls and not self.peer.starttls:
            self.link.begin_tls(self.peer.tls)
        self.say(self.peer.replies["greet"])
        while True:
            data = self.link.read()
            if not data:
                return
            self.buffer += data
            if not self.answer_all():
                return

    def say(self, reply):
        for line in reply.split("\r\n"):
            self.peer.record("S", line.encode())
        self.link.send(reply.encode() + b"\r\n")

    def answer_all(self):
        """Answers every whole line; False once the dialogue is over."""
        while not self.closing:
            if self.in_data:
                if not self.take_content():
                    return True
                continue
            at = self.buffer.find(b"\n")
            if at < 0:
                return True
            line = bytes(self.buffer[:at + 1])
            del self.buffer[:at + 1]
            line = line[:-2] if line.endswith(b"\r\n") else line[:-1]
            self.peer.record("C", line)
            text = line.decode("latin-1")
            if self.waiting:
                reply = self.resume(text)
            else:
                reply = (self.pop if self.peer.pop else self.smtp)(text)
                if not isinstance(reply, (str, type(None))):  # a login's replies
                    self.waiting = reply
                    reply = self.resume(None)
            if reply is not None:
                self.say(reply)
        return False

    def resume(self, line):
        """A login's next reply (its yields wait for a line, its return ends it)."""
        try:
            return self.waiting.send(line)
        except StopIteration as done:
            self.waiting = None
            return done.value

    def take_content(self):
        if self.buffer.startswith(b".\r\n"):
            end, after = 0, 3
        else:
            at = self.buffer.find(b"\r\n.\r\n", self.searched)
            if at < 0:
                self.searched = max(0, len(self.buffer) - 4)
                return False
            end, after = at + 2, at + 5
        raw = bytes(self.buffer[:end])
        del self.buffer[:after]
        self.in_data, self.searched = False, 0
        self.peer.record("D", raw)
        content = raw[1:] if raw.startswith(b".") else raw
        self.peer.deliver(self.envelope, content.replace(b"\r\n.", b"\r\n"))
        self.envelope = {"mail_from": None, "rcpt_tos": []}
        self.say(self.peer.replies["END"])
        return True

    def smtp(self, text):
        verb = text.split(" ", 1)[0].upper()
        replies = self.peer.replies
        if verb in ("HELO", "EHLO", "RSET"):
            self.envelope = {"mail_from": None, "rcpt_tos": []}
        if verb == "EHLO":
            return replies.get("EHLO") or self.ehlo()
        if verb == "STARTTLS":
            return self.starttls()
        if verb == "AUTH" and self.peer.user is not None:
            return self.login(text.split(" ")[1:])
        if verb == "MAIL":
            self.envelope["mail_from"] = address(text)
        if verb == "RCPT":
            self.envelope["rcpt_tos"].append(address(text))
        if verb == "DATA":
            self.in_data = replies["DATA"].startswith("3")
        self.closing = verb == "QUIT"
        return replies[verb if verb in replies and verb not in ("AUTH", "END") else "other"]

    def ehlo(self):
        offer = [self.peer.name] + list(self.peer.extensions)
        if self.peer.starttls and self.link.tls is None:
            offer.append("STARTTLS")
        elif self.peer.mechanisms:
            offer.append("AUTH " + self.peer.mechanisms)
        return "\r\n".join("250%s%s" % ("-" if i < len(offer) - 1 else " ", line)
                           for i, line in enumerate(offer))

    def starttls(self):
        reply = self.peer.replies["STARTTLS"] if self.peer.tls else "454 4.7.0 no TLS here"
        self.say(reply)
        if reply.startswith("220"):
            self.buffer.clear()  # what a client sent with STARTTLS is not taken
            self.link.begin_tls(self.peer.tls)

    def login(self, words):
        """AUTH PLAIN, LOGIN or CRAM-MD5 against the peer's user and password."""
        peer, mechanism = self.peer, words[0].upper() if words else ""
        if mechanism == "PLAIN":
            answer = words[1] if len(words) > 1 else (yield "334 ")
            ok = decoded(answer) == "\0%s\0%s" % (peer.user, peer.password)
        elif mechanism == "LOGIN":
            user = yield "334 VXNlcm5hbWU6"
            password = yield "334 UGFzc3dvcmQ6"
            ok = (decoded(user), decoded(password)) == (peer.user, peer.password)
        elif mechanism == "CRAM-MD5":
            answer = yield "334 " + base64.b64encode(peer.challenge.encode()).decode()
            ok = decoded(answer) == peer.user + " " + cram_digest(peer.challenge, peer.password)
        else:
            return "504 5.5.4 unknown mechanism"
        return peer.replies["AUTH" if ok else "AUTH failed"]

    def pop(self, text):
        words, peer = text.split(" "), self.peer
        verb = words[0].upper()
        if verb == "USER":
            self.pop_user = text[5:]
            return peer.replies["USER"]
        if verb in ("PASS", "APOP"):
            if verb == "PASS":
                ok = (self.pop_user, text[5:]) == (peer.user, peer.password)
            else:
                digest = hashlib.md5((peer.challenge + (peer.password or "")).encode()).hexdigest()
                ok = words[1:] == [peer.user, digest]
            return peer.replies[verb if ok or peer.user is None else "login failed"]
        self.closing = verb == "QUIT"
        return peer.replies[verb if verb == "QUIT" else "other"]


def cram_digest(challenge, password):
    return hmac.new(password.encode(), challenge.encode(), hashlib.md5).hexdigest()


class MailPeer:
    """An SMTP (pop: POP3) server on host:port (0: the system picks; .port).
    replies overrides the table by step: a command's word (EHLO: instead of
    name, extensions, STARTTLS and mechanisms), "greet", "END" (of the
    content), "AUTH" and "AUTH failed", "login failed" (POP3), "other".
    Logins are checked against user and password. tls: a server context,
    from the connect or after STARTTLS. events ("S" sent, "C" received, "D"
    content as on the wire, "E" error) and messages (envelope, content): of
    the one connection; with many, of none."""

    def __init__(self, port=0, host="127.0.0.1", pop=False, user=None, password=None,
                 replies=None, tls=None, starttls=False, mechanisms="PLAIN LOGIN", extensions=(),
                 name="peer", challenge=CHALLENGE, cut=(), slow=False, many=False, inbox=None):
        self.pop, self.user, self.password, self.tls = pop, user, password, tls
        self.starttls, self.mechanisms, self.extensions = starttls, mechanisms, extensions
        self.name, self.challenge, self.cut, self.slow = name, challenge, cut, slow
        self.many, self.inbox, self.count = many, inbox, 0
        table = dict(POP_REPLIES if pop else SMTP_REPLIES, **(replies or {}))
        self.replies = {step: reply.format(name=name, challenge=challenge)
                        for step, reply in table.items()}
        self.events, self.messages, self.links = [], [], []
        self.lock, self.done = threading.Lock(), threading.Event()
        self.listener = listen(host, port, slow, 64 if many else 1)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        self.listener.settimeout(None if self.many else 60)
        while True:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            if not self.many:
                self.listener.close()
                return self.serve(conn)
            threading.Thread(target=self.serve, args=(conn,), daemon=True).start()

    def serve(self, conn):
        link = Link(conn, self.cut, self.slow, keep=not self.many)
        if not self.many:
            self.links.append(link)
        try:
            conn.settimeout(60)
            Session(self, link).run()
            link.close()
        except (OSError, ssl.SSLError) as e:  # a test's own checks fail on what is missing
            self.record("E", str(e).encode())
        finally:
            conn.close()
            self.done.set()

    def record(self, kind, data):
        if not self.many:  # a server of many connections keeps nothing
            self.events.append((kind, data))

    def deliver(self, envelope, content):
        if not self.many:
            self.messages.append((envelope, content))
        if not self.inbox:
            return
        with self.lock:
            self.count += 1
            base = os.path.join(self.inbox, str(self.count))
        with open(base + ".json", "w") as f:
            json.dump(envelope, f)
        with open(base + ".tmp", "wb") as f:
            f.write(content)
        os.rename(base + ".tmp", base + ".eml")  # the .eml last, complete: readers wait for it

    def close(self):
        """Stops taking connections (those taken are served to their end)."""
        try:
            self.listener.shutdown(socket.SHUT_RDWR)  # wakes the accepting thread
        except OSError:
            pass
        self.listener.close()

    def wait(self, seconds=10):
        """Whether the connection has ended within seconds."""
        return self.done.wait(seconds)

    def received(self, tls=None, way="in"):
        """Once the connection has ended, what the client sent ("out": what
        it was sent): inside TLS, in clear text, or (None) all."""
        self.wait()
        return b"".join(bytes(link.kept[way, inside]) for link in self.links
                        for inside in (False, True) if tls in (None, inside))


# --- the TLS front ------------------------------------------------------------

class Front:
    """One connection: TLS towards the client, clear text towards peer_port."""

    def __init__(self, folder, peer_port, options):
        self.options = set(o for o in options if "=" not in o)
        tickets = next((int(o[8:]) for o in options if o.startswith("tickets=")), None)
        certificate = next((o[:-5] for o in ("ask-cert", "demand-cert") if o in self.options),
                           None)
        self.context = server_context(
            folder, "leaf", newest=ssl.TLSVersion.TLSv1_2 if "tls12" in self.options else None,
            client_certificate=certificate, tickets=tickets)
        self.peer_port = peer_port
        self.listener = listen("127.0.0.1", 0, "slow" in self.options)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        self.listener.settimeout(30)
        try:
            client, _ = self.listener.accept()
        except OSError:
            return
        finally:
            self.listener.close()
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        peer = socket.create_connection(("127.0.0.1", self.peer_port))
        link = Link(client, self.options, "slow" in self.options, keep=False)
        if "starttls" not in self.options:
            link.begin_tls(self.context)
        try:
            self.relay(link, peer)
        except (OSError, ssl.SSLError):
            pass
        finally:
            client.close()
            peer.close()

    def relay(self, link, peer):
        line, starttls_asked = b"", False
        while True:
            readable, _, _ = select.select([link.sock, peer], [], [], 60)
            if not readable:
                return
            if peer in readable:
                try:
                    data = peer.recv(65536)
                except ConnectionResetError:
                    return link.reset()
                if not data:
                    return link.close()
                link.send(data)
                if link.tls is None and starttls_asked and data.startswith(b"220"):
                    link.begin_tls(self.context)
            if link.sock in readable:
                data = link.receive()
                if not data:
                    peer.shutdown(socket.SHUT_WR)
                    return drain(peer)
                plain = link.take(data)
                if link.tls is None:
                    line += plain
                    while b"\n" in line:
                        command, line = line.split(b"\n", 1)
                        starttls_asked = starttls_asked or command.strip().upper() == b"STARTTLS"
                if plain:
                    peer.sendall(plain)


def control(folder):
    listener = listen("127.0.0.1", 0, backlog=16)
    with open(os.path.join(folder, "port.new"), "w") as f:
        f.write("%d\n" % listener.getsockname()[1])
    os.replace(os.path.join(folder, "port.new"), os.path.join(folder, "port"))
    while True:
        conn, _ = listener.accept()
        with conn:
            request = conn.makefile("rb").readline().decode().split()
            if len(request) >= 2 and request[0] == "FRONT":
                front = Front(folder, int(request[1]), request[2:])
                conn.sendall(b"%d\n" % front.port)


def start_front(folder, trust):
    os.makedirs(folder, exist_ok=True)
    stop_front(folder)
    # The Wine prefix keeps old CAs: each run's gets a name of its own.
    make_ca(folder, "ca", "Tarnlet test front CA %x" % int(time.time() * 1000))
    make_leaf(folder, "leaf", "ca", ip="127.0.0.1")
    if trust:
        trust_under_wine(folder, *trust)
    log = open(os.path.join(folder, "front.log"), "w")
    server = subprocess.Popen([sys.executable, os.path.abspath(__file__), "front", "serve", folder],
                              stdout=log, stderr=log, start_new_session=True)
    with open(os.path.join(folder, "pid"), "w") as f:
        f.write("%d\n" % server.pid)
    for _ in range(100):
        if os.path.exists(os.path.join(folder, "port")):
            return
        time.sleep(0.05)
    sys.exit("the TLS front did not start")


def stop_front(folder):
    pid, port = os.path.join(folder, "pid"), os.path.join(folder, "port")
    if os.path.exists(pid):
        try:
            os.kill(int(open(pid).read()), signal.SIGTERM)
        except (ValueError, ProcessLookupError):
            pass
    for path in (pid, port):
        if os.path.exists(path):
            os.remove(path)


def main():
    verb, args = sys.argv[1:2], sys.argv[2:]
    if verb == ["front"]:
        if args[0] == "start":
            return start_front(args[1], args[2:4])
        return stop_front(args[1]) if args[0] == "stop" else control(args[1])
    options = dict(zip(args[::2], args[1::2]))
    if verb != ["serve"] or set(options) - {"--host", "--port", "--inbox", "--name"}:
        sys.exit(__doc__)
    host = options.get("--host", "127.0.0.1")
    peer = MailPeer(int(options.get("--port", 0)), host, many=True, inbox=options.get("--inbox"),
                    name=options.get("--name", "peer"), mechanisms="",
                    extensions=("SIZE 67108864", "8BITMIME"))
    print("ready on %s port %d" % (host, peer.port), flush=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    while True:
        signal.pause()


if __name__ == "__main__":
    main()
