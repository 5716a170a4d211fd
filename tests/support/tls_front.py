"""A TLS front for the C++ tests' scripted peers, so every dialogue they
script can also run inside TLS, through the real TLS engines of both builds.

    tls_front.py start DIR [EMULATOR TRUST_PROGRAM]   make a test CA and a
        certificate for localhost and 127.0.0.1 in DIR, start the front in
        the background, write its control port to DIR/port; with an
        emulator (Wine), trust the CA in the emulator's Root store
    tls_front.py stop DIR

A test connects to the control port and sends one line,
"FRONT <peer port> [option...]", and reads back the port of a new front
that serves one connection: TLS towards the client, clear text towards the
peer, every byte passed on as it comes. Options:
    starttls      clear text until the client's STARTTLS and the peer's 220
    lines         each line the peer sends is a record of its own, all the
                  records of one piece written at once
    drip          the TLS bytes go to the client in writes of 1 to 7 bytes
    slow          the client is read slowly, through a small buffer
    ask-cert      the server asks for a client certificate (optional)
    demand-cert   the server demands one
    tickets=N     TLS 1.3: N session tickets after the handshake
    tls12         TLS 1.2 at most
The peer's orderly close ends TLS with close_notify; its reset resets the
client.
"""
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


def openssl(folder, *args):
    subprocess.run(["openssl"] + list(args), check=True, capture_output=True, cwd=folder)


def make_certificates(folder):
    # The Wine prefix keeps old CAs: each run's gets a name of its own.
    stamp = "%x" % int(time.time() * 1000)
    openssl(folder, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key",
            "-out", "ca.pem", "-days", "3", "-subj", "/CN=Tarnlet test front CA " + stamp)
    with open(os.path.join(folder, "leaf.ext"), "w") as f:
        f.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n")
    openssl(folder, "req", "-newkey", "rsa:2048", "-nodes", "-keyout", "leaf.key", "-out",
            "leaf.csr", "-subj", "/CN=localhost")
    openssl(folder, "x509", "-req", "-in", "leaf.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "2", "-extfile", "leaf.ext", "-out", "leaf.pem")


class Front:
    def __init__(self, folder, peer_port, options):
        self.folder, self.peer_port = folder, peer_port
        self.options = set(o for o in options if "=" not in o)
        self.tickets = next((int(o[8:]) for o in options if o.startswith("tickets=")), None)
        self.listener = socket.socket()
        if "slow" in self.options:
            self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.serve, daemon=True).start()

    def context(self):
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(os.path.join(self.folder, "leaf.pem"),
                            os.path.join(self.folder, "leaf.key"))
        if "tls12" in self.options:
            ctx.maximum_version = ssl.TLSVersion.TLSv1_2
        if self.options & {"ask-cert", "demand-cert"}:
            ctx.load_verify_locations(os.path.join(self.folder, "ca.pem"))
            ctx.verify_mode = ssl.CERT_REQUIRED if "demand-cert" in self.options else ssl.CERT_OPTIONAL
        if self.tickets is not None:
            ctx.num_tickets = self.tickets
        return ctx

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
        try:
            Relay(self, client, peer).run()
        except (OSError, ssl.SSLError):
            pass
        finally:
            client.close()
            peer.close()


