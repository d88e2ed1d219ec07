// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_MESSAGESENDER_H
#define MESSAGING0_MESSAGESENDER_H

#include "chatcontext.h"
#include "chatsession.h"
#include "chatsessionerror.h"
#include "messaging0global.h"
#include "messagestatus.h"
#include "messagingtypes.h"

#include <QObject>
#include <QString>

//! \class MessageSender
//! Sends texts, vCards and ready message parts to one conversation and
//! reports each message's outcome with messageStatusChanged(id, status):
//! 0 sent; any other value failed (2 no usable channel, 15 the channel
//! refused it, 23 the vCard file could not be read, 24 the message is larger
//! than MessageStatus::MaximumMessageSize, 25 no status came within the
//! bound, or the ChatSessionError type of a conversation that could not be
//! opened or was lost; a message the lost conversation had already taken
//! gets the status its send call is answered with instead, as the connection
//! manager may have taken it; every value is listed in messagestatus.h). A failed
//! message also raises a notification, and messageFailed() gives the reason
//! right before its status.
//!
//! Messages leave in the order of the send calls. A message above the size
//! limit fails at once and never reaches the bus; the messages around it are
//! sent as usual.
//!
//! No message waits for ever: one that has no status within the bound of
//! the dconf key "/Messaging/Settings/StatusTimeout" (seconds, default 120;
//! 0 or less for no bound) after its send() fails with MessageTimedOut (25),
//! whatever it was waiting for: the manager, an account that is offline, the
//! channel, or the connection manager's answer. A status that comes later for
//! it is ignored.
//!
//! The sender asks the ChatSessionManager for the conversation on the first
//! send (or init()) with ensureChatSession() and uses the session that
//! request brings; a failed request fails the messages waiting for it. On the
//! cellular SMS and MMS accounts the remote uid is stored in the contacts
//! store's form with ASCII digits.
//!
//! With auto delete the sender becomes a child of the application object and
//! deletes itself (from the event loop) once every message has its status.
class MessageSenderPrivate;

class MESSAGING0_EXPORT MessageSender : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(MessageSender)

public:
    //! The sender's own failure status beside the session's and the error
    //! types; see above.
    enum { MessageTimedOut = MessageStatus::TimedOut };
    //! Default of "/Messaging/Settings/StatusTimeout", in seconds.
    enum { DefaultStatusTimeout = 120 };

    //! A sender for the one-to-one conversation with remoteUid on the account with the given object path.
    MessageSender(const QString &remoteUid, const QString &accountPath, bool autoDelete = false,
                  QObject *parent = nullptr);
    //! A sender for the conversation named by the context.
    MessageSender(const ChatContext &context, bool autoDelete = false, QObject *parent = nullptr);
    ~MessageSender() override;

    //! Null until a session for this conversation has been adopted.
    ChatSessionPtr chatSession() const;
    //! A message is waiting to be handed over or for its status.
    bool isSending() const;
    //! True also reparents the sender to the application object.
    void setAutoDelete(bool autoDelete);
    //! Whether a failed message raises the failure notification (default
    //! true); a caller that tries again turns it off and tells the user
    //! itself once it gives up.
    void setFailureNotificationEnabled(bool enabled);
    //! Whether a failed message raises the failure notification.
    bool isFailureNotificationEnabled() const;

    //! One content part: each key only when its argument is given (non-empty
    //! strings, size other than -1).
    static QMap<QString, QDBusVariant> constructMessagePart(const QString &content,
                                                            const QString &contentType,
                                                            const QString &thumbnailLocation,
                                                            int size,
                                                            const QString &contentLocation);

Q_SIGNALS:
    //! The adopted session became ready to chat, or stopped being so.
    void readyToSend(bool isReady);
    //! Pending messages were handed to the session.
    void messageSent();
    //! A message has its status: 0 sent, any other value failed (MessageStatus).
    void messageStatusChanged(const QString &messageId, int messageStatus);
    //! Emitted right before messageStatusChanged() for every failure, with
    //! the same id and status: the D-Bus error name and message the
    //! connection manager or Telepathy gave, where there is one (a refused
    //! message, a channel request that failed), otherwise an empty name and
    //! the library's own explanation.
    void messageFailed(const QString &messageId, int messageStatus, const QString &errorName,
                       const QString &errorMessage);

public Q_SLOTS:
    //! Asks the manager for the conversation now rather than on the first send.
    void init();
    //! A null messageId gets a generated one; reusing an id still pending
    //! replaces that message.
    void send(const QString &message, const QString &messageId = QString());
    //! Sends ready message parts, part 0 the header; messageId as for the text.
    void send(const MsgPartsList &message, const QString &messageId = QString());
    //! Sends the vCard file; a file that cannot be read fails with MessageStatus::VCardUnreadable.
    void sendVCard(const QString &filename, const QString &messageId = QString());
    //! Changes the context only; the session in use stays.
    void setAccountPath(const QString &accountPath);
    //! The account's object path of the context.
    QString accountPath() const;

private Q_SLOTS:
    void slotOnManagerReady();
    void slotOnChatSessionReady(bool ready);
    void slotOnChatSessionConstructed(ChatSessionPtr session);
    void slotOnChatSessionError(ChatSessionError &error);
    void slotOnMessageStatusChanged(const QString &messageId, int messageStatus);
    void doMessageSending();

private:
    // Asks the manager for the conversation, unless a request is in flight.
    void requestSession();
    void rememberFailureReason(const QString &messageId, const QString &errorName,
                               const QString &errorMessage);
    void failAtOnce(const QString &messageId, int messageStatus, const QString &reason);

    Q_DISABLE_COPY(MessageSender)
    void setUpDeadlines();

protected:
    MessageSenderPrivate *const d_ptr;
};

#endif // MESSAGING0_MESSAGESENDER_H
