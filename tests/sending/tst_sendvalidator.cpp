// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// SendValidator end to end: the fake oFono and ConnMan on the private system
// bus, Mission Control's accounts, and on the session bus a fake
// notification server (which answers the questions as the user) and a fake
// presence UI.

#include "accountutils.h"
#include "dialogservice.h"
#include "fakenotificationserver.h"
#include "networkstatusmanager.h"
#include "notificationeventtypes.h"
#include "notificationservice.h"
#include "platformservices.h"
#include "presenceuiservice.h"
#include "sendvalidator.h"
#include "systembusfakes.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/Presence>

#include <QDBusConnection>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {
const int Timeout = 10000;
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString DisabledIm = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/bob0");
const QString Accept = QStringLiteral("accept");
const QString Decline = QStringLiteral("decline");

// "com.tavik.PresenceUi" on its own connection to the private session bus.
class FakePresenceUi : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tavik.PresenceUi")
public:
    FakePresenceUi()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-presence-ui")))
    {
    }
    ~FakePresenceUi() override { QDBusConnection::disconnectFromBus(QStringLiteral("fake-presence-ui")); }
    bool start()
    {
        return m_bus.registerObject(QStringLiteral("/com/tavik/PresenceUi"), this, QDBusConnection::ExportAllSlots)
            && m_bus.registerService(QStringLiteral("com.tavik.PresenceUi"));
    }
    int calls = 0;
public Q_SLOTS:
    void ShowPresenceUi() { ++calls; }

private:
    QDBusConnection m_bus;
};
} // namespace

class SendValidatorTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    // Cellular
    void cellularCompletesAtOnceWhenEverythingIsReady();
    void cellularWaitsForTheFirstSimReport_data();
    void cellularWaitsForTheFirstSimReport();
    void noSimCardLeavesOneNotificationAndFailsEachTime();
    void radioOffAsksAndFollowsTheAnswer_data();
    void radioOffAsksAndFollowsTheAnswer();
    void radioOffWithoutAskingSwitchesItOn();
    void flightModeAsksAndLeavesItOnAcceptance_data();
    void flightModeAsksAndLeavesItOnAcceptance();
    void flightModeWithoutAskingLeavesItAtOnce();
    void flightModeThatCannotBeLeftFails();
    void modemVanishingWhileWaitingForTheRadioFails();
    void missingOfonoIsNoSimCard();

    // Accounts
    void offlineAccountAsksAndFailsBeforeTheAnswer_data();
    void offlineAccountAsksAndFailsBeforeTheAnswer();
    void disabledAccountShowsABannerAndFails();
    void usableAccountCompletes();
    void emptyOrUnknownAccountIsOffline();
    void connectingAccountFailsUnlessFlightModeExitWasAccepted();

    // Questions that go wrong
    void questionDestroyedBeforeItsAnswerIsReported();
    void answerAfterTheValidatorIsGoneIsIgnored();
    void showDialogNoneShowsNothing();
    void presenceUiCallReachesTheServiceOrIsLogged();

private:
    // Answers the newest question and returns its index in the server's list.
    int answerLastQuestion(const QString &action);
    bool waitForQuestion(int count);
    int questionCount() const;
    NetworkStatusManager *readyManager();

    TelepathyTestEnvironment m_env;
    SystemBusFakes m_fakes;
    FakeNotificationServer m_server;
    FakePresenceUi m_presenceUi;
};

void SendValidatorTest::initTestCase()
{
    QVERIFY2(m_fakes.isReady(), "needs run-in-private-bus --system-bus");
    QVERIFY(m_server.start());
    QVERIFY(m_presenceUi.start());
    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Im));
    QVERIFY(waitUntil([] { return !AccountUtils::instance()->account(Im).isNull()
                                  && !AccountUtils::instance()->account(DisabledIm).isNull(); }, Timeout));
}

void SendValidatorTest::init()
{
    m_server.shown.clear();
    m_server.closeRequests.clear();
    m_presenceUi.calls = 0;
}

