// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "testcontrol.h"

#include <TelepathyQt/Constants>

#include <QDBusConnection>
#include <QHash>
#include <QTimer>

namespace {

const QString RequestTargetHandle = TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetHandle");

} // namespace

bool TestControl::OneShotError::take(QString *outName, QString *outMessage)
{
    if (!armed)
        return false;
    armed = false;
    if (outName)
        *outName = name;
    if (outMessage)
        *outMessage = message;
    return true;
}

TestControl::TestControl(const QString &managerName, QObject *parent)
    : QObject(parent)
    , m_managerName(managerName)
{
}

void TestControl::addConnection(TestConnection *connection)
{
    m_connections << connection;
}

bool TestControl::takeSendFailure(QString *name, QString *message, bool *asReport)
{
    *asReport = m_sendFailureAsReport;
    return m_sendFailure.take(name, message);
}

bool TestControl::takeRequestFailure(QString *name, QString *message)
{
    if (!m_requestFailure.take(name, message))
        return false;
    if (m_requestFailuresAfterNext > 0) {
        --m_requestFailuresAfterNext;
        m_requestFailure = OneShotError{true, *name, *message};
    }
    return true;
}

bool TestControl::takeAddMembersFailure(QString *name, QString *message)
{
    return m_addMembersFailure.take(name, message);
}

bool TestControl::takeLeaveFailure(QString *name, QString *message)
{
    return m_leaveFailure.take(name, message);
}

bool TestControl::takeSetSubjectFailure(QString *name, QString *message)
{
    return m_setSubjectFailure.take(name, message);
}

int TestControl::takeCloseAfterCreationDelay()
{
    const int delay = m_closeAfterCreationDelay;
    m_closeAfterCreationDelay = -1;
    return delay;
}

void TestControl::logRequest(const QVariantMap &request)
{
    // Telepathy-Qt's service side adds "Requested" and the target handle it
    // resolved; the log keeps what the client asked for.
    Tp::QualifiedPropertyValueMap logged;
    for (auto it = request.cbegin(); it != request.cend(); ++it)
        logged.insert(it.key(), QDBusVariant(it.value()));
    if (logged.contains(TP_QT_IFACE_CHANNEL + QStringLiteral(".TargetID")))
        logged.remove(RequestTargetHandle);
    logged.remove(TP_QT_IFACE_CHANNEL + QStringLiteral(".Requested"));
    m_requests << logged;
}

QList<TestConnection *> TestControl::liveConnections() const
{
    QList<TestConnection *> live;
    for (const QPointer<TestConnection> &connection : m_connections) {
        if (connection && connection->isLive())
            live << connection.data();
    }
    return live;
}

TestConnection *TestControl::connectionFor(const QDBusObjectPath &path)
{
    const QList<TestConnection *> live = liveConnections();
    if (path.path() == QLatin1String("/") && !live.isEmpty())
        return live.last();
    for (TestConnection *connection : live) {
        if (connection->objectPath() == path.path())
            return connection;
    }
    sendErrorReply(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("No live connection %1").arg(path.path()));
    return nullptr;
}

TestChannelPtr TestControl::channelFor(const QDBusObjectPath &path)
{
    for (const QPointer<TestConnection> &connection : m_connections) {
        if (!connection)
            continue;
        TestChannelPtr channel = connection->channelForPath(path.path());
        if (channel && !channel->isClosed())
            return channel;
    }
    sendErrorReply(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("No open channel %1").arg(path.path()));
    return TestChannelPtr();
}

TestChannelPtr TestControl::groupChannelFor(const QDBusObjectPath &path)
{
    TestChannelPtr channel = channelFor(path);
    if (channel && !channel->isGroup()) {
        sendErrorReply(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("%1 is not a group channel").arg(path.path()));
        return TestChannelPtr();
    }
    return channel;
}

void TestControl::Reset()
{
    m_sendFailure = OneShotError();
    m_sendFailureAsReport = false;
    m_requestFailure = OneShotError();
    m_requestFailuresAfterNext = 0;
    m_addMembersFailure = OneShotError();
    m_leaveFailure = OneShotError();
    m_closeAfterCreationDelay = -1;
    m_listPropertiesMode = 0;
    m_groupMembers.clear();
    m_groupSelfLocalPending = false;
    m_sent.clear();
    m_requests.clear();
    m_invited.clear();
    m_leaveCount = 0;
    m_roomTopicInterfaces = TopicThroughProperties;
    m_setSubjectFailure = OneShotError();
    m_reopenRoomsOnClose = false;
    m_groupOnContactChannels = false;
}

