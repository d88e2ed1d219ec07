// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "bannerservice.h"

#include "messaginglogging.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

class BannerServicePrivate
{
public:
    QString styleName;
    QString title;
};

BannerService::BannerService(QObject *parent)
    : QObject(parent)
    , d_ptr(new BannerServicePrivate)
{
}

BannerService::~BannerService()
{
    delete d_ptr;
}

QString BannerService::styleName() const { return d_func()->styleName; }
void BannerService::setStyleName(const QString &styleName) { d_func()->styleName = styleName; }
QString BannerService::title() const { return d_func()->title; }
void BannerService::setTitle(const QString &title) { d_func()->title = title; }

void BannerService::appear(bool deleteWhenDone)
{
    Q_D(BannerService);
    auto finish = [this, deleteWhenDone](bool shown) {
        Q_EMIT appeared(shown);
        if (deleteWhenDone)
            deleteLater();
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcPlatform) << "no session bus; banner not shown:" << d->title;
        QMetaObject::invokeMethod(this, [finish] { finish(false); }, Qt::QueuedConnection);
        return;
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("transient"), true);
    if (!d->styleName.isEmpty())
        hints.insert(QStringLiteral("category"), d->styleName);
    const QString application = QCoreApplication::applicationName().isEmpty()
        ? QStringLiteral("messaging0") : QCoreApplication::applicationName();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // A banner is one line: its title is the summary.
    call << application << uint(0) << QString() << d->title << QString() << QStringList() << hints
         << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [finish](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            qCWarning(lcPlatform) << "banner not shown:" << reply.error().message();
        finish(!reply.isError());
    });
}
