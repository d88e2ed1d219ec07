// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "channelhandler.h"

#include "channelproperties.h"
#include "chatsession.h"
#include "chatsessionmanager.h"
#include "messaginglogging.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/Constants>
#include <TelepathyQt/PendingReady>
#include <TelepathyQt/TextChannel>

namespace {

Tp::Features channelFeatures()
{
    return Tp::Features() << Tp::TextChannel::FeatureMessageQueue
                          << Tp::TextChannel::FeatureMessageSentSignal;
}

void answer(const Tp::MethodInvocationContextPtr<> &call)
{
    if (call && !call->isFinished())
        call->setFinished();
}

void answerWithError(const Tp::MethodInvocationContextPtr<> &call, const QString &errorName,
                     const QString &errorMessage)
{
    if (call && !call->isFinished())
        call->setFinishedWithError(errorName, errorMessage);
}

} // namespace

ChannelHandler::ChannelHandler(const Tp::ChannelClassSpecList &filter, ChannelHandlerHost *host)
    : Tp::AbstractClientHandler(filter, Tp::AbstractClientHandler::Capabilities(), true),
      m_host(host)
{
}

ChannelHandler::~ChannelHandler()
{
    qDeleteAll(m_requests);
    qDeleteAll(m_readinessQueue);
    delete m_currentReadiness;
}

void ChannelHandler::detach()
{
    m_host = nullptr;
}

bool ChannelHandler::bypassApproval() const
{
    return true;
}

void ChannelHandler::addRequest(const Tp::ChannelRequestPtr &request)
{
    if (!m_host || request.isNull() || m_requests.contains(request->objectPath()))
        return;
    auto *entry = new RequestEntry;
    entry->request = request;
    m_requests.insert(request->objectPath(), entry);

    if (!request->requests().isEmpty() && request->account()) {
        processRequest(request);
    } else {
        connect(request->becomeReady(), &Tp::PendingOperation::finished,
                this, &ChannelHandler::requestReady);
    }
}

// The critical diagnostics of requestReady(), processRequest() and
// channelReady() begin with the signatures the library documents for them:
// those of ChatSessionManagerPrivate's slots, whose work this handler does.
// Log readers and existing filters match those texts, so they stay.
void ChannelHandler::requestReady(Tp::PendingOperation *operation)
{
    auto *ready = qobject_cast<Tp::PendingReady *>(operation);
    if (!ready) {
        qCCritical(lcChat) << "void ChatSessionManagerPrivate::requestReady(Tp::PendingOperation*)"
                           << "Pending ready operation is null";
        return;
    }
    const Tp::ChannelRequestPtr request = Tp::ChannelRequestPtr::qObjectCast(ready->proxy());
    if (!request) {
        qCCritical(lcChat) << "void ChatSessionManagerPrivate::requestReady(Tp::PendingOperation*)"
                           << "Cannot get d-bus proxy for pending operation";
        return;
    }
    processRequest(request);
}

void ChannelHandler::processRequest(const Tp::ChannelRequestPtr &request)
{
    const char *where = "void ChatSessionManagerPrivate::processRequest(const Tp::ChannelRequestPtr&)";
    RequestEntry *entry = m_requests.value(request->objectPath());
    if (!m_host || !entry) {
        qCCritical(lcChat) << where << "Ready request " << request->objectPath() << "without addRequest";
        return;
    }
    const QString requestPath = request->objectPath();
    connect(request.data(), &Tp::ChannelRequest::succeeded, this,
            [this, requestPath] { requestSucceeded(requestPath); });

    // A request whose readiness failed may lack its properties or account.
    const Tp::QualifiedPropertyValueMapList maps = request->requests();
    const Tp::AccountPtr requestAccount = request->account();
    if (maps.isEmpty() || !requestAccount) {
        qCCritical(lcChat) << where << "Failed create session for request " << request->objectPath();
        return;
    }

    const ChatContext context = contextOfRequest(request);

    ChatSessionPtr session = m_host->findSession(context);
    if (!session) {
        if (const Tp::AccountPtr account = m_host->account(context.accountPath()))
            session = m_host->createSession(account, context);
        else
            qCCritical(lcChat) << where << "Invalid account " << context.accountPath();
    }
    if (!session) {
        qCCritical(lcChat) << where << "Failed create session for request " << request->objectPath();
        return;
    }

    qCDebug(lcChat) << "Request" << request->objectPath() << "is for" << context.remoteUid();
    entry->context = context;
    entry->session = session;
    m_host->requestOffered(request->objectPath(), context, session);
}

