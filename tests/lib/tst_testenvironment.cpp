// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Proves the Telepathy test environment itself: the seeded accounts, the test
// connection managers' channels and their control interface, as the library's
// tests will use them.

#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include <TelepathyQt/AbstractClientHandler>
#include <TelepathyQt/ChannelClassSpec>
#include <TelepathyQt/ClientRegistrar>
#include <TelepathyQt/Connection>
#include <TelepathyQt/Contact>
#include <TelepathyQt/ContactManager>
#include <TelepathyQt/Message>
#include <TelepathyQt/MethodInvocationContext>
#include <TelepathyQt/PendingChannelRequest>
#include <TelepathyQt/PendingContacts>
#include <TelepathyQt/PendingSendMessage>
#include <TelepathyQt/PendingStringList>
#include <TelepathyQt/ReceivedMessage>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDeadlineTimer>

namespace {

const QString ChannelKey = QStringLiteral("org.freedesktop.Telepathy.Channel.");
const QString PersistentIdKey = QStringLiteral("com.tavik.Telepathy.Channel.Interface.Persistent.PersistentID");
const QString MessageTypesKey = QStringLiteral("org.freedesktop.Telepathy.Channel.Interface.Messages.MessageTypes");
const QString SkypeInterface = QStringLiteral("com.tavik.Telepathy.Channel.Interface.Skype.GroupChat");
const QString ValidityPeriod = QStringLiteral("org.freedesktop.Telepathy.Connection.Interface.Cellular.MessageValidityPeriod");

Tp::MessagePartList textParts(const QString &text)
{
    Tp::MessagePart header;
    Tp::MessagePart body;
    body[QStringLiteral("content-type")] = QDBusVariant(QStringLiteral("text/plain"));
    body[QStringLiteral("content")] = QDBusVariant(text);
    return {header, body};
}

QList<uint> messageTypes(const Tp::TextChannelPtr &channel)
{
    return qdbus_cast<QList<uint>>(channel->immutableProperties().value(MessageTypesKey));
}

QDBusMessage callOnChannel(const Tp::ChannelPtr &channel, const QString &interface, const QString &method,
                           const QList<QVariant> &arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(channel->busName(), channel->objectPath(), interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
}

// Tp::ReceivedMessage is no meta-type, so QSignalSpy cannot record it.
class ReceivedMessages : public QObject
{
public:
    explicit ReceivedMessages(const Tp::TextChannelPtr &channel)
    {
        connect(channel.data(), &Tp::TextChannel::messageReceived, this,
                [this](const Tp::ReceivedMessage &message) { messages << message; });
    }
    bool waitFor(int count) { return waitUntil([&] { return messages.size() >= count; }); }
    QList<Tp::ReceivedMessage> messages;
};

// Group membership changes as contact ids (Tp::Contacts is no meta-type).
class GroupChanges : public QObject
{
public:
    struct Change {
        QStringList added;
        QStringList removed;
    };
    explicit GroupChanges(const Tp::ChannelPtr &channel)
    {
        connect(channel.data(), &Tp::Channel::groupMembersChanged, this,
                [this](const Tp::Contacts &added, const Tp::Contacts &, const Tp::Contacts &,
                       const Tp::Contacts &removed, const Tp::Channel::GroupMemberChangeDetails &) {
                    changes << Change{ids(added), ids(removed)};
                });
    }
    bool waitFor(int count) { return waitUntil([&] { return changes.size() >= count; }); }
    static QStringList ids(const Tp::Contacts &contacts)
    {
        QStringList result;
        for (const Tp::ContactPtr &contact : contacts)
            result << contact->id();
        result.sort();
        return result;
    }
    QList<Change> changes;
};

// Stands in for the library's handler "Messaging" (same filter, request
// notification, approval bypassed) to show how Mission Control routes channels.
class StandInLibraryHandler : public Tp::AbstractClientHandler
{
public:
    StandInLibraryHandler()
        : Tp::AbstractClientHandler(Tp::ChannelClassSpecList() << Tp::ChannelClassSpec::textChat()
                                                               << Tp::ChannelClassSpec::textChatroom()
                                                               << Tp::ChannelClassSpec::unnamedTextChat(),
                                    Capabilities(), true)
    {
    }
    bool bypassApproval() const override { return true; }
    void handleChannels(const Tp::MethodInvocationContextPtr<> &context, const Tp::AccountPtr &,
                        const Tp::ConnectionPtr &, const QList<Tp::ChannelPtr> &channels,
                        const QList<Tp::ChannelRequestPtr> &, const QDateTime &,
                        const Tp::AbstractClientHandler::HandlerInfo &) override
    {
        for (const Tp::ChannelPtr &channel : channels)
            handled << channel->objectPath();
        context->setFinished();
    }
    void addRequest(const Tp::ChannelRequestPtr &) override { ++requests; }
    QStringList handled;
    int requests = 0;
};

} // namespace

class TestEnvironmentTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void seedsCellularMmsAndInstantMessagingAccounts();
    void offersActionMessagesOnlyOutsideCellular();
    void logsChannelRequestsAsTheClientMadeThem();
    void reusesTheOpenChannelForTheSameTarget();
    void reportsAFailedChannelRequestWithTheGivenError();
    void logsSentMessagesWithPartsAndFlags();
    void failsTheNextSendAsCallOrAsDeliveryReport();
    void deliversInjectedMessagesAndDeliveryReports();
    void followsGroupMembershipDrivenByTheTest();
    void servesTheSubjectThroughTheOldPropertiesInterface();
    void countsSkypeLeaveCallsAndFailsOnDemand();
    void invalidatesGroupChannelWithTheGivenError();
    void dropsAndRestoresAConnectionUnderANewPath();
    void routesChannelsToTheLibraryHandlerUnlessTheTestIsPreferred();

private:
    TelepathyTestEnvironment *m_env = nullptr;
};

