// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "testchannel.h"

#include "channelextras.h"
#include "testconnection.h"
#include "testcontrol.h"

#include <TelepathyQt/Constants>

#include <QDateTime>
#include <QTimer>

namespace {

uint channelCounter = 0;
uint tokenCounter = 0;

QDBusVariant v(const QVariant &value)
{
    return QDBusVariant(value);
}

} // namespace

Tp::SharedPtr<TestChannel> TestChannel::create(TestConnection *connection, const Setup &setup)
{
    Tp::SharedPtr<TestChannel> channel(new TestChannel(connection, setup));
    channel->setUp(setup);
    return channel;
}

TestChannel::TestChannel(TestConnection *connection, const Setup &setup)
    : Tp::BaseChannel(connection->dbusConnection(), connection, TP_QT_IFACE_CHANNEL_TYPE_TEXT,
                      setup.handleType, setup.handleType == 0 ? 0 : setup.targetHandle)
    , m_connection(connection)
    , m_control(connection->control())
    , m_handleType(setup.handleType)
    , m_contactGroup(setup.contactGroup)
    , m_serial(++channelCounter)
{
}

TestConnection *TestChannel::testConnection() const
{
    return m_connection.data();
}

QString TestChannel::uniqueName() const
{
    return QStringLiteral("text_%1").arg(m_serial);
}

uint TestChannel::listPropertiesMode() const
{
    return m_control->listPropertiesMode();
}

void TestChannel::setUp(const Setup &setup)
{
    if (m_handleType == 0)
        m_persistentId = setup.targetId;
    else
        setTargetID(setup.targetId);
    setRequested(setup.requested);
    setInitiatorHandle(setup.initiatorHandle);
    setInitiatorID(setup.initiatorId);

    m_text = Tp::BaseChannelTextType::create(this);
    plugInterface(Tp::AbstractChannelInterfacePtr::dynamicCast(m_text));

    // Cellular channels cannot carry action messages; instant messaging can.
    Tp::UIntList types{Tp::ChannelTextMessageTypeNormal};
    if (!m_connection->isCellular())
        types << Tp::ChannelTextMessageTypeAction << Tp::ChannelTextMessageTypeNotice;
    const uint reporting = m_connection->isCellular()
        ? uint(Tp::DeliveryReportingSupportFlagReceiveFailures | Tp::DeliveryReportingSupportFlagReceiveSuccesses)
        : uint(Tp::DeliveryReportingSupportFlagReceiveFailures);
    m_messages = Tp::BaseChannelMessagesInterface::create(
        m_text.data(), {QStringLiteral("text/plain"), QStringLiteral("*/*")}, types,
        Tp::MessagePartSupportFlagOneAttachment | Tp::MessagePartSupportFlagMultipleAttachments, reporting);
    m_messages->setSendMessageCallback(
        [this](const Tp::MessagePartList &parts, uint flags, Tp::DBusError *error) {
            return sendMessage(parts, flags, error);
        });
    plugInterface(Tp::AbstractChannelInterfacePtr::dynamicCast(m_messages));

    if (m_handleType == 0)
        plugInterface(Tp::AbstractChannelInterfacePtr(new PersistentIdInterface(m_persistentId)));

    if (isGroup()) {
        m_group = Tp::BaseChannelGroupInterface::create();
        m_group->setGroupFlags(Tp::ChannelGroupFlagCanAdd | Tp::ChannelGroupFlagCanRemove
                               | Tp::ChannelGroupFlagProperties | Tp::ChannelGroupFlagMembersChangedDetailed
                               | Tp::ChannelGroupFlagMessageAdd);
        m_group->setAddMembersCallback(
            [this](const Tp::UIntList &contacts, const QString &message, Tp::DBusError *error) {
                addMembersRequested(contacts, message, error);
            });
        m_group->setRemoveMembersCallback(
            [this](const Tp::UIntList &contacts, const QString &message, uint reason, Tp::DBusError *error) {
                removeMembersRequested(contacts, message, reason, error);
            });
        plugInterface(Tp::AbstractChannelInterfacePtr::dynamicCast(m_group));
        m_group->setSelfHandle(m_connection->selfHandle());
        Tp::LocalPendingInfoList localPending;
        Tp::UIntList members = setup.members;
        if (setup.selfLocalPending)
            localPending << Tp::LocalPendingInfo{m_connection->selfHandle(), setup.inviter,
                                                 Tp::ChannelGroupChangeReasonInvited, QString()};
        else if (!members.contains(m_connection->selfHandle()))
            members.prepend(m_connection->selfHandle());
        m_group->setMembers(members, localPending, Tp::UIntList(), QVariantMap());
        // A one-to-one channel with the Group interface is a plain group of
        // two: no topic, no room.
        if (!m_contactGroup) {
            // Rooms offer the old Properties interface, Subject2, or both, as
            // the test asks; handle-type-0 group chats always the old one.
            const uint topicInterfaces = m_handleType == 2 ? m_control->roomTopicInterfaces()
                                                           : uint(TestControl::TopicThroughProperties);
            if (topicInterfaces & TestControl::TopicThroughProperties) {
                m_legacyProperties = new LegacyPropertiesInterface(this);
                plugInterface(Tp::AbstractChannelInterfacePtr(m_legacyProperties));
            }
            if (topicInterfaces & TestControl::TopicThroughSubject2) {
                m_subjectInterface = new SubjectInterface(this);
                plugInterface(Tp::AbstractChannelInterfacePtr(m_subjectInterface));
            }
            if (m_handleType == 2)
                plugInterface(Tp::AbstractChannelInterfacePtr::dynamicCast(Tp::BaseChannelRoomInterface::create(
                    setup.targetId, QString(), QString(), 0, QDateTime())));
            else
                plugInterface(Tp::AbstractChannelInterfacePtr(new SkypeGroupChatInterface(this)));
        }
    }

    connect(this, &Tp::BaseChannel::closed, this, [this, setup] {
        m_closed = true;
        // Like IRC connection managers: a room closed while the user is
        // still in it comes straight back as an incoming channel.
        if (m_handleType == Tp::HandleTypeRoom && m_control->reopenRoomsOnClose() && selfIsMember()
            && m_connection && m_connection->status() == Tp::ConnectionStatusConnected) {
            Setup again = setup;
            again.requested = false;
            again.members = m_group->members();
            again.selfLocalPending = false;
            QPointer<TestConnection> connection = m_connection;
            QTimer::singleShot(0, connection.data(), [connection, again] {
                if (connection)
                    connection->openIncomingChannel(again);
            });
        }
    });
}