QList<QDBusObjectPath> TestControl::Connections()
{
    QList<QDBusObjectPath> paths;
    for (TestConnection *connection : liveConnections())
        paths << QDBusObjectPath(connection->objectPath());
    return paths;
}

QList<QDBusObjectPath> TestControl::Channels()
{
    QList<QDBusObjectPath> paths;
    for (TestConnection *connection : liveConnections()) {
        for (const TestChannelPtr &channel : connection->liveChannels())
            paths << QDBusObjectPath(channel->objectPath());
    }
    return paths;
}

QVariantMap TestControl::ChannelDetails(const QDBusObjectPath &path)
{
    TestChannelPtr channel = channelFor(path);
    return channel ? channel->describe() : QVariantMap();
}

TestChannelPtr TestControl::openIncoming(TestConnection *connection, uint handleType, const QString &target,
                                         const QString &initiator, const QStringList &members,
                                         bool selfLocalPending)
{
    if (connection->status() != Tp::ConnectionStatusConnected || handleType > Tp::HandleTypeRoom
        || target.isEmpty() || initiator.isEmpty()) {
        sendErrorReply(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("Cannot open such a channel"));
        return TestChannelPtr();
    }
    TestChannel::Setup setup;
    setup.handleType = handleType;
    setup.targetId = target;
    if (handleType != Tp::HandleTypeNone)
        setup.targetHandle = connection->ensureHandle(handleType, target);
    setup.requested = false;
    setup.initiatorHandle = connection->ensureHandle(Tp::HandleTypeContact, initiator);
    setup.initiatorId = initiator;
    for (const QString &id : members)
        setup.members << connection->ensureHandle(Tp::HandleTypeContact, id);
    setup.selfLocalPending = selfLocalPending;
    setup.inviter = setup.initiatorHandle;
    TestChannelPtr channel = connection->openIncomingChannel(setup);
    if (!channel)
        sendErrorReply(TP_QT_ERROR_NOT_AVAILABLE, QStringLiteral("Cannot open the channel"));
    return channel;
}

QDBusObjectPath TestControl::InjectMessage(const QDBusObjectPath &connectionPath, uint handleType,
                                           const QString &target, const QString &sender, const QString &text,
                                           uint messageType)
{
    TestConnection *connection = connectionFor(connectionPath);
    if (!connection)
        return QDBusObjectPath();
    if (sender.isEmpty()) {
        sendErrorReply(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("A message needs a sender"));
        return QDBusObjectPath();
    }
    const QString targetId = target.isEmpty() && handleType == Tp::HandleTypeContact ? sender : target;
    TestChannelPtr channel = connection->findChannel(handleType, targetId);
    if (!channel) {
        // A group chat opened by a message has its sender as a member.
        const QStringList members = handleType == Tp::HandleTypeContact ? QStringList() : QStringList{sender};
        channel = openIncoming(connection, handleType, targetId, sender, members, false);
        if (!channel)
            return QDBusObjectPath();
    }
    channel->addIncomingMessage(connection->ensureHandle(Tp::HandleTypeContact, sender), sender, text, messageType);
    return QDBusObjectPath(channel->objectPath());
}

QString TestControl::InjectMessageOnChannel(const QDBusObjectPath &path, const QString &sender,
                                            const QString &text, uint messageType)
{
    TestChannelPtr channel = channelFor(path);
    if (!channel)
        return QString();
    TestConnection *connection = channel->testConnection();
    return channel->addIncomingMessage(connection->ensureHandle(Tp::HandleTypeContact, sender), sender, text,
                                       messageType);
}

QString TestControl::InjectMessageParts(const QDBusObjectPath &path, const Tp::MessagePartList &parts)
{
    TestChannelPtr channel = channelFor(path);
    return channel ? channel->addIncomingParts(parts) : QString();
}

QDBusObjectPath TestControl::NewIncomingChannel(const QDBusObjectPath &connectionPath, uint handleType,
                                                const QString &target, const QString &initiator,
                                                const QStringList &members, bool selfLocalPending)
{
    TestConnection *connection = connectionFor(connectionPath);
    TestChannelPtr channel = connection ? openIncoming(connection, handleType, target, initiator, members,
                                                       selfLocalPending)
                                        : TestChannelPtr();
    return channel ? QDBusObjectPath(channel->objectPath()) : QDBusObjectPath();
}

void TestControl::InjectDeliveryReport(const QDBusObjectPath &path, const QString &token, uint status,
                                       const QString &errorName)
{
    if (TestChannelPtr channel = channelFor(path))
        channel->addDeliveryReport(token, status, errorName);
}

