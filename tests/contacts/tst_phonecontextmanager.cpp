// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "contactfixture.h"
#include "librarycatalogue.h"
#include "phonecontextmanager.h"

#include <QtTest>

QTCONTACTS_USE_NAMESPACE

class PhoneContextManagerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { fixture.setUp(); }
    void init() { fixture.clear(); }

    void labelsEveryNumberOfAMatchedContact();
    void ambiguousAndSingleNumbersGetNoLabel();
    void recencyWindowDropsTheOldestIdAndItsLabels();
    void fetchAskedForDuringAFetchIsAskedForAgainAfterIt();
    void addressBookChangesAskForAnUpdate();
    void failedFetchChangesNothing();
    void oneInstanceAndOneParameterMap();

private:
    // The words as the library's catalogue gives them.
    static QString label(const QStringList &words)
    {
        QStringList texts;
        for (const QString &id : words)
            texts << LibraryCatalogue::trId(id.toLatin1().constData());
        return QStringLiteral(" | ") + texts.join(QLatin1Char(' '));
    }
    static QString key(const QString &number) { return PhoneNumberUtils::makeShortNumber(number); }

    // Asks for the ids, then runs and handles the fetch they ask for.
    static void fetch(PhoneContextManager &manager, const QStringList &ids)
    {
        for (const QString &id : ids)
            manager.phoneContext(id);
        manager.update();
        QCoreApplication::sendPostedEvents();
    }

    static QMap<QString, QString> changes(const QSignalSpy &spy)
    {
        QMap<QString, QString> map;
        for (const QList<QVariant> &args : spy)
            map.insert(args.at(0).toString(), args.at(1).toString());
        return map;
    }

    ContactFixture fixture;
};

void PhoneContextManagerTest::labelsEveryNumberOfAMatchedContact()
{
    fixture.add(QStringLiteral("Anna"),
                {{QStringLiteral("+358 40 111 1111"), {QContactDetail::ContextHome}, {QContactPhoneNumber::SubTypeMobile}},
                 {QStringLiteral("+358 9 222 2222")},
                 {QStringLiteral("+358 9 333 3333"), {QContactDetail::ContextWork, QContactDetail::ContextOther},
                  {QContactPhoneNumber::SubTypeFax, QContactPhoneNumber::SubTypeLandline}}});

    PhoneContextManager manager;
    QSignalSpy needed(&manager, &PhoneContextManager::updateNeeded);
    QSignalSpy changed(&manager, &PhoneContextManager::phoneContextChanged);

    QVERIFY(manager.phoneContext(QString()).isNull());
    QCOMPARE(needed.count(), 0);
    manager.update(); // nothing pending: nothing happens
    QVERIFY(manager.phoneContext(QStringLiteral("040 111 1111")).isNull());
    QCOMPARE(needed.count(), 1);
    manager.update();
    manager.update(); // no longer pending: neither a fetch nor a second one afterwards
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 3, 5000);

    QMap<QString, QString> expected;
    expected.insert(key(QStringLiteral("+358401111111")), label({QStringLiteral("lxr_comm_type_home"),
                                                                 QStringLiteral("lxr_comm_type_mobile")}));
    expected.insert(key(QStringLiteral("+35892222222")), label({QStringLiteral("lxr_cont_type_other")}));
    expected.insert(key(QStringLiteral("+35893333333")), label({QStringLiteral("lxr_comm_type_work"),
                                                                QStringLiteral("lxr_comm_type_fax")}));
    QCOMPARE(changes(changed), expected);
    QCOMPARE(changed.at(0).at(0).toString(), expected.firstKey()); // in key order

    // Known now in any written form, without another fetch.
    QCOMPARE(manager.phoneContext(QStringLiteral("+358 40 1111111")), expected.first());
    QCOMPARE(manager.phoneContext(QStringLiteral("040 111 1111")), expected.first());
    QCOMPARE(needed.count(), 2);
}

