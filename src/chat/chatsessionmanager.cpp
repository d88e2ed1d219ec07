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
#include "sessionrequest.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/ChannelClassSpec>
#include <TelepathyQt/ChannelClassSpecList>
#include <TelepathyQt/ChannelRequest>
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
      requests(this),
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

void ChatSessionManagerPrivate::announceFailure(ChatSessionError &error)
{
    Q_Q(ChatSessionManager);
    Q_EMIT q->chatSessionError(error);
}

void ChatSessionManagerPrivate::announceSession(const ChatSessionPtr &session)
{
    Q_Q(ChatSessionManager);
    Q_EMIT q->prepareChatSession(session, true);
}

void ChatSessionManagerPrivate::accountManagerReady(Tp::PendingOperation *operation)
{
    Q_Q(ChatSessionManager);
    if (!operation || operation->isError()) {
        ChatSessionError error(ChatSessionError::AccountManagerError,
                               operation ? operation->errorMessage() : QString(),
                               QString(), QString(), QString());
        error.setErrorName(operation ? operation->errorName() : QString());
        // The requests waiting for the manager end with it, each naming its
        // conversation; the error itself concerns every conversation.
        Q_EMIT initializationFailed(error);
        Q_EMIT q->chatSessionError(error);
        return;
    }
    registerClient();
    Q_EMIT q->managerReady();
}

void ChatSessionManagerPrivate::slotOnChatSessionReadyToRestore(Tp::AccountPtr account)
{
    restoreSession(qobject_cast<ChatSession *>(sender()), account);
}

void ChatSessionManagerPrivate::restoreSession(ChatSession *session, const Tp::AccountPtr &account)
{
    if (!session || account.isNull())
        return;
    // A session that still has a live channel keeps it; a request for the
    // conversation in flight already brings it back.
    requests.ensure(session->context(), nullptr);
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

void ChatSessionManagerPrivate::requestOffered(const QString &requestPath, const ChatContext &context,
                                               const ChatSessionPtr &session)
{
    Q_Q(ChatSessionManager);
    if (SessionRequest *request = requests.byRequestPath(requestPath)) {
        request->offered(session);
        return;
    }
    // Ours, answered already: its answer has been announced.
    if (requests.isOwn(requestPath))
        return;
    // Another client's request; local when this library waits for the
    // same conversation.
    Q_EMIT q->prepareChatSession(session, requests.isPending(context));
}

bool ChatSessionManagerPrivate::requestSatisfied(const QString &requestPath, const ChatSessionPtr &session)
{
    if (SessionRequest *request = requests.byRequestPath(requestPath)) {
        request->handedOver(session);
        return true;
    }
    return requests.isOwn(requestPath);
}

void ChatSessionManagerPrivate::incomingSession(const ChatSessionPtr &session)
{
    Q_Q(ChatSessionManager);
    Q_EMIT q->prepareChatSession(session, true);
}

void ChatSessionManagerPrivate::requestWithdrawn(const QString &requestPath, const ChatContext &context,
                                                 const QString &errorName, const QString &errorMessage)
{
    Q_Q(ChatSessionManager);
    // Our own requests hear of it from their channel request, which fails
    // with the same error: one answer each.
    if (requests.isOwn(requestPath))
        return;
    ChatSessionError error(errorName, errorMessage, requestPath, context.accountPath(), context.remoteUid());
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

// Requests are filed under the full path, so a short one would otherwise
// never be recognised as a repeat.
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
    qRegisterMetaType<ChatSessionError>();
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
    d->requests.ensure(withFullAccountPath(context), nullptr);
}

PendingChatSession *ChatSessionManager::ensureChatSession(const ChatContext &context)
{
    Q_D(ChatSessionManager);
    const ChatContext full = withFullAccountPath(context);
    PendingChatSession *request = new PendingChatSession(full, this);
    d->requests.ensure(full, request);
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