void TestEnvironmentTest::initTestCase()
{
    m_env = new TelepathyTestEnvironment(this);
    QVERIFY(m_env->init());
}

void TestEnvironmentTest::cleanup()
{
    for (const QString &path : {TelepathyTestEnvironment::CellularAccountPath, TelepathyTestEnvironment::ImAccountPath})
        m_env->control(path).reset();
}

void TestEnvironmentTest::seedsCellularMmsAndInstantMessagingAccounts()
{
    Tp::AccountPtr cellular = m_env->connectedAccount(TelepathyTestEnvironment::CellularAccountPath);
    QVERIFY(cellular);
    QCOMPARE(cellular->cmName(), QStringLiteral("tala"));
    QCOMPARE(cellular->protocolName(), QStringLiteral("tel"));
    QVERIFY(!cellular->parameters().contains(ValidityPeriod));
    // The validity period is a parameter Mission Control accepts for "tel".
    QVERIFY(expectSuccessfulCall(cellular->updateParameters({{ValidityPeriod, 3600u}}, {})));
    QTRY_COMPARE(cellular->parameters().value(ValidityPeriod).toUInt(), 3600u);

    Tp::AccountPtr mms = m_env->connectedAccount(TelepathyTestEnvironment::MmsAccountPath);
    QVERIFY(mms);
    QCOMPARE(mms->protocolName(), QStringLiteral("mms"));

    Tp::AccountPtr im = m_env->connectedAccount(TelepathyTestEnvironment::ImAccountPath);
    QVERIFY(im);
    QCOMPARE(im->cmName(), QStringLiteral("loopback"));
    QVERIFY(im->connection()->selfContact());
    QCOMPARE(im->connection()->selfContact()->id(), QStringLiteral("alice@loop.test"));

    QVERIFY(expectSuccessfulCall(im->setRequestedPresence(Tp::Presence::away(QStringLiteral("lunch")))));
    QTRY_COMPARE(im->currentPresence().status(), QStringLiteral("away"));
    QCOMPARE(im->currentPresence().statusMessage(), QStringLiteral("lunch"));
    QVERIFY(expectSuccessfulCall(im->setRequestedPresence(Tp::Presence::available())));
    QTRY_COMPARE(im->currentPresence().status(), QStringLiteral("available"));

    Tp::AccountPtr disabled = m_env->account(TelepathyTestEnvironment::DisabledImAccountPath);
    QVERIFY(disabled);
    QVERIFY(!disabled->isEnabled());
    QCOMPARE(disabled->connectionStatus(), Tp::ConnectionStatusDisconnected);

    // Every connection gets its own path, unlike Telepathy-Qt's default.
    // (A connection found stuck may have been replaced: any number will do.)
    const QRegularExpression numbered(QStringLiteral("/tala/tel/connection_[0-9]+$"));
    QVERIFY2(numbered.match(cellular->connection()->objectPath()).hasMatch(),
             qPrintable(cellular->connection()->objectPath()));
}

