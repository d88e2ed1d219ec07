// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The persistent send queue end to end: Mission Control and the loopback
// connection manager on the test's private bus, the queue file under the
// run's own HOME. Every test starts without a queue folder.

#include "messagestatus.h"
#include "queuedmessagesender.h"
#include "queuefile.h"
#include "telepathytestenvironment.h"

#include <TelepathyQt/Constants>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

namespace {
const int Timeout = 10000;
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString Cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
// A new conversation for every test: the session manager leaves a request
// unanswered when it comes while the request of a conversation just closed
// is still finishing.
QString Bob;
int g_conversation = 0;

QString folder() { return QDir::homePath() + QStringLiteral("/.messaging-ui"); }
QString queueFile() { return folder() + QStringLiteral("/sendqueue.dat"); }

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The texts the file holds, in order; "<damaged>" when it does not load.
QStringList storedTexts()
{
    const QueueFile::Contents contents = QueueFile::decode(fileBytes(queueFile()));
    QStringList texts;
    for (const MessageContent &message : contents.messages)
        texts << message.message();
    if (contents.damaged)
        texts << QStringLiteral("<damaged>");
    return texts;
}

void writeQueueFile(const QByteArray &bytes)
{
    QDir().mkpath(folder());
    QFile file(queueFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

MessageContent text(const QString &message)
{
    return MessageContent(Im, Bob, message, false, 0);
}

// Files this process writes may not grow beyond bytes while it lives, as on
// a disk that refuses them (root included); SIGXFSZ ignored: write() fails.
struct FileSizeLimit
{
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &was);
        const rlimit limited{bytes, was.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &was); }
    rlimit was;
};

int mode(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Critical lines of the queue's logging category.
QStringList g_criticals;
QtMessageHandler g_previousHandler = nullptr;
void recordCriticals(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtCriticalMsg && qstrcmp(context.category, "messaging.sending.queue") == 0)
        g_criticals << message;
    g_previousHandler(type, context, message);
}
} // namespace

class QueuedMessageSenderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void savesAtOnceAndSendsFromTheEventLoop();
    void fileLosesEachMessageOnlyWithItsStatus();
    void answeredMessageLeavesTheFileWhileTheNextIsInFlight();
    void keepsMessageInFlightInTheFile();
    void choosesPartsThenVCardThenText();
    void emptyOrMissingFileSendsNothing_data();
    void emptyOrMissingFileSendsNothing();
    void damagedFileIsKeptAsideAndItsMessagesSent();
    void unreadableFileIsKeptAsideNotReplaced();
    void failedSaveIsReportedOnceWhileSendingGoesOn_data();
    void failedSaveIsReportedOnceWhileSendingGoesOn();
    void restartSendsStoredMessagesInOrderWithPrivateModes();
    void failedForgetSaveKeepsAnsweredMessagesForTheNextSave();
    void lockErrorKeepsTheFilesMessagesUntilTheLockWorks();

    void sortsStatusesIntoFinalAndTransient_data();
    void sortsStatusesIntoFinalAndTransient();
    void retryingQueueSendsEachMessageOnceAcrossAConnectionDrop();
    void twoQueuesInOneFileNeverOverwriteEachOther();

private:
    QStringList sentTexts() { return textsOf(m_env.control(Im).sentMessages()); }
    static QStringList textsOf(const QList<TestCmControl::SentMessage> &sent);

    TelepathyTestEnvironment m_env;
    QTemporaryDir m_files;
};

QStringList QueuedMessageSenderTest::textsOf(const QList<TestCmControl::SentMessage> &sent)
{
    QStringList texts;
    for (const TestCmControl::SentMessage &message : sent)
        texts << message.text();
    return texts;
}

void QueuedMessageSenderTest::initTestCase()
{
    g_previousHandler = qInstallMessageHandler(recordCriticals);
    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Im));
    QVERIFY(m_env.connectedAccount(Cellular));
}

void QueuedMessageSenderTest::cleanupTestCase()
{
    qInstallMessageHandler(g_previousHandler);
}

