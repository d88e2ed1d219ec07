// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "presenceuiservice.h"

#include "messaginglogging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

const char PresenceUiService::DefaultServiceName[] = "com.tavik.PresenceUi";

class PresenceUiServicePrivate
{
public:
    QString serviceName;
};

PresenceUiService::PresenceUiService(const QString &serviceName, QObject *parent)
    : QObject(parent)
    , d_ptr(new PresenceUiServicePrivate)
{
    Q_D(PresenceUiService);
    d->serviceName = serviceName.isEmpty() ? QString::fromLatin1(DefaultServiceName) : serviceName;
}

PresenceUiService::~PresenceUiService()
{
    delete d_ptr;
}

QString PresenceUiService::serviceName() const
{
    return d_func()->serviceName;
}

void PresenceUiService::showPresenceUi()
{
    Q_D(PresenceUiService);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcPlatform) << "no session bus; presence UI not shown";
        QMetaObject::invokeMethod(this, [this] { Q_EMIT presenceUiCallFinished(false); },
                                  Qt::QueuedConnection);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(d->serviceName, QStringLiteral("/com/tavik/PresenceUi"),
                                                       QStringLiteral("com.tavik.PresenceUi"),
                                                       QStringLiteral("ShowPresenceUi"));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, d](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<> reply = *w;
        if (reply.isError()) {
            qCWarning(lcPlatform) << "presence UI" << d->serviceName << "not shown:"
                                  << reply.error().name() << reply.error().message();
        }
        Q_EMIT presenceUiCallFinished(!reply.isError());
    });
}
