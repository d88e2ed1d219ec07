#ifndef MESSAGING0_CHANNELREQUESTER_H
#define MESSAGING0_CHANNELREQUESTER_H

#include "chatcontext_p.h"

#include <TelepathyQt/Account>

#include <QHash>
#include <QList>
#include <QSet>

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
    Tp::PendingOperation *ensureChannel(const Tp::AccountPtr &account, const ChatContext &context);
    // The context a finished channel request was for, also when a newer
    // request for the same context has replaced it meanwhile.
    ChatContext takeRequestedContext(Tp::PendingOperation *operation);

    // Remembers the operation the context waits for (replacing an earlier one).
    void wait(const ChatContext &context, Tp::PendingOperation *operation);
    // The contexts waiting for the operation, and forgetting them.
    QList<ChatContext> waitingFor(Tp::PendingOperation *operation) const;
    void forget(Tp::PendingOperation *operation);

    // Whether this library waits for a channel for the conversation.
    bool isPending(const ChatContext &context) const;
    // The handler has made the session for the conversation's request.
    void answered(const ChatContext &context);
    // Whether a request in flight has still to bring the conversation's
    // session (the handler has not made it yet).
    bool awaitsSession(const ChatContext &context) const;

    // The dispatcher's answer to a request made right after the handler was
    // registered, before it has read the handler's filter: asked once more.
    static bool isHandlerRace(const QString &errorName, const QString &errorMessage);
    // Whether the context's request is being asked again after the race
    // (at most once), noting the failed request's object path.
    bool isRetrying(const ChatContext &context) const { return m_handlerRaceRetries.contains(context); }
    void retrying(const ChatContext &context, const QString &failedRequestPath);
    QString takeRetry(const ChatContext &context) { return m_handlerRaceRetries.take(context); }
    // A race failure whose outcome the retry reports: not for callers.
    bool isSwallowedHandlerRace(const QString &requestPath, const ChatContext &context,
                                const QString &errorName, const QString &errorMessage) const;

    // The manager's rule for "the same conversation": the same account path
    // string and chat type, and remote uids that match as addresses.
    static bool contextsMatch(const ChatContext &a, const ChatContext &b);
    // A Telepathy error as "name: message" for a ChatSessionError's message.
    static QString describeError(const QString &errorName, const QString &errorMessage);

private:
    QHash<ChatContext, Tp::PendingOperation *> m_pending;
    QSet<ChatContext> m_answered; // keys of m_pending whose session was made
    QHash<Tp::PendingOperation *, ChatContext> m_requested;
    QHash<ChatContext, QString> m_handlerRaceRetries;
};

#endif // MESSAGING0_CHANNELREQUESTER_H
