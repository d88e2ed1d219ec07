// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "chatsessionerror.h"

#include <QSharedData>

class ChatSessionErrorData : public QSharedData
{
public:
    ChatSessionError::ErrorType type = ChatSessionError::NoError;
    QString message;
    QString request;
    QString account;
    QString remoteId;
    QString errorName;
};

ChatSessionError::ChatSessionError(ErrorType type, const QString &message, const QString &request,
                                   const QString &account, const QString &remoteId)
    : d(new ChatSessionErrorData)
{
    d->type = type;
    d->message = message;
    d->request = request;
    d->account = account;
    d->remoteId = remoteId;
}

ChatSessionError::ChatSessionError(const QString &errorName, const QString &message,
                                   const QString &request, const QString &account,
                                   const QString &remoteId)
    : ChatSessionError(typeFromErrorName(errorName), message, request, account, remoteId)
{
    d->errorName = errorName;
}

ChatSessionError::ChatSessionError(const ChatSessionError &other) = default;
ChatSessionError &ChatSessionError::operator=(const ChatSessionError &other) = default;
ChatSessionError::~ChatSessionError() = default;

ChatSessionError::ErrorType ChatSessionError::typeFromErrorName(const QString &errorName)
{
    static const struct {
        const char *name;
        ErrorType type;
    } mapping[] = {
        { "org.freedesktop.Telepathy.Error.Disconnected", DisconnectedError },
        { "org.freedesktop.Telepathy.Error.InvalidHandle", InvalidHandleError },
        { "org.freedesktop.Telepathy.Error.NotYours", NotYoursError },
        { "org.freedesktop.Telepathy.Error.Cancelled", CancelledError },
        { "org.freedesktop.Telepathy.Error.Offline", OfflineError },
        { "org.freedesktop.Telepathy.Error.DoesNotExist", InvalidHandleError },
    };
    for (const auto &m : mapping) {
        if (errorName == QLatin1String(m.name))
            return m.type;
    }
    return UnknownError;
}

ChatSessionError::ErrorType ChatSessionError::type() const { return d->type; }
QString ChatSessionError::message() const { return d->message; }
QString ChatSessionError::request() const { return d->request; }
QString ChatSessionError::account() const { return d->account; }
QString ChatSessionError::remoteId() const { return d->remoteId; }
QString ChatSessionError::errorName() const { return d->errorName; }

void ChatSessionError::setType(ErrorType type) { d->type = type; }
void ChatSessionError::setMessage(const QString &message) { d->message = message; }
void ChatSessionError::setRequest(const QString &request) { d->request = request; }
void ChatSessionError::setAccount(const QString &account) { d->account = account; }
void ChatSessionError::setRemoteId(const QString &remoteId) { d->remoteId = remoteId; }
void ChatSessionError::setErrorName(const QString &errorName) { d->errorName = errorName; }

bool ChatSessionError::isValid() const
{
    return d->type != NoError;
}