void TestEnvironmentTest::offersActionMessagesOnlyOutsideCellular()
{
    Tp::TextChannelPtr sms = m_env->ensureTextChannel(TelepathyTestEnvironment::CellularAccountPath,
                                                      Tp::HandleTypeContact, QStringLiteral("+358401234567"));
    QVERIFY(sms);
    QCOMPARE(messageTypes(sms), QList<uint>{Tp::ChannelTextMessageTypeNormal});
    QVERIFY(!sms->interfaces().contains(TP_QT_IFACE_CHANNEL_INTERFACE_GROUP));

    Tp::TextChannelPtr im = m_env->ensureTextChannel(TelepathyTestEnvironment::ImAccountPath, Tp::HandleTypeContact,
                                                     QStringLiteral("bob@loop.test"));
    QVERIFY(im);
    QVERIFY(messageTypes(im).contains(Tp::ChannelTextMessageTypeAction));
    QCOMPARE(im->targetId(), QStringLiteral("bob@loop.test"));
}

void TestEnvironmentTest::logsChannelRequestsAsTheClientMadeThem()
{
    TestCmControl &control = m_env->control(TelepathyTestEnvironment::ImAccountPath);
    const QString account = TelepathyTestEnvironment::ImAccountPath;
    QVERIFY(m_env->ensureTextChannel(account, Tp::HandleTypeContact, QStringLiteral("carol@loop.test")));
    QVERIFY(m_env->ensureTextChannel(account, Tp::HandleTypeRoom, QStringLiteral("#lounge")));
    Tp::TextChannelPtr unnamed = m_env->ensureTextChannel(account, Tp::HandleTypeNone, QStringLiteral("chat-42"));
    QVERIFY(unnamed);
    QCOMPARE(unnamed->immutableProperties().value(PersistentIdKey).toString(), QStringLiteral("chat-42"));

    const QList<QVariantMap> requests = control.channelRequests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests.at(0), TelepathyTestEnvironment::textChannelRequest(1, QStringLiteral("carol@loop.test")));
    QCOMPARE(requests.at(1), TelepathyTestEnvironment::textChannelRequest(2, QStringLiteral("#lounge")));
    QCOMPARE(requests.at(2), TelepathyTestEnvironment::textChannelRequest(0, QStringLiteral("chat-42")));
    QCOMPARE(requests.at(2).value(ChannelKey + QStringLiteral("TargetHandleType")).userType(), int(QMetaType::UInt));
}

