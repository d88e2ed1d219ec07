// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "contactfixture.h"
#include "contactresolver.h"

#include <QtContacts/QContactFetchRequest>
#include <QtContacts/QContactManagerEngine>
#include <QtTest>

QTCONTACTS_USE_NAMESPACE

class ContactResolverTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { fixture.setUp(); }
    void init() { fixture.clear(); }

    void matchesNumbersOnAnyAccountAndIdsOnlyOnTheirAccount();
    void firstMatchWinsAndLookalikeNumbersDoNot();
    void oddAndLargeBatchesResolve();
    void reportsOnceFromTheEventLoopForTheNewestBatchOnly();
    void failedAndStrayFetchesAreReported();
    void deletingResolverOrManagerDuringAFetchIsSafe();
    void findsSelfContactOnItsAccount();

private:
    // Resolves and waits; the status of resultsAvailable, or -1 when it did not come once.
    static int resolve(ContactResolver &resolver, const QStringList &ids)
    {
        QSignalSpy spy(&resolver, &ContactResolver::resultsAvailable);
        resolver.resolveContacts(ImAccount, ids);
        if (!spy.wait(5000))
            return -1;
        QCoreApplication::sendPostedEvents();
        return spy.count() == 1 ? spy.at(0).at(0).toBool() : -1;
    }

    ContactFixture fixture;
};

void ContactResolverTest::matchesNumbersOnAnyAccountAndIdsOnlyOnTheirAccount()
{
    const QContact alice = fixture.add(QStringLiteral("Alice"), {{QStringLiteral("+358 40 123 4567")}},
                                       {{OtherImAccount, QStringLiteral("alice@other")}});
    const QContact bob = fixture.add(QStringLiteral("Bob"), {},
                                     {{ImAccount, QStringLiteral("bob@im")}, {OtherImAccount, QStringLiteral("bob@other")}});
    fixture.add(QStringLiteral("Carol"), {}, {{OtherImAccount, QStringLiteral("carol@im")}});

    ContactResolver resolver;
    QCOMPARE(resolve(resolver, {QStringLiteral("0401234567"), QStringLiteral("bob@im"), QStringLiteral("carol@im")}), 1);

    // A number is found through any account and in any written form.
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("+358401234567")).id(), alice.id());
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("+\u0663\u0665\u0668 \u0664\u0660 \u0661\u0662\u0663 \u0664\u0665\u0666\u0667")).id(),
             alice.id());
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("bob@im")).id(), bob.id());
    // Carol's id is on another account: neither fetched nor matched.
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("carol@im")).isEmpty());
    QVERIFY(resolver.matchContact(OtherImAccount, QStringLiteral("bob@im")).isEmpty());
    // An empty account path accepts an online account of any account.
    QCOMPARE(resolver.matchContact(QString(), QStringLiteral("bob@other")).id(), bob.id());
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("bob@other")).isEmpty());
    QCOMPARE(AddressBook::displayLabel(resolver.matchContact(ImAccount, QStringLiteral("bob@im"))),
             QStringLiteral("Bob"));
}

void ContactResolverTest::firstMatchWinsAndLookalikeNumbersDoNot()
{
    // The engine's phone match compares the last seven digits only, so the
    // American number comes back first; it is not the same party.
    fixture.add(QStringLiteral("Lookalike"), {{QStringLiteral("+1 212 123 4567")}});
    const QContact real = fixture.add(QStringLiteral("Real"), {{QStringLiteral("+358 40 123 4567")}});
    fixture.add(QStringLiteral("Same number later"), {{QStringLiteral("040 123 4567")}});
    fixture.add(QStringLiteral("Ends in 112"), {{QStringLiteral("+358 40 123 4112")}});
    const QContact service = fixture.add(QStringLiteral("Operator"), {{QStringLiteral("*100#")}});
    const QContact shortCode = fixture.add(QStringLiteral("Short"), {{QStringLiteral("12345")}});
    fixture.add(QStringLiteral("Short again"), {{QStringLiteral("12345")}});

    ContactResolver resolver;
    QCOMPARE(resolve(resolver, {QStringLiteral("+358401234567"), QStringLiteral("112"),
                                QStringLiteral("*100#"), QStringLiteral("12345")}), 1);
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("+358401234567")).id(), real.id());
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("112")).isEmpty());
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("*100#")).id(), service.id());
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("12345")).id(), shortCode.id());
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("+35812345")).isEmpty());
}

void ContactResolverTest::oddAndLargeBatchesResolve()
{
    QStringList ids{QString(), QString(100 * 1024, QLatin1Char('7')), QString(100 * 1024, QLatin1Char('x')),
                    QStringLiteral("not a number"), QStringLiteral("#room")};
    const int odd = ids.size();
    QList<QContactId> expected;
    for (int i = 0; i < 60; ++i) {
        const QString number = QStringLiteral("+35840%1").arg(1000000 + i * 7919);
        const QString uri = QStringLiteral("member%1@im").arg(i);
        expected << fixture.add(QStringLiteral("Member %1").arg(i), {{number}}, {{ImAccount, uri}}).id();
        ids << (i % 2 ? number : uri);
    }
    ContactResolver resolver;
    QCOMPARE(resolve(resolver, ids), 1);
    for (int i = 0; i < odd; ++i)
        QVERIFY(resolver.matchContact(ImAccount, ids.at(i)).isEmpty());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(resolver.matchContact(ImAccount, ids.at(odd + i)).id(), expected.at(i));
}

