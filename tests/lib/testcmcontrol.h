// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TESTCMCONTROL_H
#define MESSAGING_TESTCMCONTROL_H

#include <TelepathyQt/Constants>
#include <TelepathyQt/Types>

#include <QDBusError>
#include <QStringList>
#include <QVariantMap>

// Typed client of the test connection manager's control interface
// (com.tavik.MessagingTest.Control at /com/tavik/MessagingTest on
// org.freedesktop.Telepathy.ConnectionManager.<manager>). Calls block until
// the manager answers; a failed call returns an empty value and leaves the
// D-Bus error in lastError() (and on the warning channel).
//
// Paths: "connection" and "channel" are D-Bus object paths; a connection path
// of "/" means the manager's most recent live connection.
class TestCmControl
{
public:
    struct SentMessage {
        QString channelPath;
        uint flags = 0;
        QString token;
        QString errorName; // set when the test made this send fail
        Tp::MessagePartList parts;

        // Part i with plain QVariant values (empty map when out of range).
        QVariantMap part(int i) const;
        QString text() const; // "content" of the last part
    };

    explicit TestCmControl(const QString &managerName);

    QString managerName() const { return m_managerName; }
    QString serviceName() const;
    bool ok() const { return !m_lastError.isValid(); }
    QDBusError lastError() const { return m_lastError; }

    void reset();
    QStringList connections();
    QStringList channels();
    QVariantMap channelDetails(const QString &channel);

    // Incoming messages. injectMessage uses the open channel for the target,
    // or opens a new incoming one (requested=false, initiated by sender);
    // target may be empty for a one-to-one chat with sender. Returns the
    // channel path.
    QString injectMessage(const QString &connection, uint handleType, const QString &target,
                          const QString &sender, const QString &text,
                          uint messageType = Tp::ChannelTextMessageTypeNormal);
    QString injectMessageOnChannel(const QString &channel, const QString &sender, const QString &text,
                                   uint messageType = Tp::ChannelTextMessageTypeNormal);
    QString injectMessageParts(const QString &channel, const Tp::MessagePartList &parts);
    QString newIncomingChannel(const QString &connection, uint handleType, const QString &target,
                               const QString &initiator, const QStringList &members = QStringList(),
                               bool selfLocalPending = false);
    void injectDeliveryReport(const QString &channel, const QString &token, uint status,
                              const QString &errorName = QString());

    // Sending. By default the next SendMessage call fails with a D-Bus
    // error; asDeliveryReport makes it succeed and then reports a permanent
    // delivery failure instead.
    void failNextSend(const QString &errorName = QString(), const QString &errorMessage = QString(),
                      bool asDeliveryReport = false);
    QList<SentMessage> sentMessages();
    void clearSentMessages();

    // Channel requests (CreateChannel/EnsureChannel) as the client made them.
    void failNextChannelRequest(const QString &errorName = QString(), const QString &errorMessage = QString());
    void failChannelRequests(uint count, const QString &errorName, const QString &errorMessage = QString());
    QList<QVariantMap> channelRequests();
    void clearChannelRequests();
    void closeNextChannelAfterCreation(uint delayMs = 0);

    void closeChannel(const QString &channel);
    // Group channels invalidate with errorName (the local user is removed
    // with it); other channels are closed.
    void invalidateChannel(const QString &channel, const QString &errorName, const QString &message = QString());
    uint dropConnection(const QString &connection = QStringLiteral("/"),
                        uint reason = Tp::ConnectionStatusReasonNetworkError);
    uint restoreConnection();
    // The connection itself changes the local user's presence ("/" the most
    // recent live connection); Mission Control then reports it as the
    // account's current presence.
    uint setSelfPresence(const QString &connection, const QString &status, const QString &message = QString());

    // Group chats.
    void setRequestedGroupMembers(const QStringList &ids, bool selfLocalPending = false);
    void addMembers(const QString &channel, const QStringList &ids);
    void removeMembers(const QString &channel, const QStringList &ids,
                       uint reason = Tp::ChannelGroupChangeReasonNone);
    void setSelfLocalPending(const QString &channel, const QString &inviter);
    void addSelf(const QString &channel);
    void removeSelf(const QString &channel, uint reason = Tp::ChannelGroupChangeReasonNone,
                    const QString &errorName = QString());
    void failNextAddMembers(const QString &errorName = QString(), const QString &errorMessage = QString());
    QStringList invitedContacts();
    QString subject(const QString &channel);
    enum ListPropertiesMode { ListPropertiesNormally = 0, ListPropertiesFails = 1, ListPropertiesWithoutSubject = 2 };
    void setListPropertiesMode(ListPropertiesMode mode);
    void failNextLeave(const QString &errorName = QString(), const QString &errorMessage = QString());
    uint leaveCount();
    // Topic interfaces of rooms created from now on (bits, default the old
    // Properties interface only).
    enum TopicInterfaces { TopicThroughProperties = 1, TopicThroughSubject2 = 2 };
    void setRoomTopicInterfaces(uint interfaces);
    // The other side changes the topic (actor: a contact id, or empty).
    void setSubjectRemotely(const QString &channel, const QString &subject, const QString &actor);
    void setCanSetSubject(const QString &channel, bool canSet);
    void failNextSetSubject(const QString &errorName = QString(), const QString &errorMessage = QString());
    // Rooms closed while the user is a member come back as incoming channels.
    void setReopenRoomsOnClose(bool reopen);
    // One-to-one channels created from now on carry the Group interface
    // (self and the other side as members), as some connection managers do.
    void setGroupOnContactChannels(bool group);

private:
    QList<QVariant> call(const QString &method, const QList<QVariant> &arguments = QList<QVariant>());
    QVariant call1(const QString &method, const QList<QVariant> &arguments = QList<QVariant>());

    QString m_managerName;
    QDBusError m_lastError;
};

#endif
