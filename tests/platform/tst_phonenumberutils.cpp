// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "phonenumberutils.h"

#include <QRandomGenerator>
#include <QtTest>

// Phone-number rules the rest of the library relies on: conversations,
// duplicate checks and contact lookups all compare addresses through here.
class TestPhoneNumberUtils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { PhoneNumberUtils::setDefaultRegion(QStringLiteral("FI")); }
    void cleanupTestCase() { PhoneNumberUtils::setDefaultRegion(QString()); }

    void matchesAddresses_data();
    void matchesAddresses();
    void matchIsSymmetric();
    void nationalFormsNeedAKnownRegion();
    void detectsPhoneNumbers_data();
    void detectsPhoneNumbers();
    void shortNumberIsOneKeyPerNumber();
    void contactsNormaliserKeepsPlusAndAsciifiesDigits_data();
    void contactsNormaliserKeepsPlusAndAsciifiesDigits();
    void regionComesFromSettingThenEnvironmentNeverLanguage();
    void survivesHostileInput();

    // What callers that key maps or compare normal forms rely on, for any
    // number in any region.
    void normalisationIsStable_data();
    void normalisationIsStable();
    void matchingNumbersShareKeys_data();
    void matchingNumbersShareKeys();
    void unknownRegionGivesNationalAndInternationalFormsOneKey();
    void cacheStaysWithinItsCapacityAndKeepsAnswering();
};

namespace {

// Written forms of phone numbers as they reach the library: national and
// international, with the usual separators, international prefixes and
// Unicode digits, plus numbers that are only almost numbers.
QStringList generatedNumbers(quint32 seed, int count)
{
    QRandomGenerator random(seed);
    const char *countries[] = {"1", "7", "39", "44", "46", "49", "52", "54", "55", "358", "380", "971", "800", "999"};
    const char *prefixes[] = {"+", "00", "011", "8 10 ", "0", "", "+", "(0)"};
    const char *separators[] = {"", " ", "-", ".", " / "};
    QStringList numbers;
    QString country, subscriber;
    for (int i = 0; i < count; ++i) {
        // A new party every few numbers; the others are forms of the last one.
        if (i % 4 == 0) {
            country = QLatin1String(countries[random.bounded(int(std::size(countries)))]);
            subscriber.clear();
            const int length = 3 + random.bounded(12);
            for (int d = 0; d < length; ++d)
                subscriber += QLatin1Char(char('0' + random.bounded(10)));
        }
        const QString prefix = QLatin1String(prefixes[random.bounded(int(std::size(prefixes)))]);
        QString number = prefix;
        if (prefix == QLatin1String("(0)"))
            number = QLatin1Char('+') + country + QLatin1String(" (0) ");
        else if (prefix != QLatin1String("0") && !prefix.isEmpty())
            number += country + QLatin1Char(' ');
        const QString separator = QLatin1String(separators[random.bounded(int(std::size(separators)))]);
        for (int d = 0; d < subscriber.size(); ++d) {
            if (d > 0 && random.bounded(4) == 0)
                number += separator;
            number += subscriber.at(d);
        }
        if (random.bounded(20) == 0)
            number.replace(QLatin1Char('4'), QChar(0x0664)); // Arabic-Indic four
        if (random.bounded(25) == 0)
            number += QLatin1Char('#');
        numbers << number;
    }
    return numbers;
}

} // namespace

void TestPhoneNumberUtils::matchesAddresses_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("match");

    QTest::newRow("identical") << "+358401234567" << "+358401234567" << true;
    QTest::newRow("identical non-number") << "bob" << "bob" << true;
    QTest::newRow("identical empty") << "" << "" << true;
    QTest::newRow("spaced international") << "+358401234567" << "+358 40 123 4567" << true;
    QTest::newRow("national vs international") << "+358401234567" << "040 123 4567" << true;
    QTest::newRow("00 prefix vs plus") << "00358401234567" << "+358401234567" << true;
    QTest::newRow("dashes and brackets") << "(040) 123-4567" << "0401234567" << true;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("+٣٥٨٤٠١٢٣٤٥٦٧") << "+358401234567" << true;
    QTest::newRow("fullwidth digits") << QString::fromUtf8("０４０１２３４５６７") << "+358401234567" << true;
    QTest::newRow("different numbers") << "+358401234567" << "+358401234568" << false;
    QTest::newRow("same national digits, other country") << "+358401234567" << "+46401234567" << false;
    QTest::newRow("short code is not a suffix") << "12345" << "+35812345" << false;
    QTest::newRow("short code vs itself spaced") << "12 345" << "12345" << true;
    QTest::newRow("same subscriber, other country") << "+3581234567" << "+46 1234567" << false;
    QTest::newRow("local number in the default region") << "1234567" << "+3581234567" << true;
    QTest::newRow("service code") << "*100#" << "100" << false;
    QTest::newRow("service code spaced") << "*100#" << "* 100 #" << true;
    QTest::newRow("im ids differ") << "alice@example.com" << "bob@example.com" << false;
    QTest::newRow("im id vs number") << "alice" << "0401234567" << false;
    QTest::newRow("room vs number") << "#room1234567" << "1234567" << false;
    QTest::newRow("case matters for ids") << "Bob" << "bob" << false;
    QTest::newRow("empty vs number") << "" << "0401234567" << false;
    QTest::newRow("lone plus") << "+" << "" << false;
    QTest::newRow("double plus is not a number") << "++358401234567" << "+358401234567" << false;
    QTest::newRow("00 alone") << "00" << "0" << false;
}

