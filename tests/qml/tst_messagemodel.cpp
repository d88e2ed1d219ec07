// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "messagemodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

class TestMessageModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void staysConsistentWhileMessagesComeAndChange();
    void finalStatesStay();
};

void TestMessageModel::staysConsistentWhileMessagesComeAndChange()
{
    QmlMessageModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    model.appendOutgoing(QStringLiteral("m1"), QStringLiteral("one"));
    model.appendIncoming(QStringLiteral("bob"), QStringLiteral("two"), QDateTime());
    model.appendOutgoing(QStringLiteral("m2"), QStringLiteral("three"));
    QCOMPARE(model.count(), 3);
    QCOMPARE(model.rowOf(QStringLiteral("m2")), 2);

    model.setState(QStringLiteral("m2"), QmlMessageModel::Failed, QStringLiteral("refused"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 2);
    const QVariantMap row = model.get(2);
    QCOMPARE(row.value(QStringLiteral("state")).toInt(), int(QmlMessageModel::Failed));
    QCOMPARE(row.value(QStringLiteral("failureReason")).toString(), QStringLiteral("refused"));
    QCOMPARE(model.get(1).value(QStringLiteral("incoming")).toBool(), true);

    model.setState(QStringLiteral("unknown"), QmlMessageModel::Sent);
    QCOMPARE(changed.count(), 1);
}

void TestMessageModel::finalStatesStay()
{
    QmlMessageModel model;
    model.appendOutgoing(QStringLiteral("late"), QStringLiteral("x"));
    model.setState(QStringLiteral("late"), QmlMessageModel::Delivered);
    model.setState(QStringLiteral("late"), QmlMessageModel::Sent);
    QCOMPARE(model.get(0).value(QStringLiteral("state")).toInt(), int(QmlMessageModel::Delivered));

    model.appendOutgoing(QStringLiteral("gone"), QStringLiteral("y"));
    model.setState(QStringLiteral("gone"), QmlMessageModel::Retrying, QStringLiteral("offline"));
    model.setState(QStringLiteral("gone"), QmlMessageModel::Failed, QStringLiteral("gave up"));
    model.setState(QStringLiteral("gone"), QmlMessageModel::Sent);
    QCOMPARE(model.get(1).value(QStringLiteral("state")).toInt(), int(QmlMessageModel::Failed));
    QCOMPARE(model.get(1).value(QStringLiteral("failureReason")).toString(), QStringLiteral("gave up"));
}

QTEST_GUILESS_MAIN(TestMessageModel)
#include "tst_messagemodel.moc"
