// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The QML module's history models under QAbstractItemModelTester, on a
// store of the test's own: pages fetched, rows moved, inserted and removed
// by the store's changes, and a conversation's older pages.

#include "messagemodel.h"
#include "threadmodel.h"

#include <messaging0/historystore.h>

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString Alice = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");

ChatContext contact(int n)
{
    return ChatContext(QStringLiteral("c%1@loop.test").arg(n), Alice, OneToOneChat);
}

qint64 store(HistoryStore &history, const ChatContext &context, const QDateTime &time, bool incoming = true)
{
    HistoryMessage message;
    message.setDirection(incoming ? HistoryMessage::Incoming : HistoryMessage::Outgoing);
    message.setSenderId(incoming ? context.remoteUid() : QString());
    message.setSentTime(time);
    message.setReceivedTime(time);
    message.setText(QStringLiteral("at %1").arg(time.toString(Qt::ISODate)));
    return history.addMessage(context, message);
}
} // namespace

class TestQmlHistoryModels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void threadRowsFollowTheStoreAcrossPages();
    void conversationLoadsOlderPagesAboveItsRows();
};

void TestQmlHistoryModels::threadRowsFollowTheStoreAcrossPages()
{
    QTemporaryDir dir;
    HistoryStore history(dir.filePath(QStringLiteral("history.db")));
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
    for (int i = 0; i < 120; ++i)
        store(history, contact(i), start.addSecs(i));

    QmlThreadModel model(&history);
    QCOMPARE(model.count(), 50);
    QCOMPARE(model.get(0).value(QStringLiteral("remoteIds")).toStringList(), QStringList{contact(119).remoteUid()});
    QVERIFY(model.canFetchMore(QModelIndex()));
    model.fetchMore(QModelIndex());
    QCOMPARE(model.count(), 100);
    // The tester fetches the rest itself.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    while (model.canFetchMore(QModelIndex()))
        model.fetchMore(QModelIndex());
    QCOMPARE(model.count(), 120);
    QVERIFY(!model.canFetchMore(QModelIndex()));
    QTRY_COMPARE(model.totalUnreadCount(), 120);

    // A new message moves its thread from the bottom to the top, unread 2.
    store(history, contact(0), QDateTime::currentDateTimeUtc());
    QCOMPARE(model.rowOf(history.threadId(contact(0))), 0);
    QCOMPARE(model.get(0).value(QStringLiteral("unreadCount")).toInt(), 2);
    QCOMPARE(model.get(0).value(QStringLiteral("title")).toString(), contact(0).remoteUid());
    // One in the middle moves up past its neighbours only as far as its time says.
    store(history, contact(60), start.addSecs(100).addMSecs(500));
    QCOMPARE(model.rowOf(history.threadId(contact(60))), 20);
    // A new conversation is inserted at the top, a removed one goes.
    store(history, contact(500), QDateTime::currentDateTimeUtc().addSecs(5));
    QCOMPARE(model.rowOf(history.threadId(contact(500))), 0);
    QCOMPARE(model.count(), 121);
    QVERIFY(model.remove(history.threadId(contact(119))));
    QCOMPARE(model.count(), 120);
    QVERIFY(model.markRead(history.threadId(contact(0))));
    QCOMPARE(model.get(1).value(QStringLiteral("unreadCount")).toInt(), 0);
    // 120, three more, one removed, two read.
    QTRY_COMPARE(model.totalUnreadCount(), 120 + 3 - 1 - 2);

    // Unread only: a read thread leaves the list.
    model.setUnreadOnly(true);
    const int unread = model.count();
    QVERIFY(model.markRead(history.threadId(contact(500))));
    QCOMPARE(model.count(), unread - 1);
}

void TestQmlHistoryModels::conversationLoadsOlderPagesAboveItsRows()
{
    QTemporaryDir dir;
    HistoryStore history(dir.filePath(QStringLiteral("history.db")));
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
    for (int i = 0; i < 120; ++i)
        store(history, contact(1), start.addSecs(i), i % 2 == 0);
    const qint64 thread = history.threadId(contact(1));

    QmlMessageModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy older(&model, &QmlMessageModel::olderWanted);
    model.prependHistory(history.messages(thread, 50));
    model.setHasOlder(true);
    QCOMPARE(model.count(), 50);
    QCOMPARE(model.get(49).value(QStringLiteral("timestamp")).toDateTime(), start.addSecs(119));
    model.fetchOlder();
    QCOMPARE(older.count(), 1);
    model.prependHistory(history.messages(thread, 50, model.oldestStored()));
    model.prependHistory(history.messages(thread, 50, model.oldestStored()));
    QCOMPARE(model.count(), 120);
    QCOMPARE(model.get(0).value(QStringLiteral("timestamp")).toDateTime(), start);
    // A stored message appears once, also when told of twice.
    const qint64 id = store(history, contact(1), QDateTime::currentDateTimeUtc());
    model.addStored(history.message(id));
    model.addStored(history.message(id));
    QCOMPARE(model.count(), 121);
}

QTEST_GUILESS_MAIN(TestQmlHistoryModels)
#include "tst_qmlhistorymodels.moc"
