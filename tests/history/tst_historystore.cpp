// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "accountpaths.h"
#include "historystore_p.h"
#include "phonenumberutils.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

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
    void replyStampedToTheSecondSortsAfterWhatItAnswers();
    void unreadCountsFollowAnySequenceOfChanges();
    void threadsArePagedByKeyAndFiltered();
    void hostileSearchTextIsSearchedAsWords_data();
    void hostileSearchTextIsSearchedAsWords();
    void earlierVersionFileOpensWithItsHistory_data();
    void earlierVersionFileOpensWithItsHistory();
    void fileOfALaterVersionIsLeftAlone();
    void damagedFileIsKeptAsideAndANewOneStarted();
    void fileAndFolderAreTheOwnersOnly();
    void queriesNeverScanAWholeTable();

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

void TestHistoryStore::replyStampedToTheSecondSortsAfterWhatItAnswers()
{
    // Connection managers stamp received messages to the second.
    const ChatContext bob(QStringLiteral("bob@example.com"), AccountPaths::Cellular);
    const qint64 question = m_store->addMessage(bob, outgoing(QStringLiteral("q"), QStringLiteral("Lunch?")));
    HistoryMessage reply = incoming(bob.remoteUid(), QStringLiteral("Yes!"), QStringLiteral("r"));
    reply.setReceivedTime(QDateTime::fromSecsSinceEpoch(m_store->message(question).time().toSecsSinceEpoch(), Qt::UTC));
    const qint64 id = m_store->addMessage(bob, reply);
    const qint64 thread = m_store->threadId(bob);
    QCOMPARE(m_store->thread(thread).lastText(), QStringLiteral("Yes!"));
    QCOMPARE(m_store->messages(thread).first().id(), id); // newest first
    // Handed over again (the other process), it is the same message.
    QCOMPARE(m_store->addMessage(bob, reply), id);
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

    // A delivery report read by another process names the connection
    // manager's token, kept when the message was sent.
    const qint64 next = m_store->addMessage(context, outgoing(QStringLiteral("msg-8"), QStringLiteral("again")));
    QVERIFY(m_store->setMessageState(context, QStringLiteral("msg-8"), HistoryMessage::Sent, 0, QString(),
                                     QStringLiteral("cm-token-8")));
    QVERIFY(m_store->setMessageState(context, QStringLiteral("cm-token-8"), HistoryMessage::Delivered));
    QCOMPARE(m_store->message(next).state(), HistoryMessage::Delivered);
}

namespace {
int warnings = 0;
QtMessageHandler previousHandler = nullptr;
void countWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type >= QtWarningMsg && qstrcmp(context.category, "messaging.history") == 0)
        ++warnings;
    previousHandler(type, context, text);
}

int unreadRows(HistoryStore *store, qint64 threadId)
{
    int unread = 0;
    HistoryMessage before;
    for (QList<HistoryMessage> page; !(page = store->messages(threadId, 7, before)).isEmpty();) {
        for (const HistoryMessage &m : qAsConst(page))
            unread += m.isRead() ? 0 : 1;
        before = page.constLast();
    }
    return unread;
}
} // namespace

// The counters kept beside the rows never drift, whatever happens.
void TestHistoryStore::unreadCountsFollowAnySequenceOfChanges()
{
    QRandomGenerator random(QRandomGenerator::global()->generate());
    const quint32 seed = random.generate();
    random.seed(seed);
    const QStringList numbers{QStringLiteral("+358401111111"), QStringLiteral("0402222222"),
                              QStringLiteral("+358 40 333 3333")};
    QList<qint64> ids;
    for (int step = 0; step < 400; ++step) {
        const ChatContext context(numbers.at(random.bounded(numbers.size())), AccountPaths::Cellular);
        const int op = random.bounded(10);
        if (op < 5) {
            // Sometimes an older message arrives late, sometimes one again.
            HistoryMessage m = incoming(context.remoteUid(), QStringLiteral("m%1").arg(step),
                                        QStringLiteral("t%1").arg(random.bounded(step + 1)));
            m.setReceivedTime(QDateTime::fromMSecsSinceEpoch(1700000000000 + random.bounded(100000), Qt::UTC));
            ids << m_store->addMessage(context, m);
        } else if (op < 7) {
            ids << m_store->addMessage(context, outgoing(QStringLiteral("o%1").arg(step), QStringLiteral("out")));
        } else if (op == 7 && !ids.isEmpty()) {
            m_store->markRead({ids.at(random.bounded(ids.size())), ids.at(random.bounded(ids.size()))});
        } else if (op == 8 && !ids.isEmpty()) {
            m_store->removeMessages({ids.takeAt(random.bounded(ids.size()))});
        } else if (random.bounded(4) == 0) {
            m_store->markRead(m_store->threadId(context));
        }
    }
    const QList<HistoryThread> threads = m_store->threads(HistoryStore::ThreadFilter());
    QCOMPARE(threads.size(), numbers.size());
    for (const HistoryThread &t : threads) {
        QVERIFY2(t.unreadCount() == unreadRows(m_store.data(), t.id()), qPrintable(QString::number(seed)));
        const QList<HistoryMessage> newest = m_store->messages(t.id(), 1);
        QCOMPARE(t.lastMessageId(), newest.isEmpty() ? qint64(-1) : newest.first().id());
    }
}

