// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "sameconversation.h"
#include "chatsessionerror.h"
#include "phonenumberutils.h"

#include <QHash>
#include <QtTest>

namespace {
const QString Sms = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
const QString Mms = QStringLiteral("/org/freedesktop/Telepathy/Account/vexo/mms/mms0");
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
}

// Conversation names and failure descriptions.
class TestChatContext : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { PhoneNumberUtils::setDefaultRegion(QStringLiteral("FI")); }

    void defaultContextNamesNothing();
    void copiesAreIndependentValues();
    void cellularMeansTheSmsOrMmsAccount_data();
    void cellularMeansTheSmsOrMmsAccount();
    void equality_data();
    void equality();
    void emptyRemoteUidMatchesOnlyOnTheRight();
    void hashUsesRawFieldsIncludingConversationId();
    void conversationKeyFilesWhatIsTheSameConversationTogether_data();
    void conversationKeyFilesWhatIsTheSameConversationTogether();

    void errorNamesMapToTypes_data();
    void errorNamesMapToTypes();
    void errorKeepsItsMembers();
};

void TestChatContext::defaultContextNamesNothing()
{
    const ChatContext c;
    QVERIFY(c.remoteUid().isNull());
    QVERIFY(c.accountPath().isNull());
    QCOMPARE(c.chatType(), OneToOneChat);
    QCOMPARE(c.conversationId(), -1);
    QVERIFY(!c.isCellular());
}

// A context handed to a request must not change when the caller reuses its
// own copy.
void TestChatContext::copiesAreIndependentValues()
{
    const ChatContext original(QStringLiteral("+358401234567"), Sms, RoomChat, 7);
    ChatContext copy = original;
    copy.setRemoteUid(QStringLiteral("bob"));
    copy.setAccountPath(Im);
    copy.setChatType(AdHocGroupChat);
    copy.setConversationId(9);
    QCOMPARE(original.remoteUid(), QStringLiteral("+358401234567"));
    QCOMPARE(original.accountPath(), Sms);
    QCOMPARE(original.chatType(), RoomChat);
    QCOMPARE(original.conversationId(), 7);
    QCOMPARE(copy.remoteUid(), QStringLiteral("bob"));
    QCOMPARE(copy.conversationId(), 9);
}

void TestChatContext::cellularMeansTheSmsOrMmsAccount_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("cellular");
    QTest::newRow("sms") << Sms << true;
    QTest::newRow("mms") << Mms << true;
    QTest::newRow("im") << Im << false;
    QTest::newRow("short sms path") << "tala/tel/tala" << false;
    QTest::newRow("trailing slash") << Sms + QLatin1Char('/') << false;
    QTest::newRow("other case") << Sms.toUpper() << false;
}

void TestChatContext::cellularMeansTheSmsOrMmsAccount()
{
    QFETCH(QString, path);
    QFETCH(bool, cellular);
    QCOMPARE(ChatContext(QStringLiteral("bob"), path).isCellular(), cellular);
}

void TestChatContext::equality_data()
{
    QTest::addColumn<ChatContext>("a");
    QTest::addColumn<ChatContext>("b");
    QTest::addColumn<bool>("equal");

    const QString number = QStringLiteral("+358401234567");
    QTest::newRow("same") << ChatContext(number, Sms) << ChatContext(number, Sms) << true;
    QTest::newRow("sms equals mms") << ChatContext(number, Mms) << ChatContext(number, Sms) << true;
    QTest::newRow("national form") << ChatContext(number, Sms) << ChatContext(QStringLiteral("040 123 4567"), Sms) << true;
    QTest::newRow("other number") << ChatContext(number, Sms) << ChatContext(QStringLiteral("0401234568"), Sms) << false;
    QTest::newRow("other account") << ChatContext(number, Sms) << ChatContext(number, Im) << false;
    QTest::newRow("other chat type") << ChatContext(number, Sms, OneToOneChat) << ChatContext(number, Sms, RoomChat) << false;
    QTest::newRow("conversation id ignored") << ChatContext(number, Sms, OneToOneChat, 1) << ChatContext(number, Sms, OneToOneChat, 2) << true;
    QTest::newRow("im ids differ") << ChatContext(QStringLiteral("alice"), Im) << ChatContext(QStringLiteral("bob"), Im) << false;
    QTest::newRow("short code not a suffix") << ChatContext(QStringLiteral("12345"), Sms) << ChatContext(QStringLiteral("+35812345"), Sms) << false;
}

void TestChatContext::equality()
{
    QFETCH(ChatContext, a);
    QFETCH(ChatContext, b);
    QFETCH(bool, equal);
    QCOMPARE(a == b, equal);
    QCOMPARE(a != b, !equal);
}

