"""A small OAuth 2.0 identity provider for the interoperability tests, over
HTTPS from the test CA:

  POST /token       client_credentials, refresh_token (rotated: a used one
                    is refused with invalid_grant), device_code (RFC 8628:
                    pending at the first poll, granted at the next),
                    authorization_code with PKCE (S256)
  POST /devicecode  a device authorization (RFC 8628 3.1)
  GET  /authorize   consent answered at once: a redirect to the client's
                    loopback redirect_uri with a code
  POST /introspect  RFC 7662, for Dovecot's oauth2 passdb

Access tokens are random and 2.5 KB long, as real providers' JWTs are.
Every request is appended to LOG as one JSON line (the grant, the client, the
keys of the form; never a secret). A second listener with a self-signed
certificate answers nothing it is not asked: a client that trusts it would
show up in its own log.

  identity_provider.py ADDRESS PORT CERT KEY UNTRUSTED_PORT SELF_CERT SELF_KEY LOG
"""
import base64
import hashlib
import http.server
import json
import secrets
import ssl
import sys
import threading
import time
import urllib.parse

USER = "tester"
# client id: (secret, user its tokens act for; None: its tokens are refused)
CLIENTS = {
    "tarnlet-app": ("app-secret-1", USER),
    "tarnlet-delegated": ("delegated-secret", USER),
    "tarnlet-public": ("", USER),
    "tarnlet-revoked": ("revoked-secret", None),
}
LIFETIME = 3600

lock = threading.Lock()
access_tokens = {}   # token -> (user or None, expiry)
refresh_tokens = {}  # token -> (client, user); removed when used
used_refresh = set()
device_codes = {}    # device code -> [client, polls]
auth_codes = {}      # code -> (client, challenge, redirect_uri)


def new_access(client):
    token = "eyJ" + base64.urlsafe_b64encode(secrets.token_bytes(1900)).decode().rstrip("=")
    access_tokens[token] = (CLIENTS[client][1], time.time() + LIFETIME)
    return token


def new_refresh(client):
    token = "rt-" + secrets.token_urlsafe(48)
    refresh_tokens[token] = client
    return token


def grant(client, with_refresh):
    answer = {"access_token": new_access(client), "token_type": "Bearer",
              "expires_in": LIFETIME}
    if with_refresh:
        answer["refresh_token"] = new_refresh(client)
    return 200, answer


def error(code, status=400):
    return status, {"error": code}


def token_endpoint(form):
    client = form.get("client_id", "")
    if client not in CLIENTS or CLIENTS[client][0] != form.get("client_secret", ""):
        return error("invalid_client", 401)
    kind = form.get("grant_type", "")
    with lock:
        if kind == "client_credentials":
            return grant(client, False)
        if kind == "refresh_token":
            token = form.get("refresh_token", "")
            if refresh_tokens.pop(token, None) != client:
                return error("invalid_grant")
            used_refresh.add(token)
            return grant(client, True)
        if kind == "urn:ietf:params:oauth:grant-type:device_code":
            entry = device_codes.get(form.get("device_code", ""))
            if entry is None or entry[0] != client:
                return error("invalid_grant")
            entry[1] += 1
            if entry[1] == 1:
                return error("authorization_pending")
            del device_codes[form["device_code"]]
            return grant(client, True)
        if kind == "authorization_code":
            entry = auth_codes.pop(form.get("code", ""), None)
            verifier = form.get("code_verifier", "").encode()
            challenge = base64.urlsafe_b64encode(hashlib.sha256(verifier).digest()).rstrip(b"=")
            if (entry is None or entry[0] != client or entry[1] != challenge.decode() or
                    entry[2] != form.get("redirect_uri")):
                return error("invalid_grant")
            return grant(client, True)
    return error("unsupported_grant_type")


def device_endpoint(form):
    client = form.get("client_id", "")
    if client not in CLIENTS:
        return error("invalid_client", 401)
    code = secrets.token_urlsafe(24)
    with lock:
        device_codes[code] = [client, 0]
    return 200, {"device_code": code, "user_code": "TARN-" + secrets.token_hex(2).upper(),
                 "verification_uri": "https://idp.interop.test/device", "expires_in": 600,
                 "interval": 1}


def introspect(form):
    with lock:
        user, expiry = access_tokens.get(form.get("token", ""), (None, 0))
    if user is None or expiry < time.time():
        return 200, {"active": False}
    return 200, {"active": True, "username": user, "scope": "mail"}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    log_path = ""

    def log_message(self, *args):
        pass

    def record(self, form):
        entry = {"path": self.path.split("?")[0], "grant": form.get("grant_type", ""),
                 "client": form.get("client_id", ""), "keys": sorted(form),
                 "port": self.server.server_address[1]}
        with lock, open(self.log_path, "a") as f:
            f.write(json.dumps(entry) + "\n")

    def answer(self, status, body, headers=()):
        data = json.dumps(body).encode() if body is not None else b""
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if body is not None:
            self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        form = dict(urllib.parse.parse_qsl(self.rfile.read(length).decode(), True))
        self.record(form)
        routes = {"/token": token_endpoint, "/devicecode": device_endpoint,
                  "/introspect": introspect}
        route = routes.get(self.path)
        if route is None:
            self.answer(404, {"error": "not_found"})
            return
        self.answer(*route(form))

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        self.record(query)
        redirect = query.get("redirect_uri", "")
        if (url.path != "/authorize" or query.get("client_id") not in CLIENTS or
                query.get("code_challenge_method") != "S256" or
                not redirect.startswith("http://127.0.0.1:")):
            self.answer(400, {"error": "invalid_request"})
            return
        code = secrets.token_urlsafe(24)
        with lock:
            auth_codes[code] = (query["client_id"], query.get("code_challenge", ""), redirect)
        target = redirect + "?" + urllib.parse.urlencode({"code": code,
                                                          "state": query.get("state", "")})
        self.answer(302, None, [("Location", target)])


def serve(address, port, cert, key):
    server = http.server.ThreadingHTTPServer((address, port), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    return thread


def main():
    address, port, cert, key, untrusted, self_cert, self_key, log = sys.argv[1:9]
    Handler.log_path = log
    open(log, "a").close()
    serve(address, int(port), cert, key)
    serve(address, int(untrusted), self_cert, self_key).join()


if __name__ == "__main__":
    main()
