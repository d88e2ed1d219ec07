// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "requesttable.h"

#include "pendingchatsession.h"
#include "sessionrequest.h"

namespace {
// Enough for the dispatcher's late news of every request that answered
// around the same time.
constexpr int AnsweredPathsKept = 64;
} // namespace

RequestTable::RequestTable(ChatSessionManagerPrivate *manager)
    : m_manager(manager)
{
}

// Requests still open go with their parent, this table.
RequestTable::~RequestTable() = default;

SessionRequest *RequestTable::findOpen(const ChatContext &context) const
{
    const auto bucket = m_open.constFind(conversationKey(context));
    if (bucket == m_open.cend())
        return nullptr;
    for (SessionRequest *request : *bucket) {
        if (request->isOpen() && isSameConversation(request->context(), context))
            return request;
    }
    return nullptr;
}

void RequestTable::ensure(const ChatContext &context, PendingChatSession *waiter)
{
    if (SessionRequest *open = findOpen(context)) {
        open->addWaiter(waiter);
        return;
    }
    auto *request = new SessionRequest(m_manager, context, this);
    request->addWaiter(waiter);
    connect(request, &SessionRequest::decided, this, &RequestTable::remove);
    // Filed before it starts: it may be decided inside start().
    m_open[conversationKey(context)].append(request);
    request->start();
}

bool RequestTable::isPending(const ChatContext &context) const
{
    return findOpen(context) != nullptr;
}

SessionRequest *RequestTable::byRequestPath(const QString &requestPath)
{
    if (requestPath.isEmpty())
        return nullptr;
    if (SessionRequest *known = m_byPath.value(requestPath))
        return known;
    // Telepathy-Qt learns the path before it tells the dispatcher to
    // proceed, so before the handler hears of the request: filed the first
    // time the handler asks.
    for (const QList<SessionRequest *> &bucket : qAsConst(m_open)) {
        for (SessionRequest *request : bucket) {
            if (request->ownsRequestPath(requestPath)) {
                m_byPath.insert(requestPath, request);
                return request;
            }
        }
    }
    return nullptr;
}

bool RequestTable::isOwn(const QString &requestPath)
{
    return byRequestPath(requestPath) || (!requestPath.isEmpty() && m_answeredPaths.contains(requestPath));
}

void RequestTable::remove(SessionRequest *request)
{
    const ConversationKey key = conversationKey(request->context());
    auto bucket = m_open.find(key);
    if (bucket != m_open.end()) {
        bucket->removeAll(request);
        if (bucket->isEmpty())
            m_open.erase(bucket);
    }
    QStringList paths = request->requestPaths();
    for (auto it = m_byPath.begin(); it != m_byPath.end();) {
        if (it.value() == request) {
            paths << it.key();
            it = m_byPath.erase(it);
        } else {
            ++it;
        }
    }
    for (const QString &path : qAsConst(paths)) {
        if (!m_answeredPaths.contains(path))
            m_answeredPaths.append(path);
    }
    while (m_answeredPaths.size() > AnsweredPathsKept)
        m_answeredPaths.removeFirst();
}
