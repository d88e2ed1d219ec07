// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Conversations over a third-party connection manager: telepathy-idle
// against an ngIRCd of the test's own. The other side is a raw IRC client,
// so every check is on what really reached the network.

#include "accountutils.h"
#include "chatsessionmanager.h"
#include "chattestsupport.h"
#include "confitem.h"
#include "ircpeer.h"
#include "ircserver.h"
#include "messagesender.h"
#include "messagingtypes.h"
#include "mucchatsession.h"
#include "mucparticipant.h"
#include "testhelpers.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>
#include <TelepathyQt/ReceivedMessage>
#include <TelepathyQt/TextChannel>

namespace {

constexpr int Timeout = 20000;
const QString SelfNick = QStringLiteral("alice");

// Statuses of one sender by message id, in the order they came.
struct Statuses
{
    explicit Statuses(MessageSender *sender)
        : spy(sender, &MessageSender::messageStatusChanged)
    {
    }
    bool waitForCount(int count, int timeoutMs = Timeout)
    {
        return waitUntil([&] { return spy.count() >= count; }, timeoutMs);
    }
    QList<int> of(const QString &id) const
    {
        QList<int> result;
        for (const QList<QVariant> &args : spy) {
            if (args.at(0).toString() == id)
                result << args.at(1).toInt();
        }
        return result;
    }
    QSignalSpy spy;
};

} // namespace

class TestIrcConversations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void textToNickArrives();
    void textsOfOneCallArriveInOrder();
    void privateMessageOpensIncomingConversation();
    void roomFollowsMembersAndCarriesMessagesBothWays();
    void serverOutageFailsSendsOnceAndRecovers();

private:
    bool waitForConnectedAccount();
    ChatSessionPtr waitForSession(const QString &remoteUid);

    IrcServer m_server;
    QString m_accountPath;
    Tp::AccountPtr m_account;
    ChatSessionManager *m_manager = nullptr;
    QList<ChatSessionPtr> m_prepared; // every session the manager announced
};

void TestIrcConversations::initTestCase()
{
    qRegisterMetaType<MucParticipantList>("MucParticipantList");
    QVERIFY(m_server.start());
    // Before anything asks for the account manager: Mission Control reads
    // its accounts once, when it is activated.
    m_accountPath = m_server.seedAccount(QStringLiteral("alice0"), SelfNick);
    QVERIFY(!m_accountPath.isEmpty());

    m_manager = readyManager(Timeout);
    QVERIFY(m_manager);
    connect(m_manager, &ChatSessionManager::prepareChatSession, this,
            [this](ChatSessionPtr session, bool) { m_prepared << session; });
    QVERIFY(waitForConnectedAccount());
}

void TestIrcConversations::cleanupTestCase()
{
    m_prepared.clear();
    m_account.reset();
}

bool TestIrcConversations::waitForConnectedAccount()
{
    const Tp::AccountManagerPtr manager = AccountUtils::instance()->accountManager();
    return waitUntil([&] {
        if (!m_account)
            m_account = manager->accountForObjectPath(m_accountPath);
        return m_account && m_account->isReady()
            && m_account->connectionStatus() == Tp::ConnectionStatusConnected;
    }, Timeout);
}

ChatSessionPtr TestIrcConversations::waitForSession(const QString &remoteUid)
{
    ChatSessionPtr found;
    waitUntil([&] {
        for (const ChatSessionPtr &session : qAsConst(m_prepared)) {
            if (session->remoteUid() == remoteUid && session->isReadyToChat()) {
                found = session;
                return true;
            }
        }
        return false;
    }, Timeout);
    return found;
}

void TestIrcConversations::textToNickArrives()
{
    IrcPeer bob(QStringLiteral("bob"));
    QVERIFY(bob.connectTo(IrcServer::host(), m_server.port()));

    MessageSender sender(bob.nick(), m_accountPath, false);
    Statuses statuses(&sender);
    sender.send(QStringLiteral("Hello, bob"), QStringLiteral("m1"));
    QVERIFY(statuses.waitForCount(1));
    QCOMPARE(statuses.of(QStringLiteral("m1")), QList<int>{0});
    QVERIFY(bob.waitForPrivmsgs(SelfNick, bob.nick(), 1));
    QCOMPARE(bob.privmsgs(SelfNick, bob.nick()), QStringList{QStringLiteral("Hello, bob")});
}

