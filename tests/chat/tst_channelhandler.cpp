// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The library's Telepathy handler "Messaging": channels from Mission Control
// become sessions, one readiness at a time, whoever asked for them.

#include "chatsession.h"
#include "chattestsupport.h"
#include "chatsessionmanager.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include <TelepathyQt/Connection>
#include <TelepathyQt/PendingChannelRequest>

#include <memory>

namespace {
using Env = TelepathyTestEnvironment;
const QString PersistentIdKey = QStringLiteral("com.tavik.Telepathy.Channel.Interface.Persistent.PersistentID");

Tp::ChannelPtr channelWith(const Tp::ConnectionPtr &connection, const QVariantMap &properties)
{
    return Tp::Channel::create(connection, connection->objectPath() + QStringLiteral("/nochannel"), properties);
}
} // namespace

class TestChannelHandler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void channelTargetIdReadsTheImmutableProperties_data();
    void channelTargetIdReadsTheImmutableProperties();
    void incomingConversationsBecomeSessions_data();
    void incomingConversationsBecomeSessions();
    void channelsAreMadeReadyOneAfterTheOther();
    void channelClosingDuringReadinessDoesNotBlockTheQueue();
    void channelRequestedByAnotherClientIsNotLocal();
    void withdrawnRequestNamesRequestAccountAndRemoteId();

private:
    Env *m_env = nullptr;
    ChatSessionManager *m_manager = nullptr;
    Tp::ConnectionPtr m_imConnection;
};

void TestChannelHandler::initTestCase()
{
    m_manager = readyManager();
    QVERIFY(m_manager);
    m_env = new Env(this);
    QVERIFY(m_env->init());
    Tp::AccountPtr im = m_env->connectedAccount(Env::ImAccountPath);
    QVERIFY(im);
    m_imConnection = im->connection();
}

void TestChannelHandler::cleanup()
{
    m_env->control(Env::ImAccountPath).reset();
}

void TestChannelHandler::channelTargetIdReadsTheImmutableProperties_data()
{
    QTest::addColumn<QVariantMap>("properties");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("targetId");
    QTest::addColumn<uint>("handleType");

    const QString type = TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetHandleType");
    const QString id = TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetID");
    QTest::newRow("contact") << QVariantMap { { type, 1u }, { id, QStringLiteral("bob") } } << true << "bob" << 1u;
    QTest::newRow("room") << QVariantMap { { type, 2u }, { id, QStringLiteral("#r") } } << true << "#r" << 2u;
    QTest::newRow("persistent") << QVariantMap { { type, 0u }, { PersistentIdKey, QStringLiteral("p1") }, { id, QStringLiteral("x") } }
                                << true << "p1" << 0u;
    QTest::newRow("no handle type") << QVariantMap { { id, QStringLiteral("bob") } } << true << "bob" << 1u;
    QTest::newRow("none without persistent id") << QVariantMap { { type, 0u }, { id, QStringLiteral("t") } } << true << "t" << 0u;
    QTest::newRow("nothing") << QVariantMap() << false << "unchanged" << 1u;
    QTest::newRow("handle type only") << QVariantMap { { type, 2u } } << false << "unchanged" << 2u;
    QTest::newRow("wrong types") << QVariantMap { { type, QStringLiteral("two") }, { id, 42 } } << true << "42" << 0u;
}

void TestChannelHandler::channelTargetIdReadsTheImmutableProperties()
{
    QFETCH(QVariantMap, properties);
    QFETCH(bool, ok);
    QFETCH(QString, targetId);
    QFETCH(uint, handleType);

    QString id = QStringLiteral("unchanged");
    uint type = 99;
    QCOMPARE(channelTargetId(channelWith(m_imConnection, properties), id, type), ok);
    QCOMPARE(id, targetId);
    QCOMPARE(type, handleType);
    QVERIFY(!channelTargetId(Tp::ChannelPtr(), id, type));
}

void TestChannelHandler::incomingConversationsBecomeSessions_data()
{
    QTest::addColumn<uint>("handleType");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("chatType");
    QTest::newRow("one to one") << 1u << "" << 0;
    QTest::newRow("room") << 2u << "#incoming" << 2;
    QTest::newRow("ad hoc group") << 0u << "adhoc-9" << 1;
}

void TestChannelHandler::incomingConversationsBecomeSessions()
{
    QFETCH(uint, handleType);
    QFETCH(QString, target);
    QFETCH(int, chatType);
    const QString sender = QStringLiteral("sender%1@loop.test").arg(handleType);
    const QString remoteUid = target.isEmpty() ? sender : target;

    IncomingSessions seen(m_manager);
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    const QString path = control.injectMessage(QStringLiteral("/"), handleType, target, sender, QStringLiteral("hi"));
    QVERIFY(!path.isEmpty());
    QTRY_VERIFY(seen.sessions.contains(remoteUid));
    const ChatSessionPtr session = seen.sessions.value(remoteUid);
    QVERIFY(seen.local.value(remoteUid)); // the handler's own sessions count as local
    QCOMPARE(session->context().accountPath(), Env::ImAccountPath);
    QCOMPARE(int(session->context().chatType()), chatType);
    QCOMPARE(session->channelPath(), path);
    QTRY_VERIFY(seen.readyOrder.contains(remoteUid));
    QTRY_VERIFY(session->channel()->messageQueue().isEmpty()); // acknowledged
    QCOMPARE(m_manager->getReadyChatSession(session->context()), session);

    // A second message on the same channel creates nothing new.
    control.injectMessageOnChannel(path, sender, QStringLiteral("again"));
    QTest::qWait(200);
    QCOMPARE(seen.order.size(), 1);
}

