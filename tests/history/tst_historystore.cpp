// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "accountpaths.h"
#include "historystore.h"
#include "phonenumberutils.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The history store on a file of its own in a temporary folder, without a
// session bus (the test's environment points it nowhere).
class TestHistoryStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void numberFormsShareThreadsOnlyWhenOneParty_data();
    void numberFormsShareThreadsOnlyWhenOneParty();
    void messageHandedOverTwiceIsStoredOnce();
    void outgoingMessageFollowsItsFate();

private:
    QScopedPointer<QTemporaryDir> m_dir;
    QScopedPointer<HistoryStore> m_store;
};

namespace {
HistoryMessage incoming(const QString &sender, const QString &text, const QString &token = QString())
{
    HistoryMessage m;
    m.setSenderId(sender);
    m.setText(text);
    m.setToken(token);
    m.setReceivedTime(QDateTime::currentDateTimeUtc());
    return m;
}

HistoryMessage outgoing(const QString &token, const QString &text)
{
    HistoryMessage m;
    m.setDirection(HistoryMessage::Outgoing);
    m.setToken(token);
    m.setText(text);
    return m;
}
} // namespace

void TestHistoryStore::init()
{
    PhoneNumberUtils::setDefaultRegion(QStringLiteral("FI"));
    m_dir.reset(new QTemporaryDir);
    m_store.reset(new HistoryStore(m_dir->filePath(QStringLiteral("history.db"))));
    QVERIFY(m_store->isOpen());
}

void TestHistoryStore::cleanup()
{
    m_store.reset();
    m_dir.reset();
    PhoneNumberUtils::setDefaultRegion(QString());
}

void TestHistoryStore::numberFormsShareThreadsOnlyWhenOneParty_data()
{
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("firstAccount");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("secondAccount");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("oneThread");
    const QString sms = AccountPaths::Cellular;
    const QString mms = AccountPaths::Mms;
    const QString im = QStringLiteral("/org/freedesktop/Telepathy/Account/idle/irc/me");
    const QString fi = QStringLiteral("FI");
    QTest::newRow("international, spaced") << fi << sms << "+358401234567" << sms << "+358 40 123 4567" << true;
    QTest::newRow("national form") << fi << sms << "+358 40 123 4567" << sms << "040 123 4567" << true;
    QTest::newRow("00 prefix") << fi << sms << "00358401234567" << sms << "+358401234567" << true;
    QTest::newRow("SMS and MMS") << fi << sms << "+358401234567" << mms << "0401234567" << true;
    QTest::newRow("Hungarian mobile networks") << fi << sms << "+36 20 123 4567" << sms << "+36 30 123 4567" << false;
    QTest::newRow("same tail, other country") << fi << sms << "+358401234567" << sms << "+46401234567" << false;
    QTest::newRow("against its short form") << fi << sms << "+358401234567" << sms << "1234567" << false;
    QTest::newRow("short codes") << fi << sms << "12345" << sms << "12346" << false;
    QTest::newRow("no region: Hungarian networks") << "ZZ" << sms << "+36 20 123 4567" << sms << "+36 30 123 4567" << false;
    QTest::newRow("no region: spaced") << "ZZ" << sms << "+36 20 123 4567" << sms << "+36201234567" << true;
    QTest::newRow("IM ids are as given") << fi << im << "alice" << im << "Alice" << false;
    QTest::newRow("number on an IM account") << fi << im << "+358401234567" << im << "0401234567" << false;
    QTest::newRow("other account") << fi << sms << "+358401234567" << im << "+358401234567" << false;
}

void TestHistoryStore::numberFormsShareThreadsOnlyWhenOneParty()
{
    QFETCH(QString, region);
    QFETCH(QString, firstAccount);
    QFETCH(QString, first);
    QFETCH(QString, secondAccount);
    QFETCH(QString, second);
    QFETCH(bool, oneThread);
    PhoneNumberUtils::setDefaultRegion(region);
    const ChatContext a(first, firstAccount);
    const ChatContext b(second, secondAccount);
    const qint64 idA = m_store->addMessage(a, incoming(first, QStringLiteral("one"), QStringLiteral("t1")));
    const qint64 idB = m_store->addMessage(b, incoming(second, QStringLiteral("two"), QStringLiteral("t2")));
    QVERIFY(idA >= 0 && idB >= 0);
    QCOMPARE(m_store->threadId(a) == m_store->threadId(b), oneThread);
    QCOMPARE(m_store->thread(m_store->threadId(b)).unreadCount(), oneThread ? 2 : 1);
}

