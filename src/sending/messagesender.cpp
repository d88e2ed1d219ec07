// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "messagesender.h"
#include "sendfailurenotification.h"

#include "chatsession.h"
#include "chatsessionmanager.h"
#include "historyrecording.h"
#include "pendingchatsession.h"
#include "confitem.h"
#include "librarycatalogue.h"
#include "localeservice.h"
#include "messagesize.h"
#include "messagestatus.h"
#include "notification.h"
#include "notificationeventtypes.h"
#include "phonenumberutils.h"
#include "messaginglogging.h"
#include "platformservices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QPair>
#include <QPointer>
#include <QVector>

#include <limits>

#include <map>

namespace {

const QString StatusTimeoutKey = QStringLiteral("/Messaging/Settings/StatusTimeout");

// The bound in milliseconds; 0 for none.
qint64 statusTimeoutMs()
{
    // One item for the process, owned by the application object: an item
    // per message would watch and unwatch the key in dconf every time.
    static QPointer<ConfItem> setting;
    if (!setting)
        setting = new ConfItem(StatusTimeoutKey, QCoreApplication::instance());
    bool ok = false;
    const qint64 seconds = setting->value(int(MessageSender::DefaultStatusTimeout)).toLongLong(&ok);
    if (!ok)
        return qint64(MessageSender::DefaultStatusTimeout) * 1000;
    // A day at most: a larger value is a mistake, not a wish to wait.
    return seconds <= 0 ? 0 : qMin<qint64>(seconds, 24 * 3600) * 1000;
}

} // namespace

void publishSendFailureNotification(const QString &remoteUid)
{
    Notification notification{QLatin1String(NotificationEventTypes::MessagingErrorStrong), QString(),
                              QString()};
    const QString recipient = PlatformServices::localeService()->toLocalizedNumbers(remoteUid);
    notification.setBody(LibraryCatalogue::trId("lxr_msg_error_sms_sending_failed")
                             .arg(recipient, 0, QLatin1Char(' ')));
    notification.publish();
}

class MessageSenderPrivate
{
public:
    explicit MessageSenderPrivate(const ChatContext &context)
        : context(context)
    {
        if (this->context.isCellular()) {
            this->context.setRemoteUid(PhoneNumberUtils::toAsciiDigits(
                PhoneNumberUtils::normalizePhoneNumberForContacts(this->context.remoteUid())));
        }
    }

    void publishFailureNotification() const
    {
        Notification notification{QLatin1String(NotificationEventTypes::MessagingErrorStrong),
                                  QString(), QString()};
        const QString recipient =
            PlatformServices::localeService()->toLocalizedNumbers(context.remoteUid());
        notification.setBody(LibraryCatalogue::trId("lxr_msg_error_sms_sending_failed")
                                 .arg(recipient, 0, QLatin1Char(' ')));
        notification.publish();
    }

    struct Pending
    {
        MsgPartsList parts;
        quint64 sequence = 0;
        // The held session has it: a message goes out once, and messages
        // still waiting for their status are not handed over again.
        bool handedOver = false;
    };

    // Adds a message at the end of the queue; an id still pending is
    // replaced in place and goes out (again) from there.
    void enqueue(const QString &id, const MsgPartsList &parts)
    {
        auto it = pending.find(id);
        if (it == pending.end()) {
            it = pending.insert(id, Pending());
            it->sequence = nextSequence++;
            order.emplace(it->sequence, id);
        }
        it->parts = parts;
        it->handedOver = false;
        waiting.emplace(it->sequence, id);
    }

    bool dequeue(const QString &id)
    {
        const auto it = pending.find(id);
        if (it == pending.end())
            return false;
        order.erase(it->sequence);
        waiting.erase(it->sequence);
        pending.erase(it);
        return true;
    }

    // Pending ids in the order of the send calls.
    QStringList queuedIds() const
    {
        QStringList ids;
        ids.reserve(int(order.size()));
        for (const auto &entry : order)
            ids.append(entry.second);
        return ids;
    }

