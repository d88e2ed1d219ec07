#include "chatsessionmanager.h"
#include "chatsessionmanager_p.h"

#include "accountutils.h"
#include "chatsession_p.h"
#include "mucchatsession.h"
#include "phonenumberutils.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/ChannelClassSpec>
#include <TelepathyQt/ChannelClassSpecList>
#include <TelepathyQt/Constants>
#include <TelepathyQt/PendingChannelRequest>
#include <TelepathyQt/PendingReady>
#include <TelepathyQt/TextChannel>
#include <TelepathyQt/Types>

#include <QDateTime>
#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcManager, "messaging.chat.manager", QtWarningMsg)

namespace {
const QString HandlerName = QStringLiteral("Messaging");
const QString TargetHandleTypeKey = TP_QT_IFACE_CHANNEL + QLatin1String(".TargetHandleType");
const QString TargetIdKey = TP_QT_IFACE_CHANNEL + QLatin1String(".TargetID");
const QString ChannelTypeKey = TP_QT_IFACE_CHANNEL + QLatin1String(".ChannelType");
const QString PersistentIdKey =
    QStringLiteral("com.tavik.Telepathy.Channel.Interface.Persistent.PersistentID");

Tp::Features channelFeatures()
{
    return Tp::Features() << Tp::TextChannel::FeatureMessageQueue
                          << Tp::TextChannel::FeatureMessageSentSignal;
}

ChatType chatTypeForHandleType(uint handleType)
{
    switch (handleType) {
    case Tp::HandleTypeNone:
        return AdHocGroupChat;
    case Tp::HandleTypeRoom:
        return RoomChat;
    default:
        return OneToOneChat;
    }
}

} // namespace

// --- SessionIndex -----------------------------------------------------------

void SessionIndex::insertSlot(const QString &key, const Slot &slot)
{
    // Keep creation order.
    QList<Slot> &bucket = m_buckets[key];
    int i = bucket.size();
    while (i > 0 && bucket.at(i - 1).sequence > slot.sequence)
        --i;
    bucket.insert(i, slot);
}

QWeakPointer<ChatSession> SessionIndex::takeSlot(const Entry &entry)
{
    auto bucket = m_buckets.find(entry.key);
    if (bucket == m_buckets.end())
        return QWeakPointer<ChatSession>();
    QWeakPointer<ChatSession> taken;
    for (int i = 0; i < bucket->size(); ++i) {
        if (bucket->at(i).sequence == entry.sequence) {
            taken = bucket->takeAt(i).session;
            break;
        }
    }
    if (bucket->isEmpty())
        m_buckets.erase(bucket);
    return taken;
}

void SessionIndex::insert(const ChatSessionPtr &session)
{
    const Entry entry { m_nextSequence++, PhoneNumberUtils::matchKey(session->remoteUid()) };
    m_entries.insert(session.data(), entry);
    insertSlot(entry.key, Slot { entry.sequence, session.toWeakRef() });
}

void SessionIndex::rekey(ChatSession *session)
{
    auto entry = m_entries.find(session);
    if (entry == m_entries.end())
        return;
    const QWeakPointer<ChatSession> weak = takeSlot(*entry);
    entry->key = PhoneNumberUtils::matchKey(session->remoteUid());
    if (!weak.isNull())
        insertSlot(entry->key, Slot { entry->sequence, weak });
}

void SessionIndex::remove(const QObject *session)
{
    auto entry = m_entries.find(session);
    if (entry == m_entries.end())
        return;
    takeSlot(*entry);
    m_entries.erase(entry);
}

template<typename Predicate>
ChatSessionPtr SessionIndex::find(const QString &remoteUid, Predicate accept) const
{
    auto it = m_buckets.constFind(PhoneNumberUtils::matchKey(remoteUid));
    if (it == m_buckets.constEnd())
        return ChatSessionPtr();
    for (const Slot &slot : qAsConst(*it)) {
        const ChatSessionPtr session = slot.session.toStrongRef();
        if (session && accept(session))
            return session;
    }
    return ChatSessionPtr();
}