void SendValidatorTest::cleanup()
{
    PlatformServices::setDialogFactory({});
    delete NetworkStatusManager::instance();
    QVERIFY(m_fakes.restore());
}

NetworkStatusManager *SendValidatorTest::readyManager()
{
    delete NetworkStatusManager::instance();
    NetworkStatusManager *manager = NetworkStatusManager::instance();
    // The radio is reported before the SIM.
    if (!waitUntil([manager] { return manager->simStatus() != SimStatusMonitor::SimStatusUnknown; }, Timeout))
        return nullptr;
    return manager;
}

int SendValidatorTest::questionCount() const
{
    int count = 0;
    for (const FakeNotificationServer::Shown &shown : m_server.shown)
        count += shown.actions.isEmpty() ? 0 : 1;
    return count;
}

bool SendValidatorTest::waitForQuestion(int count)
{
    return waitUntil([this, count] { return questionCount() >= count; }, Timeout);
}

int SendValidatorTest::answerLastQuestion(const QString &action)
{
    const int index = m_server.lastQuestion();
    if (index >= 0)
        m_server.invokeAction(m_server.shown.at(index).id, action);
    return index;
}

void SendValidatorTest::cellularCompletesAtOnceWhenEverythingIsReady()
{
    QVERIFY(readyManager());
    SendValidator validator(QString(), true);
    QSignalSpy completed(&validator, &SendValidator::validationCompleted);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QCOMPARE(completed.count(), 1); // no bus round trip needed
    QCOMPARE(failed.count(), 0);
    // It no longer listens to the radio.
    QVERIFY(m_fakes.setModemOnline(false));
    QTRY_VERIFY_WITH_TIMEOUT(!NetworkStatusManager::instance()->isCellularOnline(), Timeout);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(completed.count(), 1);
}

void SendValidatorTest::cellularWaitsForTheFirstSimReport_data()
{
    QTest::addColumn<bool>("simPresent");
    QTest::addColumn<bool>("radioOn");
    QTest::addColumn<int>("failure"); // 0: completed, -1: asks
    QTest::newRow("ready") << true << true << 0;
    // The radio's first report comes before the SIM's: it must not decide.
    QTest::newRow("no SIM, radio on") << false << true << 3;
    QTest::newRow("radio off") << true << false << -1;
}

void SendValidatorTest::cellularWaitsForTheFirstSimReport()
{
    QFETCH(bool, simPresent);
    QFETCH(bool, radioOn);
    QFETCH(int, failure);
    QVERIFY(m_fakes.setSimPresent(simPresent));
    QVERIFY(m_fakes.setModemOnline(radioOn));
    delete NetworkStatusManager::instance();
    NetworkStatusManager *manager = NetworkStatusManager::instance();
    QCOMPARE(int(manager->simStatus()), -1);
    SendValidator validator(QString(), true);
    QSignalSpy completed(&validator, &SendValidator::validationCompleted);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QCOMPARE(completed.count() + failed.count(), 0);
    if (failure < 0) {
        QVERIFY(waitForQuestion(1));
        QCOMPARE(completed.count() + failed.count(), 0);
        answerLastQuestion(Decline);
        QVERIFY(waitFor(failed, 1, Timeout));
        QCOMPARE(failed.first().value(0).toInt(), 4);
    } else if (failure == 0) {
        QVERIFY(waitFor(completed, 1, Timeout));
        QCOMPARE(failed.count(), 0);
    } else {
        QVERIFY(waitFor(failed, 1, Timeout));
        QCOMPARE(failed.first().value(0).toInt(), failure);
        QCOMPARE(completed.count(), 0);
        PlatformServices::notificationService()->remove(
            PlatformServices::notificationService()->notifications().value(0).id());
    }
}

