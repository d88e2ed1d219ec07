// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// A chat session on real channels of the test connection manager, through
// Mission Control. The manager's sent-message log is the evidence for what
// went out.

#include "chatsession.h"
#include "chattestsupport.h"
#include "confitem.h"
#include "messagestatus.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include <TelepathyQt/Connection>
#include <TelepathyQt/PendingReady>
#include <TelepathyQt/ReceivedMessage>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>

namespace {
using Env = TelepathyTestEnvironment;

const QString Number = QStringLiteral("+358401234567");
const QString Bob = QStringLiteral("bob@loop.test");
const QString MessageTypesKey =
    QStringLiteral("org.freedesktop.Telepathy.Channel.Interface.Messages.MessageTypes");

Tp::Features sessionFeatures()
{
    return Tp::Features() << Tp::TextChannel::FeatureMessageQueue
                          << Tp::TextChannel::FeatureMessageSentSignal;
}

// Makes the channel ready the way the manager does and hands the result to
// the session.
void makeReady(ChatSession &session, const Tp::TextChannelPtr &channel)
{
    session.setChannel(channel);
    QObject::connect(channel->becomeReady(sessionFeatures()), &Tp::PendingOperation::finished,
                     &session, &ChatSession::channelReady);
}

uint pendingMessageCount(const Tp::TextChannelPtr &channel)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        channel->busName(), channel->objectPath(), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << TP_QT_IFACE_CHANNEL_INTERFACE_MESSAGES << QStringLiteral("PendingMessages");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get);
    const QDBusArgument list = reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
    Tp::MessagePartListList pending;
    list >> pending;
    return uint(pending.size());
}

// Records statuses by id; also what arrived inside the send call itself.
struct StatusLog
{
    explicit StatusLog(ChatSession &session)
    {
        QObject::connect(&session, &ChatSession::messageStatusChanged,
                         [this](const QString &id, int status) { statuses << qMakePair(id, status); });
    }
    QList<QPair<QString, int>> statuses;
};
} // namespace

class TestChatSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void sendsPartsAndReportsStatusZero();
    void messageIdIsGeneratedOnlyForNullIds();
    void reportsNoChannelInsideTheCall();
    void deliveryReportFlagFollowsTheSettingOnCellularOnly();
    void rewritesMeMessagesAsActionsWhereSupported_data();
    void rewritesMeMessagesAsActionsWhereSupported();
    void oddMessageTypesPropertyMeansNoRewrite_data();
    void oddMessageTypesPropertyMeansNoRewrite();
    void partsWithoutContentKeysGoOutUnchanged();
    void failedSendReportsFifteenAndSessionStaysUsable();
    void acknowledgesQueuedAndIncomingMessages();
    void announcesPendingAndNewMessagesBeforeAcknowledging();
    void deliveryReportsNameTheMessageTheyAreAbout_data();
    void deliveryReportsNameTheMessageTheyAreAbout();
    void groupChannelIsReadyButNotReadyToChat();
    void failedReadinessReportsErrorAndClosed();
    void invalidationDuringASendGivesOneStatusAndOneError();
    void reconnectionAsksForRestoreOncePerReconnection();
    void destructionClosesTheChannel();

private:
    Env *m_env = nullptr;
};

void TestChatSession::initTestCase()
{
    m_env = new Env(this);
    QVERIFY(m_env->init());
    QVERIFY(m_env->connectedAccount(Env::CellularAccountPath));
    QVERIFY(m_env->connectedAccount(Env::ImAccountPath));
}

void TestChatSession::cleanup()
{
    m_env->control(Env::CellularAccountPath).reset();
    m_env->control(Env::ImAccountPath).reset();
    ConfItem(QStringLiteral("/Messaging/Settings/DeliveryReport")).unset();
}

