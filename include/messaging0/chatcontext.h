#ifndef MESSAGING0_CHATCONTEXT_H
#define MESSAGING0_CHATCONTEXT_H

#include "chattype.h"
#include "messaging0global.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class ChatContextData;

// Names one conversation: the account it runs on, the other party (or the
// group), and its kind. Implicitly shared; setters detach.
//
// Equality treats the SMS and MMS accounts as one account and compares
// remote ids as addresses (phone numbers written differently can be equal).
// An empty remote id on the right-hand side matches any remote id. The
// conversation id never takes part in equality.
class MESSAGING0_EXPORT ChatContext
{
public:
    ChatContext();
    ChatContext(const QString &remoteUid, const QString &accountPath,
                ChatType chatType = OneToOneChat, int conversationId = -1);
    ChatContext(const ChatContext &other);
    ChatContext &operator=(const ChatContext &other);
    ~ChatContext();

    QString remoteUid() const;
    QString accountPath() const;
    ChatType chatType() const;
    int conversationId() const;

    void setRemoteUid(const QString &remoteUid);
    void setAccountPath(const QString &accountPath);
    void setChatType(ChatType chatType);
    void setConversationId(int conversationId);

    // On the cellular SMS account or the MMS account.
    bool isCellular() const;

    bool operator==(const ChatContext &other) const;
    bool operator!=(const ChatContext &other) const;

private:
    QSharedDataPointer<ChatContextData> d;
};

Q_DECLARE_METATYPE(ChatContext)

#endif // MESSAGING0_CHATCONTEXT_H
