// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "connmandevicemodemonitor.h"

#include "messaginglogging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QVariantMap>

namespace {
const QString Service = QStringLiteral("net.connman");
const QString Path = QStringLiteral("/");
const QString Interface = QStringLiteral("net.connman.Manager");
const QString OfflineMode = QStringLiteral("OfflineMode");
} // namespace

DeviceModeMonitor::DeviceModeMonitor(QObject *parent)
    : QObject(parent)
{
    // For queued connections and QSignalSpy.
    qRegisterMetaType<DeviceModeMonitor::DeviceMode>();
}

DeviceModeMonitor::~DeviceModeMonitor() = default;

ConnmanDeviceModeMonitor::ConnmanDeviceModeMonitor(QObject *parent)
    : DeviceModeMonitor(parent)
    , m_bus(QDBusConnection::systemBus())
{
    if (!m_bus.isConnected()) {
        qCInfo(lcPlatform) << "no system bus; flight mode unknown";
        return;
    }
    m_watcher = new QDBusServiceWatcher(Service, m_bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { readProperties(); });
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        qCInfo(lcPlatform) << "ConnMan went away; flight mode unknown";
        report(UnknownMode);
    });
    m_bus.connect(Service, Path, Interface, QStringLiteral("PropertyChanged"), this,
                  SLOT(handlePropertyChanged(QString,QDBusVariant)));
    // The first reading is ConnMan's own, so that getMode() tells the truth
    // from the start; bounded, so that a hung ConnMan cannot hold the
    // caller for long. Without an answer in time the reading comes later.
    const QDBusMessage reply = m_bus.call(QDBusMessage::createMethodCall(Service, Path, Interface,
                                                                         QStringLiteral("GetProperties")),
                                          QDBus::Block, FirstReadingTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply"))
        readProperties();
    else
        takeProperties(reply);
}

ConnmanDeviceModeMonitor::~ConnmanDeviceModeMonitor()
{
    if (m_bus.isConnected()) {
        m_bus.disconnect(Service, Path, Interface, QStringLiteral("PropertyChanged"), this,
                         SLOT(handlePropertyChanged(QString,QDBusVariant)));
    }
}

DeviceModeMonitor::DeviceMode ConnmanDeviceModeMonitor::getMode() const
{
    return m_mode;
}

void ConnmanDeviceModeMonitor::setMode(DeviceModeMonitor::DeviceMode mode)
{
    if (mode != NormalMode && mode != FlightMode)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface,
                                                       QStringLiteral("SetProperty"));
    call << OfflineMode << QVariant::fromValue(QDBusVariant(mode == FlightMode));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<> reply = *w;
        if (!reply.isError())
            return; // PropertyChanged brings the new mode
        qCWarning(lcPlatform) << "could not change flight mode:" << reply.error().name()
                              << reply.error().message();
        // Whoever waits for the change learns that it did not happen.
        report(m_mode, true);
    });
}

void ConnmanDeviceModeMonitor::readProperties()
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface,
                                                       QStringLiteral("GetProperties"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        takeProperties(w->reply());
    });
}

void ConnmanDeviceModeMonitor::takeProperties(const QDBusMessage &reply)
{
    const QDBusReply<QVariantMap> properties(reply);
    if (!properties.isValid()) {
        qCInfo(lcPlatform) << "ConnMan not available:" << properties.error().message();
        report(UnknownMode);
        return;
    }
    const QVariant offline = properties.value().value(OfflineMode);
    report(!offline.isValid() ? UnknownMode : offline.toBool() ? FlightMode : NormalMode);
}

void ConnmanDeviceModeMonitor::handlePropertyChanged(const QString &name, const QDBusVariant &value)
{
    if (name == OfflineMode)
        report(value.variant().toBool() ? FlightMode : NormalMode, true);
}

void ConnmanDeviceModeMonitor::report(DeviceMode mode, bool always)
{
    if (mode == m_mode && !always)
        return;
    m_mode = mode;
    Q_EMIT deviceModeChanged(mode);
}
