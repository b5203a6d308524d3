#!/usr/bin/env python3
"""The meridot.upkeep modules, run by ansible-playbook with a local connection
against simulated printers: what they report, what reaches the printers,
check mode, a second run, and a printer that fails.

    collection_test.py UPKEEPCTL PRINTER-SIM ANSIBLE-DIR PACKAGE-DIR
"""

import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import threading
import time

UPKEEPCTL, SIM, ANSIBLE_DIR, PACKAGE = sys.argv[1:5]
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what, file=sys.stderr)


class Simulator:
    """printer-sim with three printers on loopback addresses of their own:
    one with an upgrade, one up to date, one that never answers."""

    def __init__(self, scratch):
        self.lines = []
        self.lock = threading.Lock()
        for _ in range(5):
            self.addresses = ["127.%d.%d.%d" % (random.randint(1, 254), random.randint(0, 255),
                                                random.randint(2, 254)) for _ in range(3)]
            config = os.path.join(scratch, "sim.conf")
            with open(config, "w") as out:
                out.write("[printer]\naddress = %s\nmodel = Meridot-4000\nversion = 3.10\n\n"
                          "[printer]\naddress = %s\nmodel = Meridot-4000\nversion = 4.00\n\n"
                          "[printer]\naddress = %s\nsnmp = silent\n" % tuple(self.addresses))
            self.process = subprocess.Popen([SIM, "--config", config], stdout=subprocess.PIPE,
                                            text=True)
            reader = threading.Thread(target=self.read, daemon=True)
            reader.start()
            deadline = time.time() + 20
            while time.time() < deadline and self.process.poll() is None:
                if "ready" in self.output():
                    return
                time.sleep(0.05)
            status = self.stop()
            if status != 3:  # 3: an address is taken, so another is drawn
                sys.exit("printer-sim did not start (status %s)" % status)
        sys.exit("printer-sim found no free addresses")

    def read(self):
        for line in self.process.stdout:
            with self.lock:
                self.lines.append(line.rstrip("\n"))

    def output(self):
        with self.lock:
            return list(self.lines)

    def bytes_received(self):
        total = 0
        for line in self.output():
            words = line.split()
            if words[:1] == ["received"]:
                total += int(words[2])
        return total

    def applied(self):
        return [line for line in self.output() if line.startswith("applied ")]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        return self.process.wait(timeout=20)


def playbook(scratch, name, tasks, check=False):
    """Runs TASKS on localhost, each registered under its name and never
    stopping the play; returns (exit status, {task name: result})."""
    path = os.path.join(scratch, name + ".yml")
    results_path = os.path.join(scratch, name + ".json")
    text = "- hosts: localhost\n  gather_facts: false\n  tasks:\n"
    for task, body in tasks:
        text += "    - name: %s\n      register: %s\n      ignore_errors: true\n%s" % (
            task, task, "".join("      %s\n" % line for line in body.strip("\n").split("\n")))
    names = ", ".join("'%s': %s" % (task, task) for task, _ in tasks)
    text += ("    - name: results\n      check_mode: false\n      ansible.builtin.copy:\n"
             "        dest: %s\n        content: \"{{ {%s} | to_json }}\"\n" % (results_path, names))
    with open(path, "w") as out:
        out.write(text)
    args = ["ansible-playbook", "-c", "local", "-i", "localhost,", path]
    if check:
        args += ["--check", "--diff"]
    done = subprocess.run(args, capture_output=True, text=True, env=environment(scratch),
                          timeout=120)
    try:
        with open(results_path) as results:
            return done.returncode, json.load(results)
    except (OSError, ValueError):
        sys.exit("ansible-playbook wrote no results (status %d): %s %s"
                 % (done.returncode, done.stdout, done.stderr))


def environment(scratch):
    env = dict(os.environ)
    env.update({
        "ANSIBLE_COLLECTIONS_PATH": ANSIBLE_DIR,
        "ANSIBLE_LOCAL_TEMP": os.path.join(scratch, "ansible-local"),
        "ANSIBLE_REMOTE_TEMP": os.path.join(scratch, "ansible-remote"),
        "ANSIBLE_NOCOLOR": "1",
        "ANSIBLE_PYTHON_INTERPRETER": sys.executable,
        # upkeepctl is found on PATH, as on a managed host.
        "PATH": os.path.dirname(os.path.abspath(UPKEEPCTL)) + os.pathsep + env.get("PATH", ""),
        "LANG": "C",
        "UPKEEP_TIME_SCALE": "0.01",
        "UPKEEP_HISTORY": os.path.join(scratch, "history.jsonl"),
        "UPKEEP_LOCK_DIR": os.path.join(scratch, "locks"),
        # The sample package is signed: its key is trusted as an
        # administrator would install it.
        "UPKEEP_TRUSTED_DIR": os.path.join(os.path.dirname(os.path.abspath(PACKAGE)),
                                           "trusted.gpg.d"),
    })
    return env


def by_name(printers):
    return dict((p["name"], p) for p in printers)


