// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "channelextras.h"

#include "testchannel.h"

#include <TelepathyQt/Constants>
#include <TelepathyQt/DBusObject>

#include <QDBusConnection>

const QString PersistentInterfaceName = QStringLiteral("com.tavik.Telepathy.Channel.Interface.Persistent");
const QString PersistentIdProperty = PersistentInterfaceName + QStringLiteral(".PersistentID");
const QString SkypeGroupChatInterfaceName = QStringLiteral("com.tavik.Telepathy.Channel.Interface.Skype.GroupChat");

const QString SubjectInterfaceName = QStringLiteral("org.freedesktop.Telepathy.Channel.Interface.Subject2");

namespace {

// Property ids of the old Properties interface. "subject" is deliberately not
// the first one listed, so clients must look it up by name.
const uint AnonymousPropertyId = 1;
const uint SubjectPropertyId = 7;

void replyWithError(QObject *dbusObject, const QDBusMessage &message, const QString &name,
                    const QString &text)
{
    message.setDelayedReply(true);
    auto *object = qobject_cast<Tp::DBusObject *>(dbusObject);
    QDBusConnection bus = object ? object->dbusConnection() : QDBusConnection::sessionBus();
    bus.send(message.createErrorReply(name, text));
}

} // namespace

PersistentIdInterface::PersistentIdInterface(const QString &persistentId)
    : Tp::AbstractChannelInterface(PersistentInterfaceName)
    , m_persistentId(persistentId)
{
}

QVariantMap PersistentIdInterface::immutableProperties() const
{
    return {{PersistentIdProperty, m_persistentId}};
}

void PersistentIdInterface::createAdaptor()
{
    new PersistentIdAdaptor(dbusObject(), this);
}

PersistentIdAdaptor::PersistentIdAdaptor(QObject *dbusObject, PersistentIdInterface *iface)
    : QDBusAbstractAdaptor(dbusObject)
    , m_iface(iface)
{
}

QString PersistentIdAdaptor::persistentId() const
{
    return m_iface ? m_iface->persistentId() : QString();
}

LegacyPropertiesInterface::LegacyPropertiesInterface(TestChannel *channel)
    : Tp::AbstractChannelInterface(TP_QT_IFACE_PROPERTIES_INTERFACE)
    , m_channel(channel)
{
}

void LegacyPropertiesInterface::createAdaptor()
{
    m_adaptor = new LegacyPropertiesAdaptor(dbusObject(), this);
}

void LegacyPropertiesInterface::announceSubject(const QString &subject)
{
    if (m_adaptor)
        m_adaptor->announce({Tp::PropertyValue{SubjectPropertyId, QDBusVariant(subject)}});
}

LegacyPropertiesAdaptor::LegacyPropertiesAdaptor(QObject *dbusObject, LegacyPropertiesInterface *iface)
    : QDBusAbstractAdaptor(dbusObject)
    , m_iface(iface)
{
}

Tp::PropertySpecList LegacyPropertiesAdaptor::ListProperties(const QDBusMessage &message)
{
    TestChannel *channel = m_iface ? m_iface->channel() : nullptr;
    const uint mode = channel ? channel->listPropertiesMode() : 0;
    if (!channel || mode == TestChannel::ListPropertiesFails) {
        replyWithError(parent(), message, TP_QT_ERROR_NOT_AVAILABLE, QStringLiteral("Properties unavailable"));
        return {};
    }
    Tp::PropertySpecList specs;
    specs << Tp::PropertySpec{AnonymousPropertyId, QStringLiteral("anonymous"), QStringLiteral("b"),
                              Tp::PropertyFlagRead};
    if (mode != TestChannel::ListPropertiesWithoutSubject)
        specs << Tp::PropertySpec{SubjectPropertyId, QStringLiteral("subject"), QStringLiteral("s"),
                                  Tp::PropertyFlagRead | Tp::PropertyFlagWrite};
    return specs;
}

Tp::PropertyValueList LegacyPropertiesAdaptor::GetProperties(const Tp::UIntList &properties,
                                                             const QDBusMessage &message)
{
    TestChannel *channel = m_iface ? m_iface->channel() : nullptr;
    Tp::PropertyValueList values;
    for (uint id : properties) {
        if (id == AnonymousPropertyId) {
            values << Tp::PropertyValue{id, QDBusVariant(false)};
        } else if (id == SubjectPropertyId && channel) {
            values << Tp::PropertyValue{id, QDBusVariant(channel->subject())};
        } else {
            replyWithError(parent(), message, TP_QT_ERROR_INVALID_ARGUMENT,
                           QStringLiteral("Unknown property %1").arg(id));
            return {};
        }
    }
    return values;
}

