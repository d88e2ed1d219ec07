// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "ofonomodemfollower.h"

#include "messaginglogging.h"

#include <qofonomanager.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

OfonoModemFollower::OfonoModemFollower(QObject *parent)
    : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qCInfo(lcPlatform) << "no system bus; no modem";
        // Reported from the event loop, like every other answer.
        QTimer::singleShot(0, this, [this] { follow(QString()); });
        return;
    }
    m_manager = QOfonoManager::instance(false);
    connect(m_manager.data(), &QOfonoManager::modemsChanged, this,
            [this](const QStringList &modems) { follow(modems.value(0)); });
    connect(m_manager.data(), &QOfonoManager::availableChanged, this, [this](bool available) {
        if (!available)
            follow(QString());
        else
            follow(m_manager->modems().value(0));
    });
    if (m_manager->available()) {
        const QString first = m_manager->modems().value(0);
        QTimer::singleShot(0, this, [this, first] {
            if (!m_known)
                follow(first);
        });
        return;
    }
    // QOfonoManager stays silent while oFono is not running: ask the bus.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << QStringLiteral("org.ofono");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<bool> reply = *w;
        if (m_known)
            return;
        if (reply.isError() || !reply.value()) {
            qCInfo(lcPlatform) << "oFono is not running; no modem";
            follow(QString());
        }
        // else QOfonoManager reports the modems shortly.
    });
}

OfonoModemFollower::~OfonoModemFollower() = default;

void OfonoModemFollower::follow(const QString &path)
{
    if (m_known && path == m_path)
        return;
    m_known = true;
    m_path = path;
    qCDebug(lcPlatform) << "following modem" << (path.isEmpty() ? QStringLiteral("(none)") : path);
    Q_EMIT modemChanged(path);
}
