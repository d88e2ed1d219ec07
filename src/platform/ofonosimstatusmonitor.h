// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_OFONOSIMSTATUSMONITOR_H
#define MESSAGING0_OFONOSIMSTATUSMONITOR_H

#include "simstatusmonitor.h"

#include <QScopedPointer>
#include <QSharedPointer>

class OfonoModemFollower;
class QOfonoModem;
class QOfonoSimManager;

// The SIM of oFono's first modem, through libqofono's SimManager:
// "Present" false, no modem, a modem without a SimManager or no oFono give
// SimNotAvailable; "PinRequired" gives SimPinRequired, SimPukRequired or
// SimLocked; otherwise SimReady.
class OfonoSimStatusMonitor : public SimStatusMonitor
{
    Q_OBJECT

public:
    explicit OfonoSimStatusMonitor(QObject *parent = nullptr);
    ~OfonoSimStatusMonitor() override;

    void status() override;

private:
    void followModem(const QString &path);
    void update();
    void report(SimStatus status);

    OfonoModemFollower *m_follower;           // child of this
    QSharedPointer<QOfonoModem> m_modem;      // libqofono's shared object for the path
    QScopedPointer<QOfonoSimManager> m_sim;   // ours
    SimStatus m_status = SimStatusUnknown;
    bool m_answerPending = false;
};

#endif // MESSAGING0_OFONOSIMSTATUSMONITOR_H
