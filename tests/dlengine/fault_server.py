"""A small HTTP/1.1 file server on 127.0.0.1 that misbehaves on purpose, for the engine tests.

Each served file has a behaviour that the test changes while the server runs: ignore ranges,
omit the length (close-delimited) or send chunked, answer a status to the first N requests,
drop connections after N body bytes, throttle each connection, redirect, change its content
and validators. The whole server can vanish (listener closed, open connections cut) and come
back on the same port. The server counts what it sent, so tests can see how much was fetched again.
Every socket has a time-out and the server runs on daemon threads stopped by close().
"""
import email.utils
import hashlib
import http.server
import re
import socket
import socketserver
import threading
import time

SOCKET_TIMEOUT = 30
PORTAL_PAGE = b"<html><body>Please log in to continue.</body></html>"


class Behaviour:
    def __init__(self):
        self.ranges = True           # honour Range
        self.length = True           # send Content-Length (else close-delimited)
        self.chunked = False         # chunked transfer coding instead of a length
        self.validators = True       # ETag and Last-Modified
        self.fail_status = None      # answer this status ...
        self.fail_count = 0          # ... to this many requests
        self.fail_headers = {}
        self.drop_after = None       # close after this many body bytes ...
        self.drop_count = 0          # ... in this many responses
        self.rate = None             # bytes per second per connection
        self.shorter_ranges = None   # serve at most this many bytes of each range asked for
        self.stall_after = None      # send nothing more after this many body bytes ...
        self.stall_count = 0         # ... in this many responses (until the client gives up)
        self.fail_skip = 0           # fail_status and full_count spare this many requests first
        self.full_count = 0          # answer this many range requests with 200 and the whole file
        self.portal = False          # answer range requests with 200 and a small HTML page
        self.bare_416_count = 0      # answer this many requests with 416 without Content-Range
        self.range_lie_count = 0     # this many 206s name half their range in Content-Range, then
                                     # send it and zeros up to the whole range's Content-Length
        self.drip_after = None       # after this many body bytes send one byte every 2 s ...
        self.drip_count = 0          # ... in this many responses
        self.hang = False            # read the request, then answer nothing until the client closes


class File:
    def __init__(self, data, version=1):
        self.set(data, version)

    def set(self, data, version):
        self.data = data
        self.etag = '"%s-%d"' % (hashlib.sha1(data).hexdigest()[:16], version)
        self.mtime = email.utils.formatdate(1700000000 + version * 1000, usegmt=True)

    @property
    def sha256(self):
        return hashlib.sha256(self.data).hexdigest()


