// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_INCOMINGMESSAGE_H
#define MESSAGING0_INCOMINGMESSAGE_H

#include "messaging0global.h"
#include <QDBusVariant>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class IncomingMessageData;

namespace Tp {
class ReceivedMessage;
}

//! Same as messagingtypes.h's, repeated so that this header stands alone.
typedef QList<QMap<QString, QDBusVariant> > MsgPartsList;

//! A message that arrived on a session's channel, as ChatSession announces
//! it before the library acknowledges it to the connection manager.
//! Implicitly shared.
//!
//! Delivery reports arrive as incoming messages too: isDeliveryReport() is
//! true, deliveryStatus() holds the reported state (ChatSession's
//! DeliveryStatus values) and deliveredToken() / deliveredMessageId() name
//! the message it is about; the message id is known when the message was
//! sent through the same session in this process.
class MESSAGING0_EXPORT IncomingMessage
{
public:
    //! An empty message.
    IncomingMessage();
    //! A shared copy.
    IncomingMessage(const IncomingMessage &other);
    //! Shares other's data.
    IncomingMessage &operator=(const IncomingMessage &other);
    ~IncomingMessage();

    //! The sender's contact id (empty for messages of the channel itself).
    QString senderId() const;
    //! The sender's nickname, where the protocol gives one.
    QString senderNickname() const;
    //! The text/plain content, parts concatenated.
    QString text() const;
    //! All parts as received, part 0 the header.
    MsgPartsList parts() const;
    //! When the connection manager received it, and when the sender sent it
    //! (invalid when the protocol does not say).
    QDateTime received() const;
    //! When the sender sent it; invalid when the protocol does not say.
    QDateTime sent() const;
    //! The connection manager's token of this message (may be empty).
    QString token() const;
    //! Telepathy's message type: 0 normal, 1 action, 2 notice, 4 delivery report.
    uint messageType() const;
    //! Messages the connection manager kept from an earlier handler, or
    //! scrollback of a room.
    bool isRescued() const;
    //! Scrollback of a room: history replayed on joining.
    bool isScrollback() const;

    //! A delivery report rather than a message.
    bool isDeliveryReport() const;
    //! The reported state, a ChatSession::DeliveryStatus.
    int deliveryStatus() const;
    //! The token of the message the report is about.
    QString deliveredToken() const;
    //! The id of the message the report is about, when it was sent through the same session in this process.
    QString deliveredMessageId() const;
    //! The D-Bus error name a failed delivery report carries.
    QString deliveryError() const;

private:
    // The session announces what its channel received.
    friend class ChatSessionPrivate;
    static IncomingMessage fromReceived(const Tp::ReceivedMessage &message);
    void setDeliveredMessageId(const QString &messageId);

    QSharedDataPointer<IncomingMessageData> d;
};

Q_DECLARE_METATYPE(IncomingMessage)

#endif // MESSAGING0_INCOMINGMESSAGE_H
