// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "channelrequester.h"

#include "channelproperties.h"
#include "chatsession.h"
#include "messaginglogging.h"
#include "pendingchatsession.h"

#include <TelepathyQt/Constants>
#include <TelepathyQt/PendingChannelRequest>

#include <QDateTime>

Tp::PendingOperation *ChannelRequester::ensureChannel(const Tp::AccountPtr &account,
                                                     const ChatContext &context)
{
    QVariantMap request;
    request.insert(ChannelProperties::ChannelType, TP_QT_IFACE_CHANNEL_TYPE_TEXT);
    switch (context.chatType()) {
    case AdHocGroupChat:
        request.insert(ChannelProperties::TargetHandleType, uint(Tp::HandleTypeNone));
        request.insert(ChannelProperties::PersistentId, context.remoteUid());
        break;
    case RoomChat:
        request.insert(ChannelProperties::TargetHandleType, uint(Tp::HandleTypeRoom));
        request.insert(ChannelProperties::TargetId, context.remoteUid());
        break;
    case OneToOneChat:
        request.insert(ChannelProperties::TargetHandleType, uint(Tp::HandleTypeContact));
        request.insert(ChannelProperties::TargetId, context.remoteUid());
        break;
    default:
        request.insert(ChannelProperties::TargetHandleType, uint(Tp::HandleTypeContact));
        break;
    }
    qCDebug(lcChat) << "Requesting a channel for" << context.remoteUid() << "on" << account->objectPath();
    Tp::PendingOperation *operation = account->ensureChannel(request, QDateTime::currentDateTime(), QString());
    wait(context, operation);
    return operation;
}

void ChannelRequester::start(const ChatContext &context, PendingChatSession *waiter, const ChatSessionPtr &live)
{
    // What an earlier request for the context left (its session gone) is
    // of no use; objects still waiting for it wait for this one.
    Request &request = m_requests[context];
    const QList<QPointer<PendingChatSession>> waiters = request.waiters;
    request = Request();
    request.waiters = waiters;
    request.live = live;
    if (waiter)
        request.waiters.append(waiter);
}

void ChannelRequester::wait(const ChatContext &context, Tp::PendingOperation *operation)
{
    m_requests[context].operation = operation;
}

bool ChannelRequester::join(const ChatContext &context, PendingChatSession *waiter)
{
    for (auto it = m_requests.begin(); it != m_requests.end(); ++it) {
        if (!isSameConversation(it.key(), context))
            continue;
        // A session made and let go already (its holders were done before
        // the dispatcher confirmed the request), or one whose channel has
        // died since (the connection went while Telepathy-Qt was still
        // finishing the request, which it then does late or never), brings
        // nothing more.
        const ChatSessionPtr session = it->session.toStrongRef();
        if (it->answered && (!session || session->channelPath().isEmpty()))
            continue;
        if (waiter) {
            it->waiters.append(waiter);
            if (session)
                waiter->setSession(session);
        }
        return true;
    }
    return false;
}

QList<ChatContext> ChannelRequester::waitingFor(Tp::PendingOperation *operation) const
{
    QList<ChatContext> contexts;
    for (auto it = m_requests.cbegin(); it != m_requests.cend(); ++it) {
        if (it->operation && it->operation == operation)
            contexts.append(it.key());
    }
    return contexts;
}

bool ChannelRequester::isPending(const ChatContext &context) const
{
    for (auto it = m_requests.cbegin(); it != m_requests.cend(); ++it) {
        if (isSameConversation(it.key(), context))
            return true;
    }
    return false;
}

bool ChannelRequester::hasSession(const ChatContext &context) const
{
    const auto it = m_requests.constFind(context);
    return it != m_requests.cend() && it->answered;
}

void ChannelRequester::answer(const ChatContext &context, const ChatSessionPtr &session)
{
    // Answered after the loop: a receiver may ask again at once.
    QList<QPointer<PendingChatSession>> waiters;
    for (auto it = m_requests.begin(); it != m_requests.end(); ++it) {
        if (!isSameConversation(it.key(), context))
            continue;
        it->answered = true;
        it->session = session.toWeakRef();
        waiters += it->waiters;
    }
    for (const QPointer<PendingChatSession> &waiter : qAsConst(waiters)) {
        if (waiter)
            waiter->setSession(session);
    }
}

void ChannelRequester::finish(const ChatContext &context, const ChatSessionError &error)
{
    const Request request = m_requests.take(context);
    if (!error.isValid())
        return;
    for (const QPointer<PendingChatSession> &waiter : request.waiters) {
        if (waiter)
            waiter->setError(error);
    }
}

void ChannelRequester::abandon(const ChatContext &context, const ChatSessionError &error)
{
    QList<ChatContext> abandoned;
    for (auto it = m_requests.cbegin(); it != m_requests.cend(); ++it) {
        if (!it->operation && isSameConversation(it.key(), context))
            abandoned.append(it.key());
    }
    for (const ChatContext &key : qAsConst(abandoned))
        finish(key, error);
}

bool ChannelRequester::isHandlerRace(const QString &errorName, const QString &errorMessage)
{
    // Mission Control learns of a new handler from the bus name appearing
    // and then reads the handler's properties; a request it dispatches in
    // between finds no handler and fails with exactly this. Matched by the
    // message too: NotAvailable alone also means, for example, a disabled
    // account, which no retry mends.
    return errorName == TP_QT_ERROR_NOT_AVAILABLE
        && errorMessage == QLatin1String("Handler no longer available");
}

bool ChannelRequester::isRetrying(const ChatContext &context) const
{
    const auto it = m_requests.constFind(context);
    return it != m_requests.cend() && it->retried;
}

void ChannelRequester::retrying(const ChatContext &context, const QString &failedRequestPath)
{
    Request &request = m_requests[context];
    request.retried = true;
    request.failedRequestPath = failedRequestPath;
}

bool ChannelRequester::isSwallowedHandlerRace(const QString &requestPath, const ChatContext &context,
                                              const QString &errorName, const QString &errorMessage) const
{
    if (!isHandlerRace(errorName, errorMessage))
        return false;
    // Already retried, or about to be: the retry reports the outcome.
    for (auto it = m_requests.cbegin(); it != m_requests.cend(); ++it) {
        if (it->retried && it->failedRequestPath == requestPath)
            return true;
    }
    for (auto it = m_requests.cbegin(); it != m_requests.cend(); ++it) {
        if (it->operation && !it->retried && isSameConversation(it.key(), context))
            return true;
    }
    return false;
}
