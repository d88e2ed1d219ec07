// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "testconnection.h"

#include "channelextras.h"
#include "testcontrol.h"

#include <TelepathyQt/Constants>

#include <QTimer>

namespace {

uint connectionCounter = 0;

const QString ContactIdAttribute = TP_QT_IFACE_CONNECTION + QStringLiteral("/contact-id");
const QString PresenceAttribute = TP_QT_IFACE_CONNECTION_INTERFACE_SIMPLE_PRESENCE + QStringLiteral("/presence");

Tp::SimpleStatusSpecMap presenceStatuses()
{
    auto status = [](Tp::ConnectionPresenceType type, bool maySetOnSelf) {
        return Tp::SimpleStatusSpec{uint(type), maySetOnSelf, true};
    };
    return {
        {QStringLiteral("available"), status(Tp::ConnectionPresenceTypeAvailable, true)},
        {QStringLiteral("away"), status(Tp::ConnectionPresenceTypeAway, true)},
        {QStringLiteral("busy"), status(Tp::ConnectionPresenceTypeBusy, true)},
        {QStringLiteral("hidden"), status(Tp::ConnectionPresenceTypeHidden, true)},
        {QStringLiteral("offline"), status(Tp::ConnectionPresenceTypeOffline, false)},
        // Only the connection itself reports it (SetSelfPresence).
        {QStringLiteral("error"), status(Tp::ConnectionPresenceTypeError, false)},
    };
}

} // namespace

Tp::SharedPtr<TestConnection> TestConnection::create(const QString &cmName, const QString &protocolName,
                                                     const QVariantMap &parameters, TestControl *control)
{
    Tp::SharedPtr<TestConnection> connection(
        new TestConnection(QDBusConnection::sessionBus(), cmName, protocolName, parameters, control));
    connection->setUp();
    return connection;
}

TestConnection::TestConnection(const QDBusConnection &bus, const QString &cmName, const QString &protocolName,
                               const QVariantMap &parameters, TestControl *control)
    : Tp::BaseConnection(bus, cmName, protocolName, parameters)
    , m_control(control)
    , m_serial(++connectionCounter)
{
}

QString TestConnection::uniqueName() const
{
    return QStringLiteral("connection_%1").arg(m_serial);
}

bool TestConnection::isCellular() const
{
    return protocolName() == QLatin1String("tel") || protocolName() == QLatin1String("mms");
}

