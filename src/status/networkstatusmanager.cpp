// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "networkstatusmanager.h"
#include "networkstatusmanager_p.h"

#include "accountpaths.h"
#include "accountutils.h"
#include "messaginglogging.h"
#include "platformservices.h"
#include "processwide.h"

#include <TelepathyQt/Presence>

#include <QCoreApplication>

// Owned by the application object.
NetworkStatusManager *NetworkStatusManager::instance()
{
    return ProcessWide<NetworkStatusManager>::instance(
        [] { return new NetworkStatusManager(QCoreApplication::instance()); });
}

NetworkStatusManager::NetworkStatusManager(QObject *parent)
    : QObject(parent)
    , d_ptr(new NetworkStatusManagerPrivate)
{
    Q_D(NetworkStatusManager);
    d->deviceMode.reset(PlatformServices::createDeviceModeMonitor());
    d->power.reset(PlatformServices::createCellularPowerControl());
    d->cellularOnline = true;
    d->normalMode = true;
    d->sim.reset(PlatformServices::createSimStatusMonitor());
    d->simStatus = SimStatusMonitor::SimStatusUnknown;

    connect(d->deviceMode.data(), &DeviceModeMonitor::deviceModeChanged,
            this, &NetworkStatusManager::slotOnDeviceModeChanged);
    connect(d->power.data(), &CellularPowerControl::powerChanged,
            this, &NetworkStatusManager::slotOnCellularNetworkConnected);
    connect(d->sim.data(), &SimStatusMonitor::statusChanged,
            this, &NetworkStatusManager::slotOnSIMStatusChanged);
    connect(d->sim.data(), &SimStatusMonitor::statusComplete, this,
            [this](SimStatusMonitor::SimStatus status, const QString &error) {
                if (!error.isEmpty())
                    qCInfo(lcStatus) << "SIM status:" << error;
                slotOnSIMStatusChanged(status);
            });
    connect(AccountUtils::instance(), &AccountUtils::accountRemoved,
            this, &NetworkStatusManager::slotOnAccountRemoved);

    slotOnDeviceModeChanged(d->deviceMode->getMode());
    slotOnCellularNetworkConnected(d->power->power());
    d->sim->status();
}

NetworkStatusManager::~NetworkStatusManager()
{
    delete d_ptr;
}

bool NetworkStatusManager::isCellularOnline() const
{
    return d_func()->cellularOnline;
}

bool NetworkStatusManager::isDeviceInNormalMode() const
{
    return d_func()->normalMode;
}

SimStatusMonitor::SimStatus NetworkStatusManager::simStatus() const
{
    return d_func()->simStatus;
}

int NetworkStatusManager::checkAccountStatus(Tp::AccountPtr account)
{
    if (account.isNull() || !account->isReady())
        return AccountOffline;
    if (!account->isEnabled())
        return AccountDisabled;
    const bool connected = account->connectionStatus() == Tp::ConnectionStatusConnected;
    if (connected)
        return AccountUsable;
    const Tp::ConnectionPresenceType requested = account->requestedPresence().type();
    if (requested == Tp::ConnectionPresenceTypeUnset || requested == Tp::ConnectionPresenceTypeOffline)
        return AccountOffline;
    return AccountConnecting;
}

int NetworkStatusManager::accountStatus(const QString &path)
{
    Q_D(NetworkStatusManager);
    if (path.isEmpty())
        return AccountOffline;
    Tp::AccountPtr account = AccountUtils::instance()->account(path);
    if (account.isNull())
        return AccountOffline;
    if (!d->watchedAccounts.contains(account->objectPath())) {
        d->watchedAccounts.insert(account->objectPath(), account);
        connect(account.data(), &Tp::Account::connectionStatusChanged, this,
                &NetworkStatusManager::slotOnConnectionStatusChanged, Qt::UniqueConnection);
    }
    return checkAccountStatus(account);
}

NetworkStatusManager::SendReadiness NetworkStatusManager::sendReadiness(const QString &accountPath)
{
    Q_D(NetworkStatusManager);
    const QString path = accountPath.isEmpty() ? accountPath : AccountPaths::withPrefix(accountPath);
    const int status = accountStatus(path);
    if (path != AccountPaths::Cellular && path != AccountPaths::Mms)
        return SendReadiness(status);

    if (!d->simReported)
        return SendSimUnknown;
    if (d->simStatus == SimStatusMonitor::SimNotAvailable)
        return SendNoSimCard;
    if (!d->normalMode)
        return SendFlightMode;
    if (!d->cellularOnline)
        return SendRadioOff;
    if (status == AccountDisabled)
        return SendAccountDisabled;
    const Tp::AccountPtr account = AccountUtils::instance()->account(path);
    if (status == AccountOffline && account && account->isReady()
        && account->requestedPresence().type() == Tp::ConnectionPresenceTypeOffline)
        return SendAccountOffline;
    return SendReady;
}

void NetworkStatusManager::setCellularOnline(bool online)
{
    d_func()->power->setPower(online);
}

void NetworkStatusManager::setDeviceNormalMode(bool normalMode)
{
    Q_D(NetworkStatusManager);
    d->normalModeRequested = normalMode;
    d->deviceMode->setMode(normalMode ? DeviceModeMonitor::NormalMode : DeviceModeMonitor::FlightMode);
}

void NetworkStatusManager::slotOnDeviceModeChanged(DeviceModeMonitor::DeviceMode aMode)
{
    Q_D(NetworkStatusManager);
    if (aMode == DeviceModeMonitor::NormalMode)
        d->normalMode = true;
    else if (aMode == DeviceModeMonitor::FlightMode)
        d->normalMode = false;
    Q_EMIT deviceModeChanged(d->normalMode);

    if (!d->normalModeRequested)
        return;
    d->normalModeRequested = false;
    // Whoever waits for the radio after asking to leave flight mode would
    // wait forever when the platform could not leave it (refused, or the
    // service went away): the radio is still off, say so.
    if (aMode != DeviceModeMonitor::NormalMode && !d->cellularOnline) {
        qCInfo(lcStatus) << "flight mode was not left; the radio stays off";
        Q_EMIT cellularOnline(false);
    }
}

void NetworkStatusManager::slotOnCellularNetworkConnected(bool aValue)
{
    Q_D(NetworkStatusManager);
    d->cellularOnline = aValue;
    Q_EMIT cellularOnline(aValue);
}

void NetworkStatusManager::slotOnSIMStatusChanged(SimStatusMonitor::SimStatus aStatus)
{
    Q_D(NetworkStatusManager);
    d->simStatus = aStatus;
    d->simReported = true;
    Q_EMIT simStatusChanged(aStatus);
}

void NetworkStatusManager::slotOnAccountRemoved(QString path)
{
    d_func()->watchedAccounts.remove(path);
}

void NetworkStatusManager::slotOnConnectionStatusChanged(Tp::ConnectionStatus connectionStatus)
{
    Q_UNUSED(connectionStatus) // recomputed from the account as a whole
    auto *account = qobject_cast<Tp::Account *>(sender());
    if (!account)
        return;
    const int status = checkAccountStatus(Tp::AccountPtr(account));
    Q_EMIT accountStatusChanged(status, account->objectPath());
}
