// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "mucparticipant.h"
#include "mucparticipant_p.h"

#include "contacts/addressbook.h"

#include <QtContacts/QContactPresence>

QTCONTACTS_USE_NAMESPACE

namespace {

// The first presence detail whose URI names this account; a null detail when none does.
QContactPresence presenceOn(const QContact &contact, const QString &accountPath)
{
    const QList<QContactPresence> presences = contact.details<QContactPresence>();
    for (const QContactPresence &presence : presences) {
        if (presence.detailUri().contains(accountPath))
            return presence;
    }
    return QContactPresence();
}

} // namespace

MucParticipantPrivate::MucParticipantPrivate(const QString &remoteUid, const QString &accountPath,
                                             const QContact &contact)
    : remoteUid(remoteUid), accountPath(accountPath), contact(contact)
{
}

MucParticipant::MucParticipant(const QString &remoteUid, const QString &accountPath,
                               const QContact &contact, QObject *parent)
    : QObject(parent), d_ptr(new MucParticipantPrivate(remoteUid, accountPath, contact))
{
}

MucParticipant::~MucParticipant()
{
    delete d_ptr;
}

QString MucParticipant::uid() const
{
    Q_D(const MucParticipant);
    return d->remoteUid;
}

QString MucParticipant::chatAccountPath() const
{
    Q_D(const MucParticipant);
    return d->accountPath;
}

QContact MucParticipant::resolvedContact() const
{
    Q_D(const MucParticipant);
    return d->contact;
}

bool MucParticipant::isLocalUser() const
{
    Q_D(const MucParticipant);
    return d->isSelf;
}

quint32 MucParticipant::contactId() const
{
    Q_D(const MucParticipant);
    return AddressBook::numericId(d->contact.id());
}

QString MucParticipant::displayName() const
{
    Q_D(const MucParticipant);
    if (d->isSelf && !d->nickname.isEmpty())
        return d->nickname;
    const QString label = AddressBook::displayLabel(d->contact);
    return label.isEmpty() ? d->remoteUid : label;
}

int MucParticipant::presence() const
{
    Q_D(const MucParticipant);
    return presenceOn(d->contact, d->accountPath).value(QContactPresence::FieldPresenceState).toInt();
}

QString MucParticipant::statusMessage() const
{
    Q_D(const MucParticipant);
    return presenceOn(d->contact, d->accountPath).customMessage();
}

bool MucParticipant::lessThanNames(const MucParticipant *a, const MucParticipant *b)
{
    if (a == b)
        return false;
    return a->displayName() < b->displayName();
}

bool MucParticipant::lessThanNamesAndPresences(const MucParticipant *a, const MucParticipant *b)
{
    if (a == b)
        return false;
    if (a->isLocalUser() != b->isLocalUser())
        return a->isLocalUser();
    const int presenceA = a->presence();
    const int presenceB = b->presence();
    if (presenceA != presenceB)
        return presenceA < presenceB;
    return a->displayName() < b->displayName();
}

void MucParticipant::slotOnAvatarClicked()
{
    Q_D(const MucParticipant);
    Q_EMIT avatarClicked(contactId(), d->remoteUid, d->accountPath);
}

void MucParticipant::setLocalUser(bool localUser)
{
    Q_D(MucParticipant);
    d->isSelf = localUser;
}

void MucParticipant::setNickname(const QString &nickname)
{
    Q_D(MucParticipant);
    d->nickname = nickname;
}

void MucParticipant::setResolvedContact(const QtContacts::QContact &contact)
{
    Q_D(MucParticipant);
    d->contact = contact;
}
