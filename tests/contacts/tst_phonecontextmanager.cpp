#include "contactfixture.h"
#include "phonecontextmanager.h"

#include <QtTest>

QTCONTACTS_USE_NAMESPACE

// Without a catalogue qtTrId() answers with the logical id itself.
const QString Home = QStringLiteral("lxr_comm_type_home");
const QString Work = QStringLiteral("lxr_comm_type_work");
const QString Mobile = QStringLiteral("lxr_comm_type_mobile");
const QString Fax = QStringLiteral("lxr_comm_type_fax");
const QString Other = QStringLiteral("lxr_cont_type_other");

class PhoneContextManagerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { fixture.setUp(); }
    void init() { fixture.clear(); }

    void sharesOneParameterMapWithEveryManager();
    void labelsEveryNumberOfAMatchedContact();
    void singleNumberIsAnnouncedWithAnEmptyLabel();
    void sameShortNumberTwiceGetsNoLabel();
    void emptyRemoteIdIsNotTracked();
    void recencyWindowDropsTheOldestIdAndItsLabels();
    void askingAgainKeepsAnIdInTheWindow();
    void updateWithoutPendingWorkDoesNothing();
    void fetchAskedForDuringAFetchIsAskedForAgainAfterIt();
    void addressBookChangesAskForAnUpdate();
    void failedFetchChangesNothing();
    void singletonIsCreatedOnce();

private:
    static QString label(std::initializer_list<QString> words)
    {
        QString text = QStringLiteral(" |");
        for (const QString &word : words)
            text += QLatin1Char(' ') + word;
        return text;
    }

    // Asks for the ids, runs the fetch they ask for and waits for it to be handled.
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

void PhoneContextManagerTest::sharesOneParameterMapWithEveryManager()
{
    const QMap<QString, QString> expected{{QStringLiteral("omit-presence-changes"), QStringLiteral("true")}};
    QCOMPARE(PhoneContextManager::contactManagerParameter(), expected);
    QCOMPARE(AddressBook::managerParameters().value(QStringLiteral("omit-presence-changes")),
             QStringLiteral("true"));
    QCOMPARE(fixture.store->managerName(), QStringLiteral("memory"));
}

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

    QVERIFY(manager.phoneContext(QStringLiteral("040 111 1111")).isNull());
    QCOMPARE(needed.count(), 1);
    manager.update();
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 3, 5000);

    const QString home = PhoneNumberUtils::makeShortNumber(QStringLiteral("+358401111111"));
    const QString plain = PhoneNumberUtils::makeShortNumber(QStringLiteral("+35892222222"));
    const QString work = PhoneNumberUtils::makeShortNumber(QStringLiteral("+35893333333"));
    QMap<QString, QString> expected;
    expected.insert(home, label({Home, Mobile}));
    expected.insert(plain, label({Other}));
    expected.insert(work, label({Work, Fax}));
    QCOMPARE(changes(changed), expected);
    // Announced in key order.
    QCOMPARE(changed.at(0).at(0).toString(), expected.firstKey());

    // Known now, in any written form, and without another fetch.
    QCOMPARE(manager.phoneContext(QStringLiteral("040 111 1111")), label({Home, Mobile}));
    QCOMPARE(manager.phoneContext(QStringLiteral("+358 40 1111111")), label({Home, Mobile}));
    QCOMPARE(needed.count(), 2);
    QCOMPARE(manager.phoneContext(QStringLiteral("040 111 1111")), label({Home, Mobile}));
    QCOMPARE(needed.count(), 2);
}

void PhoneContextManagerTest::singleNumberIsAnnouncedWithAnEmptyLabel()
{
    fixture.add(QStringLiteral("Solo"), {{QStringLiteral("+358 40 555 5555"), {QContactDetail::ContextHome}}});
    PhoneContextManager manager;
    QSignalSpy changed(&manager, &PhoneContextManager::phoneContextChanged);
    fetch(manager, {QStringLiteral("+358405555555")});
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(1).toString(), QString());
    QVERIFY(manager.phoneContext(QStringLiteral("+358405555555")).isEmpty());

    // Nothing changed: nothing announced again.
    manager.triggerUpdate();
    manager.update();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(changed.count(), 1);
}

