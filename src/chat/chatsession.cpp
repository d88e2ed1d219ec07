// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "chatsession.h"
#include "chatsession_p.h"
#include "chatsessionclose.h"

#include "accountpaths.h"
#include "chatsessionmanager.h"
#include "historyrecording.h"
#include "confitem.h"
#include "messagesize.h"
#include "messagestatus.h"
#include "messaginglogging.h"

#include <TelepathyQt/Constants>
#include <TelepathyQt/PendingReady>
#include <TelepathyQt/PendingSendMessage>
#include <TelepathyQt/Types>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QPointer>
#include <QUuid>

namespace {
const QString DeliveryReportKey = QStringLiteral("/Messaging/Settings/DeliveryReport");
const QString ActionPrefix = QStringLiteral("/me ");
const char MessageIdProperty[] = "message-id-property";
// Enough for every report a connection manager still sends; older tokens
// are forgotten so that a protocol without reports costs nothing over time.
const int MaxRememberedTokens = 1000;
const QString MessageTypesProperty =
    TP_QT_IFACE_CHANNEL_INTERFACE_MESSAGES + QLatin1String(".MessageTypes");

// The channel property may reach us demarshalled or still as D-Bus data,
// depending on who read it first; anything but a list of integers means
// "not supported".
bool containsMessageType(const QVariant &value, uint wanted)
{
    if (value.userType() == qMetaTypeId<Tp::UIntList>())
        return value.value<Tp::UIntList>().contains(wanted);
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const QDBusArgument arg = value.value<QDBusArgument>();
        if (arg.currentSignature() != QLatin1String("au"))
            return false;
        Tp::UIntList list;
        arg >> list;
        return list.contains(wanted);
    }
    if (value.userType() == QMetaType::QVariantList) {
        for (const QVariant &item : value.toList()) {
            bool ok = false;
            if (item.toUInt(&ok) == wanted && ok)
                return true;
        }
    }
    return false;
}
} // namespace

ChatSessionPrivate::ChatSessionPrivate(const Tp::AccountPtr &account, const ChatContext &context)
    : account(account),
      context(context)
{
}

// Only cellular sends read the setting; watching a dconf key costs a bus
// round trip, so the item is created on first use.
ConfItem *ChatSessionPrivate::deliveryReport()
{
    if (!deliveryReportSetting)
        deliveryReportSetting = new ConfItem(DeliveryReportKey, this);
    return deliveryReportSetting;
}

ChatSessionPrivate::~ChatSessionPrivate() = default;

void ChatSessionPrivate::watchAccountConnection()
{
    if (account.isNull())
        return;
    if (account->isReady()) {
        connect(account.data(), &Tp::Account::connectionStatusChanged,
                this, &ChatSessionPrivate::slotOnConnectionStatusChanged, Qt::UniqueConnection);
    } else {
        connect(account->becomeReady(), &Tp::PendingOperation::finished,
                this, &ChatSessionPrivate::slotOnAccountFinished);
    }
}

void ChatSessionPrivate::slotOnAccountFinished(Tp::PendingOperation *operation)
{
    // Without a ready account there is nothing to watch; the session then
    // simply never asks to be restored.
    if (!operation || operation->isError() || account.isNull())
        return;
    connect(account.data(), &Tp::Account::connectionStatusChanged,
            this, &ChatSessionPrivate::slotOnConnectionStatusChanged, Qt::UniqueConnection);
}

void ChatSessionPrivate::slotOnConnectionStatusChanged(Tp::ConnectionStatus status)
{
    Q_Q(ChatSession);
    if (status == Tp::ConnectionStatusConnected && !restoreSuppressed)
        Q_EMIT q->chatSessionReadyToRestore(account);
}

