// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "notification.h"

#include "notificationservice.h"
#include "platformservices.h"

class NotificationData : public QSharedData
{
public:
    QString eventType;
    QString summary;
    QString body;
    QString image;
    uint id = 0;
};

Notification::Notification()
    : d(new NotificationData)
{
}

Notification::Notification(const QString &eventType, const QString &summary, const QString &body)
    : d(new NotificationData)
{
    d->eventType = eventType;
    d->summary = summary;
    d->body = body;
}

Notification::Notification(const Notification &other) = default;
Notification &Notification::operator=(const Notification &other) = default;
Notification::~Notification() = default;

QString Notification::eventType() const { return d->eventType; }
QString Notification::summary() const { return d->summary; }
QString Notification::body() const { return d->body; }
QString Notification::image() const { return d->image; }
uint Notification::id() const { return d->id; }

void Notification::setEventType(const QString &eventType) { d->eventType = eventType; }
void Notification::setSummary(const QString &summary) { d->summary = summary; }
void Notification::setBody(const QString &body) { d->body = body; }
void Notification::setImage(const QString &image) { d->image = image; }
void Notification::setId(uint id) { d->id = id; }

bool Notification::publish()
{
    d->id = PlatformServices::notificationService()->publish(*this);
    return d->id != 0;
}

bool Notification::remove()
{
    if (d->id == 0)
        return false;
    const bool removed = PlatformServices::notificationService()->remove(d->id);
    d->id = 0;
    return removed;
}
