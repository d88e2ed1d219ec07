// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The test connection manager: one process per manager name, started by D-Bus
// activation inside a test's private bus (see tests/lib/README.md).
//
//   messaging-test-cm <manager>
//
// Managers: "tala" (protocol "tel", the cellular SMS account), "vexo"
// (protocol "mms") and "loopback" (protocol "loop", instant messaging).

#include "testconnection.h"
#include "testcontrol.h"

#include <TelepathyQt/BaseConnectionManager>
#include <TelepathyQt/BaseProtocol>
#include <TelepathyQt/Constants>
#include <TelepathyQt/Debug>
#include <TelepathyQt/Types>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int quitPipe[2] = {-1, -1};

void writeQuitByte(int)
{
    const char byte = 1;
    const ssize_t written = ::write(quitPipe[1], &byte, 1);
    (void)written;
}

// The runner ends services with SIGTERM. Leaving through the event loop
// instead of dying lets destructors and the sanitizers' exit checks run
// (a leak in here is then reported like one in a test).
void quitOnTerminate(QCoreApplication *app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, quitPipe) != 0)
        return;
    // Owned by the application object, which outlives the event loop.
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [app, notifier] {
        notifier->setEnabled(false);
        app->quit();
    });
    struct sigaction action = {};
    action.sa_handler = writeQuitByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

struct Flavour {
    QString manager;
    QString protocol;
    QString englishName;
    QString vcardField;
    Tp::ProtocolParameterList parameters;
};

bool flavourFor(const QString &manager, Flavour *flavour)
{
    const Tp::ProtocolParameter account(QStringLiteral("account"), QStringLiteral("s"), Tp::ConnMgrParamFlags());
    if (manager == QLatin1String("tala")) {
        *flavour = Flavour{manager, QStringLiteral("tel"), QStringLiteral("Cellular"), QStringLiteral("tel"),
                           {account,
                            Tp::ProtocolParameter(QStringLiteral("org.freedesktop.Telepathy.Connection.Interface."
                                                                 "Cellular.MessageValidityPeriod"),
                                                  QStringLiteral("u"), Tp::ConnMgrParamFlags())}};
    } else if (manager == QLatin1String("vexo")) {
        *flavour = Flavour{manager, QStringLiteral("mms"), QStringLiteral("MMS"), QStringLiteral("tel"), {account}};
    } else if (manager == QLatin1String("loopback")) {
        *flavour = Flavour{manager, QStringLiteral("loop"), QStringLiteral("Loopback"), QStringLiteral("x-loop"),
                           {Tp::ProtocolParameter(QStringLiteral("account"), QStringLiteral("s"),
                                                  Tp::ConnMgrParamFlagRequired)}};
    } else {
        return false;
    }
    return true;
}

Tp::BaseProtocolPtr createProtocol(const Flavour &flavour, TestControl *control)
{
    Tp::BaseProtocolPtr protocol = Tp::BaseProtocol::create(flavour.protocol);
    protocol->setParameters(flavour.parameters);
    protocol->setEnglishName(flavour.englishName);
    protocol->setVCardField(flavour.vcardField);
    protocol->setIconName(QStringLiteral("im-") + flavour.protocol);
    protocol->setConnectionInterfaces({TP_QT_IFACE_CONNECTION_INTERFACE_REQUESTS,
                                       TP_QT_IFACE_CONNECTION_INTERFACE_CONTACTS,
                                       TP_QT_IFACE_CONNECTION_INTERFACE_SIMPLE_PRESENCE});
    protocol->setRequestableChannelClasses(Tp::RequestableChannelClassSpecList()
                                           << Tp::RequestableChannelClassSpec::textChat()
                                           << Tp::RequestableChannelClassSpec::textChatroom());
    const QString manager = flavour.manager;
    const QString protocolName = flavour.protocol;
    protocol->setCreateConnectionCallback([manager, protocolName, control](const QVariantMap &parameters,
                                                                             Tp::DBusError *) {
        return Tp::BaseConnectionPtr::dynamicCast(TestConnection::create(manager, protocolName, parameters, control));
    });
    protocol->setIdentifyAccountCallback([](const QVariantMap &parameters, Tp::DBusError *) {
        return parameters.value(QStringLiteral("account")).toString();
    });
    protocol->setNormalizeContactCallback([](const QString &id, Tp::DBusError *) { return id; });
    return protocol;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    quitOnTerminate(&app);
    Tp::registerTypes();
    Tp::enableDebug(qEnvironmentVariableIsSet("MESSAGING_TEST_CM_DEBUG"));
    Tp::enableWarnings(true);

    Flavour flavour;
    if (argc != 2 || !flavourFor(QString::fromLocal8Bit(argv[1]), &flavour)) {
        qCritical("usage: messaging-test-cm tala|vexo|loopback");
        return 2;
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCritical("messaging-test-cm: no session bus");
        return 1;
    }

    TestControl control(flavour.manager);
    bus.registerObject(QStringLiteral("/com/tavik/MessagingTest"), &control, QDBusConnection::ExportAllSlots);

    Tp::BaseConnectionManagerPtr manager = Tp::BaseConnectionManager::create(bus, flavour.manager);
    manager->addProtocol(createProtocol(flavour, &control));
    Tp::DBusError error;
    if (!manager->registerObject(&error)) {
        // Another instance owns the name already (a second activation).
        qWarning() << "messaging-test-cm: cannot register" << flavour.manager << error.name() << error.message();
        return 1;
    }

    // Leave with the bus: nothing else would end us when a test run is over.
    QTimer busWatch;
    QObject::connect(&busWatch, &QTimer::timeout, &app, [&app] {
        if (!QDBusConnection::sessionBus().isConnected())
            app.quit();
    });
    busWatch.start(500);

    return app.exec();
}
