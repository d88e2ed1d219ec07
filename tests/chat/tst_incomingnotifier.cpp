// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Notifications of incoming messages against the fake notification server:
// one per conversation and updated, none for a conversation on screen in
// this or another process, withdrawn on read, one publisher per session.

#include "activeconversation.h"
#include "historystore.h"
#include "fakenotificationserver.h"
#include "incomingnotifier.h"
#include "notificationeventtypes.h"

#include <QDBusConnectionInterface>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString Sms = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
}

class IncomingNotifierTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void notifiesOnceAConversationAndUpdatesItWithTheCount();
    void makesNoNotificationForAConversationShownInAnyProcess();
    void withdrawsTheNotificationWhenTheConversationIsRead();
    void onlyOneNotifierOfTheSessionPublishes();
    void followsTheStoreOfAnyProcess();

private:
    FakeNotificationServer *m_server = nullptr;
};

void IncomingNotifierTest::init()
{
    m_server = new FakeNotificationServer;
    QVERIFY(m_server->start());
}

void IncomingNotifierTest::cleanup()
{
    delete m_server;
    m_server = nullptr;
}

void IncomingNotifierTest::notifiesOnceAConversationAndUpdatesItWithTheCount()
{
    IncomingNotifier notifier;
    QVERIFY(notifier.isPublisher());
    QSignalSpy notified(m_server, &FakeNotificationServer::notified);

    notifier.messageStored(QStringLiteral("1"), Sms, QStringLiteral("+358401234567"),
                           QStringLiteral("Lunch?"), 1);
    notifier.messageStored(QStringLiteral("1"), Sms, QStringLiteral("+358401234567"),
                           QStringLiteral("At noon"), 2);
    QTRY_COMPARE_WITH_TIMEOUT(notified.count(), 2, 5000);
    QCOMPARE(m_server->shown.size(), 1);
    const FakeNotificationServer::Shown shown = m_server->shown.first();
    QCOMPARE(shown.summary, QStringLiteral("+358 40 1234567"));
    QCOMPARE(shown.body, QStringLiteral("At noon\n2 unread messages"));
    QCOMPARE(shown.hints.value(QStringLiteral("category")).toString(),
             QLatin1String(NotificationEventTypes::MessagingIncoming));

    notifier.messageStored(QStringLiteral("2"), Sms, QString(), QStringLiteral("Hi all"), 1,
                           QStringLiteral("#lunch"));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->shown.size(), 2, 5000);
    QCOMPARE(m_server->shown.last().summary, QStringLiteral("#lunch"));
    QCOMPARE(m_server->shown.last().body, QStringLiteral("Hi all"));
}

void IncomingNotifierTest::makesNoNotificationForAConversationShownInAnyProcess()
{
    IncomingNotifier notifier;
    {
        ActiveConversation here;
        here.setThreadKey(QStringLiteral("7"));
        here.setActive(true);
        QVERIFY(ActiveConversation::isActiveAnywhere(QStringLiteral("7")));
        notifier.messageStored(QStringLiteral("7"), Sms, QStringLiteral("+358401234567"),
                               QStringLiteral("seen"), 1);
    }
    QVERIFY(!ActiveConversation::isActiveAnywhere(QStringLiteral("7")));

    // Another process: its own connection to the bus holds the mark.
    {
        QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                              QStringLiteral("other-process"));
        QVERIFY(other.interface()->registerService(ActiveConversation::busName(QStringLiteral("8"))).isValid());
        QVERIFY(ActiveConversation::isActiveAnywhere(QStringLiteral("8")));
        notifier.messageStored(QStringLiteral("8"), Sms, QStringLiteral("+358401234568"),
                               QStringLiteral("seen there"), 1);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("other-process"));
    QTRY_VERIFY_WITH_TIMEOUT(!ActiveConversation::isActiveAnywhere(QStringLiteral("8")), 5000);

    // Not shown anywhere any more: the next message is notified.
    notifier.messageStored(QStringLiteral("8"), Sms, QStringLiteral("+358401234568"),
                           QStringLiteral("now"), 2);
    QTRY_COMPARE_WITH_TIMEOUT(m_server->shown.size(), 1, 5000);
    QCOMPARE(m_server->shown.first().body, QStringLiteral("now\n2 unread messages"));
}