void ChatSessionPrivate::slotOnPendingMessageFinished(Tp::PendingOperation *operation)
{
    Q_Q(ChatSession);
    auto *send = qobject_cast<Tp::PendingSendMessage *>(operation);
    if (!send)
        return;
    const QString id = send->property(MessageIdProperty).toString();
    qCDebug(lcChat) << "Send of" << id << "answered:" << (send->isError() ? send->errorName() : QStringLiteral("sent"));
    lastMessageToken = send->sentMessageToken();
    if (!send->isError()) {
        rememberSentToken(lastMessageToken, id);
        // The connection manager's token goes with it: its delivery reports
        // name the message by that, also to a recorder after this process.
        HistoryRecording::sendState(context, id, HistoryMessage::Sent, 0, QString(), lastMessageToken);
        Q_EMIT q->messageStatusChanged(id, ChatSession::MessageSent);
        return;
    }
    HistoryRecording::sendState(context, id, HistoryMessage::Failed, ChatSession::MessageSendFailed, send->errorName());
    // A receiver may let go of the session from inside the first signal.
    QPointer<ChatSession> self(q);
    Q_EMIT q->messageSendFailed(id, send->errorName(), send->errorMessage());
    if (self)
        Q_EMIT q->messageStatusChanged(id, ChatSession::MessageSendFailed);
}

void ChatSessionPrivate::rememberSentToken(const QString &token, const QString &messageId)
{
    if (token.isEmpty() || sentTokens.contains(token))
        return;
    sentTokens.insert(token, messageId);
    sentTokenOrder.append(token);
    while (sentTokenOrder.size() > MaxRememberedTokens)
        sentTokens.remove(sentTokenOrder.takeFirst());
}

// Tells the caller about one message and keeps it in the history; both
// happen before the connection manager is told that it may forget it, and
// a message the history did not take is not acknowledged at all: it stays
// pending with the connection manager, which hands it over again. The
// caller hears of it first, so that writing the history adds nothing to
// the time until the message shows.
bool ChatSessionPrivate::receive(const Tp::ReceivedMessage &message)
{
    // A report about a message this session sent names it by its id.
    const QString deliveredToken = message.isDeliveryReport() ? message.deliveryDetails().originalToken() : QString();
    const QString aboutId = deliveredToken.isEmpty() ? QString() : sentTokens.value(deliveredToken);
    const ChatContext conversation = context;
    announce(message, aboutId);
    return HistoryRecording::received(conversation, message, aboutId);
}

void ChatSessionPrivate::announce(const Tp::ReceivedMessage &message, const QString &aboutId)
{
    Q_Q(ChatSession);
    // A connection manager may hand the same message over again (after a
    // reconnect, or a modem that delivers twice): the caller hears of it
    // once. Messages without a token cannot be told apart and all go out.
    const QString token = message.messageToken();
    if (!token.isEmpty()) {
        if (announcedTokens.contains(token)) {
            qCDebug(lcChat) << "Received" << token << "again; announced already";
            return;
        }
        announcedTokens.insert(token);
        announcedTokenOrder.append(token);
        while (announcedTokenOrder.size() > MaxRememberedTokens)
            announcedTokens.remove(announcedTokenOrder.takeFirst());
    }
    IncomingMessage incoming = IncomingMessage::fromReceived(message);
    const int status = incoming.isDeliveryReport() ? incoming.deliveryStatus() : int(ChatSession::DeliveryUnknown);
    incoming.setDeliveredMessageId(aboutId);
    qCDebug(lcChat) << "Received" << incoming.token() << "from" << incoming.senderId()
                    << (incoming.isDeliveryReport() ? "report" : "message");

    Q_EMIT q->messageReceived(incoming);
    if (!aboutId.isNull()) {
        // Final states end the message's story; "accepted" may be followed
        // by "delivered".
        if (status == ChatSession::Delivered || status == ChatSession::DeliveryFailed
            || status == ChatSession::DeliveryRead || status == ChatSession::DeliveryDeleted) {
            sentTokens.remove(incoming.deliveredToken());
            sentTokenOrder.removeOne(incoming.deliveredToken());
        }
        Q_EMIT q->messageDeliveryStatusChanged(aboutId, status);
    }
}

void ChatSessionPrivate::slotOnMessageReceived(const Tp::ReceivedMessage &message)
{
    // The caller may drop the session from inside its slot.
    const Tp::TextChannelPtr keep = channel;
    if (receive(message) && keep)
        keep->acknowledge(QList<Tp::ReceivedMessage>() << message);
}

void ChatSessionPrivate::_q_channelInvalidated(Tp::DBusProxy *proxy, const QString &errorName,
                                               const QString &errorMessage)
{
    // A channel replaced by a newer one may still go away later; that must
    // not take the new channel's session down with it.
    if (proxy && proxy != channel.data())
        return;
    if (!channelPath.isNull())
        channelPath = QString();
    reportFailure(errorName, errorMessage);
}

