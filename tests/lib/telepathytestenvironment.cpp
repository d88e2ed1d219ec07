// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "telepathytestenvironment.h"

#include "testhelpers.h"

#include <TelepathyQt/AbstractClientHandler>
#include <TelepathyQt/ChannelClassSpec>
#include <TelepathyQt/ChannelFactory>
#include <TelepathyQt/Connection>
#include <TelepathyQt/ConnectionFactory>
#include <TelepathyQt/ContactFactory>
#include <TelepathyQt/Debug>
#include <TelepathyQt/MethodInvocationContext>
#include <TelepathyQt/ContactManager>
#include <TelepathyQt/PendingChannelRequest>
#include <TelepathyQt/PendingContacts>
#include <TelepathyQt/PendingReady>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDeadlineTimer>

#include <algorithm>

const QString TelepathyTestEnvironment::CellularAccountPath = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
const QString TelepathyTestEnvironment::MmsAccountPath = QStringLiteral("/org/freedesktop/Telepathy/Account/vexo/mms/mms0");
const QString TelepathyTestEnvironment::ImAccountPath = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString TelepathyTestEnvironment::DisabledImAccountPath = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/bob0");
const QString TelepathyTestEnvironment::TestHandlerName = QStringLiteral("MessagingTest");
const QString TelepathyTestEnvironment::TestHandlerBusName = QStringLiteral("org.freedesktop.Telepathy.Client.MessagingTest");

