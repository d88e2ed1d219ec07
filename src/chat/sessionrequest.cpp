// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "sessionrequest.h"

#include "channelproperties.h"
#include "chatsession.h"
#include "chatsessionmanager_p.h"
#include "messaginglogging.h"
#include "pendingchatsession.h"

#include <TelepathyQt/ChannelRequest>
#include <TelepathyQt/PendingChannelRequest>
#include <TelepathyQt/PendingReady>

#include <QDateTime>

namespace {

QVariantMap channelRequestFor(const ChatContext &context)
{
    const Tp::HandleType handleType = ChannelProperties::handleTypeFor(context.chatType());
    QVariantMap request;
    request.insert(ChannelProperties::ChannelType, TP_QT_IFACE_CHANNEL_TYPE_TEXT);
    request.insert(ChannelProperties::TargetHandleType, uint(handleType));
    switch (context.chatType()) {
    case OneToOneChat:
    case AdHocGroupChat:
    case RoomChat:
        request.insert(ChannelProperties::idPropertyFor(handleType), context.remoteUid());
        break;
    default:
        // Nothing names the target of a kind this library does not know.
        break;
    }
    return request;
}

} // namespace

SessionRequest::SessionRequest(ChatSessionManagerPrivate *manager, const ChatContext &context, QObject *parent)
    : QObject(parent), m_manager(manager), m_context(context)
{
    m_bound.setSingleShot(true);
    connect(&m_bound, &QTimer::timeout, this, [this] {
        qCWarning(lcChat) << "No answer for" << m_context.remoteUid() << "within"
                          << PendingChatSession::TimeoutMs / 1000 << "s";
        const QString path = channelRequestPath();
        if (m_channelRequest)
            m_channelRequest->cancel();
        fail(error(ChatSessionError::ChannelRequestError,
                   QStringLiteral("No answer within %1 s").arg(PendingChatSession::TimeoutMs / 1000),
                   QString(), path));
    });
}

SessionRequest::~SessionRequest() = default;

void SessionRequest::addWaiter(PendingChatSession *waiter)
{
    if (waiter)
        m_waiters.append(waiter);
}

QString SessionRequest::channelRequestPath() const
{
    if (m_channelRequest && m_channelRequest->channelRequest())
        return m_channelRequest->channelRequest()->objectPath();
    return QString();
}

bool SessionRequest::ownsRequestPath(const QString &requestPath) const
{
    return !requestPath.isEmpty()
        && (channelRequestPath() == requestPath || m_earlierRequestPaths.contains(requestPath));
}

QStringList SessionRequest::requestPaths() const
{
    QStringList paths = m_earlierRequestPaths;
    const QString current = channelRequestPath();
    if (!current.isEmpty())
        paths << current;
    return paths;
}

bool SessionRequest::isHandlerRace(const QString &errorName, const QString &errorMessage)
{
    // Mission Control learns of a new handler from the bus name appearing
    // and then reads the handler's properties; a request it dispatches in
    // between finds no handler and fails with exactly this. Matched by the
    // message too: NotAvailable alone also means, for example, a disabled
    // account, which no retry mends.
    return errorName == TP_QT_ERROR_NOT_AVAILABLE
        && errorMessage == QLatin1String("Handler no longer available");
}

ChatSessionError SessionRequest::error(ChatSessionError::ErrorType type, const QString &message,
                                       const QString &errorName, const QString &requestPath) const
{
    ChatSessionError failure(type, message, requestPath, m_context.accountPath(), m_context.remoteUid());
    failure.setErrorName(errorName);
    return failure;
}

void SessionRequest::start()
{
    m_bound.start(PendingChatSession::TimeoutMs);
    m_live = m_manager->registry.find(m_context);
    // Followed from now on, so that it coming back ready is heard; but a
    // ready one is not the answer yet: the dispatcher is asked all the same.
    if (m_live)
        follow(m_live, false);
    ChatSessionManager *manager = m_manager->q_ptr;
    if (manager->isReady()) {
        waitForAccount();
        return;
    }
    // Settled when initialize() has registered the handler (or failed to),
    // or when the account manager has failed; at once when it can.
    m_managerReady = connect(manager, &ChatSessionManager::managerReady, this, &SessionRequest::onManagerSettled);
    m_managerFailed = connect(m_manager, &ChatSessionManagerPrivate::initializationFailed, this,
                              [this](const ChatSessionError &failure) {
                                  fail(error(failure.type(), failure.message(), failure.errorName()));
                              });
    manager->initialize();
}

void SessionRequest::onManagerSettled()
{
    disconnect(m_managerReady);
    disconnect(m_managerFailed);
    if (m_decided)
        return;
    if (!m_manager->q_ptr->isReady()) {
        fail(error(ChatSessionError::AccountManagerError,
                   QStringLiteral("The handler \"Messaging\" could not be registered")));
        return;
    }
    waitForAccount();
}

void SessionRequest::waitForAccount()
{
    const Tp::AccountManagerPtr &accounts = m_manager->accountManager;
    const Tp::AccountPtr account =
        accounts ? accounts->accountForObjectPath(m_context.accountPath()) : Tp::AccountPtr();
    if (!account || !account->isValid()) {
        fail(error(ChatSessionError::InvalidAccountError, QString()));
        return;
    }
    if (account->isReady()) {
        requestChannel(account);
        return;
    }
    connect(account->becomeReady(), &Tp::PendingOperation::finished, this,
            [this, account](Tp::PendingOperation *operation) {
                if (m_decided)
                    return;
                if (operation->isError() || !account->isReady()) {
                    fail(error(ChatSessionError::InvalidAccountError, operation->errorMessage(),
                               operation->errorName()));
                    return;
                }
                requestChannel(account);
            });
}