void TestChatSession::sendsPartsAndReportsStatusZero()
{
    Tp::AccountPtr account = m_env->account(Env::ImAccountPath);
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact, Bob);
    QVERIFY(channel);
    ChatSession session(account, ChatContext(Bob, Env::ImAccountPath));
    QSignalSpy ready(&session, &ChatSession::chatSessionReady);
    QSignalSpy readyToChat(&session, &ChatSession::readyToChat);
    makeReady(session, channel);
    QVERIFY(waitFor(ready));
    QCOMPARE(readyToChat.count(), 1);
    QCOMPARE(readyToChat.first().first().toBool(), true);
    QVERIFY(session.isReady());
    QVERIFY(session.isReadyToChat());
    QCOMPARE(session.channelPath(), channel->objectPath());
    QCOMPARE(session.accountPath(), Env::ImAccountPath);
    QCOMPARE(session.serviceName(), channel->busName());

    QSignalSpy status(&session, &ChatSession::messageStatusChanged);
    const QString id = session.sendMessage(textParts(QStringLiteral("hello")), QStringLiteral("m1"), 0);
    QCOMPARE(id, QStringLiteral("m1"));
    QVERIFY(waitFor(status));
    QCOMPARE(status.first().at(0).toString(), QStringLiteral("m1"));
    QCOMPARE(status.first().at(1).toInt(), 0);

    const QList<TestCmControl::SentMessage> sent = m_env->control(Env::ImAccountPath).sentMessages();
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().text(), QStringLiteral("hello"));
    QCOMPARE(sent.first().part(1).value(QStringLiteral("content-type")).toString(), QStringLiteral("text/plain"));
    QCOMPARE(sent.first().flags, 0u);
    QVERIFY(!session.lastMessageToken().isEmpty());
    QCOMPARE(session.lastMessageToken(), sent.first().token);
}

void TestChatSession::messageIdIsGeneratedOnlyForNullIds()
{
    ChatSession session(m_env->account(Env::ImAccountPath), ChatContext(Bob, Env::ImAccountPath));
    const QString generated = session.sendMessage(textParts(QStringLiteral("x")), QString(), 0);
    QCOMPARE(generated.size(), 38);
    QVERIFY(QRegularExpression(QStringLiteral("^\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}$"))
                .match(generated).hasMatch());
    QVERIFY(session.sendMessage(textParts(QStringLiteral("x")), QString(), 0) != generated);
    const QString empty = session.sendMessage(textParts(QStringLiteral("x")), QStringLiteral(""), 0);
    QVERIFY(empty.isEmpty() && !empty.isNull());
}

void TestChatSession::reportsNoChannelInsideTheCall()
{
    ChatSession session(m_env->account(Env::ImAccountPath), ChatContext(Bob, Env::ImAccountPath));
    StatusLog log(session);
    session.sendMessage(textParts(QStringLiteral("x")), QStringLiteral("a"), 0);
    QCOMPARE(log.statuses, (QList<QPair<QString, int>> { { QStringLiteral("a"), 2 } }));

    // A channel that is set but not ready yet is no better.
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact, Bob);
    Tp::TextChannelPtr fresh = Tp::TextChannel::create(channel->connection(), channel->objectPath(),
                                                       channel->immutableProperties());
    session.setChannel(fresh);
    QVERIFY(!session.isReady());
    session.sendMessage(textParts(QStringLiteral("x")), QStringLiteral("b"), 0);
    QCOMPARE(log.statuses.last(), qMakePair(QStringLiteral("b"), 2));
    QVERIFY(m_env->control(Env::ImAccountPath).sentMessages().isEmpty());
}

void TestChatSession::deliveryReportFlagFollowsTheSettingOnCellularOnly()
{
    ConfItem setting(QStringLiteral("/Messaging/Settings/DeliveryReport"));
    TestCmControl &tel = m_env->control(Env::CellularAccountPath);
    TestCmControl &im = m_env->control(Env::ImAccountPath);

    ChatSession sms(m_env->account(Env::CellularAccountPath), ChatContext(Number, Env::CellularAccountPath));
    QSignalSpy smsReady(&sms, &ChatSession::chatSessionReady);
    makeReady(sms, m_env->ensureTextChannel(Env::CellularAccountPath, Tp::HandleTypeContact, Number));
    ChatSession chat(m_env->account(Env::ImAccountPath), ChatContext(Bob, Env::ImAccountPath));
    QSignalSpy chatReady(&chat, &ChatSession::chatSessionReady);
    makeReady(chat, m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact, Bob));
    QVERIFY(waitFor(smsReady) && waitFor(chatReady));

    QSignalSpy smsStatus(&sms, &ChatSession::messageStatusChanged);
    QSignalSpy chatStatus(&chat, &ChatSession::messageStatusChanged);
    // No setting stored: reports are wanted. Caller's flags are kept.
    sms.sendMessage(textParts(QStringLiteral("1")), QStringLiteral("1"), 4);
    chat.sendMessage(textParts(QStringLiteral("1")), QStringLiteral("1"), 4);
    QVERIFY(setting.set(false));
    sms.sendMessage(textParts(QStringLiteral("2")), QStringLiteral("2"), 0);
    QVERIFY(setting.set(true));
    chat.sendMessage(textParts(QStringLiteral("2")), QStringLiteral("2"), 0);
    QVERIFY(waitFor(smsStatus, 2) && waitFor(chatStatus, 2));

    const QList<TestCmControl::SentMessage> smsSent = tel.sentMessages();
    QCOMPARE(smsSent.size(), 2);
    QCOMPARE(smsSent.at(0).flags, 4u | Tp::MessageSendingFlagReportDelivery);
    QCOMPARE(smsSent.at(1).flags, 0u);
    const QList<TestCmControl::SentMessage> imSent = im.sentMessages();
    QCOMPARE(imSent.size(), 2);
    QCOMPARE(imSent.at(0).flags, 4u);
    QCOMPARE(imSent.at(1).flags, 0u);
}

