#include "contactfixture.h"
#include "mucparticipant.h"

#include <QtContacts/QContactNickname>
#include <QtTest>

#include <algorithm>

QTCONTACTS_USE_NAMESPACE

// A friend of MucParticipant, as the group-chat session is: it sets the
// local-user mark and nickname directly.
class MucParticipantTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { fixture.setUp(); }
    void init() { fixture.clear(); }

    void unresolvedParticipantFallsBackToItsRemoteUid();
    void localUserShowsNicknameThenLabelThenUid();
    void labelFallsBackToNameAndNickname();
    void presenceAndStatusComeFromTheFirstDetailOfThisAccount();
    void contactIdIsStableAndNonZeroForResolvedContacts();
    void sortsLocalUserFirstThenPresenceThenCodeUnitName();
    void avatarClickNamesTheContact();

private:
    static void setSelf(MucParticipant *p, bool self, const QString &nickname = QString())
    {
        p->isSelf = self;
        p->nickname = nickname;
    }

    static QContact withPresence(QContact contact, const QString &uri, QContactPresence::PresenceState state,
                                 const QString &message = QString())
    {
        QContactPresence presence;
        presence.setDetailUri(uri);
        presence.setPresenceState(state);
        if (!message.isNull())
            presence.setCustomMessage(message);
        contact.saveDetail(&presence);
        return contact;
    }

    static QContact labelled(const QString &label)
    {
        QContact contact;
        QContactDisplayLabel detail;
        detail.setLabel(label);
        contact.saveDetail(&detail);
        return contact;
    }

    ContactFixture fixture;
};

void MucParticipantTest::unresolvedParticipantFallsBackToItsRemoteUid()
{
    MucParticipant p(QStringLiteral("stranger@im"), ImAccount, QContact());
    QCOMPARE(p.contactId(), 0u);
    QCOMPARE(p.displayName(), QStringLiteral("stranger@im"));
    QCOMPARE(p.presence(), 0);
    QVERIFY(p.statusMessage().isNull());
    QVERIFY(!p.isLocalUser());
}

void MucParticipantTest::localUserShowsNicknameThenLabelThenUid()
{
    MucParticipant me(QStringLiteral("me@im"), ImAccount, labelled(QStringLiteral("Myself")));
    setSelf(&me, true, QStringLiteral("Captain"));
    QCOMPARE(me.displayName(), QStringLiteral("Captain"));
    setSelf(&me, true);
    QCOMPARE(me.displayName(), QStringLiteral("Myself"));

    MucParticipant bare(QStringLiteral("me@im"), ImAccount, QContact());
    setSelf(&bare, true);
    QCOMPARE(bare.displayName(), QStringLiteral("me@im"));

    MucParticipant other(QStringLiteral("other@im"), ImAccount, labelled(QStringLiteral("Other")));
    setSelf(&other, false, QStringLiteral("Captain"));
    QCOMPARE(other.displayName(), QStringLiteral("Other"));
}

void MucParticipantTest::labelFallsBackToNameAndNickname()
{
    // Engines such as "memory" leave the display label empty.
    const QContact named = ContactFixture::build(QStringLiteral("Anna"), {});
    QCOMPARE(MucParticipant(QStringLiteral("a@im"), ImAccount, named).displayName(), QStringLiteral("Anna"));

    QContact full = named;
    QContactName name = full.detail<QContactName>();
    name.setLastName(QStringLiteral("Berg"));
    full.saveDetail(&name);
    QCOMPARE(MucParticipant(QStringLiteral("a@im"), ImAccount, full).displayName(), QStringLiteral("Anna Berg"));

    QContact custom;
    QContactName customName;
    customName.setCustomLabel(QStringLiteral("Dr. A"));
    custom.saveDetail(&customName);
    QCOMPARE(MucParticipant(QStringLiteral("a@im"), ImAccount, custom).displayName(), QStringLiteral("Dr. A"));

    QContact nick;
    QContactNickname nickname;
    nickname.setNickname(QStringLiteral("annie"));
    nick.saveDetail(&nickname);
    QCOMPARE(MucParticipant(QStringLiteral("a@im"), ImAccount, nick).displayName(), QStringLiteral("annie"));

    QContact labelWins = full;
    QContactDisplayLabel label;
    label.setLabel(QStringLiteral("Engine's label"));
    labelWins.saveDetail(&label);
    QCOMPARE(MucParticipant(QStringLiteral("a@im"), ImAccount, labelWins).displayName(),
             QStringLiteral("Engine's label"));
}

