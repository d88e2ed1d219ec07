// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The history's recording of incoming messages with no user interface: the
// recorder (messaging-history, activated by Mission Control as an observer)
// and the library's handler (this process) both store what arrives, and
// the history keeps each message once; the recorder, killed outright while
// messages pour in, loses none of them; it does not end while a
// notification that only it can withdraw is shown.

#include "chattestsupport.h"
#include "fakenotificationserver.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include "chatsessionmanager.h"
#include "historystore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QScopeGuard>
#include <QtTest>

#include <csignal>

namespace {
using Env = TelepathyTestEnvironment;
const QString Recorder = QStringLiteral("org.freedesktop.Telepathy.Client.MessagingHistory");

// Every message of the conversation's thread, newest first.
QList<HistoryMessage> storedMessages(const ChatContext &context)
{
    HistoryStore *store = HistoryStore::instance();
    const qint64 thread = store->threadId(context);
    return thread < 0 ? QList<HistoryMessage>() : store->messages(thread, 100000);
}

QStringList tokensOf(const QList<HistoryMessage> &messages)
{
    QStringList tokens;
    for (const HistoryMessage &message : messages)
        tokens << message.token();
    return tokens;
}

// The messages the connection manager still holds for the channel's handler.
int pendingOnChannel(const Tp::TextChannelPtr &channel)
{
    QDBusMessage get = QDBusMessage::createMethodCall(channel->busName(), channel->objectPath(),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << TP_QT_IFACE_CHANNEL_INTERFACE_MESSAGES << QStringLiteral("PendingMessages");
    const QDBusMessage reply = channel->dbusConnection().call(get);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return -1;
    const QDBusArgument list = reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
    return qdbus_cast<Tp::MessagePartListList>(list).size();
}

uint recorderPid()
{
    const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(Recorder);
    return pid.isValid() ? pid.value() : 0;
}
} // namespace

class HistoryRecorderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void incomingMessagesAreStoredOnceAndAcknowledged();
    void recorderKilledDuringABurstStoresEveryMessageOnce();
    void recorderStaysUntilItsNotificationIsWithdrawn();

private:
    Env m_env;
    ChatSessionManager *m_manager = nullptr;
};

void HistoryRecorderTest::initTestCase()
{
    m_manager = readyManager();
    QVERIFY(m_manager);
    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Env::ImAccountPath));
    QVERIFY(HistoryStore::instance()->isOpen());
}

