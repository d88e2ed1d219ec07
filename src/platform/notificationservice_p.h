// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_NOTIFICATIONSERVICE_P_H
#define MESSAGING0_NOTIFICATIONSERVICE_P_H

#include "notificationservice.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QSet>

class NotificationServicePrivate : public QObject
{
    Q_OBJECT
    Q_DECLARE_PUBLIC(NotificationService)

public:
    struct Entry
    {
        Notification notification; // carries the local id
        uint serverId = 0;         // 0 until Notify has answered
        bool answerPending = false; // a Notify for it is on its way
        bool replaceWhenAnswered = false; // newer content waits for the server's id
    };

    explicit NotificationServicePrivate(NotificationService *q);

    void watchClosedSignal(QDBusConnection &bus);
    int indexOf(uint id) const;
    void handleNotifyReply(uint id, uint serverId, bool failed);
    void closeOnServer(uint serverId);
    // Notify for the listed entry id, replacing the server's replacesServerId (0: new).
    void sendNotify(uint id, uint replacesServerId);

    QList<Entry> entries;
    // Removed before the server told us their id: closed when it does.
    QSet<uint> closeWhenAnswered;
    uint lastId = 0;
    bool watchingClosed = false;
    // Kinds of failure already reported: a missing server would otherwise
    // add a warning to every failed message.
    QSet<QString> reportedFailures;
    // A warning the first time, debug output after that.
    void reportFailure(const QString &kind, const QString &detail);
    NotificationService *const q_ptr;

public Q_SLOTS:
    void handleNotificationClosed(uint serverId, uint reason);
};

#endif // MESSAGING0_NOTIFICATIONSERVICE_P_H
