// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Topics, leaving and incoming messages over a third-party connection
// manager: telepathy-idle against an ngIRCd of the test's own, with raw IRC
// clients as the other side.

#include "accountutils.h"
#include "chatsessionmanager.h"
#include "chattestsupport.h"
#include "incomingmessage.h"
#include "ircpeer.h"
#include "ircserver.h"
#include "messagingtypes.h"
#include "mucchatsession.h"
#include "testhelpers.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>

namespace {
constexpr int Timeout = 20000;
const QString SelfNick = QStringLiteral("alice");
} // namespace

class TestIrcGroupChats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void topicIsReadSetAndFollowed();
    void topicRefusedByTheRoomIsReported();
    void leftRoomIsPartedAndNotOfferedAgain();
    void incomingMessagesArriveInOrderPendingOnesIncluded();

private:
    QSharedPointer<MucChatSession> joinRoom(const QString &room);
    bool anySessionFor(const QString &remoteUid, int from = 0) const;

    IrcServer m_server;
    QString m_accountPath;
    ChatSessionManager *m_manager = nullptr;
    QList<ChatSessionPtr> m_prepared; // every session the manager announced
    // Texts of every message announced, by conversation, as the caller of
    // prepareChatSession would see them.
    QHash<QString, QStringList> m_received;
};

void TestIrcGroupChats::initTestCase()
{
    QVERIFY(m_server.start());
    m_accountPath = m_server.seedAccount(QStringLiteral("alice0"), SelfNick);
    QVERIFY(!m_accountPath.isEmpty());
    m_manager = readyManager(Timeout);
    QVERIFY(m_manager);
    connect(m_manager, &ChatSessionManager::prepareChatSession, this, [this](ChatSessionPtr session, bool) {
        m_prepared << session;
        const QString uid = session->remoteUid();
        connect(session.data(), &ChatSession::messageReceived, this,
                [this, uid](const IncomingMessage &message) { m_received[uid] << message.text(); },
                Qt::UniqueConnection);
    });
    const Tp::AccountManagerPtr manager = AccountUtils::instance()->accountManager();
    QVERIFY(waitUntil([&] {
        const Tp::AccountPtr account = manager->accountForObjectPath(m_accountPath);
        return account && account->connectionStatus() == Tp::ConnectionStatusConnected;
    }, Timeout));
}

void TestIrcGroupChats::cleanupTestCase()
{
    m_prepared.clear();
}

