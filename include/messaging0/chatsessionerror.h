// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHATSESSIONERROR_H
#define MESSAGING0_CHATSESSIONERROR_H

#include "messaging0global.h"
#include "messagestatus.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class ChatSessionErrorData;

//! Why a conversation could not be obtained, was lost, or why a request
//! failed. The payload of every chatSessionError() signal of the library.
class MESSAGING0_EXPORT ChatSessionError
{
public:
    //! Why; every failure is also a message status, named from MessageStatus.
    enum ErrorType {
        NoError = 0, //!< no error
        UnknownError = MessageStatus::UnknownError, //!< a Telepathy error without a more precise mapping
        DisconnectedError = MessageStatus::Disconnected, //!< the connection went away
        CancelledError = MessageStatus::Cancelled, //!< the channel or the request was cancelled
        AccountManagerError = MessageStatus::AccountManagerUnavailable, //!< the Telepathy account manager is not available
        InvalidAccountError = MessageStatus::InvalidAccount, //!< no usable account under the given path
        InvalidHandleError = MessageStatus::InvalidHandle, //!< the remote id does not exist or cannot be addressed
        OfflineError = MessageStatus::Offline, //!< the account is offline
        ChannelRequestError = MessageStatus::ChannelRequestFailed, //!< the channel could not be opened
        NotYoursError = MessageStatus::NotYours //!< the channel belongs to another client
    };

    //! An error of the given type, with its message and what it concerns (request object path, account path, remote id).
    ChatSessionError(ErrorType type = NoError, const QString &message = QString(),
                     const QString &request = QString(), const QString &account = QString(),
                     const QString &remoteId = QString());
    //! The type is derived from a Telepathy D-Bus error name, which errorName() keeps.
    ChatSessionError(const QString &errorName, const QString &message,
                     const QString &request = QString(), const QString &account = QString(),
                     const QString &remoteId = QString());
    //! A shared copy.
    ChatSessionError(const ChatSessionError &other);
    //! Shares other's data.
    ChatSessionError &operator=(const ChatSessionError &other);
    ~ChatSessionError();

    //! Why.
    ErrorType type() const;
    //! The explanation, with Telepathy's reason where there is one.
    QString message() const;
    //! The object path of the channel request, where there was one.
    QString request() const;
    //! The account path of the conversation; empty for errors that concern every conversation.
    QString account() const;
    //! The remote id of the conversation.
    QString remoteId() const;
    //! The D-Bus error name Telepathy gave, whole; empty for the library's
    //! own errors. message() then holds Telepathy's message, also whole.
    QString errorName() const;

    //! Sets the type.
    void setType(ErrorType type);
    //! Sets the message.
    void setMessage(const QString &message);
    //! Sets the request's object path.
    void setRequest(const QString &request);
    //! Sets the account path.
    void setAccount(const QString &account);
    //! Sets the remote id.
    void setRemoteId(const QString &remoteId);
    //! Sets the D-Bus error name; the type stays as it is.
    void setErrorName(const QString &errorName);

    //! True for every type but NoError.
    bool isValid() const;

    //! The type for a Telepathy D-Bus error name; UnknownError for names without a mapping.
    static ErrorType typeFromErrorName(const QString &errorName);

private:
    QSharedDataPointer<ChatSessionErrorData> d;
};

Q_DECLARE_METATYPE(ChatSessionError)

#endif // MESSAGING0_CHATSESSIONERROR_H