void TestChatSession::rewritesMeMessagesAsActionsWhereSupported_data()
{
    QTest::addColumn<QString>("accountPath");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("threeParts");
    QTest::addColumn<QString>("sentText");
    QTest::addColumn<bool>("action");

    QTest::newRow("action") << Env::ImAccountPath << Bob << "/me waves" << false << "waves" << true;
    QTest::newRow("no space") << Env::ImAccountPath << Bob << "/mewaves" << false << "/mewaves" << false;
    QTest::newRow("upper case") << Env::ImAccountPath << Bob << "/ME waves" << false << "/ME waves" << false;
    QTest::newRow("three parts") << Env::ImAccountPath << Bob << "/me waves" << true << "/me waves" << false;
    QTest::newRow("cellular") << Env::CellularAccountPath << Number << "/me waves" << false << "/me waves" << false;
}

void TestChatSession::rewritesMeMessagesAsActionsWhereSupported()
{
    QFETCH(QString, accountPath);
    QFETCH(QString, target);
    QFETCH(QString, text);
    QFETCH(bool, threeParts);
    QFETCH(QString, sentText);
    QFETCH(bool, action);

    ChatSession session(m_env->account(accountPath), ChatContext(target, accountPath));
    QSignalSpy ready(&session, &ChatSession::chatSessionReady);
    makeReady(session, m_env->ensureTextChannel(accountPath, Tp::HandleTypeContact, target));
    QVERIFY(waitFor(ready));

    MsgPartsList parts = textParts(text);
    if (threeParts)
        parts.insert(1, parts.last());
    const MsgPartsList original = parts;
    QSignalSpy status(&session, &ChatSession::messageStatusChanged);
    session.sendMessage(parts, QStringLiteral("id"), 0);
    QCOMPARE(parts, original); // the caller's list is never touched
    QVERIFY(waitFor(status));

    const QList<TestCmControl::SentMessage> sent = m_env->control(accountPath).sentMessages();
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().text(), sentText);
    const QVariantMap header = sent.first().part(0);
    QCOMPARE(header.value(QStringLiteral("message-type")).toUInt() == Tp::ChannelTextMessageTypeAction,
             action);
}

void TestChatSession::oddMessageTypesPropertyMeansNoRewrite_data()
{
    QTest::addColumn<QVariant>("messageTypes");
    QTest::newRow("missing") << QVariant();
    QTest::newRow("strings") << QVariant(QStringList { QStringLiteral("1") });
    QTest::newRow("single integer") << QVariant(1u);
    QTest::newRow("variant list with action") << QVariant(QVariantList { 0u, 1u });
}

void TestChatSession::oddMessageTypesPropertyMeansNoRewrite()
{
    QFETCH(QVariant, messageTypes);
    Tp::TextChannelPtr real = m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact, Bob);
    QVERIFY(real);
    // The same channel seen with immutable properties of our choosing.
    QVariantMap properties = real->immutableProperties();
    properties.remove(MessageTypesKey);
    if (messageTypes.isValid())
        properties.insert(MessageTypesKey, messageTypes);
    Tp::TextChannelPtr channel = Tp::TextChannel::create(real->connection(), real->objectPath(), properties);

    ChatSession session(m_env->account(Env::ImAccountPath), ChatContext(Bob, Env::ImAccountPath));
    QSignalSpy ready(&session, &ChatSession::chatSessionReady);
    makeReady(session, channel);
    QVERIFY(waitFor(ready));
    QSignalSpy status(&session, &ChatSession::messageStatusChanged);
    session.sendMessage(textParts(QStringLiteral("/me waves")), QStringLiteral("id"), 0);
    QVERIFY(waitFor(status));
    const bool listsActions = QByteArray(QTest::currentDataTag()) == "variant list with action";
    QCOMPARE(m_env->control(Env::ImAccountPath).sentMessages().first().text(),
             listsActions ? QStringLiteral("waves") : QStringLiteral("/me waves"));
}

