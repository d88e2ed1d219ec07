// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historymessagemodel.h"
#include "historystore.h"
#include "historythreadmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// Both history models on a store of their own, checked by Qt's model
// tester while they page and follow the store.
class TestHistoryModels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void threadModelPagesAndFollowsTheStoreRowByRow();
    void messageModelPagesAndFollowsTheStoreRowByRow();
    void messageModelOpensOnASearchHit();

private:
    qint64 add(int party, int minute, bool out = false, const QString &text = QStringLiteral("text"));

    QScopedPointer<QTemporaryDir> m_dir;
    QScopedPointer<HistoryStore> m_store;
    int m_token = 0;
};

namespace {
const QString Account = QStringLiteral("/org/freedesktop/Telepathy/Account/g/jabber/me");
ChatContext party(int n)
{
    return ChatContext(QStringLiteral("friend%1@example.com").arg(n), Account);
}
} // namespace

void TestHistoryModels::init()
{
    m_dir.reset(new QTemporaryDir);
    m_store.reset(new HistoryStore(m_dir->filePath(QStringLiteral("history.db"))));
    QVERIFY(m_store->isOpen());
}

void TestHistoryModels::cleanup()
{
    m_store.reset();
}

qint64 TestHistoryModels::add(int n, int minute, bool out, const QString &text)
{
    HistoryMessage m;
    m.setDirection(out ? HistoryMessage::Outgoing : HistoryMessage::Incoming);
    m.setToken(QString::number(++m_token));
    m.setText(text);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(1700000000000 + minute * 60000LL, Qt::UTC);
    m.setSentTime(time);
    m.setReceivedTime(out ? QDateTime() : time);
    return m_store->addMessage(party(n), m);
}

void TestHistoryModels::threadModelPagesAndFollowsTheStoreRowByRow()
{
    for (int i = 0; i < 12; ++i)
        add(i, i);
    HistoryThreadModel model(m_store.data());
    model.setPageSize(5);
    model.setUnreadOnly(true);
    model.setUnreadOnly(false);
    QCOMPARE(model.rowCount(), 5);
    QVERIFY(model.canFetchMore(QModelIndex()));
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    // A loaded thread gets a new message: it moves to the top.
    add(9, 100);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(model.data(model.index(0), HistoryThreadModel::TitleRole).toString(), QStringLiteral("friend9@example.com"));
    QCOMPARE(model.data(model.index(0), HistoryThreadModel::UnreadCountRole).toInt(), 2);
    // A thread beyond the loaded pages comes to the top: inserted.
    add(0, 101);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model.data(model.index(0), HistoryThreadModel::ThreadIdRole).toLongLong(), m_store->threadId(party(0)));
    QCOMPARE(model.rowCount(), 6);
    // A new thread, then read, draft and removal.
    add(50, 102, true);
    QCOMPARE(model.data(model.index(0), HistoryThreadModel::LastIncomingRole).toBool(), false);
    QVERIFY(m_store->markRead(m_store->threadId(party(9))));
    const int row = model.rowOf(m_store->threadId(party(9)));
    QCOMPARE(row, 2);
    QCOMPARE(model.data(model.index(row), HistoryThreadModel::UnreadCountRole).toInt(), 0);
    QVERIFY(m_store->removeThread(m_store->threadId(party(9))));
    QCOMPARE(removed.count(), 1);
    // The tester fetches every page itself and checks each change from here.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    while (model.canFetchMore(QModelIndex()))
        model.fetchMore(QModelIndex());
    QCOMPARE(model.rowCount(), 12);
    QCOMPARE(reset.count(), 0);
    // The unread filter drops a thread once it is read.
    model.setUnreadOnly(true);
    QCOMPARE(model.rowCount(), 11); // all but the outgoing-only thread, every page fetched
    QVERIFY(m_store->markRead(model.data(model.index(2), HistoryThreadModel::ThreadIdRole).toLongLong()));
    QCOMPARE(model.rowCount(), 10);
    QCOMPARE(model.roleNames().value(HistoryThreadModel::LastTimeRole), QByteArray("lastTime"));
}

void TestHistoryModels::messageModelPagesAndFollowsTheStoreRowByRow()
{
    for (int i = 0; i < 23; ++i)
        add(1, i, i % 2);
    add(2, 30);
    HistoryMessageModel model(m_store.data());
    model.setPageSize(10);
    model.setThreadId(m_store->threadId(party(1)));
    QCOMPARE(model.rowCount(), 10);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    const qint64 newest = add(1, 40, false, QStringLiteral("newest"));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model.data(model.index(0), HistoryMessageModel::MessageIdRole).toLongLong(), newest);
    add(1, -5); // older than everything loaded: left for fetchMore()
    add(2, 41); // another thread
    QCOMPARE(inserted.count(), 1);
    QVERIFY(m_store->markRead(QList<qint64>{newest}));
    QCOMPARE(model.data(model.index(0), HistoryMessageModel::ReadRole).toBool(), true);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    while (model.canFetchMore(QModelIndex()))
        model.fetchMore(QModelIndex());
    QCOMPARE(model.rowCount(), 25);
    QCOMPARE(model.messageAt(24).text(), QStringLiteral("text"));
    QVERIFY(model.messageAt(24).time() < model.messageAt(23).time());
    QVERIFY(m_store->removeMessages({newest}));
    QCOMPARE(model.rowCount(), 24);
    QCOMPARE(reset.count(), 0);
    QVERIFY(m_store->removeThread(model.threadId()));
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(reset.count(), 0);
}

void TestHistoryModels::messageModelOpensOnASearchHit()
{
    for (int i = 0; i < 40; ++i)
        add(1, i, false, i == 20 ? QStringLiteral("the needle") : QStringLiteral("hay"));
    HistoryMessageModel model(m_store.data());
    model.setPageSize(10);
    const QList<HistoryMessage> hits = m_store->search(QStringLiteral("need"));
    QCOMPARE(hits.size(), 1);
    QVERIFY(model.showAround(hits.first().id()));
    QCOMPARE(model.rowCount(), 11);
    QCOMPARE(model.messageAt(5).id(), hits.first().id());
    QVERIFY(model.canFetchNewer());
    add(1, 99); // newer rows are not loaded yet: not inserted
    QCOMPARE(model.rowCount(), 11);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    while (model.canFetchNewer())
        model.fetchNewer();
    while (model.canFetchMore(QModelIndex()))
        model.fetchMore(QModelIndex());
    QCOMPARE(model.rowCount(), 41);
    for (int i = 1; i < model.rowCount(); ++i)
        QVERIFY(model.messageAt(i - 1).time() > model.messageAt(i).time());
}

QTEST_GUILESS_MAIN(TestHistoryModels)
#include "tst_historymodels.moc"