def main():
    scratch = tempfile.mkdtemp(prefix="upkeep-ansible-")
    sim = None
    try:
        sim = Simulator(scratch)
        new, current, silent = sim.addresses
        two = "[%s, %s]" % (new, current)

        # The documentation as ansible-doc shows it.
        doc = subprocess.run(["ansible-doc", "meridot.upkeep.firmware", "meridot.upkeep.info"],
                             capture_output=True, text=True, env=environment(scratch), timeout=60)
        expect(doc.returncode == 0 and "ERROR" not in doc.stderr
               and "MERIDOT.UPKEEP.FIRMWARE" in doc.stdout and "MERIDOT.UPKEEP.INFO" in doc.stdout
               and "version_before" in doc.stdout, "ansible-doc: %s %s" % (doc.stdout, doc.stderr))

        # Information, then a check-mode run: nothing reaches a printer.
        status, results = playbook(scratch, "look", [
            ("info", """
meridot.upkeep.info:
  printers: [%s, %s, %s]
  package: %s
""" % (new, current, silent, PACKAGE)),
            ("would_upgrade", """
meridot.upkeep.firmware:
  printers: %s
  state: latest
  package: %s
""" % (two, PACKAGE)),
        ], check=True)
        expect(status == 0, "info and check mode: status %d" % status)
        info = results["info"]
        expect(not info.get("changed") and not info.get("failed"), "info: %s" % info)
        printers = by_name(info.get("printers", []))
        expect(printers.get(new, {}).get("state") == "upgradeAvailable"
               and printers[new]["version"] == "3.10" and printers[new]["model"] == "Meridot-4000"
               and printers[new]["upgrade_available"]
               and [u["file"] for u in printers[new]["upgrades"]] == ["m4000_400.fmw"],
               "info of the printer with an upgrade: %s" % printers.get(new))
        expect(printers.get(current, {}).get("state") == "upToDate"
               and not printers[current]["upgrade_available"], "info of the up-to-date printer")
        expect(printers.get(silent, {}).get("state") == "notReachable", "info of the silent one")
        would = results["would_upgrade"]
        expect(would.get("changed") is True and not would.get("failed"), "check mode: %s" % would)
        outcomes = by_name(would.get("printers", []))
        expect(outcomes.get(new, {}).get("outcome") == "wouldUpgrade"
               and outcomes[new]["items_sent"] == ["m4000_400.fmw"]
               and outcomes.get(current, {}).get("outcome") == "upToDate",
               "check mode outcomes: %s" % outcomes)
        diff = would.get("diff", [])
        expect(len(diff) == 1 and "3.10" in diff[0]["before"] and "4.00" in diff[0]["after"],
               "check mode diff: %s" % diff)
        expect(sim.bytes_received() == 0 and not sim.applied(),
               "check mode sent bytes: %s" % sim.output())

        # The upgrade, a second run, and a fleet with a silent printer.
        firmware = """
meridot.upkeep.firmware:
  printers: %s
  %s
  package: %s
"""
        status, results = playbook(scratch, "upgrade", [
            ("upgrade", firmware % (two, "state: latest", PACKAGE) + "diff: true\n"),
            ("again", firmware % (two, "state: latest", PACKAGE)),
            ("silent", firmware % ("[%s, %s]" % (new, silent), "state: latest", PACKAGE)),
            ("downgrade", firmware % ("[%s]" % new, 'version: "3.20"', PACKAGE)),
            ("downgrade_again", firmware % ("[%s]" % new, 'version: "3.20"', PACKAGE)),
        ])
        expect(status == 0, "upgrade playbook: status %d" % status)
        upgrade = results["upgrade"]
        outcomes = by_name(upgrade.get("printers", []))
        expect(upgrade.get("changed") is True and not upgrade.get("failed")
               and outcomes.get(new, {}).get("outcome") == "sent"
               and outcomes[new]["items_sent"] == ["m4000_400.fmw"]
               and outcomes[new]["version_after"] == "4.00"
               and outcomes.get(current, {}).get("outcome") == "upToDate",
               "upgrade: %s" % upgrade)
        diff = upgrade.get("diff", [])
        expect(len(diff) == 1 and "3.10" in diff[0]["before"] and "4.00" in diff[0]["after"],
               "upgrade diff: %s" % diff)
        expect(results["again"].get("changed") is False and not results["again"].get("failed"),
               "second run: %s" % results["again"])
        failing = results["silent"]
        outcomes = by_name(failing.get("printers", []))
        expect(failing.get("failed") is True and silent in failing.get("msg", "")
               and "could not be contacted" in failing.get("msg", "").lower()
               and outcomes.get(new, {}).get("outcome") == "upToDate"
               and outcomes.get(silent, {}).get("outcome") == "failed"
               and failing.get("changed") is False,
               "a silent printer: %s" % failing)
        expect(results["downgrade"].get("changed") is True
               and not results["downgrade"].get("failed"), "downgrade: %s" % results["downgrade"])
        expect(results["downgrade_again"].get("changed") is False
               and not results["downgrade_again"].get("failed"),
               "downgrade again: %s" % results["downgrade_again"])
        applied = sim.applied()
        expect(applied == ["applied %s Meridot-4000 4.00" % new,
                           "applied %s Meridot-4000 3.20" % new], "applied: %s" % applied)
    finally:
        if sim:
            sim.stop()
        shutil.rmtree(scratch, ignore_errors=True)
    if failures:
        sys.exit("%d failed" % len(failures))
    print("ok")


if __name__ == "__main__":
    main()