void SendValidatorTest::noSimCardLeavesOneNotificationAndFailsEachTime()
{
    QVERIFY(m_fakes.setSimPresent(false));
    NetworkStatusManager *manager = readyManager();
    QVERIFY(manager);
    QCOMPARE(manager->simStatus(), SimStatusMonitor::SimNotAvailable);
    const QString eventType = QString::fromLatin1(NotificationEventTypes::MessagingError);

    SendValidator validator(QString(), true);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.last().value(0).toInt(), 3);
    QVERIFY(waitUntil([this] { return m_server.shown.size() == 1; }, Timeout));
    validator.validate();
    QCOMPARE(failed.count(), 2);
    QCOMPARE(failed.last().value(0).toInt(), 3);
    QVERIFY(waitUntil([this] { return m_server.shown.size() == 2 && m_server.closeRequests.size() == 1; }, Timeout));

    // The first copy was withdrawn; one is listed.
    QCOMPARE(m_server.closeRequests.first(), m_server.shown.first().id);
    const QList<Notification> listed = PlatformServices::notificationService()->notifications(eventType);
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed.first().body(), QStringLiteral("No SIM card"));
    QCOMPARE(m_server.shown.last().body, QStringLiteral("No SIM card"));
    QCOMPARE(m_server.shown.last().hints.value(QStringLiteral("category")).toString(), eventType);
    PlatformServices::notificationService()->remove(listed.first().id());
}

void SendValidatorTest::radioOffAsksAndFollowsTheAnswer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("radioRefuses");
    QTest::addColumn<int>("failure"); // 0: completed
    QTest::newRow("declined") << Decline << false << 4;
    QTest::newRow("closed unanswered") << QString() << false << 4;
    QTest::newRow("accepted, radio reports on") << Accept << false << 0;
    QTest::newRow("accepted, radio stays off") << Accept << true << 5;
}

void SendValidatorTest::radioOffAsksAndFollowsTheAnswer()
{
    QFETCH(QString, answer);
    QFETCH(bool, radioRefuses);
    QFETCH(int, failure);
    QVERIFY(m_fakes.setModemOnline(false));
    NetworkStatusManager *manager = readyManager();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isCellularOnline(), Timeout);
    if (radioRefuses)
        QVERIFY(m_fakes.failModemChanges());

    SendValidator validator(QString(), true);
    QSignalSpy completed(&validator, &SendValidator::validationCompleted);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QVERIFY(waitForQuestion(1));
    const FakeNotificationServer::Shown question = m_server.shown.at(m_server.lastQuestion());
    QCOMPARE(question.body, QStringLiteral("Phone network is off. Switch it on?"));
    QVERIFY(question.summary.isEmpty()); // this question has no title
    QCOMPARE(question.actions.value(0), Accept);
    QCOMPARE(question.actions.value(2), Decline);
    QCOMPARE(completed.count() + failed.count(), 0);

    if (answer.isEmpty())
        m_server.closeByServer(question.id, 2);
    else
        answerLastQuestion(answer);
    QVERIFY(waitUntil([&] { return completed.count() + failed.count() > 0; }, Timeout));
    QTest::qWait(100); // and nothing more
    if (failure == 0) {
        QCOMPARE(completed.count(), 1);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(m_fakes.modemOnline(), QVariant(true));
    } else {
        QCOMPARE(completed.count(), 0);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().value(0).toInt(), failure);
        if (!radioRefuses)
            QCOMPARE(m_fakes.modemOnline(), QVariant(false)); // declining switches nothing
    }
}

void SendValidatorTest::radioOffWithoutAskingSwitchesItOn()
{
    QVERIFY(m_fakes.setModemOnline(false));
    NetworkStatusManager *manager = readyManager();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isCellularOnline(), Timeout);
    SendValidator validator(QString(), true, false);
    QSignalSpy completed(&validator, &SendValidator::validationCompleted);
    validator.validate();
    QVERIFY(waitFor(completed, 1, Timeout));
    QCOMPARE(m_fakes.modemOnline(), QVariant(true));
    QCOMPARE(questionCount(), 0);
}

void SendValidatorTest::flightModeAsksAndLeavesItOnAcceptance_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("accepted") << Accept;
    QTest::newRow("declined") << Decline;
}

