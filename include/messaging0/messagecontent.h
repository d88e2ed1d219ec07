#ifndef MESSAGING0_MESSAGECONTENT_H
#define MESSAGING0_MESSAGECONTENT_H

#include "messaging0global.h"
#include "messagingtypes.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class MessageContentData;

// One outgoing message as handed to the QueuedMessageSender: the account to
// send on, the recipient, and the message as a text, as the path of a vCard
// file (isVCard()), or as ready Telepathy message parts. Non-empty parts win
// over the text and the vCard flag. flags() is the caller's own and travels
// with the message unread by the library.
//
// Implicitly shared; setters detach.
class MESSAGING0_EXPORT MessageContent
{
public:
    MessageContent();
    MessageContent(const QString &account, const QString &remoteUid, const QString &message,
                   bool isVCard, unsigned int flags);
    MessageContent(const QString &account, const QString &remoteUid,
                   const MsgPartsList &messageParts, unsigned int flags);
    MessageContent(const MessageContent &other);
    MessageContent &operator=(const MessageContent &other);
    ~MessageContent();

    QString account() const;
    QString remoteUid() const;
    QString message() const;
    MsgPartsList messageParts() const;
    bool isVCard() const;
    unsigned int flags() const;

    void setAccount(const QString &account);
    void setRemoteUid(const QString &remoteUid);
    void setMessage(const QString &message);
    void setMessageParts(const MsgPartsList &messageParts);
    void setIsVCard(bool isVCard);
    void setFlags(unsigned int flags);

private:
    QSharedDataPointer<MessageContentData> d;
};

Q_DECLARE_METATYPE(MessageContent)

#endif // MESSAGING0_MESSAGECONTENT_H
