// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The default device monitors against the fake oFono and ConnMan of the
// private system bus: what they report at start, how they follow the
// platform, and that a missing, refusing or vanishing service is a state.

#include "connmandevicemodemonitor.h"
#include "ofonocellularpowercontrol.h"
#include "ofonosimstatusmonitor.h"
#include "systembusfakes.h"
#include "testhelpers.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const int Timeout = 10000;

// The last value a spy recorded, or an invalid QVariant.
QVariant last(const QSignalSpy &spy)
{
    return spy.isEmpty() ? QVariant() : spy.last().value(0);
}
} // namespace

class DeviceMonitorsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void reportsThePlatformStateAtStart();
    void followsFlightModeRadioAndSimChanges();
    void simLockStatesAreDistinguished_data();
    void simLockStatesAreDistinguished();
    void requestsReachTheServices();
    void refusedChangesAreReportedAsUnchanged();
    void followsModemsThatComeAndGo();
    void missingServicesAreStatesAndComingBackIsFollowed();
    void vanishingServicesAreReported();

private:
    SystemBusFakes m_fakes;
};

void DeviceMonitorsTest::initTestCase()
{
    QVERIFY2(m_fakes.isReady(), "needs run-in-private-bus --system-bus");
}

void DeviceMonitorsTest::cleanup()
{
    QVERIFY(m_fakes.restore());
}

void DeviceMonitorsTest::reportsThePlatformStateAtStart()
{
    // Flight mode and the radio are the platform's from the first call.
    QVERIFY(m_fakes.setOfflineMode(true));
    QVERIFY(m_fakes.setModemOnline(false));
    {
        ConnmanDeviceModeMonitor mode;
        OfonoCellularPowerControl power;
        QCOMPARE(mode.getMode(), DeviceModeMonitor::FlightMode);
        QVERIFY(!power.power());
    }
    QVERIFY(m_fakes.restore());

    ConnmanDeviceModeMonitor mode;
    OfonoCellularPowerControl power;
    OfonoSimStatusMonitor sim;
    QSignalSpy modeSpy(&mode, &DeviceModeMonitor::deviceModeChanged);
    QSignalSpy powerSpy(&power, &CellularPowerControl::powerChanged);
    QSignalSpy complete(&sim, &SimStatusMonitor::statusComplete);

    QCOMPARE(mode.getMode(), DeviceModeMonitor::NormalMode);
    QVERIFY(power.power());
    // The SIM's answer comes from the event loop.
    sim.status();
    QCOMPARE(complete.count(), 0);

    QVERIFY(waitFor(complete, 1, Timeout));
    QCOMPARE(complete.first().value(0).value<SimStatusMonitor::SimStatus>(), SimStatusMonitor::SimReady);
    QVERIFY(complete.first().value(1).toString().isEmpty());
    // The radio's power was reported before the SIM status.
    QVERIFY(!powerSpy.isEmpty());
    QCOMPARE(last(powerSpy).toBool(), true);

    // A second question is answered at once (from the event loop).
    sim.status();
    QCOMPARE(complete.count(), 1);
    QVERIFY(waitFor(complete, 2, Timeout));
}

void DeviceMonitorsTest::followsFlightModeRadioAndSimChanges()
{
    ConnmanDeviceModeMonitor mode;
    OfonoCellularPowerControl power;
    OfonoSimStatusMonitor sim;
    QSignalSpy complete(&sim, &SimStatusMonitor::statusComplete);
    sim.status();
    QVERIFY(waitFor(complete, 1, Timeout));
    QTRY_COMPARE_WITH_TIMEOUT(mode.getMode(), DeviceModeMonitor::NormalMode, Timeout);

    QSignalSpy modeSpy(&mode, &DeviceModeMonitor::deviceModeChanged);
    QSignalSpy powerSpy(&power, &CellularPowerControl::powerChanged);
    QSignalSpy simSpy(&sim, &SimStatusMonitor::statusChanged);

    QVERIFY(m_fakes.setOfflineMode(true));
    QVERIFY(waitFor(modeSpy, 1, Timeout));
    QCOMPARE(last(modeSpy).value<DeviceModeMonitor::DeviceMode>(), DeviceModeMonitor::FlightMode);
    QCOMPARE(mode.getMode(), DeviceModeMonitor::FlightMode);

    QVERIFY(m_fakes.setModemOnline(false));
    QVERIFY(waitFor(powerSpy, 1, Timeout));
    QCOMPARE(last(powerSpy).toBool(), false);
    QVERIFY(!power.power());

    QVERIFY(m_fakes.setSimPresent(false));
    QVERIFY(waitFor(simSpy, 1, Timeout));
    QCOMPARE(last(simSpy).value<SimStatusMonitor::SimStatus>(), SimStatusMonitor::SimNotAvailable);
    QVERIFY(m_fakes.setSimPresent(true));
    QVERIFY(waitFor(simSpy, 2, Timeout));
    QCOMPARE(last(simSpy).value<SimStatusMonitor::SimStatus>(), SimStatusMonitor::SimReady);

    QVERIFY(m_fakes.setOfflineMode(false));
    QVERIFY(waitFor(modeSpy, 2, Timeout));
    QCOMPARE(last(modeSpy).value<DeviceModeMonitor::DeviceMode>(), DeviceModeMonitor::NormalMode);
}

