// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "pendingchatsession.h"

#include "chatsession.h"

#include <QMetaObject>
#include <QPointer>

// An answer that comes inside the call that made the request is delivered
// from the event loop; a later one at once, so that the request's owner
// hears of a ready session no later than anyone who follows the session.
class PendingChatSessionPrivate
{
public:
    void answer(PendingChatSession *q, const ChatSessionPtr &result, const ChatSessionError &failure);
    void deliver(PendingChatSession *q);
    void stopWatching();

    ChatContext context;
    // Kept alive while waiting for it to get ready.
    ChatSessionPtr waitingFor;
    QMetaObject::Connection readyConnection;
    QMetaObject::Connection errorConnection;
    ChatSessionPtr session;
    ChatSessionError error;
    bool answered = false;
    bool finished = false;
    bool autoDelete = true;
    bool inCreatingCall = true;
};

void PendingChatSessionPrivate::answer(PendingChatSession *q, const ChatSessionPtr &result,
                                       const ChatSessionError &failure)
{
    if (answered)
        return;
    answered = true;
    stopWatching();
    session = result;
    error = failure;
    waitingFor.reset();
    if (inCreatingCall)
        QMetaObject::invokeMethod(q, [this, q] { deliver(q); }, Qt::QueuedConnection);
    else
        deliver(q);
}

void PendingChatSessionPrivate::stopWatching()
{
    QObject::disconnect(readyConnection);
    QObject::disconnect(errorConnection);
}

void PendingChatSessionPrivate::deliver(PendingChatSession *q)
{
    // The channel may have gone again before the event loop came round:
    // wait for the session to be ready once more.
    if (session && !session->isReadyToChat()) {
        const ChatSessionPtr again = session;
        session.reset();
        answered = false;
        q->setSession(again);
        return;
    }
    finished = true;
    // The caller owns it from now on, or the event loop deletes it; a
    // receiver may still turn auto delete off, or delete it itself.
    q->setParent(nullptr);
    QPointer<PendingChatSession> self(q);
    Q_EMIT q->finished(q);
    if (self && autoDelete)
        q->deleteLater();
}

PendingChatSession::PendingChatSession(const ChatContext &context, QObject *parent)
    : QObject(parent), d_ptr(new PendingChatSessionPrivate)
{
    Q_D(PendingChatSession);
    d->context = context;
}

PendingChatSession::~PendingChatSession()
{
    delete d_ptr;
}

void PendingChatSession::setSession(const ChatSessionPtr &candidate)
{
    Q_D(PendingChatSession);
    if (d->answered || !candidate || candidate == d->waitingFor)
        return;
    d->stopWatching();
    d->waitingFor = candidate;
    if (candidate->isReadyToChat()) {
        d->answer(this, candidate, ChatSessionError());
        return;
    }
    ChatSession *raw = candidate.data();
    d->readyConnection = connect(raw, &ChatSession::readyToChat, this, [this, d](bool ready) {
        if (ready)
            d->answer(this, d->waitingFor, ChatSessionError());
    });
    d->errorConnection = connect(raw, &ChatSession::chatSessionError, this,
                                 [this](ChatSessionError &failure) { setError(failure); });
}

void PendingChatSession::creatingCallReturned()
{
    Q_D(PendingChatSession);
    d->inCreatingCall = false;
}

void PendingChatSession::setError(const ChatSessionError &failure)
{
    Q_D(PendingChatSession);
    // A session's own errors do not say which conversation they are about.
    ChatSessionError named = failure;
    if (named.account().isEmpty())
        named.setAccount(d->context.accountPath());
    if (named.remoteId().isEmpty())
        named.setRemoteId(d->context.remoteUid());
    d->answer(this, ChatSessionPtr(), named);
}

ChatContext PendingChatSession::context() const
{
    Q_D(const PendingChatSession);
    return d->context;
}

bool PendingChatSession::isFinished() const
{
    Q_D(const PendingChatSession);
    return d->finished;
}

bool PendingChatSession::isError() const
{
    Q_D(const PendingChatSession);
    return d->finished && d->error.isValid();
}

ChatSessionPtr PendingChatSession::chatSession() const
{
    Q_D(const PendingChatSession);
    return d->finished ? d->session : ChatSessionPtr();
}

ChatSessionError PendingChatSession::error() const
{
    Q_D(const PendingChatSession);
    return d->finished ? d->error : ChatSessionError();
}

void PendingChatSession::setAutoDelete(bool autoDelete)
{
    Q_D(PendingChatSession);
    d->autoDelete = autoDelete;
}

bool PendingChatSession::autoDelete() const
{
    Q_D(const PendingChatSession);
    return d->autoDelete;
}
