# -*- coding: utf-8 -*-
# The options every module of the collection shares: which printers, which
# package, and which upkeepctl.

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r"""
options:
  printers:
    description:
      - The printers to work on, as C(upkeepctl) takes them (TARGET) on the managed host,
        that is a dotted address or host name (with C(:PORT) for another data port),
        C(ipx:NET.NODE), C(usb:DEVICE-PATH), C(lpt:) or C(lpt:/dev/lpN).
      - Either this or C(all) is required.
    type: list
    elements: str
  all:
    description:
      - Work on every printer the managed host's print spooler (CUPS) knows, as
        C(upkeepctl printers) lists them, besides C(printers).
      - Fails when the spooler cannot be asked.
    type: bool
    default: false
  package:
    description:
      - Directory of the package (C(firmware.ini) and its C(.fmw) files) on the managed host.
      - Without it, C(upkeepctl) loads the package as the desktop program does
        (the working directory, then the settings file).
    type: path
  keyring:
    description:
      - A keyring file whose keys are trusted to sign the package, besides those
        in C(/etc/upkeep/trusted.gpg.d/) and the settings' C(Keyring).
      - A signed package whose signature no trusted key made is refused.
    type: path
  require_signed:
    description:
      - Refuse a package that is not signed by a trusted key.
    type: bool
    default: false
  community:
    description:
      - The SNMP community for network printers (1 to 63 characters).
      - C(upkeepctl)'s default applies when left out.
    type: str
  parallel:
    description:
      - At most this many printers at once (1 to 1024).
      - C(upkeepctl)'s default applies when left out (512 for a check, 8 for an upgrade).
    type: int
  upkeepctl:
    description:
      - Path of C(upkeepctl) on the managed host; found on C(PATH) when left out.
    type: path
requirements:
  - upkeepctl (the Upkeep package) on the managed host
"""
