// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// messaging-history: the recorder of the conversation history. Mission
// Control starts it by D-Bus activation when it has a text channel; it
// keeps every message of every text channel in the history
// (HistoryStore::instance()) and ends when it has had no channel for a few
// seconds. It also publishes the notifications of incoming messages
// (IncomingNotifier).

#include "historyobserver.h"

#include <messaging0/historystore.h>
#include <messaging0/incomingnotifier.h>
#include <messaging0/notificationservice.h>
#include <messaging0/platformservices.h>

#include <TelepathyQt/AccountFactory>
#include <TelepathyQt/ChannelFactory>
#include <TelepathyQt/ClientRegistrar>
#include <TelepathyQt/ConnectionFactory>
#include <TelepathyQt/ContactFactory>
#include <TelepathyQt/Debug>
#include <TelepathyQt/Types>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString ClientName = QStringLiteral("MessagingHistory");

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    ssize_t written = ::write(signalPipe[1], &byte, 1);
    (void)written;
}

} // namespace

int main(int argc, char *argv[])
{
    // As in the messaging program: the meta-type table must outlive
    // QtDBus's thread.
    qRegisterMetaType<QDBusArgument>();
    qRegisterMetaType<QDBusObjectPath>();
    qRegisterMetaType<QDBusVariant>();

    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("messaging-history"));
    QTextStream err(stderr);
    if (app.arguments().size() > 1) {
        err << "Usage: messaging-history\n"
               "Keeps the messages of every Telepathy text channel in the conversation\n"
               "history; Mission Control starts it when it has a channel.\n";
        return app.arguments().at(1) == QLatin1String("--help") ? 0 : 2;
    }

    Tp::registerTypes();
    Tp::enableDebug(false);
    Tp::enableWarnings(true);

    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        err << "messaging-history: no D-Bus session bus\n";
        return 3;
    }
    HistoryStore *store = HistoryStore::instance();
    if (!store->isOpen()) {
        err << "messaging-history: the history " << store->path() << " cannot be opened\n";
        return 1;
    }

    // The notification of each unread incoming message whose conversation
    // no process shows, withdrawn when it is read; from here, so that it
    // comes also while no user interface runs. Only this process can
    // withdraw what it published: it does not end while any is shown.
    IncomingNotifier notifier(store);

    // SIGTERM (the session ending) leaves through the event loop.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
    }

    const Tp::ClientRegistrarPtr registrar = Tp::ClientRegistrar::create(
        Tp::AccountFactory::create(bus, Tp::Features() << Tp::Account::FeatureCore),
        Tp::ConnectionFactory::create(bus), Tp::ChannelFactory::create(bus), Tp::ContactFactory::create());
    const Tp::SharedPtr<HistoryObserver> observer(new HistoryObserver(store));
    if (!registrar->registerClient(Tp::AbstractClientPtr(observer), ClientName, false)) {
        // The name is taken: another recorder runs for this session.
        err << "messaging-history: the client name " << ClientName << " is taken; another recorder runs\n";
        return 0;
    }
    // What this process shows: withdrawn on reading, dismissed by the user
    // or refused by the server.
    NotificationService *notifications = PlatformServices::notificationService();
    QObject::connect(observer.data(), &HistoryObserver::idle, &app, [&registrar, notifications] {
        if (!notifications->notifications().isEmpty())
            return;
        // Gives up the name first: a channel from now on starts a new recorder.
        registrar->unregisterClients();
        QCoreApplication::quit();
    });
    QObject::connect(notifications, &NotificationService::notificationsChanged, &app, [&observer, notifications] {
        if (notifications->notifications().isEmpty())
            observer->checkIdle();
    });
    const int code = app.exec();
    registrar->unregisterClients();
    return code;
}
