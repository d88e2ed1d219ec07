// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "contactfixture.h"
#include "mucparticipant.h"
#include "mucparticipant_p.h"

#include <QtContacts/QContactNickname>
#include <QtTest>

#include <algorithm>

QTCONTACTS_USE_NAMESPACE

// Sets the local-user mark and the nickname through the private object, as
// the group-chat session does.
class MucParticipantTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { fixture.setUp(); }

    void displayNameFallsBackFromNicknameToLabelToUid();
    void presenceAndStatusComeFromTheFirstDetailOfThisAccount();
    void sortsLocalUserFirstThenPresenceThenCodeUnitName();
    void avatarClickNamesAStableContactId();

private:
    static MucParticipant *make(const QContact &contact, bool self = false, const QString &nickname = QString(),
                                QObject *parent = nullptr)
    {
        auto *p = new MucParticipant(QStringLiteral("uid@im"), ImAccount, contact, parent);
        MucParticipantPrivate::get(p)->isSelf = self;
        MucParticipantPrivate::get(p)->nickname = nickname;
        return p;
    }

    template <class Detail>
    static QContact with(QContact contact, Detail detail)
    {
        contact.saveDetail(&detail);
        return contact;
    }

    static QContactDisplayLabel label(const QString &text)
    {
        QContactDisplayLabel d;
        d.setLabel(text);
        return d;
    }

    static QContactPresence presence(const QString &uri, QContactPresence::PresenceState state,
                                     const QString &message = QString())
    {
        QContactPresence d;
        d.setDetailUri(uri);
        d.setPresenceState(state);
        d.setCustomMessage(message);
        return d;
    }

    static QString name(const QContact &contact, bool self = false, const QString &nickname = QString())
    {
        QScopedPointer<MucParticipant> p(make(contact, self, nickname));
        return p->displayName();
    }

    ContactFixture fixture;
};

void MucParticipantTest::displayNameFallsBackFromNicknameToLabelToUid()
{
    const QContact labelled = with(QContact(), label(QStringLiteral("Label")));
    QCOMPARE(name(labelled, true, QStringLiteral("Captain")), QStringLiteral("Captain"));
    QCOMPARE(name(labelled, true), QStringLiteral("Label"));
    QCOMPARE(name(labelled, false, QStringLiteral("Captain")), QStringLiteral("Label"));
    QCOMPARE(name(QContact(), true), QStringLiteral("uid@im"));

    // Engines such as "memory" leave the display label empty: name, custom label, nickname.
    QContactName full;
    full.setFirstName(QStringLiteral("Anna"));
    full.setLastName(QStringLiteral("Berg"));
    QCOMPARE(name(with(QContact(), full)), QStringLiteral("Anna Berg"));
    QCOMPARE(name(ContactFixture::build(QStringLiteral("Anna"), {})), QStringLiteral("Anna"));
    QContactName custom;
    custom.setCustomLabel(QStringLiteral("Dr. A"));
    QCOMPARE(name(with(QContact(), custom)), QStringLiteral("Dr. A"));
    QContactNickname nickname;
    nickname.setNickname(QStringLiteral("annie"));
    QCOMPARE(name(with(QContact(), nickname)), QStringLiteral("annie"));
    QCOMPARE(name(with(with(QContact(), full), label(QStringLiteral("Engine")))), QStringLiteral("Engine"));
}

void MucParticipantTest::presenceAndStatusComeFromTheFirstDetailOfThisAccount()
{
    QScopedPointer<MucParticipant> unresolved(make(QContact()));
    QCOMPARE(unresolved->presence(), 0);
    QVERIFY(unresolved->statusMessage().isNull());
    QCOMPARE(unresolved->contactId(), 0u);

    QContact contact;
    contact = with(contact, presence(OtherImAccount + QStringLiteral("/anna"), QContactPresence::PresenceBusy,
                                     QStringLiteral("elsewhere")));
    contact = with(contact, presence(QStringLiteral("presence:") + ImAccount + QStringLiteral("!anna"),
                                     QContactPresence::PresenceAway, QStringLiteral("lunch")));
    contact = with(contact, presence(ImAccount + QStringLiteral("/second"), QContactPresence::PresenceAvailable,
                                     QStringLiteral("second")));
    MucParticipant p(QStringLiteral("anna@im"), ImAccount, contact);
    QCOMPARE(p.presence(), int(QContactPresence::PresenceAway));
    QCOMPARE(p.statusMessage(), QStringLiteral("lunch"));

    // The account path must appear as it is (case-sensitive).
    MucParticipant upper(QStringLiteral("anna@im"), ImAccount.toUpper(), contact);
    QCOMPARE(upper.presence(), 0);
    QVERIFY(upper.statusMessage().isNull());
}

