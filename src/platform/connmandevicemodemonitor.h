#ifndef MESSAGING0_CONNMANDEVICEMODEMONITOR_H
#define MESSAGING0_CONNMANDEVICEMODEMONITOR_H

#include "devicemodemonitor.h"

#include <QDBusConnection>
#include <QDBusVariant>

class QDBusServiceWatcher;

// Flight mode as ConnMan's "OfflineMode" ("net.connman.Manager" at "/" on the
// system bus). Everything is asynchronous: the mode is read when the service
// appears and followed through PropertyChanged; UnknownMode while ConnMan is
// not running. ConnMan has no packaged Qt binding, hence plain QtDBus.
class ConnmanDeviceModeMonitor : public DeviceModeMonitor
{
    Q_OBJECT

public:
    explicit ConnmanDeviceModeMonitor(QObject *parent = nullptr);
    ~ConnmanDeviceModeMonitor() override;

    DeviceMode getMode() const override;
    void setMode(DeviceModeMonitor::DeviceMode mode) override;

private Q_SLOTS:
    void handlePropertyChanged(const QString &name, const QDBusVariant &value);

private:
    void readProperties();
    void report(DeviceMode mode, bool always = false);

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr; // child of this
    DeviceMode m_mode = UnknownMode;
};

#endif // MESSAGING0_CONNMANDEVICEMODEMONITOR_H
