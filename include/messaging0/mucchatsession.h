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

// Every session the manager creates is a MucChatSession; the group
// behaviour (participants, invitations, topic, Skype leave) switches on for
// group chats (chat types AdHocGroupChat and RoomChat) only. A group chat
// is ready to chat only while the local user is a member.
//
// Topics: read through the channel's Subject2 interface where it has one,
// otherwise through the old Properties interface ("subject"). topic() is
// empty until the first value is known; every change (the first value
// included) is signalled with topicChanged(topic, actor), the actor being
// the contact id of who set it, empty when the protocol does not say. A
// setTopic() that is refused or impossible ends in topicChangeFailed() with
// a Telepathy error name and message; a change that took effect comes back
// as topicChanged().
//
// Leaving: leave() leaves a group chat for good. Skype group chats use
// their Leave call (leftSkypeChat() as well); other group chats remove the
// local user from the group, with the optional message, and close the
// channel. leftChat() tells the outcome; a left session is not restored when
// the account reconnects. Releasing the last reference to a session without
// leave() only closes the channel, which some protocols take as a reason to
// offer the room again.
class MESSAGING0_EXPORT MucChatSession : public ChatSession
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(MucChatSession)

public:
    MucChatSession(Tp::AccountPtr account, const ChatContext &context, QObject *parent = nullptr);
    ~MucChatSession() override;

    // Current participants; empty without a channel.
    QList<MucParticipant *> members() const;
    Tp::ConnectionPtr tpConnection() const;

    bool isReadyToChat() const override;
    bool selfIsInChannel() const;
    bool canLeaveSkypeChat() const;
    void leaveSkypeChat() const;
    void inviteParticipants(const QList<Tp::ContactPtr> &contacts);
    void setTopic(const QString &topic);
    QString topic() const;
    QString topicActor() const;
    // Whether the connection manager says the topic can be set now; true
    // when it does not say.
    bool canSetTopic() const;
    void leave(const QString &message = QString());

Q_SIGNALS:
    void leftSkypeChat(bool success);
    void participantsChanged(MucParticipantList participants);
    void participantsAdded(MucParticipantList participants);
    void participantsRemoved(QStringList remoteUids);
    void participantsInvited(bool success);
    void topicChanged(const QString &topic, const QString &actor);
    void topicChangeFailed(const QString &errorName, const QString &errorMessage);
    void leftChat(bool success);

protected:
    MucChatSession(MucChatSessionPrivate &dd, QObject *parent);

private Q_SLOTS:
    void channelReady(Tp::PendingOperation *operation) override;

private:
    Q_DISABLE_COPY(MucChatSession)
};

#endif // MESSAGING0_MUCCHATSESSION_H
