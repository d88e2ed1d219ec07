// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// NetworkStatusManager over the fake oFono and ConnMan of the private
// system bus and the Mission Control accounts of the Telepathy fixture.

#include "accountutils.h"
#include "devicemodemonitor.h"
#include "networkstatusmanager.h"
#include "platformservices.h"
#include "systembusfakes.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/PendingOperation>
#include <TelepathyQt/Presence>

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {
const int Timeout = 10000;
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString DisabledIm = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/bob0");
const QString Cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");

// A device-mode monitor the test drives by hand (also proves the seam).
class ScriptedModeMonitor : public DeviceModeMonitor
{
public:
    DeviceMode getMode() const override { return mode; }
    void setMode(DeviceModeMonitor::DeviceMode m) override { requested.append(m); }
    void report(DeviceMode m)
    {
        mode = m;
        Q_EMIT deviceModeChanged(m);
    }
    DeviceMode mode = FlightMode;
    QList<DeviceMode> requested;
};
} // namespace

class NetworkStatusManagerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void startsUnknownSimAndMirrorsThePlatform();
    void reemitsEveryPlatformReport();
    void requestsChangeNothingUntilThePlatformReports();
    void radioSwitchedRightAfterStartReachesTheModem();
    void sendReadinessGivesTheFirstReasonInOrder();
    void unknownDeviceModeKeepsTheStoredMode();
    void failedFlightModeExitReportsTheRadioOff();
    void accountStatusFollowsTheAccountState_data();
    void accountStatusFollowsTheAccountState();
    void connectionChangesAreSignalledOncePerChange();
    void deletedInstanceIsReplacedByAFreshOne();

private:
    // The process-wide manager, fresh, once its SIM report is in.
    NetworkStatusManager *freshManager();

    TelepathyTestEnvironment m_env;
    SystemBusFakes m_fakes;
};

void NetworkStatusManagerTest::initTestCase()
{
    QVERIFY2(m_fakes.isReady(), "needs run-in-private-bus --system-bus");
    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Im));
    QVERIFY(waitUntil([] { return !AccountUtils::instance()->account(Im).isNull()
                                  && !AccountUtils::instance()->account(DisabledIm).isNull(); }, Timeout));
}

void NetworkStatusManagerTest::cleanup()
{
    PlatformServices::setDeviceModeMonitorFactory({});
    delete NetworkStatusManager::instance();
    QVERIFY(m_fakes.restore());
}

NetworkStatusManager *NetworkStatusManagerTest::freshManager()
{
    delete NetworkStatusManager::instance();
    NetworkStatusManager *manager = NetworkStatusManager::instance();
    if (!waitUntil([manager] { return manager->simStatus() != SimStatusMonitor::SimStatusUnknown; }, Timeout))
        return nullptr;
    return manager;
}

void NetworkStatusManagerTest::startsUnknownSimAndMirrorsThePlatform()
{
    delete NetworkStatusManager::instance();
    QVERIFY(m_fakes.setOfflineMode(true));
    QVERIFY(m_fakes.setModemOnline(false));
    NetworkStatusManager *manager = NetworkStatusManager::instance();
    QCOMPARE(manager->parent(), QCoreApplication::instance());
    QCOMPARE(int(manager->simStatus()), -1);
    QSignalSpy sim(manager, &NetworkStatusManager::simStatusChanged);
    QVERIFY(waitFor(sim, 1, Timeout));
    QCOMPARE(sim.first().value(0).value<SimStatusMonitor::SimStatus>(), SimStatusMonitor::SimReady);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isDeviceInNormalMode(), Timeout);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isCellularOnline(), Timeout);
}

void NetworkStatusManagerTest::reemitsEveryPlatformReport()
{
    NetworkStatusManager *manager = freshManager();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(manager->isCellularOnline(), Timeout);
    QStringList events;
    connect(manager, &NetworkStatusManager::cellularOnline, this,
            [&events](bool on) { events << QStringLiteral("radio=%1").arg(on); });
    connect(manager, &NetworkStatusManager::simStatusChanged, this,
            [&events](SimStatusMonitor::SimStatus s) { events << QStringLiteral("sim=%1").arg(int(s)); });
    connect(manager, &NetworkStatusManager::deviceModeChanged, this,
            [&events](bool normal) { events << QStringLiteral("normal=%1").arg(normal); });

    QVERIFY(m_fakes.setOfflineMode(true));
    QVERIFY(waitUntil([&] { return events.size() == 1; }, Timeout));
    QVERIFY(m_fakes.setModemOnline(false));
    QVERIFY(waitUntil([&] { return events.size() == 2; }, Timeout));
    QVERIFY(m_fakes.setSimPresent(false));
    QVERIFY(waitUntil([&] { return events.size() == 3; }, Timeout));
    QCOMPARE(events, (QStringList{"normal=0", "radio=0", "sim=1"}));
    QVERIFY(!manager->isDeviceInNormalMode());
    QVERIFY(!manager->isCellularOnline());
    QCOMPARE(manager->simStatus(), SimStatusMonitor::SimNotAvailable);
}