    ChatContext context;
    ChatSessionPtr session;
    // The manager's answer still to come; it deletes itself when it is done.
    QPointer<PendingChatSession> request;
    // Every message without a status yet, by id, and the same ids in the
    // order of the send calls: messages leave in that order whatever their
    // ids look like.
    QHash<QString, Pending> pending;
    std::map<quint64, QString> order;
    // The same for the messages not handed over yet: what the next send
    // hands over, without walking every message in flight.
    std::map<quint64, QString> waiting;
    quint64 nextSequence = 0;
    // Why a pending message failed, until its status goes out.
    QHash<QString, QPair<QString, QString>> failureReasons;
    bool sending = false;
    bool autoDelete = false;
    bool notifyFailures = true;
    // When each pending message runs out of time, on clock; one timer for
    // the earliest.
    QMap<QString, qint64> deadlines;
    QElapsedTimer clock;
    QTimer *deadlineTimer = nullptr; // child of the sender
    // The deadline the timer is set for.
    qint64 armedFor = 0;

    void armDeadlineTimer()
    {
        if (deadlines.isEmpty()) {
            deadlineTimer->stop();
            return;
        }
        qint64 earliest = std::numeric_limits<qint64>::max();
        for (qint64 deadline : qAsConst(deadlines))
            earliest = qMin(earliest, deadline);
        armFor(earliest);
    }

    void addDeadline(const QString &id, qint64 deadline)
    {
        deadlines.insert(id, deadline);
        // The messages of a sender share one bound, so a new deadline is
        // seldom the earliest: the timer moves only when it is, and a send
        // costs the same however many messages are in flight.
        if (!deadlineTimer->isActive() || deadline < armedFor)
            armFor(deadline);
    }

    void armFor(qint64 deadline)
    {
        armedFor = deadline;
        deadlineTimer->start(int(qBound<qint64>(0, deadline - clock.elapsed(), std::numeric_limits<int>::max())));
    }
};

MessageSender::MessageSender(const QString &remoteUid, const QString &accountPath, bool autoDelete,
                             QObject *parent)
    : QObject(parent)
    , d_ptr(new MessageSenderPrivate(ChatContext(remoteUid, accountPath, OneToOneChat, -1)))
{
    setAutoDelete(autoDelete);
    setUpDeadlines();
}

MessageSender::MessageSender(const ChatContext &context, bool autoDelete, QObject *parent)
    : QObject(parent)
    , d_ptr(new MessageSenderPrivate(context))
{
    setAutoDelete(autoDelete);
    setUpDeadlines();
}

void MessageSender::setUpDeadlines()
{
    Q_D(MessageSender);
    d->clock.start();
    d->deadlineTimer = new QTimer(this);
    d->deadlineTimer->setSingleShot(true);
    connect(d->deadlineTimer, &QTimer::timeout, this, [this, d] {
        QPointer<MessageSender> self(this);
        const qint64 now = d->clock.elapsed();
        QStringList expired;
        for (auto it = d->deadlines.cbegin(); it != d->deadlines.cend(); ++it) {
            if (it.value() <= now)
                expired << it.key();
        }
        for (const QString &id : qAsConst(expired)) {
            qCWarning(lcSending) << "message" << id << "got no status in time";
            d->failureReasons.insert(id, qMakePair(QString(),
                                                   QStringLiteral("no status within %1 s")
                                                       .arg(statusTimeoutMs() / 1000)));
            slotOnMessageStatusChanged(id, MessageTimedOut);
            if (!self)
                return;
        }
        d->armDeadlineTimer();
    });
}

MessageSender::~MessageSender()
{
    delete d_ptr;
}

ChatSessionPtr MessageSender::chatSession() const
{
    Q_D(const MessageSender);
    return d->session;
}

bool MessageSender::isSending() const
{
    Q_D(const MessageSender);
    return d->sending;
}

