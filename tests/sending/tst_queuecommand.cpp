// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// `messaging queue add|list|run` as separate processes against the test's
// Mission Control and loopback connection manager, sharing the run's HOME.

#include "confitem.h"
#include "telepathytestenvironment.h"
#include "programrun.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

namespace {
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");

using Run = ProgramRun;

Run runTool(const QStringList &arguments)
{
    return runProgram(QStringLiteral(MESSAGING_TOOL), arguments);
}

QStringList addArguments(const QString &to, const QStringList &texts)
{
    QStringList arguments{QStringLiteral("queue"), QStringLiteral("add"), QStringLiteral("--account"),
                          QStringLiteral("loopback/loop/alice0"), QStringLiteral("--to"), to};
    for (const QString &text : texts)
        arguments << QStringLiteral("--text") << text;
    return arguments;
}

QStringList lines(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
} // namespace

class QueueCommandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void refusesBadInput_data();
    void refusesBadInput();
    void addListRunSendsEachOnceAndEmptiesTheQueue();
    void killedRunLosesNothingAndAnotherRunTakesOver();
    void messageWithoutStatusWaitsUntilItsSenderHasEnded();

private:
    QStringList sentTexts();

    TelepathyTestEnvironment m_env;
};

QStringList QueueCommandTest::sentTexts()
{
    QStringList texts;
    for (const TestCmControl::SentMessage &message : m_env.control(Im).sentMessages())
        texts << message.text();
    return texts;
}

void QueueCommandTest::initTestCase()
{
    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Im));
}

void QueueCommandTest::init()
{
    QDir(QDir::homePath() + QStringLiteral("/.messaging-ui")).removeRecursively();
    m_env.control(Im).clearSentMessages();
}

void QueueCommandTest::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no subcommand") << QStringList{"queue"} << "no subcommand given";
    QTest::newRow("unknown subcommand") << QStringList{"queue", "fly"} << "unknown subcommand 'fly'";
    // The options are send's own, with its checks.
    QTest::newRow("add without account") << QStringList{"queue", "add", "--to", "x", "--text", "y"}
                                         << "messaging queue add: no account given";
    QTest::newRow("add with missing vCard")
        << QStringList{"queue", "add", "--account", "a/b/c", "--to", "x", "--vcard", "/nonexistent.vcf"}
        << "cannot read vCard file /nonexistent.vcf";
    QTest::newRow("run with bad timeout") << QStringList{"queue", "run", "--timeout", "-1"} << "--timeout needs";
    QTest::newRow("list with argument") << QStringList{"queue", "list", "extra"} << "unexpected argument extra";
}

void QueueCommandTest::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Run run = runTool(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(QDir::homePath() + QStringLiteral("/.messaging-ui/sendqueue.dat")));
}