void SessionRequest::requestChannel(const Tp::AccountPtr &account)
{
    m_account = account;
    // A session of the conversation let go but not deleted yet would close
    // its channel after the dispatcher has handed it back.
    m_manager->registry.closeLetGo(m_context);
    qCDebug(lcChat) << "Requesting a channel for" << m_context.remoteUid() << "on" << account->objectPath();
    m_channelRequest = account->ensureChannel(channelRequestFor(m_context), QDateTime::currentDateTime(), QString());
    connect(m_channelRequest.data(), &Tp::PendingOperation::finished, this,
            &SessionRequest::onChannelRequestFinished);
}

void SessionRequest::onChannelRequestFinished(Tp::PendingOperation *operation)
{
    auto *pending = qobject_cast<Tp::PendingChannelRequest *>(operation);
    const QString requestPath = pending && pending->channelRequest() ? pending->channelRequest()->objectPath()
                                                                     : QString();
    if (pending == m_channelRequest)
        m_channelRequest.clear();
    if (m_decided)
        return;
    if (!operation->isError()) {
        if (m_handedOver)
            return;
        // The dispatcher says it is done, and the handler never had the
        // channel for this request: it went to another handler, unless
        // the conversation's session has a live channel all the same.
        const ChatSessionPtr live = m_manager->registry.find(m_context);
        if (live && !live->channelPath().isEmpty()) {
            handedOver(live);
            return;
        }
        fail(error(ChatSessionError::ChannelRequestError, QStringLiteral("The channel went to another handler"),
                   QString(), requestPath));
        return;
    }
    const QString errorName = operation->errorName();
    const QString errorMessage = operation->errorMessage();
    qCDebug(lcChat) << "Channel request for" << m_context.remoteUid() << "failed:" << errorName << errorMessage;
    // One retry: a second failure is reported as any other.
    if (isHandlerRace(errorName, errorMessage) && !m_retried && m_account && m_account->isValid()
        && m_account->isReady()) {
        qCDebug(lcChat) << "The dispatcher did not know the handler yet; asking again for" << m_context.remoteUid();
        m_retried = true;
        // The dispatcher's news of the failed one may still come.
        m_earlierRequestPaths << requestPath;
        requestChannel(m_account);
        return;
    }
    fail(error(ChatSessionError::ChannelRequestError, errorMessage, errorName, requestPath));
}

void SessionRequest::offered(const ChatSessionPtr &session)
{
    if (m_decided || !session)
        return;
    follow(session, true);
}

void SessionRequest::handedOver(const ChatSessionPtr &session)
{
    if (m_decided || !session)
        return;
    m_handedOver = true;
    follow(session, true);
}

void SessionRequest::follow(const ChatSessionPtr &session, bool answerIfReady)
{
    if (session != m_session) {
        for (const QMetaObject::Connection &connection : qAsConst(m_watching))
            disconnect(connection);
        m_watching.clear();
        m_session = session;
        ChatSession *raw = session.data();
        m_watching << connect(raw, &ChatSession::readyToChat, this, [this](bool ready) {
            if (ready)
                succeed();
        });
        m_watching << connect(raw, &ChatSession::chatSessionError, this, [this](ChatSessionError &failure) {
            ChatSessionError named = error(failure.type(), failure.message(), failure.errorName(),
                                           failure.request());
            if (m_decided) {
                m_lateError = named;
                return;
            }
            // Before the dispatcher has handed over the channel, an error
            // is the old channel's: the new one is still to come.
            if (m_handedOver)
                fail(named);
        });
    }
    if (answerIfReady && session->isReadyToChat())
        succeed();
}

void SessionRequest::succeed()
{
    if (m_decided)
        return;
    decide();
}

void SessionRequest::fail(const ChatSessionError &failure)
{
    if (m_decided)
        return;
    m_error = failure;
    qCDebug(lcChat) << "Request for" << m_context.remoteUid() << "failed:" << failure.type() << failure.errorName()
                    << failure.message();
    decide();
    // An error does not change before it is delivered: announced at once,
    // as it always was, also inside the call that asked.
    ChatSessionError announced = m_error;
    m_manager->announceFailure(announced);
}

void SessionRequest::decide()
{
    m_decided = true;
    m_bound.stop();
    disconnect(m_managerReady);
    disconnect(m_managerFailed);
    Q_EMIT decided(this);
    QMetaObject::invokeMethod(this, &SessionRequest::deliver, Qt::QueuedConnection);
}

void SessionRequest::deliver()
{
    ChatSessionPtr session = m_error.isValid() ? ChatSessionPtr() : m_session;
    ChatSessionError failure = m_error;
    const bool failedEarlier = failure.isValid();
    // The channel may have gone since the answer: the request ends with
    // that, rather than waiting for a channel nothing asks for.
    if (!failedEarlier && (!session || !session->isReadyToChat())) {
        failure = m_lateError.isValid()
            ? m_lateError
            : error(ChatSessionError::ChannelRequestError,
                    QStringLiteral("The channel closed before the request was answered"));
        session.reset();
    }
    for (const QPointer<PendingChatSession> &waiter : qAsConst(m_waiters)) {
        if (waiter)
            waiter->finish(session, failure);
    }
    if (session) {
        m_manager->announceSession(session);
    } else if (!failedEarlier) {
        m_manager->announceFailure(failure);
    }
    // Nothing is held once answered: a session its holders let go closes now.
    for (const QMetaObject::Connection &connection : qAsConst(m_watching))
        disconnect(connection);
    m_session.reset();
    m_live.reset();
    deleteLater();
}
