// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_MUCPARTICIPANT_H
#define MESSAGING0_MUCPARTICIPANT_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

#include <QtContacts/QContact>

class MucParticipantPrivate;

//! One member of a group chat as the user interface shows it. The group-chat
//! session creates, updates and deletes participants; the user interface
//! reads them and invokes slotOnAvatarClicked() on a click on the avatar.
class MESSAGING0_EXPORT MucParticipant : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(MucParticipant)

public:
    //! A member with its remote id on the chat's account and the contact it resolved to (empty when none).
    MucParticipant(const QString &remoteUid, const QString &accountPath,
                   const QtContacts::QContact &contact, QObject *parent = nullptr);
    ~MucParticipant() override;

    //! A stable number for the resolved contact (see AddressBook::numericId), 0 when unresolved.
    quint32 contactId() const;
    //! The local user's nickname, else the contact's label, else the remote uid.
    QString displayName() const;
    //! QContactPresence::PresenceState on this chat's account; 0 when unknown.
    int presence() const;
    //! The status message on this chat's account; null when unknown.
    QString statusMessage() const;

    //! The member's remote id.
    QString uid() const;
    //! The object path of the chat's account.
    QString chatAccountPath() const;
    //! The address-book contact; empty when unresolved.
    QtContacts::QContact resolvedContact() const;
    //! The member is the local user.
    bool isLocalUser() const;

    //! Order by displayName() (code-unit order).
    static bool lessThanNames(const MucParticipant *a, const MucParticipant *b);
    //! The local user first, then by presence state, then by name (code-unit order).
    static bool lessThanNamesAndPresences(const MucParticipant *a, const MucParticipant *b);

Q_SIGNALS:
    //! The avatar was clicked (slotOnAvatarClicked()).
    void avatarClicked(quint32 contactId, const QString &remoteUid, const QString &accountPath);

public Q_SLOTS:
    //! For the user interface: emits avatarClicked() with this member's data.
    void slotOnAvatarClicked();

protected:
    MucParticipantPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(MucParticipant)
    friend class MucParticipantPrivate;
    // The group-chat session keeps its members current.
    friend class MucChatSessionPrivate;
    void setLocalUser(bool localUser);
    void setNickname(const QString &nickname);
    void setResolvedContact(const QtContacts::QContact &contact);
};

#endif // MESSAGING0_MUCPARTICIPANT_H
