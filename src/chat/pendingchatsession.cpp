// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "pendingchatsession.h"

#include "chatsession.h"

#include <QPointer>

// What the request answered. The way there is the conversation's
// SessionRequest's, which calls finish() once, from the event loop.
class PendingChatSessionPrivate
{
public:
    ChatContext context;
    ChatSessionPtr session;
    ChatSessionError error;
    bool finished = false;
    bool autoDelete = true;
};

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

void PendingChatSession::finish(const ChatSessionPtr &session, const ChatSessionError &error)
{
    Q_D(PendingChatSession);
    if (d->finished)
        return;
    d->finished = true;
    d->session = error.isValid() ? ChatSessionPtr() : session;
    d->error = error;
    // The caller owns it from now on, or the event loop deletes it; a
    // receiver may still turn auto delete off, or delete it itself.
    setParent(nullptr);
    QPointer<PendingChatSession> self(this);
    Q_EMIT finished(this);
    if (self && d->autoDelete)
        deleteLater();
}

void PendingChatSession::setSession(const ChatSessionPtr &session)
{
    finish(session, ChatSessionError());
}

void PendingChatSession::setError(const ChatSessionError &error)
{
    finish(ChatSessionPtr(), error);
}

void PendingChatSession::creatingCallReturned()
{
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
