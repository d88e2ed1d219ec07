// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "sessionregistry.h"

#include "chatsession.h"
#include "chatsessionclose.h"
#include "sameconversation.h"

#include <algorithm>

// --- SessionIndex -----------------------------------------------------------

void SessionIndex::insertSlot(const ConversationKey &key, const Slot &slot)
{
    // Keep creation order.
    QList<Slot> &bucket = m_buckets[key];
    int i = bucket.size();
    while (i > 0 && bucket.at(i - 1).sequence > slot.sequence)
        --i;
    bucket.insert(i, slot);
}

QWeakPointer<ChatSession> SessionIndex::takeSlot(const Entry &entry)
{
    auto bucket = m_buckets.find(entry.key);
    if (bucket == m_buckets.end())
        return QWeakPointer<ChatSession>();
    QWeakPointer<ChatSession> taken;
    for (int i = 0; i < bucket->size(); ++i) {
        if (bucket->at(i).sequence == entry.sequence) {
            taken = bucket->takeAt(i).session;
            break;
        }
    }
    if (bucket->isEmpty())
        m_buckets.erase(bucket);
    return taken;
}

void SessionIndex::insert(const ChatSessionPtr &session)
{
    const Entry entry { m_nextSequence++, conversationKey(session->context()) };
    m_entries.insert(session.data(), entry);
    insertSlot(entry.key, Slot { entry.sequence, session.toWeakRef() });
}

void SessionIndex::rekey(ChatSession *session)
{
    auto entry = m_entries.find(session);
    if (entry == m_entries.end())
        return;
    const QWeakPointer<ChatSession> weak = takeSlot(*entry);
    entry->key = conversationKey(session->context());
    if (!weak.isNull())
        insertSlot(entry->key, Slot { entry->sequence, weak });
}

void SessionIndex::remove(const QObject *session)
{
    auto entry = m_entries.find(session);
    if (entry == m_entries.end())
        return;
    takeSlot(*entry);
    m_entries.erase(entry);
}

ChatSessionPtr SessionIndex::find(const ChatContext &context) const
{
    auto it = m_buckets.constFind(conversationKey(context));
    if (it == m_buckets.constEnd())
        return ChatSessionPtr();
    for (const Slot &slot : qAsConst(*it)) {
        const ChatSessionPtr session = slot.session.toStrongRef();
        if (session && isSameConversation(session->context(), context))
            return session;
    }
    return ChatSessionPtr();
}

// --- SessionRegistry ----------------------------------------------------------

// Sessions may outlive the manager: their connections to it go with it.
SessionRegistry::~SessionRegistry() = default;

void SessionRegistry::add(const ChatSessionPtr &session)
{
    ChatSession *raw = session.data();
    connect(raw, &ChatSession::remoteUidChanged, this, [this, raw] { m_index.rekey(raw); });
    connect(session.data(), &QObject::destroyed, this,
            [this](QObject *gone) { m_index.remove(gone); });
    m_sessions.erase(std::remove_if(m_sessions.begin(), m_sessions.end(),
                                    [](const QWeakPointer<ChatSession> &s) { return s.isNull(); }),
                     m_sessions.end());
    m_sessions.append(session.toWeakRef());
    m_index.insert(session);
}

ChatSessionPtr SessionRegistry::find(const ChatContext &context) const
{
    return m_index.find(context);
}

void SessionRegistry::letGo(ChatSession *session)
{
    // Deleted ones are dropped as their conversation's list is touched,
    // and every list once there are many conversations.
    if (m_letGo.size() > 64) {
        for (auto it = m_letGo.begin(); it != m_letGo.end();) {
            it->removeAll(nullptr);
            if (it->isEmpty())
                it = m_letGo.erase(it);
            else
                ++it;
        }
    }
    QList<QPointer<ChatSession>> &sessions = m_letGo[conversationKey(session->context())];
    sessions.removeAll(nullptr);
    sessions.append(session);
}

void SessionRegistry::closeLetGo(const ChatContext &context)
{
    const auto it = m_letGo.find(conversationKey(context));
    if (it == m_letGo.end())
        return;
    it->removeAll(nullptr);
    for (const QPointer<ChatSession> &session : qAsConst(*it)) {
        if (session && isSameConversation(session->context(), context))
            closeChannelNow(session);
    }
    if (it->isEmpty())
        m_letGo.erase(it);
}

ChatSessionPtr SessionRegistry::findByChannelPath(const QString &channelPath) const
{
    for (const QWeakPointer<ChatSession> &weak : m_sessions) {
        const ChatSessionPtr session = weak.toStrongRef();
        if (session && session->channelPath() == channelPath)
            return session;
    }
    return ChatSessionPtr();
}
