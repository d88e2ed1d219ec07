// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_MUCCHATSESSION_H
#define MESSAGING0_MUCCHATSESSION_H

#include "chatsession.h"
#include "messaging0global.h"
#include "messagingtypes.h"

#include <TelepathyQt/Connection>
#include <TelepathyQt/Contact>

#include <QStringList>

class MucChatSessionPrivate;
class MucParticipant;

//! Every session the manager creates is a MucChatSession; the group
//! behaviour (participants, invitations, topic, Skype leave) switches on for
//! group chats (chat types AdHocGroupChat and RoomChat) only. A group chat
//! is ready to chat only while the local user is a member.
//!
//! Topics: read through the channel's Subject2 interface where it has one,
//! otherwise through the old Properties interface ("subject"). topic() is
//! empty until the first value is known; every change (the first value
//! included) is signalled with topicChanged(topic, actor), the actor being
//! the contact id of who set it, empty when the protocol does not say. A
//! setTopic() that is refused or impossible ends in topicChangeFailed() with
//! a Telepathy error name and message; a change that took effect comes back
//! as topicChanged().
//!
//! Leaving: leave() leaves a group chat for good. Skype group chats use
//! their Leave call (leftSkypeChat() as well); other group chats remove the
//! local user from the group, with the optional message, and close the
//! channel. leftChat() tells the outcome; a left session is not restored when
//! the account reconnects. Releasing the last reference to a session without
//! leave() only closes the channel, which some protocols take as a reason to
//! offer the room again.
class MESSAGING0_EXPORT MucChatSession : public ChatSession
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(MucChatSession)

public:
    //! A session for the context on the account; sessions come from the ChatSessionManager.
    MucChatSession(Tp::AccountPtr account, const ChatContext &context, QObject *parent = nullptr);
    ~MucChatSession() override;

    //! Current participants; empty without a channel.
    QList<MucParticipant *> members() const;
    //! The connection of the account; null while it has none.
    Tp::ConnectionPtr tpConnection() const;

    //! Ready, and for a group chat the local user is a member.
    bool isReadyToChat() const override;
    //! The local user is a member of the channel's group.
    bool selfIsInChannel() const;
    //! A Skype group chat whose member the local user is: leaveSkypeChat() can work.
    bool canLeaveSkypeChat() const;
    //! Leaves a Skype group chat through its Leave call; leftSkypeChat() tells the outcome.
    void leaveSkypeChat() const;
    //! Invites the contacts to the group chat; participantsInvited() tells the outcome.
    void inviteParticipants(const QList<Tp::ContactPtr> &contacts);
    //! Asks to set the topic; topicChanged() or topicChangeFailed() follows.
    void setTopic(const QString &topic);
    //! The topic; empty until the first value is known.
    QString topic() const;
    //! The contact id of who set the topic; empty when the protocol does not say.
    QString topicActor() const;
    //! Whether the connection manager says the topic can be set now; true
    //! when it does not say.
    bool canSetTopic() const;
    //! Leaves the group chat for good, with the optional message; leftChat() tells the outcome.
    void leave(const QString &message = QString());

Q_SIGNALS:
    //! The outcome of leaving a Skype group chat.
    void leftSkypeChat(bool success);
    //! The members, all of them, after a change.
    void participantsChanged(MucParticipantList participants);
    //! Members who joined.
    void participantsAdded(MucParticipantList participants);
    //! The remote ids of members who left.
    void participantsRemoved(QStringList remoteUids);
    //! The outcome of inviteParticipants().
    void participantsInvited(bool success);
    //! The topic changed (the first value included); actor is who set it, empty when unknown.
    void topicChanged(const QString &topic, const QString &actor);
    //! setTopic() was refused or impossible: the Telepathy error name and message.
    void topicChangeFailed(const QString &errorName, const QString &errorMessage);
    //! The outcome of leave().
    void leftChat(bool success);

protected:
    //! For subclasses inside the library: they pass their own private object.
    MucChatSession(MucChatSessionPrivate &dd, QObject *parent);

private Q_SLOTS:
    void channelReady(Tp::PendingOperation *operation) override;

private:
    Q_DISABLE_COPY(MucChatSession)
};

#endif // MESSAGING0_MUCCHATSESSION_H
