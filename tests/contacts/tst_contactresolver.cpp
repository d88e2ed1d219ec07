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

    void looksUpNumbersOnAnyAccountAndIdsOnlyOnTheGivenAccount();
    void emptyAccountPathMatchesOnlineAccountsOfEveryAccount();
    void firstMatchInResultOrderWins();
    void suffixLookalikeNumberDoesNotWin();
    void shortNumberMatchesOnlyItself();
    void oddRemoteIdsAreHarmless();
    void resolvesLargeBatches();
    void emptyListEmitsNothing();
    void emptyAnswerStillReports();
    void onlyTheNewestBatchReports();
    void matchBeforeTheFetchFinishedIsEmpty();
    void fetchThatCannotRunReportsFailure();
    void strayResultsOnlyWriteDiagnostics();
    void deletingResolverOrItsManagerDuringAFetchIsSafe();
    void findsSelfContactOnItsAccount();
    void selfFetchWithoutSelfContactReportsFalse();

private:
    ContactFixture fixture;
};

namespace {

bool finishBatch(ContactResolver &resolver, const QString &accountPath, const QStringList &ids,
                 bool *status = nullptr)
{
    QSignalSpy spy(&resolver, &ContactResolver::resultsAvailable);
    resolver.resolveContacts(accountPath, ids);
    if (!spy.wait(5000) || spy.count() != 1)
        return false;
    if (status)
        *status = spy.at(0).at(0).toBool();
    return true;
}

} // namespace

void ContactResolverTest::looksUpNumbersOnAnyAccountAndIdsOnlyOnTheGivenAccount()
{
    const QContact alice = fixture.add(QStringLiteral("Alice"), {{QStringLiteral("+358 40 123 4567")}},
                                       {{OtherImAccount, QStringLiteral("alice@im")}});
    const QContact bob = fixture.add(QStringLiteral("Bob"), {},
                                     {{ImAccount, QStringLiteral("bob@im")}});
    const QContact carol = fixture.add(QStringLiteral("Carol"), {},
                                       {{OtherImAccount, QStringLiteral("carol@im")}});

    ContactResolver resolver;
    bool status = false;
    QVERIFY(finishBatch(resolver, ImAccount,
                        {QStringLiteral("0401234567"), QStringLiteral("bob@im"), QStringLiteral("carol@im")},
                        &status));
    QVERIFY(status);

    // A number found through any account, in another written form.
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("+358401234567")).id(), alice.id());
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("bob@im")).id(), bob.id());
    // Carol's id lives on another account: not fetched, not matched.
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("carol@im")).isEmpty());
    // Bob's online account is not on the other account.
    QVERIFY(resolver.matchContact(OtherImAccount, QStringLiteral("bob@im")).isEmpty());
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("dave@im")).isEmpty());
    Q_UNUSED(carol)
}

void ContactResolverTest::emptyAccountPathMatchesOnlineAccountsOfEveryAccount()
{
    const QContact bob = fixture.add(QStringLiteral("Bob"), {},
                                     {{OtherImAccount, QStringLiteral("bob@other")},
                                      {ImAccount, QStringLiteral("bob@im")}});
    ContactResolver resolver;
    QVERIFY(finishBatch(resolver, ImAccount, {QStringLiteral("bob@im")}));

    QCOMPARE(resolver.matchContact(QString(), QStringLiteral("bob@other")).id(), bob.id());
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("bob@other")).isEmpty());
}

void ContactResolverTest::firstMatchInResultOrderWins()
{
    const QContact first = fixture.add(QStringLiteral("First"), {{QStringLiteral("+358501112233")}});
    fixture.add(QStringLiteral("Second"), {{QStringLiteral("050 111 2233")}},
                {{ImAccount, QStringLiteral("second@im")}});

    ContactResolver resolver;
    QVERIFY(finishBatch(resolver, ImAccount, {QStringLiteral("+358501112233"), QStringLiteral("second@im")}));

    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("0501112233")).id(), first.id());
    QCOMPARE(AddressBook::displayLabel(resolver.matchContact(ImAccount, QStringLiteral("second@im"))),
             QStringLiteral("Second"));
}

void ContactResolverTest::suffixLookalikeNumberDoesNotWin()
{
    // The engine's phone match compares the last seven digits only, so the
    // American number comes back first; it is not the same party.
    fixture.add(QStringLiteral("Lookalike"), {{QStringLiteral("+1 212 123 4567")}});
    const QContact real = fixture.add(QStringLiteral("Real"), {{QStringLiteral("+358 40 123 4567")}});

    ContactResolver resolver;
    QVERIFY(finishBatch(resolver, ImAccount, {QStringLiteral("+358401234567")}));
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("+358401234567")).id(), real.id());
}

