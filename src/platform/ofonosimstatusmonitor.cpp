// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "ofonosimstatusmonitor.h"

#include "ofonomodemfollower.h"

#include "messaginglogging.h"

#include <qofonomodem.h>
#include <qofonosimmanager.h>

#include <QTimer>

namespace {
const QString SimManagerInterface = QStringLiteral("org.ofono.SimManager");

SimStatusMonitor::SimStatus fromPin(QOfonoSimManager::PinType pin)
{
    switch (pin) {
    case QOfonoSimManager::NoPin:
        return SimStatusMonitor::SimReady;
    case QOfonoSimManager::SimPin:
    case QOfonoSimManager::SimPin2:
        return SimStatusMonitor::SimPinRequired;
    case QOfonoSimManager::SimPuk:
    case QOfonoSimManager::SimPuk2:
        return SimStatusMonitor::SimPukRequired;
    default:
        return SimStatusMonitor::SimLocked;
    }
}
} // namespace

SimStatusMonitor::SimStatusMonitor(QObject *parent)
    : QObject(parent)
{
    // For queued connections and QSignalSpy.
    qRegisterMetaType<SimStatusMonitor::SimStatus>();
}

SimStatusMonitor::~SimStatusMonitor() = default;

OfonoSimStatusMonitor::OfonoSimStatusMonitor(QObject *parent)
    : SimStatusMonitor(parent)
    , m_follower(new OfonoModemFollower(this))
{
    connect(m_follower, &OfonoModemFollower::modemChanged, this, &OfonoSimStatusMonitor::followModem);
}

OfonoSimStatusMonitor::~OfonoSimStatusMonitor() = default;

void OfonoSimStatusMonitor::status()
{
    if (m_status == SimStatusUnknown) {
        m_answerPending = true; // answered by the first report
        return;
    }
    QTimer::singleShot(0, this, [this] { Q_EMIT statusComplete(m_status, QString()); });
}

void OfonoSimStatusMonitor::followModem(const QString &path)
{
    if (m_modem)
        disconnect(m_modem.data(), nullptr, this, nullptr);
    m_modem.reset();
    m_sim.reset();
    if (path.isEmpty()) {
        report(SimNotAvailable);
        return;
    }
    m_modem = QOfonoModem::instance(path, false);
    m_sim.reset(new QOfonoSimManager);
    m_sim->setModemPath(path);
    connect(m_modem.data(), &QOfonoModem::validChanged, this, &OfonoSimStatusMonitor::update);
    connect(m_modem.data(), &QOfonoModem::interfacesChanged, this, &OfonoSimStatusMonitor::update);
    connect(m_sim.data(), &QOfonoSimManager::validChanged, this, &OfonoSimStatusMonitor::update);
    connect(m_sim.data(), &QOfonoSimManager::presenceChanged, this, &OfonoSimStatusMonitor::update);
    connect(m_sim.data(), &QOfonoSimManager::pinRequiredChanged, this, &OfonoSimStatusMonitor::update);
    update();
}

void OfonoSimStatusMonitor::update()
{
    if (!m_modem || !m_modem->isValid())
        return; // the modem's properties are on their way
    if (!m_modem->interfaces().contains(SimManagerInterface)) {
        // Powered off, or a modem without a SIM slot: no SIM to use.
        report(SimNotAvailable);
        return;
    }
    if (!m_sim || !m_sim->isValid())
        return;
    report(m_sim->present() ? fromPin(m_sim->pinRequired()) : SimNotAvailable);
}

void OfonoSimStatusMonitor::report(SimStatus status)
{
    const bool changed = status != m_status;
    m_status = status;
    if (m_answerPending) {
        m_answerPending = false;
        Q_EMIT statusComplete(status, QString());
    } else if (changed) {
        Q_EMIT statusChanged(status);
    }
}