void TestEnvironmentTest::reusesTheOpenChannelForTheSameTarget()
{
    const QString account = TelepathyTestEnvironment::ImAccountPath;
    Tp::TextChannelPtr first = m_env->ensureTextChannel(account, Tp::HandleTypeNone, QStringLiteral("chat-7"));
    Tp::TextChannelPtr other = m_env->ensureTextChannel(account, Tp::HandleTypeNone, QStringLiteral("chat-8"));
    Tp::TextChannelPtr again = m_env->ensureTextChannel(account, Tp::HandleTypeNone, QStringLiteral("chat-7"));
    QVERIFY(first && other && again);
    QVERIFY(first->objectPath() != other->objectPath());
    QCOMPARE(again->objectPath(), first->objectPath());
    QCOMPARE(m_env->control(account).channelRequests().size(), 3);

    // A channel that closes at once after its creation.
    m_env->control(account).closeNextChannelAfterCreation(0);
    Tp::AccountPtr acc = m_env->account(account);
    bool finished = false;
    connect(acc->ensureChannel(TelepathyTestEnvironment::textChannelRequest(0, QStringLiteral("chat-gone")),
                               QDateTime::currentDateTime(), TelepathyTestEnvironment::TestHandlerBusName),
            &Tp::PendingOperation::finished, this, [&finished] { finished = true; });
    QTRY_VERIFY(finished);
    for (const QString &path : m_env->control(account).channels())
        QVERIFY(m_env->control(account).channelDetails(path).value(QStringLiteral("PersistentID")) != QStringLiteral("chat-gone"));
}

void TestEnvironmentTest::reportsAFailedChannelRequestWithTheGivenError()
{
    const QString account = TelepathyTestEnvironment::ImAccountPath;
    TestCmControl &control = m_env->control(account);
    // Also when a channel for the target is open already.
    QVERIFY(m_env->ensureTextChannel(account, Tp::HandleTypeContact, QStringLiteral("dave@loop.test")));
    for (const QString &target : {QStringLiteral("dave@loop.test"), QStringLiteral("erin@loop.test")}) {
        control.failNextChannelRequest(TP_QT_ERROR_PERMISSION_DENIED, QStringLiteral("not today"));
        Tp::AccountPtr acc = m_env->account(account);
        QCOMPARE(expectFailedCall(acc->ensureChannel(TelepathyTestEnvironment::textChannelRequest(1, target),
                                                     QDateTime::currentDateTime(),
                                                     TelepathyTestEnvironment::TestHandlerBusName)),
                 TP_QT_ERROR_PERMISSION_DENIED);
    }
    QCOMPARE(control.channelRequests().size(), 3);
    // One-shot: the next request goes through.
    QVERIFY(m_env->ensureTextChannel(account, Tp::HandleTypeContact, QStringLiteral("erin@loop.test")));
}

void TestEnvironmentTest::logsSentMessagesWithPartsAndFlags()
{
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(TelepathyTestEnvironment::CellularAccountPath,
                                                          Tp::HandleTypeContact, QStringLiteral("+358409999999"));
    QVERIFY(channel);
    QStringList sentTokens;
    QObject context;
    connect(channel.data(), &Tp::TextChannel::messageSent, &context,
            [&sentTokens](const Tp::Message &, Tp::MessageSendingFlags, const QString &token) { sentTokens << token; });
    Tp::MessagePartList parts = textParts(QStringLiteral("hello"));
    parts[0][QStringLiteral("message-type")] = QDBusVariant(1u);
    QVERIFY(expectSuccessfulCall(channel->send(parts, Tp::MessageSendingFlagReportDelivery)));
    QTRY_COMPARE(sentTokens.size(), 1);

    const QList<TestCmControl::SentMessage> log = m_env->control(TelepathyTestEnvironment::CellularAccountPath).sentMessages();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.at(0).channelPath, channel->objectPath());
    QCOMPARE(log.at(0).flags, uint(Tp::MessageSendingFlagReportDelivery));
    QCOMPARE(log.at(0).parts.size(), 2);
    QCOMPARE(log.at(0).part(0), QVariantMap({{QStringLiteral("message-type"), 1u}}));
    QCOMPARE(log.at(0).part(1), QVariantMap({{QStringLiteral("content-type"), QStringLiteral("text/plain")},
                                             {QStringLiteral("content"), QStringLiteral("hello")}}));
    QCOMPARE(log.at(0).text(), QStringLiteral("hello"));
    QCOMPARE(sentTokens.at(0), log.at(0).token);
}