// --- ChatSessionManagerPrivate ----------------------------------------------

ChatSessionManagerPrivate::ChatSessionManagerPrivate(const Tp::ChannelClassSpecList &filter,
                                                     ChatSessionManager *q)
    : QObject(q),
      Tp::AbstractClientHandler(filter, Tp::AbstractClientHandler::Capabilities(), true),
      accountManager(AccountUtils::instance()->accountManager()),
      q_ptr(q)
{
}

ChatSessionManagerPrivate::~ChatSessionManagerPrivate()
{
    qDeleteAll(requests);
    qDeleteAll(readinessQueue);
    delete currentReadiness;
}

bool ChatSessionManagerPrivate::contextsMatch(const ChatContext &a, const ChatContext &b)
{
    return a.accountPath() == b.accountPath() && a.chatType() == b.chatType()
           && PhoneNumberUtils::remoteAddressMatch(a.remoteUid(), b.remoteUid(),
                                                   PhoneNumberUtils::NormalizeFlagDefault);
}

bool ChatSessionManagerPrivate::isPending(const ChatContext &context) const
{
    for (auto it = pendingOperations.cbegin(); it != pendingOperations.cend(); ++it) {
        if (contextsMatch(it.key(), context))
            return true;
    }
    return false;
}

bool ChatSessionManagerPrivate::isOffered(const ChatContext &context) const
{
    for (const RequestEntry *entry : requests) {
        if (contextsMatch(entry->context, context))
            return true;
    }
    return false;
}

ChatSessionPtr ChatSessionManagerPrivate::findSession(const ChatContext &context)
{
    return sessionIndex.find(context.remoteUid(), [&context](const ChatSessionPtr &session) {
        const ChatContext c = session->context();
        return c.accountPath() == context.accountPath() && c.chatType() == context.chatType()
               && PhoneNumberUtils::remoteAddressMatch(c.remoteUid(), context.remoteUid(),
                                                       PhoneNumberUtils::NormalizeFlagDefault);
    });
}

void ChatSessionManagerPrivate::registerClient()
{
    Q_Q(ChatSessionManager);
    qCDebug(lcManager) << "Registering the handler" << HandlerName;
    Tp::ClientRegistrarPtr candidate = Tp::ClientRegistrar::create(accountManager);
    if (!candidate->registerClient(selfReference, HandlerName, false)) {
        qCritical() << "void ChatSessionManagerPrivate::registerClient()"
                    << "registerClient failed";
        return;
    }
    registrar = candidate;
    registrar->setParent(q);
    setParent(nullptr);
}

Tp::PendingOperation *ChatSessionManagerPrivate::requestChannel(const Tp::AccountPtr &account,
                                                               const ChatContext &context)
{
    QVariantMap request;
    request.insert(ChannelTypeKey, TP_QT_IFACE_CHANNEL_TYPE_TEXT);
    switch (context.chatType()) {
    case AdHocGroupChat:
        request.insert(TargetHandleTypeKey, uint(Tp::HandleTypeNone));
        request.insert(PersistentIdKey, context.remoteUid());
        break;
    case RoomChat:
        request.insert(TargetHandleTypeKey, uint(Tp::HandleTypeRoom));
        request.insert(TargetIdKey, context.remoteUid());
        break;
    case OneToOneChat:
        request.insert(TargetHandleTypeKey, uint(Tp::HandleTypeContact));
        request.insert(TargetIdKey, context.remoteUid());
        break;
    default:
        request.insert(TargetHandleTypeKey, uint(Tp::HandleTypeContact));
        break;
    }
    qCDebug(lcManager) << "Requesting a channel for" << context.remoteUid() << "on" << account->objectPath();
    Tp::PendingOperation *operation =
        account->ensureChannel(request, QDateTime::currentDateTime(), QString());
    requestedContexts.insert(operation, context);
    connect(operation, &Tp::PendingOperation::finished,
            this, &ChatSessionManagerPrivate::pendingChannelReady);
    return operation;
}

