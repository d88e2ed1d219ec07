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

Q_SIGNALS:
    void leftSkypeChat(bool success);
    void participantsChanged(MucParticipantList participants);
    void participantsAdded(MucParticipantList participants);
    void participantsRemoved(QStringList remoteUids);
    void participantsInvited(bool success);

protected:
    MucChatSession(MucChatSessionPrivate &dd, QObject *parent);

private Q_SLOTS:
    void channelReady(Tp::PendingOperation *operation) override;

private:
    Q_DISABLE_COPY(MucChatSession)
};

#endif // MESSAGING0_MUCCHATSESSION_H