void SendValidatorTest::flightModeAsksAndLeavesItOnAcceptance()
{
    QFETCH(QString, answer);
    QVERIFY(m_fakes.setOfflineMode(true));
    QVERIFY(m_fakes.setModemOnline(false));
    NetworkStatusManager *manager = readyManager();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isDeviceInNormalMode() && !manager->isCellularOnline(), Timeout);

    SendValidator validator(QString(), true);
    QSignalSpy completed(&validator, &SendValidator::validationCompleted);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QVERIFY(waitForQuestion(1));
    const FakeNotificationServer::Shown question = m_server.shown.at(m_server.lastQuestion());
    QCOMPARE(question.summary, QStringLiteral("Exit offline mode?"));
    QCOMPARE(question.body, QStringLiteral("Sending requires leaving offline mode. Exit offline mode?"));
    answerLastQuestion(answer);

    if (answer == Decline) {
        QVERIFY(waitFor(failed, 1, Timeout));
        QCOMPARE(failed.first().value(0).toInt(), 4);
        QCOMPARE(m_fakes.offlineMode(), QVariant(true));
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_fakes.offlineMode(), QVariant(false), Timeout);
    QTRY_VERIFY_WITH_TIMEOUT(manager->isDeviceInNormalMode(), Timeout);
    // Normal mode alone does not finish a cellular check: the radio does.
    QTest::qWait(100);
    QCOMPARE(completed.count() + failed.count(), 0);
    QVERIFY(m_fakes.setModemOnline(true)); // as the platform does after leaving flight mode
    QVERIFY(waitFor(completed, 1, Timeout));
    QCOMPARE(failed.count(), 0);
}

void SendValidatorTest::flightModeWithoutAskingLeavesItAtOnce()
{
    QVERIFY(m_fakes.setOfflineMode(true));
    QVERIFY(m_fakes.setModemOnline(false));
    NetworkStatusManager *manager = readyManager();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isDeviceInNormalMode() && !manager->isCellularOnline(), Timeout);

    SendValidator validator(QString(), true, false);
    QSignalSpy completed(&validator, &SendValidator::validationCompleted);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QTRY_COMPARE_WITH_TIMEOUT(m_fakes.offlineMode(), QVariant(false), Timeout);
    QCOMPARE(questionCount(), 0);
    QTest::qWait(100);
    QCOMPARE(completed.count() + failed.count(), 0); // the radio decides
    QVERIFY(m_fakes.setModemOnline(true)); // as the platform does after leaving flight mode
    QVERIFY(waitFor(completed, 1, Timeout));
    QCOMPARE(failed.count(), 0);
}

void SendValidatorTest::flightModeThatCannotBeLeftFails()
{
    QVERIFY(m_fakes.setOfflineMode(true));
    QVERIFY(m_fakes.setModemOnline(false));
    NetworkStatusManager *manager = readyManager();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isDeviceInNormalMode() && !manager->isCellularOnline(), Timeout);
    QVERIFY(m_fakes.refuseOfflineModeChanges());

    SendValidator validator(QString(), true, false);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QVERIFY(waitFor(failed, 1, Timeout));
    QCOMPARE(failed.first().value(0).toInt(), 5);
}

void SendValidatorTest::modemVanishingWhileWaitingForTheRadioFails()
{
    QVERIFY(m_fakes.setModemOnline(false));
    NetworkStatusManager *manager = readyManager();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isCellularOnline(), Timeout);
    QVERIFY(m_fakes.holdModemChanges()); // the radio takes its time

    SendValidator validator(QString(), true, false);
    QSignalSpy completed(&validator, &SendValidator::validationCompleted);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QTest::qWait(200);
    QCOMPARE(completed.count() + failed.count(), 0);
    QVERIFY(m_fakes.stop(SystemBusFakes::Ofono));
    QVERIFY(waitFor(failed, 1, Timeout));
    QCOMPARE(failed.first().value(0).toInt(), 5);
}

void SendValidatorTest::missingOfonoIsNoSimCard()
{
    QVERIFY(m_fakes.stop(SystemBusFakes::Ofono));
    QVERIFY(m_fakes.stop(SystemBusFakes::Connman));
    QVERIFY(readyManager());
    SendValidator validator(QString(), true);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().value(0).toInt(), 3);
    PlatformServices::notificationService()->remove(
        PlatformServices::notificationService()->notifications().value(0).id());
}

