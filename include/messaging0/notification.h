#ifndef MESSAGING0_NOTIFICATION_H
#define MESSAGING0_NOTIFICATION_H

#include "messaging0global.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class NotificationData;

// A notification of this application: event type (for example
// "x-tavik.messaging.error.strong"), summary, body and image. publish()
// hands it to the registered NotificationService (see PlatformServices),
// which shows it and keeps it listed until it is removed or closed.
class MESSAGING0_EXPORT Notification
{
public:
    Notification();
    Notification(const QString &eventType, const QString &summary, const QString &body);
    Notification(const Notification &other);
    Notification &operator=(const Notification &other);
    ~Notification();

    QString eventType() const;
    QString summary() const;
    QString body() const;
    QString image() const;
    // 0 until published; the id under which the service lists it.
    uint id() const;

    void setEventType(const QString &eventType);
    void setSummary(const QString &summary);
    void setBody(const QString &body);
    void setImage(const QString &image);
    // For NotificationService implementations.
    void setId(uint id);

    // False when the service could not take it (no session bus); the
    // server's answer arrives later and is never waited for.
    bool publish();
    // Withdraws a published notification; false when it is not listed.
    bool remove();

private:
    QSharedDataPointer<NotificationData> d;
};

Q_DECLARE_METATYPE(Notification)

#endif // MESSAGING0_NOTIFICATION_H
