// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Group chats end to end: the library's handler gets the channels from
// Mission Control, the test connection manager drives membership, topic and
// leave, and the memory address book resolves participants.

#include "../contacts/contactfixture.h"
#include "accountpaths.h"
#include "chatsessionmanager.h"
#include "historystore.h"
#include "historythread.h"
#include "chattestsupport.h"
#include "mucchatsession.h"
#include "mucparticipant.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include <TelepathyQt/Connection>

namespace {
using Env = TelepathyTestEnvironment;

QStringList ids(const MucParticipantList &participants)
{
    QStringList result;
    for (const MucParticipant *p : participants)
        result << p->uid();
    result.sort();
    return result;
}

} // namespace

class TestMucChatSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void roomFollowsItsMembersAndResolvesThem();
    void invitedUserBecomesReadyWhenAdded();
    void removedUserClosesTheChannel();
    void memberChangesAreReportedAsTheyCome();
    void topicIsSetThroughTheOldPropertiesInterface();
    void topicIsNotSentWithoutSubject_data();
    void topicIsNotSentWithoutSubject();
    void topicIsReadSetAndFollowed_data();
    void topicIsReadSetAndFollowed();
    void refusedTopicChangesAreReported();
    void leavingARoomIsForGood();
    void leavingWorksOnEveryKindOfGroupChat();
    void invitationsReportTheirOutcome();
    void skypeGroupChatsCanBeLeft();
    void closedSessionDropsItsParticipants();
    void oneToOneChatHasNoGroupBehaviour();

private:
    QSharedPointer<MucChatSession> openGroup(const QString &id, ChatType type);
    QSharedPointer<MucChatSession> invitedGroup(const QString &id, PendingChatSession **request);

    Env *m_env = nullptr;
    ChatSessionManager *m_manager = nullptr;
    ContactFixture m_contacts;
};

void TestMucChatSession::initTestCase()
{
    m_contacts.setUp();
    qRegisterMetaType<MucParticipantList>("MucParticipantList");
    m_manager = readyManager();
    QVERIFY(m_manager);
    m_env = new Env(this);
    QVERIFY(m_env->init());
    QVERIFY(m_env->connectedAccount(Env::ImAccountPath));
}

void TestMucChatSession::init()
{
    m_contacts.clear();
}

void TestMucChatSession::cleanup()
{
    m_env->control(Env::ImAccountPath).reset();
}

namespace {
struct TopicLog : QObject
{
    explicit TopicLog(MucChatSession *session)
    {
        connect(session, &MucChatSession::topicChanged, this,
                [this](const QString &topic, const QString &actor) { changes << qMakePair(topic, actor); });
    }
    bool has(const QString &topic, const QString &actor) const { return changes.contains(qMakePair(topic, actor)); }
    QList<QPair<QString, QString>> changes;
};
} // namespace

// Requests a group chat through the library and waits for the request's
// answer: the session, ready to chat.
QSharedPointer<MucChatSession> TestMucChatSession::openGroup(const QString &id, ChatType type)
{
    return openSession(m_manager, ChatContext(id, Env::ImAccountPath, type)).objectCast<MucChatSession>();
}

// The session of a group chat the user is only invited to: the request
// answers once the user is a member, so it is found by its context
// meanwhile, once its channel is ready.
QSharedPointer<MucChatSession> TestMucChatSession::invitedGroup(const QString &id, PendingChatSession **request)
{
    const ChatContext context(id, Env::ImAccountPath, RoomChat);
    *request = m_manager->ensureChatSession(context);
    (*request)->setAutoDelete(false);
    ChatSessionPtr session;
    if (!QTest::qWaitFor([&] {
            session = m_manager->getReadyChatSession(context);
            return session && session->isReady();
        }, 10000))
        qWarning() << "Group chat" << id << "did not become ready";
    return session.objectCast<MucChatSession>();
}