void TestChatSession::partsWithoutContentKeysGoOutUnchanged()
{
    ChatSession session(m_env->account(Env::ImAccountPath), ChatContext(Bob, Env::ImAccountPath));
    QSignalSpy ready(&session, &ChatSession::chatSessionReady);
    makeReady(session, m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact, Bob));
    QVERIFY(waitFor(ready));

    MsgPartsList noType = textParts(QStringLiteral("/me waves"));
    noType[1].remove(QStringLiteral("content-type"));
    MsgPartsList noContent = textParts(QString());
    noContent[1].remove(QStringLiteral("content"));
    QSignalSpy status(&session, &ChatSession::messageStatusChanged);
    session.sendMessage(noType, QStringLiteral("a"), 0);
    session.sendMessage(noContent, QStringLiteral("b"), 0);
    QVERIFY(waitFor(status, 2));

    const QList<TestCmControl::SentMessage> sent = m_env->control(Env::ImAccountPath).sentMessages();
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent.at(0).part(1).keys(), QStringList { QStringLiteral("content") });
    QCOMPARE(sent.at(0).text(), QStringLiteral("/me waves"));
    QCOMPARE(sent.at(1).part(1).keys(), QStringList { QStringLiteral("content-type") });
}

void TestChatSession::failedSendReportsFifteenAndSessionStaysUsable()
{
    ChatSession session(m_env->account(Env::ImAccountPath), ChatContext(Bob, Env::ImAccountPath));
    QSignalSpy ready(&session, &ChatSession::chatSessionReady);
    makeReady(session, m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact, Bob));
    QVERIFY(waitFor(ready));

    m_env->control(Env::ImAccountPath).failNextSend(TP_QT_ERROR_NETWORK_ERROR, QStringLiteral("link down"));
    QSignalSpy status(&session, &ChatSession::messageStatusChanged);
    QSignalSpy reason(&session, &ChatSession::messageSendFailed);
    session.sendMessage(textParts(QStringLiteral("lost")), QStringLiteral("bad"), 0);
    QVERIFY(waitFor(status));
    QCOMPARE(status.at(0).at(1).toInt(), 15);
    QCOMPARE(reason.count(), 1);
    QCOMPARE(reason.at(0), (QList<QVariant>{QStringLiteral("bad"), TP_QT_ERROR_NETWORK_ERROR, QStringLiteral("link down")}));

    // Too large for the bus: refused inside the call, nothing sent, and the
    // connection carries the next message.
    m_env->control(Env::ImAccountPath).clearSentMessages();
    session.sendMessage(textParts(QString(int(MessageStatus::MaximumMessageSize), QLatin1Char('x'))),
                        QStringLiteral("huge"), 0);
    QCOMPARE(status.count(), 2);
    QCOMPARE(status.at(1), (QList<QVariant>{QStringLiteral("huge"), int(ChatSession::MessageTooLarge)}));

    session.sendMessage(textParts(QStringLiteral("fine")), QStringLiteral("good"), 0);
    QVERIFY(waitFor(status, 3));
    QCOMPARE(status.at(2).at(0).toString(), QStringLiteral("good"));
    QCOMPARE(status.at(2).at(1).toInt(), 0);
    QCOMPARE(status.count(), 3);
    QCOMPARE(reason.count(), 1);
    QCOMPARE(m_env->control(Env::ImAccountPath).sentMessages().size(), 1);
}

