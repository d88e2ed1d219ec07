#ifndef MESSAGING0_CHATSESSIONERROR_H
#define MESSAGING0_CHATSESSIONERROR_H

#include "messaging0global.h"

#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class ChatSessionErrorData;

// Why a conversation could not be obtained, was lost, or why a request
// failed. The payload of every chatSessionError() signal of the library.
class MESSAGING0_EXPORT ChatSessionError
{
public:
    enum ErrorType {
        NoError = 0,
        UnknownError = 1,
        DisconnectedError = 3,
        CancelledError = 4,
        AccountManagerError = 5,
        InvalidAccountError = 6,
        InvalidHandleError = 7,
        OfflineError = 8,
        ChannelRequestError = 9,
        NotYoursError = 10
    };

    ChatSessionError(ErrorType type = NoError, const QString &message = QString(),
                     const QString &request = QString(), const QString &account = QString(),
                     const QString &remoteId = QString());
    // The type is derived from a Telepathy D-Bus error name, which errorName()
    // keeps.
    ChatSessionError(const QString &errorName, const QString &message,
                     const QString &request = QString(), const QString &account = QString(),
                     const QString &remoteId = QString());
    ChatSessionError(const ChatSessionError &other);
    ChatSessionError &operator=(const ChatSessionError &other);
    ~ChatSessionError();

    ErrorType type() const;
    QString message() const;
    QString request() const;
    QString account() const;
    QString remoteId() const;
    //! The D-Bus error name Telepathy gave, whole; empty for the library's
    //! own errors. message() then holds Telepathy's message, also whole.
    QString errorName() const;

    void setType(ErrorType type);
    void setMessage(const QString &message);
    void setRequest(const QString &request);
    void setAccount(const QString &account);
    void setRemoteId(const QString &remoteId);
    //! Sets the D-Bus error name; the type stays as it is.
    void setErrorName(const QString &errorName);

    // True for every type but NoError.
    bool isValid() const;

    static ErrorType typeFromErrorName(const QString &errorName);

private:
    QSharedDataPointer<ChatSessionErrorData> d;
};

Q_DECLARE_METATYPE(ChatSessionError)

#endif // MESSAGING0_CHATSESSIONERROR_H
