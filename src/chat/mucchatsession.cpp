// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "mucchatsession.h"
#include "mucchatsession_p.h"

#include "contactresolver.h"
#include "historyrecording.h"
#include "messaginglogging.h"
#include "mucparticipant.h"

#include <TelepathyQt/Connection>
#include <TelepathyQt/PendingOperation>
#include <TelepathyQt/Types>
#include <TelepathyQt/Properties>

#include <TelepathyQt/Constants>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTimer>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QtContacts/QContact>

namespace {
const QString SkypeGroupChatInterface =
    QStringLiteral("com.tavik.Telepathy.Channel.Interface.Skype.GroupChat");
const QString SubjectProperty = QStringLiteral("subject");
const QString DBusPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
}

namespace {
// How long a leave waits for the group to confirm it before closing anyway.
const int LeaveConfirmationMs = 5000;
}

MucChatSessionPrivate::MucChatSessionPrivate(const Tp::AccountPtr &account,
                                             const ChatContext &context)
    : ChatSessionPrivate(account, context)
{
    if (account)
        connect(account.data(), &Tp::Account::nicknameChanged,
                this, &MucChatSessionPrivate::slotOnNicknameChanged);
}

MucChatSessionPrivate::~MucChatSessionPrivate()
{
    qDeleteAll(participants);
    participants.clear();
    qDeleteAll(pendingResolvers);
    pendingResolvers.clear();
}

bool MucChatSessionPrivate::isGroupChat() const
{
    return context.chatType() == AdHocGroupChat || context.chatType() == RoomChat;
}

// Participants that leave may still be in a list the user interface got a
// moment ago: they go from the event loop, after it has heard of the change.
void MucChatSessionPrivate::dropParticipant(MucParticipant *participant)
{
    if (participant)
        participant->deleteLater();
}

void MucChatSessionPrivate::addParticipants(const Tp::Contacts &contacts,
                                            const Tp::ContactPtr &selfContact,
                                            QStringList &idsToResolve)
{
    Q_Q(MucChatSession);
    const QString path = q->accountPath();
    MucParticipantList added;
    for (const Tp::ContactPtr &contact : contacts) {
        if (!contact)
            continue;
        const QString id = contact->id();
        dropParticipant(participants.take(id));
        auto *participant = new MucParticipant(id, path, QtContacts::QContact(), this);
        participant->setLocalUser(contact == selfContact);
        added << participant;
        participants.insert(id, participant);
        if (!selfContact || id != selfContact->id())
            idsToResolve << id;
    }
    if (!added.isEmpty())
        Q_EMIT q->participantsAdded(added);
}

void MucChatSessionPrivate::startResolving(QObject *resolverParent, const QStringList &ids)
{
    Q_Q(MucChatSession);
    auto *resolver = new ContactResolver(resolverParent);
    resolver->resolveContacts(q->accountPath(), ids);
    connect(resolver, &ContactResolver::resultsAvailable,
            this, &MucChatSessionPrivate::slotOnContactsResolved, Qt::UniqueConnection);
    pendingResolvers.append(resolver);
}

void MucChatSessionPrivate::slotOnGroupMembersChanged(const Tp::Contacts &membersAdded,
                                                      const Tp::Contacts &,
                                                      const Tp::Contacts &,
                                                      const Tp::Contacts &membersRemoved,
                                                      const Tp::Channel::GroupMemberChangeDetails &)
{
    Q_Q(MucChatSession);
    if (!channel)
        return;

    const Tp::ContactPtr self = channel->groupSelfContact();
    if (self && membersAdded.contains(self)) {
        Q_EMIT q->readyToChat(true);
    } else if (self && membersRemoved.contains(self)) {
        if (awaitingLeave)
            confirmLeave();
        else
            channel->requestClose();
        Q_EMIT q->readyToChat(false);
        return;
    }

    QStringList idsToResolve;
    addParticipants(membersAdded, self, idsToResolve);

    QStringList removedIds;
    for (const Tp::ContactPtr &contact : membersRemoved) {
        if (!contact)
            continue;
        dropParticipant(participants.take(contact->id()));
        removedIds << contact->id();
    }
    if (!removedIds.isEmpty())
        Q_EMIT q->participantsRemoved(removedIds);

    if (!idsToResolve.isEmpty())
        startResolving(this, idsToResolve);

    if (!membersAdded.isEmpty() || !membersRemoved.isEmpty())
        Q_EMIT q->participantsChanged(participants.values());
}

