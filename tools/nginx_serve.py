#!/usr/bin/env python3
"""Static file server for tests, demos and benchmarks: Debian's nginx on 127.0.0.1
with a generated configuration in a private temporary folder (no system paths touched).

As a module:  popen, port = start(root, port=None, limit_rate=None, access_log=None, limit_conn=None); ...; stop(popen)
              read_access_log(path) gives the logged requests (access_log = a file path).
As a program: nginx_serve.py --root DIR [--port N] [--limit-rate 8m] [--access-log FILE]
              prints "PORT n" and serves until SIGTERM or SIGINT.
"""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

NGINX = shutil.which("nginx") or "/usr/sbin/nginx"
START_TIMEOUT = 10.0
STOP_TIMEOUT = 10.0

_CONF = """\
daemon off;
master_process on;
worker_processes {workers};
{user}
pid {tmp}/nginx.pid;
error_log {tmp}/error.log warn;
events {{ worker_connections 1024; }}
http {{
    access_log off;
    {zone}
    log_format kv_access '$msec $request_time $status $body_bytes_sent "$http_range" "$request"';
    default_type application/octet-stream;
    types {{ }}
    sendfile on;
    sendfile_max_chunk 2m;
    tcp_nopush on;
    tcp_nodelay on;
    keepalive_timeout 65;
    keepalive_requests 10000;
    client_body_temp_path {tmp}/body;
    proxy_temp_path {tmp}/proxy;
    fastcgi_temp_path {tmp}/fastcgi;
    uwsgi_temp_path {tmp}/uwsgi;
    scgi_temp_path {tmp}/scgi;
    server {{
        listen 127.0.0.1:{port};
        server_name localhost;
        root {root};
        {limit}
        {access}
        location / {{ }}
    }}
}}
"""


def _free_port():
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    try:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]
    finally:
        s.close()


def _listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


def _launch(root, port, limit_rate, access_log, limit_conn=None):
    tmp = tempfile.mkdtemp(prefix="kv-nginx-")
    user = "user root root;" if os.geteuid() == 0 else ""
    limit = "limit_rate %s;" % limit_rate if limit_rate else ""
    # Connections per client address, as mirrors allow them (503 beyond).
    zone = "limit_conn_zone $binary_remote_addr zone=kvconn:1m;" if limit_conn else ""
    if limit_conn:
        limit += " limit_conn kvconn %d;" % limit_conn
    access = "access_log %s kv_access;" % os.path.abspath(access_log) if access_log else ""
    conf = os.path.join(tmp, "nginx.conf")
    with open(conf, "w") as f:
        f.write(_CONF.format(workers=max(2, os.cpu_count() or 2), user=user, tmp=tmp,
                             port=port, root=os.path.abspath(root), limit=limit, access=access, zone=zone))
    popen = subprocess.Popen([NGINX, "-p", tmp, "-c", conf, "-e", os.path.join(tmp, "error.log")],
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    popen.kv_tmp = tmp
    popen.kv_port = port
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline:
        if popen.poll() is not None:
            break
        if _listening(port):
            return popen
        time.sleep(0.05)
    _reap(popen)
    return None


def _reap(popen):
    if popen.poll() is None:
        try:
            popen.send_signal(signal.SIGTERM)
            popen.wait(timeout=STOP_TIMEOUT)
        except subprocess.TimeoutExpired:
            popen.kill()
            popen.wait(timeout=STOP_TIMEOUT)
    shutil.rmtree(getattr(popen, "kv_tmp", ""), ignore_errors=True)


def start(root, port=None, limit_rate=None, access_log=None, limit_conn=None):
    """Serves folder root on 127.0.0.1; returns (popen of the nginx master, port).

    limit_rate is nginx's per-connection limit ("8m" = 8 MiB/s), None for none; limit_conn
    the number of connections one client address may hold at once, None for any. With no
    port a free one is chosen (retried a few times should another process take it first).
    access_log names a file that gets one line per request (read_access_log reads it).
    """
    if not os.path.isdir(root):
        raise ValueError("not a folder: %s" % root)
    tries = 1 if port else 5
    for _ in range(tries):
        p = port or _free_port()
        popen = _launch(root, p, limit_rate, access_log, limit_conn)
        if popen is not None:
            return popen, p
    raise RuntimeError("nginx did not start on 127.0.0.1:%s" % (port or "any"))


def read_access_log(path):
    """The requests logged so far, oldest first, as dicts: start and end (seconds since
    1970, the end when the response was done or the client gone), status, bytes (body
    bytes sent), range (the request's Range header, "" when none), method and path.
    nginx writes a request's line when it ends, so a transfer still going on is missing."""
    entries = []
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
    except FileNotFoundError:
        return entries
    for line in lines:
        head, rng, request = line.split('"')[0], line.split('"')[1], line.split('"')[3]
        msec, request_time, status, sent = head.split()
        parts = request.split()
        entries.append({"start": float(msec) - float(request_time), "end": float(msec),
                        "status": int(status), "bytes": int(sent),
                        "range": "" if rng == "-" else rng,
                        "method": parts[0] if parts else "", "path": parts[1] if len(parts) > 1 else ""})
    return entries


def stop(popen):
    """Fast shutdown of the nginx master (and so its workers), then removes its folder."""
    if popen is not None:
        _reap(popen)


def main(argv=None):
    ap = argparse.ArgumentParser(description="serve a folder with nginx on 127.0.0.1")
    ap.add_argument("--root", required=True)
    ap.add_argument("--port", type=int, default=None)
    ap.add_argument("--limit-rate", default=None, help='per-connection limit, e.g. "8m"')
    ap.add_argument("--access-log", default=None, help="file for one line per request")
    args = ap.parse_args(argv)
    popen, port = start(args.root, args.port, args.limit_rate, args.access_log)
    done = []

    def on_signal(signum, frame):
        done.append(signum)

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    print("PORT %d" % port, flush=True)
    try:
        while not done and popen.poll() is None:
            time.sleep(0.2)
    finally:
        stop(popen)
    return 0


if __name__ == "__main__":
    sys.exit(main())
