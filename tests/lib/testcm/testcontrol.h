// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TESTCM_TESTCONTROL_H
#define MESSAGING_TESTCM_TESTCONTROL_H

#include "testconnection.h"

#include <TelepathyQt/Types>

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QPointer>

// The test-control interface of one connection manager process, at
// /com/tavik/MessagingTest on the manager's own bus name. Also the process's
// shared state: the one-shot failures tests arm and the logs they read.
// Method list and semantics: tests/lib/README.md.
class TestControl : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tavik.MessagingTest.Control")
public:
    struct SentRecord {
        QString channelPath;
        uint flags = 0;
        QString token;
        QString errorName;
        Tp::MessagePartList parts;
    };

    // Which topic interfaces rooms get (bits).
    enum TopicInterfaces { TopicThroughProperties = 1, TopicThroughSubject2 = 2 };

    explicit TestControl(const QString &managerName, QObject *parent = nullptr);

    QString managerName() const { return m_managerName; }
    bool isOffline() const { return m_offline; }
    void addConnection(TestConnection *connection);

    // Hooks for the service objects: each consumes a one-shot setting.
    bool takeSendFailure(QString *name, QString *message, bool *asReport);
    bool takeRequestFailure(QString *name, QString *message);
    bool requestFailureArmed() const { return m_requestFailure.armed; }
    bool takeAddMembersFailure(QString *name, QString *message);
    bool takeLeaveFailure(QString *name, QString *message);
    int takeCloseAfterCreationDelay();
    void logSend(const SentRecord &record) { m_sent.append(record); }
    void logRequest(const QVariantMap &request);
    void logInvited(const QStringList &ids) { m_invited += ids; }
    void countLeave() { ++m_leaveCount; }
    uint listPropertiesMode() const { return m_listPropertiesMode; }
    uint roomTopicInterfaces() const { return m_roomTopicInterfaces; }
    bool takeSetSubjectFailure(QString *name, QString *message);
    bool reopenRoomsOnClose() const { return m_reopenRoomsOnClose; }
    bool groupOnContactChannels() const { return m_groupOnContactChannels; }
    QStringList requestedGroupMembers() const { return m_groupMembers; }
    bool requestedGroupSelfLocalPending() const { return m_groupSelfLocalPending; }

public Q_SLOTS:
    void Reset();
    QList<QDBusObjectPath> Connections();
    QList<QDBusObjectPath> Channels();
    QVariantMap ChannelDetails(const QDBusObjectPath &channel);

    QDBusObjectPath InjectMessage(const QDBusObjectPath &connection, uint handleType, const QString &target,
                                  const QString &sender, const QString &text, uint messageType);
    QString InjectMessageOnChannel(const QDBusObjectPath &channel, const QString &sender, const QString &text,
                                   uint messageType);
    QString InjectMessageParts(const QDBusObjectPath &channel, const Tp::MessagePartList &parts);
    QDBusObjectPath NewIncomingChannel(const QDBusObjectPath &connection, uint handleType, const QString &target,
                                       const QString &initiator, const QStringList &members,
                                       bool selfLocalPending);
    void InjectDeliveryReport(const QDBusObjectPath &channel, const QString &token, uint status,
                              const QString &errorName);

    void FailNextSend(const QString &errorName, const QString &errorMessage, bool asDeliveryReport);
    uint SentMessageCount();
    QDBusObjectPath SentMessage(uint index, uint &flags, QString &token, QString &errorName,
                                Tp::MessagePartList &parts);
    void ClearSentMessages();

    void FailNextChannelRequest(const QString &errorName, const QString &errorMessage);
    // The next count requests fail alike.
    void FailChannelRequests(const QString &errorName, const QString &errorMessage, uint count);
    Tp::QualifiedPropertyValueMapList ChannelRequests();
    void ClearChannelRequests();
    void CloseNextChannelAfterCreation(uint delayMs);

    void CloseChannel(const QDBusObjectPath &channel);
    void InvalidateChannel(const QDBusObjectPath &channel, const QString &errorName, const QString &message);
    uint DropConnection(const QDBusObjectPath &connection, uint reason);
    uint RestoreConnection();
    uint SetSelfPresence(const QDBusObjectPath &connection, const QString &status, const QString &message);

    void SetRequestedGroupMembers(const QStringList &ids, bool selfLocalPending);
    void AddMembers(const QDBusObjectPath &channel, const QStringList &ids);
    void RemoveMembers(const QDBusObjectPath &channel, const QStringList &ids, uint reason);
    void SetSelfLocalPending(const QDBusObjectPath &channel, const QString &inviter);
    void AddSelf(const QDBusObjectPath &channel);
    void RemoveSelf(const QDBusObjectPath &channel, uint reason, const QString &errorName);
    void FailNextAddMembers(const QString &errorName, const QString &errorMessage);
    QStringList InvitedContacts();
    QString Subject(const QDBusObjectPath &channel);
    void SetListPropertiesMode(uint mode);
    void FailNextLeave(const QString &errorName, const QString &errorMessage);
    uint LeaveCount();
    void SetRoomTopicInterfaces(uint interfaces);
    void SetSubjectRemotely(const QDBusObjectPath &channel, const QString &subject, const QString &actor);
    void SetCanSetSubject(const QDBusObjectPath &channel, bool canSet);
    void FailNextSetSubject(const QString &errorName, const QString &errorMessage);
    void SetReopenRoomsOnClose(bool reopen);
    void SetGroupOnContactChannels(bool group);

private:
    struct OneShotError {
        bool armed = false;
        QString name;
        QString message;
        bool take(QString *outName, QString *outMessage);
    };

    QList<TestConnection *> liveConnections() const;
    TestConnection *connectionFor(const QDBusObjectPath &path);
    TestChannelPtr channelFor(const QDBusObjectPath &path);
    TestChannelPtr groupChannelFor(const QDBusObjectPath &path);
    TestChannelPtr openIncoming(TestConnection *connection, uint handleType, const QString &target,
                                const QString &initiator, const QStringList &members, bool selfLocalPending);

    QString m_managerName;
    QList<QPointer<TestConnection>> m_connections;
    bool m_offline = false;
    OneShotError m_sendFailure;
    bool m_sendFailureAsReport = false;
    OneShotError m_requestFailure;
    uint m_requestFailuresAfterNext = 0;
    OneShotError m_addMembersFailure;
    OneShotError m_leaveFailure;
    int m_closeAfterCreationDelay = -1;
    uint m_listPropertiesMode = 0;
    QStringList m_groupMembers;
    bool m_groupSelfLocalPending = false;
    QList<SentRecord> m_sent;
    Tp::QualifiedPropertyValueMapList m_requests;
    QStringList m_invited;
    uint m_leaveCount = 0;
    uint m_roomTopicInterfaces = TopicThroughProperties;
    OneShotError m_setSubjectFailure;
    bool m_reopenRoomsOnClose = false;
    bool m_groupOnContactChannels = false;
};

#endif
