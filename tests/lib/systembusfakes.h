// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_SYSTEMBUSFAKES_H
#define MESSAGING_SYSTEMBUSFAKES_H

#include <QDBusConnection>
#include <QList>
#include <QString>
#include <QVariant>

class QProcess;

// Drives the fake oFono and ConnMan that run-in-private-bus --system-bus
// starts on the private system bus (fakeofono.py, fakeconnman.py): sets
// the device state as the platform would, makes the services fail, vanish
// and come back. Tests registered with SYSTEMBUS only; never the machine's
// own system bus.
//
// Fixture at start: oFono with modem "/ril_0" (Online true, SIM Present
// true, PinRequired "none"); ConnMan with OfflineMode false.
class SystemBusFakes
{
public:
    static const QString Ofono;   // "org.ofono"
    static const QString Connman; // "net.connman"
    static const QString Modem;   // "/ril_0"

    SystemBusFakes();
    ~SystemBusFakes(); // ends the fakes it started itself, by PID

    // False unless DBUS_SYSTEM_BUS_ADDRESS is a private bus with both fakes.
    bool isReady() const;
    bool isRunning(const QString &service) const;

    // Ends the service's process (by the PID the bus tells) and waits until
    // its name is gone.
    bool stop(const QString &service);
    // Starts a fresh fake and waits for its name; parameters as the
    // template's (e.g. {"no_modem": true} or {"OfflineMode": true}).
    bool start(const QString &service, const QVariantMap &parameters = QVariantMap());
    // Back to the fixture's state: both running, fresh.
    bool restore();

    // The platform changes its state (with the services' own signals).
    bool setOfflineMode(bool offline);
    QVariant offlineMode() const;
    bool setModemOnline(bool online, const QString &modem = Modem);
    QVariant modemOnline(const QString &modem = Modem) const;
    bool setSimPresent(bool present, const QString &modem = Modem);
    bool setPinRequired(const QString &pin, const QString &modem = Modem);
    bool addModem(const QString &name);
    bool removeModem(const QString &name);

    // From now on the modem refuses to change (org.ofono.Error.Failed), or
    // takes requests without acting on them (the test reports by itself
    // with emitModemOnline()).
    bool failModemChanges(const QString &modem = Modem);
    bool holdModemChanges(const QString &modem = Modem);
    bool emitModemOnline(bool online, const QString &modem = Modem);
    // ConnMan refuses to change OfflineMode.
    bool refuseOfflineModeChanges();

private:
    bool call(const QString &service, const QString &path, const QString &interface,
              const QString &method, const QVariantList &args, QVariant *result = nullptr) const;
    bool replaceMethod(const QString &service, const QString &path, const QString &interface,
                       const QString &method, const QString &inSignature, const QString &code);
    bool waitForName(const QString &service, bool present) const;

    QDBusConnection m_bus;
    QList<QProcess *> m_started; // ours; ended in the destructor
};

#endif // MESSAGING_SYSTEMBUSFAKES_H