void TestChatContext::emptyRemoteUidMatchesOnlyOnTheRight()
{
    const ChatContext any(QString(), Sms);
    const ChatContext bob(QStringLiteral("bob"), Mms);
    QVERIFY(bob == any);
    QVERIFY(!(any == bob));
    QVERIFY(any != bob);
    QVERIFY(!(bob == ChatContext(QString(), Im)));
    QVERIFY(!(bob == ChatContext(QString(), Sms, RoomChat)));
}

void TestChatContext::hashUsesRawFieldsIncludingConversationId()
{
    const ChatContext a(QStringLiteral("bob"), Im, OneToOneChat, 1);
    const ChatContext b(QStringLiteral("bob"), Im, OneToOneChat, 2);
    QVERIFY(a == b);
    QVERIFY(qHash(a) != qHash(b));
    QCOMPARE(qHash(a), qHash(ChatContext(QStringLiteral("bob"), Im, OneToOneChat, 1)));

    QHash<ChatContext, int> table;
    table.insert(a, 1);
    QCOMPARE(table.value(ChatContext(QStringLiteral("bob"), Im, OneToOneChat, 1)), 1);
    QVERIFY(!table.contains(ChatContext(QStringLiteral("bob"), Im, OneToOneChat, 2)));
}

void TestChatContext::conversationKeyFilesWhatIsTheSameConversationTogether_data()
{
    QTest::addColumn<ChatContext>("a");
    QTest::addColumn<ChatContext>("b");
    QTest::addColumn<bool>("same");

    const QString number = QStringLiteral("+358401234567");
    QTest::newRow("national form") << ChatContext(number, Sms) << ChatContext(QStringLiteral("040 123 4567"), Sms) << true;
    QTest::newRow("conversation id") << ChatContext(number, Sms, OneToOneChat, 1) << ChatContext(number, Sms) << true;
    // Equal as contexts, but each account has its own channels.
    QTest::newRow("sms and mms") << ChatContext(number, Mms) << ChatContext(number, Sms) << false;
    QTest::newRow("other number") << ChatContext(number, Sms) << ChatContext(QStringLiteral("0401234568"), Sms) << false;
    QTest::newRow("other chat type") << ChatContext(number, Sms) << ChatContext(number, Sms, RoomChat) << false;
}

void TestChatContext::conversationKeyFilesWhatIsTheSameConversationTogether()
{
    QFETCH(ChatContext, a);
    QFETCH(ChatContext, b);
    QFETCH(bool, same);
    QCOMPARE(isSameConversation(a, b), same);
    // The tables that file contexts by key find one another's entries.
    if (same) {
        QVERIFY(conversationKey(a) == conversationKey(b));
        QCOMPARE(qHash(conversationKey(a)), qHash(conversationKey(b)));
    }
}

void TestChatContext::errorNamesMapToTypes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::newRow("disconnected") << "org.freedesktop.Telepathy.Error.Disconnected" << 3;
    QTest::newRow("invalid handle") << "org.freedesktop.Telepathy.Error.InvalidHandle" << 7;
    QTest::newRow("does not exist") << "org.freedesktop.Telepathy.Error.DoesNotExist" << 7;
    QTest::newRow("not yours") << "org.freedesktop.Telepathy.Error.NotYours" << 10;
    QTest::newRow("cancelled") << "org.freedesktop.Telepathy.Error.Cancelled" << 4;
    QTest::newRow("offline") << "org.freedesktop.Telepathy.Error.Offline" << 8;
    QTest::newRow("unknown") << "org.freedesktop.Telepathy.Error.NotAvailable" << 1;
    QTest::newRow("prefix only") << "org.freedesktop.Telepathy.Error.Offline.Extra" << 1;
    QTest::newRow("other case") << "org.freedesktop.telepathy.error.offline" << 1;
    QTest::newRow("empty") << "" << 1;
}

void TestChatContext::errorNamesMapToTypes()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    const ChatSessionError error(name, QStringLiteral("msg"), QString(), QString(), QString());
    QCOMPARE(int(error.type()), type);
    QVERIFY(error.isValid());
}

void TestChatContext::errorKeepsItsMembers()
{
    ChatSessionError error(ChatSessionError::NoError, QStringLiteral("m"), QStringLiteral("/req"),
                           Sms, QStringLiteral("bob"));
    QVERIFY(!error.isValid());
    QCOMPARE(error.message(), QStringLiteral("m"));
    QCOMPARE(error.request(), QStringLiteral("/req"));
    QCOMPARE(error.account(), Sms);
    QCOMPARE(error.remoteId(), QStringLiteral("bob"));
    ChatSessionError copy = error;
    copy.setType(ChatSessionError::ChannelRequestError);
    copy.setMessage(QString());
    QVERIFY(copy.isValid());
    QCOMPARE(error.message(), QStringLiteral("m"));
}

QTEST_GUILESS_MAIN(TestChatContext)
#include "tst_chatcontext.moc"
