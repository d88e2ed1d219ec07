// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "testcmcontrol.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDebug>

namespace {

const int CallTimeoutMs = 10000;

QDBusObjectPath objectPath(const QString &path)
{
    return QDBusObjectPath(path.isEmpty() ? QStringLiteral("/") : path);
}

template<typename T>
T demarshall(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return qdbus_cast<T>(value.value<QDBusArgument>());
    return value.value<T>();
}

QStringList pathsToStrings(const QVariant &value)
{
    QStringList paths;
    for (const QDBusObjectPath &path : demarshall<QList<QDBusObjectPath>>(value))
        paths << path.path();
    return paths;
}

QVariantMap plainMap(const QMap<QString, QDBusVariant> &map)
{
    QVariantMap plain;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        plain.insert(it.key(), it.value().variant());
    return plain;
}

} // namespace

QVariantMap TestCmControl::SentMessage::part(int i) const
{
    return i >= 0 && i < parts.size() ? plainMap(parts.at(i)) : QVariantMap();
}

QString TestCmControl::SentMessage::text() const
{
    return parts.isEmpty() ? QString() : part(parts.size() - 1).value(QStringLiteral("content")).toString();
}

TestCmControl::TestCmControl(const QString &managerName)
    : m_managerName(managerName)
{
    Tp::registerTypes();
    qDBusRegisterMetaType<QList<QDBusObjectPath>>();
}

QString TestCmControl::serviceName() const
{
    return TP_QT_CONNECTION_MANAGER_BUS_NAME_BASE + m_managerName;
}

QList<QVariant> TestCmControl::call(const QString &method, const QList<QVariant> &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(serviceName(), QStringLiteral("/com/tavik/MessagingTest"),
                                                          QStringLiteral("com.tavik.MessagingTest.Control"), method);
    message.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, CallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        m_lastError = QDBusError(reply);
        qWarning().noquote() << "TestCmControl:" << m_managerName << method << "failed:" << m_lastError.name()
                             << m_lastError.message();
        return {};
    }
    m_lastError = QDBusError();
    return reply.arguments();
}

QVariant TestCmControl::call1(const QString &method, const QList<QVariant> &arguments)
{
    const QList<QVariant> results = call(method, arguments);
    return results.isEmpty() ? QVariant() : results.first();
}

void TestCmControl::reset()
{
    call(QStringLiteral("Reset"));
}

QStringList TestCmControl::connections()
{
    return pathsToStrings(call1(QStringLiteral("Connections")));
}

QStringList TestCmControl::channels()
{
    return pathsToStrings(call1(QStringLiteral("Channels")));
}

QVariantMap TestCmControl::channelDetails(const QString &channel)
{
    return demarshall<QVariantMap>(call1(QStringLiteral("ChannelDetails"), {QVariant::fromValue(objectPath(channel))}));
}

QString TestCmControl::injectMessage(const QString &connection, uint handleType, const QString &target,
                                     const QString &sender, const QString &text, uint messageType)
{
    const QVariant path = call1(QStringLiteral("InjectMessage"),
                                {QVariant::fromValue(objectPath(connection)), handleType, target, sender, text,
                                 messageType});
    return path.value<QDBusObjectPath>().path();
}

QString TestCmControl::injectMessageOnChannel(const QString &channel, const QString &sender, const QString &text,
                                              uint messageType)
{
    return call1(QStringLiteral("InjectMessageOnChannel"),
                 {QVariant::fromValue(objectPath(channel)), sender, text, messageType}).toString();
}

QString TestCmControl::injectMessageParts(const QString &channel, const Tp::MessagePartList &parts)
{
    return call1(QStringLiteral("InjectMessageParts"),
                 {QVariant::fromValue(objectPath(channel)), QVariant::fromValue(parts)}).toString();
}

QString TestCmControl::newIncomingChannel(const QString &connection, uint handleType, const QString &target,
                                          const QString &initiator, const QStringList &members,
                                          bool selfLocalPending)
{
    const QVariant path = call1(QStringLiteral("NewIncomingChannel"),
                                {QVariant::fromValue(objectPath(connection)), handleType, target, initiator,
                                 members, selfLocalPending});
    return path.value<QDBusObjectPath>().path();
}

void TestCmControl::injectDeliveryReport(const QString &channel, const QString &token, uint status,
                                         const QString &errorName)
{
    call(QStringLiteral("InjectDeliveryReport"), {QVariant::fromValue(objectPath(channel)), token, status, errorName});
}

void TestCmControl::failNextSend(const QString &errorName, const QString &errorMessage, bool asDeliveryReport)
{
    call(QStringLiteral("FailNextSend"), {errorName, errorMessage, asDeliveryReport});
}

QList<TestCmControl::SentMessage> TestCmControl::sentMessages()
{
    QList<SentMessage> messages;
    const uint count = call1(QStringLiteral("SentMessageCount")).toUInt();
    for (uint i = 0; i < count; ++i) {
        const QList<QVariant> results = call(QStringLiteral("SentMessage"), {i});
        if (results.size() != 5)
            break;
        SentMessage message;
        message.channelPath = results.at(0).value<QDBusObjectPath>().path();
        message.flags = results.at(1).toUInt();
        message.token = results.at(2).toString();
        message.errorName = results.at(3).toString();
        message.parts = demarshall<Tp::MessagePartList>(results.at(4));
        messages << message;
    }
    return messages;
}

