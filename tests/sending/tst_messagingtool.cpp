// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The messaging command-line program, run as a separate process against
// the test's Mission Control and connection managers.

#include "telepathytestenvironment.h"
#include "programrun.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
const QString Cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");

using Run = ProgramRun;

Run runTool(const QStringList &arguments, const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
            const QByteArray &input = QByteArray())
{
    return runProgram(QStringLiteral(MESSAGING_TOOL), arguments, environment, input);
}
} // namespace

class MessagingToolTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void refusesBadInput_data();
    void refusesBadInput();
    void reportsMissingSessionBus();
    void listsAccounts();
    void printsEachStatusInOrder();
    void exitsNonZeroWhenAMessageFails();
    void timesOutOnAccountThatNeverConnects();
    void timeoutBoundsConnectingToABusThatNeverAnswers();
    void readsTextsFromFilesAndStandardInput();
    void printsReasonAndTooLargeStatus();

private:
    TelepathyTestEnvironment m_env;
    QTemporaryDir m_dir;
};

void MessagingToolTest::initTestCase()
{
    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Cellular));
}

void MessagingToolTest::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QString empty = m_dir.filePath(QStringLiteral("empty.vcf"));
    QFile(empty).open(QIODevice::WriteOnly);

    QTest::newRow("no command") << QStringList() << 2 << "no command given";
    QTest::newRow("unknown command") << QStringList{"fly"} << 2 << "unknown command 'fly'";
    QTest::newRow("empty recipient")
        << QStringList{"send", "--account", "tala/tel/tala", "--to", " ", "--text", "x"} << 2
        << "the recipient is empty";
    QTest::newRow("no account") << QStringList{"send", "--to", "+358401", "--text", "x"} << 2
                                << "no account given";
    QTest::newRow("nothing to send") << QStringList{"send", "--account", "tala/tel/tala", "--to", "+358401"}
                                     << 2 << "nothing to send";
    QTest::newRow("missing vCard")
        << QStringList{"send", "--account", "tala/tel/tala", "--to", "+358401", "--vcard", "/nonexistent.vcf"}
        << 2 << "cannot read vCard file /nonexistent.vcf";
    QTest::newRow("empty vCard")
        << QStringList{"send", "--account", "tala/tel/tala", "--to", "+358401", "--vcard", empty} << 2
        << "cannot read vCard file";
    QTest::newRow("bad timeout")
        << QStringList{"send", "--account", "tala/tel/tala", "--to", "+358401", "--text", "x", "--timeout", "0"}
        << 2 << "--timeout needs a positive number";
    QTest::newRow("unknown account")
        << QStringList{"send", "--account", "nowhere/none/x0", "--to", "+358401", "--text", "x"} << 3
        << "no account /org/freedesktop/Telepathy/Account/nowhere/none/x0";
}

void MessagingToolTest::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Run run = runTool(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void MessagingToolTest::reportsMissingSessionBus()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    const Run run = runTool({QStringLiteral("accounts")}, environment);
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains(QLatin1String("no D-Bus session bus")), qPrintable(run.err));

    for (const QString &command : {QStringLiteral("send"), QStringLiteral("accounts")}) {
        const Run help = runTool({command, QStringLiteral("--help")}, environment);
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(QLatin1String("--timeout")));
        QVERIFY2(help.out.startsWith(QStringLiteral("Usage: messaging %1 [options]\n").arg(command)),
                 qPrintable(help.out));
    }
}