void TestChatSession::acknowledgesQueuedAndIncomingMessages()
{
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact,
                                                          QStringLiteral("dave@loop.test"));
    QVERIFY(channel);
    control.injectMessageOnChannel(channel->objectPath(), QStringLiteral("dave@loop.test"), QStringLiteral("one"));
    control.injectMessageOnChannel(channel->objectPath(), QStringLiteral("dave@loop.test"), QStringLiteral("two"));
    QTRY_COMPARE(pendingMessageCount(channel), 2u);

    ChatSession session(m_env->account(Env::ImAccountPath),
                        ChatContext(QStringLiteral("dave@loop.test"), Env::ImAccountPath));
    uint pendingAtReady = 99;
    connect(&session, &ChatSession::chatSessionReady, this, [&] {
        // The acknowledgement is on its way before the session says ready.
        pendingAtReady = uint(channel->messageQueue().size());
    });
    QSignalSpy ready(&session, &ChatSession::chatSessionReady);
    makeReady(session, channel);
    QVERIFY(waitFor(ready));
    QCOMPARE(pendingAtReady, 0u);
    QTRY_COMPARE(pendingMessageCount(channel), 0u);

    control.injectMessageOnChannel(channel->objectPath(), QStringLiteral("dave@loop.test"), QStringLiteral("three"));
    QTRY_COMPARE(channel->messageQueue().size(), 0);
    QTRY_COMPARE(pendingMessageCount(channel), 0u);
}

void TestChatSession::announcesPendingAndNewMessagesBeforeAcknowledging()
{
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    const QString erin = QStringLiteral("erin@loop.test");
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact, erin);
    QVERIFY(channel);
    const QString firstToken = control.injectMessageOnChannel(channel->objectPath(), erin, QStringLiteral("one"));
    control.injectMessageOnChannel(channel->objectPath(), erin, QStringLiteral("two"), Tp::ChannelTextMessageTypeAction);
    QTRY_COMPARE(pendingMessageCount(channel), 2u);

    ChatSession session(m_env->account(Env::ImAccountPath), ChatContext(erin, Env::ImAccountPath));
    QList<IncomingMessage> received;
    QList<uint> pendingWhenAnnounced;
    bool readyBeforeMessages = false;
    connect(&session, &ChatSession::messageReceived, this, [&](const IncomingMessage &message) {
        received << message;
        pendingWhenAnnounced << pendingMessageCount(channel);
    });
    connect(&session, &ChatSession::chatSessionReady, this, [&] { readyBeforeMessages = received.size() < 2; });
    QSignalSpy ready(&session, &ChatSession::chatSessionReady);
    makeReady(session, channel);
    QVERIFY(waitFor(ready));
    QVERIFY(!readyBeforeMessages);
    QCOMPARE(received.size(), 2);
    QCOMPARE(received.at(0).text(), QStringLiteral("one"));
    QCOMPARE(received.at(0).senderId(), erin);
    QCOMPARE(received.at(0).token(), firstToken);
    QCOMPARE(received.at(0).messageType(), 0u);
    QVERIFY(received.at(0).received().isValid());
    QVERIFY(!received.at(0).isDeliveryReport());
    QCOMPARE(received.at(0).parts().size(), 2);
    QCOMPARE(received.at(1).text(), QStringLiteral("two"));
    QCOMPARE(received.at(1).messageType(), uint(Tp::ChannelTextMessageTypeAction));
    // Still pending at the connection manager while the caller heard of them.
    QCOMPARE(pendingWhenAnnounced, (QList<uint>{ 2u, 2u }));
    QTRY_COMPARE(pendingMessageCount(channel), 0u);

    // Later messages, in the order they came.
    for (int i = 0; i < 5; ++i)
        control.injectMessageOnChannel(channel->objectPath(), erin, QStringLiteral("later %1").arg(i));
    QTRY_COMPARE(received.size(), 7);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(received.at(2 + i).text(), QStringLiteral("later %1").arg(i));
    for (int i = 2; i < 7; ++i)
        QVERIFY(pendingWhenAnnounced.at(i) >= 1u);
    QTRY_COMPARE(pendingMessageCount(channel), 0u);

    // The connection manager hands the first message over again (same
    // token): acknowledged, not announced twice.
    Tp::MessagePart header;
    header.insert(QStringLiteral("message-token"), QDBusVariant(firstToken));
    header.insert(QStringLiteral("message-sender-id"), QDBusVariant(erin));
    Tp::MessagePart content;
    content.insert(QStringLiteral("content-type"), QDBusVariant(QStringLiteral("text/plain")));
    content.insert(QStringLiteral("content"), QDBusVariant(QStringLiteral("one")));
    control.injectMessageParts(channel->objectPath(), Tp::MessagePartList() << header << content);
    control.injectMessageOnChannel(channel->objectPath(), erin, QStringLiteral("after the repeat"));
    QTRY_COMPARE(received.size(), 8);
    QCOMPARE(received.last().text(), QStringLiteral("after the repeat"));
    QTRY_COMPARE(pendingMessageCount(channel), 0u);
}