void PhoneContextManagerTest::ambiguousAndSingleNumbersGetNoLabel()
{
    fixture.add(QStringLiteral("Shared A"), {{QStringLiteral("+358 40 777 7777"), {QContactDetail::ContextHome}},
                                             {QStringLiteral("+358 40 888 8888")}});
    fixture.add(QStringLiteral("Shared B"), {{QStringLiteral("040 777 7777"), {QContactDetail::ContextWork}},
                                             {QStringLiteral("+358 40 999 9999")}});
    fixture.add(QStringLiteral("Twice"), {{QStringLiteral("+358 50 123 4567"), {QContactDetail::ContextHome}},
                                          {QStringLiteral("050 1234567"), {QContactDetail::ContextWork}}});
    fixture.add(QStringLiteral("Solo"), {{QStringLiteral("+358 40 555 5555"), {QContactDetail::ContextHome}}});

    PhoneContextManager manager;
    QSignalSpy changed(&manager, &PhoneContextManager::phoneContextChanged);
    fetch(manager, {QStringLiteral("+358407777777"), QStringLiteral("+358501234567"), QStringLiteral("+358405555555")});
    QVERIFY(manager.phoneContext(QStringLiteral("+358407777777")).isEmpty());
    QVERIFY(manager.phoneContext(QStringLiteral("+358501234567")).isEmpty());
    QCOMPARE(manager.phoneContext(QStringLiteral("+358408888888")), label({QStringLiteral("lxr_cont_type_other")}));
    // A contact's only number is announced once, with an empty label.
    QVERIFY(changes(changed).contains(key(QStringLiteral("+358405555555"))));
    QVERIFY(manager.phoneContext(QStringLiteral("+358405555555")).isEmpty());

    // Nothing changed: nothing announced again.
    const int before = changed.count();
    manager.triggerUpdate();
    fetch(manager, {});
    QCOMPARE(changed.count(), before);
}

void PhoneContextManagerTest::recencyWindowDropsTheOldestIdAndItsLabels()
{
    QStringList ids;
    for (int i = 0; i < 21; ++i) {
        ids << QStringLiteral("+35840%1").arg(2000000 + i * 3);
        fixture.add(QStringLiteral("Person %1").arg(i), {{ids.last(), {QContactDetail::ContextHome}},
                                                         {QStringLiteral("+35850%1").arg(2000000 + i * 3)}});
    }
    const QString home = label({QStringLiteral("lxr_comm_type_home")});

    PhoneContextManager manager;
    fetch(manager, ids.mid(0, 20));
    // Asking again keeps ids[0] in the window, so ids[1] is now the oldest.
    QCOMPARE(manager.phoneContext(ids.first()), home);

    QSignalSpy changed(&manager, &PhoneContextManager::phoneContextChanged);
    fetch(manager, {ids.at(20)});
    QMap<QString, QString> expected;
    expected.insert(key(ids.at(1)), QString());
    expected.insert(key(QStringLiteral("+358502000003")), QString());
    expected.insert(key(ids.at(20)), home);
    expected.insert(key(QStringLiteral("+358502000060")), label({QStringLiteral("lxr_cont_type_other")}));
    QCOMPARE(changes(changed), expected);
    QCOMPARE(manager.phoneContext(ids.first()), home);
}

void PhoneContextManagerTest::fetchAskedForDuringAFetchIsAskedForAgainAfterIt()
{
    fixture.add(QStringLiteral("First"), {{QStringLiteral("+358401000001")}, {QStringLiteral("+358501000001")}});
    fixture.add(QStringLiteral("Later"), {{QStringLiteral("+358401000002")}, {QStringLiteral("+358501000002")}});
    PhoneContextManager manager;
    QSignalSpy needed(&manager, &PhoneContextManager::updateNeeded);
    QSignalSpy changed(&manager, &PhoneContextManager::phoneContextChanged);

    manager.phoneContext(QStringLiteral("+358401000001"));
    manager.update();
    manager.phoneContext(QStringLiteral("+358401000002"));
    manager.update(); // the first fetch has not been handled yet
    QTRY_COMPARE_WITH_TIMEOUT(needed.count(), 3, 5000);
    QCOMPARE(changed.count(), 2);
    QVERIFY(manager.phoneContext(QStringLiteral("+358401000002")).isNull());

    manager.update();
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 4, 5000);
    QCOMPARE(manager.phoneContext(QStringLiteral("+358401000002")), label({QStringLiteral("lxr_cont_type_other")}));
    QCOMPARE(needed.count(), 3);
}

