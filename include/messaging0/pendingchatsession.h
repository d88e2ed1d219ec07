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
//! ChatSessionManager::ensureChatSession() returns it. It finishes exactly
//! once, never inside the call that created it (connect to finished() after
//! the call): with the session once that session is ready to chat, or with
//! the ChatSessionError that kept the conversation from opening (the
//! request failed, or the session's channel could not be made ready).
//!
//! Until it finishes it keeps the session it is waiting for alive. It
//! belongs to the manager until then and deletes itself (deleteLater())
//! after finished(); with setAutoDelete(false) the caller deletes it.
class MESSAGING0_EXPORT PendingChatSession : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(PendingChatSession)

public:
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
    // The manager makes and answers requests.
    friend class ChannelRequester;
    friend class ChatSessionManager;
    friend class ChatSessionManagerPrivate;
    PendingChatSession(const ChatContext &context, QObject *parent);
    // The session made for the request: the answer once it is ready to
    // chat, or its error if its channel fails first. A later session for
    // the same conversation replaces one still getting ready.
    void setSession(const ChatSessionPtr &session);
    // The first answer counts.
    void setError(const ChatSessionError &error);
    // The call that made the request has returned: answers are delivered
    // at once from now on (before, from the event loop).
    void creatingCallReturned();

    Q_DISABLE_COPY(PendingChatSession)
    PendingChatSessionPrivate *const d_ptr;
};

#endif // MESSAGING0_PENDINGCHATSESSION_H