void TestEnvironmentTest::failsTheNextSendAsCallOrAsDeliveryReport()
{
    const QString account = TelepathyTestEnvironment::CellularAccountPath;
    TestCmControl &control = m_env->control(account);
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(account, Tp::HandleTypeContact, QStringLiteral("+358408888888"));
    QVERIFY(channel);

    control.failNextSend(TP_QT_ERROR_NETWORK_ERROR, QStringLiteral("no signal"));
    QCOMPARE(expectFailedCall(channel->send(textParts(QStringLiteral("lost")))), TP_QT_ERROR_NETWORK_ERROR);
    QVERIFY(expectSuccessfulCall(channel->send(textParts(QStringLiteral("next one works")))));

    ReceivedMessages received(channel);
    control.failNextSend(TP_QT_ERROR_NETWORK_ERROR, QString(), true);
    QVERIFY(expectSuccessfulCall(channel->send(textParts(QStringLiteral("reported")))));
    QVERIFY(received.waitFor(1));
    const Tp::ReceivedMessage report = received.messages.at(0);
    QVERIFY(report.isDeliveryReport());
    QCOMPARE(report.deliveryDetails().status(), Tp::DeliveryStatusPermanentlyFailed);
    QCOMPARE(report.deliveryDetails().dbusError(), TP_QT_ERROR_NETWORK_ERROR);

    const QList<TestCmControl::SentMessage> log = control.sentMessages();
    QCOMPARE(log.size(), 3);
    QCOMPARE(log.at(0).errorName, TP_QT_ERROR_NETWORK_ERROR);
    QVERIFY(log.at(1).errorName.isEmpty());
    QCOMPARE(report.deliveryDetails().originalToken(), log.at(2).token);
}

void TestEnvironmentTest::deliversInjectedMessagesAndDeliveryReports()
{
    const QString account = TelepathyTestEnvironment::ImAccountPath;
    TestCmControl &control = m_env->control(account);
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(account, Tp::HandleTypeContact, QStringLiteral("frank@loop.test"));
    QVERIFY(channel);
    ReceivedMessages received(channel);

    const QString connection = m_env->account(account)->connection()->objectPath();
    QCOMPARE(control.injectMessage(connection, Tp::HandleTypeContact, QString(), QStringLiteral("frank@loop.test"),
                                   QStringLiteral("hi there")),
             channel->objectPath());
    control.injectMessageOnChannel(channel->objectPath(), QStringLiteral("frank@loop.test"), QStringLiteral("waves"),
                                   Tp::ChannelTextMessageTypeAction);
    control.injectDeliveryReport(channel->objectPath(), QStringLiteral("t-1"), Tp::DeliveryStatusDelivered);
    QVERIFY(received.waitFor(3));

    const Tp::ReceivedMessage first = received.messages.at(0);
    QCOMPARE(first.text(), QStringLiteral("hi there"));
    QCOMPARE(first.sender()->id(), QStringLiteral("frank@loop.test"));
    QCOMPARE(first.messageType(), Tp::ChannelTextMessageTypeNormal);
    QCOMPARE(received.messages.at(1).messageType(), Tp::ChannelTextMessageTypeAction);
    const Tp::ReceivedMessage report = received.messages.at(2);
    QVERIFY(report.isDeliveryReport());
    QCOMPARE(report.deliveryDetails().status(), Tp::DeliveryStatusDelivered);
    QCOMPARE(report.deliveryDetails().originalToken(), QStringLiteral("t-1"));
    QCOMPARE(channel->messageQueue().size(), 3);
    auto pendingOnTheService = [&channel] {
        const QDBusMessage reply = callOnChannel(channel, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                 QStringLiteral("Get"),
                                                 {TP_QT_IFACE_CHANNEL_INTERFACE_MESSAGES, QStringLiteral("PendingMessages")});
        return qdbus_cast<Tp::MessagePartListList>(reply.arguments().value(0).value<QDBusVariant>().variant()).size();
    };
    QCOMPARE(pendingOnTheService(), 3);
    channel->acknowledge(channel->messageQueue());
    QVERIFY(channel->messageQueue().isEmpty());
    QTRY_COMPARE(pendingOnTheService(), 0);
}