QList<ChatContext> ChatSessionManagerPrivate::contextsWaitingFor(Tp::PendingOperation *operation) const
{
    QList<ChatContext> contexts;
    for (auto it = pendingOperations.cbegin(); it != pendingOperations.cend(); ++it) {
        if (it.value() == operation)
            contexts.append(it.key());
    }
    return contexts;
}

bool ChatSessionManagerPrivate::isHandlerRace(const QString &errorName, const QString &errorMessage)
{
    // Mission Control learns of a new handler from the bus name appearing
    // and then reads the handler's properties; a request it dispatches in
    // between finds no handler and fails with exactly this. Matched by the
    // message too: NotAvailable alone also means, for example, a disabled
    // account, which no retry mends.
    return errorName == TP_QT_ERROR_NOT_AVAILABLE
        && errorMessage == QLatin1String("Handler no longer available");
}

QString ChatSessionManagerPrivate::describeError(const QString &errorName, const QString &errorMessage)
{
    if (errorName.isEmpty())
        return errorMessage;
    if (errorMessage.isEmpty())
        return errorName;
    return errorName + QLatin1String(": ") + errorMessage;
}

bool ChatSessionManagerPrivate::retryAfterHandlerRace(const ChatContext &context,
                                                      const QString &requestPath)
{
    // One retry per request: a second failure is reported as any other.
    if (handlerRaceRetries.contains(context))
        return false;
    const Tp::AccountPtr account =
        accountManager ? accountManager->accountForObjectPath(context.accountPath()) : Tp::AccountPtr();
    if (!account || !account->isValid() || !account->isReady())
        return false;
    qCDebug(lcManager) << "The dispatcher did not know the handler yet; asking again for"
                       << context.remoteUid();
    handlerRaceRetries.insert(context, requestPath);
    pendingOperations.insert(context, requestChannel(account, context));
    return true;
}

bool ChatSessionManagerPrivate::isSwallowedHandlerRace(const QString &requestPath,
                                                       const ChatContext &context,
                                                       const QString &errorName,
                                                       const QString &errorMessage)
{
    if (!isHandlerRace(errorName, errorMessage))
        return false;
    // Already retried, or about to be: the retry reports the outcome.
    for (auto it = handlerRaceRetries.cbegin(); it != handlerRaceRetries.cend(); ++it) {
        if (it.value() == requestPath)
            return true;
    }
    return isPending(context) && !handlerRaceRetries.contains(context);
}

void ChatSessionManagerPrivate::removePendingOperation(Tp::PendingOperation *operation)
{
    for (auto it = pendingOperations.begin(); it != pendingOperations.end();) {
        if (it.value() == operation)
            it = pendingOperations.erase(it);
        else
            ++it;
    }
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
                               operation ? describeError(operation->errorName(), operation->errorMessage())
                                         : QString(),
                               QString(), context.accountPath(), context.remoteUid());
        Q_EMIT q->chatSessionError(error);
    };
    if (!operation || operation->isError()) {
        const QList<ChatContext> waiting = contextsWaitingFor(operation);
        // Nothing will be requested for the contexts that waited on it.
        removePendingOperation(operation);
        for (const ChatContext &context : waiting)
            emitFor(context);
        return;
    }

    auto *ready = qobject_cast<Tp::PendingReady *>(operation);
    const Tp::AccountPtr account =
        ready ? Tp::AccountPtr::qObjectCast(ready->proxy()) : Tp::AccountPtr();

    ChatContext found;
    bool haveContext = false;
    for (auto it = pendingOperations.cbegin(); it != pendingOperations.cend(); ++it) {
        if (it.value() != operation)
            continue;
        if (account && account->isReady()) {
            found = it.key();
            haveContext = true;
            break;
        }
        emitFor(it.key());
    }
    removePendingOperation(operation);
    if (haveContext)
        pendingOperations.insert(found, requestChannel(account, found));
}