void TestHistoryStore::messageHandedOverTwiceIsStoredOnce()
{
    const ChatContext context(QStringLiteral("+358401234567"), AccountPaths::Cellular);
    QSignalSpy added(m_store.data(), &HistoryStore::messageAdded);
    const HistoryMessage withToken = incoming(QStringLiteral("+358401234567"), QStringLiteral("hi"),
                                              QStringLiteral("tok-1"));
    const qint64 id = m_store->addMessage(context, withToken);
    QVERIFY(id >= 0);
    QCOMPARE(m_store->addMessage(ChatContext(QStringLiteral("040 123 4567"), AccountPaths::Mms), withToken), id);

    // Without a token, sender, sent time and text stand in.
    HistoryMessage noToken = incoming(QStringLiteral("+358401234567"), QStringLiteral("again"));
    noToken.setSentTime(QDateTime::fromMSecsSinceEpoch(1700000000000, Qt::UTC));
    const qint64 second = m_store->addMessage(context, noToken);
    QVERIFY(second >= 0 && second != id);
    noToken.setReceivedTime(noToken.receivedTime().addSecs(5));
    QCOMPARE(m_store->addMessage(context, noToken), second);
    noToken.setText(QStringLiteral("again and again"));
    QVERIFY(m_store->addMessage(context, noToken) > second);

    QCOMPARE(added.count(), 3);
    const HistoryThread thread = m_store->thread(m_store->threadId(context));
    QCOMPARE(thread.unreadCount(), 3);
    QCOMPARE(thread.lastText(), QStringLiteral("again and again"));
    QCOMPARE(thread.remoteIds(), QStringList{QStringLiteral("+358401234567")});
}

void TestHistoryStore::outgoingMessageFollowsItsFate()
{
    const ChatContext context(QStringLiteral("alice@example.com"), QStringLiteral("/org/freedesktop/Telepathy/Account/g/jabber/me"));
    const qint64 id = m_store->addMessage(context, outgoing(QStringLiteral("msg-7"), QStringLiteral("hello")));
    QVERIFY(id >= 0);
    QCOMPARE(m_store->message(id).state(), HistoryMessage::Sending);
    QSignalSpy changed(m_store.data(), &HistoryStore::messageChanged);
    QSignalSpy threadChanged(m_store.data(), &HistoryStore::threadChanged);

    QVERIFY(m_store->setMessageState(context, QStringLiteral("msg-7"), HistoryMessage::Failed, 3,
                                     QStringLiteral("org.freedesktop.Telepathy.Error.NetworkError")));
    HistoryMessage stored = m_store->message(id);
    QCOMPARE(stored.state(), HistoryMessage::Failed);
    QCOMPARE(stored.statusCode(), 3);
    QCOMPARE(stored.errorName(), QStringLiteral("org.freedesktop.Telepathy.Error.NetworkError"));
    QVERIFY(m_store->setMessageState(context, QStringLiteral("msg-7"), HistoryMessage::Retrying, 3));
    QVERIFY(m_store->setMessageState(context, QStringLiteral("msg-7"), HistoryMessage::Delivered));
    // A late "sent" does not undo the delivery report.
    QVERIFY(m_store->setMessageState(context, QStringLiteral("msg-7"), HistoryMessage::Sent));
    stored = m_store->message(id);
    QCOMPARE(stored.state(), HistoryMessage::Delivered);
    QCOMPARE(stored.statusCode(), 0);
    QVERIFY(stored.errorName().isEmpty());
    QCOMPARE(m_store->thread(stored.threadId()).lastState(), HistoryMessage::Delivered);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(threadChanged.count(), 3);
    QVERIFY(!m_store->setMessageState(context, QStringLiteral("unknown"), HistoryMessage::Sent));
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