void TestEnvironmentTest::followsGroupMembershipDrivenByTheTest()
{
    const QString account = TelepathyTestEnvironment::ImAccountPath;
    TestCmControl &control = m_env->control(account);
    control.setRequestedGroupMembers({QStringLiteral("gina@loop.test")});
    Tp::TextChannelPtr room = m_env->ensureTextChannel(account, Tp::HandleTypeRoom, QStringLiteral("#members"));
    QVERIFY(room);
    QVERIFY(room->interfaces().contains(TP_QT_IFACE_CHANNEL_INTERFACE_GROUP));
    QVERIFY(!room->interfaces().contains(SkypeInterface));
    QVERIFY(room->groupSelfContact());
    QVERIFY(room->groupContacts().contains(room->groupSelfContact()));
    QCOMPARE(room->groupContacts().size(), 2);

    GroupChanges changed(room);
    control.addMembers(room->objectPath(), {QStringLiteral("hank@loop.test")});
    QVERIFY(changed.waitFor(1));
    QCOMPARE(changed.changes.at(0).added, QStringList{QStringLiteral("hank@loop.test")});

    control.removeMembers(room->objectPath(), {QStringLiteral("gina@loop.test")});
    QVERIFY(changed.waitFor(2));
    QCOMPARE(changed.changes.at(1).removed, QStringList{QStringLiteral("gina@loop.test")});

    control.setSelfLocalPending(room->objectPath(), QStringLiteral("hank@loop.test"));
    QVERIFY(changed.waitFor(3));
    QVERIFY(!room->groupContacts().contains(room->groupSelfContact()));
    QVERIFY(room->groupLocalPendingContacts().contains(room->groupSelfContact()));
    control.addSelf(room->objectPath());
    QVERIFY(changed.waitFor(4));
    QVERIFY(room->groupContacts().contains(room->groupSelfContact()));

    // Inviting through the channel: the contacts join, or the call fails.
    const QList<Tp::ContactPtr> invitees = m_env->contacts(
        room->connection(), {QStringLiteral("ivy@loop.test"), QStringLiteral("jack@loop.test")});
    QCOMPARE(invitees.size(), 2);
    control.failNextAddMembers(TP_QT_ERROR_PERMISSION_DENIED);
    QCOMPARE(expectFailedCall(room->groupAddContacts({invitees.at(0)})), TP_QT_ERROR_PERMISSION_DENIED);
    QVERIFY(expectSuccessfulCall(room->groupAddContacts({invitees.at(1)})));
    QCOMPARE(control.invitedContacts(), QStringList{QStringLiteral("jack@loop.test")});
    QTRY_VERIFY(room->groupContacts().contains(invitees.at(1)));
    QStringList members = control.channelDetails(room->objectPath()).value(QStringLiteral("Members")).toStringList();
    members.sort();
    QCOMPARE(members, QStringList({QStringLiteral("alice@loop.test"), QStringLiteral("hank@loop.test"),
                                   QStringLiteral("jack@loop.test")}));
}