ChatContext ChannelHandler::contextOfRequest(const Tp::ChannelRequestPtr &request)
{
    ChatContext context;
    if (!request)
        return context;
    if (const Tp::AccountPtr account = request->account())
        context.setAccountPath(account->objectPath());
    const Tp::QualifiedPropertyValueMapList maps = request->requests();
    if (maps.isEmpty())
        return context;
    const Tp::QualifiedPropertyValueMap &properties = maps.first();
    const uint handleType = properties.value(ChannelProperties::TargetHandleType).variant().toUInt();
    context.setRemoteUid(properties.value(ChannelProperties::idPropertyFor(handleType)).variant().toString());
    context.setChatType(ChannelProperties::chatTypeFor(handleType));
    context.setConversationId(-1);
    return context;
}

void ChannelHandler::requestSucceeded(const QString &requestPath)
{
    delete m_requests.take(requestPath);
}

void ChannelHandler::removeRequest(const Tp::ChannelRequestPtr &request, const QString &errorName,
                                   const QString &errorMessage)
{
    if (request.isNull())
        return;
    RequestEntry *entry = m_requests.take(request->objectPath());
    if (!entry)
        return;
    // An entry whose processing has not finished has no context yet; the
    // request itself still says which conversation it is for.
    ChatContext context = entry->context;
    if (context.accountPath().isEmpty())
        context = contextOfRequest(request);
    delete entry;
    if (m_host)
        m_host->requestWithdrawn(request->objectPath(), context, errorName, errorMessage);
}

void ChannelHandler::handleChannels(const Tp::MethodInvocationContextPtr<> &dbusContext,
                                    const Tp::AccountPtr &account, const Tp::ConnectionPtr &,
                                    const QList<Tp::ChannelPtr> &channels,
                                    const QList<Tp::ChannelRequestPtr> &requestsSatisfied,
                                    const QDateTime &, const Tp::AbstractClientHandler::HandlerInfo &)
{
    if (!m_host) {
        answerWithError(dbusContext, TP_QT_ERROR_NOT_AVAILABLE, QStringLiteral("The handler is going away"));
        return;
    }
    if (channels.isEmpty() || channels.first().isNull()) {
        answerWithError(dbusContext, TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("No channel to handle"));
        return;
    }
    // Only text channels are asked for, one at a time.
    const Tp::ChannelPtr channel = channels.first();
    qCDebug(lcChat) << "Handling" << channel->objectPath() << "satisfying" << requestsSatisfied.size()
                    << "requests";
    const Tp::TextChannelPtr textChannel = Tp::TextChannelPtr::qObjectCast(channel);

    bool satisfied = false;
    QStringList unknownRequests;
    for (const Tp::ChannelRequestPtr &request : requestsSatisfied) {
        if (!request)
            continue;
        const QString requestPath = request->objectPath();
        RequestEntry *entry = m_requests.value(requestPath);
        // An entry whose processing failed (or is still going on) has no
        // session to give the channel to: treat its request as one we
        // never heard of.
        if (!entry || !entry->session) {
            unknownRequests << requestPath;
            continue;
        }
        satisfied = true;
        const ChatSessionPtr session = entry->session;
        if (!session->channelPath().isEmpty()) {
            // The session's channel is alive; ensureChannel found it again.
            answer(dbusContext);
        } else {
            session->setChannel(textChannel);
            enqueueChannel(new PendingChannel { channel, session, dbusContext });
        }
        delete m_requests.take(requestPath);
        m_host->requestSatisfied(requestPath, session);
    }
    if (satisfied && unknownRequests.isEmpty())
        return;

    if (const ChatSessionPtr session = m_host->findSessionByChannelPath(channel->objectPath())) {
        answer(dbusContext);
        for (const QString &requestPath : qAsConst(unknownRequests))
            m_host->requestSatisfied(requestPath, session);
        return;
    }

    QString targetId;
    uint handleType = Tp::HandleTypeNone;
    if (!channelTargetId(channel, targetId, handleType) || !account) {
        // Nothing to name the conversation by: refuse rather than leave the
        // dispatcher waiting.
        answerWithError(dbusContext, TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("Channel has no target"));
        return;
    }

    const ChatContext context(targetId, account->objectPath(), ChannelProperties::chatTypeFor(handleType), -1);
    const ChatSessionPtr session = m_host->createSession(account, context);
    session->setChannel(textChannel);
    enqueueChannel(new PendingChannel { channel, session, dbusContext });
    // The channel of a request of ours whose offer the handler has not
    // finished processing is that request's answer, not an incoming one.
    bool ours = false;
    for (const QString &requestPath : qAsConst(unknownRequests))
        ours = m_host->requestSatisfied(requestPath, session) || ours;
    if (!ours)
        m_host->incomingSession(session);
}