void ChatSessionPrivate::reportFailure(const QString &errorName, const QString &errorMessage)
{
    Q_Q(ChatSession);
    ChatSessionError error(errorName, errorMessage, QString(), QString(), QString());
    Q_EMIT q->chatSessionError(error);
    Q_EMIT q->chatSessionClosed();
}

bool ChatSessionPrivate::channelSupportsActionMessages() const
{
    if (context.isCellular() || channel.isNull())
        return false;
    const QVariantMap properties = channel->immutableProperties();
    auto it = properties.constFind(MessageTypesProperty);
    return it != properties.constEnd()
           && containsMessageType(*it, Tp::ChannelTextMessageTypeAction);
}

ChatSession::ChatSession(Tp::AccountPtr account, const ChatContext &context, QObject *parent)
    : ChatSession(*new ChatSessionPrivate(account, context), parent)
{
}

ChatSession::ChatSession(ChatSessionPrivate &dd, QObject *parent)
    : QObject(parent), d_ptr(&dd)
{
    Q_D(ChatSession);
    d->q_ptr = this;
    d->watchAccountConnection();
}

ChatSession::~ChatSession()
{
    Q_D(ChatSession);
    d->closeChannel();
    delete d_ptr;
}

void ChatSessionPrivate::closeChannel()
{
    // Not requestClose(): its operation object lives until the reply has
    // been delivered, so a session released just before the event loop ends
    // (a program's last conversation) would leave it behind, and the
    // channel with it.
    if (closeSent || !channel || !channel->isValid())
        return;
    closeSent = true;
    qCDebug(lcChat) << "Closing" << channel->objectPath();
    const QDBusMessage close = QDBusMessage::createMethodCall(channel->busName(), channel->objectPath(),
                                                             TP_QT_IFACE_CHANNEL, QStringLiteral("Close"));
    channel->dbusConnection().send(close);
}

void closeChannelNow(ChatSession *session)
{
    ChatSessionPrivate::get(session)->closeChannel();
}

ChatContext ChatSession::context() const
{
    Q_D(const ChatSession);
    return d->context;
}

QString ChatSession::remoteUid() const
{
    Q_D(const ChatSession);
    return d->context.remoteUid();
}

void ChatSession::setRemoteUid(const QString &remoteUid)
{
    Q_D(ChatSession);
    if (d->context.remoteUid() == remoteUid)
        return;
    d->context.setRemoteUid(remoteUid);
    Q_EMIT remoteUidChanged(remoteUid);
}

Tp::AccountPtr ChatSession::account() const
{
    Q_D(const ChatSession);
    return d->account;
}

QString ChatSession::accountPath() const
{
    Q_D(const ChatSession);
    return d->account ? d->account->objectPath() : QString();
}

Tp::TextChannelPtr ChatSession::channel() const
{
    Q_D(const ChatSession);
    return d->channel;
}

QString ChatSession::channelPath() const
{
    Q_D(const ChatSession);
    return d->channelPath;
}

QString ChatSession::serviceName() const
{
    Q_D(const ChatSession);
    return d->channel ? d->channel->busName() : QString();
}

QDBusConnection ChatSession::connection() const
{
    Q_D(const ChatSession);
    return d->channel ? d->channel->dbusConnection() : QDBusConnection(QString());
}

QString ChatSession::lastMessageToken() const
{
    Q_D(const ChatSession);
    return d->lastMessageToken;
}

bool ChatSession::isReady() const
{
    Q_D(const ChatSession);
    return d->channel && d->channel->isReady() && !d->channelPath.isEmpty();
}

bool ChatSession::isReadyToChat() const
{
    return isReady();
}

void ChatSession::setChannel(Tp::TextChannelPtr channel)
{
    Q_D(ChatSession);
    if (d->channel && d->channel != channel) {
        // Nothing from the old channel concerns this session any more.
        d->channel->disconnect(this);
        d->channel->disconnect(d);
    }
    d->channel = channel;
    d->channelPath = channel ? channel->objectPath() : QString();
    d->actionMessagesSupported = d->channelSupportsActionMessages();
}

