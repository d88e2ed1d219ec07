// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TESTCM_CHANNELEXTRAS_H
#define MESSAGING_TESTCM_CHANNELEXTRAS_H

#include <TelepathyQt/BaseChannel>

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QPointer>

class TestChannel;

// Channel interfaces that Telepathy-Qt's service classes do not provide. Each
// is a plugged channel interface (so it is listed in the channel's Interfaces
// and its immutable properties reach the channel's details) whose D-Bus side
// is a plain Qt adaptor forwarding to the owning TestChannel.

extern const QString PersistentInterfaceName;
extern const QString PersistentIdProperty;
extern const QString SkypeGroupChatInterfaceName;
extern const QString SubjectInterfaceName;

class PersistentIdInterface : public Tp::AbstractChannelInterface
{
    Q_OBJECT
public:
    explicit PersistentIdInterface(const QString &persistentId);
    QVariantMap immutableProperties() const override;
    QString persistentId() const { return m_persistentId; }

protected:
    void createAdaptor() override;

private:
    QString m_persistentId;
};

class PersistentIdAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tavik.Telepathy.Channel.Interface.Persistent")
    Q_PROPERTY(QString PersistentID READ persistentId)
public:
    PersistentIdAdaptor(QObject *dbusObject, PersistentIdInterface *iface);
    QString persistentId() const;

private:
    QPointer<PersistentIdInterface> m_iface;
};

// The old "org.freedesktop.Telepathy.Properties" interface; group chats keep
// their topic in its "subject" property.
class LegacyPropertiesInterface : public Tp::AbstractChannelInterface
{
    Q_OBJECT
public:
    explicit LegacyPropertiesInterface(TestChannel *channel);
    TestChannel *channel() const { return m_channel; }
    void announceSubject(const QString &subject);

protected:
    void createAdaptor() override;

private:
    QPointer<TestChannel> m_channel;
    QPointer<class LegacyPropertiesAdaptor> m_adaptor;
};

class LegacyPropertiesAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Telepathy.Properties")
public:
    LegacyPropertiesAdaptor(QObject *dbusObject, LegacyPropertiesInterface *iface);

public Q_SLOTS:
    Tp::PropertySpecList ListProperties(const QDBusMessage &message);
    Tp::PropertyValueList GetProperties(const Tp::UIntList &properties, const QDBusMessage &message);
public:
    void announce(const Tp::PropertyValueList &values) { Q_EMIT PropertiesChanged(values); }
public Q_SLOTS:
    void SetProperties(const Tp::PropertyValueList &properties, const QDBusMessage &message);

Q_SIGNALS:
    void PropertiesChanged(const Tp::PropertyValueList &properties);
    void PropertyFlagsChanged(const Tp::PropertyFlagsChangeList &properties);

private:
    QPointer<LegacyPropertiesInterface> m_iface;
};

class SkypeGroupChatInterface : public Tp::AbstractChannelInterface
{
    Q_OBJECT
public:
    explicit SkypeGroupChatInterface(TestChannel *channel);
    TestChannel *channel() const { return m_channel; }

protected:
    void createAdaptor() override;

private:
    QPointer<TestChannel> m_channel;
};

class SkypeGroupChatAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tavik.Telepathy.Channel.Interface.Skype.GroupChat")
public:
    SkypeGroupChatAdaptor(QObject *dbusObject, SkypeGroupChatInterface *iface);

public Q_SLOTS:
    void Leave(const QDBusMessage &message);

private:
    QPointer<SkypeGroupChatInterface> m_iface;
};

// Subject2: the topic as today's connection managers offer it. Changes go
// out as org.freedesktop.DBus.Properties.PropertiesChanged.
class SubjectInterface : public Tp::AbstractChannelInterface
{
    Q_OBJECT
public:
    explicit SubjectInterface(TestChannel *channel);
    TestChannel *channel() const { return m_channel; }
    // Emits the change signal for the channel's current subject state.
    void announce(const QStringList &names);

protected:
    void createAdaptor() override;

private:
    QPointer<TestChannel> m_channel;
};

class SubjectAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Telepathy.Channel.Interface.Subject2")
    Q_PROPERTY(QString Subject READ subject)
    Q_PROPERTY(QString Actor READ actor)
    Q_PROPERTY(uint ActorHandle READ actorHandle)
    Q_PROPERTY(qlonglong Timestamp READ timestamp)
    Q_PROPERTY(bool CanSet READ canSet)
public:
    SubjectAdaptor(QObject *dbusObject, SubjectInterface *iface);
    QString subject() const;
    QString actor() const;
    uint actorHandle() const;
    qlonglong timestamp() const;
    bool canSet() const;

public Q_SLOTS:
    void SetSubject(const QString &subject, const QDBusMessage &message);

private:
    QPointer<SubjectInterface> m_iface;
};

#endif
