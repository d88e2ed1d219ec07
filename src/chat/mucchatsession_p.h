// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_MUCCHATSESSION_P_H
#define MESSAGING0_MUCCHATSESSION_P_H

#include "chatsession_p.h"
#include "mucchatsession.h"

#include <TelepathyQt/Channel>
#include <TelepathyQt/Contact>

#include <QHash>
#include <QPointer>

namespace Tp {
namespace Client {
class PropertiesInterfaceInterface;
}
}
class ContactResolver;
class QDBusPendingCallWatcher;

class MucChatSessionPrivate : public ChatSessionPrivate
{
    Q_OBJECT
    Q_DECLARE_PUBLIC(MucChatSession)

public:
    MucChatSessionPrivate(const Tp::AccountPtr &account, const ChatContext &context);
    ~MucChatSessionPrivate() override;

    QHash<QString, MucParticipant *> participants;
    QPointer<Tp::Client::PropertiesInterfaceInterface> propertiesInterface;
    QString pendingTopic;
    QList<ContactResolver *> pendingResolvers;

    // Topic as last known, from whichever interface the channel offers.
    QString topic;
    QString topicActor;
    bool hasSubject2 = false;
    bool canSetSubject = true;
    // The old interface's "subject" property, once listed.
    bool legacySubjectKnown = false;
    uint legacySubjectId = 0;
    bool legacySubjectWritable = true;
    // Where the Subject2 change signal is watched; empty when not.
    QString subjectWatchService;
    QString subjectWatchPath;
    // Set by leave(); the Skype route also reports through leftChat().
    bool leaveRequested = false;
    // The local user asked to leave and the group has not yet said so.
    bool awaitingLeave = false;

    bool isGroupChat() const;
    void addParticipants(const Tp::Contacts &contacts, const Tp::ContactPtr &selfContact,
                         QStringList &idsToResolve);
    void startResolving(QObject *resolverParent, const QStringList &ids);
    void dropParticipant(MucParticipant *participant);
    void watchTopic();
    void unwatchSubject();
    void updateTopic(const QString &newTopic, const QString &actor);
    void applySubjectProperties(const QVariantMap &properties);
    void reportTopicFailure(const QString &errorName, const QString &errorMessage);
    void finishLeave(bool success);
    void confirmLeave();

public Q_SLOTS:
    void slotOnGroupMembersChanged(const Tp::Contacts &membersAdded,
                                   const Tp::Contacts &localPendingMembersAdded,
                                   const Tp::Contacts &remotePendingMembersAdded,
                                   const Tp::Contacts &membersRemoved,
                                   const Tp::Channel::GroupMemberChangeDetails &details);
    void slotOnSkypeLeaveCallFinished(QDBusPendingCallWatcher *watcher);
    void slotOnListPropertiesFinished(QDBusPendingCallWatcher *watcher);
    void slotOnSetPropertiesFinished(QDBusPendingCallWatcher *watcher);
    void slotOnContactsResolved(bool status);
    void slotOnSessionClosed();
    void slotOnNicknameChanged(const QString &nickname);
    void slotOnGroupAddContactsFinished(Tp::PendingOperation *op);
    // org.freedesktop.DBus.Properties.PropertiesChanged of the channel.
    void slotOnSubjectPropertiesChanged(const QString &interfaceName, const QVariantMap &changed,
                                        const QStringList &invalidated);
    void slotOnLegacyPropertiesChanged(const Tp::PropertyValueList &values);
};

#endif // MESSAGING0_MUCCHATSESSION_P_H
