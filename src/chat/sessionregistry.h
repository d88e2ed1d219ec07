// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SESSIONREGISTRY_H
#define MESSAGING0_SESSIONREGISTRY_H

#include "chatcontext.h"
#include "messagingtypes.h"
#include "sameconversation.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWeakPointer>

// Live sessions by their conversation key, so that finding the session of a
// conversation does not compare phone numbers with every session there is.
// The same conversation always shares the key; isSameConversation() decides
// within a bucket, in creation order.
class SessionIndex
{
public:
    void insert(const ChatSessionPtr &session);
    // After the session's remote uid changed.
    void rekey(ChatSession *session);
    void remove(const QObject *session);
    // The first live session of the conversation, in creation order.
    ChatSessionPtr find(const ChatContext &context) const;

private:
    struct Slot
    {
        quint64 sequence;
        QWeakPointer<ChatSession> session;
    };
    struct Entry
    {
        quint64 sequence;
        ConversationKey key;
    };
    void insertSlot(const ConversationKey &key, const Slot &slot);
    QWeakPointer<ChatSession> takeSlot(const Entry &entry);

    quint64 m_nextSequence = 0;
    QHash<const QObject *, Entry> m_entries;
    QHash<ConversationKey, QList<Slot>> m_buckets;
};

// Every session the manager created, in creation order, held weakly: a
// session belongs to its ChatSessionPtr holders and dies with the last one.
//
// Owned by ChatSessionManagerPrivate (a member).
class SessionRegistry : public QObject
{
    Q_OBJECT

public:
    ~SessionRegistry() override;

    // Starts following the session: lookups find it until it is destroyed.
    void add(const ChatSessionPtr &session);

    // The first live session in creation order with exactly this account
    // path and chat type whose remote uid matches the wanted one.
    ChatSessionPtr find(const ChatContext &context) const;
    // The live session whose channel has this object path.
    ChatSessionPtr findByChannelPath(const QString &channelPath) const;
    const QList<QWeakPointer<ChatSession>> &sessions() const { return m_sessions; }

    // The last holder let go of the session, which the event loop deletes
    // later; lookups no longer find it.
    void letGo(ChatSession *session);
    // Closes now the channels of the sessions of the conversation that are
    // let go but not deleted yet. Called before asking for the conversation
    // again: their close, sent on deletion, would otherwise reach the
    // connection manager after the request, and the dispatcher would hand
    // back the channel that is about to go.
    void closeLetGo(const ChatContext &context);

private:
    QList<QWeakPointer<ChatSession>> m_sessions;
    // By conversation key, as the index files live ones.
    QHash<ConversationKey, QList<QPointer<ChatSession>>> m_letGo;
    SessionIndex m_index;
};

#endif // MESSAGING0_SESSIONREGISTRY_H
