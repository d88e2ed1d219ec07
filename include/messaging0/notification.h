// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_NOTIFICATION_H
#define MESSAGING0_NOTIFICATION_H

#include "messaging0global.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class NotificationData;

//! A notification of this application: event type (for example
//! "x-tavik.messaging.error.strong"), summary, body and image. publish()
//! hands it to the registered NotificationService (see PlatformServices),
//! which shows it and keeps it listed until it is removed or closed.
class MESSAGING0_EXPORT Notification
{
public:
    //! An empty notification.
    Notification();
    //! A notification of the event type with its summary and body.
    Notification(const QString &eventType, const QString &summary, const QString &body);
    //! A shared copy.
    Notification(const Notification &other);
    //! Shares other's data.
    Notification &operator=(const Notification &other);
    ~Notification();

    //! The event type, such as "x-tavik.messaging.error".
    QString eventType() const;
    //! The one-line summary.
    QString summary() const;
    //! The body, plain text.
    QString body() const;
    //! The image (an icon name or a file path); empty when none.
    QString image() const;
    //! 0 until published; the id under which the service lists it.
    uint id() const;

    //! Sets the event type.
    void setEventType(const QString &eventType);
    //! Sets the summary.
    void setSummary(const QString &summary);
    //! Sets the body.
    void setBody(const QString &body);
    //! Sets the image.
    void setImage(const QString &image);
    //! For NotificationService implementations.
    void setId(uint id);

    //! False when the service could not take it (no session bus); the
    //! server's answer arrives later and is never waited for. Publishing
    //! again while it is shown updates it in place.
    bool publish();
    //! Withdraws a published notification; false when it is not listed.
    bool remove();

private:
    QSharedDataPointer<NotificationData> d;
};

Q_DECLARE_METATYPE(Notification)

#endif // MESSAGING0_NOTIFICATION_H
