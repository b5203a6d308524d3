# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: firmware
short_description: Upgrade or downgrade the system software of Meridot printers
description:
  - With C(state=latest), sends every upgrade the package has to each printer and its
    subsystems, through C(upkeepctl upgrade --yes --json) on the managed host.
  - With C(version), sends one printer that older version of the package, through
    C(upkeepctl downgrade TARGET VERSION --yes).
  - The printers are analysed first (C(upkeepctl check --json)); a printer that is up to
    date, or already runs C(version), is left alone, so a second run changes nothing.
  - A printer that cannot be upgraded (not reachable, not supported, a failed or
    unverified download) fails the task; the message names it, and C(printers) still
    holds every printer's outcome.
version_added: 1.0.0
extends_documentation_fragment:
  - meridot.upkeep.targets
options:
  state:
    description:
      - C(latest) sends every available upgrade.
      - Exactly one of C(state) and C(version) is required.
    type: str
    choices: [latest]
  version:
    description:
      - The package's version to send to the one printer of C(printers), older than the one
        it runs (a downgrade). C(upkeepctl) refuses a version the package lists as newer.
    type: str
  verify:
    description:
      - After the last file, wait for each printer to come back (up to 10 minutes) and
        check that it runs the versions sent; a printer that does not fails the task.
    type: bool
    default: false
attributes:
  check_mode:
    support: full
    description:
      - Nothing is sent; C(printers) tells what would be sent to each printer.
      - A C(version) the package lists as newer than the printer's is refused by
        C(upkeepctl) only when it is sent, so check mode reports it as a downgrade.
  diff_mode:
    support: full
    description: Each changed printer's versions before and after, one line per unit.
seealso:
  - module: meridot.upkeep.info
author:
  - The Upkeep developers
"""

EXAMPLES = r"""
- name: Every available upgrade to the printers of this site's spooler
  meridot.upkeep.firmware:
    all: true
    state: latest
    package: /srv/upkeep/package
    verify: true

- name: What would be sent, without sending it
  meridot.upkeep.firmware:
    printers: [192.0.2.10, 192.0.2.11]
    state: latest
  check_mode: true
  diff: true

- name: Back to 5.10 on one printer
  meridot.upkeep.firmware:
    printers: [192.0.2.12]
    version: "5.10"
    package: /srv/upkeep/package
"""

RETURN = r"""
printers:
  description: Every printer's outcome, in the order upkeepctl reports them.
  returned: always
  type: list
  elements: dict
  contains:
    name:
      description: The printer.
      type: str
      sample: 192.0.2.10
    outcome:
      description:
        - C(sent), C(verified), C(notVerified), C(notApplied), C(upToDate), C(failed) or
          C(canceled) as upkeepctl reports it; C(wouldUpgrade) or C(wouldDowngrade) in check mode.
      type: str
      sample: sent
    code:
      description: upkeepctl's stable reason code for an outcome that is not a success (for
        example C(notReachable), C(busy), C(stalled), C(refusedFile), C(notApplied)); null otherwise.
      type: str
      sample: notReachable
    reason:
      description: upkeepctl's words on the outcome.
      type: str
      sample: The download was sent.
    items_sent:
      description: The package's files sent (in check mode, those that would be); for a downgrade, the version sent.
      type: list
      elements: str
      sample: [m5200_600.fmw]
    model:
      description: The printer's model as analysed before.
      type: str
      sample: Meridot-5200
    version_before:
      description: The printer's system software version before.
      type: str
      sample: "5.10"
    version_after:
      description: The version the files sent bring (the same as before when none is for the printer itself).
      type: str
      sample: "6.00"