QString TestChannel::sendMessage(const Tp::MessagePartList &parts, uint flags, Tp::DBusError *error)
{
    TestControl::SentRecord record;
    record.channelPath = objectPath();
    record.flags = flags;
    record.parts = parts;
    QString failName, failMessage;
    bool asReport = false;
    const bool fail = m_control->takeSendFailure(&failName, &failMessage, &asReport);
    if (fail && !asReport) {
        // Telepathy-Qt still emits MessageSent for this one; clients see the
        // failed call first.
        record.errorName = failName;
        m_control->logSend(record);
        error->set(failName, failMessage);
        return QString();
    }
    record.token = QStringLiteral("sent-%1-%2").arg(m_serial).arg(++tokenCounter);
    if (fail) {
        record.errorName = failName;
        const QString token = record.token;
        QTimer::singleShot(0, this, [this, token, failName] {
            addDeliveryReport(token, Tp::DeliveryStatusPermanentlyFailed, failName);
        });
    }
    m_control->logSend(record);
    return record.token;
}

QString TestChannel::addIncomingMessage(uint senderHandle, const QString &senderId, const QString &text,
                                        uint messageType)
{
    Tp::MessagePart header;
    header[QStringLiteral("message-sender")] = v(senderHandle);
    header[QStringLiteral("message-sender-id")] = v(senderId);
    if (messageType != Tp::ChannelTextMessageTypeNormal)
        header[QStringLiteral("message-type")] = v(messageType);
    Tp::MessagePart body;
    body[QStringLiteral("content-type")] = v(QStringLiteral("text/plain"));
    body[QStringLiteral("content")] = v(text);
    return addIncomingParts({header, body});
}

QString TestChannel::addIncomingParts(const Tp::MessagePartList &parts)
{
    Tp::MessagePartList message = parts;
    if (message.isEmpty())
        message << Tp::MessagePart();
    Tp::MessagePart &header = message[0];
    if (!header.contains(QStringLiteral("message-token")))
        header[QStringLiteral("message-token")] = v(QStringLiteral("incoming-%1-%2").arg(m_serial).arg(++tokenCounter));
    if (!header.contains(QStringLiteral("message-received")))
        header[QStringLiteral("message-received")] = v(QDateTime::currentSecsSinceEpoch());
    m_text->addReceivedMessage(message);
    return header.value(QStringLiteral("message-token")).variant().toString();
}

