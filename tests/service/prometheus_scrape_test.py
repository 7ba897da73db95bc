#!/usr/bin/env python3
"""The real Prometheus server scrapes `quelmondsrvc -run -metrics 127.0.0.1:PORT` over a fixture
machine whose memory figures change all the time; its query API must give, for every scrape,
the values the service's CSV log holds for the same sample (the scrape's
quellarimond_samples_total names the row). With QUELMONCTL, Prometheus also loads the rules of
`quelmonctl rules` for the profile: the axis whose values cross its critical value must fire,
the one that never reaches it must not.

Usage: prometheus_scrape_test.py QUELMONDSRVC MODULE_DIR FIXTURE_MACHINE_DIR [QUELMONCTL]
Exit 0: passed, 1: failed, 77: skipped (no prometheus program).
Everything runs on 127.0.0.1 with free ports; both servers are stopped by their pids."""

import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

SKIP = 77
SCRAPES_WANTED = 5
LIMIT_S = 60

AXES = [  # name, counter path, max, critical, multiplier
    # 100 % to 138 % as the figures change: critical part of the time
    ("Committed \"%\"", r"\Memory\% Committed Bytes In Use", 400, 110, 1),
    ("Available KiB", r"\Memory\Available Bytes", 4000000, 3000000, 1024),
]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def profile_text():
    lines = ["", "# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!", "",
             "History=30", "Interval=1", "LogMode=1", "LogFormat=1", "LogFileSize=1024", ""]
    for name, path, maximum, critical, multiplier in AXES:
        lines += ["BeginAxis", "Name=" + name, "Desc=", "MinValue=0.000000",
                  "MaxValue=%f" % maximum, "CriticalValue=%f" % critical,
                  "Multiplier=%f" % multiplier, "Inverse=0", "Counter=" + path, "EndAxis", ""]
    return "\r\n".join(lines) + "\r\n"


def change_memory(meminfo, stop):
    """Rewrites meminfo in place (as the kernel regenerates it) with new figures every 0.3 s."""
    with open(meminfo) as f:
        template = f.read()
    k = 0
    while not stop.wait(0.3):
        k += 1
        text = template.replace("Committed_AS:    2500000", "Committed_AS:    %7d" % (2000000 + 7919 * (k % 97)))
        text = text.replace("MemAvailable:    1500000", "MemAvailable:    %7d" % (1000000 + 3571 * (k % 89)))
        with open(meminfo, "r+") as f:
            f.write(text)


def get_json(url):
    with urllib.request.urlopen(url, timeout=5) as answer:
        return json.load(answer)


def query(prometheus, expression):
    url = "http://%s/api/v1/query?%s" % (prometheus, urllib.parse.urlencode({"query": expression}))
    return get_json(url)["data"]["result"]


def csv_rows(log):
    with open(log, newline="") as f:
        return [line.rstrip("\r\n").split(",") for line in f if line[:2].isdigit() and line[2:3] == "/"]


