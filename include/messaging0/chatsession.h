// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHATSESSION_H
#define MESSAGING0_CHATSESSION_H

#include "chatcontext.h"
#include "chatsessionerror.h"
#include "incomingmessage.h"
#include "messaging0global.h"
#include "messagestatus.h"
#include "messagingtypes.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/Constants>
#include <TelepathyQt/ReceivedMessage>
#include <TelepathyQt/TextChannel>

#include <QDBusConnection>
#include <QObject>

namespace Tp {
class DBusProxy;
class PendingOperation;
}

class ChatSessionPrivate;

//! One conversation over one Telepathy text channel.
//!
//! Sessions are created by the ChatSessionManager and handed to callers as
//! ChatSessionPtr; the session lives while any ChatSessionPtr to it exists
//! and closes its channel when it goes.
//!
//! Message status codes of messageStatusChanged(): 0 sent, 2 nothing sent
//! (no ready channel), 15 the channel refused the message, 24 the message is
//! larger than MessageStatus::MaximumMessageSize and was not sent (see
//! MessageStatus for every value). A refused message is announced with the
//! connection manager's reason by messageSendFailed() first.
//!
//! Every message that arrives on the channel is announced with
//! messageReceived() before it is acknowledged, the ones already waiting when
//! the channel is handed over included (they come before chatSessionReady()).
//! A delivery report about a message sent through this session also gives
//! messageDeliveryStatusChanged() with the message's id.
class MESSAGING0_EXPORT ChatSession : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(ChatSession)

public:
    //! The session's own status codes, named from the one table (MessageStatus).
    enum MessageStatus {
        MessageSent = ::MessageStatus::Sent, //!< Telepathy has taken the message
        MessageNoChannel = ::MessageStatus::NoChannel, //!< no ready channel; nothing was sent
        MessageSendFailed = ::MessageStatus::SendFailed, //!< the channel refused the message
        MessageTooLarge = ::MessageStatus::MessageTooLarge //!< larger than MessageStatus::MaximumMessageSize; nothing was sent
    };

    //! The int of messageDeliveryStatusChanged(): Telepathy's delivery states.
    enum DeliveryStatus {
        DeliveryUnknown = 0, //!< the report says nothing more
        Delivered = 1, //!< delivered to the recipient
        DeliveryTemporarilyFailed = 2, //!< not delivered yet; the network tries again
        DeliveryFailed = 3, //!< not delivered, and never will be
        DeliveryAccepted = 4, //!< accepted by a server on the way
        DeliveryRead = 5, //!< read by the recipient
        DeliveryDeleted = 6 //!< deleted unread
    };

    //! A session for the context on the account; sessions come from the ChatSessionManager.
    ChatSession(Tp::AccountPtr account, const ChatContext &context, QObject *parent = nullptr);
    ~ChatSession() override;

    //! The conversation this session is for.
    ChatContext context() const;
    //! The other party (the context's remote id).
    QString remoteUid() const;
    //! Changes the context's remote id.
    void setRemoteUid(const QString &remoteUid);

    //! The Telepathy account of the conversation.
    Tp::AccountPtr account() const;
    //! From the account object, not from the context.
    QString accountPath() const;

    //! The text channel; null until the handler attaches one.
    Tp::TextChannelPtr channel() const;
    //! The channel's D-Bus object path; empty without a channel.
    QString channelPath() const;
    //! The D-Bus service name of the channel's connection; empty without a channel.
    QString serviceName() const;
    //! The D-Bus connection of the channel.
    QDBusConnection connection() const;
    //! The connection manager's token of the last message sent; empty before one.
    QString lastMessageToken() const;

    //! A channel is set, ready, and not invalidated.
    bool isReady() const;
    //! Messages can be sent: the session is ready (for a group chat, the local user is also a member).
    virtual bool isReadyToChat() const;

    //! Used by the manager: attach a channel (not made ready here), and hear
    //! the outcome of making it ready.
    void setChannel(Tp::TextChannelPtr channel);
    //! For the manager: the outcome of making the channel ready.
    virtual void channelReady(Tp::PendingOperation *operation);

    //! Sends the parts and returns the message id used: messageId, or a new
    //! id when it is a null string. The outcome arrives (or, without a ready
    //! channel, has already arrived) as messageStatusChanged().
    QString sendMessage(const MsgPartsList &parts, const QString &messageId,
                        const unsigned int &flags);

Q_SIGNALS:
    //! The channel is attached and ready; waiting messages have been announced.
    void chatSessionReady();
    //! The conversation failed or was lost.
    void chatSessionError(ChatSessionError &error);
    //! The channel was closed or invalidated.
    void chatSessionClosed();
    //! The outcome of a message sent with sendMessage(): 0 sent, other values failures (MessageStatus).
    void messageStatusChanged(const QString &messageId, int messageStatus);
    //! The account connected again after the session lost its channel: the manager asks for a new one.
    void chatSessionReadyToRestore(Tp::AccountPtr account);
    //! isReadyToChat() changed.
    void readyToChat(bool ready);
    //! A message or delivery report arrived, before it is acknowledged.
    void messageReceived(const IncomingMessage &message);
    //! A delivery report about a message sent through this session: its id and the DeliveryStatus.
    void messageDeliveryStatusChanged(const QString &messageId, int deliveryStatus);
    //! Emitted right before messageStatusChanged(messageId, 15): the D-Bus
    //! error name and message the connection manager gave.
    void messageSendFailed(const QString &messageId, const QString &errorName,
                           const QString &errorMessage);
    //! The context's remote uid changed (setRemoteUid()).
    void remoteUidChanged(const QString &remoteUid);

protected:
    //! For subclasses inside the library: they pass their own private object.
    ChatSession(ChatSessionPrivate &dd, QObject *parent);
    ChatSessionPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(ChatSession)
    friend class ChatSessionPrivate;
    Q_PRIVATE_SLOT(d_func(), void _q_channelInvalidated(Tp::DBusProxy *, const QString &, const QString &))
};

Q_DECLARE_METATYPE(ChatSessionPtr)

#endif // MESSAGING0_CHATSESSION_H