void TestEnvironmentTest::servesTheSubjectThroughTheOldPropertiesInterface()
{
    const QString account = TelepathyTestEnvironment::ImAccountPath;
    TestCmControl &control = m_env->control(account);
    Tp::TextChannelPtr room = m_env->ensureTextChannel(account, Tp::HandleTypeRoom, QStringLiteral("#topic"));
    QVERIFY(room);
    QVERIFY(room->interfaces().contains(TP_QT_IFACE_PROPERTIES_INTERFACE));

    QDBusMessage reply = callOnChannel(room, TP_QT_IFACE_PROPERTIES_INTERFACE, QStringLiteral("ListProperties"));
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    const Tp::PropertySpecList listed = qdbus_cast<Tp::PropertySpecList>(reply.arguments().at(0));
    uint subjectId = 0;
    for (const Tp::PropertySpec &property : listed) {
        if (property.name == QLatin1String("subject"))
            subjectId = property.propertyID;
    }
    QVERIFY(subjectId != 0);
    QVERIFY(listed.first().name != QLatin1String("subject"));

    const Tp::PropertyValueList values{Tp::PropertyValue{subjectId, QDBusVariant(QStringLiteral("Friday lunch"))}};
    reply = callOnChannel(room, TP_QT_IFACE_PROPERTIES_INTERFACE, QStringLiteral("SetProperties"),
                          {QVariant::fromValue(values)});
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(control.subject(room->objectPath()), QStringLiteral("Friday lunch"));

    control.setListPropertiesMode(TestCmControl::ListPropertiesWithoutSubject);
    reply = callOnChannel(room, TP_QT_IFACE_PROPERTIES_INTERFACE, QStringLiteral("ListProperties"));
    for (const Tp::PropertySpec &property : qdbus_cast<Tp::PropertySpecList>(reply.arguments().at(0)))
        QVERIFY(property.name != QLatin1String("subject"));
    control.setListPropertiesMode(TestCmControl::ListPropertiesFails);
    reply = callOnChannel(room, TP_QT_IFACE_PROPERTIES_INTERFACE, QStringLiteral("ListProperties"));
    QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
}

void TestEnvironmentTest::countsSkypeLeaveCallsAndFailsOnDemand()
{
    const QString account = TelepathyTestEnvironment::ImAccountPath;
    TestCmControl &control = m_env->control(account);
    Tp::TextChannelPtr chat = m_env->ensureTextChannel(account, Tp::HandleTypeNone, QStringLiteral("skype-chat"));
    QVERIFY(chat);
    QVERIFY(chat->interfaces().contains(SkypeInterface));
    QVERIFY(chat->interfaces().contains(TP_QT_IFACE_CHANNEL_INTERFACE_GROUP));

    control.failNextLeave(TP_QT_ERROR_NETWORK_ERROR);
    QCOMPARE(callOnChannel(chat, SkypeInterface, QStringLiteral("Leave")).errorName(), TP_QT_ERROR_NETWORK_ERROR);
    QVERIFY(chat->groupContacts().contains(chat->groupSelfContact()));

    GroupChanges changed(chat);
    QCOMPARE(callOnChannel(chat, SkypeInterface, QStringLiteral("Leave")).type(), QDBusMessage::ReplyMessage);
    QVERIFY(changed.waitFor(1));
    QVERIFY(!chat->groupContacts().contains(chat->groupSelfContact()));
    QCOMPARE(control.leaveCount(), 2u);
}

void TestEnvironmentTest::invalidatesGroupChannelWithTheGivenError()
{
    const QString account = TelepathyTestEnvironment::ImAccountPath;
    Tp::TextChannelPtr chat = m_env->ensureTextChannel(account, Tp::HandleTypeNone, QStringLiteral("doomed"));
    QVERIFY(chat);
    QSignalSpy invalidated(chat.data(), &Tp::DBusProxy::invalidated);
    m_env->control(account).invalidateChannel(chat->objectPath(), TP_QT_ERROR_CHANNEL_KICKED, QStringLiteral("bye"));
    QVERIFY(waitFor(invalidated));
    QCOMPARE(invalidated.at(0).at(1).toString(), TP_QT_ERROR_CHANNEL_KICKED);
    QVERIFY(!m_env->control(account).channels().contains(chat->objectPath()));
}