void ChatSessionManagerPrivate::pendingChannelReady(Tp::PendingOperation *operation)
{
    Q_Q(ChatSessionManager);
    const ChatContext context = requestedContexts.take(operation);
    removePendingOperation(operation);
    const QString retriedPath = handlerRaceRetries.take(context);
    if (operation && !operation->isError())
        return;

    const QString errorName = operation ? operation->errorName() : QString();
    const QString errorMessage = operation ? operation->errorMessage() : QString();
    auto *pending = qobject_cast<Tp::PendingChannelRequest *>(operation);
    const QString requestPath = pending && pending->channelRequest()
        ? pending->channelRequest()->objectPath() : QString();
    qCDebug(lcManager) << "Channel request for" << context.remoteUid() << "failed:" << errorName
                       << errorMessage;
    if (retriedPath.isNull() && isHandlerRace(errorName, errorMessage)
        && retryAfterHandlerRace(context, requestPath))
        return;

    ChatSessionError error(ChatSessionError::ChannelRequestError, describeError(errorName, errorMessage),
                           requestPath, context.accountPath(), context.remoteUid());
    Q_EMIT q->chatSessionError(error);
}

void ChatSessionManagerPrivate::slotOnChatSessionReadyToRestore(Tp::AccountPtr account)
{
    auto *session = qobject_cast<ChatSession *>(sender());
    if (!session || account.isNull())
        return;
    const ChatContext context = session->context();
    pendingOperations.insert(context, requestChannel(account, context));
}

ChatSessionPtr ChatSessionManagerPrivate::createSession(const Tp::AccountPtr &account,
                                                        const ChatContext &context)
{
    Q_Q(ChatSessionManager);
    // Deleted from the event loop: the last holder may let go from inside
    // one of the session's own signals.
    ChatSessionPtr session(new MucChatSession(account, context, q), &QObject::deleteLater);
    connect(session.data(), &ChatSession::chatSessionReadyToRestore,
            this, &ChatSessionManagerPrivate::slotOnChatSessionReadyToRestore);
    session->d_func()->remoteUidChanged = [this](ChatSession *s) { sessionIndex.rekey(s); };
    connect(session.data(), &QObject::destroyed, this,
            [this](QObject *gone) { sessionIndex.remove(gone); });
    sessions.erase(std::remove_if(sessions.begin(), sessions.end(),
                                  [](const QWeakPointer<ChatSession> &s) { return s.isNull(); }),
                   sessions.end());
    sessions.append(session.toWeakRef());
    sessionIndex.insert(session);
    return session;
}

// --- Handler side -------------------------------------------------------------

bool ChatSessionManagerPrivate::bypassApproval() const
{
    return true;
}

void ChatSessionManagerPrivate::addRequest(const Tp::ChannelRequestPtr &request)
{
    if (request.isNull() || requests.contains(request->objectPath()))
        return;
    auto *entry = new RequestEntry;
    entry->request = request;
    requests.insert(request->objectPath(), entry);

    if (!request->requests().isEmpty() && request->account()) {
        processRequest(request);
    } else {
        connect(request->becomeReady(), &Tp::PendingOperation::finished,
                this, &ChatSessionManagerPrivate::requestReady);
    }
}

void ChatSessionManagerPrivate::requestReady(Tp::PendingOperation *operation)
{
    auto *ready = qobject_cast<Tp::PendingReady *>(operation);
    if (!ready) {
        qCritical() << "void ChatSessionManagerPrivate::requestReady(Tp::PendingOperation*)"
                    << "Pending ready operation is null";
        return;
    }
    const Tp::ChannelRequestPtr request = Tp::ChannelRequestPtr::qObjectCast(ready->proxy());
    if (!request) {
        qCritical() << "void ChatSessionManagerPrivate::requestReady(Tp::PendingOperation*)"
                    << "Cannot get d-bus proxy for pending operation";
        return;
    }
    processRequest(request);
}

