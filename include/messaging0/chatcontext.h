// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHATCONTEXT_H
#define MESSAGING0_CHATCONTEXT_H

#include "chattype.h"
#include "messaging0global.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class ChatContextData;

//! Names one conversation: the account it runs on, the other party (or the
//! group), and its kind. Implicitly shared; setters detach.
//!
//! Equality treats the SMS and MMS accounts as one account and compares
//! remote ids as addresses (phone numbers written differently can be equal).
//! An empty remote id on the right-hand side matches any remote id. The
//! conversation id never takes part in equality.
class MESSAGING0_EXPORT ChatContext
{
public:
    //! An empty one-to-one context on no account.
    ChatContext();
    //! A context for the remote id on the account with the given object path.
    ChatContext(const QString &remoteUid, const QString &accountPath,
                ChatType chatType = OneToOneChat, int conversationId = -1);
    //! A shared copy.
    ChatContext(const ChatContext &other);
    //! Shares other's data.
    ChatContext &operator=(const ChatContext &other);
    ~ChatContext();

    //! The other party, or the group's id or room name.
    QString remoteUid() const;
    //! The D-Bus object path of the Telepathy account.
    QString accountPath() const;
    //! The kind of conversation.
    ChatType chatType() const;
    //! The caller's own number for the conversation, -1 when none; never compared.
    int conversationId() const;

    //! Sets the other party.
    void setRemoteUid(const QString &remoteUid);
    //! Sets the account's object path.
    void setAccountPath(const QString &accountPath);
    //! Sets the kind of conversation.
    void setChatType(ChatType chatType);
    //! Sets the caller's own number for the conversation.
    void setConversationId(int conversationId);

    //! On the cellular SMS account or the MMS account.
    bool isCellular() const;

    //! The same conversation, as described above.
    bool operator==(const ChatContext &other) const;
    //! Not the same conversation.
    bool operator!=(const ChatContext &other) const;

private:
    QSharedDataPointer<ChatContextData> d;
};

Q_DECLARE_METATYPE(ChatContext)

#endif // MESSAGING0_CHATCONTEXT_H