void ContactResolverTest::shortNumberMatchesOnlyItself()
{
    fixture.add(QStringLiteral("Ends in 112"), {{QStringLiteral("+358 40 123 4112")}});
    const QContact service = fixture.add(QStringLiteral("Operator"), {{QStringLiteral("*100#")}});
    const QContact twice = fixture.add(QStringLiteral("Twice"), {{QStringLiteral("12345")}});
    fixture.add(QStringLiteral("Twice again"), {{QStringLiteral("12345")}});

    ContactResolver resolver;
    QVERIFY(finishBatch(resolver, ImAccount,
                        {QStringLiteral("112"), QStringLiteral("*100#"), QStringLiteral("12345")}));
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("112")).isEmpty());
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("*100#")).id(), service.id());
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("12345")).id(), twice.id());
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("+35812345")).isEmpty());
}

void ContactResolverTest::oddRemoteIdsAreHarmless()
{
    const QContact alice = fixture.add(QStringLiteral("Alice"), {{QStringLiteral("+358401234567")}},
                                       {{ImAccount, QStringLiteral("alice@im")}});
    const QString huge = QString(100 * 1024, QLatin1Char('7'));
    const QString hugeText = QString(100 * 1024, QLatin1Char('x'));

    ContactResolver resolver;
    bool status = false;
    QVERIFY(finishBatch(resolver, ImAccount,
                        {QString(), huge, hugeText, QStringLiteral("not a number"),
                         QStringLiteral("#room"), QStringLiteral("alice@im")},
                        &status));
    QVERIFY(status);
    QVERIFY(resolver.matchContact(ImAccount, QString()).isEmpty());
    QVERIFY(resolver.matchContact(ImAccount, huge).isEmpty());
    QVERIFY(resolver.matchContact(ImAccount, hugeText).isEmpty());
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("alice@im")).id(), alice.id());
}

void ContactResolverTest::resolvesLargeBatches()
{
    QStringList ids;
    QList<QContactId> expected;
    for (int i = 0; i < 60; ++i) {
        const QString number = QStringLiteral("+35840%1").arg(1000000 + i * 7919);
        const QString uri = QStringLiteral("member%1@im").arg(i);
        expected << fixture.add(QStringLiteral("Member %1").arg(i), {{number}}, {{ImAccount, uri}}).id();
        ids << (i % 2 ? number : uri);
    }
    ContactResolver resolver;
    QVERIFY(finishBatch(resolver, ImAccount, ids));
    for (int i = 0; i < ids.size(); ++i)
        QCOMPARE(resolver.matchContact(ImAccount, ids.at(i)).id(), expected.at(i));
}

void ContactResolverTest::emptyListEmitsNothing()
{
    fixture.add(QStringLiteral("Bob"), {}, {{ImAccount, QStringLiteral("bob@im")}});
    ContactResolver resolver;
    QSignalSpy spy(&resolver, &ContactResolver::resultsAvailable);
    resolver.resolveContacts(ImAccount, {});
    QCoreApplication::sendPostedEvents();
    QCOMPARE(spy.count(), 0);
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("bob@im")).isEmpty());
}

void ContactResolverTest::emptyAnswerStillReports()
{
    fixture.add(QStringLiteral("Bob"), {}, {{ImAccount, QStringLiteral("bob@im")}});
    ContactResolver resolver;
    bool status = true;
    QVERIFY(finishBatch(resolver, ImAccount, {QStringLiteral("nobody@im"), QStringLiteral("+358409999999")},
                        &status));
    QVERIFY(!status);
}

void ContactResolverTest::onlyTheNewestBatchReports()
{
    const QContact bob = fixture.add(QStringLiteral("Bob"), {}, {{ImAccount, QStringLiteral("bob@im")}});
    const QContact carol = fixture.add(QStringLiteral("Carol"), {}, {{ImAccount, QStringLiteral("carol@im")}});

    ContactResolver resolver;
    QSignalSpy spy(&resolver, &ContactResolver::resultsAvailable);
    resolver.resolveContacts(ImAccount, {QStringLiteral("bob@im")});
    resolver.resolveContacts(ImAccount, {QStringLiteral("carol@im")});
    QVERIFY(spy.wait(5000));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("carol@im")).id(), carol.id());
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("bob@im")).isEmpty());
    Q_UNUSED(bob)
}