void QueuedMessageSenderTest::init()
{
    QFile::setPermissions(folder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::remove(folder());
    QDir(folder()).removeRecursively();
    m_env.control(Im).clearSentMessages();
    g_criticals.clear();
    Bob = QStringLiteral("bob%1@loop.test").arg(++g_conversation);
}

void QueuedMessageSenderTest::savesAtOnceAndSendsFromTheEventLoop()
{
    QueuedMessageSender queue;
    queue.createDataDirectory();
    QSignalSpy statuses(&queue, &QueuedMessageSender::messageStatusChanged);
    queue.sendMessage(text(QStringLiteral("one")));
    QCOMPARE(storedTexts(), QStringList{QStringLiteral("one")});
    QVERIFY(sentTexts().isEmpty());
    QVERIFY(statuses.wait(Timeout));
    QCOMPARE(statuses.first().at(1).toInt(), 0);
    QCOMPARE(statuses.first().at(0).value<MessageContent>().message(), QStringLiteral("one"));
    QCOMPARE(sentTexts(), QStringList{QStringLiteral("one")});
    QCOMPARE(fileBytes(queueFile()), QByteArray::fromHex("00000000"));
    QVERIFY(queue.messages().isEmpty());
}

void QueuedMessageSenderTest::fileLosesEachMessageOnlyWithItsStatus()
{
    QueuedMessageSender queue;
    queue.createDataDirectory();
    const QStringList all{QStringLiteral("1st"), QStringLiteral("2nd"), QStringLiteral("3rd")};
    QList<QStringList> fileAtEachStatus;
    QStringList sentAtEachStatus;
    connect(&queue, &QueuedMessageSender::messageStatusChanged, this, [&](const MessageContent &message, int status) {
        fileAtEachStatus << storedTexts();
        sentAtEachStatus << QStringLiteral("%1=%2").arg(message.message()).arg(status);
    });
    for (const QString &message : all)
        queue.sendMessage(text(message));
    QCOMPARE(storedTexts(), all);

    QTRY_COMPARE_WITH_TIMEOUT(sentAtEachStatus.size(), 3, Timeout);
    QCOMPARE(sentAtEachStatus, (QStringList{QStringLiteral("1st=0"), QStringLiteral("2nd=0"), QStringLiteral("3rd=0")}));
    // Every message still without a status is in the file; answered ones may
    // linger a moment (saves after statuses are gathered), never the other
    // way round.
    for (int i = 0; i < 3; ++i) {
        const QStringList &file = fileAtEachStatus.at(i);
        QVERIFY2(file.size() >= 2 - i && file == all.mid(3 - file.size()), qPrintable(file.join(QLatin1Char(','))));
    }
    QCOMPARE(fileAtEachStatus.last(), QStringList());
    QCOMPARE(sentTexts(), all);
}

void QueuedMessageSenderTest::answeredMessageLeavesTheFileWhileTheNextIsInFlight()
{
    // The second message cannot leave while the cellular account is down.
    QVERIFY(m_env.dropConnection(Cellular));
    QueuedMessageSender queue;
    queue.createDataDirectory();
    QSignalSpy statuses(&queue, &QueuedMessageSender::messageStatusChanged);
    queue.sendMessage(text(QStringLiteral("answered")));
    queue.sendMessage(MessageContent(Cellular, QStringLiteral("+358401000077"), QStringLiteral("stuck"), false, 0));
    QVERIFY(statuses.wait(Timeout));
    QTRY_COMPARE_WITH_TIMEOUT(storedTexts(), QStringList{QStringLiteral("stuck")}, 1000);
    QCOMPARE(statuses.size(), 1);
    QVERIFY(m_env.restoreConnection(Cellular));
    QVERIFY(statuses.wait(Timeout));
    QTRY_COMPARE_WITH_TIMEOUT(storedTexts(), QStringList(), 1000);
}

void QueuedMessageSenderTest::keepsMessageInFlightInTheFile()
{
    // The conversation cannot open while the account is down: the first
    // message stays in flight.
    QVERIFY(m_env.dropConnection(Im));
    QueuedMessageSender queue;
    queue.createDataDirectory();
    QSignalSpy statuses(&queue, &QueuedMessageSender::messageStatusChanged);
    queue.sendMessage(text(QStringLiteral("in flight")));
    QVERIFY(!statuses.wait(300));
    // A save while it is in flight (a crash right after it must not lose it).
    queue.sendMessage(text(QStringLiteral("waiting")));
    QCOMPARE(storedTexts(), (QStringList{QStringLiteral("in flight"), QStringLiteral("waiting")}));
    QCOMPARE(queue.messages().size(), 2);

    QVERIFY(m_env.restoreConnection(Im));
    QTRY_COMPARE_WITH_TIMEOUT(statuses.size(), 2, Timeout);
    QCOMPARE(sentTexts(), (QStringList{QStringLiteral("in flight"), QStringLiteral("waiting")}));
    QCOMPARE(storedTexts(), QStringList());
}

void QueuedMessageSenderTest::choosesPartsThenVCardThenText()
{
    QFile card(m_files.filePath(QStringLiteral("card.vcf")));
    QVERIFY(card.open(QIODevice::WriteOnly));
    card.write("BEGIN:VCARD\r\nFN:Bob\r\nEND:VCARD\r\n");
    card.close();

    MsgPartsList parts;
    parts << QMap<QString, QDBusVariant>();
    parts << QMap<QString, QDBusVariant>{{QStringLiteral("content-type"), QDBusVariant(QStringLiteral("text/plain"))},
                                         {QStringLiteral("content"), QDBusVariant(QStringLiteral("from parts"))}};
    MessageContent partsAndFlag(Im, Bob, parts, 0);
    partsAndFlag.setIsVCard(true);
    partsAndFlag.setMessage(QStringLiteral("/nonexistent/ignored.vcf"));

    // A value that is not plain data would not load again: that message is
    // sent but not stored, and the file stays loadable for the others.
    MsgPartsList unstorable = parts;
    unstorable[1].insert(QStringLiteral("date"), QDBusVariant(QDateTime::currentDateTimeUtc()));

    QueuedMessageSender queue;
    queue.createDataDirectory();
    QSignalSpy statuses(&queue, &QueuedMessageSender::messageStatusChanged);
    queue.sendMessage(MessageContent(Im, Bob, unstorable, 0));
    queue.sendMessage(partsAndFlag);
    queue.sendMessage(MessageContent(Im, Bob, card.fileName(), true, 0));
    queue.sendMessage(MessageContent(Im, Bob, m_files.filePath(QStringLiteral("missing.vcf")), true, 0));
    queue.sendMessage(text(QStringLiteral("plain")));
    QCOMPARE(storedTexts().size(), 4);
    QTRY_COMPARE_WITH_TIMEOUT(statuses.size(), 5, Timeout);

    QList<int> codes;
    for (const QList<QVariant> &status : qAsConst(statuses))
        codes << status.at(1).toInt();
    QCOMPARE(codes.mid(1), (QList<int>{0, 0, 23, 0}));
    QCOMPARE(storedTexts(), QStringList());
    QList<TestCmControl::SentMessage> sent = m_env.control(Im).sentMessages();
    if (codes.first() == 0)
        sent.removeFirst();
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent.at(0).text(), QStringLiteral("from parts"));
    QCOMPARE(sent.at(1).part(1).value(QStringLiteral("content-type")).toString(), QStringLiteral("text/x-vcard"));
    QCOMPARE(sent.at(1).part(1).value(QStringLiteral("content")).toByteArray(),
             QByteArray("BEGIN:VCARD\r\nFN:Bob\r\nEND:VCARD\r\n"));
    QCOMPARE(sent.at(2).text(), QStringLiteral("plain"));
    QCOMPARE(storedTexts(), QStringList());
}