void NetworkStatusManagerTest::requestsChangeNothingUntilThePlatformReports()
{
    QVERIFY(m_fakes.setModemOnline(false));
    NetworkStatusManager *manager = freshManager();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isCellularOnline(), Timeout);
    QVERIFY(m_fakes.holdModemChanges());
    QSignalSpy radio(manager, &NetworkStatusManager::cellularOnline);

    manager->setCellularOnline(true);
    QTest::qWait(200); // the request has reached the fake and been held there
    QVERIFY(!manager->isCellularOnline());
    QCOMPARE(radio.count(), 0);

    QVERIFY(m_fakes.emitModemOnline(true));
    QVERIFY(waitFor(radio, 1, Timeout));
    QCOMPARE(radio.last().value(0).toBool(), true);
    QVERIFY(manager->isCellularOnline());

    QSignalSpy mode(manager, &NetworkStatusManager::deviceModeChanged);
    manager->setDeviceNormalMode(false);
    QVERIFY(manager->isDeviceInNormalMode());
    QVERIFY(waitFor(mode, 1, Timeout));
    QCOMPARE(mode.last().value(0).toBool(), false);
    QCOMPARE(m_fakes.offlineMode(), QVariant(true));
}

void NetworkStatusManagerTest::radioSwitchedRightAfterStartReachesTheModem()
{
    // Asked before libqofono knows the modem: the first reading's modem
    // takes it, and nothing reports the radio off meanwhile.
    for (const bool on : {true, false}) {
        delete NetworkStatusManager::instance();
        QVERIFY(m_fakes.setModemOnline(!on));
        NetworkStatusManager *manager = NetworkStatusManager::instance();
        QCOMPARE(manager->isCellularOnline(), !on);
        QSignalSpy radio(manager, &NetworkStatusManager::cellularOnline);
        manager->setCellularOnline(on);
        QTRY_COMPARE_WITH_TIMEOUT(m_fakes.modemOnline(), QVariant(on), Timeout);
        QTRY_COMPARE_WITH_TIMEOUT(manager->isCellularOnline(), on, Timeout);
        for (const QList<QVariant> &report : qAsConst(radio))
            QCOMPARE(report.value(0).toBool(), on);
    }
}

void NetworkStatusManagerTest::sendReadinessGivesTheFirstReasonInOrder()
{
    using N = NetworkStatusManager;
    delete N::instance();
    QCOMPARE(N::instance()->sendReadiness(Cellular), N::SendSimUnknown);
    N *manager = freshManager();
    QVERIFY(manager);
    QTRY_COMPARE_WITH_TIMEOUT(manager->sendReadiness(QStringLiteral("tala/tel/tala")), N::SendReady, Timeout);
    QCOMPARE(manager->sendReadiness(DisabledIm), N::SendAccountDisabled);
    // Each reason hides the ones after it: SIM card, flight mode, radio.
    QVERIFY(m_fakes.setModemOnline(false));
    QTRY_COMPARE_WITH_TIMEOUT(manager->sendReadiness(Cellular), N::SendRadioOff, Timeout);
    QVERIFY(m_fakes.setOfflineMode(true));
    QTRY_COMPARE_WITH_TIMEOUT(manager->sendReadiness(Cellular), N::SendFlightMode, Timeout);
    QVERIFY(m_fakes.setSimPresent(false));
    QTRY_COMPARE_WITH_TIMEOUT(manager->sendReadiness(Cellular), N::SendNoSimCard, Timeout);
    QCOMPARE(manager->sendReadiness(Im), N::SendReady); // the device counts for cellular only
}

void NetworkStatusManagerTest::unknownDeviceModeKeepsTheStoredMode()
{
    QPointer<ScriptedModeMonitor> monitor;
    PlatformServices::setDeviceModeMonitorFactory([&monitor] {
        monitor = new ScriptedModeMonitor;
        return monitor.data();
    });
    delete NetworkStatusManager::instance();
    NetworkStatusManager *manager = NetworkStatusManager::instance();
    QVERIFY(monitor);
    QVERIFY(!manager->isDeviceInNormalMode()); // read at construction
    QSignalSpy mode(manager, &NetworkStatusManager::deviceModeChanged);

    monitor->report(DeviceModeMonitor::UnknownMode);
    QCOMPARE(mode.count(), 1);
    QCOMPARE(mode.last().value(0).toBool(), false);
    monitor->report(DeviceModeMonitor::NormalMode);
    monitor->report(DeviceModeMonitor::UnknownMode);
    QCOMPARE(mode.last().value(0).toBool(), true);

    manager->setDeviceNormalMode(false);
    QCOMPARE(monitor->requested, QList<DeviceModeMonitor::DeviceMode>{DeviceModeMonitor::FlightMode});

    // The monitor belongs to the manager.
    delete manager;
    QVERIFY(monitor.isNull());
}

