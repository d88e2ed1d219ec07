// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// MessageSender end to end: Mission Control, the test connection managers
// and a fake notification server on the test's private bus. The tests run
// in declaration order; the first one sees the session manager not ready.

#include "chatsession.h"
#include "chatsessionmanager.h"
#include "fakenotificationserver.h"
#include "messagesender.h"
#include "messagestatus.h"
#include "notificationeventtypes.h"
#include "telepathytestenvironment.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const int Timeout = 10000;
// Literals: the fixture's constants may not be initialised yet here.
const QString Cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
const QString Mms = QStringLiteral("/org/freedesktop/Telepathy/Account/vexo/mms/mms0");
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString Strong = QLatin1String(NotificationEventTypes::MessagingErrorStrong);
const QString TargetId = QStringLiteral("org.freedesktop.Telepathy.Channel.TargetID");
} // namespace

class MessageSenderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void buildsPartsOnlyFromGivenFields();
    void describesEveryStatusValue();
    void deliversFirstMessageFromColdStart();
    void sendsOnAOneToOneChannelWithTheGroupInterface();
    void normalisesCellularRemoteUid_data();
    void normalisesCellularRemoteUid();
    void reusedIdBeforeReadyReplacesPendingMessage();
    void sendsEachPendingMessageOnce();
    void sendsInOrderOfSendCalls_data();
    void sendsInOrderOfSendCalls();
    void failedSendNotifiesNamingRecipient();
    void ignoresStatusesOfOtherSendersMessages();
    void deletesItselfAfterLastStatusWithAutoDelete();
    void refusesUnreadableVCards_data();
    void refusesUnreadableVCards();
    void sendsVCardFileContents();
    void failsPendingMessagesOnManagerError_data();
    void failsPendingMessagesOnManagerError();
    void failsPendingMessagesWhenSessionIsLost();
    void waitsForDisconnectedAccount();
    void refusedRequestOfAnotherConversationLeavesPendingMessages();
    void oversizedMessageFailsAtOnceAndOthersGoOut_data();
    void oversizedMessageFailsAtOnceAndOthersGoOut();
    void refusedMessageCarriesTheConnectionManagersReason();
    void sendsWithoutNotificationServer();

private:
    // Sends and waits for every status; returns them by id.
    QHash<QString, int> sendAndWait(MessageSender &sender, const QStringList &texts);
    QList<FakeNotificationServer::Shown> notificationsSince(int count) const;
    // "id=status" and "ready=0/1" in the order the sender emits them.
    void recordEvents(MessageSender &sender, QStringList &events);

    TelepathyTestEnvironment m_env;
    FakeNotificationServer m_notifications;
};

void MessageSenderTest::initTestCase()
{
    QVERIFY(m_notifications.start());
    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Cellular));
    QVERIFY(m_env.connectedAccount(Im));
}

void MessageSenderTest::init()
{
    m_env.control(Cellular).clearSentMessages();
    m_env.control(Cellular).clearChannelRequests();
    m_env.control(Im).clearSentMessages();
    m_env.control(Im).clearChannelRequests();
}

QHash<QString, int> MessageSenderTest::sendAndWait(MessageSender &sender, const QStringList &texts)
{
    QSignalSpy statuses(&sender, &MessageSender::messageStatusChanged);
    for (const QString &text : texts)
        sender.send(text);
    QHash<QString, int> result;
    if (!QTest::qWaitFor([&] { return statuses.count() >= texts.size(); }, Timeout))
        return result;
    for (const QList<QVariant> &status : qAsConst(statuses))
        result.insert(status.at(0).toString(), status.at(1).toInt());
    return result;
}

QList<FakeNotificationServer::Shown> MessageSenderTest::notificationsSince(int count) const
{
    return m_notifications.shown.mid(count);
}

