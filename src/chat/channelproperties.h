// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHANNELPROPERTIES_H
#define MESSAGING0_CHANNELPROPERTIES_H

#include "chattype.h"

#include <TelepathyQt/Constants>

#include <QString>

// The channel and channel-request properties the library reads and writes.
namespace ChannelProperties {
inline const QString ChannelType = TP_QT_IFACE_CHANNEL + QLatin1String(".ChannelType");
inline const QString TargetHandleType = TP_QT_IFACE_CHANNEL + QLatin1String(".TargetHandleType");
inline const QString TargetId = TP_QT_IFACE_CHANNEL + QLatin1String(".TargetID");
// Names group chats that have no target handle.
inline const QString PersistentId = QStringLiteral("com.tavik.Telepathy.Channel.Interface.Persistent.PersistentID");

// The one mapping between the kinds of conversation and Telepathy's target
// handle types, both ways: a contact for a one-to-one chat, a room for a
// room, none for an ad hoc group named by its persistent id. Any other
// handle type is read as a contact.
inline Tp::HandleType handleTypeFor(ChatType chatType)
{
    switch (chatType) {
    case AdHocGroupChat:
        return Tp::HandleTypeNone;
    case RoomChat:
        return Tp::HandleTypeRoom;
    default:
        return Tp::HandleTypeContact;
    }
}

inline ChatType chatTypeFor(uint handleType)
{
    switch (handleType) {
    case Tp::HandleTypeNone:
        return AdHocGroupChat;
    case Tp::HandleTypeRoom:
        return RoomChat;
    default:
        return OneToOneChat;
    }
}

// The property that carries the conversation's id for the handle type: the
// persistent id without a handle, the target id otherwise.
inline const QString &idPropertyFor(uint handleType)
{
    return handleType == Tp::HandleTypeNone ? PersistentId : TargetId;
}
} // namespace ChannelProperties

#endif // MESSAGING0_CHANNELPROPERTIES_H