void TestHistoryStore::threadsArePagedByKeyAndFiltered()
{
    const QString im = QStringLiteral("/org/freedesktop/Telepathy/Account/g/jabber/me");
    for (int i = 0; i < 25; ++i) {
        const bool sms = i % 2 == 0;
        const ChatContext c(sms ? QStringLiteral("+35840%1").arg(1000000 + i) : QStringLiteral("friend%1@example.com").arg(i),
                            sms ? AccountPaths::Cellular : im);
        HistoryMessage m = incoming(c.remoteUid(), QStringLiteral("hi"), QStringLiteral("t"));
        m.setReceivedTime(QDateTime::fromMSecsSinceEpoch(1700000000000 + (i % 5) * 1000, Qt::UTC)); // ties
        m.setRead(i % 3 != 0);
        QVERIFY(m_store->addMessage(c, m) >= 0);
    }
    auto all = [this](const HistoryStore::ThreadFilter &f) {
        QList<HistoryThread> result;
        HistoryThread after;
        for (QList<HistoryThread> page; !(page = m_store->threads(f, 4, after)).isEmpty(); after = page.constLast())
            result += page;
        return result;
    };
    const QList<HistoryThread> threads = all(HistoryStore::ThreadFilter());
    QCOMPARE(threads.size(), 25);
    for (int i = 1; i < threads.size(); ++i) {
        const HistoryThread &a = threads.at(i - 1), &b = threads.at(i);
        QVERIFY(a.lastTime() > b.lastTime() || (a.lastTime() == b.lastTime() && a.id() > b.id()));
    }
    HistoryStore::ThreadFilter f;
    f.accountPath = AccountPaths::Mms; // one with the SMS account
    QCOMPARE(all(f).size(), 13);
    f.unreadOnly = true;
    QCOMPARE(all(f).size(), 5);
    f = HistoryStore::ThreadFilter();
    f.text = QStringLiteral("FRIEND1");
    QCOMPARE(all(f).size(), 1 + 5); // friend1, friend11 … friend19 of the odd ones
    f.text = QStringLiteral("\"");
    QVERIFY(all(f).isEmpty());
}

void TestHistoryStore::hostileSearchTextIsSearchedAsWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("hits");
    QTest::newRow("quote") << "\"" << 0;
    QTest::newRow("AND (") << "AND (" << 1;
    QTest::newRow("NEAR(") << "NEAR(" << 1;
    QTest::newRow("star") << "*" << 0;
    QTest::newRow("minus") << "-" << 0;
    QTest::newRow("colon") << ":" << 0;
    QTest::newRow("column filter") << "text:cafe" << 0;
    QTest::newRow("quoted word") << "\"cafe\"" << 2;
    QTest::newRow("unbalanced") << "((cafe" << 2;
    QTest::newRow("NOT") << "cafe NOT" << 1;
    QTest::newRow("prefix, diacritics, case") << "CAF" << 2;
    QTest::newRow("accented query") << "Café" << 2;
    QTest::newRow("NUL") << QString::fromUtf8("caf\0an", 6) << 1; // "caf" and "an" as prefixes
    QTest::newRow("every word") << "cafe and" << 1;
}