QString TestChannel::addDeliveryReport(const QString &token, uint status, const QString &errorName)
{
    Tp::MessagePart header;
    header[QStringLiteral("message-type")] = v(uint(Tp::ChannelTextMessageTypeDeliveryReport));
    header[QStringLiteral("message-sender")] = v(targetHandle());
    header[QStringLiteral("message-sender-id")] = v(m_handleType == 0 ? m_persistentId : targetID());
    header[QStringLiteral("delivery-status")] = v(status);
    header[QStringLiteral("delivery-token")] = v(token);
    if (!errorName.isEmpty()) {
        header[QStringLiteral("delivery-error")] = v(uint(Tp::ChannelTextSendErrorUnknown));
        header[QStringLiteral("delivery-dbus-error")] = v(errorName);
    }
    return addIncomingParts({header});
}

static Tp::UIntList handlesOf(TestConnection *connection, const QStringList &ids)
{
    Tp::UIntList handles;
    for (const QString &id : ids)
        handles << connection->ensureHandle(Tp::HandleTypeContact, id);
    return handles;
}

bool TestChannel::changeMembers(const QStringList &added, const QStringList &removed, uint reason,
                                const QString &errorName, uint actor, const QString &message)
{
    if (!m_group || m_closed || !m_connection)
        return false;
    Tp::UIntList members = m_group->members();
    Tp::LocalPendingInfoList localPending = m_group->localPendingMembers();
    const Tp::UIntList add = handlesOf(m_connection, added);
    const Tp::UIntList remove = handlesOf(m_connection, removed);
    for (uint handle : add) {
        if (!members.contains(handle))
            members << handle;
    }
    for (uint handle : remove)
        members.removeAll(handle);
    for (int i = localPending.size() - 1; i >= 0; --i) {
        if (add.contains(localPending.at(i).toBeAdded) || remove.contains(localPending.at(i).toBeAdded))
            localPending.removeAt(i);
    }
    QVariantMap details;
    details[QStringLiteral("actor")] = actor;
    details[QStringLiteral("change-reason")] = reason;
    if (!errorName.isEmpty())
        details[QStringLiteral("error")] = errorName;
    if (!message.isEmpty())
        details[QStringLiteral("message")] = message;
    applyMembers(members, localPending, details);
    return true;
}

bool TestChannel::setSelfLocalPending(uint inviter)
{
    if (!m_group || m_closed || !m_connection)
        return false;
    const uint self = m_connection->selfHandle();
    Tp::UIntList members = m_group->members();
    members.removeAll(self);
    Tp::LocalPendingInfoList localPending = m_group->localPendingMembers();
    localPending << Tp::LocalPendingInfo{self, inviter, Tp::ChannelGroupChangeReasonInvited, QString()};
    applyMembers(members, localPending, {{QStringLiteral("actor"), inviter},
                                         {QStringLiteral("change-reason"), uint(Tp::ChannelGroupChangeReasonInvited)}});
    return true;
}

void TestChannel::applyMembers(const Tp::UIntList &members, const Tp::LocalPendingInfoList &localPending,
                               const QVariantMap &details)
{
    m_group->setMembers(members, localPending, m_group->remotePendingMembers(), details);
}

QStringList TestChannel::memberIds() const
{
    QStringList ids;
    if (m_group && m_connection) {
        for (uint handle : m_group->members())
            ids << m_connection->handleId(Tp::HandleTypeContact, handle);
    }
    return ids;
}

QStringList TestChannel::localPendingIds() const
{
    QStringList ids;
    if (m_group && m_connection) {
        for (const Tp::LocalPendingInfo &info : m_group->localPendingMembers())
            ids << m_connection->handleId(Tp::HandleTypeContact, info.toBeAdded);
    }
    return ids;
}

bool TestChannel::selfIsMember() const
{
    return m_group && m_connection && m_group->members().contains(m_connection->selfHandle());
}