void DeviceMonitorsTest::simLockStatesAreDistinguished_data()
{
    QTest::addColumn<QString>("pinRequired");
    QTest::addColumn<int>("status");
    QTest::newRow("pin") << "pin" << int(SimStatusMonitor::SimPinRequired);
    QTest::newRow("puk") << "puk" << int(SimStatusMonitor::SimPukRequired);
    QTest::newRow("network personalisation") << "network" << int(SimStatusMonitor::SimLocked);
}

void DeviceMonitorsTest::simLockStatesAreDistinguished()
{
    QFETCH(QString, pinRequired);
    QFETCH(int, status);
    OfonoSimStatusMonitor sim;
    QSignalSpy complete(&sim, &SimStatusMonitor::statusComplete);
    sim.status();
    QVERIFY(waitFor(complete, 1, Timeout));
    QSignalSpy changed(&sim, &SimStatusMonitor::statusChanged);
    QVERIFY(m_fakes.setPinRequired(pinRequired));
    QVERIFY(waitFor(changed, 1, Timeout));
    QCOMPARE(int(last(changed).value<SimStatusMonitor::SimStatus>()), status);
    QVERIFY(m_fakes.setPinRequired(QStringLiteral("none")));
    QVERIFY(waitFor(changed, 2, Timeout));
    QCOMPARE(last(changed).value<SimStatusMonitor::SimStatus>(), SimStatusMonitor::SimReady);
}

void DeviceMonitorsTest::requestsReachTheServices()
{
    ConnmanDeviceModeMonitor mode;
    OfonoCellularPowerControl power;
    QSignalSpy powerSpy(&power, &CellularPowerControl::powerChanged);
    QTRY_COMPARE_WITH_TIMEOUT(mode.getMode(), DeviceModeMonitor::NormalMode, Timeout);
    QVERIFY(waitFor(powerSpy, 1, Timeout)); // the modem is known
    powerSpy.clear();
    QSignalSpy modeSpy(&mode, &DeviceModeMonitor::deviceModeChanged);

    mode.setMode(DeviceModeMonitor::FlightMode);
    QCOMPARE(mode.getMode(), DeviceModeMonitor::NormalMode); // until ConnMan reports
    QVERIFY(waitFor(modeSpy, 1, Timeout));
    QCOMPARE(m_fakes.offlineMode(), QVariant(true));
    QCOMPARE(mode.getMode(), DeviceModeMonitor::FlightMode);

    power.setPower(false);
    QVERIFY(power.power()); // until oFono reports
    QVERIFY(waitFor(powerSpy, 1, Timeout));
    QCOMPARE(m_fakes.modemOnline(), QVariant(false));
    QVERIFY(!power.power());
}

void DeviceMonitorsTest::refusedChangesAreReportedAsUnchanged()
{
    ConnmanDeviceModeMonitor mode;
    OfonoCellularPowerControl power;
    QTRY_COMPARE_WITH_TIMEOUT(mode.getMode(), DeviceModeMonitor::NormalMode, Timeout);
    QVERIFY(m_fakes.setModemOnline(false));
    QTRY_VERIFY_WITH_TIMEOUT(!power.power(), Timeout);

    QVERIFY(m_fakes.failModemChanges());
    QVERIFY(m_fakes.refuseOfflineModeChanges());
    QSignalSpy powerSpy(&power, &CellularPowerControl::powerChanged);
    QSignalSpy modeSpy(&mode, &DeviceModeMonitor::deviceModeChanged);

    power.setPower(true);
    mode.setMode(DeviceModeMonitor::FlightMode);
    QVERIFY(waitFor(powerSpy, 1, Timeout));
    QCOMPARE(last(powerSpy).toBool(), false);
    QVERIFY(waitFor(modeSpy, 1, Timeout));
    QCOMPARE(last(modeSpy).value<DeviceModeMonitor::DeviceMode>(), DeviceModeMonitor::NormalMode);
}

