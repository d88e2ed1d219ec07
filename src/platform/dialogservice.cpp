// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "dialogservice.h"
#include "dialogservice_p.h"

#include "librarycatalogue.h"

#include "messaginglogging.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
const QString AcceptAction = QStringLiteral("accept");
const QString DeclineAction = QStringLiteral("decline");
} // namespace

DialogServicePrivate::DialogServicePrivate(DialogService *q)
    : q_ptr(q)
{
}

DialogServicePrivate::~DialogServicePrivate()
{
    stopWatching();
}

void DialogServicePrivate::watchServerSignals()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                SLOT(handleActionInvoked(uint,QString)));
    bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                SLOT(handleNotificationClosed(uint,uint)));
    watching = true;
}

void DialogServicePrivate::stopWatching()
{
    if (!watching)
        return;
    watching = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.disconnect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                   SLOT(handleActionInvoked(uint,QString)));
    bus.disconnect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                   SLOT(handleNotificationClosed(uint,uint)));
}

void DialogServicePrivate::handleActionInvoked(uint id, const QString &action)
{
    Q_Q(DialogService);
    if (serverId == 0 || id != serverId)
        return;
    q->done(action == AcceptAction ? DialogService::Accepted : DialogService::Rejected);
}

void DialogServicePrivate::handleNotificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason)
    Q_Q(DialogService);
    if (serverId == 0 || id != serverId)
        return;
    q->done(DialogService::Rejected);
}

DialogService::DialogService(const QString &text, int buttons, QObject *parent)
    : QObject(parent)
    , d_ptr(new DialogServicePrivate(this))
{
    Q_D(DialogService);
    d->text = text;
    d->buttons = buttons;
}

DialogService::~DialogService()
{
    delete d_ptr;
}

QString DialogService::text() const { return d_func()->text; }
int DialogService::buttons() const { return d_func()->buttons; }
QString DialogService::title() const { return d_func()->title; }
void DialogService::setTitle(const QString &title) { d_func()->title = title; }
bool DialogService::isModal() const { return d_func()->modal; }
void DialogService::setModal(bool modal) { d_func()->modal = modal; }
int DialogService::result() const { return d_func()->result; }
bool DialogService::isAnswered() const { return d_func()->answered; }

void DialogService::appear()
{
    Q_D(DialogService);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcPlatform) << "no session bus; question not asked:" << d->text;
        QMetaObject::invokeMethod(this, [this] { done(Rejected); }, Qt::QueuedConnection);
        return;
    }
    d->watchServerSignals();
    QVariantMap hints;
    // Stays until answered; shown above other notifications when modal.
    hints.insert(QStringLiteral("resident"), true);
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(d->modal ? 2 : 1)));
    hints.insert(QStringLiteral("category"), QStringLiteral("x-tavik.messaging.question"));
    const QStringList actions{AcceptAction, LibraryCatalogue::trId("lxr_msg_dialog_accept"),
                              DeclineAction, LibraryCatalogue::trId("lxr_msg_dialog_decline")};
    const QString application = QCoreApplication::applicationName().isEmpty()
        ? QStringLiteral("messaging0") : QCoreApplication::applicationName();
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    call << application << uint(0) << QString() << d->title << d->text.toHtmlEscaped() << actions
         << hints << int(0);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, d](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            qCWarning(lcPlatform) << "notification server did not take the question:"
                                  << reply.error().name() << reply.error().message();
            done(Rejected);
            return;
        }
        d->serverId = reply.value();
    });
}

void DialogService::done(int result)
{
    Q_D(DialogService);
    if (d->answered)
        return;
    d->answered = true;
    d->result = result;
    d->stopWatching();
    Q_EMIT disappeared();
}
