// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The bound on a message whose status never comes: MessageSender gives it
// MessageTimedOut, the persistent queue moves on and keeps it in its file.
// Mission Control and the test connection managers on the test's private
// bus; the bound is set to one second through dconf.

#include "chatsessionmanager.h"
#include "confitem.h"
#include "messagecontent.h"
#include "messagesender.h"
#include "queuedmessagesender.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

namespace {
using Env = TelepathyTestEnvironment;
const int Timeout = 10000;
const QString Cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString TimeoutKey = QStringLiteral("/Messaging/Settings/StatusTimeout");
} // namespace

class StatusBoundTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void messageWithoutStatusFailsAfterTheBound_data();
    void messageWithoutStatusFailsAfterTheBound();
    void answeredMessagesAreNotFailedLater();
    void queueMovesOnAndKeepsTheMessageInItsFile();

private:
    Env m_env;
};

void StatusBoundTest::initTestCase()
{
    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Cellular));
    QVERIFY(m_env.connectedAccount(Im));
}

void StatusBoundTest::init()
{
    QVERIFY(ConfItem(TimeoutKey).set(1));
}

void StatusBoundTest::cleanup()
{
    ConfItem(TimeoutKey).unset();
    m_env.control(Im).reset();
    if (!m_env.account(Cellular)->connection())
        QVERIFY(m_env.restoreConnection(Cellular));
}

void StatusBoundTest::messageWithoutStatusFailsAfterTheBound_data()
{
    QTest::addColumn<bool>("offline");
    // Waits for the account to come back, as it should, but not for ever.
    QTest::newRow("account offline") << true;
    // The room never lets the user in: the session is never ready to chat.
    QTest::newRow("invitation never accepted") << false;
}

void StatusBoundTest::messageWithoutStatusFailsAfterTheBound()
{
    QFETCH(bool, offline);
    ChatContext context(QStringLiteral("+358401000077"), Cellular);
    if (offline) {
        QVERIFY(m_env.dropConnection(Cellular));
    } else {
        m_env.control(Im).setRequestedGroupMembers({ QStringLiteral("carol@loop.test") }, true);
        context = ChatContext(QStringLiteral("#closed-door"), Im, RoomChat);
    }
    MessageSender sender(context);
    QSignalSpy statuses(&sender, &MessageSender::messageStatusChanged);
    QSignalSpy reasons(&sender, &MessageSender::messageFailed);
    QElapsedTimer clock;
    clock.start();
    sender.send(QStringLiteral("stuck"), QStringLiteral("s1"));
    sender.send(QStringLiteral("stuck too"), QStringLiteral("s2"));
    QVERIFY(waitFor(statuses, 2, Timeout));
    QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(statuses.at(0), (QList<QVariant>{ QStringLiteral("s1"), int(MessageSender::MessageTimedOut) }));
    QCOMPARE(statuses.at(1), (QList<QVariant>{ QStringLiteral("s2"), int(MessageSender::MessageTimedOut) }));
    QVERIFY(!sender.isSending());
    // The reason comes first, naming the bound.
    QCOMPARE(reasons.count(), 2);
    QCOMPARE(reasons.first().at(1).toInt(), int(MessageSender::MessageTimedOut));
    QCOMPARE(reasons.first().at(3).toString(), QStringLiteral("no status within 1 s"));

    if (offline) {
        // The account comes back: nothing more for the failed messages, and
        // the sender works again.
        QVERIFY(m_env.restoreConnection(Cellular));
        sender.send(QStringLiteral("fresh"), QStringLiteral("s3"));
        QVERIFY(waitFor(statuses, 3, Timeout));
        QCOMPARE(statuses.at(2), (QList<QVariant>{ QStringLiteral("s3"), 0 }));
        QTest::qWait(300);
        QCOMPARE(statuses.count(), 3);
    }
}

void StatusBoundTest::answeredMessagesAreNotFailedLater()
{
    MessageSender sender(QStringLiteral("+358401000078"), Cellular);
    QSignalSpy statuses(&sender, &MessageSender::messageStatusChanged);
    sender.send(QStringLiteral("quick"), QStringLiteral("q1"));
    QVERIFY(waitFor(statuses, 1, Timeout));
    QCOMPARE(statuses.first().at(1).toInt(), 0);
    // Past the bound: still only the one status.
    QTest::qWait(1300);
    QCOMPARE(statuses.count(), 1);

    // No bound at all: the sender keeps waiting.
    QVERIFY(ConfItem(TimeoutKey).set(0));
    QVERIFY(m_env.dropConnection(Cellular));
    sender.send(QStringLiteral("patient"), QStringLiteral("q2"));
    QTest::qWait(1500);
    QCOMPARE(statuses.count(), 1);
    QVERIFY(sender.isSending());
    QVERIFY(m_env.restoreConnection(Cellular));
    QVERIFY(waitFor(statuses, 2, Timeout));
    QCOMPARE(statuses.last(), (QList<QVariant>{ QStringLiteral("q2"), 0 }));
}

void StatusBoundTest::queueMovesOnAndKeepsTheMessageInItsFile()
{
    QVERIFY(m_env.dropConnection(Cellular));
    const MessageContent stuck(Cellular, QStringLiteral("+358401000079"), QStringLiteral("to an offline account"),
                               false, 0);
    const MessageContent fine(Im, QStringLiteral("bob@loop.test"), QStringLiteral("right after"), false, 0);

    auto *queue = new QueuedMessageSender;
    queue->init();
    QSignalSpy statuses(queue, &QueuedMessageSender::messageStatusChanged);
    queue->sendMessage(stuck);
    queue->sendMessage(fine);
    QVERIFY(waitFor(statuses, 2, Timeout));
    QCOMPARE(statuses.at(0).at(0).value<MessageContent>().message(), stuck.message());
    QCOMPARE(statuses.at(0).at(1).toInt(), int(MessageSender::MessageTimedOut));
    QCOMPARE(statuses.at(1).at(0).value<MessageContent>().message(), fine.message());
    QCOMPARE(statuses.at(1).at(1).toInt(), 0);

    // Kept for the next start, and not sent again in this one.
    QCOMPARE(queue->messages().size(), 1);
    QCOMPARE(queue->messages().first().message(), stuck.message());
    QueuedMessageSender nextStart;
    nextStart.loadQueue();
    QCOMPARE(nextStart.messages().size(), 1);
    QCOMPARE(nextStart.messages().first().message(), stuck.message());
    QCOMPARE(nextStart.messages().first().remoteUid(), stuck.remoteUid());
    QVERIFY(m_env.restoreConnection(Cellular));
    QTest::qWait(300);
    QCOMPARE(statuses.count(), 2);

    // The next start (after this one: tst_queuecommand) sends it.
    delete queue;
    QSignalSpy resent(&nextStart, &QueuedMessageSender::messageStatusChanged);
    nextStart.init();
    QVERIFY(waitFor(resent, 1, Timeout));
    QCOMPARE(resent.first().at(1).toInt(), 0);
}

QTEST_GUILESS_MAIN(StatusBoundTest)
#include "tst_statusbound.moc"