void MessageSenderTest::recordEvents(MessageSender &sender, QStringList &events)
{
    connect(&sender, &MessageSender::messageStatusChanged, this, [&events](const QString &id, int code) {
        events << QStringLiteral("%1=%2").arg(id).arg(code);
    });
    connect(&sender, &MessageSender::readyToSend, this,
            [&events](bool ready) { events << QStringLiteral("ready=%1").arg(ready); });
}

void MessageSenderTest::buildsPartsOnlyFromGivenFields()
{
    QVERIFY(MessageSender::constructMessagePart(QString(), QString(), QString(), -1, QString()).isEmpty());

    const QMap<QString, QDBusVariant> part = MessageSender::constructMessagePart(
        QStringLiteral("hi"), QStringLiteral("text/plain"), QString(), 5, QStringLiteral("cid:1"));
    QCOMPARE(part.keys(), (QStringList{QStringLiteral("content"), QStringLiteral("content-location"),
                                       QStringLiteral("content-type"), QStringLiteral("size")}));
    QCOMPARE(part.value(QStringLiteral("content")).variant().toString(), QStringLiteral("hi"));
    QCOMPARE(part.value(QStringLiteral("size")).variant().toInt(), 5);
    QCOMPARE(MessageSender::constructMessagePart(QString(), QString(), QStringLiteral("/t.jpg"), -1, QString())
                 .value(QStringLiteral("thumbnail-location")).variant().toString(),
             QStringLiteral("/t.jpg"));
}

void MessageSenderTest::describesEveryStatusValue()
{
    // A new value without its text would print as a bare number.
    const QMetaEnum codes = QMetaEnum::fromType<MessageStatus::Code>();
    QSet<QString> texts;
    for (int i = 0; i < codes.keyCount(); ++i) {
        const QString text = MessageStatus::description(codes.value(i));
        QVERIFY2(!text.startsWith(QLatin1String("error ")), codes.key(i));
        texts.insert(text);
        QCOMPARE(MessageStatus::isFailure(codes.value(i)), codes.value(i) != 0);
    }
    QCOMPARE(texts.size(), codes.keyCount());
    QCOMPARE(MessageStatus::description(99), QStringLiteral("error 99"));
}

void MessageSenderTest::deliversFirstMessageFromColdStart()
{
    ChatSessionManager *manager = ChatSessionManager::instance();
    QVERIFY(!manager->isReady());
    QSignalSpy managerReady(manager, &ChatSessionManager::managerReady);
    QSignalSpy prepared(manager, &ChatSessionManager::prepareChatSession);

    MessageSender sender(QStringLiteral("+358 40 100 0002"), Cellular);
    QVERIFY(!sender.isSending());
    QStringList events;
    connect(&sender, &MessageSender::readyToSend, this, [&](bool ready) {
        events << QStringLiteral("readyToSend(%1)").arg(ready);
    });
    connect(&sender, &MessageSender::messageSent, this, [&] { events << QStringLiteral("messageSent"); });
    QSignalSpy statuses(&sender, &MessageSender::messageStatusChanged);

    const int shownBefore = m_notifications.shown.size();
    sender.send(QStringLiteral("hello"));
    QVERIFY(sender.isSending());
    QVERIFY(statuses.wait(Timeout));

    QCOMPARE(managerReady.count(), 1);
    QVERIFY(prepared.count() >= 1);
    QCOMPARE(events, (QStringList{QStringLiteral("messageSent"), QStringLiteral("readyToSend(1)")}));
    const QString id = statuses.first().at(0).toString();
    QCOMPARE(id.size(), 38); // a generated id
    QCOMPARE(statuses.first().at(1).toInt(), 0);
    QVERIFY(!sender.isSending());
    QVERIFY(sender.chatSession());
    QCOMPARE(sender.chatSession()->remoteUid(), QStringLiteral("+358401000002"));

    const QList<TestCmControl::SentMessage> sent = m_env.control(Cellular).sentMessages();
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().text(), QStringLiteral("hello"));
    QCOMPARE(sent.first().part(1).value(QStringLiteral("content-type")).toString(), QStringLiteral("text/plain"));
    QVERIFY(sent.first().part(0).isEmpty() || !sent.first().part(0).contains(QStringLiteral("content")));
    QCOMPARE(m_notifications.shown.size(), shownBefore);

    // The next message reuses the ready session without a new request.
    m_env.control(Cellular).clearChannelRequests();
    QCOMPARE(sendAndWait(sender, {QStringLiteral("again")}).values(), QList<int>{0});
    QVERIFY(m_env.control(Cellular).channelRequests().isEmpty());
}

