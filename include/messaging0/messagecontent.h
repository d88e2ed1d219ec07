// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_MESSAGECONTENT_H
#define MESSAGING0_MESSAGECONTENT_H

#include "messaging0global.h"
#include "messagingtypes.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class MessageContentData;

//! One outgoing message as handed to the QueuedMessageSender: the account to
//! send on, the recipient, and the message as a text, as the path of a vCard
//! file (isVCard()), or as ready Telepathy message parts. Non-empty parts win
//! over the text and the vCard flag. flags() is the caller's own and travels
//! with the message unread by the library.
//!
//! Implicitly shared; setters detach.
class MESSAGING0_EXPORT MessageContent
{
public:
    //! An empty message.
    MessageContent();
    //! A text (or, with isVCard, the path of a vCard file) to remoteUid on the account with the given object path.
    MessageContent(const QString &account, const QString &remoteUid, const QString &message,
                   bool isVCard, unsigned int flags);
    //! Ready message parts to remoteUid on the account.
    MessageContent(const QString &account, const QString &remoteUid,
                   const MsgPartsList &messageParts, unsigned int flags);
    //! A shared copy.
    MessageContent(const MessageContent &other);
    //! Shares other's data.
    MessageContent &operator=(const MessageContent &other);
    ~MessageContent();

    //! The object path of the account to send on.
    QString account() const;
    //! The recipient.
    QString remoteUid() const;
    //! The text, or the path of the vCard file.
    QString message() const;
    //! The ready message parts; empty for a text or a vCard.
    MsgPartsList messageParts() const;
    //! message() is the path of a vCard file.
    bool isVCard() const;
    //! The caller's own flags.
    unsigned int flags() const;

    //! Sets the account's object path.
    void setAccount(const QString &account);
    //! Sets the recipient.
    void setRemoteUid(const QString &remoteUid);
    //! Sets the text or the vCard file's path.
    void setMessage(const QString &message);
    //! Sets ready message parts; non-empty parts win over the text.
    void setMessageParts(const MsgPartsList &messageParts);
    //! Sets whether message() is a vCard file's path.
    void setIsVCard(bool isVCard);
    //! Sets the caller's own flags.
    void setFlags(unsigned int flags);

private:
    QSharedDataPointer<MessageContentData> d;
};

Q_DECLARE_METATYPE(MessageContent)

#endif // MESSAGING0_MESSAGECONTENT_H