void TestChatSession::deliveryReportsNameTheMessageTheyAreAbout_data()
{
    QTest::addColumn<uint>("reported");
    QTest::newRow("delivered") << uint(Tp::DeliveryStatusDelivered);
    QTest::newRow("failed") << uint(Tp::DeliveryStatusPermanentlyFailed);
}

void TestChatSession::deliveryReportsNameTheMessageTheyAreAbout()
{
    QFETCH(uint, reported);
    TestCmControl &control = m_env->control(Env::CellularAccountPath);
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(Env::CellularAccountPath, Tp::HandleTypeContact, Number);
    QVERIFY(channel);
    ChatSession session(m_env->account(Env::CellularAccountPath), ChatContext(Number, Env::CellularAccountPath));
    QSignalSpy ready(&session, &ChatSession::chatSessionReady);
    makeReady(session, channel);
    QVERIFY(waitFor(ready));

    QSignalSpy status(&session, &ChatSession::messageStatusChanged);
    QSignalSpy delivery(&session, &ChatSession::messageDeliveryStatusChanged);
    QSignalSpy received(&session, &ChatSession::messageReceived);
    session.sendMessage(textParts(QStringLiteral("report me")), QStringLiteral("sms-1"), 0);
    session.sendMessage(textParts(QStringLiteral("and me")), QStringLiteral("sms-2"), 0);
    QVERIFY(waitFor(status, 2));
    const QList<TestCmControl::SentMessage> sent = control.sentMessages();
    QCOMPARE(sent.size(), 2);

    // A report about the second message, then one about a token nobody
    // here sent: only the first names a message.
    control.injectDeliveryReport(channel->objectPath(), sent.at(1).token, reported,
                                 reported == Tp::DeliveryStatusDelivered ? QString() : QString(TP_QT_ERROR_NETWORK_ERROR));
    control.injectDeliveryReport(channel->objectPath(), QStringLiteral("someone-else"), Tp::DeliveryStatusDelivered);
    QVERIFY(waitFor(received, 2));
    QCOMPARE(delivery.count(), 1);
    QCOMPARE(delivery.first().at(0).toString(), QStringLiteral("sms-2"));
    QCOMPARE(delivery.first().at(1).toInt(), int(reported));
    const IncomingMessage report = received.first().first().value<IncomingMessage>();
    QVERIFY(report.isDeliveryReport());
    QCOMPARE(report.deliveredToken(), sent.at(1).token);
    QCOMPARE(report.deliveredMessageId(), QStringLiteral("sms-2"));
    QCOMPARE(report.deliveryStatus(), int(reported));
    const IncomingMessage stranger = received.last().first().value<IncomingMessage>();
    QVERIFY(stranger.isDeliveryReport());
    QVERIFY(stranger.deliveredMessageId().isNull());
    QTRY_COMPARE(pendingMessageCount(channel), 0u);
}

void TestChatSession::groupChannelIsReadyButNotReadyToChat()
{
    Tp::TextChannelPtr room = m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeRoom,
                                                       QStringLiteral("#lounge"));
    QVERIFY(room);
    QVERIFY(room->interfaces().contains(TP_QT_IFACE_CHANNEL_INTERFACE_GROUP));
    ChatSession session(m_env->account(Env::ImAccountPath),
                        ChatContext(QStringLiteral("#lounge"), Env::ImAccountPath, RoomChat));
    QSignalSpy ready(&session, &ChatSession::chatSessionReady);
    QSignalSpy readyToChat(&session, &ChatSession::readyToChat);
    makeReady(session, room);
    QVERIFY(waitFor(ready));
    QCoreApplication::processEvents();
    QCOMPARE(readyToChat.count(), 0);
}

