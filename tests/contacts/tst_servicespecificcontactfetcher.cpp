// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "contactfixture.h"
#include "servicespecificcontactfetcher.h"

#include <QtTest>

QTCONTACTS_USE_NAMESPACE

namespace {
const QString Cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
const QString Mms = QStringLiteral("/org/freedesktop/Telepathy/Account/vexo/mms/mms0");
} // namespace

// ServiceSpecificContactFetcher against the library's shared memory store.
class ServiceSpecificContactFetcherTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { fixture.setUp(); }
    void init() { fixture.clear(); }
    void cleanup() { AddressBook::setEngine(QStringLiteral("memory")); }

    void listsNothingUntilTheFirstFetchHasFinished();
    void cellularAccountsListEveryContactWithTheNumber_data();
    void cellularAccountsListEveryContactWithTheNumber();
    void otherAccountsNeedPathAndUriOnOneOnlineAccount();
    void refetchesOnChangeAndRemovalButNotOnAddition();
    void changeDuringARunningFetchStartsNoSecondFetch();
    void failedFetchEmitsNothing();

private:
    static QStringList labels(const ServiceSpecificContactFetcher &fetcher)
    {
        QStringList names;
        const auto contacts = fetcher.contacts();
        for (const auto &contact : contacts)
            names << contact.second;
        return names;
    }

    // Waits for the next announced fetch.
    static bool nextFetch(ServiceSpecificContactFetcher &fetcher)
    {
        QSignalSpy spy(&fetcher, &ServiceSpecificContactFetcher::contactsChanged);
        return spy.wait(5000) && spy.count() == 1;
    }

    ContactFixture fixture;
};

void ServiceSpecificContactFetcherTest::listsNothingUntilTheFirstFetchHasFinished()
{
    const QContact anna = fixture.add(QStringLiteral("Anna"), {{QStringLiteral("+358401234567")}});
    ServiceSpecificContactFetcher fetcher(Cellular, QStringLiteral("0401234567"));
    QSignalSpy spy(&fetcher, &ServiceSpecificContactFetcher::contactsChanged);
    QVERIFY(fetcher.contacts().isEmpty());
    QVERIFY(fetcher.contactIds().isEmpty());

    QVERIFY(spy.wait(5000));
    QCOMPARE(fetcher.contactIds(), QList<QContactId>{anna.id()});
    QCOMPARE(fetcher.contacts(), (QList<QPair<QContactId, QString>>{{anna.id(), QStringLiteral("Anna")}}));
}

void ServiceSpecificContactFetcherTest::cellularAccountsListEveryContactWithTheNumber_data()
{
    QTest::addColumn<QString>("accountPath");
    QTest::newRow("sms") << Cellular;
    QTest::newRow("mms") << Mms;
}

void ServiceSpecificContactFetcherTest::cellularAccountsListEveryContactWithTheNumber()
{
    QFETCH(QString, accountPath);
    fixture.add(QStringLiteral("Anna"), {{QStringLiteral("+358 40 123 4567")}});
    // Another form of the number, and online accounts of any kind.
    fixture.add(QStringLiteral("Bert"), {{QStringLiteral("+358 9 765 4321")}, {QStringLiteral("040-123 45 67")}},
                {{ImAccount, QStringLiteral("bert@example.org")}});
    // Only the last seven digits in common.
    fixture.add(QStringLiteral("Carl"), {{QStringLiteral("+358 50 123 4567")}});
    fixture.add(QStringLiteral("Dora"), {{QStringLiteral("+46 40 123 4567")}});
    // The number as an instant-messaging id only.
    fixture.add(QStringLiteral("Erik"), {}, {{accountPath, QStringLiteral("+358401234567")}});
    QContact self = fixture.add(QStringLiteral("Me"), {{QStringLiteral("+358401234567")}});
    fixture.store->setSelfContactId(self.id());

    ServiceSpecificContactFetcher fetcher(accountPath, QStringLiteral("+358401234567"));
    QVERIFY(nextFetch(fetcher));
    QCOMPARE(labels(fetcher), (QStringList{QStringLiteral("Anna"), QStringLiteral("Bert")}));
    QCOMPARE(fetcher.contactIds().size(), 2);
    QCOMPARE(fetcher.contactIds().at(1), fetcher.contacts().at(1).first);
}