void DeviceMonitorsTest::followsModemsThatComeAndGo()
{
    OfonoCellularPowerControl power;
    OfonoSimStatusMonitor sim;
    QSignalSpy complete(&sim, &SimStatusMonitor::statusComplete);
    sim.status();
    QVERIFY(waitFor(complete, 1, Timeout));
    QSignalSpy powerSpy(&power, &CellularPowerControl::powerChanged);
    QSignalSpy simSpy(&sim, &SimStatusMonitor::statusChanged);

    QVERIFY(m_fakes.removeModem(QStringLiteral("ril_0")));
    QTRY_VERIFY_WITH_TIMEOUT(!power.power(), Timeout);
    QVERIFY(waitFor(simSpy, 1, Timeout));
    QCOMPARE(last(simSpy).value<SimStatusMonitor::SimStatus>(), SimStatusMonitor::SimNotAvailable);

    // A new modem: its radio is on and its SIM present.
    QVERIFY(m_fakes.addModem(QStringLiteral("ril_1")));
    QTRY_VERIFY_WITH_TIMEOUT(power.power(), Timeout);
    QVERIFY(waitFor(simSpy, 2, Timeout));
    QCOMPARE(last(simSpy).value<SimStatusMonitor::SimStatus>(), SimStatusMonitor::SimReady);

    // ...and it is the one that is switched.
    power.setPower(false);
    QTRY_COMPARE_WITH_TIMEOUT(m_fakes.modemOnline(QStringLiteral("/ril_1")), QVariant(false), Timeout);
    QTRY_VERIFY_WITH_TIMEOUT(!power.power(), Timeout);
}

void DeviceMonitorsTest::missingServicesAreStatesAndComingBackIsFollowed()
{
    QVERIFY(m_fakes.stop(SystemBusFakes::Ofono));
    QVERIFY(m_fakes.stop(SystemBusFakes::Connman));

    ConnmanDeviceModeMonitor mode;
    OfonoCellularPowerControl power;
    OfonoSimStatusMonitor sim;
    QSignalSpy complete(&sim, &SimStatusMonitor::statusComplete);
    QSignalSpy powerSpy(&power, &CellularPowerControl::powerChanged);
    sim.status();
    QVERIFY(waitFor(complete, 1, Timeout));
    QCOMPARE(complete.first().value(0).value<SimStatusMonitor::SimStatus>(), SimStatusMonitor::SimNotAvailable);
    // The radio's monitor learns of oFono's departure on its own schedule:
    // libqofono's shared manager may still name the modem of the previous
    // case for a moment.
    QTRY_VERIFY_WITH_TIMEOUT(!power.power(), Timeout);
    QCOMPARE(mode.getMode(), DeviceModeMonitor::UnknownMode);

    // Asking for the radio without a modem is answered, not left hanging.
    powerSpy.clear();
    power.setPower(true);
    QVERIFY(waitFor(powerSpy, 1, Timeout));
    QCOMPARE(last(powerSpy).toBool(), false);

    QSignalSpy simSpy(&sim, &SimStatusMonitor::statusChanged);
    QVERIFY(m_fakes.start(SystemBusFakes::Ofono));
    QVERIFY(m_fakes.start(SystemBusFakes::Connman));
    QTRY_VERIFY_WITH_TIMEOUT(power.power(), Timeout);
    QVERIFY(waitFor(simSpy, 1, Timeout));
    QCOMPARE(last(simSpy).value<SimStatusMonitor::SimStatus>(), SimStatusMonitor::SimReady);
    QTRY_COMPARE_WITH_TIMEOUT(mode.getMode(), DeviceModeMonitor::NormalMode, Timeout);
}

void DeviceMonitorsTest::vanishingServicesAreReported()
{
    ConnmanDeviceModeMonitor mode;
    OfonoCellularPowerControl power;
    OfonoSimStatusMonitor sim;
    QSignalSpy complete(&sim, &SimStatusMonitor::statusComplete);
    sim.status();
    QVERIFY(waitFor(complete, 1, Timeout));
    QTRY_COMPARE_WITH_TIMEOUT(mode.getMode(), DeviceModeMonitor::NormalMode, Timeout);
    QSignalSpy simSpy(&sim, &SimStatusMonitor::statusChanged);

    QVERIFY(m_fakes.stop(SystemBusFakes::Ofono));
    QVERIFY(m_fakes.stop(SystemBusFakes::Connman));
    QTRY_VERIFY_WITH_TIMEOUT(!power.power(), Timeout);
    QVERIFY(waitFor(simSpy, 1, Timeout));
    QCOMPARE(last(simSpy).value<SimStatusMonitor::SimStatus>(), SimStatusMonitor::SimNotAvailable);
    QTRY_COMPARE_WITH_TIMEOUT(mode.getMode(), DeviceModeMonitor::UnknownMode, Timeout);
}

QTEST_GUILESS_MAIN(DeviceMonitorsTest)
#include "tst_devicemonitors.moc"