void TestIrcConversations::textsOfOneCallArriveInOrder()
{
    // A conversation not open yet, so that every text waits in the sender
    // until the channel is ready; generated ids, as most callers use.
    IrcPeer carol(QStringLiteral("carol"));
    QVERIFY(carol.connectTo(IrcServer::host(), m_server.port()));

    MessageSender sender(carol.nick(), m_accountPath, false);
    Statuses statuses(&sender);
    QStringList texts;
    for (int i = 1; i <= 12; ++i)
        texts << QStringLiteral("line %1").arg(i);
    for (const QString &text : qAsConst(texts))
        sender.send(text);
    QVERIFY(statuses.waitForCount(texts.size()));
    for (const QList<QVariant> &args : qAsConst(statuses.spy))
        QCOMPARE(args.at(1).toInt(), 0);
    QVERIFY(carol.waitForPrivmsgs(SelfNick, carol.nick(), texts.size()));
    QCOMPARE(carol.privmsgs(SelfNick, carol.nick()), texts);
}

void TestIrcConversations::privateMessageOpensIncomingConversation()
{
    IrcPeer dave(QStringLiteral("dave"));
    QVERIFY(dave.connectTo(IrcServer::host(), m_server.port()));
    dave.privmsg(SelfNick, QStringLiteral("are you there?"));

    const ChatSessionPtr session = waitForSession(dave.nick());
    QVERIFY(session);
    QCOMPARE(session->context().chatType(), OneToOneChat);
    QCOMPARE(session->accountPath(), m_accountPath);
    QVERIFY(session->channel());
    QVERIFY(!session->channel()->isRequested());

    // The conversation the handler built is a working one.
    QSignalSpy statuses(session.data(), &ChatSession::messageStatusChanged);
    session->sendMessage(textParts(QStringLiteral("yes")), QStringLiteral("r1"), 0);
    QVERIFY(waitFor(statuses, 1, Timeout));
    QCOMPARE(statuses.first().at(1).toInt(), 0);
    QVERIFY(dave.waitForPrivmsgs(SelfNick, dave.nick(), 1));
    QCOMPARE(dave.privmsgs(SelfNick, dave.nick()), QStringList{QStringLiteral("yes")});
}

void TestIrcConversations::roomFollowsMembersAndCarriesMessagesBothWays()
{
    const QString room = QStringLiteral("#lounge");
    IrcPeer bob(QStringLiteral("bobby"));
    IrcPeer erin(QStringLiteral("erin"));
    QVERIFY(bob.connectTo(IrcServer::host(), m_server.port()));
    QVERIFY(erin.connectTo(IrcServer::host(), m_server.port()));
    QVERIFY(bob.join(room));

    const ChatSessionPtr session = openSession(m_manager, ChatContext(room, m_accountPath, RoomChat), Timeout);
    QVERIFY(session);
    QCOMPARE(session->context().chatType(), RoomChat);
    QVERIFY(bob.waitForLine([&](const IrcPeer::Line &l) {
        return l.command == QLatin1String("JOIN") && l.nick == SelfNick;
    }, Timeout, true));

    auto muc = session.objectCast<MucChatSession>();
    QVERIFY(muc);
    auto memberIds = [&] {
        QStringList ids;
        for (const MucParticipant *p : muc->members())
            ids << p->uid();
        ids.sort();
        return ids;
    };
    QVERIFY(waitUntil([&] { return memberIds().contains(bob.nick()); }, Timeout));

    // Members follow the IRC clients' joins and parts.
    QSignalSpy added(muc.data(), &MucChatSession::participantsAdded);
    QSignalSpy removed(muc.data(), &MucChatSession::participantsRemoved);
    QVERIFY(erin.join(room));
    QVERIFY(waitUntil([&] { return memberIds().contains(erin.nick()); }, Timeout));
    QVERIFY(!added.isEmpty());
    QVERIFY(erin.part(room));
    QVERIFY(waitUntil([&] { return !memberIds().contains(erin.nick()); }, Timeout));
    QVERIFY(waitUntil([&] {
        for (const QList<QVariant> &args : qAsConst(removed)) {
            if (args.at(0).toStringList().contains(erin.nick()))
                return true;
        }
        return false;
    }, Timeout));
    QVERIFY(memberIds().contains(bob.nick()));

    // From the library to the room.
    QSignalSpy statuses(session.data(), &ChatSession::messageStatusChanged);
    session->sendMessage(textParts(QStringLiteral("hi all")), QStringLiteral("room-1"), 0);
    QVERIFY(waitFor(statuses, 1, Timeout));
    QCOMPARE(statuses.first().at(1).toInt(), 0);
    QVERIFY(bob.waitForPrivmsgs(SelfNick, room, 1));
    QCOMPARE(bob.privmsgs(SelfNick, room), QStringList{QStringLiteral("hi all")});

    // From the room to the library.
    QStringList received;
    connect(session->channel().data(), &Tp::TextChannel::messageReceived, this,
            [&](const Tp::ReceivedMessage &message) { received << message.text(); });
    bob.privmsg(room, QStringLiteral("hello alice"));
    QVERIFY(waitUntil([&] { return !received.isEmpty(); }, Timeout));
    QCOMPARE(received, QStringList{QStringLiteral("hello alice")});
}