void IncomingNotifierTest::withdrawsTheNotificationWhenTheConversationIsRead()
{
    IncomingNotifier notifier;
    QSignalSpy closeRequested(m_server, &FakeNotificationServer::closeRequested);
    notifier.messageStored(QStringLiteral("3"), Sms, QStringLiteral("+358401234567"),
                           QStringLiteral("Read me"), 1);
    QVERIFY(notifier.notificationId(QStringLiteral("3")) != 0);
    notifier.threadRead(QStringLiteral("3"));
    QCOMPARE(notifier.notificationId(QStringLiteral("3")), 0u);
    // Closed on the server even when read before the server had answered.
    QTRY_COMPARE_WITH_TIMEOUT(closeRequested.count(), 1, 5000);
    QCOMPARE(closeRequested.first().first().toUInt(), m_server->shown.first().id);

    // A new message after reading makes a new notification.
    notifier.messageStored(QStringLiteral("3"), Sms, QStringLiteral("+358401234567"),
                           QStringLiteral("Again"), 1);
    QTRY_COMPARE_WITH_TIMEOUT(m_server->shown.size(), 2, 5000);
}

void IncomingNotifierTest::onlyOneNotifierOfTheSessionPublishes()
{
    {
        // Another process's notifier came first.
        QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                              QStringLiteral("other-notifier"));
        QVERIFY(other.interface()->registerService(IncomingNotifier::busName()).isValid());
    }
    IncomingNotifier notifier;
    QVERIFY(!notifier.isPublisher());
    notifier.messageStored(QStringLiteral("4"), Sms, QStringLiteral("+358401234567"),
                           QStringLiteral("quiet"), 1);
    QCOMPARE(notifier.notificationId(QStringLiteral("4")), 0u);
    QDBusConnection::disconnectFromBus(QStringLiteral("other-notifier"));
    QTRY_VERIFY_WITH_TIMEOUT(notifier.isPublisher(), 5000);

    // In one process the oldest notifier publishes.
    IncomingNotifier younger;
    QVERIFY(!younger.isPublisher());
}

void IncomingNotifierTest::followsTheStoreOfAnyProcess()
{
    QTemporaryDir dir;
    HistoryStore recorderStore(dir.filePath(QStringLiteral("history.db")));
    // The user interface's store on the same file: its changes reach the
    // recorder's store through the store's change notices.
    HistoryStore uiStore(dir.filePath(QStringLiteral("history.db")));
    QVERIFY(recorderStore.isOpen() && uiStore.isOpen());
    IncomingNotifier notifier(&recorderStore);
    QSignalSpy closeRequested(m_server, &FakeNotificationServer::closeRequested);

    const ChatContext context(QStringLiteral("+358401234567"), Sms, OneToOneChat);
    HistoryMessage message;
    message.setSenderId(context.remoteUid());
    message.setText(QStringLiteral("Stored while no UI runs"));
    const qint64 id = recorderStore.addMessage(context, message);
    QVERIFY(id >= 0);
    const qint64 thread = recorderStore.threadId(context);
    QTRY_COMPARE_WITH_TIMEOUT(m_server->shown.size(), 1, 5000);
    QCOMPARE(m_server->shown.first().body, message.text());

    // Read in the other store: withdrawn.
    QVERIFY(uiStore.markRead(thread));
    QTRY_COMPARE_WITH_TIMEOUT(closeRequested.count(), 1, 5000);
    QCOMPARE(notifier.notificationId(QString::number(thread)), 0u);
}

QTEST_GUILESS_MAIN(IncomingNotifierTest)
#include "tst_incomingnotifier.moc"
