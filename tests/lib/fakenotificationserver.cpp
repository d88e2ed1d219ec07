// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "fakenotificationserver.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString ConnectionName = QStringLiteral("fake-notification-server");
} // namespace

FakeNotificationServer::FakeNotificationServer()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, ConnectionName))
{
}

FakeNotificationServer::~FakeNotificationServer()
{
    stop();
    QDBusConnection::disconnectFromBus(ConnectionName);
}

bool FakeNotificationServer::start()
{
    return m_bus.isConnected()
        && m_bus.registerObject(Path, this, QDBusConnection::ExportAllSlots)
        && m_bus.registerService(Service);
}

void FakeNotificationServer::stop()
{
    m_bus.unregisterService(Service);
    m_bus.unregisterObject(Path);
}

void FakeNotificationServer::closeByServer(uint id, uint reason)
{
    QDBusMessage signal = QDBusMessage::createSignal(Path, Service,
                                                     QStringLiteral("NotificationClosed"));
    signal << id << reason;
    m_bus.send(signal);
}

void FakeNotificationServer::invokeAction(uint id, const QString &actionKey, bool thenClose)
{
    QDBusMessage signal = QDBusMessage::createSignal(Path, Service, QStringLiteral("ActionInvoked"));
    signal << id << actionKey;
    m_bus.send(signal);
    if (thenClose)
        closeByServer(id, 2);
}

int FakeNotificationServer::lastQuestion() const
{
    for (int i = shown.size() - 1; i >= 0; --i) {
        if (!shown.at(i).actions.isEmpty())
            return i;
    }
    return -1;
}

uint FakeNotificationServer::Notify(const QString &appName, uint replacesId,
                                    const QString &appIcon, const QString &summary,
                                    const QString &body, const QStringList &actions,
                                    const QVariantMap &hints, int expireTimeout)
{
    Q_UNUSED(expireTimeout)
    // A replacement keeps its id and its place, as servers show it.
    for (Shown &entry : shown) {
        if (replacesId != 0 && entry.id == replacesId) {
            entry = {replacesId, appName, appIcon, summary, body, hints, actions};
            Q_EMIT notified(replacesId);
            return replacesId;
        }
    }
    const uint id = ++m_lastId;
    shown.append({id, appName, appIcon, summary, body, hints, actions});
    Q_EMIT notified(id);
    return id;
}

void FakeNotificationServer::CloseNotification(uint id)
{
    closeRequests.append(id);
    Q_EMIT closeRequested(id);
    closeByServer(id, 3);
}

QStringList FakeNotificationServer::GetCapabilities()
{
    return {QStringLiteral("body"), QStringLiteral("body-markup")};
}

QString FakeNotificationServer::GetServerInformation(QString &vendor, QString &version,
                                                     QString &specVersion)
{
    vendor = QStringLiteral("messaging0 tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("fake");
}
