// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historyobserver.h"

#include "historymessages.h"

#include <messaging0/chatsessionmanager.h>
#include <messaging0/historystore.h>

#include <TelepathyQt/Account>
#include <TelepathyQt/ChannelClassSpec>
#include <TelepathyQt/Constants>
#include <TelepathyQt/PendingReady>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QLoggingCategory>

#include <memory>

namespace {

Q_LOGGING_CATEGORY(lcRecorder, "messaging.history.recorder", QtInfoMsg)

// The library's handler, whose sends the library records itself.
const QString LibraryHandler = QStringLiteral("org.freedesktop.Telepathy.Client.Messaging");
const QString LibraryHandlerPath = QStringLiteral("/org/freedesktop/Telepathy/Client/Messaging");

// As MessagingHistory.client: one-to-one chats, rooms and group chats
// without a target.
Tp::ChannelClassSpecList textChannels()
{
    return Tp::ChannelClassSpecList() << Tp::ChannelClassSpec::textChat() << Tp::ChannelClassSpec::textChatroom()
                                      << Tp::ChannelClassSpec(TP_QT_IFACE_CHANNEL_TYPE_TEXT, Tp::HandleTypeNone);
}

// The conversation of a channel, as the library's handler names it.
ChatContext contextOf(const Tp::ChannelPtr &channel, const Tp::AccountPtr &account)
{
    QString target;
    uint handleType = Tp::HandleTypeContact;
    if (!account || !channelTargetId(channel, target, handleType) || target.isEmpty())
        return ChatContext();
    const ChatType type = handleType == Tp::HandleTypeNone ? AdHocGroupChat
                          : handleType == Tp::HandleTypeRoom ? RoomChat
                                                              : OneToOneChat;
    return ChatContext(target, account->objectPath(), type, -1);
}

} // namespace

HistoryObserver::HistoryObserver(HistoryStore *store)
    : Tp::AbstractClientObserver(textChannels(), true)
    , m_store(store)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(IdleMs);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        if (m_channels.isEmpty())
            Q_EMIT idle();
    });
    m_idle.start();
}

HistoryObserver::~HistoryObserver()
{
    qDeleteAll(m_channels);
}

void HistoryObserver::observeChannels(const Tp::MethodInvocationContextPtr<> &context, const Tp::AccountPtr &account,
                                      const Tp::ConnectionPtr &, const QList<Tp::ChannelPtr> &channels,
                                      const Tp::ChannelDispatchOperationPtr &, const QList<Tp::ChannelRequestPtr> &,
                                      const Tp::AbstractClientObserver::ObserverInfo &observerInfo)
{
    m_idle.stop();
    qCDebug(lcRecorder) << "observing" << channels.size() << "channels on" << (account ? account->objectPath() : QString())
                        << (observerInfo.isRecovering() ? "(recovering)" : "");
    // Mission Control hands the channels to their handler once answered:
    // the answer waits until the messages already on them are stored.
    auto waiting = std::make_shared<int>(0);
    const auto done = [context, waiting] {
        if (--*waiting == 0 && !context->isFinished())
            context->setFinished();
    };
    ++*waiting;
    for (const Tp::ChannelPtr &channel : channels) {
        const Tp::TextChannelPtr text = Tp::TextChannelPtr::qObjectCast(channel);
        if (!text || m_channels.contains(text->objectPath()))
            continue;
        ++*waiting;
        const Tp::Features features = Tp::Features() << Tp::TextChannel::FeatureMessageQueue
                                                     << Tp::TextChannel::FeatureMessageSentSignal;
        connect(text->becomeReady(features), &Tp::PendingOperation::finished, this,
                [this, text, account, done](Tp::PendingOperation *operation) {
                    if (operation->isError())
                        qCWarning(lcRecorder) << "cannot read" << text->objectPath() << operation->errorName()
                                              << operation->errorMessage();
                    else
                        watch(text, account);
                    done();
                });
    }
    done();
    checkIdle();
}

