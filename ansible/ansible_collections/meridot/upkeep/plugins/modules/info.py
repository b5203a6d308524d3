# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: info
short_description: Report the state and system software of Meridot printers
description:
  - Analyses printers from the managed host with C(upkeepctl check --json) against a
    package, and returns each printer's state, model, version, subsystems and the
    upgrades the package has for it.
  - Never sends anything to a printer, and never reports a change.
version_added: 1.0.0
extends_documentation_fragment:
  - meridot.upkeep.targets
attributes:
  check_mode:
    support: full
    description: Runs as usual, since it changes nothing.
  diff_mode:
    support: none
    description: Nothing changes.
seealso:
  - module: meridot.upkeep.firmware
author:
  - The Upkeep developers
"""

EXAMPLES = r"""
- name: Ask every printer the print spooler knows
  meridot.upkeep.info:
    all: true
    package: /srv/upkeep/package
  register: fleet

- name: Name the printers that have an upgrade waiting
  ansible.builtin.debug:
    msg: "{{ fleet.printers | selectattr('upgrade_available') | map(attribute='name') | list }}"

- name: Two printers by address, with another SNMP community
  meridot.upkeep.info:
    printers:
      - 192.0.2.10
      - 192.0.2.11
    community: office
"""

RETURN = r"""
printers:
  description: One entry per printer, in the order upkeepctl reports them (spooler printers first with C(all)).
  returned: always
  type: list
  elements: dict
  contains:
    name:
      description: The printer as named (TARGET, or the spooler's port).
      type: str
      sample: 192.0.2.10
    state:
      description:
        - The printer's state, its subsystems' included
        - One of C(upToDate), C(upgradeAvailable), C(notReachable), C(unsupported), C(unsupportedConnection).
      type: str
      sample: upgradeAvailable
    printer_state:
      description: The state of the printer itself, its subsystems left out.
      type: str
      sample: upToDate
    state_text:
      description: The state as the program words it, in the managed host's language.
      type: str
      sample: Upgrade available
    model:
      description: The printer's model; empty when it did not answer.
      type: str
      sample: Meridot-5200
    version:
      description: The printer's system software version; empty when it did not answer.
      type: str
      sample: "6.00"
    subsystems:
      description: The printer's subsystems, each with its model, version and state.
      type: list
      elements: dict
      sample: [{"model": "Finisher-F2", "version": "F2.10", "state": "upgradeAvailable"}]
    upgrade_available:
      description: Whether the package has an upgrade for the printer or one of its subsystems.
      type: bool
      sample: true
    upgrades:
      description: The files an upgrade would send, in order, each with the model and version it brings.
      type: list
      elements: dict
      sample: [{"model": "Finisher-F2", "version": "F2.30", "file": "finf2_230.fmw"}]
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.meridot.upkeep.plugins.module_utils.upkeepctl import (
    check,
    printer_info,
    target_argument_spec,
)


def main():
    module = AnsibleModule(
        argument_spec=target_argument_spec(),
        required_one_of=[("printers", "all")],
        supports_check_mode=True,
    )
    printers = [printer_info(entry) for entry in check(module)]
    module.exit_json(changed=False, printers=printers)


if __name__ == "__main__":
    main()