void MessageSenderTest::normalisesCellularRemoteUid_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("remoteUid");
    QTest::addColumn<QString>("requested");

    QTest::newRow("spaces") << Cellular << "+358 40 100 0003" << "+358401000003";
    QTest::newRow("Arabic-Indic digits")
        << Cellular << QStringLiteral("+\u0663\u0665\u0668\u0664\u0660\u0661\u0660\u0660\u0660\u0660\u0660\u0664")
        << "+358401000004";
    QTest::newRow("MMS account") << Mms << "+358-40-100-0005"
                                 << "+358401000005";
    QTest::newRow("IM account keeps it") << Im << "carol 1@loop.test" << "carol 1@loop.test";
}

void MessageSenderTest::sendsOnAOneToOneChannelWithTheGroupInterface()
{
    // Some connection managers give one-to-one text channels the Group
    // interface; such a conversation is ready to chat all the same.
    m_env.control(Im).setGroupOnContactChannels(true);
    MessageSender sender(QStringLiteral("grace@loop.test"), Im);
    const QHash<QString, int> statuses = sendAndWait(sender, {QStringLiteral("in a group of two")});
    m_env.control(Im).setGroupOnContactChannels(false);
    QCOMPARE(statuses.values(), QList<int>{0});
    QCOMPARE(m_env.control(Im).sentMessages().size(), 1);
    QCOMPARE(m_env.control(Im).sentMessages().first().text(), QStringLiteral("in a group of two"));
}

void MessageSenderTest::normalisesCellularRemoteUid()
{
    QFETCH(QString, account);
    QFETCH(QString, remoteUid);
    QFETCH(QString, requested);
    TestCmControl &control = m_env.control(account);
    control.clearChannelRequests();

    MessageSender sender(remoteUid, account);
    QCOMPARE(sendAndWait(sender, {QStringLiteral("x")}).values(), QList<int>{0});
    const QList<QVariantMap> requests = control.channelRequests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().value(TargetId).toString(), requested);
    QCOMPARE(sender.chatSession()->remoteUid(), requested);
}

void MessageSenderTest::reusedIdBeforeReadyReplacesPendingMessage()
{
    MessageSender sender(QStringLiteral("dave@loop.test"), Im);
    QSignalSpy statuses(&sender, &MessageSender::messageStatusChanged);
    sender.send(QStringLiteral("first"), QStringLiteral("same-id"));
    sender.send(QStringLiteral("second"), QStringLiteral("same-id"));
    QVERIFY(statuses.wait(Timeout));

    QCOMPARE(statuses.first(), (QList<QVariant>{QStringLiteral("same-id"), 0}));
    const QList<TestCmControl::SentMessage> sent = m_env.control(Im).sentMessages();
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().text(), QStringLiteral("second"));
    QVERIFY(!statuses.wait(200));
}

