// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "networkstatus.h"

#include <messaging0/networkstatusmanager.h>

QmlNetworkStatus::QmlNetworkStatus(QObject *parent) : QObject(parent)
{
    NetworkStatusManager *status = NetworkStatusManager::instance();
    connect(status, &NetworkStatusManager::cellularOnline, this, &QmlNetworkStatus::radioOnChanged);
    connect(status, &NetworkStatusManager::simStatusChanged, this, &QmlNetworkStatus::simStatusChanged);
    connect(status, &NetworkStatusManager::deviceModeChanged, this, &QmlNetworkStatus::flightModeChanged);
}

bool QmlNetworkStatus::radioOn() const
{
    return NetworkStatusManager::instance()->isCellularOnline();
}

int QmlNetworkStatus::simStatus() const
{
    return NetworkStatusManager::instance()->simStatus();
}

bool QmlNetworkStatus::flightMode() const
{
    return !NetworkStatusManager::instance()->isDeviceInNormalMode();
}

void QmlNetworkStatus::setRadioOn(bool on)
{
    NetworkStatusManager::instance()->setCellularOnline(on);
}

void QmlNetworkStatus::setFlightMode(bool on)
{
    NetworkStatusManager::instance()->setDeviceNormalMode(!on);
}
