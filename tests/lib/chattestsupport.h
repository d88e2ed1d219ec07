// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_CHATTESTSUPPORT_H
#define MESSAGING_CHATTESTSUPPORT_H

// Small pieces the chat and end-to-end tests share.

#include "chatsessionmanager.h"
#include "messagingtypes.h"
#include "testhelpers.h"

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

#endif