void TestChannelHandler::channelsAreMadeReadyOneAfterTheOther()
{
    IncomingSessions seen(m_manager);
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    QStringList senders;
    for (int i = 0; i < 5; ++i) {
        senders << QStringLiteral("burst%1@loop.test").arg(i);
        control.injectMessage(QStringLiteral("/"), Tp::HandleTypeContact, QString(), senders.last(), QStringLiteral("x"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(seen.readyOrder.size(), 5, 10000);
    // Readiness follows the order in which the channels were handed over.
    QCOMPARE(seen.readyOrder, seen.order);
    for (const ChatSessionPtr &session : qAsConst(seen.sessions))
        QVERIFY(session->isReadyToChat());
}

void TestChannelHandler::channelClosingDuringReadinessDoesNotBlockTheQueue()
{
    IncomingSessions seen(m_manager);
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    control.closeNextChannelAfterCreation(0);
    const ChatContext doomed(QStringLiteral("doomed@loop.test"), Env::ImAccountPath);
    PendingChatSession *first = m_manager->ensureChatSession(doomed);
    first->setAutoDelete(false);
    QSignalSpy firstDone(first, &PendingChatSession::finished);
    control.injectMessage(QStringLiteral("/"), Tp::HandleTypeContact, QString(), QStringLiteral("next@loop.test"),
                          QStringLiteral("still here"));
    QTRY_VERIFY_WITH_TIMEOUT(seen.readyOrder.contains(QStringLiteral("next@loop.test")), 10000);
    // The closed channel's request ends, with an error, once.
    QVERIFY(firstDone.count() == 1 || firstDone.wait(10000));
    QVERIFY(first->isError());
    QVERIFY(!first->chatSession());
    delete first;

    // And a fresh request for the same conversation works.
    const ChatSessionPtr again = openSession(m_manager, doomed);
    QVERIFY(again && again->isReady());
    QCOMPARE(control.channelRequests().size(), 2);
}

void TestChannelHandler::channelRequestedByAnotherClientIsNotLocal()
{
    IncomingSessions seen(m_manager);
    Tp::AccountPtr account = m_env->account(Env::ImAccountPath);
    // Another client asks for a conversation and lets "Messaging" handle it.
    QVERIFY(expectSuccessfulCall(account->ensureChannel(
        Env::textChannelRequest(Tp::HandleTypeContact, QStringLiteral("other@loop.test")))));
    QTRY_VERIFY(seen.sessions.contains(QStringLiteral("other@loop.test")));
    QCOMPARE(seen.local.value(QStringLiteral("other@loop.test")), false);
    const ChatSessionPtr session = seen.sessions.value(QStringLiteral("other@loop.test"));
    QTRY_VERIFY(session->isReady());
    const QString channel = session->channelPath();

    // Asked again: the live session keeps its channel.
    QVERIFY(expectSuccessfulCall(account->ensureChannel(
        Env::textChannelRequest(Tp::HandleTypeContact, QStringLiteral("other@loop.test")))));
    QCOMPARE(session->channelPath(), channel);
    QVERIFY(session->isReady());
}

void TestChannelHandler::withdrawnRequestNamesRequestAccountAndRemoteId()
{
    QList<ChatSessionError> errors;
    QObject scope; // the connection ends with this case
    connect(m_manager, &ChatSessionManager::chatSessionError, &scope, [&](ChatSessionError &e) { errors << e; });
    m_env->control(Env::ImAccountPath).failNextChannelRequest(TP_QT_ERROR_OFFLINE);
    const std::unique_ptr<PendingChatSession> request =
        answered(m_manager, ChatContext(QStringLiteral("withdrawn@loop.test"), Env::ImAccountPath));
    QVERIFY(request && request->isError());
    // Withdrawn by the dispatcher and failed as a channel request: one
    // answer, naming the request and the conversation, with Telepathy's
    // error name; the broadcast relays that one.
    const ChatSessionError e = request->error();
    QCOMPARE(e.type(), ChatSessionError::ChannelRequestError);
    QVERIFY(e.request().startsWith(QLatin1String("/org/freedesktop/Telepathy/ChannelDispatcher/Request")));
    QCOMPARE(e.account(), Env::ImAccountPath);
    QCOMPARE(e.remoteId(), QStringLiteral("withdrawn@loop.test"));
    QCOMPARE(e.errorName(), TP_QT_ERROR_OFFLINE);
    QTest::qWait(200);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.first().request(), e.request());
    QCOMPARE(errors.first().type(), e.type());
}

QTEST_GUILESS_MAIN(TestChannelHandler)
#include "tst_channelhandler.moc"
