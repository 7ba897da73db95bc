#!/usr/bin/env python3
"""Storm on the service's /metrics listener, all on 127.0.0.1 and bounded in count and time.

Starts quelmondsrvc -run with -metrics on a free loopback port (Interval 1, every sample
logged), then:
  1. holds HALF_OPEN connections (default 512) that send half a request and nothing more, and
     times a scrape made while they are open;
  2. runs SCRAPERS concurrent scrapers (default 20) of SCRAPES scrapes each (default 50): every
     one must answer 200, and the latency percentiles are printed;
  3. sends what else may reach the port (another path, a POST, a huge header, garbage, a
     request cut off) and checks that each gets an error status or a closed connection;
and prints the listener's resident set (now and peak) and thread count before and after, and
whether the log gained a row in every second of the storm.

and does it all ROUNDS times (default 2), so that a resident set that keeps growing shows.

  bench/listener_storm.py [build folder, default build] [--half-open N] [--scrapers N] [--scrapes N]
                          [--rounds N]
"""

import argparse
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
HOST = "127.0.0.1"


def free_port():
    with socket.socket() as s:
        s.bind((HOST, 0))
        return s.getsockname()[1]


def status_of(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            fields[key] = value.strip()
    return f"RSS {fields['VmRSS']}, peak {fields['VmHWM']}, threads {fields['Threads']}"


def scrape(port, path="/metrics", timeout=10.0):
    """One GET on a fresh connection: (status code, seconds)."""
    start = time.monotonic()
    with socket.create_connection((HOST, port), timeout=timeout) as s:
        s.sendall(f"GET {path} HTTP/1.1\r\nHost: {HOST}\r\nConnection: close\r\n\r\n".encode())
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    match = re.match(rb"HTTP/1\.[01] (\d{3})", data)
    return (int(match.group(1)) if match else 0), time.monotonic() - start


def raw(port, payload, timeout=10.0):
    """Sends payload and reads until the server closes: the status line, or 'closed'."""
    with socket.create_connection((HOST, port), timeout=timeout) as s:
        try:
            s.sendall(payload)
            s.shutdown(socket.SHUT_WR)
        except OSError:
            return "closed while sending"
        data = b""
        try:
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
        except OSError:
            pass
    return data.split(b"\r\n", 1)[0].decode(errors="replace") if data else "closed"


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(len(ordered) * p / 100))]