void TestCmControl::clearSentMessages()
{
    call(QStringLiteral("ClearSentMessages"));
}

void TestCmControl::failNextChannelRequest(const QString &errorName, const QString &errorMessage)
{
    call(QStringLiteral("FailNextChannelRequest"), {errorName, errorMessage});
}

void TestCmControl::failChannelRequests(uint count, const QString &errorName, const QString &errorMessage)
{
    call(QStringLiteral("FailChannelRequests"), {errorName, errorMessage, count});
}

QList<QVariantMap> TestCmControl::channelRequests()
{
    QList<QVariantMap> requests;
    for (const Tp::QualifiedPropertyValueMap &request :
         demarshall<Tp::QualifiedPropertyValueMapList>(call1(QStringLiteral("ChannelRequests"))))
        requests << plainMap(request);
    return requests;
}

void TestCmControl::clearChannelRequests()
{
    call(QStringLiteral("ClearChannelRequests"));
}

void TestCmControl::closeNextChannelAfterCreation(uint delayMs)
{
    call(QStringLiteral("CloseNextChannelAfterCreation"), {delayMs});
}

void TestCmControl::closeChannel(const QString &channel)
{
    call(QStringLiteral("CloseChannel"), {QVariant::fromValue(objectPath(channel))});
}

void TestCmControl::invalidateChannel(const QString &channel, const QString &errorName, const QString &message)
{
    call(QStringLiteral("InvalidateChannel"), {QVariant::fromValue(objectPath(channel)), errorName, message});
}

uint TestCmControl::dropConnection(const QString &connection, uint reason)
{
    return call1(QStringLiteral("DropConnection"), {QVariant::fromValue(objectPath(connection)), reason}).toUInt();
}

uint TestCmControl::setSelfPresence(const QString &connection, const QString &status, const QString &message)
{
    return call1(QStringLiteral("SetSelfPresence"), {QVariant::fromValue(objectPath(connection)), status, message})
        .toUInt();
}

uint TestCmControl::restoreConnection()
{
    return call1(QStringLiteral("RestoreConnection")).toUInt();
}

void TestCmControl::setRequestedGroupMembers(const QStringList &ids, bool selfLocalPending)
{
    call(QStringLiteral("SetRequestedGroupMembers"), {ids, selfLocalPending});
}

void TestCmControl::addMembers(const QString &channel, const QStringList &ids)
{
    call(QStringLiteral("AddMembers"), {QVariant::fromValue(objectPath(channel)), ids});
}

void TestCmControl::removeMembers(const QString &channel, const QStringList &ids, uint reason)
{
    call(QStringLiteral("RemoveMembers"), {QVariant::fromValue(objectPath(channel)), ids, reason});
}

void TestCmControl::setSelfLocalPending(const QString &channel, const QString &inviter)
{
    call(QStringLiteral("SetSelfLocalPending"), {QVariant::fromValue(objectPath(channel)), inviter});
}

void TestCmControl::addSelf(const QString &channel)
{
    call(QStringLiteral("AddSelf"), {QVariant::fromValue(objectPath(channel))});
}

void TestCmControl::removeSelf(const QString &channel, uint reason, const QString &errorName)
{
    call(QStringLiteral("RemoveSelf"), {QVariant::fromValue(objectPath(channel)), reason, errorName});
}

void TestCmControl::failNextAddMembers(const QString &errorName, const QString &errorMessage)
{
    call(QStringLiteral("FailNextAddMembers"), {errorName, errorMessage});
}

QStringList TestCmControl::invitedContacts()
{
    return call1(QStringLiteral("InvitedContacts")).toStringList();
}

QString TestCmControl::subject(const QString &channel)
{
    return call1(QStringLiteral("Subject"), {QVariant::fromValue(objectPath(channel))}).toString();
}

void TestCmControl::setListPropertiesMode(ListPropertiesMode mode)
{
    call(QStringLiteral("SetListPropertiesMode"), {uint(mode)});
}

void TestCmControl::failNextLeave(const QString &errorName, const QString &errorMessage)
{
    call(QStringLiteral("FailNextLeave"), {errorName, errorMessage});
}

uint TestCmControl::leaveCount()
{
    return call1(QStringLiteral("LeaveCount")).toUInt();
}

void TestCmControl::setRoomTopicInterfaces(uint interfaces)
{
    call(QStringLiteral("SetRoomTopicInterfaces"), {interfaces});
}

void TestCmControl::setSubjectRemotely(const QString &channel, const QString &subject, const QString &actor)
{
    call(QStringLiteral("SetSubjectRemotely"), {QVariant::fromValue(objectPath(channel)), subject, actor});
}

void TestCmControl::setCanSetSubject(const QString &channel, bool canSet)
{
    call(QStringLiteral("SetCanSetSubject"), {QVariant::fromValue(objectPath(channel)), canSet});
}

void TestCmControl::failNextSetSubject(const QString &errorName, const QString &errorMessage)
{
    call(QStringLiteral("FailNextSetSubject"), {errorName, errorMessage});
}

void TestCmControl::setReopenRoomsOnClose(bool reopen)
{
    call(QStringLiteral("SetReopenRoomsOnClose"), {reopen});
}

void TestCmControl::setGroupOnContactChannels(bool group)
{
    call(QStringLiteral("SetGroupOnContactChannels"), {group});
}
