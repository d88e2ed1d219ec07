// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TESTCM_TESTCHANNEL_H
#define MESSAGING_TESTCM_TESTCHANNEL_H

#include <TelepathyQt/BaseChannel>
#include <TelepathyQt/Types>

#include <QPointer>

class TestConnection;
class TestControl;

// A text channel of the test connection manager. Contact channels (target
// handle type 1) are one-to-one chats; room channels (2) and handle-type-0
// channels (identified by a persistent id) are group chats with the Group and
// old Properties interfaces; handle-type-0 ones also carry the Skype group-chat
// interface, so tests have a group chat with and one without it.
class TestChannel : public Tp::BaseChannel
{
    Q_OBJECT
public:
    enum ListPropertiesMode { ListPropertiesNormally = 0, ListPropertiesFails = 1, ListPropertiesWithoutSubject = 2 };

    struct Setup {
        uint handleType = 1;
        uint targetHandle = 0;
        QString targetId; // contact or room id, or the persistent id for type 0
        bool requested = true;
        uint initiatorHandle = 0;
        QString initiatorId;
        Tp::UIntList members; // group channels only; self is added by the caller
        bool selfLocalPending = false;
        uint inviter = 0;
        bool contactGroup = false; // a one-to-one channel with the Group interface
    };

    static Tp::SharedPtr<TestChannel> create(TestConnection *connection, const Setup &setup);

    QString uniqueName() const override;

    TestConnection *testConnection() const;
    bool isGroup() const { return m_handleType != 1 || m_contactGroup; }
    uint handleType() const { return m_handleType; }
    QString persistentId() const { return m_persistentId; }
    bool isClosed() const { return m_closed; }

    // Returns the token of the new pending message.
    QString addIncomingMessage(uint senderHandle, const QString &senderId, const QString &text,
                               uint messageType);
    QString addIncomingParts(const Tp::MessagePartList &parts);
    QString addDeliveryReport(const QString &token, uint status, const QString &errorName);

    // Group membership driven by the test control; ids are contact ids.
    bool changeMembers(const QStringList &added, const QStringList &removed, uint reason,
                       const QString &errorName, uint actor, const QString &message = QString());
    bool setSelfLocalPending(uint inviter);
    QStringList memberIds() const;
    QStringList localPendingIds() const;
    bool selfIsMember() const;

    // Old Properties interface ("subject") and the Skype Leave call.
    QString subject() const { return m_subject; }
    QString subjectActor() const;
    uint subjectActorHandle() const { return m_subjectActor; }
    qlonglong subjectTimestamp() const { return m_subjectTimestamp; }
    bool canSetSubject() const { return m_canSetSubject; }
    uint selfHandleOrZero() const;
    // Stores the topic and announces it on every topic interface the
    // channel has.
    void setSubject(const QString &subject, uint actorHandle);
    void setCanSetSubject(bool canSet);
    // SetSubject from a client: refused when CanSet is false or a failure
    // is armed.
    void setSubjectRequested(const QString &subject, Tp::DBusError *error);
    bool hasSubject2() const { return m_subjectInterface != nullptr; }
    uint listPropertiesMode() const;
    bool leave(Tp::DBusError *error);

    QVariantMap describe() const;

private:
    TestChannel(TestConnection *connection, const Setup &setup);
    void setUp(const Setup &setup);
    QString sendMessage(const Tp::MessagePartList &parts, uint flags, Tp::DBusError *error);
    void addMembersRequested(const Tp::UIntList &contacts, const QString &message, Tp::DBusError *error);
    void removeMembersRequested(const Tp::UIntList &contacts, const QString &message, uint reason,
                                Tp::DBusError *error);
    void applyMembers(const Tp::UIntList &members, const Tp::LocalPendingInfoList &localPending,
                      const QVariantMap &details);

    // A channel can briefly outlive a dropped connection.
    QPointer<TestConnection> m_connection;
    TestControl *m_control;
    uint m_handleType;
    bool m_contactGroup;
    uint m_serial;
    QString m_persistentId;
    QString m_subject;
    uint m_subjectActor = 0;
    qlonglong m_subjectTimestamp = 0;
    bool m_canSetSubject = true;
    class SubjectInterface *m_subjectInterface = nullptr;
    class LegacyPropertiesInterface *m_legacyProperties = nullptr;
    bool m_closed = false;
    Tp::BaseChannelTextTypePtr m_text;
    Tp::BaseChannelMessagesInterfacePtr m_messages;
    Tp::BaseChannelGroupInterfacePtr m_group;
};

typedef Tp::SharedPtr<TestChannel> TestChannelPtr;

#endif