void TestMucChatSession::roomFollowsItsMembersAndResolvesThem()
{
    m_contacts.add(QStringLiteral("Carol"), {}, { { Env::ImAccountPath, QStringLiteral("carol@loop.test") } });
    m_contacts.add(QStringLiteral("Zed"), {}, { { QStringLiteral("/other/account"), QStringLiteral("dave@loop.test") } });
    m_env->control(Env::ImAccountPath).setRequestedGroupMembers(
        { QStringLiteral("carol@loop.test"), QStringLiteral("dave@loop.test") });

    auto session = openGroup(QStringLiteral("#kitchen"), RoomChat);
    QVERIFY(session);
    // Answered once the user is a member, with every member there.
    QVERIFY(session->isReadyToChat());
    QVERIFY(session->selfIsInChannel());
    QCOMPARE(ids(session->members()), (QStringList { QStringLiteral("alice@loop.test"), QStringLiteral("carol@loop.test"),
                                                    QStringLiteral("dave@loop.test") }));

    // Resolution: carol by her online account on this account; dave's
    // account belongs elsewhere. The local user gets the account nickname.
    const auto carolResolved = [&] {
        const MucParticipantList members = session->members();
        return std::any_of(members.cbegin(), members.cend(), [](const MucParticipant *p) {
            return p->uid() == QLatin1String("carol@loop.test") && p->displayName() == QLatin1String("Carol");
        });
    };
    QTRY_VERIFY(carolResolved());
    QHash<QString, MucParticipant *> byId;
    for (MucParticipant *p : session->members())
        byId.insert(p->uid(), p);
    QCOMPARE(byId.size(), 3);
    QCOMPARE(byId.value(QStringLiteral("carol@loop.test"))->displayName(), QStringLiteral("Carol"));
    QCOMPARE(byId.value(QStringLiteral("dave@loop.test"))->displayName(), QStringLiteral("dave@loop.test"));
    QVERIFY(byId.value(QStringLiteral("alice@loop.test"))->isLocalUser());
    MucParticipant *self = byId.value(QStringLiteral("alice@loop.test"));
    QVERIFY(!session->account()->nickname().isEmpty());
    QCOMPARE(self->displayName(), session->account()->nickname());
    // The local user's name follows the account's nickname.
    QVERIFY(expectSuccessfulCall(session->account()->setNickname(QStringLiteral("Ally"))));
    QTRY_COMPARE(self->displayName(), QStringLiteral("Ally"));
    QCOMPARE(session->tpConnection(), session->channel()->connection());
}

void TestMucChatSession::invitedUserBecomesReadyWhenAdded()
{
    m_env->control(Env::ImAccountPath).setRequestedGroupMembers({ QStringLiteral("carol@loop.test") }, true);
    PendingChatSession *request = nullptr;
    auto session = invitedGroup(QStringLiteral("#invite"), &request);
    QVERIFY(session);
    QSignalSpy answered(request, &PendingChatSession::finished);
    QVERIFY(!session->isReadyToChat());
    QVERIFY(!answered.wait(300)); // not a member yet

    m_env->control(Env::ImAccountPath).addSelf(session->channelPath());
    QVERIFY(answered.wait(10000));
    QCOMPARE(request->chatSession(), session.objectCast<ChatSession>());
    QVERIFY(session->isReadyToChat());
    delete request;
}

void TestMucChatSession::removedUserClosesTheChannel()
{
    auto session = openGroup(QStringLiteral("#kicked"), RoomChat);
    QVERIFY(session);
    QVERIFY(session->isReadyToChat());
    QSignalSpy readyToChat(session.data(), &ChatSession::readyToChat);
    QSignalSpy removed(session.data(), &MucChatSession::participantsRemoved);
    const QString path = session->channelPath();
    m_env->control(Env::ImAccountPath).removeSelf(path);
    QVERIFY(waitFor(readyToChat));
    QCOMPARE(readyToChat.first().first().toBool(), false);
    QCOMPARE(removed.count(), 0); // no bookkeeping for the local user's own removal
    QVERIFY(!session->isReadyToChat());
    QVERIFY(!session->canLeaveSkypeChat());
}

void TestMucChatSession::memberChangesAreReportedAsTheyCome()
{
    auto session = openGroup(QStringLiteral("#changes"), RoomChat);
    QVERIFY(session);
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    QSignalSpy added(session.data(), &MucChatSession::participantsAdded);
    QSignalSpy removed(session.data(), &MucChatSession::participantsRemoved);
    QSignalSpy changed(session.data(), &MucChatSession::participantsChanged);

    control.addMembers(session->channelPath(), { QStringLiteral("erin@loop.test") });
    QVERIFY(waitFor(added));
    QCOMPARE(ids(added.last().first().value<MucParticipantList>()), QStringList { QStringLiteral("erin@loop.test") });
    QVERIFY(waitFor(changed));
    QCOMPARE(ids(changed.last().first().value<MucParticipantList>()),
             (QStringList { QStringLiteral("alice@loop.test"), QStringLiteral("erin@loop.test") }));

    control.removeMembers(session->channelPath(), { QStringLiteral("erin@loop.test") });
    QVERIFY(waitFor(removed));
    QCOMPARE(removed.last().first().toStringList(), QStringList { QStringLiteral("erin@loop.test") });
    QTRY_COMPARE(ids(session->members()), QStringList { QStringLiteral("alice@loop.test") });
}