void TestHistoryStore::hostileSearchTextIsSearchedAsWords()
{
    QFETCH(QString, text);
    QFETCH(int, hits);
    const ChatContext c(QStringLiteral("+358401234567"), AccountPaths::Cellular);
    m_store->addMessage(c, incoming(c.remoteUid(), QStringLiteral("Café and near the station, NOT far"), QStringLiteral("1")));
    m_store->addMessage(c, incoming(c.remoteUid(), QStringLiteral("cafeteria"), QStringLiteral("2")));
    m_store->addMessage(c, incoming(c.remoteUid(), QStringLiteral("*** -- ::"), QStringLiteral("3")));
    warnings = 0;
    previousHandler = qInstallMessageHandler(countWarnings);
    const QList<HistoryMessage> found = m_store->search(text);
    qInstallMessageHandler(previousHandler);
    QCOMPARE(warnings, 0);
    QCOMPARE(found.size(), hits);
    if (hits > 0)
        QVERIFY(found.first().snippet().contains(QLatin1Char('[')));
}

void TestHistoryStore::earlierVersionFileOpensWithItsHistory_data()
{
    QTest::addColumn<int>("version");
    QTest::newRow("version 1") << 1;
    QTest::newRow("version 2") << 2;
}

void TestHistoryStore::earlierVersionFileOpensWithItsHistory()
{
    QFETCH(int, version);
    const QString path = m_dir->filePath(QStringLiteral("earlier.db"));
    QVERIFY(QFile::copy(QStringLiteral(HISTORY_TEST_DATA "/history-v%1.db").arg(version), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    HistoryStore store(path);
    QVERIFY(store.isOpen());
    // Migrated step by step, the earlier version's file kept beside it.
    QVERIFY(QFile::exists(path + QStringLiteral(".v%1").arg(version)));
    const ChatContext sms(QStringLiteral("+358 40 123 4567"), AccountPaths::Mms);
    const HistoryThread thread = store.thread(store.threadId(sms));
    QCOMPARE(thread.remoteIds(), QStringList{QStringLiteral("040 123 4567")});
    QCOMPARE(thread.unreadCount(), 1);
    QCOMPARE(thread.lastState(), HistoryMessage::Delivered);
    const QList<HistoryMessage> messages = store.messages(thread.id());
    QCOMPARE(messages.at(1).parts().size(), 1);
    QCOMPARE(messages.at(1).parts().first().mimeType, QStringLiteral("text/vcard"));
    QCOMPARE(messages.at(1).sentTime(), QDateTime::fromMSecsSinceEpoch(1767225600000, Qt::UTC));
    const QList<HistoryMessage> failed = store.search(QStringLiteral("bob"));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().errorName(), QStringLiteral("org.freedesktop.Telepathy.Error.Offline"));
    QCOMPARE(store.thread(failed.first().threadId()).draft(), QStringLiteral("unsent words"));
    QCOMPARE(store.search(QStringLiteral("yhdeksan")).size(), 1);
    QVERIFY(store.addMessage(sms, incoming(sms.remoteUid(), QStringLiteral("new"))) >= 0);
}

void TestHistoryStore::fileOfALaterVersionIsLeftAlone()
{
    const QString path = m_dir->filePath(QStringLiteral("later.db"));
    {
        HistoryStore store(path);
        QSqlQuery(QSqlDatabase::database(HistoryStorePrivate::get(&store)->connectionName))
            .exec(QStringLiteral("PRAGMA user_version = 99"));
    }
    HistoryStore later(path);
    QVERIFY(!later.isOpen());
    QCOMPARE(later.addMessage(ChatContext(QStringLiteral("a"), QStringLiteral("/b")), incoming(QStringLiteral("a"), QStringLiteral("x"))), qint64(-1));
    QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("later.db.*")}), QStringList());
}

void TestHistoryStore::damagedFileIsKeptAsideAndANewOneStarted()
{
    const QString path = m_dir->filePath(QStringLiteral("damaged.db"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray garbage = QByteArray("not a history file, ") + QByteArray(5000, 'x');
    file.write(garbage);
    file.close();
    HistoryStore store(path);
    QVERIFY(store.isOpen());
    const QStringList aside = QDir(m_dir->path()).entryList({QStringLiteral("damaged.db.damaged-*")});
    QCOMPARE(aside.size(), 1);
    QFile kept(m_dir->filePath(aside.first()));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), garbage);
    QVERIFY(store.addMessage(ChatContext(QStringLiteral("a"), QStringLiteral("/b")), incoming(QStringLiteral("a"), QStringLiteral("x"))) >= 0);
}