void HistoryRecorderTest::incomingMessagesAreStoredOnceAndAcknowledged()
{
    const QString carol = QStringLiteral("carol@loop.test");
    const ChatContext context(carol, Env::ImAccountPath, OneToOneChat, -1);
    ChatSessionPtr session;
    const QMetaObject::Connection watch =
        connect(m_manager, &ChatSessionManager::prepareChatSession, this, [&](ChatSessionPtr prepared, bool) {
            if (prepared->remoteUid() == carol)
                session = prepared;
        });
    const auto unwatch = qScopeGuard([watch] { QObject::disconnect(watch); });
    TestCmControl &control = m_env.control(Env::ImAccountPath);
    // A new incoming channel: Mission Control starts the recorder and
    // hands the channel to this process's handler once the recorder has
    // answered.
    const QString path = control.injectMessage(QStringLiteral("/"), Tp::HandleTypeContact, QString(), carol,
                                               QStringLiteral("first"));
    QTRY_VERIFY_WITH_TIMEOUT(session && session->isReady(), 10000);
    QVERIFY(recorderPid() != 0);
    for (int i = 2; i <= 5; ++i)
        control.injectMessageOnChannel(path, carol, QStringLiteral("message %1").arg(i));

    QTRY_COMPARE_WITH_TIMEOUT(storedMessages(context).size(), 5, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(pendingOnChannel(session->channel()), 0, 10000);
    // Both writers have had the last message by now; a second copy would
    // show within this time.
    QTest::qWait(300);
    const QList<HistoryMessage> stored = storedMessages(context);
    QCOMPARE(stored.size(), 5);
    QCOMPARE(tokensOf(stored).removeDuplicates(), 0);
    QCOMPARE(stored.last().text(), QStringLiteral("first"));
    QCOMPARE(stored.first().senderId(), carol);
    QCOMPARE(HistoryStore::instance()->thread(HistoryStore::instance()->threadId(context)).unreadCount(), 5);
    QCOMPARE(HistoryStore::instance()->threads(HistoryStore::ThreadFilter()).size(), 1);
}

void HistoryRecorderTest::recorderKilledDuringABurstStoresEveryMessageOnce()
{
    // The tests' handler keeps the channel and never acknowledges: whatever
    // the recorder has not stored stays pending for the next recorder.
    const QString dave = QStringLiteral("dave@loop.test");
    const Tp::TextChannelPtr channel = m_env.ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact, dave);
    QVERIFY(channel);
    QTRY_VERIFY_WITH_TIMEOUT(recorderPid() != 0, 10000);
    TestCmControl &control = m_env.control(Env::ImAccountPath);
    const ChatContext context(dave, Env::ImAccountPath, OneToOneChat, -1);
#ifdef HISTORY_BURST
    const int total = HISTORY_BURST;
#else
    const int total = 1000;
#endif
    const int killEvery = total / 10;
    int kills = 0;
    for (int i = 1; i <= total; ++i) {
        control.injectMessageOnChannel(channel->objectPath(), dave, QStringLiteral("burst %1").arg(i));
        if (i % killEvery == killEvery / 2) {
            // Killed while it stores: it has most of the burst so far, and
            // its successor reads all of it again from the pending list.
            QTRY_VERIFY_WITH_TIMEOUT(storedMessages(context).size() >= i - killEvery / 5, 20000);
            const uint pid = recorderPid();
            QVERIFY(pid != 0);
            QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);
            ++kills;
            // Started again as the bus starts it (unless someone did
            // already); Mission Control then hands it the channels that
            // exist (Recover).
            QTRY_VERIFY_WITH_TIMEOUT(recorderPid() != pid, 5000);
            if (recorderPid() == 0)
                QDBusConnection::sessionBus().interface()->startService(Recorder);
        }
    }
    QCOMPARE(kills, 10);
    QTRY_COMPARE_WITH_TIMEOUT(storedMessages(context).size(), total, 30000);
    const QList<HistoryMessage> stored = storedMessages(context);
    QCOMPARE(tokensOf(stored).removeDuplicates(), 0);
    // Closed here: a channel still handled when the process ends leaves
    // Telepathy-Qt's objects for it behind.
    channel->requestClose();
    QTRY_VERIFY_WITH_TIMEOUT(!channel->isValid(), 5000);
    QStringList texts;
    for (const HistoryMessage &message : stored)
        texts << message.text();
    texts.removeDuplicates();
    QCOMPARE(texts.size(), total);
}

QTEST_GUILESS_MAIN(HistoryRecorderTest)
void HistoryRecorderTest::recorderStaysUntilItsNotificationIsWithdrawn()
{
    // With no channel left the recorder ends when idle (5 s).
    TestCmControl &control = m_env.control(Env::ImAccountPath);
    for (const QString &channel : control.channels())
        control.closeChannel(channel);
    QTRY_VERIFY_WITH_TIMEOUT(recorderPid() == 0, 15000);

    FakeNotificationServer server;
    QVERIFY(server.start());
    QSignalSpy closeRequested(&server, &FakeNotificationServer::closeRequested);
    const QString erin = QStringLiteral("erin@loop.test");
    const QString path = control.injectMessage(QStringLiteral("/"), Tp::HandleTypeContact, QString(), erin, erin);
    QTRY_VERIFY_WITH_TIMEOUT(!server.shown.isEmpty(), 10000);
    const uint recorder = recorderPid();

    // Its channel gone, the recorder stays: only it can withdraw the notification.
    control.closeChannel(path);
    QTest::qWait(7000);
    QCOMPARE(recorderPid(), recorder);

    HistoryStore *store = HistoryStore::instance();
    QVERIFY(store->markRead(store->threadId(ChatContext(erin, Env::ImAccountPath, OneToOneChat, -1))));
    QTRY_COMPARE_WITH_TIMEOUT(closeRequested.count(), 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(recorderPid() == 0, 15000);
}

#include "tst_historyrecorder.moc"