void TestConnection::setUp()
{
    QString selfId = parameters().value(QStringLiteral("account")).toString();
    if (selfId.isEmpty())
        selfId = QStringLiteral("self");
    setSelfContact(ensureHandle(Tp::HandleTypeContact, selfId), selfId);

    setConnectCallback([this](Tp::DBusError *error) { connectRequested(error); });
    setCreateChannelCallback(
        [this](const QVariantMap &request, Tp::DBusError *error) { return createChannelRequested(request, error); });
    setInspectHandlesCallback([this](uint type, const Tp::UIntList &handles, Tp::DBusError *error) {
        return inspectHandles(type, handles, error);
    });
    setRequestHandlesCallback([this](uint type, const QStringList &ids, Tp::DBusError *error) {
        return requestHandles(type, ids, error);
    });

    auto requests = Tp::BaseConnectionRequestsInterface::create(this);
    for (uint handleType : {Tp::HandleTypeContact, Tp::HandleTypeRoom, Tp::HandleTypeNone}) {
        Tp::RequestableChannelClass rcc;
        rcc.fixedProperties[TP_QT_IFACE_CHANNEL + QStringLiteral(".ChannelType")] = TP_QT_IFACE_CHANNEL_TYPE_TEXT;
        rcc.fixedProperties[TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetHandleType")] = handleType;
        if (handleType == Tp::HandleTypeNone)
            rcc.allowedProperties << PersistentIdProperty;
        else
            rcc.allowedProperties << TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetHandle")
                                  << TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetID");
        requests->requestableChannelClasses << rcc;
    }
    plugInterface(Tp::AbstractConnectionInterfacePtr::dynamicCast(requests));

    auto contacts = Tp::BaseConnectionContactsInterface::create();
    contacts->setContactAttributeInterfaces({TP_QT_IFACE_CONNECTION, TP_QT_IFACE_CONNECTION_INTERFACE_SIMPLE_PRESENCE});
    contacts->setGetContactAttributesCallback(
        [this](const Tp::UIntList &handles, const QStringList &interfaces, Tp::DBusError *error) {
            return contactAttributes(handles, interfaces, error);
        });
    plugInterface(Tp::AbstractConnectionInterfacePtr::dynamicCast(contacts));

    m_presence = Tp::BaseConnectionSimplePresenceInterface::create();
    m_presence->setStatuses(presenceStatuses());
    m_presence->setMaximumStatusMessageLength(1024);
    m_presence->setSetPresenceCallback([this](const QString &status, const QString &message, Tp::DBusError *error) {
        return setPresence(status, message, error);
    });
    plugInterface(Tp::AbstractConnectionInterfacePtr::dynamicCast(m_presence));

    // A connection that goes away takes its channels with it, without
    // closing them first: clients then invalidate the channels with the
    // connection's error rather than with "Cancelled".
    // Telepathy-Qt's Disconnect() only emits disconnected(): say so on the
    // bus first, as a real connection manager does, or Mission Control and
    // the clients go on taking the connection for connected.
    connect(this, &Tp::BaseConnection::disconnected, this, [this] {
        if (status() != Tp::ConnectionStatusDisconnected)
            setStatus(Tp::ConnectionStatusDisconnected, Tp::ConnectionStatusReasonRequested);
        m_gone = true;
        m_channels.clear();
    });
    m_control->addConnection(this);
}

void TestConnection::connectRequested(Tp::DBusError *)
{
    setStatus(Tp::ConnectionStatusConnecting, Tp::ConnectionStatusReasonRequested);
    // While the test keeps the network "down" the connection stays
    // connecting; RestoreConnection finishes it.
    if (!m_control->isOffline())
        QTimer::singleShot(0, this, [this] { finishConnecting(); });
}

void TestConnection::finishConnecting()
{
    if (m_gone || status() != Tp::ConnectionStatusConnecting)
        return;
    Tp::SimpleContactPresences presences;
    presences[selfHandle()] = Tp::SimplePresence{Tp::ConnectionPresenceTypeAvailable, QStringLiteral("available"),
                                                 QString()};
    m_presence->setPresences(presences);
    setStatus(Tp::ConnectionStatusConnected, Tp::ConnectionStatusReasonRequested);
}

void TestConnection::drop(uint reason)
{
    if (m_gone)
        return;
    setStatus(Tp::ConnectionStatusDisconnected, reason);
    Q_EMIT disconnected();
}

uint TestConnection::ensureHandle(uint handleType, const QString &id)
{
    QStringList &ids = m_handles[handleType];
    int index = ids.indexOf(id);
    if (index < 0) {
        ids << id;
        index = ids.size() - 1;
    }
    return uint(index) + 1;
}

QString TestConnection::handleId(uint handleType, uint handle) const
{
    const QStringList ids = m_handles.value(handleType);
    return handle >= 1 && handle <= uint(ids.size()) ? ids.at(int(handle) - 1) : QString();
}

QStringList TestConnection::inspectHandles(uint handleType, const Tp::UIntList &handles, Tp::DBusError *error)
{
    QStringList ids;
    for (uint handle : handles) {
        const QString id = handleId(handleType, handle);
        if (id.isEmpty()) {
            error->set(TP_QT_ERROR_INVALID_HANDLE, QStringLiteral("Unknown handle %1").arg(handle));
            return {};
        }
        ids << id;
    }
    return ids;
}

Tp::UIntList TestConnection::requestHandles(uint handleType, const QStringList &ids, Tp::DBusError *error)
{
    Tp::UIntList handles;
    if (handleType != Tp::HandleTypeContact && handleType != Tp::HandleTypeRoom) {
        error->set(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("Unsupported handle type %1").arg(handleType));
        return handles;
    }
    for (const QString &id : ids) {
        if (id.isEmpty()) {
            error->set(TP_QT_ERROR_INVALID_HANDLE, QStringLiteral("Empty identifier"));
            return {};
        }
        handles << ensureHandle(handleType, id);
    }
    return handles;
}

Tp::ContactAttributesMap TestConnection::contactAttributes(const Tp::UIntList &handles,
                                                           const QStringList &interfaces, Tp::DBusError *error)
{
    Tp::ContactAttributesMap attributes;
    const Tp::SimpleContactPresences presences = m_presence->getPresences(handles);
    for (uint handle : handles) {
        const QString id = handleId(Tp::HandleTypeContact, handle);
        if (id.isEmpty()) {
            error->set(TP_QT_ERROR_INVALID_HANDLE, QStringLiteral("Unknown handle %1").arg(handle));
            return {};
        }
        QVariantMap map;
        map[ContactIdAttribute] = id;
        if (interfaces.contains(TP_QT_IFACE_CONNECTION_INTERFACE_SIMPLE_PRESENCE)) {
            Tp::SimplePresence presence = presences.value(handle);
            if (presence.status.isEmpty())
                presence = Tp::SimplePresence{Tp::ConnectionPresenceTypeUnknown, QStringLiteral("unknown"), QString()};
            map[PresenceAttribute] = QVariant::fromValue(presence);
        }
        attributes[handle] = map;
    }
    return attributes;
}

bool TestConnection::changeOwnPresence(const QString &status, const QString &message)
{
    const Tp::SimpleStatusSpecMap statuses = presenceStatuses();
    if (!statuses.contains(status))
        return false;
    Tp::SimpleContactPresences presences;
    presences[selfHandle()] = Tp::SimplePresence{statuses.value(status).type, status, message};
    m_presence->setPresences(presences);
    return true;
}

uint TestConnection::setPresence(const QString &status, const QString &message, Tp::DBusError *error)
{
    const Tp::SimpleStatusSpecMap statuses = presenceStatuses();
    if (!statuses.contains(status) || !statuses.value(status).maySetOnSelf) {
        error->set(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("Cannot set status %1").arg(status));
        return 0;
    }
    Tp::SimpleContactPresences presences;
    presences[selfHandle()] = Tp::SimplePresence{statuses.value(status).type, status, message};
    m_presence->setPresences(presences);
    return selfHandle();
}

namespace {

QString requestTarget(const QVariantMap &request, uint handleType)
{
    if (handleType == Tp::HandleTypeNone)
        return request.value(PersistentIdProperty).toString();
    return request.value(TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetID")).toString();
}

uint requestHandleType(const QVariantMap &request)
{
    return request.value(TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetHandleType")).toUInt();
}

} // namespace

bool TestConnection::matchChannel(const Tp::BaseChannelPtr &channel, const QVariantMap &request, Tp::DBusError *)
{
    auto testChannel = TestChannelPtr::dynamicCast(channel);
    if (!testChannel || testChannel->isClosed())
        return false;
    if (request.value(TP_QT_IFACE_CHANNEL + QStringLiteral(".ChannelType")).toString() != TP_QT_IFACE_CHANNEL_TYPE_TEXT)
        return false;
    const uint handleType = requestHandleType(request);
    if (handleType != testChannel->handleType())
        return false;
    QString target = requestTarget(request, handleType);
    if (target.isEmpty() && handleType != Tp::HandleTypeNone)
        target = handleId(handleType, request.value(TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetHandle")).toUInt());
    const QString channelTarget = handleType == Tp::HandleTypeNone ? testChannel->persistentId()
                                                                    : testChannel->targetID();
    if (target != channelTarget)
        return false;
    // The request ends here with the existing channel, unless the test wants
    // it to fail: then it goes on to creation, which reports the error.
    if (m_control->requestFailureArmed())
        return false;
    m_control->logRequest(request);
    return true;
}

Tp::BaseChannelPtr TestConnection::createChannelRequested(const QVariantMap &request, Tp::DBusError *error)
{
    m_control->logRequest(request);
    QString failName, failMessage;
    if (m_control->takeRequestFailure(&failName, &failMessage)) {
        error->set(failName, failMessage);
        return Tp::BaseChannelPtr();
    }
    if (status() != Tp::ConnectionStatusConnected) {
        error->set(TP_QT_ERROR_NOT_AVAILABLE, QStringLiteral("Not connected"));
        return Tp::BaseChannelPtr();
    }
    if (request.value(TP_QT_IFACE_CHANNEL + QStringLiteral(".ChannelType")).toString() != TP_QT_IFACE_CHANNEL_TYPE_TEXT) {
        error->set(TP_QT_ERROR_NOT_IMPLEMENTED, QStringLiteral("Only text channels are supported"));
        return Tp::BaseChannelPtr();
    }
    TestChannel::Setup setup;
    setup.handleType = requestHandleType(request);
    setup.targetId = requestTarget(request, setup.handleType);
    if (setup.targetId.isEmpty() && setup.handleType != Tp::HandleTypeNone)
        setup.targetId = handleId(setup.handleType,
                                  request.value(TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetHandle")).toUInt());
    if (setup.targetId.isEmpty() || setup.handleType > Tp::HandleTypeRoom) {
        error->set(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("No target in the request"));
        return Tp::BaseChannelPtr();
    }
    if (setup.handleType != Tp::HandleTypeNone)
        setup.targetHandle = ensureHandle(setup.handleType, setup.targetId);
    setup.requested = true;
    setup.initiatorHandle = selfHandle();
    setup.initiatorId = selfID();
    if (setup.handleType != Tp::HandleTypeContact) {
        for (const QString &id : m_control->requestedGroupMembers())
            setup.members << ensureHandle(Tp::HandleTypeContact, id);
        setup.selfLocalPending = m_control->requestedGroupSelfLocalPending();
    } else if (m_control->groupOnContactChannels()) {
        setup.contactGroup = true;
        setup.members << setup.targetHandle;
    }
    TestChannelPtr channel = TestChannel::create(this, setup);
    track(channel);
    const int delay = m_control->takeCloseAfterCreationDelay();
    if (delay >= 0)
        QTimer::singleShot(delay, channel.data(), [channel] { channel->close(); });
    return Tp::BaseChannelPtr::dynamicCast(channel);
}

TestChannelPtr TestConnection::openIncomingChannel(const TestChannel::Setup &setup)
{
    TestChannelPtr channel = TestChannel::create(this, setup);
    Tp::DBusError error;
    if (!channel->registerObject(&error)) {
        qWarning() << "Cannot register incoming channel:" << error.name() << error.message();
        return TestChannelPtr();
    }
    track(channel);
    addChannel(Tp::BaseChannelPtr::dynamicCast(channel));
    return channel;
}

void TestConnection::track(const TestChannelPtr &channel)
{
    m_channels << channel;
    TestChannel *raw = channel.data();
    connect(raw, &Tp::BaseChannel::closed, this, [this, raw] {
        for (int i = m_channels.size() - 1; i >= 0; --i) {
            if (m_channels.at(i).data() == raw)
                m_channels.removeAt(i);
        }
    }, Qt::QueuedConnection);
}

QList<TestChannelPtr> TestConnection::liveChannels() const
{
    QList<TestChannelPtr> live;
    for (const TestChannelPtr &channel : m_channels) {
        if (!channel->isClosed())
            live << channel;
    }
    return live;
}

TestChannelPtr TestConnection::findChannel(uint handleType, const QString &targetId) const
{
    for (const TestChannelPtr &channel : liveChannels()) {
        if (channel->handleType() != handleType)
            continue;
        const QString target = handleType == Tp::HandleTypeNone ? channel->persistentId() : channel->targetID();
        if (target == targetId)
            return channel;
    }
    return TestChannelPtr();
}

TestChannelPtr TestConnection::channelForPath(const QString &path) const
{
    for (const TestChannelPtr &channel : m_channels) {
        if (channel->objectPath() == path)
            return channel;
    }
    return TestChannelPtr();
}
