// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// What `messaging send` and `messaging queue run` sent, as `messaging
// history` shows it afterwards: each message once, with its final state,
// a refused one with its reason; the recorder runs meanwhile (HISTORY).

#include "programrun.h"
#include "telepathytestenvironment.h"

#include <QtTest>

namespace {
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString Refusal = QStringLiteral("org.freedesktop.Telepathy.Error.PermissionDenied");

ProgramRun runTool(const QStringList &arguments)
{
    return runProgram(QStringLiteral(MESSAGING_TOOL), arguments);
}

QStringList lines(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The fields of `history show` without the time.
QStringList shown(const QString &line)
{
    return line.split(QLatin1Char('\t')).mid(1);
}
} // namespace

class HistoryCommandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void sentAndQueuedMessagesShowWithTheirFinalState();

private:
    TelepathyTestEnvironment m_env;
};

void HistoryCommandTest::initTestCase()
{
    QVERIFY(m_env.init());
    QVERIFY(m_env.connectedAccount(Im));
}

void HistoryCommandTest::sentAndQueuedMessagesShowWithTheirFinalState()
{
    const QStringList to{QStringLiteral("--account"), QStringLiteral("loopback/loop/alice0"), QStringLiteral("--to"),
                         QStringLiteral("erin@loop.test")};
    QCOMPARE(runTool(QStringList{QStringLiteral("send")} + to + QStringList{QStringLiteral("--text"),
                                                                            QStringLiteral("one")}).exitCode, 0);
    m_env.control(Im).failNextSend(Refusal, QStringLiteral("not to erin"));
    QCOMPARE(runTool(QStringList{QStringLiteral("send")} + to + QStringList{QStringLiteral("--text"),
                                                                            QStringLiteral("refused")}).exitCode, 1);
    QCOMPARE(runTool(QStringList{QStringLiteral("queue"), QStringLiteral("add")} + to
                     + QStringList{QStringLiteral("--text"), QStringLiteral("queued")}).exitCode, 0);
    QCOMPARE(runTool({QStringLiteral("queue"), QStringLiteral("run")}).exitCode, 0);

    const ProgramRun show = runTool(QStringList{QStringLiteral("history"), QStringLiteral("show")} + to);
    QCOMPARE(show.exitCode, 0);
    const QStringList messages = lines(show.out);
    QCOMPARE(messages.size(), 3);
    QCOMPARE(shown(messages.at(0)), (QStringList{QStringLiteral("out"), QStringLiteral("me"), QStringLiteral("sent"),
                                                 QStringLiteral("one")}));
    QCOMPARE(shown(messages.at(1)).value(2),
             QStringLiteral("failed (status 15: the connection refused the message, %1)").arg(Refusal));
    QCOMPARE(shown(messages.at(1)).value(3), QStringLiteral("refused"));
    QCOMPARE(shown(messages.at(2)).mid(2), (QStringList{QStringLiteral("sent"), QStringLiteral("queued")}));

    // One thread, nothing unread; found by search; gone when deleted.
    const QStringList threads = lines(runTool({QStringLiteral("history"), QStringLiteral("threads")}).out);
    QCOMPARE(threads.size(), 1);
    const QStringList thread = threads.first().split(QLatin1Char('\t'));
    QCOMPARE(thread.mid(1, 3), (QStringList{Im, QStringLiteral("erin@loop.test"), QStringLiteral("0")}));
    QCOMPARE(thread.last(), QStringLiteral("queued"));
    const QStringList hits = lines(runTool({QStringLiteral("history"), QStringLiteral("search"), QStringLiteral("refu")}).out);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits.first().section(QLatin1Char('\t'), 0, 0), thread.first());
    QCOMPARE(runTool({QStringLiteral("history"), QStringLiteral("delete"), thread.first()}).exitCode, 0);
    QCOMPARE(runTool({QStringLiteral("history"), QStringLiteral("show"), thread.first()}).exitCode, 2);
    QVERIFY(lines(runTool({QStringLiteral("history"), QStringLiteral("threads")}).out).isEmpty());
}

QTEST_GUILESS_MAIN(HistoryCommandTest)
#include "tst_historycommand.moc"