"""

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.meridot.upkeep.plugins.module_utils.upkeepctl import (
    check,
    printer_info,
    run,
    run_json,
    shared_options,
    target_argument_spec,
    targets,
    version_lines,
)

# upkeepctl's outcomes that leave a printer as the task wants it.
GOOD = ("sent", "verified", "upToDate")


def outcome(info, name, result, items, upgrades, reason, code=None):
    brought = dict((u["model"], u["version"]) for u in upgrades)
    return dict(
        name=name,
        outcome=result,
        code=code,
        reason=reason,
        items_sent=items,
        model=info["model"] if info else "",
        version_before=info["version"] if info else "",
        version_after=(brought.get(info["model"], info["version"]) if info else ""),
    )


def diff_of(info, upgrades):
    return dict(
        before_header="%s (before)" % info["name"],
        after_header="%s (after)" % info["name"],
        before=version_lines(info),
        after=version_lines(info, upgrades),
    )


def finish(module, results, diffs):
    changed = any(r["items_sent"] for r in results)
    failed = [r for r in results if r["outcome"] not in GOOD + ("wouldUpgrade", "wouldDowngrade")]
    extra = dict(changed=changed, printers=results)
    if module._diff:
        extra["diff"] = diffs
    if failed:
        names = "; ".join("%s: %s (%s)" % (r["name"], r["outcome"], r["reason"]) for r in failed)
        module.fail_json(msg="not upgraded: " + names, **extra)
    module.exit_json(**extra)


def latest(module, before):
    results, diffs = [], []
    if module.check_mode:
        for info in before:
            if info["state"] == "upgradeAvailable":
                files = [os.path.basename(u["file"]) for u in info["upgrades"]]
                results.append(outcome(info, info["name"], "wouldUpgrade", files, info["upgrades"],
                                       "would be sent: " + ", ".join(files)))
                diffs.append(diff_of(info, info["upgrades"]))
            elif info["state"] == "upToDate":
                results.append(outcome(info, info["name"], "upToDate", [], [], info["state_text"]))
            else:
                results.append(outcome(info, info["name"], "failed", [], [], info["state_text"]))
        finish(module, results, diffs)

    args = ["upgrade"] + targets(module) + shared_options(module) + ["--yes"]
    if module.params["verify"]:
        args.append("--verify")
    rc, report = run_json(module, args, accept_failure=True)
    known = dict((info["name"], info) for info in before)
    for entry in report:
        info = known.get(entry["printer"])
        # upkeepctl names the paths it read; the package names its files.
        sent = [os.path.basename(path) for path in entry.get("itemsSent", [])]
        upgrades = [u for u in (info["upgrades"] if info else [])
                    if os.path.basename(u["file"]) in sent]
        results.append(outcome(info, entry["printer"], entry["outcome"], sent, upgrades,
                               entry.get("reason", ""), entry.get("code")))
        if sent and info:
            diffs.append(diff_of(info, upgrades))
    if rc != 0 and all(r["outcome"] in GOOD for r in results):
        module.fail_json(msg="upkeepctl upgrade failed (exit status %d)" % rc, printers=results)
    finish(module, results, diffs)


def downgrade(module, before):
    if module.params["all"] or len(module.params["printers"] or []) != 1:
        module.fail_json(msg="version takes exactly one printer in printers, and not all")
    info = before[0] if before else None
    name = module.params["printers"][0]
    version = module.params["version"]
    if not info or info["state"] not in ("upToDate", "upgradeAvailable"):
        reason = info["state_text"] if info else "not analysed"
        finish(module, [outcome(info, name, "failed", [], [], reason)], [])
    if info["version"] == version:
        finish(module, [outcome(info, name, "upToDate", [], [], "runs " + version)], [])
    wanted = [dict(model=info["model"], version=version, file=version)]
    change = diff_of(info, wanted)
    if module.check_mode:
        finish(module, [outcome(info, name, "wouldDowngrade", [version], wanted,
                                "would be sent: version " + version)], [change])

    args = ["downgrade", name, version] + shared_options(module, parallel=False) + ["--yes"]
    if module.params["verify"]:
        args.append("--verify")
    rc, entry = run_json(module, args, accept_failure=True)
    result, reason, code = entry["outcome"], entry.get("reason", ""), entry.get("code")
    if result not in GOOD and result not in ("notVerified", "notApplied"):
        # Nothing may have arrived, or all of it: the history tells which.
        finish(module, [outcome(info, name, result, [], [], reason, code)], [])
    finish(module, [outcome(info, name, result, [version], wanted, reason, code)], [change])


def main():
    argument_spec = target_argument_spec()
    argument_spec.update(
        state=dict(type="str", choices=["latest"]),
        version=dict(type="str"),
        verify=dict(type="bool", default=False),
    )
    module = AnsibleModule(
        argument_spec=argument_spec,
        required_one_of=[("printers", "all"), ("state", "version")],
        mutually_exclusive=[("state", "version")],
        supports_check_mode=True,
    )
    before = [printer_info(entry) for entry in check(module)]
    if module.params["version"] is not None:
        downgrade(module, before)
    latest(module, before)


if __name__ == "__main__":
    main()
