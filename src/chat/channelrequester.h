// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHANNELREQUESTER_H
#define MESSAGING0_CHANNELREQUESTER_H

#include "sameconversation.h"
#include "chatsessionerror.h"
#include "messagingtypes.h"

#include <TelepathyQt/Account>

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWeakPointer>

class PendingChatSession;

namespace Tp {
class PendingOperation;
}

// The requests this library has in flight, one per conversation, each with
// the request objects (PendingChatSession) that wait for its answer: an
// account becoming ready or a channel request (ensureChannel) in progress,
// then the session the handler makes for it. A repeated request joins the
// one in flight.
//
// Owned by ChatSessionManagerPrivate (a member). The operations belong to
// Telepathy-Qt and delete themselves when finished; the request objects
// belong to the manager until they finish.
class ChannelRequester
{
public:
    // Asks the channel dispatcher for a text channel for the context on the
    // account; the channel itself arrives through the handler. The request
    // for the context now waits for this operation.
    Tp::PendingOperation *ensureChannel(const Tp::AccountPtr &account, const ChatContext &context);
    // A new request for the context, with its request object if there is
    // one; it waits for nothing yet (or for another client's request).
    // A live session of the conversation is held until the request ends:
    // let go meanwhile by its last holder, it would close the very channel
    // the dispatcher is about to hand back.
    void start(const ChatContext &context, PendingChatSession *waiter, const ChatSessionPtr &live);
    // The request for the context waits for the operation (an account
    // becoming ready, or a channel request).
    void wait(const ChatContext &context, Tp::PendingOperation *operation);
    // Adds the request object (if any) to a request in flight for the same
    // conversation, whose session is still to come or still alive; false
    // when there is none.
    bool join(const ChatContext &context, PendingChatSession *waiter);

    // The contexts whose request waits for the operation.
    QList<ChatContext> waitingFor(Tp::PendingOperation *operation) const;
    // Whether this library waits for a channel for the conversation.
    bool isPending(const ChatContext &context) const;
    // Whether the request for the context has had its session.
    bool hasSession(const ChatContext &context) const;

    // The handler made or found a session for the conversation: every
    // request for it takes it.
    void answer(const ChatContext &context, const ChatSessionPtr &session);
    // The request for the context is over: its objects that wait still have
    // the error.
    void finish(const ChatContext &context, const ChatSessionError &error = ChatSessionError());
    // The requests for the conversation that wait for another client's
    // channel request, which failed: they end with the error.
    void abandon(const ChatContext &context, const ChatSessionError &error);

    // The dispatcher's answer to a request made right after the handler was
    // registered, before it has read the handler's filter: asked once more.
    static bool isHandlerRace(const QString &errorName, const QString &errorMessage);
    // Whether the context's request has been asked again after the race
    // (at most once), and noting that, with the failed request's path.
    bool isRetrying(const ChatContext &context) const;
    void retrying(const ChatContext &context, const QString &failedRequestPath);
    // A race failure whose outcome the retry reports: not for callers.
    bool isSwallowedHandlerRace(const QString &requestPath, const ChatContext &context,
                                const QString &errorName, const QString &errorMessage) const;

private:
    struct Request
    {
        // What the request waits for now; null once it has finished.
        Tp::PendingOperation *operation = nullptr;
        // What the handler made for it, held by the waiting objects.
        QWeakPointer<ChatSession> session;
        // The conversation's session when the request started (see start()).
        ChatSessionPtr live;
        bool answered = false;
        // Asked again after the handler race; the failed request's path.
        bool retried = false;
        QString failedRequestPath;
        QList<QPointer<PendingChatSession>> waiters;
    };

    // By the context asked for (the full account path).
    QHash<ChatContext, Request> m_requests;
};

#endif // MESSAGING0_CHANNELREQUESTER_H