void MessageSenderTest::sendsEachPendingMessageOnce()
{
    MessageSender sender(QStringLiteral("erin@loop.test"), Im);
    QCOMPARE(sendAndWait(sender, {QStringLiteral("warm-up")}).size(), 1);
    m_env.control(Im).clearSentMessages();

    // Each send on a ready session hands over what is pending; messages
    // still waiting for their status must not go out a second time.
    const QHash<QString, int> statuses =
        sendAndWait(sender, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    QCOMPARE(statuses.size(), 3);
    QStringList texts;
    for (const TestCmControl::SentMessage &message : m_env.control(Im).sentMessages())
        texts << message.text();
    QCOMPARE(texts, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
}

void MessageSenderTest::sendsInOrderOfSendCalls_data()
{
    QTest::addColumn<QString>("remoteUid");
    QTest::addColumn<bool>("sessionReady");
    QTest::addColumn<QStringList>("ids");

    const QStringList generated = QVector<QString>(6).toList();
    const QStringList numbered{QStringLiteral("msg-9"), QStringLiteral("msg-10"), QStringLiteral("msg-100"),
                               QStringLiteral("msg-11"), QStringLiteral("msg-2"), QStringLiteral("a")};
    QTest::newRow("generated ids, queued before ready") << "order1@loop.test" << false << generated;
    QTest::newRow("numbered ids, queued before ready") << "order2@loop.test" << false << numbered;
    QTest::newRow("generated ids, ready session") << "order3@loop.test" << true << generated;
    QTest::newRow("numbered ids, ready session") << "order4@loop.test" << true << numbered;
}

void MessageSenderTest::sendsInOrderOfSendCalls()
{
    QFETCH(QString, remoteUid);
    QFETCH(bool, sessionReady);
    QFETCH(QStringList, ids);

    MessageSender sender(remoteUid, Im);
    if (sessionReady) {
        QCOMPARE(sendAndWait(sender, {QStringLiteral("warm-up")}).values(), QList<int>{0});
        m_env.control(Im).clearSentMessages();
    }

    QSignalSpy statuses(&sender, &MessageSender::messageStatusChanged);
    QStringList texts;
    for (int i = 0; i < ids.size(); ++i) {
        texts << QStringLiteral("text %1").arg(i);
        sender.send(texts.last(), ids.at(i));
    }
    QTRY_COMPARE_WITH_TIMEOUT(statuses.count(), ids.size(), Timeout);

    QStringList sentTexts;
    for (const TestCmControl::SentMessage &message : m_env.control(Im).sentMessages())
        sentTexts << message.text();
    QCOMPARE(sentTexts, texts);
    for (const QList<QVariant> &status : qAsConst(statuses))
        QCOMPARE(status.at(1).toInt(), 0);
}

void MessageSenderTest::failedSendNotifiesNamingRecipient()
{
    MessageSender sender(QStringLiteral("+358 40 100 0008"), Cellular);
    QCOMPARE(sendAndWait(sender, {QStringLiteral("ok")}).values(), QList<int>{0});

    QSignalSpy notified(&m_notifications, &FakeNotificationServer::notified);
    const int shownBefore = m_notifications.shown.size();
    m_env.control(Cellular).failNextSend();
    QCOMPARE(sendAndWait(sender, {QStringLiteral("fails")}).values(), QList<int>{15});
    QVERIFY(notified.count() == 1 || notified.wait(Timeout));
    QVERIFY(!notified.wait(200));

    const FakeNotificationServer::Shown shown = notificationsSince(shownBefore).first();
    QCOMPARE(shown.hints.value(QStringLiteral("category")).toString(), Strong);
    QCOMPARE(shown.summary, QString());
    QCOMPARE(shown.body, QStringLiteral("Sending message to +358401000008 failed"));
}

void MessageSenderTest::ignoresStatusesOfOtherSendersMessages()
{
    MessageSender first(QStringLiteral("frank@loop.test"), Im);
    MessageSender second(QStringLiteral("frank@loop.test"), Im);
    QCOMPARE(sendAndWait(first, {QStringLiteral("1")}).size(), 1);
    QCOMPARE(sendAndWait(second, {QStringLiteral("2")}).size(), 1);
    QCOMPARE(first.chatSession(), second.chatSession());

    QSignalSpy firstStatuses(&first, &MessageSender::messageStatusChanged);
    const QHash<QString, int> secondStatuses = sendAndWait(second, {QStringLiteral("3")});
    QCOMPARE(secondStatuses.size(), 1);
    QVERIFY(firstStatuses.isEmpty());
    // A repeated status for a finished message is dropped as well.
    Q_EMIT second.chatSession()->messageStatusChanged(secondStatuses.keys().first(), 15);
    QVERIFY(firstStatuses.isEmpty());
}

void MessageSenderTest::deletesItselfAfterLastStatusWithAutoDelete()
{
    QPointer<MessageSender> sender = new MessageSender(QStringLiteral("gina@loop.test"), Im, true);
    QCOMPARE(sender->parent(), QCoreApplication::instance());
    QSignalSpy statuses(sender.data(), &MessageSender::messageStatusChanged);
    bool aliveAtEachStatus = true;
    connect(sender.data(), &MessageSender::messageStatusChanged, this,
            [&] { aliveAtEachStatus = aliveAtEachStatus && sender; });
    sender->send(QStringLiteral("one"));
    sender->send(QStringLiteral("two"));
    QTRY_VERIFY_WITH_TIMEOUT(sender.isNull(), Timeout);
    QCOMPARE(statuses.count(), 2);
    QVERIFY(aliveAtEachStatus);

    MessageSender kept(QStringLiteral("gina@loop.test"), Im, false);
    QCOMPARE(sendAndWait(kept, {QStringLiteral("three")}).size(), 1);
    QVERIFY(!kept.isSending());
    QCOMPARE(sendAndWait(kept, {QStringLiteral("four")}).values(), QList<int>{0});
}

void MessageSenderTest::refusesUnreadableVCards_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("missing") << "/nonexistent/card.vcf";
    QTest::newRow("empty") << "empty.vcf";
    QTest::newRow("directory") << ".";
}

void MessageSenderTest::refusesUnreadableVCards()
{
    QFETCH(QString, file);
    QTemporaryDir dir;
    QFile empty(dir.filePath(QStringLiteral("empty.vcf")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    const QString path = file.startsWith(QLatin1Char('/')) ? file : dir.filePath(file);

    QPointer<MessageSender> sender = new MessageSender(QStringLiteral("+358401000009"), Cellular, true);
    QSignalSpy statuses(sender.data(), &MessageSender::messageStatusChanged);
    const int shownBefore = m_notifications.shown.size();
    sender->sendVCard(path, QStringLiteral("card"));
    QCOMPARE(statuses.count(), 1);
    QCOMPARE(statuses.first(), (QList<QVariant>{QStringLiteral("card"), 23}));
    QVERIFY(!sender->isSending());
    sender->sendVCard(QString(), QStringLiteral("ignored"));
    QCOMPARE(statuses.count(), 1);
    // Never pending, so it does not end an auto-deleting sender either.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(sender);
    QCOMPARE(m_notifications.shown.size(), shownBefore);
    QVERIFY(m_env.control(Cellular).sentMessages().isEmpty());
    delete sender;
}

void MessageSenderTest::sendsVCardFileContents()
{
    const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Hanna \xc3\x84\r\nEND:VCARD\r\n";
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("hanna.vcf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(card);
    file.close();

    MessageSender sender(QStringLiteral("+358401000010"), Cellular);
    QSignalSpy statuses(&sender, &MessageSender::messageStatusChanged);
    sender.sendVCard(file.fileName(), QStringLiteral("vcard-1"));
    QVERIFY(statuses.wait(Timeout));
    QCOMPARE(statuses.first(), (QList<QVariant>{QStringLiteral("vcard-1"), 0}));

    const QList<TestCmControl::SentMessage> sent = m_env.control(Cellular).sentMessages();
    QCOMPARE(sent.size(), 1);
    const QVariantMap part = sent.first().part(1);
    QCOMPARE(part.value(QStringLiteral("alternative")).toString(), QStringLiteral("main"));
    QCOMPARE(part.value(QStringLiteral("content-type")).toString(), QStringLiteral("text/x-vcard"));
    QCOMPARE(part.value(QStringLiteral("content")).toByteArray(), card);
}

void MessageSenderTest::failsPendingMessagesOnManagerError_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<int>("status");
    // Reported inside the request, so each message fails on its own.
    QTest::newRow("no such account")
        << "/org/freedesktop/Telepathy/Account/nowhere/none/x0" << int(ChatSessionError::InvalidAccountError);
    // Mission Control refuses the channel request: both fail together.
    QTest::newRow("disabled account") << "/org/freedesktop/Telepathy/Account/loopback/loop/bob0"
                                      << int(ChatSessionError::ChannelRequestError);
}

void MessageSenderTest::failsPendingMessagesOnManagerError()
{
    QFETCH(QString, account);
    QFETCH(int, status);

    MessageSender sender(QStringLiteral("ivan@loop.test"), account);
    QStringList events;
    recordEvents(sender, events);
    const int shownBefore = m_notifications.shown.size();
    sender.send(QStringLiteral("one"), QStringLiteral("m1"));
    sender.send(QStringLiteral("two"), QStringLiteral("m2"));
    QTRY_VERIFY2_WITH_TIMEOUT(events.contains(QStringLiteral("m2=%1").arg(status)),
                              qPrintable(events.join(QLatin1Char(' '))), Timeout);

    QVERIFY(events.contains(QStringLiteral("m1=%1").arg(status)));
    QVERIFY(events.indexOf(QStringLiteral("m1=%1").arg(status)) < events.indexOf(QStringLiteral("m2=%1").arg(status)));
    QCOMPARE(events.last(), QStringLiteral("ready=0"));
    QVERIFY(!sender.isSending());
    QTRY_COMPARE_WITH_TIMEOUT(m_notifications.shown.size(), shownBefore + 2, Timeout);
    for (const FakeNotificationServer::Shown &shown : notificationsSince(shownBefore))
        QCOMPARE(shown.body, QStringLiteral("Sending message to ivan@loop.test failed"));
}

void MessageSenderTest::failsPendingMessagesWhenSessionIsLost()
{
    MessageSender sender(QStringLiteral("karl@loop.test"), Im);
    QCOMPARE(sendAndWait(sender, {QStringLiteral("warm-up")}).size(), 1);
    const ChatSessionPtr session = sender.chatSession();
    QVERIFY(session);

    // Losing the channel with nothing pending only says "not ready".
    QSignalSpy statuses(&sender, &MessageSender::messageStatusChanged);
    QSignalSpy ready(&sender, &MessageSender::readyToSend);
    m_env.control(Im).invalidateChannel(session->channelPath(),
                                        QStringLiteral("org.freedesktop.Telepathy.Error.Disconnected"));
    QTRY_VERIFY_WITH_TIMEOUT(!session->isReady(), Timeout);
    QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, Timeout);
    QCOMPARE(ready.first().at(0).toBool(), false);
    QVERIFY(statuses.isEmpty());

    // The next message asks for the channel again; it closes while it is
    // being made ready, so the session fails and takes the message with it.
    QStringList events;
    recordEvents(sender, events);
    const int shownBefore = m_notifications.shown.size();
    m_env.control(Im).closeNextChannelAfterCreation(0);
    sender.send(QStringLiteral("while lost"), QStringLiteral("l1"));
    QVERIFY(statuses.wait(Timeout));
    QCOMPARE(statuses.count(), 1);
    QVERIFY(statuses.first().at(1).toInt() != 0);
    QCOMPARE(events.last(), QStringLiteral("ready=0"));
    QTRY_COMPARE_WITH_TIMEOUT(m_notifications.shown.size(), shownBefore + 1, Timeout);
    QVERIFY(!sender.isSending());
}

void MessageSenderTest::waitsForDisconnectedAccount()
{
    QVERIFY(m_env.dropConnection(Cellular));
    MessageSender sender(QStringLiteral("+358401000012"), Cellular);
    QSignalSpy statuses(&sender, &MessageSender::messageStatusChanged);
    sender.send(QStringLiteral("later"), QStringLiteral("d1"));
    QVERIFY(!statuses.wait(500));
    QVERIFY(sender.isSending());
    QVERIFY(m_env.restoreConnection(Cellular));
    QVERIFY(statuses.count() == 1 || statuses.wait(Timeout));
    QCOMPARE(statuses.first(), (QList<QVariant>{QStringLiteral("d1"), 0}));
}

void MessageSenderTest::refusedRequestOfAnotherConversationLeavesPendingMessages()
{
    // An SMS waits for its connection while a request of an instant-
    // messaging conversation is refused: only that conversation's message
    // fails.
    QVERIFY(m_env.dropConnection(Cellular));
    MessageSender sms(QStringLiteral("+358401000013"), Cellular);
    QSignalSpy smsStatuses(&sms, &MessageSender::messageStatusChanged);
    sms.send(QStringLiteral("waits"), QStringLiteral("sms1"));

    m_env.control(Im).failNextChannelRequest(TP_QT_ERROR_INVALID_HANDLE, QStringLiteral("no such contact"));
    MessageSender im(QStringLiteral("refused@loop.test"), Im);
    QSignalSpy imStatuses(&im, &MessageSender::messageStatusChanged);
    QSignalSpy imFailures(&im, &MessageSender::messageFailed);
    im.send(QStringLiteral("refused"), QStringLiteral("im1"));
    QVERIFY(imStatuses.wait(Timeout));
    QCOMPARE(imStatuses.first().at(0).toString(), QStringLiteral("im1"));
    QVERIFY(imStatuses.first().at(1).toInt() != 0);
    QCOMPARE(imFailures.size(), 1);
    QVERIFY2(imFailures.first().at(3).toString().contains(QLatin1String("no such contact")),
             qPrintable(imFailures.first().at(3).toString()));

    QVERIFY(!smsStatuses.wait(300));
    QVERIFY(sms.isSending());
    QVERIFY(m_env.restoreConnection(Cellular));
    QVERIFY(smsStatuses.count() == 1 || smsStatuses.wait(Timeout));
    QCOMPARE(smsStatuses.first(), (QList<QVariant>{QStringLiteral("sms1"), 0}));
}

void MessageSenderTest::oversizedMessageFailsAtOnceAndOthersGoOut_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");

    QTest::newRow("vCard above the limit") << "vcard" << int(MessageStatus::MessageTooLarge);
    QTest::newRow("text above the limit") << "text" << int(MessageStatus::MessageTooLarge);
    // Fewer characters than the limit, but three bytes each in UTF-8.
    QTest::newRow("text above the limit in UTF-8") << "utf8" << int(MessageStatus::MessageTooLarge);
    QTest::newRow("parts above the limit together") << "parts" << int(MessageStatus::MessageTooLarge);
    QTest::newRow("text just below the limit") << "below" << 0;
}

void MessageSenderTest::oversizedMessageFailsAtOnceAndOthersGoOut()
{
    QFETCH(QString, kind);
    QFETCH(int, status);
    const int limit = int(MessageStatus::MaximumMessageSize);

    MessageSender sender(QStringLiteral("large-%1@loop.test").arg(kind), Im);
    QStringList events;
    recordEvents(sender, events);
    QSignalSpy failures(&sender, &MessageSender::messageFailed);
    QSignalSpy statuses(&sender, &MessageSender::messageStatusChanged);
    const int shownBefore = m_notifications.shown.size();

    sender.send(QStringLiteral("before"), QStringLiteral("a"));
    if (kind == QLatin1String("vcard")) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("large.vcf"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nPHOTO;ENCODING=b:";
        file.write(card + QByteArray(2 * limit, 'A') + "\r\nEND:VCARD\r\n");
        file.close();
        sender.sendVCard(path, QStringLiteral("big"));
    } else if (kind == QLatin1String("text")) {
        sender.send(QString(limit + 1, QLatin1Char('x')), QStringLiteral("big"));
    } else if (kind == QLatin1String("utf8")) {
        sender.send(QString(limit / 2, QChar(0x20AC)), QStringLiteral("big"));
    } else if (kind == QLatin1String("parts")) {
        MsgPartsList parts;
        parts << QMap<QString, QDBusVariant>();
        for (int i = 0; i < 3; ++i)
            parts << MessageSender::constructMessagePart(QString(limit / 3, QLatin1Char('p')),
                                                         QStringLiteral("text/plain"), QString(), -1, QString());
        sender.send(parts, QStringLiteral("big"));
    } else {
        sender.send(QString(limit - 1024, QLatin1Char('y')), QStringLiteral("big"));
    }
    sender.send(QStringLiteral("after"), QStringLiteral("b"));

    QTRY_VERIFY2_WITH_TIMEOUT(statuses.count() >= 3, qPrintable(events.join(QLatin1Char(' '))), Timeout);
    QVERIFY2(events.contains(QStringLiteral("big=%1").arg(status)), qPrintable(events.join(QLatin1Char(' '))));
    QVERIFY(events.contains(QStringLiteral("a=0")));
    QVERIFY(events.contains(QStringLiteral("b=0")));

    // Nothing of the large message reached the bus, and the connection
    // still carries the messages around it, in order.
    QStringList sent;
    for (const TestCmControl::SentMessage &message : m_env.control(Im).sentMessages())
        sent << message.text().left(6);
    if (status == 0) {
        QCOMPARE(sent, (QStringList{QStringLiteral("before"), QStringLiteral("yyyyyy"), QStringLiteral("after")}));
        QVERIFY(failures.isEmpty());
        return;
    }
    QCOMPARE(sent, (QStringList{QStringLiteral("before"), QStringLiteral("after")}));
    QCOMPARE(failures.size(), 1);
    QCOMPARE(failures.first().at(0).toString(), QStringLiteral("big"));
    QCOMPARE(failures.first().at(1).toInt(), status);
    QVERIFY(failures.first().at(2).toString().isEmpty());
    QVERIFY(failures.first().at(3).toString().contains(QString::number(limit)));
    QTRY_COMPARE_WITH_TIMEOUT(m_notifications.shown.size(), shownBefore + 1, Timeout);
    QVERIFY(!sender.isSending());
}

void MessageSenderTest::refusedMessageCarriesTheConnectionManagersReason()
{
    MessageSender sender(QStringLiteral("picky@loop.test"), Im);
    QCOMPARE(sendAndWait(sender, {QStringLiteral("warm-up")}).values(), QList<int>{0});

    QStringList order;
    connect(&sender, &MessageSender::messageFailed, this,
            [&order](const QString &id, int status, const QString &name, const QString &message) {
                order << QStringLiteral("failed %1 %2 %3 %4").arg(id).arg(status).arg(name, message);
            });
    connect(&sender, &MessageSender::messageStatusChanged, this,
            [&order](const QString &id, int status) { order << QStringLiteral("status %1 %2").arg(id).arg(status); });
    m_env.control(Im).failNextSend(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("message must be text/plain"));
    sender.send(QStringLiteral("refused"), QStringLiteral("r1"));
    sender.send(QStringLiteral("fine"), QStringLiteral("r2"));
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 3, Timeout);
    QCOMPARE(order, (QStringList{
        QStringLiteral("failed r1 15 %1 message must be text/plain").arg(TP_QT_ERROR_INVALID_ARGUMENT),
        QStringLiteral("status r1 15"), QStringLiteral("status r2 0")}));
}

void MessageSenderTest::sendsWithoutNotificationServer()
{
    m_notifications.stop();
    MessageSender sender(QStringLiteral("+358401000011"), Cellular);
    QCOMPARE(sendAndWait(sender, {QStringLiteral("ok")}).values(), QList<int>{0});
    m_env.control(Cellular).failNextSend();
    QCOMPARE(sendAndWait(sender, {QStringLiteral("fails")}).values(), QList<int>{15});
    QCOMPARE(sendAndWait(sender, {QStringLiteral("still works")}).values(), QList<int>{0});
    QVERIFY(m_notifications.start());
}

QTEST_GUILESS_MAIN(MessageSenderTest)
#include "tst_messagesender.moc"