def stop(process, sig):
    if process.poll() is None:
        process.send_signal(sig)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def main():
    program, module_dir, fixture = sys.argv[1:4]
    quelmonctl = sys.argv[4] if len(sys.argv) > 4 else None
    prometheus_program = shutil.which("prometheus")
    if not prometheus_program:
        print("SKIP: no prometheus program")
        return SKIP
    work = tempfile.mkdtemp(prefix="quel-prometheus-")
    service = server = None
    stop_changes = threading.Event()
    try:
        shutil.copytree(fixture, os.path.join(work, "machine"), symlinks=True)
        with open(os.path.join(work, "web.qlmd"), "w", newline="") as f:
            f.write(profile_text())
        metrics = "127.0.0.1:%d" % free_port()
        web = "127.0.0.1:%d" % free_port()
        rules = ""
        if quelmonctl:
            with open(os.path.join(work, "rules.yml"), "w") as f:
                subprocess.run([quelmonctl, "rules", os.path.join(work, "web.qlmd")], stdout=f, check=True)
            rules = "rule_files:\n  - '%s'\n" % os.path.join(work, "rules.yml")
        with open(os.path.join(work, "prometheus.yml"), "w") as f:
            f.write("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n  evaluation_interval: 1s\n" + rules +
                    "scrape_configs:\n  - job_name: quellarimond\n"
                    "    static_configs:\n      - targets: ['%s']\n" % metrics)
        environment = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"),
                       "QUELLARIMOND_PROCFS": os.path.join(work, "machine/proc"),
                       "QUELLARIMOND_SYSFS": os.path.join(work, "machine/sys"),
                       "QUELLARIMOND_SYSTEM_CONFIG": os.path.join(work, "none.conf"),
                       "QUELLARIMOND_MODULE_DIR": module_dir, "TZ": "UTC"}
        changer = threading.Thread(target=change_memory, daemon=True,
                                   args=(os.path.join(work, "machine/proc/meminfo"), stop_changes))
        changer.start()
        service = subprocess.Popen([program, "-run", "-metrics", metrics, os.path.join(work, "web.qlmd")],
                                   env=environment, stdout=subprocess.DEVNULL,
                                   stderr=open(os.path.join(work, "service.err"), "w"))
        server = subprocess.Popen([prometheus_program, "--config.file=" + os.path.join(work, "prometheus.yml"),
                                   "--storage.tsdb.path=" + os.path.join(work, "data"),
                                   "--web.listen-address=" + web, "--log.level=warn"],
                                  stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "prometheus.err"), "w"))
        deadline = time.monotonic() + LIMIT_S
        totals = []
        while time.monotonic() < deadline:
            time.sleep(1)
            try:
                totals = query(web, "quellarimond_samples_total[1m]")
            except OSError:
                continue  # not up yet
            if totals and len(totals[0]["values"]) >= SCRAPES_WANTED:
                break
        if not totals or len(totals[0]["values"]) < SCRAPES_WANTED:
            print("FAIL: Prometheus did not get %d scrapes in %d s" % (SCRAPES_WANTED, LIMIT_S))
            return 1
        firing = set()
        while quelmonctl and time.monotonic() < deadline and not firing:
            alerts = get_json("http://%s/api/v1/alerts" % web)["data"]["alerts"]
            firing = {a["labels"]["axis"] for a in alerts if a["state"] == "firing"}
            time.sleep(1)
        stop_changes.set()
        changer.join()
        stop(service, signal.SIGINT)  # its last scrapes and log rows are in by now
        totals = query(web, "quellarimond_samples_total[1m]")
        values = query(web, "quellarimond_axis_current_value[1m]")
        sample_of = {t: int(float(n)) for t, n in totals[0]["values"]}
        by_axis = {series["metric"]["axis"]: series for series in values}
        rows = csv_rows(os.path.join(work, "Logs/web-log.csv"))
        compared = 0
        failures = []
        for index, (name, path, _, _, multiplier) in enumerate(AXES):
            series = by_axis.get(name)
            if series is None:
                failures.append("no series for axis %r" % name)
                continue
            if series["metric"]["path"] != path or series["metric"]["profile"] != "web":
                failures.append("labels of %r: %r" % (name, series["metric"]))
            for t, raw in series["values"]:
                n = sample_of.get(t)
                if n is None or n < 1 or n > len(rows):
                    failures.append("scrape at %s has no log row (sample %s of %d)" % (t, n, len(rows)))
                    continue
                logged = rows[n - 1][2 + index]
                if "%.2f" % (float(raw) / multiplier) != logged:
                    failures.append("%r sample %d: Prometheus %s / %g, log %s" % (name, n, raw, multiplier, logged))
                compared += 1
        distinct = {rows[n - 1][2] for n in sample_of.values() if 1 <= n <= len(rows)}
        if len(distinct) < 2:
            failures.append("the scraped samples do not differ: %r" % distinct)
        if quelmonctl and firing != {AXES[0][0]}:
            failures.append("firing alerts for %r, expected only %r" % (sorted(firing), AXES[0][0]))
        if failures:
            print("FAIL:\n  " + "\n  ".join(failures[:20]))
            return 1
        print("%d values of %d scrapes match the log" % (compared, len(sample_of)))
        return 0
    finally:
        stop_changes.set()
        for process, sig in ((service, signal.SIGINT), (server, signal.SIGTERM)):
            if process is not None:
                stop(process, sig)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
