// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// `messaging contacts`, run as a separate process. The tool reads its own
// address book (an empty memory store here: stores are per process), so
// these cases cover its command line, its answer and its time-out; what it
// lists is ServiceSpecificContactFetcher's, tested beside this file.

#include "programrun.h"

#include <QProcess>
#include <QtTest>

namespace {

using Run = ProgramRun;

Run runTool(const QStringList &arguments, const QString &engine = QStringLiteral("memory"))
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MESSAGING_CONTACTS_ENGINE"), engine);
    return runProgram(QStringLiteral(MESSAGING_TOOL), QStringList{QStringLiteral("contacts")} + arguments,
                      environment);
}

} // namespace

class ContactsCommandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusesBadInput_data();
    void refusesBadInput();
    void answersWithNoContactsFromAnEmptyAddressBook();
    void givesUpWhenTheAddressBookNeverAnswers();
};

void ContactsCommandTest::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing") << QStringList() << "needs an account and a remote id";
    QTest::newRow("no remote id") << QStringList{"tala/tel/tala"} << "needs an account and a remote id";
    QTest::newRow("empty remote id") << QStringList{"tala/tel/tala", " "} << "the remote id is empty";
    QTest::newRow("empty account") << QStringList{"", "+358401234567"} << "the account is empty";
    QTest::newRow("extra argument") << QStringList{"tala/tel/tala", "+358401234567", "x"} << "unexpected argument x";
    QTest::newRow("bad time-out") << QStringList{"--timeout", "0", "tala/tel/tala", "1"} << "--timeout needs";
    QTest::newRow("unknown option") << QStringList{"--fast", "tala/tel/tala", "1"} << "Unknown option";
}

void ContactsCommandTest::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Run run = runTool(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void ContactsCommandTest::answersWithNoContactsFromAnEmptyAddressBook()
{
    const Run run = runTool({QStringLiteral("tala/tel/tala"), QStringLiteral("+358401234567")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(QLatin1String(
                 "no contact owns +358401234567 on /org/freedesktop/Telepathy/Account/tala/tel/tala")),
             qPrintable(run.err));
}

void ContactsCommandTest::givesUpWhenTheAddressBookNeverAnswers()
{
    const Run run = runTool({QStringLiteral("--timeout"), QStringLiteral("1"),
                             QStringLiteral("loopback/loop/alice0"), QStringLiteral("bob@loop.test")},
                            QStringLiteral("invalid"));
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.err.contains(QLatin1String("did not answer within 1 s")), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(ContactsCommandTest)
#include "tst_contactscommand.moc"
#include "programrun.h"
