// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHANNELPROPERTIES_H
#define MESSAGING0_CHANNELPROPERTIES_H

#include <TelepathyQt/Constants>

#include <QString>

// The channel and channel-request properties the library reads and writes.
namespace ChannelProperties {
inline const QString ChannelType = TP_QT_IFACE_CHANNEL + QLatin1String(".ChannelType");
inline const QString TargetHandleType = TP_QT_IFACE_CHANNEL + QLatin1String(".TargetHandleType");
inline const QString TargetId = TP_QT_IFACE_CHANNEL + QLatin1String(".TargetID");
// Names group chats that have no target handle.
inline const QString PersistentId = QStringLiteral("com.tavik.Telepathy.Channel.Interface.Persistent.PersistentID");
} // namespace ChannelProperties

#endif // MESSAGING0_CHANNELPROPERTIES_H
