# SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
#
# SPDX-License-Identifier: LGPL-2.1-or-later

"""Telepathy fixture for run-in-private-bus --telepathy (see README.md).

setup() writes, before the bus starts:
  - D-Bus .service files for the test connection managers (tala, vexo,
    loopback), all pointing at the messaging-test-cm binary;
  - their .manager files under $T/share/telepathy/managers/;
  - the client files Messaging.client and MessagingTest.client under
    $T/share/telepathy/clients/;
  - Mission Control's accounts.cfg, fresh from data/accounts.cfg.
setup_recorder() (--history=PATH) adds the history recorder's .service file
for PATH and its MessagingHistory.client from tools/messaging-history/.

Environment read here:
  MESSAGING_TEST_CM               path of messaging-test-cm (or --cm=PATH)
  MESSAGING_TEST_VALIDITY_PERIOD  when set, the cellular account starts with
                                  this validity-period parameter (an unsigned
                                  number); otherwise it has none.
"""

import os
import shutil

HERE = os.path.dirname(os.path.realpath(__file__))
DATA = os.path.join(HERE, "data")
RECORDER_CLIENT = os.path.join(HERE, "..", "..", "tools", "messaging-history", "MessagingHistory.client")
RECORDER_NAME = "org.freedesktop.Telepathy.Client.MessagingHistory"
MANAGERS = ("tala", "vexo", "loopback")
CLIENTS = ("Messaging.client", "MessagingTest.client")
VALIDITY_PARAM = "org.freedesktop.Telepathy.Connection.Interface.Cellular.MessageValidityPeriod"

SERVICE_TEMPLATE = """[D-BUS Service]
Name=org.freedesktop.Telepathy.ConnectionManager.{manager}
Exec={binary} {manager}
"""


class FixtureError(RuntimeError):
    pass


def setup_recorder(tree, binary):
    """--history=PATH: the recorder activatable by its client name, as installed."""
    if not binary or not os.access(binary, os.X_OK):
        raise FixtureError("the history recorder is not built or not given (--history=PATH): %r" % binary)
    services = os.path.join(tree, "share", "dbus-1", "services")
    clients = os.path.join(tree, "share", "telepathy", "clients")
    for d in (services, clients):
        os.makedirs(d, exist_ok=True)
    with open(os.path.join(services, RECORDER_NAME + ".service"), "w") as f:
        f.write("[D-BUS Service]\nName=%s\nExec=%s\n" % (RECORDER_NAME, os.path.realpath(binary)))
    shutil.copyfile(RECORDER_CLIENT, os.path.join(clients, "MessagingHistory.client"))


def setup(tree, env, cm_binary=None):
    binary = cm_binary or env.get("MESSAGING_TEST_CM")
    if not binary or not os.access(binary, os.X_OK):
        raise FixtureError("the test connection manager is not built or not given "
                           "(--cm=PATH or MESSAGING_TEST_CM): %r" % binary)
    binary = os.path.realpath(binary)

    services = os.path.join(tree, "share", "dbus-1", "services")
    managers = os.path.join(tree, "share", "telepathy", "managers")
    clients = os.path.join(tree, "share", "telepathy", "clients")
    for d in (services, managers, clients):
        os.makedirs(d, exist_ok=True)

    for manager in MANAGERS:
        name = "org.freedesktop.Telepathy.ConnectionManager.%s.service" % manager
        with open(os.path.join(services, name), "w") as f:
            f.write(SERVICE_TEMPLATE.format(manager=manager, binary=binary))
        shutil.copyfile(os.path.join(DATA, manager + ".manager"),
                        os.path.join(managers, manager + ".manager"))

    for client in CLIENTS:
        shutil.copyfile(os.path.join(DATA, client), os.path.join(clients, client))

    period = env.get("MESSAGING_TEST_VALIDITY_PERIOD", "")
    if period and not period.isdigit():
        raise FixtureError("MESSAGING_TEST_VALIDITY_PERIOD must be an unsigned number: %r" % period)
    line = "param-%s=%s" % (VALIDITY_PARAM, period) if period else ""
    with open(os.path.join(DATA, "accounts.cfg")) as f:
        accounts = f.read().replace("@VALIDITY_PERIOD@", line)
    mc_dir = os.path.join(env["XDG_DATA_HOME"], "telepathy", "mission-control")
    os.makedirs(mc_dir, exist_ok=True)
    with open(os.path.join(mc_dir, "accounts.cfg"), "w") as f:
        f.write(accounts)
