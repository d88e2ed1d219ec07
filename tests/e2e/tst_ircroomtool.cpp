// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The messaging program's listen and room commands from a shell against
// telepathy-idle and an ngIRCd of the test's own; raw IRC clients are the
// other side.

#include "ircpeer.h"
#include "ircserver.h"
#include "testhelpers.h"

#include <QProcess>
#include <QRegularExpression>

#include <csignal>

namespace {
constexpr int Timeout = 30000;
}

class TestIrcRoomTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void roomCommandListsSetsTopicAndLeaves();
    void roomCommandRejectsBadUsage();
    void listenPrintsIncomingMessagesUntilInterrupted();

private:
    IrcServer m_server;
    QString m_accountPath;
};

void TestIrcRoomTool::initTestCase()
{
    QVERIFY(m_server.start());
    m_accountPath = m_server.seedAccount(QStringLiteral("alice0"), QStringLiteral("alice"));
    QVERIFY(!m_accountPath.isEmpty());
}

void TestIrcRoomTool::roomCommandListsSetsTopicAndLeaves()
{
    const QString room = QStringLiteral("#shell");
    IrcPeer bob(QStringLiteral("bob"));
    QVERIFY(bob.connectTo(IrcServer::host(), m_server.port()));
    QVERIFY(bob.join(room));

    QProcess process;
    process.start(QStringLiteral(MESSAGING_TOOL),
                  {QStringLiteral("room"), QStringLiteral("idle/irc/alice0"), room, QStringLiteral("--members"),
                   QStringLiteral("--topic"), QStringLiteral("Set from the shell"), QStringLiteral("--leave"),
                   QStringLiteral("--timeout"), QString::number(Timeout / 1000)});
    // The event loop runs meanwhile, so the IRC client keeps reading.
    QVERIFY(waitUntil([&] { return process.state() == QProcess::NotRunning; }, Timeout + 10000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(process.exitCode() == 0, qPrintable(out + err));
    QVERIFY2(out.contains(QStringLiteral("member\tbob\n")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("member\talice\n")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("topic\tSet from the shell\talice\n")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("left\t#shell\n")), qPrintable(out));

    QVERIFY(bob.waitForLine([&](const IrcPeer::Line &l) {
        return l.command == QLatin1String("TOPIC") && l.nick == QLatin1String("alice")
            && l.params.value(1) == QLatin1String("Set from the shell");
    }, Timeout, true));
    QVERIFY(bob.waitForLine([&](const IrcPeer::Line &l) {
        return l.command == QLatin1String("PART") && l.nick == QLatin1String("alice");
    }, Timeout, true));

    // Read back by a second run without options: topic and members.
    bob.sendLine(QStringLiteral("TOPIC %1 :Changed by bob").arg(room));
    QVERIFY(bob.waitForLine([](const IrcPeer::Line &l) { return l.command == QLatin1String("TOPIC"); }, Timeout));
    process.start(QStringLiteral(MESSAGING_TOOL), {QStringLiteral("room"), QStringLiteral("idle/irc/alice0"), room,
                                                   QStringLiteral("--timeout"), QString::number(Timeout / 1000)});
    QVERIFY(waitUntil([&] { return process.state() == QProcess::NotRunning; }, Timeout + 10000));
    const QString second = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(process.exitCode() == 0, qPrintable(second + QString::fromUtf8(process.readAllStandardError())));
    QVERIFY2(second.contains(QStringLiteral("topic\tChanged by bob\tbob\n")), qPrintable(second));
    QVERIFY2(second.contains(QStringLiteral("member\tbob\n")), qPrintable(second));
}

void TestIrcRoomTool::roomCommandRejectsBadUsage()
{
    QProcess process;
    process.start(QStringLiteral(MESSAGING_TOOL), {QStringLiteral("room"), QStringLiteral("idle/irc/alice0")});
    QVERIFY(process.waitForFinished(Timeout));
    QCOMPARE(process.exitCode(), 2);
    process.start(QStringLiteral(MESSAGING_TOOL), {QStringLiteral("listen"), QStringLiteral("--timeout"),
                                                   QStringLiteral("soon")});
    QVERIFY(process.waitForFinished(Timeout));
    QCOMPARE(process.exitCode(), 2);
}

void TestIrcRoomTool::listenPrintsIncomingMessagesUntilInterrupted()
{
    QProcess process;
    process.start(QStringLiteral(MESSAGING_TOOL), {QStringLiteral("listen"), QStringLiteral("--account"),
                                                   QStringLiteral("idle/irc/alice0")});
    QString err;
    QVERIFY(waitUntil([&] {
        err += QString::fromUtf8(process.readAllStandardError());
        return err.contains(QStringLiteral("waiting for messages"));
    }, Timeout));

    IrcPeer carol(QStringLiteral("carol"));
    QVERIFY(carol.connectTo(IrcServer::host(), m_server.port()));
    const QStringList texts = {QStringLiteral("one"), QStringLiteral("two\twith a tab"), QStringLiteral("three")};
    for (const QString &text : texts)
        carol.privmsg(QStringLiteral("alice"), text);
    QString out;
    // Each message is announced, and said to be stored in the history.
    QVERIFY(waitUntil([&] {
        out += QString::fromUtf8(process.readAllStandardOutput());
        return out.count(QLatin1Char('\n')) >= 2 * texts.size();
    }, Timeout));
    const QStringList all = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList lines = all.filter(QRegularExpression(QStringLiteral("^message\t")));
    const QStringList stored = all.filter(QRegularExpression(QStringLiteral("^stored\t")));
    QCOMPARE(lines.size(), texts.size());
    QCOMPARE(stored.size(), texts.size());
    const QStringList expected = {QStringLiteral("one"), QStringLiteral("two\\twith a tab"), QStringLiteral("three")};
    for (int i = 0; i < stored.size(); ++i) {
        const QStringList fields = stored.at(i).split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 7);
        QCOMPARE(fields.at(2), m_accountPath);
        QCOMPARE(fields.at(5), QStringLiteral("in"));
        QCOMPARE(fields.at(6), expected.at(i));
    }
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList fields = lines.at(i).split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 6);
        QCOMPARE(fields.at(0), QStringLiteral("message"));
        QCOMPARE(fields.at(2), m_accountPath);
        QCOMPARE(fields.at(3), QStringLiteral("carol"));
        QCOMPARE(fields.at(4), QStringLiteral("carol"));
        QCOMPARE(fields.at(5), expected.at(i));
    }

    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(Timeout));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestIrcRoomTool)
#include "tst_ircroomtool.moc"