void MucParticipantTest::sortsLocalUserFirstThenPresenceThenCodeUnitName()
{
    QObject owner;
    auto member = [&owner](const QString &name, QContactPresence::PresenceState state, bool self = false) {
        QContact contact = with(QContact(), label(name));
        if (state != QContactPresence::PresenceUnknown)
            contact = with(contact, presence(ImAccount, state));
        return make(contact, self, QString(), &owner);
    };
    MucParticipant *offline = member(QStringLiteral("Adam"), QContactPresence::PresenceOffline);
    MucParticipant *lower = member(QStringLiteral("adam"), QContactPresence::PresenceAvailable);
    MucParticipant *upper = member(QStringLiteral("Zed"), QContactPresence::PresenceAvailable);
    MucParticipant *unknown = member(QStringLiteral("Yann"), QContactPresence::PresenceUnknown);
    MucParticipant *busy = member(QStringLiteral("Bea"), QContactPresence::PresenceBusy);
    MucParticipant *self = member(QStringLiteral("zz me"), QContactPresence::PresenceOffline, true);

    QList<MucParticipant *> list{offline, lower, upper, unknown, busy, self};
    std::sort(list.begin(), list.end(), &MucParticipant::lessThanNamesAndPresences);
    QCOMPARE(list, (QList<MucParticipant *>{self, unknown, upper, lower, busy, offline}));
    std::sort(list.begin(), list.end(), &MucParticipant::lessThanNames);
    QCOMPARE(list, (QList<MucParticipant *>{offline, busy, unknown, upper, lower, self}));
    QVERIFY(!MucParticipant::lessThanNames(self, self));
    QVERIFY(!MucParticipant::lessThanNamesAndPresences(self, self));
}

void MucParticipantTest::avatarClickNamesAStableContactId()
{
    fixture.clear();
    const QContact anna = fixture.add(QStringLiteral("Anna"), {{QStringLiteral("+358401111111")}});
    const QContact bert = fixture.add(QStringLiteral("Bert"), {{QStringLiteral("+358402222222")}});
    MucParticipant resolved(QStringLiteral("+358401111111"), ImAccount, anna);
    MucParticipant unresolved(QStringLiteral("x@im"), OtherImAccount, QContact());
    QVERIFY(resolved.contactId() != 0);
    QCOMPARE(resolved.contactId(), AddressBook::numericId(fixture.store->contact(anna.id()).id()));
    QVERIFY(resolved.contactId() != AddressBook::numericId(bert.id()));
    // Ids of other engines are hashed, the same way every time.
    const QContactId foreign(QStringLiteral("qtcontacts:tracker:"), QByteArray("urn:uuid:1234"));
    QCOMPARE(AddressBook::numericId(QContactId::fromString(foreign.toString())), AddressBook::numericId(foreign));
    QVERIFY(AddressBook::numericId(foreign) != 0);

    QSignalSpy spy(&resolved, &MucParticipant::avatarClicked);
    QSignalSpy unresolvedSpy(&unresolved, &MucParticipant::avatarClicked);
    QVERIFY(QMetaObject::invokeMethod(&resolved, "slotOnAvatarClicked"));
    unresolved.slotOnAvatarClicked();
    QCOMPARE(spy.at(0), (QList<QVariant>{resolved.contactId(), QStringLiteral("+358401111111"), ImAccount}));
    QCOMPARE(unresolvedSpy.at(0), (QList<QVariant>{0u, QStringLiteral("x@im"), OtherImAccount}));
}

QTEST_GUILESS_MAIN(MucParticipantTest)
#include "tst_mucparticipant.moc"
