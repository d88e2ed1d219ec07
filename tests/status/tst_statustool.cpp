// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The messaging program's "status" and "send --check" in the private stack:
// Mission Control and the test connection managers, the fake oFono and
// ConnMan, and a fake notification server that answers its questions.

#include "fakenotificationserver.h"
#include "programrun.h"
#include "systembusfakes.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include "sendvalidator.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {
const int Timeout = 20000;
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString Cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
} // namespace

class StatusToolTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void statusPrintsDeviceAndAccounts();
    void statusWatchPrintsChanges();
    void checkExitCodeSaysWhatStoppedTheSend_data();
    void checkExitCodeSaysWhatStoppedTheSend();
    void checkAnsweredThroughTheNotificationServerSends();
    void checkWithYesSwitchesTheRadioOnAndSends();

private:
    using Run = ProgramRun;
    Run run(const QStringList &arguments);
    // Starts the program without waiting (for questions and --watch).
    QProcess *startTool(const QStringList &arguments);
    // Waits for a started program to end (killed after Timeout), then
    // deletes it.
    Run finish(QProcess *process);

    TelepathyTestEnvironment m_env;
    SystemBusFakes m_fakes;
    FakeNotificationServer m_server;
};

void StatusToolTest::initTestCase()
{
    QVERIFY2(m_fakes.isReady(), "needs run-in-private-bus --system-bus");
    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Im));
    QVERIFY(m_env.connectedAccount(Cellular));
}

void StatusToolTest::init()
{
    m_server.shown.clear();
}

void StatusToolTest::cleanup()
{
    m_server.stop();
    m_env.control(Cellular).clearSentMessages();
    QVERIFY(m_fakes.restore());
}

QProcess *StatusToolTest::startTool(const QStringList &arguments)
{
    auto *process = new QProcess(this); // the test's, waited for by it
    process->start(QStringLiteral(MESSAGING_TOOL), arguments);
    return process;
}

StatusToolTest::Run StatusToolTest::run(const QStringList &arguments)
{
    return finish(startTool(arguments));
}

StatusToolTest::Run StatusToolTest::finish(QProcess *process)
{
    // Our own event loop keeps serving the fake notification server.
    if (!waitUntil([process] { return process->state() == QProcess::NotRunning; }, Timeout)) {
        process->kill();
        process->waitForFinished();
    }
    const Run result = finishRun(*process, 0);
    delete process;
    return result;
}

void StatusToolTest::statusPrintsDeviceAndAccounts()
{
    QVERIFY(m_fakes.setOfflineMode(true));
    QVERIFY(m_fakes.setSimPresent(false));
    const Run result = run({QStringLiteral("status")});
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.contains(QStringLiteral("radio\ton")), qPrintable(result.out));
    QVERIFY(lines.contains(QStringLiteral("sim\tno SIM card")));
    QVERIFY(lines.contains(QStringLiteral("flight mode\ton")));
    QVERIFY(lines.contains(Im + QStringLiteral("\tusable")));
    QVERIFY(lines.contains(QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/bob0\tdisabled")));
}

void StatusToolTest::statusWatchPrintsChanges()
{
    QProcess *process = startTool({QStringLiteral("status"), QStringLiteral("--watch")});
    QString out;
    auto readUntil = [&](const QString &wanted) {
        return waitUntil([&] {
            out += QString::fromUtf8(process->readAllStandardOutput());
            return out.contains(wanted);
        }, Timeout);
    };
    QVERIFY(readUntil(Im + QStringLiteral("\tusable\n")));
    // The first listing ends with the last account's line (in path order);
    // it may reach us in more than one read.
    const QRegularExpression lastAccountLine(
        QStringLiteral("^/org/freedesktop/Telepathy/Account/vexo/mms/mms0\t[^\n]*\n"),
        QRegularExpression::MultilineOption);
    QVERIFY(waitUntil([&] {
        out += QString::fromUtf8(process->readAllStandardOutput());
        return lastAccountLine.match(out).hasMatch();
    }, Timeout));
    const int before = out.size();
    QVERIFY(m_fakes.setModemOnline(false));
    QVERIFY(readUntil(QStringLiteral("radio\toff\n")));
    QVERIFY(m_fakes.setOfflineMode(true));
    QVERIFY(readUntil(QStringLiteral("flight mode\ton\n")));
    QCOMPARE(out.mid(before), QStringLiteral("radio\toff\nflight mode\ton\n"));
    process->terminate();
    QVERIFY(process->waitForFinished(5000));
    delete process;
}

void StatusToolTest::checkExitCodeSaysWhatStoppedTheSend_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("no SIM card") << "tala/tel/tala" << "nosim" << 13;
    QTest::newRow("radio off, nobody to ask") << "tala/tel/tala" << "radiooff" << 14;
    QTest::newRow("radio off, refused with --yes") << "tala/tel/tala" << "radiorefuses" << 15;
    QTest::newRow("disabled account") << "loopback/loop/bob0" << "" << 16;
}

