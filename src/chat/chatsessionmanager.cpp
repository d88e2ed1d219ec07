#include "chatsessionmanager.h"
#include "chatsessionmanager_p.h"

#include "accountpaths.h"
#include "accountutils.h"
#include "chatsession_p.h"
#include "mucchatsession.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/ChannelClassSpec>
#include <TelepathyQt/ChannelClassSpecList>
#include <TelepathyQt/ChannelRequest>
#include <TelepathyQt/PendingChannelRequest>
#include <TelepathyQt/PendingReady>
#include <TelepathyQt/Types>

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcManager, "messaging.chat.manager", QtWarningMsg)

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
    qCDebug(lcManager) << "Registering the handler" << HandlerName;
    Tp::ClientRegistrarPtr candidate = Tp::ClientRegistrar::create(accountManager);
    if (!candidate->registerClient(Tp::AbstractClientPtr(handler), HandlerName, false)) {
        qCCritical(lcManager) << "void ChatSessionManagerPrivate::registerClient()"
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
    requester.wait(context, operation);
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
    Q_Q(ChatSessionManager);
    // Each error names the conversation that waited, so that only its
    // senders take it as theirs.
    auto emitFor = [q, operation](const ChatContext &context) {
        ChatSessionError error(ChatSessionError::InvalidAccountError,
                               operation ? ChannelRequester::describeError(operation->errorName(),
                                                                           operation->errorMessage())
                                         : QString(),
                               QString(), context.accountPath(), context.remoteUid());
        Q_EMIT q->chatSessionError(error);
    };
    const QList<ChatContext> waiting = requester.waitingFor(operation);
    // Nothing more is requested for the contexts that waited on it, but one.
    requester.forget(operation);
    if (!operation || operation->isError()) {
        for (const ChatContext &context : waiting)
            emitFor(context);
        return;
    }

    auto *ready = qobject_cast<Tp::PendingReady *>(operation);
    const Tp::AccountPtr account =
        ready ? Tp::AccountPtr::qObjectCast(ready->proxy()) : Tp::AccountPtr();
    for (const ChatContext &context : waiting) {
        if (account && account->isReady()) {
            requestChannel(account, context);
            return;
        }
        emitFor(context);
    }
}

void ChatSessionManagerPrivate::pendingChannelReady(Tp::PendingOperation *operation)
{
    Q_Q(ChatSessionManager);
    const ChatContext context = requester.takeRequestedContext(operation);
    requester.forget(operation);
    const QString retriedPath = requester.takeRetry(context);
    if (operation && !operation->isError()) {
        qCDebug(lcManager) << "Channel request for" << context.remoteUid() << "succeeded";
        return;
    }

    const QString errorName = operation ? operation->errorName() : QString();
    const QString errorMessage = operation ? operation->errorMessage() : QString();
    auto *pending = qobject_cast<Tp::PendingChannelRequest *>(operation);
    const QString requestPath = pending && pending->channelRequest()
        ? pending->channelRequest()->objectPath() : QString();
    qCDebug(lcManager) << "Channel request for" << context.remoteUid() << "failed:" << errorName
                       << errorMessage;
    if (retriedPath.isNull() && ChannelRequester::isHandlerRace(errorName, errorMessage)
        && retryAfterHandlerRace(context, requestPath))
        return;

    ChatSessionError error(ChatSessionError::ChannelRequestError,
                           ChannelRequester::describeError(errorName, errorMessage),
                           requestPath, context.accountPath(), context.remoteUid());
    Q_EMIT q->chatSessionError(error);
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
    qCDebug(lcManager) << "The dispatcher did not know the handler yet; asking again for"
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
    // one of the session's own signals.
    ChatSessionPtr session(new MucChatSession(account, context), &QObject::deleteLater);
    ChatSession *raw = session.data();
    connect(raw, &ChatSession::chatSessionReadyToRestore, this,
            [this, raw](Tp::AccountPtr account) { restoreSession(raw, account); });
    registry.add(session);
    return session;
}

void ChatSessionManagerPrivate::announceSession(const ChatSessionPtr &session, bool local)
{
    Q_Q(ChatSessionManager);
    Q_EMIT q->prepareChatSession(session, local);
}

void ChatSessionManagerPrivate::reportError(ChatSessionError &error)
{
    Q_Q(ChatSessionManager);
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

ChatSessionManager *ChatSessionManager::instance(QObject *parent)
{
    static ChatSessionManager *manager = nullptr;
    if (!manager)
        manager = new ChatSessionManager(parent);
    return manager;
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
    ChatContext prefixed = context;
    prefixed.setAccountPath(AccountPaths::withPrefix(context.accountPath()));

    // A repeat waits for the session the request in flight brings, or has
    // brought and is still alive with its channel. A session made and let
    // go already (its sender was done before the dispatcher confirmed the
    // request), or one whose channel has died since (the connection went
    // while Telepathy-Qt was still finishing the request, which it then
    // does late or never), brings nothing more: then this is a request of
    // its own.
    // Compared with the full path: pending keys carry it, so a short path
    // would otherwise never be recognised as a repeat.
    if (d->handler->isOffered(prefixed)) {
        qCDebug(lcManager) << "A request for" << prefixed.remoteUid() << "is being handled already";
        return;
    }
    const ChatSessionPtr brought = d->registry.find(prefixed);
    if (d->requester.isPending(prefixed)
        && (d->requester.awaitsSession(prefixed) || (brought && !brought->channelPath().isEmpty()))) {
        qCDebug(lcManager) << "A request for" << prefixed.remoteUid() << "is in flight already";
        return;
    }

    ChatSessionError error(ChatSessionError::UnknownError, QString(), QString(),
                           prefixed.accountPath(), prefixed.remoteUid());
    if (!d->accountManager || !d->accountManager->isReady()) {
        error.setType(ChatSessionError::AccountManagerError);
        Q_EMIT chatSessionError(error);
        return;
    }
    const Tp::AccountPtr account = d->accountManager->accountForObjectPath(prefixed.accountPath());
    if (!account || !account->isValid()) {
        error.setType(ChatSessionError::InvalidAccountError);
        Q_EMIT chatSessionError(error);
        return;
    }

    if (account->isReady()) {
        d->requestChannel(account, prefixed);
        return;
    }
    Tp::PendingOperation *operation = account->becomeReady();
    connect(operation, &Tp::PendingOperation::finished,
            d, &ChatSessionManagerPrivate::accountForChannelReady);
    d->requester.wait(prefixed, operation);
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
    return newMessageId();
}