void ChannelHandler::enqueueChannel(PendingChannel *entry)
{
    if (m_currentReadiness) {
        m_readinessQueue.append(entry);
        return;
    }
    m_currentReadiness = entry;
    makeCurrentReady();
}

void ChannelHandler::makeCurrentReady()
{
    connect(m_currentReadiness->channel->becomeReady(channelFeatures()),
            &Tp::PendingOperation::finished, this, &ChannelHandler::channelReady);
}

void ChannelHandler::channelReady(Tp::PendingOperation *operation)
{
    PendingChannel *entry = m_currentReadiness;
    if (!entry)
        return;
    qCDebug(lcChat) << "Channel" << entry->channel->objectPath() << "ready:"
                    << (operation && !operation->isError() ? QStringLiteral("yes")
                                                            : operation ? operation->errorName() : QString());
    // The session reacts before the dispatcher is answered.
    if (entry->session)
        entry->session->channelReady(operation);
    if (!operation || operation->isError())
        answerWithError(entry->dbusContext, operation ? operation->errorName() : QString(),
                        operation ? operation->errorMessage() : QString());
    else
        answer(entry->dbusContext);
    delete entry;
    m_currentReadiness = nullptr;

    // The next channel; one without a channel cannot be made ready: answer
    // it and go on, so that it never blocks the channels behind it.
    while (!m_readinessQueue.isEmpty()) {
        m_currentReadiness = m_readinessQueue.takeFirst();
        if (m_currentReadiness->channel) {
            makeCurrentReady();
            return;
        }
        qCCritical(lcChat) << "void ChatSessionManagerPrivate::channelReady(Tp::PendingOperation*)"
                           << "We are doomed, channel is null";
        answerWithError(m_currentReadiness->dbusContext, TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("No channel"));
        delete m_currentReadiness;
        m_currentReadiness = nullptr;
    }
}

bool channelTargetId(const Tp::ChannelPtr &channel, QString &targetId, unsigned int &handleType)
{
    if (channel.isNull())
        return false;
    const QVariantMap properties = channel->immutableProperties();
    auto type = properties.constFind(ChannelProperties::TargetHandleType);
    if (type != properties.constEnd()) {
        handleType = type->toUInt();
        auto persistent = properties.constFind(ChannelProperties::PersistentId);
        if (handleType == Tp::HandleTypeNone && persistent != properties.constEnd()) {
            targetId = persistent->toString();
            return true;
        }
    } else {
        handleType = Tp::HandleTypeContact;
    }
    auto id = properties.constFind(ChannelProperties::TargetId);
    if (id == properties.constEnd())
        return false;
    targetId = id->toString();
    return true;
}