void PhoneContextManagerTest::addressBookChangesAskForAnUpdate()
{
    QContact anna = fixture.add(QStringLiteral("Anna"), {{QStringLiteral("+358401111111"), {QContactDetail::ContextHome}},
                                                         {QStringLiteral("+358501111111")}});
    PhoneContextManager manager;
    QSignalSpy needed(&manager, &PhoneContextManager::updateNeeded);
    QSignalSpy changed(&manager, &PhoneContextManager::phoneContextChanged);

    fixture.add(QStringLiteral("Bert"), {{QStringLiteral("+358402222222")}});
    QCOMPARE(needed.count(), 0); // additions are not listened to
    // A change asks for an update even with nothing tracked; that fetch matches nothing.
    QContactName name = anna.detail<QContactName>();
    name.setLastName(QStringLiteral("Changed"));
    anna.saveDetail(&name);
    QVERIFY(fixture.store->saveContact(&anna));
    QCOMPARE(needed.count(), 1);
    fetch(manager, {});
    QCOMPARE(changed.count(), 0);

    fetch(manager, {QStringLiteral("+358401111111")});
    QCOMPARE(changed.count(), 2);

    // The labels leave with the contact, though the engine then answers
    // with no results at all.
    QVERIFY(fixture.store->removeContact(anna.id()));
    QCOMPARE(needed.count(), 3);
    fetch(manager, {});
    QCOMPARE(changed.count(), 4);
    QVERIFY(changed.at(2).at(1).toString().isEmpty() && changed.at(3).at(1).toString().isEmpty());
    QVERIFY(manager.phoneContext(QStringLiteral("+358401111111")).isNull());
}

void PhoneContextManagerTest::failedFetchChangesNothing()
{
    fixture.add(QStringLiteral("Anna"), {{QStringLiteral("+358401111111")}, {QStringLiteral("+358501111111")}});
    AddressBook::setEngine(QStringLiteral("invalid"));
    PhoneContextManager manager;
    AddressBook::setEngine(QStringLiteral("memory"));
    QSignalSpy needed(&manager, &PhoneContextManager::updateNeeded);
    QSignalSpy changed(&manager, &PhoneContextManager::phoneContextChanged);

    manager.phoneContext(QStringLiteral("+358401111111"));
    manager.update();
    // Remembered, but a failed fetch does not honour it.
    fetch(manager, {QStringLiteral("+358501111111")});
    QCOMPARE(changed.count(), 0);
    QCOMPARE(needed.count(), 2);
}

void PhoneContextManagerTest::oneInstanceAndOneParameterMap()
{
    const QMap<QString, QString> expected{{QStringLiteral("omit-presence-changes"), QStringLiteral("true")}};
    QCOMPARE(PhoneContextManager::contactManagerParameter(), expected);
    QCOMPARE(AddressBook::managerParameters().value(QStringLiteral("omit-presence-changes")), QStringLiteral("true"));

    QVERIFY(!PhoneContextManager::m_pInstance);
    PhoneContextManager *instance = PhoneContextManager::instance();
    QCOMPARE(PhoneContextManager::m_pInstance, instance);
    QCOMPARE(PhoneContextManager::instance(), instance);
    delete instance;
    QVERIFY(!PhoneContextManager::m_pInstance);
}

QTEST_GUILESS_MAIN(PhoneContextManagerTest)
#include "tst_phonecontextmanager.moc"