void MucChatSessionPrivate::slotOnContactsResolved(bool status)
{
    Q_Q(MucChatSession);
    auto *resolver = qobject_cast<ContactResolver *>(sender());
    if (!resolver)
        return;

    if (status) {
        bool changed = false;
        for (MucParticipant *participant : qAsConst(participants)) {
            if (participant->isLocalUser()) {
                if (account)
                    participant->setNickname(account->nickname());
                continue;
            }
            const QtContacts::QContact contact =
                resolver->matchContact(participant->chatAccountPath(), participant->uid());
            if (!contact.isEmpty()) {
                participant->setResolvedContact(contact);
                changed = true;
            }
        }
        if (changed && q->selfIsInChannel())
            Q_EMIT q->participantsChanged(participants.values());
    }

    pendingResolvers.removeAll(resolver);
    resolver->deleteLater();
}

void MucChatSessionPrivate::slotOnNicknameChanged(const QString &nickname)
{
    for (MucParticipant *participant : qAsConst(participants)) {
        if (participant->isLocalUser()) {
            participant->setNickname(nickname);
            return;
        }
    }
}

void MucChatSessionPrivate::slotOnSessionClosed()
{
    Q_Q(MucChatSession);
    if (awaitingLeave)
        confirmLeave();
    if (participants.isEmpty())
        return;
    for (MucParticipant *participant : qAsConst(participants))
        dropParticipant(participant);
    participants.clear();
    Q_EMIT q->participantsChanged(MucParticipantList());
}

void MucChatSessionPrivate::slotOnGroupAddContactsFinished(Tp::PendingOperation *op)
{
    Q_Q(MucChatSession);
    Q_EMIT q->participantsInvited(op && !op->isError());
}

void MucChatSessionPrivate::slotOnListPropertiesFinished(QDBusPendingCallWatcher *watcher)
{
    const QDBusPendingReply<Tp::PropertySpecList> reply = *watcher;
    if (reply.isError() && !pendingTopic.isNull()) {
        pendingTopic = QString();
        reportTopicFailure(reply.error().name(), reply.error().message());
    }
    // Several setTopic() calls in a row: the first reply writes the latest
    // topic; later replies find nothing pending and must not blank it.
    if (!reply.isError() && !pendingTopic.isNull()) {
        const Tp::PropertySpecList properties = reply.value();
        bool found = false;
        for (const Tp::PropertySpec &property : properties) {
            if (property.name != SubjectProperty)
                continue;
            found = true;
            legacySubjectKnown = true;
            legacySubjectId = property.propertyID;
            legacySubjectWritable = property.flags & Tp::PropertyFlagWrite;
            if (propertiesInterface) {
                Tp::PropertyValue value;
                value.identifier = property.propertyID;
                value.value = QDBusVariant(QVariant(pendingTopic));
                auto *setWatcher = new QDBusPendingCallWatcher(
                    propertiesInterface->SetProperties(Tp::PropertyValueList() << value), this);
                connect(setWatcher, &QDBusPendingCallWatcher::finished,
                        this, &MucChatSessionPrivate::slotOnSetPropertiesFinished);
            }
            pendingTopic = QString();
            break;
        }
        if (!found) {
            pendingTopic = QString();
            reportTopicFailure(TP_QT_ERROR_NOT_IMPLEMENTED,
                               QStringLiteral("The chat has no topic property"));
        }
    }
    watcher->deleteLater();
}

void MucChatSessionPrivate::slotOnSetPropertiesFinished(QDBusPendingCallWatcher *watcher)
{
    if (watcher->isError())
        reportTopicFailure(watcher->error().name(), watcher->error().message());
    watcher->deleteLater();
}

void MucChatSessionPrivate::reportTopicFailure(const QString &errorName, const QString &errorMessage)
{
    Q_Q(MucChatSession);
    qCDebug(lcChat) << "Topic not changed:" << errorName << errorMessage;
    Q_EMIT q->topicChangeFailed(errorName, errorMessage);
}

void MucChatSessionPrivate::updateTopic(const QString &newTopic, const QString &actor)
{
    Q_Q(MucChatSession);
    if (newTopic == topic && actor == topicActor && !topic.isNull())
        return;
    // Non-null from now on: known, even when empty.
    topic = newTopic.isNull() ? QLatin1String("") : newTopic;
    topicActor = actor;
    // Recorded after the signal, from copies (a slot may end the session):
    // the room's page never waits for the disk.
    const ChatContext room = context;
    const QString recorded = topic;
    Q_EMIT q->topicChanged(topic, topicActor);
    HistoryRecording::topic(room, recorded);
}

