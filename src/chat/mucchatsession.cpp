#include "mucchatsession.h"
#include "mucchatsession_p.h"
#include "mucparticipant_p.h"

#include "contactresolver.h"
#include "mucparticipant.h"

#include <TelepathyQt/Connection>
#include <TelepathyQt/PendingOperation>
#include <TelepathyQt/Types>
#include <TelepathyQt/Properties>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QtContacts/QContact>

namespace {
const QString SkypeGroupChatInterface =
    QStringLiteral("com.tavik.Telepathy.Channel.Interface.Skype.GroupChat");
const QString SubjectProperty = QStringLiteral("subject");
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
        MucParticipantPrivate::get(participant)->isSelf = (contact == selfContact);
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
            MucParticipantPrivate *p = MucParticipantPrivate::get(participant);
            if (p->isSelf) {
                if (account)
                    p->nickname = account->nickname();
                continue;
            }
            const QtContacts::QContact contact = resolver->matchContact(p->accountPath, p->remoteUid);
            if (!contact.isEmpty()) {
                p->contact = contact;
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
            MucParticipantPrivate::get(participant)->nickname = nickname;
            return;
        }
    }
}

void MucChatSessionPrivate::slotOnSessionClosed()
{
    Q_Q(MucChatSession);
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
    // Several setTopic() calls in a row: the first reply writes the latest
    // topic; later replies find nothing pending and must not blank it.
    if (!reply.isError() && !pendingTopic.isNull()) {
        const Tp::PropertySpecList properties = reply.value();
        for (const Tp::PropertySpec &property : properties) {
            if (property.name != SubjectProperty)
                continue;
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
    }
    watcher->deleteLater();
}

void MucChatSessionPrivate::slotOnSetPropertiesFinished(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
}

void MucChatSessionPrivate::slotOnSkypeLeaveCallFinished(QDBusPendingCallWatcher *watcher)
{
    Q_Q(MucChatSession);
    Q_EMIT q->leftSkypeChat(!watcher->isError());
    watcher->deleteLater();
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

MucChatSession::~MucChatSession() = default;

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
    if (!d->propertiesInterface)
        return;
    d->pendingTopic = topic;
    auto *watcher = new QDBusPendingCallWatcher(d->propertiesInterface->ListProperties(), this);
    connect(watcher, &QDBusPendingCallWatcher::finished,
            d, &MucChatSessionPrivate::slotOnListPropertiesFinished);
}

void MucChatSession::channelReady(Tp::PendingOperation *operation)
{
    Q_D(MucChatSession);
    if (d->isGroupChat() && operation && !operation->isError() && d->channel) {
        // Lives as long as the channel object.
        d->propertiesInterface = new Tp::Client::PropertiesInterfaceInterface(d->channel.data());
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
