// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CONNMANDEVICEMODEMONITOR_H
#define MESSAGING0_CONNMANDEVICEMODEMONITOR_H

#include "devicemodemonitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

class QDBusServiceWatcher;

// Flight mode as ConnMan's "OfflineMode" ("net.connman.Manager" at "/" on the
// system bus). The constructor reads the mode with a bounded call (at most
// FirstReadingTimeoutMs), so that getMode() is ConnMan's answer from the
// start; after that everything is asynchronous: the mode is read again when
// the service appears and followed through PropertyChanged; UnknownMode
// while ConnMan is not running. ConnMan has no packaged Qt binding, hence
// plain QtDBus.
class ConnmanDeviceModeMonitor : public DeviceModeMonitor
{
    Q_OBJECT

public:
    static constexpr int FirstReadingTimeoutMs = 500;

    explicit ConnmanDeviceModeMonitor(QObject *parent = nullptr);
    ~ConnmanDeviceModeMonitor() override;

    DeviceMode getMode() const override;
    void setMode(DeviceModeMonitor::DeviceMode mode) override;

private Q_SLOTS:
    void handlePropertyChanged(const QString &name, const QDBusVariant &value);

private:
    void readProperties();
    void takeProperties(const QDBusMessage &reply);
    void report(DeviceMode mode, bool always = false);

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr; // child of this
    DeviceMode m_mode = UnknownMode;
};

#endif // MESSAGING0_CONNMANDEVICEMODEMONITOR_H