void TestPhoneNumberUtils::matchesAddresses()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, match);
    QCOMPARE(PhoneNumberUtils::remoteAddressMatch(a, b), match);
}

void TestPhoneNumberUtils::matchIsSymmetric()
{
    const QStringList pool = { QStringLiteral("+358401234567"), QStringLiteral("040 123 4567"),
                               QStringLiteral("12345"), QStringLiteral("+35812345"),
                               QStringLiteral("bob"), QStringLiteral("*100#"), QString() };
    for (const QString &a : pool) {
        for (const QString &b : pool)
            QCOMPARE(PhoneNumberUtils::remoteAddressMatch(a, b),
                     PhoneNumberUtils::remoteAddressMatch(b, a));
    }
}

void TestPhoneNumberUtils::nationalFormsNeedAKnownRegion()
{
    PhoneNumberUtils::setDefaultRegion(QStringLiteral("ZZ"));
    // Without a region a national form cannot be placed, but it still
    // matches itself and a number that carries the country code.
    QVERIFY(PhoneNumberUtils::remoteAddressMatch(QStringLiteral("040 123 4567"), QStringLiteral("0401234567")));
    QVERIFY(PhoneNumberUtils::remoteAddressMatch(QStringLiteral("+358401234567"), QStringLiteral("0401234567")));
    QVERIFY(!PhoneNumberUtils::remoteAddressMatch(QStringLiteral("0401234567"), QStringLiteral("0401234568")));
    // Changing the region takes effect on numbers compared before.
    PhoneNumberUtils::setDefaultRegion(QStringLiteral("SE"));
    QCOMPARE(PhoneNumberUtils::normalizePhoneNumber(QStringLiteral("070 123 45 67")),
             QStringLiteral("+46701234567"));
}

void TestPhoneNumberUtils::detectsPhoneNumbers_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("normalized");

    QTest::newRow("user name") << "bob" << "";
    QTest::newRow("e-mail like") << "bob@example.com" << "";
    QTest::newRow("room") << "#room" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("separators only") << " -() " << "";
    QTest::newRow("lone plus") << "+" << "";
    QTest::newRow("double plus") << "++358" << "";
    QTest::newRow("dialled national") << "040 123 4567" << "+358401234567";
    QTest::newRow("international") << "+358 40 1234567" << "+358401234567";
    QTest::newRow("short code") << "12345" << "12345";
    QTest::newRow("service code") << "*100#" << "*100#";
    QTest::newRow("zeroes") << "00" << "00";
}

void TestPhoneNumberUtils::detectsPhoneNumbers()
{
    QFETCH(QString, identifier);
    QFETCH(QString, normalized);
    QCOMPARE(PhoneNumberUtils::normalizePhoneNumber(identifier), normalized);
}

void TestPhoneNumberUtils::shortNumberIsOneKeyPerNumber()
{
    const QString key = PhoneNumberUtils::makeShortNumber(QStringLiteral("+358401234567"));
    for (const char *form : { "040 123 4567", "0401234567", "+358 40 123 45 67", "00358401234567",
                              "(040) 123-4567" })
        QCOMPARE(PhoneNumberUtils::makeShortNumber(QString::fromLatin1(form)), key);
    QVERIFY(PhoneNumberUtils::makeShortNumber(QStringLiteral("0401234568")) != key);
    QVERIFY(PhoneNumberUtils::makeShortNumber(QStringLiteral("+46401234567")) != key);
    QVERIFY(PhoneNumberUtils::makeShortNumber(QStringLiteral("12345"))
            != PhoneNumberUtils::makeShortNumber(QStringLiteral("+35812345")));
    QCOMPARE(PhoneNumberUtils::makeShortNumber(QStringLiteral("bob")), QStringLiteral("bob"));
}