void NetworkStatusManagerTest::failedFlightModeExitReportsTheRadioOff()
{
    QVERIFY(m_fakes.setOfflineMode(true));
    QVERIFY(m_fakes.setModemOnline(false));
    NetworkStatusManager *manager = freshManager();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isDeviceInNormalMode() && !manager->isCellularOnline(), Timeout);
    QVERIFY(m_fakes.refuseOfflineModeChanges());
    QSignalSpy radio(manager, &NetworkStatusManager::cellularOnline);

    // Whoever waits for the radio after this learns that it stays off.
    manager->setDeviceNormalMode(true);
    QVERIFY(waitFor(radio, 1, Timeout));
    QCOMPARE(radio.last().value(0).toBool(), false);
    QVERIFY(!manager->isDeviceInNormalMode());
}

void NetworkStatusManagerTest::accountStatusFollowsTheAccountState_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::newRow("enabled and connected") << Im << 0;
    QTest::newRow("disabled") << DisabledIm << 3;
    QTest::newRow("empty path") << QString() << 1;
    QTest::newRow("no such account") << QStringLiteral("/org/freedesktop/Telepathy/Account/no/such/account") << 1;
    QTest::newRow("not an account path") << QStringLiteral("garbage") << 1;
}

void NetworkStatusManagerTest::accountStatusFollowsTheAccountState()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    NetworkStatusManager *manager = NetworkStatusManager::instance();
    QCOMPARE(manager->accountStatus(path), status);
    QCOMPARE(manager->checkAccountStatus(AccountUtils::instance()->account(path)), status);
}

void NetworkStatusManagerTest::connectionChangesAreSignalledOncePerChange()
{
    // One connection cycle of the fixture's IM account covers it all (the
    // test connection manager's drop/restore is the slow part).
    NetworkStatusManager *manager = NetworkStatusManager::instance();
    QCOMPARE(manager->accountStatus(Im), 0);
    QCOMPARE(manager->accountStatus(Im), 0); // a second query adds no second connection
    // Forgotten as the account directory says when Telepathy removes an
    // account; the next query watches it again, still with one connection.
    Q_EMIT AccountUtils::instance()->accountRemoved(Im);
    QCOMPARE(manager->accountStatus(Im), 0);

    QSignalSpy changes(manager, &NetworkStatusManager::accountStatusChanged);
    QStringList seen;
    Tp::AccountPtr account = AccountUtils::instance()->account(Im);
    connect(account.data(), &Tp::Account::connectionStatusChanged, this,
            [&seen](Tp::ConnectionStatus s) { seen << QString::number(int(s)); });

    // Asked to be available while not connected: connecting.
    QVERIFY(m_env.dropConnection(Im));
    QVERIFY(waitFor(changes, 1, Timeout));
    QCOMPARE(changes.last().value(0).toInt(), 2);
    QCOMPARE(manager->accountStatus(Im), 2);

    // Asked to be offline and not connected: offline.
    QVERIFY(expectSuccessfulCall(account->setRequestedPresence(Tp::Presence::offline())));
    QVERIFY(waitUntil([&] { return account->requestedPresence().type() == Tp::ConnectionPresenceTypeOffline; }, Timeout));
    QCOMPARE(manager->accountStatus(Im), 1);

    // Available again, connected: usable.
    QVERIFY(expectSuccessfulCall(account->setRequestedPresence(Tp::Presence::available())));
    QVERIFY(m_env.restoreConnection(Im));
    QVERIFY(waitUntil([&] { return account->connectionStatus() == Tp::ConnectionStatusConnected; }, Timeout));
    QTest::qWait(100); // nothing more arrives

    QCOMPARE(changes.count(), seen.size());
    for (const QList<QVariant> &change : qAsConst(changes))
        QCOMPARE(change.value(1).toString(), Im);
    QCOMPARE(changes.last().value(0).toInt(), 0);
    QCOMPARE(manager->accountStatus(Im), 0);
}

void NetworkStatusManagerTest::deletedInstanceIsReplacedByAFreshOne()
{
    QPointer<NetworkStatusManager> first = NetworkStatusManager::instance();
    QCOMPARE(NetworkStatusManager::instance(), first.data());
    delete first;
    QVERIFY(first.isNull());
    NetworkStatusManager *second = NetworkStatusManager::instance();
    QVERIFY(second);
    QCOMPARE(int(second->simStatus()), -1);
}

QTEST_GUILESS_MAIN(NetworkStatusManagerTest)
#include "tst_networkstatusmanager.moc"
