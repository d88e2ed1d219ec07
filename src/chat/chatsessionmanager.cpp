// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "chatsessionmanager.h"
#include "chatsessionmanager_p.h"

#include "accountpaths.h"
#include "accountutils.h"
#include "messaginglogging.h"
#include "mucchatsession.h"
#include "pendingchatsession.h"
#include "processwide.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/ChannelClassSpec>
#include <TelepathyQt/ChannelClassSpecList>
#include <TelepathyQt/ChannelRequest>
#include <TelepathyQt/PendingChannelRequest>
#include <TelepathyQt/PendingReady>
#include <TelepathyQt/Types>

#include <QUuid>

namespace {
const QString HandlerName = QStringLiteral("Messaging");
} // namespace

ChatSessionManagerPrivate::ChatSessionManagerPrivate(const Tp::ChannelClassSpecList &filter,
                                                     ChatSessionManager *q)
    : QObject(q),
      accountManager(AccountUtils::instance()->accountManager()),
      handler(new ChannelHandler(filter, this)),
      q_ptr(q)
{
}

ChatSessionManagerPrivate::~ChatSessionManagerPrivate()
{
    if (registrar)
        registrar->unregisterClients();
    // The registrar may outlive us by its own references: the handler then
    // answers without us.
    handler->detach();
}

void ChatSessionManagerPrivate::registerClient()
{
    qCDebug(lcChat) << "Registering the handler" << HandlerName;
    Tp::ClientRegistrarPtr candidate = Tp::ClientRegistrar::create(accountManager);
    if (!candidate->registerClient(Tp::AbstractClientPtr(handler), HandlerName, false)) {
        qCCritical(lcChat) << "void ChatSessionManagerPrivate::registerClient()"
                           << "registerClient failed";
        return;
    }
    registrar = candidate;
}

void ChatSessionManagerPrivate::requestChannel(const Tp::AccountPtr &account, const ChatContext &context)
{
    Tp::PendingOperation *operation = requester.ensureChannel(account, context);
    connect(operation, &Tp::PendingOperation::finished,
            this, &ChatSessionManagerPrivate::pendingChannelReady);
}

void ChatSessionManagerPrivate::failRequest(const ChatContext &context, ChatSessionError &error)
{
    Q_Q(ChatSessionManager);
    requester.finish(context, error);
    Q_EMIT q->chatSessionError(error);
}

void ChatSessionManagerPrivate::accountManagerReady(Tp::PendingOperation *operation)
{
    Q_Q(ChatSessionManager);
    if (!operation || operation->isError()) {
        ChatSessionError error(ChatSessionError::AccountManagerError,
                               operation ? operation->errorMessage() : QString(),
                               QString(), QString(), QString());
        Q_EMIT q->chatSessionError(error);
        return;
    }
    registerClient();
    Q_EMIT q->managerReady();
}

void ChatSessionManagerPrivate::accountForChannelReady(Tp::PendingOperation *operation)
{
    auto *ready = qobject_cast<Tp::PendingReady *>(operation);
    const Tp::AccountPtr account = ready && !operation->isError()
        ? Tp::AccountPtr::qObjectCast(ready->proxy()) : Tp::AccountPtr();
    // Every conversation that waited for this account goes on, or fails
    // with an error that names it.
    const QList<ChatContext> waiting = requester.waitingFor(operation);
    for (const ChatContext &context : waiting) {
        if (account && account->isReady()) {
            requestChannel(account, context);
            continue;
        }
        ChatSessionError error(ChatSessionError::InvalidAccountError,
                               operation ? operation->errorMessage() : QString(),
                               QString(), context.accountPath(), context.remoteUid());
        error.setErrorName(operation ? operation->errorName() : QString());
        failRequest(context, error);
    }
}

