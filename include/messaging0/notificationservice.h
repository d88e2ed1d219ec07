// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_NOTIFICATIONSERVICE_H
#define MESSAGING0_NOTIFICATIONSERVICE_H

#include "messaging0global.h"
#include "notification.h"

#include <QList>
#include <QObject>

class NotificationServicePrivate;

//! Shows this application's notifications.
//!
//! The default implementation talks to the freedesktop notification server
//! ("org.freedesktop.Notifications" on the session bus): the event type
//! travels as the "category" hint and the body is sent escaped (bodies are
//! plain text; servers may read markup). That API cannot list notifications, so
//! the service keeps the ones it published itself and forgets them when the
//! server reports them closed. Without a server, publishing fails quietly.
//!
//! A device with its own notification system subclasses this and registers
//! the subclass with PlatformServices::setNotificationService().
class MESSAGING0_EXPORT NotificationService : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(NotificationService)

public:
    //! The default implementation; PlatformServices::notificationService() gives the one in use.
    explicit NotificationService(QObject *parent = nullptr);
    ~NotificationService() override;

    //! Returns the id under which the notification is listed, 0 when it
    //! could not be handed to the server. A notification whose id() is
    //! still listed replaces the shown one and keeps its id (the server's
    //! "replaces_id"): one notification that changes, not a second one.
    virtual uint publish(const Notification &notification);
    //! Closes and forgets a listed notification; false for an unknown id.
    virtual bool remove(uint id);
    //! This application's notifications that are still shown, oldest first;
    //! only those of one event type when it is given.
    virtual QList<Notification> notifications(const QString &eventType = QString()) const;

Q_SIGNALS:
    //! A notification was listed or forgotten.
    void notificationsChanged();

private:
    Q_DISABLE_COPY(NotificationService)
    NotificationServicePrivate *const d_ptr;
};

#endif // MESSAGING0_NOTIFICATIONSERVICE_H
