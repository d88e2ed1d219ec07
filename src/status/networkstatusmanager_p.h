// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_NETWORKSTATUSMANAGER_P_H
#define MESSAGING0_NETWORKSTATUSMANAGER_P_H

#include "cellularpowercontrol.h"
#include "devicemodemonitor.h"
#include "simstatusmonitor.h"

#include <TelepathyQt/Account>

#include <QMap>
#include <QScopedPointer>
#include <QString>

class NetworkStatusManagerPrivate
{
public:
    // The platform monitors belong to the manager (no Qt parent).
    QScopedPointer<DeviceModeMonitor> deviceMode;
    QScopedPointer<CellularPowerControl> power;
    QScopedPointer<SimStatusMonitor> sim;

    bool cellularOnline = true;
    bool normalMode = true;
    SimStatusMonitor::SimStatus simStatus = SimStatusMonitor::SimStatusUnknown;
    // The SIM monitor has answered (its answer may be "unknown" as well).
    bool simReported = false;
    // Accounts whose connection status is followed, by object path.
    QMap<QString, Tp::AccountPtr> watchedAccounts;
    // A request to leave flight mode waits for the platform's answer.
    bool normalModeRequested = false;
};

#endif // MESSAGING0_NETWORKSTATUSMANAGER_P_H