void ContactResolverTest::reportsOnceFromTheEventLoopForTheNewestBatchOnly()
{
    const QContact bob = fixture.add(QStringLiteral("Bob"), {}, {{ImAccount, QStringLiteral("bob@im")}});
    fixture.add(QStringLiteral("Carol"), {}, {{ImAccount, QStringLiteral("carol@im")}});

    ContactResolver resolver;
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("bob@im")).isEmpty());
    resolver.resolveContacts(ImAccount, {});
    resolver.resolveContacts(ImAccount, {QStringLiteral("carol@im")});
    resolver.resolveContacts(ImAccount, {QStringLiteral("bob@im")});
    // Not answered yet, though the memory engine has finished: a caller who
    // connects after asking still hears the answer.
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("bob@im")).isEmpty());
    QSignalSpy spy(&resolver, &ContactResolver::resultsAvailable);
    QVERIFY(spy.wait(5000));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("bob@im")).id(), bob.id());
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("carol@im")).isEmpty());

    // Nothing matches: the engine sends no results, the resolver still answers.
    QCOMPARE(resolve(resolver, {QStringLiteral("nobody@im"), QStringLiteral("+358409999999")}), 0);
}

void ContactResolverTest::failedAndStrayFetchesAreReported()
{
    AddressBook::setEngine(QStringLiteral("invalid"));
    ContactResolver broken;
    AddressBook::setEngine(QStringLiteral("memory"));
    QSignalSpy results(&broken, &ContactResolver::resultsAvailable);
    QSignalSpy self(&broken, &ContactResolver::selfContactAvailable);
    broken.resolveContacts(ImAccount, {QStringLiteral("bob@im")});
    broken.resolveSelfContact();
    QTRY_COMPARE_WITH_TIMEOUT(results.count() + self.count(), 2, 5000);
    QCOMPARE(results.at(0).at(0).toBool(), false);
    QCOMPARE(self.at(0).at(0).toBool(), false);

    ContactResolver resolver;
    QSignalSpy strayResults(&resolver, &ContactResolver::resultsAvailable);
    QSignalSpy straySelf(&resolver, &ContactResolver::selfContactAvailable);
    QContactFetchRequest *stray = resolver.buildRequest(ImAccount, {QStringLiteral("bob@im")});
    // The slots are private: only the meta-object reaches them from outside.
    QVERIFY(connect(stray, SIGNAL(resultsAvailable()), &resolver, SLOT(slotOnResultsAvailable())));
    QVERIFY(connect(stray, SIGNAL(resultsAvailable()), &resolver, SLOT(slotOnSelfResultsAvailable())));
    // Intermediate results pass without a word.
    QContactManagerEngine::updateContactFetchRequest(stray, {QContact()}, QContactManager::NoError,
                                                     QContactAbstractRequest::ActiveState);
    QTest::ignoreMessage(QtCriticalMsg, "void ContactResolver::slotOnResultsAvailable() Stray fetch request result");
    QTest::ignoreMessage(QtCriticalMsg, "void ContactResolver::slotOnSelfResultsAvailable() Stray fetch request result");
    QContactManagerEngine::updateContactFetchRequest(stray, {QContact()}, QContactManager::NoError,
                                                     QContactAbstractRequest::FinishedState);
    QCOMPARE(strayResults.count() + straySelf.count(), 0);
}

void ContactResolverTest::deletingResolverOrManagerDuringAFetchIsSafe()
{
    fixture.add(QStringLiteral("Bob"), {}, {{ImAccount, QStringLiteral("bob@im")}});

    auto *resolver = new ContactResolver;
    resolver->resolveContacts(ImAccount, {QStringLiteral("bob@im")});
    resolver->resolveSelfContact();
    delete resolver;
    QCoreApplication::sendPostedEvents();

    // The owner may delete the resolver from its own signal.
    QPointer<ContactResolver> second = new ContactResolver;
    connect(second.data(), &ContactResolver::resultsAvailable, second.data(), [&second] { delete second.data(); });
    second->resolveContacts(ImAccount, {QStringLiteral("bob@im")});
    QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), 5000);

    // The address-book manager goes away while the answer is on its way.
    ContactResolver third;
    QSignalSpy spy(&third, &ContactResolver::resultsAvailable);
    third.resolveContacts(ImAccount, {QStringLiteral("bob@im")});
    delete third.findChild<QContactManager *>();
    QVERIFY(spy.wait(5000));
    QVERIFY(!third.matchContact(ImAccount, QStringLiteral("bob@im")).isEmpty());
}

void ContactResolverTest::findsSelfContactOnItsAccount()
{
    ContactResolver resolver;
    QSignalSpy spy(&resolver, &ContactResolver::selfContactAvailable);
    resolver.resolveSelfContact();
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.takeFirst().at(0).toBool(), false); // no self contact yet

    const QContact me = fixture.add(QStringLiteral("Me"), {}, {{OtherImAccount, QStringLiteral("me@other")},
                                                               {ImAccount, QStringLiteral("me@im")}});
    QVERIFY(fixture.store->setSelfContactId(me.id()));
    resolver.resolveSelfContact();
    QVERIFY(resolver.selfContact(ImAccount).isEmpty());
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.takeFirst().at(0).toBool(), true);
    QCOMPARE(resolver.selfContact(ImAccount).id(), me.id());
    QCOMPARE(resolver.selfContact(OtherImAccount).id(), me.id());
    QVERIFY(resolver.selfContact(QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala")).isEmpty());
}

QTEST_GUILESS_MAIN(ContactResolverTest)
#include "tst_contactresolver.moc"