void TestControl::FailNextSend(const QString &errorName, const QString &errorMessage, bool asDeliveryReport)
{
    m_sendFailure = OneShotError{true, errorName.isEmpty() ? TP_QT_ERROR_NETWORK_ERROR : errorName, errorMessage};
    m_sendFailureAsReport = asDeliveryReport;
}

uint TestControl::SentMessageCount()
{
    return uint(m_sent.size());
}

QDBusObjectPath TestControl::SentMessage(uint index, uint &flags, QString &token, QString &errorName,
                                         Tp::MessagePartList &parts)
{
    if (index >= uint(m_sent.size())) {
        sendErrorReply(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("No sent message %1").arg(index));
        return QDBusObjectPath();
    }
    const SentRecord &record = m_sent.at(int(index));
    flags = record.flags;
    token = record.token;
    errorName = record.errorName;
    parts = record.parts;
    return QDBusObjectPath(record.channelPath);
}

void TestControl::ClearSentMessages()
{
    m_sent.clear();
}

void TestControl::FailNextChannelRequest(const QString &errorName, const QString &errorMessage)
{
    FailChannelRequests(errorName, errorMessage, 1);
}

void TestControl::FailChannelRequests(const QString &errorName, const QString &errorMessage, uint count)
{
    m_requestFailure = OneShotError{count > 0, errorName.isEmpty() ? TP_QT_ERROR_NOT_AVAILABLE : errorName,
                                    errorMessage};
    m_requestFailuresAfterNext = count > 0 ? count - 1 : 0;
}

Tp::QualifiedPropertyValueMapList TestControl::ChannelRequests()
{
    return m_requests;
}

void TestControl::ClearChannelRequests()
{
    m_requests.clear();
}

void TestControl::CloseNextChannelAfterCreation(uint delayMs)
{
    m_closeAfterCreationDelay = int(delayMs);
}

void TestControl::CloseChannel(const QDBusObjectPath &path)
{
    if (TestChannelPtr channel = channelFor(path))
        channel->close();
}

void TestControl::InvalidateChannel(const QDBusObjectPath &path, const QString &errorName, const QString &message)
{
    TestChannelPtr channel = channelFor(path);
    if (!channel)
        return;
    // Telepathy-Qt invalidates a closed group channel with an error derived
    // from the reason the local user was removed for; a channel without the
    // Group interface can only be closed ("Cancelled").
    static const QHash<QString, uint> reasons{
        {TP_QT_ERROR_OFFLINE, Tp::ChannelGroupChangeReasonOffline},
        {TP_QT_ERROR_CHANNEL_KICKED, Tp::ChannelGroupChangeReasonKicked},
        {TP_QT_ERROR_BUSY, Tp::ChannelGroupChangeReasonBusy},
        {TP_QT_ERROR_CHANNEL_BANNED, Tp::ChannelGroupChangeReasonBanned},
        {TP_QT_ERROR_DOES_NOT_EXIST, Tp::ChannelGroupChangeReasonInvalidContact},
        {TP_QT_ERROR_NO_ANSWER, Tp::ChannelGroupChangeReasonNoAnswer},
        {TP_QT_ERROR_PERMISSION_DENIED, Tp::ChannelGroupChangeReasonPermissionDenied},
    };
    if (channel->isGroup()) {
        TestConnection *connection = channel->testConnection();
        channel->changeMembers({}, {connection->selfID()},
                               reasons.value(errorName, Tp::ChannelGroupChangeReasonError), errorName, 0, message);
    }
    // After the membership change, so that clients have seen it.
    QTimer::singleShot(0, channel.data(), [channel] { channel->close(); });
}

uint TestControl::DropConnection(const QDBusObjectPath &path, uint reason)
{
    QList<TestConnection *> targets;
    if (path.path() == QLatin1String("/")) {
        targets = liveConnections();
    } else if (TestConnection *connection = connectionFor(path)) {
        targets << connection;
    } else {
        return 0;
    }
    // Until restored, reconnection attempts stay in "connecting".
    m_offline = true;
    for (TestConnection *connection : targets)
        connection->drop(reason);
    return uint(targets.size());
}

uint TestControl::RestoreConnection()
{
    m_offline = false;
    uint finished = 0;
    for (TestConnection *connection : liveConnections()) {
        if (connection->status() == Tp::ConnectionStatusConnecting) {
            connection->finishConnecting();
            ++finished;
        }
    }
    return finished;
}

