// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SIMSTATUSMONITOR_H
#define MESSAGING0_SIMSTATUSMONITOR_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

//! The state of the SIM card.
//!
//! The default implementation (PlatformServices::createSimStatusMonitor())
//! reads oFono's SimManager of the first modem ("Present", "PinRequired") on
//! the system bus and follows modems that come and go. Replace it through
//! PlatformServices::setSimStatusMonitorFactory().
class MESSAGING0_EXPORT SimStatusMonitor : public QObject
{
    Q_OBJECT

public:
    //! The SIM card's state.
    enum SimStatus {
        //! Not a platform value: NetworkStatusManager's "not reported yet".
        SimStatusUnknown = -1,
        SimReady = 0,        //!< present and unlocked
        SimNotAvailable = 1, //!< no SIM card, or no modem (or no oFono) to read one
        SimPinRequired = 2,  //!< present, waiting for its PIN
        SimPukRequired = 3,  //!< present, blocked until its PUK is given
        SimLocked = 4        //!< present, locked to another network or operator
    };
    Q_ENUM(SimStatus)

    //! For subclasses; use PlatformServices::createSimStatusMonitor().
    explicit SimStatusMonitor(QObject *parent = nullptr);
    ~SimStatusMonitor() override;

    //! Asks for the current status; the answer always arrives later, as
    //! statusComplete() (never from inside this call). error is empty on
    //! success and says why otherwise (the status is then the best known,
    //! SimNotAvailable when there is no modem).
    virtual void status() = 0;

Q_SIGNALS:
    //! The answer to status(); error is empty on success.
    void statusComplete(SimStatusMonitor::SimStatus status, const QString &error);
    //! The platform reported a new state.
    void statusChanged(SimStatusMonitor::SimStatus status);

private:
    Q_DISABLE_COPY(SimStatusMonitor)
};

#endif // MESSAGING0_SIMSTATUSMONITOR_H
