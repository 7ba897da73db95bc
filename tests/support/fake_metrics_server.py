#!/usr/bin/env python3
"""A misbehaving (or well-behaved) metrics endpoint on 127.0.0.1 for the tests.

Binds a free loopback port, prints it on the first line of its output and serves until it is
terminated. Modes:
  page FILE  answers 200 with FILE's current content; while FILE is missing it closes each
             connection without an answer (a computer that is down)
  silent     accepts and reads the request, then never answers
  midpage    promises 100000 bytes, sends 1000 and closes
  huge       answers 200 with 20 MiB of well-formed lines
  garbage    answers 200 with 256 KiB of random bytes
"""
import os
import random
import socket
import sys
import threading
import time


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            return False
        data += chunk
    return True


def send_page(conn, body):
    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4\r\n"
                 b"Content-Length: %d\r\n\r\n" % len(body) + body)


def serve(conn, mode, path):
    try:
        while read_request(conn):
            if mode == "page":
                try:
                    with open(path, "rb") as f:
                        body = f.read()
                except OSError:
                    return
                send_page(conn, body)
            elif mode == "silent":
                while conn.recv(4096):
                    pass
                return
            elif mode == "midpage":
                conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + b"a 1\n" * 250)
                return
            elif mode == "huge":
                conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n")
                line = b"node_filler_total{n=\"0123456789\"} 1\n"
                block = line * (65536 // len(line))
                sent = 0
                while sent < 20 * 1024 * 1024:
                    conn.sendall(block)
                    sent += len(block)
                return
            elif mode == "garbage":
                send_page(conn, bytes(random.getrandbits(8) for _ in range(256 * 1024)))
    except OSError:
        pass
    finally:
        conn.close()


def main():
    mode = sys.argv[1]
    path = sys.argv[2] if len(sys.argv) > 2 else None
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(16)
    print(server.getsockname()[1], flush=True)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn, mode, path), daemon=True).start()


if __name__ == "__main__":
    main()
