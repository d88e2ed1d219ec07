// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_CHATTESTSUPPORT_H
#define MESSAGING_CHATTESTSUPPORT_H

// Small pieces the chat and end-to-end tests share.

#include "chatsession.h"
#include "chatsessionmanager.h"
#include "messagingtypes.h"
#include "pendingchatsession.h"
#include "testhelpers.h"

#include <memory>

// A two-part text message as the message sender builds it.
inline MsgPartsList textParts(const QString &text)
{
    QMap<QString, QDBusVariant> body;
    body.insert(QStringLiteral("content-type"), QDBusVariant(QStringLiteral("text/plain")));
    body.insert(QStringLiteral("content"), QDBusVariant(text));
    return { QMap<QString, QDBusVariant>(), body };
}

// The process-wide manager, initialised and with its handler registered.
inline ChatSessionManager *readyManager(int timeoutMs = 20000)
{
    ChatSessionManager *manager = ChatSessionManager::instance();
    QSignalSpy ready(manager, &ChatSessionManager::managerReady);
    manager->initialize();
    if (ready.isEmpty())
        waitFor(ready, 1, timeoutMs);
    return manager->isReady() ? manager : nullptr;
}

// The sessions the manager's broadcast announces, by remote uid, with their
// "local" flag, and the order in which they finished their channel
// readiness. Requests of this library's are answered by their request
// objects (answered(), openSession()); what comes without one (incoming,
// asked for by another client) is announced before it is ready. A
// connection context: it stops recording when it goes.
struct IncomingSessions : QObject
{
    explicit IncomingSessions(ChatSessionManager *manager)
    {
        connect(manager, &ChatSessionManager::prepareChatSession, this, [this](ChatSessionPtr s, bool isLocal) {
            order << s->remoteUid();
            sessions.insert(s->remoteUid(), s);
            local.insert(s->remoteUid(), isLocal);
            connect(s.data(), &ChatSession::chatSessionReady, this, [this, id = s->remoteUid()] { readyOrder << id; });
        });
    }
    QStringList order;
    QHash<QString, ChatSessionPtr> sessions;
    QHash<QString, bool> local;
    QStringList readyOrder;
};

// Asks for the conversation and waits for the request's one answer. The
// request is the caller's (auto delete off); null when it did not finish
// in time.
inline std::unique_ptr<PendingChatSession> answered(ChatSessionManager *manager, const ChatContext &context,
                                                    int timeoutMs = 10000)
{
    std::unique_ptr<PendingChatSession> request(manager->ensureChatSession(context));
    request->setAutoDelete(false);
    QSignalSpy finished(request.get(), &PendingChatSession::finished);
    if (!finished.wait(timeoutMs)) {
        qWarning() << "No answer for" << context.remoteUid();
        return nullptr;
    }
    return request;
}

// The conversation's session, ready to chat; null (with a warning) when
// the request failed.
inline ChatSessionPtr openSession(ChatSessionManager *manager, const ChatContext &context, int timeoutMs = 10000)
{
    const std::unique_ptr<PendingChatSession> request = answered(manager, context, timeoutMs);
    if (request && request->isError())
        qWarning() << "Request for" << context.remoteUid() << "failed:" << request->error().type()
                   << request->error().errorName() << request->error().message();
    return request ? request->chatSession() : ChatSessionPtr();
}

#endif