class Relay:
    def __init__(self, front, client, peer):
        self.front, self.client, self.peer = front, client, peer
        self.tls = None
        self.incoming, self.outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
        self.shaken = False
        self.pending = []  # the peer's bytes waiting for the handshake
        self.client_line = b""
        self.starttls_asked = False
        if "starttls" not in front.options:
            self.begin_tls()

    def begin_tls(self):
        self.tls = self.front.context().wrap_bio(self.incoming, self.outgoing, server_side=True)

    def run(self):
        slow = "slow" in self.front.options
        while True:
            readable, _, _ = select.select([self.client, self.peer], [], [], 60)
            if not readable:
                return
            if self.peer in readable:
                try:
                    data = self.peer.recv(65536)
                except ConnectionResetError:
                    self.client.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                           struct.pack("ii", 1, 0))
                    return
                if not data:
                    self.close_towards_client()
                    return
                self.from_peer(data)
            if self.client in readable:
                data = self.client.recv(4096 if slow else 65536)
                if not data:
                    self.peer.shutdown(socket.SHUT_WR)
                    self.drain_peer()
                    return
                self.from_client(data)
                if slow:
                    time.sleep(0.001)

    def drain_peer(self):
        self.peer.settimeout(5)
        try:
            while self.peer.recv(65536):
                pass
        except OSError:
            pass

    def from_peer(self, data):
        if self.tls is None:
            self.client.sendall(data)
            if self.starttls_asked and data.startswith(b"220"):
                self.begin_tls()
            return
        self.pending.append(data)
        self.pump()

    def from_client(self, data):
        if self.tls is None:
            self.client_line += data
            while b"\n" in self.client_line:
                line, self.client_line = self.client_line.split(b"\n", 1)
                if line.strip().upper() == b"STARTTLS":
                    self.starttls_asked = True
            self.peer.sendall(data)
            return
        self.incoming.write(data)
        self.pump()

    def pump(self):
        if not self.shaken:
            try:
                self.tls.do_handshake()
                self.shaken = True
            except ssl.SSLWantReadError:
                pass
            except ssl.SSLError:
                self.flush()
                raise
        if self.shaken:
            while True:
                try:
                    plain = self.tls.read(65536)
                except (ssl.SSLWantReadError, ssl.SSLZeroReturnError):
                    break
                if not plain:
                    break
                self.peer.sendall(plain)
            for data in self.pending:
                pieces = data.splitlines(keepends=True) if "lines" in self.front.options else [data]
                for piece in pieces:
                    self.tls.write(piece)
            self.pending = []
        self.flush()

    def flush(self):
        data = self.outgoing.read()
        if "drip" not in self.front.options:
            if data:
                self.client.sendall(data)
            return
        while data:
            n = random.randint(1, 7)
            self.client.sendall(data[:n])
            data = data[n:]
            time.sleep(0.0002)

    def close_towards_client(self):
        if self.tls is not None and self.shaken:
            try:
                self.tls.unwrap()
            except ssl.SSLError:
                pass
            self.flush()
        self.client.shutdown(socket.SHUT_WR)
        self.client.settimeout(5)
        try:
            while self.client.recv(65536):
                pass
        except OSError:
            pass


def control(folder):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
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


def start(folder, trust):
    os.makedirs(folder, exist_ok=True)
    stop(folder)
    make_certificates(folder)
    if trust:
        der = os.path.join(folder, "ca.der")
        with open(os.path.join(folder, "ca.pem")) as f, open(der, "wb") as out:
            out.write(ssl.PEM_cert_to_DER_cert(f.read()))
        windows = "Z:" + os.path.abspath(der).replace("/", "\\")
        subprocess.run([trust[0], trust[1], windows], check=True, timeout=120)
    log = open(os.path.join(folder, "front.log"), "w")
    server = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", folder],
                              stdout=log, stderr=log, start_new_session=True)
    with open(os.path.join(folder, "pid"), "w") as f:
        f.write("%d\n" % server.pid)
    for _ in range(100):
        if os.path.exists(os.path.join(folder, "port")):
            return
        time.sleep(0.05)
    sys.exit("the TLS front did not start")


def stop(folder):
    for name in ("pid", "port"):
        path = os.path.join(folder, name)
        if name == "pid" and os.path.exists(path):
            try:
                os.kill(int(open(path).read()), signal.SIGTERM)
            except (ValueError, ProcessLookupError):
                pass
        if os.path.exists(path):
            os.remove(path)


if __name__ == "__main__":
    verb, where = sys.argv[1], sys.argv[2]
    if verb == "start":
        start(where, sys.argv[3:5])
    elif verb == "stop":
        stop(where)
    else:
        control(where)