void MucChatSessionPrivate::applySubjectProperties(const QVariantMap &properties)
{
    if (properties.contains(QStringLiteral("CanSet")))
        canSetSubject = properties.value(QStringLiteral("CanSet")).toBool();
    if (properties.contains(QStringLiteral("Subject")))
        updateTopic(properties.value(QStringLiteral("Subject")).toString(),
                    properties.contains(QStringLiteral("Actor"))
                        ? properties.value(QStringLiteral("Actor")).toString()
                        : topicActor);
}

void MucChatSessionPrivate::slotOnSubjectPropertiesChanged(const QString &interfaceName,
                                                           const QVariantMap &changed,
                                                           const QStringList &invalidated)
{
    if (interfaceName != TP_QT_IFACE_CHANNEL_INTERFACE_SUBJECT)
        return;
    applySubjectProperties(changed);
    if (!invalidated.isEmpty())
        watchTopic(); // fetch again what was only announced as changed
}

void MucChatSessionPrivate::unwatchSubject()
{
    if (subjectWatchPath.isEmpty() || !channel)
        return;
    channel->dbusConnection().disconnect(
        subjectWatchService, subjectWatchPath, DBusPropertiesInterface,
        QStringLiteral("PropertiesChanged"), this,
        SLOT(slotOnSubjectPropertiesChanged(QString,QVariantMap,QStringList)));
    subjectWatchService.clear();
    subjectWatchPath.clear();
}

// Learns the current topic and follows its changes, from Subject2 where the
// channel has it, else from the old Properties interface.
void MucChatSessionPrivate::watchTopic()
{
    Q_Q(MucChatSession);
    if (!channel)
        return;
    QDBusConnection bus = channel->dbusConnection();
    const QStringList interfaces = channel->interfaces();
    hasSubject2 = interfaces.contains(TP_QT_IFACE_CHANNEL_INTERFACE_SUBJECT);
    if (hasSubject2) {
        if (subjectWatchPath != channel->objectPath()) {
            unwatchSubject();
            // A D-Bus signal: QtDBus connects these by slot signature only.
            if (bus.connect(channel->busName(), channel->objectPath(), DBusPropertiesInterface,
                            QStringLiteral("PropertiesChanged"), this,
                            SLOT(slotOnSubjectPropertiesChanged(QString,QVariantMap,QStringList)))) {
                subjectWatchService = channel->busName();
                subjectWatchPath = channel->objectPath();
            }
        }
        QDBusMessage call = QDBusMessage::createMethodCall(channel->busName(), channel->objectPath(),
                                                           DBusPropertiesInterface,
                                                           QStringLiteral("GetAll"));
        call << QString(TP_QT_IFACE_CHANNEL_INTERFACE_SUBJECT);
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
        const QString path = channel->objectPath();
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, path](QDBusPendingCallWatcher *w) {
                    const QDBusPendingReply<QVariantMap> reply = *w;
                    if (!reply.isError() && channel && channel->objectPath() == path)
                        applySubjectProperties(reply.value());
                    else if (reply.isError())
                        qCDebug(lcChat) << "Cannot read the topic:" << reply.error().message();
                    w->deleteLater();
                });
        return;
    }
    if (!interfaces.contains(TP_QT_IFACE_PROPERTIES_INTERFACE))
        return;
    // Lives as long as the channel object.
    propertiesInterface = new Tp::Client::PropertiesInterfaceInterface(channel.data());
    connect(propertiesInterface.data(),
            &Tp::Client::PropertiesInterfaceInterface::PropertiesChanged,
            this, &MucChatSessionPrivate::slotOnLegacyPropertiesChanged);
    QPointer<Tp::Client::PropertiesInterfaceInterface> proxy = propertiesInterface;
    auto *list = new QDBusPendingCallWatcher(propertiesInterface->ListProperties(), q);
    connect(list, &QDBusPendingCallWatcher::finished, this,
            [this, proxy](QDBusPendingCallWatcher *w) {
                const QDBusPendingReply<Tp::PropertySpecList> reply = *w;
                w->deleteLater();
                if (reply.isError() || !proxy || proxy != propertiesInterface)
                    return;
                for (const Tp::PropertySpec &property : reply.value()) {
                    if (property.name != SubjectProperty)
                        continue;
                    legacySubjectKnown = true;
                    legacySubjectId = property.propertyID;
                    legacySubjectWritable = property.flags & Tp::PropertyFlagWrite;
                    auto *get = new QDBusPendingCallWatcher(
                        proxy->GetProperties(Tp::UIntList() << property.propertyID), this);
                    connect(get, &QDBusPendingCallWatcher::finished, this,
                            [this](QDBusPendingCallWatcher *g) {
                                const QDBusPendingReply<Tp::PropertyValueList> values = *g;
                                g->deleteLater();
                                if (!values.isError())
                                    slotOnLegacyPropertiesChanged(values.value());
                            });
                    break;
                }
            });
}

