#include "mucparticipant.h"

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

MucParticipant::MucParticipant(const QString &remoteUid, const QString &accountPath,
                               const QContact &contact, QObject *parent)
    : QObject(parent)
    , remoteUid(remoteUid)
    , accountPath(accountPath)
    , contact(contact)
    , isSelf(false)
{
}

MucParticipant::~MucParticipant() = default;

quint32 MucParticipant::contactId() const
{
    return AddressBook::numericId(contact.id());
}

QString MucParticipant::displayName() const
{
    if (isSelf && !nickname.isEmpty())
        return nickname;
    const QString label = AddressBook::displayLabel(contact);
    return label.isEmpty() ? remoteUid : label;
}

int MucParticipant::presence() const
{
    return presenceOn(contact, accountPath).value(QContactPresence::FieldPresenceState).toInt();
}

QString MucParticipant::statusMessage() const
{
    return presenceOn(contact, accountPath).customMessage();
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
    if (a->isSelf != b->isSelf)
        return a->isSelf;
    const int presenceA = a->presence();
    const int presenceB = b->presence();
    if (presenceA != presenceB)
        return presenceA < presenceB;
    return a->displayName() < b->displayName();
}

void MucParticipant::slotOnAvatarClicked()
{
    emit avatarClicked(contactId(), remoteUid, accountPath);
}
