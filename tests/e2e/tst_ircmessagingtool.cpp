// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The messaging program used from a shell against telepathy-idle and an
// ngIRCd of the test's own; the IRC client in the test is the recipient.

#include "ircpeer.h"
#include "programrun.h"
#include "ircserver.h"
#include "testhelpers.h"

#include <QProcess>

namespace {
constexpr int Timeout = 30000;
}

class TestIrcMessagingTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void sendsTextsInCommandLineOrder();
    void listsTheIrcAccount();

private:
    using Run = ProgramRun;
    Run run(const QStringList &arguments);

    IrcServer m_server;
    QString m_accountPath;
};

TestIrcMessagingTool::Run TestIrcMessagingTool::run(const QStringList &arguments)
{
    // The program bounds itself with --timeout; this is the test's own bound.
    return runProgram(QStringLiteral(MESSAGING_TOOL), arguments, QProcessEnvironment::systemEnvironment(),
                      QByteArray(), Timeout + 10000);
}

void TestIrcMessagingTool::initTestCase()
{
    QVERIFY(m_server.start());
    m_accountPath = m_server.seedAccount(QStringLiteral("alice0"), QStringLiteral("alice"));
    QVERIFY(!m_accountPath.isEmpty());
}

void TestIrcMessagingTool::sendsTextsInCommandLineOrder()
{
    IrcPeer bob(QStringLiteral("bob"));
    QVERIFY(bob.connectTo(IrcServer::host(), m_server.port()));

    // The account may still be connecting when the program starts: it waits.
    const QStringList texts = {QStringLiteral("first"), QStringLiteral("second line"),
                               QStringLiteral("third: with a colon")};
    QStringList arguments = {QStringLiteral("send"), QStringLiteral("--account"),
                             QStringLiteral("idle/irc/alice0"), QStringLiteral("--to"), bob.nick(),
                             QStringLiteral("--timeout"), QString::number(Timeout / 1000)};
    for (const QString &text : texts)
        arguments << QStringLiteral("--text") << text;
    const Run result = run(arguments);
    QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
    QCOMPARE(result.out.count(QStringLiteral(": sent")), texts.size());
    // Nothing from QtDBus while the program leaves (it came in a few
    // percent of runs, when the bus thread outlived Qt's meta-type table).
    QVERIFY2(!result.err.contains(QStringLiteral("invalid type")), qPrintable(result.err));

    QVERIFY(bob.waitForPrivmsgs(QStringLiteral("alice"), bob.nick(), texts.size()));
    QCOMPARE(bob.privmsgs(QStringLiteral("alice"), bob.nick()), texts);
}

void TestIrcMessagingTool::listsTheIrcAccount()
{
    const Run result = run({QStringLiteral("accounts"), QStringLiteral("--timeout"),
                            QString::number(Timeout / 1000)});
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    const QStringList lines = result.out.split(QLatin1Char('\n'));
    bool found = false;
    for (const QString &line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        // account (short form), name, service, presence, status message, enabled
        if (m_accountPath.endsWith(QLatin1Char('/') + fields.value(0))) {
            found = true;
            QVERIFY(!fields.value(1).isEmpty());
            QCOMPARE(fields.value(5), QStringLiteral("enabled"));
        }
    }
    QVERIFY2(found, qPrintable(result.out));
}

QTEST_GUILESS_MAIN(TestIrcMessagingTool)
#include "tst_ircmessagingtool.moc"