void LegacyPropertiesAdaptor::SetProperties(const Tp::PropertyValueList &properties, const QDBusMessage &message)
{
    TestChannel *channel = m_iface ? m_iface->channel() : nullptr;
    for (const Tp::PropertyValue &value : properties) {
        if (value.identifier != SubjectPropertyId || !channel) {
            replyWithError(parent(), message, TP_QT_ERROR_PERMISSION_DENIED,
                           QStringLiteral("Property %1 is not writable").arg(value.identifier));
            return;
        }
    }
    for (const Tp::PropertyValue &value : properties) {
        channel->setSubject(value.value.variant().toString(), channel->selfHandleOrZero());
    }
}

SkypeGroupChatInterface::SkypeGroupChatInterface(TestChannel *channel)
    : Tp::AbstractChannelInterface(SkypeGroupChatInterfaceName)
    , m_channel(channel)
{
}

void SkypeGroupChatInterface::createAdaptor()
{
    new SkypeGroupChatAdaptor(dbusObject(), this);
}

SkypeGroupChatAdaptor::SkypeGroupChatAdaptor(QObject *dbusObject, SkypeGroupChatInterface *iface)
    : QDBusAbstractAdaptor(dbusObject)
    , m_iface(iface)
{
}

void SkypeGroupChatAdaptor::Leave(const QDBusMessage &message)
{
    TestChannel *channel = m_iface ? m_iface->channel() : nullptr;
    Tp::DBusError error;
    if (!channel)
        error.set(TP_QT_ERROR_NOT_AVAILABLE, QStringLiteral("Channel is gone"));
    else
        channel->leave(&error);
    if (error.isValid())
        replyWithError(parent(), message, error.name(), error.message());
}

SubjectInterface::SubjectInterface(TestChannel *channel)
    : Tp::AbstractChannelInterface(SubjectInterfaceName)
    , m_channel(channel)
{
}

void SubjectInterface::createAdaptor()
{
    new SubjectAdaptor(dbusObject(), this);
}

void SubjectInterface::announce(const QStringList &names)
{
    auto *object = qobject_cast<Tp::DBusObject *>(dbusObject());
    if (!m_channel || !object)
        return;
    QVariantMap changed;
    for (const QString &name : names) {
        if (name == QLatin1String("Subject"))
            changed[name] = m_channel->subject();
        else if (name == QLatin1String("Actor"))
            changed[name] = m_channel->subjectActor();
        else if (name == QLatin1String("ActorHandle"))
            changed[name] = m_channel->subjectActorHandle();
        else if (name == QLatin1String("Timestamp"))
            changed[name] = m_channel->subjectTimestamp();
        else if (name == QLatin1String("CanSet"))
            changed[name] = m_channel->canSetSubject();
    }
    QDBusMessage signal = QDBusMessage::createSignal(m_channel->objectPath(),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << SubjectInterfaceName << changed << QStringList();
    object->dbusConnection().send(signal);
}

SubjectAdaptor::SubjectAdaptor(QObject *dbusObject, SubjectInterface *iface)
    : QDBusAbstractAdaptor(dbusObject)
    , m_iface(iface)
{
}

QString SubjectAdaptor::subject() const
{
    return m_iface && m_iface->channel() ? m_iface->channel()->subject() : QString();
}

QString SubjectAdaptor::actor() const
{
    return m_iface && m_iface->channel() ? m_iface->channel()->subjectActor() : QString();
}

uint SubjectAdaptor::actorHandle() const
{
    return m_iface && m_iface->channel() ? m_iface->channel()->subjectActorHandle() : 0;
}

qlonglong SubjectAdaptor::timestamp() const
{
    return m_iface && m_iface->channel() ? m_iface->channel()->subjectTimestamp() : 0;
}

bool SubjectAdaptor::canSet() const
{
    return m_iface && m_iface->channel() && m_iface->channel()->canSetSubject();
}

void SubjectAdaptor::SetSubject(const QString &subject, const QDBusMessage &message)
{
    TestChannel *channel = m_iface ? m_iface->channel() : nullptr;
    Tp::DBusError error;
    if (!channel)
        error.set(TP_QT_ERROR_NOT_AVAILABLE, QStringLiteral("Channel is gone"));
    else
        channel->setSubjectRequested(subject, &error);
    if (error.isValid())
        replyWithError(parent(), message, error.name(), error.message());
}
