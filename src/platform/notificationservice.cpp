// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "notificationservice.h"
#include "notificationservice_p.h"

#include "messaginglogging.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

QString applicationName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("messaging0") : name;
}
} // namespace

NotificationServicePrivate::NotificationServicePrivate(NotificationService *q)
    : q_ptr(q)
{
}

void NotificationServicePrivate::watchClosedSignal(QDBusConnection &bus)
{
    if (watchingClosed)
        return;
    watchingClosed = bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"),
                                 this, SLOT(handleNotificationClosed(uint,uint)));
}

int NotificationServicePrivate::indexOf(uint id) const
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).notification.id() == id)
            return i;
    }
    return -1;
}

void NotificationServicePrivate::handleNotifyReply(uint id, uint serverId, bool failed)
{
    Q_Q(NotificationService);
    if (closeWhenAnswered.remove(id)) {
        if (!failed)
            closeOnServer(serverId);
        return;
    }
    const int index = indexOf(id);
    if (index < 0)
        return;
    if (failed) {
        entries.removeAt(index);
        Q_EMIT q->notificationsChanged();
        return;
    }
    Entry &entry = entries[index];
    entry.serverId = serverId;
    entry.answerPending = false;
    if (entry.replaceWhenAnswered) {
        entry.replaceWhenAnswered = false;
        sendNotify(id, serverId);
    }
}

void NotificationServicePrivate::closeOnServer(uint serverId)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface,
                                                       QStringLiteral("CloseNotification"));
    call << serverId;
    // Nobody waits for the answer (a server that already closed it says so):
    // sent without a pending call, which would otherwise stay behind in a
    // program that ends before the answer comes.
    bus.send(call);
}

void NotificationServicePrivate::handleNotificationClosed(uint serverId, uint reason)
{
    Q_UNUSED(reason)
    Q_Q(NotificationService);
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).serverId == serverId) {
            entries.removeAt(i);
            Q_EMIT q->notificationsChanged();
            return;
        }
    }
}

NotificationService::NotificationService(QObject *parent)
    : QObject(parent)
    , d_ptr(new NotificationServicePrivate(this))
{
}

NotificationService::~NotificationService()
{
    delete d_ptr;
}

void NotificationServicePrivate::reportFailure(const QString &kind, const QString &detail)
{
    if (reportedFailures.contains(kind)) {
        qCDebug(lcPlatform) << "notification not shown:" << kind << detail;
        return;
    }
    reportedFailures.insert(kind);
    qCWarning(lcPlatform).noquote() << "notifications are not shown:" << kind << detail
                                    << "(reported once)";
}

void NotificationServicePrivate::sendNotify(uint id, uint replacesServerId)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const int index = indexOf(id);
    if (index < 0)
        return;
    const Notification &notification = entries.at(index).notification;
    QVariantMap hints;
    hints.insert(QStringLiteral("category"), notification.eventType());
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface,
                                                       QStringLiteral("Notify"));
    // Bodies are plain text here, but servers read them as markup: a remote
    // id like "<b>" must show as written.
    call << applicationName() << replacesServerId << notification.image() << notification.summary()
         << notification.body().toHtmlEscaped() << QStringList() << hints << int(-1);
    entries[index].answerPending = true;

    // Asynchronous: a missing or hung server must never stall a send.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, id](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        w->deleteLater();
        if (reply.isError())
            reportFailure(reply.error().name(), reply.error().message());
        handleNotifyReply(id, reply.isError() ? 0 : reply.value(), reply.isError());
    });
}

uint NotificationService::publish(const Notification &notification)
{
    Q_D(NotificationService);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        d->reportFailure(QStringLiteral("no session bus"), notification.eventType());
        return 0;
    }
    d->watchClosedSignal(bus);

    // Still listed: the server replaces the shown one (same place, no
    // second notification). Before the server has told its id, the new
    // content waits for that answer.
    const int listed = notification.id() != 0 ? d->indexOf(notification.id()) : -1;
    if (listed >= 0) {
        NotificationServicePrivate::Entry &entry = d->entries[listed];
        entry.notification = notification;
        if (entry.answerPending)
            entry.replaceWhenAnswered = true;
        else
            d->sendNotify(notification.id(), entry.serverId);
        Q_EMIT notificationsChanged();
        return notification.id();
    }

    const uint id = ++d->lastId;
    NotificationServicePrivate::Entry entry;
    entry.notification = notification;
    entry.notification.setId(id);
    d->entries.append(entry);
    d->sendNotify(id, 0);
    Q_EMIT notificationsChanged();
    return id;
}

bool NotificationService::remove(uint id)
{
    Q_D(NotificationService);
    const int index = d->indexOf(id);
    if (index < 0)
        return false;
    const uint serverId = d->entries.at(index).serverId;
    d->entries.removeAt(index);
    if (serverId != 0)
        d->closeOnServer(serverId);
    else
        d->closeWhenAnswered.insert(id);
    Q_EMIT notificationsChanged();
    return true;
}

QList<Notification> NotificationService::notifications(const QString &eventType) const
{
    Q_D(const NotificationService);
    QList<Notification> result;
    for (const NotificationServicePrivate::Entry &entry : d->entries) {
        if (eventType.isEmpty() || entry.notification.eventType() == eventType)
            result.append(entry.notification);
    }
    return result;
}
