// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The freedesktop notification service against a fake server on the test's
// private session bus.

#include "fakenotificationserver.h"
#include "notification.h"
#include "notificationeventtypes.h"
#include "notificationservice.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QSignalSpy>
#include <QtTest>

class NotificationServiceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void publishesEventTypeAsCategoryAndListsIt();
    void sendsBodyAsPlainText();
    void forgetsNotificationClosedByServer();
    void removeClosesOnServerEvenBeforeServerAnswered();
    void publishingWithoutServerFailsQuietly();
    void missingServerIsReportedOnce();

private:
    FakeNotificationServer *m_server = nullptr;
};

void NotificationServiceTest::init()
{
    m_server = new FakeNotificationServer;
    QVERIFY(m_server->start());
}

void NotificationServiceTest::cleanup()
{
    delete m_server;
    m_server = nullptr;
}

void NotificationServiceTest::publishesEventTypeAsCategoryAndListsIt()
{
    NotificationService service;
    QSignalSpy notified(m_server, &FakeNotificationServer::notified);
    const QString strong = QLatin1String(NotificationEventTypes::MessagingErrorStrong);
    const QString plain = QLatin1String(NotificationEventTypes::MessagingError);

    Notification failure(strong, QString(), QString());
    failure.setBody(QStringLiteral("Sending message to +358401234567 failed"));
    const uint first = service.publish(failure);
    const uint second = service.publish(Notification(plain, QStringLiteral("s"), QStringLiteral("b")));
    QVERIFY(first != 0 && second != 0 && first != second);
    QTRY_COMPARE_WITH_TIMEOUT(notified.count(), 2, 5000);

    const FakeNotificationServer::Shown shown = m_server->shown.first();
    QCOMPARE(shown.hints.value(QStringLiteral("category")).toString(), strong);
    QCOMPARE(shown.summary, QString());
    QCOMPARE(shown.body, QStringLiteral("Sending message to +358401234567 failed"));

    QCOMPARE(service.notifications().size(), 2);
    const QList<Notification> strongOnes = service.notifications(strong);
    QCOMPARE(strongOnes.size(), 1);
    QCOMPARE(strongOnes.first().id(), first);
    QCOMPARE(strongOnes.first().body(), failure.body());
    QCOMPARE(service.notifications(plain).first().id(), second);
}

void NotificationServiceTest::sendsBodyAsPlainText()
{
    NotificationService service;
    QSignalSpy notified(m_server, &FakeNotificationServer::notified);
    service.publish(Notification(QStringLiteral("x"), QString(), QStringLiteral("<b>a&b</b>")));
    QVERIFY(notified.wait(5000));
    QCOMPARE(m_server->shown.first().body, QStringLiteral("&lt;b&gt;a&amp;b&lt;/b&gt;"));
    // The list keeps what the caller gave.
    QCOMPARE(service.notifications().first().body(), QStringLiteral("<b>a&b</b>"));
}

void NotificationServiceTest::forgetsNotificationClosedByServer()
{
    NotificationService service;
    QSignalSpy notified(m_server, &FakeNotificationServer::notified);
    const uint kept = service.publish(Notification(QStringLiteral("x"), QString(), QStringLiteral("1")));
    service.publish(Notification(QStringLiteral("x"), QString(), QStringLiteral("2")));
    QTRY_COMPARE_WITH_TIMEOUT(notified.count(), 2, 5000);

    QSignalSpy changed(&service, &NotificationService::notificationsChanged);
    m_server->closeByServer(notified.at(1).at(0).toUInt());
    QVERIFY(changed.wait(5000));
    QCOMPARE(service.notifications().size(), 1);
    QCOMPARE(service.notifications().first().id(), kept);

    // Unknown ids (another application's) change nothing.
    m_server->closeByServer(4242);
    QVERIFY(!changed.wait(200));
    QCOMPARE(service.notifications().size(), 1);
}

void NotificationServiceTest::removeClosesOnServerEvenBeforeServerAnswered()
{
    NotificationService service;
    QSignalSpy notified(m_server, &FakeNotificationServer::notified);
    QSignalSpy closeRequested(m_server, &FakeNotificationServer::closeRequested);

    // Removed before Notify has answered: closed once the server id is known.
    const uint early = service.publish(Notification(QStringLiteral("x"), QString(), QStringLiteral("1")));
    QVERIFY(service.remove(early));
    QVERIFY(service.notifications().isEmpty());
    QVERIFY(closeRequested.wait(5000));
    QCOMPARE(m_server->closeRequests.first(), notified.first().at(0).toUInt());

    const uint late = service.publish(Notification(QStringLiteral("y"), QString(), QStringLiteral("2")));
    QTRY_COMPARE_WITH_TIMEOUT(notified.count(), 2, 5000);
    // A round trip after Notify: its answer has reached the service too.
    QDBusPendingCall ping = QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("GetCapabilities")));
    QTRY_VERIFY_WITH_TIMEOUT(ping.isFinished(), 5000);
    QVERIFY(service.remove(late));
    QVERIFY(!service.remove(late));
    QTRY_COMPARE_WITH_TIMEOUT(closeRequested.count(), 2, 5000);
    QCOMPARE(m_server->closeRequests.last(), notified.last().at(0).toUInt());
}

void NotificationServiceTest::publishingWithoutServerFailsQuietly()
{
    m_server->stop();
    NotificationService service;
    QSignalSpy changed(&service, &NotificationService::notificationsChanged);
    QElapsedTimer timer;
    timer.start();
    const uint id = service.publish(Notification(QStringLiteral("x"), QString(), QStringLiteral("b")));
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY(id != 0);
    // The bus's error answer drops it from the list.
    QTRY_VERIFY_WITH_TIMEOUT(service.notifications().isEmpty(), 5000);
    QCOMPARE(changed.count(), 2);
}

namespace {
QStringList g_warnings;
void collectWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && context.category
        && QLatin1String(context.category) == QLatin1String("messaging.platform"))
        g_warnings << message;
}
} // namespace

void NotificationServiceTest::missingServerIsReportedOnce()
{
    m_server->stop();
    NotificationService service;
    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    for (int i = 0; i < 3; ++i)
        service.publish(Notification(QStringLiteral("x"), QString(), QStringLiteral("b")));
    const bool answered = QTest::qWaitFor([&] { return service.notifications().isEmpty(); }, 5000);
    qInstallMessageHandler(previous);
    QVERIFY(answered);
    QCOMPARE(g_warnings.size(), 1);
}

QTEST_GUILESS_MAIN(NotificationServiceTest)
#include "tst_notificationservice.moc"