def log_rows(path):
    try:
        with open(path, errors="replace") as f:
            return f.read().count("<tr bgcolor=")
    except OSError:
        return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=os.path.join(ROOT, "build"))
    parser.add_argument("--half-open", type=int, default=512)
    parser.add_argument("--scrapers", type=int, default=20)
    parser.add_argument("--scrapes", type=int, default=50)
    parser.add_argument("--rounds", type=int, default=2)
    args = parser.parse_args()
    program = os.path.join(args.build, "service", "quelmondsrvc")
    if not os.access(program, os.X_OK):
        sys.exit(f"no {program}: build the targets quelmondsrvc and quel_metrics first")

    work = tempfile.mkdtemp()
    port = free_port()
    with open(os.path.join(ROOT, "tests/fixtures/profile/default-2cpu.qlmd")) as f:
        profile = re.sub(r"(?m)^Interval=.*$", "Interval=1", f.read())
        profile = re.sub(r"(?m)^LogMode=.*$", "LogMode=1", profile)
    with open(os.path.join(work, "storm.qlmd"), "w") as f:
        f.write(profile)
    environment = dict(os.environ, QUELLARIMOND_SYSTEM_CONFIG=os.path.join(work, "none.conf"),
                       QUELLARIMOND_MODULE_DIR=os.path.join(args.build, "modules"))
    service = subprocess.Popen([program, "-run", "-metrics", f"{HOST}:{port}", os.path.join(work, "storm.qlmd")],
                               env=environment, stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "err"), "w"))
    log = os.path.join(work, "Logs", "storm-log.html")
    rows_per_second = []
    stop_watch = threading.Event()
    failures = []
    try:
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            try:
                if scrape(port, timeout=2)[0] == 200:
                    break
            except OSError:
                time.sleep(0.2)
        else:
            sys.exit("the listener did not answer within 30 s")
        pid = service.pid
        print(f"listener on {HOST}:{port}, pid {pid}")
        print(f"before:        {status_of(pid)}")

        def watch_log():
            # The longest time between two new rows (Interval 1: about a second when all is well).
            last, since = log_rows(log), time.monotonic()
            while not stop_watch.wait(0.1):
                now = log_rows(log)
                if now != last:
                    rows_per_second.append(time.monotonic() - since)
                    last, since = now, time.monotonic()
            rows_per_second.append(time.monotonic() - since)

        watcher = threading.Thread(target=watch_log)
        watcher.start()

        for round in range(1, args.rounds + 1):
            print(f"--- round {round}")
            # 1. Half-open connections.
            held = []
            for _ in range(args.half_open):
                s = socket.create_connection((HOST, port), timeout=10)
                s.sendall(b"GET /metrics HTTP/1.1\r\n")
                held.append(s)
            time.sleep(0.2)
            times = []
            for _ in range(5):
                code, seconds = scrape(port)
                times.append(seconds)
                if code != 200:
                    failures.append(f"scrape with half-open connections: {code}")
            print(f"{len(held)} half-open connections held: 5 scrapes, max {max(times) * 1000:.1f} ms, "
                  f"median {percentile(times, 50) * 1000:.1f} ms")
            print(f"with them:     {status_of(pid)}")
            closed_by_server = 0
            time.sleep(4)  # past the request timeout
            for s in held:
                s.settimeout(0.5)
                try:
                    s.recv(1024)  # b"" when closed, or an error status
                    closed_by_server += 1
                except OSError:
                    pass
                s.close()
            print(f"after 4 s the listener had answered or closed {closed_by_server} of them")

            # 2. Concurrent scrapers.
            latencies = []
            lock = threading.Lock()

            def scraper():
                for _ in range(args.scrapes):
                    try:
                        code, seconds = scrape(port)
                    except OSError as error:
                        code, seconds = str(error), 0
                    with lock:
                        latencies.append(seconds)
                        if code != 200:
                            failures.append(f"concurrent scrape: {code}")

            threads = [threading.Thread(target=scraper) for _ in range(args.scrapers)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            print(f"{args.scrapers} scrapers x {args.scrapes}: {len(latencies) - len([f for f in failures if f.startswith('concurrent')])}"
                  f"/{len(latencies)} answered 200; p50 {percentile(latencies, 50) * 1000:.1f} ms, "
                  f"p99 {percentile(latencies, 99) * 1000:.1f} ms, max {max(latencies) * 1000:.1f} ms")

            # 3. Anything else on the port.
            others = {
                "another path": f"GET /other HTTP/1.1\r\nHost: {HOST}\r\n\r\n".encode(),
                "a POST": f"POST /metrics HTTP/1.1\r\nHost: {HOST}\r\nContent-Length: 3\r\n\r\nabc".encode(),
                "a 1 MiB header": b"GET /metrics HTTP/1.1\r\nX-Big: " + b"a" * (1 << 20) + b"\r\n\r\n",
                "garbage": os.urandom(4096),
                "a request line of garbage": b"\x00\xff GARBAGE \x01\r\n\r\n",
                "a cut request": b"GET /metr",
            }
            for name, payload in others.items():
                try:
                    answer = raw(port, payload)
                except OSError as error:
                    answer = f"error {error}"
                ok = answer.startswith("closed") or re.match(r"HTTP/1\.[01] [45]\d\d", answer)
                print(f"  {name}: {answer}")
                if not ok:
                    failures.append(f"{name}: {answer}")
            print(f"after round {round}: {status_of(pid)}")
        code, _ = scrape(port)
        if code != 200:
            failures.append(f"scrape after the rest: {code}")
        stop_watch.set()
        watcher.join()
        print(f"after:         {status_of(pid)}")
        print(f"log: {len(rows_per_second) - 1} new rows during the storm, longest time between two: "
              f"{max(rows_per_second):.2f} s")
        if max(rows_per_second) > 3:
            failures.append(f"the log stood still for {max(rows_per_second):.1f} s")
        if service.poll() is not None:
            failures.append(f"the service ended: {service.returncode}")
    finally:
        stop_watch.set()
        if service.poll() is None:
            service.send_signal(signal.SIGINT)
            try:
                service.wait(timeout=20)
            except subprocess.TimeoutExpired:
                service.kill()
                service.wait()
        with open(os.path.join(work, "err")) as f:
            err = f.read()
        if err:
            print("service stderr:", err)
        shutil.rmtree(work, ignore_errors=True)
    print("failures:", failures if failures else "none")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
