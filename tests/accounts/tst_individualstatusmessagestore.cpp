// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// IndividualStatusMessageStore over QSettings in the test's own home (the
// private-bus runner gives every run its own HOME and XDG_CONFIG_HOME).

#include "individualstatusmessagestore.h"

#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <cstdio>

class IndividualStatusMessageStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unknownAccountHasNullMessage();
    void messageIsSeenByAnotherStoreAndAnotherProcess();
    void valueWrittenByAnotherProcessIsSeenWithoutReopening();
    void keepsOneMessagePerAccountUnderItsUid();
};

namespace {
const QString Uid = QStringLiteral("loopback/loop/alice0");

// The test binary itself, reading or writing one entry as another process.
QString runSelf(const QStringList &arguments)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return QStringLiteral("<failed>");
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

void IndividualStatusMessageStoreTest::unknownAccountHasNullMessage()
{
    IndividualStatusMessageStore store;
    QVERIFY(store.statusMessage(QStringLiteral("nobody/x/y0")).isNull());
    QVERIFY(store.statusMessage(QString()).isNull());
    // An empty uid is not a key: nothing lands in the file's general section.
    store.setStatusMessage(QString(), QStringLiteral("everyone"));
    QVERIFY(store.statusMessage(QString()).isNull());
}

void IndividualStatusMessageStoreTest::messageIsSeenByAnotherStoreAndAnotherProcess()
{
    IndividualStatusMessageStore writer;
    writer.setStatusMessage(Uid, QStringLiteral("At lunch, ÄÖ"));
    IndividualStatusMessageStore reader;
    QCOMPARE(reader.statusMessage(Uid), QStringLiteral("At lunch, ÄÖ"));
    QCOMPARE(runSelf({QStringLiteral("--read"), Uid}), QStringLiteral("At lunch, ÄÖ"));

    // Clearing the message replaces the old one.
    writer.setStatusMessage(Uid, QString());
    QVERIFY(reader.statusMessage(Uid).isEmpty());
}

void IndividualStatusMessageStoreTest::valueWrittenByAnotherProcessIsSeenWithoutReopening()
{
    IndividualStatusMessageStore store;
    store.setStatusMessage(Uid, QStringLiteral("before"));
    QCOMPARE(runSelf({QStringLiteral("--write"), Uid, QStringLiteral("from elsewhere")}), QString());
    QCOMPARE(store.statusMessage(Uid), QStringLiteral("from elsewhere"));
}

void IndividualStatusMessageStoreTest::keepsOneMessagePerAccountUnderItsUid()
{
    IndividualStatusMessageStore store;
    store.setStatusMessage(QStringLiteral("loopback/loop/bob0"), QStringLiteral("bob's"));
    store.setStatusMessage(Uid, QStringLiteral("alice's"));
    QCOMPARE(store.statusMessage(QStringLiteral("loopback/loop/bob0")), QStringLiteral("bob's"));
    // Shared with the presence UI: the documented file and key.
    QSettings settings(QStringLiteral("tavik"), QStringLiteral("presence-ui"));
    QCOMPARE(settings.value(Uid).toString(), QStringLiteral("alice's"));
    QVERIFY(settings.fileName().endsWith(QLatin1String("tavik/presence-ui.conf")));
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QLatin1String("--read")) {
        IndividualStatusMessageStore store;
        fputs(store.statusMessage(arguments.value(2)).toUtf8().constData(), stdout);
        return 0;
    }
    if (arguments.value(1) == QLatin1String("--write")) {
        IndividualStatusMessageStore store;
        store.setStatusMessage(arguments.value(2), arguments.value(3));
        return 0;
    }
    IndividualStatusMessageStoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_individualstatusmessagestore.moc"
