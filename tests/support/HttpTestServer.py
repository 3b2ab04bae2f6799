#!/usr/bin/env python3
"""HTTP server for the HTTP channel tests.

Binds 127.0.0.1 on an ephemeral port, connects to the test's control port (argv[1]) and sends its own
port as one line, then serves until the test closes the control connection (or ten minutes pass).

POST endpoints:
  /inspect        200, lines describing the request (content type, headers, body)
  /status/<code>  that status, body "status <code>"
  /basic          Basic authentication, user "till", password "s3cret"
  /basic-utf8     Basic authentication, user "till", password "pässwörd€" (UTF-8)
  /digest         Digest authentication (MD5, qop=auth), user "till", password "s3cret"
  /bearer         requires "Authorization: Bearer tok-123"
  /slow           answers after 5 s
  /big            200 with 16 MiB + 1 bytes
  /redirect       302 to /inspect
"""
import base64
import hashlib
import http.server
import os
import re
import socket
import sys
import threading

REALM = "zr-test"
USER = "till"
PASSWORD = "s3cret"
UTF8_PASSWORD = "pässwörd€"
NONCES = set()
NONCES_LOCK = threading.Lock()


def md5(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


def basic_ok(header, password):
    expected = "Basic " + base64.b64encode(f"{USER}:{password}".encode("utf-8")).decode("ascii")
    return header == expected


def digest_ok(header, method):
    if not header.startswith("Digest "):
        return False
    params = {}
    for key, quoted, plain in re.findall(r'(\w+)=(?:"([^"]*)"|([^,\s]*))', header[7:]):
        params[key] = quoted if quoted else plain
    with NONCES_LOCK:
        known = params.get("nonce") in NONCES
    if not known or params.get("username") != USER or params.get("realm") != REALM:
        return False
    ha1 = md5(f"{USER}:{REALM}:{PASSWORD}")
    ha2 = md5(f"{method}:{params.get('uri', '')}")
    if params.get("qop"):
        expected = md5(f"{ha1}:{params['nonce']}:{params.get('nc', '')}:{params.get('cnonce', '')}:"
                       f"{params['qop']}:{ha2}")
    else:
        expected = md5(f"{ha1}:{params['nonce']}:{ha2}")
    return params.get("response") == expected


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def reply(self, code, data=b"", headers=()):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_POST(self):
        body = self.read_body()
        path = self.path.split("?")[0]
        auth = self.headers.get("Authorization", "")
        if path == "/inspect":
            lines = [
                "content-type=" + self.headers.get("Content-Type", "(none)"),
                "x-custom=" + ",".join(self.headers.get_all("X-Custom") or ["(none)"]),
                "authorization=" + (auth or "(none)"),
                "expect=" + self.headers.get("Expect", "(none)"),
                "body=" + body.decode("utf-8", errors="replace"),
            ]
            self.reply(200, "\n".join(lines).encode("utf-8"))
        elif path.startswith("/status/"):
            code = int(path[len("/status/"):])
            self.reply(code, f"status {code}".encode("ascii"))
        elif path in ("/basic", "/basic-utf8"):
            if basic_ok(auth, PASSWORD if path == "/basic" else UTF8_PASSWORD):
                self.reply(200, b"basic ok")
            else:
                self.reply(401, b"denied", [("WWW-Authenticate", f'Basic realm="{REALM}"')])
        elif path == "/digest":
            if digest_ok(auth, "POST"):
                self.reply(200, b"digest ok")
            else:
                nonce = os.urandom(16).hex()
                with NONCES_LOCK:
                    NONCES.add(nonce)
                challenge = f'Digest realm="{REALM}", qop="auth", nonce="{nonce}", opaque="0a1b", algorithm=MD5'
                self.reply(401, b"denied", [("WWW-Authenticate", challenge)])
        elif path == "/bearer":
            if auth == "Bearer tok-123":
                self.reply(200, b"bearer ok")
            else:
                self.reply(401, b"denied")
        elif path == "/slow":
            threading.Event().wait(5)
            self.reply(200, b"late")
        elif path == "/big":
            self.reply(200, b"x" * (16 * 1024 * 1024 + 1))
        elif path == "/redirect":
            self.reply(302, b"", [("Location", "/inspect")])
        else:
            self.reply(404, b"no such endpoint")


def main():
    control_port = int(sys.argv[1])
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    control = socket.create_connection(("127.0.0.1", control_port), timeout=10)
    control.settimeout(None)
    control.sendall(b"%d\n" % server.server_address[1])

    def watch():
        try:
            while control.recv(64):
                pass
        except OSError:
            pass
        server.shutdown()

    threading.Thread(target=watch, daemon=True).start()
    limit = threading.Timer(600, server.shutdown)
    limit.daemon = True
    limit.start()
    server.serve_forever(poll_interval=0.1)


if __name__ == "__main__":
    main()