void MessageSender::setAutoDelete(bool autoDelete)
{
    Q_D(MessageSender);
    d->autoDelete = autoDelete;
    if (autoDelete)
        setParent(QCoreApplication::instance());
}

void MessageSender::setFailureNotificationEnabled(bool enabled)
{
    Q_D(MessageSender);
    d->notifyFailures = enabled;
}

bool MessageSender::isFailureNotificationEnabled() const
{
    Q_D(const MessageSender);
    return d->notifyFailures;
}

QMap<QString, QDBusVariant> MessageSender::constructMessagePart(const QString &content,
                                                                const QString &contentType,
                                                                const QString &thumbnailLocation,
                                                                int size,
                                                                const QString &contentLocation)
{
    QMap<QString, QDBusVariant> part;
    if (!contentType.isEmpty())
        part.insert(QStringLiteral("content-type"), QDBusVariant(contentType));
    if (!content.isEmpty())
        part.insert(QStringLiteral("content"), QDBusVariant(content));
    if (!contentLocation.isEmpty())
        part.insert(QStringLiteral("content-location"), QDBusVariant(contentLocation));
    if (!thumbnailLocation.isEmpty())
        part.insert(QStringLiteral("thumbnail-location"), QDBusVariant(thumbnailLocation));
    if (size != -1)
        part.insert(QStringLiteral("size"), QDBusVariant(size));
    return part;
}

void MessageSender::init()
{
    Q_D(MessageSender);
    ChatSessionManager *manager = ChatSessionManager::instance(nullptr);
    if (!manager->isReady()) {
        // Plain on purpose: slotOnManagerReady() removes it, duplicates included.
        connect(manager, &ChatSessionManager::managerReady, this,
                &MessageSender::slotOnManagerReady);
        manager->initialize();
        return;
    }

    if (d->session) {
        if (d->session->isReadyToChat())
            slotOnChatSessionReady(true);
        else
            requestSession();
        return;
    }

    const ChatSessionPtr existing = manager->getReadyChatSession(d->context);
    if (!existing) {
        requestSession();
        return;
    }
    slotOnChatSessionConstructed(existing);
    if (!existing->isReady())
        requestSession();
}

void MessageSender::requestSession()
{
    Q_D(MessageSender);
    if (d->request)
        return;
    d->request = ChatSessionManager::instance(nullptr)->ensureChatSession(d->context);
    connect(d->request, &PendingChatSession::finished, this, [this](PendingChatSession *request) {
        if (request->isError()) {
            ChatSessionError error = request->error();
            slotOnChatSessionError(error);
        } else {
            slotOnChatSessionConstructed(request->chatSession());
        }
    });
}

void MessageSender::send(const QString &message, const QString &messageId)
{
    MsgPartsList parts;
    parts << QMap<QString, QDBusVariant>()
          << constructMessagePart(message, QStringLiteral("text/plain"), QString(), -1, QString());
    send(parts, messageId);
}

void MessageSender::send(const MsgPartsList &message, const QString &messageId)
{
    Q_D(MessageSender);
    const QString key = messageId.isEmpty() ? ChatSessionManager::generateMessageId() : messageId;
    // In the history before anything else, the conversation not even asked
    // for yet: the session records it again under the same id, which the
    // history keeps once.
    HistoryRecording::outgoing(d->context, key, message);
    const qint64 size = MessageSize::of(message);
    if (size > MessageStatus::MaximumMessageSize) {
        failAtOnce(key, MessageStatus::MessageTooLarge,
                   QStringLiteral("the message has %1 bytes, more than the limit of %2")
                       .arg(size).arg(MessageStatus::MaximumMessageSize));
        return;
    }
    d->enqueue(key, message);
    d->sending = true;
    if (const qint64 bound = statusTimeoutMs()) {
        d->addDeadline(key, d->clock.elapsed() + bound);
    }

    if (d->session && d->session->isReadyToChat())
        doMessageSending();
    else
        init();
}

