#!/usr/bin/env python3
"""Loopback stand-in for the video service, for the download tests.

Usage: video_service_sim.py CONFIG.json

Listens on 127.0.0.1 on a free port, prints "PORT <n>" on its first line and
serves until its standard input closes. The program reaches it as its HTTP
proxy (http_proxy=http://127.0.0.1:<n>), so the requests carry the real
addresses; only the path and query choose the answer:

  /watch?v=ID                  the watch page: title tag and watch address
  /get_video_info?video_id=ID  the information document with its stream map
  /videoplayback?id=ID&itag=N&signature=S   the stream body
  /__log                       every request line served so far, one a line

CONFIG:
  {"videos": {"ID": {
      "title": "text put into the title tag as it stands (may be null: no tag)",
      "page_status": 200, "info_status": 200,
      "info": "a raw information document instead of the generated one",
      "streams": {"22": 5000, "18": {"size": 5000, "status": 404,
                                     "delay_ms": 0, "chunk": 65536},
                  "5": {"file": "/path/of/a/real/clip.flv"}}}}}
The stream map lists the streams in the order given, each with
url=http://r1.video.youtube.com/videoplayback?id=ID&itag=N (escaped twice, as
the service does) and sig=SIGN; a request with another signature gets 403.
Body byte i of a stream of itag N is (i + N) % 251.
"""

import json
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, quote, urlsplit

BLOCK = 65536


def block_for(itag):
    return bytes((i + itag) % 251 for i in range(BLOCK + 251))


def info_document(vid, video):
    entries = []
    for itag, _ in video.get("streams", {}).items():
        url = "http://r1.video.youtube.com/videoplayback?id=%s&itag=%s" % (vid, itag)
        entries.append("itag=%s&url=%s&sig=SIG%s&type=%s" % (
            itag, quote(url, safe=""), itag, quote('video/x-flv; codecs="x"', safe="")))
    stream_map = quote(",".join(entries), safe="")
    return "status=ok&length_seconds=10&url_encoded_fmt_stream_map=%s&token=abc" % stream_map


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    config = {}
    log = []
    log_lock = threading.Lock()

    def log_message(self, *args):
        pass

    def send_body(self, code, body, ctype="text/html; charset=utf-8"):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        parts = urlsplit(self.path)
        query = {k: v[0] for k, v in parse_qs(parts.query, keep_blank_values=True).items()}
        if parts.path != "/__log":
            with self.log_lock:
                self.log.append(self.path)
        videos = self.config.get("videos", {})
        if parts.path == "/__log":
            with self.log_lock:
                text = "\n".join(self.log)
            return self.send_body(200, text.encode(), "text/plain")
        if parts.path == "/watch":
            vid = query.get("v", "")
            video = videos.get(vid)
            if video is None:
                return self.send_body(404, b"no such video")
            status = video.get("page_status", 200)
            if status != 200:
                return self.send_body(status, b"failure on demand")
            title = video.get("title")
            head = '<meta name="title" content="%s">' % title if title is not None else ""
            page = ('<!DOCTYPE html>\n<html><head>\n%s\n'
                    '<link rel="canonical" href="http://www.youtube.com/watch?v=%s">\n'
                    '</head><body>video</body></html>\n') % (head, vid)
            return self.send_body(200, page.encode("utf-8"))
        if parts.path == "/get_video_info":
            vid = query.get("video_id", "")
            video = videos.get(vid)
            if video is None:
                return self.send_body(200, b"status=fail&reason=Invalid+parameters.", "text/plain")
            status = video.get("info_status", 200)
            if status != 200:
                return self.send_body(status, b"failure on demand")
            doc = video.get("info")
            if doc is None:
                doc = info_document(vid, video)
            return self.send_body(200, doc.encode("utf-8"), "application/x-www-form-urlencoded")
        if parts.path == "/videoplayback":
            vid = query.get("id", "")
            itag = query.get("itag", "")
            stream = videos.get(vid, {}).get("streams", {}).get(itag)
            if stream is None:
                return self.send_body(404, b"no such stream")
            if isinstance(stream, int):
                stream = {"size": stream}
            if query.get("signature") != "SIG" + itag:
                return self.send_body(403, b"bad signature")
            status = stream.get("status", 200)
            if status != 200:
                return self.send_body(status, b"failure on demand")
            if "file" in stream:
                with open(stream["file"], "rb") as f:
                    return self.send_body(200, f.read(), "video/x-flv")
            return self.send_stream(int(itag), int(stream["size"]),
                                    int(stream.get("chunk", BLOCK)), stream.get("delay_ms", 0))
        return self.send_body(404, b"unknown path")

    def send_stream(self, itag, size, chunk, delay_ms):
        self.send_response(200)
        self.send_header("Content-Type", "video/x-flv")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        block = block_for(itag)
        chunk = max(1, min(chunk, BLOCK))
        sent = 0
        started = time.monotonic()
        try:
            while sent < size:
                n = min(chunk, size - sent)
                off = sent % 251
                self.wfile.write(block[off:off + n])
                sent += n
                if delay_ms and time.monotonic() - started < 30:
                    time.sleep(delay_ms / 1000.0)
        except (BrokenPipeError, ConnectionResetError):
            pass


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        Handler.config = json.load(f)
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    sys.stdin.read()  # ends when the test closes our input
    server.shutdown()


if __name__ == "__main__":
    main()