void TestHistoryStore::fileAndFolderAreTheOwnersOnly()
{
    qputenv("XDG_DATA_HOME", m_dir->filePath(QStringLiteral("data")).toLocal8Bit());
    const QString path = HistoryStore::defaultPath();
    qunsetenv("XDG_DATA_HOME");
    QCOMPARE(path, m_dir->filePath(QStringLiteral("data/messaging0/history.db")));
    HistoryStore store(path);
    QVERIFY(store.isOpen());
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
    QCOMPARE(::stat(QFile::encodeName(QFileInfo(path).path()).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0700u);
}

// Every statement the store prepared while serving each kind of call, as
// SQLite plans it for a large history (no statistics: SQLite then assumes
// big tables): none reads a whole table.
void TestHistoryStore::queriesNeverScanAWholeTable()
{
    const ChatContext c(QStringLiteral("+358401234567"), AccountPaths::Cellular);
    const qint64 id = m_store->addMessage(c, incoming(c.remoteUid(), QStringLiteral("hello there"), QStringLiteral("1")));
    const qint64 other = m_store->addMessage(c, outgoing(QStringLiteral("2"), QStringLiteral("hello back")));
    m_store->setMessageState(c, QStringLiteral("2"), HistoryMessage::Sent);
    const qint64 t = m_store->threadId(c);
    const HistoryThread thread = m_store->thread(t);
    HistoryStore::ThreadFilter f;
    for (int mask = 0; mask < 8; ++mask) {
        f.accountPath = mask & 1 ? c.accountPath() : QString();
        f.unreadOnly = mask & 2;
        f.text = mask & 4 ? QStringLiteral("358") : QString();
        m_store->threads(f);
        m_store->threads(f, 50, thread);
        m_store->threadMatches(t, f);
    }
    m_store->messagesAround(id, 5);
    m_store->messageId(c, QStringLiteral("1"));
    m_store->search(QStringLiteral("hello"));
    m_store->search(QStringLiteral("hello"), 50, other);
    m_store->search(QStringLiteral("hello"), 50, -1, t);
    m_store->search(QStringLiteral("hello"), 50, other, t);
    m_store->markRead(QList<qint64>{id});
    m_store->markRead(t);
    m_store->setDraft(t, QStringLiteral("draft"));
    m_store->removeMessages({other});
    m_store->removeThread(t);

    const QStringList statements = [this] {
        QStringList list;
        const auto keys = HistoryStorePrivate::get(m_store.data())->statements.keys();
        for (const char *sql : keys)
            list << QString::fromUtf8(sql);
        return list;
    }();
    QVERIFY(statements.size() > 30);
    for (const QString &sql : statements) {
        if (!sql.startsWith(QLatin1String("SELECT")) && !sql.startsWith(QLatin1String("UPDATE"))
            && !sql.startsWith(QLatin1String("DELETE")))
            continue;
        QProcess sqlite;
        sqlite.start(QStringLiteral("sqlite3"), {m_store->path(), QStringLiteral("EXPLAIN QUERY PLAN ") + sql});
        QVERIFY(sqlite.waitForFinished());
        const QString plan = QString::fromUtf8(sqlite.readAll());
        QVERIFY2(sqlite.exitCode() == 0 && !plan.isEmpty(), qPrintable(sql));
        for (const QString &line : plan.split(QLatin1Char('\n'))) {
            const QRegularExpression scan(QStringLiteral("SCAN (\\w+)( |$)"));
            const QRegularExpressionMatch m = scan.match(line);
            const bool ordered = line.contains(QLatin1String("USING INDEX")) || line.contains(QLatin1String("USING COVERING INDEX"))
                                 || line.contains(QLatin1String("VIRTUAL TABLE"));
            QVERIFY2(!m.hasMatch() || ordered, qPrintable(sql + QLatin1Char('\n') + plan));
        }
    }
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
