# SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
#
# SPDX-License-Identifier: LGPL-2.1-or-later

'''The tests' fake ConnMan: "net.connman.Manager" at "/" on the system bus with
the properties State and OfflineMode (flight mode, false at start unless the
template parameter {"OfflineMode": true} says otherwise). SetProperty on
OfflineMode stores it and emits PropertyChanged, as ConnMan does; other
properties are refused with net.connman.Error.InvalidProperty.

Run by tests/lib/run-in-private-bus --system-bus:
    python3 -m dbusmock --system --template tests/lib/fakeconnman.py
'''

import dbus

BUS_NAME = 'net.connman'
MAIN_OBJ = '/'
MAIN_IFACE = 'net.connman.Manager'
SYSTEM_BUS = True


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, {
        'State': dbus.String('online'),
        'OfflineMode': dbus.Boolean(parameters.get('OfflineMode', False)),
        'SessionMode': dbus.Boolean(False),
    })
    mock.AddMethods(MAIN_IFACE, [
        ('GetProperties', '', 'a{sv}', 'ret = self.GetAll("%s")' % MAIN_IFACE),
        ('SetProperty', 'sv', '',
         'if args[0] != "OfflineMode":\n'
         '    raise dbus.exceptions.DBusException("no such property",'
         ' name="net.connman.Error.InvalidProperty")\n'
         'self.Set("%s", args[0], dbus.Boolean(args[1]))\n'
         'self.EmitSignal("%s", "PropertyChanged", "sv", [args[0], dbus.Boolean(args[1], variant_level=1)])'
         % (MAIN_IFACE, MAIN_IFACE)),
    ])