void QueuedMessageSenderTest::emptyOrMissingFileSendsNothing_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::newRow("missing file") << false;
    QTest::newRow("count 0") << true;
}

void QueuedMessageSenderTest::emptyOrMissingFileSendsNothing()
{
    QFETCH(bool, fileExists);
    if (fileExists)
        writeQueueFile(QByteArray::fromHex("00000000"));
    QueuedMessageSender queue;
    queue.init();
    QVERIFY(queue.messages().isEmpty());
    QTest::qWait(200);
    QVERIFY(sentTexts().isEmpty());
    QCOMPARE(QDir(folder()).entryList(QDir::Files), fileExists ? QStringList{QStringLiteral("sendqueue.dat")} : QStringList());
}

void QueuedMessageSenderTest::damagedFileIsKeptAsideAndItsMessagesSent()
{
    const QByteArray whole = QueueFile::encode({text(QStringLiteral("a")), text(QStringLiteral("b")), text(QStringLiteral("c"))});
    const QByteArray damaged = whole.left(whole.size() - 3);
    writeQueueFile(damaged);

    QueuedMessageSender queue;
    QSignalSpy statuses(&queue, &QueuedMessageSender::messageStatusChanged);
    queue.init();
    // Right after loading, the file is healthy again and holds what loaded.
    QCOMPARE(storedTexts(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    const QStringList aside = QDir(folder()).entryList({QStringLiteral("sendqueue.dat.damaged-*")}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QCOMPARE(fileBytes(folder() + QLatin1Char('/') + aside.first()), damaged);

    QTRY_COMPARE_WITH_TIMEOUT(statuses.size(), 2, Timeout);
    QCOMPARE(sentTexts(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QCOMPARE(storedTexts(), QStringList());
    QCOMPARE(fileBytes(folder() + QLatin1Char('/') + aside.first()), damaged);
}

void QueuedMessageSenderTest::unreadableFileIsKeptAsideNotReplaced()
{
    // Something that exists under the file's name and cannot be read as a
    // file (root reads every file, so a folder stands in for it).
    QVERIFY(QDir().mkpath(queueFile() + QStringLiteral("/inside")));
    QueuedMessageSender queue;
    queue.init();
    const QStringList aside = QDir(folder()).entryList({QStringLiteral("sendqueue.dat.damaged-*")}, QDir::Dirs);
    QCOMPARE(aside.size(), 1);
    QVERIFY(QFileInfo::exists(folder() + QLatin1Char('/') + aside.first() + QStringLiteral("/inside")));
    queue.sendMessage(text(QStringLiteral("after")));
    QCOMPARE(storedTexts(), QStringList{QStringLiteral("after")});
    QSignalSpy statuses(&queue, &QueuedMessageSender::messageStatusChanged);
    QVERIFY(statuses.wait(Timeout));
}

void QueuedMessageSenderTest::failedSaveIsReportedOnceWhileSendingGoesOn_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("read-only folder") << true;
    QTest::newRow("a file where the folder belongs") << false;
}

void QueuedMessageSenderTest::failedSaveIsReportedOnceWhileSendingGoesOn()
{
    QFETCH(bool, readOnlyFolder);
    if (readOnlyFolder) {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QDir().mkpath(folder());
        QFile::setPermissions(folder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    } else {
        QFile blocker(folder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }

    QueuedMessageSender queue;
    queue.init();
    QSignalSpy statuses(&queue, &QueuedMessageSender::messageStatusChanged);
    queue.sendMessage(text(QStringLiteral("unsaved 1")));
    queue.sendMessage(text(QStringLiteral("unsaved 2")));
    QTRY_COMPARE_WITH_TIMEOUT(statuses.size(), 2, Timeout);
    QCOMPARE(sentTexts(), (QStringList{QStringLiteral("unsaved 1"), QStringLiteral("unsaved 2")}));
    QCOMPARE(g_criticals.size(), 1);
    QVERIFY2(g_criticals.first().contains(QLatin1String("cannot write the send queue")),
             qPrintable(g_criticals.first()));
    QVERIFY(!QFileInfo::exists(queueFile()));
}

void QueuedMessageSenderTest::restartSendsStoredMessagesInOrderWithPrivateModes()
{
    // A queue left by an earlier run, with the loose modes of older releases.
    writeQueueFile(QueueFile::encode({text(QStringLiteral("stored 1")), text(QStringLiteral("stored 2")),
                                      text(QStringLiteral("stored 3"))}));
    QFile::setPermissions(folder(), QFileDevice::Permissions(0x7755));
    QFile::setPermissions(queueFile(), QFileDevice::Permissions(0x6644));
    QCOMPARE(mode(folder()), 0755);

    QueuedMessageSender *queue = QueuedMessageSender::instance();
    QCOMPARE(queue->parent(), QCoreApplication::instance());
    QCOMPARE(QueuedMessageSender::instance(), queue);
    QCOMPARE(mode(folder()), 0700);
    QCOMPARE(mode(queueFile()), 0600);
    QTRY_COMPARE_WITH_TIMEOUT(sentTexts().size(), 3, Timeout);
    QCOMPARE(sentTexts(), (QStringList{QStringLiteral("stored 1"), QStringLiteral("stored 2"), QStringLiteral("stored 3")}));
    QTRY_COMPARE_WITH_TIMEOUT(storedTexts(), QStringList(), Timeout);
    QCOMPARE(mode(queueFile()), 0600);

    // A new folder and file are private from the start.
    QDir(folder()).removeRecursively();
    queue->createDataDirectory();
    queue->sendMessage(text(QStringLiteral("new")));
    QCOMPARE(mode(folder()), 0700);
    QCOMPARE(mode(queueFile()), 0600);
    QTRY_COMPARE_WITH_TIMEOUT(storedTexts(), QStringList(), Timeout);
}

void QueuedMessageSenderTest::failedForgetSaveKeepsAnsweredMessagesForTheNextSave()
{
    // Two big messages do not fit, one does: the save that forgets the
    // first answered message fails, the next one succeeds.
    const QString big(20000, QLatin1Char('x'));
    QScopedPointer<QueuedMessageSender> queue(new QueuedMessageSender);
    queue->init();
    QSignalSpy statuses(queue.data(), &QueuedMessageSender::messageStatusChanged);
    for (const QString &message : {QStringLiteral("small"), big + QLatin1Char('1'), big + QLatin1Char('2')})
        queue->sendMessage(text(message));
    {
        FileSizeLimit limit(60000);
        QTRY_COMPARE_WITH_TIMEOUT(statuses.size(), 3, Timeout);
        QTRY_COMPARE_WITH_TIMEOUT(storedTexts(), QStringList(), Timeout);
    }
    QCOMPARE(g_criticals.size(), 1);
    QVERIFY2(g_criticals.first().contains(QLatin1String("File too large")), qPrintable(g_criticals.first()));
    queue.reset();
    QueuedMessageSender next; // nothing is sent twice
    next.init();
    QVERIFY(next.messages().isEmpty());
    QCOMPARE(sentTexts().size(), 3);
}

void QueuedMessageSenderTest::lockErrorKeepsTheFilesMessagesUntilTheLockWorks()
{
    writeQueueFile(QueueFile::encode({text(QStringLiteral("shared"))}));
    QueuedMessageSender queue;
    QSignalSpy statuses(&queue, &QueuedMessageSender::messageStatusChanged);
    {
        FileSizeLimit limit(8); // the sending role's lock file cannot be written
        queue.init();
        QCOMPARE(g_criticals.size(), 1);
        QVERIFY2(g_criticals.first().contains(QLatin1String("cannot take the lock")), qPrintable(g_criticals.first()));
        QTest::qWait(1500);
        QVERIFY(sentTexts().isEmpty());
    }
    QVERIFY(statuses.wait(Timeout));
    QCOMPARE(sentTexts(), QStringList{QStringLiteral("shared")});
}

void QueuedMessageSenderTest::sortsStatusesIntoFinalAndTransient_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorName");
    QTest::addColumn<bool>("transient");
    const QString none;
    QTest::newRow("sent") << int(MessageStatus::Sent) << none << false;
    QTest::newRow("no such recipient") << int(MessageStatus::InvalidHandle) << none << false;
    QTest::newRow("too large") << int(MessageStatus::MessageTooLarge) << none << false;
    QTest::newRow("unreadable vCard") << int(MessageStatus::VCardUnreadable) << none << false;
    QTest::newRow("no such account") << int(MessageStatus::InvalidAccount) << none << false;
    QTest::newRow("refused by the manager") << int(MessageStatus::SendFailed) << QStringLiteral("com.example.Refused") << false;
    QTest::newRow("gave up") << int(MessageStatus::RetriesExhausted) << none << false;
    QTest::newRow("request refused") << int(MessageStatus::ChannelRequestFailed) << QString(TP_QT_ERROR_INVALID_HANDLE) << false;
    QTest::newRow("disconnected") << int(MessageStatus::Disconnected) << none << true;
    QTest::newRow("cancelled") << int(MessageStatus::Cancelled) << none << true;
    QTest::newRow("offline") << int(MessageStatus::Offline) << none << true;
    QTest::newRow("no channel") << int(MessageStatus::NoChannel) << none << true;
    QTest::newRow("no status in time") << int(MessageStatus::TimedOut) << none << true;
    QTest::newRow("account manager away") << int(MessageStatus::AccountManagerUnavailable) << none << true;
    QTest::newRow("request lost the network") << int(MessageStatus::ChannelRequestFailed) << QString(TP_QT_ERROR_NETWORK_ERROR) << true;
    QTest::newRow("send lost the connection") << int(MessageStatus::SendFailed) << QString(TP_QT_ERROR_DISCONNECTED) << true;
}

void QueuedMessageSenderTest::sortsStatusesIntoFinalAndTransient()
{
    QFETCH(int, status);
    QFETCH(QString, errorName);
    QFETCH(bool, transient);
    QCOMPARE(MessageStatus::isTransient(status, errorName), transient);
}

void QueuedMessageSenderTest::retryingQueueSendsEachMessageOnceAcrossAConnectionDrop()
{
    QueuedMessageSender queue;
    queue.createDataDirectory();
    queue.setRetryTransientFailures(true);
    QStringList finals;
    bool dropped = false;
    connect(&queue, &QueuedMessageSender::messageAttempted, this,
            [&](const QString &, const MessageContent &message, int status, bool willRetry) {
                if (willRetry)
                    return;
                finals << QStringLiteral("%1=%2").arg(message.message()).arg(status);
                // The connection goes while the rest of the queue is on its way.
                if (!dropped) {
                    dropped = true;
                    m_env.control(Im).dropConnection(QStringLiteral("/"));
                }
            });
    QStringList all;
    for (int n = 1; n <= 5; ++n) {
        all << QStringLiteral("m%1").arg(n);
        queue.sendMessage(text(all.last()));
    }
    // Restored once the drop shows, whatever the queue is doing then: a
    // message handed over after it waits for the account, with no status.
    const Tp::AccountPtr account = m_env.account(Im);
    QTRY_VERIFY_WITH_TIMEOUT((dropped && account->connectionStatus() != Tp::ConnectionStatusConnected)
                                 || finals.size() == 5, Timeout);
    QVERIFY(m_env.restoreConnection(Im));
    QTRY_COMPARE_WITH_TIMEOUT(finals.size(), 5, 3 * Timeout);
    QCOMPARE(finals, (QStringList{QStringLiteral("m1=0"), QStringLiteral("m2=0"), QStringLiteral("m3=0"),
                                  QStringLiteral("m4=0"), QStringLiteral("m5=0")}));
    QCOMPARE(sentTexts(), all);
    QTRY_COMPARE_WITH_TIMEOUT(storedTexts(), QStringList(), Timeout);
}

void QueuedMessageSenderTest::twoQueuesInOneFileNeverOverwriteEachOther()
{
    // The account is down: what the sending queue has stays in flight.
    QVERIFY(m_env.dropConnection(Im));
    QueuedMessageSender sending;
    QueuedMessageSender adding;
    sending.init();
    adding.init();
    sending.sendMessage(text(QStringLiteral("first")));
    QTRY_COMPARE_WITH_TIMEOUT(sending.sendingProcessId(), QCoreApplication::applicationPid(), Timeout);
    // The other queue adds behind it and learns of what is there.
    adding.sendMessage(text(QStringLiteral("second")));
    QCOMPARE(storedTexts(), (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    QCOMPARE(adding.messages().size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(sending.messages().size(), 2, Timeout);

    QSignalSpy statuses(&sending, &QueuedMessageSender::messageStatusChanged);
    QVERIFY(m_env.restoreConnection(Im));
    QTRY_COMPARE_WITH_TIMEOUT(statuses.size(), 2, Timeout);
    QCOMPARE(sentTexts(), (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    QTRY_COMPARE_WITH_TIMEOUT(storedTexts(), QStringList(), Timeout);
    QTRY_VERIFY_WITH_TIMEOUT(adding.messages().isEmpty(), Timeout);
}

QTEST_GUILESS_MAIN(QueuedMessageSenderTest)
#include "tst_queuedmessagesender.moc"
