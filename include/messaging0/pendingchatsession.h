// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_PENDINGCHATSESSION_H
#define MESSAGING0_PENDINGCHATSESSION_H

#include "chatcontext.h"
#include "chatsessionerror.h"
#include "messaging0global.h"
#include "messagingtypes.h"

#include <QObject>

class PendingChatSessionPrivate;

//! One request for a conversation, answered once.
//!
//! ChatSessionManager::ensureChatSession() returns it, and from then on it
//! does the whole way itself: it initialises the manager when it is not
//! ready yet (there is no need to wait for managerReady() first), makes the
//! account ready, asks Telepathy's channel dispatcher for the channel, takes
//! the channel the dispatcher hands this library's handler for exactly that
//! channel request, and waits until the session is ready to chat.
//!
//! It finishes exactly once, always from the event loop (never inside the
//! call that created it: connect to finished() after the call), and at the
//! latest TimeoutMs after it was made: with the session, ready to chat at
//! that moment, or with the ChatSessionError that kept the conversation from
//! opening (no account manager, no such account, the channel request failed
//! or its channel went to another handler, the channel could not be made
//! ready or closed before the answer, no answer in time). A request for a
//! conversation already asked for joins the one in flight and has the same
//! answer. The manager's prepareChatSession() and chatSessionError() tell
//! every listener the same answer.
//!
//! It belongs to the manager until it finishes and deletes itself
//! (deleteLater()) after finished(); with setAutoDelete(false) the caller
//! deletes it.
class MESSAGING0_EXPORT PendingChatSession : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(PendingChatSession)

public:
    //! The longest a request waits for its answer, in milliseconds: as long
    //! as MessageSender's default bound for a message's status.
    enum { TimeoutMs = 120000 };

    ~PendingChatSession() override;

    //! The conversation asked for, with the full account path.
    ChatContext context() const;
    //! True once finished() has been emitted.
    bool isFinished() const;
    //! True when finished with an error; error() then says which.
    bool isError() const;
    //! The session, ready to chat; null before finished() and after an error.
    ChatSessionPtr chatSession() const;
    //! Why the request failed; meaningful when isError(). Names the
    //! conversation (account path and remote id), and where Telepathy gave
    //! one, its D-Bus error name and message.
    ChatSessionError error() const;

    //! Whether the request deletes itself after finished(); true by default.
    void setAutoDelete(bool autoDelete);
    //! True when the request deletes itself after finished().
    bool autoDelete() const;

Q_SIGNALS:
    //! The request is answered: check isError(), then chatSession() or error().
    void finished(PendingChatSession *request);

private:
    // The manager makes requests; the conversation's SessionRequest answers them.
    friend class ChatSessionManager;
    friend class SessionRequest;
    PendingChatSession(const ChatContext &context, QObject *parent);
    // Emits finished() with the session (ready to chat) or the error.
    void finish(const ChatSessionPtr &session, const ChatSessionError &error);
    // The earlier way in, kept for the binary interface: they finish the
    // request at once (the library no longer calls them).
    void setSession(const ChatSessionPtr &session);
    void setError(const ChatSessionError &error);
    void creatingCallReturned();

    Q_DISABLE_COPY(PendingChatSession)
    PendingChatSessionPrivate *const d_ptr;
};

#endif // MESSAGING0_PENDINGCHATSESSION_H
