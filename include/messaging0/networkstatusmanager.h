// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_NETWORKSTATUSMANAGER_H
#define MESSAGING0_NETWORKSTATUSMANAGER_H

#include "devicemodemonitor.h"
#include "messaging0global.h"
#include "simstatusmonitor.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/Constants>

#include <QObject>
#include <QString>

class NetworkStatusManagerPrivate;

//! Whether a message can leave the device now.
//!
//! Mirrors the radio power, the SIM state and normal/flight mode of the
//! platform (see PlatformServices for the monitors behind them), and tells
//! the usability of Telepathy accounts:
//!   0 usable, 1 offline (or unknown), 2 connecting, 3 disabled.
//! Every change comes as a signal. setCellularOnline() and
//! setDeviceNormalMode() only ask the platform: the stored values change
//! when the platform reports.
class MESSAGING0_EXPORT NetworkStatusManager : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(NetworkStatusManager)

public:
    //! \var NetworkStatusManager::AccountUsable
    //! Connected and enabled: messages can leave.

    //! \var NetworkStatusManager::AccountOffline
    //! Offline, or not known.

    //! \var NetworkStatusManager::AccountConnecting
    //! Connecting.

    //! \var NetworkStatusManager::AccountDisabled
    //! Disabled by the user.

    //! The usability of an account, as accountStatus() tells it.
    enum AccountStatus { AccountUsable = 0, AccountOffline = 1, AccountConnecting = 2, AccountDisabled = 3 };

    //! Whether a message on an account can leave now, and if not, the first
    //! reason, as sendReadiness() tells it.
    enum SendReadiness {
        SendReady = 0,             //!< it can leave now
        SendAccountOffline = 1,    //!< the account is offline (asked to be, or not known or not ready)
        SendAccountConnecting = 2, //!< the account is connecting
        SendAccountDisabled = 3,   //!< the account is disabled
        SendSimUnknown = 4,        //!< cellular: the SIM card has not been reported yet
        SendNoSimCard = 5,         //!< cellular: no SIM card (SimStatusMonitor::SimNotAvailable)
        SendFlightMode = 6,        //!< cellular: the device is in flight mode
        SendRadioOff = 7           //!< cellular: the radio is off
    };
    Q_ENUM(SendReadiness)

    //! The process-wide manager, a child of the application object; a fresh
    //! one after the previous one was deleted.
    static NetworkStatusManager *instance();

    //! Use instance(); a second manager follows the platform on its own.
    explicit NetworkStatusManager(QObject *parent = nullptr);
    ~NetworkStatusManager() override;

    //! The radio is on, as the platform last reported.
    bool isCellularOnline() const;
    //! The device is in normal mode (not flight mode), as the platform last reported.
    bool isDeviceInNormalMode() const;
    //! SimStatusUnknown (-1) until the platform has answered.
    SimStatusMonitor::SimStatus simStatus() const;

    //! The account's status; starts following its connection status, so
    //! that accountStatusChanged() tells every change. An empty or unknown
    //! path (or an account that is not ready yet) is offline.
    int accountStatus(const QString &path);
    //! The status of one account object; no side effects.
    int checkAccountStatus(Tp::AccountPtr account);

    //! The library's one answer to "can a message on this account leave
    //! now": SendReady, or the first reason why not. The send check
    //! (SendValidator), the send queue's retries and the QML account list's
    //! "usable" all ask it.
    //!
    //! On the cellular accounts (SMS and MMS), in this order: the SIM card
    //! not reported yet, no SIM card, flight mode, the radio off; then the
    //! account when the user has to change it: disabled, or asked to be
    //! offline. Their connection itself does not count: it follows the
    //! radio, and a message waits for it (within MessageSender's bound). A
    //! locked SIM card does not count either: the platform asks for its PIN.
    //!
    //! On every other account: its accountStatus() (offline, connecting,
    //! disabled; usable is SendReady).
    //!
    //! Like accountStatus() it starts following the account, so that
    //! accountStatusChanged(), cellularOnline(), simStatusChanged() and
    //! deviceModeChanged() tell when the answer may have changed.
    SendReadiness sendReadiness(const QString &accountPath);

    //! Asks the platform to switch the radio; cellularOnline() reports the outcome.
    void setCellularOnline(bool online);
    //! Asks the platform for normal or flight mode; deviceModeChanged() reports the outcome.
    void setDeviceNormalMode(bool normalMode);

Q_SIGNALS:
    //! The radio's power changed, or a request left it as it was.
    void cellularOnline(bool aValue);
    //! The SIM card's state changed.
    void simStatusChanged(SimStatusMonitor::SimStatus status);
    //! The usability (AccountStatus) of a followed account changed.
    void accountStatusChanged(int status, QString accountPath);
    //! Normal or flight mode changed, or a request left it as it was.
    void deviceModeChanged(bool normalMode);

private Q_SLOTS:
    void slotOnDeviceModeChanged(DeviceModeMonitor::DeviceMode aMode);
    void slotOnCellularNetworkConnected(bool aValue);
    void slotOnSIMStatusChanged(SimStatusMonitor::SimStatus aStatus);
    void slotOnAccountRemoved(QString path);
    void slotOnConnectionStatusChanged(Tp::ConnectionStatus connectionStatus);

protected:
    NetworkStatusManagerPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(NetworkStatusManager)
};

#endif // MESSAGING0_NETWORKSTATUSMANAGER_H