void TestMucChatSession::topicIsSetThroughTheOldPropertiesInterface()
{
    auto session = openGroup(QStringLiteral("#topic"), RoomChat);
    QVERIFY(session);
    // Two calls in a row: the latest topic wins and is not blanked by the
    // second reply.
    session->setTopic(QStringLiteral("first"));
    session->setTopic(QStringLiteral("Lunch at noon"));
    QTRY_COMPARE(m_env->control(Env::ImAccountPath).subject(session->channelPath()), QStringLiteral("Lunch at noon"));
    QTest::qWait(200);
    QCOMPARE(m_env->control(Env::ImAccountPath).subject(session->channelPath()), QStringLiteral("Lunch at noon"));
}

void TestMucChatSession::topicIsReadSetAndFollowed_data()
{
    QTest::addColumn<uint>("interfaces");
    QTest::addColumn<bool>("actorKnown");
    QTest::newRow("Subject2") << uint(TestCmControl::TopicThroughSubject2) << true;
    QTest::newRow("Subject2 and old Properties") << uint(TestCmControl::TopicThroughSubject2 | TestCmControl::TopicThroughProperties) << true;
    QTest::newRow("old Properties") << uint(TestCmControl::TopicThroughProperties) << false;
}

void TestMucChatSession::topicIsReadSetAndFollowed()
{
    QFETCH(uint, interfaces);
    QFETCH(bool, actorKnown);
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    control.setRoomTopicInterfaces(interfaces);
    const QString room = QStringLiteral("#topics%1").arg(interfaces);
    auto session = openGroup(room, RoomChat);
    QVERIFY(session);
    TopicLog log(session.data());
    // Known from the start: empty here, but known.
    QTRY_VERIFY(!session->topic().isNull());
    QVERIFY(session->canSetTopic());

    const QString carol = QStringLiteral("carol@loop.test");
    control.setSubjectRemotely(session->channelPath(), QStringLiteral("From outside"), carol);
    QTRY_COMPARE(session->topic(), QStringLiteral("From outside"));
    QVERIFY(log.has(QStringLiteral("From outside"), actorKnown ? carol : QString()));
    QCOMPARE(session->topicActor(), actorKnown ? carol : QString());
    // The room's title in the conversation list, before any message.
    ChatContext stored = session->context();
    stored.setAccountPath(AccountPaths::withPrefix(stored.accountPath()));
    HistoryStore *history = HistoryStore::instance();
    QCOMPARE(history->thread(history->threadId(stored)).title(), QStringLiteral("From outside"));

    QSignalSpy failed(session.data(), &MucChatSession::topicChangeFailed);
    session->setTopic(QStringLiteral("Mine now"));
    QTRY_COMPARE(session->topic(), QStringLiteral("Mine now"));
    QCOMPARE(control.subject(session->channelPath()), QStringLiteral("Mine now"));
    QVERIFY(log.has(QStringLiteral("Mine now"), actorKnown ? QStringLiteral("alice@loop.test") : QString()));
    QCOMPARE(failed.count(), 0);
}

void TestMucChatSession::refusedTopicChangesAreReported()
{
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    control.setRoomTopicInterfaces(TestCmControl::TopicThroughSubject2 | TestCmControl::TopicThroughProperties);
    auto session = openGroup(QStringLiteral("#moderated"), RoomChat);
    QVERIFY(session);
    QSignalSpy failed(session.data(), &MucChatSession::topicChangeFailed);

    // The room says no before anyone asks: refused inside the call, and the
    // old interface (which would accept it) is not tried behind its back.
    control.setCanSetSubject(session->channelPath(), false);
    QTRY_VERIFY(!session->canSetTopic());
    session->setTopic(QStringLiteral("not allowed"));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.last().at(0).toString(), QString(TP_QT_ERROR_PERMISSION_DENIED));
    QTest::qWait(100);
    QVERIFY(control.subject(session->channelPath()).isEmpty());

    // The room says yes, the server then refuses: its reason reaches us.
    control.setCanSetSubject(session->channelPath(), true);
    QTRY_VERIFY(session->canSetTopic());
    control.failNextSetSubject(QStringLiteral("org.example.Moderated"), QStringLiteral("Only operators"));
    session->setTopic(QStringLiteral("refused by the server"));
    QVERIFY(waitFor(failed, 2));
    QCOMPARE(failed.last().at(0).toString(), QStringLiteral("org.example.Moderated"));
    QCOMPARE(failed.last().at(1).toString(), QStringLiteral("Only operators"));
    QVERIFY(session->topic().isEmpty());

    // No group chat to set a topic on.
    MucChatSession lonely(session->account(), session->context());
    QSignalSpy lonelyFailed(&lonely, &MucChatSession::topicChangeFailed);
    lonely.setTopic(QStringLiteral("nowhere"));
    QCOMPARE(lonelyFailed.count(), 1);
    QCOMPARE(lonelyFailed.first().at(0).toString(), QString(TP_QT_ERROR_NOT_AVAILABLE));
}

