// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_REQUESTTABLE_H
#define MESSAGING0_REQUESTTABLE_H

#include "sameconversation.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

class ChatSessionManagerPrivate;
class PendingChatSession;
class SessionRequest;

// The conversations this library is asking for, one open SessionRequest
// each, filed two ways: by conversation (conversationKey(), then
// isSameConversation() within the key), so that asking again joins the
// request in flight; and by the object path of its channel request, which
// is how the handler's news (an offered request, a channel handed over)
// finds its request. The only place where requests are looked up by
// context.
//
// Owned by ChatSessionManagerPrivate (a member). It is the QObject parent of
// the requests until they have answered; they delete themselves then.
class RequestTable : public QObject
{
    Q_OBJECT

public:
    explicit RequestTable(ChatSessionManagerPrivate *manager);
    ~RequestTable() override;

    // Joins the open request for the conversation or starts one; the
    // waiter (null for requestChatSession()) hears its answer.
    void ensure(const ChatContext &context, PendingChatSession *waiter);
    // Whether this library waits for a channel for the conversation.
    bool isPending(const ChatContext &context) const;
    // The open request whose channel request has this object path; null
    // for a request another client made, or one of ours that has answered.
    SessionRequest *byRequestPath(const QString &requestPath);
    // Whether the channel request is, or lately was, one of this library's
    // own: the dispatcher's news of it may come after its request answered.
    bool isOwn(const QString &requestPath);

private:
    SessionRequest *findOpen(const ChatContext &context) const;
    void remove(SessionRequest *request);

    ChatSessionManagerPrivate *m_manager;
    QHash<ConversationKey, QList<SessionRequest *>> m_open;
    QHash<QString, SessionRequest *> m_byPath;
    // The channel request paths of requests that have answered, newest
    // last, a bounded number.
    QStringList m_answeredPaths;
};

#endif // MESSAGING0_REQUESTTABLE_H