void ServiceSpecificContactFetcherTest::otherAccountsNeedPathAndUriOnOneOnlineAccount()
{
    const QString bob = QStringLiteral("bob@example.org");
    fixture.add(QStringLiteral("Anna"), {}, {{ImAccount, bob}});
    // The path and the uri, but on two different online accounts.
    fixture.add(QStringLiteral("Bert"), {}, {{ImAccount, QStringLiteral("bert@example.org")}, {OtherImAccount, bob}});
    fixture.add(QStringLiteral("Carl"), {}, {{OtherImAccount, bob}});
    fixture.add(QStringLiteral("Dora"), {}, {{ImAccount, QStringLiteral("Bob@example.org")}});
    fixture.add(QStringLiteral("Erik"), {{bob}});
    fixture.add(QStringLiteral("Frida"), {{QStringLiteral("+358401234567")}}, {{ImAccount, bob}});
    QContact self = fixture.add(QStringLiteral("Me"), {}, {{ImAccount, bob}});
    fixture.store->setSelfContactId(self.id());

    ServiceSpecificContactFetcher fetcher(ImAccount, bob);
    QVERIFY(nextFetch(fetcher));
    QCOMPARE(labels(fetcher), (QStringList{QStringLiteral("Anna"), QStringLiteral("Frida")}));

    // A phone number counts only on the cellular accounts.
    ServiceSpecificContactFetcher byNumber(ImAccount, QStringLiteral("+358401234567"));
    QVERIFY(nextFetch(byNumber));
    QVERIFY(byNumber.contacts().isEmpty());
}

void ServiceSpecificContactFetcherTest::refetchesOnChangeAndRemovalButNotOnAddition()
{
    QContact anna = fixture.add(QStringLiteral("Anna"), {{QStringLiteral("+358401234567")}});
    ServiceSpecificContactFetcher fetcher(Cellular, QStringLiteral("+358401234567"));
    QVERIFY(nextFetch(fetcher));
    QSignalSpy spy(&fetcher, &ServiceSpecificContactFetcher::contactsChanged);

    const QContact bert = fixture.add(QStringLiteral("Bert"), {{QStringLiteral("040 123 4567")}});
    QTest::qWait(50);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(labels(fetcher), QStringList{QStringLiteral("Anna")});

    // A change anywhere brings the addition in, also when nothing listed changed.
    QContact carl = fixture.add(QStringLiteral("Carl"), {});
    QContactName name = carl.detail<QContactName>();
    name.setLastName(QStringLiteral("Changed"));
    carl.saveDetail(&name);
    QVERIFY(fixture.store->saveContact(&carl));
    QVERIFY(nextFetch(fetcher));
    QCOMPARE(labels(fetcher), (QStringList{QStringLiteral("Anna"), QStringLiteral("Bert")}));

    QVERIFY(fixture.store->removeContact(anna.id()));
    QVERIFY(nextFetch(fetcher));
    QCOMPARE(fetcher.contactIds(), QList<QContactId>{bert.id()});

    // Every finished fetch is announced, the same result too.
    QVERIFY(fixture.store->saveContact(&carl));
    QVERIFY(nextFetch(fetcher));
    QCOMPARE(fetcher.contactIds(), QList<QContactId>{bert.id()});
}

void ServiceSpecificContactFetcherTest::changeDuringARunningFetchStartsNoSecondFetch()
{
    QContact anna = fixture.add(QStringLiteral("Anna"), {{QStringLiteral("+358 9 765 4321")}});
    ServiceSpecificContactFetcher fetcher(Cellular, QStringLiteral("+358401234567"));
    QSignalSpy spy(&fetcher, &ServiceSpecificContactFetcher::contactsChanged);

    // The first fetch has not been announced yet: this change is dropped.
    QContactPhoneNumber number;
    number.setNumber(QStringLiteral("0401234567"));
    anna.saveDetail(&number);
    QVERIFY(fixture.store->saveContact(&anna));

    QVERIFY(spy.wait(5000));
    QTest::qWait(50);
    QCOMPARE(spy.count(), 1);
    QVERIFY(fetcher.contacts().isEmpty()); // the address book as that fetch found it
}

void ServiceSpecificContactFetcherTest::failedFetchEmitsNothing()
{
    AddressBook::setEngine(QStringLiteral("invalid"));
    ServiceSpecificContactFetcher fetcher(Cellular, QStringLiteral("+358401234567"));
    QSignalSpy spy(&fetcher, &ServiceSpecificContactFetcher::contactsChanged);
    QTest::qWait(50);
    QCOMPARE(spy.count(), 0);
    QVERIFY(fetcher.contacts().isEmpty());
}

QTEST_GUILESS_MAIN(ServiceSpecificContactFetcherTest)
#include "tst_servicespecificcontactfetcher.moc"
