// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "confitem.h"

#include <QtTest>

// dconf reads and writes, inside the test's private bus and home.
class TestConfItem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void missingKeyGivesTheDefault();
    void writtenValuesReadBackWithTheirTypes_data();
    void writtenValuesReadBackWithTheirTypes();
    void otherItemsOnTheKeyHearTheChange();
    void unsetReturnsToTheDefault();
    void oddKeysAreRefusedNotFatal_data();
    void oddKeysAreRefusedNotFatal();
    void unsupportedTypesAreRefused();
};

void TestConfItem::missingKeyGivesTheDefault()
{
    ConfItem item(QStringLiteral("/Messaging/Settings/DeliveryReport"));
    QCOMPARE(item.value(true), QVariant(true));
    QCOMPARE(item.value(), QVariant());
}

void TestConfItem::writtenValuesReadBackWithTheirTypes_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::newRow("bool") << QVariant(false);
    QTest::newRow("int") << QVariant(-42);
    QTest::newRow("uint") << QVariant(38102400u);
    QTest::newRow("int64") << QVariant(qlonglong(1) << 40);
    QTest::newRow("double") << QVariant(2.5);
    QTest::newRow("string") << QVariant(QStringLiteral("hyvää päivää"));
    QTest::newRow("string list") << QVariant(QStringList { QStringLiteral("a"), QStringLiteral("b") });
    QTest::newRow("bytes") << QVariant(QByteArray("\0\1\2", 3));
}

void TestConfItem::writtenValuesReadBackWithTheirTypes()
{
    QFETCH(QVariant, value);
    const QString key = QStringLiteral("/Messaging/Test/") + QString::fromLatin1(QTest::currentDataTag()).remove(QLatin1Char(' '));
    ConfItem writer(key);
    QSignalSpy changed(&writer, &ConfItem::valueChanged);
    QVERIFY(writer.set(value));
    QCOMPARE(writer.value(), value);
    QCOMPARE(writer.value().type(), value.type());
    // The write reaches dconf-service and comes back as a change.
    QVERIFY(changed.count() > 0 || changed.wait(10000));
}

void TestConfItem::otherItemsOnTheKeyHearTheChange()
{
    const QString key = QStringLiteral("/Messaging/Settings/DeliveryReport");
    ConfItem writer(key);
    ConfItem watcher(key);
    QSignalSpy changed(&watcher, &ConfItem::valueChanged);
    QVERIFY(writer.set(false));
    QTRY_VERIFY_WITH_TIMEOUT(changed.count() > 0, 10000);
    QCOMPARE(watcher.value(true), QVariant(false));
}

void TestConfItem::unsetReturnsToTheDefault()
{
    ConfItem item(QStringLiteral("/Messaging/Test/Unset"));
    QVERIFY(item.set(7));
    QCOMPARE(item.value(0).toInt(), 7);
    QVERIFY(item.unset());
    QCOMPARE(item.value(0).toInt(), 0);
}

void TestConfItem::oddKeysAreRefusedNotFatal_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("empty") << QString();
    QTest::newRow("relative") << "Messaging/Settings";
    QTest::newRow("directory") << "/Messaging/Settings/";
    QTest::newRow("double slash") << "/Messaging//Settings";
    QTest::newRow("huge") << QStringLiteral("/") + QString(100 * 1024, QLatin1Char('k'));
}

void TestConfItem::oddKeysAreRefusedNotFatal()
{
    QFETCH(QString, key);
    ConfItem item(key);
    if (item.isValidKey()) {
        // dconf accepts long keys; they simply work.
        QVERIFY(item.set(1));
        QCOMPARE(item.value().toInt(), 1);
        return;
    }
    QCOMPARE(item.value(QStringLiteral("fallback")), QVariant(QStringLiteral("fallback")));
    QVERIFY(!item.set(true));
}

void TestConfItem::unsupportedTypesAreRefused()
{
    ConfItem item(QStringLiteral("/Messaging/Test/Unsupported"));
    QVERIFY(!item.set(QVariant::fromValue(QPoint(1, 2))));
    QCOMPARE(item.value(), QVariant());
}

QTEST_GUILESS_MAIN(TestConfItem)
#include "tst_confitem.moc"
