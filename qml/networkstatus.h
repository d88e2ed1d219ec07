// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_QML_NETWORKSTATUS_H
#define MESSAGING_QML_NETWORKSTATUS_H

#include <messaging0/simstatusmonitor.h>

#include <QObject>

// The device state that decides whether an SMS can leave, as properties
// that change with the device (NetworkStatusManager).
class QmlNetworkStatus : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool radioOn READ radioOn NOTIFY radioOnChanged)
    Q_PROPERTY(int simStatus READ simStatus NOTIFY simStatusChanged)
    Q_PROPERTY(bool flightMode READ flightMode NOTIFY flightModeChanged)
public:
    // The values of simStatus.
    enum SimStatus {
        SimUnknown = SimStatusMonitor::SimStatusUnknown,
        SimReady = SimStatusMonitor::SimReady,
        SimNotAvailable = SimStatusMonitor::SimNotAvailable,
        SimPinRequired = SimStatusMonitor::SimPinRequired,
        SimPukRequired = SimStatusMonitor::SimPukRequired,
        SimLocked = SimStatusMonitor::SimLocked
    };
    Q_ENUM(SimStatus)

    explicit QmlNetworkStatus(QObject *parent = nullptr);

    bool radioOn() const;
    int simStatus() const;
    bool flightMode() const;

    // Requests; the properties change when the device reports.
    Q_INVOKABLE void setRadioOn(bool on);
    Q_INVOKABLE void setFlightMode(bool on);

Q_SIGNALS:
    void radioOnChanged();
    void simStatusChanged();
    void flightModeChanged();
};

#endif // MESSAGING_QML_NETWORKSTATUS_H