void TestPhoneNumberUtils::contactsNormaliserKeepsPlusAndAsciifiesDigits_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::newRow("spaces") << "+358 40 123 4567" << "+358401234567";
    QTest::newRow("separators") << "(040) 123-45.67" << "0401234567";
    QTest::newRow("arabic-indic") << QString::fromUtf8("+٣٥٨ ٤٠") << "+35840";
    QTest::newRow("devanagari") << QString::fromUtf8("०४०१२३") << "040123";
    QTest::newRow("non-number untouched") << "Bank Info" << "Bank Info";
    QTest::newRow("empty") << "" << "";
}

void TestPhoneNumberUtils::contactsNormaliserKeepsPlusAndAsciifiesDigits()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QCOMPARE(PhoneNumberUtils::normalizePhoneNumberForContacts(input), output);
}

void TestPhoneNumberUtils::regionComesFromSettingThenEnvironmentNeverLanguage()
{
    PhoneNumberUtils::setDefaultRegion(QString());
    qputenv("LANG", "en_US.UTF-8");
    qputenv("LC_ALL", "en_US.UTF-8");
    qunsetenv("LC_TELEPHONE");
    qunsetenv("MESSAGING_PHONE_REGION");
    PhoneNumberUtils::setDefaultRegion(QString()); // re-read the environment
    QCOMPARE(PhoneNumberUtils::defaultRegion(), QStringLiteral("ZZ"));

    qputenv("LC_TELEPHONE", "fi_FI.UTF-8");
    PhoneNumberUtils::setDefaultRegion(QString());
    QCOMPARE(PhoneNumberUtils::defaultRegion(), QStringLiteral("FI"));

    qputenv("MESSAGING_PHONE_REGION", "se");
    PhoneNumberUtils::setDefaultRegion(QString());
    QCOMPARE(PhoneNumberUtils::defaultRegion(), QStringLiteral("SE"));

    PhoneNumberUtils::setDefaultRegion(QStringLiteral("de"));
    QCOMPARE(PhoneNumberUtils::defaultRegion(), QStringLiteral("DE"));
}

void TestPhoneNumberUtils::survivesHostileInput()
{
    const QString huge(100 * 1024, QLatin1Char('5'));
    const QString hugeText(100 * 1024, QLatin1Char('x'));
    const QStringList inputs = { QString(), QString(QLatin1String("")), huge, hugeText,
                                 QStringLiteral("+"), QStringLiteral("++358"), QStringLiteral("00"),
                                 QStringLiteral("   "), QString(QChar(0xD800)), QStringLiteral("+0000000000000000000000") };
    for (const QString &a : inputs) {
        PhoneNumberUtils::normalizePhoneNumber(a);
        PhoneNumberUtils::makeShortNumber(a);
        PhoneNumberUtils::normalizePhoneNumberForContacts(a);
        for (const QString &b : inputs)
            QCOMPARE(PhoneNumberUtils::remoteAddressMatch(a, b), a == b || PhoneNumberUtils::remoteAddressMatch(b, a));
    }
    QVERIFY(PhoneNumberUtils::remoteAddressMatch(huge, huge));
    QVERIFY(!PhoneNumberUtils::remoteAddressMatch(huge, huge + QLatin1Char('5')));
}

void TestPhoneNumberUtils::normalisationIsStable_data()
{
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("number");

    // Both found by fuzzing: the first read differently as its own E.164
    // form, the second became a short code.
    QTest::newRow("mexican mobile prefix twice") << "ZZ" << "+52 11 91234 567478";
    QTest::newRow("mexican mobile prefix, region FI") << "FI" << "+52 11 91234 567478";
    QTest::newRow("us international prefix to short number") << "US" << "011 1 34567";
    QTest::newRow("national, region known") << "FI" << "040 123 4567";
    QTest::newRow("national, region unknown") << "ZZ" << "040 123 4567";
    QTest::newRow("italian leading zero") << "IT" << "06 1234 5678";
    QTest::newRow("argentine mobile") << "AR" << "011 15 2345 6789";
    QTest::newRow("trunk zero in international form") << "GB" << "+44 (0) 20 7946 0018";
    QTest::newRow("unknown country code") << "FI" << "+999 1234567";
    QTest::newRow("short code") << "FI" << "112";
}