void ContactResolverTest::matchBeforeTheFetchFinishedIsEmpty()
{
    const QContact bob = fixture.add(QStringLiteral("Bob"), {}, {{ImAccount, QStringLiteral("bob@im")}});
    ContactResolver resolver;
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("bob@im")).isEmpty());

    // A caller who connects after asking still hears the answer.
    resolver.resolveContacts(ImAccount, {QStringLiteral("bob@im")});
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("bob@im")).isEmpty());
    QSignalSpy spy(&resolver, &ContactResolver::resultsAvailable);
    QVERIFY(spy.wait(5000));
    QCOMPARE(resolver.matchContact(ImAccount, QStringLiteral("bob@im")).id(), bob.id());
}

void ContactResolverTest::fetchThatCannotRunReportsFailure()
{
    AddressBook::setEngine(QStringLiteral("invalid"));
    ContactResolver resolver;
    AddressBook::setEngine(QStringLiteral("memory"));

    QSignalSpy results(&resolver, &ContactResolver::resultsAvailable);
    QSignalSpy self(&resolver, &ContactResolver::selfContactAvailable);
    resolver.resolveContacts(ImAccount, {QStringLiteral("bob@im")});
    resolver.resolveSelfContact();
    QTRY_COMPARE_WITH_TIMEOUT(results.count(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(self.count(), 1, 5000);
    QCOMPARE(results.at(0).at(0).toBool(), false);
    QCOMPARE(self.at(0).at(0).toBool(), false);
    QVERIFY(resolver.matchContact(ImAccount, QStringLiteral("bob@im")).isEmpty());
}

void ContactResolverTest::strayResultsOnlyWriteDiagnostics()
{
    ContactResolver resolver;
    QSignalSpy results(&resolver, &ContactResolver::resultsAvailable);
    QSignalSpy self(&resolver, &ContactResolver::selfContactAvailable);

    QContactFetchRequest *stray = resolver.buildRequest(ImAccount, {QStringLiteral("bob@im")});
    QVERIFY(connect(stray, SIGNAL(resultsAvailable()), &resolver, SLOT(slotOnResultsAvailable())));
    QVERIFY(connect(stray, SIGNAL(resultsAvailable()), &resolver, SLOT(slotOnSelfResultsAvailable())));

    // Intermediate results are ignored without a word.
    QContactManagerEngine::updateContactFetchRequest(stray, {QContact()}, QContactManager::NoError,
                                                     QContactAbstractRequest::ActiveState);
    QTest::ignoreMessage(QtCriticalMsg,
                         "void ContactResolver::slotOnResultsAvailable() Stray fetch request result");
    QTest::ignoreMessage(QtCriticalMsg,
                         "void ContactResolver::slotOnSelfResultsAvailable() Stray fetch request result");
    QContactManagerEngine::updateContactFetchRequest(stray, {QContact()}, QContactManager::NoError,
                                                     QContactAbstractRequest::FinishedState);
    QCOMPARE(results.count(), 0);
    QCOMPARE(self.count(), 0);
}

void ContactResolverTest::deletingResolverOrItsManagerDuringAFetchIsSafe()
{
    fixture.add(QStringLiteral("Bob"), {}, {{ImAccount, QStringLiteral("bob@im")}});

    auto *resolver = new ContactResolver;
    resolver->resolveContacts(ImAccount, {QStringLiteral("bob@im")});
    resolver->resolveSelfContact();
    delete resolver;
    QCoreApplication::sendPostedEvents();

    // The owner may delete the resolver from its own signal.
    QPointer<ContactResolver> second = new ContactResolver;
    connect(second.data(), &ContactResolver::resultsAvailable, second.data(),
            [&second] { delete second.data(); });
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
    QContact me = fixture.add(QStringLiteral("Me"), {}, {{OtherImAccount, QStringLiteral("me@other")},
                                                         {ImAccount, QStringLiteral("me@im")}});
    QVERIFY(fixture.store->setSelfContactId(me.id()));

    ContactResolver resolver;
    QVERIFY(resolver.selfContact(ImAccount).isEmpty());
    QSignalSpy spy(&resolver, &ContactResolver::selfContactAvailable);
    resolver.resolveSelfContact();
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QCOMPARE(resolver.selfContact(ImAccount).id(), me.id());
    QCOMPARE(resolver.selfContact(OtherImAccount).id(), me.id());
    QVERIFY(resolver.selfContact(QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala")).isEmpty());
}

void ContactResolverTest::selfFetchWithoutSelfContactReportsFalse()
{
    fixture.add(QStringLiteral("Bob"), {}, {{ImAccount, QStringLiteral("bob@im")}});
    ContactResolver resolver;
    QSignalSpy spy(&resolver, &ContactResolver::selfContactAvailable);
    resolver.resolveSelfContact();
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.at(0).at(0).toBool(), false);
    QVERIFY(resolver.selfContact(ImAccount).isEmpty());
}

QTEST_GUILESS_MAIN(ContactResolverTest)
#include "tst_contactresolver.moc"
