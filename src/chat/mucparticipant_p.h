// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_MUCPARTICIPANT_P_H
#define MESSAGING0_MUCPARTICIPANT_P_H

#include "mucparticipant.h"

// What the group-chat session knows of a member and keeps current.
class MucParticipantPrivate
{
public:
    MucParticipantPrivate(const QString &remoteUid, const QString &accountPath,
                          const QtContacts::QContact &contact);

    // The group-chat session updates its members through this.
    static MucParticipantPrivate *get(MucParticipant *participant) { return participant->d_func(); }
    static const MucParticipantPrivate *get(const MucParticipant *participant)
    {
        return participant->d_func();
    }

    QString remoteUid;
    QString accountPath;
    QtContacts::QContact contact;
    bool isSelf = false;
    QString nickname;
};

#endif // MESSAGING0_MUCPARTICIPANT_P_H
