#!/usr/bin/env python3
"""Loopback server for bench/http.sh: serves one file at every path with
sendfile, so the server is never what limits a client. Prints "PORT <n>"
and serves until its standard input closes."""

import os
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PATH = sys.argv[1]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        size = os.path.getsize(PATH)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        self.wfile.flush()
        with open(PATH, "rb") as f:
            self.connection.sendfile(f)


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print("PORT %d" % server.server_address[1], flush=True)
threading.Thread(target=server.serve_forever, daemon=True).start()
sys.stdin.read()
server.shutdown()