void ChatSession::channelReady(Tp::PendingOperation *operation)
{
    Q_D(ChatSession);
    if (!operation || operation->isError() || !d->channel) {
        // The channel stays, but it is not live: a later channel for this
        // conversation (restoring) must be able to take its place.
        d->channelPath = QString();
        d->reportFailure(operation ? operation->errorName() : QString(),
                         operation ? operation->errorMessage() : QString());
        return;
    }

    connect(d->channel.data(), &Tp::DBusProxy::invalidated,
            d, &ChatSessionPrivate::_q_channelInvalidated, Qt::UniqueConnection);
    const Tp::TextChannelPtr channel = d->channel;
    QList<Tp::ReceivedMessage> stored;
    for (const Tp::ReceivedMessage &message : channel->messageQueue()) {
        if (d->receive(message))
            stored.append(message);
    }
    if (!stored.isEmpty())
        channel->acknowledge(stored);
    connect(d->channel.data(), &Tp::TextChannel::messageReceived,
            d, &ChatSessionPrivate::slotOnMessageReceived, Qt::UniqueConnection);

    Q_EMIT chatSessionReady();
    // Group chats say themselves when the local user is in. A one-to-one
    // conversation is ready with its channel, also when the connection
    // manager gives that channel the Group interface.
    if (d->context.chatType() == OneToOneChat
        || !d->channel->interfaces().contains(TP_QT_IFACE_CHANNEL_INTERFACE_GROUP))
        Q_EMIT readyToChat(true);
}

QString ChatSession::sendMessage(const MsgPartsList &parts, const QString &messageId,
                                 const unsigned int &flags)
{
    Q_D(ChatSession);
    const QString id = messageId.isNull() ? ChatSessionManager::generateMessageId() : messageId;
    d->lastMessageToken = QString();
    HistoryRecording::outgoing(d->context, id, parts);

    if (!d->channel || !d->channel->isReady()) {
        HistoryRecording::sendState(d->context, id, HistoryMessage::Failed, MessageNoChannel);
        Q_EMIT messageStatusChanged(id, MessageNoChannel);
        return id;
    }
    // The bus drops a connection that sends a message above its limit, and
    // every later message of the process would fail with it.
    if (MessageSize::isTooLarge(parts)) {
        qCWarning(lcChat) << "not sending message" << id << "of" << MessageSize::of(parts)
                          << "bytes, above the limit of" << ::MessageStatus::MaximumMessageSize;
        HistoryRecording::sendState(d->context, id, HistoryMessage::Failed, MessageTooLarge);
        Q_EMIT messageStatusChanged(id, MessageTooLarge);
        return id;
    }

    uint sendFlags = flags;
    if (d->account && d->account->protocolName() == AccountPaths::CellularProtocol
        && d->deliveryReport()->value(true).toBool())
        sendFlags |= Tp::MessageSendingFlagReportDelivery;

    Tp::MessagePartList message;
    message.reserve(parts.size());
    for (const QMap<QString, QDBusVariant> &part : parts)
        message << Tp::MessagePart(part);
    if (d->actionMessagesSupported && message.size() == 2) {
        // Read with value(): a missing key must not be added to the parts.
        Tp::MessagePart &body = message.last();
        if (body.value(QStringLiteral("content-type")).variant().toString()
            == QLatin1String("text/plain")) {
            const QString content = body.value(QStringLiteral("content")).variant().toString();
            if (content.startsWith(ActionPrefix)) {
                body.insert(QStringLiteral("content"),
                            QDBusVariant(content.mid(ActionPrefix.size())));
                message.first().insert(QStringLiteral("message-type"),
                                       QDBusVariant(uint(Tp::ChannelTextMessageTypeAction)));
            }
        }
    }

    Tp::PendingSendMessage *send =
        d->channel->send(message, Tp::MessageSendingFlags(sendFlags));
    qCDebug(lcChat) << "Sending" << id << "on" << d->channelPath << "valid:" << d->channel->isValid()
                    << "finished:" << send->isFinished();
    send->setProperty(MessageIdProperty, id);
    connect(send, &Tp::PendingOperation::finished,
            d, &ChatSessionPrivate::slotOnPendingMessageFinished);
    return id;
}

#include "moc_chatsession.cpp"
