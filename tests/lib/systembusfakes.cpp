// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "systembusfakes.h"

#include "testhelpers.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <csignal>
#include <sys/types.h>

const QString SystemBusFakes::Ofono = QStringLiteral("org.ofono");
const QString SystemBusFakes::Connman = QStringLiteral("net.connman");
const QString SystemBusFakes::Modem = QStringLiteral("/ril_0");

namespace {
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString ConnectionName = QStringLiteral("system-bus-fakes");

QString templateOf(const QString &service)
{
    return QStringLiteral(MESSAGING_TEST_LIB_DIR "/")
        + (service == SystemBusFakes::Ofono ? QStringLiteral("fakeofono.py")
                                            : QStringLiteral("fakeconnman.py"));
}
} // namespace

SystemBusFakes::SystemBusFakes()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SystemBus, ConnectionName))
{
}

SystemBusFakes::~SystemBusFakes()
{
    for (QProcess *process : qAsConst(m_started)) {
        if (process->state() != QProcess::NotRunning) {
            ::kill(pid_t(process->processId()), SIGTERM);
            process->waitForFinished(3000);
        }
        delete process;
    }
    QDBusConnection::disconnectFromBus(ConnectionName);
}

bool SystemBusFakes::isReady() const
{
    // The runner's private system bus lives in the run's own tree.
    const QByteArray address = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    const QByteArray tree = qgetenv("MESSAGING_TEST_TREE");
    return !tree.isEmpty() && address.contains(tree) && m_bus.isConnected()
        && isRunning(Ofono) && isRunning(Connman);
}

bool SystemBusFakes::isRunning(const QString &service) const
{
    QVariant owned;
    return call(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"), {service}, &owned)
        && owned.toBool();
}

bool SystemBusFakes::waitForName(const QString &service, bool present) const
{
    return waitUntil([&] { return isRunning(service) == present; }, 10000);
}

bool SystemBusFakes::stop(const QString &service)
{
    QVariant pid;
    if (!call(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
              QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"),
              {service}, &pid))
        return !isRunning(service);
    ::kill(pid_t(pid.toUInt()), SIGTERM);
    return waitForName(service, false);
}

bool SystemBusFakes::start(const QString &service, const QVariantMap &parameters)
{
    if (isRunning(service) && !stop(service))
        return false;
    QStringList arguments{QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                          QStringLiteral("--template"), templateOf(service)};
    if (!parameters.isEmpty()) {
        arguments << QStringLiteral("--parameters")
                  << QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(parameters)).toJson(QJsonDocument::Compact));
    }
    auto *process = new QProcess; // ours, ended in the destructor
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(QStringLiteral("/usr/bin/python3"), arguments);
    m_started.append(process);
    return process->waitForStarted(5000) && waitForName(service, true);
}

bool SystemBusFakes::restore()
{
    return start(Ofono) && start(Connman);
}

bool SystemBusFakes::call(const QString &service, const QString &path, const QString &interface,
                          const QString &method, const QVariantList &args, QVariant *result) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qWarning() << "SystemBusFakes:" << service << path << method << "failed:" << reply.errorMessage();
        return false;
    }
    if (result) {
        QVariant value = reply.arguments().value(0);
        if (value.canConvert<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        *result = value;
    }
    return true;
}

bool SystemBusFakes::setOfflineMode(bool offline)
{
    return call(Connman, QStringLiteral("/"), QStringLiteral("net.connman.Manager"), QStringLiteral("SetProperty"),
                {QStringLiteral("OfflineMode"), QVariant::fromValue(QDBusVariant(offline))});
}

QVariant SystemBusFakes::offlineMode() const
{
    QVariant value;
    call(Connman, QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
         {QStringLiteral("net.connman.Manager"), QStringLiteral("OfflineMode")}, &value);
    return value;
}

bool SystemBusFakes::setModemOnline(bool online, const QString &modem)
{
    return call(Ofono, modem, QStringLiteral("org.ofono.Modem"), QStringLiteral("SetProperty"),
                {QStringLiteral("Online"), QVariant::fromValue(QDBusVariant(online))});
}

QVariant SystemBusFakes::modemOnline(const QString &modem) const
{
    QVariant value;
    call(Ofono, modem, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
         {QStringLiteral("org.ofono.Modem"), QStringLiteral("Online")}, &value);
    return value;
}

bool SystemBusFakes::setSimPresent(bool present, const QString &modem)
{
    return call(Ofono, modem, QStringLiteral("org.ofono.SimManager"), QStringLiteral("SetProperty"),
                {QStringLiteral("Present"), QVariant::fromValue(QDBusVariant(present))});
}

bool SystemBusFakes::setPinRequired(const QString &pin, const QString &modem)
{
    return call(Ofono, modem, QStringLiteral("org.ofono.SimManager"), QStringLiteral("SetProperty"),
                {QStringLiteral("PinRequired"), QVariant::fromValue(QDBusVariant(pin))});
}

bool SystemBusFakes::addModem(const QString &name)
{
    return call(Ofono, QStringLiteral("/"), MockInterface, QStringLiteral("AddModem"),
                {name, QVariantMap()});
}

bool SystemBusFakes::removeModem(const QString &name)
{
    return call(Ofono, QStringLiteral("/"), MockInterface, QStringLiteral("RemoveModem"), {name});
}

bool SystemBusFakes::replaceMethod(const QString &service, const QString &path, const QString &interface,
                                   const QString &method, const QString &inSignature, const QString &code)
{
    return call(service, path, MockInterface, QStringLiteral("AddMethod"),
                {interface, method, inSignature, QString(), code});
}

bool SystemBusFakes::failModemChanges(const QString &modem)
{
    return replaceMethod(Ofono, modem, QStringLiteral("org.ofono.Modem"), QStringLiteral("SetProperty"),
                         QStringLiteral("sv"),
                         QStringLiteral("raise dbus.exceptions.DBusException('modem failed', name='org.ofono.Error.Failed')"));
}

bool SystemBusFakes::holdModemChanges(const QString &modem)
{
    return replaceMethod(Ofono, modem, QStringLiteral("org.ofono.Modem"), QStringLiteral("SetProperty"),
                         QStringLiteral("sv"), QStringLiteral("pass"));
}

bool SystemBusFakes::emitModemOnline(bool online, const QString &modem)
{
    // Store it as well, so that a later GetProperties agrees.
    const QString code = QStringLiteral("self.Set('org.ofono.Modem', 'Online', dbus.Boolean(%1)); "
                                        "self.EmitSignal('org.ofono.Modem', 'PropertyChanged', 'sv', "
                                        "['Online', dbus.Boolean(%1, variant_level=1)])")
                             .arg(online ? QStringLiteral("True") : QStringLiteral("False"));
    return replaceMethod(Ofono, modem, MockInterface, QStringLiteral("ReportOnline"), QString(), code)
        && call(Ofono, modem, MockInterface, QStringLiteral("ReportOnline"), {});
}

bool SystemBusFakes::refuseOfflineModeChanges()
{
    return replaceMethod(Connman, QStringLiteral("/"), QStringLiteral("net.connman.Manager"),
                         QStringLiteral("SetProperty"), QStringLiteral("sv"),
                         QStringLiteral("raise dbus.exceptions.DBusException('refused', name='net.connman.Error.PermissionDenied')"));
}
