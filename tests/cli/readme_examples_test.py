#!/usr/bin/env python3
"""Runs the quelmonctl examples of README.md as written, so that the README stays true.

Every line "    $ COMMAND" of the README that calls quelmonctl runs in bash from the clone's root,
with the build's quelmonctl first on the PATH, the machine-4cpu fixture as procfs and sysfs,
"/tmp/" taken to a folder of the test's own and the node exporter's port 19100 taken to a
prometheus-node-exporter that the test starts on 127.0.0.1 over the same fixture (stopped by its
pid). A command must end with the status that a following "$ echo $?" shows (else 0) and print
the lines the README shows below it: exactly, or for "sample" (values change) as many CSV lines.
No example may change a file of the clone (an output written over a tracked image, say).

Usage: readme_examples_test.py README QUELMONCTL FIXTURE_MACHINE_DIR
Exit 0: passed, 1: failed, 77: skipped (no prometheus-node-exporter)."""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
README_PORT = "19100"
PROMPT = re.compile(r"^    \$ (.*)$")


def examples(readme_text):
    """(command, shown output lines, expected exit status) for every quelmonctl command."""
    lines = readme_text.splitlines()
    found = []
    for i, line in enumerate(lines):
        match = PROMPT.match(line)
        if not match or "quelmonctl" not in match.group(1):
            continue
        shown = []
        j = i + 1
        while j < len(lines) and lines[j].startswith("    ") and not PROMPT.match(lines[j]):
            shown.append(lines[j][4:])
            j += 1
        status = 0
        if j + 1 < len(lines) and PROMPT.match(lines[j]) and PROMPT.match(lines[j]).group(1) == "echo $?":
            status = int(lines[j + 1].strip())
        found.append((match.group(1), shown, status))
    return found


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_exporter(machine, port):
    exporter = shutil.which("prometheus-node-exporter")
    if exporter is None:
        return None
    process = subprocess.Popen(
        [exporter, "--path.procfs=" + os.path.join(machine, "proc"), "--path.sysfs=" + os.path.join(machine, "sys"),
         "--no-collector.netdev.netlink", "--no-collector.filesystem",
         "--web.listen-address=127.0.0.1:%d" % port],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(200):
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return process
        if process.poll() is not None:
            return None
        time.sleep(0.05)
    stop(process)
    return None


def stop(process):
    os.kill(process.pid, signal.SIGTERM)
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        os.kill(process.pid, signal.SIGKILL)
        process.wait()


def clone_files(clone):
    """Path and modification time of every file of the clone outside its build trees."""
    found = {}
    for folder, subfolders, files in os.walk(clone):
        subfolders[:] = [name for name in subfolders if not name.startswith((".", "build"))]
        for name in files:
            path = os.path.join(folder, name)
            found[path] = os.stat(path).st_mtime_ns
    return found


def run_example(command, shown, status, environment, clone, port, scratch):
    line = command.replace("/tmp/", scratch + "/").replace(README_PORT, str(port))
    result = subprocess.run(["bash", "-c", line], cwd=clone, env=environment, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, timeout=120)
    printed = result.stdout.replace(scratch + "/", "/tmp/").replace(str(port), README_PORT).splitlines()
    problems = []
    if result.returncode != status:
        problems.append("exit status %d, the README shows %d" % (result.returncode, status))
    if " sample " in command:
        rows = [row for row in printed if row.startswith('"')]
        wanted = [row for row in shown if row.startswith('"')]
        if len(rows) != len(wanted):
            problems.append("%d CSV lines, the README shows %d" % (len(rows), len(wanted)))
    elif printed != shown:
        problems.append("it printed:\n" + "\n".join(printed) + "\nthe README shows:\n" + "\n".join(shown))
    return problems


def main():
    readme, quelmonctl, machine = sys.argv[1:4]
    machine = os.path.abspath(machine)
    clone = os.path.dirname(os.path.abspath(readme))
    with open(readme, encoding="utf-8") as f:
        found = examples(f.read())
    if len(found) < 8:
        print("only %d quelmonctl examples found in %s" % (len(found), readme))
        return 1
    port = free_port()
    exporter = start_exporter(machine, port)
    if exporter is None:
        print("prometheus-node-exporter could not be started")
        return SKIP
    environment = dict(os.environ)
    environment["PATH"] = os.path.dirname(os.path.abspath(quelmonctl)) + os.pathsep + environment.get("PATH", "")
    environment["QUELLARIMOND_PROCFS"] = os.path.join(machine, "proc")
    environment["QUELLARIMOND_SYSFS"] = os.path.join(machine, "sys")
    failed = 0
    before = clone_files(clone)
    try:
        with tempfile.TemporaryDirectory() as scratch:
            for command, shown, status in found:
                problems = run_example(command, shown, status, environment, clone, port, scratch)
                print(("FAIL " if problems else "ok   ") + command)
                for problem in problems:
                    print("     " + problem.replace("\n", "\n     "))
                failed += bool(problems)
    finally:
        stop(exporter)
    changed = sorted(path for path, mtime in clone_files(clone).items() if before.get(path) != mtime)
    if changed:
        print("FAIL the examples changed files of the clone: " + ", ".join(changed))
        failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