void PhoneContextManagerTest::sameShortNumberTwiceGetsNoLabel()
{
    fixture.add(QStringLiteral("Shared A"), {{QStringLiteral("+358 40 777 7777"), {QContactDetail::ContextHome}},
                                             {QStringLiteral("+358 40 888 8888")}});
    fixture.add(QStringLiteral("Shared B"), {{QStringLiteral("040 777 7777"), {QContactDetail::ContextWork}},
                                             {QStringLiteral("+358 40 999 9999")}});
    fixture.add(QStringLiteral("Twice"), {{QStringLiteral("+358 50 123 4567"), {QContactDetail::ContextHome}},
                                          {QStringLiteral("050 1234567"), {QContactDetail::ContextWork}}});
    PhoneContextManager manager;
    fetch(manager, {QStringLiteral("+358407777777"), QStringLiteral("+358501234567")});

    QVERIFY(manager.phoneContext(QStringLiteral("+358407777777")).isEmpty());
    QVERIFY(manager.phoneContext(QStringLiteral("+358501234567")).isEmpty());
    QCOMPARE(manager.phoneContext(QStringLiteral("+358408888888")), label({Other}));
}

void PhoneContextManagerTest::emptyRemoteIdIsNotTracked()
{
    PhoneContextManager manager;
    QSignalSpy needed(&manager, &PhoneContextManager::updateNeeded);
    QVERIFY(manager.phoneContext(QString()).isNull());
    QCOMPARE(needed.count(), 0);
}

void PhoneContextManagerTest::recencyWindowDropsTheOldestIdAndItsLabels()
{
    QStringList ids;
    for (int i = 0; i < 21; ++i) {
        const QString number = QStringLiteral("+35840%1").arg(2000000 + i * 3);
        const QString second = QStringLiteral("+35850%1").arg(2000000 + i * 3);
        fixture.add(QStringLiteral("Person %1").arg(i), {{number, {QContactDetail::ContextHome}}, {second}});
        ids << number;
    }

    PhoneContextManager manager;
    fetch(manager, ids.mid(0, 20));
    QCOMPARE(manager.phoneContext(ids.first()), label({Home}));

    // The 21st id pushes out the least recently asked one (ids[1]: ids[0] was just asked again).
    QSignalSpy changed(&manager, &PhoneContextManager::phoneContextChanged);
    fetch(manager, {ids.at(20)});
    QMap<QString, QString> expected;
    expected.insert(PhoneNumberUtils::makeShortNumber(ids.at(1)), QString());
    expected.insert(PhoneNumberUtils::makeShortNumber(QStringLiteral("+35850%1").arg(2000003)), QString());
    expected.insert(PhoneNumberUtils::makeShortNumber(ids.at(20)), label({Home}));
    expected.insert(PhoneNumberUtils::makeShortNumber(QStringLiteral("+35850%1").arg(2000060)), label({Other}));
    QCOMPARE(changes(changed), expected);
    QCOMPARE(manager.phoneContext(ids.first()), label({Home}));
}

void PhoneContextManagerTest::askingAgainKeepsAnIdInTheWindow()
{
    fixture.add(QStringLiteral("Kept"), {{QStringLiteral("+358401230000"), {QContactDetail::ContextWork}},
                                         {QStringLiteral("+358501230000")}});
    PhoneContextManager manager;
    fetch(manager, {QStringLiteral("+358401230000")});
    for (int i = 1; i <= 30; ++i) {
        manager.phoneContext(QStringLiteral("+35840%1").arg(5000000 + i));
        QCOMPARE(manager.phoneContext(QStringLiteral("+358401230000")), label({Work}));
    }
    QSignalSpy changed(&manager, &PhoneContextManager::phoneContextChanged);
    manager.update();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(changed.count(), 0);
    QCOMPARE(manager.phoneContext(QStringLiteral("+358401230000")), label({Work}));
}

