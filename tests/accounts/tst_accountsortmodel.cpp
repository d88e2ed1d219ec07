// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// AccountSortModel over a plain source model: the order the account list
// shows, whatever the source is.

#include "accountsortmodel.h"

#include <QAbstractItemModelTester>
#include <QStandardItemModel>
#include <QtTest>

namespace {
// One column of display texts, each row tagged in Qt::UserRole with its
// source row.
QStandardItemModel *sourceOf(const QList<QVariant> &values, QObject *parent)
{
    auto *model = new QStandardItemModel(parent);
    for (int row = 0; row < values.size(); ++row) {
        auto *item = new QStandardItem;
        item->setData(values.at(row), Qt::DisplayRole);
        item->setData(row, Qt::UserRole);
        model->appendRow(item);
    }
    return model;
}

QList<int> sourceRowsInOrder(const QSortFilterProxyModel &proxy)
{
    QList<int> rows;
    for (int row = 0; row < proxy.rowCount(); ++row)
        rows << proxy.mapToSource(proxy.index(row, 0)).row();
    return rows;
}
} // namespace

class AccountSortModelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ordersBySortString_data();
    void ordersBySortString();
    void ignoresTheSortRole();
    void followsChangesOfTheSource();
};

void AccountSortModelTest::ordersBySortString_data()
{
    QTest::addColumn<QList<QVariant>>("values");
    QTest::addColumn<QList<int>>("expected"); // source rows in sorted order

    QTest::newRow("SMS entry first") << QList<QVariant>{"1chatalice", "1abc", "0"} << QList<int>{2, 1, 0};
    QTest::newRow("service, then account name")
        << QList<QVariant>{"1skypezed", "1chatbob", "1chatalice", "1skypeanna"} << QList<int>{2, 1, 3, 0};
    QTest::newRow("equal texts keep source order")
        << QList<QVariant>{"1chatx", "0", "1chatx", "1chatx"} << QList<int>{1, 0, 2, 3};
    // Booleans and ids compare as their texts: "10" before "9", "-1" first.
    QTest::newRow("numbers as text") << QList<QVariant>{9, 10, -1} << QList<int>{2, 1, 0};
    QTest::newRow("booleans as text") << QList<QVariant>{true, false} << QList<int>{1, 0};
}

void AccountSortModelTest::ordersBySortString()
{
    QFETCH(QList<QVariant>, values);
    QFETCH(QList<int>, expected);
    AccountSortModel proxy;
    proxy.setSourceModel(sourceOf(values, &proxy));
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    proxy.sort(0);
    QCOMPARE(sourceRowsInOrder(proxy), expected);

    proxy.sort(0, Qt::DescendingOrder);
    QCOMPARE(proxy.mapToSource(proxy.index(proxy.rowCount() - 1, 0)).row(), expected.first());
}

void AccountSortModelTest::ignoresTheSortRole()
{
    AccountSortModel proxy;
    // User-role data (source rows 0, 1, 2) would give the opposite order.
    proxy.setSourceModel(sourceOf({"1c", "1b", "1a"}, &proxy));
    proxy.setSortRole(Qt::UserRole);
    proxy.sort(0);
    QCOMPARE(sourceRowsInOrder(proxy), (QList<int>{2, 1, 0}));
}

void AccountSortModelTest::followsChangesOfTheSource()
{
    AccountSortModel proxy;
    QStandardItemModel *source = sourceOf({"1chatbob", "0", "1chatalice"}, &proxy);
    proxy.setSourceModel(source);
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    proxy.setDynamicSortFilter(true);
    proxy.sort(0);
    QCOMPARE(sourceRowsInOrder(proxy), (QList<int>{1, 2, 0}));

    source->item(0)->setData(QStringLiteral("1chataaron"), Qt::DisplayRole);
    QCOMPARE(sourceRowsInOrder(proxy), (QList<int>{1, 0, 2}));
    source->appendRow(new QStandardItem(QStringLiteral("1abc")));
    QCOMPARE(sourceRowsInOrder(proxy), (QList<int>{1, 3, 0, 2}));
}

QTEST_GUILESS_MAIN(AccountSortModelTest)
#include "tst_accountsortmodel.moc"