void TestIrcConversations::serverOutageFailsSendsOnceAndRecovers()
{
    // Every send into the outage has its status well within the wait
    // below; the library's bound on a message without a status is set
    // beyond that wait, so that it cannot hide a send that hangs.
    ConfItem bound(QStringLiteral("/Messaging/Settings/StatusTimeout"));
    QVERIFY(bound.set(100));
    const auto unbound = qScopeGuard([&bound] { bound.unset(); });
    IrcPeer frank(QStringLiteral("frank"));
    QVERIFY(frank.connectTo(IrcServer::host(), m_server.port()));
    MessageSender sender(frank.nick(), m_accountPath, false);
    Statuses statuses(&sender);
    sender.send(QStringLiteral("before"), QStringLiteral("before"));
    QVERIFY(statuses.waitForCount(1));
    QCOMPARE(statuses.of(QStringLiteral("before")), QList<int>{0});
    QVERIFY(frank.waitForPrivmsgs(SelfNick, frank.nick(), 1));

    m_server.stop();
    QVERIFY(waitUntil([&] {
        return m_account->connectionStatus() != Tp::ConnectionStatusConnected;
    }, Timeout));

    // Every send during the outage ends with one failure status, in time.
    const QStringList during = {QStringLiteral("during-1"), QStringLiteral("during-2")};
    for (const QString &id : during)
        sender.send(QStringLiteral("lost ") + id, id);
    QVERIFY2(statuses.waitForCount(1 + during.size(), 60000), "a send during the outage hangs");
    for (const QString &id : during) {
        const QList<int> got = statuses.of(id);
        QCOMPARE(got.size(), 1);
        QVERIFY2(got.first() != 0, qPrintable(id));
    }

    // Back again: Mission Control is asked to reconnect at once rather
    // than after its back-off.
    QVERIFY(m_server.start());
    QVERIFY(expectSuccessfulCall(m_account->reconnect()));
    QVERIFY(waitForConnectedAccount());
    QVERIFY(frank.connectTo(IrcServer::host(), m_server.port()));
    sender.send(QStringLiteral("after"), QStringLiteral("after"));
    QVERIFY(waitUntil([&] { return !statuses.of(QStringLiteral("after")).isEmpty(); }, Timeout));
    QCOMPARE(statuses.of(QStringLiteral("after")), QList<int>{0});
    QVERIFY(frank.waitForPrivmsgs(SelfNick, frank.nick(), 2));
    // What failed during the outage was not sent later either.
    QCOMPARE(frank.privmsgs(SelfNick, frank.nick()),
             (QStringList{QStringLiteral("before"), QStringLiteral("after")}));
    // No late second status for the messages of the outage.
    for (const QString &id : during)
        QCOMPARE(statuses.of(id).size(), 1);
}

QTEST_GUILESS_MAIN(TestIrcConversations)
#include "tst_ircconversations.moc"
