# SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
#
# SPDX-License-Identifier: LGPL-2.1-or-later

'''The tests' fake oFono: python-dbusmock's "ofono" template (org.ofono.Manager
at "/", one modem "/ril_0" with Online true, SimManager with Present true),
plus RemoveModem(name) on the mock interface so that modems can go as well
as come (AddModem(name, {}) comes with the template).

Run by tests/lib/run-in-private-bus --system-bus on the private system bus:
    python3 -m dbusmock --system --template tests/lib/fakeofono.py
Drive it from a test with SystemBusFakes (systembusfakes.h).
'''

import dbus

import dbusmock
from dbusmock.templates.ofono import *  # noqa: F401,F403  (load, AddModem, ...)
from dbusmock.templates.ofono import MAIN_IFACE


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='s', out_signature='')
def RemoveModem(self, name):
    '''Removes the modem "/<name>" and tells the Manager's listeners.'''
    path = '/' + name
    if path in self.modems:
        self.modems.remove(path)
    self.RemoveObject(path)
    self.EmitSignal(MAIN_IFACE, 'ModemRemoved', 'o', [dbus.ObjectPath(path)])
