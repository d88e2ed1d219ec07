#include "pendingchatsession.h"

#include "chatsession.h"

#include <QMetaObject>
#include <QPointer>

// The answer is delivered from the event loop, so that a request never
// finishes inside the call that made it.
class PendingChatSessionPrivate
{
public:
    void answer(PendingChatSession *q, const ChatSessionPtr &result, const ChatSessionError &failure);

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
};

void PendingChatSessionPrivate::answer(PendingChatSession *q, const ChatSessionPtr &result,
                                       const ChatSessionError &failure)
{
    if (answered)
        return;
    answered = true;
    QObject::disconnect(readyConnection);
    QObject::disconnect(errorConnection);
    session = result;
    error = failure;
    waitingFor.reset();
    QMetaObject::invokeMethod(q, [this, q] {
        finished = true;
        // The caller owns it from now on, or the event loop deletes it; a
        // receiver may still turn auto delete off, or delete it itself.
        q->setParent(nullptr);
        QPointer<PendingChatSession> self(q);
        Q_EMIT q->finished(q);
        if (self && autoDelete)
            q->deleteLater();
    }, Qt::QueuedConnection);
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
    QObject::disconnect(d->readyConnection);
    QObject::disconnect(d->errorConnection);
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