void QueueCommandTest::addListRunSendsEachOnceAndEmptiesTheQueue()
{
    QTemporaryDir dir;
    QFile card(dir.filePath(QStringLiteral("card.vcf")));
    QVERIFY(card.open(QIODevice::WriteOnly));
    card.write("BEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\n");
    card.close();

    Run add = runTool(addArguments(QStringLiteral("carol@loop.test"), {QStringLiteral("one"), QStringLiteral("two")}));
    QCOMPARE(add.exitCode, 0);
    QCOMPARE(lines(add.out).size(), 2);
    QVERIFY2(add.out.startsWith(QLatin1String("queued [1] to carol@loop.test on ") + Im + QLatin1String(": text \"one\"")),
             qPrintable(add.out));
    add = runTool(addArguments(QStringLiteral("dave@loop.test"), {}) << QStringLiteral("--vcard") << card.fileName());
    QCOMPARE(add.exitCode, 0);
    QVERIFY2(add.out.startsWith(QLatin1String("queued [3] ")), qPrintable(add.out));

    const Run list = runTool({QStringLiteral("queue"), QStringLiteral("list")});
    QCOMPARE(list.exitCode, 0);
    QCOMPARE(lines(list.out), (QStringList{
        QStringLiteral("[1] to carol@loop.test on %1: text \"one\"").arg(Im),
        QStringLiteral("[2] to carol@loop.test on %1: text \"two\"").arg(Im),
        QStringLiteral("[3] to dave@loop.test on %1: vCard %2").arg(Im, card.fileName())}));
    QVERIFY(sentTexts().isEmpty());

    const Run run = runTool({QStringLiteral("queue"), QStringLiteral("run")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(lines(run.out), (QStringList{
        QStringLiteral("[1] to carol@loop.test on %1: text \"one\": sent").arg(Im),
        QStringLiteral("[2] to carol@loop.test on %1: text \"two\": sent").arg(Im),
        QStringLiteral("[3] to dave@loop.test on %1: vCard %2: sent").arg(Im, card.fileName())}));
    QCOMPARE(m_env.control(Im).sentMessages().size(), 3);

    QCOMPARE(runTool({QStringLiteral("queue"), QStringLiteral("list")}).out, QString());
    const Run again = runTool({QStringLiteral("queue"), QStringLiteral("run")});
    QCOMPARE(again.exitCode, 0);
    QVERIFY(again.err.contains(QLatin1String("the queue is empty")));
    QCOMPARE(m_env.control(Im).sentMessages().size(), 3);
}

void QueueCommandTest::killedRunLosesNothingAndAnotherRunTakesOver()
{
    QCOMPARE(runTool(addArguments(QStringLiteral("erin@loop.test"),
                                  {QStringLiteral("k1"), QStringLiteral("k2"), QStringLiteral("k3")})).exitCode, 0);
    // With the account down the first message stays in flight.
    QVERIFY(m_env.dropConnection(Im));
    QProcess running;
    running.start(QStringLiteral(MESSAGING_TOOL), {QStringLiteral("queue"), QStringLiteral("run")});
    QVERIFY(running.waitForStarted());
    QByteArray progress;
    QTRY_VERIFY_WITH_TIMEOUT((progress += running.readAllStandardError()).contains("waiting for the status of 3"),
                             10000);

    // Adding while another process sends goes into the same queue at once.
    const Run late = runTool(addArguments(QStringLiteral("erin@loop.test"), {QStringLiteral("late")}));
    QVERIFY2(late.exitCode == 0, qPrintable(late.err));
    QVERIFY2(late.out.startsWith(QLatin1String("queued [4] ")), qPrintable(late.out));

    // A second run waits for the first, and takes over once it is killed.
    QProcess second;
    second.start(QStringLiteral(MESSAGING_TOOL), {QStringLiteral("queue"), QStringLiteral("run")});
    QVERIFY(second.waitForStarted());
    const QByteArray waitsFor = "process " + QByteArray::number(running.processId()) + " to send";
    progress.clear();
    QTRY_VERIFY_WITH_TIMEOUT((progress += second.readAllStandardError()).contains(waitsFor), 10000);
    running.kill(); // SIGKILL
    QVERIFY(running.waitForFinished());
    QCOMPARE(lines(runTool({QStringLiteral("queue"), QStringLiteral("list")}).out).size(), 4);

    QVERIFY(m_env.restoreConnection(Im));
    QVERIFY(second.waitForFinished(30000));
    QVERIFY2(second.exitCode() == 0, second.readAllStandardError().constData());
    QCOMPARE(lines(QString::fromUtf8(second.readAllStandardOutput())).size(), 4);
    QCOMPARE(sentTexts(), (QStringList{QStringLiteral("k1"), QStringLiteral("k2"), QStringLiteral("k3"),
                                       QStringLiteral("late")}));
}

void QueueCommandTest::messageWithoutStatusWaitsUntilItsSenderHasEnded()
{
    // No status within a second: it may have left, so only the next
    // sender after this one sends it again.
    const QString timeoutKey = QStringLiteral("/Messaging/Settings/StatusTimeout");
    QVERIFY(ConfItem(timeoutKey).set(1));
    QCOMPARE(runTool(addArguments(QStringLiteral("fred@loop.test"), {QStringLiteral("unanswered")})).exitCode, 0);
    QVERIFY(m_env.dropConnection(Im));
    QProcess first, second;
    first.start(QStringLiteral(MESSAGING_TOOL), {QStringLiteral("queue"), QStringLiteral("run")});
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += first.readAllStandardOutput()).contains("failed (status 25)"), 10000);
    QVERIFY(m_env.restoreConnection(Im));
    second.start(QStringLiteral(MESSAGING_TOOL), {QStringLiteral("queue"), QStringLiteral("run")});
    const QByteArray waitsFor = "process " + QByteArray::number(first.processId()) + " to send";
    QByteArray progress;
    QTRY_VERIFY_WITH_TIMEOUT((progress += second.readAllStandardError()).contains(waitsFor), 10000);
    QTest::qWait(1500); // it would take a message it thinks waiting over within a second
    QVERIFY(sentTexts().isEmpty());
    first.terminate();
    QVERIFY(first.waitForFinished());
    QVERIFY(second.waitForFinished(30000));
    ConfItem(timeoutKey).unset();
    QVERIFY2(second.exitCode() == 0, second.readAllStandardError().constData());
    QCOMPARE(sentTexts(), QStringList{QStringLiteral("unanswered")});
}

QTEST_GUILESS_MAIN(QueueCommandTest)
#include "tst_queuecommand.moc"
