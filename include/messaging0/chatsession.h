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

// One conversation over one Telepathy text channel.
//
// Sessions are created by the ChatSessionManager and handed to callers as
// ChatSessionPtr; the session lives while any ChatSessionPtr to it exists
// and closes its channel when it goes.
//
// Message status codes of messageStatusChanged(): 0 sent, 2 nothing sent
// (no ready channel), 15 the channel refused the message.
//
// Every message that arrives on the channel is announced with
// messageReceived() before it is acknowledged, the ones already waiting when
// the channel is handed over included (they come before chatSessionReady()).
// A delivery report about a message sent through this session also gives
// messageDeliveryStatusChanged() with the message's id.
// (no ready channel), 15 the channel refused the message, 24 the message is
// larger than MessageStatus::MaximumMessageSize and was not sent (see
// messagestatus.h for every value). A refused message is announced with the
// connection manager's reason by messageSendFailed() first.
class MESSAGING0_EXPORT ChatSession : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(ChatSession)

public:
    // The session's own statuses, as named in the one table (messagestatus.h).
    enum MessageStatus {
        MessageSent = ::MessageStatus::Sent,
        MessageNoChannel = ::MessageStatus::NoChannel,
        MessageSendFailed = ::MessageStatus::SendFailed,
        MessageTooLarge = ::MessageStatus::MessageTooLarge
    };

    // The int of messageDeliveryStatusChanged(): Telepathy's delivery states.
    enum DeliveryStatus {
        DeliveryUnknown = 0,
        Delivered = 1,
        DeliveryTemporarilyFailed = 2,
        DeliveryFailed = 3,
        DeliveryAccepted = 4,
        DeliveryRead = 5,
        DeliveryDeleted = 6
    };

    ChatSession(Tp::AccountPtr account, const ChatContext &context, QObject *parent = nullptr);
    ~ChatSession() override;

    ChatContext context() const;
    QString remoteUid() const;
    void setRemoteUid(const QString &remoteUid);

    Tp::AccountPtr account() const;
    // From the account object, not from the context.
    QString accountPath() const;

    Tp::TextChannelPtr channel() const;
    QString channelPath() const;
    QString serviceName() const;
    QDBusConnection connection() const;
    QString lastMessageToken() const;

    // A channel is set, ready, and not invalidated.
    bool isReady() const;
    virtual bool isReadyToChat() const;

    // Used by the manager: attach a channel (not made ready here), and hear
    // the outcome of making it ready.
    void setChannel(Tp::TextChannelPtr channel);
    virtual void channelReady(Tp::PendingOperation *operation);

    // Sends the parts and returns the message id used: messageId, or a new
    // id when it is a null string. The outcome arrives (or, without a ready
    // channel, has already arrived) as messageStatusChanged().
    QString sendMessage(const MsgPartsList &parts, const QString &messageId,
                        const unsigned int &flags);

Q_SIGNALS:
    void chatSessionReady();
    void chatSessionError(ChatSessionError &error);
    void chatSessionClosed();
    void messageStatusChanged(const QString &messageId, int messageStatus);
    void chatSessionReadyToRestore(Tp::AccountPtr account);
    void readyToChat(bool ready);
    void messageReceived(const IncomingMessage &message);
    void messageDeliveryStatusChanged(const QString &messageId, int deliveryStatus);
    // Emitted right before messageStatusChanged(messageId, 15): the D-Bus
    // error name and message the connection manager gave.
    void messageSendFailed(const QString &messageId, const QString &errorName,
                           const QString &errorMessage);
    //! The context's remote uid changed (setRemoteUid()).
    void remoteUidChanged(const QString &remoteUid);

protected:
    ChatSession(ChatSessionPrivate &dd, QObject *parent);
    ChatSessionPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(ChatSession)
    friend class ChatSessionPrivate;
    Q_PRIVATE_SLOT(d_func(), void _q_channelInvalidated(Tp::DBusProxy *, const QString &, const QString &))
};

Q_DECLARE_METATYPE(ChatSessionPtr)

#endif // MESSAGING0_CHATSESSION_H
