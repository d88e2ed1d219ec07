// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "smssegmentcounter.h"

#include <QtTest>

// Texts are built from repeated characters; 'Ж' (Cyrillic) is outside the
// GSM alphabet, '€' in its extension table, U+1F600 outside the BMP.
class TestSmsSegmentCounter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void countsUnitsSegmentsAndRoomLeft_data();
    void countsUnitsSegmentsAndRoomLeft();
};

void TestSmsSegmentCounter::countsUnitsSegmentsAndRoomLeft_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<int>("units");
    QTest::addColumn<int>("segments");
    QTest::addColumn<int>("remaining");
    QTest::addColumn<int>("firstPartLength");

    const QString a = QStringLiteral("a");
    const QString zhe = QStringLiteral("Ж");
    const QString euro = QStringLiteral("€");
    const QString emoji = QString::fromUcs4(U"\U0001F600");
    const int gsm = SmsSegmentCounter::Gsm7;
    const int ucs = SmsSegmentCounter::Ucs2;

    QTest::newRow("empty") << QString() << gsm << 0 << 0 << 160 << -1;
    QTest::newRow("plain 161") << a.repeated(161) << gsm << 161 << 2 << 145 << 153;
    QTest::newRow("extension counts two") << euro << gsm << 2 << 1 << 158 << 1;
    QTest::newRow("extension fills 160") << a.repeated(158) + euro << gsm << 160 << 1 << 0 << 159;
    QTest::newRow("extension not split") << a.repeated(152) + euro + a.repeated(9) << gsm << 163 << 2 << 142 << 152;
    QTest::newRow("greek capital is gsm") << QStringLiteral("ΔΩ") << gsm << 2 << 1 << 158 << 2;
    QTest::newRow("c cedilla small is not") << QStringLiteral("ç") << ucs << 1 << 1 << 69 << 1;
    QTest::newRow("ucs2 71") << zhe.repeated(71) << ucs << 71 << 2 << 63 << 67;
    QTest::newRow("emoji fills 70") << zhe.repeated(68) + emoji << ucs << 70 << 1 << 0 << 70;
    QTest::newRow("emoji on boundary") << zhe.repeated(66) + emoji + zhe.repeated(3) << ucs << 71 << 2 << 62 << 66;
    QTest::newRow("three parts") << a.repeated(307) << gsm << 307 << 3 << 152 << 153;
}

void TestSmsSegmentCounter::countsUnitsSegmentsAndRoomLeft()
{
    QFETCH(QString, text);
    QFETCH(int, encoding);
    QFETCH(int, units);
    QFETCH(int, segments);
    QFETCH(int, remaining);
    QFETCH(int, firstPartLength);

    const SmsSegmentCounter counter(text);
    QCOMPARE(int(counter.encoding()), encoding);
    QCOMPARE(counter.units(), units);
    QCOMPARE(counter.segments(), segments);
    QCOMPARE(counter.remaining(), remaining);
    const QStringList parts = counter.parts();
    QCOMPARE(parts.size(), segments);
    QCOMPARE(parts.join(QString()), text);
    if (firstPartLength >= 0)
        QCOMPARE(parts.first().size(), firstPartLength);
}

QTEST_GUILESS_MAIN(TestSmsSegmentCounter)
#include "tst_smssegmentcounter.moc"