bool TestIrcGroupChats::anySessionFor(const QString &remoteUid, int from) const
{
    for (int i = from; i < m_prepared.size(); ++i) {
        if (m_prepared.at(i)->remoteUid().compare(remoteUid, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QSharedPointer<MucChatSession> TestIrcGroupChats::joinRoom(const QString &room)
{
    // Answered once we are a member.
    return openSession(m_manager, ChatContext(room, m_accountPath, RoomChat), Timeout).objectCast<MucChatSession>();
}

void TestIrcGroupChats::topicIsReadSetAndFollowed()
{
    const QString room = QStringLiteral("#topics");
    IrcPeer bob(QStringLiteral("bob"));
    QVERIFY(bob.connectTo(IrcServer::host(), m_server.port()));
    QVERIFY(bob.join(room));
    bob.sendLine(QStringLiteral("TOPIC %1 :Welcome to topics").arg(room));
    QVERIFY(bob.waitForLine([](const IrcPeer::Line &l) { return l.command == QLatin1String("TOPIC"); }, Timeout, true));

    auto session = joinRoom(room);
    QVERIFY(session);
    // Read as it stands when we join.
    QVERIFY(waitUntil([&] { return session->topic() == QLatin1String("Welcome to topics"); }, Timeout));
    QVERIFY(session->canSetTopic());

    // Set by us: the IRC client sees it, and it comes back as a change.
    QSignalSpy changed(session.data(), &MucChatSession::topicChanged);
    QSignalSpy failed(session.data(), &MucChatSession::topicChangeFailed);
    session->setTopic(QStringLiteral("Set by alice"));
    QVERIFY(bob.waitForLine([](const IrcPeer::Line &l) {
        return l.command == QLatin1String("TOPIC") && l.nick == SelfNick
            && l.params.value(1) == QLatin1String("Set by alice");
    }, Timeout));
    QVERIFY(waitUntil([&] { return session->topic() == QLatin1String("Set by alice"); }, Timeout));
    QCOMPARE(session->topicActor(), SelfNick);
    QCOMPARE(failed.count(), 0);

    // Changed by the other side.
    bob.sendLine(QStringLiteral("TOPIC %1 :Set by bob").arg(room));
    QVERIFY(waitUntil([&] { return session->topic() == QLatin1String("Set by bob"); }, Timeout));
    QCOMPARE(session->topicActor(), bob.nick());
    QVERIFY(std::any_of(changed.cbegin(), changed.cend(), [&](const QList<QVariant> &args) {
        return args.at(0).toString() == QLatin1String("Set by bob") && args.at(1).toString() == bob.nick();
    }));
}

void TestIrcGroupChats::topicRefusedByTheRoomIsReported()
{
    // bob opens the room (operator) and lets only operators set the topic.
    const QString room = QStringLiteral("#locked");
    IrcPeer bob(QStringLiteral("boss"));
    QVERIFY(bob.connectTo(IrcServer::host(), m_server.port()));
    QVERIFY(bob.join(room));
    bob.sendLine(QStringLiteral("MODE %1 +t").arg(room));
    bob.sendLine(QStringLiteral("TOPIC %1 :Operators only").arg(room));
    QVERIFY(bob.waitForLine([](const IrcPeer::Line &l) { return l.command == QLatin1String("TOPIC"); }, Timeout, true));

    auto session = joinRoom(room);
    QVERIFY(session);
    QVERIFY(waitUntil([&] { return session->topic() == QLatin1String("Operators only"); }, Timeout));
    QSignalSpy failed(session.data(), &MucChatSession::topicChangeFailed);
    session->setTopic(QStringLiteral("not allowed"));
    QVERIFY(waitFor(failed, 1, Timeout));
    QVERIFY(!failed.first().at(0).toString().isEmpty());
    // Nothing reached the room, and the topic stays.
    bob.sendLine(QStringLiteral("TOPIC %1").arg(room)); // asks for it: the answer ends the wait below
    QVERIFY(bob.waitForLine([](const IrcPeer::Line &l) { return l.command == QLatin1String("332"); }, Timeout));
    for (const IrcPeer::Line &line : bob.lines())
        QVERIFY(!(line.command == QLatin1String("TOPIC") && line.nick == SelfNick));
    QCOMPARE(session->topic(), QStringLiteral("Operators only"));
}

void TestIrcGroupChats::leftRoomIsPartedAndNotOfferedAgain()
{
    IrcPeer bob(QStringLiteral("bobbie"));
    QVERIFY(bob.connectTo(IrcServer::host(), m_server.port()));

    // leave(): the IRC client sees the part with its message, and the room
    // does not come back.
    const QString gone = QStringLiteral("#gone");
    QVERIFY(bob.join(gone));
    auto session = joinRoom(gone);
    QVERIFY(session);
    QSignalSpy left(session.data(), &MucChatSession::leftChat);
    session->leave(QStringLiteral("off to lunch"));
    QVERIFY(bob.waitForLine([&](const IrcPeer::Line &l) {
        return l.command == QLatin1String("PART") && l.nick == SelfNick && l.params.value(0) == gone
            && l.params.value(1) == QLatin1String("off to lunch");
    }, Timeout, true));
    QVERIFY(waitFor(left, 1, Timeout));
    QCOMPARE(left.first().first().toBool(), true);
    for (int i = m_prepared.size() - 1; i >= 0; --i) {
        if (m_prepared.at(i)->remoteUid() == gone)
            m_prepared.removeAt(i);
    }
    const int from = m_prepared.size();
    session.clear();

    // Something else arrives after the leave: the handler has dealt with
    // everything before it, and the room is not among it.
    IrcPeer dave(QStringLiteral("davy"));
    QVERIFY(dave.connectTo(IrcServer::host(), m_server.port()));
    dave.privmsg(SelfNick, QStringLiteral("ping after the leave"));
    QVERIFY(waitUntil([&] { return anySessionFor(dave.nick(), from); }, Timeout));
    QVERIFY(!anySessionFor(gone, from));
}

void TestIrcGroupChats::incomingMessagesArriveInOrderPendingOnesIncluded()
{
    // A burst from a new contact: the first line opens the conversation,
    // the rest arrive while the handler makes the channel ready (pending at
    // hand-over) and after it.
    IrcPeer erin(QStringLiteral("erin"));
    QVERIFY(erin.connectTo(IrcServer::host(), m_server.port()));
    QStringList texts;
    for (int i = 1; i <= 15; ++i)
        texts << QStringLiteral("burst %1").arg(i);
    for (const QString &text : qAsConst(texts))
        erin.privmsg(SelfNick, text);
    QVERIFY(waitUntil([&] { return m_received.value(erin.nick()).size() >= texts.size(); }, Timeout));
    QCOMPARE(m_received.value(erin.nick()), texts);
}

QTEST_GUILESS_MAIN(TestIrcGroupChats)
#include "tst_ircgroupchats.moc"
