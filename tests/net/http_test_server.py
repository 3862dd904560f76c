#!/usr/bin/env python3
"""Scriptable HTTP server for the transfer tests.

Listens on 127.0.0.1 on a free port (with "--tls CERT KEY": over TLS), prints "PORT <n>" on its first line and
serves until its standard input closes (so it never outlives the test that
started it). Every answer is chosen by the path:

  /body?size=N[&nolength=1]     N bytes of the test pattern (byte i = i % 251)
  /slow?size=N&chunk=K&delay=MS the pattern in chunks with pauses
  /status?code=N                that status with the body "status N"
  /drop?announce=N&send=M       announces N bytes, sends M, closes
  /stall?send=M                 announces 10 MB, sends M bytes, then waits
  /silent                       reads the request and never answers
  /redirect?to=PATH             302 to PATH
  /loop                         302 to itself, for ever
  /range?size=N                 honours "Range: bytes=s-e" with 206 / 416
  /echo                         JSON: method, raw path, headers, body
  /auth                         Basic user:secret, else 401 realm "Quillor test"
  /headers                      an answer with dates, ETag and language
A request with an absolute address is answered as a proxy would
("proxied": true in the echo); an address whose path holds "proxyauth" needs
Proxy-Authorization proxyuser:proxysecret first (407).
"""

import base64
import json
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

MAX_WAIT = 20  # seconds any deliberately slow answer lasts at most


def pattern(start, end):
    return bytes(i % 251 for i in range(start, end))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, code, body, ctype="application/octet-stream", extra=None):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def read_body(self):
        n = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(n) if n else b""

    def do_POST(self):
        self.handle_any()

    def do_GET(self):
        self.handle_any()

    def handle_any(self):
        body = self.read_body()
        proxied = self.path.startswith("http://")
        parts = urlsplit(self.path)
        path = parts.path
        q = {k: v[-1] for k, v in parse_qs(parts.query, keep_blank_values=True).items()}
        if proxied:
            if "proxyauth" in path:
                want = "Basic " + base64.b64encode(b"proxyuser:proxysecret").decode()
                if self.headers.get("Proxy-Authorization") != want:
                    self.send_body(407, b"proxy auth", "text/plain",
                                   {"Proxy-Authenticate": 'Basic realm="proxy"'})
                    return
            self.echo(body, proxied=True)
            return
        handler = getattr(self, "route_" + path.strip("/").replace("-", "_"), None)
        if handler is None:
            self.send_body(404, b"no such route", "text/plain")
            return
        handler(q, body)

    def echo(self, body, proxied=False):
        doc = {
            "method": self.command,
            "path": self.path,
            "headers": {k.lower(): v for k, v in self.headers.items()},
            "body": body.decode("latin-1"),
            "proxied": proxied,
        }
        self.send_body(200, json.dumps(doc).encode(), "application/json")

    def route_echo(self, q, body):
        self.echo(body)

    def route_body(self, q, body):
        size = int(q.get("size", "0"))
        data = pattern(0, size)
        if q.get("nolength"):
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(data)
            self.wfile.flush()
            self.close_connection = True
            return
        self.send_body(200, data)

    def route_slow(self, q, body):
        size = int(q.get("size", "0"))
        chunk = int(q.get("chunk", "1024"))
        delay = int(q.get("delay", "50")) / 1000.0
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        deadline = time.time() + MAX_WAIT
        try:
            for start in range(0, size, chunk):
                self.wfile.write(pattern(start, min(size, start + chunk)))
                self.wfile.flush()
                if time.time() > deadline:
                    break
                time.sleep(delay)
        except OSError:
            pass
        self.close_connection = True

    def route_status(self, q, body):
        code = int(q.get("code", "500"))
        self.send_body(code, ("status %d" % code).encode(), "text/plain")

    def route_drop(self, q, body):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", q.get("announce", "1000"))
        self.end_headers()
        self.wfile.write(pattern(0, int(q.get("send", "10"))))
        self.wfile.flush()
        self.close_connection = True

    def route_stall(self, q, body):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(10 * 1024 * 1024))
        self.end_headers()
        self.wfile.write(pattern(0, int(q.get("send", "100"))))
        self.wfile.flush()
        time.sleep(MAX_WAIT)
        self.close_connection = True

    def route_silent(self, q, body):
        time.sleep(MAX_WAIT)
        self.close_connection = True

    def route_redirect(self, q, body):
        self.send_body(302, b"", "text/plain", {"Location": q.get("to", "/echo")})

    def route_loop(self, q, body):
        self.send_body(302, b"", "text/plain", {"Location": "/loop"})

    def route_range(self, q, body):
        size = int(q.get("size", "1000"))
        header = self.headers.get("Range")
        if not header:
            self.send_body(200, pattern(0, size))
            return
        spec = header.split("=", 1)[1]
        first, _, last = spec.partition("-")
        start = int(first)
        end = int(last) if last else size - 1
        if start >= size:
            self.send_body(416, b"", "text/plain", {"Content-Range": "bytes */%d" % size})
            return
        end = min(end, size - 1)
        self.send_body(206, pattern(start, end + 1), extra={
            "Content-Range": "bytes %d-%d/%d" % (start, end, size)})

    def route_auth(self, q, body):
        want = "Basic " + base64.b64encode(b"user:secret").decode()
        if self.headers.get("Authorization") != want:
            self.send_body(401, b"denied", "text/plain",
                           {"WWW-Authenticate": 'Basic realm="Quillor test"'})
            return
        self.send_body(200, b"welcome", "text/plain")

    def route_headers(self, q, body):
        self.send_response(200)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", "2")
        self.send_header("Content-Language", "en")
        self.send_header("ETag", '"v1"')
        self.send_header("Last-Modified", "Sunday, 06-Nov-94 08:49:37 GMT")
        self.send_header("Expires", "Sun Nov  6 08:49:37 1994")
        self.end_headers()
        self.wfile.write(b"ok")


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if len(sys.argv) == 4 and sys.argv[1] == "--tls":
        import ssl
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print("PORT %d" % server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    # Ends with the test: its pipe closes when the test process goes.
    sys.stdin.read()
    server.shutdown()


if __name__ == "__main__":
    main()