void ChatSessionManagerPrivate::processRequest(const Tp::ChannelRequestPtr &request)
{
    Q_Q(ChatSessionManager);
    const char *where = "void ChatSessionManagerPrivate::processRequest(const Tp::ChannelRequestPtr&)";
    connect(request.data(), &Tp::ChannelRequest::succeeded,
            this, &ChatSessionManagerPrivate::requestSucceeded, Qt::UniqueConnection);

    RequestEntry *entry = requests.value(request->objectPath());
    if (!entry) {
        qCritical() << where << "Ready request " << request->objectPath() << "without addRequest";
        return;
    }

    // A request whose readiness failed may lack its properties or account.
    const Tp::QualifiedPropertyValueMapList maps = request->requests();
    const Tp::AccountPtr requestAccount = request->account();
    if (maps.isEmpty() || !requestAccount) {
        qCritical() << where << "Failed create session for request " << request->objectPath();
        return;
    }

    const ChatContext context = contextOfRequest(request);

    ChatSessionPtr session = findSession(context);
    if (!session) {
        const Tp::AccountPtr account = accountManager
            ? accountManager->accountForObjectPath(context.accountPath())
            : Tp::AccountPtr();
        if (account && account->isValid())
            session = createSession(account, context);
        else
            qCritical() << where << "Invalid account " << context.accountPath();
    }
    if (!session) {
        qCritical() << where << "Failed create session for request " << request->objectPath();
        return;
    }

    qCDebug(lcManager) << "Request" << request->objectPath() << "is for" << context.remoteUid();
    entry->context = context;
    entry->session = session;
    Q_EMIT q->prepareChatSession(session, isPending(context));
}

ChatContext ChatSessionManagerPrivate::contextOfRequest(const Tp::ChannelRequestPtr &request)
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
    const uint handleType = properties.value(TargetHandleTypeKey).variant().toUInt();
    if (handleType != Tp::HandleTypeNone)
        context.setRemoteUid(properties.value(TargetIdKey).variant().toString());
    else
        context.setRemoteUid(properties.value(PersistentIdKey).variant().toString());
    context.setChatType(chatTypeForHandleType(handleType));
    context.setConversationId(-1);
    return context;
}

void ChatSessionManagerPrivate::requestSucceeded()
{
    auto *request = qobject_cast<Tp::ChannelRequest *>(sender());
    if (!request)
        return;
    delete requests.take(request->objectPath());
}

void ChatSessionManagerPrivate::removeRequest(const Tp::ChannelRequestPtr &request,
                                              const QString &errorName,
                                              const QString &errorMessage)
{
    Q_Q(ChatSessionManager);
    if (request.isNull())
        return;
    RequestEntry *entry = requests.take(request->objectPath());
    if (!entry)
        return;
    // An entry whose processing has not finished has no context yet; the
    // request itself still says which conversation it is for.
    ChatContext context = entry->context;
    if (context.accountPath().isEmpty())
        context = contextOfRequest(request);
    delete entry;
    if (isSwallowedHandlerRace(request->objectPath(), context, errorName, errorMessage))
        return;
    ChatSessionError error(errorName, describeError(errorName, errorMessage), request->objectPath(),
                           context.accountPath(), context.remoteUid());
    Q_EMIT q->chatSessionError(error);
}