void HistoryObserver::watch(const Tp::TextChannelPtr &channel, const Tp::AccountPtr &account)
{
    const QString path = channel->objectPath();
    if (m_channels.contains(path) || !channel->isValid())
        return;
    const ChatContext context = contextOf(channel, account);
    if (context.remoteUid().isEmpty()) {
        qCWarning(lcRecorder) << "channel" << path << "names no conversation; not recorded";
        return;
    }
    auto *observed = new Observed;
    observed->channel = channel;
    observed->context = context;
    m_channels.insert(path, observed);

    connect(channel.data(), &Tp::TextChannel::messageReceived, this, [this, path](const Tp::ReceivedMessage &message) {
        if (Observed *observed = m_channels.value(path))
            store(observed, message);
    });
    connect(channel.data(), &Tp::TextChannel::messageSent, this,
            [this, path](const Tp::Message &message, Tp::MessageSendingFlags, const QString &token) {
                sent(path, message, token);
            });
    connect(channel.data(), &Tp::DBusProxy::invalidated, this, [this, path] { forget(path); });
    const QList<Tp::ReceivedMessage> queue = channel->messageQueue();
    for (const Tp::ReceivedMessage &message : queue)
        store(observed, message);
    qCDebug(lcRecorder) << "watching" << path << "for" << context.remoteUid() << "with" << queue.size()
                        << "waiting messages";
    checkIdle();
}

void HistoryObserver::store(Observed *observed, const Tp::ReceivedMessage &message)
{
    // Never acknowledged here: that is the handler's, and a message this
    // process could not store is then still there for the next recorder.
    if (!HistoryMessages::storeReceived(m_store, observed->context, message))
        qCWarning(lcRecorder) << "message" << message.messageToken() << "on" << observed->channel->objectPath()
                              << "could not be stored";
}

void HistoryObserver::sent(const QString &path, const Tp::Message &message, const QString &token)
{
    Observed *observed = m_channels.value(path);
    if (!observed)
        return;
    if (observed->libraryHandles == 0) {
        storeSent(observed, message, token);
        return;
    }
    if (observed->libraryHandles == 1)
        return;
    observed->waitingSends.append(message);
    observed->waitingTokens.append(token);
    if (observed->waitingSends.size() > 1)
        return;
    // A channel's handler never changes: asked once per channel. Not
    // started by asking: a handler that is not running has no channels.
    QDBusMessage call = QDBusMessage::createMethodCall(LibraryHandler, LibraryHandlerPath,
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << TP_QT_IFACE_CLIENT_HANDLER << QStringLiteral("HandledChannels");
    call.setAutoStartService(false);
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, path](QDBusPendingCallWatcher *watcher) {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        Observed *observed = m_channels.value(path);
        if (!observed)
            return;
        const QList<Tp::Message> sends = observed->waitingSends;
        const QStringList tokens = observed->waitingTokens;
        observed->waitingSends.clear();
        observed->waitingTokens.clear();
        if (reply.isError()) {
            // No handler of the library's any more: a program that sent and
            // ended at once (messaging send) is gone before it could answer.
            // Its messages are in the thread already; the others are not.
            for (int i = 0; i < sends.size(); ++i) {
                if (!recordedByLibrary(observed, sends.at(i)))
                    storeSent(observed, sends.at(i), tokens.at(i));
            }
            return;
        }
        const QList<QDBusObjectPath> paths = qdbus_cast<QList<QDBusObjectPath>>(reply.value().variant());
        observed->libraryHandles = paths.contains(QDBusObjectPath(path)) ? 1 : 0;
        for (int i = 0; observed->libraryHandles == 0 && i < sends.size(); ++i)
            storeSent(observed, sends.at(i), tokens.at(i));
    });
}

bool HistoryObserver::recordedByLibrary(Observed *observed, const Tp::Message &message) const
{
    const qint64 thread = m_store->threadId(observed->context);
    if (thread < 0)
        return false;
    const QDateTime now = QDateTime::currentDateTime();
    for (const HistoryMessage &stored : m_store->messages(thread, RecentSends)) {
        if (!stored.isIncoming() && stored.text() == message.text()
            && qAbs(stored.time().secsTo(now)) <= RecentSendSeconds)
            return true;
    }
    return false;
}

void HistoryObserver::storeSent(Observed *observed, const Tp::Message &message, const QString &token)
{
    MsgPartsList parts;
    for (const Tp::MessagePart &part : message.parts())
        parts << part;
    HistoryMessage stored = HistoryMessages::fromSent(token, parts);
    if (message.sent().isValid())
        stored.setSentTime(message.sent());
    stored.setState(HistoryMessage::Sent);
    if (m_store->addMessage(observed->context, stored) < 0)
        qCWarning(lcRecorder) << "sent message" << token << "on" << observed->channel->objectPath()
                              << "could not be stored";
}

void HistoryObserver::forget(const QString &path)
{
    delete m_channels.take(path);
    checkIdle();
}

void HistoryObserver::checkIdle()
{
    if (m_channels.isEmpty())
        m_idle.start();
    else
        m_idle.stop();
}
