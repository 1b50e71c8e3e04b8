#!/usr/bin/env python3
"""The machine's own cost of what a download does, for bench/download.sh.

  floor.py receive URL CONNECTIONS BYTES  receives an http body of BYTES over
                                          that many ranged connections into nothing
  floor.py pwrite PATH BYTES              pwrites BYTES into a new file (the page cache)

Few calls, so the program adds next to nothing to the kernel's work:
1 MiB per receive, 64 KiB per pwrite (larger pieces went into new large
page-cache folios, whose cost here swung from 0.2 to 1.0 s per GiB; 64 KiB
stayed at 0.2 s). Python's own start, about 0.05 s, is in the figures.
Exits 1 when the bytes did not all arrive or go in.
"""
import os
import socket
import sys
import threading
from urllib.parse import urlsplit

PIECE = 1 << 20
WRITE_PIECE = 64 << 10


def receive_range(host, port, path, begin, end, counts, index):
    with socket.create_connection((host, port)) as s:
        s.sendall(f"GET {path} HTTP/1.1\r\nHost: {host}\r\nRange: bytes={begin}-{end - 1}\r\n"
                  "Connection: close\r\n\r\n".encode())
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = s.recv(4096)
            if not chunk:
                return
            head += chunk
        got = len(head) - head.index(b"\r\n\r\n") - 4
        buffer = memoryview(bytearray(PIECE))
        while got < end - begin:
            n = s.recv_into(buffer, min(PIECE, end - begin - got))
            if n == 0:
                break
            got += n
        counts[index] = got


def receive(url, connections, size):
    parts = urlsplit(url)
    each = size // connections
    counts = [0] * connections
    threads = []
    for i in range(connections):
        begin, end = i * each, size if i == connections - 1 else (i + 1) * each
        t = threading.Thread(target=receive_range,
                             args=(parts.hostname, parts.port or 80, parts.path, begin, end, counts, i))
        t.start()
        threads.append(t)
    for t in threads:
        t.join()
    return sum(counts) == size


def pwrite(path, size):
    piece = os.urandom(WRITE_PIECE)
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        at = 0
        while at < size:
            at += os.pwrite(fd, piece[:min(WRITE_PIECE, size - at)], at)
    finally:
        os.close(fd)
    return os.path.getsize(path) == size


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "receive":
        sys.exit(0 if receive(sys.argv[2], int(sys.argv[3]), int(sys.argv[4])) else 1)
    if len(sys.argv) == 4 and sys.argv[1] == "pwrite":
        sys.exit(0 if pwrite(sys.argv[2], int(sys.argv[3])) else 1)
    sys.exit(__doc__)