void MessageSender::sendVCard(const QString &filename, const QString &messageId)
{
    if (filename.isEmpty())
        return;

    QFile file(filename);
    QByteArray contents;
    // Read no further than the limit: a card that large fails anyway, and
    // the file may be far larger than memory.
    if (file.open(QIODevice::ReadOnly))
        contents = file.read(MessageStatus::MaximumMessageSize + 1);
    // An empty file (or a directory) opens fine but has no card to send.
    if (contents.isEmpty()) {
        qCWarning(lcSending) << "cannot read vCard" << filename << file.errorString();
        Q_EMIT messageStatusChanged(messageId, MessageStatus::VCardUnreadable);
        return;
    }
    if (contents.size() > MessageStatus::MaximumMessageSize) {
        const QString key = messageId.isEmpty() ? ChatSessionManager::generateMessageId() : messageId;
        failAtOnce(key, MessageStatus::MessageTooLarge,
                   QStringLiteral("the vCard %1 is larger than the limit of %2 bytes")
                       .arg(filename).arg(MessageStatus::MaximumMessageSize));
        return;
    }

    QMap<QString, QDBusVariant> part;
    part.insert(QStringLiteral("alternative"), QDBusVariant(QStringLiteral("main")));
    part.insert(QStringLiteral("content-type"), QDBusVariant(QStringLiteral("text/x-vcard")));
    part.insert(QStringLiteral("content"), QDBusVariant(contents));
    send(MsgPartsList() << QMap<QString, QDBusVariant>() << part, messageId);
}

void MessageSender::setAccountPath(const QString &accountPath)
{
    Q_D(MessageSender);
    d->context.setAccountPath(accountPath);
}

QString MessageSender::accountPath() const
{
    Q_D(const MessageSender);
    return d->context.accountPath();
}

void MessageSender::slotOnManagerReady()
{
    disconnect(ChatSessionManager::instance(nullptr), &ChatSessionManager::managerReady, this,
               &MessageSender::slotOnManagerReady);
    requestSession();
}

void MessageSender::slotOnChatSessionReady(bool ready)
{
    Q_D(MessageSender);
    qCDebug(lcSending) << "session for" << d->context.remoteUid() << (ready ? "ready" : "not ready")
                       << "with" << d->pending.size() << "messages, sending:" << d->sending;
    QPointer<MessageSender> self(this);
    if (ready && d->sending)
        doMessageSending();
    if (self)
        Q_EMIT readyToSend(ready);
}

void MessageSender::slotOnChatSessionConstructed(ChatSessionPtr session)
{
    Q_D(MessageSender);
    if (!session)
        return;

    if (d->session) {
        disconnect(d->session.data(), nullptr, this, nullptr);
        // Messages given to a session that is let go never get their status
        // from it; the new one gets them again.
        if (d->session != session) {
            for (auto it = d->pending.begin(); it != d->pending.end(); ++it) {
                it->handedOver = false;
                d->waiting.emplace(it->sequence, it.key());
            }
        }
    }
    qCDebug(lcSending) << "taking a session for" << d->context.remoteUid() << "channel"
                       << session->channelPath() << "ready:" << session->isReadyToChat();
    d->session = session;
    connect(session.data(), &ChatSession::chatSessionError, this,
            &MessageSender::slotOnChatSessionError, Qt::UniqueConnection);
    connect(session.data(), &ChatSession::messageSendFailed, this,
            &MessageSender::rememberFailureReason, Qt::UniqueConnection);
    connect(session.data(), &ChatSession::messageStatusChanged, this,
            &MessageSender::slotOnMessageStatusChanged, Qt::UniqueConnection);
    connect(session.data(), &ChatSession::readyToChat, this,
            &MessageSender::slotOnChatSessionReady, Qt::UniqueConnection);

    if (session->isReadyToChat())
        slotOnChatSessionReady(true);
}

