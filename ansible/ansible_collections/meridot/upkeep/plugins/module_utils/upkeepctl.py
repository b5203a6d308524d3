# -*- coding: utf-8 -*-
# Runs upkeepctl on the managed host and reads its JSON. Every decision
# about a printer is upkeepctl's: this only builds command lines and reads
# what it answers.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json


def target_argument_spec():
    return dict(
        printers=dict(type="list", elements="str"),
        all=dict(type="bool", default=False),
        package=dict(type="path"),
        keyring=dict(type="path"),
        require_signed=dict(type="bool", default=False),
        community=dict(type="str", no_log=True),
        parallel=dict(type="int"),
        upkeepctl=dict(type="path"),
    )


def upkeepctl_path(module):
    if module.params["upkeepctl"]:
        return module.params["upkeepctl"]
    return module.get_bin_path("upkeepctl", required=True)


def targets(module):
    """The TARGET arguments and --all, in the order upkeepctl takes them."""
    args = list(module.params["printers"] or [])
    if module.params["all"]:
        args.append("--all")
    if not args:
        module.fail_json(msg="name printers, or set all: true")
    return args


def shared_options(module, parallel=True):
    args = []
    if module.params["package"]:
        args += ["--package", module.params["package"]]
    if module.params["keyring"]:
        args += ["--keyring", module.params["keyring"]]
    if module.params["require_signed"]:
        args.append("--require-signed")
    if module.params["community"] is not None:
        args += ["--community", module.params["community"]]
    if parallel and module.params["parallel"] is not None:
        args += ["--parallel", str(module.params["parallel"])]
    return args


def run(module, args):
    """upkeepctl ARGS: (exit status, standard output, standard error)."""
    # Standard input is not a terminal: downloads need --yes, and no
    # question is ever waited for.
    return module.run_command([upkeepctl_path(module)] + args)


def run_json(module, args, accept_failure=False):
    """upkeepctl ARGS --json, parsed. With accept_failure, exit status 1 with
    a JSON document (some printers failed) is an answer, not an error."""
    rc, out, err = run(module, args + ["--json"])
    try:
        document = json.loads(out) if out.strip() else None
    except ValueError:
        document = None
    if rc == 0 and document is not None:
        return rc, document
    if rc == 1 and accept_failure and document is not None:
        return rc, document
    module.fail_json(
        msg="upkeepctl %s failed (exit status %d): %s" % (args[0], rc, err.strip() or out.strip()),
        rc=rc,
        stdout=out,
        stderr=err,
        cmd=[upkeepctl_path(module)] + args + ["--json"],
    )


def check(module):
    """The printers as upkeepctl check --json reports them."""
    args = ["check"] + targets(module) + shared_options(module)
    return run_json(module, args)[1]


def printer_info(entry):
    """A printer of check --json as the modules return it."""
    upgrades = entry.get("upgrades", [])
    return dict(
        name=entry["name"],
        state=entry["effectiveState"],
        printer_state=entry["state"],
        state_text=entry.get("stateText", ""),
        model=entry["model"],
        version=entry["version"],
        subsystems=entry.get("subsystems", []),
        upgrade_available=entry["effectiveState"] == "upgradeAvailable",
        upgrades=upgrades,
    )


def version_lines(info, upgrades=None):
    """A printer's versions, one line per unit, for a diff. With `upgrades`,
    the units those files are for read the version they bring."""
    brought = {}
    for upgrade in upgrades or []:
        brought[upgrade["model"]] = upgrade["version"]
    lines = []
    if info["model"] or info["version"]:
        lines.append("%s %s" % (info["model"], brought.get(info["model"], info["version"])))
    for sub in info["subsystems"]:
        lines.append("  %s %s" % (sub["model"], brought.get(sub["model"], sub["version"])))
    return "\n".join(lines) + "\n" if lines else ""