uint TestControl::SetSelfPresence(const QDBusObjectPath &path, const QString &status, const QString &message)
{
    QList<TestConnection *> targets;
    if (path.path() == QLatin1String("/")) {
        targets = liveConnections();
        if (targets.size() > 1)
            targets = {targets.last()};
    } else if (TestConnection *connection = connectionFor(path)) {
        targets << connection;
    }
    for (TestConnection *connection : targets) {
        if (!connection->changeOwnPresence(status, message)) {
            sendErrorReply(TP_QT_ERROR_INVALID_ARGUMENT, QStringLiteral("no such presence: %1").arg(status));
            return 0;
        }
    }
    return uint(targets.size());
}

void TestControl::SetRequestedGroupMembers(const QStringList &ids, bool selfLocalPending)
{
    m_groupMembers = ids;
    m_groupSelfLocalPending = selfLocalPending;
}

void TestControl::AddMembers(const QDBusObjectPath &path, const QStringList &ids)
{
    if (TestChannelPtr channel = groupChannelFor(path))
        channel->changeMembers(ids, {}, Tp::ChannelGroupChangeReasonNone, QString(), 0);
}

void TestControl::RemoveMembers(const QDBusObjectPath &path, const QStringList &ids, uint reason)
{
    if (TestChannelPtr channel = groupChannelFor(path))
        channel->changeMembers({}, ids, reason, QString(), 0);
}

void TestControl::SetSelfLocalPending(const QDBusObjectPath &path, const QString &inviter)
{
    if (TestChannelPtr channel = groupChannelFor(path)) {
        TestConnection *connection = channel->testConnection();
        channel->setSelfLocalPending(inviter.isEmpty() ? 0 : connection->ensureHandle(Tp::HandleTypeContact, inviter));
    }
}

void TestControl::AddSelf(const QDBusObjectPath &path)
{
    if (TestChannelPtr channel = groupChannelFor(path))
        channel->changeMembers({channel->testConnection()->selfID()}, {}, Tp::ChannelGroupChangeReasonNone,
                               QString(), 0);
}

void TestControl::RemoveSelf(const QDBusObjectPath &path, uint reason, const QString &errorName)
{
    if (TestChannelPtr channel = groupChannelFor(path))
        channel->changeMembers({}, {channel->testConnection()->selfID()}, reason, errorName, 0);
}

void TestControl::FailNextAddMembers(const QString &errorName, const QString &errorMessage)
{
    m_addMembersFailure = OneShotError{true, errorName.isEmpty() ? TP_QT_ERROR_PERMISSION_DENIED : errorName,
                                       errorMessage};
}

QStringList TestControl::InvitedContacts()
{
    return m_invited;
}

QString TestControl::Subject(const QDBusObjectPath &path)
{
    TestChannelPtr channel = groupChannelFor(path);
    return channel ? channel->subject() : QString();
}

void TestControl::SetListPropertiesMode(uint mode)
{
    m_listPropertiesMode = mode;
}

void TestControl::FailNextLeave(const QString &errorName, const QString &errorMessage)
{
    m_leaveFailure = OneShotError{true, errorName.isEmpty() ? TP_QT_ERROR_NOT_AVAILABLE : errorName, errorMessage};
}

uint TestControl::LeaveCount()
{
    return m_leaveCount;
}

void TestControl::SetRoomTopicInterfaces(uint interfaces)
{
    m_roomTopicInterfaces = interfaces;
}

void TestControl::SetSubjectRemotely(const QDBusObjectPath &path, const QString &subject, const QString &actor)
{
    TestChannelPtr channel = groupChannelFor(path);
    if (channel && channel->testConnection())
        channel->setSubject(subject, actor.isEmpty() ? 0
                                                     : channel->testConnection()->ensureHandle(Tp::HandleTypeContact, actor));
}

void TestControl::SetCanSetSubject(const QDBusObjectPath &path, bool canSet)
{
    if (TestChannelPtr channel = groupChannelFor(path))
        channel->setCanSetSubject(canSet);
}

void TestControl::FailNextSetSubject(const QString &errorName, const QString &errorMessage)
{
    m_setSubjectFailure = OneShotError{true, errorName.isEmpty() ? TP_QT_ERROR_PERMISSION_DENIED : errorName,
                                       errorMessage};
}

void TestControl::SetReopenRoomsOnClose(bool reopen)
{
    m_reopenRoomsOnClose = reopen;
}

void TestControl::SetGroupOnContactChannels(bool group)
{
    m_groupOnContactChannels = group;
}