void SendValidatorTest::offlineAccountAsksAndFailsBeforeTheAnswer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("accepted: presence UI") << Accept;
    QTest::newRow("declined") << Decline;
}

void SendValidatorTest::offlineAccountAsksAndFailsBeforeTheAnswer()
{
    QFETCH(QString, answer);
    // An account the directory does not know is offline (status 1), like
    // one asked to be offline while not connected (see
    // tst_networkstatusmanager); it needs no change to the shared fixture.
    const QString path = QStringLiteral("/org/freedesktop/Telepathy/Account/no/such/account");
    SendValidator validator(path, false);
    QSignalSpy completed(&validator, &SendValidator::validationCompleted);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().value(0).toInt(), 1);
    QVERIFY(waitForQuestion(1));
    const FakeNotificationServer::Shown question = m_server.shown.at(m_server.lastQuestion());
    QCOMPARE(question.summary, QStringLiteral("You are offline"));
    QCOMPARE(question.body, QStringLiteral("You must be online to send messages. Change your availability?"));

    answerLastQuestion(answer);
    if (answer == Accept) {
        QTRY_COMPARE_WITH_TIMEOUT(m_presenceUi.calls, 1, Timeout);
        QTest::qWait(100);
        QCOMPARE(failed.count(), 1); // nothing further
    } else {
        QVERIFY(waitFor(failed, 2, Timeout));
        QCOMPARE(failed.last().value(0).toInt(), 4);
        QCOMPARE(m_presenceUi.calls, 0);
    }
    QCOMPARE(completed.count(), 0);
}

void SendValidatorTest::disabledAccountShowsABannerAndFails()
{
    SendValidator validator(DisabledIm, false);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().value(0).toInt(), 6);
    QVERIFY(waitUntil([this] { return m_server.shown.size() == 1; }, Timeout));
    const FakeNotificationServer::Shown banner = m_server.shown.first();
    QCOMPARE(banner.summary, QStringLiteral("The account is disabled"));
    QCOMPARE(banner.hints.value(QStringLiteral("transient")).toBool(), true);
    QCOMPARE(banner.hints.value(QStringLiteral("category")).toString(), QStringLiteral("InformationBanner"));
    QVERIFY(banner.actions.isEmpty());
}

void SendValidatorTest::usableAccountCompletes()
{
    SendValidator validator(Im, false);
    QSignalSpy completed(&validator, &SendValidator::validationCompleted);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QCOMPARE(completed.count(), 1);
    QCOMPARE(failed.count(), 0);
    QTest::qWait(50);
    QVERIFY(m_server.shown.isEmpty());
}

void SendValidatorTest::emptyOrUnknownAccountIsOffline()
{
    SendValidator validator(QString(), false);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().value(0).toInt(), 1);
    QVERIFY(waitForQuestion(1));
    answerLastQuestion(Decline);
    QVERIFY(waitFor(failed, 2, Timeout));
}

void SendValidatorTest::connectingAccountFailsUnlessFlightModeExitWasAccepted()
{
    QVERIFY(m_fakes.setOfflineMode(true));
    NetworkStatusManager *manager = readyManager();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isDeviceInNormalMode(), Timeout);
    QVERIFY(m_env.dropConnection(Im)); // asked to be available, connecting

    SendValidator validator(Im, false);
    QSignalSpy completed(&validator, &SendValidator::validationCompleted);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate();
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().value(0).toInt(), 2);

    // The UI offers leaving flight mode first; accepting re-runs the check
    // once normal mode is reported, and "connecting" is then good enough.
    validator.showDialog(SendValidator::ExitOfflineModeDialog);
    QVERIFY(waitForQuestion(1));
    answerLastQuestion(Accept);
    QVERIFY(waitFor(completed, 1, Timeout));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(m_fakes.offlineMode(), QVariant(false));

    // The flag was used up.
    validator.validate();
    QCOMPARE(failed.count(), 2);
    QCOMPARE(failed.last().value(0).toInt(), 2);
    QCOMPARE(completed.count(), 1);
    QVERIFY(m_env.restoreConnection(Im));
}