void ChatSessionManagerPrivate::pendingChannelReady(Tp::PendingOperation *operation)
{
    // Empty when a newer request for the conversation has replaced this one.
    const QList<ChatContext> contexts = requester.waitingFor(operation);
    if (contexts.isEmpty())
        return;
    const ChatContext context = contexts.first();
    if (operation && !operation->isError()) {
        // The handler has had the channel by now, unless the dispatcher gave
        // it to another client.
        if (!requester.hasSession(context)) {
            if (const ChatSessionPtr session = registry.find(context)) {
                requester.answer(context, session);
            } else {
                ChatSessionError error(ChatSessionError::ChannelRequestError,
                                       QStringLiteral("The channel went to another handler"),
                                       QString(), context.accountPath(), context.remoteUid());
                requester.finish(context, error);
                return;
            }
        }
        qCDebug(lcChat) << "Channel request for" << context.remoteUid() << "succeeded";
        requester.finish(context);
        return;
    }

    const QString errorName = operation ? operation->errorName() : QString();
    const QString errorMessage = operation ? operation->errorMessage() : QString();
    auto *pending = qobject_cast<Tp::PendingChannelRequest *>(operation);
    const QString requestPath = pending && pending->channelRequest()
        ? pending->channelRequest()->objectPath() : QString();
    qCDebug(lcChat) << "Channel request for" << context.remoteUid() << "failed:" << errorName
                    << errorMessage;
    if (ChannelRequester::isHandlerRace(errorName, errorMessage)
        && retryAfterHandlerRace(context, requestPath))
        return;

    ChatSessionError error(ChatSessionError::ChannelRequestError, errorMessage, requestPath,
                           context.accountPath(), context.remoteUid());
    error.setErrorName(errorName);
    failRequest(context, error);
}

bool ChatSessionManagerPrivate::retryAfterHandlerRace(const ChatContext &context,
                                                      const QString &requestPath)
{
    // One retry per request: a second failure is reported as any other.
    if (requester.isRetrying(context))
        return false;
    const Tp::AccountPtr account =
        accountManager ? accountManager->accountForObjectPath(context.accountPath()) : Tp::AccountPtr();
    if (!account || !account->isValid() || !account->isReady())
        return false;
    qCDebug(lcChat) << "The dispatcher did not know the handler yet; asking again for"
                    << context.remoteUid();
    requester.retrying(context, requestPath);
    requestChannel(account, context);
    return true;
}

void ChatSessionManagerPrivate::slotOnChatSessionReadyToRestore(Tp::AccountPtr account)
{
    restoreSession(qobject_cast<ChatSession *>(sender()), account);
}

void ChatSessionManagerPrivate::restoreSession(ChatSession *session, const Tp::AccountPtr &account)
{
    if (!session || account.isNull())
        return;
    // No duplicate check: a session that still has a live channel keeps it.
    requestChannel(account, session->context());
}

ChatSessionPtr ChatSessionManagerPrivate::createSession(const Tp::AccountPtr &account,
                                                        const ChatContext &context)
{
    // Deleted from the event loop: the last holder may let go from inside
    // one of the session's own signals. The registry hears of it at once.
    const QPointer<SessionRegistry> sessions(&registry);
    ChatSessionPtr session(new MucChatSession(account, context), [sessions](ChatSession *letGo) {
        if (sessions)
            sessions->letGo(letGo);
        letGo->deleteLater();
    });
    ChatSession *raw = session.data();
    connect(raw, &ChatSession::chatSessionReadyToRestore, this,
            [this, raw](Tp::AccountPtr account) { restoreSession(raw, account); });
    registry.add(session);
    return session;
}

ChatSessionPtr ChatSessionManagerPrivate::findSession(const ChatContext &context) const
{
    return registry.find(context);
}

ChatSessionPtr ChatSessionManagerPrivate::findSessionByChannelPath(const QString &channelPath) const
{
    return registry.findByChannelPath(channelPath);
}

