// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_INCOMINGNOTIFIER_H
#define MESSAGING0_INCOMINGNOTIFIER_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

class HistoryStore;
class IncomingNotifierPrivate;

//! The notification of incoming messages: one per conversation (thread),
//! whose summary is the contact's name or the number (TitleResolver; a
//! room's title for a group chat), whose body is the newest text with the
//! count of unread messages once there is more than one, updated in place
//! as messages arrive and withdrawn when the thread is read or removed.
//! Event type "x-tavik.messaging.incoming", through the registered
//! NotificationService.
//!
//! Whoever stores incoming messages calls messageStored(), or makes the
//! notifier follow a HistoryStore: then every unread incoming message that
//! any process stores is notified, and a thread read or removed in any
//! process withdraws its notification. The history recorder does that, so
//! notifications come also while no user interface runs. Thread keys are
//! the store's thread ids in decimal. Nothing is published for a thread that some process shows
//! (ActiveConversation::isActiveAnywhere()).
//!
//! One notifier publishes per session: each IncomingNotifier asks for the
//! bus name "com.tavik.Messaging.IncomingNotifier", queued; only the owner
//! publishes, and the next in the queue takes over when the owner's process
//! ends. The others stay quiet, so that two processes recording the same
//! message never make two notifications.
class MESSAGING0_EXPORT IncomingNotifier : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(IncomingNotifier)

public:
    //! A notifier that publishes what messageStored() is told, following no store.
    explicit IncomingNotifier(QObject *parent = nullptr);
    //! Follows the store's change notices (the store must outlive the notifier).
    explicit IncomingNotifier(HistoryStore *store, QObject *parent = nullptr);
    //! Withdraws nothing: the notifications stay shown after the process.
    ~IncomingNotifier() override;

    //! Whether this notifier is the one of the session that publishes.
    bool isPublisher() const;

    //! An incoming message of the thread is stored; unreadCount is the
    //! thread's count with it. remoteId names the sender of a one-to-one
    //! conversation; roomTitle, when not empty, is the summary instead (a
    //! group chat's topic or id).
    void messageStored(const QString &threadKey, const QString &accountPath,
                       const QString &remoteId, const QString &text, int unreadCount,
                       const QString &roomTitle = QString());
    //! The thread was read or removed (its unread count is 0): its
    //! notification goes.
    void threadRead(const QString &threadKey);
    //! The id under which the thread's notification is listed; 0 when none.
    uint notificationId(const QString &threadKey) const;

    //! The bus name that elects the publishing notifier.
    static QString busName();

private:
    Q_DISABLE_COPY(IncomingNotifier)
    IncomingNotifierPrivate *const d_ptr;
};

#endif // MESSAGING0_INCOMINGNOTIFIER_H
