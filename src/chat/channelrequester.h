#ifndef MESSAGING0_CHANNELREQUESTER_H
#define MESSAGING0_CHANNELREQUESTER_H

#include "chatcontext_p.h"

#include <TelepathyQt/Account>

#include <QHash>
#include <QList>

namespace Tp {
class PendingOperation;
}

// What the manager waits for on callers' behalf, per conversation: an
// account becoming ready or a channel request (ensureChannel) in progress.
// Duplicate requests are recognised here.
//
// Owned by ChatSessionManagerPrivate (a member); the operations belong to
// Telepathy-Qt and delete themselves when finished.
class ChannelRequester
{
public:
    // Asks the channel dispatcher for a text channel for the context on the
    // account; the channel itself arrives through the handler.
    Tp::PendingOperation *ensureChannel(const Tp::AccountPtr &account, const ChatContext &context) const;

    // Remembers the operation the context waits for (replacing an earlier one).
    void wait(const ChatContext &context, Tp::PendingOperation *operation);
    // The contexts waiting for the operation, and forgetting them.
    QList<ChatContext> waitingFor(Tp::PendingOperation *operation) const;
    void forget(Tp::PendingOperation *operation);

    // Whether this library waits for a channel for the conversation.
    bool isPending(const ChatContext &context) const;

    // The manager's rule for "the same conversation": the same account path
    // string and chat type, and remote uids that match as addresses.
    static bool contextsMatch(const ChatContext &a, const ChatContext &b);

private:
    QHash<ChatContext, Tp::PendingOperation *> m_pending;
};

#endif // MESSAGING0_CHANNELREQUESTER_H