void TestMucChatSession::leavingARoomIsForGood()
{
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    control.setReopenRoomsOnClose(true);
    IncomingSessions incoming(m_manager);

    // Let go without leaving: the channel closes and, as on IRC, the room
    // comes straight back as an incoming conversation.
    auto stay = openGroup(QStringLiteral("#stay"), RoomChat);
    QVERIFY(stay);
    stay.clear();
    QTRY_VERIFY(incoming.sessions.contains(QStringLiteral("#stay")));

    auto go = openGroup(QStringLiteral("#go"), RoomChat);
    QVERIFY(go);
    const QString path = go->channelPath();
    QSignalSpy left(go.data(), &MucChatSession::leftChat);
    QSignalSpy skypeLeft(go.data(), &MucChatSession::leftSkypeChat);
    go->leave(QStringLiteral("bye"));
    QVERIFY(waitFor(left));
    QCOMPARE(left.first().first().toBool(), true);
    QCOMPARE(skypeLeft.count(), 0);
    QTRY_VERIFY(!control.channels().contains(path));
    QVERIFY(!go->isReadyToChat());
    go.clear();

    // Nothing comes back: a later conversation is the first thing the
    // handler sees after the leave.
    const int before = incoming.order.size();
    auto later = openGroup(QStringLiteral("#later"), RoomChat);
    QVERIFY(later);
    QVERIFY(!incoming.order.mid(before).contains(QStringLiteral("#go")));
    QVERIFY(!control.channels().isEmpty());
    for (const QString &channel : control.channels())
        QVERIFY(control.channelDetails(channel).value(QStringLiteral("TargetID")).toString() != QLatin1String("#go"));
}

void TestMucChatSession::leavingWorksOnEveryKindOfGroupChat()
{
    TestCmControl &control = m_env->control(Env::ImAccountPath);

    // Skype group chats keep their own Leave call.
    auto group = openGroup(QStringLiteral("skype-group-2"), AdHocGroupChat);
    QVERIFY(group);
    QSignalSpy left(group.data(), &MucChatSession::leftChat);
    QSignalSpy skypeLeft(group.data(), &MucChatSession::leftSkypeChat);
    control.failNextLeave();
    group->leave();
    QVERIFY(waitFor(left));
    QCOMPARE(left.last().first().toBool(), false);
    QCOMPARE(skypeLeft.count(), 1);
    QVERIFY(group->isReadyToChat()); // still in it
    group->leave();
    QVERIFY(waitFor(left, 2));
    QCOMPARE(left.last().first().toBool(), true);
    QCOMPARE(control.leaveCount(), 2u);
    QTRY_VERIFY(!group->isReadyToChat());

    // An invitation not accepted can be declined the same way.
    control.setRequestedGroupMembers({ QStringLiteral("carol@loop.test") }, true);
    PendingChatSession *request = nullptr;
    auto invited = invitedGroup(QStringLiteral("#declined"), &request);
    QVERIFY(invited);
    QSignalSpy answered(request, &PendingChatSession::finished);
    const QString path = invited->channelPath();
    QSignalSpy declined(invited.data(), &MucChatSession::leftChat);
    invited->leave();
    QVERIFY(waitFor(declined));
    QCOMPARE(declined.first().first().toBool(), true);
    QTRY_VERIFY(!control.channels().contains(path));
    // Declined, the invitation's request ends without a session.
    QVERIFY(answered.count() == 1 || answered.wait(10000));
    QVERIFY(request->isError());
    delete request;

    // Nothing to leave: refused inside the call.
    MucChatSession lonely(group->account(), group->context());
    QSignalSpy lonelyLeft(&lonely, &MucChatSession::leftChat);
    lonely.leave();
    QCOMPARE(lonelyLeft.count(), 1);
    QCOMPARE(lonelyLeft.first().first().toBool(), false);
}

void TestMucChatSession::topicIsNotSentWithoutSubject_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("listing fails") << int(TestCmControl::ListPropertiesFails);
    QTest::newRow("no subject") << int(TestCmControl::ListPropertiesWithoutSubject);
}