void MessagingToolTest::listsAccounts()
{
    // Through the account model: the SMS entry stands for the cellular and
    // MMS accounts; one line per other account.
    const Run run = runTool({QStringLiteral("accounts")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QStringLiteral("tala/tel/tala\t-\tSMS and MMS\t-\t-\tenabled"));
    // Sorted by service (none here) and name; alice is online.
    QCOMPARE(lines.at(1), QStringLiteral("loopback/loop/alice0\tAlice\t-\tavailable\t-\tenabled"));
    QVERIFY2(lines.at(2).startsWith(QLatin1String("loopback/loop/bob0\tBob\t-\t")), qPrintable(lines.at(2)));
    QVERIFY(lines.at(2).endsWith(QLatin1String("\tdisabled")));
}

void MessagingToolTest::printsEachStatusInOrder()
{
    QFile card(m_dir.filePath(QStringLiteral("card.vcf")));
    QVERIFY(card.open(QIODevice::WriteOnly));
    card.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nEND:VCARD\r\n");
    card.close();
    m_env.control(Cellular).clearSentMessages();

    const Run run = runTool({QStringLiteral("send"), QStringLiteral("--account"), QStringLiteral("tala/tel/tala"),
                             QStringLiteral("--to"), QStringLiteral("+358 40 100 0020"),
                             QStringLiteral("--text"), QStringLiteral("first"),
                             QStringLiteral("--vcard"), card.fileName(),
                             QStringLiteral("--text=third")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("[1] text \"first\": sent\n[2] vCard %1: sent\n[3] text \"third\": sent\n")
                          .arg(card.fileName()));
    const QList<TestCmControl::SentMessage> sent = m_env.control(Cellular).sentMessages();
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent.at(0).text(), QStringLiteral("first"));
    QCOMPARE(sent.at(1).part(1).value(QStringLiteral("content-type")).toString(), QStringLiteral("text/x-vcard"));
    QCOMPARE(sent.at(2).text(), QStringLiteral("third"));
}

void MessagingToolTest::exitsNonZeroWhenAMessageFails()
{
    m_env.control(Cellular).failNextSend();
    const Run run = runTool({QStringLiteral("send"), QStringLiteral("--account"), Cellular,
                             QStringLiteral("--to"), QStringLiteral("+358401000021"),
                             QStringLiteral("--text"), QStringLiteral("refused"),
                             QStringLiteral("--text"), QStringLiteral("accepted")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains(QLatin1String("[1] text \"refused\": the connection refused the message (status 15)")),
             qPrintable(run.out));
    QVERIFY(run.out.contains(QLatin1String("[2] text \"accepted\": sent")));
}

void MessagingToolTest::timesOutOnAccountThatNeverConnects()
{
    QVERIFY(m_env.dropConnection(Cellular));
    const Run run = runTool({QStringLiteral("send"), QStringLiteral("--account"), QStringLiteral("tala/tel/tala"),
                             QStringLiteral("--to"), QStringLiteral("+358401000022"),
                             QStringLiteral("--text"), QStringLiteral("never"), QStringLiteral("--timeout"),
                             QStringLiteral("1")});
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.err.contains(QLatin1String("timed out after 1 s")), qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("[1] text \"never\": no status\n"));
    QVERIFY(m_env.restoreConnection(Cellular));
}

void MessagingToolTest::timeoutBoundsConnectingToABusThatNeverAnswers()
{
    // Accepts connections (the kernel does, from the listen backlog) and
    // never says a word.
    const QByteArray path = QFile::encodeName(m_dir.filePath(QStringLiteral("silent-bus")));
    const int silentBus = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(silentBus >= 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    QVERIFY(size_t(path.size()) < sizeof(address.sun_path));
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    QVERIFY(::bind(silentBus, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0);
    QVERIFY(::listen(silentBus, 8) == 0);
    auto closeBus = qScopeGuard([silentBus] { ::close(silentBus); });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + QFile::decodeName(path));

    for (const QString &command : {QStringLiteral("send"), QStringLiteral("accounts")}) {
        QStringList arguments{command, QStringLiteral("--timeout"), QStringLiteral("2")};
        if (command == QLatin1String("send"))
            arguments << QStringLiteral("--account") << QStringLiteral("tala/tel/tala") << QStringLiteral("--to")
                      << QStringLiteral("+358401000023") << QStringLiteral("--text") << QStringLiteral("x");
        QElapsedTimer timer;
        timer.start();
        const Run run = runTool(arguments, environment);
        QCOMPARE(run.exitCode, 4);
        QVERIFY2(timer.elapsed() < 6000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(run.err.contains(QLatin1String("timed out after 2 s waiting for the session bus")),
                 qPrintable(run.err));
    }
}

void MessagingToolTest::readsTextsFromFilesAndStandardInput()
{
    // Any text: several lines, non-ASCII letters, a leading dash.
    const QString fromFile = QStringLiteral("-first line\nsecond line \u00e4\u00f6 \u20ac\n");
    const QString fromInput = QStringLiteral("piped\ttext\n\n\u4e2d\u6587");
    QFile file(m_dir.filePath(QStringLiteral("text.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(fromFile.toUtf8());
    file.close();
    m_env.control(Cellular).clearSentMessages();

    const Run run = runTool({QStringLiteral("send"), QStringLiteral("--account"), QStringLiteral("tala/tel/tala"),
                             QStringLiteral("--to"), QStringLiteral("+358401000024"),
                             QStringLiteral("--text-file"), file.fileName(),
                             QStringLiteral("--text"), QStringLiteral("between"),
                             QStringLiteral("--text-file=-")},
                            QProcessEnvironment::systemEnvironment(), fromInput.toUtf8());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QList<TestCmControl::SentMessage> sent = m_env.control(Cellular).sentMessages();
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent.at(0).text(), fromFile);
    QCOMPARE(sent.at(1).text(), QStringLiteral("between"));
    QCOMPARE(sent.at(2).text(), fromInput);

    const Run missing = runTool({QStringLiteral("send"), QStringLiteral("--account"), QStringLiteral("tala/tel/tala"),
                                 QStringLiteral("--to"), QStringLiteral("+358401000024"),
                                 QStringLiteral("--text-file"), QStringLiteral("/nonexistent.txt")});
    QCOMPARE(missing.exitCode, 2);
    QVERIFY2(missing.err.contains(QLatin1String("cannot read text file /nonexistent.txt")), qPrintable(missing.err));
}

void MessagingToolTest::printsReasonAndTooLargeStatus()
{
    QFile card(m_dir.filePath(QStringLiteral("large.vcf")));
    QVERIFY(card.open(QIODevice::WriteOnly));
    card.write("BEGIN:VCARD\r\nVERSION:3.0\r\nPHOTO;ENCODING=b:" + QByteArray(2 * 1024 * 1024, 'A')
               + "\r\nEND:VCARD\r\n");
    card.close();
    m_env.control(Cellular).failNextSend(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("message must be text/plain"));

    const Run run = runTool({QStringLiteral("send"), QStringLiteral("--account"), QStringLiteral("tala/tel/tala"),
                             QStringLiteral("--to"), QStringLiteral("+358401000025"),
                             QStringLiteral("--text"), QStringLiteral("refused"),
                             QStringLiteral("--vcard"), card.fileName(),
                             QStringLiteral("--text"), QStringLiteral("accepted")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains(QStringLiteral("[1] text \"refused\": the connection refused the message (status 15), "
                                             "reason: %1: message must be text/plain\n").arg(TP_QT_ERROR_INVALID_ARGUMENT)),
             qPrintable(run.out));
    QVERIFY2(run.out.contains(QStringLiteral("[2] vCard %1: the message is too large (status 24)").arg(card.fileName())),
             qPrintable(run.out));
    QVERIFY(run.out.contains(QLatin1String("[3] text \"accepted\": sent")));
}

QTEST_GUILESS_MAIN(MessagingToolTest)
#include "tst_messagingtool.moc"
