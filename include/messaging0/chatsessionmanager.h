// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHATSESSIONMANAGER_H
#define MESSAGING0_CHATSESSIONMANAGER_H

#include "chatcontext.h"
#include "chatsession.h"
#include "chatsessionerror.h"
#include "messaging0global.h"
#include "messagingtypes.h"
#include "pendingchatsession.h"

#include <TelepathyQt/Channel>

#include <QObject>

//! \file
//! The session manager, and channelTargetId().

class ChatSessionManagerPrivate;

//! The process-wide entry point to conversations.
//!
//! Ask for a session with ensureChatSession(): the PendingChatSession it
//! returns waits for this manager, the account, the channel request and the
//! session's readiness itself, and finishes once, within
//! PendingChatSession::TimeoutMs, with the session ready to chat or with the
//! error that kept it from opening. Channels arrive through this library's
//! Telepathy handler "Messaging".
//!
//! The signals tell every listener the same: prepareChatSession() announces
//! the session each request brought, once it is ready to chat, and every
//! conversation that arrives without a request of this library's (incoming,
//! or asked for by another client); chatSessionError() announces each
//! failed request with the error that request finished with.
//! requestChatSession() asks without a request object, for callers that
//! follow those signals.
//!
//! The error of a failed request names the conversation it belongs to
//! (account path and remote id, and the request's object path where there
//! is one) and gives Telepathy's D-Bus error name and message, each whole
//! (ChatSessionError::errorName(), message()); only errors that concern
//! every conversation (no account manager) name none. A request made before
//! the channel dispatcher has read the newly registered handler is asked
//! once more and does not fail.
class MESSAGING0_EXPORT ChatSessionManager : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(ChatSessionManager)

public:
    //! The first call creates the manager with the given parent; later calls
    //! return it and ignore the argument. Never destroyed by the library.
    static ChatSessionManager *instance(QObject *parent = nullptr);
    //! Builds the handler and takes AccountUtils' account manager. Use
    //! instance(): the handler "Messaging" is registered by one manager.
    explicit ChatSessionManager(QObject *parent);
    ~ChatSessionManager() override;

    //! Waits for the account manager and registers the handler; managerReady()
    //! follows (at once when everything is ready already).
    void initialize();
    //! The account manager is ready and the handler is registered.
    bool isReady() const;

    //! Asks for the conversation, also before the manager is ready (the
    //! request initialises it); the returned request finishes once, from the
    //! event loop and within PendingChatSession::TimeoutMs, with the session
    //! ready to chat or with an error. A request for a conversation already
    //! asked for joins the one in flight. The request belongs to the manager
    //! and deletes itself after finished() unless
    //! PendingChatSession::setAutoDelete(false) is called.
    PendingChatSession *ensureChatSession(const ChatContext &context);

    //! As ensureChatSession(), answered only by prepareChatSession() or
    //! chatSessionError(). Errors known at once (no such account) are
    //! announced inside the call.
    void requestChatSession(const ChatContext &context);
    //! Asks for the one-to-one conversation with remoteUid on the account.
    void requestChatSession(const QString &remoteUid, const QString &accountPath);

    //! A live session for the context, ready or not; null when none.
    ChatSessionPtr getReadyChatSession(const ChatContext &context);

    //! A new unique message id.
    static QString generateMessageId();

Q_SIGNALS:
    //! initialize() has finished; isReady() says whether the handler is
    //! registered. Requests need not wait for it.
    void managerReady();
    //! A session: one a request of this library's brought, ready to chat
    //! (local true), or an incoming one (local true), or one another client
    //! asked for (local true only while this library asks for it too).
    void prepareChatSession(ChatSessionPtr session, bool local);
    //! A request failed (with the error its PendingChatSession finished
    //! with), another client's request was withdrawn, or the account
    //! manager failed; the error names the conversation where there is one.
    void chatSessionError(ChatSessionError &error);

protected:
    ChatSessionManagerPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(ChatSessionManager)
};

//! Writes the channel's target id and target handle type; false when the
//! channel names no target.
MESSAGING0_EXPORT bool channelTargetId(const Tp::ChannelPtr &channel, QString &targetId,
                                       unsigned int &handleType);

#endif // MESSAGING0_CHATSESSIONMANAGER_H