namespace {

// Asks the bus directly, bypassing every cache, so that a failure report
// says which side of a stuck connection is stuck.
QVariant busProperty(const QString &service, const QString &path, const QString &interface, const QString &name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QStringLiteral("<%1>").arg(reply.errorName());
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

QString describeConnection(const QString &accountPath)
{
    const QString mc = QStringLiteral("org.freedesktop.Telepathy.AccountManager");
    const QVariant status = busProperty(mc, accountPath, TP_QT_IFACE_ACCOUNT, QStringLiteral("ConnectionStatus"));
    const QVariant connection = busProperty(mc, accountPath, TP_QT_IFACE_ACCOUNT, QStringLiteral("Connection"));
    const QString connectionPath = connection.value<QDBusObjectPath>().path();
    QString text = QStringLiteral("Mission Control says status %1, connection %2")
                       .arg(status.toString(), connectionPath.isEmpty() ? connection.toString() : connectionPath);
    if (connectionPath.size() > 1) {
        QString service = connectionPath.mid(1);
        service.replace(QLatin1Char('/'), QLatin1Char('.'));
        text += QStringLiteral(", the connection says status %1")
                    .arg(busProperty(service, connectionPath, TP_QT_IFACE_CONNECTION, QStringLiteral("Status"))
                             .toString());
    }
    return text;
}

const QString PersistentIdKey = QStringLiteral("com.tavik.Telepathy.Channel.Interface.Persistent.PersistentID");

bool matchesTarget(const Tp::ChannelPtr &channel, uint handleType, const QString &target)
{
    const QVariantMap props = channel->immutableProperties();
    if (props.value(TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetHandleType")).toUInt() != handleType)
        return false;
    const QString key = handleType == Tp::HandleTypeNone ? PersistentIdKey : TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetID");
    return props.value(key).toString() == target;
}

} // namespace

class TelepathyTestEnvironment::Handler : public Tp::AbstractClientHandler
{
public:
    explicit Handler(TelepathyTestEnvironment *environment)
        : Tp::AbstractClientHandler(filter())
        , m_environment(environment)
    {
    }

    bool bypassApproval() const override { return true; }

    // Text channels of any kind. One property only, so that Mission Control
    // ranks the library's handler "Messaging" (which names the handle type
    // as well) first unless a request prefers MessagingTest.
    static Tp::ChannelClassSpecList filter()
    {
        QVariantMap textOnly;
        textOnly[TP_QT_IFACE_CHANNEL + QStringLiteral(".ChannelType")] = TP_QT_IFACE_CHANNEL_TYPE_TEXT;
        return Tp::ChannelClassSpecList() << Tp::ChannelClassSpec(textOnly);
    }

    void handleChannels(const Tp::MethodInvocationContextPtr<> &context, const Tp::AccountPtr &,
                        const Tp::ConnectionPtr &, const QList<Tp::ChannelPtr> &channels,
                        const QList<Tp::ChannelRequestPtr> &, const QDateTime &,
                        const Tp::AbstractClientHandler::HandlerInfo &) override
    {
        if (m_environment)
            m_environment->onChannelsHandled(channels);
        context->setFinished();
    }

    QPointer<TelepathyTestEnvironment> m_environment;
};

TelepathyTestEnvironment::TelepathyTestEnvironment(QObject *parent)
    : QObject(parent)
{
    Tp::registerTypes();
}

TelepathyTestEnvironment::~TelepathyTestEnvironment()
{
    settle();
    if (m_registrar && m_handler)
        m_registrar->unregisterClient(Tp::AbstractClientPtr::dynamicCast(m_handler));
    qDeleteAll(m_controls);
}

bool TelepathyTestEnvironment::init(int timeoutMs)
{
    Tp::enableDebug(qEnvironmentVariableIsSet("MESSAGING_TEST_TP_DEBUG"));
    Tp::enableWarnings(true);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Tp::ChannelFactoryPtr channelFactory = Tp::ChannelFactory::create(bus);
    const Tp::Features textFeatures = Tp::Features() << Tp::TextChannel::FeatureCore
                                                     << Tp::TextChannel::FeatureMessageQueue
                                                     << Tp::TextChannel::FeatureMessageSentSignal;
    channelFactory->addFeaturesForTextChats(textFeatures);
    channelFactory->addFeaturesForTextChatrooms(textFeatures);
    channelFactory->addFeaturesFor(Tp::ChannelClassSpec(TP_QT_IFACE_CHANNEL_TYPE_TEXT, Tp::HandleTypeNone),
                                   textFeatures);
    m_accountManager = Tp::AccountManager::create(
        bus, Tp::AccountFactory::create(bus, Tp::Account::FeatureCore),
        Tp::ConnectionFactory::create(bus, Tp::Features() << Tp::Connection::FeatureCore
                                               << Tp::Connection::FeatureConnected
                                               << Tp::Connection::FeatureSelfContact),
        channelFactory, Tp::ContactFactory::create());
    if (!expectSuccessfulCall(m_accountManager->becomeReady(), timeoutMs))
        return false;

    m_registrar = Tp::ClientRegistrar::create(m_accountManager);
    m_handler = Tp::SharedPtr<Handler>(new Handler(this));
    if (!m_registrar->registerClient(Tp::AbstractClientPtr::dynamicCast(m_handler), TestHandlerName, false)) {
        qWarning("TelepathyTestEnvironment: cannot register the handler %s", qPrintable(TestHandlerName));
        return false;
    }
    return true;
}

void TelepathyTestEnvironment::onChannelsHandled(const QList<Tp::ChannelPtr> &channels)
{
    for (const Tp::ChannelPtr &channel : channels) {
        Tp::TextChannelPtr text = Tp::TextChannelPtr::qObjectCast(channel);
        if (!text)
            continue;
        m_handled << text;
        Q_EMIT channelHandled(text);
    }
}

Tp::AccountPtr TelepathyTestEnvironment::account(const QString &path, int timeoutMs)
{
    if (!m_accountManager) {
        qWarning("TelepathyTestEnvironment: init() first");
        return Tp::AccountPtr();
    }
    Tp::AccountPtr account = m_accountManager->accountForObjectPath(path);
    if (!account) {
        qWarning("TelepathyTestEnvironment: no account %s", qPrintable(path));
        return Tp::AccountPtr();
    }
    if (!account->isReady() && !expectSuccessfulCall(account->becomeReady(), timeoutMs))
        return Tp::AccountPtr();
    return account;
}

Tp::AccountPtr TelepathyTestEnvironment::connectedAccount(const QString &path, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    Tp::AccountPtr acc = account(path, timeoutMs);
    if (!acc)
        return acc;
    auto connected = [acc] {
        return acc->connectionStatus() == Tp::ConnectionStatusConnected && acc->connection()
            && acc->connection()->isValid() && acc->connection()->isReady(Tp::Connection::FeatureConnected);
    };
    // Rarely, and only with the whole suite running, Telepathy-Qt's view of
    // a freshly started account stays "connecting" for good while Mission
    // Control and the connection both say connected (seen under the
    // sanitizers; our connection manager connects at once). Say what each
    // side reports, then ask once for a new connection, which clears it.
    const int patience = std::min(15000, int(deadline.remainingTime()) / 2);
    if (!waitUntil(connected, patience) && acc->connectionStatus() == Tp::ConnectionStatusConnecting) {
        qWarning("TelepathyTestEnvironment: %s still connecting after %d ms; %s; reconnecting", qPrintable(path),
                 patience, qPrintable(describeConnection(path) + describeManager(path)));
        acc->reconnect();
    }
    if (!waitUntil(connected, int(deadline.remainingTime()))) {
        qWarning("TelepathyTestEnvironment: %s did not connect (status %d, error \"%s\"); %s", qPrintable(path),
                 int(acc->connectionStatus()), qPrintable(acc->connectionError()),
                 qPrintable(describeConnection(path) + describeManager(path)));
        return Tp::AccountPtr();
    }
    return acc;
}

QVariantMap TelepathyTestEnvironment::textChannelRequest(uint handleType, const QString &target)
{
    QVariantMap request;
    request[TP_QT_IFACE_CHANNEL + QStringLiteral(".ChannelType")] = TP_QT_IFACE_CHANNEL_TYPE_TEXT;
    request[TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetHandleType")] = handleType;
    if (handleType == Tp::HandleTypeNone)
        request[PersistentIdKey] = target;
    else
        request[TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetID")] = target;
    return request;
}

Tp::TextChannelPtr TelepathyTestEnvironment::ensureTextChannel(const QString &accountPath, uint handleType,
                                                               const QString &target, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    Tp::AccountPtr acc = connectedAccount(accountPath, timeoutMs);
    if (!acc)
        return Tp::TextChannelPtr();
    Tp::PendingChannelRequest *request = acc->ensureChannel(textChannelRequest(handleType, target),
                                                            QDateTime::currentDateTime(), TestHandlerBusName);
    if (!expectSuccessfulCall(request, int(deadline.remainingTime())))
        return Tp::TextChannelPtr();
    Tp::TextChannelPtr found;
    auto handled = [&] {
        for (int i = m_handled.size() - 1; i >= 0; --i) {
            const Tp::TextChannelPtr &channel = m_handled.at(i);
            if (channel->isValid() && matchesTarget(channel, handleType, target)) {
                found = channel;
                return true;
            }
        }
        return false;
    };
    if (!waitUntil(handled, int(deadline.remainingTime()))) {
        qWarning("TelepathyTestEnvironment: no channel for %s was handed to %s", qPrintable(target),
                 qPrintable(TestHandlerName));
        return Tp::TextChannelPtr();
    }
    return found;
}

Tp::TextChannelPtr TelepathyTestEnvironment::waitForHandledChannel(const QString &objectPath, int timeoutMs)
{
    Tp::TextChannelPtr found;
    auto handled = [&] {
        for (const Tp::TextChannelPtr &channel : qAsConst(m_handled)) {
            if (channel->objectPath() == objectPath) {
                found = channel;
                return true;
            }
        }
        return false;
    };
    if (!waitUntil(handled, timeoutMs))
        qWarning("TelepathyTestEnvironment: channel %s was not handed to %s", qPrintable(objectPath),
                 qPrintable(TestHandlerName));
    return found;
}

QList<Tp::ContactPtr> TelepathyTestEnvironment::contacts(const Tp::ConnectionPtr &connection, const QStringList &ids,
                                                        int timeoutMs)
{
    if (!connection || !connection->isValid())
        return {};
    QList<Tp::ContactPtr> result;
    bool done = false;
    Tp::PendingContacts *pending = connection->contactManager()->contactsForIdentifiers(ids);
    connect(pending, &Tp::PendingOperation::finished, this, [&result, &done](Tp::PendingOperation *op) {
        if (!op->isError())
            result = static_cast<Tp::PendingContacts *>(op)->contacts();
        else
            qWarning("TelepathyTestEnvironment: no contacts: %s", qPrintable(op->errorMessage()));
        done = true;
    });
    if (!waitUntil([&done] { return done; }, timeoutMs)) {
        disconnect(pending, nullptr, this, nullptr);
        qWarning("TelepathyTestEnvironment: contacts did not arrive in time");
    }
    return result;
}

QString TelepathyTestEnvironment::managerOf(const QString &accountPath)
{
    // /org/freedesktop/Telepathy/Account/<manager>/<protocol>/<account>
    const QStringList parts = accountPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.size() == 7 ? parts.at(4) : QString();
}

bool TelepathyTestEnvironment::settle(int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    // A manager handles its calls in order, and a channel's Close (sent on
    // this same connection) emits Closed before the reply to any call that
    // followed it. A method of the control interface, not Peer.Ping, which
    // libdbus answers before the manager has handled what came first.
    int waiting = 0;
    QObject scope; // owns the watchers
    for (const QString &manager : {QStringLiteral("tala"), QStringLiteral("vexo"), QStringLiteral("loopback")}) {
        const QString service = TP_QT_CONNECTION_MANAGER_BUS_NAME_BASE + manager;
        if (!bus.interface()->isServiceRegistered(service))
            continue;
        QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/com/tavik/MessagingTest"),
                                                           QStringLiteral("com.tavik.MessagingTest.Control"),
                                                           QStringLiteral("Channels"));
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs), &scope);
        ++waiting;
        connect(watcher, &QDBusPendingCallWatcher::finished, &scope, [&waiting] { --waiting; });
    }
    if (!waitUntil([&waiting] { return waiting == 0; }, timeoutMs)) {
        qWarning() << "TelepathyTestEnvironment: the connection managers did not answer in time";
        return false;
    }
    // The answers came after the Closed signals: deliver the invalidations
    // these queued and the deletions that follow them.
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

QString TelepathyTestEnvironment::describeManager(const QString &accountPath)
{
    TestCmControl &manager = control(accountPath);
    if (!QDBusConnection::sessionBus().interface()->isServiceRegistered(manager.serviceName()))
        return QStringLiteral("; the connection manager %1 is not running").arg(manager.managerName());
    return QStringLiteral("; the connection manager has %1")
        .arg(manager.connections().join(QLatin1Char(' ')));
}

TestCmControl &TelepathyTestEnvironment::control(const QString &accountPath)
{
    const QString manager = managerOf(accountPath);
    TestCmControl *&control = m_controls[manager];
    if (!control)
        control = new TestCmControl(manager);
    return *control;
}

bool TelepathyTestEnvironment::dropConnection(const QString &accountPath, uint reason, int timeoutMs)
{
    Tp::AccountPtr acc = connectedAccount(accountPath, timeoutMs);
    if (!acc)
        return false;
    if (control(accountPath).dropConnection(acc->connection()->objectPath(), reason) != 1)
        return false;
    if (!waitUntil([acc] { return acc->connectionStatus() != Tp::ConnectionStatusConnected; }, timeoutMs)) {
        qWarning("TelepathyTestEnvironment: %s stayed connected", qPrintable(accountPath));
        return false;
    }
    return true;
}

bool TelepathyTestEnvironment::restoreConnection(const QString &accountPath, int timeoutMs)
{
    Tp::AccountPtr acc = account(accountPath, timeoutMs);
    if (!acc)
        return false;
    control(accountPath).restoreConnection();
    // Mission Control does not retry after a network error by itself here
    // (no connectivity monitor); a connection it is already bringing up has
    // just been let through. Ask Mission Control itself: this process's view
    // of the account may lag, and a needless Reconnect would tear down the
    // connection just restored.
    QDBusMessage get = QDBusMessage::createMethodCall(TP_QT_ACCOUNT_MANAGER_BUS_NAME, accountPath,
                                                      TP_QT_IFACE_PROPERTIES, QStringLiteral("Get"));
    get.setArguments({TP_QT_IFACE_ACCOUNT, QStringLiteral("ConnectionStatus")});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, timeoutMs);
    const uint status = reply.arguments().value(0).value<QDBusVariant>().variant().toUInt();
    if (reply.type() != QDBusMessage::ReplyMessage || status == Tp::ConnectionStatusDisconnected)
        acc->reconnect();
    return connectedAccount(accountPath, timeoutMs);
}