void MucParticipantTest::presenceAndStatusComeFromTheFirstDetailOfThisAccount()
{
    QContact contact;
    contact = withPresence(contact, OtherImAccount + QStringLiteral("/anna"), QContactPresence::PresenceBusy,
                           QStringLiteral("elsewhere"));
    contact = withPresence(contact, QStringLiteral("presence:") + ImAccount + QStringLiteral("!anna"),
                           QContactPresence::PresenceAway, QStringLiteral("lunch"));
    contact = withPresence(contact, ImAccount + QStringLiteral("/second"), QContactPresence::PresenceAvailable,
                           QStringLiteral("second"));

    MucParticipant p(QStringLiteral("anna@im"), ImAccount, contact);
    QCOMPARE(p.presence(), int(QContactPresence::PresenceAway));
    QCOMPARE(p.statusMessage(), QStringLiteral("lunch"));

    MucParticipant elsewhere(QStringLiteral("anna@im"), QStringLiteral("/no/such/account"), contact);
    QCOMPARE(elsewhere.presence(), 0);
    QVERIFY(elsewhere.statusMessage().isNull());

    // The URI comparison is case-sensitive.
    MucParticipant upper(QStringLiteral("anna@im"), ImAccount.toUpper(), contact);
    QCOMPARE(upper.presence(), 0);
}

void MucParticipantTest::contactIdIsStableAndNonZeroForResolvedContacts()
{
    const QContact anna = fixture.add(QStringLiteral("Anna"), {{QStringLiteral("+358401111111")}});
    const QContact bert = fixture.add(QStringLiteral("Bert"), {{QStringLiteral("+358402222222")}});
    MucParticipant a(QStringLiteral("a"), ImAccount, anna);
    MucParticipant again(QStringLiteral("a"), ImAccount, fixture.store->contact(anna.id()));
    MucParticipant b(QStringLiteral("b"), ImAccount, bert);
    QVERIFY(a.contactId() != 0);
    QCOMPARE(again.contactId(), a.contactId());
    QVERIFY(b.contactId() != a.contactId());

    // Ids of other engines are hashed, the same way every time.
    const QContactId foreign(QStringLiteral("qtcontacts:tracker:"), QByteArray("urn:uuid:1234"));
    QCOMPARE(AddressBook::numericId(foreign), AddressBook::numericId(QContactId::fromString(foreign.toString())));
    QVERIFY(AddressBook::numericId(foreign) != 0);
    QCOMPARE(AddressBook::numericId(QContactId()), 0u);
}

void MucParticipantTest::sortsLocalUserFirstThenPresenceThenCodeUnitName()
{
    QObject owner;
    auto make = [&owner](const QString &name, QContactPresence::PresenceState state) {
        QContact contact = labelled(name);
        if (state != QContactPresence::PresenceUnknown)
            contact = withPresence(contact, ImAccount, state);
        return new MucParticipant(name, ImAccount, contact, &owner);
    };
    MucParticipant *offline = make(QStringLiteral("Adam"), QContactPresence::PresenceOffline);
    MucParticipant *lower = make(QStringLiteral("adam"), QContactPresence::PresenceAvailable);
    MucParticipant *upper = make(QStringLiteral("Zed"), QContactPresence::PresenceAvailable);
    MucParticipant *unknown = make(QStringLiteral("Yann"), QContactPresence::PresenceUnknown);
    MucParticipant *busy = make(QStringLiteral("Bea"), QContactPresence::PresenceBusy);
    MucParticipant *self = make(QStringLiteral("zz me"), QContactPresence::PresenceOffline);
    setSelf(self, true);

    QList<MucParticipant *> list{offline, lower, upper, unknown, busy, self};
    std::sort(list.begin(), list.end(), &MucParticipant::lessThanNamesAndPresences);
    const QList<MucParticipant *> expected{self, unknown, upper, lower, busy, offline};
    QCOMPARE(list, expected);

    std::sort(list.begin(), list.end(), &MucParticipant::lessThanNames);
    const QList<MucParticipant *> byName{offline, busy, unknown, upper, lower, self};
    QCOMPARE(list, byName);

    QVERIFY(!MucParticipant::lessThanNames(self, self));
    QVERIFY(!MucParticipant::lessThanNamesAndPresences(self, self));
}

void MucParticipantTest::avatarClickNamesTheContact()
{
    const QContact anna = fixture.add(QStringLiteral("Anna"), {{QStringLiteral("+358401111111")}});
    MucParticipant resolved(QStringLiteral("+358401111111"), ImAccount, anna);
    MucParticipant unresolved(QStringLiteral("x@im"), OtherImAccount, QContact());

    QSignalSpy spy(&resolved, &MucParticipant::avatarClicked);
    QSignalSpy unresolvedSpy(&unresolved, &MucParticipant::avatarClicked);
    QVERIFY(QMetaObject::invokeMethod(&resolved, "slotOnAvatarClicked"));
    unresolved.slotOnAvatarClicked();

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0), (QList<QVariant>{resolved.contactId(), QStringLiteral("+358401111111"), ImAccount}));
    QCOMPARE(unresolvedSpy.at(0), (QList<QVariant>{0u, QStringLiteral("x@im"), OtherImAccount}));
}

QTEST_GUILESS_MAIN(MucParticipantTest)
#include "tst_mucparticipant.moc"