Tp::AccountPtr ChatSessionManagerPrivate::account(const QString &accountPath) const
{
    const Tp::AccountPtr found =
        accountManager ? accountManager->accountForObjectPath(accountPath) : Tp::AccountPtr();
    return found && found->isValid() ? found : Tp::AccountPtr();
}

bool ChatSessionManagerPrivate::isRequested(const ChatContext &context) const
{
    return requester.isPending(context);
}

void ChatSessionManagerPrivate::sessionPrepared(const ChatSessionPtr &session, bool local)
{
    Q_Q(ChatSessionManager);
    requester.answer(session->context(), session);
    Q_EMIT q->prepareChatSession(session, local);
}

void ChatSessionManagerPrivate::ensure(const ChatContext &context, PendingChatSession *waiter)
{
    // A repeat joins the request in flight for the conversation, also one
    // another client made and the handler was offered.
    if (requester.join(context, waiter))
        return;
    const ChatSessionPtr live = registry.find(context);
    if (handler->isOffered(context)) {
        requester.start(context, waiter, live);
        if (live)
            requester.answer(context, live);
        return;
    }

    ChatSessionError error(ChatSessionError::UnknownError, QString(), QString(),
                           context.accountPath(), context.remoteUid());
    if (!accountManager || !accountManager->isReady()) {
        error.setType(ChatSessionError::AccountManagerError);
        reportImmediateError(error, waiter);
        return;
    }
    const Tp::AccountPtr account = accountManager->accountForObjectPath(context.accountPath());
    if (!account || !account->isValid()) {
        error.setType(ChatSessionError::InvalidAccountError);
        reportImmediateError(error, waiter);
        return;
    }

    registry.closeLetGo(context);
    requester.start(context, waiter, live);
    if (account->isReady()) {
        requestChannel(account, context);
        return;
    }
    Tp::PendingOperation *operation = account->becomeReady();
    connect(operation, &Tp::PendingOperation::finished,
            this, &ChatSessionManagerPrivate::accountForChannelReady);
    requester.wait(context, operation);
}

void ChatSessionManagerPrivate::reportImmediateError(ChatSessionError &error, PendingChatSession *waiter)
{
    Q_Q(ChatSessionManager);
    // The request object answers from the event loop; the signal comes at
    // once, as it always has.
    if (waiter)
        waiter->setError(error);
    Q_EMIT q->chatSessionError(error);
}

void ChatSessionManagerPrivate::requestWithdrawn(const QString &requestPath, const ChatContext &context,
                                                 const QString &errorName, const QString &errorMessage)
{
    Q_Q(ChatSessionManager);
    if (requester.isSwallowedHandlerRace(requestPath, context, errorName, errorMessage))
        return;
    ChatSessionError error(errorName, errorMessage, requestPath, context.accountPath(), context.remoteUid());
    // Our own requests hear of it from their channel request; the ones that
    // joined another client's request only here.
    requester.abandon(context, error);
    Q_EMIT q->chatSessionError(error);
}

// The handler's operations as slots, for callers of the meta-object; the
// dispatcher calls the handler itself.

void ChatSessionManagerPrivate::handleChannels(
    const Tp::MethodInvocationContextPtr<> &dbusContext, const Tp::AccountPtr &account,
    const Tp::ConnectionPtr &connection, const QList<Tp::ChannelPtr> &channels,
    const QList<Tp::ChannelRequestPtr> &requestsSatisfied, const QDateTime &userActionTime,
    const Tp::AbstractClientHandler::HandlerInfo &handlerInfo)
{
    handler->handleChannels(dbusContext, account, connection, channels, requestsSatisfied,
                            userActionTime, handlerInfo);
}

bool ChatSessionManagerPrivate::bypassApproval() const
{
    return handler->bypassApproval();
}

void ChatSessionManagerPrivate::addRequest(const Tp::ChannelRequestPtr &request)
{
    handler->addRequest(request);
}