void TestChatSession::failedReadinessReportsErrorAndClosed()
{
    ChatSession session(m_env->account(Env::ImAccountPath), ChatContext(Bob, Env::ImAccountPath));
    QList<int> errorTypes;
    QStringList order;
    connect(&session, &ChatSession::chatSessionError, this, [&](ChatSessionError &e) {
        errorTypes << e.type();
        order << QStringLiteral("error");
    });
    connect(&session, &ChatSession::chatSessionClosed, this, [&] { order << QStringLiteral("closed"); });

    // No channel at all when readiness finishes.
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact, Bob);
    connect(channel->becomeReady(), &Tp::PendingOperation::finished, &session, &ChatSession::channelReady);
    QTRY_COMPARE(order, (QStringList { QStringLiteral("error"), QStringLiteral("closed") }));
    QCOMPARE(errorTypes, QList<int> { ChatSessionError::UnknownError });

    // A channel that does not exist on the bus.
    Tp::TextChannelPtr ghost = Tp::TextChannel::create(
        channel->connection(), channel->connection()->objectPath() + QStringLiteral("/nosuchchannel"),
        QVariantMap());
    session.setChannel(ghost);
    connect(ghost->becomeReady(sessionFeatures()), &Tp::PendingOperation::finished,
            &session, &ChatSession::channelReady);
    QTRY_COMPARE(order.size(), 4);
    QCOMPARE(order.at(3), QStringLiteral("closed"));
    QVERIFY(!session.isReady());
    // Not live: a restored channel may take its place.
    QVERIFY(session.channelPath().isEmpty());
    QCOMPARE(session.channel(), ghost);
}

void TestChatSession::invalidationDuringASendGivesOneStatusAndOneError()
{
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact,
                                                          QStringLiteral("erin@loop.test"));
    ChatSession session(m_env->account(Env::ImAccountPath),
                        ChatContext(QStringLiteral("erin@loop.test"), Env::ImAccountPath));
    QSignalSpy ready(&session, &ChatSession::chatSessionReady);
    makeReady(session, channel);
    QVERIFY(waitFor(ready));

    QList<int> errors;
    connect(&session, &ChatSession::chatSessionError, this, [&](ChatSessionError &e) { errors << e.type(); });
    QSignalSpy closed(&session, &ChatSession::chatSessionClosed);
    QSignalSpy status(&session, &ChatSession::messageStatusChanged);
    session.sendMessage(textParts(QStringLiteral("in flight")), QStringLiteral("flying"), 0);
    m_env->control(Env::ImAccountPath).invalidateChannel(channel->objectPath(), TP_QT_ERROR_CANCELLED);
    QVERIFY(waitFor(closed));
    QVERIFY(waitFor(status));
    QTest::qWait(200); // nothing more may arrive
    QCOMPARE(status.count(), 1);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(errors.size(), 1);
    QVERIFY(!session.isReady());
    QVERIFY(session.channel());
    QVERIFY(session.channelPath().isNull());

    session.sendMessage(textParts(QStringLiteral("after")), QStringLiteral("after"), 0);
    QCOMPARE(status.last().at(1).toInt(), 2);
}

void TestChatSession::reconnectionAsksForRestoreOncePerReconnection()
{
    ChatSession session(m_env->account(Env::ImAccountPath), ChatContext(Bob, Env::ImAccountPath));
    QStringList restored; // account paths, one per signal
    connect(&session, &ChatSession::chatSessionReadyToRestore, this,
            [&](Tp::AccountPtr account) { restored << account->objectPath(); });
    for (int round = 1; round <= 2; ++round) {
        QVERIFY(m_env->dropConnection(Env::ImAccountPath));
        QCOMPARE(restored.size(), round - 1);
        QVERIFY(m_env->restoreConnection(Env::ImAccountPath));
        QTRY_COMPARE(restored.size(), round);
        QCOMPARE(restored.last(), Env::ImAccountPath);
    }
}

void TestChatSession::destructionClosesTheChannel()
{
    Tp::TextChannelPtr channel = m_env->ensureTextChannel(Env::ImAccountPath, Tp::HandleTypeContact,
                                                          QStringLiteral("frank@loop.test"));
    QVERIFY(channel);
    QSignalSpy invalidated(channel.data(), &Tp::DBusProxy::invalidated);
    {
        ChatSession session(m_env->account(Env::ImAccountPath),
                            ChatContext(QStringLiteral("frank@loop.test"), Env::ImAccountPath));
        session.setChannel(channel);
    }
    QVERIFY(waitFor(invalidated));
    QVERIFY(!m_env->control(Env::ImAccountPath).channels().contains(channel->objectPath()));
}

QTEST_GUILESS_MAIN(TestChatSession)
#include "tst_chatsession.moc"
