// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SENDVALIDATOR_P_H
#define MESSAGING0_SENDVALIDATOR_P_H

#include "sendvalidator.h"
#include "simstatusmonitor.h"

#include <QObject>
#include <QPointer>
#include <QString>

class DialogService;
class NetworkStatusManager;

class SendValidatorPrivate : public QObject
{
    Q_OBJECT
    Q_DECLARE_PUBLIC(SendValidator)

public:
    SendValidatorPrivate(SendValidator *q, const QString &accountPath, bool cellular, bool askUser);
    ~SendValidatorPrivate() override;

    void validateCellular();
    void validateAccount();
    void fail(int code);
    void complete();
    void stopListeningToRadio();
    void publishNoSimNotification();
    void showDisabledAccountBanner();

    NetworkStatusManager *manager() const;
    // The account a cellular check asks NetworkStatusManager::sendReadiness() about.
    QString cellularAccountPath() const;

    QString accountPath;
    bool cellular;
    bool askUser;
    // The question on screen; the validator deletes it once answered. Null
    // by itself if somebody else destroys it first.
    QPointer<DialogService> dialog;
    SendValidator::Dialog currentDialog = SendValidator::NoDialog;
    bool flightModeExitAccepted = false;
    // validate() waits for the first SIM report.
    bool waitingForSim = false;
    SendValidator *const q_ptr; // the owner, which emits the results

public Q_SLOTS:
    void slotOnCellularOnline(bool value);
    void slotOnDialogDisappeared();
    void slotOnSimStatusChanged(SimStatusMonitor::SimStatus status);
    void slotOnDeviceModeChanged(bool normalMode);
};

#endif // MESSAGING0_SENDVALIDATOR_P_H