void TestEnvironmentTest::dropsAndRestoresAConnectionUnderANewPath()
{
    const QString account = TelepathyTestEnvironment::CellularAccountPath;
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(account, Tp::HandleTypeContact, QStringLiteral("+358407777777"));
    QVERIFY(channel);
    const QString oldConnection = channel->connection()->objectPath();
    QSignalSpy invalidated(channel.data(), &Tp::DBusProxy::invalidated);

    for (int round = 0; round < 2; ++round) {
        QVERIFY(m_env->dropConnection(account));
        // The account carries the connection's error; its channels are
        // closed with it, as a real connection manager does.
        QTRY_COMPARE(m_env->account(account)->connectionError(), TP_QT_ERROR_NETWORK_ERROR);
        if (round == 0) {
            QVERIFY(waitFor(invalidated));
            QCOMPARE(invalidated.at(0).at(1).toString(), TP_QT_ERROR_CANCELLED);
        }
        QVERIFY(m_env->restoreConnection(account));
    }
    Tp::AccountPtr acc = m_env->account(account);
    QVERIFY(acc->connection()->objectPath() != oldConnection);
    QCOMPARE(m_env->control(account).connections(), QStringList{acc->connection()->objectPath()});

    Tp::TextChannelPtr again = m_env->ensureTextChannel(account, Tp::HandleTypeContact, QStringLiteral("+358407777777"));
    QVERIFY(again);
    QVERIFY(again->objectPath() != channel->objectPath());
    QVERIFY(expectSuccessfulCall(again->send(textParts(QStringLiteral("back again")))));
}

void TestEnvironmentTest::routesChannelsToTheLibraryHandlerUnlessTheTestIsPreferred()
{
    const QString account = TelepathyTestEnvironment::ImAccountPath;
    Tp::ClientRegistrarPtr registrar = Tp::ClientRegistrar::create(m_env->accountManager());
    Tp::SharedPtr<StandInLibraryHandler> library(new StandInLibraryHandler);
    QVERIFY(registrar->registerClient(Tp::AbstractClientPtr::dynamicCast(library), QStringLiteral("Messaging")));

    Tp::AccountPtr acc = m_env->connectedAccount(account);
    QVERIFY(acc);
    QVERIFY(expectSuccessfulCall(acc->ensureChannel(
        TelepathyTestEnvironment::textChannelRequest(Tp::HandleTypeRoom, QStringLiteral("#library")))));
    QTRY_COMPARE(library->handled.size(), 1);
    QCOMPARE(library->requests, 1);

    const QString incoming = m_env->control(account).newIncomingChannel(
        acc->connection()->objectPath(), Tp::HandleTypeContact, QStringLiteral("kim@loop.test"),
        QStringLiteral("kim@loop.test"));
    QTRY_VERIFY(library->handled.contains(incoming));
    // A message for a conversation without a channel opens an incoming one.
    const QString byMessage = m_env->control(account).injectMessage(
        acc->connection()->objectPath(), Tp::HandleTypeNone, QStringLiteral("chat-from-lee"),
        QStringLiteral("lee@loop.test"), QStringLiteral("join us"));
    QTRY_VERIFY(library->handled.contains(byMessage));
    const QVariantMap details = m_env->control(account).channelDetails(byMessage);
    QCOMPARE(details.value(QStringLiteral("Requested")).toBool(), false);
    QCOMPARE(details.value(QStringLiteral("InitiatorID")).toString(), QStringLiteral("lee@loop.test"));
    QCOMPARE(details.value(QStringLiteral("Members")).toStringList(),
             QStringList({QStringLiteral("alice@loop.test"), QStringLiteral("lee@loop.test")}));

    Tp::TextChannelPtr mine = m_env->ensureTextChannel(account, Tp::HandleTypeRoom, QStringLiteral("#tests-own"));
    QVERIFY(mine);
    QCOMPARE(library->handled.size(), 3);
    registrar->unregisterClients();
}

QTEST_GUILESS_MAIN(TestEnvironmentTest)
#include "tst_testenvironment.moc"