void ChatSessionManagerPrivate::handleChannels(
    const Tp::MethodInvocationContextPtr<> &dbusContext, const Tp::AccountPtr &account,
    const Tp::ConnectionPtr &, const QList<Tp::ChannelPtr> &channels,
    const QList<Tp::ChannelRequestPtr> &requestsSatisfied, const QDateTime &,
    const Tp::AbstractClientHandler::HandlerInfo &)
{
    Q_Q(ChatSessionManager);
    if (channels.isEmpty() || channels.first().isNull()) {
        dbusContext->setFinishedWithError(TP_QT_ERROR_INVALID_ARGUMENT,
                                          QStringLiteral("No channel to handle"));
        return;
    }
    // Only text channels are asked for, one at a time.
    const Tp::ChannelPtr channel = channels.first();
    qCDebug(lcManager) << "Handling" << channel->objectPath() << "satisfying" << requestsSatisfied.size()
                       << "requests";
    const Tp::TextChannelPtr textChannel = Tp::TextChannelPtr::qObjectCast(channel);

    bool satisfied = false;
    bool unknownRequest = false;
    for (const Tp::ChannelRequestPtr &request : requestsSatisfied) {
        RequestEntry *entry = request ? requests.value(request->objectPath()) : nullptr;
        // An entry whose processing failed has no session to give the
        // channel to: treat its request as one we never heard of.
        if (!entry || !entry->session) {
            unknownRequest = true;
            continue;
        }
        satisfied = true;
        if (!entry->session->channelPath().isEmpty()) {
            // The session's channel is alive; ensureChannel found it again.
            if (!dbusContext->isFinished())
                dbusContext->setFinished();
        } else {
            entry->session->setChannel(textChannel);
            enqueueChannel(new PendingChannel { channel, entry->session, dbusContext });
        }
        delete requests.take(request->objectPath());
    }
    if (satisfied && !unknownRequest)
        return;

    for (const QWeakPointer<ChatSession> &weak : qAsConst(sessions)) {
        const ChatSessionPtr session = weak.toStrongRef();
        if (session && session->channelPath() == channel->objectPath()) {
            if (!dbusContext->isFinished())
                dbusContext->setFinished();
            return;
        }
    }

    QString targetId;
    uint handleType = Tp::HandleTypeNone;
    if (!channelTargetId(channel, targetId, handleType) || !account) {
        // Nothing to name the conversation by: refuse rather than leave the
        // dispatcher waiting.
        if (!dbusContext->isFinished())
            dbusContext->setFinishedWithError(TP_QT_ERROR_INVALID_ARGUMENT,
                                              QStringLiteral("Channel has no target"));
        return;
    }

    const ChatContext context(targetId, account->objectPath(), chatTypeForHandleType(handleType), -1);
    ChatSessionPtr session = createSession(account, context);
    session->setChannel(textChannel);
    enqueueChannel(new PendingChannel { channel, session, dbusContext });
    Q_EMIT q->prepareChatSession(session, true);
}

void ChatSessionManagerPrivate::enqueueChannel(PendingChannel *entry)
{
    if (currentReadiness) {
        readinessQueue.append(entry);
        return;
    }
    currentReadiness = entry;
    makeCurrentReady();
}

void ChatSessionManagerPrivate::makeCurrentReady()
{
    // Entries without a channel cannot be made ready; answer them and go on
    // so that one bad entry never blocks the channels behind it.
    while (currentReadiness && currentReadiness->channel.isNull()) {
        qCritical() << "void ChatSessionManagerPrivate::channelReady(Tp::PendingOperation*)"
                    << "We are doomed, channel is null";
        if (currentReadiness->dbusContext && !currentReadiness->dbusContext->isFinished())
            currentReadiness->dbusContext->setFinishedWithError(
                TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("No channel"));
        delete currentReadiness;
        currentReadiness = readinessQueue.isEmpty() ? nullptr : readinessQueue.takeFirst();
    }
    if (!currentReadiness)
        return;
    connect(currentReadiness->channel->becomeReady(channelFeatures()),
            &Tp::PendingOperation::finished, this, &ChatSessionManagerPrivate::channelReady);
}