void MessageSender::slotOnChatSessionError(ChatSessionError &error)
{
    Q_D(MessageSender);
    QPointer<MessageSender> self(this);
    const int status = error.type();
    // A message the session has taken gets its status from the session
    // itself, whose send call is answered also when the channel goes: the
    // connection manager may have taken it, and failing it here would have
    // it sent twice by whoever tries again.
    QStringList keys;
    for (const QString &key : d->queuedIds()) {
        if (!d->pending.value(key).handedOver)
            keys.append(key);
    }
    const QPair<QString, QString> reason = qMakePair(error.errorName(), error.message());
    for (const QString &key : keys)
        d->failureReasons.insert(key, reason);
    for (const QString &key : keys) {
        slotOnMessageStatusChanged(key, status);
        if (!self)
            return;
    }
    Q_EMIT readyToSend(false);
}

void MessageSender::slotOnMessageStatusChanged(const QString &messageId, int messageStatus)
{
    Q_D(MessageSender);
    // Other senders' messages on the same session, and repeated statuses.
    if (!d->dequeue(messageId))
        return;
    if (d->deadlines.remove(messageId) && d->deadlines.isEmpty())
        d->deadlineTimer->stop();
    const QPair<QString, QString> reason = d->failureReasons.take(messageId);

    if (d->pending.isEmpty()) {
        d->sending = false;
        if (d->autoDelete)
            deleteLater();
    }
    if (messageStatus == MessageStatus::Sent) {
        Q_EMIT messageStatusChanged(messageId, messageStatus);
        return;
    }
    // Sent is the session's to record; failures come from here as well
    // (no conversation, no status in time).
    HistoryRecording::sendState(d->context, messageId, HistoryMessage::Failed, messageStatus, reason.first);
    if (d->notifyFailures)
        publishSendFailureNotification(d->context.remoteUid());
    QPointer<MessageSender> self(this);
    Q_EMIT messageFailed(messageId, messageStatus, reason.first, reason.second);
    if (self)
        Q_EMIT messageStatusChanged(messageId, messageStatus);
}

void MessageSender::rememberFailureReason(const QString &messageId, const QString &errorName,
                                          const QString &errorMessage)
{
    Q_D(MessageSender);
    if (d->pending.contains(messageId))
        d->failureReasons.insert(messageId, qMakePair(errorName, errorMessage));
}

void MessageSender::failAtOnce(const QString &messageId, int messageStatus, const QString &reason)
{
    Q_D(MessageSender);
    qCWarning(lcSending) << "message" << messageId << "fails at once:" << reason;
    // Through the pending table, so that an earlier message under the same
    // id is replaced and the sending flag and auto delete behave as for any
    // other status.
    d->enqueue(messageId, MsgPartsList());
    d->failureReasons.insert(messageId, qMakePair(QString(), reason));
    slotOnMessageStatusChanged(messageId, messageStatus);
}

void MessageSender::doMessageSending()
{
    Q_D(MessageSender);
    if (!d->session || !d->session->isReadyToChat()) {
        qCDebug(lcSending) << "no ready session for" << d->context.remoteUid() << "yet";
        d->sending = false;
        return;
    }

    // A status can arrive inside sendMessage() and change the table, and a
    // receiver may even drop the session or delete this sender.
    QPointer<MessageSender> self(this);
    const ChatSessionPtr session = d->session;
    const unsigned int flags = 0;
    // A copy: a status given at once (a message too large) may change the
    // queue, or delete this sender.
    const std::map<quint64, QString> batch = d->waiting;
    for (const auto &[sequence, key] : batch) {
        const auto it = d->pending.find(key);
        if (it == d->pending.end() || it->handedOver || it->parts.isEmpty())
            continue;
        it->handedOver = true;
        d->waiting.erase(sequence);
        const MsgPartsList parts = it->parts;
        session->sendMessage(parts, key, flags);
        if (!self)
            return;
    }
    Q_EMIT messageSent();
}