void ChatSessionManagerPrivate::removeRequest(const Tp::ChannelRequestPtr &request,
                                              const QString &errorName, const QString &errorMessage)
{
    handler->removeRequest(request, errorName, errorMessage);
}

void ChatSessionManagerPrivate::channelReady(Tp::PendingOperation *operation)
{
    handler->channelReady(operation);
}

void ChatSessionManagerPrivate::requestReady(Tp::PendingOperation *operation)
{
    handler->requestReady(operation);
}

void ChatSessionManagerPrivate::requestSucceeded()
{
    if (auto *request = qobject_cast<Tp::ChannelRequest *>(sender()))
        handler->requestSucceeded(request->objectPath());
}

// --- ChatSessionManager -------------------------------------------------------

// Owned by the first caller's parent (none when that was the message sender).
ChatSessionManager *ChatSessionManager::instance(QObject *parent)
{
    return ProcessWide<ChatSessionManager>::instance([parent] { return new ChatSessionManager(parent); });
}

// Pending keys carry the full path, so a short one would otherwise never be
// recognised as a repeat.
static ChatContext withFullAccountPath(const ChatContext &context)
{
    ChatContext full = context;
    full.setAccountPath(AccountPaths::withPrefix(context.accountPath()));
    return full;
}

// Text channels with a contact, a room or no target.
static Tp::ChannelClassSpecList handlerFilter()
{
    Tp::registerTypes();
    qRegisterMetaType<ChatSessionPtr>();
    qRegisterMetaType<IncomingMessage>();
    return Tp::ChannelClassSpecList() << Tp::ChannelClassSpec::textChat()
                                      << Tp::ChannelClassSpec::textChatroom()
                                      << Tp::ChannelClassSpec::unnamedTextChat();
}

ChatSessionManager::ChatSessionManager(QObject *parent)
    : QObject(parent), d_ptr(new ChatSessionManagerPrivate(handlerFilter(), this))
{
}

// Sessions belong to their ChatSessionPtr holders and the handler to its
// references; the private object goes with its QObject parent.
ChatSessionManager::~ChatSessionManager() = default;

void ChatSessionManager::initialize()
{
    Q_D(ChatSessionManager);
    if (isReady()) {
        Q_EMIT managerReady();
        return;
    }
    if (d->accountManager && d->accountManager->isReady()) {
        d->registerClient();
        Q_EMIT managerReady();
        return;
    }
    connect(AccountUtils::instance(), &AccountUtils::accountManagerReady,
            d, &ChatSessionManagerPrivate::accountManagerReady, Qt::UniqueConnection);
}

bool ChatSessionManager::isReady() const
{
    Q_D(const ChatSessionManager);
    return d->accountManager && d->accountManager->isReady() && d->registrar;
}

void ChatSessionManager::requestChatSession(const ChatContext &context)
{
    Q_D(ChatSessionManager);
    d->ensure(withFullAccountPath(context), nullptr);
}

PendingChatSession *ChatSessionManager::ensureChatSession(const ChatContext &context)
{
    Q_D(ChatSessionManager);
    const ChatContext full = withFullAccountPath(context);
    PendingChatSession *request = new PendingChatSession(full, this);
    d->ensure(full, request);
    request->creatingCallReturned();
    return request;
}

void ChatSessionManager::requestChatSession(const QString &remoteUid, const QString &accountPath)
{
    if (remoteUid.isEmpty() || accountPath.isEmpty()) {
        ChatSessionError error(ChatSessionError::UnknownError, QString(), QString(),
                               accountPath, remoteUid);
        Q_EMIT chatSessionError(error);
        return;
    }
    requestChatSession(ChatContext(remoteUid, accountPath, OneToOneChat, -1));
}

ChatSessionPtr ChatSessionManager::getReadyChatSession(const ChatContext &context)
{
    Q_D(ChatSessionManager);
    return d->registry.find(context);
}

QString ChatSessionManager::generateMessageId()
{
    return QUuid::createUuid().toString();
}

