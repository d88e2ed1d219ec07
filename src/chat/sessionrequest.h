// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SESSIONREQUEST_H
#define MESSAGING0_SESSIONREQUEST_H

#include "chatcontext.h"
#include "chatsessionerror.h"
#include "messagingtypes.h"

#include <TelepathyQt/Account>

#include <QList>
#include <QStringList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class ChatSessionManagerPrivate;
class PendingChatSession;

namespace Tp {
class PendingChannelRequest;
class PendingOperation;
}

// One conversation asked for, the whole way: the manager's readiness (it
// initialises the manager itself), the account's readiness, the channel
// request (ensureChannel), the channel the dispatcher hands the handler for
// that channel request, matched by the request's object path, and the
// session ready to chat. The PendingChatSession objects asked for the
// conversation while it is open follow it; requestChatSession() asks
// without one.
//
// It is decided exactly once (a session ready to chat, or an error), at
// the latest PendingChatSession::TimeoutMs after it started, and answers
// from the event loop: at that moment a session that has lost its channel
// since turns the answer into an error. Every waiter, and the manager's
// broadcast (prepareChatSession() or chatSessionError()), hear the same
// answer; an error is broadcast as soon as it is known, a session once it
// is handed out.
//
// Owned by the manager's request table (RequestTable), its QObject parent;
// it deletes itself (deleteLater()) once it has answered. Until then it
// holds the session it waits for, and the conversation's live session from
// the start (let go meanwhile by its last holder, that session would close
// the very channel the dispatcher is about to hand back).
class SessionRequest : public QObject
{
    Q_OBJECT

public:
    SessionRequest(ChatSessionManagerPrivate *manager, const ChatContext &context, QObject *parent);
    ~SessionRequest() override;

    // The conversation, with the full account path.
    const ChatContext &context() const { return m_context; }
    void addWaiter(PendingChatSession *waiter);
    void start();
    // Open until decided: only an open request is joined.
    bool isOpen() const { return !m_decided; }
    // The object path of the channel request in flight, once Telepathy-Qt
    // has it (before Mission Control offers it to the handler); empty
    // before and after.
    QString channelRequestPath() const;
    // The path is the one in flight, or one this request asked with before
    // (a retry asks anew).
    bool ownsRequestPath(const QString &requestPath) const;
    // Every channel request path it has asked with, as far as known.
    QStringList requestPaths() const;

    // The handler's news of this request's channel request: the session it
    // made or found when the request was offered, and the session that got
    // the channel when the dispatcher handed it over.
    void offered(const ChatSessionPtr &session);
    void handedOver(const ChatSessionPtr &session);

    // The dispatcher's answer while it has not read a newly registered
    // handler yet: asked once more.
    static bool isHandlerRace(const QString &errorName, const QString &errorMessage);

Q_SIGNALS:
    // Decided; the answer follows from the event loop.
    void decided(SessionRequest *request);

private:
    void onManagerSettled();
    void waitForAccount();
    void requestChannel(const Tp::AccountPtr &account);
    void onChannelRequestFinished(Tp::PendingOperation *operation);
    void follow(const ChatSessionPtr &session, bool answerIfReady);
    void succeed();
    void fail(const ChatSessionError &error);
    void decide();
    void deliver();
    ChatSessionError error(ChatSessionError::ErrorType type, const QString &message,
                           const QString &errorName = QString(), const QString &requestPath = QString()) const;

    ChatSessionManagerPrivate *m_manager;
    ChatContext m_context;
    QList<QPointer<PendingChatSession>> m_waiters;
    ChatSessionPtr m_live;
    ChatSessionPtr m_session;
    QList<QMetaObject::Connection> m_watching;
    QMetaObject::Connection m_managerReady;
    QMetaObject::Connection m_managerFailed;
    Tp::AccountPtr m_account;
    // Deletes itself when finished: null then.
    QPointer<Tp::PendingChannelRequest> m_channelRequest;
    QStringList m_earlierRequestPaths;
    QTimer m_bound;
    ChatSessionError m_error;
    // What the session reported after the request was decided.
    ChatSessionError m_lateError;
    bool m_handedOver = false;
    bool m_retried = false;
    bool m_decided = false;
};

#endif // MESSAGING0_SESSIONREQUEST_H
