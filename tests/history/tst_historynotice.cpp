// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historystore.h"
#include "historythreadmodel.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// Several processes on one history file, on the private session bus: the
// changes of one reach the others' stores and models, and writers at the
// same time lose nothing. The test program is its own writer process:
// "tst_historynotice --write FILE PEER COUNT" adds COUNT incoming messages
// from PEER.
class TestHistoryNotice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changeOfAnotherProcessReachesModelWithin100Ms();
    void writersAtOnceLoseNoUpdate();
};

namespace {
const QString Account = QStringLiteral("/org/freedesktop/Telepathy/Account/g/jabber/me");

int write(const QString &file, const QString &peer, int count)
{
    HistoryStore store(file);
    if (!store.isOpen())
        return 1;
    for (int i = 0; i < count; ++i) {
        HistoryMessage m;
        m.setSenderId(peer);
        m.setToken(QStringLiteral("%1-%2-%3").arg(peer).arg(QCoreApplication::applicationPid()).arg(i));
        m.setText(QStringLiteral("message %1").arg(i));
        if (store.addMessage(ChatContext(peer, Account), m) < 0)
            return 1;
    }
    return 0;
}

QProcess *startWriter(const QString &file, const QString &peer, int count)
{
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--write"), file, peer, QString::number(count)});
    return process;
}
} // namespace

void TestHistoryNotice::changeOfAnotherProcessReachesModelWithin100Ms()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("history.db"));
    HistoryStore store(file);
    HistoryThreadModel model(&store);
    QCOMPARE(model.rowCount(), 0);
    QSignalSpy added(&store, &HistoryStore::messageAdded);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    QScopedPointer<QProcess> writer(startWriter(file, QStringLiteral("alice"), 1));
    QVERIFY(writer->waitForFinished(10000));
    QCOMPARE(writer->exitCode(), 0);
    // The writer has committed and announced before it ended.
    QElapsedTimer timer;
    timer.start();
    QTRY_COMPARE_WITH_TIMEOUT(inserted.count(), 1, 5000);
    QVERIFY2(timer.elapsed() <= 100, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(added.count(), 1);
    QCOMPARE(model.threadAt(0).remoteIds(), QStringList{QStringLiteral("alice")});
    QCOMPARE(model.threadAt(0).unreadCount(), 1);

    // This process's own change is announced once, not again from the bus.
    QVERIFY(store.markRead(model.threadAt(0).id()));
    QCOMPARE(model.threadAt(0).unreadCount(), 0);
    QTest::qWait(50);
    QCOMPARE(added.count(), 1);
}

void TestHistoryNotice::writersAtOnceLoseNoUpdate()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("history.db"));
    HistoryStore store(file);
    QList<QProcess *> writers;
    for (int i = 0; i < 3; ++i)
        writers << startWriter(file, QStringLiteral("bob"), 150);
    QVERIFY(write(file, QStringLiteral("bob"), 150) == 0);
    for (QProcess *w : qAsConst(writers)) {
        QVERIFY(w->waitForFinished(60000));
        QCOMPARE(w->exitCode(), 0);
        delete w;
    }
    const HistoryThread thread = store.thread(store.threadId(ChatContext(QStringLiteral("bob"), Account)));
    QCOMPARE(thread.unreadCount(), 600);
    QCOMPARE(store.messages(thread.id(), 1000).size(), 600);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && qstrcmp(argv[1], "--write") == 0)
        return write(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), atoi(argv[4]));
    TestHistoryNotice test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_historynotice.moc"
