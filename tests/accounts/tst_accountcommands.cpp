// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The messaging program's account commands (presence, enable, disable) run
// as separate processes against the test's Mission Control.

#include "telepathytestenvironment.h"
#include "programrun.h"
#include "testhelpers.h"

#include <QProcess>
#include <QtTest>

namespace {
const QString Alice = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString Bob = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/bob0");

using Run = ProgramRun;

Run runTool(const QStringList &arguments)
{
    return runProgram(QStringLiteral(MESSAGING_TOOL), arguments);
}
} // namespace

class AccountCommandsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void refusesBadInput_data();
    void refusesBadInput();
    void setsPresenceAndMessageAndWaitsForThem();
    void enablesAndDisables();
    void accountsShowsWhatTheCommandsChanged();

private:
    TelepathyTestEnvironment m_env;
};

void AccountCommandsTest::initTestCase()
{
    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Alice));
}

void AccountCommandsTest::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("presence without account") << QStringList{"presence"} << 2 << "no account given";
    QTest::newRow("presence without status") << QStringList{"presence", "loopback/loop/alice0"} << 2
                                             << "missing argument";
    QTest::newRow("unknown presence") << QStringList{"presence", "loopback/loop/alice0", "busy"} << 2
                                      << "unknown presence 'busy'";
    QTest::newRow("extra argument") << QStringList{"enable", "loopback/loop/alice0", "x"} << 2
                                    << "unexpected argument x";
    QTest::newRow("empty account") << QStringList{"disable", " "} << 2 << "empty argument";
    QTest::newRow("bad timeout") << QStringList{"enable", "loopback/loop/bob0", "--timeout", "-1"} << 2
                                 << "--timeout needs a positive number";
    QTest::newRow("unknown account") << QStringList{"presence", "nowhere/x/y0", "away"} << 3
                                     << "no account nowhere/x/y0";
    QTest::newRow("SMS entry has no presence") << QStringList{"presence", "tala/tel/tala", "away"} << 3
                                               << "SMS entry";
    QTest::newRow("SMS entry cannot be disabled") << QStringList{"disable", "vexo/mms/mms0"} << 3
                                                  << "no account vexo/mms/mms0 that can be disabled";
    QTest::newRow("disabled account") << QStringList{"presence", "loopback/loop/bob0", "away"} << 3
                                      << "account loopback/loop/bob0 is disabled";
}

void AccountCommandsTest::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Run run = runTool(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void AccountCommandsTest::setsPresenceAndMessageAndWaitsForThem()
{
    const Tp::AccountPtr alice = m_env.account(Alice);
    Run run = runTool({QStringLiteral("presence"), QStringLiteral("loopback/loop/alice0"), QStringLiteral("away"),
                       QStringLiteral("--message"), QStringLiteral("At lunch")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("loopback/loop/alice0: away (At lunch)\n"));
    QTRY_COMPARE(alice->currentPresence().type(), Tp::ConnectionPresenceTypeAway);
    QCOMPARE(alice->currentPresence().statusMessage(), QStringLiteral("At lunch"));

    // Already there: done at once; the kept message goes along.
    run = runTool({QStringLiteral("presence"), Alice, QStringLiteral("away")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("loopback/loop/alice0: away (At lunch)\n"));

    run = runTool({QStringLiteral("presence"), QStringLiteral("loopback/loop/alice0"), QStringLiteral("available")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QTRY_COMPARE(alice->currentPresence().type(), Tp::ConnectionPresenceTypeAvailable);
    QCOMPARE(alice->currentPresence().statusMessage(), QStringLiteral("At lunch"));
}

void AccountCommandsTest::enablesAndDisables()
{
    const Tp::AccountPtr bob = m_env.account(Bob);
    Run run = runTool({QStringLiteral("enable"), QStringLiteral("loopback/loop/bob0")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("loopback/loop/bob0: enabled\n"));
    QTRY_VERIFY(bob->isEnabled());
    // Bob connects by himself once enabled. Connected before he is disabled,
    // and without a connection before the case ends: a connection
    // Telepathy-Qt is still building when the process ends is left behind.
    QVERIFY(m_env.connectedAccount(Bob));

    // Enabling again changes nothing and succeeds.
    run = runTool({QStringLiteral("enable"), QStringLiteral("loopback/loop/bob0")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    run = runTool({QStringLiteral("disable"), QStringLiteral("loopback/loop/bob0")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out, QStringLiteral("loopback/loop/bob0: disabled\n"));
    QTRY_VERIFY(!bob->isEnabled());
    QTRY_VERIFY(bob->connection().isNull());
}

void AccountCommandsTest::accountsShowsWhatTheCommandsChanged()
{
    QVERIFY(runTool({QStringLiteral("presence"), QStringLiteral("loopback/loop/alice0"), QStringLiteral("away"),
                     QStringLiteral("--message"), QStringLiteral("Gone fishing")}).exitCode == 0);
    const Run run = runTool({QStringLiteral("accounts")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(QLatin1String("loopback/loop/alice0\tAlice\t-\taway\tGone fishing\tenabled\n")),
             qPrintable(run.out));
}

QTEST_GUILESS_MAIN(AccountCommandsTest)
#include "tst_accountcommands.moc"