void TestMucChatSession::topicIsNotSentWithoutSubject()
{
    QFETCH(int, mode);
    auto session = openGroup(QStringLiteral("#notopic%1").arg(mode), RoomChat);
    QVERIFY(session);
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    const QString before = control.subject(session->channelPath());
    control.setListPropertiesMode(TestCmControl::ListPropertiesMode(mode));
    QSignalSpy failed(session.data(), &MucChatSession::topicChangeFailed);
    session->setTopic(QStringLiteral("never"));
    QVERIFY(waitFor(failed));
    QCOMPARE(failed.first().at(0).toString(), mode == TestCmControl::ListPropertiesFails
                                                   ? QString(TP_QT_ERROR_NOT_AVAILABLE)
                                                   : QString(TP_QT_ERROR_NOT_IMPLEMENTED));
    QTest::qWait(100);
    QCOMPARE(control.subject(session->channelPath()), before);

    // Without a ready channel there is nothing to ask: nothing happens.
    MucChatSession lonely(session->account(), session->context());
    lonely.setTopic(QStringLiteral("ignored"));
}

void TestMucChatSession::invitationsReportTheirOutcome()
{
    auto session = openGroup(QStringLiteral("#party"), RoomChat);
    QVERIFY(session);
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    QSignalSpy invited(session.data(), &MucChatSession::participantsInvited);

    session->inviteParticipants({});
    QCOMPARE(invited.count(), 1); // refused inside the call
    QCOMPARE(invited.last().first().toBool(), false);

    const QList<Tp::ContactPtr> frank = m_env->contacts(session->tpConnection(), { QStringLiteral("frank@loop.test") });
    QCOMPARE(frank.size(), 1);
    session->inviteParticipants(frank);
    QVERIFY(waitFor(invited, 2));
    QCOMPARE(invited.last().first().toBool(), true);
    QVERIFY(control.invitedContacts().contains(QStringLiteral("frank@loop.test")));

    control.failNextAddMembers(TP_QT_ERROR_PERMISSION_DENIED);
    const QList<Tp::ContactPtr> gina = m_env->contacts(session->tpConnection(), { QStringLiteral("gina@loop.test") });
    session->inviteParticipants(gina);
    QVERIFY(waitFor(invited, 3));
    QCOMPARE(invited.last().first().toBool(), false);
}

void TestMucChatSession::skypeGroupChatsCanBeLeft()
{
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    auto room = openGroup(QStringLiteral("#noskype"), RoomChat);
    QVERIFY(room);
    QVERIFY(!room->canLeaveSkypeChat());
    QSignalSpy roomLeft(room.data(), &MucChatSession::leftSkypeChat);
    room->leaveSkypeChat();

    auto group = openGroup(QStringLiteral("skype-group-1"), AdHocGroupChat);
    QVERIFY(group);
    QVERIFY(group->canLeaveSkypeChat());
    QSignalSpy left(group.data(), &MucChatSession::leftSkypeChat);
    control.failNextLeave();
    group->leaveSkypeChat();
    QVERIFY(waitFor(left));
    QCOMPARE(left.last().first().toBool(), false);
    group->leaveSkypeChat();
    QVERIFY(waitFor(left, 2));
    QCOMPARE(left.last().first().toBool(), true);
    QCOMPARE(control.leaveCount(), 2u);
    QCOMPARE(roomLeft.count(), 0);
}

void TestMucChatSession::closedSessionDropsItsParticipants()
{
    m_env->control(Env::ImAccountPath).setRequestedGroupMembers({ QStringLiteral("hank@loop.test") });
    auto session = openGroup(QStringLiteral("#closing"), RoomChat);
    QVERIFY(session);
    QTRY_COMPARE(session->members().size(), 2);
    QSignalSpy changed(session.data(), &MucChatSession::participantsChanged);
    m_env->control(Env::ImAccountPath).closeChannel(session->channelPath());
    QTRY_VERIFY(std::any_of(changed.cbegin(), changed.cend(), [](const QList<QVariant> &args) {
        return args.first().value<MucParticipantList>().isEmpty();
    }));
    QVERIFY(!session->isReady());
}

void TestMucChatSession::oneToOneChatHasNoGroupBehaviour()
{
    auto session = openSession(m_manager, ChatContext(QStringLiteral("ivan@loop.test"), Env::ImAccountPath))
                       .objectCast<MucChatSession>();
    QVERIFY(session && session->isReadyToChat());
    QVERIFY(session->members().isEmpty());
    QVERIFY(!session->canLeaveSkypeChat());
    QSignalSpy invited(session.data(), &MucChatSession::participantsInvited);
    session->setTopic(QStringLiteral("no properties proxy: ignored"));
}

QTEST_GUILESS_MAIN(TestMucChatSession)
#include "tst_mucchatsession.moc"
