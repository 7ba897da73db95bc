#!/usr/bin/env python3
"""Builds the Debian packages from an existing build folder into a temporary folder, checks what
they hold, unpacks them into a temporary root (never installs them), runs the unpacked quelmonctl
from there, locally and against a node exporter on 127.0.0.1, and runs lintian on them.

usage: package_test.py SOURCE_DIR BUILD_DIR   (exit 77: dpkg-deb, debhelper or lintian missing)"""

import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE, BUILD = (os.path.abspath(p) for p in sys.argv[1:3])
VERSION = "1.5.1"
ARCH = subprocess.run(["dpkg-architecture", "-qDEB_HOST_MULTIARCH"], capture_output=True, text=True).stdout.strip()

# What each package must hold (paths as dpkg-deb -c prints them, without the leading ".").
EXPECTED = {
    "quellarimond": [
        "/usr/bin/Quellarimond", "/usr/bin/quelmonctl", "/usr/bin/quelmond",
        "/usr/libexec/xscreensaver/quelmond", "/usr/share/xscreensaver/config/quelmond.xml",
        "/usr/share/applications/quellarimond.desktop", "/usr/share/mime/packages/quellarimond.xml",
        "/usr/share/icons/hicolor/scalable/apps/quellarimond.svg", "/usr/share/quellarimond/Help/help.html",
        "/usr/share/metainfo/io.github.quellarimond.Quellarimond.metainfo.xml",
        "/usr/share/man/man1/quelmonctl.1.gz", "/usr/share/man/man1/Quellarimond.1.gz",
        "/usr/share/man/man6/quelmond.6.gz", "/usr/share/bash-completion/completions/quelmonctl",
        "/usr/share/bash-completion/completions/quelmond"],
    "quellarimond-service": [
        "/usr/bin/quelmondsrvc", "/usr/bin/quelmondsrvc-modules",
        f"/usr/lib/{ARCH}/quellarimond/quel_metrics.so", "/lib/systemd/system/quellarimond.service",
        "/etc/quellarimond/Quellarimond.conf", "/usr/share/man/man8/quelmondsrvc.8.gz",
        "/usr/share/bash-completion/completions/quelmondsrvc"],
    "quellarimond-common": [
        f"/usr/lib/{ARCH}/quellarimond/quel_remote.so", "/usr/share/man/man5/quellarimond-profile.5.gz"],
}
QT_LIBRARY = "libQt6"


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Packages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.mkdtemp(prefix="quel-package-")
        cls.dist = os.path.join(cls.temp, "dist")
        built = run([os.path.join(SOURCE, "scripts/package.sh"), "--build-dir", BUILD,
                     "--work", os.path.join(cls.temp, "work"), "--dist", cls.dist])
        if built.returncode != 0:
            raise AssertionError("package.sh failed:\n" + built.stdout + built.stderr)
        cls.debs = {name: os.path.join(cls.dist, f"{name}_{VERSION}_{run(['dpkg', '--print-architecture']).stdout.strip()}.deb")
                    for name in EXPECTED}
        cls.root = os.path.join(cls.temp, "root")
        for deb in cls.debs.values():
            subprocess.run(["dpkg-deb", "-x", deb, cls.root], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.temp, ignore_errors=True)

    def test_packages_hold_their_files_and_the_service_stays_stopped(self):
        for name, paths in EXPECTED.items():
            listing = run(["dpkg-deb", "-c", self.debs[name]]).stdout
            held = {line.split()[5][1:].split(" -> ")[0] for line in listing.splitlines()}
            for path in paths:
                self.assertIn(path, held, f"{name} lacks {path}")
            depends = run(["dpkg-deb", "-f", self.debs[name], "Depends"]).stdout
            self.assertIn("libc6", depends, name)  # the shared libraries' packages are found
            # The service package must run on servers without Qt.
            if name != "quellarimond":
                self.assertNotIn("libqt6", depends.lower(), name)
        service = self.debs["quellarimond-service"]
        self.assertEqual(run(["dpkg-deb", "-I", service, "conffiles"]).stdout.split(),
                         ["/etc/quellarimond/Quellarimond.conf"])
        postinst = run(["dpkg-deb", "-I", service, "postinst"]).stdout
        self.assertNotRegex(postinst, r"(deb-systemd-invoke|systemctl)[^\n]* (start|restart)")
        self.assertIn("daemon-reload", postinst)
        self.assertRegex(run(["dpkg-deb", "-I", service, "prerm"]).stdout, r"stop quellarimond\.service")
        self.assertIn("rm -rf /var/lib/quellarimond", run(["dpkg-deb", "-I", service, "postrm"]).stdout)
        # Every value of the shipped settings file is commented out.
        with open(os.path.join(self.root, "etc/quellarimond/Quellarimond.conf")) as conf:
            for line in conf:
                self.assertTrue(line.startswith(("#", "[")) or not line.strip(), line)

    def test_packaged_unit_is_the_one_install_writes(self):
        with open(os.path.join(self.root, "lib/systemd/system/quellarimond.service")) as unit:
            packaged = unit.read()
        self.assertIn("\nExecStart=/usr/bin/quelmondsrvc\n", packaged)
        # -install of the unpacked program, with a fake systemctl and a temporary unit folder.
        units = os.path.join(self.temp, "units")
        os.makedirs(units, exist_ok=True)
        env = dict(os.environ, QUELLARIMOND_UNIT_DIR=units, QUELLARIMOND_SYSTEMCTL="/bin/true",
                   QUELLARIMOND_SYSTEMD_DIR=units, QUELLARIMOND_ASSUME_ROOT="1",
                   QUELLARIMOND_PACKAGE_UNIT_DIR=os.path.join(self.temp, "none"))
        program = os.path.join(self.root, "usr/bin/quelmondsrvc")
        installed = run([program, "-install"], env=env)
        self.assertEqual(installed.returncode, 0, installed.stdout + installed.stderr)
        with open(os.path.join(units, "quellarimond.service")) as unit:
            written = unit.read().replace(os.path.realpath(program), "/usr/bin/quelmondsrvc")
        uncommented = lambda text: [line for line in text.splitlines() if not line.startswith("#")]
        self.assertEqual(uncommented(packaged), uncommented(written))
        # With the packaged unit in place, -install writes nothing and says so.
        env["QUELLARIMOND_PACKAGE_UNIT_DIR"] = os.path.join(self.root, "lib/systemd/system")
        os.remove(os.path.join(units, "quellarimond.service"))
        refused = run([program, "-install"], env=env)
        self.assertEqual(refused.returncode, 1)
        self.assertIn("systemctl enable --now quellarimond", refused.stderr)
        self.assertFalse(os.path.exists(os.path.join(units, "quellarimond.service")))

    def test_unpacked_quelmonctl_runs_and_finds_its_unpacked_modules(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith("QUELLARIMOND_")}
        program = os.path.join(self.root, "usr/bin/quelmonctl")
        version = run([program, "--version"], env=env)
        self.assertEqual(version.returncode, 0, version.stderr)
        self.assertIn(VERSION, version.stdout)
        listed = run([program, "list"], env=env)
        self.assertEqual(listed.returncode, 0, listed.stderr)
        self.assertIn("Processor", listed.stdout.splitlines())

        if not shutil.which("prometheus-node-exporter"):
            self.skipTest("prometheus-node-exporter is not installed")
        port = free_port()
        exporter = subprocess.Popen(["prometheus-node-exporter", f"--web.listen-address=127.0.0.1:{port}",
                                     "--no-collector.netdev.netlink"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for _ in range(200):
                with socket.socket() as probe:
                    if probe.connect_ex(("127.0.0.1", port)) == 0:
                        break
                time.sleep(0.05)
            path = f"\\\\127.0.0.1:{port}\\Memory\\Available Bytes"
            # LD_DEBUG names every library the dynamic loader opens, the module among them.
            sampled = run([program, "sample", "-n", "1", "-i", "0.2", path], env=dict(env, LD_DEBUG="files"))
            self.assertEqual(sampled.returncode, 0, sampled.stderr[-2000:])
            row = sampled.stdout.splitlines()[-1].split(",")
            self.assertGreater(float(row[-1].strip('"')), 0.0, sampled.stdout)
            module = os.path.join(self.root, f"usr/lib/{ARCH}/quellarimond/quel_remote.so")
            self.assertIn(f"file={module}", sampled.stderr.replace(os.path.realpath(self.root), self.root))
        finally:
            os.kill(exporter.pid, signal.SIGTERM)
            exporter.wait()

    def test_lintian_finds_no_error(self):
        checked = run(["lintian", "--fail-on", "error", *self.debs.values()])
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        self.assertNotRegex(checked.stdout, r"(?m)^E: ")


if __name__ == "__main__":
    for tool in ("dpkg-deb", "dh", "lintian"):
        if not shutil.which(tool):
            print(f"{tool} is not installed; skipped")
            sys.exit(77)
    sys.argv[1:] = sys.argv[3:]
    unittest.main(verbosity=2)