void SendValidatorTest::questionDestroyedBeforeItsAnswerIsReported()
{
    QPointer<DialogService> dialog;
    PlatformServices::setDialogFactory([&dialog](const QString &text, int buttons) {
        dialog = new DialogService(text, buttons);
        return dialog.data();
    });
    SendValidator validator(QString(), false);
    QSignalSpy failed(&validator, &SendValidator::validationFailed);
    validator.validate(); // offline: question 3, failure 1
    QVERIFY(dialog);
    QCOMPARE(dialog->buttons(), 0x14000);
    QVERIFY(dialog->isModal());
    QTest::ignoreMessage(QtCriticalMsg,
        "void SendValidatorPrivate::slotOnDialogDisappeared() What just happened? Dialog is null?!?");
    delete dialog;
    // The answer can never come: the caller learns it was not accepted.
    QCOMPARE(failed.count(), 2);
    QCOMPARE(failed.last().value(0).toInt(), 4);
}

void SendValidatorTest::answerAfterTheValidatorIsGoneIsIgnored()
{
    QVERIFY(m_fakes.setModemOnline(false));
    NetworkStatusManager *manager = readyManager();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(!manager->isCellularOnline(), Timeout);
    QPointer<DialogService> dialog;
    PlatformServices::setDialogFactory([&dialog](const QString &text, int buttons) {
        dialog = new DialogService(text, buttons);
        return dialog.data();
    });
    auto *validator = new SendValidator(QString(), true);
    validator->validate();
    QVERIFY(waitForQuestion(1));
    delete validator;
    QVERIFY(dialog); // still on screen
    answerLastQuestion(Accept);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), Timeout); // cleaned up after its answer
    QTest::qWait(200);
    QCOMPARE(m_fakes.modemOnline(), QVariant(false)); // the answer was not acted upon
}

void SendValidatorTest::showDialogNoneShowsNothing()
{
    int created = 0;
    PlatformServices::setDialogFactory([&created](const QString &text, int buttons) {
        ++created;
        return new DialogService(text, buttons);
    });
    SendValidator validator(Im, false);
    validator.showDialog(SendValidator::NoDialog);
    validator.showDialog(static_cast<SendValidator::Dialog>(42));
    QCOMPARE(created, 0);
    QTest::qWait(50);
    QVERIFY(m_server.shown.isEmpty());
}

void SendValidatorTest::presenceUiCallReachesTheServiceOrIsLogged()
{
    PresenceUiService *platform = PlatformServices::presenceUiService();
    QCOMPARE(platform->serviceName(), QStringLiteral("com.tavik.PresenceUi"));
    QSignalSpy finished(platform, &PresenceUiService::presenceUiCallFinished);
    platform->showPresenceUi();
    QVERIFY(waitFor(finished, 1, Timeout));
    QCOMPARE(finished.last().value(0).toBool(), true);
    QCOMPARE(m_presenceUi.calls, 1);

    // A service that is not there: a warning and a false answer, nothing else.
    PresenceUiService missing(QStringLiteral("com.tavik.NoSuchPresenceUi"));
    QSignalSpy missingFinished(&missing, &PresenceUiService::presenceUiCallFinished);
    missing.showPresenceUi();
    QVERIFY(waitFor(missingFinished, 1, Timeout));
    QCOMPARE(missingFinished.last().value(0).toBool(), false);

    // A replacement registered by the application is what the validator uses.
    {
        PresenceUiService replacement(QStringLiteral("com.tavik.NoSuchPresenceUi"));
        PlatformServices::setPresenceUiService(&replacement);
        QCOMPARE(PlatformServices::presenceUiService(), &replacement);
    }
    QCOMPARE(PlatformServices::presenceUiService(), platform);
}

QTEST_GUILESS_MAIN(SendValidatorTest)
#include "tst_sendvalidator.moc"
