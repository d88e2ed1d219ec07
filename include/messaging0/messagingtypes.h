// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_MESSAGINGTYPES_H
#define MESSAGING0_MESSAGINGTYPES_H

//! \file
//! The types shared by the session, sender and group-chat classes.

#include <QDBusVariant>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QSharedPointer>
#include <QString>

class ChatSession;
class MucParticipant;

//! A conversation as handed to callers; holding one keeps the session (and
//! its channel) alive.
typedef QSharedPointer<ChatSession> ChatSessionPtr;

//! Telepathy message parts: part 0 is the header, the others carry content.
typedef QList<QMap<QString, QDBusVariant> > MsgPartsList;

//! Group-chat members as carried by MucChatSession's signals.
typedef QList<MucParticipant *> MucParticipantList;

// ChatSessionPtr is declared a meta-type in chatsession.h, where the
// session is complete.

#endif // MESSAGING0_MESSAGINGTYPES_H