void TestPhoneNumberUtils::normalisationIsStable()
{
    QFETCH(QString, region);
    QFETCH(QString, number);
    PhoneNumberUtils::setDefaultRegion(region);
    const QString normal = PhoneNumberUtils::normalizePhoneNumber(number);
    QVERIFY(!normal.isEmpty());
    QCOMPARE(PhoneNumberUtils::normalizePhoneNumber(normal), normal);
    QVERIFY2(PhoneNumberUtils::remoteAddressMatch(number, normal), qPrintable(normal));
    QVERIFY(PhoneNumberUtils::remoteAddressMatch(normal, number));
    QCOMPARE(PhoneNumberUtils::makeShortNumber(normal), PhoneNumberUtils::makeShortNumber(number));
}

void TestPhoneNumberUtils::matchingNumbersShareKeys_data()
{
    QTest::addColumn<QString>("region");
    for (const char *region : {"ZZ", "FI", "US", "MX", "IT", "AR", "GB"})
        QTest::newRow(region) << QString::fromLatin1(region);
}

// The property behind phone-context labels and every bucketed lookup:
// whatever two forms match, they share both keys; and match is reflexive
// and symmetric, normalisation idempotent.
void TestPhoneNumberUtils::matchingNumbersShareKeys()
{
    QFETCH(QString, region);
    PhoneNumberUtils::setDefaultRegion(region);
    const QStringList numbers = generatedNumbers(qHash(region), 400);
    int matches = 0;
    for (const QString &a : numbers) {
        QVERIFY(PhoneNumberUtils::remoteAddressMatch(a, QString(a)));
        const QString normal = PhoneNumberUtils::normalizePhoneNumber(a);
        QCOMPARE(PhoneNumberUtils::normalizePhoneNumber(normal), normal);
        if (!normal.isEmpty())
            QVERIFY2(PhoneNumberUtils::remoteAddressMatch(a, normal), qPrintable(a + QLatin1String(" / ") + normal));
        for (const QString &b : numbers) {
            const bool match = PhoneNumberUtils::remoteAddressMatch(a, b);
            QCOMPARE(PhoneNumberUtils::remoteAddressMatch(b, a), match);
            if (!match || a == b)
                continue;
            ++matches;
            QVERIFY2(PhoneNumberUtils::makeShortNumber(a) == PhoneNumberUtils::makeShortNumber(b),
                     qPrintable(a + QLatin1String(" / ") + b));
            QCOMPARE(PhoneNumberUtils::matchKey(a), PhoneNumberUtils::matchKey(b));
        }
    }
    QVERIFY2(matches > 200, qPrintable(QString::number(matches))); // the property must bite
}

void TestPhoneNumberUtils::unknownRegionGivesNationalAndInternationalFormsOneKey()
{
    PhoneNumberUtils::setDefaultRegion(QStringLiteral("ZZ"));
    const QString national = QStringLiteral("0401234567");
    for (const char *international : {"+358401234567", "+46 40 123 4567"}) {
        const QString other = QString::fromLatin1(international);
        QVERIFY(PhoneNumberUtils::remoteAddressMatch(national, other));
        QCOMPARE(PhoneNumberUtils::makeShortNumber(national), PhoneNumberUtils::makeShortNumber(other));
    }
    // Once the region is known the key tells the countries apart again.
    PhoneNumberUtils::setDefaultRegion(QStringLiteral("FI"));
    QVERIFY(PhoneNumberUtils::makeShortNumber(QStringLiteral("+358401234567"))
            != PhoneNumberUtils::makeShortNumber(QStringLiteral("+46401234567")));
}

void TestPhoneNumberUtils::cacheStaysWithinItsCapacityAndKeepsAnswering()
{
    PhoneNumberUtils::setCacheCapacity(100);
    QStringList numbers;
    for (int i = 0; i < 1000; ++i)
        numbers << QStringLiteral("040 %1").arg(1000000 + i * 7);
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < numbers.size(); ++i) {
            const QString international = QStringLiteral("+35840%1").arg(1000000 + i * 7);
            QVERIFY(PhoneNumberUtils::remoteAddressMatch(numbers.at(i), international));
            QVERIFY(!PhoneNumberUtils::remoteAddressMatch(numbers.at(i), numbers.at((i + 1) % numbers.size())));
        }
        const PhoneNumberUtils::CacheInfo info = PhoneNumberUtils::cacheInfo();
        QCOMPARE(info.capacity, 100);
        QCOMPARE(info.entries, 100);
        QVERIFY(info.bytes > 100 * 64 && info.bytes < 100 * 1024);
    }
    PhoneNumberUtils::setCacheCapacity(0);
    QCOMPARE(PhoneNumberUtils::cacheInfo().capacity, int(PhoneNumberUtils::DefaultCacheCapacity));
}

QTEST_GUILESS_MAIN(TestPhoneNumberUtils)
#include "tst_phonenumberutils.moc"