void StatusToolTest::checkExitCodeSaysWhatStoppedTheSend()
{
    QFETCH(QString, account);
    QFETCH(QString, setup);
    QFETCH(int, exitCode);
    QStringList arguments{QStringLiteral("send"), QStringLiteral("--check"), QStringLiteral("--account"), account,
                          QStringLiteral("--to"), QStringLiteral("+358401234567"),
                          QStringLiteral("--text"), QStringLiteral("hello")};
    if (setup == QLatin1String("nosim"))
        QVERIFY(m_fakes.setSimPresent(false));
    if (setup.startsWith(QLatin1String("radio")))
        QVERIFY(m_fakes.setModemOnline(false));
    if (setup == QLatin1String("radiorefuses")) {
        QVERIFY(m_fakes.failModemChanges());
        arguments << QStringLiteral("--yes");
    }
    const Run result = run(arguments);
    QVERIFY2(result.exitCode == exitCode, qPrintable(result.err));
    // The library's text, as the QML module shows it.
    QVERIFY2(result.err.contains(QLatin1String("not sent: ") + SendValidator::failureText(exitCode - 10)),
             qPrintable(result.err));
    QVERIFY(m_env.control(Cellular).sentMessages().isEmpty());
}

void StatusToolTest::checkAnsweredThroughTheNotificationServerSends()
{
    QVERIFY(m_server.start());
    QVERIFY(m_fakes.setModemOnline(false));
    QProcess *process = startTool({QStringLiteral("send"), QStringLiteral("--check"), QStringLiteral("--account"),
                                   QStringLiteral("tala/tel/tala"), QStringLiteral("--to"),
                                   QStringLiteral("+358401234567"), QStringLiteral("--text"), QStringLiteral("hello")});
    QVERIFY(waitUntil([this] { return m_server.lastQuestion() >= 0; }, Timeout));
    m_server.invokeAction(m_server.shown.at(m_server.lastQuestion()).id, QStringLiteral("accept"));
    const Run result = finish(process);
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QCOMPARE(m_fakes.modemOnline(), QVariant(true));
    QCOMPARE(m_env.control(Cellular).sentMessages().size(), 1);
}

void StatusToolTest::checkWithYesSwitchesTheRadioOnAndSends()
{
    QVERIFY(m_fakes.setModemOnline(false));
    const Run result = run({QStringLiteral("send"), QStringLiteral("--check"), QStringLiteral("--yes"),
                            QStringLiteral("--account"), QStringLiteral("tala/tel/tala"), QStringLiteral("--to"),
                            QStringLiteral("+358401234567"), QStringLiteral("--text"), QStringLiteral("hello")});
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QCOMPARE(m_fakes.modemOnline(), QVariant(true));
    QCOMPARE(m_env.control(Cellular).sentMessages().size(), 1);
}

QTEST_GUILESS_MAIN(StatusToolTest)
#include "tst_statustool.moc"