void ChatSessionManagerPrivate::channelReady(Tp::PendingOperation *operation)
{
    PendingChannel *entry = currentReadiness;
    if (!entry)
        return;
    qCDebug(lcManager) << "Channel" << entry->channel->objectPath() << "ready:"
                       << (operation && !operation->isError() ? QStringLiteral("yes")
                                                               : operation ? operation->errorName() : QString());
    if (entry->session)
        entry->session->channelReady(operation);

    const Tp::MethodInvocationContextPtr<> &call = entry->dbusContext;
    if (call && !call->isFinished()) {
        if (!operation || operation->isError())
            call->setFinishedWithError(operation ? operation->errorName() : QString(),
                                       operation ? operation->errorMessage() : QString());
        else
            call->setFinished();
    }

    delete entry;
    currentReadiness = readinessQueue.isEmpty() ? nullptr : readinessQueue.takeFirst();
    makeCurrentReady();
}

// --- ChatSessionManager -------------------------------------------------------

ChatSessionManager *ChatSessionManager::instance(QObject *parent)
{
    static ChatSessionManager *manager = nullptr;
    if (!manager)
        manager = new ChatSessionManager(parent);
    return manager;
}

ChatSessionManager::ChatSessionManager(QObject *parent)
    : QObject(parent)
{
    Tp::registerTypes();
    qRegisterMetaType<ChatSessionPtr>();
    qRegisterMetaType<IncomingMessage>();
    Tp::ChannelClassSpecList filter;
    filter << Tp::ChannelClassSpec::textChat() << Tp::ChannelClassSpec::textChatroom()
           << Tp::ChannelClassSpec::unnamedTextChat();
    d_ptr = new ChatSessionManagerPrivate(filter, this);
    d_ptr->selfReference = Tp::AbstractClientPtr(d_ptr);
}

ChatSessionManager::~ChatSessionManager()
{
    Q_D(ChatSessionManager);
    // Sessions belong to their ChatSessionPtr holders, not to the manager.
    for (const QWeakPointer<ChatSession> &weak : qAsConst(d->sessions)) {
        if (const ChatSessionPtr session = weak.toStrongRef())
            session->setParent(nullptr);
    }
    Tp::ClientRegistrarPtr registrar = d->registrar;
    d->registrar.reset();
    if (registrar) {
        registrar->unregisterClients();
        registrar->setParent(nullptr);
    }
    registrar.reset();
    d->setParent(nullptr);
    // The last reference may be this one: the handler goes with it.
    Tp::AbstractClientPtr handler = d->selfReference;
    d->selfReference.reset();
}

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

    // Compared with the full path: pending keys carry it, so a short path
    // would otherwise never be recognised as a repeat.
    if (d->isPending(prefixed) || d->isOffered(prefixed))
        return;

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

    Tp::PendingOperation *operation;
    if (account->isReady()) {
        operation = d->requestChannel(account, prefixed);
    } else {
        operation = account->becomeReady();
        connect(operation, &Tp::PendingOperation::finished,
                d, &ChatSessionManagerPrivate::accountForChannelReady);
    }
    d->pendingOperations.insert(prefixed, operation);
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
    return d->findSession(context);
}

QString ChatSessionManager::generateMessageId()
{
    return newMessageId();
}

bool channelTargetId(const Tp::ChannelPtr &channel, QString &targetId, unsigned int &handleType)
{
    if (channel.isNull())
        return false;
    const QVariantMap properties = channel->immutableProperties();
    auto type = properties.constFind(TargetHandleTypeKey);
    if (type != properties.constEnd()) {
        handleType = type->toUInt();
        auto persistent = properties.constFind(PersistentIdKey);
        if (handleType == Tp::HandleTypeNone && persistent != properties.constEnd()) {
            targetId = persistent->toString();
            return true;
        }
    } else {
        handleType = Tp::HandleTypeContact;
    }
    auto id = properties.constFind(TargetIdKey);
    if (id == properties.constEnd())
        return false;
    targetId = id->toString();
    return true;
}