void PhoneContextManagerTest::updateWithoutPendingWorkDoesNothing()
{
    fixture.add(QStringLiteral("Anna"), {{QStringLiteral("+358401111111")}, {QStringLiteral("+358501111111")}});
    PhoneContextManager manager;
    QSignalSpy needed(&manager, &PhoneContextManager::updateNeeded);
    QSignalSpy changed(&manager, &PhoneContextManager::phoneContextChanged);

    manager.update();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(changed.count(), 0);

    manager.phoneContext(QStringLiteral("+358401111111"));
    manager.update();
    // Nothing pending any more: this must neither start nor queue another fetch.
    manager.update();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(changed.count(), 2);
    QCOMPARE(needed.count(), 1);
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
    QCOMPARE(needed.count(), 2);

    QTRY_COMPARE_WITH_TIMEOUT(needed.count(), 3, 5000);
    QCOMPARE(changed.count(), 2);
    QVERIFY(manager.phoneContext(QStringLiteral("+358401000002")).isNull());

    manager.update();
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 4, 5000);
    QCOMPARE(manager.phoneContext(QStringLiteral("+358401000002")), label({Other}));
    QCOMPARE(needed.count(), 3);
}

void PhoneContextManagerTest::addressBookChangesAskForAnUpdate()
{
    QContact anna = fixture.add(QStringLiteral("Anna"), {{QStringLiteral("+358401111111"), {QContactDetail::ContextHome}},
                                                         {QStringLiteral("+358501111111")}});
    PhoneContextManager manager;
    QSignalSpy needed(&manager, &PhoneContextManager::updateNeeded);
    QSignalSpy changed(&manager, &PhoneContextManager::phoneContextChanged);

    // Also with nothing tracked; that fetch matches nothing.
    fixture.add(QStringLiteral("Bert"), {{QStringLiteral("+358402222222")}});
    QCOMPARE(needed.count(), 0); // additions are not listened to
    QContactName name = anna.detail<QContactName>();
    name.setLastName(QStringLiteral("Changed"));
    anna.saveDetail(&name);
    QVERIFY(fixture.store->saveContact(&anna));
    QCOMPARE(needed.count(), 1);
    manager.update();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(changed.count(), 0);

    fetch(manager, {QStringLiteral("+358401111111")});
    QCOMPARE(changed.count(), 2);

    // Removing the contact takes its labels away, though the engine answers
    // the next fetch with no results at all.
    QVERIFY(fixture.store->removeContact(anna.id()));
    QCOMPARE(needed.count(), 3);
    manager.update();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(changed.count(), 4);
    QCOMPARE(changed.at(2).at(1).toString(), QString());
    QCOMPARE(changed.at(3).at(1).toString(), QString());
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
    manager.phoneContext(QStringLiteral("+358501111111"));
    manager.update(); // remembered, but a failed fetch does not honour it
    QCoreApplication::sendPostedEvents();
    QCOMPARE(changed.count(), 0);
    QCOMPARE(needed.count(), 2);
}

void PhoneContextManagerTest::singletonIsCreatedOnce()
{
    QVERIFY(!PhoneContextManager::m_pInstance);
    PhoneContextManager *instance = PhoneContextManager::instance();
    QCOMPARE(PhoneContextManager::m_pInstance, instance);
    QCOMPARE(PhoneContextManager::instance(), instance);
    delete instance;
    QVERIFY(!PhoneContextManager::m_pInstance);
}

QTEST_GUILESS_MAIN(PhoneContextManagerTest)
#include "tst_phonecontextmanager.moc"
