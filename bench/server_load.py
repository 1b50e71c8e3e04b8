#!/usr/bin/env python3
"""Load for bench/server.sh (standard library only).

  server_load.py latency URL N [TOKEN]
      GETs URL N times on one kept-alive connection (3 untimed first);
      prints "p50_ms p99_ms max_ms bytes".
  server_load.py downloads BASE TOKEN CLIENTS TAG ADDRESS...
      With CLIENTS readers of GET /api/events open, queues one work per
      ADDRESS and waits until all are done; prints "MB/s seconds bytes
      fewest_events most_events" (events each reader got meanwhile).
  server_load.py clear BASE TOKEN
      Deletes every library file and takes every work off the queue, so the
      next round downloads again rather than finding the names taken.
"""
import http.client
import json
import math
import socket
import sys
import threading
import time
import urllib.parse


def connect(url):
    at = urllib.parse.urlsplit(url)
    return http.client.HTTPConnection(at.hostname, at.port, timeout=60), at


def call(conn, method, path, token, body=None):
    headers = {"Authorization": "Bearer " + token}
    data = None
    if body is not None:
        data = json.dumps(body).encode()
        headers["Content-Type"] = "application/json"
    elif method != "GET":
        headers["Content-Length"] = "0"
    conn.request(method, path, body=data, headers=headers)
    answer = conn.getresponse()
    text = answer.read()
    if answer.status >= 300:
        raise SystemExit(f"{method} {path}: {answer.status} {text[:200]!r}")
    return json.loads(text) if text else None


def latency(url, count, token=None):
    conn, at = connect(url)
    headers = {"Authorization": "Bearer " + token} if token else {}
    times, size = [], 0
    for n in range(count + 3):
        start = time.perf_counter()
        conn.request("GET", at.path, headers=headers)
        answer = conn.getresponse()
        size = len(answer.read())
        if answer.status != 200:
            raise SystemExit(f"GET {url}: {answer.status}")
        if n >= 3:  # the first ones fault the pages in
            times.append(time.perf_counter() - start)
    times.sort()
    p = lambda q: times[max(0, math.ceil(q * len(times)) - 1)] * 1000  # nearest rank
    print(f"{p(0.50):.1f} {p(0.99):.1f} {times[-1] * 1000:.1f} {size}")


class Reader(threading.Thread):
    """One event-stream client that reads everything sent, as a page would."""

    def __init__(self, host, port, token):
        super().__init__(daemon=True)
        self.sock = socket.create_connection((host, port))
        request = (f"GET /api/events HTTP/1.1\r\nHost: {host}:{port}\r\n"
                   f"Authorization: Bearer {token}\r\nAccept: text/event-stream\r\n\r\n")
        self.sock.sendall(request.encode())
        self.events = 0
        self.ok = False
        self.counting = False
        self.opened = threading.Event()

    def run(self):
        rest = b""
        try:
            while True:
                chunk = self.sock.recv(65536)
                if not chunk:
                    break
                if not self.opened.is_set():
                    if not chunk.startswith(b"HTTP/1.1 200"):
                        break
                    self.ok = True
                    self.opened.set()
                lines = (rest + chunk).split(b"\n")
                rest = lines.pop()
                if self.counting:
                    self.events += sum(1 for line in lines if line.startswith(b"event:"))
        except OSError:
            pass
        self.opened.set()

    def close(self):
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.sock.close()


def downloads(base, token, clients, tag, addresses):
    conn, at = connect(base)
    readers = [Reader(at.hostname, at.port, token) for _ in range(clients)]
    for reader in readers:
        reader.start()
    for reader in readers:
        reader.opened.wait(10)
    if not all(r.ok for r in readers):
        raise SystemExit("an event stream was refused")
    for reader in readers:
        reader.counting = True
    works = [{"performer": "100001", "sequence": n + 1, "song": f"{tag} {n + 1}", "address": a}
             for n, a in enumerate(addresses)]
    start = time.perf_counter()
    ids = set(call(conn, "POST", "/api/queue", token, {"works": works})["ids"])
    # A small answer polled often: the end is known within a few ms.
    while True:
        items = [i for i in call(conn, "GET", "/api/queue", token)["items"] if i["id"] in ids]
        if any(i["state"] in ("failed", "skipped") for i in items):
            raise SystemExit(f"a download did not finish: {[i for i in items if i['state'] != 'done']}")
        if all(i["state"] == "done" for i in items):
            break
        time.sleep(0.01)
    seconds = time.perf_counter() - start
    total = sum(i["total"] for i in items)
    for reader in readers:
        reader.close()
    counts = [r.events for r in readers] or [0]
    print(f"{total / seconds / 1e6:.1f} {seconds:.3f} {total} {min(counts)} {max(counts)}")


def clear(base, token):
    conn, _ = connect(base)
    for entry in call(conn, "GET", "/api/library", token)["files"]:
        call(conn, "DELETE", f"/api/library/{entry['id']}", token)
    ids = [i["id"] for i in call(conn, "GET", "/api/queue", token)["items"]]
    if ids:
        call(conn, "POST", "/api/queue/actions", token, {"action": "remove", "ids": ids})


if __name__ == "__main__":
    what, args = sys.argv[1], sys.argv[2:]
    if what == "latency":
        latency(args[0], int(args[1]), args[2] if len(args) > 2 else None)
    elif what == "downloads":
        downloads(args[0], args[1], int(args[2]), args[3], args[4:])
    elif what == "clear":
        clear(args[0], args[1])
    else:
        raise SystemExit(__doc__)