void MucChatSessionPrivate::slotOnLegacyPropertiesChanged(const Tp::PropertyValueList &values)
{
    if (!legacySubjectKnown)
        return;
    for (const Tp::PropertyValue &value : values) {
        if (value.identifier == legacySubjectId)
            updateTopic(value.value.variant().toString(), QString());
    }
}

void MucChatSessionPrivate::finishLeave(bool success)
{
    Q_Q(MucChatSession);
    leaveRequested = false;
    if (!success) {
        Q_EMIT q->leftChat(false);
        return;
    }
    restoreSuppressed = true;
    if (!q->selfIsInChannel()) {
        confirmLeave();
        return;
    }
    // Closing while the connection manager still counts us in the room
    // makes some (IRC) offer the room again: close once the group says we
    // are out, or after a while when it never does.
    awaitingLeave = true;
    QTimer::singleShot(LeaveConfirmationMs, this, [this] {
        if (awaitingLeave)
            confirmLeave();
    });
}

void MucChatSessionPrivate::confirmLeave()
{
    Q_Q(MucChatSession);
    awaitingLeave = false;
    if (!channel) {
        Q_EMIT q->leftChat(true);
        return;
    }
    // Report the leave once the close is answered, so that a caller who
    // quits on leftChat() leaves nothing in flight on the bus. We are out
    // of the room either way: a failed close still counts as left.
    connect(channel->requestClose(), &Tp::PendingOperation::finished, this,
            [q] { Q_EMIT q->leftChat(true); });
}

void MucChatSessionPrivate::slotOnSkypeLeaveCallFinished(QDBusPendingCallWatcher *watcher)
{
    Q_Q(MucChatSession);
    const bool success = !watcher->isError();
    watcher->deleteLater();
    Q_EMIT q->leftSkypeChat(success);
    // The Skype service takes the local user out of the group itself; the
    // channel closes when that arrives.
    if (leaveRequested) {
        leaveRequested = false;
        if (success)
            restoreSuppressed = true;
        Q_EMIT q->leftChat(success);
    }
}

MucChatSession::MucChatSession(Tp::AccountPtr account, const ChatContext &context, QObject *parent)
    : ChatSession(*new MucChatSessionPrivate(account, context), parent)
{
    Q_D(MucChatSession);
    connect(this, &ChatSession::chatSessionClosed, d, &MucChatSessionPrivate::slotOnSessionClosed);
}

MucChatSession::MucChatSession(MucChatSessionPrivate &dd, QObject *parent)
    : ChatSession(dd, parent)
{
}

MucChatSession::~MucChatSession()
{
    Q_D(MucChatSession);
    d->unwatchSubject();
}

QList<MucParticipant *> MucChatSession::members() const
{
    Q_D(const MucChatSession);
    return d->channel ? d->participants.values() : QList<MucParticipant *>();
}

Tp::ConnectionPtr MucChatSession::tpConnection() const
{
    Q_D(const MucChatSession);
    return d->channel ? d->channel->connection() : Tp::ConnectionPtr();
}

bool MucChatSession::isReadyToChat() const
{
    Q_D(const MucChatSession);
    return d->isGroupChat() ? isReady() && selfIsInChannel() : isReady();
}

bool MucChatSession::selfIsInChannel() const
{
    Q_D(const MucChatSession);
    if (!d->channel || !isReady())
        return false;
    const Tp::ContactPtr self = d->channel->groupSelfContact();
    return self && d->channel->groupContacts().contains(self);
}

bool MucChatSession::canLeaveSkypeChat() const
{
    Q_D(const MucChatSession);
    return d->channel && d->channel->interfaces().contains(SkypeGroupChatInterface)
           && selfIsInChannel();
}

void MucChatSession::leaveSkypeChat() const
{
    Q_D(const MucChatSession);
    if (!canLeaveSkypeChat())
        return;
    // A plain asynchronous call: a QDBusInterface would introspect the
    // channel synchronously first.
    const QDBusMessage call = QDBusMessage::createMethodCall(
        serviceName(), channelPath(), SkypeGroupChatInterface, QStringLiteral("Leave"));
    auto *self = const_cast<MucChatSessionPrivate *>(d);
    auto *watcher = new QDBusPendingCallWatcher(connection().asyncCall(call), self);
    connect(watcher, &QDBusPendingCallWatcher::finished,
            self, &MucChatSessionPrivate::slotOnSkypeLeaveCallFinished);
}