void TestChannel::addMembersRequested(const Tp::UIntList &contacts, const QString &, Tp::DBusError *error)
{
    QString name, message;
    if (m_control->takeAddMembersFailure(&name, &message) || !m_connection) {
        error->set(m_connection ? name : TP_QT_ERROR_DISCONNECTED, message);
        return;
    }
    QStringList ids;
    for (uint handle : contacts)
        ids << m_connection->handleId(Tp::HandleTypeContact, handle);
    m_control->logInvited(ids);
    // Invited contacts join at once; the local user accepting an invitation
    // moves from local pending to members.
    changeMembers(ids, {}, Tp::ChannelGroupChangeReasonInvited, QString(), m_connection->selfHandle());
}

void TestChannel::removeMembersRequested(const Tp::UIntList &contacts, const QString &, uint reason,
                                         Tp::DBusError *error)
{
    if (!m_connection) {
        error->set(TP_QT_ERROR_DISCONNECTED, QStringLiteral("The connection is gone"));
        return;
    }
    QStringList ids;
    for (uint handle : contacts)
        ids << m_connection->handleId(Tp::HandleTypeContact, handle);
    changeMembers({}, ids, reason, QString(), m_connection->selfHandle());
    if (contacts.contains(m_connection->selfHandle()))
        QTimer::singleShot(0, this, [this] { close(); });
}

bool TestChannel::leave(Tp::DBusError *error)
{
    m_control->countLeave();
    QString name, message;
    if (m_control->takeLeaveFailure(&name, &message) || !m_connection) {
        error->set(m_connection ? name : TP_QT_ERROR_DISCONNECTED, message);
        return false;
    }
    // The reply goes out first, then the local user leaves the group.
    const QString self = m_connection->handleId(Tp::HandleTypeContact, m_connection->selfHandle());
    QTimer::singleShot(0, this, [this, self] {
        if (m_connection)
            changeMembers({}, {self}, Tp::ChannelGroupChangeReasonNone, QString(), m_connection->selfHandle());
    });
    return true;
}

QString TestChannel::subjectActor() const
{
    return m_subjectActor && m_connection ? m_connection->handleId(Tp::HandleTypeContact, m_subjectActor)
                                          : QString();
}

uint TestChannel::selfHandleOrZero() const
{
    return m_connection ? m_connection->selfHandle() : 0;
}

void TestChannel::setSubject(const QString &subject, uint actorHandle)
{
    m_subject = subject;
    m_subjectActor = actorHandle;
    m_subjectTimestamp = QDateTime::currentSecsSinceEpoch();
    if (m_subjectInterface)
        m_subjectInterface->announce({QStringLiteral("Subject"), QStringLiteral("Actor"),
                                      QStringLiteral("ActorHandle"), QStringLiteral("Timestamp")});
    if (m_legacyProperties)
        m_legacyProperties->announceSubject(subject);
}

void TestChannel::setCanSetSubject(bool canSet)
{
    m_canSetSubject = canSet;
    if (m_subjectInterface)
        m_subjectInterface->announce({QStringLiteral("CanSet")});
}

void TestChannel::setSubjectRequested(const QString &subject, Tp::DBusError *error)
{
    QString name, message;
    if (!m_canSetSubject) {
        error->set(TP_QT_ERROR_PERMISSION_DENIED, QStringLiteral("You are not allowed to change the topic"));
        return;
    }
    if (m_control->takeSetSubjectFailure(&name, &message)) {
        error->set(name, message);
        return;
    }
    // The reply goes out first, then the change, as servers echo it.
    const uint self = selfHandleOrZero();
    QTimer::singleShot(0, this, [this, subject, self] { setSubject(subject, self); });
}

QVariantMap TestChannel::describe() const
{
    QStringList interfaceNames;
    for (const Tp::AbstractChannelInterfacePtr &iface : interfaces())
        interfaceNames << iface->interfaceName();
    return {
        {QStringLiteral("Connection"), m_connection ? m_connection->objectPath() : QString()},
        {QStringLiteral("TargetHandleType"), m_handleType},
        {QStringLiteral("TargetID"), targetID()},
        {QStringLiteral("PersistentID"), m_persistentId},
        {QStringLiteral("Requested"), requested()},
        {QStringLiteral("InitiatorID"), initiatorID()},
        {QStringLiteral("Closed"), m_closed},
        {QStringLiteral("Interfaces"), interfaceNames},
        {QStringLiteral("Members"), memberIds()},
        {QStringLiteral("LocalPending"), localPendingIds()},
        {QStringLiteral("SelfIsMember"), selfIsMember()},
        {QStringLiteral("Subject"), m_subject},
        {QStringLiteral("SubjectActor"), subjectActor()},
    };
}