class FaultServer:
    def __init__(self, port=0):
        self.files = {}
        self.behaviour = {}
        self.redirects = {}
        self.signed = {}             # name -> [target name, uses per token, next token]
        self.token_uses = {}         # token -> requests served with it
        self.refused_tokens = 0      # requests refused because their token was used up
        self.lock = threading.Lock()
        self.body_bytes = {}         # per file name: body bytes written to sockets
        self.requests = []           # (name, range header or None, status)
        self.active = 0
        self.max_active = 0
        self.proxied = 0             # requests in absolute form (through a proxy)
        self.conns = set()           # open client sockets
        self.handler = self._make_handler()
        self.port = port
        self.httpd = None
        self.come_back()

    def come_back(self):
        """Listens (again) on the server's port."""
        self.httpd = _Server(("127.0.0.1", self.port), self.handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
        self.thread.start()

    def go_away(self):
        """The whole server vanishes: nothing listens on its port and every open connection is cut."""
        if self.httpd is None:
            return
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join(timeout=10)
        self.httpd = None
        with self.lock:
            conns = list(self.conns)
        for s in conns:
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def url(self, name):
        return "http://127.0.0.1:%d/%s" % (self.port, name)

    def add(self, name, data, **behaviour):
        self.files[name] = File(data)
        b = Behaviour()
        for k, v in behaviour.items():
            if not hasattr(b, k):
                raise AttributeError(k)
            setattr(b, k, v)
        self.behaviour[name] = b
        self.body_bytes[name] = 0
        return self.files[name]

    def replace(self, name, data):
        with self.lock:
            f = self.files[name]
            f.set(data, int(f.etag.rsplit("-", 1)[1].rstrip('"')) + 1)

    def redirect(self, src, dst, status=302):
        self.redirects[src] = (dst, status)

    def sign(self, name, target, uses):
        """Requests for name are redirected to target?token=N, a fresh N each time; a token
        serves `uses` requests and then answers 403, like an expiring signed CDN address."""
        self.signed[name] = [target, uses, 1]

    def sent(self, name):
        with self.lock:
            return self.body_bytes[name]

    def reset_counts(self):
        with self.lock:
            for k in self.body_bytes:
                self.body_bytes[k] = 0
            self.requests.clear()
            self.max_active = 0

    def close(self):
        self.go_away()

    def _count(self, name, n):
        with self.lock:
            self.body_bytes[name] += n

    def _make_handler(self):
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def setup(self):
                super().setup()
                self.connection.settimeout(SOCKET_TIMEOUT)
                with server.lock:
                    server.conns.add(self.connection)
                    server.active += 1
                    server.max_active = max(server.max_active, server.active)

            def finish(self):
                with server.lock:
                    server.active -= 1
                    server.conns.discard(self.connection)
                try:
                    super().finish()
                except OSError:
                    pass

            def do_GET(self):
                path = self.path
                if path.startswith("http://"):
                    with server.lock:
                        server.proxied += 1
                    path = "/" + path.split("/", 3)[3] if path.count("/") >= 3 else "/"
                name = path.lstrip("/").split("?", 1)[0]
                if name in server.signed:
                    with server.lock:
                        entry = server.signed[name]
                        token = entry[2]
                        entry[2] += 1
                        server.token_uses[token] = 0
                    self._simple(302, b"moved", {"Location": "/%s?token=%d" % (entry[0], token)})
                    return
                if self._refuse_token(name, path):
                    return
                if name in server.redirects:
                    dst, status = server.redirects[name]
                    self._simple(status, b"moved", {"Location": dst})
                    return
                f = server.files.get(name)
                b = server.behaviour.get(name)
                rng = self.headers.get("Range")
                if f is None:
                    self._record(name, rng, 404)
                    self._simple(404, b"not found")
                    return
                with server.lock:
                    spared = b.fail_skip > 0
                    if spared:
                        b.fail_skip -= 1
                    fail = not spared and b.fail_count > 0
                    if fail:
                        b.fail_count -= 1
                    data, etag, mtime = f.data, f.etag, f.mtime
                if fail:
                    self._record(name, rng, b.fail_status)
                    self._simple(b.fail_status, b"failure", b.fail_headers)
                    return
                if self._odd_answer(name, b, rng, data, spared):
                    return
                start, end, status = 0, len(data), 200
                if rng and b.ranges:
                    m = re.fullmatch(r"bytes=(\d+)-(\d*)", rng.strip())
                    if m:
                        start = int(m.group(1))
                        end = min(len(data), int(m.group(2)) + 1) if m.group(2) else len(data)
                        if start >= len(data) or start >= end:
                            self._record(name, rng, 416)
                            self._simple(416, b"", {"Content-Range": "bytes */%d" % len(data)})
                            return
                        if b.shorter_ranges:
                            end = min(end, start + b.shorter_ranges)
                        status = 206
                named_end = end
                with server.lock:
                    if status == 206 and b.range_lie_count > 0 and end - start >= 2:
                        b.range_lie_count -= 1
                        named_end = start + (end - start) // 2
                self._record(name, rng, status)
                self.send_response(status)
                self.send_header("Content-Type", "application/octet-stream")
                if b.validators:
                    self.send_header("ETag", etag)
                    self.send_header("Last-Modified", mtime)
                if b.ranges:
                    self.send_header("Accept-Ranges", "bytes")
                if status == 206:
                    self.send_header("Content-Range", "bytes %d-%d/%d" % (start, named_end - 1, len(data)))
                if b.chunked:
                    self.send_header("Transfer-Encoding", "chunked")
                elif b.length:
                    self.send_header("Content-Length", str(end - start))
                else:
                    self.send_header("Connection", "close")
                    self.close_connection = True
                self.end_headers()
                body = data[start:named_end] + b"\0" * (end - named_end)
                self._body(name, b, body)

            def _refuse_token(self, name, path):
                """A signed target asked without a token, or with one used up: 403."""
                if not any(t[0] == name for t in server.signed.values()):
                    return False
                m = re.search(r"[?&]token=(\d+)", path)
                with server.lock:
                    token = int(m.group(1)) if m else None
                    uses = next(t[1] for t in server.signed.values() if t[0] == name)
                    ok = token in server.token_uses and server.token_uses[token] < uses
                    if ok:
                        server.token_uses[token] += 1
                    else:
                        server.refused_tokens += 1
                if not ok:
                    self._record(name, self.headers.get("Range"), 403)
                    self._simple(403, b"expired")
                return not ok

            def _odd_answer(self, name, b, rng, data, spared):
                """The answers of captive portals, hung servers and servers that forget ranges."""
                if b.hang:
                    self._record(name, rng, 0)
                    try:
                        while self.connection.recv(4096):
                            pass
                    except OSError:
                        pass
                    self.close_connection = True
                    return True
                with server.lock:
                    bare_416 = rng is not None and b.bare_416_count > 0
                    if bare_416:
                        b.bare_416_count -= 1
                    full = rng is not None and not spared and not bare_416 and b.full_count > 0
                    if full:
                        b.full_count -= 1
                if rng is not None and b.portal:
                    self._record(name, rng, 200)
                    self._simple(200, PORTAL_PAGE, {"Content-Type": "text/html"})
                    return True
                if bare_416:
                    self._record(name, rng, 416)
                    self._simple(416, b"")
                    return True
                if full:
                    self._record(name, rng, 200)
                    self.send_response(200)
                    self.send_header("Content-Length", str(len(data)))
                    self.end_headers()
                    self._body(name, b, data)
                    return True
                return False

            def _record(self, name, rng, status):
                with server.lock:
                    server.requests.append((name, rng, status))

            def _simple(self, status, body, headers=None):
                self.send_response(status)
                for k, v in (headers or {}).items():
                    self.send_header(k, v)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def _body(self, name, b, body):
                limit = len(body)
                drop = stall = drip = False
                with server.lock:
                    if b.drip_after is not None and b.drip_count > 0:
                        b.drip_count -= 1
                        drip = True
                    if b.drop_after is not None and b.drop_count > 0:
                        b.drop_count -= 1
                        limit = min(limit, b.drop_after)
                        drop = True
                    elif b.stall_after is not None and b.stall_count > 0:
                        b.stall_count -= 1
                        limit = min(limit, b.stall_after)
                        stall = True
                piece = 64 * 1024
                t0 = time.monotonic()
                sent = 0
                try:
                    while sent < limit:
                        n = min(piece, limit - sent)
                        chunk = body[sent:sent + n]
                        if b.chunked:
                            self.wfile.write(b"%x\r\n" % n + chunk + b"\r\n")
                        else:
                            self.wfile.write(chunk)
                        sent += n
                        server._count(name, n)
                        if drip and sent >= b.drip_after:
                            piece = 1
                            time.sleep(2)
                        if b.rate:
                            ahead = sent / b.rate - (time.monotonic() - t0)
                            if ahead > 0:
                                time.sleep(min(ahead, 1.0))
                    if stall:
                        # Silent but open, until the client closes or the socket times out.
                        self.connection.settimeout(SOCKET_TIMEOUT)
                        while self.connection.recv(4096):
                            pass
                        self.close_connection = True
                        return
                    if drop:
                        self.wfile.flush()
                        self.connection.shutdown(socket.SHUT_RDWR)
                        self.close_connection = True
                        return
                    if b.chunked:
                        self.wfile.write(b"0\r\n\r\n")
                except OSError:
                    self.close_connection = True

        return Handler


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def handle_error(self, request, client_address):
        pass   # clients that close mid-body (a stop, a stolen tail) are expected here