void MucChatSession::inviteParticipants(const QList<Tp::ContactPtr> &contacts)
{
    Q_D(MucChatSession);
    if (!d->channel || !d->channel->isReady() || contacts.isEmpty()) {
        Q_EMIT participantsInvited(false);
        return;
    }
    connect(d->channel->groupAddContacts(contacts, QString()), &Tp::PendingOperation::finished,
            d, &MucChatSessionPrivate::slotOnGroupAddContactsFinished);
}

void MucChatSession::setTopic(const QString &topic)
{
    Q_D(MucChatSession);
    if (!d->isGroupChat() || !isReady()) {
        d->reportTopicFailure(TP_QT_ERROR_NOT_AVAILABLE, QStringLiteral("No group chat is open"));
        return;
    }
    if (d->hasSubject2) {
        if (!d->canSetSubject) {
            d->reportTopicFailure(TP_QT_ERROR_PERMISSION_DENIED,
                                  QStringLiteral("The topic of this chat cannot be changed"));
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            serviceName(), channelPath(), TP_QT_IFACE_CHANNEL_INTERFACE_SUBJECT,
            QStringLiteral("SetSubject"));
        call << topic;
        auto *watcher = new QDBusPendingCallWatcher(connection().asyncCall(call), d);
        connect(watcher, &QDBusPendingCallWatcher::finished, d, [d](QDBusPendingCallWatcher *w) {
            if (w->isError())
                d->reportTopicFailure(w->error().name(), w->error().message());
            w->deleteLater();
        });
        return;
    }
    if (!d->propertiesInterface) {
        d->reportTopicFailure(TP_QT_ERROR_NOT_IMPLEMENTED, QStringLiteral("The chat has no topic"));
        return;
    }
    if (d->legacySubjectKnown && !d->legacySubjectWritable) {
        d->reportTopicFailure(TP_QT_ERROR_PERMISSION_DENIED,
                              QStringLiteral("The topic of this chat cannot be changed"));
        return;
    }
    d->pendingTopic = topic;
    auto *watcher = new QDBusPendingCallWatcher(d->propertiesInterface->ListProperties(), this);
    connect(watcher, &QDBusPendingCallWatcher::finished,
            d, &MucChatSessionPrivate::slotOnListPropertiesFinished);
}

QString MucChatSession::topic() const
{
    Q_D(const MucChatSession);
    return d->topic;
}

QString MucChatSession::topicActor() const
{
    Q_D(const MucChatSession);
    return d->topicActor;
}

bool MucChatSession::canSetTopic() const
{
    Q_D(const MucChatSession);
    if (!d->isGroupChat() || !isReady())
        return false;
    if (d->hasSubject2)
        return d->canSetSubject;
    return d->propertiesInterface && (!d->legacySubjectKnown || d->legacySubjectWritable);
}

void MucChatSession::leave(const QString &message)
{
    Q_D(MucChatSession);
    if (!d->isGroupChat() || !isReady() || d->leaveRequested) {
        Q_EMIT leftChat(false);
        return;
    }
    d->leaveRequested = true;
    if (canLeaveSkypeChat()) {
        leaveSkypeChat();
        return;
    }
    const Tp::ContactPtr self = d->channel->groupSelfContact();
    if (!d->channel->interfaces().contains(TP_QT_IFACE_CHANNEL_INTERFACE_GROUP) || !self) {
        // No membership to give up: closing is all there is.
        d->finishLeave(true);
        return;
    }
    connect(d->channel->groupRemoveContacts(QList<Tp::ContactPtr>() << self, message),
            &Tp::PendingOperation::finished, d, [d](Tp::PendingOperation *op) {
                d->finishLeave(op && !op->isError());
            });
}

void MucChatSession::channelReady(Tp::PendingOperation *operation)
{
    Q_D(MucChatSession);
    if (d->isGroupChat() && operation && !operation->isError() && d->channel) {
        d->watchTopic();
        QStringList idsToResolve;
        d->addParticipants(d->channel->groupContacts(), d->channel->groupSelfContact(),
                           idsToResolve);
        connect(d->channel.data(), &Tp::Channel::groupMembersChanged,
                d, &MucChatSessionPrivate::slotOnGroupMembersChanged, Qt::UniqueConnection);
        Q_EMIT readyToChat(selfIsInChannel());
        if (!idsToResolve.isEmpty())
            d->startResolving(this, idsToResolve);
    }
    ChatSession::channelReady(operation);
}
